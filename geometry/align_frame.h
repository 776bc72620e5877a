#pragma once

#include "geometry/vector3.h"

namespace tarvel {

/// A local frame across a normal: carrying a point into it turns xAxis onto +X, yAxis into the
/// XY plane on its +Y side and zAxis (the normal) onto +Z. The axes are not normalised; only
/// their directions matter. A plain value that owns nothing.
struct AlignFrame {
    Vector3 xAxis;
    Vector3 yAxis;
    Vector3 zAxis;
    double angleY = 0.0;  ///< first rotation of the transform, about Y, radians
    double angleZ = 0.0;  ///< second rotation, about Z, radians
    double angleX = 0.0;  ///< third rotation, about X, radians

    /// The axes across `normal`, taken as it is; the angles stay 0 until computeAngles.
    /// A zero normal gives three zero axes.
    static AlignFrame fromNormal(const Vector3& normal);

    /// Fills the three angles from xAxis and yAxis.
    void computeAngles();

    /// Carries `count` consecutive points in place: subtract `origin`, then rotate, so that
    /// each point's z is its signed height along the normal above the plane through `origin`.
    void transformPoints(Vector3* points, Vector3 origin, int count) const;
};

}  // namespace tarvel
