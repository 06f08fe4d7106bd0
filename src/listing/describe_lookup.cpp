#include "listing/describe_lookup.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "lookup/query.h"
#include "lookup/select_port.h"

namespace comlookup {
namespace {

#ifndef COMLOOKUP_VERSION
#define COMLOOKUP_VERSION "(unversioned)"
#endif

constexpr std::string_view USAGE = "comlookup-list " COMLOOKUP_VERSION
                                   ": what comlookup sees, and why a query gives what it gives.\n"
                                   "\n"
                                   "Usage: comlookup-list [WORD...]\n"
                                   "\n"
                                   "Lists the present devices of the Ports class as comlookup sees them, in\n"
                                   "the order it reads them: for each, the exit status comlookup gives when\n"
                                   "that device alone matches, its port name, friendly name and instance ID,\n"
                                   "or why comlookup leaves it out; then the COM ports of other setup classes\n"
                                   "and the Ports devices Windows knows but that are not present now, which\n"
                                   "comlookup does not read. With WORDs, says what \"comlookup WORD...\" does\n"
                                   "and why, marks the devices the words name (*) or nearly name (~), and\n"
                                   "when they name several, gives a query for each.\n"
                                   "To comlookup, -h, --help and /? are query words like any other: the\n"
                                   "listing for them follows this text.\n"
                                   "\n"
                                   "Exit status: 0 when the whole listing was printed, 1 when a part of the\n"
                                   "device database could not be read or the listing could not be written.\n"
                                   "\n";

constexpr bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// ASCII only: bytes above 0x7F mean different letters in different code
// pages, and this is a hint, not a match.
constexpr char folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
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
        loose.emplace_back(bytes.size() == 1 ? std::string(1, folded(bytes[0])) : std::string(bytes));
    }
    return loose;
}

bool is_help(std::string_view argument) {
    return argument == "-h" || argument == "--help" || argument == "/?";
}

// Windows error codes are small numbers; SetupAPI's own read best in hex.
std::string error_text(std::uint32_t error) {
    char text[32];
    std::snprintf(text, sizeof text, error < 0x10000 ? "error %lu" : "error 0x%08lX",
                  static_cast<unsigned long>(error));
    return text;
}

std::string reason_text(const SurveyedPort& port) {
    switch (port.skip) {
        case SkipReason::none:
            break;
        case SkipReason::no_friendly_name:
            return "left out: no friendly name";
        case SkipReason::friendly_name_too_long:
            return "left out: friendly name longer than 255 bytes";
        case SkipReason::friendly_name_unreadable:
            return "left out: friendly name could not be read (" + error_text(port.error) + ")";
        case SkipReason::no_device_key:
            return "left out: no device key to read \"PortName\" from";
        case SkipReason::device_key_unreadable:
            return "left out: device key could not be opened (" + error_text(port.error) + ")";
        case SkipReason::no_port_name:
            return "left out: no \"PortName\" value";
        case SkipReason::port_name_too_long:
            return "left out: \"PortName\" longer than 255 bytes";
        case SkipReason::port_name_unreadable:
            return "left out: \"PortName\" could not be read (" + error_text(port.error) + ")";
        case SkipReason::not_com:
            return "left out: port name does not begin with \"COM\"";
    }
    return {};
}

bool unreadable(SkipReason skip) {
    return skip == SkipReason::friendly_name_unreadable || skip == SkipReason::device_key_unreadable ||
           skip == SkipReason::port_name_unreadable;
}

bool friendly_name_read(SkipReason skip) {
    return skip != SkipReason::no_friendly_name && skip != SkipReason::friendly_name_too_long &&
           skip != SkipReason::friendly_name_unreadable;
}

bool port_name_read(SkipReason skip) {
    return skip == SkipReason::none || skip == SkipReason::not_com;
}

// What a caller takes a listed device's status for, when that is not the
// port the device is on.
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

