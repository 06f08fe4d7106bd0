#include "discovery/device_reads.h"

// Must come first: makes devguid.h define GUID_DEVCLASS_PORTS, not just declare it.
#include <initguid.h>

#include <devguid.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <utility>

#include "common/port_source.h"
#include "common/port_survey.h"

namespace comlookup {

std::string text_of(const NameBuffer& buffer) {
    const auto end = std::find(buffer.begin(), buffer.end() - 1, '\0');
    return std::string(buffer.begin(), end);
}

namespace {

// Absence and size are ordinary reasons to leave a device out; any other
// error leaves the name unreadable. `reasons` are the absent, too-long and
// unreadable reasons of one read.
ReadResult failed_read(DWORD error, bool absent, bool too_long, const std::array<SkipReason, 3>& reasons) {
    if (absent) {
        return {reasons[0]};
    }
    return too_long ? ReadResult{reasons[1]} : ReadResult{reasons[2], error};
}

}  // namespace

ReadResult read_friendly_name(HDEVINFO set, SP_DEVINFO_DATA& device, std::string& name) {
    NameBuffer buffer{};
    DWORD required = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                           reinterpret_cast<BYTE*>(buffer.data()), NAME_BUFFER_SIZE, &required)) {
        const DWORD error = GetLastError();
        return failed_read(
            error, error == ERROR_INVALID_DATA, error == ERROR_INSUFFICIENT_BUFFER,
            {SkipReason::no_friendly_name, SkipReason::friendly_name_too_long, SkipReason::friendly_name_unreadable});
    }
    name = text_of(buffer);
    return {};
}

ReadResult read_port_name(HDEVINFO set, SP_DEVINFO_DATA& device, std::string& name) {
    const RegistryKey key(SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
    if (!key) {
        const DWORD error = GetLastError();
        // A key has no size to exceed.
        return failed_read(error, error == ERROR_KEY_DOES_NOT_EXIST || error == ERROR_FILE_NOT_FOUND, false,
                           {SkipReason::no_device_key, SkipReason::no_device_key, SkipReason::device_key_unreadable});
    }
    NameBuffer buffer{};
    DWORD type = 0;
    DWORD size = NAME_BUFFER_SIZE;
    // The value's type is deliberately ignored: only its bytes count.
    const LSTATUS status =
        RegQueryValueExA(key.get(), "PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status != ERROR_SUCCESS) {
        const auto error = static_cast<DWORD>(status);
        return failed_read(
            error, error == ERROR_FILE_NOT_FOUND, error == ERROR_MORE_DATA,
            {SkipReason::no_port_name, SkipReason::port_name_too_long, SkipReason::port_name_unreadable});
    }
    name = text_of(buffer);
    return {};
}

bool out_of_memory(DWORD error) {
    return error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY || error == ERROR_NO_SYSTEM_RESOURCES ||
           error == ERROR_COMMITMENT_LIMIT;
}

Survey walk_ports(DWORD flags, ExtraReads read_more, const void* context, FirstReads read_first) {
    Survey survey;
    const DeviceSet set = adopt_device_set(SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, flags));
    if (!set) {
        survey.failure = WalkFailure{WalkFailure::Stage::no_device_set, GetLastError()};
        return survey;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    DWORD index = 0;
    for (; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        SurveyedPort port;
        const bool in_the_running = read_first == nullptr || read_first(set.get(), device, port, context);
        ReadResult read;
        if (in_the_running) {
            read = read_friendly_name(set.get(), device, port.friendly_name);
        }
        if (in_the_running && read.skip == SkipReason::none) {
            read = read_port_name(set.get(), device, port.port_name);
        }
        // Leaves out LPT ports of the same setup class, and any other name.
        if (read.skip == SkipReason::none && !port.port_name.starts_with("COM")) {
            read.skip = SkipReason::not_com;
        }
        port.skip = read.skip;
        port.error = read.error;
        if (in_the_running && read_more != nullptr) {
            read_more(set.get(), device, port, context);
        }
        // Skipping a name that memory ran out for could turn -2 into a port.
        for (const DWORD error : {read.error, DWORD{port.usb.error}, DWORD{port.bt.address_error},
                                  DWORD{port.bt.name_error}, DWORD{port.bt.service_error}}) {
            if (out_of_memory(error) && !survey.failure) {
                survey.failure = WalkFailure{WalkFailure::Stage::out_of_memory, error, index};
            }
        }
        if (in_the_running) {
            survey.devices.push_back(std::move(port));
        }
    }
    if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_ITEMS && !survey.failure) {
        survey.failure = WalkFailure{WalkFailure::Stage::enumeration_stopped, error, index};
    }
    return survey;
}

Survey survey_ports() {
    return walk_ports(DIGCF_PRESENT, nullptr);
}

PortList enumerate_com_ports() {
    return listed_ports(survey_ports());
}

}  // namespace comlookup
