#include "cli/info_command.h"

#include <algorithm>

#include "cli/exit_codes.h"
#include "cli/mesh_input.h"
#include "cli/polygon_names.h"
#include "formats/byte_reader.h"
#include "formats/lwo_layer_list.h"
#include "formats/lwo_layers.h"
#include "formats/obj_edit.h"
#include "standin/json_writer.h"

namespace tarvel::cli {

namespace {

/// The layers of the file; an OBJ file is one layer without a name.
std::vector<formats::LwoLayerSummary> layersOf(const formats::MeshFile& file) {
    if (const formats::LwoObject* object = file.lwoObject()) {
        return formats::listLwoLayers(*object, file.name());
    }
    formats::LwoLayerSummary layer;
    layer.points = file.mesh().points.size();
    const auto& polygons = file.mesh().polygons;
    const auto lines = static_cast<std::size_t>(std::count_if(
        polygons.begin(), polygons.end(),
        [](const standin::Polygon& polygon) { return polygon.type == formats::kTypeObjLine; }));
    if (polygons.size() > lines) {
        layer.polygons.emplace_back("FACE", polygons.size() - lines);
    }
    if (lines > 0) {
        layer.polygons.emplace_back("LINE", lines);
    }
    return {layer};
}

std::string typeCounts(const formats::LwoLayerSummary& layer) {
    std::size_t total = 0;
    std::string types;
    for (const auto& [type, count] : layer.polygons) {
        total += count;
        types += (types.empty() ? "" : ", ") + type + ' ' + std::to_string(count);
    }
    return std::to_string(total) + (total == 1 ? " polygon" : " polygons") +
           (types.empty() ? "" : " (" + types + ")");
}

void writeNames(standin::JsonWriter& json, const char* key, const std::vector<NameCount>& names) {
    json.key(key).beginArray();
    for (const NameCount& name : names) {
        json.beginObject();
        json.key("name").string(name.name);
        json.key("polygons").integer(name.polygons);
        json.end();
    }
    json.end();
}

void writeLayerJson(standin::JsonWriter& json, const formats::LwoLayerSummary& layer, bool runsOn) {
    json.beginObject();
    json.key("number").integer(layer.number);
    json.key("name").string(layer.name);
    json.key("parent");
    if (layer.parent) {
        json.integer(*layer.parent);
    } else {
        json.null();
    }
    json.key("points").integer(layer.points);
    json.key("polygons").beginObject();
    for (const auto& [type, count] : layer.polygons) {
        json.key(type).integer(count);
    }
    json.end();
    json.key("runs_on").boolean(runsOn);
    json.end();
}

/// What a file holds, as the layers, names and run layer that runInfo found.
struct FileContents {
    const formats::MeshFile& file;
    std::vector<formats::LwoLayerSummary> layers;
    PolygonNames names;
    std::size_t runLayer = 0;
};

void writeInfoJson(const FileContents& contents, std::ostream& out) {
    std::string text;
    standin::JsonWriter json(text);
    json.beginObject();
    json.key("input").string(contents.file.name());
    json.key("format").string(formatKey(contents.file.format()));
    if (const formats::LwoObject* object = contents.file.lwoObject()) {
        json.key("form").string(formats::chunkName(object->formType));
    }
    json.key("layers").beginArray();
    for (std::size_t k = 0; k < contents.layers.size(); ++k) {
        writeLayerJson(json, contents.layers[k], k == contents.runLayer);
    }
    json.end();
    writeNames(json, "surfaces", contents.names.surfaces);
    writeNames(json, "parts", contents.names.parts);
    writeNames(json, "smoothing_groups", contents.names.smoothingGroups);
    json.end();
    out << text << '\n';
}

void writeInfoText(const FileContents& contents, std::ostream& out) {
    const formats::MeshFile& file = contents.file;
    const std::vector<formats::LwoLayerSummary>& layers = contents.layers;
    out << file.name() << ": " << formats::formatName(file.format());
    if (const formats::LwoObject* object = file.lwoObject()) {
        out << ", " << formats::chunkName(object->formType);
    }
    out << '\n' << (layers.size() == 1 ? "layer:\n" : "layers:\n");
    for (std::size_t k = 0; k < layers.size(); ++k) {
        const formats::LwoLayerSummary& layer = layers[k];
        out << (k == contents.runLayer ? "* " : "  ") << layer.number;
        if (!layer.name.empty()) {
            out << " \"" << layer.name << '"';
        }
        if (layer.parent) {
            out << " (parent " << *layer.parent << ')';
        }
        out << ": " << layer.points << (layer.points == 1 ? " point, " : " points, ")
            << typeCounts(layer) << '\n';
    }
    const PolygonNames& names = contents.names;
    const std::size_t polygons = file.mesh().polygons.size();
    const std::size_t all =
        names.surfaces.size() + names.parts.size() + names.smoothingGroups.size();
    out << "in layer " << (contents.runLayer < layers.size() ? layers[contents.runLayer].number : 1)
        << " (*), which a run takes: polygons "
        << (polygons == 0   ? std::string("none")
            : polygons == 1 ? std::string("0")
                            : "0-" + std::to_string(polygons - 1))
        << '\n'
        << "  surfaces: " << listNames(names.surfaces, all) << '\n'
        << "  parts: " << listNames(names.parts, all) << '\n'
        << "  smoothing groups: " << listNames(names.smoothingGroups, all) << '\n';
}

}  // namespace

int runInfo(const InfoOptions& options, Console& console) {
    const formats::MeshFile file =
        readMeshInput(options.input, options.format, console.in, options.layer);
    FileContents contents{file, layersOf(file),
                          polygonNames(file.mesh(), partNamesIn(file.format()))};
    // The layer a run takes: the first, or the one --layer chose (both lists are in file
    // order, one entry per layer).
    if (const formats::LwoObject* object = file.lwoObject(); object && options.layer) {
        contents.runLayer = formats::chooseLayer(formats::listLayers(*object, file.name()),
                                                 *options.layer, file.name());
    }
    if (options.json) {
        writeInfoJson(contents, console.out);
    } else {
        writeInfoText(contents, console.out);
    }
    return kExitOk;
}

}  // namespace tarvel::cli
