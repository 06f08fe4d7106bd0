#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <devpropdef.h>

#include <optional>
#include <string>
#include <vector>

#include "process.h"

namespace comlookup::testing {

// A device as a driver installation would leave it; of the ports setup
// class unless `setup_class` says otherwise. Text is in the ANSI code page.
struct FakePort {
    std::optional<std::string> friendly_name;  // none: no friendly-name property
    std::optional<std::string> port_name;      // none: no "PortName" value
    DWORD port_name_type = REG_SZ;             // REG_SZ data gets its NUL; other types are written as given
    bool hardware_key = true;                  // false: no hardware key at all, so no "PortName" either
    std::optional<std::string> description = std::nullopt;  // the device description property
    const GUID* setup_class = nullptr;
    // None: ROOT\PORTS\NNNN, or ROOT\OTHER\NNNN outside the ports class.
    std::optional<std::string> instance_id = std::nullopt;
    // Wine keeps no device tree, so the parent a USB port is read through
    // must be written down as DEVPKEY_Device_Parent.
    std::optional<std::string> parent = std::nullopt;
    std::optional<std::string> bus_description = std::nullopt;      // DEVPKEY_Device_BusReportedDeviceDesc
    std::optional<std::string> location = std::nullopt;             // SPDRP_LOCATION_INFORMATION
    std::vector<std::string> hardware_ids = {};                     // SPDRP_HARDWAREID; empty: none
    std::optional<std::string> bluetooth_unique_id = std::nullopt;  // "Bluetooth_UniqueID" in the hardware key
    std::vector<std::string> location_paths = {};                   // DEVPKEY_Device_LocationPaths; empty: none
    // Its parent property may not be read (access denied), as Windows may
    // refuse for a device whose keys another user or a driver locked.
    bool parent_unreadable = false;
    std::optional<DWORD> problem = std::nullopt;  // DEVPKEY_Device_ProblemCode, Device Manager's "Code 10" and the like
    DEVPROPTYPE problem_type = DEVPROP_TYPE_UINT32;  // as devpkey.h gives it; Microsoft's page says INT32
    // A Bluetooth port's service, as Windows' Bluetooth stack records it
    // under BTHPORT_DEVICES: its key's path there,
    // "98d331fb1a2c\\ServicesFor001a7dda7113\\{00001101-...}\\C00000000", and
    // its "PriLangServiceName", bytes of UTF-8, padded with NULs to 256 as
    // Windows writes it (none: the key without the value). The key may
    // refuse every reader, as `parent_unreadable` does.
    std::optional<std::string> bluetooth_service_key = std::nullopt;
    std::optional<std::string> bluetooth_service = std::nullopt;
    bool bluetooth_service_unreadable = false;
};

// Where Windows' Bluetooth stack keeps what it knows of each paired device, under HKLM.
constexpr char BTHPORT_DEVICES[] = "System\\CurrentControlSet\\Services\\BTHPORT\\Parameters\\Devices";

// A serial port of Windows' Bluetooth stack, of the ports class, with its
// hardware key's "Bluetooth_UniqueID" when given.
FakePort bluetooth_port(const std::string& port_name, const std::string& friendly_name, const std::string& instance_id,
                        const std::optional<std::string>& unique_id);

// A remote device's node in the Bluetooth class, BTHENUM\DEV_<address>\...,
// whose friendly name is the device's name.
FakePort bluetooth_device(const std::string& instance_id, const std::string& name);

// Changing the device database is only ever safe inside a throwaway Wine
// prefix; on a real Windows machine it would remove the user's ports.
bool running_under_wine();

// Removes every device of the ports setup class, present or not, every
// device the other calls here made in another class, in this process or an
// earlier one, and every Bluetooth service record.
bool clear_ports();

// Creates present devices, in this order, with their given instance IDs or
// else ROOT\PORTS\0000, ROOT\PORTS\0001, ... (ROOT\OTHER\... outside the
// ports class) counted from the last clear_ports(). A given ID that is
// already taken fails the call.
bool add_ports(const std::vector<FakePort>& ports);
inline bool add_port(const FakePort& port) {
    return add_ports({port});
}

// Whether a device with this instance ID is in the database, present or not.
bool device_exists(const std::string& instance_id);

// The setup classes of modems, of USB devices (the parents of USB serial
// ports) and of Bluetooth devices, with their names registered in the prefix as Windows always has
// them and Wine's prefix lacks them.
const GUID& modem_class();
const GUID& usb_class();
const GUID& bluetooth_class();

// Removes the devices of the ports setup class with this friendly name.
bool remove_ports_named(const std::string& friendly_name);

// Removes the device with this instance ID.
bool remove_device(const std::string& instance_id);

// Gives the device its friendly name, which a driver installation writes
// after the device is present.
bool set_friendly_name(const std::string& instance_id, const std::string& name);

// One change of a timetable, made `at_ms` after the program starts.
struct TimedChange {
    enum class What { add, remove, name };
    DWORD at_ms = 0;
    What what = What::add;
    FakePort device;  // to add; for remove and name, its instance ID and for name, its new friendly name
};

// A timetable, one change a line, times in ms from the program's start:
//   MS add PORTNAME INSTANCE-ID [problem=CODE] FRIENDLY-NAME...
//   MS add-unnamed PORTNAME INSTANCE-ID DESCRIPTION...   no friendly name yet
//   MS name INSTANCE-ID FRIENDLY-NAME...
//   MS remove INSTANCE-ID
// None for a malformed line.
std::optional<std::vector<TimedChange>> read_timetable(const std::string& text);

// Runs `command_line` while it makes the timetable's changes; those due at
// the same moment with the program suspended, so that it sees them all at
// once or none. Not started, or a change failed: `started` is false.
ProcessResult run_on_timetable(const std::string& command_line, const std::vector<TimedChange>& timetable);

}  // namespace comlookup::testing
