#include "listing/watch.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

#include "listing/describe_lookup.h"
#include "lookup/survey_changes.h"
#include "lookup/wait_command.h"

namespace comlookup {
namespace {

// Where a device's name starts in the watch's rows, after the time, the
// mark, the event's sign and the port.
constexpr std::size_t WATCH_NAME_COLUMN = 26;

const char* event_name(ChangeKind kind, bool first) {
    switch (kind) {
        case ChangeKind::leave:
            return "leave";
        case ChangeKind::arrive:
            return first ? "present" : "arrive";
        case ChangeKind::installing:
            return "installing";
    }
    return "";
}

char event_sign(ChangeKind kind, bool first) {
    return kind == ChangeKind::leave ? '-' : kind == ChangeKind::installing ? '?' : first ? ' ' : '+';
}

// The identities of `look`'s listed devices, and the problems Windows
// reports with them: kept from the last look for the devices it listed,
// read for the others.
void identify(Survey& look, const std::optional<Survey>& last, ReadIdentity read) {
    for (SurveyedPort& port : look.devices) {
        if (port.skip != SkipReason::none) {
            continue;
        }
        const auto same = [&](const SurveyedPort& before) {
            return before.skip == SkipReason::none && same_device(before, port);
        };
        const auto known = last ? std::find_if(last->devices.begin(), last->devices.end(), same)
                                : std::vector<SurveyedPort>::const_iterator{};
        if (!last || known == last->devices.end()) {
            read(port);
            continue;
        }
        port.usb = known->usb;
        port.bt = known->bt;
        port.problem = known->problem;
    }
}

class WatchWriter {
public:
    WatchWriter(const Watch& watch, const Stamp& now)
        : watch_(watch), text_(watch.style), json_(watch.style.code_page), now_(now) {}

    std::string event(ChangeKind kind, bool first, const DeviceFacts& facts,
                      const std::optional<Suggestion>& suggestion) const {
        if (watch_.command.json) {
            std::string command = "null";
            if (suggestion && suggestion->kind != SuggestionKind::none) {
                command = json_.text(suggestion->command);
            }
            return JsonWriter::one_line({{"event", json_.text(event_name(kind, first))},
                                         {"time", json_.text(iso_text(now_))},
                                         {"device", JsonWriter::one_line(json_.device_fields(facts, false))},
                                         {"command", command}}) +
                   '\n';
        }
        const SurveyedPort& port = facts.device;
        std::string head = clock_text(now_) + ' ';
        head += facts.standing == Standing::named ? '*' : ' ';
        head += event_sign(kind, first);
        head += ' ';
        std::string note;
        if (kind == ChangeKind::installing) {
            note = "not yet listed: " + left_out_reason(port);
        } else if (kind == ChangeKind::arrive) {
            note = misreading(port.port_name);
        }
        std::string lines =
            text_.row(text_.lead(head, port_name_read(port.skip) ? port.port_name : "-", WATCH_NAME_COLUMN),
                      text_.name_of(port), note, WATCH_NAME_COLUMN);
        if (first && kind == ChangeKind::arrive) {
            return lines + text_.problem_lines(port, WATCH_NAME_COLUMN);
        }
        if (kind != ChangeKind::leave) {
            lines += text_.id_lines(facts, WATCH_NAME_COLUMN);
        }
        if (!suggestion || first) {
            return lines;
        }
        if (suggestion->kind == SuggestionKind::none) {
            return lines + text_.paragraph(why_none(*suggestion, text_), WATCH_NAME_COLUMN);
        }
        lines += text_.wrapped({"picked out by:", text_.show(suggestion->command)}, WATCH_NAME_COLUMN);
        if (suggestion->command.find('%') != std::string::npos) {
            lines += text_.paragraph("(in a batch file, write each % as %%)", WATCH_NAME_COLUMN);
        }
        return lines;
    }

    std::string incomplete(const WalkFailure& failure) const {
        const std::string what = walk_failure_text(failure);
        if (watch_.command.json) {
            return JsonWriter::one_line({{"event", json_.text("incomplete")},
                                         {"time", json_.text(iso_text(now_))},
                                         {"device", "null"},
                                         {"command", "null"},
                                         {"failure", json_.text(what)}}) +
                   '\n';
        }
        return text_.paragraph(clock_text(now_) + " ! " + what + ": this look is not compared.");
    }

