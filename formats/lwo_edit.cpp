#include "formats/lwo_edit.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <unordered_map>

#include "formats/byte_reader.h"
#include "formats/byte_writer.h"
#include "formats/format_error.h"
#include "formats/lwo_reader.h"
#include "formats/lwo_tag_table.h"

namespace tarvel::formats {

namespace {

constexpr std::uint32_t kGone = std::numeric_limits<std::uint32_t>::max();

/// An added polygon, ready to encode.
struct NewPolygon {
    LWID type;
    std::vector<std::uint32_t> points;                 // relative to the layer's last PNTS chunk
    std::vector<std::pair<LWID, std::uint16_t>> tags;  // SURF first
};

std::vector<NewPolygon> collectAdded(const LwoObject& object, const standin::Mesh& edited,
                                     LwoTagTable& table, const std::string& name) {
    const LwoLayer& layer = object.primary;
    std::vector<NewPolygon> added;
    const std::uint32_t lastStart =
        layer.pointBlockStarts.empty() ? 0 : layer.pointBlockStarts.back();
    for (std::size_t j = layer.polygons.size(); j < edited.polygons.size(); ++j) {
        const standin::Polygon& polygon = edited.polygons[j];
        if (polygon.removed) {
            continue;
        }
        if (polygon.points.size() > 0x03FF) {
            throw FormatError(name + ": cannot write: an added polygon of " +
                              std::to_string(polygon.points.size()) +
                              " points (a POLS polygon holds at most 1023)");
        }
        NewPolygon out;
        out.type = polygon.type;
        for (const std::int32_t point : polygon.points) {
            const auto index = static_cast<std::uint32_t>(point);
            if (layer.pointBlockStarts.empty() || index < lastStart ||
                index - lastStart > kMaxIndex) {
                std::string place = object.primaryName + "'s last PNTS chunk";
                for (std::size_t i = layer.firstChunk; i < layer.endChunk; ++i) {
                    if (object.chunks[i].id == kIdPoints) {
                        place = object.primaryName + "'s last PNTS chunk (at byte " +
                                std::to_string(object.chunks[i].fileOffset) + ")";
                    }
                }
                throw FormatError(
                    name + ": cannot write the added polygons: they join points outside " + place);
            }
            out.points.push_back(index - lastStart);
        }
        out.tags.emplace_back(kTagSurface, table.indexOf(polygon.surface));
        for (const standin::PolygonTag& tag : polygon.tags) {
            out.tags.emplace_back(tag.type, table.tagValue(tag.type, tag.value));
        }
        added.push_back(std::move(out));
    }
    return added;
}

/// POLS and PTAG chunks for the added polygons: one POLS per run of one type, each followed
/// by one PTAG per tag type its polygons carry, in the order the types first appear.
void appendAddedChunks(const std::vector<NewPolygon>& added, std::vector<LwoChunk>& out) {
    std::size_t runStart = 0;
    while (runStart < added.size()) {
        std::size_t runEnd = runStart;
        while (runEnd < added.size() && added[runEnd].type == added[runStart].type) {
            ++runEnd;
        }
        ByteWriter polygons;
        polygons.id4(added[runStart].type);
        std::vector<LWID> tagTypes;
        for (std::size_t j = runStart; j < runEnd; ++j) {
            polygons.u2(static_cast<std::uint16_t>(added[j].points.size()));
            for (const std::uint32_t point : added[j].points) {
                polygons.vx(point);
            }
            for (const auto& tag : added[j].tags) {
                if (std::find(tagTypes.begin(), tagTypes.end(), tag.first) == tagTypes.end()) {
                    tagTypes.push_back(tag.first);
                }
            }
        }
        out.push_back(LwoChunk{kIdPolygons, polygons.take(), 0});
        for (const LWID type : tagTypes) {
            ByteWriter tags;
            tags.id4(type);
            for (std::size_t j = runStart; j < runEnd; ++j) {
                for (const auto& tag : added[j].tags) {
                    if (tag.first == type) {
                        tags.vx(static_cast<std::uint32_t>(j - runStart));
                        tags.u2(tag.second);
                    }
                }
            }
            out.push_back(LwoChunk{kIdPolygonTags, tags.take(), 0});
        }
        runStart = runEnd;
    }
}

bool isGeometryChunk(LWID id) {
    return id == kIdLayer || id == kIdPoints || id == kIdPolygons || id == kIdPolygonTags ||
           id == kIdVertexMap || id == kIdDiscontinuousMap || id == kIdMapParameters ||
           id == kIdBoundingBox;
}

/// Whether a chunk is known to hold no polygon numbers, so that it can stay as it is after a
/// POLS chunk before it changes.
bool holdsNoPolygonNumbers(const LwoChunk& chunk) {
    constexpr LWID kKnown[] = {kIdLayer,
                               kIdPoints,
                               kIdPolygons,
                               kIdPolygonTags,
                               kIdVertexMap,
                               kIdDiscontinuousMap,
                               kIdMapParameters,
                               kIdBoundingBox,
                               kIdTags,
                               LWID_('O', 'T', 'A', 'G'),
                               kTagSurface,
                               LWID_('C', 'L', 'I', 'P'),
                               LWID_('E', 'N', 'V', 'L'),
                               LWID_('D', 'E', 'S', 'C'),
                               LWID_('T', 'E', 'X', 'T'),
                               LWID_('I', 'C', 'O', 'N')};
    if (chunk.id == kIdForm) {
        // LWO3's surfaces, clips and envelopes.
        if (chunk.body.size() < 4) {
            return false;
        }
        LWID type = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            type = (type << 8) | std::to_integer<LWID>(chunk.body[i]);
        }
        return type == kTagSurface || type == LWID_('C', 'L', 'I', 'P') ||
               type == LWID_('E', 'N', 'V', 'L');
    }
    return std::find(std::begin(kKnown), std::end(kKnown), chunk.id) != std::end(kKnown);
}

/// Renumbers the polygons of the layer's POLS chunks after removal.
struct Renumbering {
    /// Per polygon of the layer: its new index within its POLS chunk, or kGone.
    std::vector<std::uint32_t> newIndex;
    /// Per chunk of the object: the layer index of the first polygon of a POLS chunk.
    std::unordered_map<std::size_t, std::uint32_t> chunkStart;
    /// POLS chunks that lost polygons, and of those, the ones left empty.
    std::unordered_map<std::size_t, bool> changed;  // chunk -> left empty
};

Renumbering renumber(const LwoLayer& layer, const standin::Mesh& edited) {
    Renumbering result;
    result.newIndex.resize(layer.polygons.size());
    std::uint32_t survivors = 0;
    for (std::size_t j = 0; j < layer.polygons.size(); ++j) {
        const std::size_t chunk = layer.polygons[j].chunk;
        if (result.chunkStart.emplace(chunk, static_cast<std::uint32_t>(j)).second) {
            survivors = 0;
        }
        if (edited.polygons[j].removed) {
            result.newIndex[j] = kGone;
            result.changed.emplace(chunk, true);
        } else {
            result.newIndex[j] = survivors++;
        }
    }
    for (auto& [chunk, empty] : result.changed) {
        const std::uint32_t start = result.chunkStart.at(chunk);
        empty = true;
        for (std::size_t j = start; j < layer.polygons.size() && layer.polygons[j].chunk == chunk;
             ++j) {
            empty = empty && result.newIndex[j] == kGone;
        }
    }
    return result;
}

/// Refuses an edit that would leave a chunk of the layer numbering polygons other than those it
/// was written for: a chunk not known to hold no polygon numbers after a POLS chunk that loses
/// polygons (up to the next POLS chunk), or after `addedAfter`, where the chunks of the added
/// polygons go.
void refuseChunksThatMayNumberPolygons(const LwoObject& object, const Renumbering& numbers,
                                       std::size_t addedAfter, const std::string& name) {
    const LwoLayer& layer = object.primary;
    bool afterChange = false;
    for (std::size_t i = layer.firstChunk; i < layer.endChunk; ++i) {
        const LwoChunk& chunk = object.chunks[i];
        if (chunk.id == kIdPolygons) {
            afterChange = numbers.changed.contains(i);
        }
        if ((afterChange || i > addedAfter) && !holdsNoPolygonNumbers(chunk)) {
            throw FormatError(
                name + ": " + chunkName(chunk.id) + " at byte " + std::to_string(chunk.fileOffset) +
                ": cannot edit " + object.primaryName + ": a chunk not understood after " +
                (afterChange ? "a POLS chunk that loses polygons" : "where the links are added") +
                " may number those polygons");
        }
    }
}

std::vector<std::byte> survivingPolygons(const LwoObject& object, const Renumbering& numbers,
                                         std::size_t chunk) {
    const LwoLayer& layer = object.primary;
    ByteWriter out;
    const std::uint32_t start = numbers.chunkStart.at(chunk);
    out.id4(layer.polygons[start].type);
    for (std::size_t j = start; j < layer.polygons.size() && layer.polygons[j].chunk == chunk;
         ++j) {
        if (numbers.newIndex[j] == kGone) {
            continue;
        }
        const LwoPolygon& polygon = layer.polygons[j];
        out.u2(static_cast<std::uint16_t>((polygon.flags << 10) | polygon.pointCount));
        if (polygon.pointCount == 0) {
            continue;  // no point to find its block by
        }
        const std::uint32_t blockStart =
            *(std::upper_bound(layer.pointBlockStarts.begin(), layer.pointBlockStarts.end(),
                               layer.polygonPoints[polygon.firstPoint]) -
              1);
        for (std::uint32_t k = 0; k < polygon.pointCount; ++k) {
            out.vx(layer.polygonPoints[polygon.firstPoint + k] - blockStart);
        }
    }
    return out.take();
}

/// A PTAG or VMAD chunk of a POLS chunk that lost polygons, without the entries of the
/// removed polygons and with the others renumbered. The chunk was checked when read.
std::vector<std::byte> survivingEntries(const LwoChunk& chunk, std::uint32_t polygonStart,
                                        const Renumbering& numbers, const std::string& name) {
    ByteReader in(chunk.body, chunk.fileOffset + 8, chunk.id, name);
    ByteWriter out;
    out.id4(in.id4());
    std::size_t dimension = 0;
    if (chunk.id == kIdDiscontinuousMap) {
        dimension = in.u2();
        out.u2(static_cast<std::uint16_t>(dimension));
        out.s0(in.s0());
    }
    while (!in.atEnd()) {
        const std::uint32_t vertex = chunk.id == kIdDiscontinuousMap ? in.vx() : 0;
        const std::uint32_t polygon = numbers.newIndex[polygonStart + in.vx()];
        const std::size_t valueStart = in.position();
        in.skip(chunk.id == kIdDiscontinuousMap ? dimension * 4 : 2);
        if (polygon == kGone) {
            continue;
        }
        if (chunk.id == kIdDiscontinuousMap) {
            out.vx(vertex);
        }
        out.vx(polygon);
        out.bytes(std::span(chunk.body).subspan(valueStart, in.position() - valueStart));
    }
    return out.take();
}

}  // namespace