// How one device stands to the query.
enum class Standing { unrelated, named, named_but_left_out, loose_prefix, further_in };

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

// `name` short of a " (COMn)" at its end, the part Windows adds to name the
// port: a query that reaches into it breaks when the port number changes.
std::string_view without_port_suffix(std::string_view name) {
    const std::size_t open = name.rfind(" (COM");
    if (open == std::string_view::npos || !name.ends_with(')') || name.size() - open < 7) {
        return name;
    }
    const std::string_view digits = name.substr(open + 5, name.size() - open - 6);
    return digits.find_first_not_of("0123456789") == std::string_view::npos ? name.substr(0, open) : name;
}

class Writer {
public:
    explicit Writer(const ListingStyle& style) : style_(style) {}

    std::string show(std::string_view text) const { return shown(text, style_.code_page, style_.sink); }
    // Quoted, so that blanks at either end show.
    std::string quote(std::string_view text) const { return '"' + show(text) + '"'; }

    // Device Manager shows the description of a device without a friendly
    // name, so that is how the user knows it.
    std::string name_of(const SurveyedPort& port) const {
        if (friendly_name_read(port.skip) && !port.friendly_name.empty()) {
            return quote(port.friendly_name);
        }
        return port.description.empty() ? "-" : "description " + quote(port.description);
    }

    // The instance ID tells apart devices whose names are the same.
    std::string id_line(const SurveyedPort& port, std::size_t indent) const {
        return port.instance_id.empty() ? "" : std::string(indent, ' ') + show(port.instance_id) + '\n';
    }

    // Near misses are only worth showing when nothing matches.
    std::string device_line(const SurveyedPort& port, Standing standing, bool show_near_misses) const {
        const bool listed = port.skip == SkipReason::none;
        char mark = ' ';
        std::string note = reason_text(port);
        if (standing == Standing::named_but_left_out) {
            note += "; its friendly name begins with the query";
        } else if (standing == Standing::named) {
            mark = '*';
            note = "begins with the query";
        } else if (show_near_misses && standing == Standing::loose_prefix) {
            mark = '~';
            note = "near miss: would match if case and runs of blanks were ignored";
        } else if (show_near_misses && standing == Standing::further_in) {
            mark = '~';
            note = "near miss: holds the query further in, not at its start";
        }
        if (const std::string odd = listed ? misreading(port.port_name) : ""; !odd.empty()) {
            note += note.empty() ? odd : "; " + odd;
        }
        std::string line(1, mark);
        line += ' ';
        const std::string status = listed ? std::to_string(port_number(port.port_name)) : "-";
        line += std::string(status.size() < 6 ? 6 - status.size() : 0, ' ') + status + "  ";
        line += padded(port_name_read(port.skip) ? show(port.port_name) : "-", 8) + "  " + name_of(port);
        if (!note.empty()) {
            line += "  " + note;
        }
        return line + '\n' + id_line(port, 20);
    }

    // A device comlookup does not read: of another class, or not present.
    std::string other_line(const SurveyedPort& port, bool named) const {
        std::string line = "  ";
        if (!port.class_name.empty()) {
            line += padded(show(port.class_name), 8) + "  ";
        }
        line += padded(show(port.port_name), 8) + "  " + name_of(port);
        if (named) {
            line += "  begins with the query";
        }
        return line + '\n' + id_line(port, port.class_name.empty() ? 12 : 22);
    }

private:
    const ListingStyle& style_;
};

std::string failure_text(const WalkFailure& failure) {
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
    }
    return what + " (" + error_text(failure.error) +
           "). comlookup answers -1 to any query then, rather than risk a wrong port.\n";
}

// What the listing's lines say about the query, for its last line.
struct Tally {
    std::vector<std::size_t> matches;  // places among the listed devices
    int near_misses = 0;
    int left_out_matches = 0;
    std::vector<std::string> other_classes;  // of the other-class devices the query names
    int absent_matches = 0;
};

