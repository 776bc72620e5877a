// Reading a LightWave object file (FORM LWO2 or LWO3).
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "formats/lwo_object.h"

namespace tarvel::formats {

/// Reads the LWO2 or LWO3 file held in `bytes`; `name` names it in messages. Splits the FORM
/// into its chunks, reads the TAGS strings and decodes the primary layer: the first in the
/// file, or the one `layer` names (see chooseLayer); its points, its polygons of every type,
/// and their PTAG tags; checks the VMAP and VMAD chunks of that layer. Memory is bounded by a
/// small multiple of `bytes.size()`, and nothing recurses.
///
/// Throws FormatError, naming the file and the byte offset, for an empty or truncated file,
/// a file that is not FORM LWO2 or LWO3 (LWOB and LWLO are named as such), a chunk that runs
/// past the FORM, an odd point list, a coordinate that is NaN or infinite, and an index
/// beyond its list: a vertex beyond its PNTS chunk, a polygon beyond its POLS chunk, a SURF,
/// PART or COLR tag beyond the TAGS strings; and for a layer choice that no layer answers.
LwoObject readLwo(std::span<const std::byte> bytes, const std::string& name,
                  const std::optional<std::string>& layer = std::nullopt);

/// Whether the tag type's PTAG values index the TAGS strings (every type but SMGP).
bool tagIndexesStrings(LWID type);

}  // namespace tarvel::formats
