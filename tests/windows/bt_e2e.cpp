// Runs the real comlookup-bt.exe against Bluetooth serial ports modelled on
// real ones, built with SetupAPI's own installation functions (Wine has no
// Bluetooth stack): each command line must give its full 32-bit status and
// write nothing, a bad one -1 and one line. Runs each comlookup-bt command
// comlookup-list suggests, which must give the port it was suggested for.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "companion_e2e.h"
#include "device_db.h"

namespace {

using comlookup::testing::FakePort;

const std::string SPP = "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_";
const std::string SPP_KEPT = "{00001101-0000-1000-8000-00805f9b34fb}#";
const std::string SPP_CLASS = "{00001101-0000-1000-8000-00805F9B34FB}";
const std::string ENGLISH = "Standard Serial over Bluetooth link";

// A port of the serial service `service` of the device at `address`, as
// Windows makes one on pairing; `kept` is the address in its hardware key.
// `name` is the service's name, as the device reported it in UTF-8, which
// Windows keeps apart from the port.
FakePort spp(const char* port_name, const std::string& friendly_name, const char* radio, const std::string& address,
             const char* service = "C00000000", const std::string& kept = "",
             const std::optional<std::string>& name = std::nullopt) {
    FakePort port = comlookup::testing::bluetooth_port(port_name, friendly_name,
                                                       SPP + radio + "\\7&2A0A1B9B&0&" + address + "_" + service,
                                                       SPP_KEPT + (kept.empty() ? address : kept) + "_" + service);
    std::string lower = address;
    for (char& c : lower) {
        c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    }
    port.bluetooth_service_key = lower + "\\ServicesFor001a7dda7113\\" + SPP_CLASS + "\\" + service;
    port.bluetooth_service = name;
    return port;
}

// An outgoing port of `address`'s service `service` named `name`.
FakePort named_spp(const char* port_name, const std::string& address, const char* service, const std::string& name) {
    return spp(port_name, ENGLISH + " (" + port_name + ")", "LOCALMFG&000F", address, service, "", name);
}

FakePort node(const std::string& address, const std::string& name) {
    return comlookup::testing::bluetooth_device("BTHENUM\\DEV_" + address + "\\7&1F2E3D4C&0&BLUETOOTHDEVICE_" + address,
                                                name);
}

std::vector<FakePort> devices() {
    FakePort usb{"USB Serial Device (COM3)", "COM3"};
    usb.instance_id = "USB\\VID_2E8A&PID_000A\\E6605838833C4A2E";
    return {
        usb,
        // An HC-05 module: the port a script opens, and the one that waits for it to call.
        node("98D331FB1A2C", "HC-05"),
        named_spp("COM5", "98D331FB1A2C", "C00000000", "Dev B"),
        spp("COM6", ENGLISH + " (COM6)", "LOCALMFG&0000", "000000000000", "00000000"),
        // A second one, with the same name and service.
        node("98D331FB2B3D", "HC-05"),
        named_spp("COM16", "98D331FB2B3D", "C00000000", "Dev B"),
        // On German Windows, with the remote's records in the middle part;
        // its service's name in UTF-8, read in the ANSI code page (1252).
        node("98D371F5E210", "HC-06"),
        spp("COM7",
            "Standardm\xE4\xDFige Seriell-\xFC"
            "ber-Bluetooth-Verbindung (COM7)",
            "VID&0001009E_PID&0000", "98D371F5E210", "C00000000", "", "Ger\xC3\xA4t"),
        // Two serial services that give no name: two outgoing ports, one address.
        node("240AC4123456", "ESP32-Gateway"),
        spp("COM8", ENGLISH + " (COM8)", "LOCALMFG&000F", "240AC4123456"),
        spp("COM9", ENGLISH + " (COM9)", "LOCALMFG&000F", "240AC4123456", "C00000001"),
        // A name with a control in it and the line end some devices send; a
        // service name with an arrow, which code page 1252 lacks.
        node("001BC10E55A7", "GPS\x07 Logger\r\n"),
        named_spp("COM10", "001BC10E55A7", "C00000000", "NMEA \xE2\x86\x92 out\r\n"),
        // A braille display with three serial services.
        node("0007800A1B2C", "VarioUltra"),
        named_spp("COM13", "0007800A1B2C", "C00000000", "Braille Terminal"),
        named_spp("COM14", "0007800A1B2C", "C00000001", "Serial Port"),
        named_spp("COM15", "0007800A1B2C", "C00000002", "Sync"),
        // Its two records disagree: no remote device.
        spp("COM12", ENGLISH + " (COM12)", "LOCALMFG&0002", "001BC10E55A7", "C00000000", "001BC10E55A8"),
    };
}

std::vector<comlookup::testing::CompanionCall> calls() {
    return {
        {"address=98:D3:31:FB:1A:2C", 5},
        {"address=98d331fb1a2c", 5},
        {"address=98-D3-31-FB-1A-2C", 5},
        {"name=HC-05", -2},
        {"name=hc-05", -1},
        {"name=HC-0", -2, false, "COM5 COM7 COM16"},
        {"name=HC-06", 7},
        {"address=98:D3:31:FB:2B:3D", 16},
        // What Windows' COM Ports tab shows beside each outgoing port.
        {"\"name=HC-05 'Dev B'\"", -2},
        {"\"name=HC-05 'Dev B'\" address=98D331FB2B3D", 16},
        {"\"name=HC-05 'Dev'\"", -1},
        {"\"name=VarioUltra 'Sync'\"", 15},
        {"\"name=VarioUltra 'Serial Port'\"", 14},
        {"\"name=HC-06 'Ger\xE4t'\"", 7},
        {"\"name=GPS\x07 Logger 'NMEA ? out'\"", 10},
        {"\"service=Braille Terminal\"", 13},
        {"service=Ser", 14},
        {"service=S", -2},
        {"name=VarioUltra service=S", -2},
        {"\"service=Dev B\"", -2},
        {"service=Ger\xE4t", 7},
        {"\"service=NMEA ? out\"", 10},
        {"service=Braille address=98:D3:31:FB:1A:2C", -1, false, ""},
        {"service=", -1, true},
        {"service=Dev service=Dev", -1, true},
        {"name=HC-05 address=98:D3:31:FB:1A:2C", 5},
        {"name=HC-06 address=98:D3:31:FB:1A:2C", -1},
        {"name=ESP32-Gateway", -2},
        {"address=24:0A:C4:12:34:56", -2},
        {"\"name=GPS\x07 Logger\"", 10},
        {"address=00:1B:C1:0E:55:A7", 10},
        {"address=00:1B:C1:0E:55:A8", -1},
        {"\"name=Standard Serial\"", -1},
        {"", -1, true},
        {"address", -1, true},
        {"mac=98D331FB1A2C", -1, true, "-1"},
        {"name=", -1, true},
        {"name=HC-05 name=HC-06", -1, true},
        {"address=98D331FB1A2", -1, true},
        {"address=98:D3:31:FB:1A-2C", -1, true},
        {"address=00:00:00:00:00:00", -1, true},
        {"--wait ten name=HC-05", -1, true},
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || !comlookup::testing::running_under_wine()) {
        std::fprintf(stderr, "usage, under Wine only: bt_e2e PATH-TO-comlookup-bt.exe PATH-TO-comlookup-list.exe\n");
        return 2;
    }
    comlookup::testing::CompanionRun run("comlookup-bt", argv[1], argv[2]);
    if (!comlookup::testing::clear_ports() || !comlookup::testing::add_ports(devices())) {
        std::printf("FAIL cannot build the device database\n");
        return 1;
    }
    run.calls(calls());
    // No words: every port comlookup weighs, those without a USB path by number.
    run.ports("", "COM3 COM5 COM6 COM7 COM8 COM9 COM10 COM12 COM13 COM14 COM15 COM16");
    run.suggestions("\"" + ENGLISH + "\"", 6,
                    "Nothing but the port number tells COM8, COM9 from the other ports of their Bluetooth device");
    // An OBD adapter whose service record no one may read: unknown to any
    // service= its other parts do not rule out.
    FakePort refused = named_spp("COM17", "8818561D0A7E", "C00000000", "SPP");
    refused.bluetooth_service_unreadable = true;
    if (!comlookup::testing::add_ports({node("8818561D0A7E", "OBDII"), refused})) {
        std::printf("FAIL cannot add the OBD adapter\n");
        return 1;
    }
    run.calls({
        {"\"service=Braille Terminal\"", -1, false, "-1"},
        {"\"name=VarioUltra\" \"service=Braille Terminal\"", 13},
        {"\"name=OBDII 'SPP'\"", -1},
        {"name=OBDII", 17},
        {"address=88:18:56:1D:0A:7E", 17},
        {"\"name=HC-05 'Dev B'\" address=98D331FB2B3D", 16},
    });
    run.suggestions("OBDII", 0, "the service name could not be read (error 5)");
    run.terms_listings({
        {"name=HC-05", "*COM5 *COM16", "comlookup-list --ports --bt name=HC-05"},
        {"name=HC-0", "*COM5 *COM16 *COM7"},
        {"name=HC-06 address=98:D3:31:FB:1A:2C", "~COM5 ~COM7", "meets all but name=HC-06; its own is name=\"HC-05\""},
        {"service=Braille address=98:D3:31:FB:1A:2C", "~COM13 ~COM5",
         "meets all but service=Braille; its own is service=\"Dev B\""},
        {"name=ESP32-Gateway", "*COM8 *COM9"},
        {"mac=98D331FB1A2C", ""},
    });
    // A module paired while the wait runs: it answers once its port is there.
    run.wait("--wait 30 name=HC-08",
             {node("201906180001", "HC-08"), spp("COM11", ENGLISH + " (COM11)", "LOCALMFG&000F", "201906180001")}, 11,
             "--wait 30 name=HC-08 (paired after 1 s)");
    return run.finish();
}
