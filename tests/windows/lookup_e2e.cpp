// Runs the real comlookup.exe against device databases built with SetupAPI's
// own installation functions, and checks what only a real process shows: the
// full 32-bit exit status, that nothing is written, that arguments arrive as
// the caller gave them, and that the exe starts with no DLLs beside it. Runs
// comlookup-list.exe with the same arguments beside it: the status it states
// must be the one comlookup.exe returned, and its listings must show what
// comlookup sees.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "common/port_source.h"
#include "device_db.h"
#include "process.h"

namespace {

using comlookup::PortEntry;
using comlookup::PortList;
using comlookup::testing::FakePort;

// Files beside the exe that "USB*" and "Port?" would expand to.
constexpr const char* WILDCARD_BAIT[] = {"USB1.txt", "USB2.txt", "PortX"};

struct Call {
    std::string arguments;  // the command line after the program's name
    std::int32_t expected;
};

struct Scenario {
    const char* name;
    std::vector<FakePort> devices;  // created in this order
    PortList listed;                // what the port source must return
    std::vector<Call> calls;
};

// Lines that comlookup-list must print, in this order, for a scenario's devices.
struct Listing {
    const char* scenario;
    std::string arguments;
    std::vector<std::string> lines;
};

FakePort com(const std::string& port_name, const std::string& friendly_name) {
    return {friendly_name, port_name};
}

std::string repeat(char c, std::size_t count) {
    return std::string(count, c);
}

std::vector<Scenario> scenarios() {
    const std::string name255 = "Long " + repeat('n', 250);
    const std::string name256 = "Longer " + repeat('n', 249);
    const std::string port255 = "COM22" + repeat('0', 250);  // still reads as 22 followed by zeros: saturates
    const std::string port256 = "COM23" + repeat('x', 251);
    return {
        {"no ports", {}, {}, {{"", -1}, {"\"\" USB", -1}, {"USB Serial Device", -1}, {repeat('x', 300), -1}}},
        {"typical pair",
         {com("COM1", "Communications Port (COM1)"), com("COM3", "USB Serial Device (COM3)")},
         {{"COM1", "Communications Port (COM1)"}, {"COM3", "USB Serial Device (COM3)"}},
         {{"USB Serial Device", 3},
          {"\"USB Serial Device\"", 3},
          {"USB", 3},
          {"USB \"\"", 3},
          {"\"USB Serial Device (COM3)\"", 3},
          {"Communications Port", 1},
          {"Serial Device", -1},
          {"COM3", -1},
          {"", -1},
          {"\"\" USB", -1},
          {"\"USB  Serial\"", -1}}},
        {"two matches",
         {com("COM4", "USB-SERIAL Adapter"), com("COM5", "USB-SERIAL Adapter")},
         {{"COM4", "USB-SERIAL Adapter"}, {"COM5", "USB-SERIAL Adapter"}},
         {{"USB-SERIAL", -2}, {"USB-SERIAL Adapter", -2}, {"USB Serial", -1}}},
        {"three matches",
         {com("COM4", "Adapter A"), com("COM5", "Adapter B"), com("COM6", "Adapter C")},
         {{"COM4", "Adapter A"}, {"COM5", "Adapter B"}, {"COM6", "Adapter C"}},
         {{"Adapter", -2}, {"Adapter C", 6}}},
        {"same port name twice",
         {com("COM4", "Twin Port"), com("COM4", "Twin Port")},
         {{"COM4", "Twin Port"}, {"COM4", "Twin Port"}},
         {{"Twin", -2}}},
        {"skip rules",
         {{std::nullopt, "COM11"},
          {"Port without key", std::nullopt, REG_SZ, false},
          {"Port without PortName", std::nullopt},
          com("LPT1", "Port LPT1"),
          com("com4", "Port lower case"),
          com("CO", "Port short"),
          com("COM2", "Port good"),
          com("COM24", "Port " + repeat('n', 251)),
          com(port256, "Port too wide")},
         {{"COM2", "Port good"}},
         {{"Port", 2}, {"Port without", -1}, {"Port LPT1", -1}, {"Port lower", -1}, {"Port short", -1}}},
        {"parallel port before serial",
         {com("LPT1", "Printer Port (LPT1)"), com("COM2", "Communications Port (COM2)")},
         {{"COM2", "Communications Port (COM2)"}},
         {{"Printer", -1}, {"Communications", 2}}},
        {"database order kept",
         {com("COM9", "Adapter (COM9)"), com("COM2", "Adapter (COM2)")},
         {{"COM9", "Adapter (COM9)"}, {"COM2", "Adapter (COM2)"}},
         {{"Adapter", -2}, {"\"Adapter (COM2)\"", 2}}},
        {"port numbers above 255",
         {com("COM256", "High A"), com("COM1000", "High B"), com("COM65537", "High C"), com("COM4294967297", "High D")},
         {{"COM256", "High A"}, {"COM1000", "High B"}, {"COM65537", "High C"}, {"COM4294967297", "High D"}},
         {{"High A", 256}, {"High B", 1000}, {"High C", 65537}, {"High D", 2147483647}}},
        {"255-byte limit",
         {com("COM21", name255),
          com("COM24", name256),
          com(port255, "Wide port name"),
          com(port256, "Too wide"),
          {"Unterminated", "COM25" + repeat('y', 251), REG_BINARY}},
         {{"COM21", name255}, {port255, "Wide port name"}, {"COM25" + repeat('y', 250), "Unterminated"}},
         {{name255, 21},
          {name255 + "n", -1},
          {"Longer", -1},
          {"Wide", 2147483647},
          {"Too wide", -1},
          {"Unterminated", 25},
          {repeat('n', 299), -1},
          {repeat('n', 300), -1}}},
        {"other value types",
         {{"Binary port", "COM8", REG_BINARY}, {"Expandable port", "COM12", REG_EXPAND_SZ}},
         {{"COM8", "Binary port"}, {"COM12", "Expandable port"}},
         {{"Binary", 8}, {"Expandable", 12}}},
        {"bytes above 0x7F",
         {com("COM8", "Ger\xE4t \xA9 (COM8)")},
         {{"COM8", "Ger\xE4t \xA9 (COM8)"}},
         {{"Ger\xE4t", 8}, {"\"Ger\xE4t \xA9\"", 8}, {"GER\xC4T", -1}, {"Gerat", -1}}},
        {"help words are query words",
         {com("COM11", "-h tool (COM11)"), com("COM12", "--help tool (COM12)"), com("COM13", "/? tool (COM13)")},
         {{"COM11", "-h tool (COM11)"}, {"COM12", "--help tool (COM12)"}, {"COM13", "/? tool (COM13)"}},
         {{"-h", 11}, {"--help", 12}, {"/?", 13}, {"-h tool", 11}, {"/? x", -1}}},
        {"other setup class",
         {{"USB Modem (COM9)", "COM9", REG_SZ, true, std::nullopt, &comlookup::testing::modem_class()},
          com("COM1", "Communications Port (COM1)"),
          {std::nullopt, "COM2", REG_SZ, true, "Communications Port"}},
         {{"COM1", "Communications Port (COM1)"}},
         {{"USB Modem", -1}, {"Communications", 1}}},
        {"names differ only in the port",
         {com("COM6", "USB-SERIAL CH340 (COM6)"), com("COM7", "USB-SERIAL CH340 (COM7)")},
         {{"COM6", "USB-SERIAL CH340 (COM6)"}, {"COM7", "USB-SERIAL CH340 (COM7)"}},
         {{"USB-SERIAL", -2}, {"\"USB-SERIAL CH340 (COM7)\"", 7}}},
        {"names share a prefix",
         {com("COM4", "Silicon Labs CP210x USB to UART Bridge (COM4)"),
          com("COM5", "Silicon Labs CP2105 Dual USB to UART Bridge: Enhanced COM Port (COM5)")},
         {{"COM4", "Silicon Labs CP210x USB to UART Bridge (COM4)"},
          {"COM5", "Silicon Labs CP2105 Dual USB to UART Bridge: Enhanced COM Port (COM5)"}},
         {{"Silicon Labs", -2}}},
        {"long and quoted names",
         {com("COM6", "A&B \"Quoted\" Port ^| <x> \\ (COM6)"), com("COM7", "Long " + repeat('n', 145)),
          com("COM8", "100% Serial A"), com("COM9", "100% Serial B")},
         {{"COM6", "A&B \"Quoted\" Port ^| <x> \\ (COM6)"},
          {"COM7", "Long " + repeat('n', 145)},
          {"COM8", "100% Serial A"},
          {"COM9", "100% Serial B"}},
         {{"\"A&B \\\"Quoted\\\" Port\"", 6}, {"Long", 7}, {"100%", -2}}},
        {"arguments as given",
         {com("COM14", "USB* Adapter"), com("COM15", "Port? (COM15)"), com("COM16", "Say \"Hi\" Port"),
          com("COM17", "Two  Blanks"), com("COM18", "Back\\slash")},
         {{"COM14", "USB* Adapter"},
          {"COM15", "Port? (COM15)"},
          {"COM16", "Say \"Hi\" Port"},
          {"COM17", "Two  Blanks"},
          {"COM18", "Back\\slash"}},
         {{"USB* Adapter", 14},
          {"\"USB*\"", 14},
          {"Port?", 15},
          {"Say \\\"Hi\\\"", 16},
          {"\"Say \\\"Hi\\\" Port\"", 16},
          {"\"Two  Blanks\"", 17},
          {"Two \"\" Blanks", 17},
          {"Two  Blanks", -1},
          {"Back\\slash", 18}}},
    };
}

std::vector<Listing> listings() {
    const std::string long_name = "Long " + repeat('n', 145);
    return {
        {"skip rules",
         "",
         {"9 present devices of the Ports class, in the order comlookup reads them;",
          "comlookup leaves 8 of them out and weighs the other 1:", "       -  -         -  left out: no friendly name",
          "       -  -         \"Port without key\"",
          "                    left out: no device key to read \"PortName\" from",
          "       -  -         \"Port without PortName\"  left out: no \"PortName\" value",
          "       -  LPT1      \"Port LPT1\"  left out: port name does not begin with \"COM\"",
          "       -  com4      \"Port lower case\"",
          "                    left out: port name does not begin with \"COM\"",
          "       -  CO        \"Port short\"  left out: port name does not begin with \"COM\"",
          "       2  COM2      \"Port good\"", "       -  -         -  left out: friendly name longer than 255 bytes",
          "       -  -         \"Port too wide\"  left out: \"PortName\" longer than 255 bytes", "",
          "exit status -1: no query was given"}},
        {"typical pair",
         "usb  serial",
         {"~      3  COM3      \"USB Serial Device (COM3)\"",
          "                    near miss: would match if case and runs of blanks were", "                    ignored",
          "Near misses are marked ~.", "exit status -1: no listed device's friendly name begins with the query"}},
        {"help words are query words",
         "--help tool",
         {"*     12  COM12     \"--help tool (COM12)\"  begins with the query",
          "exit status 12: exactly one listed device matches the query, on COM12"}},
        {"other setup class",
         "USB Modem",
         {"       -  -         description \"Communications Port\"", "                    left out: no friendly name",
          "                    ROOT\\PORTS\\0002", "COM ports of other setup classes, which comlookup does not read:",
          "  Modem     COM9      \"USB Modem (COM9)\"  begins with the query",
          "                      ROOT\\OTHER\\0000",
          "The only names that begin with the query are in setup class Modem, which", "comlookup does not read.",
          "exit status -1: no listed device's friendly name begins with the query"}},
        {"names differ only in the port",
         "USB-SERIAL",
         {"                    ROOT\\PORTS\\0000", "                    ROOT\\PORTS\\0001",
          "No query without the port number tells these devices apart: their friendly",
          "names differ only in it. See \"Two identical adapters\" in docs\\usb.md."}},
        {"names share a prefix",
         "Silicon Labs",
         {"To pick one of them, give comlookup a longer beginning of its name:",
          "  COM4      comlookup \"Silicon Labs CP210x\"", "  COM5      comlookup \"Silicon Labs CP2105\""}},
        {"bytes above 0x7F",
         "Ger\xE4t",
         {"Query: \"Ger\xE4t\" (5 bytes)", "*      8  COM8      \"Ger\xE4t \xA9 (COM8)\"  begins with the query",
          "exit status 8: exactly one listed device matches the query, on COM8"}},
        {"long and quoted names",
         "",
         {"       6  COM6      \"A&B \\\"Quoted\\\" Port ^| <x> \\\\ (COM6)\"", "       7  COM7", '"' + long_name + '"',
          "                    ROOT\\PORTS\\0001"}},
        {"long and quoted names",
         "100%",
         {"  COM8      comlookup \"100% Serial A\"", "  COM9      comlookup \"100% Serial B\"",
          "In a batch file, write each % in these commands as %%."}},
    };
}

// A companion's help: its status, and words it may not miss (each TERM's key
// among them).
struct Help {
    int program;  // the argument of lookup_e2e that names it
    std::int32_t status;
    std::vector<std::string> words;
};

std::vector<Help> helps() {
    return {
        {2, 0, {"--json", "--usb", "--bt", "--watch", "--for", "--ports", "docs\\listing.md"}},
        {3, -1, {"--new", "--gone", "SECONDS", "docs\\waiting.md"}},
        {4,
         -1,
         {"\n  vid=", "\n  pid=", "\n  serial=", "\n  product=", "\n  interface=", "\n  location=", "\n  path=",
          "--wait", "docs\\usb.md"}},
        {5, -1, {"\n  name=", "\n  address=", "\n  service=", "--wait", "docs\\bluetooth.md"}},
    };
}

// No line the listing composes is wider than a console; a line that is one
// long name, or a long word such as an instance ID, stands alone.
bool fits_console(const std::vector<std::string>& lines) {
    return std::all_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.size() <= 79 || line.starts_with('"') || line.find(' ') == std::string::npos;
    });
}

