#include "app/fail_closed.h"

#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <exception>
#include <new>
#include <string_view>

namespace comlookup {
namespace {

void write_error(std::string_view text) noexcept {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// PROCESS_FAILURE's address is a constant: this holds from the first instruction too.
const ProcessFailure* failure_now = &PROCESS_FAILURE;

LONG WINAPI on_unhandled_fault(EXCEPTION_POINTERS*) {
    fail_closed("internal error (unhandled fault)");
}

}  // namespace

void fail_closed(const char* why) noexcept {
    if (failure_now->program != nullptr) {
        write_error_line(failure_now->program, why);
    }
    ExitProcess(static_cast<UINT>(failure_now->status));
}

void fail_closed_as(const ProcessFailure& failure) noexcept {
    failure_now = &failure;
}

void write_error_line(std::string_view program, std::string_view why) noexcept {
    for (const std::string_view part : {program, std::string_view(": "), why, std::string_view("\r\n")}) {
        write_error(part);
    }
}

void write_usage_error(std::string_view program, std::string_view error, std::string_view usage) noexcept {
    for (const std::string_view part : {program, std::string_view(": "), error, std::string_view(". Usage: "), usage,
                                        std::string_view("; --help for more\r\n")}) {
        write_error(part);
    }
}

std::int32_t run_fail_closed(ProgramBody body, int argc, const char* const* argv) noexcept {
    std::set_terminate([] { fail_closed("internal error"); });
#ifdef _MSC_VER
    _set_abort_behavior(0, _WRITE_ABORT_MSG | _CALL_REPORTFAULT);
    std::signal(SIGABRT, [](int) { fail_closed("internal error (abort)"); });
#endif
    SetUnhandledExceptionFilter(on_unhandled_fault);
    try {
        return body(argc, argv);
    } catch (const std::bad_alloc&) {
        fail_closed("out of memory");
    } catch (...) {
        fail_closed("internal error");
    }
}

}  // namespace comlookup

#ifdef __MINGW32__
// The runtime's start-up code ends the process through _amsg_exit, with
// status 255, when it cannot set up (no memory for the arguments, say); and
// abort() prints and ends with 3. Both would read as port numbers. Every
// statically linked caller of either, libstdc++ included, reaches these.
extern "C" void _amsg_exit(int) {
    comlookup::fail_closed("the C runtime could not start");
}

extern "C" void abort() {
    comlookup::fail_closed("internal error (abort)");
}
#endif
