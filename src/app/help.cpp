#include "app/help.h"

#include <windows.h>

#ifndef COMLOOKUP_VERSION
#define COMLOOKUP_VERSION "(unversioned)"
#endif

namespace comlookup {

bool asks_for_help(int argc, const char* const* argv) {
    if (argc != 2) {
        return false;
    }
    const std::string_view word = argv[1];
    return word == "--help" || word == "-h" || word == "/?";
}

std::string help_text(std::string_view program, std::string_view text) {
    return std::string(program) + " " COMLOOKUP_VERSION ": " + std::string(text);
}

void write_help(std::string_view program, std::string_view text) {
    std::string lines;
    for (const char c : help_text(program, text)) {
        if (c == '\n') {
            lines += '\r';
        }
        lines += c;
    }
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    std::string_view rest = lines;
    DWORD written = 0;
    // A help that could not be written changes nothing: the status is no answer either way.
    while (!rest.empty() && WriteFile(out, rest.data(), static_cast<DWORD>(rest.size()), &written, nullptr) &&
           written != 0) {
        rest.remove_prefix(written);
    }
}

}  // namespace comlookup
