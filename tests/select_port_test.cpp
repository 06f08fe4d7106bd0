#include "lookup/select_port.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

namespace comlookup {
namespace {

const PortList TYPICAL = {
    {"COM1", "Communications Port (COM1)"},
    {"COM3", "USB Serial Device (COM3)"},
};

struct SelectCase {
    const char* name;
    PortList list;
    std::string query;
    std::int32_t expected;
};

TEST(SelectPort, MatchesFriendlyNamePrefixByteForByte) {
    const std::string long_name(255, 'x');
    const SelectCase cases[] = {
        {"empty list", {}, "USB", EXIT_NOT_FOUND},
        {"prefix of the second entry", TYPICAL, "USB Serial", 3},
        {"prefix of the first entry", TYPICAL, "Comm", 1},
        {"whole friendly name", TYPICAL, "USB Serial Device (COM3)", 3},
        {"one byte longer than the name", TYPICAL, "USB Serial Device (COM3))", EXIT_NOT_FOUND},
        {"inside but not at the start", TYPICAL, "Serial Device", EXIT_NOT_FOUND},
        {"case counts", TYPICAL, "usb serial", EXIT_NOT_FOUND},
        {"port names are never searched", TYPICAL, "COM3", EXIT_NOT_FOUND},
        {"blanks are not trimmed", TYPICAL, " USB", EXIT_NOT_FOUND},
        {"trailing blank must be in the name", {{"COM4", "USB"}, {"COM5", "USB Serial"}}, "USB ", 5},
        {"bytes above 0x7F are not folded", {{"COM2", "Ger\xE4t A"}}, "GER\xC4T", EXIT_NOT_FOUND},
        {"bytes above 0x7F match themselves", {{"COM2", "Ger\xE4t A"}}, "Ger\xE4t", 2},
        {"255-byte name matched whole", {{"COM6", long_name}}, long_name, 6},
        {"query past a 255-byte name", {{"COM6", long_name}}, long_name + "x", EXIT_NOT_FOUND},
        {"two matches, same port name",
         {{"COM4", "USB-SERIAL A"}, {"COM4", "USB-SERIAL B"}},
         "USB-SERIAL",
         EXIT_AMBIGUOUS},
        {"three matches", {{"COM4", "Adapter"}, {"COM5", "Adapter"}, {"COM6", "Adapter"}}, "Adapter", EXIT_AMBIGUOUS},
        {"one match among others", {{"COM4", "Adapter A"}, {"COM5", "Printer"}, {"COM6", "Adapter B"}}, "Adapter A", 4},
    };
    for (const SelectCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, select_port(c.list, c.query));
    }
}

TEST(SelectPort, ReadsThePortNumberLikeAtoi) {
    const struct {
        const char* port_name;
        std::int32_t expected;
    } cases[] = {
        {"COM3", 3},
        {"COM10", 10},
        {"COM256", 256},
        {"COM007", 7},
        {"COM", 0},
        {"COMx", 0},
        {"COM12abc3", 12},
        {"COM \t\v\f\r\n42", 42},
        {"COM+5", 5},
        {"COM-7", -7},
        {"COM- 7", 0},
        {"COM+-7", 0},
        {"COM2147483647", INT_MAX},
        {"COM2147483648", INT_MAX},
        {"COM99999999999999999999999", INT_MAX},
        {"COM-2147483648", INT_MIN},
        {"COM-2147483649", INT_MIN},
        {"COM-99999999999999999999999", INT_MIN},
        {"CO", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port_name);
        EXPECT_EQ(c.expected, select_port({{c.port_name, "Device"}}, "Dev"));
    }
}

}  // namespace
}  // namespace comlookup
