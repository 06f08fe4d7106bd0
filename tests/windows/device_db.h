#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace comlookup::testing {

// A device as a driver installation would leave it; of the ports setup
// class unless `setup_class` says otherwise.
struct FakePort {
    std::optional<std::string> friendly_name;  // none: no friendly-name property
    std::optional<std::string> port_name;      // none: no "PortName" value
    DWORD port_name_type = REG_SZ;             // REG_SZ data gets its NUL; other types are written as given
    bool hardware_key = true;                  // false: no hardware key at all, so no "PortName" either
    std::optional<std::string> description = std::nullopt;  // the device description property
    const GUID* setup_class = nullptr;
};

// Changing the device database is only ever safe inside a throwaway Wine
// prefix; on a real Windows machine it would remove the user's ports.
bool running_under_wine();

// Removes every device of the ports setup class, present or not, and every
// device the other calls here made in another class.
bool clear_ports();

// Creates present devices, in this order, with instance IDs ROOT\PORTS\0000,
// ROOT\PORTS\0001, ... (ROOT\OTHER\... outside the ports class) counted from
// the last clear_ports().
bool add_ports(const std::vector<FakePort>& ports);
inline bool add_port(const FakePort& port) {
    return add_ports({port});
}

// The setup class of modems, with its name registered in the prefix as
// Windows always has it and Wine's prefix lacks it.
const GUID& modem_class();

// Removes the devices of the ports setup class with this friendly name.
bool remove_ports_named(const std::string& friendly_name);

}  // namespace comlookup::testing
