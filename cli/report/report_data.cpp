#include "cli/report/report_data.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <numeric>
#include <optional>
#include <span>
#include <unordered_map>

#include "cli/mesh_outline.h"
#include "cli/picture_budget.h"
#include "cli/run_summary.h"
#include "standin/json_writer.h"

namespace tarvelhost::report {

namespace {

constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void appendBase64(std::string& out, const std::vector<std::uint8_t>& bytes) {
    out += '"';
    std::size_t k = 0;
    for (; k + 3 <= bytes.size(); k += 3) {
        const std::uint32_t word =
            (std::uint32_t{bytes[k]} << 16) | (std::uint32_t{bytes[k + 1]} << 8) | bytes[k + 2];
        out += kBase64Digits[(word >> 18) & 63];
        out += kBase64Digits[(word >> 12) & 63];
        out += kBase64Digits[(word >> 6) & 63];
        out += kBase64Digits[word & 63];
    }
    if (k < bytes.size()) {
        const bool two = k + 1 < bytes.size();
        const std::uint32_t word =
            (std::uint32_t{bytes[k]} << 16) | (two ? std::uint32_t{bytes[k + 1]} << 8 : 0u);
        out += kBase64Digits[(word >> 18) & 63];
        out += kBase64Digits[(word >> 12) & 63];
        out += two ? kBase64Digits[(word >> 6) & 63] : '=';
        out += '=';
    }
    out += '"';
}

/// Point identifiers as the page numbers them (in the order first drawn), and the stream
/// of numbers that lists polygons and edges.
class GeometryWriter {
public:
    explicit GeometryWriter(const standin::Mesh& mesh)
        : mesh_(mesh), pageId_(mesh.points.size(), -1) {}

    void add(std::vector<std::uint8_t>& stream, std::initializer_list<std::int32_t> points,
             bool counted) {
        add(stream, std::span<const std::int32_t>(points.begin(), points.size()), counted);
    }

    /// Appends `points` (mesh identifiers) to `stream`, with their count first when `counted`.
    void add(std::vector<std::uint8_t>& stream, std::span<const std::int32_t> points,
             bool counted) {
        if (counted) {
            appendNumber(stream, points.size());
        }
        for (const std::int32_t point : points) {
            std::int64_t& id = pageId_[static_cast<std::size_t>(point)];
            if (id < 0) {
                // Points at the same place (as the page stores them) are one point there: a
                // mesh whose polygons share no points costs no more than one that does.
                const auto [place, added] =
                    byPlace_.try_emplace(placeOf(point), static_cast<std::int64_t>(order_.size()));
                if (added) {
                    order_.push_back(point);
                }
                id = place->second;
            }
            const std::int64_t step = id - previous_;
            previous_ = id;
            appendNumber(stream, step >= 0 ? static_cast<std::uint64_t>(step) * 2
                                           : static_cast<std::uint64_t>(-step) * 2 - 1);
        }
    }

    /// Starts the next stream from point 0 again, as the page reads each stream on its own.
    void startStream() { previous_ = 0; }

    /// The points drawn, in the page's numbering, as 32-bit floats.
    std::vector<std::uint8_t> pointBytes() const {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(order_.size() * 12);
        for (const std::int32_t point : order_) {
            for (const double coordinate : mesh_.points[static_cast<std::size_t>(point)]) {
                const auto word = std::bit_cast<std::uint32_t>(static_cast<float>(coordinate));
                for (int shift = 0; shift < 32; shift += 8) {
                    bytes.push_back(static_cast<std::uint8_t>(word >> shift));
                }
            }
        }
        return bytes;
    }

private:
    static void appendNumber(std::vector<std::uint8_t>& stream, std::uint64_t value) {
        while (value >= 0x80) {
            stream.push_back(static_cast<std::uint8_t>(value | 0x80));
            value >>= 7;
        }
        stream.push_back(static_cast<std::uint8_t>(value));
    }

    /// The point's place as the page holds it: its coordinates as 32-bit floats.
    using Place = std::array<std::uint32_t, 3>;
    struct PlaceHash {
        std::size_t operator()(const Place& place) const {
            std::uint64_t hash = 0x9e3779b97f4a7c15u;
            for (const std::uint32_t word : place) {
                hash = (hash ^ word) * 0x100000001b3u;
            }
            return static_cast<std::size_t>(hash ^ (hash >> 32));
        }
    };
    Place placeOf(std::int32_t point) const {
        const standin::Point& at = mesh_.points[static_cast<std::size_t>(point)];
        return {std::bit_cast<std::uint32_t>(static_cast<float>(at[0])),
                std::bit_cast<std::uint32_t>(static_cast<float>(at[1])),
                std::bit_cast<std::uint32_t>(static_cast<float>(at[2]))};
    }

