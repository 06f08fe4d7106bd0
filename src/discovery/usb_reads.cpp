// The USB identity of a port, read beside comlookup's walk: comlookup.exe
// links none of this.
#include "discovery/device_reads.h"

// Must come first: makes devpkey.h define the property keys, not just declare them.
#include <initguid.h>

#include <devpkey.h>

#include <array>
#include <string>

namespace comlookup {
namespace {

// Device IDs are at most MAX_DEVICE_ID_LEN (200) characters; USB string
// descriptors at most 126. Anything longer is not what Windows wrote.
constexpr DWORD TEXT_CHARACTERS = 256;

struct TextRead {
    std::optional<std::string> text;  // none: absent, too long or of another type
    DWORD error = ERROR_SUCCESS;      // a failure other than those
};

// An absent or oversized text is a device without that part; only other
// failures make the identity unreadable.
TextRead failed_text_read(DWORD error) {
    const bool absent = error == ERROR_NOT_FOUND || error == ERROR_INVALID_DATA || error == ERROR_FILE_NOT_FOUND ||
                        error == ERROR_INSUFFICIENT_BUFFER || error == ERROR_NO_SUCH_DEVINST;
    return {std::nullopt, absent ? ERROR_SUCCESS : error};
}

// The ANSI code page's bytes for a property read as UTF-16, as the A
// functions would give them; a text over 255 bytes there counts as too long.
std::optional<std::string> narrow(const wchar_t* text) {
    std::array<char, NAME_BUFFER_SIZE> buffer{};
    const int length =
        WideCharToMultiByte(CP_ACP, 0, text, -1, buffer.data(), static_cast<int>(buffer.size()), nullptr, nullptr);
    if (length <= 0) {
        return std::nullopt;
    }
    return std::string(buffer.data());
}

TextRead string_property(HDEVINFO set, SP_DEVINFO_DATA& device, const DEVPROPKEY& key, std::wstring* wide = nullptr) {
    std::array<wchar_t, TEXT_CHARACTERS> buffer{};
    DEVPROPTYPE type = 0;
    // One character short of the buffer, so the text always ends in a NUL.
    if (!SetupDiGetDevicePropertyW(set, &device, &key, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                   (TEXT_CHARACTERS - 1) * sizeof(wchar_t), nullptr, 0)) {
        return failed_text_read(GetLastError());
    }
    if (type != DEVPROP_TYPE_STRING) {
        return {};
    }
    if (wide != nullptr) {
        *wide = buffer.data();
    }
    return {narrow(buffer.data())};
}

TextRead registry_text(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    NameBuffer buffer{};
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                                           NAME_BUFFER_SIZE, nullptr)) {
        return failed_text_read(GetLastError());
    }
    return {text_of(buffer)};
}

// The vendor and product IDs of the first hardware ID that has them.
DWORD read_hardware_ids(HDEVINFO set, SP_DEVINFO_DATA& device, UsbIdentity& identity) {
    std::array<char, 1024> buffer{};
    // Two bytes short: a list that was cut still ends in two NULs.
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr,
                                           reinterpret_cast<BYTE*>(buffer.data()),
                                           static_cast<DWORD>(buffer.size() - 2), nullptr)) {
        return failed_text_read(GetLastError()).error;
    }
    for (const char* id = buffer.data(); *id != '\0' && !identity.vid; id += std::string_view(id).size() + 1) {
        read_hardware_id(id, identity);
    }
    return ERROR_SUCCESS;
}

// Whether what the instance ID already tells rules the device out.
bool ruled_out(const UsbIdentity& known, const UsbTerms& terms) {
    const auto differs = [](const auto& term, const auto& part) { return term && part && *term != *part; };
    return differs(terms.vid, known.vid) || differs(terms.pid, known.pid) ||
           differs(terms.interface_number, known.interface_number);
}

// Whether the serial number, once known, leaves the device in the running.
bool meets_serial(const UsbIdentity& known, const UsbTerms& terms) {
    UsbTerms serial_only;
    serial_only.serial = terms.serial;
    return meets(known, serial_only);
}

}  // namespace

