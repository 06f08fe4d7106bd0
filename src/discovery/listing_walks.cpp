// The walks only comlookup-list makes: comlookup.exe links none of this.
#include "discovery/device_reads.h"

// Must come first: makes devguid.h and devpkey.h define GUID_DEVCLASS_PORTS
// and the property keys, not just declare them.
#include <initguid.h>

#include <devguid.h>
#include <devpkey.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "common/port_survey.h"

namespace comlookup {
namespace {

// A setup class without a registered name is shown by its GUID.
std::string class_name(const GUID& setup_class) {
    std::array<char, 64> name{};
    if (SetupDiClassNameFromGuidA(&setup_class, name.data(), static_cast<DWORD>(name.size()), nullptr) &&
        name[0] != '\0') {
        return std::string(name.data());
    }
    std::snprintf(name.data(), name.size(), "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(setup_class.Data1), setup_class.Data2, setup_class.Data3,
                  setup_class.Data4[0], setup_class.Data4[1], setup_class.Data4[2], setup_class.Data4[3],
                  setup_class.Data4[4], setup_class.Data4[5], setup_class.Data4[6], setup_class.Data4[7]);
    return std::string(name.data());
}

// Device Manager's "Code 10" and the like; 0 is no problem. The property
// is the one way to it here: CM_Get_DevNode_Status is a stub under Wine.
// devpkey.h gives it as UINT32 and Microsoft's page as INT32: either is
// taken, as long as it holds four bytes and a code above 0.
std::optional<std::uint32_t> problem_code(HDEVINFO set, SP_DEVINFO_DATA& device) {
    DEVPROPTYPE type = 0;
    std::uint32_t code = 0;
    DWORD size = 0;
    if (!SetupDiGetDevicePropertyW(set, &device, &DEVPKEY_Device_ProblemCode, &type, reinterpret_cast<BYTE*>(&code),
                                   sizeof code, &size, 0) ||
        size != sizeof code || code == 0 || (type != DEVPROP_TYPE_UINT32 && type != DEVPROP_TYPE_INT32) ||
        (type == DEVPROP_TYPE_INT32 && static_cast<std::int32_t>(code) < 0)) {
        return std::nullopt;
    }
    return code;
}

// Device Manager shows a device's description where it has no friendly
// name, and its instance ID and USB or Bluetooth identity tell apart devices
// whose names are the same. The listing names Bluetooth ports itself.
void read_identity(HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port, const void*) {
    read_usb_port(set, device, port, nullptr);
    port.bt = read_bt_identity(set, device, port.instance_id, nullptr);
    if (port.friendly_name.empty()) {
        port.description = read_description(set, device);
    }
    port.problem = problem_code(set, device);
}

}  // namespace

Survey survey_ports_in_detail() {
    return walk_ports(DIGCF_PRESENT, read_identity);
}

void read_identity_of(SurveyedPort& port) {
    const DeviceSet set = adopt_device_set(SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr));
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!set || !SetupDiOpenDeviceInfoA(set.get(), port.instance_id.c_str(), nullptr, 0, &device)) {
        // Gone again before it could be read: what the USB reads say of a
        // device they cannot reach.
        port.usb.unreadable = USB_ALL;
        port.usb.error = GetLastError();
        return;
    }
    read_identity(set.get(), device, port, nullptr);
}

Survey survey_known_ports() {
    return walk_ports(0, read_identity);
}

Survey survey_other_classes() {
    Survey survey;
    const DeviceSet set =
        adopt_device_set(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT));
    if (!set) {
        survey.failure = WalkFailure{WalkFailure::Stage::no_device_set, GetLastError()};
        return survey;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
        SurveyedPort port;
        if (IsEqualGUID(device.ClassGuid, GUID_DEVCLASS_PORTS) ||
            read_port_name(set.get(), device, port.port_name).skip != SkipReason::none ||
            !port.port_name.starts_with("COM")) {
            continue;
        }
        read_friendly_name(set.get(), device, port.friendly_name);
        read_identity(set.get(), device, port, nullptr);
        port.class_name = class_name(device.ClassGuid);
        survey.devices.push_back(std::move(port));
    }
    return survey;
}

}  // namespace comlookup
