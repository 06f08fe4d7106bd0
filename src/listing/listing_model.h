#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/port_survey.h"
#include "listing/text.h"
#include "lookup/query.h"

namespace comlookup {

// What comlookup-list reads: comlookup's own walk, and what lies beside it.
struct Surveys {
    Survey present = {};        // the ports setup class now, as comlookup reads it
    Survey other_classes = {};  // COM ports of the other setup classes
    Survey known = {};          // the ports setup class, present or not
    BtDevices bluetooth = {};   // the paired devices' nodes, which name the Bluetooth ports' devices
};

// How one device stands to the query.
enum class Standing { unrelated, named, named_but_left_out, loose_prefix, further_in };

// How a device stands to a comlookup-usb or comlookup-bt command line.
enum class TermsMet {
    not_weighed,  // no such command line, or a device the program does not weigh
    all,          // it meets every TERM
    all_but_one,  // of two or more TERMs, it meets every one but `missed`
    unknown,      // a part it could not be read of might meet the TERMs it does not meet for sure
    fewer,        // it misses two or more, or the only one given
};

// One device as the listing shows it.
struct DeviceFacts {
    SurveyedPort device;
    Standing standing = Standing::unrelated;
    std::optional<std::int32_t> status;  // what comlookup gives when this device alone matches; none when left out
    bool matches = false;                // its friendly name begins with the query
    std::vector<std::string> serial_shared_with;   // port names of the other present devices with its serial number
    std::vector<std::string> address_shared_with;  // the same Bluetooth device's other present ports: other services
    // Present devices of its IDs where one has a serial number and another an instance ID Windows made from its
    // socket: a serial number Windows gives only to the first of them plugged in. Their port names.
    std::vector<std::string> serial_maybe_shared_with;
    TermsMet terms_met = TermsMet::not_weighed;
    std::string missed;  // for all_but_one: the TERM as given
    std::string own;     // and its own value as that TERM, as the listing shows it; empty: it has none
};

// A comlookup-usb or comlookup-bt command line, "comlookup-list --usb TERM...".
struct TermsCommand {
    std::string program;                    // "comlookup-usb"
    std::vector<std::string> words;         // as given
    std::string error;                      // what the program says of a bad command line; empty for a good one
    std::size_t meet_all = 0;               // listed devices that meet every TERM
    std::vector<std::string> unknown = {};  // port names of those that might
};

// Words that reach into the " (COMn)" Windows adds to the name they match.
struct PortInWords {
    std::string suffix;       // " (COM5)", of the name they match
    std::string shorter;      // the words short of it, as a command line holds them; empty: none to paste
    std::int32_t status = 0;  // what comlookup gives for those
};

// What picks out a device the query names.
enum class SuggestionKind {
    none,       // nothing does
    name,       // a longer beginning of its name: "comlookup ..."
    usb,        // its USB identity: "comlookup-usb ..."
    bluetooth,  // its Bluetooth device's name or address, and service: "comlookup-bt ..."
};

// A command to paste that picks out one of the devices the query names.
struct Suggestion {
    std::string port_name;
    SuggestionKind kind = SuggestionKind::none;
    std::string command = {};  // as a command line holds it, the same to cmd.exe and the C runtime; empty for none
    // Devices whose identity could not be read in full and might meet the
    // command this one would otherwise get: their port names.
    std::vector<std::string> unsure_of = {};
    // A command would pick it out, but holds a quote or a character the
    // listing shows escaped, which cmd.exe would not pass on as it stands.
    bool unpasteable = false;
    bool bluetooth = false;  // the device is on a Bluetooth serial port
    // Nothing picks it out: it is a serial service of a Bluetooth device
    // that has another port whose service name is the same.
    bool services_alike = false;
};

// How the friendly names of the devices the query names compare.
enum class NamesAlike {
    differ,
    same,                // byte for byte
    differ_in_port_only  // only in a " (COMn)" at their ends
};

// Everything comlookup-list says, decided once: its writers only word it.
struct Listing {
    QueryState state = QueryState::missing;
    std::string query;                  // the joined words, when ready
    std::size_t query_length = 0;       // the joined words' length, also when too long
    bool no_words = true;               // no word at all, rather than an empty first one
    std::int32_t status = 0;            // what comlookup returns for the same words
    std::vector<WalkFailure> failures;  // of the present, other-class and known walks, in that order
    bool present_failed = false;        // comlookup's own walk fell short
    std::vector<DeviceFacts> present;
    std::size_t listed = 0;  // the present devices comlookup considers
    std::vector<DeviceFacts> other_classes;
    std::vector<DeviceFacts> not_present;
    // What the devices' lines add up to, for the last line.
    std::vector<std::size_t> matches;  // places in `present`
    int near_misses = 0;
    int left_out_matches = 0;
    std::vector<std::string> match_classes;  // the other setup classes whose devices the query names
    int absent_matches = 0;
    // When the query names several devices: one for each, in order.
    std::vector<Suggestion> suggestions;
    NamesAlike names_alike = NamesAlike::differ;
    bool percent_in_commands = false;   // cmd reads %NAME% as a variable, in a batch file %% as %
    bool complete = true;               // every walk read everything it should have
    std::optional<TermsCommand> terms;  // "--usb" or "--bt" as the first word: then `status` is that program's
    std::optional<PortInWords> port_in_words;
    // Where the words or TERMs name several devices: "comlookup-list --ports ...", which writes the port of
    // each, to act on them all; empty where they do not, or a word would not paste as itself.
    std::string ports_command;
};

Listing model_listing(const Surveys& surveys, int argc, const char* const* argv, const CodePage& code_page);

// How a listed device that the query does not name comes close to it. Both
// kinds ignore ASCII case and runs of blanks, the commonest reasons a script
// misses its device, and look only at whole characters of the code page.
enum class NearMiss {
    none,
    loose_prefix,  // its friendly name begins with the query, loosely
    further_in,    // its friendly name holds the query, loosely, but not at its start
};

NearMiss near_miss(std::string_view friendly_name, std::string_view query, const CodePage& code_page);

// The shortest run of whole words from the start of listed[index]'s friendly
// name that no other listed device's friendly name begins with, short of a
// " (COMn)" at its end; empty when there is none.
std::string distinguishing_query(const PortList& listed, std::size_t index);

// `name` short of a " (COMn)" at its end, the part Windows adds to name the
// port: a query that reaches into it breaks when the port number changes.
std::string_view without_port_suffix(std::string_view name);

// The devices of `known` that `present` does not hold, by instance ID.
std::vector<SurveyedPort> not_present(const Survey& known, const Survey& present);

// Whether the walks read everything they should have: no walk failed and no
// present device's names or identity were unreadable.
bool surveys_complete(const Surveys& surveys);

// Why comlookup leaves the device out, such as "no friendly name"; empty
// when it does not.
std::string left_out_reason(const SurveyedPort& port);

// The terms as comlookup-usb takes them, in its order, each as a command
// line holds it: vid=2E8A pid=000A serial=... interface=0 product="Pico"
// location=Port_#0003.Hub_#0001 path="PCIROOT(0)#...". For `pasting`, each as pasted_argument
// writes it, and none at all when a value cannot be pasted.
std::optional<std::vector<std::string>> identity_terms(const UsbTerms& terms, const CodePage& code_page,
                                                       bool pasting = false);

// Whether the walk read the friendly name, so that the device can be weighed
// by it; whether it read the port name.
bool friendly_name_read(SkipReason skip);
bool port_name_read(SkipReason skip);

// A vendor or product ID as Windows writes it: four upper-case hex digits.
std::string hex4(std::uint16_t value);

// Windows' words for a device's problem code, shortened: "it could not
// start" for 10; empty for a code without words here.
std::string problem_words(std::uint32_t code);

// A platform error code as the listing words it: "error 8", "error 0xE000020B".
std::string error_text(std::uint32_t error);

}  // namespace comlookup
