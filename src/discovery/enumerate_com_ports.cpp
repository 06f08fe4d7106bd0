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

std::optional<std::string> read_friendly_name(HDEVINFO set, SP_DEVINFO_DATA& device) {
    NameBuffer buffer{};
    DWORD required = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                           reinterpret_cast<BYTE*>(buffer.data()), NAME_BUFFER_SIZE, &required)) {
        return std::nullopt;
    }
    return text_of(buffer);
}

std::optional<std::string> read_port_name(HDEVINFO set, SP_DEVINFO_DATA& device) {
    const RegistryKey key(SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
    if (!key) {
        return std::nullopt;
    }
    NameBuffer buffer{};
    DWORD type = 0;
    DWORD size = NAME_BUFFER_SIZE;
    // The value's type is deliberately ignored: only its bytes count.
    if (RegQueryValueExA(key.get(), "PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return text_of(buffer);
}

}  // namespace

PortList enumerate_com_ports() {
    PortList ports;
    const DeviceSet set = adopt_device_set(SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT));
    if (!set) {
        return ports;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        std::optional<std::string> friendly_name = read_friendly_name(set.get(), device);
        if (!friendly_name) {
            continue;
        }
        std::optional<std::string> port_name = read_port_name(set.get(), device);
        // Leaves out LPT ports of the same setup class, and any other name.
        if (!port_name || !port_name->starts_with("COM")) {
            continue;
        }
        ports.push_back({std::move(*port_name), std::move(*friendly_name)});
    }
    return ports;
}

}  // namespace comlookup
