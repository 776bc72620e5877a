#include "cli/selection.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "cli/exit_codes.h"
#include "cli/polygon_names.h"
#include "formats/lwo_object.h"
#include "formats/obj_edit.h"
#include "host/polygon_capture.h"
#include "sdk/lwsdk.h"
#include "sdk/polygon_flags.h"

namespace tarvel::cli {

namespace {

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
    if (error == std::errc::result_out_of_range && end == text.data() + text.size()) {
        throw UsageError(option + ": '" + std::string(item) +
                         "' is out of range: no file has that many polygons");
    }
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        throw UsageError(option + ": '" + std::string(item) +
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

bool contains(const std::vector<std::string>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

/// Whether any part the tag `tag` names is among `names`.
bool anyContained(const std::vector<std::string>& names, std::string_view tag, PartNames how) {
    const std::vector<std::string_view> parts = partNamesOf(tag, how);
    return std::any_of(parts.begin(), parts.end(),
                       [&](std::string_view part) { return contains(names, part); });
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

void checkNames(const std::vector<std::string>& wanted, const std::vector<NameCount>& present,
                const char* option, const char* kind, const std::string& file) {
    for (const std::string& name : wanted) {
        const bool found = std::any_of(present.begin(), present.end(),
                                       [&](const NameCount& entry) { return entry.name == name; });
        if (!found) {
            const auto similar = std::find_if(
                present.begin(), present.end(),
                [&](const NameCount& entry) { return sameIgnoringCase(entry.name, name); });
            const std::string hint =
                similar != present.end() ? "; did you mean '" + similar->name + "'?" : "";
            throw UsageError(file + ": " + option + " '" + name + "': no polygon has this " + kind +
                             " (" + kind + "s: " + listNames(present) + ")" + hint);
        }
    }
}

std::string indexSpan(std::size_t count) {
    return count == 0 ? "none" : count == 1 ? "0" : "0-" + std::to_string(count - 1);
}

}  // namespace

std::vector<IndexRange> parseIndexRanges(std::string_view text, const std::string& option) {
    std::vector<IndexRange> ranges;
    if (trimmed(text).empty()) {
        throw UsageError(option + ": an empty list of polygons");
    }
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = text.find(',', at);
        const std::string_view item = trimmed(
            text.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at));
        if (item.empty()) {
            throw UsageError(option + ": an empty item in '" + std::string(text) + "'");
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
                    throw UsageError(option + ": the range '" + std::string(item) +
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

void checkSelection(const standin::Mesh& mesh, const SelectionRules& rules, const std::string& name,
                    PartNames partNames) {
    const PolygonNames names = polygonNames(mesh, partNames);
    if (!rules.given()) {
        throw UsageError(name +
                         ": no selection: name the polygons to run on with --select-surface "
                         "(surfaces: " +
                         listNames(names.surfaces) + "), --select-part (parts: " +
                         listNames(names.parts) + ") or --select-polygons (" +
                         indexSpan(mesh.polygons.size()) + "), or take them all with --all");
    }
    checkNames(rules.surfaces, names.surfaces, "--select-surface", "surface", name);
    checkNames(rules.parts, names.parts, "--select-part", "part", name);
    const std::size_t count = mesh.polygons.size();
    for (const IndexRange& range : rules.polygons) {
        const std::size_t beyond = range.last.value_or(range.first);
        if (beyond >= count) {
            throw UsageError(name + ": --select-polygons: polygon " + std::to_string(beyond) +
                             " is beyond the " + std::to_string(count) + " polygons there are (" +
                             indexSpan(count) + ")");
        }
    }
}

std::size_t applySelection(standin::Mesh& mesh, const SelectionRules& rules, PartNames partNames) {
    std::size_t selected = 0;
    for (std::size_t j = 0; j < mesh.polygons.size(); ++j) {
        standin::Polygon& polygon = mesh.polygons[j];
        bool take = polygon.type != formats::kTypeObjLine;
        if (rules.all) {
            take = tarvel::isCapturedType(polygon.type);
        }
        if (!rules.surfaces.empty() && !contains(rules.surfaces, polygon.surface)) {
            take = false;
        }
        if (!rules.parts.empty()) {
            const std::string* part = standin::findTag(polygon, formats::kTagPart);
            take = take && part != nullptr && anyContained(rules.parts, *part, partNames);
        }
        if (!rules.polygons.empty() && !inRanges(j, rules.polygons)) {
            take = false;
        }
        polygon.flags =
            take ? (polygon.flags | kPolygonSelected) : (polygon.flags & ~kPolygonSelected);
        selected += take ? 1 : 0;
    }
    return selected;
}

}  // namespace tarvel::cli
