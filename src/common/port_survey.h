#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/bt_identity.h"
#include "common/port_entry.h"
#include "common/usb_identity.h"

namespace comlookup {

// Why the port source leaves a present device of the ports setup class out,
// in the order the walk checks; a device is read no further than its first
// failed check. "Unreadable" is a read that failed for a reason other than
// absence or size: its error code is kept.
enum class SkipReason {
    none,                      // listed
    no_friendly_name,          // friendly name and port name not read
    friendly_name_too_long,    // over 255 bytes; port name not read
    friendly_name_unreadable,  // port name not read
    no_device_key,             // port name not read
    device_key_unreadable,     // port name not read
    no_port_name,              // no "PortName" value
    port_name_too_long,        // over 255 bytes
    port_name_unreadable,
    not_com,  // the port name does not begin with "COM"
};

// One device as a walk saw it. A name the walk did not read is empty.
struct SurveyedPort {
    std::string port_name;
    std::string friendly_name;
    SkipReason skip = SkipReason::none;
    std::uint32_t error = 0;  // the platform's error code, for the unreadable reasons
    // Read by comlookup-list's walks only.
    std::string instance_id = {};
    std::string description = {};  // when there is no friendly name: what Device Manager shows instead
    std::string class_name = {};   // outside the ports setup class only
    UsbIdentity usb = {};          // as much as the walk was asked to read
    BtIdentity bt = {};            // likewise; named by the walk only for a name= term
    // The problem Windows reports with the device (Device Manager's "Code 10" and the like); none: none.
    std::optional<std::uint32_t> problem = std::nullopt;

    bool operator==(const SurveyedPort&) const = default;
};

// How a walk fell short of a whole answer.
struct WalkFailure {
    enum class Stage {
        no_device_set,        // SetupDiGetClassDevsA failed: nothing was read
        enumeration_stopped,  // SetupDiEnumDeviceInfo failed before the last device
        out_of_memory,        // a read of a device's names ran out of memory
        no_instance_id,       // a device's instance ID, which tells it from another, could not be read
    };
    Stage stage = Stage::no_device_set;
    std::uint32_t error = 0;   // the platform's error code
    std::uint32_t device = 0;  // the member index it happened at

    bool operator==(const WalkFailure&) const = default;
};

// Every present device of the ports setup class, in the device database's
// order, listed or not.
struct Survey {
    std::vector<SurveyedPort> devices;
    std::optional<WalkFailure> failure = std::nullopt;
};

// The walk behind enumerate_com_ports(): the present devices of the ports
// setup class, keeping the devices it leaves out. Never prints.
Survey survey_ports();

// For comlookup-list: the same walk, also reading each device's instance ID
// and, where it has no friendly name, its description.
Survey survey_ports_in_detail();

// For comlookup-wait --new and --gone and comlookup-list --watch: the same
// walk, also reading each device's instance ID, which keeps a device the
// same device from one look to the next, and, where it has no friendly name,
// its description; nothing more, since it is taken again and again.
Survey survey_port_ids();

// survey_port_ids() when something may have changed since the last walk it
// made, none when nothing can have. A walk of every device costs far more
// than the look it answers (at 256 ports under Wine, most of a second in
// SetupDiGetClassDevsA alone), so cheap signs gate it: a change
// notification on the device database's Enum key, which a device's arrival,
// departure or new name writes to, and one on HARDWARE\DEVICEMAP\SERIALCOMM
// (DEVICEMAP until a first port makes it), where serial drivers name their
// ports; nothing is read from either. Each is registered again only once it
// fired or lost its key, so that a watch holds one of each however long it
// runs (register_again). The walk stays the only truth: the first look
// walks, a walk is forced every few seconds whatever the signs say, and
// walks keep to a tenth of the processor over time, even where a sign never
// rests.
std::optional<Survey> survey_port_ids_when_changed();

// For comlookup-list --watch: the USB and Bluetooth identity of the present
// device `port` names by its instance ID, read once, when it arrives.
void read_identity_of(SurveyedPort& port);

// For comlookup-list: every device of the ports setup class that Windows
// knows, present or not, read as survey_ports_in_detail() reads them.
Survey survey_known_ports();

// For comlookup-list: the present devices of every other setup class whose
// device key holds a "PortName" beginning with "COM".
Survey survey_other_classes();

// The nodes of the Bluetooth stack's paired devices, one for each remote
// device that Windows knows: where a Bluetooth port's device name is kept.
struct BtDevices {
    std::vector<BtDevice> devices;
    std::optional<WalkFailure> failure = std::nullopt;
};

// For comlookup-list: the nodes that name a remote device, BTHENUM\DEV_...,
// with their names, read from their keys under Enum.
BtDevices survey_bt_devices();

// For comlookup-bt: comlookup's walk, reading beside each device it lists as
// much of its Bluetooth identity as `terms` need: its device's name only
// for a name= term, its service's only where that could decide.
Survey survey_bt_ports(const BtTerms& terms);

// For comlookup-usb: comlookup's walk, reading first as much of each
// device's USB identity as `terms` need, then comlookup's reads only of
// those the identity leaves in the running: the others are not in it.
// With `sockets`, also the location paths of each device still in the
// running, for comlookup-list --ports.
Survey survey_usb_ports(const UsbTerms& terms, bool sockets = false);

// For comlookup-list --ports: comlookup's walk, reading beside each device
// it lists whose friendly name begins with `query` (every one, for an empty
// query) its location paths, which place it.
Survey survey_named_ports(std::string_view query);

// The port source's answer for a survey: its listed devices, in order; none
// at all when the walk failed, because a device it could not see might have
// been a second match.
inline PortList listed_ports(const Survey& survey) {
    PortList ports;
    if (survey.failure) {
        return ports;
    }
    for (const SurveyedPort& port : survey.devices) {
        if (port.skip == SkipReason::none) {
            ports.push_back({port.port_name, port.friendly_name});
        }
    }
    return ports;
}

}  // namespace comlookup
