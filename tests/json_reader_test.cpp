#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "standin/json_reader.h"
#include "testing/json_value.h"

namespace tarvel::standin {
namespace {

/// The error parseJson gives for `text`, as "line:column: reason".
std::string parseError(const std::string& text) {
    try {
        parseJson(text);
    } catch (const JsonError& error) {
        return error.what();
    }
    return "no error";
}

TEST(JsonNumberTest, negativeZeroInAnyFormIsTheNegativeZeroDouble) {
    for (const char* text : {"-0", "-0.0", "-0e5", "-0.000E-3"}) {
        const double value = numberToDouble(text);
        EXPECT_EQ(value, 0.0) << text;
        EXPECT_TRUE(std::signbit(value)) << text;
    }
    EXPECT_FALSE(std::signbit(numberToDouble("0")));
}

TEST(JsonNumberTest, valuesBeyondTheRangeBecomeInfinitiesOrZeros) {
    EXPECT_EQ(numberToDouble("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(numberToDouble("-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(numberToDouble("1" + std::string(400, '0')), std::numeric_limits<double>::infinity());
    EXPECT_EQ(numberToDouble("1.7976931348623159e308"), std::numeric_limits<double>::infinity());
    // Written with its digits spread across the point, still far too large.
    EXPECT_EQ(numberToDouble("0.000001e99999999999999999999"),
              std::numeric_limits<double>::infinity());

    const double tiny = numberToDouble("1e-400");
    EXPECT_EQ(tiny, 0.0);
    EXPECT_FALSE(std::signbit(tiny));
    const double negativeTiny = numberToDouble("-0." + std::string(400, '0') + "1");
    EXPECT_EQ(negativeTiny, 0.0);
    EXPECT_TRUE(std::signbit(negativeTiny));
    // Values at the edges that do have a double keep it.
    EXPECT_EQ(numberToDouble("1.7976931348623157e308"), DBL_MAX);
    EXPECT_EQ(numberToDouble("4.9e-324"), std::numeric_limits<double>::denorm_min());
}

TEST(JsonNumberTest, integersMustBeIntegralAndInRange) {
    EXPECT_EQ(numberToInteger("12"), 12);
    EXPECT_EQ(numberToInteger("-0"), 0);
    EXPECT_EQ(numberToInteger("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(numberToInteger("1.0"), std::nullopt);
    EXPECT_EQ(numberToInteger("1e2"), std::nullopt);
    EXPECT_EQ(numberToInteger("9223372036854775808"), std::nullopt);
}

TEST(JsonParseTest, readsEveryKindAndKeepsMemberOrder) {
    const JsonValue value =
        parseJson(R"({"b": [1, -2.5e1, true, false, null], "a": "x", "c": {}})");
    ASSERT_EQ(value.members().size(), 3u);
    EXPECT_EQ(value.members()[0].key, "b");
    EXPECT_EQ(value.members()[1].key, "a");
    const JsonValue& items = value.at("b");
    EXPECT_EQ(items.at(0).numberText(), "1");
    EXPECT_EQ(items.at(1).number(), -25.0);
    EXPECT_TRUE(items.at(2).boolean());
    EXPECT_FALSE(items.at(3).boolean());
    EXPECT_TRUE(items.at(4).isNull());
    EXPECT_EQ(value.at("a").string(), "x");
    EXPECT_TRUE(value.at("c").members().empty());
    EXPECT_EQ(value.find("d"), nullptr);
    EXPECT_THROW(value.at("a").number(), std::logic_error);
}

TEST(JsonParseTest, resolvesEscapesToUtf8) {
    const JsonValue value = parseJson(R"("a\"\\\/\b\f\n\r\t\u00e9\ud83d\ude00")");
    EXPECT_EQ(value.string(), "a\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(parseJson("\"\xC3\xA9\"").string(), "\xC3\xA9");
}

TEST(JsonParseTest, refusesMalformedStrings) {
    EXPECT_EQ(parseError(R"(["\ud800"])"), "1:3: unpaired surrogate in string");
    EXPECT_EQ(parseError(R"("\udc00")"), "1:2: unpaired surrogate in string");
    EXPECT_EQ(parseError(R"("\x")"), "1:2: invalid escape in string");
    EXPECT_EQ(parseError("\"a\tb\""), "1:3: control character in string");
    EXPECT_EQ(parseError("\"\xC3\""), "1:2: invalid UTF-8 in string");
    EXPECT_EQ(parseError("\"\xED\xA0\x80\""), "1:2: invalid UTF-8 in string");  // a surrogate
    EXPECT_EQ(parseError("\"\xC0\xAF\""), "1:2: invalid UTF-8 in string");      // overlong
    EXPECT_EQ(parseError("\"abc"), "1:1: unterminated string");
}

TEST(JsonParseTest, errorsNameLineAndColumnInCharacters) {
    EXPECT_EQ(parseError("{\n  \"a\": 1\n  \"b\": 2\n}"), "3:3: expected ',' or '}'");
    EXPECT_EQ(parseError("[1 2]"), "1:4: expected ',' or ']'");
    // The column counts the two-byte character as one.
    EXPECT_EQ(parseError("[\"\xC3\xA9\", x]"), "1:7: expected a value");
    EXPECT_EQ(parseError(""), "1:1: unexpected end of input, expected a value");
    EXPECT_EQ(parseError("[1,]"), "1:4: expected a value");
    EXPECT_EQ(parseError("{\"a\": 1,}"), "1:9: expected a member name in double quotes");
    EXPECT_EQ(parseError("{\"a\" 1}"), "1:6: expected ':'");
    EXPECT_EQ(parseError("[1] 2"), "1:5: unexpected text after the value");
    EXPECT_EQ(parseError("tru"), "1:1: expected a value");
    EXPECT_EQ(parseError("[01]"), "1:2: invalid number");
    EXPECT_EQ(parseError("[1.]"), "1:2: invalid number");
    EXPECT_EQ(parseError("[-]"), "1:2: invalid number");
    EXPECT_EQ(parseError("{\"a\": 1, \"a\": 2}"), "1:15: duplicate member \"a\"");
}

TEST(JsonParseTest, refusesNestingDeeperThanTheLimit) {
    const int limit = JsonReader::kMaxDepth;
    const std::string deepest = std::string(limit, '[') + std::string(limit, ']');
    EXPECT_NO_THROW(parseJson(deepest));
    EXPECT_EQ(parseError(std::string(limit + 1, '[') + std::string(limit + 1, ']')),
              "1:257: nesting deeper than 256 levels");
    // Far deeper input is refused at the same level, long before the stack could suffer.
    EXPECT_EQ(parseError(std::string(1000000, '[')), "1:257: nesting deeper than 256 levels");
    EXPECT_EQ(parseError(std::string(1000000, '{') + "\"a\":"),
              "1:2: expected a member name in double quotes");
}

}  // namespace
}  // namespace tarvel::standin
