// Sets up a device database for demonstrations in a Wine prefix, and runs a
// program there to report its full 32-bit exit status.
//   devdb clear
//   devdb add PORTNAME FRIENDLY-NAME
//   devdb run PROGRAM [ARG...]
#include <cstdio>
#include <cstring>
#include <string>

#include "device_db.h"
#include "process.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: devdb clear | devdb add PORTNAME FRIENDLY-NAME | devdb run PROGRAM [ARG...]\n");
    return 2;
}

int run(int argc, char** argv) {
    std::string command_line = comlookup::testing::quote_argument(argv[0]);
    for (int i = 1; i < argc; ++i) {
        command_line += " " + comlookup::testing::quote_argument(argv[i]);
    }
    const auto result = comlookup::testing::run_process(command_line, ".");
    if (!result.started) {
        std::fprintf(stderr, "devdb: cannot start %s\n", argv[0]);
        return 2;
    }
    std::fwrite(result.output.data(), 1, result.output.size(), stdout);
    std::printf("%ld\n", static_cast<long>(result.status));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return usage();
    }
    const std::string command = argv[1];
    if (command == "run" && argc >= 3) {
        return run(argc - 2, argv + 2);
    }
    if (!comlookup::testing::running_under_wine()) {
        std::fprintf(stderr, "devdb changes the device database: it runs only under Wine\n");
        return 2;
    }
    if (command == "clear" && argc == 2) {
        return comlookup::testing::clear_ports() ? 0 : 1;
    }
    if (command == "add" && argc == 4) {
        return comlookup::testing::add_port({argv[3], argv[2]}) ? 0 : 1;
    }
    return usage();
}
