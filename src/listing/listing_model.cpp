#include "listing/listing_model.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/ascii.h"
#include "listing/device_description.h"
#include "lookup/bt_terms.h"
#include "lookup/select_port.h"
#include "lookup/usb_terms.h"

namespace comlookup {
namespace {

constexpr bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// Lower case, each run of blanks one blank, no blanks at either end, as a
// sequence of characters, so that a match can only start at one.
std::vector<std::string> loose_characters(std::string_view text, const CodePage& code_page) {
    std::vector<std::string> loose;
    bool blank_pending = false;
    for (std::size_t at = 0; at < text.size();) {
        const std::string_view bytes = character_at(text, at, code_page).bytes;
        at += bytes.size();
        if (bytes.size() == 1 && is_blank(bytes[0])) {
            blank_pending = !loose.empty();
            continue;
        }
        if (blank_pending) {
            loose.emplace_back(" ");
            blank_pending = false;
        }
        // Only a character of one byte can be an ASCII letter: a trail byte
        // of a double-byte character may look like one.
        loose.emplace_back(bytes.size() == 1 ? std::string(1, ascii_folded(bytes[0])) : std::string(bytes));
    }
    return loose;
}

bool is_help(std::string_view argument) {
    return argument == "-h" || argument == "--help" || argument == "/?";
}

bool unreadable(const SurveyedPort& port) {
    return port.skip == SkipReason::friendly_name_unreadable || port.skip == SkipReason::device_key_unreadable ||
           port.skip == SkipReason::port_name_unreadable || port.usb.error != 0 || port.bt.address_error != 0 ||
           port.bt.name_error != 0 || port.bt.service_error != 0;
}

Standing standing_of(const SurveyedPort& port, const char* query, const CodePage& code_page) {
    if (query == nullptr || !friendly_name_read(port.skip)) {
        return Standing::unrelated;
    }
    const bool listed = port.skip == SkipReason::none;
    if (begins_with_query(port.friendly_name, query)) {
        return listed ? Standing::named : Standing::named_but_left_out;
    }
    switch (listed ? near_miss(port.friendly_name, query, code_page) : NearMiss::none) {
        case NearMiss::none:
            break;
        case NearMiss::loose_prefix:
            return Standing::loose_prefix;
        case NearMiss::further_in:
            return Standing::further_in;
    }
    return Standing::unrelated;
}

DeviceFacts facts_of(const SurveyedPort& port, const char* query) {
    DeviceFacts facts;
    facts.device = port;
    facts.matches = query != nullptr && friendly_name_read(port.skip) && !port.friendly_name.empty() &&
                    begins_with_query(port.friendly_name, query);
    return facts;
}

}  // namespace

std::string hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
    return text;
}

std::string error_text(std::uint32_t error) {
    // Windows error codes are small numbers; SetupAPI's own read best in hex.
    char text[32];
    std::snprintf(text, sizeof text, error < 0x10000 ? "error %lu" : "error 0x%08lX",
                  static_cast<unsigned long>(error));
    return text;
}

bool port_name_read(SkipReason skip) {
    return skip == SkipReason::none || skip == SkipReason::not_com;
}

bool friendly_name_read(SkipReason skip) {
    return skip != SkipReason::no_friendly_name && skip != SkipReason::friendly_name_too_long &&
           skip != SkipReason::friendly_name_unreadable;
}

NearMiss near_miss(std::string_view friendly_name, std::string_view query, const CodePage& code_page) {
    if (begins_with_query(friendly_name, query)) {
        return NearMiss::none;
    }
    const std::vector<std::string> wanted = loose_characters(query, code_page);
    if (wanted.empty()) {
        return NearMiss::none;
    }
    const std::vector<std::string> name = loose_characters(friendly_name, code_page);
    const auto at = std::search(name.begin(), name.end(), wanted.begin(), wanted.end());
    if (at == name.end()) {
        return NearMiss::none;
    }
    return at == name.begin() ? NearMiss::loose_prefix : NearMiss::further_in;
}

std::string_view without_port_suffix(std::string_view name) {
    const std::size_t open = name.rfind(" (COM");
    if (open == std::string_view::npos || !name.ends_with(')') || name.size() - open < 7) {
        return name;
    }
    const std::string_view digits = name.substr(open + 5, name.size() - open - 6);
    return digits.find_first_not_of("0123456789") == std::string_view::npos ? name.substr(0, open) : name;
}

