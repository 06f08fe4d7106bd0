#pragma once

#include <cstdint>
#include <string>

namespace comlookup::testing {

struct ProcessResult {
    bool started = false;
    std::int32_t status = 0;  // the full 32-bit exit code, read as signed
    std::string output;       // every byte written to stdout and stderr
};

// Quotes one argument so that the C runtime's parser gives it back unchanged.
std::string quote_argument(const std::string& argument);

// Runs `command_line` exactly as given (the child's C runtime splits it),
// in `directory`, and waits for it to end.
ProcessResult run_process(const std::string& command_line, const std::string& directory);

}  // namespace comlookup::testing
