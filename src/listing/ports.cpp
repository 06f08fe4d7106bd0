#include "listing/ports.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

#include "common/ascii.h"
#include "common/fit.h"
#include "listing/describe_lookup.h"
#include "listing/listing_model.h"
#include "lookup/bt_terms.h"
#include "lookup/query.h"
#include "lookup/select_port.h"
#include "lookup/usb_terms.h"

namespace comlookup {
namespace {

// The TERMs from the option on, so that they are numbered as the program
// numbers its own, read by that program's own reader.
template <typename Read, typename Terms>
PortsCommand read_terms(PortsCommand::Kind kind, Read read, Terms PortsCommand::*terms, int argc,
                        const char* const* argv) {
    PortsCommand ports;
    ports.kind = kind;
    const auto command = read(argc - 2, argv + 2);
    ports.*terms = command.terms;
    ports.error = command.error;
    // A wait for all of them is a loop on the count, which only the caller knows.
    if (ports.error.empty() && command.wait_seconds) {
        ports.error = "--ports takes no --wait: repeat it until its status is the number of ports wanted";
    }
    return ports;
}

Fit fit_of_device(const PortsCommand& command, const SurveyedPort& device) {
    switch (command.kind) {
        case PortsCommand::Kind::usb:
            return fits(device.usb, command.usb);
        case PortsCommand::Kind::bt:
            return meets(device.bt, command.bt);
        case PortsCommand::Kind::words:
            break;
    }
    if (!friendly_name_read(device.skip)) {
        return device.skip == SkipReason::friendly_name_unreadable ? Fit::unknown : Fit::no;
    }
    return fit_of(begins_with_query(device.friendly_name, command.query));
}

// Reads that failed for a reason other than absence: such a device may be
// one of those meant.
bool names_unreadable(SkipReason skip) {
    return skip == SkipReason::friendly_name_unreadable || skip == SkipReason::device_key_unreadable ||
           skip == SkipReason::port_name_unreadable;
}

std::uint32_t first_error(const SurveyedPort& device) {
    for (const std::uint32_t error :
         {device.error, device.usb.error, device.bt.address_error, device.bt.name_error, device.bt.service_error}) {
        if (error != 0) {
            return error;
        }
    }
    return 0;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// "COM" and a number, nothing else: the only names a loop can open.
bool names_com_port(std::string_view port_name) {
    return port_name.size() > 3 && port_name.starts_with("COM") &&
           std::all_of(port_name.begin() + 3, port_name.end(), is_digit);
}

// One part of a location path against another: "USB(9)" before "USB(10)".
int compare_part(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (is_digit(a[i]) && is_digit(b[j])) {
            const auto number_at = [](std::string_view text, std::size_t& at) {
                while (at + 1 < text.size() && text[at] == '0' && is_digit(text[at + 1])) {
                    ++at;
                }
                const std::size_t start = at;
                while (at < text.size() && is_digit(text[at])) {
                    ++at;
                }
                return text.substr(start, at - start);
            };
            const std::string_view x = number_at(a, i);
            const std::string_view y = number_at(b, j);
            if (x.size() != y.size()) {
                return x.size() < y.size() ? -1 : 1;
            }
            if (const int order = x.compare(y); order != 0) {
                return order;
            }
            continue;
        }
        const char x = ascii_folded(a[i++]);
        const char y = ascii_folded(b[j++]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return i < a.size() ? 1 : j < b.size() ? -1 : 0;
}

int compare_paths(std::string_view a, std::string_view b) {
    while (!a.empty() && !b.empty()) {
        const std::size_t a_end = std::min(a.find('#'), a.size());
        const std::size_t b_end = std::min(b.find('#'), b.size());
        if (const int order = compare_part(a.substr(0, a_end), b.substr(0, b_end)); order != 0) {
            return order;
        }
        a.remove_prefix(std::min(a_end + 1, a.size()));
        b.remove_prefix(std::min(b_end + 1, b.size()));
    }
    return a.empty() == b.empty() ? 0 : a.empty() ? -1 : 1;
}

// An interface's own path tells it from the device's other interfaces.
const std::string* socket_path(const SurveyedPort& device) {
    if (!device.usb.port_paths.empty()) {
        return &device.usb.port_paths.front();
    }
    return device.usb.paths.empty() ? nullptr : &device.usb.paths.front();
}

}  // namespace

PortsCommand read_ports_command(int argc, const char* const* argv) {
    const std::string_view option = argc >= 3 ? argv[2] : "";
    if (option == "--usb") {
        return read_terms(PortsCommand::Kind::usb, read_usb_command, &PortsCommand::usb, argc, argv);
    }
    if (option == "--bt") {
        return read_terms(PortsCommand::Kind::bt, read_bt_command, &PortsCommand::bt, argc, argv);
    }
    PortsCommand command;
    QueryBuffer query;
    switch (read_query(argc - 1, argv + 1, query)) {
        case QueryState::ready:
            command.query = query.data();
            break;
        case QueryState::missing:
            // No words at all is every port; an empty first word is comlookup's "no query".
            if (argc > 2) {
                command.error = "the first word is empty";
            }
            break;
        case QueryState::too_long:
            command.error =
                "the words are longer than the " + std::to_string(QUERY_CAPACITY - 1) + " bytes comlookup reads";
            break;
    }
    return command;
}

PortsAnswer answer_ports(const PortsCommand& command, const Survey& survey) {
    const auto failed = [](std::string why) { return PortsAnswer{{}, std::move(why)}; };
    if (survey.failure) {
        return failed(walk_failure_text(*survey.failure));
    }
    std::vector<const SurveyedPort*> chosen;
    for (const SurveyedPort& device : survey.devices) {
        const Fit fit = fit_of_device(command, device);
        if (fit == Fit::no) {
            continue;
        }
        // A port name is the device's own text: said only where it is one a console cannot act on.
        const std::string which =
            port_name_read(device.skip) && names_com_port(device.port_name) ? device.port_name : "a device";
        const std::string error = " (" + error_text(first_error(device)) + ")";
        if (names_unreadable(device.skip)) {
            return failed("the names of " + which + " could not be read" + error + ", and it might be one of them");
        }
        if (device.skip != SkipReason::none) {
            continue;
        }
        if (fit == Fit::unknown) {
            return failed(which + " could not be read in full" + error + ", and it might be one of them");
        }
        if (!names_com_port(device.port_name)) {
            return failed("the port name of one of them is not COM and a number");
        }
        if ((device.usb.unreadable & USB_PATH) != 0) {
            return failed("the socket of " + which + " could not be read" + error + ", so its place is unknown");
        }
        chosen.push_back(&device);
    }
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](const SurveyedPort* a, const SurveyedPort* b) { return socket_before(*a, *b); });
    PortsAnswer answer;
    for (const SurveyedPort* device : chosen) {
        answer.ports.push_back(device->port_name);
    }
    return answer;
}

bool socket_before(const SurveyedPort& a, const SurveyedPort& b) {
    const std::string* a_path = socket_path(a);
    const std::string* b_path = socket_path(b);
    if ((a_path == nullptr) != (b_path == nullptr)) {
        return a_path != nullptr;
    }
    if (a_path != nullptr) {
        if (const int order = compare_paths(*a_path, *b_path); order != 0) {
            return order < 0;
        }
    }
    return port_number(a.port_name) < port_number(b.port_name);
}

std::string ports_command(std::string_view option, const std::vector<std::string>& words, const CodePage& code_page) {
    std::string command = "comlookup-list --ports";
    if (!option.empty()) {
        command += ' ' + std::string(option);
    }
    for (const std::string& word : words) {
        const std::optional<std::string> pasted = pasted_argument(word, code_page);
        if (!pasted) {
            return {};
        }
        command += ' ' + *pasted;
    }
    return command;
}

}  // namespace comlookup
