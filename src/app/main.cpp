#include "app/fail_closed.h"
#include "common/port_entry.h"
#include "lookup/run_lookup.h"

// comlookup says nothing even when it fails: -1 sends every caller down its
// failure branch.
const comlookup::ProcessFailure comlookup::PROCESS_FAILURE{comlookup::EXIT_NOT_FOUND, nullptr};

int main(int argc, char** argv) {
    return comlookup::run_fail_closed(comlookup::run_lookup, argc, argv);
}
