// A JSON document held in memory, for files small enough to read whole (traces and scenes in
// tests and fuzz targets). The stand-in host reads scenes with JsonReader directly.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "standin/json_reader.h"

namespace tarvel::standin {

struct JsonMember;

class JsonValue {
public:
    using Array = std::vector<JsonValue>;
    /// Members in the order written; no two share a key.
    using Object = std::vector<JsonMember>;

    /// A number keeps its text, so that it can be read as a double or as an exact integer.
    struct Number {
        std::string text;
    };

    // Out of line: JsonMember is not complete here, and clang instantiates the destructors of
    // every alternative wherever a constructor of the variant is defined.
    JsonValue();  // null
    explicit JsonValue(bool value);
    explicit JsonValue(Number value);
    explicit JsonValue(std::string value);
    explicit JsonValue(Array value);
    explicit JsonValue(Object value);

    JsonKind kind() const { return static_cast<JsonKind>(value_.index()); }
    bool isNull() const { return kind() == JsonKind::null; }

    // The accessors throw std::logic_error when the value is of another kind.
    bool boolean() const;
    const std::string& numberText() const;
    /// The number as strtod reads it (see numberToDouble).
    double number() const;
    const std::string& string() const;
    const Array& items() const;
    const Object& members() const;

    /// The member's value, or null when this is not an object or has no such member.
    const JsonValue* find(std::string_view key) const;
    /// The member's value; throws std::out_of_range when there is none.
    const JsonValue& at(std::string_view key) const;
    /// The item; throws std::out_of_range when there is none.
    const JsonValue& at(std::size_t index) const;

private:
    // The order of the alternatives follows JsonKind.
    std::variant<std::monostate, bool, Number, std::string, Array, Object> value_;
};

struct JsonMember {
    std::string key;
    JsonValue value;
};

/// Parses a whole document. Throws JsonError for text that is not JSON, for a member name that
/// repeats within an object, and for nesting deeper than JsonReader::kMaxDepth.
JsonValue parseJson(std::string_view text);

}  // namespace tarvel::standin
