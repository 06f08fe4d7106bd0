// Runs the real exes with almost no address space left, as a debugger can
// leave a process: every free region reserved at its first breakpoint but
// for one hole of a given size. Whatever fails in them, comlookup must end
// with -1 or its real answer (-2 here) and write nothing, and comlookup-list
// must end with 1 and one line on stderr, or print its whole listing.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "device_db.h"
#include "listing/text.h"
#include "process.h"

namespace {

using comlookup::testing::FakePort;
using comlookup::testing::Handle;

// Enough long names that comlookup's own lists need more heap than a fresh
// process has, with two twins last.
constexpr int FILLERS = 2500;
constexpr const char* QUERY = "Twin";
constexpr std::size_t HOLES_KB[] = {0, 2048};

struct Starved {
    std::int32_t status = 0;
    std::string out;
    std::string err;
};

// In the temporary directory, not the working directory: a run started from
// a source tree must leave nothing in it.
Handle scratch_file(const char* name) {
    char directory[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH) {
        return Handle(INVALID_HANDLE_VALUE);
    }
    const std::string path = directory + std::string(name);
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return Handle(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              &inheritable, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

std::string contents(HANDLE file) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    std::string text;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        text.append(chunk, got);
    }
    return text;
}

// Reserves every free region of `process` of 64 KB or more, then frees the
// hole it kept first.
void starve(HANDLE process, std::size_t hole) {
    void* const kept = hole > 0 ? VirtualAllocEx(process, nullptr, hole, MEM_RESERVE, PAGE_NOACCESS) : nullptr;
    for (std::size_t size = std::size_t{1} << (sizeof(void*) == 8 ? 40 : 30); size >= 0x10000; size /= 2) {
        while (VirtualAllocEx(process, nullptr, size, MEM_RESERVE, PAGE_NOACCESS) != nullptr) {
        }
    }
    if (kept != nullptr) {
        VirtualFreeEx(process, kept, 0, MEM_RELEASE);
    }
}

// Files, not pipes, for the output: a debugger that reads nothing until the
// end would block a child that writes much.
bool run_starved(const std::string& command_line, std::size_t hole, Starved& result) {
    const Handle out = scratch_file("starved-out.txt");
    const Handle err = scratch_file("starved-err.txt");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    PROCESS_INFORMATION info{};
    std::string line = command_line;
    if (out.get() == INVALID_HANDLE_VALUE || err.get() == INVALID_HANDLE_VALUE ||
        !CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr,
                        &startup, &info)) {
        return false;
    }
    const Handle process(info.hProcess);
    const Handle thread(info.hThread);
    bool starved = false;
    for (;;) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, INFINITE)) {
            return false;
        }
        DWORD reply = DBG_CONTINUE;
        if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
            const Handle image(event.u.CreateProcessInfo.hFile);
        } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) {
            const Handle image(event.u.LoadDll.hFile);
        } else if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT) {
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                reply = DBG_EXCEPTION_NOT_HANDLED;
            } else if (!starved) {
                starve(process.get(), hole);
                starved = true;
            }
        } else if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            result.status = static_cast<std::int32_t>(event.u.ExitProcess.dwExitCode);
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, reply);
        if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            break;
        }
    }
    result.out = contents(out.get());
    result.err = contents(err.get());
    return true;
}

std::vector<FakePort> devices() {
    std::vector<FakePort> ports;
    for (int i = 0; i < FILLERS; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Starve %05d ", i);
        // COM, 252 digits, the last few of them the number.
        const std::string digits = std::to_string(i);
        ports.push_back({name + std::string(242, '0'), "COM" + std::string(252 - digits.size(), '0') + digits});
    }
    ports.push_back({"Twin Adapter (COM7)", "COM7"});
    ports.push_back({"Twin Adapter (COM8)", "COM8"});
    return ports;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || !comlookup::testing::running_under_wine()) {
        std::fprintf(stderr, "usage, under Wine only: starved_e2e PATH-TO-comlookup.exe PATH-TO-comlookup-list.exe\n");
        return 2;
    }
    if (!comlookup::testing::clear_ports() || !comlookup::testing::add_ports(devices())) {
        std::fprintf(stderr, "cannot build the device database\n");
        return 2;
    }
    int failures = 0;
    int lookup_starved = 0;
    int list_starved = 0;
    for (const std::size_t hole : HOLES_KB) {
        Starved lookup;
        Starved list;
        const std::string arguments = std::string(" ") + QUERY;
        if (!run_starved(comlookup::command_line_argument(argv[1]) + arguments, hole * 1024, lookup) ||
            !run_starved(comlookup::command_line_argument(argv[2]) + arguments, hole * 1024, list)) {
            std::printf("FAIL hole %5zu KB: cannot run the exes\n", hole);
            ++failures;
            continue;
        }
        const bool lookup_ok = (lookup.status == -1 || lookup.status == -2) && lookup.out.empty() && lookup.err.empty();
        const bool list_failed =
            list.status == 1 && list.out.empty() && list.err == "comlookup-list: out of memory\r\n";
        const bool list_whole =
            list.status == 0 && list.err.empty() &&
            list.out.ends_with("\r\nexit status -2: 2 listed devices match (marked *); comlookup needs one\r\n");
        lookup_starved += lookup.status == -1 ? 1 : 0;
        list_starved += list_failed ? 1 : 0;
        failures += (lookup_ok ? 0 : 1) + (list_failed || list_whole ? 0 : 1);
        std::printf("%-4s hole %5zu KB: comlookup -> %ld, wrote %zu bytes\n", lookup_ok ? "ok" : "FAIL", hole,
                    static_cast<long>(lookup.status), lookup.out.size() + lookup.err.size());
        std::printf("%-4s hole %5zu KB: comlookup-list -> %ld, %zu bytes out, stderr '%.60s'\n",
                    list_failed || list_whole ? "ok" : "FAIL", hole, static_cast<long>(list.status), list.out.size(),
                    list.err.c_str());
    }
    // Each program must have met the failure at least once, or this proved nothing.
    const bool reached = lookup_starved > 0 && list_starved > 0;
    std::printf("%-4s memory ran out for comlookup at %d and for comlookup-list at %d of %zu hole sizes\n",
                reached ? "ok" : "FAIL", lookup_starved, list_starved, std::size(HOLES_KB));
    failures += reached ? 0 : 1;
    comlookup::testing::clear_ports();
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
