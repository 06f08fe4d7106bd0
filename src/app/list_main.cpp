// comlookup-list: what comlookup sees, and why a query gives what it gives.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "common/port_survey.h"
#include "listing/describe_lookup.h"

namespace {

constexpr std::string_view USAGE =
    "Usage: comlookup-list [WORD...]\n"
    "\n"
    "Lists the present devices of the Ports class as comlookup sees them, in\n"
    "the order it reads them: for each, the exit status comlookup gives when\n"
    "that device alone matches, its port name and its friendly name, or why\n"
    "comlookup leaves it out. With WORDs, says what \"comlookup WORD...\" does\n"
    "and why, and marks the devices the words name (*) or nearly name (~).\n"
    "\n"
    "Exit status: 0 when the listing was printed, 1 when it could not be.\n";

bool write_all(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

bool write_to_console(HANDLE console, std::string_view line) {
    std::wstring wide(line.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    DWORD written = 0;
    return length > 0 && WriteConsoleW(console, wide.data(), static_cast<DWORD>(length), &written, nullptr);
}

// A console shows text in its own code page, which need not be the ANSI code
// page the names are in, so a console gets them as UTF-16. Anything else (a
// file, a pipe) gets the bytes unchanged: exactly what comlookup compares.
bool write_text(HANDLE handle, std::string_view text) {
    std::string lines;
    for (const char c : text) {
        if (c == '\n') {
            lines += '\r';
        }
        lines += c;
    }
    DWORD mode = 0;
    if (!GetConsoleMode(handle, &mode)) {
        return write_all(handle, lines);
    }
    // A line at a time: older consoles refuse large writes.
    std::string_view rest = lines;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size() - 1) + 1;
        if (!write_to_console(handle, rest.substr(0, end))) {
            return false;
        }
        rest.remove_prefix(end);
    }
    return true;
}

bool is_help(std::string_view argument) {
    return argument == "-h" || argument == "--help" || argument == "/?";
}

}  // namespace

int main(int argc, char** argv) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (argc >= 2 && is_help(argv[1])) {
        return write_text(out, USAGE) ? 0 : 1;
    }
    const std::optional<comlookup::Survey> survey = comlookup::survey_ports();
    if (!survey) {
        const std::string message =
            "comlookup-list: cannot read the device database (SetupDiGetClassDevsA failed, error " +
            std::to_string(GetLastError()) + ")\n";
        write_text(GetStdHandle(STD_ERROR_HANDLE), message);
        return 1;
    }
    return write_text(out, comlookup::describe_lookup(*survey, argc, argv)) ? 0 : 1;
}
