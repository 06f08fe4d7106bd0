#pragma once

#include <cstdint>
#include <string_view>

namespace comlookup {

// How a program ends when it cannot give its real answer. Each exe defines
// its own PROCESS_FAILURE with a constant initializer, so that it holds from
// the first instruction, before main runs.
struct ProcessFailure {
    std::int32_t status;
    const char* program;  // null: write nothing; else "<program>: <why>" goes to stderr
};
extern const ProcessFailure PROCESS_FAILURE;

using ProgramBody = std::int32_t (*)(int argc, const char* const* argv);

// Returns `body`'s status. Every other way out (an exception, std::terminate,
// abort, the C runtime's fatal-error exit, an unhandled fault) ends the
// process as PROCESS_FAILURE says instead, so that no runtime default (abort's
// 3, the runtime's 255) can reach a caller as a port number.
std::int32_t run_fail_closed(ProgramBody body, int argc, const char* const* argv) noexcept;

// From now on, ends the process as `failure` says rather than as
// PROCESS_FAILURE does: for a run whose status is a count, which
// PROCESS_FAILURE's status could read as. `failure` must outlive the run.
void fail_closed_as(const ProcessFailure& failure) noexcept;

// "<program>: <why>" on stderr.
void write_error_line(std::string_view program, std::string_view why) noexcept;

// "<program>: <error>. Usage: <usage>; --help for more" on stderr, for a
// bad command line.
void write_usage_error(std::string_view program, std::string_view error, std::string_view usage) noexcept;

// Ends the process at once as PROCESS_FAILURE says; allocates nothing.
[[noreturn]] void fail_closed(const char* why) noexcept;

}  // namespace comlookup
