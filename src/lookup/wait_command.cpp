#include "lookup/wait_command.h"

#include <string_view>

namespace comlookup {

std::optional<std::uint32_t> read_seconds(std::string_view text) {
    std::uint32_t seconds = 0;
    bool digits = !text.empty();
    for (const char c : text) {
        digits = digits && c >= '0' && c <= '9';
        // Capped, so that no run of digits can overflow.
        seconds = digits && seconds <= MAX_WAIT_SECONDS ? seconds * 10 + static_cast<std::uint32_t>(c - '0') : seconds;
    }
    if (!digits || seconds > MAX_WAIT_SECONDS) {
        return std::nullopt;
    }
    return seconds;
}

WaitCommand read_wait_command(int argc, const char* const* argv, QueryBuffer& query) {
    if (argc < 2) {
        return {0, "no SECONDS given"};
    }
    const std::optional<std::uint32_t> seconds = read_seconds(argv[1]);
    if (!seconds) {
        return {0, "SECONDS must be a whole number from 0 to " + std::to_string(MAX_WAIT_SECONDS)};
    }
    // The words after SECONDS, read as comlookup reads its arguments: SECONDS
    // stands where comlookup's own name does.
    switch (read_query(argc - 1, argv + 1, query)) {
        case QueryState::ready:
            return {*seconds, {}};
        case QueryState::missing:
            return {0, argc < 3 ? "no WORD after SECONDS" : "the first WORD is empty"};
        case QueryState::too_long:
            return {0, "the WORDs are longer than " + std::to_string(QUERY_CAPACITY - 1) + " bytes"};
    }
    return {0, "unreadable command line"};
}

}  // namespace comlookup
