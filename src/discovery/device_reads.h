#pragma once

// The reads of one device that every walk shares; internal to discovery.
#include <array>
#include <cstddef>
#include <string>

#include "common/port_survey.h"
#include "discovery/win32_handles.h"

namespace comlookup {

constexpr std::size_t NAME_BUFFER_SIZE = 256;
using NameBuffer = std::array<char, NAME_BUFFER_SIZE>;

// Registry data need not end in a NUL byte, and a value may fill the whole
// buffer: the text is cut at 255 bytes rather than read past the end.
std::string text_of(const NameBuffer& buffer);

struct ReadResult {
    SkipReason skip = SkipReason::none;
    DWORD error = ERROR_SUCCESS;  // for the unreadable reasons
};

ReadResult read_friendly_name(HDEVINFO set, SP_DEVINFO_DATA& device, std::string& name);
ReadResult read_port_name(HDEVINFO set, SP_DEVINFO_DATA& device, std::string& name);

// What a walk of the ports class reads of each device beyond comlookup's own
// reads; null for comlookup, which reads nothing more.
using ExtraReads = void (*)(HDEVINFO set, SP_DEVINFO_DATA& device, SurveyedPort& port);

// The devices of the ports setup class that SetupDiGetClassDevsA gives for
// `flags`, read as comlookup reads them.
Survey walk_ports(DWORD flags, ExtraReads read_more);

}  // namespace comlookup
