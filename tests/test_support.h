#pragma once

#include <string>
#include <vector>

#include "common/port_entry.h"

namespace comlookup::testing {

// What the test port source returns, and how often it has been called.
extern PortList g_ports;
extern int g_source_calls;

// A command line as the C runtime hands it over, program name first.
struct Args {
    std::vector<std::string> texts;
    std::vector<const char*> argv;

    explicit Args(std::vector<std::string> arguments);
    int argc() const { return static_cast<int>(texts.size()); }
};

}  // namespace comlookup::testing
