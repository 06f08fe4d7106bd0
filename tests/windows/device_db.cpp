#include "device_db.h"

#include "discovery/win32_handles.h"

// Must come first: makes devguid.h and devpkey.h define GUID_DEVCLASS_PORTS
// and the property keys, not just declare them.
#include <initguid.h>

#include <devguid.h>
#include <devpkey.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>

#include "process.h"

namespace comlookup::testing {
namespace {

// Instance IDs given here, not generated: SetupAPI's generated IDs cost
// Wine a scan of every device, 50 ms a device at a few hundred.
unsigned g_next_instance = 0;

// Marks the devices made outside the ports class, so that clear_ports, in
// this process or a later one, removes those and leaves Wine's own alone.
// A key of this file's own, never read by the programs under test.
constexpr DEVPROPKEY MADE_HERE{{0xae05610e, 0x4a31, 0x49df, {0x89, 0xb9, 0x31, 0xb0, 0x76, 0xa7, 0x94, 0x8c}}, 2};

// Older MinGW-w64 headers declare only the Get half, and a newer header's
// declaration need not match one written here to the letter: looked up by
// name, it clashes with neither.
using SetDeviceProperty = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const DEVPROPKEY*, DEVPROPTYPE, const BYTE*, DWORD,
                                        DWORD);

SetDeviceProperty set_device_property() {
    static const auto function = reinterpret_cast<SetDeviceProperty>(
        // Through the one function pointer type GCC lets stand for any other.
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("setupapi.dll"), "SetupDiSetDevicePropertyW")));
    return function;
}

bool set_property(HDEVINFO set, SP_DEVINFO_DATA& device, const DEVPROPKEY& key, DEVPROPTYPE type, const void* data,
                  std::size_t size) {
    const SetDeviceProperty function = set_device_property();
    return function != nullptr &&
           function(set, &device, &key, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size), 0);
}

std::wstring wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

bool set_string_property(HDEVINFO set, SP_DEVINFO_DATA& device, const DEVPROPKEY& key,
                         const std::optional<std::string>& text) {
    if (!text) {
        return true;
    }
    const std::wstring value = wide(*text);
    return set_property(set, device, key, DEVPROP_TYPE_STRING, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
}

bool set_string_list_property(HDEVINFO set, SP_DEVINFO_DATA& device, const DEVPROPKEY& key,
                              const std::vector<std::string>& texts) {
    if (texts.empty()) {
        return true;
    }
    std::wstring list;
    for (const std::string& text : texts) {
        list += wide(text) + L'\0';
    }
    list += L'\0';
    return set_property(set, device, key, DEVPROP_TYPE_STRING_LIST, list.data(), list.size() * sizeof(wchar_t));
}

bool set_port_name(HDEVINFO set, SP_DEVINFO_DATA& device, const FakePort& port) {
    const RegistryKey key(SetupDiCreateDevRegKeyA(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr));
    if (!key) {
        return false;
    }
    if (!port.port_name) {
        return true;
    }
    if (const std::optional<std::string>& unique_id = port.bluetooth_unique_id;
        unique_id &&
        RegSetValueExA(key.get(), "Bluetooth_UniqueID", 0, REG_SZ, reinterpret_cast<const BYTE*>(unique_id->c_str()),
                       static_cast<DWORD>(unique_id->size() + 1)) != ERROR_SUCCESS) {
        return false;
    }
    const std::string& data = *port.port_name;
    const DWORD size = static_cast<DWORD>(data.size() + (port.port_name_type == REG_SZ ? 1 : 0));
    return RegSetValueExA(key.get(), "PortName", 0, port.port_name_type, reinterpret_cast<const BYTE*>(data.c_str()),
                          size) == ERROR_SUCCESS;
}

bool set_bytes(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, const std::string& bytes) {
    return SetupDiSetDeviceRegistryPropertyA(set, &device, property, reinterpret_cast<const BYTE*>(bytes.data()),
                                             static_cast<DWORD>(bytes.size()));
}

bool set_text(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, const std::optional<std::string>& text) {
    return !text || set_bytes(set, device, property, std::string(*text) + '\0');
}

bool set_hardware_ids(HDEVINFO set, SP_DEVINFO_DATA& device, const std::vector<std::string>& ids) {
    if (ids.empty()) {
        return true;
    }
    std::string list;
    for (const std::string& id : ids) {
        list += id + '\0';
    }
    return set_bytes(set, device, SPDRP_HARDWAREID, list + '\0');
}

// An empty access list on the key at `path` under HKLM: no one may read it,
// which Wine enforces as Windows does; or none at all, which lets everyone,
// so that it can be removed again.
bool set_key_reading(const std::string& path, bool allowed) {
    HKEY opened = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC, &opened);
    const RegistryKey key(opened);
    SECURITY_DESCRIPTOR descriptor;
    ACL nobody;
    return key && InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           InitializeAcl(&nobody, sizeof nobody, ACL_REVISION) &&
           SetSecurityDescriptorDacl(&descriptor, TRUE, allowed ? nullptr : &nobody, FALSE) &&
           RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
}

