// comlookup-list: what comlookup sees, and why a query gives what it gives.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/fail_closed.h"
#include "app/help.h"
#include "app/wait_loop.h"
#include "common/port_entry.h"
#include "common/port_survey.h"
#include "listing/describe_lookup.h"
#include "listing/ports.h"
#include "listing/watch.h"

const comlookup::ProcessFailure comlookup::PROCESS_FAILURE{1, "comlookup-list"};

namespace {

constexpr std::string_view HELP =
    "what comlookup sees, and why a query gives what it\n"
    "gives; with --ports, the ports that words or TERMs pick out, for a script.\n"
    "\n"
    "Usage: comlookup-list [WORD...]\n"
    "       comlookup-list --usb TERM...\n"
    "       comlookup-list --bt TERM...\n"
    "       comlookup-list --json [WORD... | --usb TERM... | --bt TERM...]\n"
    "       comlookup-list [--json] --watch [--for SECONDS] [WORD...]\n"
    "       comlookup-list --ports [WORD... | --usb TERM... | --bt TERM...]\n"
    "\n"
    "  WORD...          what comlookup WORD... answers, and why; * marks a match\n"
    "  --usb TERM...    how each device meets comlookup-usb TERM... (its --help)\n"
    "  --bt TERM...     how each port meets comlookup-bt TERM... (its --help)\n"
    "  --json           the listing as one JSON document, for a script\n"
    "  --watch          the devices present, then each arrival and departure\n"
    "  --for SECONDS    right after --watch: ends it after SECONDS (0 to 86400)\n"
    "  --ports          only each matching COMn, one a line, in USB socket order\n"
    "\n"
    "Exit status: 0 when all was written; 1 when a part of the device database\n"
    "could not be read or the output not written. --ports: the number of ports\n"
    "written; -1 when any might be missing or wrong.\n"
    "Example: comlookup-list USB Serial Device\n"
    "More in docs\\listing.md beside README.md.\n";

std::optional<char32_t> decode_ansi(std::string_view bytes) {
    wchar_t wide[2];
    const int length =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), wide, 2);
    if (length == 1 && (wide[0] < 0xD800 || wide[0] > 0xDFFF)) {
        return wide[0];
    }
    if (length == 2 && wide[0] >= 0xD800 && wide[0] <= 0xDBFF && wide[1] >= 0xDC00 && wide[1] <= 0xDFFF) {
        return 0x10000 + ((static_cast<char32_t>(wide[0]) - 0xD800) << 10) + (wide[1] - 0xDC00);
    }
    return std::nullopt;
}

// The character lengths of the ANSI code page the names are in.
comlookup::CodePage ansi_code_page() {
    if (GetACP() == CP_UTF8) {
        return {comlookup::utf8_char_lengths(), decode_ansi};
    }
    comlookup::CodePage code_page{{}, decode_ansi};
    code_page.char_length.fill(1);
    CPINFO info{};
    if (GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 2) {
        for (std::size_t i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
            for (unsigned byte = info.LeadByte[i]; byte <= info.LeadByte[i + 1]; ++byte) {
                code_page.char_length[byte] = 2;
            }
        }
    }
    return code_page;
}

// The listing has escaped everything a console would act on and left whole
// characters only, so each line converts on its own.
bool write_to_console(HANDLE console, std::string_view line) {
    std::wstring wide(line.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    DWORD written = 0;
    return length > 0 && WriteConsoleW(console, wide.data(), static_cast<DWORD>(length), &written, nullptr);
}

// A console shows text in its own code page, which need not be the ANSI code
// page the names are in, so a console gets them as UTF-16. Anything else (a
// file, a pipe) gets the bytes unchanged: exactly what comlookup compares.
bool write_text(HANDLE handle, std::string_view text, bool console) {
    const std::string lines = comlookup::with_crlf(text);
    if (!console) {
        return comlookup::write_all(handle, lines);
    }
    // A line at a time: older consoles refuse large writes.
    std::string_view rest = lines;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size() - 1) + 1;
        if (!write_to_console(handle, rest.substr(0, end))) {
            return false;
        }
        rest.remove_prefix(end);
    }
    return true;
}

comlookup::Stamp stamp_now() {
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    GetSystemTime(&utc);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        local = utc;
    }
    FILETIME utc_file{};
    FILETIME local_file{};
    SystemTimeToFileTime(&utc, &utc_file);
    SystemTimeToFileTime(&local, &local_file);
    const auto ticks = [](const FILETIME& time) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    };
    // FILETIME counts 100 ns: 600,000,000 to a minute.
    const auto offset = static_cast<int>((ticks(local_file) - ticks(utc_file)) / 600'000'000);
    return {local.wYear,   local.wMonth,  local.wDay,          local.wHour,
            local.wMinute, local.wSecond, local.wMilliseconds, offset};
}

