#include "standin/json_writer.h"

#include <charconv>
#include <cmath>

#include "standin/utf8.h"

namespace tarvel::standin {

namespace {

void appendUnicodeEscape(std::string& out, unsigned char byte) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\u00";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

template <typename Number>
void appendByCharconv(std::string& out, Number value) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    static_cast<void>(error);  // 32 characters hold every double and 64-bit integer
    out.append(buffer, end);
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = multiByteSequenceLength(text.substr(i));
            if (length == 0) {
                appendUnicodeEscape(out, c);
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    appendUnicodeEscape(out, c);
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    out += '"';
}

void appendJsonNumber(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "\"nan\"";
    } else if (std::isinf(value)) {
        out += value < 0 ? "\"-inf\"" : "\"inf\"";
    } else {
        // to_chars without a format gives the shortest form that reads back exactly; its
        // exponent form ("1e+300") is valid JSON.
        appendByCharconv(out, value);
    }
}

void appendJsonInteger(std::string& out, std::int64_t value) {
    appendByCharconv(out, value);
}

void appendJsonInteger(std::string& out, std::uint64_t value) {
    appendByCharconv(out, value);
}

void appendJsonTriple(std::string& out, const std::array<double, 3>& values) {
    out += '[';
    appendJsonNumber(out, values[0]);
    out += ", ";
    appendJsonNumber(out, values[1]);
    out += ", ";
    appendJsonNumber(out, values[2]);
    out += ']';
}

JsonWriter::JsonWriter(std::string& out, Spacing spacing) : out_(out), spacing_(spacing) {}

void JsonWriter::beginValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.empty()) {
        return;
    }
    Level& level = levels_.back();
    if (!level.empty) {
        out_ += spacing_ == Spacing::spaced && level.layout == Layout::oneLine ? ", " : ",";
    }
    level.empty = false;
    if (level.layout == Layout::onLines) {
        out_ += '\n';
        out_.append(2 * levels_.size(), ' ');
    }
}

JsonWriter& JsonWriter::open(char bracket, Layout layout) {
    beginValue();
    out_ += bracket;
    levels_.push_back(Level{layout, bracket == '{' ? '}' : ']'});
    return *this;
}

JsonWriter& JsonWriter::beginObject(Layout layout) {
    return open('{', layout);
}

JsonWriter& JsonWriter::beginArray(Layout layout) {
    return open('[', layout);
}

JsonWriter& JsonWriter::end() {
    const Level level = levels_.back();
    levels_.pop_back();
    if (level.layout == Layout::onLines && !level.empty) {
        out_ += '\n';
        out_.append(2 * levels_.size(), ' ');
    }
    out_ += level.closing;
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    beginValue();
    appendJsonString(out_, name);
    out_ += spacing_ == Spacing::spaced ? ": " : ":";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::string(std::string_view text) {
    beginValue();
    appendJsonString(out_, text);
    return *this;
}

JsonWriter& JsonWriter::number(double value) {
    beginValue();
    appendJsonNumber(out_, value);
    return *this;
}

JsonWriter& JsonWriter::boolean(bool value) {
    return raw(value ? "true" : "false");
}

JsonWriter& JsonWriter::null() {
    return raw("null");
}

JsonWriter& JsonWriter::triple(const std::array<double, 3>& values) {
    beginValue();
    appendJsonTriple(out_, values);
    return *this;
}

JsonWriter& JsonWriter::raw(std::string_view json) {
    beginValue();
    out_ += json;
    return *this;
}

}  // namespace tarvel::standin
