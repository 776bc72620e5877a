#include "standin/json_value.h"

#include <stdexcept>
#include <unordered_set>

namespace standin {

namespace {

template <typename T, typename Variant>
const T& expect(const Variant& value, JsonKind actual, const char* wanted) {
    if (const T* held = std::get_if<T>(&value)) {
        return *held;
    }
    throw std::logic_error(std::string("JSON value is ") + describe(actual) + ", not " + wanted);
}

// Each level of nesting is one level of recursion here; the reader refuses more than
// JsonReader::kMaxDepth levels, which bounds the stack.
JsonValue parseValue(JsonReader& reader) {
    switch (reader.peek()) {
        case JsonKind::null:
            reader.readNull();
            return JsonValue();
        case JsonKind::boolean:
            return JsonValue(reader.readBoolean());
        case JsonKind::number:
            return JsonValue(JsonValue::Number{std::string(reader.readNumber())});
        case JsonKind::string:
            return JsonValue(reader.readString());
        case JsonKind::array: {
            JsonValue::Array items;
            reader.beginArray();
            while (reader.nextItem()) {
                items.push_back(parseValue(reader));
            }
            return JsonValue(std::move(items));
        }
        case JsonKind::object: {
            JsonValue::Object members;
            std::unordered_set<std::string> keys;
            std::string key;
            reader.beginObject();
            while (reader.nextMember(key)) {
                if (!keys.insert(key).second) {
                    reader.fail("duplicate member \"" + key + "\"");
                }
                JsonValue value = parseValue(reader);
                members.push_back(JsonMember{key, std::move(value)});
            }
            return JsonValue(std::move(members));
        }
    }
    return JsonValue();
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

}  // namespace standin
