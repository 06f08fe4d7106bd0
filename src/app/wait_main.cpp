// comlookup-wait SECONDS WORD...: comlookup's answer at the first moment
// exactly one present device matches, or at the deadline.
// comlookup-wait --new|--gone SECONDS [WORD...]: the port of the first
// device (named by the words) that arrives, or leaves, while it waits.
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "app/fail_closed.h"
#include "app/help.h"
#include "app/wait_loop.h"
#include "common/port_entry.h"
#include "common/port_survey.h"
#include "lookup/query.h"
#include "lookup/select_port.h"
#include "lookup/survey_changes.h"
#include "lookup/wait_command.h"

// Silent on failure, like comlookup, which it stands in for.
const comlookup::ProcessFailure comlookup::PROCESS_FAILURE{comlookup::EXIT_NOT_FOUND, nullptr};

namespace {

constexpr std::string_view HELP =
    "waits up to SECONDS until exactly one present device's\n"
    "friendly name begins with the WORDs, and exits with its port number, as\n"
    "comlookup would answer then; with --new or --gone, the port of the first\n"
    "device that arrives or leaves while it waits. Prints nothing else.\n"
    "\n"
    "Usage: comlookup-wait SECONDS [--] WORD...\n"
    "       comlookup-wait --new|--gone SECONDS [[--] WORD...]\n"
    "\n"
    "  SECONDS          how long it waits at most, 0 to 86400; 0 looks once\n"
    "  WORD...          the beginning of the friendly name, as comlookup takes it\n"
    "  --new            the first device to arrive (named by the WORDs, if given)\n"
    "  --gone           the first device to leave (named by the WORDs, if given)\n"
    "  --               before WORDs that begin with --: 5 -- --odd name\n"
    "\n"
    "Exit status: the port number, 3 for COM3; -1 when no device matches (or\n"
    "arrives, or leaves) by the deadline, on a bad command line and after this\n"
    "help; -2 when more than one matches at the deadline, or arrives or leaves in\n"
    "the same look.\n"
    "Example: comlookup-wait 10 Arduino Leonardo bootloader\n"
    "More in docs\\waiting.md beside README.md.\n";

std::int32_t wait(int argc, const char* const* argv) {
    if (comlookup::asks_for_help(argc, argv)) {
        comlookup::write_help("comlookup-wait", HELP);
        return comlookup::EXIT_NOT_FOUND;
    }
    comlookup::QueryBuffer query{};
    const comlookup::WaitCommand command = comlookup::read_wait_command(argc, argv, query);
    if (!command.error.empty()) {
        comlookup::write_usage_error("comlookup-wait", command.error, comlookup::wait_usage(command));
        return comlookup::EXIT_NOT_FOUND;
    }
    if (command.what == comlookup::WaitFor::match) {
        // comlookup's answer, walked afresh only when it may have changed.
        struct Matching {
            const char* query;
            std::int32_t status;
        } matching{query.data(), comlookup::EXIT_NOT_FOUND};
        return comlookup::take_turns(
            command.seconds,
            [](void* context) {
                Matching& wanted = *static_cast<Matching*>(context);
                if (const std::optional<comlookup::Survey> look = comlookup::survey_port_ids_when_changed()) {
                    wanted.status = comlookup::select_port(comlookup::listed_ports(*look), wanted.query);
                }
                return comlookup::Turn{
                    wanted.status,
                    wanted.status != comlookup::EXIT_NOT_FOUND && wanted.status != comlookup::EXIT_AMBIGUOUS, true};
            },
            &matching);
    }
    comlookup::ChangeWait change{
        command.what == comlookup::WaitFor::arrival ? comlookup::ChangeKind::arrive : comlookup::ChangeKind::leave,
        command.words ? std::optional<std::string_view>(query.data()) : std::nullopt};
    return comlookup::take_turns(
        command.seconds,
        [](void* wanted) {
            std::optional<std::int32_t> port;
            if (std::optional<comlookup::Survey> look = comlookup::survey_port_ids_when_changed()) {
                port = comlookup::next_change(*static_cast<comlookup::ChangeWait*>(wanted), std::move(*look));
            }
            return comlookup::Turn{port.value_or(comlookup::EXIT_NOT_FOUND), port.has_value(), true};
        },
        &change);
}

}  // namespace

int main(int argc, char** argv) {
    return comlookup::run_fail_closed(wait, argc, argv);
}
