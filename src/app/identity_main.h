#pragma once

#include <cstdint>

#include "app/fail_closed.h"
#include "app/help.h"
#include "app/wait_loop.h"
#include "common/port_entry.h"

namespace comlookup {

// The body of a program that finds a port by an identity's TERMs, as
// comlookup does by a name: a bad command line gets its line on stderr and
// EXIT_NOT_FOUND, never a look, and so does a help. `Program` gives NAME,
// USAGE, help() (the help after "<program> <version>: "), read(argc, argv) (a
// command with error, wait_seconds and terms) and look(terms).
template <typename Program>
std::int32_t find_by_terms(int argc, const char* const* argv) {
    if (asks_for_help(argc, argv)) {
        write_help(Program::NAME, Program::help());
        return EXIT_NOT_FOUND;
    }
    const auto command = Program::read(argc, argv);
    if (!command.error.empty()) {
        write_usage_error(Program::NAME, command.error, Program::USAGE);
        return EXIT_NOT_FOUND;
    }
    using Terms = decltype(command.terms);
    const Look look = [](const void* context) { return Program::look(*static_cast<const Terms*>(context)); };
    return look_or_wait(command.wait_seconds, look, &command.terms);
}

}  // namespace comlookup
