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

namespace tarvelhost {

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

void appendNames(std::string& out, const char* key, const std::vector<NameCount>& names) {
    out += ", ";
    standin::appendJsonString(out, key);
    out += ": [";
    for (std::size_t k = 0; k < names.size(); ++k) {
        out += k > 0 ? ", {" : "{";
        standin::appendJsonString(out, "name");
        out += ": ";
        standin::appendJsonString(out, names[k].name);
        out += ", \"polygons\": ";
        standin::appendJsonInteger(out, static_cast<std::uint64_t>(names[k].polygons));
        out += "}";
    }
    out += "]";
}

}  // namespace

int runInfo(const InfoOptions& options, Console& console) {
    const formats::MeshFile file =
        readMeshInput(options.input, options.format, console.in, options.layer);
    const std::vector<formats::LwoLayerSummary> layers = layersOf(file);
    const PolygonNames names = polygonNames(file.mesh(), partNamesIn(file.format()));
    // The layer a run takes: the first, or the one --layer chose (both lists are in file
    // order, one entry per layer).
    std::size_t runLayer = 0;
    if (const formats::LwoObject* object = file.lwoObject(); object && options.layer) {
        runLayer = formats::chooseLayer(formats::listLayers(*object, file.name()), *options.layer,
                                        file.name());
    }

    if (options.json) {
        std::string out = "{\"input\": ";
        standin::appendJsonString(out, file.name());
        out += ", \"format\": ";
        standin::appendJsonString(out, formatKey(file.format()));
        if (const formats::LwoObject* object = file.lwoObject()) {
            out += ", \"form\": ";
            standin::appendJsonString(out, formats::chunkName(object->formType));
        }
        out += ", \"layers\": [";
        for (std::size_t k = 0; k < layers.size(); ++k) {
            const formats::LwoLayerSummary& layer = layers[k];
            out += k > 0 ? ", {" : "{";
            out += "\"number\": ";
            standin::appendJsonInteger(out, static_cast<std::uint64_t>(layer.number));
            out += ", \"name\": ";
            standin::appendJsonString(out, layer.name);
            out += ", \"parent\": ";
            if (layer.parent) {
                standin::appendJsonInteger(out, static_cast<std::uint64_t>(*layer.parent));
            } else {
                out += "null";
            }
            out += ", \"points\": ";
            standin::appendJsonInteger(out, static_cast<std::uint64_t>(layer.points));
            out += ", \"polygons\": {";
            for (std::size_t t = 0; t < layer.polygons.size(); ++t) {
                out += t > 0 ? ", " : "";
                standin::appendJsonString(out, layer.polygons[t].first);
                out += ": ";
                standin::appendJsonInteger(out,
                                           static_cast<std::uint64_t>(layer.polygons[t].second));
            }
            out += "}, \"runs_on\": ";
            out += k == runLayer ? "true" : "false";
            out += "}";
        }
        out += "]";
        appendNames(out, "surfaces", names.surfaces);
        appendNames(out, "parts", names.parts);
        appendNames(out, "smoothing_groups", names.smoothingGroups);
        console.out << out << "}\n";
        return kExitOk;
    }

    console.out << file.name() << ": " << formats::formatName(file.format());
    if (const formats::LwoObject* object = file.lwoObject()) {
        console.out << ", " << formats::chunkName(object->formType);
    }
    console.out << '\n' << (layers.size() == 1 ? "layer:\n" : "layers:\n");
    for (std::size_t k = 0; k < layers.size(); ++k) {
        const formats::LwoLayerSummary& layer = layers[k];
        console.out << (k == runLayer ? "* " : "  ") << layer.number;
        if (!layer.name.empty()) {
            console.out << " \"" << layer.name << '"';
        }
        if (layer.parent) {
            console.out << " (parent " << *layer.parent << ')';
        }
        console.out << ": " << layer.points << (layer.points == 1 ? " point, " : " points, ")
                    << typeCounts(layer) << '\n';
    }
    const std::size_t polygons = file.mesh().polygons.size();
    const std::size_t all =
        names.surfaces.size() + names.parts.size() + names.smoothingGroups.size();
    console.out << "in layer " << (runLayer < layers.size() ? layers[runLayer].number : 1)
                << " (*), which a run takes: polygons "
                << (polygons == 0   ? std::string("none")
                    : polygons == 1 ? std::string("0")
                                    : "0-" + std::to_string(polygons - 1))
                << '\n'
                << "  surfaces: " << listNames(names.surfaces, all) << '\n'
                << "  parts: " << listNames(names.parts, all) << '\n'
                << "  smoothing groups: " << listNames(names.smoothingGroups, all) << '\n';
    return kExitOk;
}

}  // namespace tarvelhost
