#include "formats/lwo_tag_table.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "formats/format_error.h"
#include "formats/lwo_reader.h"

namespace tarvel::formats {

namespace {

/// PTAG values are two bytes; the last value is left unused so that a count fits as well.
constexpr std::size_t kMaxStrings = 0xFFFF;

}  // namespace

LwoTagTable::LwoTagTable(const std::vector<std::string>& strings, const std::string& fileName)
    : strings_(strings), originalCount_(strings.size()), fileName_(fileName) {
    for (std::size_t i = 0; i < strings_.size() && i < kMaxStrings; ++i) {
        index_.emplace(strings_[i], static_cast<std::uint16_t>(i));
    }
}

std::uint16_t LwoTagTable::indexOf(const std::string& text) {
    const auto found = index_.find(text);
    if (found != index_.end()) {
        return found->second;
    }
    if (strings_.size() >= kMaxStrings) {
        throw FormatError(fileName_ + ": cannot write: more TAGS strings than a PTAG can index");
    }
    const auto index = static_cast<std::uint16_t>(strings_.size());
    strings_.push_back(text);
    index_.emplace(text, index);
    return index;
}

std::uint16_t LwoTagTable::tagValue(LWID type, const std::string& text) {
    return tagIndexesStrings(type) ? indexOf(text) : smoothingGroupNumber(text);
}

std::uint16_t smoothingGroupNumber(std::string_view text) {
    unsigned long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error == std::errc::result_out_of_range) {
        return std::numeric_limits<std::uint16_t>::max();
    }
    if (error != std::errc() || stop == text.data()) {
        return 0;
    }
    return static_cast<std::uint16_t>(
        std::min<unsigned long long>(value, std::numeric_limits<std::uint16_t>::max()));
}

}  // namespace tarvel::formats
