#include "lookup/run_lookup.h"

#include <string_view>

#include "common/port_source.h"
#include "lookup/select_port.h"

namespace comlookup {

bool build_query(int argc, const char* const* argv, QueryBuffer& buffer) {
    std::size_t length = 0;
    buffer[0] = '\0';
    for (int i = 1; i < argc; ++i) {
        const std::string_view separator = i > 1 ? " " : "";
        const std::string_view argument = argv[i];
        // Compared piecewise so that no sum of sizes can wrap around.
        const std::size_t room = QUERY_CAPACITY - 1 - length;
        if (separator.size() > room || argument.size() > room - separator.size()) {
            buffer[0] = '\0';
            return false;
        }
        separator.copy(buffer.data() + length, separator.size());
        length += separator.size();
        argument.copy(buffer.data() + length, argument.size());
        length += argument.size();
    }
    buffer[length] = '\0';
    return true;
}

std::int32_t run_lookup(int argc, const char* const* argv) {
    if (argc < 2 || argv[1][0] == '\0') {
        return EXIT_NOT_FOUND;
    }
    QueryBuffer query;
    // No friendly name is longer than 255 bytes, so a query too long for the
    // buffer could never match anyway.
    if (!build_query(argc, argv, query)) {
        return EXIT_NOT_FOUND;
    }
    const PortList ports = enumerate_com_ports();
    return select_port(ports, query.data());
}

}  // namespace comlookup
