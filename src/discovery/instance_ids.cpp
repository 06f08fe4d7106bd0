// The instance ID read that the companions' walks share, in a file of its
// own so that each links only the reads it makes.
#include <array>
#include <string>

#include "discovery/device_reads.h"

namespace comlookup {

std::string read_instance_id(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD& error) {
    std::array<char, 200> buffer{};  // MAX_DEVICE_ID_LEN
    error = ERROR_SUCCESS;
    if (!SetupDiGetDeviceInstanceIdA(set, &device, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr)) {
        error = GetLastError();
        return {};
    }
    return std::string(buffer.data());
}

}  // namespace comlookup
