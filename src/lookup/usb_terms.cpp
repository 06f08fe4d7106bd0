#include "lookup/usb_terms.h"

#include <algorithm>
#include <vector>

#include "common/ascii.h"
#include "lookup/command_terms.h"
#include "lookup/select_port.h"
#include "lookup/wait_command.h"

namespace comlookup {
namespace {

// Narrowed for the IDs, which have at most 4 digits.
std::optional<std::uint32_t> hex_number(std::string_view text, std::size_t digits) {
    const auto value = hex_value(text, digits);
    return value ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*value)) : std::nullopt;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

// "VID_2E8A", "PID_000A", "MI_00" among the parts of an ID's middle; any
// other part (REV_0100) is passed over.
void read_id_parts(const std::vector<std::string_view>& parts, UsbIdentity& identity) {
    for (const std::string_view part : parts) {
        const std::string_view key = part.substr(0, 4);
        if (equal_ignoring_ascii_case(key, "VID_") && !identity.vid) {
            if (const auto vid = hex_number(part.substr(4), 4); vid && part.size() == 8) {
                identity.vid = static_cast<std::uint16_t>(*vid);
            }
        } else if (equal_ignoring_ascii_case(key, "PID_") && !identity.pid) {
            if (const auto pid = hex_number(part.substr(4), 4); pid && part.size() == 8) {
                identity.pid = static_cast<std::uint16_t>(*pid);
            }
        } else if (equal_ignoring_ascii_case(part.substr(0, 3), "MI_")) {
            identity.interface_number = hex_number(part.substr(3), 2);
        }
    }
}

// Windows makes up the last part of an ID for a device without a serial
// number, and such a part always holds '&'.
std::optional<std::string> serial_number(std::string_view text) {
    if (text.empty() || text.find('&') != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(text);
}

}  // namespace

InstanceIdReading read_instance_id(std::string_view instance_id) {
    InstanceIdReading reading;
    const std::vector<std::string_view> parts = split(instance_id, '\\');
    if (parts.size() != 3) {
        return reading;
    }
    if (equal_ignoring_ascii_case(parts[0], "USB")) {
        read_id_parts(split(parts[1], '&'), reading.identity);
        if (!reading.identity.vid || !reading.identity.pid) {
            return {};
        }
        reading.usb_device = !reading.identity.interface_number;
        if (reading.usb_device) {
            reading.identity.serial = serial_number(parts[2]);
            reading.identity.socket_id = !reading.identity.serial;
        }
    } else if (equal_ignoring_ascii_case(parts[0], "FTDIBUS")) {
        // VID_0403+PID_6001+<serial><channel letter>: the serial number proper
        // is the parent's, this one's short of the letter.
        const std::vector<std::string_view> fields = split(parts[1], '+');
        read_id_parts(fields, reading.identity);
        if (!reading.identity.vid || !reading.identity.pid || fields.size() != 3 || fields[2].empty()) {
            return {};
        }
        const char channel = ascii_folded(fields[2].back());
        if (channel >= 'a' && channel <= 'z') {
            reading.identity.ftdi_channel = true;
            reading.identity.interface_number = static_cast<std::uint32_t>(channel - 'a');
            reading.identity.serial = serial_number(fields[2].substr(0, fields[2].size() - 1));
        }
    }
    return reading;
}

void read_hardware_id(std::string_view hardware_id, UsbIdentity& identity) {
    const std::vector<std::string_view> parts = split(hardware_id, '\\');
    if (parts.size() < 2) {
        return;
    }
    UsbIdentity found;
    read_id_parts(split(parts[1], parts[1].find('+') != std::string_view::npos ? '+' : '&'), found);
    if (found.vid && found.pid && !identity.vid && !identity.pid) {
        identity.vid = found.vid;
        identity.pid = found.pid;
    }
}

namespace {

// pyserial and serialport-rs give an FTDI channel's serial number with its
// letter, as the channel's instance ID holds it: that meets this channel only.
bool serial_meets(const UsbIdentity& identity, std::string_view serial, std::string_view term) {
    if (equal_ignoring_ascii_case(serial, term)) {
        return true;
    }
    return identity.ftdi_channel && identity.interface_number && term.size() == serial.size() + 1 &&
           equal_ignoring_ascii_case(term.substr(0, serial.size()), serial) &&
           static_cast<std::uint32_t>(ascii_folded(term.back()) - 'a') == *identity.interface_number;
}

// The p of each "#USB(p)" in a location path, the chain of hub ports from
// the controller's root hub; a part that is not a number ends it.
std::vector<std::uint32_t> usb_port_chain(std::string_view path) {
    std::vector<std::uint32_t> chain;
    for (const std::string_view part : split(path, '#')) {
        if (!starts_ignoring_ascii_case(part, "USB(") || !part.ends_with(')')) {
            continue;
        }
        const auto port = read_whole_number(part.substr(4, part.size() - 5), 0xFFFF);
        if (!port) {
            break;
        }
        chain.push_back(*port);
    }
    return chain;
}

// pyserial's LOCATION, "1-5.4" or "1-5.4:x.0": the bus, then the chain of
// ports joined by '-' and then '.', then the interface. Windows numbers each
// controller's root USBROOT(0), so the bus is 1 whatever the controller: it
// is passed over.
struct PyserialLocation {
    std::vector<std::uint32_t> ports;
    std::optional<std::uint32_t> interface_number;
};

std::optional<PyserialLocation> read_pyserial_location(std::string_view text) {
    PyserialLocation location;
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos) {
        const std::string_view tail = text.substr(colon + 1);
        location.interface_number = tail.starts_with("x.") ? read_whole_number(tail.substr(2), 255) : std::nullopt;
        if (!location.interface_number) {
            return std::nullopt;
        }
        text = text.substr(0, colon);
    }
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos || !read_whole_number(text.substr(0, dash), 255)) {
        return std::nullopt;
    }
    for (const std::string_view part : split(text.substr(dash + 1), '.')) {
        const auto port = read_whole_number(part, 0xFFFF);
        if (!port) {
            return std::nullopt;
        }
        location.ports.push_back(*port);
    }
    return location;
}

