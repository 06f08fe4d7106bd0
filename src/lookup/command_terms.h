#pragma once

// The command lines of the companions that find a port by what tells its
// device apart: "PROGRAM [--wait SECONDS] KEY=VALUE...", read against a
// table of the keys each program takes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace comlookup {

// One KEY a program takes, and how its value is read.
template <typename Terms>
struct TermKey {
    std::string_view name;
    // Stores `value`, never empty, in `terms`; false when it is no value of this key.
    bool (*read)(std::string_view value, Terms& terms);
    std::string_view takes;  // what a value must be, for the error: "takes 1 to 4 hex digits, such as vid=2E8A"
    std::string_view value;  // the VALUE's form in the help: "HEX"
    std::string_view means;  // the help's line about the key, at most 60 columns
};

template <typename Terms>
struct TermCommand {
    std::optional<std::uint32_t> wait_seconds;
    Terms terms;
    std::string error;  // empty when the command line is good; else what is wrong with it
};

// Where the TERMs begin, past a "--wait SECONDS" as the first argument; or
// what is wrong with SECONDS, or that no TERM follows.
struct TermsStart {
    std::optional<std::uint32_t> wait_seconds;
    int first = 1;
    std::string error;
};
TermsStart read_terms_start(int argc, const char* const* argv);

// "vid, pid and serial".
std::string in_words(const std::vector<std::string_view>& names);

// Stores a value that was read, for a TermKey's `read`.
template <typename Value>
bool stored(std::optional<Value>& term, std::optional<Value> value) {
    if (!value) {
        return false;
    }
    term = std::move(value);
    return true;
}

// Stores a text value as it stands, for a TermKey's `read`.
inline bool text_term(std::optional<std::string>& term, std::string_view value) {
    return stored(term, std::optional<std::string>(value));
}

// The help's lines about `keys`, one a key in the table's order, so that a
// key cannot be missing from it: "  vid=HEX          the vendor ID...".
template <typename Terms>
std::string key_lines(std::span<const TermKey<Terms>> keys) {
    constexpr std::size_t COLUMN = 19;  // where --wait's line in each help has its meaning too
    std::string lines;
    for (const TermKey<Terms>& key : keys) {
        std::string form = "  " + std::string(key.name) + "=" + std::string(key.value);
        form.resize(std::max(form.size() + 1, COLUMN), ' ');
        lines += form + std::string(key.means) + "\n";
    }
    return lines;
}

// Reads the command line against `keys`, stopping at its first fault. The
// words themselves are never echoed: they may hold anything.
template <typename Terms>
TermCommand<Terms> read_term_command(int argc, const char* const* argv, std::span<const TermKey<Terms>> keys) {
    const auto failed = [](std::string error) { return TermCommand<Terms>{std::nullopt, {}, std::move(error)}; };
    const TermsStart start = read_terms_start(argc, argv);
    if (!start.error.empty()) {
        return failed(start.error);
    }
    TermCommand<Terms> command{start.wait_seconds, {}, {}};
    std::vector<bool> given(keys.size(), false);
    for (int i = start.first; i < argc; ++i) {
        const std::string_view word = argv[i];
        const std::size_t equals = word.find('=');
        const std::string which = "argument " + std::to_string(i);
        if (equals == std::string_view::npos) {
            return failed(which + " is not KEY=VALUE");
        }
        const std::string_view name = word.substr(0, equals);
        const std::string_view value = word.substr(equals + 1);
        const auto key =
            std::find_if(keys.begin(), keys.end(), [&](const TermKey<Terms>& k) { return k.name == name; });
        if (key == keys.end()) {
            std::vector<std::string_view> names;
            for (const TermKey<Terms>& k : keys) {
                names.push_back(k.name);
            }
            return failed(which + " has an unknown key: " + (names.size() == 1 ? "the key is " : "the keys are ") +
                          in_words(names));
        }
        const std::string term = which + ", " + std::string(name) + "=, ";
        const auto place = static_cast<std::size_t>(key - keys.begin());
        if (value.empty()) {
            return failed(term + "has no value");
        }
        if (given[place]) {
            return failed(term + "is given twice");
        }
        if (!key->read(value, command.terms)) {
            return failed(term + std::string(key->takes));
        }
        given[place] = true;
    }
    return command;
}

}  // namespace comlookup
