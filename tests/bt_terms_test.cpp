#include "lookup/bt_terms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace comlookup {
namespace {

const std::string SPP = "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_";
const std::string KEPT = "{00001101-0000-1000-8000-00805f9b34fb}#";

TEST(ReadBtRecords, TheAddressFromEitherRecordWhereTheyAgree) {
    const struct {
        std::string id;
        std::optional<std::string> unique_id;
        bool bluetooth;
        std::optional<std::uint64_t> address;
        bool incoming;
    } cases[] = {
        {SPP + "LOCALMFG&000F\\7&2A0A1B9B&0&98D331FB1A2C_C00000000", KEPT + "98D331FB1A2C_C00000000", true,
         0x98D331FB1A2C, false},
        {SPP + "VID&000102B0_PID&0000\\8&1a2b3c4d&0&98d331fb1a2c_C00000001", {}, true, 0x98D331FB1A2C, false},
        {"ROOT\\PORTS\\0000", KEPT + "98D331FB1A2C_C00000000", true, 0x98D331FB1A2C, false},
        {SPP + "LOCALMFG&000F\\7&2A0A1B9B&0&98D331FB1A2C_C00000000", KEPT + "98D331FB1A2D_C00000000", true, {}, false},
        {SPP + "LOCALMFG&0000\\7&2A0A1B9B&0&000000000000_00000000", KEPT + "000000000000_00000000", true, {}, true},
        {SPP + "LOCALMFG&0000\\7&2A0A1B9B&0&000000000000_00000000", KEPT + "98D331FB1A2C_C00000000", true, {}, false},
        {SPP + "LOCALMFG&000F\\7&2A0A1B9B&0&98D331FB1A2_C00000000", {}, true, {}, false},
        {SPP + "LOCALMFG&000F\\7&2A0A1B9B&098D331FB1A2C_C00000000", {}, true, {}, false},
        {SPP + "LOCALMFG&000F\\7&2A0A1B9B&0&98D331FB1A2C_C00000000", "98D331FB1A2D_C00000000", true, 0x98D331FB1A2C,
         false},
        {"USB\\VID_2E8A&PID_000A\\E660_5838833C4A2E", {}, false, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id + " / " + c.unique_id.value_or("-"));
        const BtIdentity identity = read_bt_records(c.id, c.unique_id);
        EXPECT_EQ(c.bluetooth, identity.bluetooth);
        EXPECT_EQ(c.address, identity.address);
        EXPECT_EQ(c.incoming, identity.incoming);
    }
    EXPECT_EQ(0x98D331FB1A2CU, bt_device_address("BTHENUM\\DEV_98D331FB1A2C\\7&1F&0&BLUETOOTHDEVICE_98D331FB1A2C"));
    EXPECT_EQ(std::nullopt, bt_device_address("BTHENUM\\DEV_98D331FB1A2C1\\7&1F"));
    EXPECT_EQ(std::nullopt, bt_device_address(SPP + "LOCALMFG&000F\\7&2A0A1B9B&0&98D331FB1A2C_C00000000"));
    EXPECT_EQ("GPS\x07 Logger", bt_device_name("GPS\x07 Logger \r\n"));
    EXPECT_EQ(std::nullopt, bt_device_name(" \r\n"));
    EXPECT_EQ("98:D3:31:FB:1A:2C", address_text(0x98D331FB1A2C));
}

// A part that could not be read leaves a device unknown only for the terms
// that need it, and only where no part that was read rules it out.
TEST(BtMeets, EveryTermAgainstWhatCouldBeRead) {
    const auto named = [](const BtDevices& walk, std::uint32_t address_error = 0) {
        BtIdentity identity{true, 0x98D331FB1A2C};
        identity.address_error = address_error;
        name_from(walk, identity);
        return identity;
    };
    const struct {
        const char* name;
        BtIdentity identity;
        Fit address, name_term, other_address_and_name;
    } cases[] = {
        {"named", named({{{0x98D331FB1A2C, "HC-05"}}}), Fit::yes, Fit::yes, Fit::no},
        {"no node", named({}), Fit::yes, Fit::no, Fit::no},
        {"name unreadable", named({{{0x98D331FB1A2C, std::nullopt, 5}}}), Fit::yes, Fit::unknown, Fit::no},
        {"a node's ID unreadable", named({{{std::nullopt, std::nullopt, 5}}}), Fit::yes, Fit::unknown, Fit::no},
        {"class walk failed", named({{}, WalkFailure{}}), Fit::yes, Fit::unknown, Fit::no},
        {"address unreadable", named({}, 5), Fit::unknown, Fit::unknown, Fit::unknown},
        {"incoming", BtIdentity{true, std::nullopt, true}, Fit::no, Fit::no, Fit::no},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.address, meets(c.identity, {0x98D331FB1A2C}));
        EXPECT_EQ(c.name_term, meets(c.identity, {std::nullopt, "HC-0"}));
        EXPECT_EQ(c.other_address_and_name, meets(c.identity, {0x112233445566, "HC-0"}));
    }
}

