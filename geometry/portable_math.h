#pragma once

// Sine, cosine, arc tangent and arc cosine that give the same bits on every platform. Which
// polygons pair and which points link is decided by exact comparisons of values computed from
// these functions, and the C libraries disagree in the last bits (MinGW's x87 sin/cos/atan2,
// msvcrt's acos against glibc), so the module carries its own. They are ports of musl's libm
// (itself FreeBSD msun, from Sun's fdlibm) using only IEEE-754 double + - * /, sqrt and bit
// manipulation: with SSE2 doubles and no fused multiply-add every build rounds every step alike.
// sin, cos and acos are within 1 ulp of the exact value, atan2 (which rounds y/x first) within
// about 1.5 ulps: fdlibm's accuracy.

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvel {

/// Square root, correctly rounded (IEEE-754), NaN for a negative or NaN x. With SSE2 this is
/// the processor's sqrtsd. The C library's sqrt is not always that: MinGW's is the x87 fsqrt,
/// which rounds to extended precision and then to double, and is off in the last bit for some
/// inputs; the compiler inlines sqrtsd only when it optimises.
inline double portableSqrt(double x) {
#if defined(__SSE2__)
    const __m128d v = _mm_set_sd(x);
    return _mm_cvtsd_f64(_mm_sqrt_sd(v, v));
#else
    return std::sqrt(x);
#endif
}

/// Sine of x radians, for every finite x (huge arguments are reduced exactly). NaN for an
/// infinite or NaN x; keeps the sign of a zero.
double portableSin(double x);

/// Cosine of x radians, for every finite x. NaN for an infinite or NaN x.
double portableCos(double x);

/// Angle in radians, in [-pi, pi], from the +x axis to the point (x, y), with the C99 special
/// cases: atan2(+-0, +x) = +-0, atan2(+-0, -x) = +-pi (so the sign of a zero y picks the side),
/// atan2(y, +-0) = +-pi/2 for y != 0, the infinite cases as C99 lists them; NaN if either is NaN.
double portableAtan2(double y, double x);

/// Arc cosine in radians, in [0, pi]. NaN outside [-1, 1] or for NaN. portableAcos(-1) is the
/// double nearest pi and portableAcos(1) is 0.
double portableAcos(double x);

}  // namespace tarvel
