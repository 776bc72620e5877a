#include "testing/scenes/scene_generators.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <random>
#include <utility>

namespace tarvel::scenes {

namespace {

using standin::Point;
using standin::Polygon;
using standin::Scene;

/// Adds a grid of (nx + 1) by (ny + 1) points from `place(i, j)` and its nx by ny quads,
/// wound counter-clockwise seen from +z, or clockwise when `flip` is set.
template <typename Place>
void addGrid(Scene& scene, int nx, int ny, bool flip, Place place) {
    auto& points = scene.mesh.points;
    const auto base = static_cast<std::int32_t>(points.size());
    for (int j = 0; j <= ny; ++j) {
        for (int i = 0; i <= nx; ++i) {
            points.push_back(place(i, j));
        }
    }
    addGridQuads(scene.mesh, base, nx, ny, flip);
}

/// Makes room for grids of `sizes` (nx, ny) quads each, so that adding them moves nothing.
void reserveGrids(Scene& scene, std::initializer_list<std::pair<int, int>> sizes, int copies = 1) {
    std::size_t points = 0;
    std::size_t quads = 0;
    for (const auto& [nx, ny] : sizes) {
        if (nx > 0 && ny > 0) {
            points += static_cast<std::size_t>(nx + 1) * static_cast<std::size_t>(ny + 1);
            quads += static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);
        }
    }
    scene.mesh.points.reserve(points * static_cast<std::size_t>(copies));
    scene.mesh.polygons.reserve(quads * static_cast<std::size_t>(copies));
}

}  // namespace

void addGridQuads(standin::Mesh& mesh, std::int32_t base, int nx, int ny, bool flip,
                  std::size_t maxPolygons) {
    for (int j = 0; j < ny && mesh.polygons.size() < maxPolygons; ++j) {
        for (int i = 0; i < nx && mesh.polygons.size() < maxPolygons; ++i) {
            const std::int32_t a = base + j * (nx + 1) + i;
            const std::int32_t b = a + 1;
            const std::int32_t c = a + nx + 2;
            const std::int32_t d = a + nx + 1;
            Polygon quad;
            quad.points = flip ? std::vector<std::int32_t>{a, d, c, b}
                               : std::vector<std::int32_t>{a, b, c, d};
            mesh.polygons.push_back(std::move(quad));
        }
    }
}

Scene facingGrids(int nx, int ny, double gap, int shrink, double shift) {
    Scene scene;
    reserveGrids(scene, {{nx, ny}, {nx - shrink, ny - shrink}});
    addGrid(scene, nx, ny, false, [](int i, int j) { return Point{double(i), double(j), 0.0}; });
    addGrid(scene, nx - shrink, ny - shrink, true, [=](int i, int j) {
        return Point{i + shift, j + shift, gap};
    });
    return scene;
}

Scene curvedPatches(int nx, int ny, double noise, std::uint64_t seed) {
    Scene scene;
    reserveGrids(scene, {{nx, ny}, {nx, ny}});
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> shake(-noise, noise);
    const double radius = 4.0 * nx;
    // The lower patch bends up at its sides, the upper one down, each along a cylinder.
    auto bent = [&](double x, double y, double z, double sign) {
        const double t = x / radius;
        return Point{radius * std::sin(t) + shake(random), y + shake(random),
                     z + sign * radius * (1.0 - std::cos(t)) + shake(random)};
    };
    addGrid(scene, nx, ny, false, [&](int i, int j) { return bent(i - nx / 2.0, j, 0.0, 1.0); });
    addGrid(scene, nx, ny, true,
            [&](int i, int j) { return bent(i - nx / 2.0, j, nx / 2.0 + 3.0, -1.0); });
    return scene;
}

Scene severalPairs(int pairs, int n) {
    Scene scene;
    reserveGrids(scene, {{n, n}, {n, n}}, std::max(pairs, 0));
    for (int k = 0; k < pairs; ++k) {
        const double x0 = k * (n + 2.0);
        addGrid(scene, n, n, false, [=](int i, int j) { return Point{x0 + i, double(j), 0.0}; });
        addGrid(scene, n, n, true, [=](int i, int j) {
            return Point{x0 + i, double(j), 2.0 + k % 3};
        });
    }
    return scene;
}

