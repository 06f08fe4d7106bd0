#pragma once

// One device as comlookup-list says it, wherever it appears: the listing's
// rows and its JSON, and the watch's lines and JSON Lines. A line or a field
// about one device is added here, once, and every one of them shows it.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "listing/listing_model.h"
#include "listing/text.h"

namespace comlookup {

// How text is written: the code page its names are in, and where it goes.
struct ListingStyle {
    CodePage code_page;
    Sink sink = Sink::file;
};

// A console of 80 columns wraps a line of 80 onto the next.
inline constexpr std::size_t WIDTH = 79;
// Where the friendly name starts in a device's row.
inline constexpr std::size_t NAME_COLUMN = 20;

// What a caller takes a listed device's status for, when that is not the
// port the device is on; empty when it is.
std::string misreading(std::string_view port_name);

std::string padded(std::string text, std::size_t width);

// The text writer's words for devices, and the prose around them.
class TextWriter {
public:
    explicit TextWriter(const ListingStyle& style) : style_(style) {}

    std::string show(std::string_view text) const { return shown(text, style_.code_page, style_.sink); }

    std::string shown_list(const std::vector<std::string>& texts) const;

    // Quoted, so that blanks at either end show; \" and \\ inside.
    std::string quote(std::string_view text) const;
    std::size_t width(std::string_view shown_text) const { return columns(shown_text, style_.code_page); }

    // `words` (already shown) as lines of at most WIDTH columns, each
    // starting `indent` blanks in; a word too wide for that stands alone on a
    // line of its own, from the first column, so that it reads unbroken.
    std::string wrapped(const std::vector<std::string>& words, std::size_t indent) const;

    // Prose the listing writes, split at blanks and wrapped.
    std::string paragraph(std::string_view text, std::size_t indent = 0) const;

    // Device Manager shows the description of a device without a friendly
    // name, so that is how the user knows it.
    std::string name_of(const SurveyedPort& port) const;

    // A Bluetooth port's remote device, as comlookup-bt takes it; or why no
    // command picks the port out.
    std::string bt_lines(const DeviceFacts& facts, std::size_t indent) const;

    // The instance ID tells apart devices whose names are the same, and the
    // USB identity, as comlookup-usb takes it, devices whose instance IDs
    // are made up.
    std::string id_lines(const DeviceFacts& facts, std::size_t indent) const;

    // The columns before a row's name, `head` and the port name, ending at
    // `indent`; a port name too wide for them stands alone on a line of its
    // own, as a long name does, and the row goes on at `indent` below it.
    std::string lead(std::string head, std::string_view port_name, std::size_t indent) const;

    // A row of columns, then what did not fit in it on lines of their own:
    // a long name alone, the note wrapped under the name's column.
    std::string row(std::string prefix, std::string_view name, std::string_view note, std::size_t indent) const;

    // Near misses are only worth showing when nothing matches.
    std::string device_line(const DeviceFacts& facts, bool show_near_misses) const;

    // A device comlookup does not read: of another class, or not present.
    std::string other_line(const DeviceFacts& facts) const;

private:
    const ListingStyle& style_;
};

// The JSON writer's: every text converted from the code page, ASCII only.
class JsonWriter {
public:
    using Fields = std::vector<std::pair<const char*, std::string>>;

    explicit JsonWriter(const CodePage& code_page) : code_page_(code_page) {}

    std::string text(std::string_view value) const { return json_string(value, code_page_); }
    std::string nonempty_or_null(const std::string& value) const { return value.empty() ? "null" : text(value); }

    // A device's fields, in the order the listing writes them; `with_class`
    // for a device of another setup class.
    Fields device_fields(const DeviceFacts& facts, bool with_class) const;

    // An object over lines, each field `indent` and two blanks in; or, for
    // JSON Lines, on one line.
    static std::string object(const Fields& fields, std::string_view indent);
    static std::string one_line(const Fields& fields);

private:
    const CodePage& code_page_;
};

// The command that picks out listed[index] alone among the listed devices:
// the shortest beginning of its name no other listed name begins with, else
// its USB identity, else its Bluetooth device's name or address; or none,
// saying why where that is not plain (see Suggestion).
Suggestion pick_out(const std::vector<const SurveyedPort*>& listed, std::size_t index, const CodePage& code_page);

// Why no command picks out the device of `suggestion`, of kind none, said of
// that device alone.
std::string why_none(const Suggestion& suggestion, const TextWriter& writer);

}  // namespace comlookup
