#include "formats/obj_reader.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "formats/format_error.h"

namespace tarvel::formats {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

/// Splits a statement into whitespace-separated words, without copying, into `result`.
void splitWords(std::string_view statement, std::vector<std::string_view>& result) {
    result.clear();
    std::size_t at = 0;
    while (at < statement.size()) {
        while (at < statement.size() && isBlank(statement[at])) {
            ++at;
        }
        const std::size_t start = at;
        while (at < statement.size() && !isBlank(statement[at])) {
            ++at;
        }
        if (at > start) {
            result.push_back(statement.substr(start, at - start));
        }
    }
}

/// A reference from a corner to one of the file's lists, checked once the file is read (a
/// file may name a vertex before it defines it).
struct PendingCheck {
    std::int64_t largest = 0;
    std::size_t line = 0;
};

class ObjParser {
public:
    ObjParser(const std::string& name, ObjModel& model) : name_(name), model_(model) {}

    void parse() {
        const std::string& text = model_.text;
        reserveRoom(text);
        std::size_t at = 0;
        std::size_t lineNumber = 1;
        std::string joined;
        while (at < text.size()) {
            const std::size_t start = at;
            const std::size_t firstLine = lineNumber;
            joined.clear();
            bool continued = false;
            std::string_view statement;
            // A statement runs to the end of a line that does not end in a backslash.
            for (;;) {
                const std::size_t newline = text.find('\n', at);
                const std::size_t lineEnd = newline == std::string::npos ? text.size() : newline;
                std::string_view line(text.data() + at, lineEnd - at);
                at = newline == std::string::npos ? text.size() : newline + 1;
                ++lineNumber;
                while (!line.empty() && line.back() == '\r') {
                    line.remove_suffix(1);
                }
                const bool more = !line.empty() && line.back() == '\\' && at < text.size();
                if (more) {
                    line.remove_suffix(1);
                }
                if (!more && !continued) {
                    statement = line;
                    break;
                }
                joined.append(line);
                joined.push_back(' ');
                continued = true;
                if (!more) {
                    statement = joined;
                    break;
                }
            }
            line_ = firstLine;
            readStatement(statement, start, at);
        }
        checkPending(vertexCheck_, model_.vertices.size(), "vertex", "vertices");
        checkPending(texcoordCheck_, texcoordCount_, "texture coordinate", "texture coordinates");
        checkPending(normalCheck_, normalCount_, "normal", "normals");
        if (model_.vertices.empty() && model_.elements.empty()) {
            throw FormatError(name_ + ": not a mesh: no vertices and no faces or lines");
        }
    }

private:
    /// Room for the vertices and elements of the lines that start as their statements do, and
    /// four corners an element, so that the arrays do not grow by copies in a large file.
    void reserveRoom(const std::string& text) {
        std::size_t vertices = 0;
        std::size_t elements = 0;
        for (std::size_t at = 0; at + 1 < text.size();) {
            const char first = text[at];
            if (isBlank(text[at + 1])) {
                vertices += first == 'v' ? 1 : 0;
                elements += first == 'f' || first == 'l' ? 1 : 0;
            }
            const std::size_t newline = text.find('\n', at);
            if (newline == std::string::npos) {
                break;
            }
            at = newline + 1;
        }
        model_.vertices.reserve(vertices);
        model_.elements.reserve(elements);
        model_.elementVertices.reserve(4 * elements);
    }

    [[noreturn]] void fail(const std::string& what) const {
        throw FormatError(name_ + ":" + std::to_string(line_) + ": " + what);
    }

    void readStatement(std::string_view statement, std::size_t start, std::size_t end) {
        const std::size_t comment = statement.find('#');
        if (comment != std::string_view::npos) {
            statement = statement.substr(0, comment);
        }
        splitWords(statement, parts_);
        const std::vector<std::string_view>& parts = parts_;
        if (parts.empty()) {
            return;
        }
        const std::string_view keyword = parts[0];
        if (keyword == "v") {
            readVertex(parts);
        } else if (keyword == "vt") {
            ++texcoordCount_;
        } else if (keyword == "vn") {
            ++normalCount_;
        } else if (keyword == "f" || keyword == "l") {
            readElement(parts, keyword == "f" ? ObjElement::Kind::face : ObjElement::Kind::line,
                        start, end);
        } else if (keyword == "usemtl") {
            material_ = nameIndex(restOf(statement, keyword));
        } else if (keyword == "g") {
            group_ = nameIndex(joinedWords(parts));
        } else if (keyword == "s") {
            // "s 0" and "s off" end smoothing.
            const bool off = parts.size() < 2 || parts[1] == "off" || parts[1] == "0";
            smoothing_ = off ? kNoName : nameIndex(parts[1]);
        }
    }

    /// The words after the keyword, one space between each: a `g` statement's group names.
    static std::string joinedWords(const std::vector<std::string_view>& parts) {
        std::string text;
        for (std::size_t k = 1; k < parts.size(); ++k) {
            text += k > 1 ? " " : "";
            text += parts[k];
        }
        return text;
    }

    /// The statement after its keyword, without surrounding blanks; a name may hold spaces.
    static std::string_view restOf(std::string_view statement, std::string_view keyword) {
        std::size_t at = statement.find(keyword) + keyword.size();
        std::size_t end = statement.size();
        while (at < end && isBlank(statement[at])) {
            ++at;
        }
        while (end > at && isBlank(statement[end - 1])) {
            --end;
        }
        return statement.substr(at, end - at);
    }