struct Watching {
    comlookup::Watch watch;
    HANDLE out;
    bool console;
};

// One look of the watch: its lines written at once, and the watch over as
// soon as nobody reads them.
comlookup::Turn watch_turn(void* context) {
    Watching& watching = *static_cast<Watching*>(context);
    std::optional<comlookup::Survey> look = comlookup::survey_port_ids_when_changed();
    const std::string lines = look ? comlookup::watch_look(watching.watch, std::move(*look), stamp_now(),
                                                           comlookup::read_identity_of, comlookup::survey_bt_devices)
                                   : std::string();
    if (!lines.empty() && !write_text(watching.out, lines, watching.console)) {
        return {1, true, true};
    }
    return {watching.watch.fell_short ? 1 : 0, false, true};
}

// A list's status is its count: any failure must end in one no count can be.
const comlookup::ProcessFailure PORTS_FAILURE{comlookup::EXIT_NOT_FOUND, "comlookup-list"};

std::int32_t list_ports(int argc, const char* const* argv) {
    comlookup::fail_closed_as(PORTS_FAILURE);
    const comlookup::PortsCommand command = comlookup::read_ports_command(argc, argv);
    if (!command.error.empty()) {
        comlookup::write_usage_error("comlookup-list", command.error, comlookup::PORTS_USAGE);
        return comlookup::EXIT_NOT_FOUND;
    }
    using Kind = comlookup::PortsCommand::Kind;
    const comlookup::Survey survey = command.kind == Kind::usb  ? comlookup::survey_usb_ports(command.usb, true)
                                     : command.kind == Kind::bt ? comlookup::survey_bt_ports(command.bt)
                                                                : comlookup::survey_named_ports(command.query);
    const comlookup::PortsAnswer answer = comlookup::answer_ports(command, survey);
    if (!answer.error.empty()) {
        comlookup::write_error_line("comlookup-list", answer.error);
        return comlookup::EXIT_NOT_FOUND;
    }
    std::string lines;
    for (const std::string& port : answer.ports) {
        lines += port + "\r\n";
    }
    // The bytes as they are, console or not: port names are ASCII.
    if (!comlookup::write_all(GetStdHandle(STD_OUTPUT_HANDLE), lines)) {
        comlookup::write_error_line("comlookup-list", "the list could not be written");
        return comlookup::EXIT_NOT_FOUND;
    }
    return static_cast<std::int32_t>(answer.ports.size());
}

std::int32_t list(int argc, const char* const* argv) {
    if (argc >= 2 && std::string_view(argv[1]) == "--ports") {
        return list_ports(argc, argv);
    }
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(out, &mode) != 0;
    if (comlookup::asks_for_help(argc, argv)) {
        return write_text(out, comlookup::help_text("comlookup-list", HELP), console) ? 0 : 1;
    }
    if (std::optional<comlookup::WatchCommand> command = comlookup::read_watch_command(argc, argv)) {
        if (!command->error.empty()) {
            comlookup::write_usage_error("comlookup-list", command->error,
                                         "comlookup-list [--json] --watch [--for SECONDS] [WORD...]");
            return 1;
        }
        Watching watching{
            {std::move(*command), {ansi_code_page(), console ? comlookup::Sink::console : comlookup::Sink::file}},
            out,
            console};
        const std::int32_t status = comlookup::take_turns(watching.watch.command.seconds, watch_turn, &watching);
        const std::string end = comlookup::watch_end(watching.watch, stamp_now());
        return end.empty() || write_text(out, end, console) ? status : 1;
    }
    const comlookup::Surveys surveys{comlookup::survey_ports_in_detail(), comlookup::survey_other_classes(),
                                     comlookup::survey_known_ports(), comlookup::survey_bt_devices()};
    const comlookup::ListingStyle style{ansi_code_page(), console ? comlookup::Sink::console : comlookup::Sink::file};
    // The JSON document is ASCII, so it too goes out the same way.
    const bool json = argc >= 2 && std::string_view(argv[1]) == "--json";
    const std::string text = json ? comlookup::describe_lookup_json(surveys, argc - 1, argv + 1, style.code_page)
                                  : comlookup::describe_lookup(surveys, argc, argv, style);
    const bool written = write_text(out, text, console);
    return written && comlookup::surveys_complete(surveys) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    return comlookup::run_fail_closed(list, argc, argv);
}
