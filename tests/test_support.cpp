#include "test_support.h"

#include <utility>

#include "common/port_source.h"

namespace comlookup {

namespace testing {

PortList g_ports;
int g_source_calls = 0;

Args::Args(std::vector<std::string> arguments) : texts(std::move(arguments)) {
    texts.insert(texts.begin(), "comlookup.exe");
    for (const std::string& text : texts) {
        argv.push_back(text.c_str());
    }
    argv.push_back(nullptr);
}

}  // namespace testing

// Stands in for the platform's device database.
PortList enumerate_com_ports() {
    ++testing::g_source_calls;
    return testing::g_ports;
}

}  // namespace comlookup
