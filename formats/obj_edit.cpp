#include "formats/obj_edit.h"

#include <stdexcept>

#include "formats/lwo_object.h"
#include "sdk/lwsdk.h"

namespace tarvel::formats {

namespace {

/// The group an added polygon is written under: its colour, else its part.
std::string groupOf(const standin::Polygon& polygon) {
    if (const std::string* colour = standin::findTag(polygon, kTagColour)) {
        return *colour;
    }
    if (const std::string* part = standin::findTag(polygon, kTagPart)) {
        return *part;
    }
    return "default";
}

/// Where the last line of `text`, which ends in a newline, ends in a backslash (before any
/// carriage returns), or npos when it does not.
std::size_t finalBackslash(const std::string& text) {
    std::size_t end = text.size() - 1;
    while (end > 0 && text[end - 1] == '\r') {
        --end;
    }
    return end > 0 && text[end - 1] == '\\' ? end - 1 : std::string::npos;
}

/// The line ending of `text`: "\r\n" when the last line ended by a newline ends so, "\n"
/// otherwise. The added lines follow that line.
std::string lineEnding(const std::string& text) {
    const std::size_t end = text.rfind('\n');
    return end != std::string::npos && end > 0 && text[end - 1] == '\r' ? "\r\n" : "\n";
}

}  // namespace

standin::Mesh objMesh(const ObjModel& model) {
    standin::Mesh mesh;
    mesh.points.reserve(model.vertices.size());
    for (const std::array<double, 3>& vertex : model.vertices) {
        mesh.points.push_back(vertex);
    }
    mesh.polygons.resize(model.elements.size());
    for (std::size_t j = 0; j < model.elements.size(); ++j) {
        const ObjElement& element = model.elements[j];
        standin::Polygon& polygon = mesh.polygons[j];
        // A line (`l`) is a polyline: kept and written back, never taken for a face.
        polygon.type = element.kind == ObjElement::Kind::face ? kTypeFace : kTypeObjLine;
        polygon.flags = 0;
        polygon.points.assign(
            model.elementVertices.begin() + element.firstVertex,
            model.elementVertices.begin() + element.firstVertex + element.vertexCount);
        if (element.material != kNoName) {
            polygon.surface = model.names[element.material];
        }
        if (element.group != kNoName) {
            polygon.tags.push_back(standin::PolygonTag{kTagPart, model.names[element.group]});
        }
        if (element.smoothing != kNoName) {
            polygon.tags.push_back(
                standin::PolygonTag{kTagSmoothingGroup, model.names[element.smoothing]});
        }
    }
    return mesh;
}

std::string applyMeshEdit(const ObjModel& model, const standin::Mesh& edited) {
    if (edited.polygons.size() < model.elements.size()) {
        throw std::logic_error("the edited mesh has fewer polygons than the file has elements");
    }
    std::string out;
    out.reserve(model.text.size());
    std::size_t copied = 0;
    for (std::size_t j = 0; j < model.elements.size(); ++j) {
        if (!edited.polygons[j].removed) {
            continue;
        }
        const ObjElement& element = model.elements[j];
        out.append(model.text, copied, element.textStart - copied);
        copied = element.textEnd;
    }
    out.append(std::string_view(model.text).substr(copied));

    // Added lines end as the file's own lines do.
    const std::string newline = lineEnding(model.text);
    bool first = true;
    std::string group;
    std::string surface;
    for (std::size_t j = model.elements.size(); j < edited.polygons.size(); ++j) {
        const standin::Polygon& polygon = edited.polygons[j];
        if (polygon.removed) {
            continue;
        }
        if (first && !out.empty()) {
            if (out.back() == '\r' && newline == "\r\n") {
                out.push_back('\n');  // a CR LF cut short
            } else if (out.back() != '\n') {
                out += newline;
            }
            // A backslash at the end of the file's last line is part of its statement only
            // while no line follows; a space after it keeps it so, rather than continuing the
            // statement into the added lines.
            if (const std::size_t at = finalBackslash(out); at != std::string::npos) {
                out.insert(at + 1, 1, ' ');
            }
        }
        const std::string polygonGroup = groupOf(polygon);
        if (first || polygonGroup != group) {
            out += "g " + polygonGroup + newline;
            group = polygonGroup;
        }
        if (first || polygon.surface != surface) {
            out += "usemtl " + polygon.surface + newline;
            surface = polygon.surface;
        }
        first = false;
        out += polygon.points.size() < 3 ? "l" : "f";
        for (const std::int32_t point : polygon.points) {
            out += ' ' + std::to_string(point + 1);
        }
        out += newline;
    }
    return out;
}

}  // namespace tarvel::formats
