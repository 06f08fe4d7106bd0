#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/fit.h"
#include "common/port_survey.h"
#include "common/usb_identity.h"
#include "lookup/command_terms.h"

namespace comlookup {

// What a device instance ID says by itself, with no registry read:
// "USB\VID_2E8A&PID_000A\E660..." is a USB device with its serial number,
// "USB\VID_2E8A&PID_000A&MI_00\6&..." one interface of it, and
// "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000" channel A of an FTDI chip.
struct InstanceIdReading {
    UsbIdentity identity;     // vendor, product, interface and serial, where the ID holds them
    bool usb_device = false;  // the ID names the USB device itself, which holds its product name and socket
};
InstanceIdReading read_instance_id(std::string_view instance_id);

// The vendor and product IDs in a hardware ID such as
// "USB\VID_2E8A&PID_000A&REV_0100", into `identity` where it has none.
void read_hardware_id(std::string_view hardware_id, UsbIdentity& identity);

// The location paths of the USB device that a port with `port_paths` is
// interface `interface_number` of: its own without their last part,
// "#USBMI(n)". None when no path ends so.
std::vector<std::string> usb_device_paths(const std::vector<std::string>& port_paths, std::uint32_t interface_number);

// Whether a device with `identity` meets every term. A part the device does
// not have meets no term; a part that could not be read leaves it unknown,
// unless another part rules the device out.
Fit fits(const UsbIdentity& identity, const UsbTerms& terms);

// How the device stands to each term given, by its key, in the order
// comlookup-usb's keys are listed; `fits` is all of them together.
std::vector<TermFit> usb_term_fits(const UsbIdentity& identity, const UsbTerms& terms);

// The terms that ask for exactly this identity, part for part.
UsbTerms terms_of(const UsbIdentity& identity);

// Whether any term needs more than the instance ID: the parent device, or
// the product name or socket read from the registry.
bool needs_more_than_instance_id(const UsbTerms& terms);

// What "comlookup-usb [--wait SECONDS] TERM..." asks for.
using UsbCommand = TermCommand<UsbTerms>;

UsbCommand read_usb_command(int argc, const char* const* argv);

// A line for each key comlookup-usb takes, for its help.
std::string usb_key_lines();

// The port number of the one device comlookup lists in `survey` that meets
// `terms`, EXIT_NOT_FOUND when none does, EXIT_AMBIGUOUS when more than one
// does; EXIT_NOT_FOUND for a walk that fell short, as for comlookup, and
// when a device that could not be read in full might also meet them.
std::int32_t select_usb_port(const Survey& survey, const UsbTerms& terms);

}  // namespace comlookup
