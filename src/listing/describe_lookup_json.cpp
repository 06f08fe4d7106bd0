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

std::string devices(const JsonWriter& json, const std::vector<DeviceFacts>& list, bool with_class) {
    if (list.empty()) {
        return "[]";
    }
    std::string out = "[";
    for (const DeviceFacts& facts : list) {
        out +=
            (out.size() > 1 ? ",\n    " : "\n    ") + JsonWriter::object(json.device_fields(facts, with_class), "    ");
    }
    return out + "\n  ]";
}

}  // namespace

std::string describe_lookup_json(const Surveys& surveys, int argc, const char* const* argv, const CodePage& code_page) {
    const Listing listing = model_listing(surveys, argc, argv, code_page);
    const JsonWriter json(code_page, listing.terms.has_value());
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
    // A comlookup-usb or comlookup-bt command line: its program, TERMs and what is wrong with it.
    std::string command = "null";
    if (listing.terms) {
        std::string words = "[";
        for (const std::string& word : listing.terms->words) {
            words += (words.size() > 1 ? ", " : "") + json.text(word);
        }
        command = JsonWriter::object({{"program", json.text(listing.terms->program)},
                                      {"terms", words + "]"},
                                      {"error", json.nonempty_or_null(listing.terms->error)}},
                                     "  ");
    }
    std::string port_in_words = "null";
    if (const std::optional<PortInWords>& port = listing.port_in_words) {
        port_in_words = JsonWriter::object({{"suffix", json.text(port->suffix)},
                                            {"shorter", json.nonempty_or_null(port->shorter)},
                                            {"status", std::to_string(port->status)}},
                                           "  ");
    }
    return JsonWriter::object(
               {
                   {"version", json.text(COMLOOKUP_VERSION)},
                   {"query", listing.state == QueryState::ready ? json.text(listing.query) : "null"},
                   {"status", std::to_string(listing.status)},
                   {"complete", listing.complete ? "true" : "false"},
                   {"devices", devices(json, listing.present, false)},
                   {"other_classes", devices(json, listing.other_classes, true)},
                   {"not_present", devices(json, listing.not_present, false)},
                   {"suggestions", suggestions},
                   {"command", command},
                   {"port_in_words", port_in_words},
                   {"ports_command", json.nonempty_or_null(listing.ports_command)},
               },
               "") +
           '\n';
}

}  // namespace comlookup
