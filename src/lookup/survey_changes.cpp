#include "lookup/survey_changes.h"

#include <algorithm>
#include <utility>

#include "common/port_entry.h"
#include "lookup/select_port.h"

namespace comlookup {
namespace {

bool listed(const SurveyedPort& port) {
    return port.skip == SkipReason::none;
}

// Whether `devices` holds `port` in the same state: listed, or being
// installed for the same reason.
bool holds(const std::vector<SurveyedPort>& devices, const SurveyedPort& port) {
    return std::any_of(devices.begin(), devices.end(), [&](const SurveyedPort& other) {
        return listed(port)
                   ? listed(other) && same_device(other, port)
                   : being_installed(other) && other.instance_id == port.instance_id && other.skip == port.skip;
    });
}

}  // namespace

bool being_installed(const SurveyedPort& port) {
    return port.skip == SkipReason::no_friendly_name || port.skip == SkipReason::no_device_key ||
           port.skip == SkipReason::no_port_name;
}

bool same_device(const SurveyedPort& a, const SurveyedPort& b) {
    return a.instance_id == b.instance_id && a.port_name == b.port_name;
}

std::optional<std::vector<Change>> survey_changes(const Survey& before, const Survey& after) {
    if (before.failure || after.failure) {
        return std::nullopt;
    }
    std::vector<Change> changes;
    for (const SurveyedPort& port : before.devices) {
        if (listed(port) && !holds(after.devices, port)) {
            changes.push_back({ChangeKind::leave, port});
        }
    }
    for (const ChangeKind kind : {ChangeKind::arrive, ChangeKind::installing}) {
        for (const SurveyedPort& port : after.devices) {
            const bool of_kind = kind == ChangeKind::arrive ? listed(port) : being_installed(port);
            if (of_kind && !holds(before.devices, port)) {
                changes.push_back({kind, port});
            }
        }
    }
    return changes;
}

std::optional<std::int32_t> next_change(ChangeWait& wait, Survey look) {
    if (look.failure) {
        return std::nullopt;
    }
    if (!wait.last) {
        wait.last = std::move(look);
        return std::nullopt;
    }
    const std::optional<std::vector<Change>> changes = survey_changes(*wait.last, look);
    wait.last = std::move(look);
    std::vector<SurveyedPort> found;
    for (const Change& change : changes.value_or(std::vector<Change>{})) {
        if (change.kind == wait.kind && (!wait.query || begins_with_query(change.device.friendly_name, *wait.query))) {
            found.push_back(change.device);
        }
    }
    if (found.empty()) {
        return std::nullopt;
    }
    return found.size() > 1 ? EXIT_AMBIGUOUS : port_number(found.front().port_name);
}

}  // namespace comlookup
