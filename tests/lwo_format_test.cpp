#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <optional>

#include "formats/byte_reader.h"
#include "formats/file_bytes.h"
#include "formats/format_error.h"
#include "formats/lwo_edit.h"
#include "formats/lwo_reader.h"
#include "formats/lwo_writer.h"
#include "testing/lwo_from_mesh.h"
#include "tests/lwo_bytes.h"
#include "tests/tagged_link.h"

namespace tarvel::formats {
namespace {

using namespace tarvel::lwobytes;
using testing::taggedLink;

constexpr LWID kTypeCurve = LWID_('C', 'U', 'R', 'V');

const std::filesystem::path kRealFiles =
    std::filesystem::path(TARVEL_SOURCE_DIR) / "tests/data/lwo";

/// Two facing quads in a first layer with every kind of tag, a curve, a UV map that holds
/// both quads, an unknown chunk of odd size; a second layer; a surface chunk.
Bytes twoLayerObject() {
    const Bytes quadPoints = points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0,  //
                                     0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 0, 1});
    // Both quads carry flag bits; the second is written with four-byte indices.
    const Bytes faces = id("FACE") + u2((1 << 10) | 4) + vx(0) + vx(1) + vx(2) + vx(3) +
                        u2((2 << 10) | 4) + vx(4, true) + vx(5, true) + vx(6, true) + vx(7, true);
    const Bytes uv = id("TXUV") + u2(2) + s0("uv") + vx(0) + vx(1) + f4(0.25f) + f4(0.5f) + vx(4) +
                     vx(1) + f4(0.75f) + f4(1) + vx(1) + vx(0) + f4(1) + f4(0);
    return form(
        {chunk("TAGS", s0("Floor") + s0("Ceiling") + s0("lid") + s0("Green")), layer(0, "main"),
         chunk("PNTS", quadPoints), chunk("BBOX", points({0, 0, 0, 1, 1, 1})),
         chunk("ZZZZ", id("odd")), chunk("POLS", faces),
         chunk("PTAG", id("SURF") + vx(0) + u2(0) + vx(1) + u2(1)),
         chunk("PTAG", id("PART") + vx(1) + u2(2)), chunk("PTAG", id("SMGP") + vx(0) + u2(7)),
         chunk("PTAG", id("COLR") + vx(0) + u2(3)), chunk("VMAD", uv),
         chunk("POLS", id("CURV") + u2(2) + vx(0) + vx(1)), layer(1, "other"),
         chunk("PNTS", points({5, 5, 5, 6, 5, 5, 5, 6, 5})),
         chunk("POLS", id("FACE") + u2(3) + vx(0) + vx(1) + vx(2)),
         chunk("SURF", s0("Floor") + s0("") + id("COLR") + u2(14) + points({1, 0, 0}) + u2(0))});
}

std::string readError(const Bytes& bytes) {
    try {
        readLwo(bytes, "m.lwo");
    } catch (const FormatError& error) {
        return error.what();
    }
    return "read";
}

const std::string* tagOf(const standin::Polygon& polygon, LWID type) {
    return standin::findTag(polygon, type);
}

