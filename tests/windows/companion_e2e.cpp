#include "companion_e2e.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace comlookup::testing {
namespace {

std::string full_path(const char* path) {
    char full[MAX_PATH];
    GetFullPathNameA(path, MAX_PATH, full, nullptr);
    return full;
}

// Lines joined, and the indentation of wrapped ones dropped, so that a
// paragraph reads as one line.
std::string flat(const std::string& listing) {
    std::string text = listing;
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) {
        const std::size_t end = text.find_first_not_of(' ', at + 2);
        text.replace(at, (end == std::string::npos ? text.size() : end) - at, " ");
    }
    return text;
}

}  // namespace

CompanionRun::CompanionRun(std::string program, const char* exe, const char* list)
    : program_(std::move(program)), exe_(full_path(exe)), list_(full_path(list)) {}

void CompanionRun::report(bool ok, const std::string& what, const ProcessResult& result) {
    ++checks_;
    failures_ += ok ? 0 : 1;
    std::printf("%-4s %-58s -> %3ld, wrote %u bytes\n", ok ? "ok" : "FAIL", what.c_str(),
                static_cast<long>(result.status), static_cast<unsigned>(result.output.size()));
    if (!result.output.empty()) {
        std::printf("       wrote: %s", result.output.c_str());
    }
}

void CompanionRun::calls(const std::vector<CompanionCall>& calls) {
    const std::string usage = ". Usage: " + program_ + " [--wait SECONDS] TERM...; --help for more\r\n";
    for (const CompanionCall& call : calls) {
        const auto result = run_process("\"" + exe_ + "\" " + call.arguments, ".");
        const bool output_ok = call.bad_command_line
                                   ? result.output.starts_with(program_ + ": ") && result.output.ends_with(usage) &&
                                         result.output.find('\n') == result.output.size() - 1
                                   : result.output.empty();
        report(result.started && result.status == call.expected && output_ok, program_ + " " + call.arguments, result);
        if (call.ports != nullptr) {
            ports((program_ == "comlookup-usb" ? "--usb " : "--bt ") + call.arguments, call.ports,
                  call.bad_command_line);
        }
    }
}

void CompanionRun::ports(const std::string& arguments, const std::string& ports, bool bad_command_line) {
    const auto result = run_process("\"" + list_ + "\" --ports " + arguments, ".");
    const std::string& out = result.output;
    bool ok = result.started && out.find('\n') == out.rfind('\n') && out.starts_with("comlookup-list: ") &&
              out.ends_with("\r\n") && result.status == -1 &&
              (!bad_command_line || out.ends_with(". Usage: comlookup-list --ports [WORD... | --usb TERM... | --bt "
                                                  "TERM...]; --help for more\r\n"));
    if (ports != "-1") {
        std::string lines;
        std::int32_t count = 0;
        for (std::size_t start = 0; start < ports.size(); ++count) {
            const std::size_t end = std::min(ports.find(' ', start), ports.size());
            lines += ports.substr(start, end - start) + "\r\n";
            start = end + 1;
        }
        ok = result.started && out == lines && result.status == count;
    }
    report(ok, "comlookup-list --ports " + arguments, result);
}

void CompanionRun::suggestions(const std::string& words, std::size_t fewest, const std::string& why) {
    const auto listing = run_process("\"" + list_ + "\" " + words, ".");
    const std::string marker = program_ + " ";
    std::size_t suggested = 0;
    // "  COM6      PROGRAM ...", or a command too wide for that alone on the
    // line after "  COM6".
    std::string previous;
    for (std::size_t start = 0, end; (end = listing.output.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = listing.output.substr(start, end - start);
        const std::string port = line.starts_with(marker) ? previous : line;
        const std::size_t command = line.find(marker);
        previous = line;
        if (!port.starts_with("  COM") || command == std::string::npos || (command > 0 && line[command - 1] != ' ')) {
            continue;
        }
        ++suggested;
        const auto result = run_process("\"" + exe_ + "\" " + line.substr(command + marker.size()), ".");
        report(result.started && result.status == std::atoi(port.c_str() + 5) && result.output.empty(),
               "suggested for " + words + ": " + port.substr(2, port.find(' ', 2) - 2) + " " + line.substr(command),
               result);
    }
    const bool enough = suggested >= fewest && flat(listing.output).find(why) != std::string::npos;
    ++checks_;
    failures_ += enough ? 0 : 1;
    std::printf("%-4s comlookup-list %s suggests %u %s commands%s\n", enough ? "ok" : "FAIL", words.c_str(),
                static_cast<unsigned>(suggested), program_.c_str(), why.empty() ? "" : (" and says: " + why).c_str());
    // The listing itself, for the log: what a user would have seen.
    std::printf("%s", listing.output.c_str());
}

void CompanionRun::count(bool ok, const std::string& what, const std::string& listing) {
    ++checks_;
    failures_ += ok ? 0 : 1;
    std::printf("%-4s %s\n", ok ? "ok" : "FAIL", what.c_str());
    std::printf("%s", listing.c_str());
}

void CompanionRun::terms_listings(const std::vector<TermsListingCall>& calls) {
    const std::string option = program_ == "comlookup-usb" ? "--usb" : "--bt";
    for (const TermsListingCall& call : calls) {
        const auto result = run_process("\"" + exe_ + "\" " + call.arguments, ".");
        const auto listing = run_process("\"" + list_ + "\" " + option + " " + call.arguments, ".");
        const std::string& text = listing.output;
        // "*      5  COM5      ...": the mark, the status, the port.
        std::string marks;
        for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            const std::string line = text.substr(start, end - start);
            if (line.size() > 10 && std::string_view("*~?").find(line[0]) != std::string_view::npos) {
                const std::size_t port = line.find_first_not_of(' ', line.find(' ', line.find_first_not_of(' ', 1)));
                marks +=
                    (marks.empty() ? "" : " ") + line.substr(0, 1) + line.substr(port, line.find(' ', port) - port);
            }
        }
        const std::string last = "exit status " + std::to_string(result.status) + ": ";
        const std::string said = result.output.substr(0, result.output.find("\r\n"));
        const bool ok = result.started && listing.started && marks == call.marks &&
                        text.find("\r\n" + last) != std::string::npos && text.ends_with("\r\n") &&
                        text.rfind(last) > text.size() - 100 && flat(text).find(said) != std::string::npos &&
                        flat(text).find(call.says) != std::string::npos;
        count(ok,
              "comlookup-list " + option + " " + call.arguments + ": marks \"" + marks + "\", status " +
                  std::to_string(result.status),
              text);
    }
}

void CompanionRun::wait(const std::string& arguments, const std::vector<FakePort>& devices, std::int32_t expected,
                        const std::string& what) {
    ChildProcess child = start_process("\"" + exe_ + "\" " + arguments, ".");
    Sleep(1000);
    const bool waiting = WaitForSingleObject(child.process.get(), 0) == WAIT_TIMEOUT;
    const bool added = add_ports(devices);
    const auto result = finish_process(child);
    report(waiting && added && result.status == expected && result.output.empty(), what, result);
}

int CompanionRun::finish() {
    clear_ports();
    std::printf("%d passed, %d failed\n", checks_ - failures_, failures_);
    return failures_ == 0 ? 0 : 1;
}

}  // namespace comlookup::testing
