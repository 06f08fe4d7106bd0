#pragma once

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

}  // namespace comlookup