    const standin::Mesh& mesh_;
    /// The page's number of each mesh point drawn so far, -1 for the others.
    std::vector<std::int64_t> pageId_;
    std::unordered_map<Place, std::int64_t, PlaceHash> byPlace_;
    /// The mesh point each page point was first drawn from.
    std::vector<std::int32_t> order_;
    std::int64_t previous_ = 0;
};

void appendKey(std::string& out, const char* key) {
    out += ",\"";
    out += key;
    out += "\":";
}

void appendCount(std::string& out, const char* key, std::size_t value) {
    appendKey(out, key);
    standin::appendJsonInteger(out, static_cast<std::uint64_t>(value));
}

/// The removed polygons as patches (joined through shared edges), so that the page can show
/// one pair's patches alone: the polygons and each patch's boundary edges in patch order, and
/// for each pair (the run of links from a Red link to the next) the patches its links reach.
struct RemovedPatches {
    std::vector<std::size_t> polygons;
    std::vector<std::size_t> polygonCounts;
    std::vector<MeshEdge> outline;
    std::vector<std::size_t> outlineCounts;
    std::vector<std::vector<std::size_t>> pairPatches;
};

RemovedPatches removedPatches(const standin::Mesh& before, const standin::Mesh& after,
                              const std::vector<std::size_t>& removed) {
    struct EdgeUse {
        std::uint64_t key;
        std::uint32_t polygon;  // index into `removed`
    };
    std::vector<EdgeUse> uses;
    for (std::size_t k = 0; k < removed.size(); ++k) {
        const standin::PointIds& points = before.polygons[removed[k]].points;
        const std::size_t sides = points.size() == 2 ? 1 : points.size();
        for (std::size_t e = 0; e < sides && points.size() >= 2; ++e) {
            const auto a = static_cast<std::uint32_t>(points[e]);
            const auto b = static_cast<std::uint32_t>(points[(e + 1) % points.size()]);
            if (a != b) {
                uses.push_back({(std::uint64_t{std::min(a, b)} << 32) | std::max(a, b),
                                static_cast<std::uint32_t>(k)});
            }
        }
    }
    std::sort(uses.begin(), uses.end(), [](const EdgeUse& x, const EdgeUse& y) {
        return x.key < y.key || (x.key == y.key && x.polygon < y.polygon);
    });
    std::vector<std::uint32_t> parent(removed.size());
    std::iota(parent.begin(), parent.end(), 0u);
    const auto root = [&parent](std::uint32_t k) {
        while (parent[k] != k) {
            parent[k] = parent[parent[k]];
            k = parent[k];
        }
        return k;
    };
    std::vector<EdgeUse> boundary;
    for (std::size_t first = 0; first < uses.size();) {
        std::size_t end = first + 1;
        for (; end < uses.size() && uses[end].key == uses[first].key; ++end) {
            const std::uint32_t a = root(uses[first].polygon);
            const std::uint32_t b = root(uses[end].polygon);
            parent[std::max(a, b)] = std::min(a, b);
        }
        if (end == first + 1) {
            boundary.push_back(uses[first]);
        }
        first = end;
    }

    // Patches numbered in the order of their first polygon.
    RemovedPatches patches;
    std::vector<std::size_t> patchOf(removed.size());
    std::vector<std::size_t> numberOfRoot(removed.size(), std::numeric_limits<std::size_t>::max());
    for (std::size_t k = 0; k < removed.size(); ++k) {
        std::size_t& number = numberOfRoot[root(static_cast<std::uint32_t>(k))];
        if (number == std::numeric_limits<std::size_t>::max()) {
            number = patches.polygonCounts.size();
            patches.polygonCounts.push_back(0);
        }
        patchOf[k] = number;
        ++patches.polygonCounts[number];
    }
    std::vector<std::size_t> order(removed.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return patchOf[x] < patchOf[y]; });
    for (const std::size_t k : order) {
        patches.polygons.push_back(removed[k]);
    }
    std::stable_sort(boundary.begin(), boundary.end(), [&](const EdgeUse& x, const EdgeUse& y) {
        return patchOf[x.polygon] < patchOf[y.polygon];
    });
    patches.outlineCounts.assign(patches.polygonCounts.size(), 0);
    for (const EdgeUse& use : boundary) {
        patches.outline.push_back(
            {static_cast<std::int32_t>(use.key >> 32), static_cast<std::int32_t>(use.key)});
        ++patches.outlineCounts[patchOf[use.polygon]];
    }

