#include <gtest/gtest.h>

#include <cmath>

#include "geometry/align_frame.h"
#include "geometry/vector3.h"

namespace tarvel {
namespace {

const double kPi = std::acos(-1.0);  // the library's pi, as acos and atan2 give it

AlignFrame frameOf(Vector3 normal) {
    AlignFrame f = AlignFrame::fromNormal(normal);
    f.computeAngles();
    return f;
}

Vector3 carried(const AlignFrame& f, Vector3 p, Vector3 origin = {}) {
    f.transformPoints(&p, origin, 1);
    return p;
}

TEST(AlignFrameTest, axesAreCrossProducts) {
    AlignFrame up = AlignFrame::fromNormal({0, 0, 1});
    EXPECT_EQ(up.xAxis, Vector3(1, 0, 0));
    EXPECT_EQ(up.yAxis, Vector3(0, 1, 0));
    AlignFrame tie = AlignFrame::fromNormal({1, 1, 0});  // 45 degrees from Y: first branch
    EXPECT_EQ(tie.xAxis, Vector3(0, 0, -1));
    EXPECT_EQ(tie.yAxis, Vector3(-1, 1, 0));
    AlignFrame alongY = AlignFrame::fromNormal({0, 1, 0});
    EXPECT_EQ(alongY.yAxis, Vector3(0, 0, -1));
    EXPECT_EQ(alongY.xAxis, Vector3(1, 0, 0));
    AlignFrame longX = AlignFrame::fromNormal({2, 0, 0});  // not normalised
    EXPECT_EQ(longX.xAxis, Vector3(0, 0, -2));
    EXPECT_EQ(longX.yAxis, Vector3(0, 4, 0));
}

TEST(AlignFrameTest, upwardNormalOnlyShiftsByTheOrigin) {
    const AlignFrame f = frameOf({0, 0, 1});
    EXPECT_EQ(f.angleX, 0.0);
    EXPECT_EQ(f.angleY, 0.0);
    EXPECT_EQ(f.angleZ, 0.0);
    EXPECT_EQ(carried(f, {3, 4, 5}, {1, 1, 1}), Vector3(2, 3, 4));
}

TEST(AlignFrameTest, downwardNormalTurnsHalfWayRoundY) {
    // The shortcut (N.z, 0, -N.x) would give a z of -0.0 and an angle of -pi here.
    const AlignFrame f = frameOf({0, 0, -1});
    EXPECT_EQ(f.angleY, kPi);
    const Vector3 x = carried(f, {1, 0, 0});
    EXPECT_EQ(x.x, -1.0);
    EXPECT_NEAR(x.z, 0.0, 1e-14);
    const Vector3 n = carried(f, {0, 0, -1});
    EXPECT_NEAR(n.x, 0.0, 1e-14);
    EXPECT_EQ(n.z, 1.0);
}

TEST(AlignFrameTest, normalAlongYIsCarriedOntoZ) {
    const AlignFrame f = frameOf({0, 1, 0});
    const Vector3 n = carried(f, {0, 1, 0});
    EXPECT_NEAR(n.y, 0.0, 1e-14);
    EXPECT_NEAR(n.z, 1.0, 1e-14);
    const Vector3 y = carried(f, {0, 0, -1});
    EXPECT_NEAR(y.y, 1.0, 1e-14);
    EXPECT_NEAR(y.z, 0.0, 1e-14);
}

TEST(AlignFrameTest, anyNormalEndsOnPlusZAtItsLength) {
    const Vector3 origin(0.5, -2, 3);
    for (int i = 0; i < 200; ++i) {
        const double t = i * 0.37;
        const Vector3 n(std::sin(t) * 3, std::cos(t * 1.7) * 2, std::sin(t * 0.3) - 0.2);
        const double length = std::sqrt(dot(n, n));
        const Vector3 p = carried(frameOf(n), origin + n, origin);
        EXPECT_NEAR(p.x, 0.0, 1e-12) << i;
        EXPECT_NEAR(p.y, 0.0, 1e-12) << i;
        EXPECT_NEAR(p.z, length, 1e-12) << i;
        EXPECT_LT(carried(frameOf(n), origin - n, origin).z, 0.0) << i;
    }
}

TEST(AlignFrameTest, zeroCountChangesNothing) {
    Vector3 p(1, 2, 3);
    frameOf({1, 0, 0}).transformPoints(&p, {5, 5, 5}, 0);
    EXPECT_EQ(p, Vector3(1, 2, 3));
}

}  // namespace
}  // namespace tarvel
