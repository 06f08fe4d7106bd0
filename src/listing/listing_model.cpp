#include "listing/listing_model.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/ascii.h"
#include "listing/device_description.h"
#include "listing/ports.h"
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

// Present devices of one vendor and product ID where one has a serial
// number and another an instance ID made from its socket: Windows gives a
// serial number to the first of them plugged in, so both may report it.
void mark_serials_maybe_shared(const Survey& present, std::vector<DeviceFacts>& facts) {
    for (std::size_t i = 0; i < present.devices.size(); ++i) {
        const UsbIdentity& usb = present.devices[i].usb;
        for (std::size_t other = 0; other < present.devices.size() && usb.vid && usb.pid; ++other) {
            const UsbIdentity& theirs = present.devices[other].usb;
            if (theirs.vid == usb.vid && theirs.pid == usb.pid &&
                ((usb.serial && theirs.socket_id) || (usb.socket_id && theirs.serial))) {
                facts[i].serial_maybe_shared_with.push_back(present.devices[other].port_name);
            }
        }
    }
}

// The first word of `words` that gives `key`, "key=...": how a TERM was
// given, or how the listing shows a device's own value for it.
std::string word_for(const std::vector<std::string>& words, std::string_view key) {
    for (const std::string& word : words) {
        if (word.size() > key.size() && word.starts_with(key) && word[key.size()] == '=') {
            return word;
        }
    }
    return {};
}

// How each listed device stands to a command line of `program`, its TERMs
// read as the program reads them, and the status it gives, through its own
// selection. `term_fits` weighs a device against each TERM, `own_words`
// words a device's identity as TERMs.
template <typename Terms, typename TermFits, typename OwnWords, typename Select>
void weigh_terms(Listing& listing, const Survey& present, std::string_view program, const TermCommand<Terms>& command,
                 const std::vector<std::string>& given, TermFits term_fits, OwnWords own_words, Select select) {
    TermsCommand& terms = listing.terms.emplace(TermsCommand{std::string(program), given, command.error});
    listing.status = EXIT_NOT_FOUND;
    if (!command.error.empty()) {
        return;
    }
    for (std::size_t i = 0; i < present.devices.size(); ++i) {
        const SurveyedPort& port = present.devices[i];
        DeviceFacts& facts = listing.present[i];
        if (port.skip != SkipReason::none) {
            continue;
        }
        const std::vector<TermFit> fits = term_fits(port, command.terms);
        const auto count = [&](Fit fit) {
            return std::count_if(fits.begin(), fits.end(), [&](const TermFit& term) { return term.fit == fit; });
        };
        const auto missed = count(Fit::no);
        // Of a single TERM, every other device meets all but one.
        const bool near = missed == 1 && count(Fit::unknown) == 0 && fits.size() > 1;
        facts.terms_met = missed == 0 && count(Fit::unknown) == 0 ? TermsMet::all
                          : missed == 0                           ? TermsMet::unknown
                          : near                                  ? TermsMet::all_but_one
                                                                  : TermsMet::fewer;
        if (facts.terms_met == TermsMet::all_but_one) {
            const auto miss =
                std::find_if(fits.begin(), fits.end(), [](const TermFit& term) { return term.fit == Fit::no; });
            facts.missed = word_for(given, miss->key);
            facts.own = word_for(own_words(port), miss->key);
        }
        terms.meet_all += facts.terms_met == TermsMet::all ? 1 : 0;
        if (facts.terms_met == TermsMet::unknown) {
            terms.unknown.push_back(port.port_name);
        }
    }
    listing.status = select(present, command.terms);
}

// "--usb" or "--bt" as the first word: the listing for that program's
// command line, the words after it.
bool model_terms(Listing& listing, const Survey& present, int argc, const char* const* argv,
                 const CodePage& code_page) {
    const std::string_view option = argc >= 2 ? argv[1] : "";
    if (option != "--usb" && option != "--bt") {
        return false;
    }
    // From the option on, so that the words are numbered as the program numbers its own.
    const std::vector<std::string> given(argv + 2, argv + argc);
    if (option == "--usb") {
        weigh_terms(
            listing, present, "comlookup-usb", read_usb_command(argc - 1, argv + 1), given,
            [](const SurveyedPort& port, const UsbTerms& terms) { return usb_term_fits(port.usb, terms); },
            [&](const SurveyedPort& port) {
                return identity_terms(terms_of(port.usb), code_page).value_or(std::vector<std::string>{});
            },
            select_usb_port);
    } else {
        const auto quoted = [](std::string_view value) { return std::optional(command_line_argument(value, true)); };
        weigh_terms(
            listing, present, "comlookup-bt", read_bt_command(argc - 1, argv + 1), given,
            [](const SurveyedPort& port, const BtTerms& terms) { return bt_term_fits(port.bt, terms); },
            [&](const SurveyedPort& port) {
                return bt_term_words(terms_of(port.bt), quoted).value_or(std::vector<std::string>{});
            },
            select_bt_port);
    }
    return true;
}

