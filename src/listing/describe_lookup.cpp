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

// A name as the listing shows it: control bytes in a device's name must not
// break the listing's lines or reach a terminal as commands.
std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", byte);
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

// Quoted, so that blanks at either end show.
std::string quoted(std::string_view text) {
    return '"' + escaped(text) + '"';
}

std::string_view reason_text(SkipReason skip) {
    switch (skip) {
        case SkipReason::none:
            break;
        case SkipReason::no_friendly_name:
            return "left out: no friendly name";
        case SkipReason::friendly_name_too_long:
            return "left out: friendly name longer than 255 bytes";
        case SkipReason::no_device_key:
            return "left out: no device key to read \"PortName\" from";
        case SkipReason::no_port_name:
            return "left out: no \"PortName\" value";
        case SkipReason::port_name_too_long:
            return "left out: \"PortName\" longer than 255 bytes";
        case SkipReason::not_com:
            return "left out: port name does not begin with \"COM\"";
    }
    return {};
}

bool friendly_name_read(SkipReason skip) {
    return skip != SkipReason::no_friendly_name && skip != SkipReason::friendly_name_too_long;
}

bool port_name_read(SkipReason skip) {
    return friendly_name_read(skip) && skip != SkipReason::no_device_key && skip != SkipReason::no_port_name &&
           skip != SkipReason::port_name_too_long;
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

// Near misses are only worth showing when nothing matches.
std::string device_line(const SurveyedPort& port, Standing standing, bool show_near_misses) {
    const bool listed = port.skip == SkipReason::none;
    char mark = ' ';
    std::string note(reason_text(port.skip));
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
    std::string line(1, mark);
    line += ' ';
    const std::string status = listed ? std::to_string(port_number(port.port_name)) : "-";
    line += std::string(status.size() < 6 ? 6 - status.size() : 0, ' ') + status + "  ";
    line += padded(port_name_read(port.skip) ? escaped(port.port_name) : "-", 8) + "  ";
    line += friendly_name_read(port.skip) ? quoted(port.friendly_name) : "-";
    if (!note.empty()) {
        line += "  " + note;
    }
    return line + '\n';
}

// What the listing's lines say about the query, for its last line.
struct Tally {
    int matches = 0;
    std::string matched_port;  // of the first match
    int near_misses = 0;
    int left_out_matches = 0;
};

std::string status_line(std::int32_t status, QueryState state, int argc, const char* const* argv, const Tally& tally) {
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
            if (tally.matches == 1) {
                meaning = "exactly one listed device's friendly name begins with the query, on " +
                          escaped(tally.matched_port);
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

std::string describe_lookup(const Survey& survey, int argc, const char* const* argv) {
    QueryBuffer query;
    const QueryState state = read_query(argc, argv, query);
    const PortList listed = listed_ports(survey);
    // The same query and the same selection as comlookup's own run.
    const std::int32_t status = state == QueryState::ready ? select_port(listed, query.data()) : EXIT_NOT_FOUND;

    std::string text;
    const char* const wanted = state == QueryState::ready ? query.data() : nullptr;
    if (wanted != nullptr) {
        text += "Query: " + quoted(wanted) + " (" + std::to_string(std::string_view(wanted).size()) + " bytes)\n\n";
    }
    text += std::to_string(survey.size()) + " present device" + (survey.size() == 1 ? "" : "s") +
            " of the Ports class, " + std::to_string(listed.size()) + " listed, in the order comlookup reads them:\n";

    std::vector<Standing> standings;
    Tally tally;
    for (const SurveyedPort& port : survey) {
        const Standing standing = standings.emplace_back(standing_of(port, wanted));
        if (standing == Standing::named && tally.matches++ == 0) {
            tally.matched_port = port.port_name;
        }
        tally.left_out_matches += standing == Standing::named_but_left_out ? 1 : 0;
        tally.near_misses += standing == Standing::loose_prefix || standing == Standing::further_in ? 1 : 0;
    }
    if (!survey.empty()) {
        text += "  status  port      friendly name\n";
        for (std::size_t i = 0; i < survey.size(); ++i) {
            text += device_line(survey[i], standings[i], tally.matches == 0);
        }
    }
    return text + '\n' + status_line(status, state, argc, argv, tally);
}

}  // namespace comlookup
