#pragma once

// What the end-to-end programs of the identity companions (comlookup-usb,
// comlookup-bt) share: the real exe run over a table of command lines, over
// the commands comlookup-list suggests, and through one wait.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device_db.h"
#include "process.h"

namespace comlookup::testing {

struct CompanionCall {
    std::string arguments;  // after the program's name
    std::int32_t expected;
    bool bad_command_line = false;
    // What "comlookup-list --ports --usb|--bt" gives for the same TERMs: the
    // ports, one a line, such as "COM15 COM8"; "-1" for none and one line
    // on stderr; null: not asked.
    const char* ports = nullptr;
};

// A "comlookup-list --usb|--bt TERM..." call: the ports it must mark, such as
// "*COM5 ~COM13", and words it must say.
struct TermsListingCall {
    std::string arguments;
    std::string marks;
    std::string says = "";
};

class CompanionRun {
public:
    // `program` is the exe's name, such as "comlookup-usb"; the paths may be relative.
    CompanionRun(std::string program, const char* exe, const char* list);

    // Each must give its full status and write nothing; a bad one -1 and one usage line.
    void calls(const std::vector<CompanionCall>& calls);
    // "comlookup-list --ports ARGUMENTS" must write exactly `ports`, as a
    // CompanionCall's, with their count as its status.
    void ports(const std::string& arguments, const std::string& ports, bool bad_command_line = false);
    // Each command comlookup-list suggests for `words` must give the port it
    // stands beside; at least `fewest` stand there, and the listing says `why`.
    void suggestions(const std::string& words, std::size_t fewest, const std::string& why = "");
    // comlookup-list's listing for each command line: the status the
    // program gives, as its last line; exactly the marks given; a bad
    // command line's own line.
    void terms_listings(const std::vector<TermsListingCall>& calls);
    // Starts the program with `arguments`, adds `devices` a second later, and
    // expects `expected` once they are there.
    void wait(const std::string& arguments, const std::vector<FakePort>& devices, std::int32_t expected,
              const std::string& what);
    // Clears the ports and prints the count; the exit status.
    int finish();

private:
    void report(bool ok, const std::string& what, const ProcessResult& result);
    void count(bool ok, const std::string& what, const std::string& listing);

    std::string program_;
    std::string exe_;
    std::string list_;
    int checks_ = 0;
    int failures_ = 0;
};

}  // namespace comlookup::testing
