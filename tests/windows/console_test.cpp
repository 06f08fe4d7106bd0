// Runs comlookup-list.exe in a real console whose code page is not the ANSI
// code page the names are in, and reads back from the console's own screen
// buffer that a name with bytes above 0x7F shows as the characters it means,
// and that characters the console would act on show as the bytes they are.
// Needs a console: under Wine, run it on a terminal (script(1) makes one).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "device_db.h"
#include "process.h"

namespace {

using comlookup::testing::Handle;

// Code page 437 shows byte 0xE4 as U+03A3 (Greek capital sigma), where the
// ANSI code page 1252 means U+00E4 (a with diaeresis).
constexpr UINT CONSOLE_CODE_PAGE = 437;
constexpr const wchar_t* RAW_SHOWN = L"Ger\u03A3t";

// A device name in the prefix's ANSI code page (LC_ALL=C gives 1252,
// hi_IN.UTF-8 gives 65001), the query for it, and what the console must show.
struct Case {
    UINT ansi_code_page;
    const char* device_name;
    const char* query;
    const wchar_t* shown_query;
    const wchar_t* shown_name;
};

constexpr Case CASES[] = {
    {1252, "Ger\xE4t \xA9 (COM8)", "Ger\xE4t", L"Query: \"Ger\u00E4t\"", L"\"Ger\u00E4t \u00A9 (COM8)\""},
    // Bytes 1252 leaves unassigned convert to C1 controls; 0x9D would open
    // an operating system command.
    {1252, "Ctl \x81\x8D\x8F\x90\x9D (COM8)", "Ctl", L"Query: \"Ctl\"", L"\"Ctl \\x81\\x8D\\x8F\\x90\\x9D (COM8)\""},
    // U+2028, U+0085 (next line) and U+202E (right-to-left override).
    {65001, "Ger\xC3\xA4t \xE2\x80\xA8\xC2\x85\xE2\x80\xAE (COM8)", "Ger\xC3\xA4t", L"Query: \"Ger\u00E4t\"",
     L"\"Ger\u00E4t \\xE2\\x80\\xA8\\xC2\\x85\\xE2\\x80\\xAE (COM8)\""},
};

COORD cursor_of(HANDLE console) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(console, &info);
    return info.dwCursorPosition;
}

// The screen's text from row `from` to the cursor, a line per row.
std::wstring screen_since(HANDLE console, SHORT from) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(console, &info);
    std::wstring text;
    for (SHORT y = from; y <= info.dwCursorPosition.Y; ++y) {
        std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
        DWORD got = 0;
        ReadConsoleOutputCharacterW(console, row.data(), static_cast<DWORD>(row.size()), COORD{0, y}, &got);
        text += row.substr(0, got) + L'\n';
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || !comlookup::testing::running_under_wine()) {
        std::fprintf(stderr, "usage, under Wine only: console_test PATH-TO-comlookup-list.exe\n");
        return 2;
    }
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const Handle console(CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inheritable, OPEN_EXISTING, 0, nullptr));
    DWORD mode = 0;
    if (!GetConsoleMode(console.get(), &mode) || !SetConsoleOutputCP(CONSOLE_CODE_PAGE)) {
        std::fprintf(stderr, "console_test needs a console whose code page it can set (run it on a terminal)\n");
        return 2;
    }
    // What writing the bytes unchanged would show: the checks below would catch it.
    SHORT from = cursor_of(console.get()).Y;
    DWORD written = 0;
    WriteFile(console.get(), "Ger\xE4t\r\n", 7, &written, nullptr);
    const bool raw_differs = screen_since(console.get(), from).find(RAW_SHOWN) != std::wstring::npos;

    char path[MAX_PATH];
    GetFullPathNameA(argv[1], MAX_PATH, path, nullptr);
    struct Check {
        bool ok;
        std::string what;
    };
    std::vector<Check> checks = {{raw_differs, "the console shows raw ANSI bytes in its own code page"}};
    int ran = 0;
    for (const Case& c : CASES) {
        if (c.ansi_code_page != GetACP()) {
            continue;
        }
        if (!comlookup::testing::clear_ports() || !comlookup::testing::add_port({c.device_name, "COM8"})) {
            std::fprintf(stderr, "cannot build the device database\n");
            return 2;
        }
        from = cursor_of(console.get()).Y;
        const auto result =
            comlookup::testing::run_process("\"" + std::string(path) + "\" " + c.query, ".", console.get());
        const std::wstring screen = screen_since(console.get(), from);
        const std::string name = "code page " + std::to_string(c.ansi_code_page) + ", case " + std::to_string(++ran);
        checks.push_back({result.started && result.status == 0, name + ": comlookup-list ran and exited with 0"});
        checks.push_back({screen.find(c.shown_query) != std::wstring::npos, name + ": the query shows as characters"});
        checks.push_back({screen.find(c.shown_name) != std::wstring::npos,
                          name + ": the name shows as characters, controls escaped as bytes"});
        checks.push_back({screen.find(L"exit status 8:") != std::wstring::npos, name + ": the status line reads 8"});
    }
    comlookup::testing::clear_ports();
    checks.push_back({ran > 0, "cases ran for ANSI code page " + std::to_string(GetACP())});

    // Whole lines at a time: Wine's terminal console draws byte-wise writes a
    // character at a time, which no log can be read from.
    std::string report;
    int failures = 0;
    for (const auto& check : checks) {
        report += std::string(check.ok ? "ok   " : "FAIL ") + check.what + "\r\n";
        failures += check.ok ? 0 : 1;
    }
    report += std::to_string(checks.size() - failures) + " passed, " + std::to_string(failures) + " failed\r\n";
    WriteConsoleA(console.get(), report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
    return failures == 0 ? 0 : 1;
}
