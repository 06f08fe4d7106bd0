// Sets up a device database for demonstrations in a Wine prefix, and runs a
// program there to report its full 32-bit exit status.
//   devdb clear
//   devdb add PORTNAME FRIENDLY-NAME [PORTNAME FRIENDLY-NAME...]
//   devdb remove FRIENDLY-NAME   the Ports devices with this name
//   devdb add-modem PORTNAME FRIENDLY-NAME   a device of the Modem class
//   devdb add-unnamed PORTNAME DESCRIPTION   a Ports device with no friendly name
//   devdb run PROGRAM [ARG...]
//   devdb time RUNS PROGRAM [ARG...]   median wall time in ms, and the status
//   devdb wait-time RUNS PORTNAME FRIENDLY-NAME PROGRAM [ARG...]
//       runs PROGRAM (comlookup-wait), adds the device a second later, and
//       prints the median ms from the device's appearing to the program's
//       end, and its last status
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device_db.h"
#include "listing/text.h"
#include "process.h"

namespace {

using comlookup::testing::ProcessResult;

int usage() {
    std::fprintf(stderr,
                 "usage: devdb clear | devdb add PORTNAME FRIENDLY-NAME... | devdb add-modem|add-unnamed PORTNAME NAME"
                 " | devdb run PROGRAM [ARG...]"
                 " | devdb time RUNS PROGRAM [ARG...]\n");
    return 2;
}

std::string command_line_of(int argc, char** argv) {
    std::string command_line = comlookup::command_line_argument(argv[0]);
    for (int i = 1; i < argc; ++i) {
        command_line += " " + comlookup::command_line_argument(argv[i]);
    }
    return command_line;
}

ProcessResult run_or_die(const std::string& command_line) {
    ProcessResult result = comlookup::testing::run_process(command_line, ".");
    if (!result.started) {
        std::fprintf(stderr, "devdb: cannot run %s\n", command_line.c_str());
        std::exit(2);
    }
    return result;
}

int run(int argc, char** argv) {
    const ProcessResult result = run_or_die(command_line_of(argc, argv));
    std::fwrite(result.output.data(), 1, result.output.size(), stdout);
    std::printf("%ld\n", static_cast<long>(result.status));
    return 0;
}

double milliseconds_between(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

int time_runs(int runs, int argc, char** argv) {
    const std::string command_line = command_line_of(argc, argv);
    std::vector<double> milliseconds;
    long status = 0;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        QueryPerformanceCounter(&start);
        status = run_or_die(command_line).status;
        QueryPerformanceCounter(&end);
        milliseconds.push_back(milliseconds_between(start, end));
    }
    std::printf("%.2f %ld\n", median(milliseconds), status);
    return 0;
}

int time_waits(int runs, const comlookup::testing::FakePort& device, int argc, char** argv) {
    const std::string command_line = command_line_of(argc, argv);
    std::vector<double> latencies;
    long status = 0;
    for (int i = 0; i < runs; ++i) {
        if (!comlookup::testing::remove_ports_named(*device.friendly_name)) {
            return 1;
        }
        comlookup::testing::ChildProcess child = comlookup::testing::start_process(command_line, ".");
        // Past its start-up, into plain waiting.
        Sleep(1000);
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        if (!comlookup::testing::add_port(device)) {
            return 1;
        }
        // From the moment the device is whole: its "PortName" is written last.
        QueryPerformanceCounter(&start);
        WaitForSingleObject(child.process.get(), INFINITE);
        QueryPerformanceCounter(&end);
        status = comlookup::testing::finish_process(child).status;
        latencies.push_back(milliseconds_between(start, end));
    }
    std::printf("%.2f %ld\n", median(latencies), status);
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
    if (command == "time" && argc >= 4 && std::atoi(argv[2]) > 0) {
        return time_runs(std::atoi(argv[2]), argc - 3, argv + 3);
    }
    if (!comlookup::testing::running_under_wine()) {
        std::fprintf(stderr, "devdb changes the device database: it runs only under Wine\n");
        return 2;
    }
    if (command == "clear" && argc == 2) {
        return comlookup::testing::clear_ports() ? 0 : 1;
    }
    if (command == "add" && argc >= 4 && argc % 2 == 0) {
        std::vector<comlookup::testing::FakePort> ports;
        for (int i = 2; i < argc; i += 2) {
            ports.push_back({argv[i + 1], argv[i]});
        }
        if (!comlookup::testing::add_ports(ports)) {
            std::fprintf(stderr, "devdb: cannot add the devices\n");
            return 1;
        }
        return 0;
    }
    if (command == "wait-time" && argc >= 6 && std::atoi(argv[2]) > 0) {
        return time_waits(std::atoi(argv[2]), {argv[4], argv[3]}, argc - 5, argv + 5);
    }
    if (command == "remove" && argc == 3) {
        return comlookup::testing::remove_ports_named(argv[2]) ? 0 : 1;
    }
    if ((command == "add-modem" || command == "add-unnamed") && argc == 4) {
        comlookup::testing::FakePort port{argv[3], argv[2]};
        if (command == "add-modem") {
            port.setup_class = &comlookup::testing::modem_class();
        } else {
            port.friendly_name.reset();
            port.description = argv[3];
        }
        return comlookup::testing::add_ports({port}) ? 0 : 1;
    }
    return usage();
}
