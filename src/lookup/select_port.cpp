#include "lookup/select_port.h"

#include <climits>
#include <cstdint>

namespace comlookup {
namespace {

constexpr std::string_view PORT_PREFIX = "COM";

constexpr bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

struct Reading {
    std::int32_t value;
    bool has_digits;
};

// Reads the number the way atoi does, but saturates to INT_MAX or INT_MIN as
// the Windows C runtime documents, instead of overflowing.
Reading read_number(std::string_view text) {
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
    const std::size_t digits_start = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > LIMIT) {
            value = LIMIT;
        }
    }
    const bool has_digits = i > digits_start;
    if (negative) {
        return {static_cast<std::int32_t>(-value), has_digits};
    }
    return {static_cast<std::int32_t>(value < LIMIT ? value : INT_MAX), has_digits};
}

Reading read_port_number(std::string_view port_name) {
    port_name.remove_prefix(port_name.size() < PORT_PREFIX.size() ? port_name.size() : PORT_PREFIX.size());
    return read_number(port_name);
}

}  // namespace

bool begins_with_query(std::string_view friendly_name, std::string_view query) {
    return friendly_name.starts_with(query);
}

std::int32_t port_number(std::string_view port_name) {
    return read_port_number(port_name).value;
}

bool has_port_number(std::string_view port_name) {
    return read_port_number(port_name).has_digits;
}

std::int32_t select_port(const PortList& list, std::string_view query) {
    return select_one(list, [&](const PortEntry& entry) { return begins_with_query(entry.friendly_name, query); });
}

}  // namespace comlookup