// The same for the registry key that holds the device's property `key`.
bool set_reading(const std::string& instance_id, const DEVPROPKEY& key, bool allowed) {
    char path[400];
    const GUID& id = key.fmtid;
    std::snprintf(
        path, sizeof path,
        "System\\CurrentControlSet\\Enum\\%s\\Properties\\{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}\\%04lX",
        instance_id.c_str(), static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1],
        id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7],
        static_cast<unsigned long>(key.pid));
    return set_key_reading(path, allowed);
}

bool set_bluetooth_service(const FakePort& port) {
    const std::string path = std::string(BTHPORT_DEVICES) + '\\' + *port.bluetooth_service_key;
    HKEY created = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr);
    const RegistryKey key(created);
    std::string value = port.bluetooth_service.value_or("");
    value.resize(std::max<std::size_t>(value.size(), 256), '\0');
    return key &&
           (!port.bluetooth_service ||
            RegSetValueExA(key.get(), "PriLangServiceName", 0, REG_BINARY, reinterpret_cast<const BYTE*>(value.data()),
                           static_cast<DWORD>(value.size())) == ERROR_SUCCESS) &&
           (!port.bluetooth_service_unreadable || set_key_reading(path, false));
}

// Lets everyone read the keys at and under `path` again, so that they can be deleted.
void unlock_keys(const std::string& path) {
    set_key_reading(path, true);
    HKEY opened = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &opened);
    const RegistryKey key(opened);
    char name[256];
    for (DWORD index = 0, size = sizeof name;
         key && RegEnumKeyExA(key.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++index, size = sizeof name) {
        unlock_keys(path + '\\' + name);
    }
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
    DEVPROPTYPE type = DEVPROP_TYPE_EMPTY;
    DEVPROP_BOOLEAN mark = DEVPROP_FALSE;
    return SetupDiGetDevicePropertyW(set, &device, &MADE_HERE, &type, reinterpret_cast<BYTE*>(&mark), sizeof mark,
                                     nullptr, 0) &&
           mark == DEVPROP_TRUE;
}

bool create(HDEVINFO set, const FakePort& port, SP_DEVINFO_DATA& device) {
    const GUID* setup_class = port.setup_class != nullptr ? port.setup_class : &GUID_DEVCLASS_PORTS;
    if (port.instance_id) {
        return SetupDiCreateDeviceInfoA(set, port.instance_id->c_str(), setup_class, nullptr, nullptr, 0, &device);
    }
    // An ID still taken by an earlier run of this process's caller is skipped.
    for (;;) {
        char id[64];
        std::snprintf(id, sizeof id, "ROOT\\%s\\%04u", port.setup_class != nullptr ? "OTHER" : "PORTS",
                      g_next_instance++);
        if (SetupDiCreateDeviceInfoA(set, id, setup_class, nullptr, nullptr, 0, &device)) {
            return true;
        }
        if (GetLastError() != ERROR_DEVINST_ALREADY_EXISTS) {
            return false;
        }
    }
}

