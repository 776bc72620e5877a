#include "geometry/line_plane.h"

#include "geometry/portable_math.h"

namespace tarvel {

Vector3 intersectLinePlane(Vector3 n, Vector3 p0, Vector3 l0, Vector3 d) {
    const double den = dot(n, d);
    if (den == 0.0) {
        return Vector3(-1.0);
    }
    const double s = -(dot(n, l0) - dot(n, p0)) / den;
    return l0 + s * d;
}

double distanceToAxis(Vector3 p, Vector3 a, Vector3 d) {
    // The plane through p across the axis meets the axis at the foot of the perpendicular.
    const Vector3 foot = intersectLinePlane(d, p, a, d);
    const double dx = p.x - foot.x;
    const double dy = p.y - foot.y;
    const double dz = p.z - foot.z;
    return portableSqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace tarvel