Fit path_fit(const UsbIdentity& identity, const std::string& term) {
    const auto by_paths = [&](bool met) {
        return met ? Fit::yes : (identity.unreadable & USB_PATH) != 0 ? Fit::unknown : Fit::no;
    };
    if (const std::optional<PyserialLocation> location = read_pyserial_location(term)) {
        // The interface part weighs on its own, as interface= does: paths
        // that could not be read cannot bring back a device it rules out.
        Fit interface = Fit::yes;
        if (location->interface_number) {
            interface = identity.interface_number ? fit_of(identity.interface_number == location->interface_number)
                        : (identity.unreadable & USB_INTERFACE) != 0 ? Fit::unknown
                                                                     : Fit::no;
        }
        // It names no controller: two with the same chain both meet it.
        return both(by_paths(!identity.paths.empty() && usb_port_chain(identity.paths.front()) == location->ports),
                    interface);
    }
    const auto named = [&](const std::vector<std::string>& paths) {
        return std::any_of(paths.begin(), paths.end(),
                           [&](const std::string& path) { return equal_ignoring_ascii_case(path, term); });
    };
    return by_paths(named(identity.paths) || named(identity.port_paths));
}

}  // namespace

std::vector<TermFit> usb_term_fits(const UsbIdentity& identity, const UsbTerms& terms) {
    std::vector<TermFit> fits;
    const auto term_fit = [&](std::string_view key, const auto& term, const auto& part, unsigned bit, auto equal) {
        if (!term) {
            return;
        }
        if (part) {
            fits.push_back({key, fit_of(equal(*part, *term))});
        } else {
            fits.push_back({key, (identity.unreadable & bit) != 0 ? Fit::unknown : Fit::no});
        }
    };
    const auto same = [](const auto& a, const auto& b) { return a == b; };
    const auto serial = [&](const std::string& part, const std::string& term) {
        return serial_meets(identity, part, term);
    };
    const auto begins = [](const std::string& product, const std::string& term) { return product.starts_with(term); };
    term_fit("vid", terms.vid, identity.vid, USB_IDS, same);
    term_fit("pid", terms.pid, identity.pid, USB_IDS, same);
    term_fit("serial", terms.serial, identity.serial, USB_SERIAL, serial);
    term_fit("product", terms.product, identity.product, USB_PRODUCT, begins);
    term_fit("interface", terms.interface_number, identity.interface_number, USB_INTERFACE, same);
    term_fit("location", terms.location, identity.location, USB_LOCATION, same);
    if (terms.path) {
        fits.push_back({"path", path_fit(identity, *terms.path)});
    }
    return fits;
}

