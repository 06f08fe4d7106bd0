#pragma once

#include <string>
#include <string_view>

#include "common/port_survey.h"
#include "listing/text.h"

namespace comlookup {

// How a listed device that the query does not name comes close to it. Both
// kinds ignore ASCII case and runs of blanks: the commonest reasons a script
// misses its device.
enum class NearMiss {
    none,
    loose_prefix,  // its friendly name begins with the query, loosely
    further_in,    // its friendly name holds the query, loosely, but not at its start
};

NearMiss near_miss(std::string_view friendly_name, std::string_view query);

// How the listing is written: the code page its names are in, and where it
// goes.
struct ListingStyle {
    CodePage code_page;
    Sink sink = Sink::file;
};

// What comlookup-list prints for these arguments over this survey, lines
// ending in '\n': the usage text first when the first word asks for help;
// every device with the status comlookup gives for it alone, or why it is
// left out; the devices the query names or nearly names; and last, "exit
// status N: ..." with the status comlookup returns for the same arguments,
// whatever they are, reached through its own query and selection code.
std::string describe_lookup(const Survey& survey, int argc, const char* const* argv, const ListingStyle& style);

// Whether the survey read everything it should have: no walk failure and no
// unreadable device. comlookup-list's exit status says so.
bool survey_complete(const Survey& survey);

}  // namespace comlookup
