#include "cli/selection.h"

#include <charconv>

#include "standin/input_error.h"

namespace tarvelhost {

namespace {

constexpr LWID kTagPart = LWID_('P', 'A', 'R', 'T');

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::size_t wholeNumber(std::string_view text, std::string_view item, const std::string& option) {
    text = trimmed(text);
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        throw standin::InputError(option + ": '" + std::string(item) +
                                  "' is not an index or a range of indices such as 0-99");
    }
    return value;
}

bool inRanges(std::size_t index, const std::vector<IndexRange>& ranges) {
    for (const IndexRange& range : ranges) {
        if (index >= range.first && (!range.last || index <= *range.last)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<IndexRange> parseIndexRanges(std::string_view text, const std::string& option) {
    std::vector<IndexRange> ranges;
    if (trimmed(text).empty()) {
        throw standin::InputError(option + ": an empty list of polygons");
    }
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = text.find(',', at);
        const std::string_view item = trimmed(
            text.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at));
        if (item.empty()) {
            throw standin::InputError(option + ": an empty item in '" + std::string(text) + "'");
        }
        IndexRange range;
        const std::size_t dash = item.find('-');
        if (dash == std::string_view::npos) {
            range.first = wholeNumber(item, item, option);
            range.last = range.first;
        } else {
            range.first = wholeNumber(item.substr(0, dash), item, option);
            const std::string_view end = trimmed(item.substr(dash + 1));
            if (!end.empty()) {
                range.last = wholeNumber(end, item, option);
                if (*range.last < range.first) {
                    throw standin::InputError(option + ": the range '" + std::string(item) +
                                              "' ends before it starts");
                }
            }
        }
        ranges.push_back(range);
        if (comma == std::string_view::npos) {
            break;
        }
        at = comma + 1;
    }
    return ranges;
}

std::size_t applySelection(standin::Mesh& mesh, const SelectionRules& rules) {
    std::size_t selected = 0;
    for (std::size_t j = 0; j < mesh.polygons.size(); ++j) {
        standin::Polygon& polygon = mesh.polygons[j];
        bool take = true;
        if (rules.surface && polygon.surface != *rules.surface) {
            take = false;
        }
        if (rules.part) {
            const std::string* part = standin::findTag(polygon, kTagPart);
            take = take && part != nullptr && *part == *rules.part;
        }
        if (rules.polygons && !inRanges(j, *rules.polygons)) {
            take = false;
        }
        polygon.flags = take ? (polygon.flags | 1) : (polygon.flags & ~1);
        selected += take ? 1 : 0;
    }
    return selected;
}

}  // namespace tarvelhost
