// Prints what Wine's SetupAPI gives for the reads that find a port by its
// device's USB identity, over devices made as device_db makes them, so that
// what the lookup may count on is seen rather than assumed. Not a test: it
// checks nothing, and runs only under Wine, where it may change the device
// database.
#include <windows.h>

// Must come first: makes devguid.h and devpkey.h define the GUIDs and the
// property keys, not just declare them.
#include <initguid.h>

#include <cfgmgr32.h>
#include <devguid.h>
#include <devpkey.h>

#include <cstdio>
#include <string>
#include <vector>

#include "device_db.h"
#include "discovery/win32_handles.h"

namespace {

using comlookup::testing::FakePort;

constexpr const char* PICO = "USB\\VID_2E8A&PID_000A\\E6605838833C4A2E";
constexpr const char* FTDI = "USB\\VID_0403&PID_6001\\A50285BI";

std::vector<FakePort> devices() {
    const GUID* usb = &comlookup::testing::usb_class();
    return {
        {"USB Serial Device (COM5)",
         "COM5",
         REG_SZ,
         true,
         std::nullopt,
         nullptr,
         "USB\\VID_2E8A&PID_000A&MI_00\\6&1A2B3C4D&0&0000",
         PICO,
         std::nullopt,
         std::nullopt,
         {"USB\\VID_2E8A&PID_000A&REV_0100&MI_00", "USB\\VID_2E8A&PID_000A&MI_00"}},
        {"USB Serial Port (COM7)",
         "COM7",
         REG_SZ,
         true,
         std::nullopt,
         nullptr,
         "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000",
         FTDI,
         std::nullopt,
         std::nullopt,
         {"FTDIBUS\\COMPORT&VID_0403&PID_6001"}},
        {"USB-SERIAL CH340 (COM4)",
         "COM4",
         REG_SZ,
         true,
         std::nullopt,
         nullptr,
         "USB\\VID_1A86&PID_7523\\5&2C6B3C4&0&2",
         std::nullopt,
         "USB Serial",
         "Port_#0002.Hub_#0001",
         {"USB\\VID_1A86&PID_7523&REV_0264", "USB\\VID_1A86&PID_7523"}},
        {"Communications Port (COM1)", "COM1", REG_SZ, true, std::nullopt, nullptr, "ACPI\\PNP0501\\1"},
        {"Plain Port (COM3)", "COM3"},
        {std::nullopt,
         std::nullopt,
         REG_SZ,
         false,
         std::nullopt,
         usb,
         PICO,
         std::nullopt,
         "Pico",
         "Port_#0003.Hub_#0001",
         {"USB\\VID_2E8A&PID_000A&REV_0100", "USB\\VID_2E8A&PID_000A"}},
        {std::nullopt, std::nullopt, REG_SZ, false, std::nullopt, usb, FTDI, std::nullopt, "FT232R USB UART",
         "Port_#0001.Hub_#0002"},
    };
}

const char* error_name(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return "ERROR_SUCCESS";
        case ERROR_FILE_NOT_FOUND:
            return "ERROR_FILE_NOT_FOUND";
        case ERROR_INVALID_DATA:
            return "ERROR_INVALID_DATA";
        case ERROR_INVALID_PARAMETER:
            return "ERROR_INVALID_PARAMETER";
        case ERROR_INSUFFICIENT_BUFFER:
            return "ERROR_INSUFFICIENT_BUFFER";
        case ERROR_NO_MORE_ITEMS:
            return "ERROR_NO_MORE_ITEMS";
        case ERROR_NOT_FOUND:
            return "ERROR_NOT_FOUND";
        case ERROR_INVALID_FLAGS:
            return "ERROR_INVALID_FLAGS";
        case ERROR_NO_SUCH_DEVINST:
            return "ERROR_NO_SUCH_DEVINST";
        case ERROR_INVALID_DEVINST_NAME:
            return "ERROR_INVALID_DEVINST_NAME";
        case ERROR_INVALID_REG_PROPERTY:
            return "ERROR_INVALID_REG_PROPERTY";
        case ERROR_INVALID_HANDLE:
            return "ERROR_INVALID_HANDLE";
        default:
            return "?";
    }
}