// Words that reach past the end of the name they match short of its
// " (COMn)": and what the words short of it would give.
std::optional<PortInWords> port_in_words(const Listing& listing, const Survey& present, const PortList& ports,
                                         const CodePage& code_page) {
    for (const std::size_t match : listing.matches) {
        const SurveyedPort& device = present.devices[match];
        const std::string_view core = without_port_suffix(device.friendly_name);
        if (listing.query.size() <= core.size()) {
            continue;
        }
        std::string shorter = listing.query.substr(0, core.size());
        while (!shorter.empty() && is_blank(shorter.back())) {
            shorter.pop_back();
        }
        const std::optional<std::string> pasted = shorter.empty() ? std::nullopt : pasted_argument(shorter, code_page);
        return PortInWords{device.friendly_name.substr(core.size()), pasted ? "comlookup " + *pasted : "",
                           shorter.empty() ? EXIT_NOT_FOUND : select_port(ports, shorter)};
    }
    return std::nullopt;
}

// "comlookup-list --ports ..." for the same words or TERMs, where it would
// write their ports: not where a device's socket could not be read.
std::string ports_pointer(const Listing& listing, const Survey& present, const CodePage& code_page) {
    std::vector<std::string> words{"comlookup-list", "--ports"};
    if (listing.terms) {
        words.emplace_back(listing.terms->program == "comlookup-usb" ? "--usb" : "--bt");
        const std::vector<std::string>& given = listing.terms->words;
        // --ports takes no --wait: a wait for them all is a loop on its count.
        words.insert(words.end(), given.begin() + (given.size() >= 2 && given[0] == "--wait" ? 2 : 0), given.end());
    } else {
        words.push_back(listing.query);
    }
    std::vector<const char*> argv;
    for (const std::string& word : words) {
        argv.push_back(word.c_str());
    }
    const PortsCommand command = read_ports_command(static_cast<int>(argv.size()), argv.data());
    if (!command.error.empty() || !answer_ports(command, present).error.empty()) {
        return {};
    }
    const std::vector<std::string> pasted(words.begin() + (listing.terms ? 3 : 2), words.end());
    return ports_command(listing.terms ? words[2] : "", pasted, code_page);
}

}  // namespace

std::string problem_words(std::uint32_t code) {
    // Device Manager's own words for the codes a serial port commonly shows, shortened.
    switch (code) {
        case 1:
            return "it is not configured";
        case 3:
            return "its driver may be damaged, or memory is short";
        case 10:
            return "it could not start";
        case 12:
            return "it cannot find enough free resources";
        case 14:
            return "it cannot work until Windows restarts";
        case 18:
            return "its drivers need to be installed again";
        case 19:
            return "its registry entries are damaged";
        case 21:
            return "Windows is removing it";
        case 22:
            return "it is disabled";
        case 24:
            return "it is not present or not working";
        case 28:
            return "its driver is not installed";
        case 29:
            return "its firmware disabled it";
        case 31:
            return "its driver could not load";
        case 32:
            return "its driver's service is disabled";
        case 37:
        case 39:
            return "its driver could not load";
        case 43:
            return "Windows stopped it after it reported problems";
        case 45:
            return "it is not connected";
        case 52:
            return "its driver's signature could not be verified";
        default:
            return {};
    }
}

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
    mark_serials_maybe_shared(present, listing.present);
    if (model_terms(listing, present, argc, argv, code_page)) {
        listing.state = QueryState::missing;
        listing.matches.clear();
        listing.near_misses = 0;
        listing.left_out_matches = 0;
    }
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
            Suggestion suggestion =
                pick_out(listed, place, listing.present[match].serial_maybe_shared_with.empty(), code_page);
            listing.percent_in_commands =
                listing.percent_in_commands || suggestion.command.find('%') != std::string::npos;
            listing.suggestions.push_back(std::move(suggestion));
        }
        listing.names_alike = same         ? NamesAlike::same
                              : same_cores ? NamesAlike::differ_in_port_only
                                           : NamesAlike::differ;
    }
    if (wanted != nullptr && !listing.present_failed) {
        listing.port_in_words = port_in_words(listing, present, ports, code_page);
    }
    if (listing.status == EXIT_AMBIGUOUS) {
        listing.ports_command = ports_pointer(listing, present, code_page);
    }
    return listing;
}

}  // namespace comlookup
