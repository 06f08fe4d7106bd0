#include "listing/describe_lookup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "lookup/bt_terms.h"
#include "lookup/run_lookup.h"
#include "lookup/usb_terms.h"
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
        EXPECT_EQ(c.expected, near_miss(c.friendly_name, c.query, testing::latin1_code_page()));
    }
}

const Survey DEMO = {{
    {"COM1", "Communications Port (COM1)", SkipReason::none},
    {"COM3", "USB Serial Device (COM3)", SkipReason::none},
    {"LPT1", "Printer Port (LPT1)", SkipReason::not_com},
    {"COM4", "USB-SERIAL Adapter", SkipReason::none},
    {"COM5", "USB-SERIAL Adapter", SkipReason::none},
}};

std::string listing(const Surveys& surveys, const Args& args, const CodePage& code_page = testing::latin1_code_page()) {
    return describe_lookup(surveys, args.argc(), args.argv.data(), {code_page, Sink::file});
}

std::string listing(const Survey& present, const Args& args) {
    return listing(Surveys{present}, args);
}

std::string last_line(const std::string& text) {
    const std::size_t start = text.rfind('\n', text.size() - 2);
    return text.substr(start + 1, text.size() - start - 2);
}

// The closing paragraph: the last line and what stands just above it.
std::string closing(const std::string& text) {
    const std::size_t start = text.rfind("\n\n");
    return text.substr(start + 2, text.size() - start - 3);
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

TEST(DescribeLookup, SaysWhyJustAboveAndInItsLastLine) {
    const struct {
        const char* name;
        Surveys surveys;
        std::vector<std::string> arguments;
        std::string expected;
    } cases[] = {
        {"no arguments", {DEMO}, {}, "exit status -1: no query was given"},
        {"empty first word", {DEMO}, {"", "USB"}, "exit status -1: no query: the first word is empty"},
        {"too long",
         {DEMO},
         {std::string(200, 'x'), std::string(100, 'y')},
         "exit status -1: the query is 301 bytes long; comlookup reads at most 299"},
        {"one match", {DEMO}, {"USB", "Serial"}, "exit status 3: exactly one listed device matches the query, on COM3"},
        {"two matches",
         {DEMO},
         {"USB-SERIAL"},
         "To act on each of them, this writes their ports in the order of their sockets:\n"
         "  comlookup-list --ports USB-SERIAL\n"
         "exit status -2: 2 listed devices match (marked *); comlookup needs one"},
        {"near miss",
         {DEMO},
         {"usb", "serial"},
         "Near misses are marked ~.\nexit status -1: no listed device's friendly name begins with the query"},
        {"only a left-out device",
         {DEMO},
         {"Printer"},
         "The only names that begin with the query are on devices comlookup leaves out.\n"
         "exit status -1: no listed device's friendly name begins with the query"},
        {"nothing close", {DEMO}, {"Modem"}, "exit status -1: no listed device's friendly name begins with the query"},
        {"no devices", {}, {"USB"}, "exit status -1: no listed device's friendly name begins with the query"},
        {"port name reads as -2",
         {{{{"COM-2", "USB Odd", SkipReason::none}}}},
         {"USB"},
         "Its port name is odd: a caller takes status -2 for \"more than one device\nmatches\".\n"
         "exit status -2: exactly one listed device matches the query, on COM-2"},
        {"port name without digits",
         {{{{"COMX", "USB X", SkipReason::none}}}},
         {"USB"},
         "Its port name is odd: no number after \"COM\": a caller takes status 0 for COM0.\n"
         "exit status 0: exactly one listed device matches the query, on COMX"},
        {"walk stopped early",
         {{DEMO.devices, WalkFailure{WalkFailure::Stage::enumeration_stopped, 8, 3}}},
         {"USB", "Serial"},
         "exit status -1: the walk of the device database is incomplete (see above)"},
        {"only in another class",
         {DEMO, {{{"COM9", "USB Modem (COM9)", SkipReason::none, 0, "ROOT\\MODEM\\0", "", "Modem"}}}},
         {"USB", "Modem"},
         "The only names that begin with the query are in setup class Modem, which\n"
         "comlookup does not read.\nexit status -1: no listed device's friendly name begins with the query"},
        {"only not present",
         {DEMO, {}, {{{"COM9", "Arduino Leonardo (COM9)", SkipReason::none, 0, "USB\\VID_2341&PID_8036\\1"}}}},
         {"Arduino"},
         "The only names that begin with the query are on devices not present now: is the\n"
         "device plugged in?\nexit status -1: no listed device's friendly name begins with the query"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Args args(c.arguments);
        EXPECT_EQ(c.expected, closing(listing(c.surveys, args)));
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
    EXPECT_FALSE(surveys_complete({survey}));
    const Args args({"Port", "(COM7)"});
    const std::vector<std::string> expected = {
        "Query: \"Port (COM7)\" (11 bytes)",
        "",
        "11 present devices of the Ports class, in the order comlookup reads them;",
        "comlookup leaves 7 of them out and weighs the other 4:",
        "  status  port      friendly name",
        "       -  -         -  left out: no friendly name",
        "       -  -         -  left out: friendly name longer than 255 bytes",
        "       -  -         \"Port without key\"",
        "                    left out: no device key to read \"PortName\" from",
        "       -  -         \"Port without PortName\"  left out: no \"PortName\" value",
        "       -  -         \"Port with a long PortName\"",
        "                    left out: \"PortName\" longer than 255 bytes",
        "       -  com4      \"Port lower case\"",
        "                    left out: port name does not begin with \"COM\"",
        "     256  COM256    \"Port  two\\x09blanks\\x1B[2J \"",
        "*      7  COM7      \"Port (COM7)\"  begins with the query",
        "       8  COM8      \"Ger\xE4t (COM8)\"",
        "       -  -         -  left out: friendly name could not be read (error 8)",
        "      -1  COM-1     \"Odd port\"",
        "                    a caller takes status -1 for \"no device matches\"",
        "",
        "The words reach into \" (COM7)\", the port number Windows adds to the name: they",
        "stop matching once Windows gives the device another port. Without it, comlookup",
        "Port gives -2: more than one device matches.",
        "exit status 7: exactly one listed device matches the query, on COM7",
    };
    EXPECT_EQ(expected, lines_of(listing(survey, args)));

    // Near misses show only when nothing matches.
    const Args loosely({"port", "(com7)"});
    const std::vector<std::string> lines = lines_of(listing(survey, loosely));
    EXPECT_EQ("~      7  COM7      \"Port (COM7)\"", lines.at(15));
    EXPECT_EQ("                    near miss: would match if case and runs of blanks were", lines.at(16));
    const Args further({"(COM"});
    EXPECT_EQ("~      8  COM8      \"Ger\xE4t (COM8)\"", lines_of(listing(survey, further)).at(17));
}

// A name reads one way only, and no line the listing composes is wider than
// a console: a name too long for its row stands on a line of its own.
TEST(DescribeLookup, QuotesAndWidths) {
    const std::string long_name = "Long " + std::string(145, 'n');
    const Survey survey = {{
        {"COM3", "Say \"Hi\" \\x1B Port", SkipReason::none},
        {"COM4", long_name, SkipReason::none, 0, "USB\\VID_1A86&PID_7523\\" + std::string(150, 'i')},
        {"COM5", long_name, SkipReason::none},
    }};
    const std::vector<std::string> lines = lines_of(listing(survey, Args({"Long"})));
    EXPECT_EQ("       3  COM3      \"Say \\\"Hi\\\" \\\\x1B Port\"", lines.at(4));
    EXPECT_EQ("*      4  COM4", lines.at(5));
    EXPECT_EQ('"' + long_name + '"', lines.at(6));
    EXPECT_EQ("                    begins with the query", lines.at(7));
    EXPECT_EQ("USB\\VID_1A86&PID_7523\\" + std::string(150, 'i'), lines.at(8));
    for (const std::string& line : lines) {
        if (line.find(long_name) == std::string::npos && line.find("iiii") == std::string::npos) {
            EXPECT_GE(79U, line.size()) << line;
        }
    }
    EXPECT_EQ("Query: \"L\" (1 byte)", lines_of(listing(survey, Args({"L"}))).at(0));
}

TEST(DistinguishingQuery, IsTheShortestRunOfWholeWordsNoOtherNameBeginsWith) {
    const PortList listed = {
        {"COM4", "Silicon Labs CP210x USB to UART Bridge (COM4)"},
        {"COM5", "Silicon Labs CP2105 Dual USB to UART Bridge: Enhanced COM Port (COM5)"},
        {"COM6", "USB-SERIAL CH340 (COM6)"},
        {"COM7", "USB-SERIAL CH340 (COM7)"},
        {"COM8", "Arduino Uno"},
        {"COM9", "Arduino Uno R3"},
        {"COM10", "Two  Blanks A"},
        {"COM11", "Two  Blanks B"},
    };
    const char* const expected[] = {
        "Silicon Labs CP210x", "Silicon Labs CP2105", "", "", "", "Arduino Uno R3", "Two  Blanks A", "Two  Blanks B",
    };
    for (std::size_t i = 0; i < listed.size(); ++i) {
        SCOPED_TRACE(listed[i].friendly_name);
        EXPECT_EQ(expected[i], distinguishing_query(listed, i));
    }
}

TEST(NotPresent, IsWhatWindowsKnowsLessWhatIsPresentByInstanceId) {
    const Survey known = {{{"COM3", "A", SkipReason::none, 0, "ID\\A"},
                           {"COM4", "B", SkipReason::none, 0, "ID\\B"},
                           {"COM5", "C", SkipReason::none, 0, "ID\\C"}}};
    const Survey present = {{{"COM3", "A", SkipReason::none, 0, "ID\\A"}, {"COM9", "C", SkipReason::none, 0, "ID\\C"}}};
    const std::vector<SurveyedPort> absent = not_present(known, present);
    ASSERT_EQ(1U, absent.size());
    EXPECT_EQ("ID\\B", absent[0].instance_id);
}

TEST(NearMiss, LooksOnlyAtWholeCharactersOfADoubleByteCodePage) {
    const struct {
        const char* friendly_name;
        const char* query;
        NearMiss expected;
    } cases[] = {
        {"\x83\x41 Port", "\x83\x61", NearMiss::none},  // the trail bytes differ only as ASCII case would
        {"\x83\x41 Port", "A", NearMiss::none},         // a trail byte is no letter
        {"\x83\x41 Port", "\x83\x41  PORT", NearMiss::loose_prefix},
        {"x \x83\x41", "X \x83\x41", NearMiss::loose_prefix},
        {"Port \x83\x41", "port \x83\x41", NearMiss::loose_prefix},
        {"A\x83\x41\x83\x42", "\x41\x83", NearMiss::none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(c.expected, near_miss(c.friendly_name, c.query, testing::double_byte_code_page()));
    }
}

TEST(DescribeLookup, ListsWhatComlookupDoesNotReadAndAQueryForEachMatch) {
    const Survey present = {{
        {"COM4", "Silicon Labs CP210x USB to UART Bridge (COM4)", SkipReason::none, 0, "USB\\VID_10C4&PID_EA60\\0001"},
        {"COM5", "Silicon Labs CP2105 Dual (COM5)", SkipReason::none, 0, "USB\\VID_10C4&PID_EA70\\0002&MI_00"},
        {"", "", SkipReason::no_friendly_name, 0, "ROOT\\PORTS\\0002", "Communications Port"},
    }};
    const Survey other = {{{"COM7", "", SkipReason::none, 0, "ROOT\\OTHER\\0000", "USB Modem", "Modem"}}};
    Survey known = present;
    known.devices.push_back({"COM9", "Silicon Labs CP210x USB to UART Bridge (COM9)", SkipReason::none, 0, "USB\\OLD"});
    const std::vector<std::string> expected = {
        "Query: \"Silicon Labs\" (12 bytes)",
        "",
        "3 present devices of the Ports class, in the order comlookup reads them;",
        "comlookup leaves 1 of them out and weighs the other 2:",
        "  status  port      friendly name",
        "*      4  COM4      \"Silicon Labs CP210x USB to UART Bridge (COM4)\"",
        "                    begins with the query",
        "                    USB\\VID_10C4&PID_EA60\\0001",
        "*      5  COM5      \"Silicon Labs CP2105 Dual (COM5)\"  begins with the query",
        "                    USB\\VID_10C4&PID_EA70\\0002&MI_00",
        "       -  -         description \"Communications Port\"",
        "                    left out: no friendly name",
        "                    ROOT\\PORTS\\0002",
        "",
        "COM ports of other setup classes, which comlookup does not read:",
        "  Modem     COM7      description \"USB Modem\"",
        "                      ROOT\\OTHER\\0000",
        "",
        "Known to Windows but not present now, so comlookup does not read them:",
        "  COM9      \"Silicon Labs CP210x USB to UART Bridge (COM9)\"",
        "            begins with the query",
        "            USB\\OLD",
        "",
        "To pick one of them, give comlookup a longer beginning of its name:",
        "  COM4      comlookup \"Silicon Labs CP210x\"",
        "  COM5      comlookup \"Silicon Labs CP2105\"",
        "",
        "To act on each of them, this writes their ports in the order of their sockets:",
        "  comlookup-list --ports \"Silicon Labs\"",
        "exit status -2: 2 listed devices match (marked *); comlookup needs one",
    };
    EXPECT_EQ(expected, lines_of(listing({present, other, known}, Args({"Silicon", "Labs"}))));

    const Survey twins = {{{"COM6", "USB-SERIAL CH340 (COM6)"}, {"COM7", "USB-SERIAL CH340 (COM7)"}}};
    const std::vector<std::string> lines = lines_of(listing(twins, Args({"USB-SERIAL"})));
    EXPECT_EQ("No query without the port number tells these devices apart: their friendly", lines.at(lines.size() - 6));
    EXPECT_EQ("No device of the Ports class is present. Is the device plugged in, and is its",
              lines_of(listing(Survey{}, Args({}))).at(0));
}

// Each Bluetooth port's device as comlookup-bt's TERMs, and a command for
// each port that one picks out alone: by name where that is unique and
// pastes as it stands, else by address, with the service where the device
// has several; and the ports only their numbers tell apart.
TEST(DescribeLookup, BluetoothPortsAndTheCommandsThatPickThemOut) {
    const std::string spp = "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&000F\\7&2A&0&";
    const auto port = [&](const char* port_name, const std::string& tail, std::optional<std::string> service = {}) {
        SurveyedPort device{port_name, std::string("BT Link (") + port_name + ")", SkipReason::none, 0, spp + tail};
        device.bt = read_bt_records(device.instance_id, std::nullopt);
        device.bt.service = std::move(service);
        return device;
    };
    Surveys surveys{{{port("COM5", "98D331FB1A2C_C00000000", "Dev B"), port("COM6", "000000000000_00000000"),
                      port("COM8", "240AC4123456_C00000000", "SPP"), port("COM9", "240AC4123456_C00000001", "SPP"),
                      port("COM10", "001BC10E55A7_C00000000"), port("COM11", "98D331FB1A2D_C00000000"),
                      port("COM12", "240AC4123456_C00000002", "Console")}}};
    surveys.present.devices[4].bt.service_error = 5;
    surveys.bluetooth.devices = {{0x98D331FB1A2C, "HC-05"},
                                 {0x240AC4123456, "ESP32"},
                                 {0x001BC10E55A7, "GPS\x07 Logger"},
                                 {0x98D331FB1A2D, "HC-05 Pro"}};
    const std::vector<std::string> lines = lines_of(listing(surveys, Args({"BT"})));
    const std::vector<std::string> expected = {
        "                    address=98:D3:31:FB:1A:2C name=\"HC-05\" service=\"Dev B\"",
        "                    incoming Bluetooth port: it waits for a device to call, and",
        "                    address=24:0A:C4:12:34:56 name=\"ESP32\" service=\"SPP\"",
        "                    other serial services of the same device are on COM9, COM12",
        "                    address=00:1B:C1:0E:55:A7 name=\"GPS\\x07 Logger\"",
        "                    the service name could not be read (error 5)",
        "                    address=24:0A:C4:12:34:56 name=\"ESP32\" service=\"Console\"",
        "                    other serial services of the same device are on COM8, COM9",
        "No name tells these devices apart; comlookup-bt picks each out by its Bluetooth",
        "  COM5      comlookup-bt address=98:D3:31:FB:1A:2C",
        "  COM10     comlookup-bt address=00:1B:C1:0E:55:A7",
        "  COM11     comlookup-bt name=\"HC-05 Pro\"",
        "  COM12     comlookup-bt name=\"ESP32\" service=\"Console\"",
        "Nothing but the port number tells COM8, COM9 from the other ports of their",
        "Nothing picks out COM6. See \"Two identical adapters\" in docs\\usb.md and",
    };
    auto at = lines.begin();
    for (const std::string& line : expected) {
        at = std::find(at, lines.end(), line);
        EXPECT_NE(lines.end(), at) << line;
    }
    const std::string json = describe_lookup_json(surveys, 1, Args({}).argv.data(), testing::latin1_code_page());
    EXPECT_NE(std::string::npos,
              json.find("\"bluetooth_address\": \"98:D3:31:FB:1A:2C\",\n      \"bluetooth_name\": \"HC-05\",\n"
                        "      \"bluetooth_service\": \"Dev B\",\n      \"incoming\": false"));
    EXPECT_NE(std::string::npos, json.find("\"bluetooth_service\": null,\n      \"incoming\": true"));
}

}  // namespace
}  // namespace comlookup

namespace comlookup {
namespace {

// Two FT2232s reporting one serial number (Windows names the second by its
// socket), a CP2102 whose product name was programmed beside one that kept
// the maker's, and a port whose driver failed.
Surveys field_devices() {
    const auto usb = [](const char* port_name, const char* instance_id, const char* parent, const char* product,
                        int root_port) {
        SurveyedPort port{port_name, std::string("USB Serial Port (") + port_name + ")", SkipReason::none, 0,
                          instance_id};
        // As read_usb_identity reads them: the serial number is the parent's.
        const UsbIdentity usb_device = read_instance_id(parent).identity;
        port.usb = read_instance_id(instance_id).identity;
        port.usb.serial = usb_device.serial;
        port.usb.socket_id = usb_device.socket_id;
        port.usb.product = product;
        port.usb.paths = {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(" + std::to_string(root_port) + ")"};
        return port;
    };
    Surveys surveys{{{
        usb("COM13", "FTDIBUS\\VID_0403+PID_6010+0ABC01A\\0000", "USB\\VID_0403&PID_6010\\0ABC01", "Dual RS232-HS", 6),
        usb("COM14", "FTDIBUS\\VID_0403+PID_6010+6&9358AC4&0&2A\\0000", "USB\\VID_0403&PID_6010\\6&9358AC4&0&2",
            "Dual RS232-HS", 7),
        usb("COM8", "USB\\VID_10C4&PID_EA60\\0001", "USB\\VID_10C4&PID_EA60\\0001",
            "CP2102 USB to UART Bridge Controller", 8),
        usb("COM15", "USB\\VID_10C4&PID_EA60\\5&1B2C3D4E&0&7", "USB\\VID_10C4&PID_EA60\\5&1B2C3D4E&0&7",
            "Pink USB DB9 Adapter (CP2102)", 9),
    }}};
    surveys.present.devices[0].problem = 10;
    surveys.present.devices[2].problem = 47;
    return surveys;
}

TEST(DescribeLookup, SharedSerialNumbersProductNamesAndProblems) {
    const std::string text = listing(field_devices(), Args({"USB", "Serial", "Port"}));
    const std::vector<std::string> expected = {
        "                    its serial number may also be that of COM14, of the same",
        "                    Windows reports a problem with this device (code 10: it",
        "                    could not start): the port may not open",
        "                    it may report the serial number of COM13, of the same IDs:",
        "                    Windows reports a problem with this device (code 47): the",
        "  COM13",
        "comlookup-usb vid=0403 pid=6010 path=\"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(6)\"",
        "comlookup-usb vid=10C4 pid=EA60 product=\"CP2102 USB to UART Bridge Controller\"",
        "comlookup-usb vid=10C4 pid=EA60 product=\"Pink USB DB9 Adapter (CP2102)\"",
    };
    const std::vector<std::string> lines = lines_of(text);
    auto at = lines.begin();
    for (const std::string& line : expected) {
        at = std::find(at, lines.end(), line);
        EXPECT_NE(lines.end(), at) << line << "\n" << text;
    }
    const std::string json =
        describe_lookup_json(field_devices(), 1, Args({}).argv.data(), testing::latin1_code_page());
    EXPECT_NE(std::string::npos, json.find("\"incoming\": null,\n      \"problem\": 10\n"));
}

// comlookup-list --usb and --bt: each device's mark, the status the program
// gives, and the program's own line for a bad command line.
TEST(DescribeLookup, MarksForACompanionsCommandLine) {
    const struct {
        std::vector<std::string> words;
        std::vector<std::string> lines;  // in order
    } cases[] = {
        {{"--usb", "vid=0403", "serial=0ABC01B"},
         {"Command: comlookup-usb vid=0403 serial=0ABC01B", "~     13  COM13     \"USB Serial Port (COM13)\"",
          "                    meets all but serial=0ABC01B; its own is serial=0ABC01",
          "~     14  COM14     \"USB Serial Port (COM14)\"",
          "                    meets all but serial=0ABC01B: it has none",
          "Devices that meet all but one TERM are marked ~.", "exit status -1: no listed device meets every TERM"}},
        {{"--usb", "vid=0403", "serial=0abc01a"},
         {"*     13  COM13     \"USB Serial Port (COM13)\"  meets every TERM",
          "exit status 13: exactly one listed device meets every TERM, on COM13"}},
        {{"--usb", "vid=10C4"},
         {"*      8  COM8      \"USB Serial Port (COM8)\"  meets every TERM",
          "*     15  COM15     \"USB Serial Port (COM15)\"  meets every TERM",
          "exit status -2: 2 listed devices meet every TERM (marked *); comlookup-usb needs one"}},
        {{"--usb", "vid=0403", "vid=10C4"},
         {"comlookup-usb: argument 2, vid=, is given twice. Usage: comlookup-usb [--wait",
          "exit status -1: comlookup-usb refuses the command line"}},
        {{"--bt", "name"},
         {"Command: comlookup-bt name",
          "comlookup-bt: argument 1 is not KEY=VALUE. Usage: comlookup-bt [--wait SECONDS]",
          "exit status -1: comlookup-bt refuses the command line"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words.at(1));
        const std::string text = listing(field_devices(), Args(c.words));
        const std::vector<std::string> lines = lines_of(text);
        auto at = lines.begin();
        for (const std::string& line : c.lines) {
            at = std::find(at, lines.end(), line);
            EXPECT_NE(lines.end(), at) << line << "\n" << text;
        }
        EXPECT_EQ(c.lines.back(), lines.back());
    }
    const Args args({"--usb", "vid=0403", "serial=0ABC01B"});
    const std::string json =
        describe_lookup_json(field_devices(), args.argc(), args.argv.data(), testing::latin1_code_page());
    EXPECT_NE(std::string::npos, json.find("\"terms_met\": \"all_but_one\",\n      \"missed\": \"serial=0ABC01B\",\n"
                                           "      \"own\": \"serial=0ABC01\""));
    EXPECT_NE(std::string::npos, json.find("\"program\": \"comlookup-usb\""));
}

}  // namespace
}  // namespace comlookup