Fit fits(const UsbIdentity& identity, const UsbTerms& terms) {
    return all_of(usb_term_fits(identity, terms));
}

std::vector<std::string> usb_device_paths(const std::vector<std::string>& port_paths, std::uint32_t interface_number) {
    const std::string last = "#USBMI(" + std::to_string(interface_number) + ")";
    std::vector<std::string> paths;
    for (const std::string& path : port_paths) {
        if (path.size() > last.size() &&
            equal_ignoring_ascii_case(std::string_view(path).substr(path.size() - last.size()), last)) {
            paths.push_back(path.substr(0, path.size() - last.size()));
        }
    }
    return paths;
}

UsbTerms terms_of(const UsbIdentity& identity) {
    return {identity.vid,
            identity.pid,
            identity.serial,
            identity.interface_number,
            identity.product,
            identity.location,
            identity.paths.empty() ? std::nullopt : std::optional<std::string>(identity.paths.front())};
}

bool needs_more_than_instance_id(const UsbTerms& terms) {
    return terms.serial || terms.product || terms.location || terms.path;
}

namespace {

std::optional<std::uint16_t> usb_id(std::string_view value) {
    const std::string_view hex = value.starts_with("0x") || value.starts_with("0X") ? value.substr(2) : value;
    const auto number = hex_number(hex, 4);
    return number ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*number)) : std::nullopt;
}

// In the order the unknown-key error names them.
constexpr TermKey<UsbTerms> USB_KEYS[] = {
    {"vid", [](std::string_view value, UsbTerms& terms) { return stored(terms.vid, usb_id(value)); },
     "takes 1 to 4 hex digits, such as vid=2E8A", "HEX", "the USB vendor ID, 1 to 4 hex digits, 0x or not"},
    {"pid", [](std::string_view value, UsbTerms& terms) { return stored(terms.pid, usb_id(value)); },
     "takes 1 to 4 hex digits, such as pid=2E8A", "HEX", "the USB product ID, the same way"},
    {"serial", [](std::string_view value, UsbTerms& terms) { return text_term(terms.serial, value); }, "", "TEXT",
     "the serial number, whole, A to Z in either case"},
    {"product", [](std::string_view value, UsbTerms& terms) { return text_term(terms.product, value); }, "", "TEXT",
     "the product name the device reports begins with TEXT"},
    // At most three digits, as "255" has.
    {"interface",
     [](std::string_view value, UsbTerms& terms) {
         return stored(terms.interface_number, value.size() <= 3 ? read_whole_number(value, 255) : std::nullopt);
     },
     "takes a whole number from 0 to 255", "N", "the interface of a port, 0 to 255: MI_02 is 2"},
    {"location", [](std::string_view value, UsbTerms& terms) { return text_term(terms.location, value); }, "", "TEXT",
     "Device Manager's \"Location information\", exactly"},
    {"path", [](std::string_view value, UsbTerms& terms) { return text_term(terms.path, value); }, "", "TEXT",
     "the socket: a location path, or pyserial's LOCATION 1-5.4"},
};

}  // namespace

std::string usb_key_lines() {
    return key_lines<UsbTerms>(USB_KEYS);
}

UsbCommand read_usb_command(int argc, const char* const* argv) {
    return read_term_command<UsbTerms>(argc, argv, USB_KEYS);
}

std::int32_t select_usb_port(const Survey& survey, const UsbTerms& terms) {
    return select_surveyed(survey, [&](const SurveyedPort& device) { return fits(device.usb, terms); });
}

}  // namespace comlookup
