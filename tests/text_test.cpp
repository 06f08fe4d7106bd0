#include "listing/text.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace comlookup {
namespace {

TEST(Shown, EscapesWhatTheSinkWouldActOnAsTheNamesOwnBytes) {
    const CodePage latin1 = testing::latin1_code_page();
    const CodePage utf8 = testing::utf8_code_page();
    const CodePage double_byte = testing::double_byte_code_page();
    const struct {
        const char* name;
        const CodePage& code_page;
        std::string bytes;
        std::string to_console;
        std::string to_file;
    } cases[] = {
        {"plain text", latin1, "USB Serial (COM3)", "USB Serial (COM3)", "USB Serial (COM3)"},
        {"C0 and DEL", latin1, "a\tb\x1B[2J\x7F", "a\\x09b\\x1B[2J\\x7F", "a\\x09b\\x1B[2J\\x7F"},
        {"letters above 0x7F", latin1, "Ger\xE4t \xA9", "Ger\xE4t \xA9", "Ger\xE4t \xA9"},
        {"C1 controls", latin1, "x\x81\x8D\x8F\x90\x9Dy", "x\\x81\\x8D\\x8F\\x90\\x9Dy", "x\x81\x8D\x8F\x90\x9Dy"},
        {"UTF-8 letter", utf8, "Ger\xC3\xA4t", "Ger\xC3\xA4t", "Ger\xC3\xA4t"},
        {"UTF-8 next line", utf8, "a\xC2\x85z", "a\\xC2\\x85z", "a\xC2\x85z"},
        {"line and paragraph separators", utf8, "\xE2\x80\xA8\xE2\x80\xA9", "\\xE2\\x80\\xA8\\xE2\\x80\\xA9",
         "\xE2\x80\xA8\xE2\x80\xA9"},
        {"bidirectional override and isolate", utf8,
         "a\xE2\x80\xAE"
         "b\xE2\x81\xA6",
         "a\\xE2\\x80\\xAEb\\xE2\\x81\\xA6",
         "a\xE2\x80\xAE"
         "b\xE2\x81\xA6"},
        {"invalid UTF-8 never merges", utf8, "a\xE2\x80", "a\\xE2\\x80", "a\\xE2\\x80"},
        {"double-byte character", double_byte, "\x83\x41\x83\x5C", "\x83\x41\x83\x5C", "\x83\x41\x83\x5C"},
        {"lone lead byte before an escape", double_byte, "a\x83\t", "a\\x83\\x09", "a\\x83\\x09"},
        {"lone lead byte at the end", double_byte, "a\x83", "a\\x83", "a\\x83"},
        {"0x80 in a double-byte code page", double_byte, "a\x80", "a\\x80", "a\x80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.to_console, shown(c.bytes, c.code_page, Sink::console));
        EXPECT_EQ(c.to_file, shown(c.bytes, c.code_page, Sink::file));
    }
}

TEST(JsonString, IsAsciiWithEveryOtherCharacterEscaped) {
    const CodePage latin1 = testing::latin1_code_page();
    const CodePage utf8 = testing::utf8_code_page();
    const CodePage double_byte = testing::double_byte_code_page();
    const struct {
        const char* name;
        const CodePage& code_page;
        std::string bytes;
        std::string json;
    } cases[] = {
        {"quote and backslash", latin1, "Say \"Hi\" C:\\", "\"Say \\\"Hi\\\" C:\\\\\""},
        {"controls", latin1, "a\tb\x1B\x7F\x85", "\"a\\u0009b\\u001B\\u007F\\u0085\""},
        {"code page letter", latin1, "Ger\xE4t", "\"Ger\\u00E4t\""},
        {"UTF-8 beyond the BMP", utf8, "\xF0\x9F\x98\x80", "\"\\uD83D\\uDE00\""},
        {"bidirectional override", utf8, "\xE2\x80\xAE", "\"\\u202E\""},
        {"invalid bytes", utf8, "a\xE2\x80", "\"a\\uFFFD\\uFFFD\""},
        {"double-byte character", double_byte, "\x83\x41", "\"\\u5001\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.json, json_string(c.bytes, c.code_page));
    }
}

}  // namespace
}  // namespace comlookup
