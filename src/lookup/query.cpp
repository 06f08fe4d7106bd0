#include "lookup/query.h"

#include <string_view>

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

QueryState read_query(int argc, const char* const* argv, QueryBuffer& buffer) {
    if (argc < 2 || argv[1][0] == '\0') {
        buffer[0] = '\0';
        return QueryState::missing;
    }
    // No friendly name is longer than 255 bytes, so a query too long for the
    // buffer could never match anyway.
    return build_query(argc, argv, buffer) ? QueryState::ready : QueryState::too_long;
}

}  // namespace comlookup
