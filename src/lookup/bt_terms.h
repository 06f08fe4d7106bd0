#pragma once

// Everything particular to Bluetooth serial ports: where the remote device's
// address and name come from, how they meet comlookup-bt's TERMs, and how
// they are worded back as TERMs.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/bt_identity.h"
#include "common/fit.h"
#include "common/port_survey.h"
#include "lookup/command_terms.h"

namespace comlookup {

// What a port's two records of its remote device say together: its
// instance ID, such as
// "BTHENUM\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&000F\7&2A0A1B9B&0&98D331FB1A2C_C00000000",
// and the "Bluetooth_UniqueID" of its hardware key, such as
// "{00001101-0000-1000-8000-00805f9b34fb}#98D331FB1A2C_C00000000" (none:
// absent or not read). Where both hold an address they must agree; all
// zeros is an incoming port. The name is left to name_from.
BtIdentity read_bt_records(std::string_view instance_id, std::optional<std::string_view> unique_id);

// The address in the instance ID of a node of the Bluetooth class,
// "BTHENUM\DEV_98D331FB1A2C\...", or none.
std::optional<std::uint64_t> bt_device_address(std::string_view instance_id);

// A device's name as it reported it, short of the trailing CR, LF and
// blanks some devices send; none when nothing is left.
std::optional<std::string> bt_device_name(std::string_view reported);

// Where Windows keeps the name of a port's serial service, under
// HKLM\SYSTEM\CurrentControlSet\Services\BTHPORT\Parameters\Devices: the
// remote device's key ("98d331fb1a2c") and, under each of its
// "ServicesFor<local radio>" keys, the service's
// ("{00001101-0000-1000-8000-00805F9B34FB}\C00000001"), from the port's
// instance ID; none where the ID does not hold them as Windows writes them.
struct BtServiceKey {
    std::string device;
    std::string service;

    bool operator==(const BtServiceKey&) const = default;
};
std::optional<BtServiceKey> bt_service_key(std::string_view instance_id, std::uint64_t address);

// The UTF-8 text of a "PriLangServiceName" value, which Windows writes as
// 256 bytes padded with NULs: its bytes up to the first NUL, never more
// than 256 of them.
std::string_view bt_service_utf8(std::string_view value);

// Gives a port with a remote device its device's name from the walk of the
// Bluetooth class, or the error that kept it from being known.
void name_from(const BtDevices& walk, BtIdentity& identity);

// How a port with `identity` stands to every term: a part it does not have
// meets no term, and a part that could not be read leaves it unknown, unless
// a part that was read already rules it out.
Fit meets(const BtIdentity& identity, const BtTerms& terms);

// How it stands to each term given, by its key, in the order comlookup-bt's
// keys are listed; `meets` is all of them together.
std::vector<TermFit> bt_term_fits(const BtIdentity& identity, const BtTerms& terms);

// Whether the port's service name, not read yet, could change how it stands
// to `terms`: the one read comlookup-bt makes only for the ports the other
// parts leave in the running.
bool service_weighs(const BtIdentity& identity, const BtTerms& terms);

// The terms that ask for exactly this identity.
BtTerms terms_of(const BtIdentity& identity);

// An address as Windows' settings show it: 98:D3:31:FB:1A:2C.
std::string address_text(std::uint64_t address);

// The terms as comlookup-bt takes them, in its order: address=98:D3:31:FB:1A:2C
// name="HC-05" service="Dev B", the texts always in double quotes as `quoted` writes a value
// in them; none when it gives none.
using QuotedValue = std::function<std::optional<std::string>(std::string_view value)>;
std::optional<std::vector<std::string>> bt_term_words(const BtTerms& terms, const QuotedValue& quoted);

// What "comlookup-bt [--wait SECONDS] TERM..." asks for.
using BtCommand = TermCommand<BtTerms>;
BtCommand read_bt_command(int argc, const char* const* argv);

// A line for each key comlookup-bt takes, for its help.
std::string bt_key_lines();

// The port number of the one device comlookup lists in `survey` that meets
// `terms`, EXIT_NOT_FOUND when none does or any might, EXIT_AMBIGUOUS when
// more than one does; EXIT_NOT_FOUND for a walk that fell short.
std::int32_t select_bt_port(const Survey& survey, const BtTerms& terms);

}  // namespace comlookup
