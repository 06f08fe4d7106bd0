#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/port_survey.h"
#include "listing/device_description.h"
#include "listing/listing_model.h"

namespace comlookup {

// A moment as the watch stamps it: the local time, and how far it is ahead
// of UTC.
struct Stamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
    int utc_offset_minutes = 0;
};

// "18:43:53.120", for people; "2026-12-09T18:43:53.120+01:00", ISO 8601.
std::string clock_text(const Stamp& stamp);
std::string iso_text(const Stamp& stamp);

// What "comlookup-list [--json] --watch [--for SECONDS] [WORD...]" asks for.
struct WatchCommand {
    bool json = false;
    std::optional<std::uint32_t> seconds;  // none: until Ctrl+C
    std::vector<std::string> arguments;    // the program's name, then the WORDs, as the listing reads them
    std::string error;                     // empty when the command line is good
};

// The watch's command line, or none when the words ask for a listing.
std::optional<WatchCommand> read_watch_command(int argc, const char* const* argv);

// Reads a device's identity where it arrives; one walk of the Bluetooth class.
using ReadIdentity = void (*)(SurveyedPort& port);
using ReadBluetooth = BtDevices (*)();

// What the watch knows between looks.
struct Watch {
    WatchCommand command;
    ListingStyle style;
    std::optional<Survey> last = std::nullopt;  // the last whole look, identities read
    BtDevices bluetooth = {};
    bool fell_short = false;  // a walk fell short at some look
};

// What the watch writes for one look at `now`: after the first whole look,
// the devices present and those being installed; after each later one, what
// changed, an arrival with its identity and the command that picks it out
// among the devices present now; for a look whose walk fell short, that.
// Reads an identity only for a device it has not seen listed before.
std::string watch_look(Watch& watch, Survey look, const Stamp& now, ReadIdentity read, ReadBluetooth bluetooth);

// The last line, when the watch ends by its deadline: what its status says.
std::string watch_end(const Watch& watch, const Stamp& now);

}  // namespace comlookup
