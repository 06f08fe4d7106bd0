#include "listing/describe_lookup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "lookup/run_lookup.h"
#include "test_support.h"

namespace comlookup {
namespace {

using testing::Args;

TEST(NearMiss, IgnoresAsciiCaseAndRunsOfBlanks) {
    const struct {
        const char* friendly_name;
        const char* query;
        NearMiss expected;
    } cases[] = {
        {"USB Serial Device (COM3)", "USB Serial", NearMiss::none},  // a match is no miss
        {"USB Serial Device (COM3)", "usb serial", NearMiss::loose_prefix},
        {"USB Serial Device (COM3)", "USB  Serial", NearMiss::loose_prefix},
        {"USB Serial Device (COM3)", " USB\tSERIAL ", NearMiss::loose_prefix},
        {"USB  Serial", "usb serial", NearMiss::loose_prefix},
        {"USB", "USB ", NearMiss::loose_prefix},
        {"USB Serial Device (COM3)", "Serial Device", NearMiss::further_in},
        {"USB Serial Device (COM3)", "serial  device", NearMiss::further_in},
        {"USB Serial Device (COM3)", "COM3", NearMiss::further_in},
        {"USB Serial Device (COM3)", "USBSerial", NearMiss::none},
        {"USB Serial Device (COM3)", "Printer", NearMiss::none},
        {"USB Serial Device (COM3)", "  ", NearMiss::none},
        {"Ger\xE4t A", "GER\xC4T", NearMiss::none},  // only ASCII letters fold
        {"Ger\xE4t A", "GER\xE4T", NearMiss::loose_prefix},
        {"Short", "Short name", NearMiss::none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.friendly_name) + " / " + c.query);
        EXPECT_EQ(c.expected, near_miss(c.friendly_name, c.query));
    }
}

const Survey DEMO = {{
    {"COM1", "Communications Port (COM1)", SkipReason::none},
    {"COM3", "USB Serial Device (COM3)", SkipReason::none},
    {"LPT1", "Printer Port (LPT1)", SkipReason::not_com},
    {"COM4", "USB-SERIAL Adapter", SkipReason::none},
    {"COM5", "USB-SERIAL Adapter", SkipReason::none},
}};

std::string listing(const Survey& survey, const Args& args, Sink sink = Sink::file) {
    return describe_lookup(survey, args.argc(), args.argv.data(), {testing::latin1_code_page(), sink});
}

std::string last_line(const std::string& text) {
    const std::size_t start = text.rfind('\n', text.size() - 2);
    return text.substr(start + 1, text.size() - start - 2);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// The listing states the status comlookup itself returns for the same
// arguments over the same devices, whatever they are.
TEST(DescribeLookup, StatesTheStatusComlookupReturns) {
    const std::vector<std::vector<std::string>> calls = {
        {},
        {""},
        {"", "USB"},
        {"USB"},
        {"USB", ""},
        {"USB-SERIAL"},
        {"USB-", "S"},
        {"usb serial"},
        {"Printer"},
        {"Comm"},
        {"USB Serial"},
        {"COM3"},
        {std::string(299, 'x')},
        {std::string(300, 'x')},
        {"USB", "Serial", "Device", "(COM3)"},
        {"-h"},
        {"--help", "tool"},
        {"/?"},
    };
    const Survey surveys[] = {
        DEMO,
        {},
        {{{"COM-2", "USB Odd", SkipReason::none}, {"COM", "Comm Zero", SkipReason::none}}},
        {{{"", "", SkipReason::no_friendly_name}, {"COM9", std::string(299, 'x'), SkipReason::none}}},
        {{{"COM11", "-h tool", SkipReason::none},
          {"COM12", "--help tool", SkipReason::none},
          {"COM13", "/? tool", SkipReason::none}}},
        {DEMO.devices, WalkFailure{WalkFailure::Stage::enumeration_stopped, 8, 3}},
    };
    for (const Survey& survey : surveys) {
        testing::g_ports = listed_ports(survey);
        for (const auto& arguments : calls) {
            const Args args(arguments);
            const std::string stated = last_line(listing(survey, args));
            const std::string expected = "exit status " + std::to_string(run_lookup(args.argc(), args.argv.data()));
            SCOPED_TRACE(stated);
            EXPECT_EQ(expected + ":", stated.substr(0, expected.size() + 1));
        }
    }
}

TEST(DescribeLookup, SaysWhyInItsLastLine) {
    const struct {
        const char* name;
        Survey survey;
        std::vector<std::string> arguments;
        std::string expected;
    } cases[] = {
        {"no arguments", DEMO, {}, "exit status -1: no query was given"},
        {"empty first word", DEMO, {"", "USB"}, "exit status -1: no query: the first word is empty"},
        {"too long",
         DEMO,
         {std::string(200, 'x'), std::string(100, 'y')},
         "exit status -1: the query is 301 bytes long; comlookup reads at most 299"},
        {"one match",
         DEMO,
         {"USB", "Serial"},
         "exit status 3: exactly one listed device's friendly name begins with the query, on COM3"},
        {"two matches",
         DEMO,
         {"USB-SERIAL"},
         "exit status -2: 2 listed devices' friendly names begin with the query (marked *); comlookup needs "
         "exactly one"},
        {"near miss",
         DEMO,
         {"usb", "serial"},
         "exit status -1: no listed device's friendly name begins with the query; near misses are marked ~"},
        {"only a left-out device",
         DEMO,
         {"Printer"},
         "exit status -1: no listed device's friendly name begins with the query; the only names that begin with "
         "it are on devices comlookup leaves out"},
        {"nothing close", DEMO, {"Modem"}, "exit status -1: no listed device's friendly name begins with the query"},
        {"no devices", {}, {"USB"}, "exit status -1: no listed device's friendly name begins with the query"},
        {"port name reads as -2",
         {{{"COM-2", "USB Odd", SkipReason::none}}},
         {"USB"},
         "exit status -2: exactly one listed device's friendly name begins with the query, on COM-2; a caller takes "
         "status -2 for \"more than one device matches\""},
        {"port name without digits",
         {{{"COMX", "USB X", SkipReason::none}}},
         {"USB"},
         "exit status 0: exactly one listed device's friendly name begins with the query, on COMX; no number after "
         "\"COM\": a caller takes status 0 for COM0"},
        {"walk stopped early",
         {DEMO.devices, WalkFailure{WalkFailure::Stage::enumeration_stopped, 8, 3}},
         {"USB", "Serial"},
         "exit status -1: comlookup's walk of the device database is incomplete (see above)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Args args(c.arguments);
        EXPECT_EQ(c.expected, last_line(listing(c.survey, args)));
    }
}

TEST(DescribeLookup, ShowsEveryDeviceWithItsStatusOrWhyItIsLeftOut) {
    const Survey survey = {{
        {"", "", SkipReason::no_friendly_name},
        {"", "", SkipReason::friendly_name_too_long},
        {"", "Port without key", SkipReason::no_device_key},
        {"", "Port without PortName", SkipReason::no_port_name},
        {"", "Port with a long PortName", SkipReason::port_name_too_long},
        {"com4", "Port lower case", SkipReason::not_com},
        {"COM256", "Port  two\tblanks\x1B[2J ", SkipReason::none},
        {"COM7", "Port (COM7)", SkipReason::none},
        {"COM8", "Ger\xE4t (COM8)", SkipReason::none},
        {"", "", SkipReason::friendly_name_unreadable, 8},
        {"COM-1", "Odd port", SkipReason::none},
    }};
    EXPECT_FALSE(survey_complete(survey));
    const Args args({"Port", "(COM7)"});
    const std::vector<std::string> expected = {
        "Query: \"Port (COM7)\" (11 bytes)",
        "",
        "11 present devices of the Ports class, 4 listed, in the order comlookup reads them:",
        "  status  port      friendly name",
        "       -  -         -  left out: no friendly name",
        "       -  -         -  left out: friendly name longer than 255 bytes",
        "       -  -         \"Port without key\"  left out: no device key to read \"PortName\" from",
        "       -  -         \"Port without PortName\"  left out: no \"PortName\" value",
        "       -  -         \"Port with a long PortName\"  left out: \"PortName\" longer than 255 bytes",
        "       -  com4      \"Port lower case\"  left out: port name does not begin with \"COM\"",
        "     256  COM256    \"Port  two\\x09blanks\\x1B[2J \"",
        "*      7  COM7      \"Port (COM7)\"  begins with the query",
        "       8  COM8      \"Ger\xE4t (COM8)\"",
        "       -  -         -  left out: friendly name could not be read (error 8)",
        "      -1  COM-1     \"Odd port\"  a caller takes status -1 for \"no device matches\"",
        "",
        "exit status 7: exactly one listed device's friendly name begins with the query, on COM7",
    };
    EXPECT_EQ(expected, lines_of(listing(survey, args)));

    // Near misses show only when nothing matches.
    const Args loosely({"port", "(com7)"});
    const std::vector<std::string> lines = lines_of(listing(survey, loosely));
    EXPECT_EQ("~      7  COM7      \"Port (COM7)\"  near miss: would match if case and runs of blanks were ignored",
              lines.at(11));
    const Args further({"(COM"});
    EXPECT_EQ("~      8  COM8      \"Ger\xE4t (COM8)\"  near miss: holds the query further in, not at its start",
              lines_of(listing(survey, further)).at(12));
}

}  // namespace
}  // namespace comlookup
