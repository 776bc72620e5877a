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
#include "sdk/polygon_flags.h"
#include "standin/json_writer.h"

namespace tarvel::cli::report {

namespace {

constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

/// `bytes` in base64, with padding.
std::string base64(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
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
    return out;
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

/// One side of a removed polygon: its two points (the lower in the high half) and the polygon.
struct EdgeUse {
    std::uint64_t key;
    std::uint32_t polygon;  // index into `removed`
};

/// Every side of every polygon of `removed`, sorted by points and then by polygon.
std::vector<EdgeUse> edgeUsesOf(const standin::Mesh& before,
                                const std::vector<std::size_t>& removed) {
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
    return uses;
}

/// The patch of each removed polygon, patches numbered in the order of their first polygon,
/// and the sides that belong to one polygon alone (the patches' boundaries).
struct PatchJoin {
    std::vector<std::size_t> patchOf;
    std::vector<std::size_t> polygonCounts;
    std::vector<EdgeUse> boundary;
};

PatchJoin joinPatches(const std::vector<EdgeUse>& uses, std::size_t polygons) {
    std::vector<std::uint32_t> parent(polygons);
    std::iota(parent.begin(), parent.end(), 0u);
    const auto root = [&parent](std::uint32_t k) {
        while (parent[k] != k) {
            parent[k] = parent[parent[k]];
            k = parent[k];
        }
        return k;
    };
    PatchJoin join;
    for (std::size_t first = 0; first < uses.size();) {
        std::size_t end = first + 1;
        for (; end < uses.size() && uses[end].key == uses[first].key; ++end) {
            const std::uint32_t a = root(uses[first].polygon);
            const std::uint32_t b = root(uses[end].polygon);
            parent[std::max(a, b)] = std::min(a, b);
        }
        if (end == first + 1) {
            join.boundary.push_back(uses[first]);
        }
        first = end;
    }
    join.patchOf.resize(polygons);
    std::vector<std::size_t> numberOfRoot(polygons, std::numeric_limits<std::size_t>::max());
    for (std::size_t k = 0; k < polygons; ++k) {
        std::size_t& number = numberOfRoot[root(static_cast<std::uint32_t>(k))];
        if (number == std::numeric_limits<std::size_t>::max()) {
            number = join.polygonCounts.size();
            join.polygonCounts.push_back(0);
        }
        join.patchOf[k] = number;
        ++join.polygonCounts[number];
    }
    return join;
}

/// For each pair of links the run added, the patches its links reach: a link's end reaches
/// the patch of the removed polygon at that point (the first, where patches meet at a point).
std::vector<std::vector<std::size_t>> pairPatchesOf(const standin::Mesh& before,
                                                    const standin::Mesh& after,
                                                    const std::vector<std::size_t>& removed,
                                                    const std::vector<std::size_t>& patchOf) {
    std::unordered_map<std::int32_t, std::size_t> patchOfPoint;
    for (std::size_t k = 0; k < removed.size(); ++k) {
        for (const std::int32_t point : before.polygons[removed[k]].points) {
            patchOfPoint.try_emplace(point, patchOf[k]);
        }
    }
    std::vector<std::vector<std::size_t>> pairs;
    for (std::size_t j = before.polygons.size(); j < after.polygons.size(); ++j) {
        const standin::Polygon& link = after.polygons[j];
        if (link.removed || link.points.size() < 2) {
            continue;
        }
        const std::string* colour = standin::findTag(link, kTagColour);
        if ((colour != nullptr && *colour == "Red") || pairs.empty()) {
            pairs.emplace_back();
        }
        std::vector<std::size_t>& reached = pairs.back();
        for (const std::int32_t point : {link.points.front(), link.points.back()}) {
            const auto found = patchOfPoint.find(point);
            if (found != patchOfPoint.end() &&
                std::find(reached.begin(), reached.end(), found->second) == reached.end()) {
                reached.push_back(found->second);
            }
        }
    }
    return pairs;
}

RemovedPatches removedPatches(const standin::Mesh& before, const standin::Mesh& after,
                              const std::vector<std::size_t>& removed) {
    PatchJoin join = joinPatches(edgeUsesOf(before, removed), removed.size());
    const std::vector<std::size_t>& patchOf = join.patchOf;
    RemovedPatches patches;
    std::vector<std::size_t> order(removed.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return patchOf[x] < patchOf[y]; });
    for (const std::size_t k : order) {
        patches.polygons.push_back(removed[k]);
    }
    std::stable_sort(join.boundary.begin(), join.boundary.end(),
                     [&](const EdgeUse& x, const EdgeUse& y) {
                         return patchOf[x.polygon] < patchOf[y.polygon];
                     });
    patches.outlineCounts.assign(join.polygonCounts.size(), 0);
    for (const EdgeUse& use : join.boundary) {
        patches.outline.push_back(
            {static_cast<std::int32_t>(use.key >> 32), static_cast<std::int32_t>(use.key)});
        ++patches.outlineCounts[patchOf[use.polygon]];
    }
    patches.pairPatches = pairPatchesOf(before, after, removed, patchOf);
    patches.polygonCounts = std::move(join.polygonCounts);
    return patches;
}

/// The polygons of the mesh before the run, by what became of them: removed by the run,
/// selected and kept, or unselected (the run's context).
struct PolygonRoles {
    std::vector<std::size_t> removed;
    std::vector<std::size_t> kept;
    std::vector<std::size_t> context;
};

PolygonRoles polygonRoles(const standin::Mesh& before, const standin::Mesh& after) {
    PolygonRoles roles;
    for (std::size_t j = 0; j < before.polygons.size() && j < after.polygons.size(); ++j) {
        if (before.polygons[j].removed) {
            continue;
        }
        if (after.polygons[j].removed) {
            roles.removed.push_back(j);
        } else if ((before.polygons[j].flags & kPolygonSelected) != 0) {
            roles.kept.push_back(j);
        } else {
            roles.context.push_back(j);
        }
    }
    return roles;
}

/// What the page draws of the context: its polygons, or above the limit an even sample of
/// them and the outline of the whole unselected part, so that the page grows with the
/// selection, not the model; and the note that says so.
struct DrawnContext {
    std::vector<std::size_t> polygons;
    std::vector<MeshEdge> edges;
    std::string note;
};

DrawnContext drawnContext(const standin::Mesh& before, const std::vector<std::size_t>& context) {
    DrawnContext drawn{context, {}, {}};
    if (context.size() <= kContextPolygonLimit) {
        return drawn;
    }
    std::vector<bool> unselected(before.polygons.size(), false);
    for (const std::size_t j : context) {
        unselected[j] = true;
    }
    drawn.edges = outlineEdges(before, unselected, std::nullopt);
    const std::size_t allEdges = drawn.edges.size();
    evenSample(drawn.polygons, kContextSampleSize);
    evenSample(drawn.edges, kContextEdgeLimit);
    drawn.note = "Context reduced: of the " + thousands(context.size()) +
                 " unselected polygons (more than " + thousands(kContextPolygonLimit) +
                 ") the page draws " + thousands(drawn.polygons.size()) +
                 ", evenly spread through the list, and the boundary of their part: " +
                 thousands(drawn.edges.size()) +
                 (drawn.edges.size() < allEdges ? " of its " + thousands(allEdges) : "") +
                 " edges.";
    return drawn;
}

std::vector<std::uint8_t> polygonStream(GeometryWriter& geometry, const standin::Mesh& mesh,
                                        const std::vector<std::size_t>& list) {
    std::vector<std::uint8_t> stream;
    geometry.startStream();
    for (const std::size_t j : list) {
        geometry.add(stream, mesh.polygons[j].points, true);
    }
    return stream;
}

std::vector<std::uint8_t> edgeStream(GeometryWriter& geometry, const std::vector<MeshEdge>& edges) {
    std::vector<std::uint8_t> stream;
    geometry.startStream();
    for (const MeshEdge& edge : edges) {
        geometry.add(stream, {edge[0], edge[1]}, false);
    }
    return stream;
}

/// The links the run added: two points each (a link of another length keeps its first and
/// last point), and for each the index of its tag in `tags`.
struct LinkStreams {
    std::vector<std::uint8_t> points;
    std::vector<std::uint8_t> tagOfLink;
    std::vector<std::string> tags = {"Red", "DkRed", "Blue"};
};

LinkStreams linkStreams(GeometryWriter& geometry, const standin::Mesh& after,
                        std::size_t firstAdded) {
    LinkStreams links;
    geometry.startStream();
    for (std::size_t j = firstAdded; j < after.polygons.size(); ++j) {
        const standin::Polygon& link = after.polygons[j];
        if (link.removed || link.points.size() < 2) {
            continue;
        }
        const std::string* colour = standin::findTag(link, kTagColour);
        const std::string tag = colour != nullptr ? *colour : "untagged";
        auto known = std::find(links.tags.begin(), links.tags.end(), tag);
        if (known == links.tags.end() && links.tags.size() < 255) {
            known = links.tags.insert(links.tags.end(), tag);
        }
        links.tagOfLink.push_back(static_cast<std::uint8_t>(known - links.tags.begin()));
        geometry.add(links.points, {link.points.front(), link.points.back()}, false);
    }
    return links;
}

/// Everything the page draws, numbered by one GeometryWriter in the order the page reads it.
struct PageGeometry {
    RemovedPatches patches;
    std::vector<std::uint8_t> removed;
    std::vector<std::uint8_t> outline;
    std::vector<std::uint8_t> kept;
    std::vector<std::uint8_t> context;
    std::vector<std::uint8_t> contextEdges;
    LinkStreams links;
    std::vector<std::uint8_t> points;
};

PageGeometry pageGeometry(const ReportRun& run, const PolygonRoles& roles,
                          const DrawnContext& drawn) {
    GeometryWriter geometry(run.before);
    PageGeometry page;
    page.patches = removedPatches(run.before, run.after, roles.removed);
    page.removed = polygonStream(geometry, run.before, page.patches.polygons);
    page.kept = polygonStream(geometry, run.before, roles.kept);
    page.context = polygonStream(geometry, run.before, drawn.polygons);
    page.contextEdges = edgeStream(geometry, drawn.edges);
    page.outline = edgeStream(geometry, page.patches.outline);
    page.links = linkStreams(geometry, run.after, run.before.polygons.size());
    page.points = geometry.pointBytes();
    return page;
}

void writeNumbers(standin::JsonWriter& json, const std::vector<std::size_t>& list) {
    json.beginArray();
    for (const std::size_t number : list) {
        json.integer(number);
    }
    json.end();
}

void writeBytes(standin::JsonWriter& json, const char* key,
                const std::vector<std::uint8_t>& bytes) {
    json.key(key).string(base64(bytes));
}

/// The run as the summary line tells it: its file, counts and messages.
void writeRunFields(standin::JsonWriter& json, const ReportRun& run, const PolygonRoles& roles) {
    json.key("format").integer(kReportFormat);
    json.key("file").string(run.file);
    json.key("summary").string(run.summary);
    json.key("stopReason").string(run.stopReason);
    json.key("polygons").integer(run.before.polygons.size());
    json.key("selected").integer(roles.removed.size() + roles.kept.size());
    json.key("pairs").integer(run.counts.pairs);
    json.key("linksAdded").integer(run.counts.linksAdded);
    json.key("polygonsRemoved").integer(run.counts.polygonsRemoved);
    json.key("messages").beginArray();
    for (const standin::ShownMessage& message : run.messages) {
        json.beginObject();
        json.key("title").string(messageBoxTitle(message.kind));
        json.key("text").string(message.text.value_or(""));
        json.key("text2").string(message.text2.value_or(""));
        json.end();
    }
    json.end();
    const ViewAxes view = gapView(run.after, run.before.polygons.size());
    json.key("view").beginObject();
    json.key("right").triple(view.right);
    json.key("up").triple(view.up);
    json.key("depth").triple(view.depth);
    json.end();
}

void writeGeometry(standin::JsonWriter& json, const PageGeometry& page, const PolygonRoles& roles,
                   const DrawnContext& drawn) {
    writeBytes(json, "points", page.points);
    writeBytes(json, "removed", page.removed);
    json.key("removedCount").integer(roles.removed.size());
    writeBytes(json, "removedOutline", page.outline);
    json.key("patchPolygons");
    writeNumbers(json, page.patches.polygonCounts);
    json.key("patchOutlines");
    writeNumbers(json, page.patches.outlineCounts);
    json.key("pairPatches").beginArray();
    for (const std::vector<std::size_t>& patches : page.patches.pairPatches) {
        writeNumbers(json, patches);
    }
    json.end();
    writeBytes(json, "kept", page.kept);
    json.key("keptCount").integer(roles.kept.size());
    writeBytes(json, "context", page.context);
    json.key("contextCount").integer(drawn.polygons.size());
    json.key("contextTotal").integer(roles.context.size());
    writeBytes(json, "contextEdges", page.contextEdges);
    json.key("contextEdgeCount").integer(drawn.edges.size());
    json.key("contextNote").string(drawn.note);
    writeBytes(json, "links", page.links.points);
    writeBytes(json, "linkTags", page.links.tagOfLink);
    json.key("tags").beginArray();
    for (const std::string& tag : page.links.tags) {
        json.string(tag);
    }
    json.end();
}

/// `json` made safe to place inside a <script> element, which only "</" could end early.
std::string scriptSafe(const std::string& json) {
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

}  // namespace

std::string pageDataJson(const ReportRun& run) {
    const PolygonRoles roles = polygonRoles(run.before, run.after);
    const DrawnContext drawn = drawnContext(run.before, roles.context);
    const PageGeometry page = pageGeometry(run, roles, drawn);
    std::string text;
    standin::JsonWriter json(text, standin::JsonWriter::Spacing::compact);
    json.beginObject();
    writeRunFields(json, run, roles);
    writeGeometry(json, page, roles, drawn);
    json.end();
    return scriptSafe(text);
}

}  // namespace tarvel::cli::report
