#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace comlookup {

// What tells a Bluetooth serial port's remote device apart, as Windows' own
// Bluetooth stack keeps it. The name is bytes in the ANSI code page, as the
// device reported it.
struct BtIdentity {
    bool bluetooth = false;  // a port of the Bluetooth stack: its instance ID or hardware key says so
    // The remote device's, 48 bits; none for an incoming port, or where the
    // port's two records of it disagree or say nothing.
    std::optional<std::uint64_t> address = std::nullopt;
    bool incoming = false;                           // it waits for a device to call, and belongs to none
    std::optional<std::string> name = std::nullopt;  // the remote device's, from its node in the Bluetooth class
    // The name the device gives this port's serial service, as Windows' COM
    // Ports tab shows it in quotes after the device's name; none: it gives
    // none, or it was not read because no TERM needed it.
    std::optional<std::string> service = std::nullopt;
    // Reads that failed for a reason other than absence: the platform's
    // error codes. Such a device may meet a TERM that needs that part.
    std::uint32_t address_error = 0;
    std::uint32_t name_error = 0;
    std::uint32_t service_error = 0;

    bool operator==(const BtIdentity&) const = default;
};

// The identity "comlookup-bt TERM..." asks for: a device must meet every
// term given.
struct BtTerms {
    std::optional<std::uint64_t> address = std::nullopt;
    // The device's name begins with it, byte for byte, or it is exactly what
    // the COM Ports tab shows: the name, a blank and the service in quotes.
    std::optional<std::string> name = std::nullopt;
    std::optional<std::string> service = std::nullopt;  // the service's name begins with it, byte for byte

    bool operator==(const BtTerms&) const = default;
};

// A remote device's node in the Bluetooth setup class, which holds its name.
struct BtDevice {
    std::optional<std::uint64_t> address = std::nullopt;  // none: its instance ID could not be read
    std::optional<std::string> name = std::nullopt;       // without the line end some devices send
    std::uint32_t error = 0;                              // a read of it failed for a reason other than absence

    bool operator==(const BtDevice&) const = default;
};

}  // namespace comlookup
