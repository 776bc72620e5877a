// Scenes made in code, for tests and the benchmark: facing grids, curved noisy patches, several
// pairs side by side, and random soups of awkward polygons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "standin/scene.h"

namespace tarvel::scenes {

/// The nx by ny quads of a grid of (nx + 1) by (ny + 1) points numbered row by row from
/// `base`, added row by row while the mesh holds fewer than `maxPolygons` polygons; wound
/// counter-clockwise seen from the grid's +z, or clockwise when `flip` is set.
void addGridQuads(standin::Mesh& mesh, std::int32_t base, int nx, int ny, bool flip,
                  std::size_t maxPolygons = std::numeric_limits<std::size_t>::max());

/// Two grids of quads facing each other across `gap`: the lower one nx by ny unit quads at
/// z = 0 facing up, the upper one (nx - shrink) by (ny - shrink) facing down, shifted by
/// (shift, shift). Every polygon selected; normals left to the host.
standin::Scene facingGrids(int nx, int ny, double gap, int shrink = 0, double shift = 0.0);

/// Two facing patches of nx by ny quads bent along a cylinder and shaken by `noise`
/// (model units), so that no two normals agree.
standin::Scene curvedPatches(int nx, int ny, double noise, std::uint64_t seed);

/// `pairs` pairs of facing grids of n by n quads, side by side.
standin::Scene severalPairs(int pairs, int n);

/// `pairs` pairs of facing n by n grids on a square lattice of the plane, their gaps 1, 2 and 3
/// in turn, and beyond them `largePairs` pairs of largeN by largeN grids in a row.
standin::Scene manyPairs(int pairs, int n, int largePairs = 0, int largeN = 0);

/// A small scene of awkward polygons: shared and repeated points, degenerate and duplicated
/// polygons, ties in distances and angles, other types, unselected polygons, explicit normals
/// (some zero or non-finite) and, with `nonFinite`, NaN and infinite coordinates.
standin::Scene randomSoup(std::uint64_t seed, bool nonFinite);

/// The same scene with its polygons in another order (the scan order changes the result).
void shufflePolygons(standin::Scene& scene, std::uint64_t seed);

}  // namespace tarvel::scenes
