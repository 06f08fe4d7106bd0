// The listing for people: a text writer over the listing's facts.
#include "listing/describe_lookup.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lookup/bt_terms.h"
#include "lookup/command_terms.h"
#include "lookup/select_port.h"
#include "lookup/usb_terms.h"

namespace comlookup {

std::string walk_failure_text(const WalkFailure& failure) {
    std::string what;
    switch (failure.stage) {
        case WalkFailure::Stage::no_device_set:
            what = "The device database could not be read: SetupDiGetClassDevsA failed";
            break;
        case WalkFailure::Stage::enumeration_stopped:
            what = "The walk stopped early: SetupDiEnumDeviceInfo failed at device " + std::to_string(failure.device);
            break;
        case WalkFailure::Stage::out_of_memory:
            what = "The walk is incomplete: memory ran out reading device " + std::to_string(failure.device);
            break;
        case WalkFailure::Stage::no_instance_id:
            what = "The walk is incomplete: the instance ID of device " + std::to_string(failure.device) +
                   " could not be read";
            break;
    }
    return what + " (" + error_text(failure.error) + ")";
}

namespace {

std::string failure_text(const WalkFailure& failure) {
    return walk_failure_text(failure) + ". comlookup answers -1 to any query then, rather than risk a wrong port.";
}

// Where the only names that begin with the query are, when no listed one does.
std::string only_names_text(const Listing& listing, const TextWriter& writer) {
    std::vector<std::string> places;
    if (listing.left_out_matches > 0) {
        places.emplace_back("on devices comlookup leaves out");
    }
    if (!listing.match_classes.empty()) {
        places.push_back("in setup class " + writer.shown_list(listing.match_classes) +
                         ", which comlookup does not read");
    }
    if (listing.absent_matches > 0) {
        places.emplace_back("on devices not present now: is the device plugged in?");
    }
    std::string text;
    for (const std::string& place : places) {
        text += (text.empty() ? "The only names that begin with the query are " : "; and ") + place;
    }
    return text.empty() ? text : text + (text.ends_with('?') ? "" : ".");
}

std::string port_name_of_status(const Listing& listing) {
    for (const DeviceFacts& facts : listing.present) {
        if (facts.terms_met == TermsMet::all) {
            return facts.device.port_name;
        }
    }
    return {};
}

std::string status_head(const Listing& listing) {
    return "exit status " + std::to_string(listing.status) + ": ";
}

// What a comlookup-usb or comlookup-bt command line gives, and why; what
// more there is to say goes into `above`.
std::string terms_meaning(const Listing& listing, const TextWriter& writer, std::string& above) {
    const TermsCommand& terms = *listing.terms;
    if (!terms.error.empty()) {
        // The program's own line, as write_usage_error words it.
        above += writer.paragraph(terms.program + ": " + terms.error + ". Usage: " + terms.program +
                                  " [--wait SECONDS] TERM...; --help for more");
        return terms.program + " refuses the command line";
    }
    if (listing.present_failed) {
        return "the walk of the device database is incomplete (see above)";
    }
    if (!terms.unknown.empty()) {
        above += writer.paragraph(writer.shown_list(terms.unknown) + " could not be read in full (marked ?): " +
                                  terms.program + " answers -1 rather than risk another device's port.");
        return "a device that could not be read in full might meet every TERM";
    }
    if (terms.meet_all == 1) {
        return "exactly one listed device meets every TERM, on " + writer.show(port_name_of_status(listing));
    }
    if (terms.meet_all > 1) {
        return std::to_string(terms.meet_all) + " listed devices meet every TERM (marked *); " + terms.program +
               " needs one";
    }
    const bool near = std::any_of(listing.present.begin(), listing.present.end(),
                                  [](const DeviceFacts& facts) { return facts.terms_met == TermsMet::all_but_one; });
    if (near) {
        above += writer.paragraph("Devices that meet all but one TERM are marked ~.");
    }
    return "no listed device meets every TERM";
}

// The last line, "exit status N: ...", short enough for any console, and
// what more there is to say on the lines just above it.
std::string status_lines(const Listing& listing, const TextWriter& writer) {
    std::string above;
    std::string meaning;
    if (!listing.ports_command.empty()) {
        const std::string command = writer.show(listing.ports_command);
        // A command too wide for its row stands alone, to be copied whole.
        above += writer.paragraph("To act on each of them, this writes their ports in the order of their sockets:") +
                 (writer.width("  " + command) <= WIDTH ? "  " : "") + command + '\n';
    }
    if (listing.terms) {
        meaning = terms_meaning(listing, writer, above);
        return '\n' + above + status_head(listing) + meaning + '\n';
    }
    if (const std::optional<PortInWords>& port = listing.port_in_words) {
        above += writer.paragraph(
            "The words reach into " + writer.quote(port->suffix) +
            ", the port number Windows adds to the name: they stop matching once Windows gives the device another "
            "port." +
            (port->shorter.empty()
                 ? ""
                 : " Without it, " + writer.show(port->shorter) + " gives " + std::to_string(port->status) +
                       (port->status == EXIT_AMBIGUOUS ? ": more than one device matches." : ".")));
    }
    switch (listing.state) {
        case QueryState::missing:
            meaning = listing.no_words ? "no query was given" : "no query: the first word is empty";
            break;
        case QueryState::too_long:
            meaning = "the query is " + std::to_string(listing.query_length) + " bytes long; comlookup reads at most " +
                      std::to_string(QUERY_CAPACITY - 1);
            break;
        case QueryState::ready:
            if (listing.present_failed) {
                meaning = "the walk of the device database is incomplete (see above)";
            } else if (listing.matches.size() == 1) {
                const std::string port_name = writer.show(listing.present[listing.matches[0]].device.port_name);
                meaning = "exactly one listed device matches the query";
                if (writer.width(status_head(listing) + meaning + ", on " + port_name) <= WIDTH) {
                    meaning += ", on " + port_name;
                } else {
                    above += writer.paragraph("The device that matches is on " + port_name + ".");
                }
                if (const std::string odd = misreading(listing.present[listing.matches[0]].device.port_name);
                    !odd.empty()) {
                    above += writer.paragraph("Its port name is odd: " + odd + ".");
                }
            } else if (listing.matches.size() > 1) {
                meaning =
                    std::to_string(listing.matches.size()) + " listed devices match (marked *); comlookup needs one";
            } else {
                meaning = "no listed device's friendly name begins with the query";
                if (listing.near_misses > 0) {
                    above += writer.paragraph("Near misses are marked ~.");
                }
                above += writer.paragraph(only_names_text(listing, writer));
            }
            break;
    }
    return '\n' + above + status_head(listing) + meaning + '\n';
}

// A command to paste for each device the query names, when it names
// several, under a heading that says what the commands do; then the devices
// nothing picks out.
std::string suggestions(const Listing& listing, const TextWriter& writer) {
    std::string by_name;
    std::string by_identity;
    std::string by_bluetooth;
    // Port names: of those nothing picks out, and of the devices that might also fit their commands.
    std::vector<std::string> none;
    std::vector<std::string> unsafe;
    std::vector<std::string> doubtful;
    std::vector<std::string> unsure;
    std::vector<std::string> alike;
    bool bluetooth_none = false;
    for (const Suggestion& suggestion : listing.suggestions) {
        const std::string port = writer.show(suggestion.port_name);
        if (suggestion.kind == SuggestionKind::none) {
            (suggestion.unpasteable          ? unsafe
             : !suggestion.unsure_of.empty() ? doubtful
             : suggestion.services_alike     ? alike
                                             : none)
                .push_back(suggestion.port_name);
            bluetooth_none = bluetooth_none || suggestion.bluetooth;
            for (const std::string& other : suggestion.unsure_of) {
                if (std::find(unsure.begin(), unsure.end(), other) == unsure.end()) {
                    unsure.push_back(other);
                }
            }
            continue;
        }
        const std::string command = writer.show(suggestion.command);
        std::string& lines = suggestion.kind == SuggestionKind::name        ? by_name
                             : suggestion.kind == SuggestionKind::bluetooth ? by_bluetooth
                                                                            : by_identity;
        const std::string prefix = "  " + padded(port, 8) + "  ";
        // A command too wide for its row stands alone, to be copied whole.
        lines += writer.width(prefix + command) <= WIDTH ? prefix + command + '\n'
                                                         : writer.wrapped({port}, 2) + command + '\n';
    }
    std::string text;
    if (!by_name.empty()) {
        text += "\nTo pick one of them, give comlookup a longer beginning of its name:\n" + by_name;
    }
    if (!by_identity.empty()) {
        text += '\n' +
                writer.paragraph(!by_name.empty() ? "comlookup-usb picks out the others by their USB identity:"
                                 : by_bluetooth.empty()
                                     ? "No name tells these devices apart; comlookup-usb picks each out by its USB "
                                       "identity:"
                                     : "No name tells these devices apart; comlookup-usb picks out these by their USB "
                                       "identity:") +
                by_identity;
    }
    if (!by_bluetooth.empty()) {
        text +=
            '\n' +
            writer.paragraph(by_name.empty() && by_identity.empty()
                                 ? "No name tells these devices apart; comlookup-bt picks each out by its Bluetooth "
                                   "device's name or address, and service:"
                                 : "comlookup-bt picks out the others by their Bluetooth device's name or address, "
                                   "and service:") +
            by_bluetooth;
    }
    if (!doubtful.empty()) {
        text += '\n' + writer.paragraph("Nothing picks out " + writer.shown_list(doubtful) +
                                        " for sure: " + writer.shown_list(unsure) +
                                        " could not be read in full, and the command that would pick it out might "
                                        "fit that device too.");
    }
    if (!unsafe.empty()) {
        text +=
            '\n' + writer.paragraph("Nothing picks out " + writer.shown_list(unsafe) +
                                    " safely: the command that would pick it out holds a quote or a control character, "
                                    "which cmd.exe does not pass on as it stands.");
    }
    if (!alike.empty()) {
        text += '\n' + writer.paragraph("Nothing but the port number tells " + writer.shown_list(alike) +
                                        " from the other ports of their Bluetooth device: its serial services have "
                                        "the same name, or none. A paired device keeps its port numbers; see "
                                        "\"Bluetooth serial ports\" in docs\\bluetooth.md.");
    }
    if (!none.empty()) {
        std::string why;
        if (!by_name.empty() || !by_identity.empty() || !by_bluetooth.empty() || !doubtful.empty() || !unsafe.empty() ||
            !alike.empty()) {
            why = "Nothing picks out " + writer.shown_list(none) + ".";
        } else if (listing.names_alike == NamesAlike::same) {
            why = "No query tells these devices apart: their friendly names are the same (see their instance IDs).";
        } else if (listing.names_alike == NamesAlike::differ_in_port_only) {
            why =
                "No query without the port number tells these devices apart: their friendly names differ only in "
                "it.";
        } else {
            why = "No query without its port number picks out " + writer.shown_list(none) + ".";
        }
        const std::string_view also = bluetooth_none ? " and \"Bluetooth serial ports\" in docs\\bluetooth.md" : "";
        text +=
            '\n' + writer.paragraph(why + " See \"Two identical adapters\" in docs\\usb.md" + std::string(also) + ".");
    }
    if (listing.percent_in_commands) {
        text += '\n' + writer.paragraph("In a batch file, write each % in these commands as %%.");
    }
    return text;
}

}  // namespace

std::string describe_lookup(const Surveys& surveys, int argc, const char* const* argv, const ListingStyle& style) {
    const TextWriter writer(style);
    const Listing listing = model_listing(surveys, argc, argv, style.code_page);

    std::string text;
    if (listing.state == QueryState::ready) {
        const std::size_t bytes = listing.query.size();
        text += writer.wrapped({"Query:", writer.quote(listing.query),
                                "(" + std::to_string(bytes) + (bytes == 1 ? " byte)" : " bytes)")},
                               0) +
                '\n';
    }
    if (listing.terms) {
        std::vector<std::string> words{"Command:", listing.terms->program};
        for (const std::string& word : listing.terms->words) {
            words.push_back(writer.show(command_line_argument(word)));
        }
        text += writer.wrapped(words, 0) + '\n';
    }
    for (const WalkFailure& failure : listing.failures) {
        text += writer.paragraph(failure_text(failure)) + '\n';
    }
    if (listing.present.empty() && !listing.present_failed) {
        text += writer.paragraph(
            "No device of the Ports class is present. Is the device plugged in, and is its driver installed? "
            "Device Manager shows it under \"Ports (COM & LPT)\" once it is.");
    } else {
        const std::size_t count = listing.present.size();
        const std::size_t left_out = count - listing.listed;
        text += std::to_string(count) + " present device" + (count == 1 ? "" : "s") +
                " of the Ports class, in the order comlookup reads them" + (left_out == 0 ? ":\n" : ";\n");
        if (left_out > 0) {
            text += "comlookup leaves " + std::to_string(left_out) + " of them out and weighs the other " +
                    std::to_string(listing.listed) + ":\n";
        }
        text += "  status  port      friendly name\n";
        for (const DeviceFacts& facts : listing.present) {
            text += writer.device_line(facts, listing.matches.empty());
        }
    }
    if (!listing.other_classes.empty()) {
        text += "\nCOM ports of other setup classes, which comlookup does not read:\n";
        for (const DeviceFacts& facts : listing.other_classes) {
            text += writer.other_line(facts);
        }
    }
    if (!listing.not_present.empty()) {
        text += "\nKnown to Windows but not present now, so comlookup does not read them:\n";
        for (const DeviceFacts& facts : listing.not_present) {
            text += writer.other_line(facts);
        }
    }
    if (listing.present.empty() && !listing.present_failed && listing.other_classes.empty() &&
        listing.not_present.empty()) {
        text += writer.paragraph(
            "No other setup class has a COM port, and Windows knows no Ports device that is not present now.");
    }
    if (!listing.suggestions.empty()) {
        text += suggestions(listing, writer);
    }
    return text + status_lines(listing, writer);
}

}  // namespace comlookup
