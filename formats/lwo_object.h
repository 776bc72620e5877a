// A LightWave object (FORM LWO2 or LWO3) held as its chunks, with the primary layer decoded.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/lwsdk.h"

namespace tarvel::formats {

inline constexpr LWID kIdForm = LWID_('F', 'O', 'R', 'M');
inline constexpr LWID kIdLwo2 = LWID_('L', 'W', 'O', '2');
inline constexpr LWID kIdLwo3 = LWID_('L', 'W', 'O', '3');
inline constexpr LWID kIdLayer = LWID_('L', 'A', 'Y', 'R');
inline constexpr LWID kIdPoints = LWID_('P', 'N', 'T', 'S');
inline constexpr LWID kIdPolygons = LWID_('P', 'O', 'L', 'S');
inline constexpr LWID kIdPolygonTags = LWID_('P', 'T', 'A', 'G');
inline constexpr LWID kIdTags = LWID_('T', 'A', 'G', 'S');
inline constexpr LWID kIdVertexMap = LWID_('V', 'M', 'A', 'P');
inline constexpr LWID kIdDiscontinuousMap = LWID_('V', 'M', 'A', 'D');
inline constexpr LWID kIdBoundingBox = LWID_('B', 'B', 'O', 'X');
inline constexpr LWID kIdMapParameters = LWID_('V', 'M', 'P', 'A');
// The polygon tag kinds of the host's mesh, whichever file it came from (an OBJ file's groups
// are parts, its smoothing groups smoothing groups); the colour is the host's kTagColour.
inline constexpr LWID kTagSurface = LWID_('S', 'U', 'R', 'F');
inline constexpr LWID kTagPart = LWID_('P', 'A', 'R', 'T');
inline constexpr LWID kTagSmoothingGroup = LWID_('S', 'M', 'G', 'P');

/// A VX, the variable-length index of points and polygons: two bytes for an index below
/// kShortIndexLimit, otherwise four bytes whose first is kLongIndexMark and whose lower 24 bits
/// (the mask kMaxIndex) hold the index.
inline constexpr std::uint32_t kShortIndexLimit = 0xFF00;
inline constexpr unsigned kLongIndexMark = 0xFF;
inline constexpr int kLongIndexMarkShift = 24;
/// The largest index the four-byte form of a VX can hold, and the mask that reads it.
inline constexpr std::uint32_t kMaxIndex = 0x00FFFFFF;

/// One chunk of the FORM as stored: its identifier and body, without header or pad byte.
struct LwoChunk {
    LWID id = 0;
    std::vector<std::byte> body;
    /// Where the chunk's header starts in the file it was read from (0 for a chunk made
    /// here). For messages only.
    std::size_t fileOffset = 0;
};

/// A polygon of the primary layer, from a POLS chunk.
struct LwoPolygon {
    /// "FACE", "PTCH", "CURV", "SUBD", "BONE", "MBAL", ...: whatever the POLS chunk says.
    LWID type = 0;
    /// The six high bits of the polygon's count word, shifted down.
    std::uint16_t flags = 0;
    /// Its vertices in LwoLayer::polygonPoints: [firstPoint, firstPoint + pointCount).
    std::uint32_t firstPoint = 0;
    std::uint32_t pointCount = 0;
    /// The POLS chunk that holds it: an index into LwoObject::chunks.
    std::uint32_t chunk = 0;
};

/// A PTAG entry of the primary layer: the polygon's tag of one type.
struct LwoPolygonTag {
    /// Index into LwoLayer::polygons.
    std::uint32_t polygon = 0;
    LWID type = 0;
    /// For SMGP a smoothing group number; for every other type an index into
    /// LwoObject::tagStrings (checked for SURF, PART and COLR, kept as stored otherwise).
    std::uint16_t value = 0;
};

/// The primary layer (the first layer of the file, or the one chosen), decoded. Every index is
/// into the layer's own lists, whichever PNTS or POLS chunk holds the element.
struct LwoLayer {
    /// The chunks of the layer: [firstChunk, endChunk) of LwoObject::chunks, from its LAYR
    /// (or its first PNTS, for a file without LAYR) up to the next LAYR or the end.
    std::size_t firstChunk = 0;
    std::size_t endChunk = 0;
    /// The layer's points from all its PNTS chunks, in order, exactly as stored.
    std::vector<std::array<float, 3>> points;
    /// Where each PNTS chunk's points start in `points`, one entry per PNTS chunk.
    std::vector<std::uint32_t> pointBlockStarts;
    std::vector<LwoPolygon> polygons;
    /// The vertices of all polygons, end to end: indices into `points`.
    std::vector<std::uint32_t> polygonPoints;
    /// In file order; a later entry for the same polygon and type overrides an earlier one.
    std::vector<LwoPolygonTag> tags;
};

/// A FORM LWO2 or LWO3 file. Chunks the reader does not decode (surfaces, clips, envelopes,
/// vertex maps, the other layers, nested FORMs, anything unknown) are kept byte for byte.
struct LwoObject {
    /// kIdLwo2 or kIdLwo3: the FORM type, which the file is written back with.
    LWID formType = kIdLwo2;
    /// Every top-level chunk, in file order.
    std::vector<LwoChunk> chunks;
    /// The strings of all TAGS chunks, in order: what SURF, PART and COLR tags index.
    std::vector<std::string> tagStrings;
    /// False for a file with no layer and no points.
    bool hasPrimaryLayer = false;
    LwoLayer primary;
    /// The primary layer as messages name it: "the first layer", or "layer 2" or
    /// "layer 2 (Top)" when one was chosen.
    std::string primaryName = "the first layer";
    /// Bytes after the FORM, kept so that a file is written back exactly as it was read.
    std::vector<std::byte> trailing;
};

}  // namespace tarvel::formats
