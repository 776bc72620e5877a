#include "geometry/portable_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <utility>

namespace tarvel {
namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kPi = std::bit_cast<double>(std::uint64_t{0x400921FB54442D18});  // nearest pi
const double kHalfPi = std::bit_cast<double>(std::uint64_t{0x3FF921FB54442D18});

std::uint64_t bitsOf(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

// Same bits (so +0 and -0 differ), or both NaN whatever their payload.
::testing::AssertionResult sameResult(double actual, double expected) {
    if ((std::isnan(actual) && std::isnan(expected)) || bitsOf(actual) == bitsOf(expected)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << std::hexfloat << actual << " instead of " << expected;
}

// Doubles between a and b, counting across zero; both finite.
std::uint64_t ulpDistance(double a, double b) {
    const auto ordered = [](double x) {
        const std::int64_t i = std::bit_cast<std::int64_t>(x);
        return i < 0 ? std::numeric_limits<std::int64_t>::min() - i : i;
    };
    const std::int64_t ia = ordered(a);
    const std::int64_t ib = ordered(b);
    return ia >= ib ? static_cast<std::uint64_t>(ia) - static_cast<std::uint64_t>(ib)
                    : static_cast<std::uint64_t>(ib) - static_cast<std::uint64_t>(ia);
}

TEST(PortableMathTest, sineAndCosineKeepSignedZerosAndAreNaNForInfinityAndNaN) {
    EXPECT_TRUE(sameResult(portableSin(0.0), 0.0));
    EXPECT_TRUE(sameResult(portableSin(-0.0), -0.0));
    EXPECT_TRUE(sameResult(portableSin(-1e-300), -1e-300));
    EXPECT_TRUE(sameResult(portableCos(-0.0), 1.0));
    EXPECT_TRUE(sameResult(portableCos(1e-300), 1.0));
    for (const double x : {kInf, -kInf, kNaN}) {
        EXPECT_TRUE(std::isnan(portableSin(x))) << x;
        EXPECT_TRUE(std::isnan(portableCos(x))) << x;
    }
}

TEST(PortableMathTest, arcCosineHitsBothEndsExactlyAndIsNaNBeyondThem) {
    // Other tests take std::acos(-1.0) as the module's pi: the two must be the same double.
    EXPECT_EQ(bitsOf(portableAcos(-1.0)), 0x400921FB54442D18u);
    EXPECT_TRUE(sameResult(portableAcos(-1.0), std::acos(-1.0)));
    EXPECT_TRUE(sameResult(portableAcos(1.0), 0.0));
    EXPECT_TRUE(sameResult(portableAcos(0.0), kHalfPi));
    EXPECT_TRUE(sameResult(portableAcos(-0.0), kHalfPi));
    for (const double x :
         {std::nextafter(1.0, 2.0), std::nextafter(-1.0, -2.0), kInf, -kInf, kNaN}) {
        EXPECT_TRUE(std::isnan(portableAcos(x))) << x;
    }
}

TEST(PortableMathTest, arcTangentOfTwoFollowsTheC99SpecialCases) {
    struct Case {
        double y, x, expected;
    };
    const Case cases[] = {
        {0.0, 1.0, 0.0},
        {-0.0, 1.0, -0.0},
        {0.0, 0.0, 0.0},
        {-0.0, 0.0, -0.0},
        {0.0, -1.0, kPi},
        {-0.0, -1.0, -kPi},
        {0.0, -0.0, kPi},
        {-0.0, -0.0, -kPi},
        {1.0, 0.0, kHalfPi},
        {1.0, -0.0, kHalfPi},
        {-1.0, 0.0, -kHalfPi},
        {-1.0, -0.0, -kHalfPi},
        {1.0, kInf, 0.0},
        {-1.0, kInf, -0.0},
        {1.0, -kInf, kPi},
        {-1.0, -kInf, -kPi},
        {kInf, 5.0, kHalfPi},
        {-kInf, -5.0, -kHalfPi},
        {kInf, kInf, kPi / 4},
        {-kInf, kInf, -kPi / 4},
        // One per quadrant: 3 pi / 4 rounds to 0x4002D97C7F3321D2.
        {1.0, 1.0, kPi / 4},
        {-1.0, 1.0, -kPi / 4},
        {1.0, -1.0, std::bit_cast<double>(std::uint64_t{0x4002D97C7F3321D2})},
        {-1.0, -1.0, -std::bit_cast<double>(std::uint64_t{0x4002D97C7F3321D2})},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(sameResult(portableAtan2(c.y, c.x), c.expected)) << c.y << ", " << c.x;
    }
    // Every pairing of zeros, extreme magnitudes, infinities and NaN gives the C library's bits.
    const double values[] = {0.0,   -0.0,   1e-310, -1e-310, 1.0, -1.0,
                             1e300, -1e300, kInf,   -kInf,   kNaN};
    for (const double y : values) {
        for (const double x : values) {
            EXPECT_TRUE(sameResult(portableAtan2(y, x), std::atan2(y, x))) << y << ", " << x;
        }
    }
}

// Compares with glibc's functions, which over these ranges are within about half an ulp of the
// exact values (not at the worst cases of reduction, pinned below). The ports are within an ulp
// (atan2, which rounds y/x first, within about 1.5, so that one input in tens of millions is 2 ulps
// from glibc): over these samples none may be further than 1 ulp.
class LibraryComparison {
public:
    explicit LibraryComparison(std::string name) : name_(std::move(name)) {}

    void add(double mine, double library, double input) {
        const std::uint64_t distance = ulpDistance(mine, library);
        ++count_;
        differing_ += distance != 0 ? 1 : 0;
        if (distance > worst_) {
            worst_ = distance;
            worstInput_ = input;
        }
    }

    void report() const {
        std::printf("[ ulps     ] %s: %ld of %ld differ from the C library, worst by %llu ulp\n",
                    name_.c_str(), differing_, count_, static_cast<unsigned long long>(worst_));
        EXPECT_LE(worst_, 1u) << name_ << " at " << std::hexfloat << worstInput_;
    }

private:
    std::string name_;
    long count_ = 0;
    long differing_ = 0;
    std::uint64_t worst_ = 0;
    double worstInput_ = 0.0;
};

class RandomDoubles {
public:
    /// Uniform in [lo, hi).
    double uniform(double lo, double hi) {
        return lo + (hi - lo) * std::ldexp(static_cast<double>(engine_() >> 11), -53);
    }
    /// A value of random sign and mantissa times 2^e for e uniform in [minExp, maxExp].
    double scaled(int minExp, int maxExp) {
        const double mantissa = uniform(-1.0, 1.0);
        return std::ldexp(mantissa, minExp + static_cast<int>(engine_() % (maxExp - minExp + 1)));
    }

private:
    std::mt19937_64 engine_{20240611};
};

// The residual x - r*r of a square root within an ulp is exact in a double (fma computes it
// without rounding), so correct rounding is checked without trusting any library's sqrt: x must
// lie between (r - below/2)^2 and (r + above/2)^2. Residual and bounds share the grid of
// r's ulp squared; the bounds' quarter-grid term only rounds them onto it, so <= and > are
// exact tests.
TEST(PortableMathTest, squareRootIsCorrectlyRoundedAndKeepsSpecialValues) {
    EXPECT_TRUE(sameResult(portableSqrt(-0.0), -0.0));
    EXPECT_TRUE(sameResult(portableSqrt(0.0), 0.0));
    EXPECT_TRUE(sameResult(portableSqrt(kInf), kInf));
    EXPECT_TRUE(sameResult(portableSqrt(4.0), 2.0));
    EXPECT_TRUE(sameResult(portableSqrt(0x1p-1074), 0x1p-537));
    for (const double x : {-1.0, -1e-310, -kInf, kNaN}) {
        EXPECT_TRUE(std::isnan(portableSqrt(x))) << x;
    }
    RandomDoubles random;
    int wrong = 0;
    for (int i = 0; i < 400000 && wrong < 5; ++i) {
        const double x = std::fabs(random.scaled(-400, 400));
        const double r = portableSqrt(x);
        const double below = r - std::nextafter(r, 0.0);  // the lower gap halves at a power of 2
        const double above = std::nextafter(r, kInf) - r;
        const double residual = std::fma(-r, r, x);
        const bool low = residual <= -r * below + below * below / 4;
        const bool high = residual > r * above + above * above / 4;
        if (low || high) {
            ++wrong;
            ADD_FAILURE() << "sqrt(" << std::hexfloat << x << ") gave " << r;
        }
    }
}

TEST(PortableMathTest, sineAndCosineAreWithinOneUlpOfTheCLibrary) {
    RandomDoubles random;
    LibraryComparison sine("sin, angles in [-4, 4]");
    LibraryComparison cosine("cos, angles in [-4, 4]");
    for (int i = 0; i < 200000; ++i) {
        const double x = random.uniform(-4.0, 4.0);
        sine.add(portableSin(x), std::sin(x), x);
        cosine.add(portableCos(x), std::cos(x), x);
    }
    // Up to 2^20 pi/2 the reduction subtracts pi/2 in up to three pieces; beyond, it multiplies by
    // as many bits of 2/pi as the exponent needs.
    LibraryComparison large("sin and cos, |x| in [4, 2^1023]");
    for (int i = 0; i < 40000; ++i) {
        const double x = random.scaled(3, 1023);
        large.add(portableSin(x), std::sin(x), x);
        large.add(portableCos(x), std::cos(x), x);
    }
    sine.report();
    cosine.report();
    large.report();
}

TEST(PortableMathTest, arcCosineIsWithinOneUlpOfTheCLibrary) {
    RandomDoubles random;
    LibraryComparison arcCos("acos, cosines in [-1, 1]");
    for (int i = 0; i < 200000; ++i) {
        const double c = random.uniform(-1.0, 1.0);
        arcCos.add(portableAcos(c), std::acos(c), c);
        // Near +-1, where nearly parallel and nearly opposite normals meet.
        const double nearEnd = std::copysign(1.0 - std::fabs(random.scaled(-60, 0)), c);
        arcCos.add(portableAcos(nearEnd), std::acos(nearEnd), nearEnd);
    }
    arcCos.report();
}

TEST(PortableMathTest, arcTangentOfTwoIsWithinOneUlpOfTheCLibrary) {
    RandomDoubles random;
    LibraryComparison model("atan2, both in [-1, 1]");
    LibraryComparison mixed("atan2, magnitudes 2^-1070 to 2^1023");
    for (int i = 0; i < 200000; ++i) {
        const double y = random.uniform(-1.0, 1.0);
        const double x = random.uniform(-1.0, 1.0);
        model.add(portableAtan2(y, x), std::atan2(y, x), y / x);
        const double yMixed = random.scaled(-1070, 1023);
        const double xMixed = random.scaled(-1070, 1023);
        mixed.add(portableAtan2(yMixed, xMixed), std::atan2(yMixed, xMixed), yMixed);
    }
    model.report();
    mixed.report();
}

// A later change of the implementation shows here first. musl 1.2.3 gives the same bits except
// where noted; glibc's differ where marked.
TEST(PortableMathTest, resultsStayBitForBit) {
    struct Pin {
        const char* what;
        double result;
        std::uint64_t bits;
    };
    const Pin pins[] = {
        {"sin of the module's PI", portableSin(3.1415926535898), 0xBCFF72CECE675D20},
        {"cos of the module's PI", portableCos(3.1415926535898), 0xBFF0000000000000},
        {"sin of the nearest pi", portableSin(kPi), 0x3CA1A62633145C07},
        {"cos of the nearest pi/2", portableCos(kHalfPi), 0x3C91A62633145C07},
        {"sin(0.5), no reduction", portableSin(0.5), 0x3FDEAEE8744B05F0},
        {"sin(-2.5), 1 ulp from glibc", portableSin(-2.5), 0xBFE326AF0DCFCAB0},
        {"cos(3.9)", portableCos(3.9), 0xBFE73AD66234C8EA},
        {"sin(1e6), medium reduction", portableSin(1.0e6), 0xBFD6664B2568D867},
        {"cos just past 17 pi/4, remainder -pi/4", portableCos(0x1.ab41b09886feap+3),
         0x3FE6A09E667F3BCA},
        // The doubles nearest a multiple of pi/2, below 2^20 pi/2 and overall (6381956970095103 *
        // 2^797): the third piece of pi/2, and more bits of 2/pi, are needed. Both are correctly
        // rounded (3000-bit arithmetic agrees); glibc is 8 ulps away on the second.
        {"cos, cancellation below 2^20 pi/2", portableCos(0x1.39c6fd67805a7p+18),
         0xBC8988EFE18FF83F},
        {"cos, cancellation of all doubles", portableCos(0x1.6ac5b262ca1ffp+849),
         0xBC214AE72E6BA22F},
        {"sin(1e22), long reduction", portableSin(1e22), 0xBFEB453AB76BF397},
        {"cos(1e300), long reduction", portableCos(1e300), 0xBFE2699022ADC4C1},
        {"acos(0.3)", portableAcos(0.3), 0x3FF441F5ECBEEF59},
        {"acos(0.7)", portableAcos(0.7), 0x3FE973E83F5D5C9B},
        {"acos(-0.7), 1 ulp from glibc", portableAcos(-0.7), 0x4002C501446CD5F2},
        {"acos(-1 + 2^-53)", portableAcos(-0.9999999999999999), 0x400921FB52442D18},
        {"atan2(3, 4)", portableAtan2(3.0, 4.0), 0x3FE4978FA3269EE1},
        // fdlibm's own error here (y/x rounded, then atan) puts it 2 ulps from glibc.
        {"atan2, 2 ulps from glibc", portableAtan2(-0x1.84f81c0d60f8p-7, 0x1.84b5abf798648p-3),
         0xBFAFFACE6E78D802},
        // |y/x| > 2^60 with x < 0 is pi/2 (fdlibm's cut-off; musl's 2^64 gives one ulp more).
        {"atan2, steep and left", portableAtan2(0x1.8fe68ff5135a6p+29, -0x1.f3be8f1e1a4ep-34),
         0x3FF921FB54442D18},
    };
    for (const Pin& pin : pins) {
        EXPECT_EQ(bitsOf(pin.result), pin.bits) << pin.what;
    }
}

}  // namespace
}  // namespace tarvel
