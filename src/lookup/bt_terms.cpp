#include "lookup/bt_terms.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "common/ascii.h"
#include "lookup/select_port.h"

namespace comlookup {
namespace {

constexpr std::size_t ADDRESS_DIGITS = 12;

// Exactly 12 hex digits in either case, most significant first.
std::optional<std::uint64_t> address_digits(std::string_view text) {
    return text.size() == ADDRESS_DIGITS ? hex_value(text, ADDRESS_DIGITS) : std::nullopt;
}

// "98D331FB1A2C", "98:D3:31:FB:1A:2C" or "98-d3-31-fb-1a-2c"; one separator throughout.
std::optional<std::uint64_t> typed_address(std::string_view text) {
    if (text.size() == ADDRESS_DIGITS) {
        return address_digits(text);
    }
    if (text.size() != 17 || (text[2] != ':' && text[2] != '-')) {
        return std::nullopt;
    }
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i % 3 != 2) {
            digits += text[i];
        } else if (text[i] != text[2]) {
            return std::nullopt;
        }
    }
    return address_digits(digits);
}

// The third part of "BTHENUM\{service}_LOCALMFG&000F\7&2A0A1B9B&0&98D331FB1A2C_C00000000":
// the 12 digits before the last '_', a part of their own. The middle part
// belongs to the local radio or the remote's records, and changes with them.
std::optional<std::uint64_t> instance_id_address(std::string_view instance_id) {
    const std::size_t first = instance_id.find('\\');
    const std::size_t last = instance_id.rfind('\\');
    if (first == std::string_view::npos || first == last ||
        instance_id.substr(first + 1, last - first - 1).find('\\') != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view tail = instance_id.substr(last + 1);
    const std::size_t end = tail.rfind('_');
    if (end == std::string_view::npos || end < ADDRESS_DIGITS ||
        (end > ADDRESS_DIGITS && tail[end - ADDRESS_DIGITS - 1] != '&')) {
        return std::nullopt;
    }
    return address_digits(tail.substr(end - ADDRESS_DIGITS, ADDRESS_DIGITS));
}

// "{service}#98D331FB1A2C_C00000000": the digits between '#' and '_'.
std::optional<std::uint64_t> unique_id_address(std::string_view unique_id) {
    const std::size_t hash = unique_id.find('#');
    const std::size_t end = hash == std::string_view::npos ? hash : unique_id.find('_', hash);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    return address_digits(unique_id.substr(hash + 1, end - hash - 1));
}

// "{00001101-0000-1000-8000-00805F9B34FB}": a key name of its own, never a path.
bool is_service_class(std::string_view text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') {
        return false;
    }
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != '-' : !hex_value(text.substr(i, 1), 1)) {
            return false;
        }
    }
    return true;
}

// How the port's service stands to `wanted`, once its device is known.
template <typename Wanted>
Fit service_fit(const BtIdentity& identity, Wanted wanted) {
    if (identity.address_error != 0) {
        return Fit::unknown;
    }
    // A port with no remote device has no service to read.
    if (!identity.address || identity.service_error != 0) {
        return identity.address ? Fit::unknown : Fit::no;
    }
    return fit_of(identity.service && wanted(std::string_view(*identity.service)));
}

// The name begins with `wanted`, or `wanted` is what the COM Ports tab shows
// for the port: "HC-05 'Dev B'".
Fit name_fit(const BtIdentity& identity, std::string_view wanted) {
    if (identity.address_error != 0 || identity.name_error != 0) {
        return Fit::unknown;
    }
    if (!identity.name || identity.name->starts_with(wanted)) {
        return fit_of(identity.name.has_value());
    }
    const std::string head = *identity.name + " '";
    if (wanted.size() <= head.size() || !wanted.starts_with(head) || !wanted.ends_with('\'')) {
        return Fit::no;
    }
    const std::string_view service = wanted.substr(head.size(), wanted.size() - head.size() - 1);
    return service_fit(identity, [&](std::string_view reported) { return reported == service; });
}

// An incoming port's all zeros belong to no device.
constexpr TermKey<BtTerms> BT_KEYS[] = {
    {"name", [](std::string_view value, BtTerms& terms) { return text_term(terms.name, value); }, "", "TEXT",
     "the paired device's name begins with TEXT, case counts"},
    {"address",
     [](std::string_view value, BtTerms& terms) {
         const std::optional<std::uint64_t> address = typed_address(value);
         return stored(terms.address, address && *address != 0 ? address : std::nullopt);
     },
     "takes 12 hex digits, not all zeros, bare or as six pairs joined by : or -, such as "
     "address=98:D3:31:FB:1A:2C",
     "ADDR", "its address, 12 hex digits: 98:D3:31:FB:1A:2C"},
    {"service", [](std::string_view value, BtTerms& terms) { return text_term(terms.service, value); }, "", "TEXT",
     "the name of the port's serial service begins with TEXT"},
};

}  // namespace

BtIdentity read_bt_records(std::string_view instance_id, std::optional<std::string_view> unique_id) {
    BtIdentity identity;
    const bool bthenum = starts_ignoring_ascii_case(instance_id, "BTHENUM\\");
    identity.bluetooth = bthenum || unique_id.has_value();
    const std::optional<std::uint64_t> own = bthenum ? instance_id_address(instance_id) : std::nullopt;
    const std::optional<std::uint64_t> kept = unique_id ? unique_id_address(*unique_id) : std::nullopt;
    if (own && kept && *own != *kept) {
        return identity;
    }
    const std::optional<std::uint64_t> address = own ? own : kept;
    identity.incoming = address == 0U;
    identity.address = identity.incoming ? std::nullopt : address;
    return identity;
}

