#include "process.h"

#include <windows.h>

#include <vector>

namespace comlookup::testing {

ChildProcess start_process(const std::string& command_line, const std::string& directory, HANDLE output) {
    ChildProcess child;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle write_end;
    if (output == nullptr) {
        if (!CreatePipe(child.read_end.out(), write_end.out(), &inheritable, 0) ||
            !SetHandleInformation(child.read_end.get(), HANDLE_FLAG_INHERIT, 0)) {
            return child;
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
    if (CreateProcessA(nullptr, mutable_line.data(), nullptr, nullptr, TRUE, 0, nullptr, directory.c_str(), &startup,
                       &info)) {
        *child.process.out() = info.hProcess;
        const Handle thread(info.hThread);
    }
    // Only the child may hold the write end now, so reads end when it does.
    return child;
}

ProcessResult finish_process(ChildProcess& child) {
    ProcessResult result;
    if (child.process.get() == nullptr) {
        return result;
    }
    result.started = true;
    if (child.read_end.get() != nullptr) {
        char chunk[4096];
        DWORD got = 0;
        while (ReadFile(child.read_end.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
            result.output.append(chunk, got);
        }
    }
    WaitForSingleObject(child.process.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child.process.get(), &code);
    result.status = static_cast<std::int32_t>(code);
    return result;
}

ProcessResult run_process(const std::string& command_line, const std::string& directory, HANDLE output) {
    ChildProcess child = start_process(command_line, directory, output);
    return finish_process(child);
}

}  // namespace comlookup::testing
