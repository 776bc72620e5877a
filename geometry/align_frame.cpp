#include "geometry/align_frame.h"

#include <cmath>

namespace tarvel {

AlignFrame AlignFrame::fromNormal(const Vector3& normal) {
    AlignFrame frame;
    frame.zAxis = normal;
    // Build across whichever of Y and X lies farther from the normal, so the first cross
    // product never degenerates for a non-zero normal.
    if (std::sqrt(normal.x * normal.x + normal.z * normal.z) >= std::fabs(normal.y)) {
        frame.xAxis = cross(Vector3(0.0, 1.0, 0.0), normal);
        frame.yAxis = cross(normal, frame.xAxis);
    } else {
        frame.yAxis = cross(normal, Vector3(1.0, 0.0, 0.0));
        frame.xAxis = cross(frame.yAxis, normal);
    }
    return frame;
}

void AlignFrame::computeAngles() {
    angleY = std::atan2(xAxis.z, xAxis.x);
    angleZ = -std::atan2(xAxis.y, std::sqrt(xAxis.x * xAxis.x + xAxis.z * xAxis.z));
    const double cY = std::cos(angleY);
    const double sY = std::sin(angleY);
    const double cZ = std::cos(angleZ);
    const double sZ = std::sin(angleZ);
    // z and y of yAxis after the first two rotations; the third turns it onto +Y.
    const double u = cY * yAxis.z - sY * yAxis.x;
    const double v = sY * yAxis.z * sZ + cY * yAxis.x * sZ + cZ * yAxis.y;
    angleX = -std::atan2(u, v);
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
