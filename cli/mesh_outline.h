// The outline of part of a mesh: what the pictures of a run draw instead of a whole model.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "mesh/mesh.h"

namespace tarvel::cli {

/// An edge between two point identifiers, the lower first.
using MeshEdge = std::array<std::int32_t, 2>;

/// The edges that outline the polygons of `mesh` for which `inPart[j]` is true (polygons
/// with fewer than two points add nothing; a two-point polygon is its own edge):
/// - every edge that one polygon of the part holds and no other of the part does (its
///   boundary, where it meets the rest of the mesh or nothing);
/// - with `depth` (the direction a picture looks along), every edge between a polygon that
///   faces the viewer and one that faces away (its silhouette), by the polygons' Newell
///   normals; edges held by three or more polygons count as silhouette too.
/// Each edge once, sorted. Memory and time grow with the part's corners, n log n.
std::vector<MeshEdge> outlineEdges(const standin::Mesh& mesh, const std::vector<bool>& inPart,
                                   const std::optional<standin::Point>& depth);

}  // namespace tarvel::cli
