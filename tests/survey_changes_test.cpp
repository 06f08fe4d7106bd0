#include "lookup/survey_changes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace comlookup {
namespace {

SurveyedPort port(const std::string& id, const std::string& port_name, const std::string& name = "Board",
                  SkipReason skip = SkipReason::none) {
    SurveyedPort device{port_name, name, skip};
    device.instance_id = id;
    return device;
}

const WalkFailure STOPPED{WalkFailure::Stage::enumeration_stopped, 5, 1};

// "+COM5 ROOT\PORTS\0001" for each change, in order.
std::vector<std::string> words(const std::vector<Change>& changes) {
    std::vector<std::string> out;
    for (const Change& change : changes) {
        const char sign = change.kind == ChangeKind::arrive ? '+' : change.kind == ChangeKind::leave ? '-' : '?';
        out.push_back(sign + change.device.port_name + ' ' + change.device.instance_id);
    }
    return out;
}

TEST(SurveyChanges, KeyedByInstanceIdAndPortNameDeparturesFirst) {
    const SurveyedPort a = port("USB\\A", "COM3");
    const SurveyedPort b = port("USB\\B", "COM4");
    const SurveyedPort unnamed = port("USB\\C", "", "", SkipReason::no_friendly_name);
    const SurveyedPort unported = port("USB\\C", "", "Board", SkipReason::no_port_name);
    const SurveyedPort not_com = port("ACPI\\LPT", "LPT1", "Printer Port (LPT1)", SkipReason::not_com);
    const struct {
        const char* name;
        Survey before;
        Survey after;
        std::optional<std::vector<std::string>> expected;
    } cases[] = {
        {"nothing changes", {{a, b}}, {{a, b}}, std::vector<std::string>{}},
        {"order alone is no change", {{a, b}}, {{b, a}}, std::vector<std::string>{}},
        {"arrives", {{a}}, {{a, b}}, std::vector<std::string>{"+COM4 USB\\B"}},
        {"leaves", {{a, b}}, {{b}}, std::vector<std::string>{"-COM3 USB\\A"}},
        {"two at once", {{}}, {{a, b}}, std::vector<std::string>{"+COM3 USB\\A", "+COM4 USB\\B"}},
        {"another device on the same COMn",
         {{a}},
         {{port("USB\\B", "COM3")}},
         std::vector<std::string>{"-COM3 USB\\A", "+COM3 USB\\B"}},
        {"renumbered", {{a}}, {{port("USB\\A", "COM9")}}, std::vector<std::string>{"-COM3 USB\\A", "+COM9 USB\\A"}},
        {"renamed only", {{a}}, {{port("USB\\A", "COM3", "Other name")}}, std::vector<std::string>{}},
        {"being installed", {{a}}, {{a, unnamed}}, std::vector<std::string>{"? USB\\C"}},
        {"still being installed", {{unnamed}}, {{unnamed}}, std::vector<std::string>{}},
        {"installing for another reason", {{unnamed}}, {{unported}}, std::vector<std::string>{"? USB\\C"}},
        {"installed: listed at last",
         {{unnamed}},
         {{port("USB\\C", "COM7")}},
         std::vector<std::string>{"+COM7 USB\\C"}},
        {"left out for good is never a change", {{}}, {{not_com}}, std::vector<std::string>{}},
        {"walk before fell short", {{a}, STOPPED}, {{a, b}}, std::nullopt},
        {"walk after fell short", {{a, b}}, {{a}, STOPPED}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<std::vector<Change>> changes = survey_changes(c.before, c.after);
        ASSERT_EQ(c.expected.has_value(), changes.has_value());
        if (changes) {
            EXPECT_EQ(*c.expected, words(*changes));
        }
    }
}

TEST(NextChange, AnswersOnlyForWholeLooksAfterTheBaseline) {
    const SurveyedPort a = port("USB\\A", "COM3", "Arduino Uno (COM3)");
    const SurveyedPort b = port("USB\\B", "COM4", "CP2102 (COM4)");
    const SurveyedPort c = port("USB\\C", "COM5", "CP2102 (COM5)");
    const std::optional<std::int32_t> waiting;
    const struct {
        const char* name;
        ChangeKind kind;
        std::optional<std::string_view> query;
        std::vector<Survey> looks;
        std::vector<std::optional<std::int32_t>> expected;  // after each look
    } cases[] = {
        {"present at the baseline is no arrival", ChangeKind::arrive, {}, {{{a}}, {{a}}}, {waiting, waiting}},
        {"arrives after the baseline", ChangeKind::arrive, {}, {{{}}, {{}}, {{a}}}, {waiting, waiting, 3}},
        {"two in one look", ChangeKind::arrive, {}, {{{}}, {{b, c}}}, {waiting, -2}},
        {"two in one look, one named", ChangeKind::arrive, "Arduino", {{{}}, {{a, b}}}, {waiting, 3}},
        {"one not named", ChangeKind::arrive, "Arduino", {{{}}, {{b}}}, {waiting, waiting}},
        {"leaves and returns", ChangeKind::arrive, {}, {{{a}}, {{}}, {{a}}}, {waiting, waiting, 3}},
        {"a failed look is no baseline",
         ChangeKind::arrive,
         {},
         {{{}, STOPPED}, {{a}}, {{a}}},
         {waiting, waiting, waiting}},
        {"a failed look between is not compared",
         ChangeKind::arrive,
         {},
         {{{}}, {{a, b}, STOPPED}, {{}}, {{b}}},
         {waiting, waiting, waiting, 4}},
        {"gone", ChangeKind::leave, {}, {{{a, b}}, {{b}}}, {waiting, 3}},
        {"arrival is not gone", ChangeKind::leave, {}, {{{a}}, {{a, b}}}, {waiting, waiting}},
        {"both gone", ChangeKind::leave, "CP2102", {{{a, b, c}}, {{a}}}, {waiting, -2}},
    };
    for (const auto& step : cases) {
        SCOPED_TRACE(step.name);
        ChangeWait wait{step.kind, step.query};
        for (std::size_t i = 0; i < step.looks.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(step.expected[i], next_change(wait, step.looks[i]));
        }
    }
}

}  // namespace
}  // namespace comlookup
