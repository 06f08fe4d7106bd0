// Sets up a device database for demonstrations in a Wine prefix, and runs a
// program there to report its full 32-bit exit status.
//   devdb clear
//   devdb add PORTNAME FRIENDLY-NAME [PORTNAME FRIENDLY-NAME...]
//   devdb remove FRIENDLY-NAME   the Ports devices with this name
//   devdb add-modem PORTNAME FRIENDLY-NAME   a device of the Modem class
//   devdb add-unnamed PORTNAME DESCRIPTION   a Ports device with no friendly name
//   devdb add-usb PORTNAME FRIENDLY-NAME INSTANCE-ID [parent=ID] [product=TEXT]
//                 [location=TEXT] [hwid=ID]... [path=TEXT]... [problem=CODE] [-- PORTNAME FRIENDLY-NAME INSTANCE-ID
//                 ...]
//       a Ports device with this instance ID, hardware IDs (hwid=, in
//       order), location paths of its own (path=, in order) and the problem
//       code Windows reports for it (problem=, as Device Manager's "Code 10"); with
//       parent=, also a USB-class device with that ID unless one exists (an
//       existing one is kept as it is), which gets product= (its
//       bus-reported description) and location=; without, the port itself
//       gets them. A call to Wine costs far more than a device: add many at
//       once, beyond the 32767 characters of a Windows command line with
//   devdb add-usb -   the same arguments on standard input, one a line
//   devdb add-bt PORTNAME FRIENDLY-NAME INSTANCE-ID [unique=ID] [service=TEXT] [-- ...]
//       a Ports device with this instance ID and, with unique=, that
//       "Bluetooth_UniqueID" in its hardware key; with service=, the
//       service's name where the Bluetooth stack keeps it for the instance
//       ID's device and service, TEXT's bytes as its UTF-8; in place of a port,
//       "device INSTANCE-ID NAME" is a node of the Bluetooth class, which
//       names the remote device. "devdb add-bt -" reads them from standard
//       input, as add-usb does
//   devdb run PROGRAM [ARG...]
//   devdb time RUNS PROGRAM [ARG...] [-- PROGRAM [ARG...]]...
//       median wall time in ms and the last status, a line for each program,
//       which run in turn
//   devdb timetable PROGRAM [ARG...] < TIMETABLE
//       runs PROGRAM while it makes the changes on standard input at their
//       times (see read_timetable in device_db.h), then prints what it
//       wrote and its full exit status, as run does
//   devdb wait-time RUNS PORTNAME FRIENDLY-NAME PROGRAM [ARG...]
//       runs PROGRAM (comlookup-wait), adds the device a second later, and
//       prints the median ms from the device's appearing to the program's
//       end, and its last status
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device_db.h"
#include "listing/text.h"
#include "process.h"

