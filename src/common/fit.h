#pragma once

#include <string_view>
#include <vector>

namespace comlookup {

// How a device stands to a command's TERMs: it meets them, it does not, or
// only a part of its identity that could not be read could tell.
enum class Fit { no, yes, unknown };

// Whether a device meets two conditions at once: a part that rules it out
// settles it, whatever could not be read.
constexpr Fit both(Fit a, Fit b) {
    if (a == Fit::no || b == Fit::no) {
        return Fit::no;
    }
    return a == Fit::unknown || b == Fit::unknown ? Fit::unknown : Fit::yes;
}

constexpr Fit fit_of(bool met) {
    return met ? Fit::yes : Fit::no;
}

// How a device stands to one TERM of a command line, named by its key.
struct TermFit {
    std::string_view key;
    Fit fit = Fit::yes;
};

// How it stands to them all.
inline Fit all_of(const std::vector<TermFit>& fits) {
    Fit fit = Fit::yes;
    for (const TermFit& term : fits) {
        fit = both(fit, term.fit);
    }
    return fit;
}

}  // namespace comlookup