std::vector<std::string> lines_of(const std::string& output) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(output.substr(start, end - start));
    }
    return lines;
}

// Whether `expected` stand in `lines` in this order, each a whole line.
bool has_lines_in_order(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
    auto at = lines.begin();
    for (const std::string& line : expected) {
        at = std::find(at, lines.end(), line);
        if (at == lines.end()) {
            return false;
        }
        ++at;
    }
    return true;
}

std::string printable(const std::string& text) {
    std::string shown;
    for (const unsigned char c : text) {
        char hex[8];
        std::snprintf(hex, sizeof hex, c < 0x20 || c > 0x7E ? "\\x%02X" : "%c", c);
        shown += hex;
    }
    return shown.size() > 36 ? shown.substr(0, 24) + "...(" + std::to_string(text.size()) + " bytes)" : shown;
}

std::string make_scratch_directory() {
    char base[MAX_PATH];
    char path[MAX_PATH];
    if (GetTempPathA(MAX_PATH, base) == 0 || GetTempFileNameA(base, "cl", 0, path) == 0) {
        return {};
    }
    DeleteFileA(path);
    return CreateDirectoryA(path, nullptr) ? path : "";
}

bool touch(const std::string& path) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

struct Programs {
    std::string lookup;  // comlookup.exe
    std::string list;    // comlookup-list.exe
    std::string directory;
};