Scene manyPairs(int pairs, int n, int largePairs, int largeN) {
    Scene scene;
    pairs = std::max(pairs, 0);
    largePairs = std::max(largePairs, 0);
    reserveGrids(scene, {{n, n}, {n, n}}, pairs);
    reserveGrids(scene, {{largeN, largeN}, {largeN, largeN}}, largePairs);
    const int perRow = std::max(1, static_cast<int>(std::ceil(std::sqrt(double(pairs)))));
    const double step = n + 2.0;
    for (int k = 0; k < pairs; ++k) {
        const double x0 = step * (k % perRow);
        const double y0 = step * (k / perRow);
        const double gap = 1.0 + k % 3;
        addGrid(scene, n, n, false, [=](int i, int j) { return Point{x0 + i, y0 + j, 0.0}; });
        addGrid(scene, n, n, true, [=](int i, int j) { return Point{x0 + i, y0 + j, gap}; });
    }
    // The large pairs in a row beyond the small ones.
    const double y0 = step * ((pairs + perRow - 1) / perRow) + 2.0;
    for (int k = 0; k < largePairs; ++k) {
        const double x0 = k * (largeN + 2.0);
        addGrid(scene, largeN, largeN, false, [=](int i, int j) {
            return Point{x0 + i, y0 + j, 0.0};
        });
        addGrid(scene, largeN, largeN, true, [=](int i, int j) {
            return Point{x0 + i, y0 + j, 2.0 + k % 2};
        });
    }
    return scene;
}

Scene randomSoup(std::uint64_t seed, bool nonFinite) {
    std::mt19937_64 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<std::uint64_t>(n)); };
    Scene scene;
    // Lattice points, so that positions, distances and angles tie often.
    const int pointCount = 6 + pick(40);
    for (int i = 0; i < pointCount; ++i) {
        scene.mesh.points.push_back(Point{double(pick(4)), double(pick(4)), double(pick(3) * 2)});
    }
    if (nonFinite) {
        const double odd[] = {std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(), -0.0, 1e300, 1e-300};
        for (int k = pick(3); k > 0; --k) {
            scene.mesh.points[static_cast<std::size_t>(pick(pointCount))]
                             [static_cast<std::size_t>(pick(3))] = odd[pick(5)];
        }
    }
    const int polygonCount = 2 + pick(30);
    const LWID types[] = {kTypeFace, kTypeFace, kTypeFace, kTypePatch, LWID_('C', 'U', 'R', 'V')};
    for (int j = 0; j < polygonCount; ++j) {
        Polygon polygon;
        if (j > 0 && pick(8) == 0) {
            polygon = scene.mesh.polygons[static_cast<std::size_t>(pick(j))];  // a duplicate
            if (pick(2) == 0) {
                std::reverse(polygon.points.begin(), polygon.points.end());
            }
        } else {
            const int size = pick(10) == 0 ? pick(3) : 3 + pick(3);
            for (int k = 0; k < size; ++k) {
                polygon.points.push_back(pick(pointCount));
            }
            polygon.type = types[pick(5)];
            polygon.flags = pick(7) == 0 ? 0 : (pick(3) == 0 ? 3 : 1);
            if (pick(4) == 0) {
                const double up = pick(2) == 0 ? 1.0 : -1.0;
                Point normal{0.0, 0.0, up};
                if (pick(5) == 0) {
                    normal = Point{0.0, 0.0, 0.0};
                } else if (nonFinite && pick(5) == 0) {
                    normal[static_cast<std::size_t>(pick(3))] =
                        std::numeric_limits<double>::quiet_NaN();
                }
                polygon.normal = normal;
            }
        }
        scene.mesh.polygons.push_back(std::move(polygon));
    }
    if (pick(6) == 0) {
        scene.host.polyCount = pick(polygonCount + 3);
    }
    if (pick(10) == 0) {
        scene.host.addFace = false;
    }
    return scene;
}

void shufflePolygons(Scene& scene, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::shuffle(scene.mesh.polygons.begin(), scene.mesh.polygons.end(), random);
}

}  // namespace tarvel::scenes
