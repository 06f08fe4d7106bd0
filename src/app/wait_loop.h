#pragma once

#include <cstdint>
#include <optional>

namespace comlookup {

// One look at the present devices: a port number, EXIT_NOT_FOUND or
// EXIT_AMBIGUOUS.
using Look = std::int32_t (*)(const void* context);

// What one turn of a wait found: the status it would end with now, and
// whether that is the answer, so the wait ends.
struct Turn {
    std::int32_t status = 0;
    bool done = false;
    // The turn keeps its own looks to their share of the processor (see
    // survey_port_ids_when_changed): the next comes after the shortest pause.
    bool paced = false;
};
using TakeTurn = Turn (*)(void* context);

// Takes turns until one is done or `seconds` have passed (none: until one
// is done), and returns the last turn's status; the last turn falls on the
// deadline itself. The first turn is at once, the next at least a quarter
// second later and further apart when a turn takes long, so that waiting
// leaves the processor idle nine tenths of the time. Ctrl+C ends the process
// as Windows' own handler would, even where the caller ignores it.
std::int32_t take_turns(std::optional<std::uint32_t> seconds, TakeTurn turn, void* context);

// Looks until `look` gives a port or `seconds` have passed, and returns its
// last answer.
std::int32_t wait_for_port(std::uint32_t seconds, Look look, const void* context);

// One look, or with "--wait SECONDS" as many as wait_for_port takes.
std::int32_t look_or_wait(std::optional<std::uint32_t> seconds, Look look, const void* context);

}  // namespace comlookup
