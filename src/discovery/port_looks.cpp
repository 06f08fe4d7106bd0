// The walk comlookup-wait --new and --gone and comlookup-list --watch take
// again and again; comlookup.exe links none of this.
#include <string>

#include "common/port_survey.h"
#include "discovery/device_reads.h"

namespace comlookup {
namespace {

// The instance ID tells the device from one that takes its port; the
// description names a device whose friendly name is not written yet.
void read_id(HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port, const void* context) {
    DWORD error = ERROR_SUCCESS;
    port.instance_id = read_instance_id(set, device, error);
    if (error != ERROR_SUCCESS || port.instance_id.empty()) {
        // The walk owns the error it hands in; the reads' context is const
        // only for the terms other walks pass.
        DWORD& first = *static_cast<DWORD*>(const_cast<void*>(context));
        first = first == ERROR_SUCCESS ? (error == ERROR_SUCCESS ? ERROR_INVALID_DATA : error) : first;
    }
    if (port.skip != SkipReason::none) {
        port.description = read_description(set, device);
    }
}

}  // namespace

std::string read_description(HDEVINFO set, SP_DEVINFO_DATA& device) {
    NameBuffer buffer{};
    DWORD required = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_DEVICEDESC, nullptr,
                                           reinterpret_cast<BYTE*>(buffer.data()), NAME_BUFFER_SIZE, &required)) {
        return {};
    }
    return text_of(buffer);
}

Survey survey_port_ids() {
    DWORD error = ERROR_SUCCESS;
    Survey survey = walk_ports(DIGCF_PRESENT, read_id, &error);
    if (error != ERROR_SUCCESS && !survey.failure) {
        std::uint32_t index = 0;
        while (index < survey.devices.size() && !survey.devices[index].instance_id.empty()) {
            ++index;
        }
        survey.failure = WalkFailure{WalkFailure::Stage::no_instance_id, error, index};
    }
    return survey;
}

}  // namespace comlookup