std::optional<std::uint64_t> bt_device_address(std::string_view instance_id) {
    constexpr std::string_view START = "BTHENUM\\DEV_";
    const std::size_t end = START.size() + ADDRESS_DIGITS;
    if (!starts_ignoring_ascii_case(instance_id, START) || instance_id.size() <= end || instance_id[end] != '\\') {
        return std::nullopt;
    }
    return address_digits(instance_id.substr(START.size(), ADDRESS_DIGITS));
}

std::optional<std::string> bt_device_name(std::string_view reported) {
    const std::size_t end = reported.find_last_not_of("\r\n \t");
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(reported.substr(0, end + 1));
}

std::optional<BtServiceKey> bt_service_key(std::string_view instance_id, std::uint64_t address) {
    constexpr std::string_view START = "BTHENUM\\";
    const std::size_t last = instance_id.rfind('\\');
    const std::size_t end = instance_id.rfind('_');
    if (!starts_ignoring_ascii_case(instance_id, START) || end == std::string_view::npos || end < last ||
        instance_id.size() <= START.size() + 38 || instance_id[START.size() + 38] != '_') {
        return std::nullopt;
    }
    const std::string_view service_class = instance_id.substr(START.size(), 38);
    const std::string_view connection = instance_id.substr(end + 1);
    // "C00000001": letters and digits only, so that it names one key.
    const bool plain =
        !connection.empty() && connection.size() <= 16 && std::all_of(connection.begin(), connection.end(), [](char c) {
            return (c >= '0' && c <= '9') || (ascii_folded(c) >= 'a' && ascii_folded(c) <= 'z');
        });
    if (!is_service_class(service_class) || !plain) {
        return std::nullopt;
    }
    char device[16];
    std::snprintf(device, sizeof device, "%012llx", static_cast<unsigned long long>(address & 0xFFFFFFFFFFFF));
    return BtServiceKey{device, std::string(service_class) + '\\' + std::string(connection)};
}

std::string_view bt_service_utf8(std::string_view value) {
    value = value.substr(0, 256);
    return value.substr(0, value.find('\0'));
}

void name_from(const BtDevices& walk, BtIdentity& identity) {
    if (!identity.address) {
        return;
    }
    if (walk.failure) {
        // Even a failure that left no error code leaves the name unknown.
        identity.name_error = walk.failure->error != 0 ? walk.failure->error : 0xFFFFFFFF;
        return;
    }
    std::uint32_t unread = 0;
    for (const BtDevice& device : walk.devices) {
        if (device.address == identity.address) {
            identity.name = device.name;
            identity.name_error = device.error;
            return;
        }
        // A node whose ID could not be read may be this device's.
        unread = device.address ? unread : device.error;
    }
    identity.name_error = unread;
}

std::vector<TermFit> bt_term_fits(const BtIdentity& identity, const BtTerms& terms) {
    std::vector<TermFit> fits;
    if (terms.name) {
        fits.push_back({"name", name_fit(identity, *terms.name)});
    }
    if (terms.address) {
        fits.push_back(
            {"address", identity.address_error != 0 ? Fit::unknown : fit_of(identity.address == terms.address)});
    }
    if (terms.service) {
        fits.push_back({"service", service_fit(identity, [&](std::string_view reported) {
                            return reported.starts_with(*terms.service);
                        })});
    }
    return fits;
}

Fit meets(const BtIdentity& identity, const BtTerms& terms) {
    return all_of(bt_term_fits(identity, terms));
}

bool service_weighs(const BtIdentity& identity, const BtTerms& terms) {
    BtIdentity unread = identity;
    unread.service_error = 0xFFFFFFFF;
    return meets(unread, terms) != meets(identity, terms);
}

BtTerms terms_of(const BtIdentity& identity) {
    return {identity.address, identity.name, identity.service};
}

std::string address_text(std::uint64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", static_cast<unsigned>(address >> 40 & 0xFF),
                  static_cast<unsigned>(address >> 32 & 0xFF), static_cast<unsigned>(address >> 24 & 0xFF),
                  static_cast<unsigned>(address >> 16 & 0xFF), static_cast<unsigned>(address >> 8 & 0xFF),
                  static_cast<unsigned>(address & 0xFF));
    return text;
}

std::optional<std::vector<std::string>> bt_term_words(const BtTerms& terms, const QuotedValue& quoted) {
    std::vector<std::string> words;
    if (terms.address) {
        words.push_back("address=" + address_text(*terms.address));
    }
    for (const auto& [key, value] : {std::pair{"name=", &terms.name}, std::pair{"service=", &terms.service}}) {
        const std::optional<std::string> text = *value ? quoted(**value) : std::nullopt;
        if (*value && !text) {
            return std::nullopt;
        }
        if (text) {
            words.push_back(key + *text);
        }
    }
    return words;
}

std::string bt_key_lines() {
    return key_lines<BtTerms>(BT_KEYS);
}

BtCommand read_bt_command(int argc, const char* const* argv) {
    return read_term_command<BtTerms>(argc, argv, BT_KEYS);
}

std::int32_t select_bt_port(const Survey& survey, const BtTerms& terms) {
    return select_surveyed(survey, [&](const SurveyedPort& device) { return meets(device.bt, terms); });
}

}  // namespace comlookup
