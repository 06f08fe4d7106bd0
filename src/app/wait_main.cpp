// comlookup-wait SECONDS WORD...: comlookup's answer at the first moment
// exactly one present device matches, or at the deadline.
// comlookup-wait --new|--gone SECONDS [WORD...]: the port of the first
// device (named by the words) that arrives, or leaves, while it waits.
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "app/fail_closed.h"
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

std::int32_t wait(int argc, const char* const* argv) {
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