comlookup::testing::ProcessResult run(const std::string& exe, const std::string& arguments, const Programs& programs) {
    return comlookup::testing::run_process("\"" + exe + "\" " + arguments, programs.directory);
}

// Runs each command the listing suggests ("  COM4      comlookup ...") and
// checks that it gives that port. Prints the outcomes and returns the number
// of failures.
int run_suggestions(const std::vector<std::string>& lines, const Programs& programs) {
    int failures = 0;
    for (const std::string& line : lines) {
        const std::size_t command = line.find("  comlookup ");
        if (!line.starts_with("  COM") || command == std::string::npos) {
            continue;
        }
        const std::int32_t port = std::atoi(line.c_str() + 5);
        const auto result = run(programs.lookup, line.substr(command + 12), programs);
        const bool ok = result.started && result.status == port;
        failures += ok ? 0 : 1;
        std::printf("%-4s suggested %-52s -> %ld\n", ok ? "ok" : "FAIL", line.substr(command + 2).c_str(),
                    static_cast<long>(result.status));
    }
    return failures;
}

// Prints the outcome and returns the number of failures.
int check_listing(const Listing& listing, const Programs& programs) {
    const auto result = run(programs.list, listing.arguments, programs);
    const std::vector<std::string> lines = lines_of(result.output);
    const bool ok =
        result.started && result.status == 0 && has_lines_in_order(lines, listing.lines) && fits_console(lines);
    std::printf("%-4s %-28s comlookup-list %-23s -> %u lines as expected\n", ok ? "ok" : "FAIL", listing.scenario,
                printable(listing.arguments).c_str(), ok ? static_cast<unsigned>(listing.lines.size()) : 0U);
    if (!ok) {
        std::printf("       status %ld, printed:\n%s", static_cast<long>(result.status), result.output.c_str());
    }
    return (ok ? 0 : 1) + run_suggestions(lines, programs);
}

