#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "geometry/vector3.h"

namespace tarvel {
namespace {

const double kPi = std::acos(-1.0);  // the library's pi, as acos and atan2 give it

TEST(VectorTest, piIsSixteenUlpsAboveTheNearestDouble) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(PI), 0x400921FB54442D28u);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(PI) - std::bit_cast<std::uint64_t>(kPi), 16u);
}

TEST(VectorTest, divisionByExactZeroGivesTheZeroVector) {
    const Vector3 q = Vector3(1, 2, 3) / 0.0;
    EXPECT_EQ(q, Vector3());
    EXPECT_EQ(Vector3(1, 2, 3) / -0.0, Vector3());
    EXPECT_EQ(Vector3(2, 4, 6) / 2.0, Vector3(1, 2, 3));
}

TEST(AngleBetweenTest, roundedCosinesAreClampedAtBothEnds) {
    EXPECT_EQ(Vector3(1, 1, 1).angleBetween({1, 1, 1}), 0.0);
    // The cosine of these opposite vectors rounds below -1: the result is pi, not NaN.
    EXPECT_EQ(Vector3(1, 1, 1).angleBetween({-1, -1, -1}), kPi);
    EXPECT_EQ(Vector3(1, 0, 0).angleBetween({-1, 0, 0}), kPi);
    EXPECT_EQ(Vector3(2, 0, 0).angleBetween({0, 0, 5}), kPi / 2);
}

TEST(AngleBetweenTest, aZeroVectorIsParallelToEverything) {
    EXPECT_EQ(Vector3().angleBetween({0, -1, 0}), 0.0);
    EXPECT_EQ(Vector3(0, -1, 0).angleBetween({}), 0.0);
}

TEST(PolarAngleTest, growsClockwiseFromPlusY) {
    EXPECT_EQ(polarAngle({0, 1, 7}), 0.0);
    EXPECT_EQ(polarAngle({1, 0, 7}), kPi / 2);
    EXPECT_EQ(polarAngle({0, -1, 7}), kPi);
    EXPECT_EQ(polarAngle({-1, 0, 7}), 2.0 * PI - kPi / 2);
}

TEST(PolarAngleTest, signOfZeroAndTheTopOfTheRange) {
    EXPECT_EQ(polarAngle({-1e-20, 1, 0}), 2.0 * PI);
    EXPECT_EQ(polarAngle({-0.0, 1, 0}), 0.0);
    EXPECT_TRUE(std::isnan(polarAngle({0, 0, 3})));
}

TEST(RotationTest, turnsByMinusTheAngle) {
    const Vector3 z = Vector3(1, 0, 0).rotateAboutZ(PI / 2);
    EXPECT_NEAR(z.x, 0.0, 1e-14);
    EXPECT_EQ(z.y, -1.0);
    const Vector3 y = Vector3(0, 0, 1).rotateAboutY(PI / 2);
    EXPECT_EQ(y.x, -1.0);
    EXPECT_NEAR(y.z, 0.0, 1e-14);
    const Vector3 x = Vector3(0, 1, 0).rotateAboutX(PI / 2);
    EXPECT_NEAR(x.y, 0.0, 1e-14);
    EXPECT_EQ(x.z, -1.0);
}

TEST(RotationTest, zeroAngleKeepsTheSignOfZero) {
    const Vector3 p(-0.0, 2, -0.0);
    EXPECT_TRUE(std::signbit(p.rotateAboutX(0.0).x));
    EXPECT_TRUE(std::signbit(p.rotateAboutZ(-0.0).z));
}

}  // namespace
}  // namespace tarvel
