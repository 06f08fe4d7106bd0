#include "lookup/usb_terms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace comlookup {
namespace {

TEST(ReadInstanceId, FindsWhatTheIdHoldsAndNoMadeUpSerial) {
    const struct {
        const char* id;
        std::optional<std::uint16_t> vid, pid;
        std::optional<std::string> serial;
        std::optional<std::uint32_t> interface_number;
        bool usb_device;
    } cases[] = {
        {"USB\\VID_2E8A&PID_000A\\E6605838833C4A2E", 0x2E8A, 0x000A, "E6605838833C4A2E", {}, true},
        {"usb\\vid_2e8a&pid_000a\\e660", 0x2E8A, 0x000A, "e660", {}, true},
        {"USB\\VID_2E8A&PID_000A&MI_02\\6&1A2B3C4D&0&0002", 0x2E8A, 0x000A, {}, 2, false},
        {"USB\\VID_2E8A&PID_000A&MI_0A\\6&1A2B3C4D&0&000A", 0x2E8A, 0x000A, {}, 10, false},
        {"USB\\VID_1A86&PID_7523\\5&2C6B3C4&0&2", 0x1A86, 0x7523, {}, {}, true},
        {"FTDIBUS\\VID_0403+PID_6010+FT4ABCDB\\0000", 0x0403, 0x6010, "FT4ABCD", 1, false},
        {"FTDIBUS\\VID_0403+PID_6001+5&2C6B3C4&0&2A\\0000", 0x0403, 0x6001, {}, 0, false},
        {"ACPI\\PNP0501\\1", {}, {}, {}, {}, false},
        {"ROOT\\PORTS\\0000", {}, {}, {}, {}, false},
        {"USB\\VID_2E8A\\X", {}, {}, {}, {}, false},
        {"USB\\VID_2E8AB&PID_000A\\X", {}, {}, {}, {}, false},
        {"USB\\VID_2E8A&PID_000A", {}, {}, {}, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const InstanceIdReading reading = read_instance_id(c.id);
        EXPECT_EQ(c.vid, reading.identity.vid);
        EXPECT_EQ(c.pid, reading.identity.pid);
        EXPECT_EQ(c.serial, reading.identity.serial);
        EXPECT_EQ(c.interface_number, reading.identity.interface_number);
        EXPECT_EQ(c.usb_device, reading.usb_device);
    }
    UsbIdentity from_hardware_id;
    read_hardware_id("USB\\VID_10C4&PID_EA60&REV_0100", from_hardware_id);
    EXPECT_EQ(0x10C4, from_hardware_id.vid);
    EXPECT_EQ(0xEA60, from_hardware_id.pid);
}

TEST(UsbDevicePaths, AreAnInterfacesOwnWithoutItsLastPart) {
    const std::string pci = "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(4)";
    const std::string acpi = "ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#ACPI(HS04)";
    const struct {
        std::vector<std::string> port_paths;
        std::uint32_t interface_number;
        std::vector<std::string> expected;
    } cases[] = {
        {{pci + "#USBMI(0)", acpi + "#USBMI(0)"}, 0, {pci, acpi}},
        {{pci + "#usbmi(10)"}, 10, {pci}},
        {{pci + "#USBMI(1)"}, 0, {}},
        {{"#USBMI(0)", pci}, 0, {}},
        {{}, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port_paths.empty() ? "(none)" : c.port_paths[0]);
        EXPECT_EQ(c.expected, usb_device_paths(c.port_paths, c.interface_number));
    }
    UsbIdentity unread;
    unread.unreadable = USB_PATH;
    EXPECT_EQ(Fit::unknown, fits(unread, {{}, {}, {}, {}, {}, {}, pci}));
}

TEST(ReadUsbCommand, TakesTermsAndRejectsWhatIsNotOne) {
    const std::string key_value = "argument 1 is not KEY=VALUE";
    const struct {
        std::vector<std::string> arguments;
        UsbTerms terms;
        std::optional<std::uint32_t> wait;
        std::string error;
    } cases[] = {
        {{"vid=2e8a", "pid=0x000A"}, {0x2E8A, 0x000A}, {}, ""},
        {{"serial=abc", "product=Arduino Leonardo", "interface=2", "location=Port_#0002.Hub_#0001", "path=P(0)#USB(2)"},
         {{}, {}, "abc", 2, "Arduino Leonardo", "Port_#0002.Hub_#0001", "P(0)#USB(2)"},
         {},
         ""},
        {{"--wait", "30", "vid=1"}, {1}, 30, ""},
        {{"--wait", "0", "serial=x=y"}, {{}, {}, "x=y"}, 0, ""},
        {{}, {}, {}, "no TERM given"},
        {{"--wait", "30"}, {}, {}, "no TERM given"},
        {{"--wait"}, {}, {}, "SECONDS must be a whole number from 0 to 86400"},
        {{"--wait", "86401", "vid=1"}, {}, {}, "SECONDS must be a whole number from 0 to 86400"},
        {{"vid=1", "--wait", "3"}, {}, {}, "argument 2 is not KEY=VALUE"},
        {{"2e8a"}, {}, {}, key_value},
        {{"vendor=2e8a"},
         {},
         {},
         "argument 1 has an unknown key: the keys are vid, pid, serial, product, interface, location and path"},
        {{"serial="}, {}, {}, "argument 1, serial=, has no value"},
        {{"vid=1", "vid=1"}, {}, {}, "argument 2, vid=, is given twice"},
        {{"vid=12345"}, {}, {}, "argument 1, vid=, takes 1 to 4 hex digits, such as vid=2E8A"},
        {{"pid=0x"}, {}, {}, "argument 1, pid=, takes 1 to 4 hex digits, such as pid=2E8A"},
        {{"vid=2g"}, {}, {}, "argument 1, vid=, takes 1 to 4 hex digits, such as vid=2E8A"},
        {{"interface=256"}, {}, {}, "argument 1, interface=, takes a whole number from 0 to 255"},
        {{"interface=-1"}, {}, {}, "argument 1, interface=, takes a whole number from 0 to 255"},
    };
    for (const auto& c : cases) {
        const testing::Args args(c.arguments);
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments[0]);
        const UsbCommand command = read_usb_command(args.argc(), args.argv.data());
        EXPECT_EQ(c.error, command.error);
        if (c.error.empty()) {
            EXPECT_EQ(c.terms, command.terms);
            EXPECT_EQ(c.wait, command.wait_seconds);
        }
    }
}

TEST(Meets, EveryTermAgainstWhatTheDeviceHas) {
    UsbIdentity pico;
    pico.vid = 0x2E8A;
    pico.pid = 0x000A;
    pico.serial = "E6605838833C4A2E";
    pico.interface_number = 0;
    pico.product = "Pico";
    pico.location = "Port_#0003.Hub_#0001";
    pico.paths = {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)"};
    pico.port_paths = {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)#USBMI(0)"};
    // Its product name and socket could not be read: only they are unknown.
    UsbIdentity unreadable = pico;
    unreadable.product.reset();
    unreadable.location.reset();
    unreadable.unreadable = USB_PRODUCT | USB_LOCATION;
    unreadable.error = 5;
    const struct {
        const char* name;
        UsbTerms terms;
        Fit fit;
        Fit unreadable_fit;
    } cases[] = {
        {"vid and pid", {0x2E8A, 0x000A}, Fit::yes, Fit::yes},
        {"other pid", {0x2E8A, 0x000B}, Fit::no, Fit::no},
        {"serial ignoring case", {{}, {}, "e6605838833c4a2e"}, Fit::yes, Fit::yes},
        {"serial is whole", {{}, {}, "E660"}, Fit::no, Fit::no},
        {"product begins", {{}, {}, {}, {}, "Pi"}, Fit::yes, Fit::unknown},
        {"product case counts", {{}, {}, {}, {}, "pico"}, Fit::no, Fit::unknown},
        {"product, other serial", {{}, {}, "E661", {}, "Pi"}, Fit::no, Fit::no},
        {"location exactly", {{}, {}, {}, {}, {}, "Port_#0003.Hub_#0001"}, Fit::yes, Fit::unknown},
        {"location not a prefix", {{}, {}, {}, {}, {}, "Port_#0003"}, Fit::no, Fit::unknown},
        {"location, other vid", {0x2E8B, {}, {}, {}, {}, "Port_#0003"}, Fit::no, Fit::no},
        {"interface", {{}, {}, {}, 1}, Fit::no, Fit::no},
        {"path ignoring case", {{}, {}, {}, {}, {}, {}, "pciroot(0)#pci(1400)#usbroot(0)#usb(3)"}, Fit::yes, Fit::yes},
        {"the port's own path",
         {{}, {}, {}, {}, {}, {}, "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)#USBMI(0)"},
         Fit::yes,
         Fit::yes},
        {"path is whole", {{}, {}, {}, {}, {}, {}, "PCIROOT(0)#PCI(1400)"}, Fit::no, Fit::no},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.fit, fits(pico, c.terms));
        EXPECT_EQ(c.unreadable_fit, fits(unreadable, c.terms));
        EXPECT_EQ(Fit::no, fits(UsbIdentity{}, c.terms));
    }
}

