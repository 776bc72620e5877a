#include "formats/lwo_reader.h"

#include <cmath>
#include <limits>

#include "formats/byte_reader.h"
#include "formats/format_error.h"
#include "formats/lwo_layers.h"

namespace tarvel::formats {

namespace {

constexpr LWID kIdLwob = LWID_('L', 'W', 'O', 'B');
constexpr LWID kIdLwlo = LWID_('L', 'W', 'L', 'O');

std::uint32_t bigEndian32(std::span<const std::byte> bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = (value << 8) | std::to_integer<std::uint32_t>(bytes[at + i]);
    }
    return value;
}

bool isChunkId(LWID id) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        const LWID c = (id >> shift) & 0xFF;
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

/// Tags whose values the tool and the selection read as text, so a bad index is refused.
bool tagMustIndexStrings(LWID type) {
    return type == kTagSurface || type == kTagPart || type == kTagColour;
}

/// The FORM type of an object file: LWO2 or LWO3; refuses anything else with its reason.
LWID formTypeOf(std::span<const std::byte> bytes, const std::string& name) {
    if (bytes.empty()) {
        throw FormatError(name + ": empty file");
    }
    if (bytes.size() < 12 || bigEndian32(bytes, 0) != kIdForm) {
        throw FormatError(name + ": not a LightWave object: no FORM header");
    }
    const LWID formType = bigEndian32(bytes, 8);
    if (formType == kIdLwob || formType == kIdLwlo) {
        throw FormatError(name + ": " +
                          (formType == kIdLwob ? "a LightWave 5 object (LWOB)"
                                               : "a LightWave 5 layered object (LWLO)") +
                          ": only LWO2 and LWO3 objects can be read; save it again from a "
                          "modeller of version 6 or later");
    }
    if (formType != kIdLwo2 && formType != kIdLwo3) {
        throw FormatError(name + ": not a LightWave object: FORM of type '" + chunkName(formType) +
                          "'");
    }
    return formType;
}

void splitChunks(std::span<const std::byte> bytes, const std::string& name, LwoObject& object) {
    const LWID formType = formTypeOf(bytes, name);
    const std::size_t formSize = bigEndian32(bytes, 4);
    if (formSize < 4 || formSize > bytes.size() - 8) {
        throw FormatError(name + ": truncated: the FORM header gives " + std::to_string(formSize) +
                          " bytes but " + std::to_string(bytes.size() - 8) + " follow it");
    }
    object.formType = formType;
    // Top-level chunks of LWO2 and LWO3 alike have four-byte sizes. What differs between the
    // two lies inside chunks kept as they are: LWO2's SURF, CLIP and ENVL chunks hold
    // sub-chunks with two-byte sizes, LWO3 holds them as nested FORMs of four-byte chunks.
    const std::size_t end = 8 + formSize;
    std::size_t at = 12;
    while (at < end) {
        if (end - at < 8) {
            throw FormatError(name + ": byte " + std::to_string(at) +
                              ": the FORM ends inside a chunk header");
        }
        const LWID id = bigEndian32(bytes, at);
        if (!isChunkId(id)) {
            throw FormatError(name + ": byte " + std::to_string(at) +
                              ": not a chunk identifier (corrupt or misaligned chunk)");
        }
        const std::size_t size = bigEndian32(bytes, at + 4);
        if (size > end - at - 8) {
            throw FormatError(name + ": " + chunkName(id) + " at byte " + std::to_string(at) +
                              ": size " + std::to_string(size) +
                              " runs past the end of the FORM (" + std::to_string(end - at - 8) +
                              " bytes left)");
        }
        LwoChunk& chunk = object.chunks.emplace_back();
        chunk.id = id;
        chunk.fileOffset = at;
        const auto body = bytes.subspan(at + 8, size);
        chunk.body.assign(body.begin(), body.end());
        at += 8 + size;
        // A chunk of odd size is followed by a pad byte, except that some writers leave it
        // off the last chunk.
        if (size % 2 != 0 && at < end) {
            ++at;
        }
    }
    const auto trailing = bytes.subspan(end);
    object.trailing.assign(trailing.begin(), trailing.end());
}

void readTagStrings(const std::string& name, LwoObject& object) {
    for (const LwoChunk& chunk : object.chunks) {
        if (chunk.id != kIdTags) {
            continue;
        }
        ByteReader reader(chunk.body, chunk.fileOffset + 8, chunk.id, name);
        while (!reader.atEnd()) {
            object.tagStrings.push_back(reader.s0());
        }
    }
}

/// The range of chunks that makes the first layer: from the first LAYR to the next, or, in a
/// file whose points come before any LAYR, from the first PNTS to the first LAYR.
bool findPrimaryLayer(const LwoObject& object, LwoLayer& layer) {
    const std::vector<LwoChunk>& chunks = object.chunks;
    std::size_t first = chunks.size();
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        if (chunks[i].id == kIdLayer || chunks[i].id == kIdPoints) {
            first = i;
            break;
        }
    }
    if (first == chunks.size()) {
        return false;
    }
    std::size_t end = first + 1;
    while (end < chunks.size() && chunks[end].id != kIdLayer) {
        ++end;
    }
    layer.firstChunk = first;
    layer.endChunk = end;
    return true;
}