// Where the only names that begin with the query are, when no listed one does.
std::string only_names_text(const Tally& tally, const Writer& writer) {
    std::vector<std::string> places;
    if (tally.left_out_matches > 0) {
        places.emplace_back("on devices comlookup leaves out");
    }
    if (!tally.other_classes.empty()) {
        std::string classes;
        for (const std::string& name : tally.other_classes) {
            classes += (classes.empty() ? "" : ", ") + writer.show(name);
        }
        places.push_back("in setup class " + classes + ", which comlookup does not read");
    }
    if (tally.absent_matches > 0) {
        places.emplace_back("on devices not present now: is the device plugged in?");
    }
    std::string text;
    for (const std::string& place : places) {
        text += (text.empty() ? "; the only names that begin with it are " : "; and ") + place;
    }
    return text;
}

std::string status_line(std::int32_t status, QueryState state, int argc, const char* const* argv, const Tally& tally,
                        const Surveys& surveys, const PortList& listed, const Writer& writer) {
    std::string meaning;
    switch (state) {
        case QueryState::missing:
            meaning = argc < 2 ? "no query was given" : "no query: the first word is empty";
            break;
        case QueryState::too_long: {
            std::size_t length = static_cast<std::size_t>(argc - 2);
            for (int i = 1; i < argc; ++i) {
                length += std::string_view(argv[i]).size();
            }
            meaning = "the query is " + std::to_string(length) + " bytes long; comlookup reads at most " +
                      std::to_string(QUERY_CAPACITY - 1);
            break;
        }
        case QueryState::ready:
            if (surveys.present.failure) {
                meaning = "comlookup's walk of the device database is incomplete (see above)";
            } else if (tally.matches.size() == 1) {
                const std::string& port_name = listed[tally.matches[0]].port_name;
                meaning =
                    "exactly one listed device's friendly name begins with the query, on " + writer.show(port_name);
                if (const std::string odd = misreading(port_name); !odd.empty()) {
                    meaning += "; " + odd;
                }
            } else if (tally.matches.size() > 1) {
                meaning = std::to_string(tally.matches.size()) +
                          " listed devices' friendly names begin with the query (marked *); comlookup needs exactly "
                          "one";
            } else {
                meaning = "no listed device's friendly name begins with the query";
                if (tally.near_misses > 0) {
                    meaning += "; near misses are marked ~";
                }
                meaning += only_names_text(tally, writer);
            }
            break;
    }
    return "exit status " + std::to_string(status) + ": " + meaning + '\n';
}

// A command to paste for each device the query names, when it names several.
std::string suggestions(const PortList& listed, const std::vector<std::size_t>& places, const Writer& writer) {
    std::string lines;
    bool any = false;
    bool same_cores = true;
    bool same_names = true;
    for (const std::size_t place : places) {
        const std::string query = distinguishing_query(listed, place);
        any = any || !query.empty();
        const std::string& name = listed[place].friendly_name;
        const std::string& first = listed[places[0]].friendly_name;
        same_cores = same_cores && without_port_suffix(name) == without_port_suffix(first);
        same_names = same_names && name == first;
        lines += "  " + padded(writer.show(listed[place].port_name), 8) + "  " +
                 (query.empty() ? "no query without its port number picks this device out"
                                : "comlookup " + writer.show(command_line_argument(query))) +
                 '\n';
    }
    constexpr std::string_view SEE = "See \"Two identical adapters\" in the README.\n";
    if (!any && same_names) {
        return "\nNo query tells these devices apart: their friendly names are the same (see their instance IDs). " +
               std::string(SEE);
    }
    if (!any && same_cores) {
        return "\nNo query without the port number tells these devices apart: their friendly names differ only in "
               "it. " +
               std::string(SEE);
    }
    return "\nTo pick one of them, give comlookup a longer beginning of its name:\n" + lines;
}

}  // namespace

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
    for (const SurveyedPort& port : surveys.present.devices) {
        if (unreadable(port.skip)) {
            return false;
        }
    }
    return true;
}

