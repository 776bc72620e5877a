#pragma once

#include "geometry/align_frame.h"

namespace tarvel {

/// An AlignFrame's transform with the sines and cosines of its three rotations worked out once.
/// Gives bit for bit what AlignFrame::transformPoints gives for one point.
class FrameTransform {
public:
    /// `frame` must have its angles computed.
    explicit FrameTransform(const AlignFrame& frame);

    Vector3 apply(Vector3 p, const Vector3& origin) const;

private:
    double sY_, cY_, sZ_, cZ_, sX_, cX_;
    bool turnZ_, turnX_;
};

}  // namespace tarvel
