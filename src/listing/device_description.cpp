#include "listing/device_description.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lookup/bt_terms.h"
#include "lookup/command_terms.h"
#include "lookup/select_port.h"
#include "lookup/usb_terms.h"

namespace comlookup {
namespace {

// "serial number, product name and socket", for the USB_... bits given.
std::string unread_parts(unsigned parts) {
    std::vector<std::string_view> names;
    for (const auto& [bit, name] : {std::pair<unsigned, std::string_view>{USB_IDS, "vendor and product IDs"},
                                    {USB_SERIAL, "serial number"},
                                    {USB_PRODUCT, "product name"},
                                    {USB_LOCATION, "socket"},
                                    {USB_PATH, "location paths"}}) {
        if ((parts & bit) != 0) {
            names.push_back(name);
        }
    }
    return "its " + in_words(names);
}

// The first of `choices` that picks out listed[index] alone among the
// listed devices, as `program` and the TERMs `words` gives; none when none
// does, saying why where it is not plain: a command that might also fit a
// device that could not be read in full (its port names go into
// `unsure_of`), or one that cannot be pasted safely.
template <typename Terms, typename FitOf, typename Words>
Suggestion first_alone(const std::vector<const SurveyedPort*>& listed, std::size_t index,
                       const std::vector<Terms>& choices, FitOf fit, Words words, SuggestionKind kind,
                       std::string_view program) {
    Suggestion suggestion{listed[index]->port_name};
    for (const Terms& terms : choices) {
        bool alone = fit(*listed[index], terms) == Fit::yes;
        std::vector<std::string> unsure;
        for (std::size_t other = 0; other < listed.size() && alone; ++other) {
            const Fit fits_other = other == index ? Fit::no : fit(*listed[other], terms);
            alone = fits_other != Fit::yes;
            if (fits_other == Fit::unknown) {
                unsure.push_back(listed[other]->port_name);
            }
        }
        if (!alone) {
            continue;
        }
        const std::optional<std::vector<std::string>> pasted = words(terms);
        if (!pasted) {
            suggestion.unpasteable = true;
            continue;
        }
        if (!unsure.empty()) {
            suggestion.unsure_of = unsure;
            continue;
        }
        suggestion.kind = kind;
        suggestion.command = program;
        for (const std::string& word : *pasted) {
            suggestion.command += ' ' + word;
        }
        suggestion.unsure_of.clear();
        suggestion.unpasteable = false;
        return suggestion;
    }
    return suggestion;
}

// Whether no other weighed device's product name begins with `index`'s, nor
// its with theirs: a name that tells it apart on any socket. The other ports
// of the same USB device share it rightly.
bool product_apart(const std::vector<const SurveyedPort*>& listed, std::size_t index) {
    const UsbIdentity& identity = listed[index]->usb;
    if (!identity.product || identity.product->empty()) {
        return false;
    }
    for (std::size_t other = 0; other < listed.size(); ++other) {
        const UsbIdentity& theirs = listed[other]->usb;
        const bool same_device = !identity.paths.empty() && theirs.paths == identity.paths;
        if (other != index && !same_device && theirs.product &&
            (theirs.product->starts_with(*identity.product) || identity.product->starts_with(*theirs.product))) {
            return false;
        }
    }
    return true;
}

// By USB identity: by serial number where that is unique and no other
// adapter of its IDs may report it too, by a product name that tells it
// apart, else by location path; each with the interface where the device has
// several ports.
Suggestion usb_suggestion(const std::vector<const SurveyedPort*>& listed, std::size_t index, bool serial_trusted,
                          const CodePage& code_page) {
    const UsbIdentity& identity = listed[index]->usb;
    // Never by "Location information": its hub number follows the order
    // the hubs were found in, and may pass to another hub after a restart.
    const std::optional<std::string> path =
        identity.paths.empty() ? std::nullopt : std::optional<std::string>(identity.paths.front());
    const std::optional<std::string> none;
    const std::optional<std::string>& serial = serial_trusted ? identity.serial : none;
    const std::optional<std::string>& product = product_apart(listed, index) ? identity.product : none;
    std::vector<UsbTerms> choices;
    for (const std::optional<std::string>* part : {&serial, &product, &path}) {
        if (!identity.vid || !identity.pid || !*part || (*part)->empty()) {
            continue;
        }
        UsbTerms terms;
        terms.vid = identity.vid;
        terms.pid = identity.pid;
        (part == &serial ? terms.serial : part == &product ? terms.product : terms.path) = **part;
        choices.push_back(terms);
        if (identity.interface_number) {
            terms.interface_number = identity.interface_number;
            choices.push_back(terms);
        }
    }
    return first_alone(
        listed, index, choices, [](const SurveyedPort& port, const UsbTerms& terms) { return fits(port.usb, terms); },
        [&](const UsbTerms& terms) { return identity_terms(terms, code_page, true); }, SuggestionKind::usb,
        "comlookup-usb");
}

// By the Bluetooth device's name where that is unique, else by its address;
// with the service's name where the device has several serial ports.
Suggestion bt_suggestion(const std::vector<const SurveyedPort*>& listed, std::size_t index, const CodePage& code_page) {
    const BtIdentity& identity = listed[index]->bt;
    std::vector<BtTerms> choices;
    if (identity.name) {
        choices.push_back({std::nullopt, identity.name});
    }
    if (identity.address) {
        choices.push_back({identity.address});
    }
    for (std::size_t plain = choices.size(), i = 0; i < plain && identity.service; ++i) {
        choices.push_back(choices[i]);
        choices.back().service = identity.service;
    }
    const auto pasted = [&](std::string_view value) { return pasted_argument(value, code_page, true); };
    return first_alone(
        listed, index, choices, [](const SurveyedPort& port, const BtTerms& terms) { return meets(port.bt, terms); },
        [&](const BtTerms& terms) { return bt_term_words(terms, pasted); }, SuggestionKind::bluetooth, "comlookup-bt");
}

// Whether another listed port is a serial service of the same Bluetooth
// device with the same service name, or none for both: nothing but the port
// number tells them apart.
bool services_alike(const std::vector<const SurveyedPort*>& listed, const SurveyedPort& port) {
    const BtIdentity& bt = port.bt;
    return bt.address && bt.service_error == 0 &&
           std::any_of(listed.begin(), listed.end(), [&](const SurveyedPort* other) {
               return other != &port && other->bt.address == bt.address && other->bt.service_error == 0 &&
                      other->bt.service == bt.service;
           });
}

std::string text_or_null(const JsonWriter& json, const std::optional<std::string>& value) {
    return value ? json.text(*value) : "null";
}

template <typename Number>
std::string number_or_null(const std::optional<Number>& value) {
    return value ? std::to_string(*value) : "null";
}

std::string hex_or_null(const std::optional<std::uint16_t>& value) {
    return value ? '"' + hex4(*value) + '"' : "null";
}

}  // namespace

std::string misreading(std::string_view port_name) {
    const std::int32_t status = port_number(port_name);
    if (status == EXIT_NOT_FOUND) {
        return "a caller takes status -1 for \"no device matches\"";
    }
    if (status == EXIT_AMBIGUOUS) {
        return "a caller takes status -2 for \"more than one device matches\"";
    }
    if (status < 0) {
        return "a caller takes a negative status for a failure";
    }
    if (!has_port_number(port_name)) {
        return "no number after \"COM\": a caller takes status 0 for COM0";
    }
    return {};
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

std::string TextWriter::shown_list(const std::vector<std::string>& texts) const {
    std::string list;
    for (const std::string& text : texts) {
        list += (list.empty() ? "" : ", ") + show(text);
    }
    return list;
}

std::string TextWriter::quote(std::string_view text) const {
    return '"' + shown(text, style_.code_page, style_.sink, true) + '"';
}

std::string TextWriter::wrapped(const std::vector<std::string>& words, std::size_t indent) const {
    std::string lines;
    std::string line;
    std::size_t used = 0;
    const auto flush = [&] {
        if (!line.empty()) {
            lines += std::string(indent, ' ') + line + '\n';
        }
        line.clear();
        used = 0;
    };
    for (const std::string& word : words) {
        const std::size_t cost = width(word);
        if (indent + cost > WIDTH) {
            flush();
            lines += word + '\n';
            continue;
        }
        if (!line.empty() && indent + used + 1 + cost > WIDTH) {
            flush();
        }
        line += (line.empty() ? "" : " ") + word;
        used += (used == 0 ? 0 : 1) + cost;
    }
    flush();
    return lines;
}

std::string TextWriter::paragraph(std::string_view text, std::size_t indent) const {
    std::vector<std::string> words;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        if (end > start) {
            words.emplace_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return wrapped(words, indent);
}

std::string TextWriter::name_of(const SurveyedPort& port) const {
    if (friendly_name_read(port.skip) && !port.friendly_name.empty()) {
        return quote(port.friendly_name);
    }
    return port.description.empty() ? "-" : "description " + quote(port.description);
}

std::string TextWriter::bt_lines(const DeviceFacts& facts, std::size_t indent) const {
    const BtIdentity& bt = facts.device.bt;
    if (bt.address_error != 0) {
        return paragraph("Bluetooth identity could not be read (" + error_text(bt.address_error) + ")", indent);
    }
    if (bt.incoming) {
        return paragraph("incoming Bluetooth port: it waits for a device to call, and no command picks it out", indent);
    }
    if (!bt.address) {
        return bt.bluetooth
                   ? paragraph("Bluetooth port with no remote device's address: no command picks it out", indent)
                   : "";
    }
    const auto quoted = [](std::string_view value) { return std::optional(command_line_argument(value, true)); };
    std::vector<std::string> words;
    for (const std::string& term : bt_term_words(terms_of(bt), quoted).value_or(std::vector<std::string>{})) {
        words.push_back(show(term));
    }
    std::string lines = wrapped(words, indent);
    if (bt.name_error != 0) {
        lines += paragraph("the device's name could not be read (" + error_text(bt.name_error) + ")", indent);
    } else if (!bt.name) {
        lines += std::string(indent, ' ') + "no device name\n";
    }
    if (bt.service_error != 0) {
        lines += paragraph("the service name could not be read (" + error_text(bt.service_error) + ")", indent);
    }
    if (const std::vector<std::string>& others = facts.address_shared_with; !others.empty()) {
        lines += paragraph((others.size() == 1 ? "another serial service of the same device is on "
                                               : "other serial services of the same device are on ") +
                               shown_list(others),
                           indent);
    }
    return lines;
}

std::string TextWriter::id_lines(const DeviceFacts& facts, std::size_t indent) const {
    const SurveyedPort& port = facts.device;
    std::string lines = port.instance_id.empty() ? "" : wrapped({show(port.instance_id)}, indent);
    lines += bt_lines(facts, indent);
    const UsbIdentity& usb = port.usb;
    if (usb.unreadable == USB_ALL) {
        return lines + paragraph("USB identity could not be read (" + error_text(usb.error) + ")", indent);
    }
    std::vector<std::string> words = *identity_terms(terms_of(usb), style_.code_page);
    for (std::string& word : words) {
        word = show(word);
    }
    lines += wrapped(words, indent);
    if (usb.unreadable != 0) {
        lines += paragraph(unread_parts(usb.unreadable) + " could not be read (" + error_text(usb.error) + ")", indent);
    } else if (!words.empty() && !usb.serial) {
        lines += std::string(indent, ' ') + "no serial number\n";
    }
    if (!facts.serial_shared_with.empty()) {
        lines += paragraph("the same serial number is on " + shown_list(facts.serial_shared_with), indent);
    }
    return lines + maybe_shared_lines(facts, indent) + problem_lines(port, indent);
}

// Windows gives a serial number to the first adapter of its kind plugged
// in and names the next by its socket, so neither tells which is which.
std::string TextWriter::maybe_shared_lines(const DeviceFacts& facts, std::size_t indent) const {
    if (facts.serial_maybe_shared_with.empty()) {
        return {};
    }
    const std::string others = shown_list(facts.serial_maybe_shared_with);
    return paragraph((facts.device.usb.serial ? "its serial number may also be that of " + others +
                                                    ", of the same IDs, which Windows names by its socket"
                                              : "it may report the serial number of " + others + ", of the same IDs") +
                         ": Windows gives a serial number to the first of them plugged in",
                     indent);
}

std::string TextWriter::problem_lines(const SurveyedPort& port, std::size_t indent) const {
    if (!port.problem) {
        return {};
    }
    const std::string words = problem_words(*port.problem);
    return paragraph("Windows reports a problem with this device (code " + std::to_string(*port.problem) +
                         (words.empty() ? "" : ": " + words) + "): the port may not open",
                     indent);
}

std::string TextWriter::lead(std::string head, std::string_view port_name, std::size_t indent) const {
    const std::string port = show(port_name);
    std::string prefix = head + padded(port, 8) + "  ";
    if (width(prefix) <= WIDTH) {
        return prefix;
    }
    while (head.ends_with(' ')) {
        head.pop_back();
    }
    return head + '\n' + port + '\n' + std::string(indent, ' ');
}

std::string TextWriter::row(std::string prefix, std::string_view name, std::string_view note,
                            std::size_t indent) const {
    const std::size_t line_start = prefix.rfind('\n') == std::string::npos ? 0 : prefix.rfind('\n') + 1;
    const std::size_t used = width(std::string_view(prefix).substr(line_start)) + width(name);
    if (used + (note.empty() ? 0 : 2 + width(note)) <= WIDTH) {
        return prefix + std::string(name) + (note.empty() ? "" : "  " + std::string(note)) + '\n';
    }
    if (used <= WIDTH) {
        return prefix + std::string(name) + '\n' + paragraph(note, indent);
    }
    while (prefix.ends_with(' ')) {
        prefix.pop_back();
    }
    if (!prefix.empty() && !prefix.ends_with('\n')) {
        prefix += '\n';
    }
    return prefix + std::string(name) + '\n' + paragraph(note, indent);
}

std::string TextWriter::device_line(const DeviceFacts& facts, bool show_near_misses) const {
    const SurveyedPort& port = facts.device;
    const bool listed = port.skip == SkipReason::none;
    char mark = ' ';
    std::string note = listed ? "" : "left out: " + left_out_reason(port);
    if (facts.standing == Standing::named_but_left_out) {
        note += "; its friendly name begins with the query";
    } else if (facts.standing == Standing::named) {
        mark = '*';
        note = "begins with the query";
    } else if (show_near_misses && facts.standing == Standing::loose_prefix) {
        mark = '~';
        note = "near miss: would match if case and runs of blanks were ignored";
    } else if (show_near_misses && facts.standing == Standing::further_in) {
        mark = '~';
        note = "near miss: holds the query further in, not at its start";
    }
    switch (facts.terms_met) {
        case TermsMet::not_weighed:
        case TermsMet::fewer:
            break;
        case TermsMet::all:
            mark = '*';
            note = "meets every TERM";
            break;
        case TermsMet::all_but_one:
            mark = '~';
            note = "meets all but " + show(facts.missed) +
                   (facts.own.empty() ? ": it has none" : "; its own is " + show(facts.own));
            break;
        case TermsMet::unknown:
            mark = '?';
            note = "might meet every TERM: a part of it could not be read";
            break;
    }
    if (const std::string odd = listed ? misreading(port.port_name) : ""; !odd.empty()) {
        note += note.empty() ? odd : "; " + odd;
    }
    std::string head(1, mark);
    head += ' ';
    const std::string status = facts.status ? std::to_string(*facts.status) : "-";
    head += std::string(status.size() < 6 ? 6 - status.size() : 0, ' ') + status + "  ";
    const std::string prefix = lead(head, port_name_read(port.skip) ? port.port_name : "-", NAME_COLUMN);
    return row(prefix, name_of(port), note, NAME_COLUMN) + id_lines(facts, NAME_COLUMN);
}

std::string TextWriter::other_line(const DeviceFacts& facts) const {
    const SurveyedPort& port = facts.device;
    std::string head = "  ";
    if (!port.class_name.empty()) {
        head += padded(show(port.class_name), 8) + "  ";
    }
    const std::size_t indent = port.class_name.empty() ? 12 : 22;
    return row(lead(head, port.port_name, indent), name_of(port), facts.matches ? "begins with the query" : "",
               indent) +
           id_lines(facts, indent);
}

JsonWriter::Fields JsonWriter::device_fields(const DeviceFacts& facts, bool with_class) const {
    const SurveyedPort& port = facts.device;
    const bool names_read = friendly_name_read(port.skip);
    // Another class's device is listed only for its port name.
    const bool port_read = port_name_read(port.skip) || with_class;
    const std::string reason = left_out_reason(port);
    const UsbIdentity& usb = port.usb;
    Fields fields = {
        {"status", number_or_null(facts.status)},
        {"port", port_read ? text(port.port_name) : "null"},
        {"friendly_name", names_read && !port.friendly_name.empty() ? text(port.friendly_name) : "null"},
        {"description", nonempty_or_null(port.description)},
        {"instance_id", nonempty_or_null(port.instance_id)},
        {"left_out", nonempty_or_null(reason)},
        {"matches", facts.matches ? "true" : "false"},
        {"vid", hex_or_null(usb.vid)},
        {"pid", hex_or_null(usb.pid)},
        {"serial", text_or_null(*this, usb.serial)},
        {"interface", number_or_null(usb.interface_number)},
        {"product", text_or_null(*this, usb.product)},
        {"location", text_or_null(*this, usb.location)},
        {"path", usb.paths.empty() ? "null" : text(usb.paths.front())},
        {"bluetooth_address", port.bt.address ? '"' + address_text(*port.bt.address) + '"' : "null"},
        {"bluetooth_name", text_or_null(*this, port.bt.name)},
        {"bluetooth_service", text_or_null(*this, port.bt.service)},
        {"incoming", port.bt.bluetooth ? (port.bt.incoming ? "true" : "false") : "null"},
        {"problem", number_or_null(port.problem)},
    };
    if (terms_) {
        fields.emplace_back("terms_met", terms_met(facts.terms_met));
        fields.emplace_back("missed", nonempty_or_null(facts.missed));
        fields.emplace_back("own", nonempty_or_null(facts.own));
    }
    if (with_class) {
        fields.emplace_back("class", text(port.class_name));
    }
    return fields;
}

std::string JsonWriter::terms_met(TermsMet met) {
    switch (met) {
        case TermsMet::not_weighed:
            break;
        case TermsMet::all:
            return "\"all\"";
        case TermsMet::all_but_one:
            return "\"all_but_one\"";
        case TermsMet::unknown:
            return "\"unknown\"";
        case TermsMet::fewer:
            return "\"fewer\"";
    }
    return "null";
}

std::string JsonWriter::object(const Fields& fields, std::string_view indent) {
    std::string out = "{";
    for (const auto& [name, value] : fields) {
        out += (out.size() > 1 ? ",\n" : "\n") + std::string(indent) + "  \"" + name + "\": " + value;
    }
    return out + '\n' + std::string(indent) + '}';
}

std::string JsonWriter::one_line(const Fields& fields) {
    std::string out = "{";
    for (const auto& [name, value] : fields) {
        out += (out.size() > 1 ? ", \"" : "\"") + std::string(name) + "\": " + value;
    }
    return out + '}';
}

Suggestion pick_out(const std::vector<const SurveyedPort*>& listed, std::size_t index, bool serial_trusted,
                    const CodePage& code_page) {
    PortList ports;
    for (const SurveyedPort* port : listed) {
        ports.push_back({port->port_name, port->friendly_name});
    }
    const SurveyedPort& device = *listed[index];
    const std::string name_query = distinguishing_query(ports, index);
    const std::optional<std::string> pasted =
        name_query.empty() ? std::nullopt : pasted_argument(name_query, code_page);
    Suggestion suggestion = pasted ? Suggestion{device.port_name, SuggestionKind::name, "comlookup " + *pasted}
                                   : usb_suggestion(listed, index, serial_trusted, code_page);
    if (suggestion.kind == SuggestionKind::none && device.bt.bluetooth) {
        suggestion = bt_suggestion(listed, index, code_page);
    }
    suggestion.unpasteable =
        suggestion.unpasteable || (suggestion.kind == SuggestionKind::none && !name_query.empty() && !pasted);
    suggestion.bluetooth = device.bt.bluetooth;
    suggestion.services_alike = suggestion.kind == SuggestionKind::none && services_alike(listed, device);
    return suggestion;
}

std::string why_none(const Suggestion& suggestion, const TextWriter& writer) {
    if (suggestion.unpasteable) {
        return "nothing picks it out safely: the command that would holds a quote or a control character, which "
               "cmd.exe does not pass on as it stands";
    }
    if (!suggestion.unsure_of.empty()) {
        return "nothing picks it out for sure: " + writer.shown_list(suggestion.unsure_of) +
               " could not be read in full, and might fit the command that would";
    }
    if (suggestion.services_alike) {
        return "nothing but the port number tells it from the other ports of its Bluetooth device: its serial "
               "services have the same name, or none (see \"Bluetooth serial ports\" in docs\\bluetooth.md)";
    }
    return std::string("no command picks it out: no name") + (suggestion.bluetooth ? " or Bluetooth" : " or USB") +
           " identity tells it apart (see \"Two identical adapters\" in docs\\usb.md)";
}

}  // namespace comlookup
