#pragma once

#include <cstdint>
#include <string_view>

#include "common/port_entry.h"

namespace comlookup {

// Whether an entry with this friendly name is named by `query`: the name
// begins with it, byte for byte.
bool begins_with_query(std::string_view friendly_name, std::string_view query);

// The status that names a port: the number after "COM" in `port_name`, read
// as atoi reads it but saturating, 0 when no digit follows.
std::int32_t port_number(std::string_view port_name);

// Whether port_number finds digits in `port_name`; without any it gives 0.
bool has_port_number(std::string_view port_name);

// The port number of the one entry whose friendly name begins with `query`
// (byte for byte), EXIT_NOT_FOUND when none does, EXIT_AMBIGUOUS when more
// than one does.
std::int32_t select_port(const PortList& list, std::string_view query);

}  // namespace comlookup
