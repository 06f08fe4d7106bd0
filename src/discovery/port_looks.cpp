// The walk comlookup-wait --new and --gone and comlookup-list --watch take
// again and again; comlookup.exe links none of this.
#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "common/change_notice.h"
#include "common/port_survey.h"
#include "discovery/device_reads.h"
#include "discovery/win32_handles.h"

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

// What one change notification watches under HKLM: `narrow` where it is
// there, else `broad`, which sees it made.
struct Watch {
    const char* broad;
    const char* narrow;
    BOOL subtree;
};
// A device's arrival, departure or new name writes under Enum.
constexpr Watch DEVICES{"System\\CurrentControlSet\\Enum", nullptr, TRUE};
// Serial drivers add a port's device name to SERIALCOMM and take it out as
// the port goes, where on Windows 7 nothing under Enum is known to change.
// A sign only, never read: some drivers do not write it, some leave stale
// names. It exists once a first port made it.
constexpr Watch PORTS{"HARDWARE\\DEVICEMAP", "HARDWARE\\DEVICEMAP\\SERIALCOMM", FALSE};

// One registration: the key it is on and the event it sets.
struct Notice {
    RegistryKey key{nullptr};
    KernelHandle event;
    bool registered = false;  // the last registration was made
    bool narrowed = false;    // on its watch's narrow key, the one that can go
};

// The sign and the bookkeeping of one process's looks.
struct Gate {
    Notice devices;
    Notice ports;
    bool walked = false;       // a first walk has been made
    ULONGLONG last_walk = 0;   // when the last walk began
    ULONGLONG walk_ms = 0;     // how long it took
    ULONGLONG credit_ms = 0;   // walk time in hand
    ULONGLONG counted_to = 0;  // when credit was last earned
};

bool fired(const Notice& notice) {
    return notice.event && WaitForSingleObject(notice.event.get(), 0) != WAIT_TIMEOUT;
}

// Only the narrow key can go, as SERIALCOMM may with its last port.
bool key_gone(const Notice& notice) {
    return notice.narrowed && RegQueryInfoKeyA(notice.key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                               nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_KEY_DELETED;
}

// Closing the last key ends its registration, and Windows sets the event as
// it does: the event is reset after.
void register_on(Notice& notice, RegistryKey key, BOOL subtree) {
    notice.key = std::move(key);
    notice.registered =
        notice.key && ResetEvent(notice.event.get()) &&
        RegNotifyChangeKeyValue(notice.key.get(), subtree, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                notice.event.get(), TRUE) == ERROR_SUCCESS;
}

RegistryKey open_narrow(const Watch& watch) {
    LSTATUS status = ERROR_SUCCESS;
    return watch.narrow == nullptr
               ? RegistryKey(nullptr)
               : open_registry_key(HKEY_LOCAL_MACHINE, watch.narrow, status, KEY_NOTIFY | KEY_QUERY_VALUE);
}

// Registers again, before a walk, where register_again says to, so that a
// change during the walk is seen at the next look.
void arm(Notice& notice, const Watch& watch) {
    if (!register_again(NoticeState{notice.registered, fired(notice), key_gone(notice)})) {
        return;
    }
    notice.registered = false;
    notice.narrowed = false;
    if (!notice.event) {
        notice.event = KernelHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    }
    if (!notice.event) {
        return;
    }
    RegistryKey narrow = open_narrow(watch);
    if (!narrow) {
        LSTATUS status = ERROR_SUCCESS;
        register_on(notice, open_registry_key(HKEY_LOCAL_MACHINE, watch.broad, status, KEY_NOTIFY), watch.subtree);
        // One made between the first try and this registration signalled
        // nothing on the broad key.
        if (notice.registered) {
            narrow = open_narrow(watch);
        }
    }
    if (narrow) {
        notice.narrowed = true;
        register_on(notice, std::move(narrow), watch.subtree);
    }
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
    // Without the devices' sign every look walks; without the ports' the
    // forced walks see what it would have.
    const bool signalled = register_again(NoticeState{gate.devices.registered, fired(gate.devices)}) ||
                           (gate.ports.registered && fired(gate.ports));
    const bool forced = now - gate.last_walk >= std::max(FORCED_WALK_MS, FORCED_SHARE * gate.walk_ms);
    if (gate.walked && !((signalled || forced) && gate.credit_ms >= gate.walk_ms)) {
        return std::nullopt;
    }
    arm(gate.devices, DEVICES);
    arm(gate.ports, PORTS);
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
