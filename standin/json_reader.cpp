#include "standin/json_reader.h"

#include <charconv>
#include <limits>
#include <system_error>

#include "standin/utf8.h"

namespace tarvel::standin {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

void appendCodePoint(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

/// Length of the JSON number at the start of `text`, or 0 when none starts there.
std::size_t numberLength(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    if (i < n && text[i] == '-') {
        ++i;
    }
    if (i < n && text[i] == '0') {
        ++i;
    } else if (i < n && isDigit(text[i])) {
        while (i < n && isDigit(text[i])) {
            ++i;
        }
    } else {
        return 0;
    }
    if (i < n && text[i] == '.') {
        ++i;
        if (i >= n || !isDigit(text[i])) {
            return 0;
        }
        while (i < n && isDigit(text[i])) {
            ++i;
        }
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        if (i >= n || !isDigit(text[i])) {
            return 0;
        }
        while (i < n && isDigit(text[i])) {
            ++i;
        }
    }
    return i;
}

}  // namespace

JsonError::JsonError(int line, int column, const std::string& reason)
    : std::runtime_error(std::to_string(line) + ":" + std::to_string(column) + ": " + reason),
      line_(line),
      column_(column),
      reason_(reason) {}

const char* describe(JsonKind kind) {
    switch (kind) {
        case JsonKind::null:
            return "null";
        case JsonKind::boolean:
            return "a boolean";
        case JsonKind::number:
            return "a number";
        case JsonKind::string:
            return "a string";
        case JsonKind::array:
            return "an array";
        case JsonKind::object:
            return "an object";
    }
    return "a value";
}

JsonReader::JsonReader(std::string_view text) : text_(text) {
    // A byte order mark is tolerated, as editors on Windows like to write one.
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") {
        pos_ = 3;
    }
}

void JsonReader::failAt(std::size_t offset, const std::string& reason) const {
    // The position is worked out only here, so reading pays nothing for it.
    int line = 1;
    int column = 1;
    for (std::size_t i = 0; i < offset && i < text_.size(); ++i) {
        if (text_[i] == '\n') {
            ++line;
            column = 1;
        } else if (!isContinuation(static_cast<unsigned char>(text_[i]))) {
            ++column;
        }
    }
    throw JsonError(line, column, reason);
}

void JsonReader::fail(const std::string& reason) {
    skipWhitespace();
    failAt(pos_, reason);
}

void JsonReader::skipWhitespace() {
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
            return;
        }
        ++pos_;
    }
}

JsonKind JsonReader::peek() {
    skipWhitespace();
    if (pos_ >= text_.size()) {
        failAt(pos_, "unexpected end of input, expected a value");
    }
    switch (text_[pos_]) {
        case 'n':
            return JsonKind::null;
        case 't':
        case 'f':
            return JsonKind::boolean;
        case '"':
            return JsonKind::string;
        case '[':
            return JsonKind::array;
        case '{':
            return JsonKind::object;
        default:
            if (text_[pos_] == '-' || isDigit(text_[pos_])) {
                return JsonKind::number;
            }
            failAt(pos_, "expected a value");
    }
}

void JsonReader::expectWord(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) {
        failAt(pos_, "expected a value");
    }
    pos_ += word.size();
    justOpened_ = false;
}

void JsonReader::readNull() {
    if (peek() != JsonKind::null) {
        failAt(pos_, "expected null");
    }
    expectWord("null");
}

bool JsonReader::readBoolean() {
    if (peek() != JsonKind::boolean) {
        failAt(pos_, "expected true or false");
    }
    const bool value = text_[pos_] == 't';
    expectWord(value ? "true" : "false");
    return value;
}

std::string_view JsonReader::readNumber() {
    if (peek() != JsonKind::number) {
        failAt(pos_, "expected a number");
    }
    const std::size_t length = numberLength(text_.substr(pos_));
    // A number that runs on ("01", "1.", "2e") is one bad number, not a number and more.
    const char next = pos_ + length < text_.size() ? text_[pos_ + length] : ' ';
    if (length == 0 || isDigit(next) || next == '.' || next == 'e' || next == 'E' || next == '+' ||
        next == '-') {
        failAt(pos_, "invalid number");
    }
    const std::string_view number = text_.substr(pos_, length);
    pos_ += length;
    justOpened_ = false;
    return number;
}

namespace {

/// The character a one-letter escape stands for (\" \\ \/ \b \f \n \r \t); 0 for any other.
char simpleEscape(char c) {
    switch (c) {
        case '"':
        case '\\':
        case '/':
            return c;
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        default:
            return 0;
    }
}

}  // namespace

