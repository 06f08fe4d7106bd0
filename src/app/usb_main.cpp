// comlookup-usb [--wait SECONDS] TERM...: the port of the one present device
// with this USB identity, as comlookup answers for a name.
#include <cstdint>

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
    static constexpr auto read = comlookup::read_usb_command;
    static std::int32_t look(const comlookup::UsbTerms& terms) {
        return comlookup::select_usb_port(comlookup::survey_usb_ports(terms), terms);
    }
};

}  // namespace

int main(int argc, char** argv) {
    return comlookup::run_fail_closed(comlookup::find_by_terms<Usb>, argc, argv);
}
