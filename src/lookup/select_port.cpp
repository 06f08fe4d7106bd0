#include "lookup/select_port.h"

#include <climits>
#include <cstdint>

namespace comlookup {
namespace {

constexpr std::string_view PORT_PREFIX = "COM";

constexpr bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads the number the way atoi does, but saturates to INT_MAX or INT_MIN as
// the Windows C runtime documents, instead of overflowing.
std::int32_t read_port_number(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t LIMIT = std::int64_t{INT_MAX} + 1;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > LIMIT) {
            value = LIMIT;
        }
    }
    if (negative) {
        return static_cast<std::int32_t>(-value);
    }
    return static_cast<std::int32_t>(value < LIMIT ? value : INT_MAX);
}

}  // namespace

std::int32_t select_port(const PortList& list, std::string_view query) {
    int matches = 0;
    std::int32_t port = EXIT_NOT_FOUND;
    for (const PortEntry& entry : list) {
        if (!std::string_view(entry.friendly_name).starts_with(query)) {
            continue;
        }
        if (++matches > 1) {
            return EXIT_AMBIGUOUS;
        }
        std::string_view name = entry.port_name;
        name.remove_prefix(name.size() < PORT_PREFIX.size() ? name.size() : PORT_PREFIX.size());
        port = read_port_number(name);
    }
    return port;
}

}  // namespace comlookup
