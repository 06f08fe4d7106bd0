// The walk comlookup-wait --new and --gone and comlookup-list --watch take
// again and again; comlookup.exe links none of this.
#include <algorithm>
#include <optional>
#include <string>

#include "common/port_survey.h"
#include "discovery/device_reads.h"

namespace comlookup {
namespace {

// The instance ID tells the device from one that takes its port; the
// description names a device whose friendly name is not written yet.
void read_id(HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port, const void* context) {
    DWORD error = ERROR_SUCCESS;
    port.instance_id = read_instance_id(set, device, error);
    if (error != ERROR_SUCCESS || port.instance_id.empty()) {
        // The walk owns the error it hands in; the reads' context is const
        // only for the terms other walks pass.
        DWORD& first = *static_cast<DWORD*>(const_cast<void*>(context));
        first = first == ERROR_SUCCESS ? (error == ERROR_SUCCESS ? ERROR_INVALID_DATA : error) : first;
    }
    if (port.skip != SkipReason::none) {
        port.description = read_description(set, device);
    }
}

// Walks are forced at least this often, and further apart the longer a walk
// takes, so that forced walks alone take a twentieth of the processor.
constexpr ULONGLONG FORCED_WALK_MS = 3000;
constexpr ULONGLONG FORCED_SHARE = 19;
// Walks take a tenth of the processor over time: each earns this share of
// the time that passes, and a walk is made only with a walk's worth in hand;
// no more than two walks' worth is kept, so a burst stays short.
constexpr ULONGLONG EARNED_SHARE = 10;

// The sign and the bookkeeping of one process's looks.
struct Gate {
    HKEY key = nullptr;        // HKLM\System\CurrentControlSet\Enum, for its notifications
    HANDLE signal = nullptr;   // set when something under it changed since the last walk began
    bool armed = false;        // the notification is registered
    bool walked = false;       // a first walk has been made
    ULONGLONG last_walk = 0;   // when the last walk began
    ULONGLONG walk_ms = 0;     // how long it took
    ULONGLONG credit_ms = 0;   // walk time in hand
    ULONGLONG counted_to = 0;  // when credit was last earned
};

// Registers for the next change before a walk, so that a change during the
// walk is seen at the next look; without a sign every look walks.
void arm(Gate& gate) {
    if (gate.key == nullptr && RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Enum", 0, KEY_NOTIFY,
                                             &gate.key) != ERROR_SUCCESS) {
        gate.key = nullptr;
    }
    if (gate.signal == nullptr) {
        gate.signal = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    gate.armed = gate.key != nullptr && gate.signal != nullptr && ResetEvent(gate.signal) &&
                 RegNotifyChangeKeyValue(gate.key, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                         gate.signal, TRUE) == ERROR_SUCCESS;
}

}  // namespace

std::string read_description(HDEVINFO set, SP_DEVINFO_DATA& device) {
    NameBuffer buffer{};
    DWORD required = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_DEVICEDESC, nullptr,
                                           reinterpret_cast<BYTE*>(buffer.data()), NAME_BUFFER_SIZE, &required)) {
        return {};
    }
    return text_of(buffer);
}

Survey survey_port_ids() {
    DWORD error = ERROR_SUCCESS;
    Survey survey = walk_ports(DIGCF_PRESENT, read_id, &error);
    if (error != ERROR_SUCCESS && !survey.failure) {
        std::uint32_t index = 0;
        while (index < survey.devices.size() && !survey.devices[index].instance_id.empty()) {
            ++index;
        }
        survey.failure = WalkFailure{WalkFailure::Stage::no_instance_id, error, index};
    }
    return survey;
}

std::optional<Survey> survey_port_ids_when_changed() {
    // One process, one watcher: the handles live as long as it does.
    static Gate gate;
    const ULONGLONG now = GetTickCount64();
    gate.credit_ms =
        std::min(gate.credit_ms + (now - gate.counted_to) / EARNED_SHARE, 2 * std::max<ULONGLONG>(gate.walk_ms, 100));
    gate.counted_to = now;
    const bool signalled = !gate.armed || WaitForSingleObject(gate.signal, 0) != WAIT_TIMEOUT;
    const bool forced = now - gate.last_walk >= std::max(FORCED_WALK_MS, FORCED_SHARE * gate.walk_ms);
    if (gate.walked && !((signalled || forced) && gate.credit_ms >= gate.walk_ms)) {
        return std::nullopt;
    }
    arm(gate);
    Survey survey = survey_port_ids();
    const ULONGLONG after = GetTickCount64();
    gate.last_walk = now;
    gate.walk_ms = after - now;
    // The first walk starts with the most in hand that any will.
    gate.credit_ms = gate.walked ? gate.credit_ms - std::min(gate.credit_ms, gate.walk_ms) : gate.walk_ms;
    gate.walked = true;
    return survey;
}

}  // namespace comlookup