// The service's key is built from parts of the instance ID: none of them
// may reach outside the one key Windows writes.
TEST(BtServiceKey, FromTheInstanceIdOnly) {
    const std::string tail = "LOCALMFG&000F\\7&2A0A1B9B&0&98D331FB1A2C_";
    const struct {
        std::string id;
        std::optional<BtServiceKey> key;
    } cases[] = {
        {SPP + tail + "C00000001", BtServiceKey{"98d331fb1a2c", "{00001101-0000-1000-8000-00805F9B34FB}\\C00000001"}},
        {"bthenum\\{0000110a-0000-1000-8000-00805f9b34fb}_VID&000102B0_PID&0000\\8&1a&0&98d331fb1a2c_c00000000",
         BtServiceKey{"98d331fb1a2c", "{0000110a-0000-1000-8000-00805f9b34fb}\\c00000000"}},
        {SPP + tail + "C0000000.", std::nullopt},
        {SPP + tail + "C00000001&..", std::nullopt},
        {SPP + tail, std::nullopt},
        {SPP + tail + "C0000000000000001", std::nullopt},
        {"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB\\}_" + tail + "C00000001", std::nullopt},
        {"BTHENUM\\{00001101-0000-1000-8000_00805F9B34FB}_" + tail + "C00000001", std::nullopt},
        {"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}" + tail + "C00000001", std::nullopt},
        {"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG\\7&2A_C00000001\\98D331FB1A2C", std::nullopt},
        {"USB\\{00001101-0000-1000-8000-00805F9B34FB}_" + tail + "C00000001", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(c.key, bt_service_key(c.id, 0x98D331FB1A2C));
    }
}

// The 256 bytes of "PriLangServiceName" as Windows pads them, and values no
// Windows wrote.
TEST(BtServiceUtf8, UpToTheFirstNulAndNoFurtherThanWindowsWrites) {
    const struct {
        const char* name;
        std::string value;
        std::string utf8;
    } cases[] = {
        {"padded", std::string("Dev B") + std::string(251, '\0'), "Dev B"},
        {"unpadded", "Dev B", "Dev B"},
        {"no name", std::string(256, '\0'), ""},
        {"empty value", "", ""},
        {"bytes after the NUL", std::string("SPP\0Dev B", 9), "SPP"},
        {"no NUL", std::string(300, 'x'), std::string(256, 'x')},
        {"UTF-8", "Seriell \xC3\xBC" + std::string(10, '\0'), "Seriell \xC3\xBC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.utf8, bt_service_utf8(c.value));
    }
}

// service= and the COM Ports tab's text as name=: a service name that could
// not be read leaves the port unknown wherever it could change the answer,
// and is read only where it could.
TEST(BtMeets, TheServiceAndTheTabsText) {
    const auto port = [](std::optional<std::string> service, std::uint32_t error = 0) {
        BtIdentity identity{true, 0x98D331FB1A2C, false, "HC-05", std::move(service)};
        identity.service_error = error;
        return identity;
    };
    const struct {
        const char* name;
        BtTerms terms;
        Fit dev_b, no_service, refused;
        bool weighs;  // for a port whose service is not read yet
    } cases[] = {
        {"service=Dev", {{}, {}, "Dev"}, Fit::yes, Fit::no, Fit::unknown, true},
        {"service=Dev C", {{}, {}, "Dev C"}, Fit::no, Fit::no, Fit::unknown, true},
        {"service= of another address", {0x112233445566, {}, "Dev"}, Fit::no, Fit::no, Fit::no, false},
        {"service= of another name", {{}, "HC-06", "Dev"}, Fit::no, Fit::no, Fit::no, false},
        {"name=HC-05 'Dev B'", {{}, "HC-05 'Dev B'"}, Fit::yes, Fit::no, Fit::unknown, true},
        {"name=HC-05 'Dev'", {{}, "HC-05 'Dev'"}, Fit::no, Fit::no, Fit::unknown, true},
        {"name=HC-05 'Dev B", {{}, "HC-05 'Dev B"}, Fit::no, Fit::no, Fit::no, false},
        {"name=HC-05 '", {{}, "HC-05 '"}, Fit::no, Fit::no, Fit::no, false},
        {"name=HC-06 'Dev B'", {{}, "HC-06 'Dev B'"}, Fit::no, Fit::no, Fit::no, false},
        {"name=HC-0", {{}, "HC-0"}, Fit::yes, Fit::yes, Fit::yes, false},
        {"name=HC-05 'Dev B' service=Dev", {{}, "HC-05 'Dev B'", "Dev"}, Fit::yes, Fit::no, Fit::unknown, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.dev_b, meets(port("Dev B"), c.terms));
        EXPECT_EQ(c.no_service, meets(port(std::nullopt), c.terms));
        EXPECT_EQ(c.refused, meets(port(std::nullopt, 5), c.terms));
        EXPECT_EQ(c.weighs, service_weighs(port(std::nullopt), c.terms));
    }
    BtIdentity unnamed = port("Dev B");
    unnamed.name_error = 5;
    EXPECT_EQ(Fit::unknown, meets(unnamed, {{}, "HC-05 'Dev B'"}));
    const testing::Args args({"service=Dev B", "name=HC-05 'Dev B'"});
    EXPECT_EQ((BtTerms{{}, "HC-05 'Dev B'", "Dev B"}), read_bt_command(args.argc(), args.argv.data()).terms);
    const testing::Args unknown({"uuid=1101"});
    EXPECT_EQ("argument 1 has an unknown key: the keys are name, address and service",
              read_bt_command(unknown.argc(), unknown.argv.data()).error);
}

}  // namespace
}  // namespace comlookup
