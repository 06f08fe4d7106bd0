#include "listing/text.h"

#include <cstdio>

namespace comlookup {
namespace {

bool acted_on(char32_t c, Sink sink) {
    if (c < 0x20 || c == 0x7F) {
        return true;
    }
    if (sink == Sink::file) {
        return false;
    }
    return (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F || c == 0x061C;
}

}  // namespace

std::array<std::uint8_t, 256> utf8_char_lengths() {
    std::array<std::uint8_t, 256> lengths;
    lengths.fill(1);
    for (unsigned byte = 0xC2; byte <= 0xF4; ++byte) {
        lengths[byte] = byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
    }
    return lengths;
}

Character character_at(std::string_view text, std::size_t at, const CodePage& code_page) {
    const std::size_t length = code_page.char_length[static_cast<unsigned char>(text[at])];
    if (length > 1 && at + length <= text.size()) {
        const std::string_view bytes = text.substr(at, length);
        if (const std::optional<char32_t> code = code_page.decode(bytes)) {
            return {bytes, code};
        }
    }
    const std::string_view byte = text.substr(at, 1);
    return {byte, length == 1 ? code_page.decode(byte) : std::nullopt};
}

std::string shown(std::string_view text, const CodePage& code_page, Sink sink) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const Character c = character_at(text, at, code_page);
        if (c.code && !acted_on(*c.code, sink)) {
            out += c.bytes;
        } else {
            for (const char byte : c.bytes) {
                char code[8];
                std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned char>(byte));
                out += code;
            }
        }
        at += c.bytes.size();
    }
    return out;
}

std::string command_line_argument(std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos) {
        return std::string(argument);
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows them.
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + '"';
}

}  // namespace comlookup
