#pragma once

#include <string>
#include <vector>

#include "common/port_entry.h"
#include "listing/text.h"

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

// Code pages for the listing's tests. Latin-1: every byte is the code point
// of its value, as code page 1252 treats its five unassigned bytes. UTF-8.
// A double-byte code page shaped like 932: lead bytes 0x81-0x9F and
// 0xE0-0xFC, trail bytes 0x40-0x7E and 0x80-0xFC; a pair decodes to
// U+4E00 + (lead << 8 | trail) - 0x8140, and 0x80 alone to U+0080.
CodePage latin1_code_page();
CodePage utf8_code_page();
CodePage double_byte_code_page();

}  // namespace comlookup::testing