TEST(LwoFormatTest, decodesTheFirstLayerWithItsPolygonTypesAndTags) {
    const LwoObject object = readLwo(twoLayerObject(), "m.lwo");
    ASSERT_TRUE(object.hasPrimaryLayer);
    EXPECT_EQ(object.tagStrings, (std::vector<std::string>{"Floor", "Ceiling", "lid", "Green"}));
    EXPECT_EQ(object.chunks[object.primary.endChunk].id, kIdLayer);  // stops at the second layer

    const standin::Mesh mesh = lwoMesh(object);
    ASSERT_EQ(mesh.points.size(), 8u);
    EXPECT_EQ(mesh.points[5], (standin::Point{0.0, 1.0, 1.0}));
    ASSERT_EQ(mesh.polygons.size(), 3u);
    EXPECT_EQ(mesh.polygons[0].points, (std::vector<std::int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(mesh.polygons[1].points, (std::vector<std::int32_t>{4, 5, 6, 7}));
    EXPECT_EQ(mesh.polygons[2].type, kTypeCurve);
    EXPECT_EQ(mesh.polygons[0].surface, "Floor");
    EXPECT_EQ(mesh.polygons[1].surface, "Ceiling");
    EXPECT_EQ(mesh.polygons[2].surface, "Default");
    EXPECT_EQ(*tagOf(mesh.polygons[1], kTagPart), "lid");
    EXPECT_EQ(*tagOf(mesh.polygons[0], kTagSmoothingGroup), "7");
    EXPECT_EQ(*tagOf(mesh.polygons[0], kTagColour), "Green");
    EXPECT_EQ(object.primary.polygons[0].flags, 1u);
    EXPECT_EQ(object.primary.polygons[1].flags, 2u);
    for (const standin::Polygon& polygon : mesh.polygons) {
        EXPECT_EQ(polygon.flags, 0);
    }
}

TEST(LwoFormatTest, writesBackByteForByteWhenNothingChanged) {
    const Bytes bytes = twoLayerObject();
    const LwoObject object = readLwo(bytes, "m.lwo");
    EXPECT_EQ(writeLwo(object, "m.lwo"), bytes);
    EXPECT_EQ(writeLwo(applyMeshEdit(object, lwoMesh(object), "m.lwo"), "m.lwo"), bytes);
}

/// The chunks of `object` with identifier `id`, in order.
std::vector<const LwoChunk*> chunksOf(const LwoObject& object, LWID chunkId) {
    std::vector<const LwoChunk*> found;
    for (const LwoChunk& chunk : object.chunks) {
        if (chunk.id == chunkId) {
            found.push_back(&chunk);
        }
    }
    return found;
}

TEST(LwoFormatTest, anEditDropsRemovedPolygonsWithTheirEntriesAndAppendsTheLinks) {
    const Bytes bytes = twoLayerObject();
    const LwoObject object = readLwo(bytes, "m.lwo");
    standin::Mesh edited = lwoMesh(object);
    edited.polygons[0].removed = true;
    edited.polygons.push_back(taggedLink(1, 5, "Red"));
    edited.polygons.push_back(taggedLink(2, 6, "DkRed"));

    const Bytes written = writeLwo(applyMeshEdit(object, edited, "m.lwo"), "m.lwo");
    const LwoObject result = readLwo(written, "out.lwo");
    EXPECT_EQ(result.tagStrings, (std::vector<std::string>{"Floor", "Ceiling", "lid", "Green",
                                                           "test", "Red", "DkRed"}));
    const standin::Mesh mesh = lwoMesh(result);
    EXPECT_EQ(mesh.points, lwoMesh(object).points);
    ASSERT_EQ(mesh.polygons.size(), 4u);
    EXPECT_EQ(mesh.polygons[0].points, (std::vector<std::int32_t>{4, 5, 6, 7}));
    EXPECT_EQ(mesh.polygons[0].surface, "Ceiling");
    EXPECT_EQ(*tagOf(mesh.polygons[0], kTagPart), "lid");
    EXPECT_EQ(tagOf(mesh.polygons[0], kTagSmoothingGroup), nullptr);
    EXPECT_EQ(mesh.polygons[1].type, kTypeCurve);
    EXPECT_EQ(mesh.polygons[2].points, (std::vector<std::int32_t>{1, 5}));
    EXPECT_EQ(mesh.polygons[2].type, kTypeFace);
    EXPECT_EQ(mesh.polygons[2].surface, "test");
    EXPECT_EQ(*tagOf(mesh.polygons[2], kTagColour), "Red");
    EXPECT_EQ(*tagOf(mesh.polygons[3], kTagColour), "DkRed");

    // The UV map keeps the entries of the quad that stays, now polygon 0.
    const std::vector<const LwoChunk*> maps = chunksOf(result, kIdDiscontinuousMap);
    ASSERT_EQ(maps.size(), 1u);
    const Bytes expectedMap = id("TXUV") + u2(2) + s0("uv") + vx(0) + vx(0) + f4(0.25f) + f4(0.5f) +
                              vx(4) + vx(0) + f4(0.75f) + f4(1);
    EXPECT_EQ(maps[0]->body, expectedMap);
    // The PTAG entries of the removed quad are gone; a PTAG left empty stays empty.
    EXPECT_EQ(chunksOf(result, kIdPolygonTags)[2]->body, id("SMGP"));

    // Everything else is as it was: the unknown chunk, the second layer, the surface.
    for (const LWID kept : {LWID_('Z', 'Z', 'Z', 'Z'), kTagSurface, kIdBoundingBox}) {
        ASSERT_EQ(chunksOf(result, kept).size(), chunksOf(object, kept).size());
        for (std::size_t i = 0; i < chunksOf(result, kept).size(); ++i) {
            EXPECT_EQ(chunksOf(result, kept)[i]->body, chunksOf(object, kept)[i]->body);
        }
    }
    EXPECT_EQ(chunksOf(result, kIdPoints)[1]->body, chunksOf(object, kIdPoints)[1]->body);
    EXPECT_EQ(chunksOf(result, kIdPolygons).back()->body,
              chunksOf(object, kIdPolygons).back()->body);
    EXPECT_EQ(result.primary.polygons[0].flags, 2u);
}

TEST(LwoFormatTest, aPolsChunkLeftEmptyGoesWithItsTags) {
    const LwoObject object = readLwo(twoLayerObject(), "m.lwo");
    standin::Mesh edited = lwoMesh(object);
    edited.polygons[0].removed = true;
    edited.polygons[1].removed = true;
    const LwoObject result =
        readLwo(writeLwo(applyMeshEdit(object, edited, "m.lwo"), "m.lwo"), "out.lwo");
    // The FACE chunk and its four PTAG chunks are gone; the UV map stays, empty.
    EXPECT_EQ(chunksOf(result, kIdPolygonTags).size(), 0u);
    const standin::Mesh mesh = lwoMesh(result);
    ASSERT_EQ(mesh.polygons.size(), 1u);
    EXPECT_EQ(mesh.polygons[0].type, kTypeCurve);
    EXPECT_EQ(chunksOf(result, kIdDiscontinuousMap)[0]->body, id("TXUV") + u2(2) + s0("uv"));
}

TEST(LwoFormatTest, indicesFromFF00OnTakeFourBytesBothWays) {
    standin::Mesh mesh;
    for (int i = 0; i < 0xFF10; ++i) {
        mesh.points.push_back({static_cast<double>(i), 0.0, 0.0});
    }
    standin::Polygon polygon;
    polygon.points = {0xFF00, 0xFEFF, 0xFF0F};
    mesh.polygons.push_back(polygon);
    const LwoObject made = lwoFromMesh(mesh, "big.lwo");
    const std::vector<const LwoChunk*> pols = chunksOf(made, kIdPolygons);
    ASSERT_EQ(pols.size(), 1u);
    EXPECT_EQ(pols[0]->body, id("FACE") + u2(3) + vx(0xFF00) + u2(0xFEFF) + vx(0xFF0F));
    EXPECT_EQ(vx(0xFF00),
              (Bytes{std::byte{0xFF}, std::byte{0x00}, std::byte{0xFF}, std::byte{0x00}}));

    const LwoObject object = readLwo(writeLwo(made, "big.lwo"), "big.lwo");
    standin::Mesh edited = lwoMesh(object);
    EXPECT_EQ(edited.polygons[0].points, polygon.points);
    edited.polygons.push_back(taggedLink(0xFF0E, 3, "Blue"));
    const LwoObject result =
        readLwo(writeLwo(applyMeshEdit(object, edited, "big.lwo"), "big.lwo"), "big.lwo");
    EXPECT_EQ(lwoMesh(result).polygons[1].points, (std::vector<std::int32_t>{0xFF0E, 3}));
}

TEST(LwoFormatTest, indicesCountFromTheLatestPointAndPolygonChunks) {
    // Points before any LAYR make the first layer; each POLS counts from the PNTS before it,
    // and each PTAG from the POLS before it.
    const Bytes bytes =
        form({chunk("TAGS", s0("a") + s0("b")), chunk("PNTS", points({0, 0, 0, 1, 0, 0})),
              chunk("POLS", id("FACE") + u2(2) + vx(0) + vx(1)),
              chunk("PNTS", points({0, 1, 0, 1, 1, 0})),
              chunk("POLS", id("PTCH") + u2(2) + vx(1) + vx(0)),
              chunk("PTAG", id("SURF") + vx(0) + u2(1)), layer(1)});
    const LwoObject object = readLwo(bytes, "m.lwo");
    EXPECT_EQ(object.primary.firstChunk, 1u);
    standin::Mesh mesh = lwoMesh(object);
    ASSERT_EQ(mesh.polygons.size(), 2u);
    EXPECT_EQ(mesh.polygons[1].points, (std::vector<std::int32_t>{3, 2}));
    EXPECT_EQ(mesh.polygons[0].surface, "Default");
    EXPECT_EQ(mesh.polygons[1].surface, "b");

    // Links within the last PNTS chunk can be written; a link into an earlier one cannot.
    mesh.polygons.push_back(taggedLink(2, 3, "Red"));
    const LwoObject result =
        readLwo(writeLwo(applyMeshEdit(object, mesh, "m.lwo"), "m.lwo"), "out.lwo");
    EXPECT_EQ(lwoMesh(result).polygons[2].points, (std::vector<std::int32_t>{2, 3}));
    mesh.polygons.push_back(taggedLink(0, 3, "DkRed"));
    try {
        applyMeshEdit(object, mesh, "m.lwo");
        FAIL() << "a link into an earlier PNTS chunk was written";
    } catch (const FormatError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "m.lwo: cannot write the added polygons: they join points outside the first "
                  "layer's last PNTS chunk (at byte 74)");
    }
}

TEST(LwoFormatTest, refusesCorruptFilesWithTheFileAndThePlace) {
    const Bytes tags = chunk("TAGS", s0("Floor"));
    const Bytes twoPoints = chunk("PNTS", points({0, 0, 0, 1, 0, 0}));
    const Bytes line = chunk("POLS", id("FACE") + u2(2) + vx(0) + vx(1));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    Bytes truncated = form({tags, layer(0), twoPoints});
    truncated.resize(truncated.size() - 5);
    Bytes oddTail = form({tags});
    oddTail = oddTail + Bytes{std::byte{'P'}, std::byte{'N'}};
    oddTail[7] = std::byte(static_cast<unsigned char>(oddTail.size() - 8));

    const std::vector<std::pair<Bytes, std::string>> cases = {
        {{}, "m.lwo: empty file"},
        {id("MZ\x90") + Bytes(20), "m.lwo: not a LightWave object: no FORM header"},
        {id("FORM") + u4(4) + id("LWOB"),
         "m.lwo: a LightWave 5 object (LWOB): only LWO2 and LWO3 objects can be read; save it "
         "again from a modeller of version 6 or later"},
        {id("FORM") + u4(4) + id("LWLO"),
         "m.lwo: a LightWave 5 layered object (LWLO): only LWO2 and LWO3 objects can be read; "
         "save it again from a modeller of version 6 or later"},
        {id("FORM") + u4(4) + id("ILBM"), "m.lwo: not a LightWave object: FORM of type 'ILBM'"},
        {truncated, "m.lwo: truncated: the FORM header gives " +
                        std::to_string(truncated.size() + 5 - 8) + " bytes but " +
                        std::to_string(truncated.size() - 8) + " follow it"},
        {oddTail, "m.lwo: byte 26: the FORM ends inside a chunk header"},
        {form({tags, Bytes{std::byte{1}, std::byte{2}, std::byte{3}, std::byte{4}} + u4(0)}),
         "m.lwo: byte 26: not a chunk identifier (corrupt or misaligned chunk)"},
        {form({id("PNTS") + u4(400) + Bytes(12)}),
         "m.lwo: PNTS at byte 12: size 400 runs past the end of the FORM (12 bytes left)"},
        {form({layer(0), chunk("PNTS", Bytes(13))}),
         "m.lwo: PNTS at byte 46: size 13 is not a whole number of points (12 bytes each)"},
        {form({layer(0), chunk("PNTS", points({0, 0, 0, 1, nan, 0}))}),
         "m.lwo: PNTS at byte 58: point 1 has a coordinate that is NaN"},
        {form({layer(0), chunk("PNTS", points({0, 0, -infinity}))}),
         "m.lwo: PNTS at byte 46: point 0 has a coordinate that is infinite"},
        {form({tags, layer(0), twoPoints, chunk("POLS", id("FACE") + u2(2) + vx(0) + vx(9999))}),
         "m.lwo: POLS at byte 100: vertex index 9999 beyond the 2 points"},
        {form({layer(0), chunk("POLS", id("FACE") + u2(1) + vx(0))}),
         "m.lwo: POLS at byte 52: vertex index 0 before any PNTS chunk"},
        {form({layer(0), twoPoints, chunk("POLS", id("FACE") + u2(3) + vx(0) + vx(1))}),
         "m.lwo: POLS at byte 88: ends inside an index"},
        {form({tags, layer(0), twoPoints, line, chunk("PTAG", id("SURF") + vx(1) + u2(0))}),
         "m.lwo: PTAG at byte 114: polygon index 1 beyond the 1 polygons of the POLS chunk "
         "before it"},
        {form({tags, layer(0), twoPoints, line, chunk("PTAG", id("SURF") + vx(0) + u2(1))}),
         "m.lwo: PTAG at byte 116: SURF tag 1 beyond the 1 TAGS strings"},
        {form({tags, layer(0), twoPoints, line,
               chunk("VMAD", id("TXUV") + u2(2) + s0("uv") + vx(1) + vx(3) + f4(0) + f4(0))}),
         "m.lwo: VMAD at byte 122: polygon index 3 beyond the 1 polygons of the POLS chunk "
         "before it"},
        {form({layer(0), twoPoints, chunk("VMAP", id("WGHT") + u2(1) + s0("w") + vx(2) + f4(1))}),
         "m.lwo: VMAP at byte 86: vertex index 2 beyond the 2 points"},
        {form({chunk("TAGS", id("Flo"))}), "m.lwo: TAGS at byte 20: ends inside a string"},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(readError(bytes), expected);
    }
}

/// Every way of cutting the file short, and every single byte replaced by a few values, is
/// either read or refused with a FormatError; nothing else escapes, and the sanitizers
/// watch memory.
void expectEveryDamageIsReadOrRefused(const Bytes& bytes,
                                      const std::optional<std::string>& layer = std::nullopt) {
    const auto attempt = [&layer](const Bytes& damaged) {
        try {
            const LwoObject object = readLwo(damaged, "d.lwo", layer);
            const standin::Mesh mesh = lwoMesh(object);
            writeLwo(applyMeshEdit(object, mesh, "d.lwo"), "d.lwo");
        } catch (const FormatError&) {
        }
    };
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        attempt(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
    }
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        for (const unsigned char value : {0x00, 0x7F, 0xFF}) {
            Bytes damaged = bytes;
            damaged[at] = std::byte{value};
            attempt(damaged);
        }
    }
}

