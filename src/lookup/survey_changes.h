#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "common/port_survey.h"

namespace comlookup {

// How a device changed between two looks at the present ports.
enum class ChangeKind {
    leave,       // listed before, not now
    arrive,      // listed now, not before
    installing,  // present now but not yet listed, for a reason Windows' driver installation passes through
};

struct Change {
    ChangeKind kind = ChangeKind::arrive;
    SurveyedPort device;  // as the look that saw it listed (or installing) read it
};

// Whether comlookup leaves `port` out only for now: present, but without
// the friendly name or port name a driver installation writes last.
bool being_installed(const SurveyedPort& port);

// Whether two looks' devices are the same device: the same instance ID on
// the same port. Another device on the same COMn, or a port renumbered in
// Device Manager, is a departure and an arrival.
bool same_device(const SurveyedPort& a, const SurveyedPort& b);

// What changed from `before` to `after`: departures, then arrivals, then
// devices newly being installed, each in the order of its look. None when
// either walk fell short: a device a walk could not see is no change.
std::optional<std::vector<Change>> survey_changes(const Survey& before, const Survey& after);

// comlookup-wait --new or --gone: what it looks for, and the last whole look.
struct ChangeWait {
    ChangeKind kind = ChangeKind::arrive;   // arrive for --new, leave for --gone
    std::optional<std::string_view> query;  // the device's friendly name begins with it, when given
    std::optional<Survey> last = std::nullopt;
};

// Takes one look: the port number of the one device of `wait.kind` it
// finds named since the last whole look, EXIT_AMBIGUOUS for more than one
// in the same look, none while there is none. The first whole look is the
// baseline; a look whose walk fell short is never compared.
std::optional<std::int32_t> next_change(ChangeWait& wait, Survey look);

}  // namespace comlookup
