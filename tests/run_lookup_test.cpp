#include "lookup/run_lookup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lookup/query.h"
#include "test_support.h"

namespace comlookup {
namespace {

using testing::Args;
using testing::g_ports;
using testing::g_source_calls;

std::string query_of(const std::vector<std::string>& arguments) {
    const Args args(arguments);
    QueryBuffer buffer;
    buffer.fill('#');
    if (!build_query(args.argc(), args.argv.data(), buffer)) {
        EXPECT_EQ('\0', buffer[0]) << "a rejected query must leave the empty text";
        return "<too long>";
    }
    return buffer.data();
}

std::string z_joined(int count) {
    std::string joined = "z";
    for (int i = 1; i < count; ++i) {
        joined += " z";
    }
    return joined;
}

TEST(BuildQuery, JoinsArgumentsWithSingleBlanks) {
    const std::string a150(150, 'a');
    const std::string b148(148, 'b');
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        std::string expected;
    } cases[] = {
        {"three words", {"USB", "Serial", "Device"}, "USB Serial Device"},
        {"one quoted argument keeps its blanks", {"USB  Serial"}, "USB  Serial"},
        {"trailing empty argument keeps its blank", {"USB", ""}, "USB "},
        {"empty arguments in the middle", {"A", "", "", "B"}, "A   B"},
        {"nothing changed", {" *?\"Caf\xE9\t"}, " *?\"Caf\xE9\t"},
        {"299 bytes in one argument", {std::string(299, 'q')}, std::string(299, 'q')},
        {"299 bytes with the blank", {a150, b148}, a150 + " " + b148},
        {"300 bytes in one argument", {std::string(300, 'q')}, "<too long>"},
        {"300 bytes with the blank", {a150, b148 + "b"}, "<too long>"},
        {"299 bytes then an empty argument", {std::string(299, 'q'), ""}, "<too long>"},
        {"299 bytes from 150 one-byte arguments", std::vector<std::string>(150, "z"), z_joined(150)},
        {"151 one-byte arguments", std::vector<std::string>(151, "z"), "<too long>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, query_of(c.arguments));
    }
}

TEST(RunLookup, AnswersFromThePortSource) {
    const PortList typical = {{"COM1", "Communications Port (COM1)"}, {"COM3", "USB Serial Device (COM3)"}};
    const PortList twins = {{"COM4", "USB-SERIAL Adapter"}, {"COM5", "USB-SERIAL Adapter"}};
    const struct {
        const char* name;
        PortList ports;
        std::vector<std::string> arguments;
        std::int32_t expected;
        int expected_source_calls;
    } cases[] = {
        {"no arguments", typical, {}, EXIT_NOT_FOUND, 0},
        {"empty first argument", typical, {"", "USB"}, EXIT_NOT_FOUND, 0},
        {"empty only argument", typical, {""}, EXIT_NOT_FOUND, 0},
        {"query over 299 bytes", {{"COM9", std::string(255, 'x')}}, {std::string(300, 'x')}, EXIT_NOT_FOUND, 0},
        {"three words", typical, {"USB", "Serial", "Device"}, 3, 1},
        {"trailing blank", {{"COM4", "USB"}, {"COM5", "USB Hub"}}, {"USB", ""}, 5, 1},
        {"299-byte query", {{"COM9", std::string(299, 'x')}}, {std::string(299, 'x')}, 9, 1},
        {"no port present", {}, {"USB"}, EXIT_NOT_FOUND, 1},
        {"ambiguous", twins, {"USB-SERIAL"}, EXIT_AMBIGUOUS, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_ports = c.ports;
        g_source_calls = 0;
        const Args args(c.arguments);
        EXPECT_EQ(c.expected, run_lookup(args.argc(), args.argv.data()));
        EXPECT_EQ(c.expected_source_calls, g_source_calls);
    }
}

}  // namespace
}  // namespace comlookup
