#include "lookup/wait_command.h"

#include <string_view>

namespace comlookup {

std::optional<std::uint32_t> read_whole_number(std::string_view text, std::uint32_t most) {
    std::uint32_t number = 0;
    bool digits = !text.empty();
    for (const char c : text) {
        digits = digits && c >= '0' && c <= '9';
        // Capped, so that no run of digits can overflow.
        number = digits && number <= most ? number * 10 + static_cast<std::uint32_t>(c - '0') : number;
    }
    if (!digits || number > most) {
        return std::nullopt;
    }
    return number;
}

std::optional<std::uint32_t> read_seconds(std::string_view text) {
    return read_whole_number(text, MAX_WAIT_SECONDS);
}

std::string seconds_error() {
    return "SECONDS must be a whole number from 0 to " + std::to_string(MAX_WAIT_SECONDS);
}

namespace {

bool is_mode(std::string_view word) {
    return word == "--new" || word == "--gone";
}

// An option where a WORD stands would otherwise be waited for as a name: a
// mistyped line must end at once, not wait out its SECONDS.
std::string misplaced_option(int argc, const char* const* argv, WaitFor what) {
    for (int at = 2; at < argc; ++at) {
        const std::string_view word = argv[at];
        if (is_mode(word)) {
            return what == WaitFor::match ? std::string(word) + " must come before SECONDS"
                                          : "--new and --gone cannot be given together";
        }
        if (at == 2 && word.starts_with("--")) {
            return "the first WORD is an option; write -- before a name that begins with --";
        }
    }
    return {};
}

// SECONDS in argv[1], then the words after it, read as comlookup reads its
// arguments: SECONDS stands where comlookup's own name does, or a "--" word
// after it, which lets the words begin with "--".
WaitCommand read_seconds_and_words(int argc, const char* const* argv, QueryBuffer& query, WaitFor what) {
    if (argc < 2) {
        return {0, "no SECONDS given", what};
    }
    const std::optional<std::uint32_t> seconds = read_seconds(argv[1]);
    if (!seconds) {
        return {0, seconds_error(), what};
    }
    const int name_at = argc > 2 && std::string_view(argv[2]) == "--" ? 2 : 1;
    if (const std::string error = name_at == 1 ? misplaced_option(argc, argv, what) : ""; !error.empty()) {
        return {0, error, what};
    }
    if (argc - name_at < 2 && what != WaitFor::match) {
        return {*seconds, {}, what, false};
    }
    switch (read_query(argc - name_at, argv + name_at, query)) {
        case QueryState::ready:
            return {*seconds, {}, what};
        case QueryState::missing:
            return {0, argc - name_at < 2 ? "no WORD after SECONDS" : "the first WORD is empty", what};
        case QueryState::too_long:
            return {0, "the WORDs are longer than " + std::to_string(QUERY_CAPACITY - 1) + " bytes", what};
    }
    return {0, "unreadable command line", what};
}

}  // namespace

WaitCommand read_wait_command(int argc, const char* const* argv, QueryBuffer& query) {
    const std::string_view first = argc >= 2 ? argv[1] : "";
    if (first == "--new" || first == "--gone") {
        return read_seconds_and_words(argc - 1, argv + 1, query,
                                      first == "--new" ? WaitFor::arrival : WaitFor::departure);
    }
    return read_seconds_and_words(argc, argv, query, WaitFor::match);
}

std::string_view wait_usage(const WaitCommand& command) {
    return command.what == WaitFor::match ? "comlookup-wait SECONDS WORD..."
                                          : "comlookup-wait --new|--gone SECONDS [WORD...]";
}

}  // namespace comlookup