std::string distinguishing_query(const PortList& listed, std::size_t index) {
    const std::string_view name = without_port_suffix(listed[index].friendly_name);
    for (std::size_t end = 0; end < name.size(); ++end) {
        // Whole words only: the run ends where a word does.
        if (is_blank(name[end]) || (end + 1 < name.size() && !is_blank(name[end + 1]))) {
            continue;
        }
        const std::string_view query = name.substr(0, end + 1);
        bool unique = true;
        for (std::size_t other = 0; other < listed.size() && unique; ++other) {
            unique = other == index || !begins_with_query(listed[other].friendly_name, query);
        }
        if (unique) {
            return std::string(query);
        }
    }
    return {};
}

std::vector<SurveyedPort> not_present(const Survey& known, const Survey& present) {
    std::vector<SurveyedPort> absent;
    for (const SurveyedPort& device : known.devices) {
        bool found = false;
        for (const SurveyedPort& now : present.devices) {
            found = found || now.instance_id == device.instance_id;
        }
        if (!found) {
            absent.push_back(device);
        }
    }
    return absent;
}

bool surveys_complete(const Surveys& surveys) {
    if (surveys.present.failure || surveys.other_classes.failure || surveys.known.failure) {
        return false;
    }
    const std::vector<BtDevice>& nodes = surveys.bluetooth.devices;
    return !surveys.bluetooth.failure &&
           std::none_of(nodes.begin(), nodes.end(), [](const BtDevice& node) { return node.error != 0; }) &&
           std::none_of(surveys.present.devices.begin(), surveys.present.devices.end(), unreadable);
}

std::string left_out_reason(const SurveyedPort& port) {
    const std::string error = error_text(port.error);
    switch (port.skip) {
        case SkipReason::none:
            break;
        case SkipReason::no_friendly_name:
            return "no friendly name";
        case SkipReason::friendly_name_too_long:
            return "friendly name longer than 255 bytes";
        case SkipReason::friendly_name_unreadable:
            return "friendly name could not be read (" + error + ")";
        case SkipReason::no_device_key:
            return "no device key to read \"PortName\" from";
        case SkipReason::device_key_unreadable:
            return "device key could not be opened (" + error + ")";
        case SkipReason::no_port_name:
            return "no \"PortName\" value";
        case SkipReason::port_name_too_long:
            return "\"PortName\" longer than 255 bytes";
        case SkipReason::port_name_unreadable:
            return "\"PortName\" could not be read (" + error + ")";
        case SkipReason::not_com:
            return "port name does not begin with \"COM\"";
    }
    return {};
}

std::optional<std::vector<std::string>> identity_terms(const UsbTerms& identity, const CodePage& code_page,
                                                       bool pasting) {
    std::vector<std::string> terms;
    bool pasteable = true;
    // Quoted like any argument, and product always, so that a name with
    // blanks stays one argument when pasted.
    const auto term = [&](std::string_view key, std::string_view value, bool quote) {
        const std::optional<std::string> argument =
            pasting ? pasted_argument(value, code_page, quote) : command_line_argument(value, quote);
        pasteable = pasteable && argument;
        terms.push_back(std::string(key) + '=' + argument.value_or(""));
    };
    if (identity.vid) {
        term("vid", hex4(*identity.vid), false);
    }
    if (identity.pid) {
        term("pid", hex4(*identity.pid), false);
    }
    // An empty text is no part: comlookup-usb refuses an empty value.
    if (identity.serial && !identity.serial->empty()) {
        term("serial", *identity.serial, false);
    }
    if (identity.interface_number) {
        term("interface", std::to_string(*identity.interface_number), false);
    }
    if (identity.product && !identity.product->empty()) {
        term("product", *identity.product, true);
    }
    if (identity.location && !identity.location->empty()) {
        term("location", *identity.location, false);
    }
    // Always quoted: cmd ends a parenthesised block at its parentheses.
    if (identity.path && !identity.path->empty()) {
        term("path", *identity.path, true);
    }
    if (!pasteable) {
        return std::nullopt;
    }
    return terms;
}