standin::Mesh lwoMesh(const LwoObject& object) {
    const LwoLayer& layer = object.primary;
    standin::Mesh mesh;
    mesh.points.reserve(layer.points.size());
    for (const std::array<float, 3>& point : layer.points) {
        mesh.points.push_back({point[0], point[1], point[2]});
    }
    mesh.polygons.resize(layer.polygons.size());
    for (std::size_t j = 0; j < layer.polygons.size(); ++j) {
        const LwoPolygon& source = layer.polygons[j];
        standin::Polygon& polygon = mesh.polygons[j];
        polygon.type = source.type;
        polygon.flags = 0;
        polygon.points.assign(layer.polygonPoints.begin() + source.firstPoint,
                              layer.polygonPoints.begin() + source.firstPoint + source.pointCount);
    }
    for (const LwoPolygonTag& tag : layer.tags) {
        standin::Polygon& polygon = mesh.polygons[tag.polygon];
        const bool isString = tagIndexesStrings(tag.type) && tag.value < object.tagStrings.size();
        std::string text = isString ? object.tagStrings[tag.value] : std::to_string(tag.value);
        if (tag.type == kTagSurface) {
            polygon.surface = std::move(text);
            continue;
        }
        const auto same =
            std::find_if(polygon.tags.begin(), polygon.tags.end(),
                         [&](const standin::PolygonTag& t) { return t.type == tag.type; });
        if (same != polygon.tags.end()) {
            same->value = std::move(text);
        } else {
            polygon.tags.push_back(standin::PolygonTag{tag.type, std::move(text)});
        }
    }
    return mesh;
}

