#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/port_survey.h"
#include "listing/text.h"

namespace comlookup {

// How a listed device that the query does not name comes close to it. Both
// kinds ignore ASCII case and runs of blanks, the commonest reasons a script
// misses its device, and look only at whole characters of the code page.
enum class NearMiss {
    none,
    loose_prefix,  // its friendly name begins with the query, loosely
    further_in,    // its friendly name holds the query, loosely, but not at its start
};

NearMiss near_miss(std::string_view friendly_name, std::string_view query, const CodePage& code_page);

// The shortest run of whole words from the start of listed[index]'s friendly
// name that no other listed device's friendly name begins with, short of a
// " (COMn)" at its end; empty when there is none.
std::string distinguishing_query(const PortList& listed, std::size_t index);

// What comlookup-list reads: comlookup's own walk, and what lies beside it.
struct Surveys {
    Survey present = {};        // the ports setup class now, as comlookup reads it
    Survey other_classes = {};  // COM ports of the other setup classes
    Survey known = {};          // the ports setup class, present or not
};

// The devices of `known` that `present` does not hold, by instance ID.
std::vector<SurveyedPort> not_present(const Survey& known, const Survey& present);

// How the listing is written: the code page its names are in, and where it
// goes.
struct ListingStyle {
    CodePage code_page;
    Sink sink = Sink::file;
};

// What comlookup-list prints for these arguments, lines ending in '\n': the
// usage text first when the first word asks for help; every present device
// of the ports class with the status comlookup gives for it alone, or why it
// is left out; the devices the query names or nearly names; COM ports of
// other classes and devices not present now; a query for each device when
// the words name several; and last, "exit status N: ..." with the status
// comlookup returns for the same arguments, whatever they are, reached
// through its own query and selection code.
std::string describe_lookup(const Surveys& surveys, int argc, const char* const* argv, const ListingStyle& style);

// Whether the walks read everything they should have: no walk failed and no
// present device's names were unreadable. comlookup-list's exit status says
// so.
bool surveys_complete(const Surveys& surveys);

}  // namespace comlookup
