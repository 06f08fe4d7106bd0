// comlookup-usb [--wait SECONDS] TERM...: the port of the one present device
// with this USB identity, as comlookup answers for a name.
#include <cstdint>
#include <string>

#include "app/fail_closed.h"
#include "app/identity_main.h"
#include "common/port_entry.h"
#include "common/port_survey.h"
#include "lookup/usb_terms.h"

// Silent on failure, like comlookup, which it stands in for.
const comlookup::ProcessFailure comlookup::PROCESS_FAILURE{comlookup::EXIT_NOT_FOUND, nullptr};

namespace {

struct Usb {
    static constexpr const char* NAME = "comlookup-usb";
    static constexpr const char* USAGE = "comlookup-usb [--wait SECONDS] TERM...";
    static std::string help() {
        return "the port of the one present serial device whose USB\n"
               "identity meets every TERM, as its exit status. Prints nothing else.\n"
               "\n"
               "Usage: comlookup-usb TERM...\n"
               "       comlookup-usb --wait SECONDS TERM...\n"
               "\n"
               "Each TERM is one argument, KEY=VALUE:\n" +
               comlookup::usb_key_lines() +
               "  --wait SECONDS   first: waits up to SECONDS (0 to 86400) until one does\n"
               "\n"
               "Exit status: the port number, 3 for COM3; -1 when no device meets every TERM\n"
               "(or one that could not be read in full might), on a bad command line and\n"
               "after this help; -2 when more than one device meets every TERM.\n"
               "Example: comlookup-usb vid=2E8A pid=000A\n"
               "comlookup-list shows each device's TERMs. More in docs\\usb.md beside\n"
               "README.md.\n";
    }
    static constexpr auto read = comlookup::read_usb_command;
    static std::int32_t look(const comlookup::UsbTerms& terms) {
        return comlookup::select_usb_port(comlookup::survey_usb_ports(terms), terms);
    }
};

}  // namespace

int main(int argc, char** argv) {
    return comlookup::run_fail_closed(comlookup::find_by_terms<Usb>, argc, argv);
}
