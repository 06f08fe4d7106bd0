// comlookup-wait SECONDS WORD...: comlookup's answer at the first moment
// exactly one present device matches, or at the deadline.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "app/fail_closed.h"
#include "common/port_entry.h"
#include "lookup/query.h"
#include "lookup/run_lookup.h"
#include "lookup/wait_command.h"

// Silent on failure, like comlookup, which it stands in for.
const comlookup::ProcessFailure comlookup::PROCESS_FAILURE{comlookup::EXIT_NOT_FOUND, nullptr};

namespace {

// Looks are at least this far apart, and further when a walk takes longer:
// waiting must leave the processor idle nine tenths of the time.
constexpr ULONGLONG MIN_PERIOD_MS = 250;
constexpr ULONGLONG IDLE_SHARE = 9;

// The status Windows' own handler ends a console program with; a handler of
// ours, because the caller may have started this with Ctrl+C ignored.
BOOL WINAPI on_break(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
    }
    return FALSE;
}

std::int32_t wait(int argc, const char* const* argv) {
    comlookup::QueryBuffer query;
    const comlookup::WaitCommand command = comlookup::read_wait_command(argc, argv, query);
    if (!command.error.empty()) {
        const std::string line = "comlookup-wait: " + command.error + ". Usage: comlookup-wait SECONDS WORD...\r\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return comlookup::EXIT_NOT_FOUND;
    }
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(on_break, TRUE);
    const ULONGLONG deadline = GetTickCount64() + ULONGLONG{command.seconds} * 1000;
    for (;;) {
        const ULONGLONG before = GetTickCount64();
        const std::int32_t status = comlookup::look_up(query.data());
        const ULONGLONG after = GetTickCount64();
        if ((status != comlookup::EXIT_NOT_FOUND && status != comlookup::EXIT_AMBIGUOUS) || after >= deadline) {
            return status;
        }
        // The last look falls on the deadline itself.
        const ULONGLONG period = std::max(MIN_PERIOD_MS, IDLE_SHARE * (after - before));
        Sleep(static_cast<DWORD>(std::min(period, deadline - after)));
    }
}

}  // namespace

int main(int argc, char** argv) {
    return comlookup::run_fail_closed(wait, argc, argv);
}
