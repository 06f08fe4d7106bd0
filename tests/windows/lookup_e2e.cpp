// Runs the real comlookup.exe as a separate process and checks what only a
// real process shows: the full 32-bit exit status, that it writes nothing,
// and that it starts with no DLLs beside it.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "process.h"

namespace {

using comlookup::testing::run_process;

struct Call {
    const char* name;
    std::string arguments;  // the command line after the program's name, as a shell would pass it
    std::int32_t expected;
};

std::string make_scratch_directory() {
    char base[MAX_PATH];
    char path[MAX_PATH];
    if (GetTempPathA(MAX_PATH, base) == 0 || GetTempFileNameA(base, "cl", 0, path) == 0) {
        return {};
    }
    DeleteFileA(path);
    return CreateDirectoryA(path, nullptr) ? path : "";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: lookup_e2e PATH-TO-comlookup.exe\n");
        return 2;
    }
    char source[MAX_PATH];
    const std::string directory = make_scratch_directory();
    // A directory holding nothing but the exe: a missing DLL would stop it from starting.
    const std::string exe = directory + "\\comlookup.exe";
    if (GetFullPathNameA(argv[1], MAX_PATH, source, nullptr) == 0 || directory.empty() ||
        !CopyFileA(source, exe.c_str(), TRUE)) {
        std::fprintf(stderr, "cannot place %s in a scratch directory\n", argv[1]);
        return 2;
    }

    const std::vector<Call> calls = {
        {"no arguments", "", -1},
        {"empty first argument", "\"\" USB", -1},
        {"query with no port present", "USB Serial Device", -1},
        {"query over 299 bytes", std::string(300, 'x'), -1},
    };
    int failures = 0;
    for (const Call& call : calls) {
        const auto result = run_process("\"" + exe + "\" " + call.arguments, directory);
        const bool ok = result.started && result.status == call.expected && result.output.empty();
        failures += ok ? 0 : 1;
        std::printf("%-4s %-28s status %11ld (0x%08lX)  expected %ld  wrote %u bytes\n", ok ? "ok" : "FAIL", call.name,
                    static_cast<long>(result.status), static_cast<unsigned long>(result.status),
                    static_cast<long>(call.expected), static_cast<unsigned>(result.output.size()));
    }
    DeleteFileA(exe.c_str());
    RemoveDirectoryA(directory.c_str());
    std::printf("%d passed, %d failed\n", static_cast<int>(calls.size()) - failures, failures);
    return failures == 0 ? 0 : 1;
}
