#include "standin/polygon_normal.h"

#include "geometry/portable_math.h"

namespace tarvel::standin {

bool newellNormal(std::span<const std::int32_t> ids, std::span<const Point> positions,
                  Point& normal) {
    normal = {0.0, 0.0, 0.0};
    const std::size_t n = ids.size();
    if (n < 3) {
        return false;
    }
    // The order of the sums and of the operations is fixed: a plug-in's decisions may turn on
    // the last bit of a normal, and every host run must give the same bits.
    double nx = 0.0;
    double ny = 0.0;
    double nz = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const Point& a = positions[static_cast<std::size_t>(ids[i])];
        const Point& b = positions[static_cast<std::size_t>(ids[(i + 1) % n])];
        nx += (a[1] - b[1]) * (a[2] + b[2]);
        ny += (a[2] - b[2]) * (a[0] + b[0]);
        nz += (a[0] - b[0]) * (a[1] + b[1]);
    }
    // The module's own square root: the C library's is not correctly rounded everywhere.
    const double length = tarvel::portableSqrt(nx * nx + ny * ny + nz * nz);
    if (length == 0.0) {
        return false;
    }
    normal = {nx / length, ny / length, nz / length};
    return true;
}

}  // namespace tarvel::standin