namespace {

/// The tag strings the edit added, as the body of a TAGS chunk.
std::vector<std::byte> addedTagStrings(const LwoTagTable& table) {
    ByteWriter tags;
    for (const std::string& text : table.added()) {
        tags.s0(text);
    }
    return tags.take();
}

/// Appends chunk `i` of the primary layer as the edit leaves it. `currentPolygons` is the
/// layer's polygon chunk that the chunks after it describe; a polygon chunk becomes it.
void appendLayerChunk(const LwoObject& object, std::size_t i, const Renumbering& numbers,
                      const std::string& name, std::size_t& currentPolygons,
                      std::vector<LwoChunk>& out) {
    const LwoChunk& chunk = object.chunks[i];
    if (chunk.id == kIdPolygons) {
        currentPolygons = i;
        const auto changed = numbers.changed.find(i);
        if (changed == numbers.changed.end()) {
            out.push_back(chunk);
        } else if (!changed->second) {
            out.push_back(
                LwoChunk{chunk.id, survivingPolygons(object, numbers, i), chunk.fileOffset});
        }
        return;
    }
    if ((chunk.id == kIdPolygonTags || chunk.id == kIdDiscontinuousMap) &&
        numbers.changed.contains(currentPolygons)) {
        const bool emptied = numbers.changed.at(currentPolygons);
        if (!(emptied && chunk.id == kIdPolygonTags)) {
            out.push_back(LwoChunk{
                chunk.id,
                survivingEntries(chunk, numbers.chunkStart.at(currentPolygons), numbers, name),
                chunk.fileOffset});
        }
        return;
    }
    out.push_back(chunk);
}

}  // namespace

