#include "app/wait_loop.h"

#include <windows.h>

#include <algorithm>

#include "common/port_entry.h"

namespace comlookup {
namespace {

// Turns are at least this far apart, and further when a turn takes longer:
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

struct LookFor {
    Look look;
    const void* context;
};

}  // namespace

std::int32_t take_turns(std::optional<std::uint32_t> seconds, TakeTurn turn, void* context) {
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(on_break, TRUE);
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG deadline = seconds ? start + ULONGLONG{*seconds} * 1000 : ~ULONGLONG{0};
    for (;;) {
        const ULONGLONG before = GetTickCount64();
        const Turn result = turn(context);
        const ULONGLONG after = GetTickCount64();
        if (result.done || after >= deadline) {
            return result.status;
        }
        const ULONGLONG period = result.paced ? MIN_PERIOD_MS : std::max(MIN_PERIOD_MS, IDLE_SHARE * (after - before));
        Sleep(static_cast<DWORD>(std::min(period, deadline - after)));
    }
}

std::int32_t wait_for_port(std::uint32_t seconds, Look look, const void* context) {
    LookFor look_for{look, context};
    return take_turns(
        seconds,
        [](void* wanted) {
            const auto& [how, what] = *static_cast<const LookFor*>(wanted);
            const std::int32_t status = how(what);
            return Turn{status, status != EXIT_NOT_FOUND && status != EXIT_AMBIGUOUS};
        },
        &look_for);
}

std::int32_t look_or_wait(std::optional<std::uint32_t> seconds, Look look, const void* context) {
    return seconds ? wait_for_port(*seconds, look, context) : look(context);
}

}  // namespace comlookup