/// What the layer's chunks have given so far: the latest PNTS and POLS chunks, which the
/// indices of the chunks after them count from.
struct BlockState {
    bool havePoints = false;
    std::uint32_t pointStart = 0;
    std::uint32_t pointCount = 0;
    bool havePolygons = false;
    std::uint32_t polygonStart = 0;
    std::uint32_t polygonCount = 0;
};

std::uint32_t readVertex(ByteReader& reader, const BlockState& state) {
    const std::size_t at = reader.fileOffset();
    const std::uint32_t index = reader.vx();
    if (!state.havePoints) {
        reader.failAt(at, "vertex index " + std::to_string(index) + " before any PNTS chunk");
    }
    if (index >= state.pointCount) {
        reader.failAt(at, "vertex index " + std::to_string(index) + " beyond the " +
                              std::to_string(state.pointCount) + " points");
    }
    return state.pointStart + index;
}

std::uint32_t readPolygonIndex(ByteReader& reader, const BlockState& state) {
    const std::size_t at = reader.fileOffset();
    const std::uint32_t index = reader.vx();
    if (!state.havePolygons) {
        reader.failAt(at, "polygon index " + std::to_string(index) + " before any POLS chunk");
    }
    if (index >= state.polygonCount) {
        reader.failAt(at, "polygon index " + std::to_string(index) + " beyond the " +
                              std::to_string(state.polygonCount) +
                              " polygons of the POLS chunk before it");
    }
    return state.polygonStart + index;
}

void readPoints(ByteReader& reader, std::size_t size, LwoLayer& layer, BlockState& state) {
    if (size % 12 != 0) {
        reader.fail("size " + std::to_string(size) +
                    " is not a whole number of points (12 bytes each)");
    }
    state.havePoints = true;
    state.pointStart = static_cast<std::uint32_t>(layer.points.size());
    state.pointCount = static_cast<std::uint32_t>(size / 12);
    layer.pointBlockStarts.push_back(state.pointStart);
    layer.points.reserve(layer.points.size() + state.pointCount);
    while (!reader.atEnd()) {
        const std::size_t at = reader.fileOffset();
        std::array<float, 3> point;
        for (float& coordinate : point) {
            coordinate = reader.f4();
            if (!std::isfinite(coordinate)) {
                reader.failAt(at, "point " +
                                      std::to_string(layer.points.size() - state.pointStart) +
                                      " has a coordinate that is " +
                                      (std::isnan(coordinate) ? "NaN" : "infinite"));
            }
        }
        layer.points.push_back(point);
    }
}

