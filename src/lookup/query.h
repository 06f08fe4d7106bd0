#pragma once

#include <array>
#include <cstddef>

namespace comlookup {

// Room for 299 bytes of query and its NUL terminator.
inline constexpr std::size_t QUERY_CAPACITY = 300;
using QueryBuffer = std::array<char, QUERY_CAPACITY>;

// Joins argv[1..argc) with single blanks into `buffer` as NUL-terminated
// text. Returns false, leaving the empty text, when the joined query would
// not fit.
bool build_query(int argc, const char* const* argv, QueryBuffer& buffer);

enum class QueryState {
    ready,     // `buffer` holds a non-empty query
    missing,   // no argument, or an empty first one
    too_long,  // more than QUERY_CAPACITY - 1 bytes once joined
};

// The query a command line asks for, as comlookup reads it. Only a ready
// query is ever looked up: every other state means EXIT_NOT_FOUND.
QueryState read_query(int argc, const char* const* argv, QueryBuffer& buffer);

}  // namespace comlookup