TEST(LwoFormatTest, damagedFilesAreReadOrRefusedNeverMisread) {
    expectEveryDamageIsReadOrRefused(twoLayerObject());
    expectEveryDamageIsReadOrRefused(readFileBytes(kRealFiles / "Subdivision.lwo"));
    // The modeller's LWO3 box, and the second layer of an object of two.
    const std::filesystem::path lwo3 = std::filesystem::path(TARVEL_SOURCE_DIR) / "tests/data/lwo3";
    expectEveryDamageIsReadOrRefused(readFileBytes(lwo3 / "box0.lwo"));
    expectEveryDamageIsReadOrRefused(twoLayerObject(), "2");
}

TEST(LwoFormatTest, filesFromTheModellerAndOtherToolsRoundTripAndTakeAnEdit) {
    for (const char* name : {"hierarchy.lwo", "Subdivision.lwo", "box_2uv_1unused.lwo",
                             "ModoExport_vertNormals.lwo"}) {
        SCOPED_TRACE(name);
        const Bytes bytes = readFileBytes(kRealFiles / name);
        const LwoObject object = readLwo(bytes, name);
        EXPECT_EQ(writeLwo(object, name), bytes);
        standin::Mesh edited = lwoMesh(object);
        ASSERT_GE(edited.polygons.size(), 2u);
        EXPECT_EQ(edited.polygons.size(), object.primary.polygons.size());
        // Remove every other polygon and link the first two points.
        const std::size_t before = edited.polygons.size();
        for (std::size_t j = 0; j < before; j += 2) {
            edited.polygons[j].removed = true;
        }
        edited.polygons.push_back(taggedLink(0, 1, "Red"));
        const LwoObject result = readLwo(writeLwo(applyMeshEdit(object, edited, name), name), name);
        const standin::Mesh mesh = lwoMesh(result);
        ASSERT_EQ(mesh.polygons.size(), before / 2 + 1);
        for (std::size_t j = 0; j < before / 2; ++j) {
            EXPECT_EQ(mesh.polygons[j].points, edited.polygons[2 * j + 1].points);
            EXPECT_EQ(mesh.polygons[j].surface, edited.polygons[2 * j + 1].surface);
            EXPECT_EQ(mesh.polygons[j].tags.size(), edited.polygons[2 * j + 1].tags.size());
        }
        EXPECT_EQ(mesh.polygons.back().surface, "test");
        EXPECT_EQ(chunksOf(result, kIdLayer).size(), chunksOf(object, kIdLayer).size());
    }
    const standin::Mesh patches =
        lwoMesh(readLwo(readFileBytes(kRealFiles / "Subdivision.lwo"), "Subdivision.lwo"));
    EXPECT_EQ(patches.polygons[0].type, kTypePatch);
    EXPECT_EQ(patches.polygons[0].surface, "Default");
    EXPECT_EQ(*tagOf(patches.polygons[0], kTagColour), "DkBlu");
    const LwoObject layered = readLwo(readFileBytes(kRealFiles / "hierarchy.lwo"), "hierarchy.lwo");
    EXPECT_EQ(layered.primary.points.size(), 8u);
    EXPECT_EQ(lwoMesh(layered).polygons[0].surface, "BoxOnLayer3");
}

}  // namespace
}  // namespace tarvel::formats
