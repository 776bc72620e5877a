// UTF-8 checks shared by the JSON reader and writer.
#pragma once

#include <cstddef>
#include <string_view>

namespace tarvel::standin {

/// The length (2 to 4) of the well-formed, shortest-form UTF-8 sequence for a code point of
/// U+0080 or above at the start of `text`, or 0 when no such sequence starts there.
std::size_t multiByteSequenceLength(std::string_view text);

}  // namespace tarvel::standin
