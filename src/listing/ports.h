#pragma once

// comlookup-list --ports: the port of every device that comlookup's words,
// or a comlookup-usb or comlookup-bt command line's TERMs, pick out, in the
// order of their sockets, for a script to loop over.
#include <string>
#include <string_view>
#include <vector>

#include "common/bt_identity.h"
#include "common/port_survey.h"
#include "common/usb_identity.h"
#include "listing/text.h"

namespace comlookup {

inline constexpr std::string_view PORTS_USAGE = "comlookup-list --ports [WORD... | --usb TERM... | --bt TERM...]";

// "comlookup-list --ports ...", read with comlookup's query and each
// companion's own reader.
struct PortsCommand {
    enum class Kind { words, usb, bt };
    Kind kind = Kind::words;
    std::string query;  // the words joined as comlookup joins them; empty: no words, every port
    UsbTerms usb = {};
    BtTerms bt = {};
    std::string error;  // what is wrong with the command line; empty for a good one
};

// `argv[1]` is "--ports".
PortsCommand read_ports_command(int argc, const char* const* argv);

// The ports a survey gives for the command, in socket order; or, where any
// of them is in doubt, none and why.
struct PortsAnswer {
    std::vector<std::string> ports;
    std::string error;
};

PortsAnswer answer_ports(const PortsCommand& command, const Survey& survey);

// Whether device `a` comes before `b` by socket: those with a USB location
// path first, by it part by part, ASCII case ignored and runs of digits
// compared as numbers (the port's own path where it is one interface of its
// USB device, else the device's); then the rest; ties by port number.
bool socket_before(const SurveyedPort& a, const SurveyedPort& b);

// "comlookup-list --ports [OPTION] WORD..." as a command to paste: `option`
// "--usb" or "--bt" before a companion's TERMs, or empty before comlookup's
// query; empty where a word would not paste as itself.
std::string ports_command(std::string_view option, const std::vector<std::string>& words, const CodePage& code_page);

}  // namespace comlookup
