// comlookup-wait SECONDS WORD...: comlookup's answer at the first moment
// exactly one present device matches, or at the deadline.
// comlookup-wait --new|--gone SECONDS [WORD...]: the port of the first
// device (named by the words) that arrives, or leaves, while it waits.
#include <cstdint>
#include <optional>
#include <string_view>

#include "app/fail_closed.h"
#include "app/wait_loop.h"
#include "common/port_entry.h"
#include "common/port_survey.h"
#include "lookup/query.h"
#include "lookup/run_lookup.h"
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
        return comlookup::wait_for_port(
            command.seconds, [](const void* words) { return comlookup::look_up(static_cast<const char*>(words)); },
            query.data());
    }
    comlookup::ChangeWait change{
        command.what == comlookup::WaitFor::arrival ? comlookup::ChangeKind::arrive : comlookup::ChangeKind::leave,
        command.words ? std::optional<std::string_view>(query.data()) : std::nullopt};
    return comlookup::take_turns(
        command.seconds,
        [](void* wanted) {
            const std::optional<std::int32_t> port =
                comlookup::next_change(*static_cast<comlookup::ChangeWait*>(wanted), comlookup::survey_port_ids());
            return comlookup::Turn{port.value_or(comlookup::EXIT_NOT_FOUND), port.has_value()};
        },
        &change);
}

}  // namespace

int main(int argc, char** argv) {
    return comlookup::run_fail_closed(wait, argc, argv);
}