// Each help word alone: the help on one screen of 24 lines of 79 columns,
// CRLF, nothing but it; a status no caller takes for a port. Returns the
// number of failures.
int check_help(const Help& help, const std::string& exe, const std::string& directory) {
    int failures = 0;
    for (const char* word : {"--help", "-h", "/?"}) {
        const auto result = comlookup::testing::run_process("\"" + exe + "\" " + word, directory);
        const std::vector<std::string> lines = lines_of(result.output);
        std::size_t bytes = 0;
        for (const std::string& line : lines) {
            bytes += line.size() + 2;
        }
        const bool fits = !lines.empty() && lines.size() <= 24 && bytes == result.output.size() &&
                          std::all_of(lines.begin(), lines.end(), [](const std::string& line) {
                              return line.size() <= 79 && line.find('\n') == std::string::npos;
                          });
        const std::string text = "\r\n" + result.output;
        const bool has_words = std::all_of(help.words.begin(), help.words.end(),
                                           [&](const std::string& w) { return text.find(w) != std::string::npos; });
        const bool ok = result.started && result.status == help.status && fits && has_words;
        failures += ok ? 0 : 1;
        std::printf("%-4s help %-50s -> %3ld, %u lines\n", ok ? "ok" : "FAIL", (exe + " " + word).c_str(),
                    static_cast<long>(result.status), static_cast<unsigned>(lines.size()));
        if (!ok) {
            std::printf("%s", result.output.c_str());
        }
    }
    return failures;
}

