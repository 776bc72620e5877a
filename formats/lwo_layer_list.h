// The layers of a LightWave object as a listing: what each holds, read from its chunks.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "formats/lwo_object.h"

namespace tarvel::formats {

struct LwoLayerSummary {
    /// The layer's number as LightWave shows it: the LAYR number plus one (1 for a file
    /// without LAYR chunks).
    std::size_t number = 1;
    std::string name;
    /// The parent layer's number as shown, when the layer has one.
    std::optional<std::size_t> parent;
    std::size_t points = 0;
    /// Polygons by type ("FACE", "PTCH", ...), in the order the types first appear.
    std::vector<std::pair<std::string, std::size_t>> polygons;
};

/// Every layer of `object`, in file order. Reads the LAYR, PNTS and POLS chunks of each
/// layer; `name` names the file in messages. Throws FormatError for a chunk that ends inside
/// a value.
std::vector<LwoLayerSummary> listLwoLayers(const LwoObject& object, const std::string& name);

}  // namespace tarvel::formats
