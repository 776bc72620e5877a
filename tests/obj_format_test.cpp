#include <gtest/gtest.h>

#include <string>

#include "formats/format_error.h"
#include "formats/lwo_object.h"
#include "formats/obj_edit.h"
#include "formats/obj_reader.h"
#include "tests/tagged_link.h"

namespace tarvel::formats {
namespace {

ObjModel readText(const std::string& text) {
    return readObj(std::span(reinterpret_cast<const std::byte*>(text.data()), text.size()),
                   "m.obj");
}

std::string readError(const std::string& text) {
    try {
        readText(text);
    } catch (const FormatError& error) {
        return error.what();
    }
    return "read";
}

const char* const kTwoQuads =
    "# two facing quads\r\n"
    "mtllib scene.mtl\r\n"
    "v 0.1 0.2 0.3\r\n"
    "v 1 0 0\r\nv 1 1 0\r\nv 0 1 0\r\n"
    "v 0 0 1\r\nv 0 1 1\r\nv 1 1 1\r\nv +1 0 1e0\r\n"
    "vt 0 0\nvn 0 0 1\n"
    "g floor\n"
    "usemtl Floor\n"
    "f 1/1/1 2/1/1 3//1 4\n"
    "g lid top\n"
    "usemtl Lid Paint\n"
    "f -4 -3 \\\n  -2 -1\n"
    "l 1 5 # a post\n"
    "s off\n";

TEST(ObjFormatTest, readsVerticesExactlyAndElementsAsTheyAre) {
    const ObjModel model = readText(kTwoQuads);
    const standin::Mesh mesh = objMesh(model);
    ASSERT_EQ(mesh.points.size(), 8u);
    // The double nearest the text, as strtod gives it: 0.3 is not 0.30000000000000004.
    EXPECT_EQ(mesh.points[0], (standin::Point{0.1, 0.2, 0.3}));
    EXPECT_EQ(mesh.points[7], (standin::Point{1.0, 0.0, 1.0}));
    ASSERT_EQ(mesh.polygons.size(), 3u);
    EXPECT_EQ(mesh.polygons[0].points, (std::vector<std::int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(mesh.polygons[1].points, (std::vector<std::int32_t>{4, 5, 6, 7}));
    EXPECT_EQ(mesh.polygons[2].points, (std::vector<std::int32_t>{0, 4}));
    EXPECT_EQ(model.elements[2].kind, ObjElement::Kind::line);
    for (const standin::Polygon& polygon : mesh.polygons) {
        EXPECT_EQ(polygon.type, &polygon == &mesh.polygons[2] ? kTypeObjLine : kTypeFace);
        EXPECT_EQ(polygon.flags, 0);
    }
    EXPECT_EQ(mesh.polygons[0].surface, "Floor");
    EXPECT_EQ(mesh.polygons[1].surface, "Lid Paint");
    EXPECT_EQ(*standin::findTag(mesh.polygons[0], kTagPart), "floor");
    EXPECT_EQ(*standin::findTag(mesh.polygons[2], kTagPart), "lid top");

    const standin::Mesh bare = objMesh(readText("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3"));
    EXPECT_EQ(bare.polygons[0].surface, "Default");
    EXPECT_TRUE(bare.polygons[0].tags.empty());
}

TEST(ObjFormatTest, anEditKeepsTheTextLessRemovedElementsAndAppendsTheLinks) {
    const ObjModel model = readText(kTwoQuads);
    standin::Mesh edited = objMesh(model);
    EXPECT_EQ(applyMeshEdit(model, edited), kTwoQuads);

    edited.polygons[1].removed = true;  // the quad written over two lines
    edited.polygons.push_back(testing::taggedLink(0, 4, "Red"));
    edited.polygons.push_back(testing::taggedLink(1, 7, "DkRed"));
    edited.polygons.push_back(testing::taggedLink(2, 6, "DkRed"));
    const std::string text = applyMeshEdit(model, edited);
    const std::string expected =
        std::string(kTwoQuads).replace(std::string(kTwoQuads).find("f -4"),
                                       std::string("f -4 -3 \\\n  -2 -1\n").size(), "") +
        "g Red\nusemtl test\nl 1 5\ng DkRed\nl 2 8\nl 3 7\n";
    EXPECT_EQ(text, expected);

    const standin::Mesh again = objMesh(readText(text));
    ASSERT_EQ(again.polygons.size(), 5u);
    EXPECT_EQ(again.polygons[2].points, (std::vector<std::int32_t>{0, 4}));
    EXPECT_EQ(again.polygons[4].points, (std::vector<std::int32_t>{2, 6}));
    EXPECT_EQ(again.polygons[4].surface, "test");
    EXPECT_EQ(*standin::findTag(again.polygons[4], kTagPart), "DkRed");

    // A file without a final line end still gets its links on lines of their own.
    const ObjModel unterminated = readText("v 0 0 0\nv 1 0 0\nl 1 2");
    standin::Mesh more = objMesh(unterminated);
    more.polygons.push_back(testing::taggedLink(1, 0, "Blue"));
    EXPECT_EQ(applyMeshEdit(unterminated, more),
              "v 0 0 0\nv 1 0 0\nl 1 2\ng Blue\nusemtl test\nl 2 1\n");
}

TEST(ObjFormatTest, addedLinesEndAsTheFilesOwnLinesDo) {
    const auto linked = [](const std::string& text) {
        const ObjModel model = readText(text);
        standin::Mesh edited = objMesh(model);
        edited.polygons.push_back(testing::taggedLink(1, 0, "Red"));
        return applyMeshEdit(model, edited);
    };
    EXPECT_EQ(linked("v 0 0 0\r\nv 1 0 0\r\nl 1 2\r\n"),
              "v 0 0 0\r\nv 1 0 0\r\nl 1 2\r\ng Red\r\nusemtl test\r\nl 2 1\r\n");
    // The last line is ended in the file's way before anything follows it.
    EXPECT_EQ(linked("v 0 0 0\r\nv 1 0 0\r\nl 1 2"),
              "v 0 0 0\r\nv 1 0 0\r\nl 1 2\r\ng Red\r\nusemtl test\r\nl 2 1\r\n");
    EXPECT_EQ(linked("v 0 0 0\r\nv 1 0 0\r\nl 1 2\r"),
              "v 0 0 0\r\nv 1 0 0\r\nl 1 2\r\ng Red\r\nusemtl test\r\nl 2 1\r\n");
    // A CR LF file whose last line ends in a continuation backslash: the added lines stay
    // statements of their own.
    const std::string continued = linked("v 0 0 0\r\nv 1 0 0\r\nl 1 2\r\n# a note \\\r\n");
    EXPECT_EQ(continued,
              "v 0 0 0\r\nv 1 0 0\r\nl 1 2\r\n# a note \\ \r\ng Red\r\nusemtl test\r\nl 2 1\r\n");
    EXPECT_EQ(objMesh(readText(continued)).polygons.size(), 2u);
}

TEST(ObjFormatTest, refusesWhatIsNotAMeshWithTheLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "m.obj: empty file"},
        {std::string("v 0 0 0\n\0\n", 10), "m.obj: not an OBJ text file: byte 8 is a NUL"},
        {"# nothing here\n\n", "m.obj: not a mesh: no vertices and no faces or lines"},
        {"Hello, this is a letter.\n", "m.obj: not a mesh: no vertices and no faces or lines"},
        {"v 0 0\n", "m.obj:1: a vertex needs three coordinates"},
        {"v 0 0 0\nv 1 nan 0\n", "m.obj:2: vertex coordinate 'nan' is not a finite number"},
        {"v 0 0 -inf\n", "m.obj:1: vertex coordinate '-inf' is not a finite number"},
        {"v 0 0 1e999\n", "m.obj:1: vertex coordinate '1e999' is beyond the double range"},
        {"v 0 0 zero\n", "m.obj:1: vertex coordinate 'zero' is not a number"},
        {"v 0 0 0\nf 1 0 1\n", "m.obj:2: vertex index 0: OBJ counts from 1"},
        {"v 0 0 0\nv 1 0 0\nf 1 2 3\nv 0 1 0\nl 1 9\n",
         "m.obj:5: vertex index 9 beyond the 3 vertices of the file"},
        {"v 0 0 0\nf -2 1 1\n",
         "m.obj:2: vertex index -2 reaches before the first of the 1 defined so far"},
        {"v 0 0 0\nf 1/2 1 1\n",
         "m.obj:2: texture coordinate index 2 beyond the 0 texture coordinates of the file"},
        {"v 0 0 0\nf 1//x 1 1\n", "m.obj:2: normal index 'x' is not a whole number"},
        {"v 0 0 0\nf\n", "m.obj:2: a face without vertices"},
        {"v 0 0 0\nl # nothing\n", "m.obj:2: a line without vertices"},
        {"v 0 0 0\nf /1 1 1\n", "m.obj:2: corner '/1' has no vertex index"},
        {"v 0 0 0\nf 1 99999999999999999999 1\n",
         "m.obj:2: vertex index '99999999999999999999' is not a whole number"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(readError(text), expected);
    }
}

TEST(ObjFormatTest, damagedFilesAreReadOrRefusedNeverMisread) {
    const std::string text = kTwoQuads;
    for (std::size_t length = 0; length <= text.size(); ++length) {
        for (const char replacement : {'\0', '-', '/', '9', '\\'}) {
            std::string damaged = text.substr(0, length);
            if (length < text.size()) {
                damaged += replacement;
                damaged += text.substr(length + 1);
            }
            try {
                const ObjModel model = readText(damaged);
                const standin::Mesh mesh = objMesh(model);
                for (const standin::Polygon& polygon : mesh.polygons) {
                    for (const std::int32_t point : polygon.points) {
                        ASSERT_LT(static_cast<std::size_t>(point), mesh.points.size());
                    }
                }
                applyMeshEdit(model, mesh);
            } catch (const FormatError&) {
            }
        }
    }
}

}  // namespace
}  // namespace tarvel::formats
