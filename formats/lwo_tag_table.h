// The TAGS strings of a LightWave object as a table that hands out PTAG values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sdk/lwsdk.h"

namespace tarvel::formats {

/// The strings a PTAG value indexes, growing as new texts are asked for. A text already in
/// the table keeps its first index; new texts are appended.
class LwoTagTable {
public:
    /// A table holding `strings` (those of the object's TAGS chunks, in order); `fileName`
    /// names the file in messages.
    LwoTagTable(const std::vector<std::string>& strings, const std::string& fileName);

    /// The index of `text`, appending it when it is not there yet. Throws FormatError when
    /// the table would outgrow what a PTAG value can index.
    std::uint16_t indexOf(const std::string& text);

    /// The PTAG value of a tag of `type` whose text is `text`: an index into the table for
    /// every type but SMGP, whose value is the smoothing group's number (0 for text that is
    /// not a number, 65535 for one beyond).
    std::uint16_t tagValue(LWID type, const std::string& text);

    const std::vector<std::string>& strings() const { return strings_; }
    /// The strings appended since construction.
    std::span<const std::string> added() const {
        return std::span<const std::string>(strings_).subspan(originalCount_);
    }

private:
    std::vector<std::string> strings_;
    std::size_t originalCount_;
    std::string fileName_;
    std::unordered_map<std::string, std::uint16_t> index_;
};

/// The smoothing group a tag's text names: its decimal number, 0 for text that is not one,
/// 65535 for a number beyond.
std::uint16_t smoothingGroupNumber(std::string_view text);

}  // namespace tarvel::formats
