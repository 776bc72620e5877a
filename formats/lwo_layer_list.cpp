#include "formats/lwo_layer_list.h"

#include <algorithm>

#include "formats/byte_reader.h"

namespace tarvel::formats {

namespace {

/// LWO2 keeps 0xFFFF, or no field at all, for "no parent".
constexpr std::uint16_t kNoParent = 0xFFFF;

void countPolygons(ByteReader& reader, LwoLayerSummary& layer) {
    const std::string type = chunkName(reader.id4());
    auto entry = std::find_if(layer.polygons.begin(), layer.polygons.end(),
                              [&](const auto& counted) { return counted.first == type; });
    if (entry == layer.polygons.end()) {
        layer.polygons.emplace_back(type, 0);
        entry = layer.polygons.end() - 1;
    }
    while (!reader.atEnd()) {
        const std::uint16_t count = reader.u2() & 0x03FF;
        for (std::uint16_t k = 0; k < count; ++k) {
            reader.vx();
        }
        ++entry->second;
    }
}

}  // namespace

std::vector<LwoLayerSummary> listLwoLayers(const LwoObject& object, const std::string& name) {
    std::vector<LwoLayerSummary> layers;
    for (const LwoChunk& chunk : object.chunks) {
        ByteReader reader(chunk.body, chunk.fileOffset + 8, chunk.id, name);
        if (chunk.id == kIdLayer) {
            LwoLayerSummary& layer = layers.emplace_back();
            layer.number = std::size_t{reader.u2()} + 1;
            reader.u2();      // flags
            reader.skip(12);  // pivot
            layer.name = reader.s0();
            if (reader.remaining() >= 2) {
                const std::uint16_t parent = reader.u2();
                if (parent != kNoParent) {
                    layer.parent = std::size_t{parent} + 1;
                }
            }
            continue;
        }
        if (chunk.id != kIdPoints && chunk.id != kIdPolygons) {
            continue;
        }
        if (layers.empty()) {
            // Points before any LAYR make a layer of their own, numbered 1.
            layers.emplace_back();
        }
        if (chunk.id == kIdPoints) {
            layers.back().points += chunk.body.size() / 12;
        } else {
            countPolygons(reader, layers.back());
        }
    }
    return layers;
}

}  // namespace tarvel::formats
