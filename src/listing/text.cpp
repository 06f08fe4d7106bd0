#include "listing/text.h"

#include <cstdio>

namespace comlookup {

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

std::string shown(std::string_view text, const CodePage& code_page, Sink sink, bool in_quotes) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const Character c = character_at(text, at, code_page);
        if (in_quotes && c.code && (*c.code == '"' || *c.code == '\\')) {
            out += '\\';
            out += c.bytes;
        } else if (c.code && !acted_on(*c.code, sink)) {
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

std::string json_string(std::string_view text, const CodePage& code_page) {
    std::string out = "\"";
    const auto escape = [&](char32_t unit) {
        char code[8];
        std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(unit));
        out += code;
    };
    for (std::size_t at = 0; at < text.size();) {
        const Character c = character_at(text, at, code_page);
        at += c.bytes.size();
        const char32_t code = c.code ? *c.code : 0xFFFD;
        if (code == '"' || code == '\\') {
            out += '\\';
            out += static_cast<char>(code);
        } else if (code >= 0x20 && code < 0x7F) {
            out += static_cast<char>(code);
        } else if (code < 0x10000) {
            escape(code);
        } else {
            escape(0xD800 + ((code - 0x10000) >> 10));
            escape(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
    }
    return out + '"';
}

std::size_t columns(std::string_view text, const CodePage& code_page) {
    std::size_t width = 0;
    for (std::size_t at = 0; at < text.size();) {
        const Character c = character_at(text, at, code_page);
        at += c.bytes.size();
        const char32_t code = c.code ? *c.code : 0;
        // East Asian wide characters take two columns of a console.
        const bool wide = (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
                          (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
                          (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
                          (code >= 0xFFE0 && code <= 0xFFE6) || code >= 0x20000;
        width += wide ? 2 : 1;
    }
    return width;
}

std::string command_line_argument(std::string_view argument, bool quoted) {
    if (!quoted && !argument.empty() && argument.find_first_of(" \t\"&|<>^()") == std::string_view::npos) {
        return std::string(argument);
    }
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows them.
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + '"';
}

std::optional<std::string> pasted_argument(std::string_view argument, const CodePage& code_page, bool quoted) {
    if (argument.find('"') != std::string_view::npos || shown(argument, code_page, Sink::console) != argument) {
        return std::nullopt;
    }
    // cmd expands %NAME% even inside quotes, but acts on nothing else there.
    return command_line_argument(argument, quoted || argument.find('%') != std::string_view::npos);
}

}  // namespace comlookup
