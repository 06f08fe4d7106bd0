#include "test_support.h"

#include <optional>
#include <string_view>
#include <utility>

#include "common/port_source.h"

namespace comlookup {

namespace testing {

PortList g_ports;
int g_source_calls = 0;

Args::Args(std::vector<std::string> arguments) : texts(std::move(arguments)) {
    texts.insert(texts.begin(), "comlookup.exe");
    for (const std::string& text : texts) {
        argv.push_back(text.c_str());
    }
    argv.push_back(nullptr);
}

namespace {

std::optional<char32_t> decode_latin1(std::string_view bytes) {
    return static_cast<unsigned char>(bytes[0]);
}

std::optional<char32_t> decode_utf8(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (bytes.size() == 1) {
        return lead < 0x80 ? std::optional<char32_t>(lead) : std::nullopt;
    }
    char32_t code = lead & (0x7F >> bytes.size());
    for (const char c : bytes.substr(1)) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        code = code << 6 | (static_cast<unsigned char>(c) & 0x3F);
    }
    constexpr char32_t SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < SMALLEST[bytes.size()] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return std::nullopt;
    }
    return code;
}

bool is_lead(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::optional<char32_t> decode_double_byte(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (bytes.size() == 1) {
        return is_lead(lead) ? std::nullopt : std::optional<char32_t>(lead);
    }
    const auto trail = static_cast<unsigned char>(bytes[1]);
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) {
        return std::nullopt;
    }
    return 0x4E00 + (static_cast<char32_t>(lead) << 8 | trail) - 0x8140;
}

}  // namespace

CodePage latin1_code_page() {
    CodePage code_page{{}, decode_latin1};
    code_page.char_length.fill(1);
    return code_page;
}

CodePage utf8_code_page() {
    return {utf8_char_lengths(), decode_utf8};
}

CodePage double_byte_code_page() {
    CodePage code_page{{}, decode_double_byte};
    for (unsigned byte = 0; byte < 256; ++byte) {
        code_page.char_length[byte] = is_lead(static_cast<unsigned char>(byte)) ? 2 : 1;
    }
    return code_page;
}

}  // namespace testing

// Stands in for the platform's device database.
PortList enumerate_com_ports() {
    ++testing::g_source_calls;
    return testing::g_ports;
}

}  // namespace comlookup
