#include "testing/lwo_from_mesh.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "formats/byte_writer.h"
#include "formats/format_error.h"
#include "formats/lwo_tag_table.h"

namespace tarvel::formats {

LwoObject lwoFromMesh(const standin::Mesh& mesh, const std::string& name, LWID formType) {
    if (mesh.points.size() > kMaxIndex + std::size_t{1}) {
        throw FormatError(name + ": cannot write: more points than a layer can index");
    }
    LwoTagTable table({}, name);
    // Surfaces first, so that the table reads like a modeller's.
    for (const standin::Polygon& polygon : mesh.polygons) {
        table.indexOf(polygon.surface);
    }

    LwoObject object;
    object.formType = formType;
    ByteWriter layer;
    layer.u2(0);
    layer.u2(0);
    layer.f4(0.0F);
    layer.f4(0.0F);
    layer.f4(0.0F);
    layer.s0("");
    object.chunks.push_back(LwoChunk{kIdLayer, layer.take(), 0});

    ByteWriter points;
    std::array<float, 3> low = {0.0F, 0.0F, 0.0F};
    std::array<float, 3> high = {0.0F, 0.0F, 0.0F};
    for (std::size_t i = 0; i < mesh.points.size(); ++i) {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const auto value = static_cast<float>(mesh.points[i][axis]);
            points.f4(value);
            low[axis] = i == 0 ? value : std::min(low[axis], value);
            high[axis] = i == 0 ? value : std::max(high[axis], value);
        }
    }
    object.chunks.push_back(LwoChunk{kIdPoints, points.take(), 0});
    ByteWriter box;
    for (const float value : low) {
        box.f4(value);
    }
    for (const float value : high) {
        box.f4(value);
    }
    object.chunks.push_back(LwoChunk{kIdBoundingBox, box.take(), 0});

    std::size_t runStart = 0;
    while (runStart < mesh.polygons.size()) {
        std::size_t runEnd = runStart;
        while (runEnd < mesh.polygons.size() &&
               mesh.polygons[runEnd].type == mesh.polygons[runStart].type) {
            ++runEnd;
        }
        ByteWriter polygons;
        polygons.id4(mesh.polygons[runStart].type);
        std::vector<LWID> tagTypes = {kTagSurface};
        for (std::size_t j = runStart; j < runEnd; ++j) {
            const standin::Polygon& polygon = mesh.polygons[j];
            if (polygon.points.size() > 0x03FF) {
                throw FormatError(name + ": cannot write: polygon " + std::to_string(j) +
                                  " has more than 1023 points");
            }
            polygons.u2(static_cast<std::uint16_t>(polygon.points.size()));
            for (const std::int32_t point : polygon.points) {
                polygons.vx(static_cast<std::uint32_t>(point));
            }
            for (const standin::PolygonTag& tag : polygon.tags) {
                if (std::find(tagTypes.begin(), tagTypes.end(), tag.type) == tagTypes.end()) {
                    tagTypes.push_back(tag.type);
                }
            }
        }
        object.chunks.push_back(LwoChunk{kIdPolygons, polygons.take(), 0});
        for (const LWID type : tagTypes) {
            ByteWriter tags;
            tags.id4(type);
            for (std::size_t j = runStart; j < runEnd; ++j) {
                const standin::Polygon& polygon = mesh.polygons[j];
                const std::string* text =
                    type == kTagSurface ? &polygon.surface : standin::findTag(polygon, type);
                if (text != nullptr) {
                    tags.vx(static_cast<std::uint32_t>(j - runStart));
                    tags.u2(table.tagValue(type, *text));
                }
            }
            object.chunks.push_back(LwoChunk{kIdPolygonTags, tags.take(), 0});
        }
        runStart = runEnd;
    }

    ByteWriter strings;
    for (const std::string& text : table.strings()) {
        strings.s0(text);
    }
    object.chunks.insert(object.chunks.begin(), LwoChunk{kIdTags, strings.take(), 0});
    object.tagStrings = table.strings();
    return object;
}

}  // namespace tarvel::formats