std::string describe_lookup(const Surveys& surveys, int argc, const char* const* argv, const ListingStyle& style) {
    const Writer writer(style);
    const Survey& present = surveys.present;
    QueryBuffer query;
    const QueryState state = read_query(argc, argv, query);
    const PortList listed = listed_ports(present);
    // The same query and the same selection as comlookup's own run.
    const std::int32_t status = state == QueryState::ready ? select_port(listed, query.data()) : EXIT_NOT_FOUND;

    std::string text(argc >= 2 && is_help(argv[1]) ? USAGE : "");
    const char* const wanted = state == QueryState::ready ? query.data() : nullptr;
    if (wanted != nullptr) {
        text +=
            "Query: " + writer.quote(wanted) + " (" + std::to_string(std::string_view(wanted).size()) + " bytes)\n\n";
    }
    for (const Survey* survey : {&present, &surveys.other_classes, &surveys.known}) {
        if (survey->failure) {
            text += failure_text(*survey->failure) + '\n';
        }
    }

    std::vector<Standing> standings;
    Tally tally;
    for (std::size_t i = 0, place = 0; i < present.devices.size(); ++i) {
        const Standing standing = standings.emplace_back(standing_of(present.devices[i], wanted, style.code_page));
        if (standing == Standing::named) {
            tally.matches.push_back(place);
        }
        place += present.devices[i].skip == SkipReason::none ? 1 : 0;
        tally.left_out_matches += standing == Standing::named_but_left_out ? 1 : 0;
        tally.near_misses += standing == Standing::loose_prefix || standing == Standing::further_in ? 1 : 0;
    }
    const auto named = [&](const SurveyedPort& port) {
        return wanted != nullptr && !port.friendly_name.empty() && begins_with_query(port.friendly_name, wanted);
    };

    if (present.devices.empty() && !present.failure) {
        text +=
            "No device of the Ports class is present. Is the device plugged in, and is its driver installed? "
            "Device Manager shows it under \"Ports (COM & LPT)\" once it is.\n";
    } else {
        text += std::to_string(present.devices.size()) + " present device" + (present.devices.size() == 1 ? "" : "s") +
                " of the Ports class, " + std::to_string(listed.size()) +
                " listed, in the order comlookup reads them:\n";
        text += "  status  port      friendly name\n";
        for (std::size_t i = 0; i < present.devices.size(); ++i) {
            text += writer.device_line(present.devices[i], standings[i], tally.matches.empty());
        }
    }

    if (!surveys.other_classes.devices.empty()) {
        text += "\nCOM ports of other setup classes, which comlookup does not read:\n";
        for (const SurveyedPort& port : surveys.other_classes.devices) {
            text += writer.other_line(port, named(port));
            const bool new_class = std::find(tally.other_classes.begin(), tally.other_classes.end(), port.class_name) ==
                                   tally.other_classes.end();
            if (named(port) && new_class) {
                tally.other_classes.push_back(port.class_name);
            }
        }
    }
    const std::vector<SurveyedPort> absent = not_present(surveys.known, present);
    if (!absent.empty()) {
        text += "\nKnown to Windows but not present now, so comlookup does not read them:\n";
        for (const SurveyedPort& port : absent) {
            text += writer.other_line(port, named(port));
            tally.absent_matches += named(port) ? 1 : 0;
        }
    }
    if (present.devices.empty() && !present.failure && surveys.other_classes.devices.empty() && absent.empty()) {
        text += "No other setup class has a COM port, and Windows knows no Ports device that is not present now.\n";
    }
    if (state == QueryState::ready && !present.failure && tally.matches.size() > 1) {
        text += suggestions(listed, tally.matches, writer);
    }
    return text + '\n' + status_line(status, state, argc, argv, tally, surveys, listed, writer);
}

}  // namespace comlookup
