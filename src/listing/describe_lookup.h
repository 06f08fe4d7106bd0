#pragma once

#include <string>

#include "listing/device_description.h"
#include "listing/listing_model.h"
#include "listing/text.h"

namespace comlookup {

// What comlookup-list prints for these arguments, lines ending in '\n': every
// present device of the ports class with the status comlookup gives for it
// alone, or why it is left out; the devices the query names or nearly names;
// COM ports of other classes and devices not present now; a query for each
// device when the words name several; and last, "exit status N: ..." with the
// status comlookup returns for the same arguments, whatever they are,
// reached through its own query and selection code.
std::string describe_lookup(const Surveys& surveys, int argc, const char* const* argv, const ListingStyle& style);

// The same listing as one JSON document (RFC 8259), every text converted
// from the code page to UTF-8, for the words after --json.
std::string describe_lookup_json(const Surveys& surveys, int argc, const char* const* argv, const CodePage& code_page);

// How a walk fell short, with its error: "The walk stopped early: ...".
std::string walk_failure_text(const WalkFailure& failure);

}  // namespace comlookup
