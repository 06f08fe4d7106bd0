#pragma once

#include <cstdint>
#include <string_view>

#include "common/fit.h"
#include "common/port_entry.h"
#include "common/port_survey.h"

namespace comlookup {

// Whether an entry with this friendly name is named by `query`: the name
// begins with it, byte for byte.
bool begins_with_query(std::string_view friendly_name, std::string_view query);

// The status that names a port: the number after "COM" in `port_name`, read
// as atoi reads it but saturating, 0 when no digit follows.
std::int32_t port_number(std::string_view port_name);

// Whether port_number finds digits in `port_name`; without any it gives 0.
bool has_port_number(std::string_view port_name);

// The port number read from the port name of the one entry that `named`
// picks, EXIT_NOT_FOUND when none does, EXIT_AMBIGUOUS as soon as a second
// one does.
template <typename Entries, typename Named>
std::int32_t select_one(const Entries& entries, Named named) {
    int matches = 0;
    std::int32_t port = EXIT_NOT_FOUND;
    for (const auto& entry : entries) {
        if (!named(entry)) {
            continue;
        }
        if (++matches > 1) {
            return EXIT_AMBIGUOUS;
        }
        port = port_number(entry.port_name);
    }
    return port;
}

// As select_one, for entries weighed by `fit`; EXIT_NOT_FOUND also when an
// entry might fit but a part of it could not be read, since it could be the
// one meant and answering with another's port would be wrong.
template <typename Entries, typename FitOf>
std::int32_t select_fitting(const Entries& entries, FitOf fit) {
    for (const auto& entry : entries) {
        if (fit(entry) == Fit::unknown) {
            return EXIT_NOT_FOUND;
        }
    }
    return select_one(entries, [&](const auto& entry) { return fit(entry) == Fit::yes; });
}

// The port of the one device comlookup lists in `survey` that `fit` finds
// fitting, weighed as select_fitting weighs; EXIT_NOT_FOUND for a walk that
// fell short, as for comlookup: a device it did not see might fit too.
template <typename FitOf>
std::int32_t select_surveyed(const Survey& survey, FitOf fit) {
    if (survey.failure) {
        return EXIT_NOT_FOUND;
    }
    return select_fitting(survey.devices, [&](const SurveyedPort& device) {
        return device.skip == SkipReason::none ? fit(device) : Fit::no;
    });
}

// The port number of the one entry whose friendly name begins with `query`
// (byte for byte), EXIT_NOT_FOUND when none does, EXIT_AMBIGUOUS when more
// than one does.
std::int32_t select_port(const PortList& list, std::string_view query);

}  // namespace comlookup
