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

}  // namespace
}  // namespace comlookup
