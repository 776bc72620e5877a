#include "formats/lwo_layers.h"

#include <charconv>
#include <span>

#include "formats/byte_reader.h"
#include "formats/format_error.h"
#include "formats/lwo_object.h"

namespace tarvel::formats {

namespace {

/// The polygons of a POLS body, counted as far as the body holds whole ones.
std::size_t countPolygons(std::span<const std::byte> body) {
    std::size_t at = 4;
    std::size_t count = 0;
    while (at + 2 <= body.size()) {
        const unsigned word =
            (std::to_integer<unsigned>(body[at]) << 8) | std::to_integer<unsigned>(body[at + 1]);
        at += 2;
        for (unsigned k = 0; k < (word & 0x03FFu); ++k) {
            if (at >= body.size()) {
                return count;
            }
            at += std::to_integer<unsigned>(body[at]) == kLongIndexMark ? 4 : 2;
        }
        if (at > body.size()) {
            return count;
        }
        ++count;
    }
    return count;
}

std::uint32_t buttonOf(const LwoLayerInfo& layer) {
    return std::uint32_t{layer.number} + 1;
}

std::string describeLayers(const std::vector<LwoLayerInfo>& layers) {
    if (layers.empty()) {
        return "the object has no layers";
    }
    std::string text = "the object's layers are ";
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const LwoLayerInfo& layer = layers[i];
        text += i == 0 ? "" : ", ";
        text += std::to_string(buttonOf(layer));
        text += layer.name.empty() ? " (no name, " : " \"" + layer.name + "\" (";
        text += std::to_string(layer.points) + " points, " + std::to_string(layer.polygons) +
                " polygons)";
    }
    return text;
}

}  // namespace

std::vector<LwoLayerInfo> listLayers(const LwoObject& object, const std::string& fileName) {
    std::vector<LwoLayerInfo> layers;
    const std::vector<LwoChunk>& chunks = object.chunks;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const LwoChunk& chunk = chunks[i];
        if (chunk.id == kIdLayer) {
            if (!layers.empty()) {
                layers.back().endChunk = i;
            }
            LwoLayerInfo& layer = layers.emplace_back();
            layer.firstChunk = i;
            ByteReader reader(chunk.body, chunk.fileOffset + 8, chunk.id, fileName);
            layer.number = reader.u2();
            reader.skip(2 + 12);  // flags and pivot
            layer.name = reader.s0();
        } else if (layers.empty() && chunk.id == kIdPoints) {
            layers.emplace_back().firstChunk = i;  // points before any LAYR
        }
        if (layers.empty()) {
            continue;
        }
        if (chunk.id == kIdPoints) {
            layers.back().points += chunk.body.size() / 12;
        } else if (chunk.id == kIdPolygons) {
            layers.back().polygons += countPolygons(chunk.body);
        }
    }
    if (!layers.empty()) {
        layers.back().endChunk = chunks.size();
    }
    return layers;
}

std::size_t chooseLayer(const std::vector<LwoLayerInfo>& layers, const std::string& choice,
                        const std::string& fileName) {
    std::uint32_t button = 0;
    const char* end = choice.data() + choice.size();
    const auto [stop, error] = std::from_chars(choice.data(), end, button);
    const bool isNumber = !choice.empty() && error == std::errc() && stop == end;

    const auto answering = [&](auto matches) {
        std::vector<std::size_t> found;
        for (std::size_t i = 0; i < layers.size(); ++i) {
            if (matches(layers[i])) {
                found.push_back(i);
            }
        }
        return found;
    };
    std::vector<std::size_t> found;
    bool byNumber = false;
    if (isNumber) {
        found = answering([&](const LwoLayerInfo& layer) { return buttonOf(layer) == button; });
        byNumber = !found.empty();
    }
    if (found.empty()) {
        found = answering([&](const LwoLayerInfo& layer) { return layer.name == choice; });
    }
    if (found.size() == 1) {
        return found.front();
    }
    const std::string asked = isNumber ? "layer " + choice : "layer named \"" + choice + "\"";
    if (found.empty()) {
        throw ChoiceError(fileName + ": no " + asked + "; " + describeLayers(layers));
    }
    throw ChoiceError(fileName + ": more than one " + asked +
                      (byNumber ? "" : "; choose one by number") + "; " + describeLayers(layers));
}

std::string layerLabel(const LwoLayerInfo& layer) {
    std::string label = "layer " + std::to_string(buttonOf(layer));
    return layer.name.empty() ? label : label + " (" + layer.name + ")";
}

}  // namespace tarvel::formats
