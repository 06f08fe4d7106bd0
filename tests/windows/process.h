#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace comlookup::testing {

// Owns a kernel handle; INVALID_HANDLE_VALUE and null are "none".
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    ~Handle() { reset(); }
    void reset() noexcept {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
        handle_ = nullptr;
    }
    HANDLE get() const { return handle_; }
    HANDLE* out() { return &handle_; }

private:
    HANDLE handle_ = nullptr;
};

struct ProcessResult {
    bool started = false;
    std::int32_t status = 0;  // the full 32-bit exit code, read as signed
    std::string output;       // every byte written to stdout and stderr
};

// A child started by start_process: its process, and the read end of the
// pipe its output goes to, when start_process made one.
struct ChildProcess {
    Handle process;
    Handle read_end;
};

// Starts `command_line` exactly as given (the child's C runtime splits it),
// in `directory`, without waiting; see run_process for `output`.
ChildProcess start_process(const std::string& command_line, const std::string& directory, HANDLE output = nullptr);

// Waits for a started child to end, reading what it writes.
ProcessResult finish_process(ChildProcess& child);

// Runs `command_line` exactly as given (the child's C runtime splits it),
// in `directory`, and waits for it to end. Its stdout and stderr go to
// `output` when that is given (an inheritable handle), and are read back
// otherwise.
ProcessResult run_process(const std::string& command_line, const std::string& directory, HANDLE output = nullptr);

}  // namespace comlookup::testing