namespace {

using comlookup::testing::FakePort;
using comlookup::testing::ProcessResult;

int usage() {
    std::fprintf(stderr,
                 "usage: devdb clear | devdb add PORTNAME FRIENDLY-NAME... | devdb add-modem|add-unnamed PORTNAME NAME"
                 " | devdb add-usb PORTNAME FRIENDLY-NAME INSTANCE-ID [parent=ID] [product=TEXT] [location=TEXT]"
                 " [hwid=ID]... [path=TEXT]... [problem=CODE] [-- PORTNAME ...]"
                 " | devdb add-bt PORTNAME FRIENDLY-NAME INSTANCE-ID [unique=ID] [service=TEXT]"
                 " | device INSTANCE-ID NAME [-- ...]"
                 " | devdb run PROGRAM [ARG...] | devdb timetable PROGRAM [ARG...] <TIMETABLE"
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

// The devices `devdb add-usb` describes, parents first; false for a
// malformed command line.
bool read_usb_devices(const std::vector<std::string>& arguments, std::vector<FakePort>& devices) {
    std::map<std::string, std::size_t> made;  // a parent this call makes: its place in `devices`
    std::vector<FakePort> ports;
    const std::size_t count = arguments.size();
    for (std::size_t i = 0; i < count;) {
        if (count - i < 3) {
            return false;
        }
        FakePort port{arguments[i + 1], arguments[i]};
        port.instance_id = arguments[i + 2];
        std::optional<std::string> parent;
        std::optional<std::string> product;
        std::optional<std::string> location;
        for (i += 3; i < count && arguments[i] != "--"; ++i) {
            const std::string_view argument = arguments[i];
            const std::size_t equals = argument.find('=');
            if (equals == std::string_view::npos) {
                return false;
            }
            const std::string_view key = argument.substr(0, equals);
            const std::string value(argument.substr(equals + 1));
            if (key == "parent") {
                parent = value;
            } else if (key == "product") {
                product = value;
            } else if (key == "location") {
                location = value;
            } else if (key == "hwid") {
                port.hardware_ids.push_back(value);
            } else if (key == "path") {
                port.location_paths.push_back(value);
            } else if (key == "problem") {
                port.problem = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
            } else {
                return false;
            }
        }
        if (i < count) {
            ++i;  // the "--" before the next device
            if (i == count) {
                return false;
            }
        }
        if (!parent) {
            port.bus_description = product;
            port.location = location;
        } else {
            port.parent = parent;
            const auto known = made.find(*parent);
            if (known != made.end()) {
                FakePort& usb = devices[known->second];
                usb.bus_description = product ? product : usb.bus_description;
                usb.location = location ? location : usb.location;
            } else if (!comlookup::testing::device_exists(*parent)) {
                made.emplace(*parent, devices.size());
                devices.push_back({std::nullopt, std::nullopt, REG_SZ, false, std::nullopt,
                                   &comlookup::testing::usb_class(), parent, std::nullopt, product, location});
            }
        }
        ports.push_back(std::move(port));
    }
    devices.insert(devices.end(), ports.begin(), ports.end());
    return true;
}

// "BTHENUM\{service class}_...\...&98D331FB1A2C_C00000000": the service's
// key under BTHPORT_DEVICES, for a local radio of this helper's own.
std::optional<std::string> service_key_of(const std::string& instance_id) {
    const std::size_t end = instance_id.rfind('_');
    if (end == std::string::npos || end < 12 || instance_id.size() < 46) {
        return std::nullopt;
    }
    std::string address = instance_id.substr(end - 12, 12);
    for (char& c : address) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return address + "\\ServicesFor001a7dda7113\\" + instance_id.substr(8, 38) + '\\' + instance_id.substr(end + 1);
}

// The devices `devdb add-bt` describes, in order; false for a malformed
// command line.
bool read_bt_devices(const std::vector<std::string>& arguments, std::vector<FakePort>& devices) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::size_t end = i;
        while (end < arguments.size() && arguments[end] != "--") {
            ++end;
        }
        const std::vector<std::string> record(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                                              arguments.begin() + static_cast<std::ptrdiff_t>(end));
        if (record.size() == 3 && record[0] == "device") {
            devices.push_back(comlookup::testing::bluetooth_device(record[1], record[2]));
        } else if (record.size() >= 3) {
            FakePort port = comlookup::testing::bluetooth_port(record[0], record[1], record[2], std::nullopt);
            for (std::size_t option = 3; option < record.size(); ++option) {
                if (record[option].starts_with("unique=")) {
                    port.bluetooth_unique_id = record[option].substr(7);
                } else if (record[option].starts_with("service=")) {
                    port.bluetooth_service = record[option].substr(8);
                    port.bluetooth_service_key = service_key_of(record[2]);
                } else {
                    return false;
                }
                if (port.bluetooth_service && !port.bluetooth_service_key) {
                    return false;
                }
            }
            devices.push_back(std::move(port));
        } else {
            return false;
        }
        i = end;
    }
    return !devices.empty();
}

// The arguments after "add-usb" or "add-bt", or with "-" alone, those on standard input,
// one a line: more than a Windows command line holds.
std::vector<std::string> device_arguments(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    if (argc != 1 || arguments[0] != "-") {
        return arguments;
    }
    arguments.clear();
    std::string line;
    for (int c = std::getchar(); c != EOF; c = std::getchar()) {
        if (c == '\n') {
            arguments.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += static_cast<char>(c);
        }
    }
    if (!line.empty()) {
        arguments.push_back(line);
    }
    return arguments;
}

void print_result(const ProcessResult& result) {
    std::fwrite(result.output.data(), 1, result.output.size(), stdout);
    std::printf("%ld\n", static_cast<long>(result.status));
}

int run(int argc, char** argv) {
    print_result(run_or_die(command_line_of(argc, argv)));
    return 0;
}

int run_timetable(int argc, char** argv) {
    std::string text;
    for (int c = std::getchar(); c != EOF; c = std::getchar()) {
        text += static_cast<char>(c);
    }
    const std::optional<std::vector<comlookup::testing::TimedChange>> timetable =
        comlookup::testing::read_timetable(text);
    if (!timetable) {
        return usage();
    }
    const ProcessResult result = comlookup::testing::run_on_timetable(command_line_of(argc, argv), *timetable);
    print_result(result);
    if (!result.started) {
        std::fprintf(stderr, "devdb: the program did not start or a change failed\n");
        return 1;
    }
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

// Each program of `argv` (command lines split at "--") once a round, so
// that whatever else the machine does weighs on all of them alike.
int time_runs(int runs, int argc, char** argv) {
    std::vector<std::string> command_lines;
    for (int start = 0, end; start < argc; start = end + 1) {
        for (end = start; end < argc && std::string_view(argv[end]) != "--"; ++end) {
        }
        command_lines.push_back(command_line_of(end - start, argv + start));
    }
    std::vector<std::vector<double>> milliseconds(command_lines.size());
    std::vector<long> statuses(command_lines.size());
    for (int i = 0; i < runs; ++i) {
        for (std::size_t program = 0; program < command_lines.size(); ++program) {
            LARGE_INTEGER start;
            LARGE_INTEGER end;
            QueryPerformanceCounter(&start);
            statuses[program] = run_or_die(command_lines[program]).status;
            QueryPerformanceCounter(&end);
            milliseconds[program].push_back(milliseconds_between(start, end));
        }
    }
    for (std::size_t program = 0; program < command_lines.size(); ++program) {
        std::printf("%.2f %ld\n", median(milliseconds[program]), statuses[program]);
    }
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
        // Past its start-up and first walk (most of a second at 256 ports
        // under Wine), into plain waiting: for --new, a device that came
        // before the first walk would be no arrival.
        Sleep(2000);
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
    if (command == "add-usb" || command == "add-bt") {
        std::vector<FakePort> devices;
        const std::vector<std::string> arguments = device_arguments(argc - 2, argv + 2);
        if (!(command == "add-usb" ? read_usb_devices(arguments, devices) : read_bt_devices(arguments, devices))) {
            return usage();
        }
        if (!comlookup::testing::add_ports(devices)) {
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
    if (command == "timetable" && argc >= 3) {
        return run_timetable(argc - 2, argv + 2);
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