void print_error(DWORD error) {
    std::printf("error %lu (0x%08lX %s)\n", static_cast<unsigned long>(error), static_cast<unsigned long>(error),
                error_name(error));
}

std::string narrow(const wchar_t* text, std::size_t length) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), result.data(), size, nullptr, nullptr);
    return result;
}

std::wstring wide(const std::string& text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

// A multi-sz or single string as "a" | "b", with the byte count it came in.
std::string shown_list(const char* data, std::size_t size) {
    std::string shown;
    for (std::size_t start = 0; start < size && data[start] != '\0';) {
        const std::string item(data + start);
        shown += (shown.empty() ? "\"" : " | \"") + item + "\"";
        start += item.size() + 1;
    }
    return shown;
}

std::string instance_id(HDEVINFO set, SP_DEVINFO_DATA& device) {
    char id[MAX_DEVICE_ID_LEN + 1] = {};
    if (!SetupDiGetDeviceInstanceIdA(set, &device, id, sizeof id, nullptr)) {
        return "(no instance ID: error " + std::to_string(GetLastError()) + ")";
    }
    return id;
}

// The string property `key`, or the error; returns the text it read.
std::string print_string_property(HDEVINFO set, SP_DEVINFO_DATA& device, const DEVPROPKEY& key, const char* label) {
    wchar_t buffer[512] = {};
    DEVPROPTYPE type = 0xDEADBEEF;
    DWORD required = 0xDEADBEEF;
    SetLastError(ERROR_SUCCESS);
    const BOOL ok = SetupDiGetDevicePropertyW(set, &device, &key, &type, reinterpret_cast<BYTE*>(buffer), sizeof buffer,
                                              &required, 0);
    const DWORD error = GetLastError();
    std::printf("    %s: ", label);
    if (!ok) {
        std::printf("FALSE, type 0x%lX, required %lu, ", static_cast<unsigned long>(type),
                    static_cast<unsigned long>(required));
        print_error(error);
        return {};
    }
    const std::string text = narrow(buffer, required / sizeof(wchar_t) > 0 ? required / sizeof(wchar_t) - 1 : 0);
    std::printf("TRUE, type 0x%lX%s, required %lu bytes, \"%s\"\n", static_cast<unsigned long>(type),
                type == DEVPROP_TYPE_STRING ? " (DEVPROP_TYPE_STRING)" : "", static_cast<unsigned long>(required),
                text.c_str());
    return text;
}

void print_registry_property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, const char* label) {
    char buffer[1024] = {};
    DWORD type = 0xDEADBEEF;
    DWORD required = 0xDEADBEEF;
    SetLastError(ERROR_SUCCESS);
    const BOOL ok = SetupDiGetDeviceRegistryPropertyA(set, &device, property, &type, reinterpret_cast<BYTE*>(buffer),
                                                      sizeof buffer - 2, &required);
    const DWORD error = GetLastError();
    std::printf("    %s: ", label);
    if (!ok) {
        std::printf("FALSE, type 0x%lX, required %lu, ", static_cast<unsigned long>(type),
                    static_cast<unsigned long>(required));
        print_error(error);
        return;
    }
    std::printf("TRUE, type %lu%s, required %lu bytes, %s\n", static_cast<unsigned long>(type),
                type == REG_SZ         ? " (REG_SZ)"
                : type == REG_MULTI_SZ ? " (REG_MULTI_SZ)"
                                       : "",
                static_cast<unsigned long>(required), shown_list(buffer, required).c_str());
}

std::string class_name(const GUID& setup_class) {
    char name[64] = {};
    return SetupDiClassNameFromGuidA(&setup_class, name, sizeof name, nullptr) ? name : "(no class name)";
}