void JsonReader::appendEscape(std::string& out) {
    // pos_ is on the backslash.
    const std::size_t start = pos_;
    if (pos_ + 1 >= text_.size()) {
        failAt(pos_, "unterminated string");
    }
    const char c = text_[pos_ + 1];
    pos_ += 2;
    if (const char simple = simpleEscape(c); simple != 0) {
        out += simple;
        return;
    }
    if (c != 'u') {
        failAt(start, "invalid escape in string");
    }
    auto readHex4 = [&](std::size_t at) -> std::uint32_t {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const int digit = at + i < text_.size() ? hexValue(text_[at + i]) : -1;
            if (digit < 0) {
                failAt(start, "invalid \\u escape in string");
            }
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        return value;
    };
    std::uint32_t cp = readHex4(pos_);
    pos_ += 4;
    if (cp >= 0xDC00 && cp <= 0xDFFF) {
        failAt(start, "unpaired surrogate in string");
    }
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        if (text_.substr(pos_, 2) != "\\u") {
            failAt(start, "unpaired surrogate in string");
        }
        const std::uint32_t low = readHex4(pos_ + 2);
        if (low < 0xDC00 || low > 0xDFFF) {
            failAt(start, "unpaired surrogate in string");
        }
        pos_ += 6;
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    appendCodePoint(out, cp);
}

void JsonReader::appendUtf8Sequence(std::string& out) {
    const std::size_t length = multiByteSequenceLength(text_.substr(pos_));
    if (length == 0) {
        failAt(pos_, "invalid UTF-8 in string");
    }
    out.append(text_.substr(pos_, length));
    pos_ += length;
}

std::string JsonReader::readString() {
    if (peek() != JsonKind::string) {
        failAt(pos_, "expected a string");
    }
    const std::size_t start = pos_;
    ++pos_;
    std::string out;
    for (;;) {
        if (pos_ >= text_.size()) {
            failAt(start, "unterminated string");
        }
        const auto c = static_cast<unsigned char>(text_[pos_]);
        if (c == '"') {
            ++pos_;
            break;
        }
        if (c == '\\') {
            appendEscape(out);
        } else if (c < 0x20) {
            failAt(pos_, "control character in string");
        } else if (c >= 0x80) {
            appendUtf8Sequence(out);
        } else {
            out += static_cast<char>(c);
            ++pos_;
        }
    }
    justOpened_ = false;
    return out;
}

void JsonReader::enter() {
    if (depth_ >= kMaxDepth) {
        failAt(pos_, "nesting deeper than " + std::to_string(kMaxDepth) + " levels");
    }
    ++depth_;
    ++pos_;
    justOpened_ = true;
}

void JsonReader::beginArray() {
    if (peek() != JsonKind::array) {
        failAt(pos_, "expected an array");
    }
    enter();
}

bool JsonReader::continueContainer(char close, const char* expected) {
    skipWhitespace();
    if (pos_ < text_.size() && text_[pos_] == close) {
        ++pos_;
        --depth_;
        justOpened_ = false;
        return false;
    }
    if (!justOpened_) {
        if (pos_ >= text_.size() || text_[pos_] != ',') {
            failAt(pos_, expected);
        }
        ++pos_;
        skipWhitespace();
    }
    justOpened_ = false;
    return true;
}

bool JsonReader::nextItem() {
    // A ']' right after ',' is refused by the read of the item that must follow.
    return continueContainer(']', "expected ',' or ']'");
}

void JsonReader::beginObject() {
    if (peek() != JsonKind::object) {
        failAt(pos_, "expected an object");
    }
    enter();
}

bool JsonReader::nextMember(std::string& key) {
    if (!continueContainer('}', "expected ',' or '}'")) {
        return false;
    }
    if (pos_ >= text_.size() || text_[pos_] != '"') {
        failAt(pos_, "expected a member name in double quotes");
    }
    key = readString();
    skipWhitespace();
    if (pos_ >= text_.size() || text_[pos_] != ':') {
        failAt(pos_, "expected ':'");
    }
    ++pos_;
    justOpened_ = false;
    return true;
}

void JsonReader::finish() {
    skipWhitespace();
    if (pos_ < text_.size()) {
        failAt(pos_, "unexpected text after the value");
    }
}

namespace {

/// The decimal exponent of the first significant digit of a JSON number with a non-zero
/// digit, saturated far beyond the double range.
long long leadingExponent(std::string_view text) {
    std::size_t i = text[0] == '-' ? 1 : 0;
    long long position = 0;  // digits before the point, minus leading zeros
    bool seenSignificant = false;
    long long leading = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        if (!seenSignificant && text[i] != '0') {
            seenSignificant = true;
            leading = position;
        }
        ++position;
    }
    long long integerDigits = position;
    if (i < text.size() && text[i] == '.') {
        ++i;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            if (!seenSignificant && text[i] != '0') {
                seenSignificant = true;
                leading = position;
            }
            ++position;
        }
    }
    long long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool negative = text[i] == '-';
        if (text[i] == '+' || text[i] == '-') {
            ++i;
        }
        for (; i < text.size(); ++i) {
            if (exponent < 1000000000) {
                exponent = exponent * 10 + (text[i] - '0');
            }
        }
        exponent = negative ? -exponent : exponent;
    }
    return integerDigits - leading - 1 + exponent;
}

}  // namespace

double numberToDouble(std::string_view text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    static_cast<void>(end);
    if (error == std::errc::result_out_of_range) {
        // from_chars leaves the value alone here; strtod gives an infinity for a value too
        // large and a zero for one too small, and so do we.
        const bool negative = text[0] == '-';
        const double magnitude =
            leadingExponent(text) >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
        return negative ? -magnitude : magnitude;
    }
    return value;
}

std::optional<std::int64_t> numberToInteger(std::string_view text) {
    if (text.find_first_of(".eE") != std::string_view::npos) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace tarvel::standin