Listing model_listing(const Surveys& surveys, int argc, const char* const* argv, const CodePage& code_page) {
    Listing listing;
    Survey present = surveys.present;
    for (SurveyedPort& port : present.devices) {
        name_from(surveys.bluetooth, port.bt);
    }
    QueryBuffer query;
    listing.state = read_query(argc, argv, query);
    listing.help = argc >= 2 && is_help(argv[1]);
    listing.no_words = argc < 2;
    for (int i = 1; i < argc; ++i) {
        listing.query_length += (i > 1 ? 1 : 0) + std::string_view(argv[i]).size();
    }
    const PortList ports = listed_ports(present);
    // The same query and the same selection as comlookup's own run.
    listing.status = listing.state == QueryState::ready ? select_port(ports, query.data()) : EXIT_NOT_FOUND;
    const char* const wanted = listing.state == QueryState::ready ? query.data() : nullptr;
    if (wanted != nullptr) {
        listing.query = wanted;
    }
    for (const Survey* survey : {&surveys.present, &surveys.other_classes, &surveys.known}) {
        if (survey->failure) {
            listing.failures.push_back(*survey->failure);
        }
    }
    listing.present_failed = present.failure.has_value();
    listing.complete = surveys_complete(surveys);

    std::vector<const SurveyedPort*> listed;
    for (const SurveyedPort& port : present.devices) {
        DeviceFacts& facts = listing.present.emplace_back(facts_of(port, wanted));
        facts.standing = standing_of(port, wanted, code_page);
        if (port.skip == SkipReason::none) {
            facts.status = port_number(port.port_name);
            listed.push_back(&port);
        }
        if (facts.standing == Standing::named) {
            listing.matches.push_back(listing.present.size() - 1);
        }
        listing.left_out_matches += facts.standing == Standing::named_but_left_out ? 1 : 0;
        listing.near_misses +=
            facts.standing == Standing::loose_prefix || facts.standing == Standing::further_in ? 1 : 0;
    }
    listing.listed = listed.size();
    // A serial number is meant to be unique; many cheap adapters share one.
    // The ports of one device with several interfaces share it rightly.
    const auto same_device = [](const UsbIdentity& a, const UsbIdentity& b) {
        return a.vid == b.vid && a.pid == b.pid && a.interface_number && b.interface_number &&
               a.interface_number != b.interface_number;
    };
    for (std::size_t i = 0; i < present.devices.size(); ++i) {
        const UsbIdentity& usb = present.devices[i].usb;
        for (std::size_t other = 0; other < present.devices.size() && usb.serial; ++other) {
            const UsbIdentity& theirs = present.devices[other].usb;
            if (other != i && theirs.serial == usb.serial && !same_device(usb, theirs)) {
                listing.present[i].serial_shared_with.push_back(present.devices[other].port_name);
            }
        }
    }
    for (std::size_t i = 0; i < present.devices.size(); ++i) {
        const std::optional<std::uint64_t>& address = present.devices[i].bt.address;
        for (std::size_t other = 0; other < present.devices.size() && address; ++other) {
            if (other != i && present.devices[other].bt.address == address) {
                listing.present[i].address_shared_with.push_back(present.devices[other].port_name);
            }
        }
    }

    for (const SurveyedPort& port : surveys.other_classes.devices) {
        DeviceFacts& facts = listing.other_classes.emplace_back(facts_of(port, wanted));
        name_from(surveys.bluetooth, facts.device.bt);
        if (facts.matches && std::find(listing.match_classes.begin(), listing.match_classes.end(), port.class_name) ==
                                 listing.match_classes.end()) {
            listing.match_classes.push_back(port.class_name);
        }
    }
    for (const SurveyedPort& port : not_present(surveys.known, present)) {
        DeviceFacts& facts = listing.not_present.emplace_back(facts_of(port, wanted));
        name_from(surveys.bluetooth, facts.device.bt);
        listing.absent_matches += facts.matches ? 1 : 0;
    }

    if (wanted != nullptr && !listing.present_failed && listing.matches.size() > 1) {
        bool same = true;
        bool same_cores = true;
        const std::string& first = present.devices[listing.matches[0]].friendly_name;
        for (const std::size_t match : listing.matches) {
            const std::string& name = present.devices[match].friendly_name;
            same = same && name == first;
            same_cores = same_cores && without_port_suffix(name) == without_port_suffix(first);
            const auto place = static_cast<std::size_t>(
                std::find(listed.begin(), listed.end(), &present.devices[match]) - listed.begin());
            Suggestion suggestion = pick_out(listed, place, code_page);
            listing.percent_in_commands =
                listing.percent_in_commands || suggestion.command.find('%') != std::string::npos;
            listing.suggestions.push_back(std::move(suggestion));
        }
        listing.names_alike = same         ? NamesAlike::same
                              : same_cores ? NamesAlike::differ_in_port_only
                                           : NamesAlike::differ;
    }
    return listing;
}

}  // namespace comlookup
