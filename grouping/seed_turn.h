#pragma once

#include "geometry/portable_math.h"
#include "geometry/vector3.h"

namespace tarvel {

/// The test a polygon must pass to join a group: its normal less than 60 degrees from the
/// seed's normal, decided for every input (zero, infinite and NaN components included) as
/// `normal.angleBetween(seedNormal) < PI / 3` decides it.
///
/// The seed's length is worked out once, by the operations angleBetween applies to it. The
/// arc cosine is taken only for a cosine within 1e-9 of 0.5: further out, an arc cosine as
/// close to the exact value as portableAcos is (one unit in the last place, about 2e-16
/// here) cannot land on the other side of PI / 3, which lies within 3e-15 of the exact angle
/// of the cosine 0.5, while the exact angles of those cosines lie more than 1e-9 from it.
class SeedTurn {
public:
    explicit SeedTurn(const Vector3& seedNormal)
        : seed_(seedNormal),
          seedLength_(portableSqrt(seedNormal.x * seedNormal.x + seedNormal.y * seedNormal.y +
                                   seedNormal.z * seedNormal.z)) {}

    bool within(const Vector3& normal) const {
        const double length =
            portableSqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
        if (length == 0.0 || seedLength_ == 0.0) {
            return true;  // no direction: the angle counts as 0
        }
        const double c =
            (normal.x * seed_.x + normal.y * seed_.y + normal.z * seed_.z) / (length * seedLength_);
        if (c > kSurelyWithin) {
            return true;
        }
        if (c < kSurelyBeyond) {
            return false;
        }
        return portableAcos(c) < kMaxTurn;  // NaN too: its angle is NaN, not below
    }

private:
    static constexpr double kMaxTurn = PI / 3;  // 60 degrees
    static constexpr double kSurelyWithin = 0.5 + 1e-9;
    static constexpr double kSurelyBeyond = 0.5 - 1e-9;

    Vector3 seed_;
    double seedLength_;
};

}  // namespace tarvel
