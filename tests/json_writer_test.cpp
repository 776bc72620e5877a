#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "standin/json_writer.h"
#include "testing/json_value.h"

namespace tarvel::standin {
namespace {

std::uint64_t bitsOf(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(JsonWriterTest, numbersReadBackBitForBit) {
    const double values[] = {
        0.1,           1.0 / 3.0, -0.0, DBL_MAX, -DBL_MIN,          5e-324, 1e300, 1e-300,
        123456789.125, -2.5,      1e21, 0.0,     9007199254740993.0};
    for (const double value : values) {
        std::string text;
        appendJsonNumber(text, value);
        const JsonValue parsed = parseJson(text);
        EXPECT_EQ(bitsOf(parsed.number()), bitsOf(value)) << text;
    }
    std::string shortest;
    appendJsonNumber(shortest, 0.1);
    EXPECT_EQ(shortest, "0.1");
}

TEST(JsonWriterTest, nonFiniteNumbersAreWrittenAsStrings) {
    std::string text;
    appendJsonNumber(text, std::numeric_limits<double>::quiet_NaN());
    text += ' ';
    appendJsonNumber(text, std::numeric_limits<double>::infinity());
    text += ' ';
    appendJsonNumber(text, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(text, "\"nan\" \"inf\" \"-inf\"");
}

TEST(JsonWriterTest, stringsAreEscapedIntoValidJson) {
    const std::string text = std::string("q\"b\\n\nt\tc\x01\x7F") + "\xC3\xA9" + "\xFF";
    std::string written;
    appendJsonString(written, text);
    EXPECT_EQ(written, "\"q\\\"b\\\\n\\nt\\tc\\u0001\x7F\xC3\xA9\\u00ff\"");
    // Everything but the stray byte comes back as it was; that byte reads as U+00FF.
    EXPECT_EQ(parseJson(written).string(), text.substr(0, text.size() - 1) + "\xC3\xBF");
}

TEST(JsonWriterTest, placesSeparatorsForEachSpacingAndLayout) {
    const auto write = [](JsonWriter::Spacing spacing) {
        std::string text;
        JsonWriter json(text, spacing);
        json.beginObject().key("a").integer(-1).key("b").beginArray();
        json.string("x").null().boolean(false).beginObject().end().beginArray().end();
        json.end().key("c").triple({0.5, -0.0, 2.0}).key("d").raw("1.250000").end();
        return text;
    };
    EXPECT_EQ(write(JsonWriter::Spacing::spaced),
              R"({"a": -1, "b": ["x", null, false, {}, []], "c": [0.5, -0, 2], "d": 1.250000})");
    EXPECT_EQ(write(JsonWriter::Spacing::compact),
              R"({"a":-1,"b":["x",null,false,{},[]],"c":[0.5, -0, 2],"d":1.250000})");

    std::string lines;
    JsonWriter json(lines);
    json.beginObject(JsonWriter::Layout::onLines).key("list");
    json.beginArray(JsonWriter::Layout::onLines).integer(std::uint64_t{1}).integer(2).end();
    json.key("none").beginArray(JsonWriter::Layout::onLines).end().end();
    EXPECT_EQ(lines, "{\n  \"list\": [\n    1,\n    2\n  ],\n  \"none\": []\n}");
}

}  // namespace
}  // namespace tarvel::standin
