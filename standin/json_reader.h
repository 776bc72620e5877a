// A pull reader over JSON text: the caller asks for the value it expects next, so a large
// scene is read straight into its records without an intermediate tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarvel::standin {

/// JSON text that does not parse. `line` and `column` are 1-based; the column counts
/// characters (UTF-8 sequences), not bytes.
class JsonError : public std::runtime_error {
public:
    JsonError(int line, int column, const std::string& reason);

    int line() const { return line_; }
    int column() const { return column_; }
    /// The message without the position.
    const std::string& reason() const { return reason_; }

private:
    int line_;
    int column_;
    std::string reason_;
};

enum class JsonKind { null, boolean, number, string, array, object };

/// The text of a JSON value kind as used in messages ("a number", "an object", ...).
const char* describe(JsonKind kind);

/// Reads values from `text`, which must outlive the reader. Every read checks the JSON grammar
/// and throws JsonError at the offending character. Arrays and objects nested deeper than
/// kMaxDepth are refused, which bounds the recursion of any caller that follows the nesting.
class JsonReader {
public:
    static constexpr int kMaxDepth = 256;

    explicit JsonReader(std::string_view text);

    /// The kind of the next value, without consuming it.
    JsonKind peek();

    void readNull();
    bool readBoolean();
    /// The number's text exactly as written (already checked against the JSON grammar).
    std::string_view readNumber();
    /// The string's content with escapes resolved, as UTF-8.
    std::string readString();

    /// After beginArray, call nextItem before each item: true when an item follows, false
    /// when the array has ended (its ']' consumed).
    void beginArray();
    bool nextItem();

    /// After beginObject, call nextMember before each member: true with `key` set (and its ':'
    /// consumed) when a member follows, false when the object has ended.
    void beginObject();
    bool nextMember(std::string& key);

    /// Checks that nothing but whitespace follows the last value.
    void finish();

    /// Throws JsonError with `reason` at the start of the next token.
    [[noreturn]] void fail(const std::string& reason);

private:
    void skipWhitespace();
    [[noreturn]] void failAt(std::size_t offset, const std::string& reason) const;
    void expectWord(std::string_view word);
    void enter();
    void appendEscape(std::string& out);
    void appendUtf8Sequence(std::string& out);

    std::string_view text_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    /// True right after '[' or '{': the next item or member needs no separating ','.
    bool justOpened_ = false;

    /// Past the container's `close` (false), or past the ',' before its next element (true;
    /// nothing to pass before the first). Fails with `expected` at anything else.
    bool continueContainer(char close, const char* expected);
};

/// A number's text read as a double, as strtod reads it: the nearest double, "-0" gives -0.0,
/// and a value beyond the double range gives an infinity (or a zero below the smallest
/// subnormal). `text` must be a JSON number.
double numberToDouble(std::string_view text);

/// A number's text read as an integer: null when it has a fraction or an exponent, or lies
/// outside the range of std::int64_t. `text` must be a JSON number.
std::optional<std::int64_t> numberToInteger(std::string_view text);

}  // namespace tarvel::standin
