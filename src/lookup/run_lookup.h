#pragma once

#include <cstdint>

namespace comlookup {

// The program's whole behaviour: the status it returns becomes the process
// exit status unchanged.
std::int32_t run_lookup(int argc, const char* const* argv);

// One look at the present ports for a ready query: what comlookup answers
// for it at this moment.
std::int32_t look_up(const char* query);

}  // namespace comlookup
