#include "testing/scenes/scene_writer.h"

#include "standin/json_writer.h"

namespace tarvel::standin {

namespace {

void appendPolygon(std::string& out, const Polygon& polygon) {
    out += "{\"points\": [";
    for (std::size_t i = 0; i < polygon.points.size(); ++i) {
        out += i == 0 ? "" : ", ";
        appendJsonInteger(out, static_cast<std::int64_t>(polygon.points[i]));
    }
    out += "], \"type\": ";
    appendJsonString(out, fourCharacterText(polygon.type));
    out += ", \"flags\": ";
    appendJsonInteger(out, static_cast<std::int64_t>(polygon.flags));
    if (polygon.normal) {
        out += ", \"normal\": ";
        appendJsonTriple(out, *polygon.normal);
    }
    out += ", \"surface\": ";
    appendJsonString(out, polygon.surface);
    out += ", \"tags\": {";
    for (std::size_t i = 0; i < polygon.tags.size(); ++i) {
        out += i == 0 ? "" : ", ";
        appendJsonString(out, fourCharacterText(polygon.tags[i].type));
        out += ": ";
        appendJsonString(out, polygon.tags[i].value);
    }
    out += "}}";
}

const char* boolText(bool value) {
    return value ? "true" : "false";
}

}  // namespace

std::string sceneText(const Scene& scene) {
    std::string out = "{\n  \"points\": [";
    const Mesh& mesh = scene.mesh;
    for (std::size_t i = 0; i < mesh.points.size(); ++i) {
        out += i == 0 ? "\n    " : ",\n    ";
        appendJsonTriple(out, mesh.points[i]);
    }
    out += mesh.points.empty() ? "],\n" : "\n  ],\n";
    out += "  \"polygons\": [";
    for (std::size_t j = 0; j < mesh.polygons.size(); ++j) {
        out += j == 0 ? "\n    " : ",\n    ";
        appendPolygon(out, mesh.polygons[j]);
    }
    out += mesh.polygons.empty() ? "],\n" : "\n  ],\n";
    out += "  \"host\": {\"edit\": ";
    out += boolText(scene.host.edit);
    out += ", \"messages\": ";
    out += boolText(scene.host.messages);
    if (scene.host.polyCount) {
        out += ", \"polyCount\": ";
        appendJsonInteger(out, static_cast<std::int64_t>(*scene.host.polyCount));
    }
    out += ", \"addFace\": ";
    out += boolText(scene.host.addFace);
    out += "}\n}\n";
    return out;
}

}  // namespace tarvel::standin
