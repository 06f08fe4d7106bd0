#include "lookup/command_terms.h"

#include "lookup/wait_command.h"

namespace comlookup {

TermsStart read_terms_start(int argc, const char* const* argv) {
    TermsStart start;
    if (argc > 1 && std::string_view(argv[1]) == "--wait") {
        start.wait_seconds = argc > 2 ? read_seconds(argv[2]) : std::nullopt;
        if (!start.wait_seconds) {
            return {std::nullopt, 1, seconds_error()};
        }
        start.first = 3;
    }
    if (start.first >= argc) {
        return {std::nullopt, 1, "no TERM given"};
    }
    return start;
}

std::string in_words(const std::vector<std::string_view>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + std::string(names[i]);
    }
    return text;
}

}  // namespace comlookup
