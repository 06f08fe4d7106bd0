#pragma once

#include <string>
#include <string_view>

namespace comlookup {

// Whether the command line is one help word alone: --help, -h or /?. Only
// alone, since to comlookup they are query words like any other, and its
// companions take words the same way.
bool asks_for_help(int argc, const char* const* argv);

// "<program> <version>: " then `text`, lines ending in '\n'.
std::string help_text(std::string_view program, std::string_view text);

// `text` with each '\n' made "\r\n", as every program writes its lines.
std::string with_crlf(std::string_view text);

// All of `bytes` to the file or pipe `handle` (a HANDLE); false where a
// write fails or stops.
bool write_all(void* handle, std::string_view bytes);

// help_text on stdout, each line ending in CRLF as every program's output.
// For the programs whose answer is their status, which write nothing else
// there.
void write_help(std::string_view program, std::string_view text);

}  // namespace comlookup
