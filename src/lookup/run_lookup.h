#pragma once

#include <cstdint>

namespace comlookup {

// The program's whole behaviour: the status it returns becomes the process
// exit status unchanged.
std::int32_t run_lookup(int argc, const char* const* argv);

}  // namespace comlookup
