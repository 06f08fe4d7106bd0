#include "listing/describe_lookup.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "lookup/query.h"
#include "lookup/select_port.h"

namespace comlookup {
namespace {

constexpr std::string_view USAGE =
    "Usage: comlookup-list [WORD...]\n"
    "\n"
    "Lists the present devices of the Ports class as comlookup sees them, in\n"
    "the order it reads them: for each, the exit status comlookup gives when\n"
    "that device alone matches, its port name and its friendly name, or why\n"
    "comlookup leaves it out. With WORDs, says what \"comlookup WORD...\" does\n"
    "and why, and marks the devices the words name (*) or nearly name (~).\n"
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

// Lower case, each run of blanks one blank, no blanks at either end.
std::string loosened(std::string_view text) {
    std::string loose;
    bool blank_pending = false;
    for (const char c : text) {
        if (is_blank(c)) {
            blank_pending = !loose.empty();
            continue;
        }
        if (blank_pending) {
            loose += ' ';
            blank_pending = false;
        }
        loose += folded(c);
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
std::string misreading(const SurveyedPort& port) {
    const std::int32_t status = port_number(port.port_name);
    if (status == EXIT_NOT_FOUND) {
        return "a caller takes status -1 for \"no device matches\"";
    }
    if (status == EXIT_AMBIGUOUS) {
        return "a caller takes status -2 for \"more than one device matches\"";
    }
    if (status < 0) {
        return "a caller takes a negative status for a failure";
    }
    if (!has_port_number(port.port_name)) {
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

Standing standing_of(const SurveyedPort& port, const char* query) {
    if (query == nullptr || !friendly_name_read(port.skip)) {
        return Standing::unrelated;
    }
    const bool listed = port.skip == SkipReason::none;
    if (begins_with_query(port.friendly_name, query)) {
        return listed ? Standing::named : Standing::named_but_left_out;
    }
    switch (listed ? near_miss(port.friendly_name, query) : NearMiss::none) {
        case NearMiss::none:
            break;
        case NearMiss::loose_prefix:
            return Standing::loose_prefix;
        case NearMiss::further_in:
            return Standing::further_in;
    }
    return Standing::unrelated;
}

class Writer {
public:
    explicit Writer(const ListingStyle& style) : style_(style) {}

    std::string show(std::string_view text) const { return shown(text, style_.code_page, style_.sink); }
    // Quoted, so that blanks at either end show.
    std::string quote(std::string_view text) const { return '"' + show(text) + '"'; }

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
        if (const std::string odd = listed ? misreading(port) : ""; !odd.empty()) {
            note += note.empty() ? odd : "; " + odd;
        }
        std::string line(1, mark);
        line += ' ';
        const std::string status = listed ? std::to_string(port_number(port.port_name)) : "-";
        line += std::string(status.size() < 6 ? 6 - status.size() : 0, ' ') + status + "  ";
        line += padded(port_name_read(port.skip) ? show(port.port_name) : "-", 8) + "  ";
        line += friendly_name_read(port.skip) ? quote(port.friendly_name) : "-";
        if (!note.empty()) {
            line += "  " + note;
        }
        return line + '\n';
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
    int matches = 0;
    const SurveyedPort* match = nullptr;  // the first
    int near_misses = 0;
    int left_out_matches = 0;
};

std::string status_line(std::int32_t status, QueryState state, int argc, const char* const* argv, const Tally& tally,
                        const Survey& survey, const Writer& writer) {
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
            if (survey.failure) {
                meaning = "comlookup's walk of the device database is incomplete (see above)";
            } else if (tally.matches == 1) {
                meaning = "exactly one listed device's friendly name begins with the query, on " +
                          writer.show(tally.match->port_name);
                if (const std::string odd = misreading(*tally.match); !odd.empty()) {
                    meaning += "; " + odd;
                }
            } else if (tally.matches > 1) {
                meaning = std::to_string(tally.matches) +
                          " listed devices' friendly names begin with the query (marked *); comlookup needs exactly "
                          "one";
            } else {
                meaning = "no listed device's friendly name begins with the query";
                if (tally.near_misses > 0) {
                    meaning += "; near misses are marked ~";
                }
                if (tally.left_out_matches > 0) {
                    meaning += "; the only names that begin with it are on devices comlookup leaves out";
                }
            }
            break;
    }
    return "exit status " + std::to_string(status) + ": " + meaning + '\n';
}

}  // namespace

NearMiss near_miss(std::string_view friendly_name, std::string_view query) {
    if (begins_with_query(friendly_name, query)) {
        return NearMiss::none;
    }
    const std::string wanted = loosened(query);
    if (wanted.empty()) {
        return NearMiss::none;
    }
    const std::size_t at = loosened(friendly_name).find(wanted);
    if (at == std::string::npos) {
        return NearMiss::none;
    }
    return at == 0 ? NearMiss::loose_prefix : NearMiss::further_in;
}

bool survey_complete(const Survey& survey) {
    if (survey.failure) {
        return false;
    }
    for (const SurveyedPort& port : survey.devices) {
        if (unreadable(port.skip)) {
            return false;
        }
    }
    return true;
}

std::string describe_lookup(const Survey& survey, int argc, const char* const* argv, const ListingStyle& style) {
    const Writer writer(style);
    QueryBuffer query;
    const QueryState state = read_query(argc, argv, query);
    const PortList listed = listed_ports(survey);
    // The same query and the same selection as comlookup's own run.
    const std::int32_t status = state == QueryState::ready ? select_port(listed, query.data()) : EXIT_NOT_FOUND;

    std::string text(argc >= 2 && is_help(argv[1]) ? USAGE : "");
    const char* const wanted = state == QueryState::ready ? query.data() : nullptr;
    if (wanted != nullptr) {
        text +=
            "Query: " + writer.quote(wanted) + " (" + std::to_string(std::string_view(wanted).size()) + " bytes)\n\n";
    }
    if (survey.failure) {
        text += failure_text(*survey.failure) + '\n';
    }
    text += std::to_string(survey.devices.size()) + " present device" + (survey.devices.size() == 1 ? "" : "s") +
            " of the Ports class, " + std::to_string(listed.size()) + " listed, in the order comlookup reads them:\n";

    std::vector<Standing> standings;
    Tally tally;
    for (const SurveyedPort& port : survey.devices) {
        const Standing standing = standings.emplace_back(standing_of(port, wanted));
        if (standing == Standing::named && tally.matches++ == 0) {
            tally.match = &port;
        }
        tally.left_out_matches += standing == Standing::named_but_left_out ? 1 : 0;
        tally.near_misses += standing == Standing::loose_prefix || standing == Standing::further_in ? 1 : 0;
    }
    if (!survey.devices.empty()) {
        text += "  status  port      friendly name\n";
        for (std::size_t i = 0; i < survey.devices.size(); ++i) {
            text += writer.device_line(survey.devices[i], standings[i], tally.matches == 0);
        }
    }
    return text + '\n' + status_line(status, state, argc, argv, tally, survey, writer);
}

}  // namespace comlookup
