#include "geometry/align_frame.h"

#include <cmath>

#include "geometry/portable_math.h"

namespace tarvel {

AlignFrame AlignFrame::fromNormal(const Vector3& normal) {
    AlignFrame frame;
    frame.zAxis = normal;
    // Build across whichever of Y and X lies farther from the normal, so the first cross
    // product never degenerates for a non-zero normal.
    if (portableSqrt(normal.x * normal.x + normal.z * normal.z) >= std::fabs(normal.y)) {
        frame.xAxis = cross(Vector3(0.0, 1.0, 0.0), normal);
        frame.yAxis = cross(normal, frame.xAxis);
    } else {
        frame.yAxis = cross(normal, Vector3(1.0, 0.0, 0.0));
        frame.xAxis = cross(frame.yAxis, normal);
    }
    return frame;
}

void AlignFrame::computeAngles() {
    angleY = portableAtan2(xAxis.z, xAxis.x);
    angleZ = -portableAtan2(xAxis.y, portableSqrt(xAxis.x * xAxis.x + xAxis.z * xAxis.z));
    const double cY = portableCos(angleY);
    const double sY = portableSin(angleY);
    const double cZ = portableCos(angleZ);
    const double sZ = portableSin(angleZ);
    // z and y of yAxis after the first two rotations; the third turns it onto +Y.
    const double u = cY * yAxis.z - sY * yAxis.x;
    const double v = sY * yAxis.z * sZ + cY * yAxis.x * sZ + cZ * yAxis.y;
    angleX = -portableAtan2(u, v);
}

void AlignFrame::transformPoints(Vector3* points, Vector3 origin, int count) const {
    const bool shifted = origin.x != 0.0 || origin.y != 0.0 || origin.z != 0.0;
    for (int i = 0; i < count; ++i) {
        Vector3 p = points[i];
        if (shifted) {
            p = p - origin;
        }
        p = p.rotateAboutY(-angleY);
        p = p.rotateAboutZ(-angleZ);
        p = p.rotateAboutX(-angleX);
        points[i] = p;
    }
}

}  // namespace tarvel
