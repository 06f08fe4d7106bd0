#pragma once

#include "common/port_entry.h"

namespace comlookup {

// Lists the present devices of the ports setup class that have a friendly
// name and a port name beginning with "COM", in the device database's order.
// Never fails and never prints: a database that cannot be read gives an
// empty list. Each platform links exactly one definition; the unit tests
// link their own.
PortList enumerate_com_ports();

}  // namespace comlookup