    // The patch of each point of a removed polygon (the first, where patches meet at a point).
    std::unordered_map<std::int32_t, std::size_t> patchOfPoint;
    for (std::size_t k = 0; k < removed.size(); ++k) {
        for (const std::int32_t point : before.polygons[removed[k]].points) {
            patchOfPoint.try_emplace(point, patchOf[k]);
        }
    }
    for (std::size_t j = before.polygons.size(); j < after.polygons.size(); ++j) {
        const standin::Polygon& link = after.polygons[j];
        if (link.removed || link.points.size() < 2) {
            continue;
        }
        const std::string* colour = standin::findTag(link, kTagColour);
        if ((colour != nullptr && *colour == "Red") || patches.pairPatches.empty()) {
            patches.pairPatches.emplace_back();
        }
        std::vector<std::size_t>& reached = patches.pairPatches.back();
        for (const std::int32_t point : {link.points.front(), link.points.back()}) {
            const auto found = patchOfPoint.find(point);
            if (found != patchOfPoint.end() &&
                std::find(reached.begin(), reached.end(), found->second) == reached.end()) {
                reached.push_back(found->second);
            }
        }
    }
    return patches;
}

void appendNumbers(std::string& out, const std::vector<std::size_t>& list) {
    out += '[';
    for (std::size_t k = 0; k < list.size(); ++k) {
        if (k > 0) {
            out += ',';
        }
        standin::appendJsonInteger(out, static_cast<std::uint64_t>(list[k]));
    }
    out += ']';
}

}  // namespace

