// Appending JSON values to text. The trace writer lays out the document itself; these give
// each value its exact form.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace standin {

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

}  // namespace standin
