#include "device_db.h"

#include "discovery/win32_handles.h"

// Must come first: makes devguid.h define GUID_DEVCLASS_PORTS, not just declare it.
#include <initguid.h>

#include <devguid.h>

#include <cstdio>

namespace comlookup::testing {
namespace {

// Instance IDs given here, not generated: SetupAPI's generated IDs cost
// Wine a scan of every device, 50 ms a device at a few hundred.
unsigned g_next_instance = 0;

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

bool set_text(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, const std::optional<std::string>& text) {
    return !text ||
           SetupDiSetDeviceRegistryPropertyA(set, &device, property, reinterpret_cast<const BYTE*>(text->c_str()),
                                             static_cast<DWORD>(text->size() + 1));
}

// Removes the devices of `devices` that `remove` picks; all when it is null.
template <typename Pick>
bool remove_devices(HDEVINFO devices, Pick remove) {
    const DeviceSet set = adopt_device_set(devices);
    if (!set) {
        return false;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        if (remove(set.get(), device) && !SetupDiRemoveDevice(set.get(), &device)) {
            return false;
        }
    }
    return GetLastError() == ERROR_NO_MORE_ITEMS;
}

bool made_here(HDEVINFO set, SP_DEVINFO_DATA& device) {
    char id[200];  // MAX_DEVICE_ID_LEN
    return SetupDiGetDeviceInstanceIdA(set, &device, id, sizeof id, nullptr) &&
           std::string_view(id).starts_with("ROOT\\OTHER\\");
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
    g_next_instance = 0;
    const auto all = [](HDEVINFO, SP_DEVINFO_DATA&) { return true; };
    return remove_devices(SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, 0), all) &&
           remove_devices(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES), made_here);
}

bool add_ports(const std::vector<FakePort>& ports) {
    if (!running_under_wine()) {
        return false;
    }
    const DeviceSet set = adopt_device_set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    if (!set) {
        return false;
    }
    for (const FakePort& port : ports) {
        const GUID* setup_class = port.setup_class != nullptr ? port.setup_class : &GUID_DEVCLASS_PORTS;
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        bool created = false;
        // An ID still taken by an earlier run of this process's caller is skipped.
        while (!created) {
            char id[64];
            std::snprintf(id, sizeof id, "ROOT\\%s\\%04u", port.setup_class != nullptr ? "OTHER" : "PORTS",
                          g_next_instance++);
            created = SetupDiCreateDeviceInfoA(set.get(), id, setup_class, nullptr, nullptr, 0, &device);
            if (!created && GetLastError() != ERROR_DEVINST_ALREADY_EXISTS) {
                return false;
            }
        }
        if (!SetupDiRegisterDeviceInfo(set.get(), &device, 0, nullptr, nullptr, nullptr) ||
            !set_text(set.get(), device, SPDRP_FRIENDLYNAME, port.friendly_name) ||
            !set_text(set.get(), device, SPDRP_DEVICEDESC, port.description) ||
            (port.hardware_key && !set_port_name(set.get(), device, port))) {
            return false;
        }
    }
    return true;
}

const GUID& modem_class() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                        "System\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}", 0, nullptr,
                        0, KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Class", 0, REG_SZ, reinterpret_cast<const BYTE*>("Modem"), 6);
        RegCloseKey(key);
    }
    return GUID_DEVCLASS_MODEM;
}

bool remove_ports_named(const std::string& friendly_name) {
    return running_under_wine() && remove_devices(SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, 0),
                                                  [&](HDEVINFO set, SP_DEVINFO_DATA& device) {
                                                      char name[256] = {};
                                                      return SetupDiGetDeviceRegistryPropertyA(
                                                                 set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                                                 reinterpret_cast<BYTE*>(name), sizeof name, nullptr) &&
                                                             friendly_name == name;
                                                  });
}

}  // namespace comlookup::testing