void readPolygons(ByteReader& reader, std::uint32_t chunkIndex, LwoLayer& layer,
                  BlockState& state) {
    const LWID type = reader.id4();
    state.havePolygons = true;
    state.polygonStart = static_cast<std::uint32_t>(layer.polygons.size());
    while (!reader.atEnd()) {
        const std::uint16_t word = reader.u2();
        LwoPolygon polygon;
        polygon.type = type;
        polygon.flags = static_cast<std::uint16_t>(word >> 10);
        polygon.pointCount = word & 0x03FFu;
        polygon.firstPoint = static_cast<std::uint32_t>(layer.polygonPoints.size());
        polygon.chunk = chunkIndex;
        for (std::uint32_t k = 0; k < polygon.pointCount; ++k) {
            layer.polygonPoints.push_back(readVertex(reader, state));
        }
        layer.polygons.push_back(polygon);
    }
    state.polygonCount = static_cast<std::uint32_t>(layer.polygons.size()) - state.polygonStart;
}

void readPolygonTags(ByteReader& reader, const LwoObject& object, LwoLayer& layer,
                     const BlockState& state) {
    const LWID type = reader.id4();
    while (!reader.atEnd()) {
        LwoPolygonTag tag;
        tag.type = type;
        tag.polygon = readPolygonIndex(reader, state);
        const std::size_t at = reader.fileOffset();
        tag.value = reader.u2();
        if (tagMustIndexStrings(type) && tag.value >= object.tagStrings.size()) {
            reader.failAt(at, chunkName(type) + " tag " + std::to_string(tag.value) +
                                  " beyond the " + std::to_string(object.tagStrings.size()) +
                                  " TAGS strings");
        }
        layer.tags.push_back(tag);
    }
}

/// VMAP and VMAD chunks are kept as stored; their indices are checked so that a VMAD can be
/// renumbered when polygons go.
void checkVertexMap(ByteReader& reader, bool discontinuous, const BlockState& state) {
    reader.id4();
    const std::size_t dimension = reader.u2();
    reader.s0();
    while (!reader.atEnd()) {
        readVertex(reader, state);
        if (discontinuous) {
            readPolygonIndex(reader, state);
        }
        reader.skip(dimension * 4);
    }
}

void readPrimaryLayer(const std::string& name, LwoObject& object) {
    LwoLayer& layer = object.primary;
    BlockState state;
    for (std::size_t i = layer.firstChunk; i < layer.endChunk; ++i) {
        const LwoChunk& chunk = object.chunks[i];
        ByteReader reader(chunk.body, chunk.fileOffset + 8, chunk.id, name);
        switch (chunk.id) {
            case kIdPoints:
                readPoints(reader, chunk.body.size(), layer, state);
                break;
            case kIdPolygons:
                readPolygons(reader, static_cast<std::uint32_t>(i), layer, state);
                break;
            case kIdPolygonTags:
                readPolygonTags(reader, object, layer, state);
                break;
            case kIdVertexMap:
                checkVertexMap(reader, false, state);
                break;
            case kIdDiscontinuousMap:
                checkVertexMap(reader, true, state);
                break;
            default:
                break;
        }
    }
}

}  // namespace

bool tagIndexesStrings(LWID type) {
    return type != kTagSmoothingGroup;
}

LwoObject readLwo(std::span<const std::byte> bytes, const std::string& name,
                  const std::optional<std::string>& layer) {
    LwoObject object;
    splitChunks(bytes, name, object);
    readTagStrings(name, object);
    if (layer) {
        const std::vector<LwoLayerInfo> layers = listLayers(object, name);
        const LwoLayerInfo& chosen = layers[chooseLayer(layers, *layer, name)];
        object.primary.firstChunk = chosen.firstChunk;
        object.primary.endChunk = chosen.endChunk;
        object.primaryName = layerLabel(chosen);
        object.hasPrimaryLayer = true;
    } else {
        object.hasPrimaryLayer = findPrimaryLayer(object, object.primary);
    }
    if (object.hasPrimaryLayer) {
        readPrimaryLayer(name, object);
    }
    return object;
}

}  // namespace tarvel::formats