// Prints the outcome and returns the number of failures.
int run_scenario(const Scenario& scenario, const Programs& programs) {
    if (!comlookup::testing::clear_ports() || !comlookup::testing::add_ports(scenario.devices)) {
        std::printf("FAIL %-28s cannot build the device database\n", scenario.name);
        return 1;
    }
    int failures = 0;
    const PortList listed = comlookup::enumerate_com_ports();
    const bool listed_ok = listed == scenario.listed;
    failures += listed_ok ? 0 : 1;
    std::printf("%-4s %-28s port source listed %u of %u devices\n", listed_ok ? "ok" : "FAIL", scenario.name,
                static_cast<unsigned>(listed.size()), static_cast<unsigned>(scenario.devices.size()));
    if (!listed_ok) {
        for (const PortEntry& entry : listed) {
            std::printf("       listed %s '%s'\n", printable(entry.port_name).c_str(),
                        printable(entry.friendly_name).c_str());
        }
    }
    for (const Call& call : scenario.calls) {
        const auto result = run(programs.lookup, call.arguments, programs);
        const bool ok = result.started && result.status == call.expected && result.output.empty();
        failures += ok ? 0 : 1;
        // What comlookup-list states for the same arguments: its last line;
        // a help word alone is its own, answered by its help (check_help).
        const bool own_help = call.arguments == "-h" || call.arguments == "--help" || call.arguments == "/?";
        const auto listed_result =
            own_help ? comlookup::testing::ProcessResult{} : run(programs.list, call.arguments, programs);
        const std::vector<std::string> lines = lines_of(listed_result.output);
        const std::string said = "exit status " + std::to_string(result.status) + ":";
        // Wine lists every device it knows as present.
        const bool agrees =
            own_help ||
            (listed_result.started && listed_result.status == 0 && !lines.empty() && lines.back().starts_with(said) &&
             listed_result.output.find("\nKnown to Windows but not present now") == std::string::npos);
        failures += agrees ? 0 : 1;
        std::printf("%-4s %-28s %-38s -> %11ld (0x%08lX)  wrote %u bytes%s; %s\n", ok ? "ok" : "FAIL", scenario.name,
                    printable(call.arguments).c_str(), static_cast<long>(result.status),
                    static_cast<unsigned long>(result.status), static_cast<unsigned>(result.output.size()),
                    ok ? "" : ("  expected " + std::to_string(call.expected)).c_str(),
                    own_help ? "comlookup-list helps instead"
                    : agrees
                        ? "comlookup-list agrees"
                        : ("FAIL comlookup-list says '" + printable(lines.empty() ? "" : lines.back()) + "'").c_str());
    }
    for (const Listing& listing : listings()) {
        if (std::string_view(listing.scenario) == scenario.name) {
            failures += check_listing(listing, programs);
        }
    }
    return failures;
}

}  // namespace

