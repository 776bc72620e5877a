// The frame transform, with its sines and cosines worked out once, against the frame's own
// transformation of points.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "geometry/align_frame.h"
#include "geometry/frame_transform.h"

namespace tarvel {
namespace {

TEST(FrameTransformTest, matchesTheFrameBitForBit) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> any(-3, 3);
    std::vector<Vector3> normals{{0, 0, 1},  {0, 0, -1},    {0, 1, 0}, {0, -1, 0}, {1, 0, 0},
                                 {-1, 0, 0}, {-0.0, 0, -1}, {1, 1, 0}, {0, 0, 0},  {1e-300, 0, 1}};
    for (int i = 0; i < 300; ++i) {
        normals.push_back({any(random), any(random), any(random)});
    }
    for (const Vector3& n : normals) {
        AlignFrame frame = AlignFrame::fromNormal(n);
        frame.computeAngles();
        const FrameTransform fast(frame);
        for (int k = 0; k < 20; ++k) {
            Vector3 p(any(random), any(random), any(random));
            const Vector3 origin =
                k % 3 == 0 ? Vector3() : Vector3(any(random), any(random), any(random));
            const Vector3 q = fast.apply(p, origin);
            frame.transformPoints(&p, origin, 1);
            EXPECT_EQ(std::signbit(p.x), std::signbit(q.x));
            EXPECT_EQ(p, q) << n.x << " " << n.y << " " << n.z;
        }
    }
}

}  // namespace
}  // namespace tarvel
