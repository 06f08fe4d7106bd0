#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lookup/query.h"

namespace comlookup {

// The longest comlookup-wait waits: a day.
inline constexpr std::uint32_t MAX_WAIT_SECONDS = 86400;

// A whole number of ASCII digits from 0 to `most`, and nothing else.
std::optional<std::uint32_t> read_whole_number(std::string_view text, std::uint32_t most);

// SECONDS: a whole number from 0 to MAX_WAIT_SECONDS; the error says so.
std::optional<std::uint32_t> read_seconds(std::string_view text);
std::string seconds_error();

// What comlookup-wait waits for: a device named by the words (SECONDS
// WORD...), or one that arrives (--new SECONDS [WORD...]) or leaves (--gone).
enum class WaitFor { match, arrival, departure };

// What a comlookup-wait command line asks for.
struct WaitCommand {
    std::uint32_t seconds = 0;
    std::string error;  // empty when the command line is good; else what is wrong with it
    WaitFor what = WaitFor::match;
    bool words = true;  // --new and --gone may go without
};

// Reads SECONDS, a whole number of ASCII digits from 0 to MAX_WAIT_SECONDS,
// and the words after it into `query` exactly as comlookup reads its own;
// after --new or --gone, first.
WaitCommand read_wait_command(int argc, const char* const* argv, QueryBuffer& query);

// The usage line for what `command` waits for.
std::string_view wait_usage(const WaitCommand& command);

}  // namespace comlookup
