#include "common/port_source.h"

namespace comlookup {

// Stand-in until the SetupAPI walk lands: no ports are ever present.
PortList enumerate_com_ports() {
    return {};
}

}  // namespace comlookup
