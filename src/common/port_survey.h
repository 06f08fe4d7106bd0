#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/port_entry.h"

namespace comlookup {

// Why the port source leaves a present device of the ports setup class out,
// in the order the walk checks; a device is read no further than its first
// failed check.
enum class SkipReason {
    none,                    // listed
    no_friendly_name,        // friendly name and port name not read
    friendly_name_too_long,  // over 255 bytes; port name not read
    no_device_key,           // port name not read
    no_port_name,            // no readable "PortName" value
    port_name_too_long,      // over 255 bytes
    not_com,                 // the port name does not begin with "COM"
};

// One present device as the walk saw it. A name the walk did not read is
// empty.
struct SurveyedPort {
    std::string port_name;
    std::string friendly_name;
    SkipReason skip = SkipReason::none;

    bool operator==(const SurveyedPort&) const = default;
};

// Every present device of the ports setup class, in the device database's
// order, listed or not.
using Survey = std::vector<SurveyedPort>;

// The walk behind enumerate_com_ports(), keeping the devices it leaves out.
// std::nullopt when the device database cannot be read at all; never prints.
std::optional<Survey> survey_ports();

// The port source's answer for a survey: its listed devices, in order.
inline PortList listed_ports(const Survey& survey) {
    PortList ports;
    for (const SurveyedPort& port : survey) {
        if (port.skip == SkipReason::none) {
            ports.push_back({port.port_name, port.friendly_name});
        }
    }
    return ports;
}

}  // namespace comlookup
