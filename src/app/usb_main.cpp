// comlookup-usb [--wait SECONDS] TERM...: the port of the one present device
// with this USB identity, as comlookup answers for a name.
#include <cstdint>

#include "app/fail_closed.h"
#include "app/wait_loop.h"
#include "common/port_entry.h"
#include "common/port_survey.h"
#include "lookup/usb_terms.h"

// Silent on failure, like comlookup, which it stands in for.
const comlookup::ProcessFailure comlookup::PROCESS_FAILURE{comlookup::EXIT_NOT_FOUND, nullptr};

namespace {

std::int32_t look(const void* context) {
    const auto& terms = *static_cast<const comlookup::UsbTerms*>(context);
    return comlookup::select_usb_port(comlookup::survey_usb_ports(terms), terms);
}

std::int32_t find(int argc, const char* const* argv) {
    const comlookup::UsbCommand command = comlookup::read_usb_command(argc, argv);
    if (!command.error.empty()) {
        comlookup::write_usage_error("comlookup-usb", command.error, "comlookup-usb [--wait SECONDS] TERM...");
        return comlookup::EXIT_NOT_FOUND;
    }
    return comlookup::look_or_wait(command.wait_seconds, look, &command.terms);
}

}  // namespace

int main(int argc, char** argv) {
    return comlookup::run_fail_closed(find, argc, argv);
}