LwoObject applyMeshEdit(const LwoObject& object, const standin::Mesh& edited,
                        const std::string& name) {
    const LwoLayer& layer = object.primary;
    if (edited.polygons.size() < layer.polygons.size()) {
        throw std::logic_error("the edited mesh has fewer polygons than the layer it came from");
    }
    LwoTagTable table(object.tagStrings, name);
    const std::vector<NewPolygon> added = collectAdded(object, edited, table, name);
    const Renumbering numbers = renumber(layer, edited);
    if (added.empty() && numbers.changed.empty()) {
        return object;
    }

    std::size_t lastTags = object.chunks.size();
    std::size_t insertAfter = layer.firstChunk;
    for (std::size_t i = 0; i < object.chunks.size(); ++i) {
        if (object.chunks[i].id == kIdTags) {
            lastTags = i;
        }
        if (i >= layer.firstChunk && i < layer.endChunk && isGeometryChunk(object.chunks[i].id)) {
            insertAfter = i;
        }
    }

    refuseChunksThatMayNumberPolygons(object, numbers,
                                      added.empty() ? object.chunks.size() : insertAfter, name);

    LwoObject result;
    result.formType = object.formType;
    result.trailing = object.trailing;
    std::vector<LwoChunk>& out = result.chunks;
    if (!table.added().empty() && lastTags == object.chunks.size()) {
        out.push_back(LwoChunk{kIdTags, addedTagStrings(table), 0});
    }
    std::size_t currentPolygons = object.chunks.size();
    for (std::size_t i = 0; i < object.chunks.size(); ++i) {
        const LwoChunk& chunk = object.chunks[i];
        if (chunk.id == kIdTags && i == lastTags && !table.added().empty()) {
            LwoChunk grown = chunk;
            const std::vector<std::byte> more = addedTagStrings(table);
            grown.body.insert(grown.body.end(), more.begin(), more.end());
            out.push_back(std::move(grown));
        } else if (i >= layer.firstChunk && i < layer.endChunk) {
            appendLayerChunk(object, i, numbers, name, currentPolygons, out);
        } else {
            out.push_back(chunk);
        }
        if (i == insertAfter) {
            appendAddedChunks(added, out);
        }
    }
    return result;
}

}  // namespace tarvel::formats
