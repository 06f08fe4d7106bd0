#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
    // The USB device's location paths, "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)#USB(2)" and the like, in the
    // order Windows lists them; and the port's own where it is one interface of the device ("...#USBMI(0)").
    std::vector<std::string> paths = {};
    std::vector<std::string> port_paths = {};
    // A channel of an FTDI chip, "FTDIBUS\VID_0403+PID_6001+A600ARJHA\0000": other tools give its serial
    // number with the channel letter, as that ID holds it.
    bool ftdi_channel = false;
    // The USB device's instance ID ends in a part Windows made up from its socket ("6&9358AC4&0&2"): the
    // device reported no serial number, or another of its IDs already had the one it reported.
    bool socket_id = false;
    // The parts whose reads failed for a reason other than absence (USB_...
    // bits), and the platform's error code for the first of them. A TERM on
    // such a part can neither be met nor ruled out.
    unsigned unreadable = 0;
    std::uint32_t error = 0;

    bool operator==(const UsbIdentity&) const = default;
};

inline constexpr unsigned USB_IDS = 1;  // vendor and product IDs
inline constexpr unsigned USB_SERIAL = 2;
inline constexpr unsigned USB_PRODUCT = 4;
inline constexpr unsigned USB_LOCATION = 8;
inline constexpr unsigned USB_INTERFACE = 16;  // only when the instance ID itself could not be read
inline constexpr unsigned USB_PATH = 32;
inline constexpr unsigned USB_ALL = USB_IDS | USB_SERIAL | USB_PRODUCT | USB_LOCATION | USB_INTERFACE | USB_PATH;

// The identity "comlookup-usb TERM..." asks for: a device must meet every
// term given.
struct UsbTerms {
    std::optional<std::uint16_t> vid = std::nullopt;
    std::optional<std::uint16_t> pid = std::nullopt;
    std::optional<std::string> serial = std::nullopt;  // ignoring ASCII case
    std::optional<std::uint32_t> interface_number = std::nullopt;
    std::optional<std::string> product = std::nullopt;   // the product name begins with it, byte for byte
    std::optional<std::string> location = std::nullopt;  // exactly
    // One of the location paths, ignoring ASCII case; or pyserial's LOCATION ("1-5.4", "1-5.4:x.0").
    std::optional<std::string> path = std::nullopt;

    bool operator==(const UsbTerms&) const = default;
};

}  // namespace comlookup
