// The listing for programs: a JSON writer over the listing's facts.
#include <string>
#include <vector>

#include "listing/describe_lookup.h"
#include "lookup/bt_terms.h"

namespace comlookup {
namespace {

#ifndef COMLOOKUP_VERSION
#define COMLOOKUP_VERSION "(unversioned)"
#endif

class JsonWriter {
public:
    explicit JsonWriter(const CodePage& code_page) : code_page_(code_page) {}

    std::string text(std::string_view value) const { return json_string(value, code_page_); }
    std::string text_or_null(const std::optional<std::string>& value) const { return value ? text(*value) : "null"; }
    std::string nonempty_or_null(const std::string& value) const { return value.empty() ? "null" : text(value); }
    template <typename Number>
    static std::string number_or_null(const std::optional<Number>& value) {
        return value ? std::to_string(*value) : "null";
    }
    static std::string hex_or_null(const std::optional<std::uint16_t>& value) {
        return value ? '"' + hex4(*value) + '"' : "null";
    }

    std::string device(const DeviceFacts& facts, bool with_class) const {
        const SurveyedPort& port = facts.device;
        const bool names_read = friendly_name_read(port.skip);
        // Another class's device is listed only for its port name.
        const bool port_read = port_name_read(port.skip) || with_class;
        const std::string reason = left_out_reason(port);
        const UsbIdentity& usb = port.usb;
        std::vector<std::pair<const char*, std::string>> fields = {
            {"status", number_or_null(facts.status)},
            {"port", port_read ? text(port.port_name) : "null"},
            {"friendly_name", names_read && !port.friendly_name.empty() ? text(port.friendly_name) : "null"},
            {"description", nonempty_or_null(port.description)},
            {"instance_id", nonempty_or_null(port.instance_id)},
            {"left_out", nonempty_or_null(reason)},
            {"matches", facts.matches ? "true" : "false"},
            {"vid", hex_or_null(usb.vid)},
            {"pid", hex_or_null(usb.pid)},
            {"serial", text_or_null(usb.serial)},
            {"interface", number_or_null(usb.interface_number)},
            {"product", text_or_null(usb.product)},
            {"location", text_or_null(usb.location)},
            {"path", usb.paths.empty() ? "null" : text(usb.paths.front())},
            {"bluetooth_address", port.bt.address ? '"' + address_text(*port.bt.address) + '"' : "null"},
            {"bluetooth_name", text_or_null(port.bt.name)},
            {"bluetooth_service", text_or_null(port.bt.service)},
            {"incoming", port.bt.bluetooth ? (port.bt.incoming ? "true" : "false") : "null"},
        };
        if (with_class) {
            fields.emplace_back("class", text(port.class_name));
        }
        return object(fields, "    ");
    }

    static std::string object(const std::vector<std::pair<const char*, std::string>>& fields, std::string_view indent) {
        std::string out = "{";
        for (const auto& [name, value] : fields) {
            out += (out.size() > 1 ? ",\n" : "\n") + std::string(indent) + "  \"" + name + "\": " + value;
        }
        return out + '\n' + std::string(indent) + '}';
    }

    std::string devices(const std::vector<DeviceFacts>& list, bool with_class) const {
        if (list.empty()) {
            return "[]";
        }
        std::string out = "[";
        for (const DeviceFacts& facts : list) {
            out += (out.size() > 1 ? ",\n    " : "\n    ") + device(facts, with_class);
        }
        return out + "\n  ]";
    }

private:
    const CodePage& code_page_;
};

}  // namespace

std::string describe_lookup_json(const Surveys& surveys, int argc, const char* const* argv, const CodePage& code_page) {
    const Listing listing = model_listing(surveys, argc, argv, code_page);
    const JsonWriter json(code_page);
    std::string suggestions = "null";
    if (!listing.suggestions.empty()) {
        suggestions = "[";
        for (const Suggestion& suggestion : listing.suggestions) {
            suggestions += (suggestions.size() > 1 ? ",\n    " : "\n    ") +
                           JsonWriter::object({{"port", json.text(suggestion.port_name)},
                                               {"command", json.nonempty_or_null(suggestion.command)}},
                                              "    ");
        }
        suggestions += "\n  ]";
    }
    return JsonWriter::object(
               {
                   {"version", json.text(COMLOOKUP_VERSION)},
                   {"query", listing.state == QueryState::ready ? json.text(listing.query) : "null"},
                   {"status", std::to_string(listing.status)},
                   {"complete", listing.complete ? "true" : "false"},
                   {"devices", json.devices(listing.present, false)},
                   {"other_classes", json.devices(listing.other_classes, true)},
                   {"not_present", json.devices(listing.not_present, false)},
                   {"suggestions", suggestions},
               },
               "") +
           '\n';
}

}  // namespace comlookup
