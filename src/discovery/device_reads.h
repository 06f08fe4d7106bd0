#pragma once

// The reads of one device that every walk shares; internal to discovery.
#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "common/port_survey.h"
#include "discovery/win32_handles.h"
#include "lookup/usb_terms.h"

namespace comlookup {

constexpr std::size_t NAME_BUFFER_SIZE = 256;
using NameBuffer = std::array<char, NAME_BUFFER_SIZE>;

// Registry data need not end in a NUL byte, and a value may fill the whole
// buffer: the text is cut at 255 bytes rather than read past the end.
std::string text_of(const NameBuffer& buffer);

// A text that a device may lack.
struct TextRead {
    std::optional<std::string> text;  // none: absent, too long to be what Windows wrote, or of another type
    DWORD error = ERROR_SUCCESS;      // a failure other than those
};

struct ReadResult {
    SkipReason skip = SkipReason::none;
    DWORD error = ERROR_SUCCESS;  // for the unreadable reasons
};

ReadResult read_friendly_name(HDEVINFO set, SP_DEVINFO_DATA& device, std::string& name);
ReadResult read_port_name(HDEVINFO set, SP_DEVINFO_DATA& device, std::string& name);

// Errors that mean the machine, not the device, failed: a walk that meets
// one cannot vouch for its answer.
bool out_of_memory(DWORD error);

// The device's description, what Device Manager shows where it has no
// friendly name; empty when it cannot be read.
std::string read_description(HDEVINFO set, SP_DEVINFO_DATA& device);

// The device's instance ID, or empty with the error when it cannot be read.
std::string read_instance_id(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD& error);

// What a walk of the ports class reads of each device beyond comlookup's own
// reads, for what `context` asks about (the terms of a companion; null: all
// of it); null for comlookup, which reads nothing more.
using ExtraReads = void (*)(HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port, const void* context);

// What a walk reads of each device before comlookup's own reads; false when
// that rules the device out, so that its names need not be read at all.
using FirstReads = bool (*)(HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port, const void* context);

// The devices of the ports setup class that SetupDiGetClassDevsA gives for
// `flags`, read as comlookup reads them; with `read_first`, only those it
// leaves in the running, read by it first.
Survey walk_ports(DWORD flags, ExtraReads read_more, const void* context = nullptr, FirstReads read_first = nullptr);

// As much of the USB identity of the device with `instance_id` as `terms`
// need to be weighed (null: all of it, for the listing), and with `socket`
// its location paths too, which place it. Reads nothing more once the
// instance ID rules the device out, and opens the parent device only for a
// device still in the running, into `parents` where given (a set of a
// walk's own), else into a set of its own.
UsbIdentity read_usb_identity(HDEVINFO set, SP_DEVINFO_DATA& device, std::string_view instance_id,
                              const UsbTerms* terms, HDEVINFO parents = nullptr, bool socket = false);

// The device's instance ID and, from it, its USB identity as above.
void read_usb_port(HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port, const UsbTerms* terms,
                   HDEVINFO parents = nullptr, bool socket = false);

// As much of the Bluetooth identity of the device with `instance_id` as
// `terms` need to be weighed (null: all of it but the device's name, which
// the listing takes from survey_bt_devices). Reads each record only for a
// device the ones read before leave in the running.
BtIdentity read_bt_identity(HDEVINFO set, SP_DEVINFO_DATA& device, std::string_view instance_id, const BtTerms* terms);

}  // namespace comlookup