UsbIdentity read_usb_identity(HDEVINFO set, SP_DEVINFO_DATA& device, std::string_view instance_id,
                              const UsbTerms* terms) {
    const InstanceIdReading own = read_instance_id(instance_id);
    UsbIdentity identity = own.identity;
    if (terms != nullptr && ruled_out(identity, *terms)) {
        return identity;
    }
    const bool wants_ids = terms == nullptr || terms->vid || terms->pid;
    const bool wants_more = terms == nullptr || needs_more_than_instance_id(*terms);
    const auto unreadable = [&](DWORD error) {
        identity.error = error;
        return identity;
    };

    const bool wants_device = terms == nullptr || terms->product || terms->location;

    // The USB device that holds the serial number, product name and socket:
    // the port itself, or the parent of an interface or FTDI channel, whose
    // instance ID alone gives the serial number.
    HDEVINFO usb_set = own.usb_device ? set : nullptr;
    SP_DEVINFO_DATA usb_device = device;
    DeviceSet parent_set;
    if (!own.usb_device && (wants_more || (wants_ids && !identity.vid))) {
        std::wstring parent_id;
        const TextRead parent = string_property(set, device, DEVPKEY_Device_Parent, &parent_id);
        if (parent.error != ERROR_SUCCESS) {
            return unreadable(parent.error);
        }
        const InstanceIdReading reading = parent.text ? read_instance_id(*parent.text) : InstanceIdReading{};
        if (reading.usb_device) {
            identity.vid = identity.vid ? identity.vid : reading.identity.vid;
            identity.pid = identity.pid ? identity.pid : reading.identity.pid;
            identity.serial = reading.identity.serial;
        }
        // Opening the parent costs more than all the rest: only for a device
        // still in the running, and only for what only the parent holds.
        if (reading.usb_device && wants_device &&
            (terms == nullptr || (!ruled_out(identity, *terms) && meets_serial(identity, *terms)))) {
            parent_set = adopt_device_set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
            usb_device = {};
            usb_device.cbSize = sizeof usb_device;
            // A parent that is not there now still names the device.
            if (parent_set && SetupDiOpenDeviceInfoW(parent_set.get(), parent_id.c_str(), nullptr, 0, &usb_device)) {
                usb_set = parent_set.get();
            } else if (const TextRead failed = failed_text_read(GetLastError()); failed.error != ERROR_SUCCESS) {
                return unreadable(failed.error);
            }
        }
    }
    if (wants_ids && !identity.vid) {
        if (const DWORD error = read_hardware_ids(set, device, identity); error != ERROR_SUCCESS) {
            return unreadable(error);
        }
    }
    if (usb_set != nullptr && (terms == nullptr || terms->product)) {
        const TextRead product = string_property(usb_set, usb_device, DEVPKEY_Device_BusReportedDeviceDesc);
        if (product.error != ERROR_SUCCESS) {
            return unreadable(product.error);
        }
        identity.product = product.text;
    }
    if (usb_set != nullptr && (terms == nullptr || terms->location)) {
        const TextRead location = registry_text(usb_set, usb_device, SPDRP_LOCATION_INFORMATION);
        if (location.error != ERROR_SUCCESS) {
            return unreadable(location.error);
        }
        identity.location = location.text;
    }
    return identity;
}

void read_usb_port(HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port, const UsbTerms* terms) {
    DWORD error = ERROR_SUCCESS;
    port.instance_id = read_instance_id(set, device, error);
    if (error != ERROR_SUCCESS) {
        port.usb = {};
        port.usb.error = error;
        return;
    }
    port.usb = read_usb_identity(set, device, port.instance_id, terms);
}

Survey survey_usb_ports(const UsbTerms& terms) {
    return walk_ports(
        DIGCF_PRESENT,
        [](HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port, const void* wanted) {
            // Only a device comlookup lists can be the answer.
            if (port.skip == SkipReason::none) {
                read_usb_port(set, device, port, static_cast<const UsbTerms*>(wanted));
            }
        },
        &terms);
}

}  // namespace comlookup