void print_parent(const std::string& parent_id) {
    const comlookup::DeviceSet set = comlookup::adopt_device_set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    SetLastError(ERROR_SUCCESS);
    const BOOL ok = SetupDiOpenDeviceInfoW(set.get(), wide(parent_id).c_str(), nullptr, 0, &device);
    const DWORD error = GetLastError();
    std::printf("    (c) SetupDiOpenDeviceInfoW(new set, \"%s\"): ", parent_id.c_str());
    if (!ok) {
        std::printf("FALSE, ");
        print_error(error);
        return;
    }
    std::printf("TRUE, class %s, instance ID \"%s\"\n", class_name(device.ClassGuid).c_str(),
                instance_id(set.get(), device).c_str());
    print_string_property(set.get(), device, DEVPKEY_Device_BusReportedDeviceDesc,
                          "(c) parent's BusReportedDeviceDesc");
    print_registry_property(set.get(), device, SPDRP_LOCATION_INFORMATION, "(c) parent's SPDRP_LOCATION_INFORMATION");
    print_registry_property(set.get(), device, SPDRP_HARDWAREID, "(e) parent's SPDRP_HARDWAREID");
}

void print_short_buffer(HDEVINFO set, SP_DEVINFO_DATA& device) {
    for (const DWORD size : {DWORD{0}, DWORD{4}}) {
        BYTE buffer[4] = {};
        DEVPROPTYPE type = 0xDEADBEEF;
        DWORD required = 0xDEADBEEF;
        SetLastError(ERROR_SUCCESS);
        const BOOL ok = SetupDiGetDevicePropertyW(set, &device, &DEVPKEY_Device_Parent, &type,
                                                  size == 0 ? nullptr : buffer, size, &required, 0);
        const DWORD error = GetLastError();
        std::printf("    (d) Parent into %lu bytes%s: %s, type 0x%lX, required %lu, ", static_cast<unsigned long>(size),
                    size == 0 ? " (null buffer)" : "", ok ? "TRUE" : "FALSE", static_cast<unsigned long>(type),
                    static_cast<unsigned long>(required));
        print_error(error);
    }
}

// What the device tree gives on Wine, for comparison with the property.
void print_cm_parent(const SP_DEVINFO_DATA& device, const std::string& id) {
    DEVINST located = 0;
    const CONFIGRET locate = CM_Locate_DevNodeA(&located, const_cast<char*>(id.c_str()), CM_LOCATE_DEVNODE_NORMAL);
    DEVINST parent = 0;
    const CONFIGRET got = CM_Get_Parent(&parent, device.DevInst, 0);
    char parent_id[MAX_DEVICE_ID_LEN + 1] = {};
    const CONFIGRET named = got == CR_SUCCESS ? CM_Get_Device_IDA(parent, parent_id, sizeof parent_id, 0) : CR_DEFAULT;
    std::printf("    CM_Locate_DevNodeA: 0x%lX; CM_Get_Parent(DevInst %lu): 0x%lX, parent %lu \"%s\" (0x%lX)\n",
                static_cast<unsigned long>(locate), static_cast<unsigned long>(device.DevInst),
                static_cast<unsigned long>(got), static_cast<unsigned long>(parent), parent_id,
                static_cast<unsigned long>(named));
}

void probe_ports() {
    std::printf("(a) SetupDiGetClassDevsA(Ports, DIGCF_PRESENT) + SetupDiEnumDeviceInfo:\n");
    const comlookup::DeviceSet set =
        comlookup::adopt_device_set(SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT));
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    DWORD index = 0;
    for (; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        char name[256] = {};
        SetupDiGetDeviceRegistryPropertyA(set.get(), &device, SPDRP_FRIENDLYNAME, nullptr,
                                          reinterpret_cast<BYTE*>(name), sizeof name, nullptr);
        std::printf("  %lu: \"%s\"  %s\n", static_cast<unsigned long>(index), instance_id(set.get(), device).c_str(),
                    name);
    }
    std::printf("  end: ");
    print_error(GetLastError());

    for (DWORD i = 0; i < index && SetupDiEnumDeviceInfo(set.get(), i, &device); ++i) {
        const std::string id = instance_id(set.get(), device);
        std::printf("\n  %s\n", id.c_str());
        const std::string parent = print_string_property(set.get(), device, DEVPKEY_Device_Parent, "(b) Parent");
        print_short_buffer(set.get(), device);
        print_string_property(set.get(), device, DEVPKEY_Device_BusReportedDeviceDesc, "own BusReportedDeviceDesc");
        print_registry_property(set.get(), device, SPDRP_LOCATION_INFORMATION, "own SPDRP_LOCATION_INFORMATION");
        print_registry_property(set.get(), device, SPDRP_HARDWAREID, "(e) SPDRP_HARDWAREID");
        print_cm_parent(device, id);
        if (!parent.empty()) {
            print_parent(parent);
        }
    }
}

