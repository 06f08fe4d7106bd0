#include "listing/watch.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace comlookup {
namespace {

SurveyedPort port(const std::string& id, const std::string& port_name, const std::string& name,
                  SkipReason skip = SkipReason::none) {
    SurveyedPort device{port_name, name, skip};
    device.instance_id = id;
    return device;
}

// What the watch's reads give: none for COM3, a USB identity for the
// others, one with a serial number that holds a console's escape sequence.
void read_identity(SurveyedPort& device) {
    if (device.port_name == "COM3") {
        return;
    }
    device.usb.vid = 0x10C4;
    device.usb.pid = 0xEA60;
    device.usb.serial = device.port_name == "COM7" ? "0002\x1b[2J" : "0001";
}
int g_bluetooth_walks = 0;
BtDevices read_bluetooth() {
    ++g_bluetooth_walks;
    return {};
}

const Stamp NOW{2026, 12, 9, 19, 2, 11, 35, -330};

TEST(Watch, StampsLocalTimeWithItsOffset) {
    EXPECT_EQ("19:02:11.035", clock_text(NOW));
    EXPECT_EQ("2026-12-09T19:02:11.035-05:30", iso_text(NOW));
    EXPECT_EQ("2026-01-02T03:04:05.006+01:00", iso_text({2026, 1, 2, 3, 4, 5, 6, 60}));
}

TEST(Watch, ReadsItsCommandLineOnlyAfterWatch) {
    const struct {
        std::vector<std::string> arguments;
        bool watch;
        bool json;
        std::optional<std::uint32_t> seconds;
        std::vector<std::string> words;
        std::string error;
    } cases[] = {
        {{"--watch"}, true, false, std::nullopt, {}, ""},
        {{"--json", "--watch", "--for", "5", "USB", "--for"}, true, true, 5, {"USB", "--for"}, ""},
        {{"--watch", "--for"}, true, false, std::nullopt, {}, "no SECONDS after --for"},
        {{"--watch", "--for", "x"}, true, false, std::nullopt, {}, "SECONDS must be a whole number from 0 to 86400"},
        {{"USB", "--watch"}, false, false, std::nullopt, {}, ""},
        {{"--json", "USB"}, false, false, std::nullopt, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + (c.arguments.size() > 1 ? c.arguments[1] : ""));
        const testing::Args args(c.arguments);
        const std::optional<WatchCommand> command = read_watch_command(args.argc(), args.argv.data());
        ASSERT_EQ(c.watch, command.has_value());
        if (command) {
            EXPECT_EQ(c.error, command->error);
            EXPECT_EQ(c.json, command->json);
            EXPECT_EQ(c.seconds, command->seconds);
            if (c.error.empty()) {
                std::vector<std::string> words(command->arguments.begin() + 1, command->arguments.end());
                EXPECT_EQ(c.words, words);
            }
        }
    }
}

// The watch over a timetable of looks, as text and as JSON Lines: which
// lines come, the identities read once, a command for each arrival, and
// nothing a console acts on.
TEST(Watch, SaysEachChangeOnceWithTheCommandThatPicksAnArrivalOut) {
    const SurveyedPort a = port("USB\\A", "COM3", "USB Serial Device (COM3)");
    const SurveyedPort b = port("USB\\B", "COM6", "CP2102 USB to UART Bridge Controller (COM6)");
    const SurveyedPort c = port("USB\\C", "COM7", "CP2102 USB to UART Bridge Controller (COM7)");
    const SurveyedPort unnamed = port("USB\\D", "", "", SkipReason::no_friendly_name);
    const Survey failed{{a}, WalkFailure{WalkFailure::Stage::enumeration_stopped, 259, 1}};
    // COM3 is renamed in place, out of the words, then leaves; USB\D stops being installed and starts again.
    const SurveyedPort renamed = port("USB\\A", "COM3", "Renamed Device (COM3)");
    const std::vector<Survey> looks = {{{a}},          {{a}},         {{a, b, c}}, failed, {{a, c, unnamed}},
                                       {{renamed, c}}, {{c, unnamed}}};
    const struct {
        bool json;
        std::vector<std::string> expected;  // the start of each line, in order
    } cases[] = {
        {false,
         {"Watching the Ports class",
          "installed; * named",
          "19:02:11.035 *  COM3      \"USB Serial Device (COM3)\"",
          "19:02:11.035  + COM6      \"CP2102",
          "                          USB\\B",
          "                          vid=10C4 pid=EA60 serial=0001",
          "                          picked out by:",
          "                          comlookup-usb vid=10C4 pid=EA60 serial=0001",
          "19:02:11.035  + COM7",
          "                          USB\\C",
          "                          vid=10C4 pid=EA60 serial=0002\\x1B[2J",
          "                          nothing picks it out safely",
          "                          holds a quote",
          "                          does not pass on",
          "19:02:11.035 ! The walk stopped early",
          "(error 259): this look is not compared.",
          "19:02:11.035  - COM6      \"CP2102",
          "19:02:11.035  ? -         -  not yet listed",
          "                          USB\\D",
          "19:02:11.035  - COM3      \"Renamed Device (COM3)\"",
          "19:02:11.035  ? -         -  not yet listed",
          "                          USB\\D"}},
        {true,
         {R"({"event": "present", "time": "2026-12-09T19:02:11.035-05:30", "device": {"status": 3, "port": "COM3")",
          R"({"event": "arrive", "time": "2026-12-09T19:02:11.035-05:30", "device": {"status": 6, "port": "COM6")",
          R"({"event": "arrive", "time": "2026-12-09T19:02:11.035-05:30", "device": {"status": 7, "port": "COM7")",
          R"({"event": "incomplete", "time": "2026-12-09T19:02:11.035-05:30", "device": null, "command": null, "failure": "The walk stopped early)",
          R"({"event": "leave", "time": "2026-12-09T19:02:11.035-05:30", "device": {"status": 6, "port": "COM6")",
          R"({"event": "installing", "time": "2026-12-09T19:02:11.035-05:30", "device": {"status": null, "port": null)",
          R"x({"event": "leave", "time": "2026-12-09T19:02:11.035-05:30", "device": {"status": 3, "port": "COM3", "friendly_name": "Renamed Device (COM3)")x",
          R"({"event": "installing", "time": "2026-12-09T19:02:11.035-05:30", "device": {"status": null, "port": null)"}},
    };
    for (const auto& step : cases) {
        SCOPED_TRACE(step.json ? "json" : "text");
        Watch watch{{step.json, std::nullopt, {"comlookup-list", "USB"}, ""},
                    {testing::latin1_code_page(), Sink::console}};
        g_bluetooth_walks = 0;
        std::string out;
        for (const Survey& look : looks) {
            out += watch_look(watch, look, NOW, read_identity, read_bluetooth);
        }
        EXPECT_TRUE(watch.fell_short);
        EXPECT_EQ(2, g_bluetooth_walks);  // at the start and at the arrivals, not at every look
        std::istringstream lines(out);
        std::vector<std::string> got;
        for (std::string line; std::getline(lines, line);) {
            got.push_back(line);
            EXPECT_TRUE(step.json || line.size() <= 79) << line;
            EXPECT_EQ(std::string::npos, line.find('\x1b'));
        }
        ASSERT_EQ(step.expected.size(), got.size()) << out;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_TRUE(got[i].starts_with(step.expected[i])) << got[i];
        }
        if (step.json) {
            EXPECT_NE(std::string::npos, got[1].find(R"("command": "comlookup-usb vid=10C4 pid=EA60 serial=0001"})"));
            EXPECT_NE(std::string::npos, got[2].find(R"("serial": "0002\u001B[2J")"));
            EXPECT_NE(std::string::npos, got[2].find(R"("command": null})"));
            EXPECT_NE(std::string::npos, got[4].find(R"("serial": "0001")")) << "a departure keeps its identity";
        }
    }
}

}  // namespace
}  // namespace comlookup
