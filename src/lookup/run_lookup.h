#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace comlookup {

// Room for 299 bytes of query and its NUL terminator.
inline constexpr std::size_t QUERY_CAPACITY = 300;
using QueryBuffer = std::array<char, QUERY_CAPACITY>;

// Joins argv[1..argc) with single blanks into `buffer` as NUL-terminated
// text. Returns false, leaving the empty text, when the joined query would
// not fit.
bool build_query(int argc, const char* const* argv, QueryBuffer& buffer);

// The program's whole behaviour: the status it returns becomes the process
// exit status unchanged.
std::int32_t run_lookup(int argc, const char* const* argv);

}  // namespace comlookup
