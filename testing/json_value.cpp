#include "testing/json_value.h"

#include <stdexcept>
#include <unordered_set>
#include <vector>

namespace tarvel::standin {

namespace {

template <typename T, typename Variant>
const T& expect(const Variant& value, JsonKind actual, const char* wanted) {
    if (const T* held = std::get_if<T>(&value)) {
        return *held;
    }
    throw std::logic_error(std::string("JSON value is ") + describe(actual) + ", not " + wanted);
}

/// An array or object whose items or members are being read.
struct OpenValue {
    bool isObject = false;
    JsonValue::Array items;
    JsonValue::Object members;
    std::unordered_set<std::string> keys;
    /// The member whose value is being read.
    std::string key;
};

// The nesting is kept on a heap stack rather than the call stack, so that a document nested
// to the reader's limit needs no more stack than a flat one: a host may run us on a small one.
JsonValue parseValue(JsonReader& reader) {
    std::vector<OpenValue> open;
    for (;;) {
        JsonValue value;
        bool complete = true;
        switch (reader.peek()) {
            case JsonKind::null:
                reader.readNull();
                break;
            case JsonKind::boolean:
                value = JsonValue(reader.readBoolean());
                break;
            case JsonKind::number:
                value = JsonValue(JsonValue::Number{std::string(reader.readNumber())});
                break;
            case JsonKind::string:
                value = JsonValue(reader.readString());
                break;
            case JsonKind::array:
                reader.beginArray();
                open.emplace_back();
                complete = false;
                break;
            case JsonKind::object:
                reader.beginObject();
                open.emplace_back().isObject = true;
                complete = false;
                break;
        }
        // Hand the value to the array or object it belongs to, and close every one that ends
        // here, until one has a further item or member to read.
        for (;;) {
            if (complete) {
                if (open.empty()) {
                    return value;
                }
                OpenValue& top = open.back();
                if (top.isObject) {
                    top.members.push_back(JsonMember{top.key, std::move(value)});
                } else {
                    top.items.push_back(std::move(value));
                }
            }
            OpenValue& top = open.back();
            if (top.isObject ? reader.nextMember(top.key) : reader.nextItem()) {
                if (top.isObject && !top.keys.insert(top.key).second) {
                    reader.fail("duplicate member \"" + top.key + "\"");
                }
                break;
            }
            value =
                top.isObject ? JsonValue(std::move(top.members)) : JsonValue(std::move(top.items));
            open.pop_back();
            complete = true;
        }
    }
}

}  // namespace

JsonValue::JsonValue() = default;
JsonValue::JsonValue(bool value) : value_(value) {}
JsonValue::JsonValue(Number value) : value_(std::move(value)) {}
JsonValue::JsonValue(std::string value) : value_(std::move(value)) {}
JsonValue::JsonValue(Array value) : value_(std::move(value)) {}
JsonValue::JsonValue(Object value) : value_(std::move(value)) {}

bool JsonValue::boolean() const {
    return expect<bool>(value_, kind(), "a boolean");
}

const std::string& JsonValue::numberText() const {
    return expect<Number>(value_, kind(), "a number").text;
}

double JsonValue::number() const {
    return numberToDouble(numberText());
}

const std::string& JsonValue::string() const {
    return expect<std::string>(value_, kind(), "a string");
}

const JsonValue::Array& JsonValue::items() const {
    return expect<Array>(value_, kind(), "an array");
}

const JsonValue::Object& JsonValue::members() const {
    return expect<Object>(value_, kind(), "an object");
}

const JsonValue* JsonValue::find(std::string_view key) const {
    if (const Object* object = std::get_if<Object>(&value_)) {
        for (const JsonMember& member : *object) {
            if (member.key == key) {
                return &member.value;
            }
        }
    }
    return nullptr;
}

const JsonValue& JsonValue::at(std::string_view key) const {
    if (const JsonValue* value = find(key)) {
        return *value;
    }
    throw std::out_of_range("JSON object has no member \"" + std::string(key) + "\"");
}

const JsonValue& JsonValue::at(std::size_t index) const {
    const Array& array = items();
    if (index >= array.size()) {
        throw std::out_of_range("JSON array has no item " + std::to_string(index));
    }
    return array[index];
}

JsonValue parseJson(std::string_view text) {
    JsonReader reader(text);
    JsonValue value = parseValue(reader);
    reader.finish();
    return value;
}

}  // namespace tarvel::standin
