// LWO3 objects as the modeller saves them, and edits of a chosen layer in either format.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "formats/byte_reader.h"
#include "formats/file_bytes.h"
#include "formats/format_error.h"
#include "formats/lwo_edit.h"
#include "formats/lwo_layers.h"
#include "formats/lwo_reader.h"
#include "formats/lwo_tag_table.h"
#include "formats/lwo_writer.h"
#include "formats/mesh_file.h"
#include "tests/lwo_bytes.h"
#include "tests/tagged_link.h"

namespace tarvel::formats {
namespace {

using namespace tarvel::lwobytes;
using testing::taggedLink;

const std::filesystem::path kSamples = std::filesystem::path(TARVEL_SOURCE_DIR) / "tests/data/lwo3";
const char* const kSampleNames[] = {"box0.lwo", "box1.lwo", "box3-uv-layers.lwo"};

/// What the file holds of a polygon: type, points, surface and tags.
std::string text(const standin::Polygon& polygon) {
    std::ostringstream out;
    out << chunkName(polygon.type) << ':';
    for (const std::int32_t point : polygon.points) {
        out << ' ' << point;
    }
    out << " / " << polygon.surface;
    for (const standin::PolygonTag& tag : polygon.tags) {
        out << " / " << chunkName(tag.type) << '=' << tag.value;
    }
    return out.str();
}

std::vector<std::string> texts(const std::vector<standin::Polygon>& polygons) {
    std::vector<std::string> out;
    for (const standin::Polygon& polygon : polygons) {
        out.push_back(text(polygon));
    }
    return out;
}

std::string refusal(const std::function<void()>& action) {
    try {
        action();
    } catch (const FormatError& error) {
        return error.what();
    }
    return "accepted";
}

bool isGeometry(LWID id) {
    return id == kIdLayer || id == kIdPoints || id == kIdPolygons || id == kIdPolygonTags ||
           id == kIdVertexMap || id == kIdDiscontinuousMap || id == kIdMapParameters ||
           id == kIdBoundingBox;
}

TEST(Lwo3Test, theModellersObjectsComeBackByteForByteWhicheverLayerIsSeen) {
    for (const char* name : kSampleNames) {
        SCOPED_TRACE(name);
        const Bytes bytes = readFileBytes(kSamples / name);
        const LwoObject object = readLwo(bytes, name);
        EXPECT_EQ(object.formType, kIdLwo3);
        EXPECT_EQ(writeLwo(object, name), bytes);
        std::vector<std::optional<std::string>> choices = {std::nullopt};
        for (const LwoLayerInfo& layer : listLayers(object, name)) {
            choices.push_back(std::to_string(layer.number + 1));
        }
        for (const auto& choice : choices) {
            const MeshFile file(bytes, MeshFormat::lwo, name, choice);
            EXPECT_EQ(file.editedBytes(file.mesh()), bytes);
        }
    }
    const LwoObject layered = readLwo(readFileBytes(kSamples / "box3-uv-layers.lwo"), "b");
    const std::vector<LwoLayerInfo> layers = listLayers(layered, "b");
    ASSERT_EQ(layers.size(), 3u);
    EXPECT_EQ(layers[2].number, 9u);
    EXPECT_EQ(layers[1].points, 798u);
    EXPECT_EQ(layers[1].polygons, 864u);
    EXPECT_EQ(layers[2].polygons, 576u);
    const standin::Mesh tenth =
        MeshFile(readFileBytes(kSamples / "box3-uv-layers.lwo"), MeshFormat::lwo, "b", "10").mesh();
    EXPECT_EQ(tenth.points.size(), 554u);
    EXPECT_EQ(tenth.polygons.size(), 576u);
    EXPECT_EQ(*standin::findTag(tenth.polygons[0], kTagColour), "DkBlu");
}

/// Removes every other polygon of the chosen layer and adds three links; the written object
/// must be the original with that layer's polygon chunks rewritten, the links' chunks added
/// after its geometry and their strings appended to TAGS, and nothing else moved or changed.
void expectEditOfOneLayer(const std::string& name, const Bytes& bytes,
                          const std::optional<std::string>& choice) {
    const LwoObject object = readLwo(bytes, name, choice);
    standin::Mesh edited = lwoMesh(object);
    const std::size_t before = edited.polygons.size();
    for (std::size_t j = 0; j < before; j += 2) {
        edited.polygons[j].removed = true;
    }
    edited.polygons.push_back(taggedLink(0, 1, "Red"));
    edited.polygons.push_back(taggedLink(1, 2, "DkRed"));
    edited.polygons.push_back(taggedLink(2, 3, "Blue"));
    const Bytes written = writeLwo(applyMeshEdit(object, edited, name), name);
    const LwoObject result = readLwo(written, name, choice);
    EXPECT_EQ(result.formType, object.formType);

    // The chunks, in order: the layer's last geometry chunk is followed by the links' POLS
    // and PTAG chunks; every chunk but the layer's POLS and PTAG and the TAGS is the same.
    const LwoLayer& layer = object.primary;
    std::size_t insertAfter = layer.firstChunk;
    for (std::size_t i = layer.firstChunk; i < layer.endChunk; ++i) {
        insertAfter = isGeometry(object.chunks[i].id) ? i : insertAfter;
    }
    ASSERT_EQ(result.chunks.size(), object.chunks.size() + 3);
    std::size_t at = 0;
    for (std::size_t i = 0; i < object.chunks.size(); ++i, ++at) {
        const LwoChunk& original = object.chunks[i];
        const LwoChunk& now = result.chunks[at];
        ASSERT_EQ(now.id, original.id) << "chunk " << i;
        const bool rewritten = i >= layer.firstChunk && i < layer.endChunk &&
                               (original.id == kIdPolygons || original.id == kIdPolygonTags);
        if (original.id == kIdTags) {
            EXPECT_EQ(now.body, original.body + s0("test") + s0("Red") + s0("DkRed") + s0("Blue"));
        } else if (!rewritten) {
            EXPECT_EQ(now.body, original.body) << "chunk " << i;
        }
        if (i == insertAfter) {
            EXPECT_EQ(result.chunks[at + 1].id, kIdPolygons);
            EXPECT_EQ(result.chunks[at + 2].id, kIdPolygonTags);
            EXPECT_EQ(result.chunks[at + 3].id, kIdPolygonTags);
            at += 3;
        }
    }
    EXPECT_EQ(result.trailing, object.trailing);

    const standin::Mesh mesh = lwoMesh(result);
    EXPECT_EQ(mesh.points, edited.points);
    ASSERT_EQ(mesh.polygons.size(), before / 2 + 3);
    for (std::size_t j = 0; j < before / 2; ++j) {
        const standin::Polygon& kept = edited.polygons[2 * j + 1];
        EXPECT_EQ(text(mesh.polygons[j]), text(kept));
    }
    for (std::size_t k = 0; k < 3; ++k) {
        const standin::Polygon& added = mesh.polygons[before / 2 + k];
        EXPECT_EQ(text(added), text(edited.polygons[before + k]));
    }
}

TEST(Lwo3Test, anEditOfTheChosenLayerMovesAndChangesNothingElse) {
    for (const char* name : kSampleNames) {
        SCOPED_TRACE(name);
        expectEditOfOneLayer(name, readFileBytes(kSamples / name), std::nullopt);
    }
    const Bytes layered = readFileBytes(kSamples / "box3-uv-layers.lwo");
    for (const char* choice : {"1", "2", "10"}) {
        SCOPED_TRACE(choice);
        expectEditOfOneLayer("box3-uv-layers.lwo", layered, choice);
    }
    // An LWO2 object from the modeller, edited in its fourth layer.
    const Bytes hierarchy =
        readFileBytes(std::filesystem::path(TARVEL_SOURCE_DIR) / "tests/data/lwo/hierarchy.lwo");
    const std::vector<LwoLayerInfo> layers = listLayers(readLwo(hierarchy, "h"), "h");
    ASSERT_EQ(layers.size(), 4u);
    expectEditOfOneLayer("hierarchy.lwo", hierarchy, std::to_string(layers[3].number + 1));
}

/// Two layers of three triangles, each with its UV map per polygon and its surfaces.
Bytes twoMappedLayers(std::string_view formType) {
    const Bytes corners = points({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
    const Bytes triangles = id("FACE") + u2(3) + vx(0) + vx(1) + vx(2) + u2(3) + vx(1) + vx(3) +
                            vx(2) + u2(3) + vx(0) + vx(3) + vx(1);
    const auto map = [](float base) {
        return id("TXUV") + u2(1) + s0("uv") + vx(0) + vx(0) + f4(base) + vx(1) + vx(1) +
               f4(base + 1) + vx(2) + vx(1) + f4(base + 2) + vx(3) + vx(2) + f4(base + 3);
    };
    return formOf(
        formType,
        {chunk("TAGS", s0("A") + s0("B")), layer(0, "near"), chunk("PNTS", corners),
         chunk("POLS", triangles), chunk("PTAG", id("SURF") + vx(1) + u2(1)),
         chunk("VMAD", map(10)), layer(4, "far"), chunk("PNTS", corners), chunk("POLS", triangles),
         chunk("VMAD", map(20)), chunk("PTAG", id("SURF") + vx(0) + u2(0) + vx(2) + u2(1)),
         formOf("SURF", {chunk("NAME", s0("A"))})});
}

TEST(Lwo3Test, theChosenLayersMapsLoseTheRemovedPolygonAndTheOtherLayerKeepsItsOwn) {
    for (const char* type : {"LWO2", "LWO3"}) {
        SCOPED_TRACE(type);
        const Bytes bytes = twoMappedLayers(type);
        const LwoObject object = readLwo(bytes, "m.lwo", "far");
        EXPECT_EQ(object.primaryName, "layer 5 (far)");
        standin::Mesh edited = lwoMesh(object);
        ASSERT_EQ(edited.polygons.size(), 3u);
        EXPECT_EQ(edited.polygons[2].surface, "B");
        edited.polygons[1].removed = true;
        const Bytes written = writeLwo(applyMeshEdit(object, edited, "m.lwo"), "m.lwo");
        EXPECT_EQ(Bytes(written.begin() + 8, written.begin() + 12), id(type));

        const LwoObject far = readLwo(written, "out.lwo", "5");
        std::vector<const LwoChunk*> maps;
        for (const LwoChunk& chunk : far.chunks) {
            if (chunk.id == kIdDiscontinuousMap) {
                maps.push_back(&chunk);
            }
        }
        ASSERT_EQ(maps.size(), 2u);
        // The near layer's map is as it was; the far one lost polygon 1's entries, and the
        // entry of polygon 2 now names polygon 1.
        EXPECT_EQ(maps[0]->body, readLwo(bytes, "m.lwo").chunks[5].body);
        EXPECT_EQ(maps[1]->body,
                  id("TXUV") + u2(1) + s0("uv") + vx(0) + vx(0) + f4(20) + vx(3) + vx(1) + f4(23));
        const standin::Mesh mesh = lwoMesh(far);
        ASSERT_EQ(mesh.polygons.size(), 2u);
        EXPECT_EQ(mesh.polygons[1].surface, "B");
        EXPECT_EQ(texts(lwoMesh(readLwo(written, "out.lwo", "near")).polygons),
                  texts(lwoMesh(readLwo(bytes, "m.lwo")).polygons));
    }
}

TEST(Lwo3Test, aLayerIsChosenByButtonNumberOrNameAndAMissingOneIsRefusedWithTheList) {
    const Bytes bytes =
        formOf("LWO3", {layer(0, "Top"), chunk("PNTS", points({0, 0, 0, 1, 0, 0})),
                        chunk("POLS", id("FACE") + u2(2) + vx(0) + vx(1)), layer(1, "7"),
                        chunk("PNTS", points({0, 0, 0})), layer(2, "twin"), layer(3, "twin")});
    const auto chosen = [&](const std::string& choice) {
        return readLwo(bytes, "m.lwo", choice).primaryName;
    };
    EXPECT_EQ(chosen("1"), "layer 1 (Top)");
    EXPECT_EQ(chosen("Top"), "layer 1 (Top)");
    EXPECT_EQ(chosen("7"), "layer 2 (7)");  // no button 7: the name
    EXPECT_EQ(chosen("2"), "layer 2 (7)");
    EXPECT_EQ(chosen("4"), "layer 4 (twin)");
    EXPECT_EQ(readLwo(bytes, "m.lwo").primaryName, "the first layer");

    const std::string list =
        "the object's layers are 1 \"Top\" (2 points, 1 polygons), 2 \"7\" (1 points, 0 "
        "polygons), 3 \"twin\" (0 points, 0 polygons), 4 \"twin\" (0 points, 0 polygons)";
    EXPECT_EQ(refusal([&] { chosen("5"); }), "m.lwo: no layer 5; " + list);
    EXPECT_EQ(refusal([&] { chosen("0"); }), "m.lwo: no layer 0; " + list);
    EXPECT_EQ(refusal([&] { chosen("top"); }), "m.lwo: no layer named \"top\"; " + list);
    EXPECT_EQ(refusal([&] { chosen("twin"); }),
              "m.lwo: more than one layer named \"twin\"; choose one by number; " + list);
    EXPECT_EQ(refusal([&] { readLwo(formOf("LWO3", {chunk("TAGS", s0("a"))}), "e.lwo", "1"); }),
              "e.lwo: no layer 1; the object has no layers");
    EXPECT_EQ(
        refusal([&] { readLwo(formOf("LWO3", {chunk("LAYR", u2(0) + u2(0))}), "s.lwo", "1"); }),
        "s.lwo: LAYR at byte 22: ends inside a value");
    EXPECT_EQ(refusal([&] { MeshFile(Bytes(), MeshFormat::obj, "m.obj", "1"); }),
              "m.obj: an OBJ file has no layers to choose from");
    EXPECT_EQ(refusal([&] {
                  MeshFile(readFileBytes(kSamples / "box3-uv-layers.lwo"), MeshFormat::lwo, "b.lwo",
                           "3");
              }),
              "b.lwo: no layer 3; the object's layers are 1 (no name, 8 points, 6 polygons), 2 "
              "(no name, 798 points, 864 polygons), 10 (no name, 554 points, 576 polygons)");
}

TEST(Lwo3Test, anEditIsRefusedWhereAChunkNotUnderstoodMayNumberThePolygons) {
    const Bytes corners = chunk("PNTS", points({0, 0, 0, 1, 0, 0, 0, 1, 0}));
    const Bytes triangle =
        chunk("POLS", id("FACE") + u2(3) + vx(0) + vx(1) + vx(2) + u2(3) + vx(2) + vx(1) + vx(0));
    const Bytes perPolygon = chunk("XPOL", vx(0) + vx(1));
    const auto edit = [](const Bytes& bytes, bool remove, bool add) {
        const LwoObject object = readLwo(bytes, "m.lwo");
        standin::Mesh edited = lwoMesh(object);
        edited.polygons[0].removed = remove;
        if (add) {
            edited.polygons.push_back(taggedLink(0, 1, "Red"));
        }
        return writeLwo(applyMeshEdit(object, edited, "m.lwo"), "m.lwo");
    };
    const Bytes after = formOf("LWO3", {layer(0), corners, triangle, perPolygon});
    EXPECT_EQ(edit(after, false, false), after);
    EXPECT_EQ(refusal([&] { edit(after, true, false); }),
              "m.lwo: XPOL at byte 110: cannot edit the first layer: a chunk not understood after "
              "a POLS chunk that loses polygons may number those polygons");
    EXPECT_EQ(refusal([&] { edit(after, false, true); }),
              "m.lwo: XPOL at byte 110: cannot edit the first layer: a chunk not understood after "
              "where the links are added may number those polygons");

    // Before the POLS chunk, in another layer, or a surface, clip or envelope: no polygon
    // numbers of this layer's to keep in step.
    const Bytes surface = formOf("SURF", {chunk("NAME", s0("A"))});
    for (const Bytes& bytes :
         {formOf("LWO3", {layer(0), perPolygon, corners, triangle}),
          formOf("LWO3",
                 {layer(0), corners, triangle, surface, chunk("OTAG", id("TXUV") + s0(""))}),
          formOf("LWO3", {layer(0), corners, triangle, layer(1), perPolygon})}) {
        EXPECT_EQ(refusal([&] { edit(bytes, true, true); }), "accepted");
    }
    EXPECT_EQ(refusal([&] {
                  edit(formOf("LWO3", {layer(0), corners, triangle,
                                       formOf("XMAP", {chunk("NAME", s0("A"))})}),
                       true, true);
              }),
              "m.lwo: FORM at byte 110: cannot edit the first layer: a chunk not understood after "
              "a POLS chunk that loses polygons may number those polygons");
}

TEST(Lwo3Test, oneTagTableForNewObjectsAndEdits) {
    LwoTagTable table({"Default", "Red", "Default"}, "m.lwo");
    EXPECT_EQ(table.indexOf("Default"), 0u);
    EXPECT_EQ(table.indexOf("test"), 3u);
    EXPECT_EQ(table.tagValue(kTagColour, "Red"), 1u);
    EXPECT_EQ(table.tagValue(kTagSmoothingGroup, "12"), 12u);
    EXPECT_EQ(std::vector<std::string>(table.added().begin(), table.added().end()),
              (std::vector<std::string>{"test"}));
    EXPECT_EQ(smoothingGroupNumber("65534"), 65534u);
    EXPECT_EQ(smoothingGroupNumber("65536"), 65535u);
    EXPECT_EQ(smoothingGroupNumber("123456789012345678901234567890"), 65535u);
    EXPECT_EQ(smoothingGroupNumber(""), 0u);
    EXPECT_EQ(smoothingGroupNumber("soft"), 0u);
    EXPECT_EQ(smoothingGroupNumber("-3"), 0u);
}

}  // namespace
}  // namespace tarvel::formats
