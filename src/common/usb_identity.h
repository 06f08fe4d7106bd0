#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace comlookup {

// What tells a port's USB device apart, as Windows keeps it. Each field is
// absent when the device has no such thing or it was not read; texts are
// bytes in the ANSI code page, as the device reported them.
struct UsbIdentity {
    std::optional<std::uint16_t> vid = std::nullopt;
    std::optional<std::uint16_t> pid = std::nullopt;
    std::optional<std::string> serial = std::nullopt;              // never a part Windows generated
    std::optional<std::uint32_t> interface_number = std::nullopt;  // the port's USB interface, or FTDI channel
    std::optional<std::string> product = std::nullopt;             // "Bus reported device description"
    std::optional<std::string> location = std::nullopt;            // the USB socket, e.g. "Port_#0002.Hub_#0001"
    // A read that failed for a reason other than absence: the platform's
    // error code. Such a device meets no identity TERM.
    std::uint32_t error = 0;

    bool operator==(const UsbIdentity&) const = default;
};

// The identity "comlookup-usb TERM..." asks for: a device must meet every
// term given.
struct UsbTerms {
    std::optional<std::uint16_t> vid = std::nullopt;
    std::optional<std::uint16_t> pid = std::nullopt;
    std::optional<std::string> serial = std::nullopt;  // ignoring ASCII case
    std::optional<std::uint32_t> interface_number = std::nullopt;
    std::optional<std::string> product = std::nullopt;   // the product name begins with it, byte for byte
    std::optional<std::string> location = std::nullopt;  // exactly

    bool operator==(const UsbTerms&) const = default;
};

}  // namespace comlookup
