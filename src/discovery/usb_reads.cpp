// The USB identity of a port, read beside comlookup's walk: comlookup.exe
// links none of this.
#include "discovery/device_reads.h"

// Must come first: makes devpkey.h define the property keys, not just declare them.
#include <initguid.h>

#include <devpkey.h>

#include <array>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "lookup/select_port.h"

namespace comlookup {
namespace {

// Device IDs are at most MAX_DEVICE_ID_LEN (200) characters; USB string
// descriptors at most 126. Anything longer is not what Windows wrote.
constexpr DWORD TEXT_CHARACTERS = 256;

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
    // An empty text names nothing, and no TERM can ask for it.
    return {buffer[0] == L'\0' ? std::nullopt : narrow(buffer.data())};
}

TextRead registry_text(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    NameBuffer buffer{};
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                                           NAME_BUFFER_SIZE, nullptr)) {
        return failed_text_read(GetLastError());
    }
    return {buffer[0] == '\0' ? std::nullopt : std::optional<std::string>(text_of(buffer))};
}

struct PathsRead {
    std::vector<std::string> paths;
    DWORD error = ERROR_SUCCESS;  // a failure other than absence or size
};

// DEVPKEY_Device_LocationPaths, a list of strings; SPDRP_LOCATION_PATHS,
// its registry twin, is missing under Wine.
PathsRead location_paths(HDEVINFO set, SP_DEVINFO_DATA& device) {
    std::array<wchar_t, 1024> buffer{};
    DEVPROPTYPE type = 0;
    // Two characters short: a list that fits always ends in two NULs.
    if (!SetupDiGetDevicePropertyW(set, &device, &DEVPKEY_Device_LocationPaths, &type,
                                   reinterpret_cast<BYTE*>(buffer.data()), (buffer.size() - 2) * sizeof(wchar_t),
                                   nullptr, 0)) {
        return {{}, failed_text_read(GetLastError()).error};
    }
    PathsRead read;
    for (const wchar_t* path = buffer.data(); type == DEVPROP_TYPE_STRING_LIST && *path != L'\0';
         path += std::wcslen(path) + 1) {
        if (const std::optional<std::string> text = narrow(path)) {
            read.paths.push_back(*text);
        }
    }
    return read;
}

// The socket of the device `instance_id`, straight from its key under Enum,
// where Windows keeps it as "LocationInformation" and every user may read
// it: opening the device through SetupAPI costs ten times as much. None
// when the key cannot be opened, so that SetupAPI is asked after all.
std::optional<TextRead> enum_key_location(const std::wstring& instance_id) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (L"SYSTEM\\CurrentControlSet\\Enum\\" + instance_id).c_str(), 0,
                      KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const RegistryKey key(opened);
    NameBuffer buffer{};
    DWORD type = 0;
    DWORD size = NAME_BUFFER_SIZE;
    const LSTATUS status = RegQueryValueExA(key.get(), "LocationInformation", nullptr, &type,
                                            reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && type != REG_SZ)) {
        return TextRead{};
    }
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return TextRead{buffer[0] == '\0' ? std::nullopt : std::optional<std::string>(text_of(buffer))};
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

// Whether the device is still in the running on what is known of it: only
// then is its parent worth opening.
bool in_the_running(const UsbIdentity& known, UsbTerms terms, bool location_known, bool paths_known) {
    terms.product.reset();
    if (!location_known) {
        terms.location.reset();
    }
    if (!paths_known) {
        terms.path.reset();
    }
    return fits(known, terms) != Fit::no;
}

}  // namespace

