// The Bluetooth identity of a port, read beside comlookup's walk:
// comlookup.exe links none of this.
#include <array>
#include <cstdio>
#include <string>

#include "common/ascii.h"
#include "discovery/device_reads.h"
#include "lookup/bt_terms.h"

namespace comlookup {
namespace {

TextRead read_unique_id(HDEVINFO set, SP_DEVINFO_DATA& device) {
    const RegistryKey key(SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
    if (!key) {
        const DWORD error = GetLastError();
        return {std::nullopt,
                error == ERROR_KEY_DOES_NOT_EXIST || error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error};
    }
    NameBuffer buffer{};
    DWORD size = NAME_BUFFER_SIZE;
    // Only the value's bytes count, as for "PortName".
    const LSTATUS status = RegQueryValueExA(key.get(), "Bluetooth_UniqueID", nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status != ERROR_SUCCESS) {
        const auto error = static_cast<DWORD>(status);
        return {std::nullopt, error == ERROR_FILE_NOT_FOUND || error == ERROR_MORE_DATA ? ERROR_SUCCESS : error};
    }
    return {text_of(buffer)};
}

// The Bluetooth stack's records of each paired device. Whether an ordinary
// user may read them is not the same on every Windows: a refusal leaves the
// service unknown, never absent.
constexpr char BTHPORT_DEVICES[] = "SYSTEM\\CurrentControlSet\\Services\\BTHPORT\\Parameters\\Devices\\";

TextRead absent_or(LSTATUS status) {
    const auto error = static_cast<DWORD>(status);
    return {std::nullopt, error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error};
}

// The service's name as the A functions give text: the device's UTF-8,
// bounded, in the ANSI code page with its default character for what that
// lacks. The buffers hold the most 256 bytes of UTF-8 can become.
std::optional<std::string> ansi_service_name(std::string_view value) {
    const std::string_view utf8 = bt_service_utf8(value);
    std::array<wchar_t, 256> wide{};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    std::array<char, 1024> ansi{};
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, ansi.data(), static_cast<int>(ansi.size()),
                                          nullptr, nullptr);
    return bt_device_name(std::string_view(ansi.data(), static_cast<std::size_t>(bytes > 0 ? bytes : 0)));
}

// "PriLangServiceName" of the port's service, under each of the device's
// "ServicesFor<local radio>" keys; where two radios' records name it
// differently, it is unknown.
TextRead read_service_name(std::string_view instance_id, std::uint64_t address) {
    const std::optional<BtServiceKey> where = bt_service_key(instance_id, address);
    if (!where) {
        return {};
    }
    LSTATUS status = ERROR_SUCCESS;
    const RegistryKey device = open_registry_key(HKEY_LOCAL_MACHINE, (BTHPORT_DEVICES + where->device).c_str(), status);
    if (!device) {
        return absent_or(status);
    }
    TextRead found;
    bool seen = false;
    std::array<char, 256> radio{};  // the longest key name and its NUL
    LSTATUS listed = ERROR_SUCCESS;
    for (DWORD index = 0; listed == ERROR_SUCCESS; ++index) {
        DWORD length = static_cast<DWORD>(radio.size());
        listed = RegEnumKeyExA(device.get(), index, radio.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (listed != ERROR_SUCCESS || !starts_ignoring_ascii_case(radio.data(), "ServicesFor")) {
            continue;
        }
        const std::string path = std::string(radio.data()) + '\\' + where->service;
        LSTATUS opened_status = ERROR_SUCCESS;
        const RegistryKey service = open_registry_key(device.get(), path.c_str(), opened_status);
        if (!service) {
            if (const TextRead failed = absent_or(opened_status); failed.error != ERROR_SUCCESS) {
                return failed;
            }
            continue;
        }
        std::array<char, 256> value{};
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(value.size());
        const LSTATUS read = RegQueryValueExA(service.get(), "PriLangServiceName", nullptr, &type,
                                              reinterpret_cast<BYTE*>(value.data()), &size);
        // Refused, or longer than Windows writes it: what it holds is not known.
        if (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND) {
            return absent_or(read);
        }
        // Only binary data is the UTF-8 Windows writes; the A function would have converted any text.
        const std::optional<std::string> name =
            read == ERROR_SUCCESS && type == REG_BINARY ? ansi_service_name({value.data(), size}) : std::nullopt;
        if (seen && name != found.text) {
            return {std::nullopt, ERROR_INVALID_DATA};
        }
        seen = true;
        found.text = name;
    }
    // A list that stopped short may have hidden the radio that holds it.
    return listed == ERROR_NO_MORE_ITEMS ? found : absent_or(listed);
}

// Each paired device's node, BTHENUM\DEV_98D331FB1A2C\..., keeps the device's
// name as its "FriendlyName", which SetupAPI gives as its friendly name.
// Read straight from the nodes' keys, only for the ports still in the
// running: a SetupAPI walk of the Bluetooth class costs as much as
// comlookup's own walk of the ports.
constexpr char BTHENUM_KEY[] = "SYSTEM\\CurrentControlSet\\Enum\\BTHENUM";

// The node `device_key` ("DEV_98D331FB1A2C") under `bthenum`: its address and
// the name of its instances, one for each local radio the device was paired
// through; where they name it differently, unknown.
BtDevice read_bt_node(HKEY bthenum, const std::string& device_key) {
    BtDevice node{bt_device_address("BTHENUM\\" + device_key + '\\')};
    LSTATUS status = ERROR_SUCCESS;
    const RegistryKey key = open_registry_key(bthenum, device_key.c_str(), status);
    if (!key) {
        node.error = absent_or(status).error;
        return node;
    }
    bool seen = false;
    std::array<char, 256> instance{};  // the longest key name and its NUL
    for (DWORD index = 0; status == ERROR_SUCCESS; ++index) {
        DWORD length = static_cast<DWORD>(instance.size());
        status = RegEnumKeyExA(key.get(), index, instance.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            break;
        }
        LSTATUS opened_status = ERROR_SUCCESS;
        const RegistryKey instance_key = open_registry_key(key.get(), instance.data(), opened_status);
        NameBuffer buffer{};
        DWORD size = NAME_BUFFER_SIZE;
        // Only the value's bytes count, as for "PortName"; a name too long
        // for SetupAPI's buffer is none, as it was there.
        const LSTATUS read = instance_key ? RegQueryValueExA(instance_key.get(), "FriendlyName", nullptr, nullptr,
                                                             reinterpret_cast<BYTE*>(buffer.data()), &size)
                                          : opened_status;
        if (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND && read != ERROR_MORE_DATA) {
            node.error = static_cast<DWORD>(read);
            return node;
        }
        const std::optional<std::string> name = read == ERROR_SUCCESS ? bt_device_name(text_of(buffer)) : std::nullopt;
        if (seen && name != node.name) {
            node.error = ERROR_INVALID_DATA;
            return node;
        }
        seen = true;
        node.name = name;
    }
    node.error = status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : static_cast<DWORD>(status);
    return node;
}

// The node of the paired device at `address`.
BtDevice read_bt_device(std::uint64_t address) {
    char device_key[24];
    std::snprintf(device_key, sizeof device_key, "DEV_%012llX", static_cast<unsigned long long>(address));
    LSTATUS status = ERROR_SUCCESS;
    const RegistryKey bthenum = open_registry_key(HKEY_LOCAL_MACHINE, BTHENUM_KEY, status);
    return bthenum ? read_bt_node(bthenum.get(), device_key) : BtDevice{address, std::nullopt, absent_or(status).error};
}

}  // namespace

BtIdentity read_bt_identity(HDEVINFO set, SP_DEVINFO_DATA& device, std::string_view instance_id, const BtTerms* terms) {
    const auto named = [&](BtIdentity identity) {
        if (terms != nullptr && terms->name && identity.address) {
            const BtDevice node = read_bt_device(*identity.address);
            identity.name = node.name;
            identity.name_error = node.error;
        }
        return identity;
    };
    const auto ruled_out = [&](const BtIdentity& identity, const BtTerms& weighed) {
        return (identity.address || identity.incoming) && meets(identity, weighed) == Fit::no &&
               !service_weighs(identity, weighed);
    };
    // Where the instance ID holds an address, the other records can only
    // confirm it or take it away: a device it already rules out stays out,
    // and the cheapest read rules out first.
    BtIdentity own = read_bt_records(instance_id, std::nullopt);
    if (terms != nullptr && ruled_out(own, BtTerms{terms->address})) {
        return own;
    }
    own = named(own);
    if (terms != nullptr && ruled_out(own, *terms)) {
        return own;
    }
    const TextRead unique_id = read_unique_id(set, device);
    if (unique_id.error != ERROR_SUCCESS) {
        BtIdentity unread = own;
        unread.address_error = unique_id.error;
        return unread;
    }
    BtIdentity identity = read_bt_records(instance_id, unique_id.text);
    if (identity.address == own.address) {
        identity.name = own.name;
        identity.name_error = own.name_error;
    } else {
        identity = named(identity);
    }
    if (identity.address && (terms == nullptr || service_weighs(identity, *terms))) {
        const TextRead service = read_service_name(instance_id, *identity.address);
        identity.service = service.text;
        identity.service_error = service.error;
    }
    return identity;
}

BtDevices survey_bt_devices() {
    BtDevices walk;
    LSTATUS status = ERROR_SUCCESS;
    const RegistryKey bthenum = open_registry_key(HKEY_LOCAL_MACHINE, BTHENUM_KEY, status);
    if (!bthenum) {
        // No Bluetooth stack has ever run here: no device to name.
        if (const DWORD error = absent_or(status).error; error != ERROR_SUCCESS) {
            walk.failure = WalkFailure{WalkFailure::Stage::no_device_set, error};
        }
        return walk;
    }
    std::array<char, 256> device_key{};
    DWORD index = 0;
    for (; status == ERROR_SUCCESS; ++index) {
        DWORD length = static_cast<DWORD>(device_key.size());
        status = RegEnumKeyExA(bthenum.get(), index, device_key.data(), &length, nullptr, nullptr, nullptr, nullptr);
        // The radio's and the services' nodes are there too; only a device's holds its name.
        if (status != ERROR_SUCCESS || !bt_device_address("BTHENUM\\" + std::string(device_key.data()) + '\\')) {
            continue;
        }
        BtDevice node = read_bt_node(bthenum.get(), device_key.data());
        if (out_of_memory(node.error)) {
            walk.failure = WalkFailure{WalkFailure::Stage::out_of_memory, node.error, index};
            return walk;
        }
        walk.devices.push_back(std::move(node));
    }
    if (status != ERROR_NO_MORE_ITEMS) {
        walk.failure = WalkFailure{WalkFailure::Stage::enumeration_stopped, static_cast<DWORD>(status), index - 1};
    }
    return walk;
}

Survey survey_bt_ports(const BtTerms& terms) {
    return walk_ports(
        DIGCF_PRESENT,
        [](HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port, const void* context) {
            // Only a device comlookup lists can be the answer.
            if (port.skip != SkipReason::none) {
                return;
            }
            DWORD error = ERROR_SUCCESS;
            port.instance_id = read_instance_id(set, device, error);
            if (error != ERROR_SUCCESS) {
                port.bt.address_error = error;
                return;
            }
            port.bt = read_bt_identity(set, device, port.instance_id, static_cast<const BtTerms*>(context));
        },
        &terms);
}

}  // namespace comlookup
