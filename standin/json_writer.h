// Writing JSON: JsonWriter lays out a document (commas, colons, nesting, lines), and the
// append functions give each value its exact form.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tarvel::standin {

/// `text` in double quotes with JSON escapes. Control characters are escaped; a byte that is
/// not part of well-formed UTF-8 is written as the code point of the same value (\u00XX), so
/// the output is always valid JSON.
void appendJsonString(std::string& out, std::string_view text);

/// The shortest text that reads back as exactly `value` (-0.0 gives "-0"). A non-finite value
/// has no JSON number and is written as the string "nan", "inf" or "-inf".
void appendJsonNumber(std::string& out, double value);

void appendJsonInteger(std::string& out, std::int64_t value);
void appendJsonInteger(std::string& out, std::uint64_t value);

/// Three numbers as a JSON array, "[x, y, z]": a point or a normal.
void appendJsonTriple(std::string& out, const std::array<double, 3>& values);

/// Appends one JSON document to a string, value by value, placing the commas and colons
/// itself. The caller opens and closes objects and arrays in order and gives every member of
/// an object its key first; the writer does not check this.
///
/// Spaced output separates with ", " and ": " ({"a": 1, "b": [1, 2]}); compact output with ","
/// and ":". An object or array opened `onLines` puts each element on a line of its own,
/// indented two spaces per level of nesting, and its closing bracket on a line of its own;
/// left empty it is written "[]" or "{}" all the same.
class JsonWriter {
public:
    enum class Spacing { spaced, compact };
    enum class Layout { oneLine, onLines };

    /// Writes into `out`, which must outlive the writer. `out` may be emptied between values
    /// (a caller handing large documents on in pieces); the writer keeps its place itself.
    explicit JsonWriter(std::string& out, Spacing spacing = Spacing::spaced);

    JsonWriter& beginObject(Layout layout = Layout::oneLine);
    JsonWriter& beginArray(Layout layout = Layout::oneLine);
    /// Closes the innermost open object or array.
    JsonWriter& end();

    /// The key of the next member of the open object.
    JsonWriter& key(std::string_view name);

    JsonWriter& string(std::string_view text);
    /// A number as appendJsonNumber writes it.
    JsonWriter& number(double value);
    template <std::integral Integer>
    requires(!std::same_as<Integer, bool>) JsonWriter& integer(Integer value) {
        beginValue();
        if constexpr (std::is_signed_v<Integer>) {
            appendJsonInteger(out_, static_cast<std::int64_t>(value));
        } else {
            appendJsonInteger(out_, static_cast<std::uint64_t>(value));
        }
        return *this;
    }
    JsonWriter& boolean(bool value);
    JsonWriter& null();
    /// "[x, y, z]" as appendJsonTriple writes it, spaced whatever the writer's spacing.
    JsonWriter& triple(const std::array<double, 3>& values);
    /// A value the caller has already written as JSON, placed as it is.
    JsonWriter& raw(std::string_view json);

private:
    struct Level {
        Layout layout;
        char closing;
        bool empty = true;
    };

    /// Writes what goes before a value or a key: nothing after a key, else the separator
    /// from the element before and, on lines, the line break and indent.
    void beginValue();
    JsonWriter& open(char bracket, Layout layout);

    std::string& out_;
    Spacing spacing_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

}  // namespace tarvel::standin
