// What a user pastes from the listing, read as the programs that will read
// it: the C runtime's argument parser, and cmd.exe, which toggles its
// quoting at every quote and acts on & | < > ^ % outside quotes. Both models
// here are written from the rules, not from the code under test.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "listing/describe_lookup.h"
#include "test_support.h"

namespace comlookup {
namespace {

// The C runtime's reading of the arguments of a command line: 2n
// backslashes before a quote are n and the quote toggles quoting, 2n+1 are n
// and a literal quote, "" inside quotes is a quote, other backslashes are
// literal.
std::vector<std::string> runtime_arguments(std::string_view line) {
    std::vector<std::string> arguments;
    std::optional<std::string> argument;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (argument) {
                arguments.push_back(*argument);
            }
            argument.reset();
            continue;
        }
        std::string& text = argument ? *argument : argument.emplace();
        if (c == '\\') {
            const std::size_t run = std::min(line.find_first_not_of('\\', i), line.size()) - i;
            const bool quote_follows = i + run < line.size() && line[i + run] == '"';
            text.append(quote_follows ? run / 2 : run, '\\');
            i += run - 1;
            if (quote_follows && run % 2 == 1) {
                text += '"';
                ++i;
            }
        } else if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
            text += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else {
            text += c;
        }
    }
    if (argument) {
        arguments.push_back(*argument);
    }
    return arguments;
}

// Whether cmd.exe would act on a character of `line` instead of passing it to
// the program: a line end anywhere, or & | < > ^ % outside its quotes.
bool cmd_acts_on(std::string_view line) {
    bool quoted = false;
    for (const char c : line) {
        if (c == '\r' || c == '\n') {
            return true;
        }
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && std::string_view("&|<>^%").find(c) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

std::string listing_of(const Survey& survey, const std::vector<std::string>& words) {
    const testing::Args args(words);
    return describe_lookup({survey}, args.argc(), args.argv.data(), {testing::latin1_code_page(), Sink::file});
}

// Two adapters alike but for a hostile serial number on one and a hostile
// location path on the other: each suggested command must read back to exactly its
// terms in the runtime and leave cmd nothing to act on, or not be given.
TEST(Pasting, SuggestionsReadTheSameToCmdAndTheRuntime) {
    const char* const values[] = {
        "plain",   "a\"b",    "\\\\\\\\\"", "a \\\"b\\\" \\", "a&b|c<d>e^f(g)h%i%", "x!y!",
        "trail\\", "two\\\\", "blank \\",   "tab\there",      "line\r\n",           "\"&calc&\"",
    };
    for (const std::string value : values) {
        SCOPED_TRACE(value);
        SurveyedPort with_serial{"COM3", "USB Serial Device (COM3)"};
        with_serial.usb = {0x2E8A, 0x000A, value, std::nullopt, value};
        SurveyedPort with_socket{"COM4", "USB Serial Device (COM4)"};
        with_socket.usb = {0x2E8A, 0x000A, std::nullopt, std::nullopt, std::nullopt, value, {value}};
        const Survey survey{{with_serial, with_socket}};
        const testing::Args args({"USB"});
        const Listing listing = model_listing({survey}, args.argc(), args.argv.data(), testing::latin1_code_page());
        ASSERT_EQ(2U, listing.suggestions.size());
        const bool pasteable = value.find_first_of("\"\t\r\n") == std::string::npos;
        const std::string text = listing_of(survey, {"USB"});
        for (std::size_t i = 0; i < 2; ++i) {
            const std::string& command = listing.suggestions[i].command;
            EXPECT_EQ(pasteable, !command.empty()) << command;
            if (command.empty()) {
                EXPECT_NE(std::string::npos, text.find("Nothing picks out")) << text;
                continue;
            }
            EXPECT_FALSE(cmd_acts_on(command)) << command;
            const std::string term = i == 0 ? "serial=" : "path=";
            const std::vector<std::string> expected = {"comlookup-usb", "vid=2E8A", "pid=000A", term + value};
            EXPECT_EQ(expected, runtime_arguments(command));
            EXPECT_NE(std::string::npos, text.find("  " + command + "\n")) << text;
        }
        // What the identity lines show reads back too, quotes and all; only
        // controls are shown escaped, so that none reaches the console.
        std::vector<std::string> shown;
        for (const std::string& line : lines_of(text)) {
            if (line.starts_with(std::string(20, ' ')) && line.find('=') != std::string::npos) {
                const std::vector<std::string> terms = runtime_arguments(line);
                shown.insert(shown.end(), terms.begin(), terms.end());
            }
        }
        for (const std::string term : {"serial=", "product=", "location=", "path="}) {
            const bool found = std::find(shown.begin(), shown.end(), term + value) != shown.end();
            EXPECT_EQ(value.find_first_of("\t\r\n") == std::string::npos, found) << term << '\n' << text;
        }
    }
}

// Empty texts, trailing backslashes, long port names and long statuses: no
// empty TERM is shown, every shown TERM reads back, and every line fits 79
// columns but a port name or name that stands alone.
TEST(Pasting, HostileValuesInTheListingFitAndReadBack) {
    const std::string long_port = "COM" + std::string(70, '9');
    const std::string long_status_port = "COM123456789";
    SurveyedPort empty{"COM5", "Board (COM5)"};
    empty.usb = {0x1A86, 0x7523, std::nullopt, std::nullopt, "", ""};
    SurveyedPort backslash{"COM6", "Board (COM6)"};
    backslash.usb = {0x1A86, 0x7523, std::nullopt, std::nullopt, "a\\", "b\\\\"};
    SurveyedPort long_one{long_port, "Board long"};
    long_one.usb = {0x1A86, 0x7523, std::nullopt, std::nullopt, std::nullopt, "Port_#0009.Hub_#0001"};
    const Survey survey{{empty, backslash, long_one, {long_status_port, "Status long (COM123456789)"}}};
    for (const auto& words : {std::vector<std::string>{"Board"}, {"Status"}, {"Board", "long"}}) {
        const std::string text = listing_of(survey, words);
        SCOPED_TRACE(text);
        EXPECT_EQ(std::string::npos, text.find("=\"\"")) << "an empty TERM is shown";
        for (const std::string& line : lines_of(text)) {
            if (line != long_port) {
                EXPECT_GE(79U, line.size()) << line;
            }
            if (line.starts_with("                    vid=1A86")) {
                const std::vector<std::string> terms = runtime_arguments(line);
                EXPECT_TRUE(terms.size() == 2 ||
                            (terms.size() == 4 && terms[2] == "product=a\\" && terms[3] == "location=b\\\\") ||
                            (terms.size() == 3 && terms[2] == "location=Port_#0009.Hub_#0001"))
                    << line;
            }
        }
    }
    const std::vector<std::string> lines = lines_of(listing_of(survey, {"Status"}));
    EXPECT_EQ("The device that matches is on COM123456789.", lines.at(lines.size() - 2));
    EXPECT_EQ("exit status 123456789: exactly one listed device matches the query", lines.back());
}

}  // namespace
}  // namespace comlookup
