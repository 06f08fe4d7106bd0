#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace comlookup {

// ASCII only: Windows compares device IDs and keys that way, and bytes above
// 0x7F mean different letters in different code pages.
constexpr char ascii_folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool starts_ignoring_ascii_case(std::string_view text, std::string_view start) {
    if (text.size() < start.size()) {
        return false;
    }
    for (std::size_t i = 0; i < start.size(); ++i) {
        if (ascii_folded(text[i]) != ascii_folded(start[i])) {
            return false;
        }
    }
    return true;
}

constexpr bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && starts_ignoring_ascii_case(a, b);
}

// 1 to `digits` (at most 16) hex digits, as Windows writes IDs (upper case)
// or as a user types them (either case).
constexpr std::optional<std::uint64_t> hex_value(std::string_view text, std::size_t digits) {
    if (text.empty() || text.size() > digits) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        const char f = ascii_folded(c);
        const int digit = f >= '0' && f <= '9' ? f - '0' : f >= 'a' && f <= 'f' ? f - 'a' + 10 : -1;
        if (digit < 0) {
            return std::nullopt;
        }
        value = value << 4 | static_cast<std::uint64_t>(digit);
    }
    return value;
}

}  // namespace comlookup