bool copy_beside(const char* source, const std::string& target) {
    char path[MAX_PATH];
    return GetFullPathNameA(source, MAX_PATH, path, nullptr) != 0 && CopyFileA(path, target.c_str(), TRUE);
}

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr,
                     "usage: lookup_e2e PATH-TO-comlookup.exe PATH-TO-comlookup-list.exe "
                     "PATH-TO-comlookup-wait.exe PATH-TO-comlookup-usb.exe PATH-TO-comlookup-bt.exe\n");
        return 2;
    }
    if (!comlookup::testing::running_under_wine()) {
        std::fprintf(stderr, "lookup_e2e rewrites the ports class of the device database: it runs only under Wine\n");
        return 2;
    }
    // The exes run from a directory of their own, where a missing DLL would
    // stop them from starting; the files there are what wildcard expansion
    // would find.
    const std::string directory = make_scratch_directory();
    const Programs programs{directory + "\\comlookup.exe", directory + "\\comlookup-list.exe", directory};
    if (directory.empty() || !copy_beside(argv[1], programs.lookup) || !copy_beside(argv[2], programs.list) ||
        !std::all_of(std::begin(WILDCARD_BAIT), std::end(WILDCARD_BAIT),
                     [&](const char* name) { return touch(directory + "\\" + name); })) {
        std::fprintf(stderr, "cannot prepare a scratch directory for %s and %s\n", argv[1], argv[2]);
        return 2;
    }

    int failures = 0;
    int checks = static_cast<int>(listings().size() + 3 * helps().size());
    for (const Help& help : helps()) {
        char exe[MAX_PATH];
        failures +=
            GetFullPathNameA(argv[help.program], MAX_PATH, exe, nullptr) != 0 ? check_help(help, exe, directory) : 3;
    }
    for (const Scenario& scenario : scenarios()) {
        failures += run_scenario(scenario, programs);
        checks += 1 + 2 * static_cast<int>(scenario.calls.size());
    }
    comlookup::testing::clear_ports();
    DeleteFileA(programs.lookup.c_str());
    DeleteFileA(programs.list.c_str());
    for (const char* name : WILDCARD_BAIT) {
        DeleteFileA((directory + "\\" + name).c_str());
    }
    RemoveDirectoryA(directory.c_str());
    std::printf("%d passed, %d failed\n", checks - failures, failures);
    return failures == 0 ? 0 : 1;
}
