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

// Location paths as Windows gives them: path({5, 2}) is port 2 of a hub on
// root port 5, "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(5)#USB(2)"; the ACPI
// form names the root port by the firmware's name.
std::string path(std::initializer_list<int> ports) {
    std::string text = "PCIROOT(0)#PCI(1400)#USBROOT(0)";
    for (const int port : ports) {
        text += "#USB(" + std::to_string(port) + ")";
    }
    return text;
}
std::string acpi_path(int root_port) {
    return "ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#ACPI(HS0" + std::to_string(root_port) + ")";
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
    pico.location_paths = {path({3}) + "#USBMI(0)", acpi_path(3) + "#USBMI(0)"};
    FakePort ch340_a = port("COM6", "USB-SERIAL CH340 (COM6)", "USB\\VID_1A86&PID_7523\\5&2C6B3C4&0&2");
    ch340_a.location = "Port_#0002.Hub_#0001";
    ch340_a.location_paths = {path({5, 2})};
    FakePort ch340_b = port("COM7", "USB-SERIAL CH340 (COM7)", "USB\\VID_1A86&PID_7523\\5&2C6B3C4&0&5");
    ch340_b.location = "Port_#0005.Hub_#0001";
    ch340_b.location_paths = {path({5, 5})};
    FakePort cp210x = port("COM8", "Silicon Labs CP210x USB to UART Bridge (COM8)", "USB\\VID_10C4&PID_EA60\\0001");
    cp210x.bus_description = "CP2102 USB to UART Bridge Controller";
    // A board like the Leonardo whose parent may not be read: its serial
    // number, product name and socket are unknown, so only its IDs can rule
    // it out.
    FakePort locked = port("COM12", "Arduino Micro (COM12)", "USB\\VID_2341&PID_8036&MI_00\\7&2E3D4C5B&0&0000",
                           "USB\\VID_2341&PID_8036\\5&3A1B2C3&0&9");
    locked.parent_unreadable = true;
    FakePort vendor = port("COM10", "Vendor Serial (COM10)", "VENDORBUS\\PORT\\0001");
    vendor.hardware_ids = {"VENDORBUS\\PORT", "USB\\VID_1234&PID_5678&REV_0100"};
    FakePort leonardo = port("COM4", "USB Serial Device (COM4)", "USB\\VID_2341&PID_8036&MI_00\\7&1F2E3D4C&0&0000",
                             "USB\\VID_2341&PID_8036\\5&3A1B2C3&0&4");
    leonardo.location_paths = {path({4}) + "#USBMI(0)"};
    // An FTDI channel has no path of its own: its USB device, the parent, has.
    FakePort ftdi = usb_device("USB\\VID_0403&PID_6001\\A50285BI", "FT232R USB UART", "Port_#0001.Hub_#0002");
    ftdi.location_paths = {path({1, 1})};
    // Two FT2232s that report one serial number: Windows names the first
    // plugged in by it and the next by its socket. Each on root port 6 of
    // its own controller, so pyserial's LOCATION for both is 1-6.
    FakePort dual_a = usb_device("USB\\VID_0403&PID_6010\\0ABC01", "Dual RS232-HS", "Port_#0006.Hub_#0001");
    dual_a.location_paths = {path({6})};
    FakePort dual_b = usb_device("USB\\VID_0403&PID_6010\\6&9358AC4&0&2", "Dual RS232-HS", "Port_#0006.Hub_#0002");
    dual_b.location_paths = {"PCIROOT(0)#PCI(1401)#USBROOT(0)#USB(6)"};
    // A CP2102 with its product name programmed, beside COM8 of the same IDs
    // and default serial number, which it reports too.
    FakePort pink =
        port("COM15", "Silicon Labs CP210x USB to UART Bridge (COM15)", "USB\\VID_10C4&PID_EA60\\5&1B2C3D4E&0&7");
    pink.bus_description = "Pink USB DB9 Adapter (CP2102)";
    pink.location_paths = {path({7})};
    // Ports whose drivers Windows reports failed or disabled.
    FakePort failed =
        port("COM18", "Prolific USB-to-Serial Comm Port (COM18)", "USB\\VID_067B&PID_2303\\5&2C6B3C4&0&8");
    failed.problem = 10;
    FakePort disabled = port("COM2", "Communications Port (COM2)", "ACPI\\PNP0501\\2");
    disabled.problem = 22;
    disabled.problem_type = DEVPROP_TYPE_INT32;
    return {
        usb_device("USB\\VID_2E8A&PID_000A\\E6605838833C4A2E", "Pico", "Port_#0003.Hub_#0001"),
        pico,
        usb_device("USB\\VID_2341&PID_8036\\5&3A1B2C3&0&4", "Arduino Leonardo", "Port_#0004.Hub_#0001"),
        leonardo,
        ftdi,
        port("COM5", "USB Serial Port (COM5)", "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000",
             "USB\\VID_0403&PID_6001\\A50285BI"),
        ch340_a,
        ch340_b,
        cp210x,
        port("COM9", "STMicroelectronics Virtual COM Port (COM9)", "USB\\VID_0483&PID_5740\\0001"),
        port("COM1", "Communications Port (COM1)", "ACPI\\PNP0501\\1"),
        vendor,
        locked,
        dual_a,
        port("COM13", "USB Serial Port (COM13)", "FTDIBUS\\VID_0403+PID_6010+0ABC01A\\0000",
             "USB\\VID_0403&PID_6010\\0ABC01"),
        dual_b,
        port("COM14", "USB Serial Port (COM14)", "FTDIBUS\\VID_0403+PID_6010+6&9358AC4&0&2A\\0000",
             "USB\\VID_0403&PID_6010\\6&9358AC4&0&2"),
        pink,
        failed,
        disabled,
    };
}

