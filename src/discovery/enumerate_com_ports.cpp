#include "discovery/win32_handles.h"

// Must come first: makes devguid.h define GUID_DEVCLASS_PORTS, not just declare it.
#include <initguid.h>

#include <devguid.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "common/port_source.h"
#include "common/port_survey.h"

namespace comlookup {
namespace {

constexpr std::size_t NAME_BUFFER_SIZE = 256;
using NameBuffer = std::array<char, NAME_BUFFER_SIZE>;

// Registry data need not end in a NUL byte, and a value may fill the whole
// buffer: the text is cut at 255 bytes rather than read past the end.
std::string text_of(const NameBuffer& buffer) {
    const auto end = std::find(buffer.begin(), buffer.end() - 1, '\0');
    return std::string(buffer.begin(), end);
}

SkipReason read_friendly_name(HDEVINFO set, SP_DEVINFO_DATA& device, std::string& name) {
    NameBuffer buffer{};
    DWORD required = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                           reinterpret_cast<BYTE*>(buffer.data()), NAME_BUFFER_SIZE, &required)) {
        return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? SkipReason::friendly_name_too_long
                                                           : SkipReason::no_friendly_name;
    }
    name = text_of(buffer);
    return SkipReason::none;
}

SkipReason read_port_name(HDEVINFO set, SP_DEVINFO_DATA& device, std::string& name) {
    const RegistryKey key(SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
    if (!key) {
        return SkipReason::no_device_key;
    }
    NameBuffer buffer{};
    DWORD type = 0;
    DWORD size = NAME_BUFFER_SIZE;
    // The value's type is deliberately ignored: only its bytes count.
    const LSTATUS status =
        RegQueryValueExA(key.get(), "PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status != ERROR_SUCCESS) {
        return status == ERROR_MORE_DATA ? SkipReason::port_name_too_long : SkipReason::no_port_name;
    }
    name = text_of(buffer);
    return SkipReason::none;
}

}  // namespace

std::optional<Survey> survey_ports() {
    const DeviceSet set = adopt_device_set(SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT));
    if (!set) {
        return std::nullopt;
    }
    Survey survey;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        SurveyedPort port;
        port.skip = read_friendly_name(set.get(), device, port.friendly_name);
        if (port.skip == SkipReason::none) {
            port.skip = read_port_name(set.get(), device, port.port_name);
        }
        // Leaves out LPT ports of the same setup class, and any other name.
        if (port.skip == SkipReason::none && !port.port_name.starts_with("COM")) {
            port.skip = SkipReason::not_com;
        }
        survey.push_back(std::move(port));
    }
    return survey;
}

PortList enumerate_com_ports() {
    const std::optional<Survey> survey = survey_ports();
    return survey ? listed_ports(*survey) : PortList{};
}

}  // namespace comlookup
