// comlookup-bt [--wait SECONDS] TERM...: the port of the one present
// Bluetooth serial port whose remote device has this name or address, as
// comlookup answers for a name.
#include <cstdint>

#include "app/fail_closed.h"
#include "app/identity_main.h"
#include "common/port_entry.h"
#include "common/port_survey.h"
#include "lookup/bt_terms.h"

// Silent on failure, like comlookup, which it stands in for.
const comlookup::ProcessFailure comlookup::PROCESS_FAILURE{comlookup::EXIT_NOT_FOUND, nullptr};

namespace {

struct Bluetooth {
    static constexpr const char* NAME = "comlookup-bt";
    static constexpr const char* USAGE = "comlookup-bt [--wait SECONDS] TERM...";
    static constexpr auto read = comlookup::read_bt_command;
    static std::int32_t look(const comlookup::BtTerms& terms) {
        return comlookup::select_bt_port(comlookup::survey_bt_ports(terms), terms);
    }
};

}  // namespace

int main(int argc, char** argv) {
    return comlookup::run_fail_closed(comlookup::find_by_terms<Bluetooth>, argc, argv);
}
