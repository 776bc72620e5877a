#include "cli/polygon_names.h"

#include <unordered_map>

#include "formats/lwo_object.h"
#include "sdk/lwsdk.h"

namespace tarvel::cli {

namespace {

/// Counts names in first-seen order.
class Tally {
public:
    void add(const std::string& name) {
        const auto [entry, added] = index_.try_emplace(name, counts_.size());
        if (added) {
            counts_.push_back(NameCount{name, 0});
        }
        ++counts_[entry->second].polygons;
    }
    std::vector<NameCount> take() { return std::move(counts_); }

private:
    std::vector<NameCount> counts_;
    std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace

std::vector<std::string_view> partNamesOf(std::string_view tag, PartNames how) {
    if (how == PartNames::whole) {
        return {tag};
    }
    std::vector<std::string_view> names;
    while (!tag.empty()) {
        const std::size_t space = tag.find(' ');
        if (space != 0) {
            names.push_back(tag.substr(0, space));
        }
        tag.remove_prefix(space == std::string_view::npos ? tag.size() : space + 1);
    }
    return names;
}

PolygonNames polygonNames(const standin::Mesh& mesh, PartNames how) {
    Tally surfaces;
    Tally parts;
    Tally groups;
    for (const standin::Polygon& polygon : mesh.polygons) {
        surfaces.add(polygon.surface);
        if (const std::string* part = standin::findTag(polygon, formats::kTagPart)) {
            for (const std::string_view name : partNamesOf(*part, how)) {
                parts.add(std::string(name));
            }
        }
        if (const std::string* group = standin::findTag(polygon, formats::kTagSmoothingGroup)) {
            groups.add(*group);
        }
    }
    return PolygonNames{surfaces.take(), parts.take(), groups.take()};
}

std::string listNames(const std::vector<NameCount>& names, std::size_t shown) {
    if (names.empty()) {
        return "none";
    }
    std::string text;
    for (std::size_t k = 0; k < names.size() && k < shown; ++k) {
        text +=
            (k == 0 ? "" : ", ") + names[k].name + " (" + std::to_string(names[k].polygons) + ")";
    }
    if (names.size() > shown) {
        text += " and " + std::to_string(names.size() - shown) + " more";
    }
    return text;
}

}  // namespace tarvel::cli