// The values other tools give: pyserial's FTDI serial number with the
// channel letter, and its LOCATION from the first location path.
TEST(Meets, WhatPyserialReports) {
    UsbIdentity channel_b = read_instance_id("FTDIBUS\\VID_0403+PID_6010+FT4ABCDB\\0000").identity;
    channel_b.paths = {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(5)#USB(4)", "ACPI(_SB_)#ACPI(PCI0)#ACPI(HS05)#USB(4)"};
    UsbIdentity interface_2 = read_instance_id("USB\\VID_2E8A&PID_000A&MI_02\\6&1A2B3C4D&0&0002").identity;
    interface_2.paths = {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(5)#USB(4)"};
    // Its paths could not be read: only the interface part can still rule it out.
    UsbIdentity unread_paths = interface_2;
    unread_paths.paths.clear();
    unread_paths.unreadable = USB_PATH;
    const struct {
        const char* term;
        Fit channel_fit;
        Fit interface_fit;
        Fit unread_paths_fit;
    } cases[] = {
        {"serial=FT4ABCD", Fit::yes, Fit::no, Fit::no},   {"serial=ft4abcdb", Fit::yes, Fit::no, Fit::no},
        {"serial=FT4ABCDA", Fit::no, Fit::no, Fit::no},   {"serial=FT4ABCDBB", Fit::no, Fit::no, Fit::no},
        {"path=1-5.4", Fit::yes, Fit::yes, Fit::unknown}, {"path=2-5.4", Fit::yes, Fit::yes, Fit::unknown},
        {"path=1-5.4:x.1", Fit::yes, Fit::no, Fit::no},   {"path=1-5.4:x.2", Fit::no, Fit::yes, Fit::unknown},
        {"path=1-5", Fit::no, Fit::no, Fit::unknown},     {"path=1-5.4.1", Fit::no, Fit::no, Fit::unknown},
        {"path=1-4", Fit::no, Fit::no, Fit::unknown},     {"path=1-5.4:2", Fit::no, Fit::no, Fit::unknown},
        {"path=5.4", Fit::no, Fit::no, Fit::unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.term);
        const testing::Args args({c.term});
        const UsbCommand command = read_usb_command(args.argc(), args.argv.data());
        ASSERT_EQ("", command.error);
        EXPECT_EQ(c.channel_fit, fits(channel_b, command.terms));
        EXPECT_EQ(c.interface_fit, fits(interface_2, command.terms));
        EXPECT_EQ(c.unread_paths_fit, fits(unread_paths, command.terms));
    }
    EXPECT_TRUE(channel_b.ftdi_channel);
    EXPECT_TRUE(read_instance_id("USB\\VID_0403&PID_6010\\6&9358AC4&0&2").identity.socket_id);
    EXPECT_FALSE(read_instance_id("USB\\VID_0403&PID_6010\\0ABC01").identity.socket_id);
}

}  // namespace
}  // namespace comlookup
