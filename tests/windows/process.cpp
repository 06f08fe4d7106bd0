#include "process.h"

#include <windows.h>

#include <vector>

namespace comlookup::testing {

ProcessResult run_process(const std::string& command_line, const std::string& directory, HANDLE output) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle read_end;
    Handle write_end;
    if (output == nullptr) {
        if (!CreatePipe(read_end.out(), write_end.out(), &inheritable, 0) ||
            !SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0)) {
            return result;
        }
        output = write_end.get();
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION info{};
    std::vector<char> mutable_line(command_line.begin(), command_line.end());
    mutable_line.push_back('\0');
    if (!CreateProcessA(nullptr, mutable_line.data(), nullptr, nullptr, TRUE, 0, nullptr, directory.c_str(), &startup,
                        &info)) {
        return result;
    }
    result.started = true;
    const Handle process(info.hProcess);
    const Handle thread(info.hThread);
    if (read_end.get() != nullptr) {
        // Only the child may hold the write end now, so the reads below end when it does.
        write_end.reset();
        char chunk[4096];
        DWORD got = 0;
        while (ReadFile(read_end.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
            result.output.append(chunk, got);
        }
    }
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    result.status = static_cast<std::int32_t>(code);
    return result;
}

}  // namespace comlookup::testing