std::vector<comlookup::testing::CompanionCall> calls() {
    return {
        {"vid=2E8A", 3, false, "COM3"},
        {"vid=2e8a pid=0x000a interface=0", 3},
        // COM12 might have this serial number, product name or socket; its
        // vendor ID rules it out.
        {"serial=e6605838833c4a2e", -1, false, "-1"},
        {"vid=2E8A serial=e6605838833c4a2e", 3},
        {"product=Pico", -1},
        {"vid=2E8A product=Pico", 3},
        {"vid=2E8A \"product=Board CDC\"", -1},
        {"vid=2E8A location=Port_#0003.Hub_#0001", 3},
        {"vid=2341 product=\"Arduino Leonardo\"", -1},
        {"vid=2341 pid=8036 location=Port_#0004.Hub_#0001", -1},
        {"vid=2341 pid=8036 path=" + path({4}), -1},
        {"path=" + path({3}), -1},
        {"vid=2E8A path=pciroot(0)#pci(1400)#usbroot(0)#usb(3)", 3},
        {"vid=2E8A path=" + path({3}) + "#USBMI(0)", 3},
        {"vid=2E8A path=" + acpi_path(3), 3},
        {"vid=0403 path=" + path({1, 1}), 5},
        {"vid=1A86 path=" + path({5, 5}), 7},
        {"vid=1A86 path=" + path({5}), -1},
        {"vid=2341", -2, false, "-1"},
        {"vid=2341 interface=0", -2},
        {"vid=0403 pid=6001 interface=0", 5},
        {"vid=0403 interface=0", -2, false, "COM5 COM13 COM14"},
        {"vid=0403 serial=A50285BI", 5},
        {"vid=0403 serial=A50285BIA", 5},
        {"vid=0403 serial=A50285BIB", -1},
        {"vid=0403 pid=6010 serial=0ABC01", 13},
        {"vid=0403 pid=6010 serial=0ABC01A", 13},
        {"vid=0403 path=1-1.1", 5},
        {"vid=0403 pid=6010 path=1-6", -2, false, "COM13 COM14"},
        {"vid=0403 pid=6010 path=PCIROOT(0)#PCI(1401)#USBROOT(0)#USB(6)", 14},
        {"vid=2E8A path=1-3:x.0", 3},
        {"vid=2E8A path=1-3:x.1", -1},
        {"vid=1A86 path=1-5.5", 7},
        {"vid=1A86 path=1-5.5:x.0", -1},
        {"vid=10C4 \"product=Pink USB DB9\"", 15},
        {"vid=067B", 18},
        {"vid=0403 product=FT232R", 5},
        {"vid=1A86", -2, false, "COM6 COM7"},
        {"vid=1A86 location=Port_#0005.Hub_#0001", 7},
        {"vid=1A86 serial=5&2C6B3C4&0&2", -1},
        {"vid=10C4 serial=0001", 8},
        {"vid=10C4", -2, false, "COM15 COM8"},
        {"location=Port_#0005", -1},
        {"vid=1234 pid=5678", 10},
        {"vid=FFFF", -1, false, ""},
        {"", -1, true},
        {"vid", -1, true},
        {"vendor=2E8A", -1, true, "-1"},
        {"serial=", -1, true},
        {"vid=12345", -1, true},
        {"interface=x", -1, true},
        {"--wait ten vid=2E8A", -1, true},
        {"--wait 5", -1, true, "-1"},
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
    // Words as comlookup reads them: the ports in socket order, those without a USB path last.
    run.ports("USB Serial Device", "COM3 COM4");
    run.ports("Silicon Labs", "COM15 COM8");
    run.ports("Arduino Micro", "-1");
    run.ports("\"\" USB", "-1", true);
    run.ports("--usb --wait 5 vid=2E8A", "-1", true);
    run.suggestions("USB Serial Device", 1, "Nothing picks out COM4 for sure: COM12 could not be read in full");
    run.suggestions("USB-SERIAL", 2,
                    "this writes their ports in the order of their sockets: "
                    "comlookup-list --ports USB-SERIAL");
    // By serial number only where no adapter of the same IDs may report it too.
    run.suggestions("USB Serial Port", 3,
                    "its serial number may also be that of COM14, of the same IDs, which Windows names by its "
                    "socket: Windows gives a serial number to the first of them plugged in");
    run.suggestions("Silicon Labs", 2, "it may report the serial number of COM8, of the same IDs");
    run.suggestions("Prolific", 0,
                    "Windows reports a problem with this device (code 10: it could not start): the port may not open");
    run.suggestions("Communications Port", 0, "(code 22: it is disabled)");
    run.suggestions("\"USB Serial Port (COM5)\"", 0,
                    "The words reach into \" (COM5)\", the port number Windows adds to the name");
    run.terms_listings({
        {"vid=0403 serial=A50285BIB", "~COM5 ~COM13 ~COM14",
         "meets all but serial=A50285BIB; its own is serial=A50285BI"},
        {"vid=0403 pid=6010 path=1-6", "*COM13 *COM14", "comlookup-list --ports --usb vid=0403 pid=6010 path=1-6"},
        {"vid=0403 pid=6010 path=1-6:x.1", "~COM13 ~COM14", "meets all but path=1-6:x.1"},
        {"vid=10C4 \"product=Pink USB DB9\"", "~COM8 *COM15"},
        {"vid=2341 pid=8036", "*COM4 *COM12"},
        {"pid=8036 serial=5", "~COM4 ?COM12"},
        {"vid=067B", "*COM18"},
        {"vid=1234 vid=5678", ""},
        {"serial", ""},
    });
    // A board whose bootloader comes back as another product: the wait answers once it is there.
    run.wait("--wait 30 vid=2341 pid=0036",
             {port("COM11", "Arduino Leonardo bootloader (COM11)", "USB\\VID_2341&PID_0036\\6&2B3C4D5E&0&4")}, 11,
             "--wait 30 vid=2341 pid=0036 (bootloader appears after 1 s)");
    return run.finish();
}