std::string reportJson(const ReportRun& run) {
    const standin::Mesh& before = run.before;
    const standin::Mesh& after = run.after;
    const std::size_t firstAdded = before.polygons.size();

    std::vector<std::size_t> removed;
    std::vector<std::size_t> kept;
    std::vector<std::size_t> context;
    for (std::size_t j = 0; j < firstAdded && j < after.polygons.size(); ++j) {
        if (before.polygons[j].removed) {
            continue;
        }
        if (after.polygons[j].removed) {
            removed.push_back(j);
        } else if ((before.polygons[j].flags & 1) != 0) {
            kept.push_back(j);
        } else {
            context.push_back(j);
        }
    }

    // Above the limit the context is an even sample of its polygons and the outline of the
    // whole unselected part, so that the page grows with the selection, not the model.
    std::vector<MeshEdge> contextEdges;
    std::string contextNote;
    std::vector<std::size_t> contextDrawn = context;
    if (context.size() > kContextPolygonLimit) {
        std::vector<bool> unselected(firstAdded, false);
        for (const std::size_t j : context) {
            unselected[j] = true;
        }
        contextEdges = outlineEdges(before, unselected, std::nullopt);
        const std::size_t allEdges = contextEdges.size();
        evenSample(contextDrawn, kContextSampleSize);
        evenSample(contextEdges, kContextEdgeLimit);
        contextNote = "Context reduced: of the " + thousands(context.size()) +
                      " unselected polygons (more than " + thousands(kContextPolygonLimit) +
                      ") the page draws " + thousands(contextDrawn.size()) +
                      ", evenly spread through the list, and the boundary of their part: " +
                      thousands(contextEdges.size()) +
                      (contextEdges.size() < allEdges ? " of its " + thousands(allEdges) : "") +
                      " edges.";
    }

    GeometryWriter geometry(before);
    const auto polygonStream = [&](const std::vector<std::size_t>& list) {
        std::vector<std::uint8_t> stream;
        geometry.startStream();
        for (const std::size_t j : list) {
            geometry.add(stream, before.polygons[j].points, true);
        }
        return stream;
    };
    const RemovedPatches patches = removedPatches(before, after, removed);
    const std::vector<std::uint8_t> removedStream = polygonStream(patches.polygons);
    const std::vector<std::uint8_t> keptStream = polygonStream(kept);
    const std::vector<std::uint8_t> contextStream = polygonStream(contextDrawn);
    std::vector<std::uint8_t> edgeStream;
    geometry.startStream();
    for (const MeshEdge& edge : contextEdges) {
        geometry.add(edgeStream, {edge[0], edge[1]}, false);
    }

    std::vector<std::uint8_t> outlineStream;
    geometry.startStream();
    for (const MeshEdge& edge : patches.outline) {
        geometry.add(outlineStream, {edge[0], edge[1]}, false);
    }

    // Links: two points each (a link of another length keeps its first and last point), and
    // the index of its tag.
    std::vector<std::string> tags = {"Red", "DkRed", "Blue"};
    std::vector<std::uint8_t> linkStream;
    std::vector<std::uint8_t> linkTags;
    geometry.startStream();
    for (std::size_t j = firstAdded; j < after.polygons.size(); ++j) {
        const standin::Polygon& link = after.polygons[j];
        if (link.removed || link.points.size() < 2) {
            continue;
        }
        const std::string* colour = standin::findTag(link, kTagColour);
        const std::string tag = colour != nullptr ? *colour : "untagged";
        auto known = std::find(tags.begin(), tags.end(), tag);
        if (known == tags.end() && tags.size() < 255) {
            known = tags.insert(tags.end(), tag);
        }
        linkTags.push_back(static_cast<std::uint8_t>(known - tags.begin()));
        geometry.add(linkStream, {link.points.front(), link.points.back()}, false);
    }

    std::string json = "{\"format\":";
    standin::appendJsonInteger(json, std::uint64_t{kReportFormat});
    appendKey(json, "file");
    standin::appendJsonString(json, run.file);
    appendKey(json, "summary");
    standin::appendJsonString(json, run.summary);
    appendKey(json, "stopReason");
    standin::appendJsonString(json, run.stopReason);
    appendCount(json, "polygons", firstAdded);
    appendCount(json, "selected", removed.size() + kept.size());
    appendCount(json, "pairs", run.counts.pairs);
    appendCount(json, "linksAdded", run.counts.linksAdded);
    appendCount(json, "polygonsRemoved", run.counts.polygonsRemoved);
    appendKey(json, "messages");
    json += '[';
    for (std::size_t k = 0; k < run.messages.size(); ++k) {
        json += k > 0 ? ",{\"title\":" : "{\"title\":";
        standin::appendJsonString(json, messageBoxTitle(run.messages[k].kind));
        appendKey(json, "text");
        standin::appendJsonString(json, run.messages[k].text.value_or(""));
        appendKey(json, "text2");
        standin::appendJsonString(json, run.messages[k].text2.value_or(""));
        json += '}';
    }
    json += ']';
    const ViewAxes view = gapView(after, firstAdded);
    appendKey(json, "view");
    json += "{\"right\":";
    standin::appendJsonTriple(json, view.right);
    json += ",\"up\":";
    standin::appendJsonTriple(json, view.up);
    json += ",\"depth\":";
    standin::appendJsonTriple(json, view.depth);
    json += '}';
    appendKey(json, "points");
    appendBase64(json, geometry.pointBytes());
    appendKey(json, "removed");
    appendBase64(json, removedStream);
    appendCount(json, "removedCount", removed.size());
    appendKey(json, "removedOutline");
    appendBase64(json, outlineStream);
    appendKey(json, "patchPolygons");
    appendNumbers(json, patches.polygonCounts);
    appendKey(json, "patchOutlines");
    appendNumbers(json, patches.outlineCounts);
    appendKey(json, "pairPatches");
    json += '[';
    for (std::size_t k = 0; k < patches.pairPatches.size(); ++k) {
        json += k > 0 ? "," : "";
        appendNumbers(json, patches.pairPatches[k]);
    }
    json += ']';
    appendKey(json, "kept");
    appendBase64(json, keptStream);
    appendCount(json, "keptCount", kept.size());
    appendKey(json, "context");
    appendBase64(json, contextStream);
    appendCount(json, "contextCount", contextDrawn.size());
    appendCount(json, "contextTotal", context.size());
    appendKey(json, "contextEdges");
    appendBase64(json, edgeStream);
    appendCount(json, "contextEdgeCount", contextEdges.size());
    appendKey(json, "contextNote");
    standin::appendJsonString(json, contextNote);
    appendKey(json, "links");
    appendBase64(json, linkStream);
    appendKey(json, "linkTags");
    appendBase64(json, linkTags);
    appendKey(json, "tags");
    json += '[';
    for (std::size_t k = 0; k < tags.size(); ++k) {
        if (k > 0) {
            json += ',';
        }
        standin::appendJsonString(json, tags[k]);
    }
    json += "]}";

    // The document goes inside a <script> element, which only "</" could end early.
    std::string safe;
    safe.reserve(json.size());
    for (const char c : json) {
        if (c == '<') {
            safe += "\\u003c";
        } else {
            safe += c;
        }
    }
    return safe;
}

}  // namespace tarvelhost::report
