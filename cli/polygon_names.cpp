#include "cli/polygon_names.h"

#include <unordered_map>

#include "host/lwsdk.h"

namespace tarvelhost {

namespace {

constexpr LWID kTagPart = LWID_('P', 'A', 'R', 'T');
constexpr LWID kTagSmoothingGroup = LWID_('S', 'M', 'G', 'P');

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

PolygonNames polygonNames(const standin::Mesh& mesh) {
    Tally surfaces;
    Tally parts;
    Tally groups;
    for (const standin::Polygon& polygon : mesh.polygons) {
        surfaces.add(polygon.surface);
        if (const std::string* part = standin::findTag(polygon, kTagPart)) {
            parts.add(*part);
        }
        if (const std::string* group = standin::findTag(polygon, kTagSmoothingGroup)) {
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

}  // namespace tarvelhost
