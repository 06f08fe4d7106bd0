#include "device_db.h"

#include "discovery/win32_handles.h"

// Must come first: makes devguid.h define GUID_DEVCLASS_PORTS, not just declare it.
#include <initguid.h>

#include <devguid.h>

namespace comlookup::testing {
namespace {

bool set_port_name(HDEVINFO set, SP_DEVINFO_DATA& device, const FakePort& port) {
    const RegistryKey key(SetupDiCreateDevRegKeyA(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr));
    if (!key) {
        return false;
    }
    if (!port.port_name) {
        return true;
    }
    const std::string& data = *port.port_name;
    const DWORD size = static_cast<DWORD>(data.size() + (port.port_name_type == REG_SZ ? 1 : 0));
    return RegSetValueExA(key.get(), "PortName", 0, port.port_name_type, reinterpret_cast<const BYTE*>(data.c_str()),
                          size) == ERROR_SUCCESS;
}

}  // namespace

bool running_under_wine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool clear_ports() {
    if (!running_under_wine()) {
        return false;
    }
    const DeviceSet set = adopt_device_set(SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, 0));
    if (!set) {
        return false;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        if (!SetupDiRemoveDevice(set.get(), &device)) {
            return false;
        }
    }
    return GetLastError() == ERROR_NO_MORE_ITEMS;
}

bool add_port(const FakePort& port) {
    if (!running_under_wine()) {
        return false;
    }
    const DeviceSet set = adopt_device_set(SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr));
    if (!set) {
        return false;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiCreateDeviceInfoA(set.get(), "PORTS", &GUID_DEVCLASS_PORTS, nullptr, nullptr, DICD_GENERATE_ID,
                                  &device) ||
        !SetupDiRegisterDeviceInfo(set.get(), &device, 0, nullptr, nullptr, nullptr)) {
        return false;
    }
    if (port.friendly_name) {
        const std::string& name = *port.friendly_name;
        if (!SetupDiSetDeviceRegistryPropertyA(set.get(), &device, SPDRP_FRIENDLYNAME,
                                               reinterpret_cast<const BYTE*>(name.c_str()),
                                               static_cast<DWORD>(name.size() + 1))) {
            return false;
        }
    }
    return !port.hardware_key || set_port_name(set.get(), device, port);
}

}  // namespace comlookup::testing