void print_open(const char* label, const std::string& id) {
    const comlookup::DeviceSet set = comlookup::adopt_device_set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    SetLastError(ERROR_SUCCESS);
    const BOOL ok = SetupDiOpenDeviceInfoW(set.get(), wide(id).c_str(), nullptr, 0, &device);
    const DWORD error = GetLastError();
    std::printf("  %s \"%s\": %s", label, id.c_str(), ok ? "TRUE" : "FALSE, ");
    if (ok) {
        std::printf(", instance ID \"%s\"\n", instance_id(set.get(), device).c_str());
    } else {
        print_error(error);
    }
}

void print_usb_class_listing() {
    std::printf("SetupDiGetClassDevsA(USB, DIGCF_PRESENT):\n");
    const comlookup::DeviceSet set = comlookup::adopt_device_set(
        SetupDiGetClassDevsA(&comlookup::testing::usb_class(), nullptr, nullptr, DIGCF_PRESENT));
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        std::printf("  %lu: \"%s\"\n", static_cast<unsigned long>(index), instance_id(set.get(), device).c_str());
    }
}

// How many devices of any class, present or not, have one of these IDs.
int count_of(const std::vector<std::string>& ids) {
    const comlookup::DeviceSet set =
        comlookup::adopt_device_set(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    int count = 0;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        const std::string id = instance_id(set.get(), device);
        for (const std::string& wanted : ids) {
            count += lstrcmpiA(id.c_str(), wanted.c_str()) == 0 ? 1 : 0;
        }
    }
    return count;
}

}  // namespace

int main() {
    if (!comlookup::testing::running_under_wine()) {
        std::fprintf(stderr, "usb_probe changes the device database: it runs only under Wine\n");
        return 2;
    }
    std::printf("%s-bit, ANSI code page %u\n", sizeof(void*) == 8 ? "64" : "32", GetACP());
    const std::vector<FakePort> made = devices();
    if (!comlookup::testing::clear_ports() || !comlookup::testing::add_ports(made)) {
        std::printf("cannot set up the devices: ");
        print_error(GetLastError());
        return 1;
    }
    std::printf("created in this order:");
    for (const FakePort& device : made) {
        std::printf(" %s", device.instance_id.value_or("(generated)").c_str());
    }
    std::printf("\n\n");
    probe_ports();

    std::printf("\n(f) SetupDiOpenDeviceInfoW into a new set:\n");
    print_open("missing", "USB\\VID_FFFF&PID_FFFF\\NOSUCHSERIAL");
    print_open("lower case", "usb\\vid_2e8a&pid_000a\\e6605838833c4a2e");
    print_open("no instance part", "USB\\VID_2E8A&PID_000A");
    print_open("empty", "");
    print_usb_class_listing();

    std::vector<std::string> ids;
    for (const FakePort& device : made) {
        ids.push_back(device.instance_id.value_or("ROOT\\PORTS\\0000"));
    }
    std::printf("\nbefore clear_ports: %d of the %zu devices in the database\n", count_of(ids), ids.size());
    const bool cleared = comlookup::testing::clear_ports();
    std::printf("clear_ports: %s; after: %d of them left\n", cleared ? "ok" : "FAILED", count_of(ids));
    print_open("removed parent", PICO);
    std::printf("device_exists(removed parent): %s\n", comlookup::testing::device_exists(PICO) ? "yes" : "no");
    return 0;
}
