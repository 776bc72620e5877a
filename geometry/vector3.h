#pragma once

namespace tarvel {

/// The angle constant every angle limit is derived from: the double nearest 3.1415926535898,
/// which lies 16 units in the last place above the double nearest pi.
inline constexpr double PI = 3.1415926535898;

/// A point or direction in model units. Plain value; default construction gives (0, 0, 0).
struct Vector3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    constexpr Vector3() = default;
    constexpr Vector3(double vx, double vy, double vz) : x(vx), y(vy), z(vz) {}
    /// (v, v, v).
    constexpr explicit Vector3(double v) : x(v), y(v), z(v) {}

    constexpr Vector3& operator+=(const Vector3& o) {
        x += o.x;
        y += o.y;
        z += o.z;
        return *this;
    }

    Vector3 rotateAboutX(double angle) const;
    Vector3 rotateAboutY(double angle) const;
    Vector3 rotateAboutZ(double angle) const;

    /// Unsigned angle to `other` in radians, in [0, pi]. 0.0 when either vector has zero
    /// length; pi where rounding takes the cosine of opposite vectors below -1.
    double angleBetween(const Vector3& other) const;
};

constexpr Vector3 operator+(const Vector3& a, const Vector3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
constexpr Vector3 operator-(const Vector3& a, const Vector3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
constexpr Vector3 operator*(const Vector3& a, double s) {
    return {s * a.x, s * a.y, s * a.z};
}
constexpr Vector3 operator*(double s, const Vector3& a) {
    return a * s;
}
/// Componentwise division; a divisor of exactly 0.0 gives the zero vector, not infinities.
constexpr Vector3 operator/(const Vector3& a, double d) {
    if (d == 0.0) {
        return {};
    }
    return {a.x / d, a.y / d, a.z / d};
}
constexpr bool operator==(const Vector3& a, const Vector3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

constexpr double dot(const Vector3& a, const Vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

/// The right-handed cross product a x b.
constexpr Vector3 cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

/// Polar angle of (p.x, p.y) in radians: 0 on +y, growing towards +x, in [0, 2 PI].
/// NaN for a point at the origin of the XY plane.
double polarAngle(const Vector3& p);

}  // namespace tarvel
