#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace comlookup::testing {

// A device of the ports setup class, as a driver installation would leave it.
struct FakePort {
    std::optional<std::string> friendly_name;  // none: no friendly-name property
    std::optional<std::string> port_name;      // none: no "PortName" value
    DWORD port_name_type = REG_SZ;             // REG_SZ data gets its NUL; other types are written as given
    bool hardware_key = true;                  // false: no hardware key at all, so no "PortName" either
};

// Changing the device database is only ever safe inside a throwaway Wine
// prefix; on a real Windows machine it would remove the user's ports.
bool running_under_wine();

// Removes every device of the ports setup class, present or not.
bool clear_ports();

// Creates a present device of the ports setup class.
bool add_port(const FakePort& port);

}  // namespace comlookup::testing
