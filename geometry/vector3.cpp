#include "geometry/vector3.h"

#include "geometry/portable_math.h"

namespace tarvel {

// Each rotation turns the point by -angle about its axis, that is, it gives the point's
// coordinates in axes that have been turned by +angle.

Vector3 Vector3::rotateAboutX(double angle) const {
    if (angle == 0.0) {
        return *this;
    }
    const double s = portableSin(-angle);
    const double c = portableCos(-angle);
    return {x, c * y - s * z, s * y + c * z};
}

Vector3 Vector3::rotateAboutY(double angle) const {
    const double s = portableSin(-angle);
    const double c = portableCos(-angle);
    return {s * z + c * x, y, c * z - s * x};
}

Vector3 Vector3::rotateAboutZ(double angle) const {
    if (angle == 0.0) {
        return *this;
    }
    const double s = portableSin(-angle);
    const double c = portableCos(-angle);
    return {c * x - s * y, s * x + c * y, z};
}

double Vector3::angleBetween(const Vector3& other) const {
    const double lenA = portableSqrt(x * x + y * y + z * z);
    const double lenB = portableSqrt(other.x * other.x + other.y * other.y + other.z * other.z);
    if (lenA == 0.0 || lenB == 0.0) {
        return 0.0;
    }
    const double c = (x * other.x + y * other.y + z * other.z) / (lenA * lenB);
    if (c >= 1.0) {
        return 0.0;  // parallel vectors whose cosine rounded above 1
    }
    if (c < -1.0) {
        return portableAcos(-1.0);  // opposite vectors whose cosine rounded below -1
    }
    return portableAcos(c);
}

double polarAngle(const Vector3& p) {
    const double r = portableSqrt(p.x * p.x + p.y * p.y);
    double a = portableAcos(p.y / r);
    if (p.x < 0.0) {
        a = 2.0 * PI - a;
    }
    return a;
}

}  // namespace tarvel
