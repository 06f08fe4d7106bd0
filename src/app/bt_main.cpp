// comlookup-bt [--wait SECONDS] TERM...: the port of the one present
// Bluetooth serial port whose remote device has this name or address, as
// comlookup answers for a name.
#include <cstdint>
#include <string>

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
    static std::string help() {
        return "the port of the one present Bluetooth serial port\n"
               "whose paired device meets every TERM, as its exit status. Prints nothing else.\n"
               "\n"
               "Usage: comlookup-bt TERM...\n"
               "       comlookup-bt --wait SECONDS TERM...\n"
               "\n"
               "Each TERM is one argument, KEY=VALUE:\n" +
               comlookup::bt_key_lines() +
               "  --wait SECONDS   first: waits up to SECONDS (0 to 86400) until one does\n"
               "\n"
               "Exit status: the port number, 5 for COM5; -1 when no port meets every TERM\n"
               "(or one that could not be read in full might), on a bad command line and\n"
               "after this help; -2 when more than one port meets every TERM.\n"
               "Example: comlookup-bt name=HC-05\n"
               "comlookup-list shows each port's TERMs. More in docs\\bluetooth.md beside\n"
               "README.md.\n";
    }
    static constexpr auto read = comlookup::read_bt_command;
    static std::int32_t look(const comlookup::BtTerms& terms) {
        return comlookup::select_bt_port(comlookup::survey_bt_ports(terms), terms);
    }
};

}  // namespace

int main(int argc, char** argv) {
    return comlookup::run_fail_closed(comlookup::find_by_terms<Bluetooth>, argc, argv);
}
