// A Wavefront OBJ file held as its text, with its vertices and elements decoded.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace tarvel::formats {

inline constexpr std::uint32_t kNoName = std::numeric_limits<std::uint32_t>::max();

/// An `f` or `l` statement.
struct ObjElement {
    enum class Kind : std::uint8_t { face, line };
    Kind kind = Kind::face;
    /// Its vertices in ObjModel::elementVertices: [firstVertex, firstVertex + vertexCount),
    /// each a 0-based index into ObjModel::vertices (relative indices already resolved).
    std::uint32_t firstVertex = 0;
    std::uint32_t vertexCount = 0;
    /// The `usemtl` and `g` names in force: indices into ObjModel::names, or kNoName. A `g`
    /// statement's several group names are held as one name, one space between each.
    std::uint32_t material = kNoName;
    std::uint32_t group = kNoName;
    /// The smoothing group in force (`s`): its number's text in ObjModel::names, or kNoName
    /// when smoothing is off.
    std::uint32_t smoothing = kNoName;
    /// The statement's bytes in ObjModel::text, its line end (and continuation lines)
    /// included.
    std::size_t textStart = 0;
    std::size_t textEnd = 0;
};

struct ObjModel {
    /// The file as read; writing an edit copies it, leaving out the statements of removed
    /// elements, so everything the reader does not decode (vt, vn, o, s, mtllib, comments,
    /// curves, texture and normal indices of the corners) is kept as it was.
    std::string text;
    /// `v` positions in file order, each coordinate the double nearest its text.
    std::vector<std::array<double, 3>> vertices;
    std::vector<ObjElement> elements;
    std::vector<std::uint32_t> elementVertices;
    /// Material, group and smoothing group names, each once.
    std::vector<std::string> names;
};

}  // namespace tarvel::formats
