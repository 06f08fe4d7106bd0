#include "listing/ports.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace comlookup {
namespace {

struct Placed {
    const char* port_name;
    std::optional<std::string> path;                // the USB device's first location path
    std::optional<std::string> own = std::nullopt;  // an interface's own
    bool unreadable = false;
};

const std::string ROOT = "PCIROOT(0)#PCI(1400)#USBROOT(0)";

TEST(SocketOrder, PathsPartByPartThenPortNumbers) {
    const struct {
        const char* name;
        std::vector<Placed> devices;  // in the order a walk lists them
        std::string ports;            // as written, joined by blanks; "-1": none
    } cases[] = {
        {"numbers of different lengths",
         {{"COM3", ROOT + "#USB(10)"},
          {"COM4", ROOT + "#USB(9)"},
          {"COM5", ROOT + "#USB(2)#USB(10)"},
          {"COM6", ROOT + "#USB(2)#USB(9)"}},
         "COM6 COM5 COM4 COM3"},
        {"controllers",
         {{"COM1", "PCIROOT(0)#PCI(1401)#USBROOT(0)#USB(1)"},
          {"COM2", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"},
          {"COM7", "pciroot(0)#pci(0800)#usbroot(0)#usb(3)"}},
         "COM7 COM2 COM1"},
        {"missing paths last, by number",
         {{"COM10", std::nullopt}, {"COM30", ROOT + "#USB(1)"}, {"COM2", std::nullopt}},
         "COM30 COM2 COM10"},
        {"ties by number, case ignored",
         {{"COM12", ROOT + "#USB(4)"}, {"COM8", "pciroot(0)#pci(1400)#usbroot(0)#usb(4)"}},
         "COM8 COM12"},
        {"an interface's own path",
         {{"COM9", ROOT + "#USB(5)", ROOT + "#USB(5)#USBMI(2)"},
          {"COM11", ROOT + "#USB(5)", ROOT + "#USB(5)#USBMI(0)"}},
         "COM11 COM9"},
        {"a socket that could not be read",
         {{"COM4", ROOT + "#USB(1)"}, {"COM5", std::nullopt, std::nullopt, true}},
         "-1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Survey survey;
        for (const Placed& placed : c.devices) {
            SurveyedPort& device = survey.devices.emplace_back(SurveyedPort{placed.port_name, "Board"});
            if (placed.path) {
                device.usb.paths = {*placed.path};
            }
            if (placed.own) {
                device.usb.port_paths = {*placed.own};
            }
            device.usb.unreadable = placed.unreadable ? USB_PATH : 0;
        }
        const PortsAnswer answer = answer_ports(PortsCommand{}, survey);
        std::string ports;
        for (const std::string& port : answer.ports) {
            ports += (ports.empty() ? "" : " ") + port;
        }
        EXPECT_EQ(c.ports, answer.error.empty() ? ports : "-1");
    }
}

}  // namespace
}  // namespace comlookup
