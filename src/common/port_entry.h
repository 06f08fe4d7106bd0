#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace comlookup {

// Texts are bytes in the system's ANSI code page, never converted.
struct PortEntry {
    std::string port_name;      // "PortName" value, e.g. "COM3"
    std::string friendly_name;  // device's friendly-name property

    bool operator==(const PortEntry&) const = default;
};

// In the order the device database lists the devices; never sorted.
using PortList = std::vector<PortEntry>;

// Any other status is the port number of the one matching device.
inline constexpr std::int32_t EXIT_NOT_FOUND = -1;
inline constexpr std::int32_t EXIT_AMBIGUOUS = -2;

}  // namespace comlookup