UsbIdentity read_usb_identity(HDEVINFO set, SP_DEVINFO_DATA& device, std::string_view instance_id,
                              const UsbTerms* terms, HDEVINFO parents, bool socket) {
    const InstanceIdReading own = read_instance_id(instance_id);
    UsbIdentity identity = own.identity;
    if (terms != nullptr && ruled_out(identity, *terms)) {
        return identity;
    }
    const bool wants_ids = terms == nullptr || terms->vid || terms->pid;
    const bool wants_more = terms == nullptr || needs_more_than_instance_id(*terms);
    const bool wants_product = terms == nullptr || terms->product;
    const bool wants_location = terms == nullptr || terms->location;
    const bool wants_paths = terms == nullptr || terms->path || socket;
    // A failed read leaves its parts unknown; the others may still rule the
    // device out, so reading goes on.
    const auto unreadable = [&](DWORD error, unsigned parts) {
        identity.error = identity.error != 0 ? identity.error : error;
        identity.unreadable |= parts;
    };

    // An interface's own paths are its USB device's with one more part; an
    // FTDI channel has none, and its USB device's are the parent's.
    bool paths_known = !wants_paths;
    if (wants_paths) {
        PathsRead own_paths = location_paths(set, device);
        if (own_paths.error != ERROR_SUCCESS) {
            unreadable(own_paths.error, USB_PATH);
        } else if (own.usb_device) {
            identity.paths = std::move(own_paths.paths);
        } else if (identity.interface_number) {
            identity.paths = usb_device_paths(own_paths.paths, *identity.interface_number);
            identity.port_paths = std::move(own_paths.paths);
        }
        paths_known = own.usb_device || !identity.paths.empty() || own_paths.error != ERROR_SUCCESS;
    }

    // The USB device that holds the serial number, product name and socket:
    // the port itself, or the parent of an interface or FTDI channel, whose
    // instance ID alone gives the serial number.
    HDEVINFO usb_set = own.usb_device ? set : nullptr;
    SP_DEVINFO_DATA usb_device = device;
    DeviceSet parent_set;
    bool location_known = !wants_location;
    if (!own.usb_device && (wants_more || (wants_ids && !identity.vid) || !paths_known)) {
        std::wstring parent_id;
        const TextRead parent = string_property(set, device, DEVPKEY_Device_Parent, &parent_id);
        const InstanceIdReading reading = parent.text ? read_instance_id(*parent.text) : InstanceIdReading{};
        if (parent.error != ERROR_SUCCESS) {
            unreadable(parent.error, USB_SERIAL | USB_PRODUCT | USB_LOCATION | (paths_known ? 0 : USB_PATH) |
                                         (identity.vid ? 0 : USB_IDS));
            location_known = paths_known = true;
        } else if (reading.usb_device) {
            identity.vid = identity.vid ? identity.vid : reading.identity.vid;
            identity.pid = identity.pid ? identity.pid : reading.identity.pid;
            identity.serial = reading.identity.serial;
            identity.socket_id = reading.identity.socket_id;
            if (wants_location && (terms == nullptr || in_the_running(identity, *terms, false, paths_known))) {
                if (const std::optional<TextRead> location = enum_key_location(parent_id)) {
                    identity.location = location->text;
                    location_known = true;
                }
            }
        }
        // Opening the parent costs more than all the rest: only for a device
        // still in the running, and only for what only the parent holds.
        if (reading.usb_device && (wants_product || !location_known || !paths_known) &&
            (terms == nullptr || in_the_running(identity, *terms, location_known, paths_known))) {
            if (parents == nullptr) {
                parent_set = adopt_device_set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
                parents = parent_set.get();
            }
            usb_device = {};
            usb_device.cbSize = sizeof usb_device;
            // A parent that is not there now still names the device.
            if (parents != nullptr && SetupDiOpenDeviceInfoW(parents, parent_id.c_str(), nullptr, 0, &usb_device)) {
                usb_set = parents;
            } else if (const TextRead failed = failed_text_read(GetLastError()); failed.error != ERROR_SUCCESS) {
                unreadable(failed.error,
                           USB_PRODUCT | (location_known ? 0 : USB_LOCATION) | (paths_known ? 0 : USB_PATH));
            }
        }
    }
    if (wants_ids && !identity.vid) {
        if (const DWORD error = read_hardware_ids(set, device, identity); error != ERROR_SUCCESS) {
            unreadable(error, USB_IDS);
        }
    }
    if (usb_set != nullptr && wants_product) {
        const TextRead product = string_property(usb_set, usb_device, DEVPKEY_Device_BusReportedDeviceDesc);
        if (product.error != ERROR_SUCCESS) {
            unreadable(product.error, USB_PRODUCT);
        }
        identity.product = product.text;
    }
    if (usb_set != nullptr && !location_known) {
        const TextRead location = registry_text(usb_set, usb_device, SPDRP_LOCATION_INFORMATION);
        if (location.error != ERROR_SUCCESS) {
            unreadable(location.error, USB_LOCATION);
        }
        identity.location = location.text;
    }
    if (usb_set != nullptr && usb_set != set && !paths_known) {
        PathsRead usb_paths = location_paths(usb_set, usb_device);
        if (usb_paths.error != ERROR_SUCCESS) {
            unreadable(usb_paths.error, USB_PATH);
        }
        identity.paths = std::move(usb_paths.paths);
    }
    return identity;
}

void read_usb_port(HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port, const UsbTerms* terms, HDEVINFO parents,
                   bool socket) {
    DWORD error = ERROR_SUCCESS;
    port.instance_id = read_instance_id(set, device, error);
    if (error != ERROR_SUCCESS) {
        port.usb = {};
        port.usb.unreadable = USB_ALL;
        port.usb.error = error;
        return;
    }
    port.usb = read_usb_identity(set, device, port.instance_id, terms, parents, socket);
}

namespace {

struct UsbWalk {
    const UsbTerms* terms;
    // One set for every parent opened: a set each costs as much again.
    DeviceSet parents;
    bool sockets = false;
    std::string_view query = {};
};

}  // namespace

Survey survey_usb_ports(const UsbTerms& terms, bool sockets) {
    const UsbWalk walk{&terms, adopt_device_set(SetupDiCreateDeviceInfoList(nullptr, nullptr)), sockets};
    // The identity first: a device it rules out cannot be the answer, listed
    // or not, and reading its names would cost as much again.
    return walk_ports(DIGCF_PRESENT, nullptr, &walk,
                      [](HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port, const void* context) {
                          const auto& usb = *static_cast<const UsbWalk*>(context);
                          read_usb_port(set, device, port, usb.terms, usb.parents.get(), usb.sockets);
                          return fits(port.usb, *usb.terms) != Fit::no;
                      });
}

Survey survey_named_ports(std::string_view query) {
    const UsbTerms none;
    const UsbWalk walk{&none, adopt_device_set(SetupDiCreateDeviceInfoList(nullptr, nullptr)), true, query};
    // comlookup's reads first: only the devices its words name need a socket.
    return walk_ports(
        DIGCF_PRESENT,
        [](HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port, const void* context) {
            const auto& named = *static_cast<const UsbWalk*>(context);
            if (port.skip == SkipReason::none && begins_with_query(port.friendly_name, named.query)) {
                read_usb_port(set, device, port, named.terms, named.parents.get(), true);
            }
        },
        &walk);
}

}  // namespace comlookup
