#pragma once

#include <cstdint>
#include <optional>

namespace comlookup {

// One look at the present devices: a port number, EXIT_NOT_FOUND or
// EXIT_AMBIGUOUS.
using Look = std::int32_t (*)(const void* context);

// Looks until `look` gives a port or `seconds` have passed, and returns its
// last answer; the last look falls on the deadline itself. Ctrl+C ends the
// process as Windows' own handler would, even where the caller ignores it.
std::int32_t wait_for_port(std::uint32_t seconds, Look look, const void* context);

// One look, or with "--wait SECONDS" as many as wait_for_port takes.
std::int32_t look_or_wait(std::optional<std::uint32_t> seconds, Look look, const void* context);

}  // namespace comlookup
