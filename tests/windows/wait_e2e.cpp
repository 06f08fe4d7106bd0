// Runs the real comlookup-wait.exe while the device database changes under
// it, and checks the order of events: it answers with a device's port only
// after the device appears (or its twin goes), and ends at its deadline, not
// before, with comlookup's status then. A bad command line ends it at once
// with -1 and one line on stderr; nothing else is ever written.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "device_db.h"
#include "process.h"

namespace {

using comlookup::testing::FakePort;

enum class Event { none, add, remove };

struct Case {
    const char* name;
    std::vector<FakePort> before;  // the devices present at the start
    std::string arguments;         // after the program's name
    Event event;                   // what happens a second after the start, while it waits
    FakePort device;               // added, or removed by its friendly name
    std::int32_t expected;
    bool bad_command_line;
    ULONGLONG at_least_ms;  // how long it must take at least
    ULONGLONG under_ms;     // and at most
};

const FakePort BOOTLOADER{"Arduino Leonardo bootloader (COM5)", "COM5"};
const FakePort TWIN_A{"Twin Board (COM6)", "COM6"};
const FakePort TWIN_B{"Twin Board (COM7)", "COM7"};
constexpr ULONGLONG EVENT_AFTER_MS = 1000;
constexpr ULONGLONG AT_ONCE_MS = 1000;

std::vector<Case> cases() {
    return {
        {"device appears",
         {},
         "30 Arduino Leonardo bootloader",
         Event::add,
         BOOTLOADER,
         5,
         false,
         EVENT_AFTER_MS,
         30000},
        {"no device", {}, "1 Arduino Leonardo", Event::none, {}, -1, false, 1000, 30000},
        {"one of two goes", {TWIN_A, TWIN_B}, "30 Twin Board", Event::remove, TWIN_A, 7, false, EVENT_AFTER_MS, 30000},
        {"still two at the deadline", {TWIN_A, TWIN_B}, "1 Twin Board", Event::none, {}, -2, false, 1000, 30000},
        {"SECONDS 0 finds", {BOOTLOADER}, "0 Arduino", Event::none, {}, 5, false, 0, AT_ONCE_MS},
        {"SECONDS 0 misses", {BOOTLOADER}, "0 Uno", Event::none, {}, -1, false, 0, AT_ONCE_MS},
        {"no SECONDS", {}, "", Event::none, {}, -1, true, 0, AT_ONCE_MS},
        {"SECONDS empty", {}, "\"\" Arduino", Event::none, {}, -1, true, 0, AT_ONCE_MS},
        {"SECONDS not a number", {}, "ten Arduino", Event::none, {}, -1, true, 0, AT_ONCE_MS},
        {"SECONDS negative", {}, "-1 Arduino", Event::none, {}, -1, true, 0, AT_ONCE_MS},
        {"SECONDS out of range", {}, "86401 Arduino", Event::none, {}, -1, true, 0, AT_ONCE_MS},
        {"no words", {BOOTLOADER}, "30", Event::none, {}, -1, true, 0, AT_ONCE_MS},
        {"empty first word", {BOOTLOADER}, "30 \"\" Arduino", Event::none, {}, -1, true, 0, AT_ONCE_MS},
        {"two modes", {BOOTLOADER}, "--new 5 --gone 5", Event::none, {}, -1, true, 0, AT_ONCE_MS},
        {"an option for a word", {BOOTLOADER}, "5 --gone Arduino", Event::none, {}, -1, true, 0, AT_ONCE_MS},
    };
}

bool one_usage_line(const std::string& output) {
    return output.starts_with("comlookup-wait: ") && output.find(". Usage: comlookup-wait ") != std::string::npos &&
           output.ends_with("; --help for more\r\n") && output.find('\n') == output.size() - 1;
}

// Prints the outcome and returns the number of failures.
int run_case(const Case& c, const std::string& exe) {
    if (!comlookup::testing::clear_ports() || !comlookup::testing::add_ports(c.before)) {
        std::printf("FAIL %-26s cannot build the device database\n", c.name);
        return 1;
    }
    const ULONGLONG start = GetTickCount64();
    comlookup::testing::ChildProcess child = comlookup::testing::start_process("\"" + exe + "\" " + c.arguments, ".");
    bool waiting_at_event = true;
    if (c.event != Event::none) {
        Sleep(static_cast<DWORD>(EVENT_AFTER_MS));
        waiting_at_event = WaitForSingleObject(child.process.get(), 0) == WAIT_TIMEOUT;
        const bool changed = c.event == Event::add ? comlookup::testing::add_port(c.device)
                                                   : comlookup::testing::remove_ports_named(*c.device.friendly_name);
        waiting_at_event = waiting_at_event && changed;
    }
    const comlookup::testing::ProcessResult result = comlookup::testing::finish_process(child);
    const ULONGLONG took = GetTickCount64() - start;
    const bool output_ok = c.bad_command_line ? one_usage_line(result.output) : result.output.empty();
    const bool ok = result.started && result.status == c.expected && output_ok && waiting_at_event &&
                    took >= c.at_least_ms && took < c.under_ms;
    std::printf("%-4s %-26s comlookup-wait %-34s -> %3ld after %5llu ms%s, wrote %u bytes\n", ok ? "ok" : "FAIL",
                c.name, c.arguments.c_str(), static_cast<long>(result.status), took,
                c.event == Event::none ? "" : (waiting_at_event ? " (waiting when it changed)" : " (NOT waiting)"),
                static_cast<unsigned>(result.output.size()));
    if (!ok && !result.output.empty()) {
        std::printf("       wrote: %s", result.output.c_str());
    }
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || !comlookup::testing::running_under_wine()) {
        std::fprintf(stderr, "usage, under Wine only: wait_e2e PATH-TO-comlookup-wait.exe\n");
        return 2;
    }
    char path[MAX_PATH];
    GetFullPathNameA(argv[1], MAX_PATH, path, nullptr);
    int failures = 0;
    const std::vector<Case> all = cases();
    for (const Case& c : all) {
        failures += run_case(c, path);
    }
    comlookup::testing::clear_ports();
    std::printf("%d passed, %d failed\n", static_cast<int>(all.size()) - failures, failures);
    return failures == 0 ? 0 : 1;
}