const GUID& named_class(const GUID& setup_class, const char* key_name, const std::string& name) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                        (std::string("System\\CurrentControlSet\\Control\\Class\\") + key_name).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Class", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>(name.size() + 1));
        RegCloseKey(key);
    }
    return setup_class;
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
    const auto all = [](HDEVINFO set, SP_DEVINFO_DATA& device) {
        char id[200] = {};  // MAX_DEVICE_ID_LEN
        if (SetupDiGetDeviceInstanceIdA(set, &device, id, sizeof id, nullptr)) {
            set_reading(id, DEVPKEY_Device_Parent, true);
        }
        return true;
    };
    unlock_keys(BTHPORT_DEVICES);
    const LSTATUS records = RegDeleteTreeA(HKEY_LOCAL_MACHINE, BTHPORT_DEVICES);
    return (records == ERROR_SUCCESS || records == ERROR_FILE_NOT_FOUND) &&
           remove_devices(SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, 0), all) &&
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
    constexpr DEVPROP_BOOLEAN mark = DEVPROP_TRUE;
    for (const FakePort& port : ports) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!create(set.get(), port, device) ||
            !SetupDiRegisterDeviceInfo(set.get(), &device, 0, nullptr, nullptr, nullptr) ||
            // First, so that a device left half made is still cleared.
            (port.setup_class != nullptr &&
             !set_property(set.get(), device, MADE_HERE, DEVPROP_TYPE_BOOLEAN, &mark, sizeof mark)) ||
            !set_text(set.get(), device, SPDRP_FRIENDLYNAME, port.friendly_name) ||
            !set_text(set.get(), device, SPDRP_DEVICEDESC, port.description) ||
            !set_text(set.get(), device, SPDRP_LOCATION_INFORMATION, port.location) ||
            !set_hardware_ids(set.get(), device, port.hardware_ids) ||
            !set_string_property(set.get(), device, DEVPKEY_Device_Parent, port.parent) ||
            !set_string_property(set.get(), device, DEVPKEY_Device_BusReportedDeviceDesc, port.bus_description) ||
            !set_string_list_property(set.get(), device, DEVPKEY_Device_LocationPaths, port.location_paths) ||
            (port.problem && !set_property(set.get(), device, DEVPKEY_Device_ProblemCode, port.problem_type,
                                           &*port.problem, sizeof *port.problem)) ||
            (port.hardware_key && !set_port_name(set.get(), device, port)) ||
            (port.parent_unreadable && !set_reading(*port.instance_id, DEVPKEY_Device_Parent, false)) ||
            (port.bluetooth_service_key && !set_bluetooth_service(port))) {
            return false;
        }
    }
    return true;
}

bool device_exists(const std::string& instance_id) {
    const DeviceSet set = adopt_device_set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    return set && SetupDiOpenDeviceInfoA(set.get(), instance_id.c_str(), nullptr, 0, &device);
}

const GUID& modem_class() {
    return named_class(GUID_DEVCLASS_MODEM, "{4D36E96D-E325-11CE-BFC1-08002BE10318}", "Modem");
}

const GUID& usb_class() {
    return named_class(GUID_DEVCLASS_USB, "{36FC9E60-C465-11CF-8056-444553540000}", "USB");
}

const GUID& bluetooth_class() {
    return named_class(GUID_DEVCLASS_BLUETOOTH, "{E0CBF06C-CD8B-4647-BB8A-263B43F0F974}", "Bluetooth");
}

FakePort bluetooth_port(const std::string& port_name, const std::string& friendly_name, const std::string& instance_id,
                        const std::optional<std::string>& unique_id) {
    FakePort port{friendly_name, port_name};
    port.instance_id = instance_id;
    port.bluetooth_unique_id = unique_id;
    return port;
}

