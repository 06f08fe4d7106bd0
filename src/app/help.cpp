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

std::string with_crlf(std::string_view text) {
    std::string lines;
    for (const char c : text) {
        if (c == '\n') {
            lines += '\r';
        }
        lines += c;
    }
    return lines;
}

bool write_all(void* handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

void write_help(std::string_view program, std::string_view text) {
    // A help that could not be written changes nothing: the status is no answer either way.
    write_all(GetStdHandle(STD_OUTPUT_HANDLE), with_crlf(help_text(program, text)));
}

}  // namespace comlookup