    std::uint32_t nameIndex(std::string_view text) {
        if (text.empty()) {
            return kNoName;
        }
        const auto [found, added] =
            nameIndex_.emplace(std::string(text), static_cast<std::uint32_t>(model_.names.size()));
        if (added) {
            model_.names.emplace_back(text);
        }
        return found->second;
    }

    void readVertex(const std::vector<std::string_view>& parts) {
        if (parts.size() < 4) {
            fail("a vertex needs three coordinates");
        }
        std::array<double, 3> position;
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const std::string_view word = parts[axis + 1];
            const char* first = word.data();
            // from_chars takes no leading '+', which OBJ writers sometimes emit.
            if (word.size() > 1 && word[0] == '+') {
                ++first;
            }
            const auto [end, error] =
                std::from_chars(first, word.data() + word.size(), position[axis]);
            if (error == std::errc::result_out_of_range) {
                fail("vertex coordinate '" + std::string(word) + "' is beyond the double range");
            }
            if (error != std::errc() || end != word.data() + word.size()) {
                fail("vertex coordinate '" + std::string(word) + "' is not a number");
            }
            if (!std::isfinite(position[axis])) {
                fail("vertex coordinate '" + std::string(word) + "' is not a finite number");
            }
        }
        model_.vertices.push_back(position);
    }

    /// One index of a corner: 1-based from the start, or negative from the end of the list
    /// as read so far. Gives the 0-based index, or -1 for an empty field.
    std::int64_t cornerIndex(std::string_view field, std::size_t countSoFar, PendingCheck& check,
                             const char* what) {
        if (field.empty()) {
            return -1;
        }
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (error != std::errc() || end != field.data() + field.size()) {
            fail(std::string(what) + " index '" + std::string(field) + "' is not a whole number");
        }
        if (value == 0) {
            fail(std::string(what) + " index 0: OBJ counts from 1");
        }
        if (value < 0) {
            const std::int64_t resolved = static_cast<std::int64_t>(countSoFar) + value;
            if (resolved < 0) {
                fail(std::string(what) + " index " + std::to_string(value) +
                     " reaches before the first of the " + std::to_string(countSoFar) +
                     " defined so far");
            }
            return resolved;
        }
        if (value > check.largest) {
            check.largest = value;
            check.line = line_;
        }
        return value - 1;
    }

    void readElement(const std::vector<std::string_view>& parts, ObjElement::Kind kind,
                     std::size_t start, std::size_t end) {
        if (parts.size() < 2) {
            fail(std::string(kind == ObjElement::Kind::face ? "a face" : "a line") +
                 " without vertices");
        }
        ObjElement element;
        element.kind = kind;
        element.firstVertex = static_cast<std::uint32_t>(model_.elementVertices.size());
        element.vertexCount = static_cast<std::uint32_t>(parts.size() - 1);
        element.material = material_;
        element.group = group_;
        element.smoothing = smoothing_;
        element.textStart = start;
        element.textEnd = end;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            const std::string_view corner = parts[i];
            const std::size_t slash = corner.find('/');
            const std::string_view vertex = corner.substr(0, slash);
            if (vertex.empty()) {
                fail("corner '" + std::string(corner) + "' has no vertex index");
            }
            const std::int64_t index =
                cornerIndex(vertex, model_.vertices.size(), vertexCheck_, "vertex");
            if (index > static_cast<std::int64_t>(std::numeric_limits<std::uint32_t>::max() / 2)) {
                fail("vertex index " + std::string(vertex) + " beyond the " +
                     std::to_string(model_.vertices.size()) + " vertices");
            }
            model_.elementVertices.push_back(static_cast<std::uint32_t>(index));
            if (slash != std::string_view::npos) {
                const std::string_view rest = corner.substr(slash + 1);
                const std::size_t second = rest.find('/');
                cornerIndex(rest.substr(0, second), texcoordCount_, texcoordCheck_,
                            "texture coordinate");
                if (second != std::string_view::npos) {
                    cornerIndex(rest.substr(second + 1), normalCount_, normalCheck_, "normal");
                }
            }
        }
        model_.elements.push_back(element);
    }

    void checkPending(const PendingCheck& check, std::size_t count, const char* what,
                      const char* plural) {
        if (check.largest > static_cast<std::int64_t>(count)) {
            line_ = check.line;
            fail(std::string(what) + " index " + std::to_string(check.largest) + " beyond the " +
                 std::to_string(count) + " " + plural + " of the file");
        }
    }

    const std::string& name_;
    ObjModel& model_;
    std::size_t line_ = 1;
    std::size_t texcoordCount_ = 0;
    std::size_t normalCount_ = 0;
    std::uint32_t material_ = kNoName;
    std::uint32_t group_ = kNoName;
    std::uint32_t smoothing_ = kNoName;
    PendingCheck vertexCheck_;
    PendingCheck texcoordCheck_;
    PendingCheck normalCheck_;
    std::unordered_map<std::string, std::uint32_t> nameIndex_;
    std::vector<std::string_view> parts_;  // the words of the statement in hand
};

}  // namespace

namespace {

/// The model of the file `name` whose whole text is `text`.
ObjModel parseText(std::string text, const std::string& name) {
    if (text.empty()) {
        throw FormatError(name + ": empty file");
    }
    const auto nul = text.find('\0');
    if (nul != std::string::npos) {
        throw FormatError(name + ": not an OBJ text file: byte " + std::to_string(nul) +
                          " is a NUL");
    }
    ObjModel model;
    model.text = std::move(text);
    ObjParser(name, model).parse();
    return model;
}

}  // namespace

ObjModel readObj(std::span<const std::byte> bytes, const std::string& name) {
    std::string text;
    if (!bytes.empty()) {
        text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    return parseText(std::move(text), name);
}

}  // namespace tarvel::formats
