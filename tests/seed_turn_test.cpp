#include "grouping/seed_turn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace tarvel {
namespace {

bool byAngle(const Vector3& normal, const Vector3& seed) {
    return normal.angleBetween(seed) < PI / 3;
}

TEST(SeedTurnTest, decidesAsTheAngleDoesAroundSixtyDegreesAndEverywhereElse) {
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_real_distribution<double> near(-1e-8, 1e-8);
    auto vector = [&] { return Vector3(unit(random), unit(random), unit(random)); };
    std::size_t nearLimit = 0;
    for (int i = 0; i < 200000; ++i) {
        const Vector3 seed = vector();
        Vector3 normal = vector();
        if (i % 2 == 0) {
            // Turn the seed by about 60 degrees about an axis across it, give or take a few
            // times the margin, so that many cosines fall close to 0.5 on both sides.
            const double len = std::sqrt(seed.x * seed.x + seed.y * seed.y + seed.z * seed.z);
            const Vector3 s(seed.x / len, seed.y / len, seed.z / len);
            const Vector3 other = vector();
            Vector3 across(s.y * other.z - s.z * other.y, s.z * other.x - s.x * other.z,
                           s.x * other.y - s.y * other.x);
            const double acrossLen =
                std::sqrt(across.x * across.x + across.y * across.y + across.z * across.z);
            const double angle = std::acos(-1.0) / 3 + near(random);
            const double scale = 0.5 + unit(random) * unit(random) * 4.0;
            normal =
                Vector3((s.x * std::cos(angle) + across.x / acrossLen * std::sin(angle)) * scale,
                        (s.y * std::cos(angle) + across.y / acrossLen * std::sin(angle)) * scale,
                        (s.z * std::cos(angle) + across.z / acrossLen * std::sin(angle)) * scale);
            nearLimit += std::fabs(normal.angleBetween(seed) - PI / 3) < 1e-8 ? 1 : 0;
        }
        ASSERT_EQ(SeedTurn(seed).within(normal), byAngle(normal, seed))
            << i << ": " << normal.x << ' ' << normal.y << ' ' << normal.z;
    }
    EXPECT_GT(nearLimit, 50000u);  // the sweep did reach the limit

    // Cosines a few units in the last place around 0.5, where the arc cosine decides, and
    // around the ends of the margin within which it is taken.
    const Vector3 up(0, 0, 1);
    for (const double centre : {0.5, 0.5 + 1e-9, 0.5 - 1e-9}) {
        double c = centre;
        for (int k = 0; k < 3000; ++k) {
            c = std::nextafter(c, 0.0);
        }
        for (int k = 0; k < 6000; ++k, c = std::nextafter(c, 1.0)) {
            const Vector3 normal(std::sqrt(1.0 - c * c), 0.0, c);
            ASSERT_EQ(SeedTurn(up).within(normal), byAngle(normal, up)) << c;
            ASSERT_EQ(SeedTurn(normal).within(up), byAngle(up, normal)) << c;
        }
    }

    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Vector3> odd{{0, 0, 0},
                                   {0, 0, 1},
                                   {0, 0, -1},
                                   {1e-300, 0, 0},
                                   {1e300, 1e300, 0},
                                   {inf, 0, 0},
                                   {nan, 0, 1},
                                   {0, inf, inf},
                                   {1.7320508075688774, 0, 1},
                                   {1.7320508075688865, 0, 1}};
    for (const Vector3& seed : odd) {
        for (const Vector3& normal : odd) {
            EXPECT_EQ(SeedTurn(seed).within(normal), byAngle(normal, seed))
                << seed.x << ' ' << seed.y << ' ' << seed.z << " / " << normal.x << ' ' << normal.y
                << ' ' << normal.z;
        }
    }
}

}  // namespace
}  // namespace tarvel