    const TextWriter& text() const { return text_; }

private:
    const Watch& watch_;
    TextWriter text_;
    JsonWriter json_;
    const Stamp& now_;
};

std::string two_digits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::vector<const char*> argv_of(const std::vector<std::string>& arguments) {
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

std::string clock_text(const Stamp& stamp) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", stamp.hour, stamp.minute, stamp.second, stamp.millisecond);
    return text;
}

std::string iso_text(const Stamp& stamp) {
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", stamp.year, stamp.month, stamp.day);
    const int offset = stamp.utc_offset_minutes < 0 ? -stamp.utc_offset_minutes : stamp.utc_offset_minutes;
    return std::string(date) + 'T' + clock_text(stamp) + (stamp.utc_offset_minutes < 0 ? '-' : '+') +
           two_digits(offset / 60) + ':' + two_digits(offset % 60);
}

std::optional<WatchCommand> read_watch_command(int argc, const char* const* argv) {
    WatchCommand command;
    int at = 1;
    command.json = argc > at && std::string_view(argv[at]) == "--json";
    at += command.json ? 1 : 0;
    if (argc <= at || std::string_view(argv[at]) != "--watch") {
        return std::nullopt;
    }
    ++at;
    if (argc > at && std::string_view(argv[at]) == "--for") {
        command.seconds = argc > at + 1 ? read_seconds(argv[at + 1]) : std::nullopt;
        if (!command.seconds) {
            command.error = argc > at + 1 ? seconds_error() : "no SECONDS after --for";
            return command;
        }
        at += 2;
    }
    command.arguments.emplace_back(argv[0]);
    for (; at < argc; ++at) {
        command.arguments.emplace_back(argv[at]);
    }
    return command;
}

std::string watch_look(Watch& watch, Survey look, const Stamp& now, ReadIdentity read, ReadBluetooth bluetooth) {
    const WatchWriter writer(watch, now);
    if (look.failure) {
        watch.fell_short = true;
        return writer.incomplete(*look.failure);
    }
    const bool first = !watch.last;
    std::vector<Change> changes;
    if (first) {
        for (const SurveyedPort& port : look.devices) {
            if (port.skip == SkipReason::none || being_installed(port)) {
                changes.push_back({port.skip == SkipReason::none ? ChangeKind::arrive : ChangeKind::installing, port});
            }
        }
    } else {
        changes = survey_changes(*watch.last, look).value_or(std::vector<Change>{});
    }
    // Every whole look becomes the last, changed or not: a device renamed in
    // place must leave under its new name, and one that stops being
    // installed must be seen starting again.
    identify(look, watch.last, read);
    if (changes.empty() && !first) {
        watch.last = std::move(look);
        return {};
    }
    const std::vector<const char*> argv = argv_of(watch.command.arguments);
    const auto listing_of = [&](const Survey& survey) {
        return model_listing(Surveys{survey, {}, {}, watch.bluetooth}, static_cast<int>(argv.size() - 1), argv.data(),
                             watch.style.code_page);
    };
    bool arrivals = first;
    bool departures = false;
    for (const Change& change : changes) {
        arrivals = arrivals || change.kind == ChangeKind::arrive;
        departures = departures || change.kind == ChangeKind::leave;
    }
    // Modelled only when a departure needs its words, so a quiet look costs
    // no more than the comparison.
    const Listing before = departures ? listing_of(*watch.last) : Listing{};
    if (arrivals) {
        watch.bluetooth = bluetooth();
    }
    const Listing listing = listing_of(look);
    watch.last = std::move(look);

    std::vector<const SurveyedPort*> listed;
    for (const DeviceFacts& facts : listing.present) {
        if (facts.device.skip == SkipReason::none) {
            listed.push_back(&facts.device);
        }
    }
    std::string out;
    if (first && !watch.command.json) {
        out += writer.text().paragraph(
            "Watching the Ports class as comlookup reads it: + arrives, - leaves, ? being installed; * named by the "
            "words. Ctrl+C ends.");
        if (listed.empty()) {
            out += clock_text(now) + "  no device of the Ports class is listed now\n";
        }
    }
    for (const Change& change : changes) {
        const std::vector<DeviceFacts>& facts = change.kind == ChangeKind::leave ? before.present : listing.present;
        for (const DeviceFacts& device : facts) {
            const bool same = change.kind == ChangeKind::installing
                                  ? device.device.instance_id == change.device.instance_id
                                  : device.device.skip == SkipReason::none && same_device(device.device, change.device);
            if (!same) {
                continue;
            }
            std::optional<Suggestion> suggestion;
            for (std::size_t place = 0; place < listed.size() && change.kind == ChangeKind::arrive; ++place) {
                if (listed[place] == &device.device) {
                    suggestion =
                        pick_out(listed, place, device.serial_maybe_shared_with.empty(), watch.style.code_page);
                }
            }
            out += writer.event(change.kind, first, device, suggestion);
            break;
        }
    }
    return out;
}

std::string watch_end(const Watch& watch, const Stamp& now) {
    if (watch.command.json || !watch.fell_short) {
        return {};
    }
    return TextWriter(watch.style)
        .paragraph(clock_text(now) + " ! A walk of the device database fell short during the watch: exit status 1.");
}

}  // namespace comlookup
