#include "geometry/frame_transform.h"

#include "geometry/portable_math.h"

namespace tarvel {

// The rotation primitives turn by minus their argument, and the transform passes minus each
// angle, so the sines and cosines are those of the angles themselves. A rotation about X or Z
// by an angle equal to 0.0 is skipped, as the primitives skip it.
FrameTransform::FrameTransform(const AlignFrame& frame)
    : sY_(portableSin(frame.angleY)),
      cY_(portableCos(frame.angleY)),
      sZ_(portableSin(frame.angleZ)),
      cZ_(portableCos(frame.angleZ)),
      sX_(portableSin(frame.angleX)),
      cX_(portableCos(frame.angleX)),
      turnZ_(frame.angleZ != 0.0),
      turnX_(frame.angleX != 0.0) {}

Vector3 FrameTransform::apply(Vector3 p, const Vector3& origin) const {
    if (origin.x != 0.0 || origin.y != 0.0 || origin.z != 0.0) {
        p = p - origin;
    }
    p = {sY_ * p.z + cY_ * p.x, p.y, cY_ * p.z - sY_ * p.x};
    if (turnZ_) {
        p = {cZ_ * p.x - sZ_ * p.y, sZ_ * p.x + cZ_ * p.y, p.z};
    }
    if (turnX_) {
        p = {p.x, cX_ * p.y - sX_ * p.z, sX_ * p.y + cX_ * p.z};
    }
    return p;
}

}  // namespace tarvel
