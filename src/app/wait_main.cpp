// comlookup-wait SECONDS WORD...: comlookup's answer at the first moment
// exactly one present device matches, or at the deadline.
#include <cstdint>

#include "app/fail_closed.h"
#include "app/wait_loop.h"
#include "common/port_entry.h"
#include "lookup/query.h"
#include "lookup/run_lookup.h"
#include "lookup/wait_command.h"

// Silent on failure, like comlookup, which it stands in for.
const comlookup::ProcessFailure comlookup::PROCESS_FAILURE{comlookup::EXIT_NOT_FOUND, nullptr};

namespace {

std::int32_t wait(int argc, const char* const* argv) {
    comlookup::QueryBuffer query;
    const comlookup::WaitCommand command = comlookup::read_wait_command(argc, argv, query);
    if (!command.error.empty()) {
        comlookup::write_usage_error("comlookup-wait", command.error, "comlookup-wait SECONDS WORD...");
        return comlookup::EXIT_NOT_FOUND;
    }
    return comlookup::wait_for_port(
        command.seconds, [](const void* words) { return comlookup::look_up(static_cast<const char*>(words)); },
        query.data());
}

}  // namespace

int main(int argc, char** argv) {
    return comlookup::run_fail_closed(wait, argc, argv);
}
