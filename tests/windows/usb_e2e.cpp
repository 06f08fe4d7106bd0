// Runs the real comlookup-usb.exe against USB devices modelled on real ones,
// built with SetupAPI's own installation functions: each command line must
// give its full 32-bit status and write nothing, a bad one -1 and one line.
// Runs each comlookup-usb command comlookup-list suggests, which must give
// the port it was suggested for.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "companion_e2e.h"
#include "device_db.h"

namespace {

using comlookup::testing::FakePort;

FakePort port(const char* port_name, const char* friendly_name, const char* instance_id, const char* parent = nullptr) {
    FakePort device{friendly_name, port_name};
    device.instance_id = instance_id;
    if (parent != nullptr) {
        device.parent = parent;
    }
    return device;
}

FakePort usb_device(const char* instance_id, const char* product, const char* location) {
    FakePort device{std::nullopt, std::nullopt, REG_SZ, false};
    device.setup_class = &comlookup::testing::usb_class();
    device.instance_id = instance_id;
    device.bus_description = product;
    device.location = location;
    return device;
}

std::vector<FakePort> devices() {
    // A composite CDC board: its serial number, product and socket are its parent's.
    FakePort pico = port("COM3", "USB Serial Device (COM3)", "USB\\VID_2E8A&PID_000A&MI_00\\6&1A2B3C4D&0&0000",
                         "USB\\VID_2E8A&PID_000A\\E6605838833C4A2E");
    pico.bus_description = "Board CDC";  // the interface's name, not the product's
    FakePort ch340_a = port("COM6", "USB-SERIAL CH340 (COM6)", "USB\\VID_1A86&PID_7523\\5&2C6B3C4&0&2");
    ch340_a.location = "Port_#0002.Hub_#0001";
    FakePort ch340_b = port("COM7", "USB-SERIAL CH340 (COM7)", "USB\\VID_1A86&PID_7523\\5&2C6B3C4&0&5");
    ch340_b.location = "Port_#0005.Hub_#0001";
    FakePort cp210x = port("COM8", "Silicon Labs CP210x USB to UART Bridge (COM8)", "USB\\VID_10C4&PID_EA60\\0001");
    cp210x.bus_description = "CP2102 USB to UART Bridge Controller";
    FakePort vendor = port("COM10", "Vendor Serial (COM10)", "VENDORBUS\\PORT\\0001");
    vendor.hardware_ids = {"VENDORBUS\\PORT", "USB\\VID_1234&PID_5678&REV_0100"};
    return {
        usb_device("USB\\VID_2E8A&PID_000A\\E6605838833C4A2E", "Pico", "Port_#0003.Hub_#0001"),
        pico,
        usb_device("USB\\VID_2341&PID_8036\\5&3A1B2C3&0&4", "Arduino Leonardo", "Port_#0004.Hub_#0001"),
        port("COM4", "USB Serial Device (COM4)", "USB\\VID_2341&PID_8036&MI_00\\7&1F2E3D4C&0&0000",
             "USB\\VID_2341&PID_8036\\5&3A1B2C3&0&4"),
        usb_device("USB\\VID_0403&PID_6001\\A50285BI", "FT232R USB UART", "Port_#0001.Hub_#0002"),
        port("COM5", "USB Serial Port (COM5)", "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000",
             "USB\\VID_0403&PID_6001\\A50285BI"),
        ch340_a,
        ch340_b,
        cp210x,
        port("COM9", "STMicroelectronics Virtual COM Port (COM9)", "USB\\VID_0483&PID_5740\\0001"),
        port("COM1", "Communications Port (COM1)", "ACPI\\PNP0501\\1"),
        vendor,
    };
}

std::vector<comlookup::testing::CompanionCall> calls() {
    return {
        {"vid=2E8A", 3},
        {"vid=2e8a pid=0x000a interface=0", 3},
        {"serial=e6605838833c4a2e", 3},
        {"product=Pico", 3},
        {"\"product=Board CDC\"", -1},
        {"location=Port_#0003.Hub_#0001", 3},
        {"product=\"Arduino Leonardo\"", 4},
        {"interface=0", -2},
        {"vid=0403 interface=0", 5},
        {"serial=A50285BI", 5},
        {"serial=A50285BIA", -1},
        {"product=FT232R", 5},
        {"vid=1A86", -2},
        {"vid=1A86 location=Port_#0005.Hub_#0001", 7},
        {"serial=5&2C6B3C4&0&2", -1},
        {"serial=0001", -2},
        {"vid=10C4 serial=0001", 8},
        {"location=Port_#0005", -1},
        {"vid=1234 pid=5678", 10},
        {"vid=FFFF", -1},
        {"", -1, true},
        {"vid", -1, true},
        {"vendor=2E8A", -1, true},
        {"serial=", -1, true},
        {"vid=12345", -1, true},
        {"interface=x", -1, true},
        {"--wait ten vid=2E8A", -1, true},
        {"--wait 5", -1, true},
        {"vid=2E8A --wait 5", -1, true},
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || !comlookup::testing::running_under_wine()) {
        std::fprintf(stderr, "usage, under Wine only: usb_e2e PATH-TO-comlookup-usb.exe PATH-TO-comlookup-list.exe\n");
        return 2;
    }
    comlookup::testing::CompanionRun run("comlookup-usb", argv[1], argv[2]);
    if (!comlookup::testing::clear_ports() || !comlookup::testing::add_ports(devices())) {
        std::printf("FAIL cannot build the device database\n");
        return 1;
    }
    run.calls(calls());
    run.suggestions("USB Serial Device", 2);
    run.suggestions("USB-SERIAL", 2);
    // A board whose bootloader comes back as another product: the wait answers once it is there.
    run.wait("--wait 30 vid=2341 pid=0036",
             {port("COM11", "Arduino Leonardo bootloader (COM11)", "USB\\VID_2341&PID_0036\\6&2B3C4D5E&0&4")}, 11,
             "--wait 30 vid=2341 pid=0036 (bootloader appears after 1 s)");
    return run.finish();
}