FakePort bluetooth_device(const std::string& instance_id, const std::string& name) {
    FakePort device{name, std::nullopt, REG_SZ, false};
    device.setup_class = &bluetooth_class();
    device.instance_id = instance_id;
    return device;
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

namespace {

// The device with this instance ID, opened in `set`.
bool open_device(HDEVINFO set, const std::string& instance_id, SP_DEVINFO_DATA& device) {
    device.cbSize = sizeof device;
    return SetupDiOpenDeviceInfoA(set, instance_id.c_str(), nullptr, 0, &device);
}

// The rest of a line after the words read so far, without its leading blank.
std::string rest_of(std::istringstream& line) {
    std::string rest;
    std::getline(line >> std::ws, rest);
    return rest;
}

using NtProcessCall = LONG(NTAPI*)(HANDLE);

// NtSuspendProcess and NtResumeProcess: ntdll exports them, no header
// declares them.
NtProcessCall nt_process_call(const char* name) {
    return reinterpret_cast<NtProcessCall>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

}  // namespace

bool remove_device(const std::string& instance_id) {
    const DeviceSet set = adopt_device_set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    SP_DEVINFO_DATA device{};
    return running_under_wine() && set && open_device(set.get(), instance_id, device) &&
           SetupDiRemoveDevice(set.get(), &device);
}

bool set_friendly_name(const std::string& instance_id, const std::string& name) {
    const DeviceSet set = adopt_device_set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    SP_DEVINFO_DATA device{};
    return running_under_wine() && set && open_device(set.get(), instance_id, device) &&
           set_text(set.get(), device, SPDRP_FRIENDLYNAME, name);
}

std::optional<std::vector<TimedChange>> read_timetable(const std::string& text) {
    std::vector<TimedChange> timetable;
    std::istringstream lines(text);
    for (std::string text_line; std::getline(lines, text_line);) {
        if (!text_line.empty() && text_line.back() == '\r') {
            text_line.pop_back();
        }
        std::istringstream line(text_line);
        TimedChange change;
        std::string what;
        std::string id;
        if (!(line >> change.at_ms >> what)) {
            if (text_line.find_first_not_of(" \t") == std::string::npos) {
                continue;
            }
            return std::nullopt;
        }
        if (what == "add" || what == "add-unnamed") {
            std::string port_name;
            line >> port_name >> id;
            std::string name = rest_of(line);
            std::optional<DWORD> problem;
            if (name.starts_with("problem=")) {
                problem = static_cast<DWORD>(std::strtoul(name.c_str() + 8, nullptr, 10));
                name.erase(0, std::min(name.find(' '), name.size()));
                name.erase(0, std::min(name.find_first_not_of(' '), name.size()));
            }
            change.device = {name, port_name};
            change.device.problem = problem;
            if (what == "add-unnamed") {
                change.device.friendly_name.reset();
                change.device.description = name;
            }
        } else if (what == "name") {
            line >> id;
            change.what = TimedChange::What::name;
            change.device.friendly_name = rest_of(line);
        } else if (what == "remove") {
            line >> id;
            change.what = TimedChange::What::remove;
        } else {
            return std::nullopt;
        }
        if (id.empty() || (change.what != TimedChange::What::remove && change.device.friendly_name == "" &&
                           !change.device.description)) {
            return std::nullopt;
        }
        change.device.instance_id = id;
        timetable.push_back(std::move(change));
    }
    return timetable;
}

ProcessResult run_on_timetable(const std::string& command_line, const std::vector<TimedChange>& timetable) {
    const NtProcessCall suspend = nt_process_call("NtSuspendProcess");
    const NtProcessCall resume = nt_process_call("NtResumeProcess");
    const ULONGLONG start = GetTickCount64();
    ChildProcess child = start_process(command_line, ".");
    bool made = child.process.get() != nullptr && suspend != nullptr && resume != nullptr;
    for (std::size_t i = 0; i < timetable.size() && made;) {
        const ULONGLONG due = start + timetable[i].at_ms;
        const ULONGLONG now = GetTickCount64();
        if (due > now) {
            // Ends early when the program does.
            WaitForSingleObject(child.process.get(), static_cast<DWORD>(due - now));
        }
        suspend(child.process.get());
        for (const DWORD at = timetable[i].at_ms; i < timetable.size() && timetable[i].at_ms == at && made; ++i) {
            const TimedChange& change = timetable[i];
            const std::string& id = *change.device.instance_id;
            made = change.what == TimedChange::What::add      ? add_port(change.device)
                   : change.what == TimedChange::What::remove ? remove_device(id)
                                                              : set_friendly_name(id, *change.device.friendly_name);
        }
        resume(child.process.get());
    }
    ProcessResult result = finish_process(child);
    result.started = result.started && made;
    return result;
}

}  // namespace comlookup::testing
