#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace comlookup {

// What the listing needs to know of the ANSI code page the names are in. The
// entry point fills it in from the platform; tests make their own.
struct CodePage {
    // The length of the character each byte begins: 1 throughout a
    // single-byte code page, 2 for the lead bytes of a double-byte one.
    std::array<std::uint8_t, 256> char_length;
    // The character `bytes` encode, or nothing when they are not exactly one
    // valid character of the code page.
    std::optional<char32_t> (*decode)(std::string_view bytes);
};

// The character lengths of UTF-8, as a CodePage holds them: lead bytes of
// two, three and four bytes; 1 for every other byte.
std::array<std::uint8_t, 256> utf8_char_lengths();

// Where the listing goes. A console acts on more characters than a file
// keeps harmlessly.
enum class Sink { file, console };

// Whether `sink` would act on character `c` rather than show it: C0
// controls and DEL anywhere; on a console also C1 controls, the line and
// paragraph separators, and the bidirectional controls that would reorder
// the line.
bool acted_on(char32_t c, Sink sink);

// One character of narrow text: its bytes, and its code point when they are
// a valid character. A byte that begins no valid character stands alone.
struct Character {
    std::string_view bytes;
    std::optional<char32_t> code;
};

// The character at byte `at` of `text`, which must be inside it.
Character character_at(std::string_view text, std::size_t at, const CodePage& code_page);

// `text` as the listing shows it: every character that `sink` would act on,
// and every byte that begins no valid character, as \xNN of its own bytes,
// which is what a user would type (see acted_on). What is left is whole
// characters, so nothing merges with the text that follows. `in_quotes`:
// also \" for a quote and \\ for a backslash, so that a name between quotes
// reads one way only.
std::string shown(std::string_view text, const CodePage& code_page, Sink sink, bool in_quotes = false);

// `text`, read in the code page, as a JSON string. Everything outside
// printable ASCII is written as \uXXXX, so the document reads the same
// whatever code page a shell decodes it in, and nothing in it acts on a
// console; a byte that begins no character becomes U+FFFD.
std::string json_string(std::string_view text, const CodePage& code_page);

// How many console columns text of whole characters takes.
std::size_t columns(std::string_view text, const CodePage& code_page);

// `argument` as a command line must hold it for the C runtime's parser to
// give it back unchanged, and cmd.exe to pass it on: in double quotes when
// `quoted`, or it holds a blank, a tab, a quote or one of cmd's & | < > ^ ( ),
// or is empty, with backslashes doubled where a quote follows them.
std::string command_line_argument(std::string_view argument, bool quoted = false);

// `argument` as command_line_argument writes it, for a command that a user
// pastes into cmd.exe or PowerShell, or none when no such form reads the
// same to both: cmd toggles its quoting at every quote, backslash or not, so
// a value holding one could put & | < > ^ outside its quotes; and a
// character the listing would show escaped, or a line end, would not paste
// as itself.
std::optional<std::string> pasted_argument(std::string_view argument, const CodePage& code_page, bool quoted = false);

}  // namespace comlookup
