#include "lookup/wait_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace comlookup {
namespace {

TEST(ReadWaitCommand, TakesWholeSecondsThenTheWordsAsComlookupDoes) {
    const std::string range = "SECONDS must be a whole number from 0 to 86400";
    const struct {
        std::vector<std::string> arguments;
        std::uint32_t seconds;
        std::string query;
        std::string error;
    } cases[] = {
        {{"10", "Arduino", "Leonardo"}, 10, "Arduino Leonardo", ""},
        {{"0", "USB"}, 0, "USB", ""},
        {{"86400", "USB"}, 86400, "USB", ""},
        {{"007", "USB", ""}, 7, "USB ", ""},
        {{}, 0, "", "no SECONDS given"},
        {{"10"}, 0, "", "no WORD after SECONDS"},
        {{"10", "", "USB"}, 0, "", "the first WORD is empty"},
        {{"10", std::string(300, 'x')}, 0, "", "the WORDs are longer than 299 bytes"},
        {{"86401", "USB"}, 0, "", range},
        {{"99999999999999999999", "USB"}, 0, "", range},
        {{"", "USB"}, 0, "", range},
        {{"-1", "USB"}, 0, "", range},
        {{"+5", "USB"}, 0, "", range},
        {{" 5", "USB"}, 0, "", range},
        {{"5s", "USB"}, 0, "", range},
        {{"1e3", "USB"}, 0, "", range},
    };
    for (const auto& c : cases) {
        const testing::Args args(c.arguments);
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments[0]);
        QueryBuffer query;
        const WaitCommand command = read_wait_command(args.argc(), args.argv.data(), query);
        EXPECT_EQ(c.error, command.error);
        if (c.error.empty()) {
            EXPECT_EQ(c.seconds, command.seconds);
            EXPECT_EQ(c.query, query.data());
        }
    }
}

TEST(ReadWaitCommand, NewAndGoneTakeSecondsFirstAndWordsOnlyWhenGiven) {
    const struct {
        std::vector<std::string> arguments;
        WaitFor what;
        bool words;
        std::string query;
        std::string error;
    } cases[] = {
        {{"--new", "60"}, WaitFor::arrival, false, "", ""},
        {{"--gone", "5", "CP2102", "USB"}, WaitFor::departure, true, "CP2102 USB", ""},
        {{"--new"}, WaitFor::arrival, false, "", "no SECONDS given"},
        {{"--new", "Arduino"}, WaitFor::arrival, false, "", "SECONDS must be a whole number from 0 to 86400"},
        {{"--new", "60", ""}, WaitFor::arrival, false, "", "the first WORD is empty"},
        {{"--gone", "60", std::string(300, 'x')}, WaitFor::departure, false, "", "the WORDs are longer than 299 bytes"},
        {{"--NEW", "60"}, WaitFor::match, true, "", "SECONDS must be a whole number from 0 to 86400"},
        // An option where a WORD stands is a mistake, never a name to wait out SECONDS for.
        {{"--new", "5", "--gone", "5"}, WaitFor::arrival, true, "", "--new and --gone cannot be given together"},
        {{"60", "--new"}, WaitFor::match, true, "", "--new must come before SECONDS"},
        {{"5", "--wait", "USB"},
         WaitFor::match,
         true,
         "",
         "the first WORD is an option; write -- before a name that begins with --"},
        {{"5", "--", "--odd", "--new"}, WaitFor::match, true, "--odd --new", ""},
        {{"5", "--"}, WaitFor::match, true, "", "no WORD after SECONDS"},
        {{"5", "USB", "--", "x"}, WaitFor::match, true, "USB -- x", ""},
    };
    for (const auto& c : cases) {
        const testing::Args args(c.arguments);
        SCOPED_TRACE(c.arguments[0]);
        QueryBuffer query{};
        const WaitCommand command = read_wait_command(args.argc(), args.argv.data(), query);
        EXPECT_EQ(c.error, command.error);
        EXPECT_EQ(c.what, command.what);
        if (c.error.empty()) {
            EXPECT_EQ(c.words, command.words);
            EXPECT_EQ(c.query, query.data());
        }
    }
}

}  // namespace
}  // namespace comlookup
