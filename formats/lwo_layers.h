// The layers of a LightWave object, and choosing the one the tool sees.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/lwo_object.h"

namespace tarvel::formats {

/// One layer of an object: where its chunks are and what the user knows it by.
struct LwoLayerInfo {
    /// Its chunks: [firstChunk, endChunk) of LwoObject::chunks, from its LAYR (or from the
    /// first PNTS, for points before any LAYR) up to the next LAYR or the end.
    std::size_t firstChunk = 0;
    std::size_t endChunk = 0;
    /// The LAYR number; the modeller's layer button shows it plus one. Points before any LAYR
    /// make layer 0, which the modeller loads into its first layer.
    std::uint16_t number = 0;
    std::string name;
    /// What its PNTS and POLS chunks hold, as far as they can be read.
    std::size_t points = 0;
    std::size_t polygons = 0;
};

/// Every layer of `object`, in file order. Throws FormatError naming `fileName`, the chunk and
/// the byte for a LAYR chunk too short for its number, flags, pivot and name.
std::vector<LwoLayerInfo> listLayers(const LwoObject& object, const std::string& fileName);

/// The layer that `choice` names, as an index into `layers`: text of digits alone is the
/// number on the modeller's layer button (LAYR number plus one); any other text, or digits
/// that no layer's button shows, is the layer's name. Throws FormatError naming `fileName`
/// when no layer, or more than one, answers to it; the message lists every layer with its
/// button number, name, points and polygons.
std::size_t chooseLayer(const std::vector<LwoLayerInfo>& layers, const std::string& choice,
                        const std::string& fileName);

/// How messages name the layer: "layer 2", or "layer 2 (Top)" for a named one.
std::string layerLabel(const LwoLayerInfo& layer);

}  // namespace tarvel::formats
