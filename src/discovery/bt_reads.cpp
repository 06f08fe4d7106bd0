// The Bluetooth identity of a port, read beside comlookup's walk:
// comlookup.exe links none of this.
#include <array>

#include "common/ascii.h"
#include "discovery/device_reads.h"
#include "lookup/bt_terms.h"

namespace comlookup {
namespace {

// Where each paired device has its node, named by the device.
constexpr GUID BLUETOOTH_CLASS{0xe0cbf06c, 0xcd8b, 0x4647, {0xbb, 0x8a, 0x26, 0x3b, 0x43, 0xf0, 0xf9, 0x74}};

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

TextRead read_device_name(HDEVINFO set, SP_DEVINFO_DATA& device) {
    NameBuffer buffer{};
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                           reinterpret_cast<BYTE*>(buffer.data()), NAME_BUFFER_SIZE, nullptr)) {
        const DWORD error = GetLastError();
        return {std::nullopt,
                error == ERROR_INVALID_DATA || error == ERROR_INSUFFICIENT_BUFFER ? ERROR_SUCCESS : error};
    }
    return {text_of(buffer)};
}

// Windows' records of each paired device, readable by any user on the
// versions tried; the code still takes a refusal for an unknown.
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
    HKEY opened = nullptr;
    const LSTATUS status =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, (BTHPORT_DEVICES + where->device).c_str(), 0, KEY_READ, &opened);
    const RegistryKey device(status == ERROR_SUCCESS ? opened : nullptr);
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
        const LSTATUS opened_status = RegOpenKeyExA(device.get(), path.c_str(), 0, KEY_READ, &opened);
        const RegistryKey service(opened_status == ERROR_SUCCESS ? opened : nullptr);
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

struct PortWalk {
    const BtTerms* terms;
    const BtDevices* devices;
};

}  // namespace

BtIdentity read_bt_identity(HDEVINFO set, SP_DEVINFO_DATA& device, std::string_view instance_id, const BtTerms* terms,
                            const BtDevices* devices) {
    const auto named = [&](BtIdentity identity) {
        if (devices != nullptr) {
            name_from(*devices, identity);
        }
        return identity;
    };
    // Where the instance ID holds an address, the hardware key can only
    // confirm it or take it away: a device it already rules out stays out.
    const BtIdentity own = named(read_bt_records(instance_id, std::nullopt));
    if (terms != nullptr && (own.address || own.incoming) && meets(own, *terms) == Fit::no &&
        !service_weighs(own, *terms)) {
        return own;
    }
    const TextRead unique_id = read_unique_id(set, device);
    if (unique_id.error != ERROR_SUCCESS) {
        BtIdentity unread = own;
        unread.address_error = unique_id.error;
        return unread;
    }
    BtIdentity identity = named(read_bt_records(instance_id, unique_id.text));
    if (identity.address && (terms == nullptr || service_weighs(identity, *terms))) {
        const TextRead service = read_service_name(instance_id, *identity.address);
        identity.service = service.text;
        identity.service_error = service.error;
    }
    return identity;
}

BtDevices survey_bt_devices() {
    BtDevices walk;
    const DeviceSet set = adopt_device_set(SetupDiGetClassDevsA(&BLUETOOTH_CLASS, nullptr, nullptr, DIGCF_PRESENT));
    if (!set) {
        walk.failure = WalkFailure{WalkFailure::Stage::no_device_set, GetLastError()};
        return walk;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    DWORD index = 0;
    for (; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        DWORD error = ERROR_SUCCESS;
        const std::string instance_id = read_instance_id(set.get(), device, error);
        BtDevice node{bt_device_address(instance_id)};
        // The radio and the profiles' nodes share the class; only a device's holds its name.
        if (error == ERROR_SUCCESS && !node.address) {
            continue;
        }
        if (error == ERROR_SUCCESS) {
            const TextRead name = read_device_name(set.get(), device);
            node.name = name.text ? bt_device_name(*name.text) : std::nullopt;
            error = name.error;
        }
        if (out_of_memory(error)) {
            walk.failure = WalkFailure{WalkFailure::Stage::out_of_memory, error, index};
            return walk;
        }
        node.error = error;
        walk.devices.push_back(std::move(node));
    }
    if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_ITEMS) {
        walk.failure = WalkFailure{WalkFailure::Stage::enumeration_stopped, error, index};
    }
    return walk;
}

Survey survey_bt_ports(const BtTerms& terms) {
    // The names are another class's: walked once, and only for a name= term.
    const BtDevices devices = terms.name ? survey_bt_devices() : BtDevices{};
    const PortWalk walk{&terms, terms.name ? &devices : nullptr};
    Survey survey = walk_ports(
        DIGCF_PRESENT,
        [](HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port, const void* context) {
            // Only a device comlookup lists can be the answer.
            if (port.skip != SkipReason::none) {
                return;
            }
            const auto& wanted = *static_cast<const PortWalk*>(context);
            DWORD error = ERROR_SUCCESS;
            port.instance_id = read_instance_id(set, device, error);
            if (error != ERROR_SUCCESS) {
                port.bt.address_error = error;
                return;
            }
            port.bt = read_bt_identity(set, device, port.instance_id, wanted.terms, wanted.devices);
        },
        &walk);
    if (devices.failure && devices.failure->stage == WalkFailure::Stage::out_of_memory && !survey.failure) {
        survey.failure = devices.failure;
    }
    for (DWORD index = 0; index < survey.devices.size() && !survey.failure; ++index) {
        if (const DWORD error = survey.devices[index].bt.service_error; out_of_memory(error)) {
            survey.failure = WalkFailure{WalkFailure::Stage::out_of_memory, error, index};
        }
    }
    return survey;
}

}  // namespace comlookup
