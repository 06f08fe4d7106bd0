#pragma once

#include <cstdint>
#include <string_view>

#include "common/port_entry.h"

namespace comlookup {

// The port number of the one entry whose friendly name begins with `query`
// (byte for byte), EXIT_NOT_FOUND when none does, EXIT_AMBIGUOUS when more
// than one does.
std::int32_t select_port(const PortList& list, std::string_view query);

}  // namespace comlookup
