// Ported from musl libc's src/math: sin.c, cos.c, __sin.c, __cos.c, __rem_pio2.c,
// __rem_pio2_large.c, scalbn.c, atan.c, atan2.c and acos.c. musl took them from FreeBSD's msun
// (s_sin.c, s_cos.c, k_sin.c, k_cos.c, e_rem_pio2.c, k_rem_pio2.c, s_atan.c, e_atan2.c,
// e_acos.c), which took them from Sun's fdlibm. The notices of both follow.
//
// ----------------------------------------------------------------------
// Copyright © 2005-2020 Rich Felker, et al.
//
// Permission is hereby granted, free of charge, to any person obtaining
// a copy of this software and associated documentation files (the
// "Software"), to deal in the Software without restriction, including
// without limitation the rights to use, copy, modify, merge, publish,
// distribute, sublicense, and/or sell copies of the Software, and to
// permit persons to whom the Software is furnished to do so, subject to
// the following conditions:
//
// The above copyright notice and this permission notice shall be
// included in all copies or substantial portions of the Software.
//
// THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND,
// EXPRESS OR IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF
// MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT.
// IN NO EVENT SHALL THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY
// CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF CONTRACT,
// TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE
// SOFTWARE OR THE USE OR OTHER DEALINGS IN THE SOFTWARE.
// ----------------------------------------------------------------------
//
// ====================================================
// Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
//
// Developed at SunSoft, a Sun Microsystems, Inc. business.
// Permission to use, copy, modify, and distribute this
// software is freely granted, provided that this notice
// is preserved.
// ====================================================
//
// (__rem_pio2: "Optimized by Bruce D. Evans.")
//
// Changes from musl: C++ with std::bit_cast in place of the word macros; double everywhere in
// place of double_t, so no step depends on FLT_EVAL_METHOD; the FORCE_EVAL, volatile and
// "+ tiny" terms that only raise the inexact or underflow flags are gone (they never change a
// result in round-to-nearest); floor() on the non-negative values of the large reduction is a
// truncating conversion; only the double-precision path of __rem_pio2_large is kept.

#include "geometry/portable_math.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

// Every rounding step must be an IEEE double step: x87 extended precision would make the
// results depend on the compiler's register allocation (and breaks the rint trick below).
static_assert(FLT_EVAL_METHOD == 0, "build with SSE2 double arithmetic (-msse2 -mfpmath=sse)");
static_assert(std::numeric_limits<double>::is_iec559);

namespace tarvel {
namespace {

std::uint32_t highWord(double x) {
    return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(x) >> 32);
}

std::uint32_t lowWord(double x) {
    return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(x));
}

int biasedExponent(double x) {
    return static_cast<int>((highWord(x) >> 20) & 0x7ff);
}

// x * 2^n, exact unless the result overflows or is subnormal (musl's scalbn).
double scaleByPowerOfTwo(double x, int n) {
    if (n > 1023) {
        x *= 0x1p1023;
        n -= 1023;
        if (n > 1023) {
            x *= 0x1p1023;
            n -= 1023;
            if (n > 1023) {
                n = 1023;
            }
        }
    } else if (n < -1022) {
        // Scale by 2^-1022 * 2^53 at a time so that a subnormal result is rounded only once.
        x *= 0x1p-1022 * 0x1p53;
        n += 1022 - 53;
        if (n < -1022) {
            x *= 0x1p-1022 * 0x1p53;
            n += 1022 - 53;
            if (n < -1022) {
                n = -1022;
            }
        }
    }
    return x * std::bit_cast<double>(static_cast<std::uint64_t>(0x3ff + n) << 52);
}

// --- Kernels on [-pi/4, pi/4]: x is the reduced argument, y its tail. ---

// sin(x + y) by a degree-13 odd polynomial; the caller handles -0 and tiny x.
double kernelSin(double x, double y, bool hasTail) {
    const double S1 = -1.66666666666666324348e-01;  // 0xBFC55555, 0x55555549
    const double S2 = 8.33333333332248946124e-03;   // 0x3F811111, 0x1110F8A6
    const double S3 = -1.98412698298579493134e-04;  // 0xBF2A01A0, 0x19C161D5
    const double S4 = 2.75573137070700676789e-06;   // 0x3EC71DE3, 0x57B1FE7D
    const double S5 = -2.50507602534068634195e-08;  // 0xBE5AE5E6, 0x8A2B9CEB
    const double S6 = 1.58969099521155010221e-10;   // 0x3DE5D93A, 0x5ACFD57C

    const double z = x * x;
    const double w = z * z;
    const double r = S2 + z * (S3 + z * S4) + z * w * (S5 + z * S6);
    const double v = z * x;
    if (!hasTail) {
        return x + v * (S1 + z * r);
    }
    return x - ((z * (0.5 * y - v * r) - y) - v * S1);
}

// cos(x + y) by a degree-14 even polynomial, 1 - x*x/2 split so that its rounding error is kept.
double kernelCos(double x, double y) {
    const double C1 = 4.16666666666666019037e-02;   // 0x3FA55555, 0x5555554C
    const double C2 = -1.38888888888741095749e-03;  // 0xBF56C16C, 0x16C15177
    const double C3 = 2.48015872894767294178e-05;   // 0x3EFA01A0, 0x19CB1590
    const double C4 = -2.75573143513906633035e-07;  // 0xBE927E4F, 0x809C52AD
    const double C5 = 2.08757232129817482790e-09;   // 0x3E21EE9E, 0xBDB4B1C4
    const double C6 = -1.13596475577881948265e-11;  // 0xBDA8FAE9, 0xBE8838D4

    const double z = x * x;
    double w = z * z;
    const double r = z * (C1 + z * (C2 + z * C3)) + w * w * (C4 + z * (C5 + z * C6));
    const double hz = 0.5 * z;
    w = 1.0 - hz;
    return w + (((1.0 - w) - hz) + (z * r - x * y));
}

// --- Argument reduction x = n * pi/2 + (y[0] + y[1]). ---

// 2/pi in 24-bit pieces: element i holds bits 24i to 24i+23 after the binary point. 66 pieces
// reach far enough for the largest double exponent.
constexpr std::int32_t kTwoOverPi[] = {
    0xA2F983, 0x6E4E44, 0x1529FC, 0x2757D1, 0xF534DD, 0xC0DB62, 0x95993C, 0x439041, 0xFE5163,
    0xABDEBB, 0xC561B7, 0x246E3A, 0x424DD2, 0xE00649, 0x2EEA09, 0xD1921C, 0xFE1DEB, 0x1CB129,
    0xA73EE8, 0x8235F5, 0x2EBB44, 0x84E99C, 0x7026B4, 0x5F7E41, 0x3991D6, 0x398353, 0x39F49C,
    0x845F8B, 0xBDF928, 0x3B1FF8, 0x97FFDE, 0x05980F, 0xEF2F11, 0x8B5A0A, 0x6D1F6D, 0x367ECF,
    0x27CB09, 0xB74F46, 0x3F669E, 0x5FEA2D, 0x7527BA, 0xC7EBE5, 0xF17B3D, 0x0739F7, 0x8A5292,
    0xEA6BFB, 0x5FB11F, 0x8D5D08, 0x560330, 0x46FC7B, 0x6BABF0, 0xCFBC20, 0x9AF436, 0x1DA9E3,
    0x91615E, 0xE61B08, 0x659985, 0x5F14A0, 0x68408D, 0xFFD880, 0x4D7327, 0x310606, 0x1556CA,
    0x73A8C9, 0x60E27B, 0xC08C6B,
};

// pi/2 in pieces of 24 bits.
constexpr double kHalfPiPieces[] = {
    1.57079625129699707031e+00,  // 0x3FF921FB, 0x40000000
    7.54978941586159635335e-08,  // 0x3E74442D, 0x00000000
    5.39030252995776476554e-15,  // 0x3CF84698, 0x80000000
    3.28200341580791294123e-22,  // 0x3B78CC51, 0x60000000
    1.27065575308067607349e-29,  // 0x39F01B83, 0x80000000
    1.22933308981111328932e-36,  // 0x387A2520, 0x40000000
    2.73370053816464559624e-44,  // 0x36E38222, 0x80000000
    2.16741683877804819444e-51,  // 0x3569F31D, 0x00000000
};

// fdlibm's k_rem_pio2 for double precision: x[0..nx-1] are 24-bit pieces of a positive number
// whose first piece has exponent e0. Returns the last three bits of n and the remainder in
// y[0] + y[1]. Only the bits of 2/pi that can affect n mod 8 and the fraction are multiplied.
int reduceHugeByHalfPi(const double* x, double* y, int e0, int nx) {
    const std::int32_t jk = 4;  // terms of 2/pi beyond the input, two more than strictly needed
    const std::int32_t jp = jk;
    std::int32_t iq[20] = {};
    double f[20] = {};
    double fq[20] = {};
    double q[20] = {};

    const std::int32_t jx = nx - 1;
    std::int32_t jv = (e0 - 3) / 24;
    if (jv < 0) {
        jv = 0;
    }
    std::int32_t q0 = e0 - 24 * (jv + 1);

    // f[0] to f[jx + jk] hold the pieces of 2/pi that meet the input.
    std::int32_t j = jv - jx;
    const std::int32_t m = jx + jk;
    for (std::int32_t i = 0; i <= m; i++, j++) {
        f[i] = j < 0 ? 0.0 : static_cast<double>(kTwoOverPi[j]);
    }
    for (std::int32_t i = 0; i <= jk; i++) {
        double fw = 0.0;
        for (j = 0; j <= jx; j++) {
            fw += x[j] * f[jx + i - j];
        }
        q[i] = fw;
    }

    std::int32_t jz = jk;
    std::int32_t n = 0;
    std::int32_t ih = 0;
    double z = 0.0;
    for (;;) {
        // Distil q[] into 24-bit integers iq[], lowest first.
        std::int32_t i = 0;
        z = q[jz];
        for (j = jz; j > 0; i++, j--) {
            const double fw = static_cast<double>(static_cast<std::int32_t>(0x1p-24 * z));
            iq[i] = static_cast<std::int32_t>(z - 0x1p24 * fw);
            z = q[j - 1] + fw;
        }

        // n is the integer part mod 8; z keeps the fraction. z is non-negative here, so
        // truncation is floor.
        z = scaleByPowerOfTwo(z, q0);
        z -= 8.0 * static_cast<double>(static_cast<std::int64_t>(z * 0.125));
        n = static_cast<std::int32_t>(z);
        z -= static_cast<double>(n);
        ih = 0;
        if (q0 > 0) {  // the lowest bits of n sit in iq[jz - 1]
            i = iq[jz - 1] >> (24 - q0);
            n += i;
            iq[jz - 1] -= i << (24 - q0);
            ih = iq[jz - 1] >> (23 - q0);
        } else if (q0 == 0) {
            ih = iq[jz - 1] >> 23;
        } else if (z >= 0.5) {
            ih = 2;
        }

        std::int32_t carry = 0;
        if (ih > 0) {  // fraction >= 0.5: take n + 1 and the fraction 1 - q
            n += 1;
            for (i = 0; i < jz; i++) {
                j = iq[i];
                if (carry == 0) {
                    if (j != 0) {
                        carry = 1;
                        iq[i] = 0x1000000 - j;
                    }
                } else {
                    iq[i] = 0xffffff - j;
                }
            }
            if (q0 == 1) {
                iq[jz - 1] &= 0x7fffff;
            } else if (q0 == 2) {
                iq[jz - 1] &= 0x3fffff;
            }
            if (ih == 2) {
                z = 1.0 - z;
                if (carry != 0) {
                    z -= scaleByPowerOfTwo(1.0, q0);
                }
            }
        }

        // A fraction that cancelled to zero in the computed terms needs more terms of 2/pi.
        if (z != 0.0) {
            break;
        }
        j = 0;
        for (i = jz - 1; i >= jk; i--) {
            j |= iq[i];
        }
        if (j != 0) {
            break;
        }
        std::int32_t k = 1;
        while (iq[jk - k] == 0) {
            k++;
        }
        for (i = jz + 1; i <= jz + k; i++) {
            f[jx + i] = static_cast<double>(kTwoOverPi[jv + i]);
            double fw = 0.0;
            for (j = 0; j <= jx; j++) {
                fw += x[j] * f[jx + i - j];
            }
            q[i] = fw;
        }
        jz += k;
    }

    // Chop off zero terms, or break z into 24-bit pieces.
    if (z == 0.0) {
        jz -= 1;
        q0 -= 24;
        while (iq[jz] == 0) {
            jz--;
            q0 -= 24;
        }
    } else {
        z = scaleByPowerOfTwo(z, -q0);
        if (z >= 0x1p24) {
            const double fw = static_cast<double>(static_cast<std::int32_t>(0x1p-24 * z));
            iq[jz] = static_cast<std::int32_t>(z - 0x1p24 * fw);
            jz += 1;
            q0 += 24;
            iq[jz] = static_cast<std::int32_t>(fw);
        } else {
            iq[jz] = static_cast<std::int32_t>(z);
        }
    }

    double fw = scaleByPowerOfTwo(1.0, q0);
    for (std::int32_t i = jz; i >= 0; i--) {
        q[i] = fw * static_cast<double>(iq[i]);
        fw *= 0x1p-24;
    }

    // fq[] = pi/2 * q[], then the sum, highest-order last, into y[0] + y[1].
    for (std::int32_t i = jz; i >= 0; i--) {
        fw = 0.0;
        for (std::int32_t k = 0; k <= jp && k <= jz - i; k++) {
            fw += kHalfPiPieces[k] * q[i + k];
        }
        fq[jz - i] = fw;
    }
    fw = 0.0;
    for (std::int32_t i = jz; i >= 0; i--) {
        fw += fq[i];
    }
    y[0] = ih == 0 ? fw : -fw;
    fw = fq[0] - fw;
    for (std::int32_t i = 1; i <= jz; i++) {
        fw += fq[i];
    }
    y[1] = ih == 0 ? fw : -fw;
    return n & 7;
}

// pi/2 as pieces of 33 bits, each with the rest of pi/2 after it (pio2_1 + pio2_1t, ...).
const double kInvHalfPi = 6.36619772367581382433e-01;    // 0x3FE45F30, 0x6DC9C883
const double kHalfPi1 = 1.57079632673412561417e+00;      // 0x3FF921FB, 0x54400000
const double kHalfPi1Tail = 6.07710050650619224932e-11;  // 0x3DD0B461, 0x1A626331
const double kHalfPi2 = 6.07710050630396597660e-11;      // 0x3DD0B461, 0x1A600000
const double kHalfPi2Tail = 2.02226624879595063154e-21;  // 0x3BA3198A, 0x2E037073
const double kHalfPi3 = 2.02226624871116645580e-21;      // 0x3BA3198A, 0x2E000000
const double kHalfPi3Tail = 8.47842766036889956997e-32;  // 0x397B839A, 0x252049C1

// |x| near k * pi/2 for k = 1..4 and not near a multiple where the result cancels: one
// subtraction of the 33-bit piece is exact, and 85 bits of pi/2 are enough.
int reduceSmallMultiple(double x, int k, double* y) {
    const double multiple = k;
    if (x > 0.0) {
        const double z = x - multiple * kHalfPi1;
        y[0] = z - multiple * kHalfPi1Tail;
        y[1] = (z - y[0]) - multiple * kHalfPi1Tail;
        return k;
    }
    const double z = x + multiple * kHalfPi1;
    y[0] = z + multiple * kHalfPi1Tail;
    y[1] = (z - y[0]) + multiple * kHalfPi1Tail;
    return -k;
}

// |x| below 2^20 * pi/2, or near a small multiple of pi/2: n = rint(x / (pi/2)), and up to
// three rounds of subtraction, each taken only when cancellation has eaten the previous one.
int reduceMedium(double x, double* y) {
    const double toInt = 0x1.8p52;  // adding it rounds a double below 2^51 to an integer
    const double quarterPi = 0x1.921fb54442d18p-1;
    double fn = x * kInvHalfPi + toInt - toInt;
    int n = static_cast<std::int32_t>(fn);
    double r = x - fn * kHalfPi1;
    double w = fn * kHalfPi1Tail;  // good to 85 bits
    // A remainder beyond +-pi/4 (directed rounding, or x within a few ulps of an odd multiple of
    // pi/4) moves to the next multiple, as musl does; FreeBSD keeps it. Both are valid.
    if (r - w < -quarterPi) {
        n--;
        fn--;
        r = x - fn * kHalfPi1;
        w = fn * kHalfPi1Tail;
    } else if (r - w > quarterPi) {
        n++;
        fn++;
        r = x - fn * kHalfPi1;
        w = fn * kHalfPi1Tail;
    }
    y[0] = r - w;
    const int ex = biasedExponent(x);
    if (ex - biasedExponent(y[0]) > 16) {  // second round, good to 118 bits
        double t = r;
        w = fn * kHalfPi2;
        r = t - w;
        w = fn * kHalfPi2Tail - ((t - r) - w);
        y[0] = r - w;
        if (ex - biasedExponent(y[0]) > 49) {  // third round, 151 bits, covers all cases
            t = r;
            w = fn * kHalfPi3;
            r = t - w;
            w = fn * kHalfPi3Tail - ((t - r) - w);
            y[0] = r - w;
        }
    }
    y[1] = (r - y[0]) - w;
    return n;
}

// Reduces x (|x| > ~pi/4) to n * pi/2 + (y[0] + y[1]) with |y[0] + y[1]| <= ~pi/4; returns n
// (only n mod 4 matters to the callers). Infinite or NaN x gives NaN in y.
int reduceByHalfPi(double x, double* y) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    const std::uint32_t ix = static_cast<std::uint32_t>(bits >> 32) & 0x7fffffff;
    if (ix <= 0x400f6a7a) {               // |x| ~<= 5pi/4
        if ((ix & 0xfffff) == 0x921fb) {  // |x| ~= pi/2 or 2pi/2: cancellation
            return reduceMedium(x, y);
        }
        return reduceSmallMultiple(x, ix <= 0x4002d97c ? 1 : 2, y);  // split at ~3pi/4
    }
    if (ix <= 0x401c463b) {          // |x| ~<= 9pi/4
        if (ix <= 0x4015fdbc) {      // |x| ~<= 7pi/4
            if (ix == 0x4012d97c) {  // |x| ~= 3pi/2
                return reduceMedium(x, y);
            }
            return reduceSmallMultiple(x, 3, y);
        }
        if (ix == 0x401921fb) {  // |x| ~= 4pi/2
            return reduceMedium(x, y);
        }
        return reduceSmallMultiple(x, 4, y);
    }
    if (ix < 0x413921fb) {  // |x| ~< 2^20 * pi/2
        return reduceMedium(x, y);
    }
    if (ix >= 0x7ff00000) {  // infinite or NaN
        y[0] = y[1] = x - x;
        return 0;
    }
    // Break |x| into three 24-bit pieces, the first scaled to [2^23, 2^24).
    double z = std::bit_cast<double>((bits & (~std::uint64_t{0} >> 12)) |
                                     (std::uint64_t{0x3ff + 23} << 52));
    double tx[3];
    int i = 0;
    for (; i < 2; i++) {
        tx[i] = static_cast<double>(static_cast<std::int32_t>(z));
        z = (z - tx[i]) * 0x1p24;
    }
    tx[i] = z;
    while (tx[i] == 0.0) {  // the first piece is never zero
        i--;
    }
    double ty[2];
    const int n = reduceHugeByHalfPi(tx, ty, static_cast<int>(ix >> 20) - (0x3ff + 23), i + 1);
    if ((bits >> 63) != 0) {
        y[0] = -ty[0];
        y[1] = -ty[1];
        return -n;
    }
    y[0] = ty[0];
    y[1] = ty[1];
    return n;
}

// --- Inverse functions. ---

// atan(x) for finite or NaN x.
double arcTangent(double x) {
    static constexpr double atanHi[] = {
        4.63647609000806093515e-01,  // atan(0.5)hi 0x3FDDAC67, 0x0561BB4F
        7.85398163397448278999e-01,  // atan(1.0)hi 0x3FE921FB, 0x54442D18
        9.82793723247329054082e-01,  // atan(1.5)hi 0x3FEF730B, 0xD281F69B
        1.57079632679489655800e+00,  // atan(inf)hi 0x3FF921FB, 0x54442D18
    };
    static constexpr double atanLo[] = {
        2.26987774529616870924e-17,  // atan(0.5)lo 0x3C7A2B7F, 0x222F65E2
        3.06161699786838301793e-17,  // atan(1.0)lo 0x3C81A626, 0x33145C07
        1.39033110312309984516e-17,  // atan(1.5)lo 0x3C700788, 0x7AF0CBBD
        6.12323399573676603587e-17,  // atan(inf)lo 0x3C91A626, 0x33145C07
    };
    static constexpr double aT[] = {
        3.33333333333329318027e-01,   // 0x3FD55555, 0x5555550D
        -1.99999999998764832476e-01,  // 0xBFC99999, 0x9998EBC4
        1.42857142725034663711e-01,   // 0x3FC24924, 0x920083FF
        -1.11111104054623557880e-01,  // 0xBFBC71C6, 0xFE231671
        9.09088713343650656196e-02,   // 0x3FB745CD, 0xC54C206E
        -7.69187620504482999495e-02,  // 0xBFB3B0F2, 0xAF749A6D
        6.66107313738753120669e-02,   // 0x3FB10D66, 0xA0D03D51
        -5.83357013379057348645e-02,  // 0xBFADDE2D, 0x52DEFD9A
        4.97687799461593236017e-02,   // 0x3FA97B4B, 0x24760DEB
        -3.65315727442169155270e-02,  // 0xBFA2B444, 0x2C6A6C2F
        1.62858201153657823623e-02,   // 0x3F90AD3A, 0xE322DA11
    };

    const std::uint32_t hx = highWord(x);
    const bool negative = (hx >> 31) != 0;
    const std::uint32_t ix = hx & 0x7fffffff;
    if (ix >= 0x44100000) {  // |x| >= 2^66, infinite or NaN
        if (ix > 0x7ff00000 || (ix == 0x7ff00000 && lowWord(x) != 0)) {
            return x + x;
        }
        return negative ? -atanHi[3] - atanLo[3] : atanHi[3] + atanLo[3];
    }
    int id = -1;
    if (ix < 0x3fdc0000) {      // |x| < 0.4375
        if (ix < 0x3e400000) {  // |x| < 2^-27: atan x rounds to x; keeps -0
            return x;
        }
    } else {
        // Reduce to a small t with atan(|x|) = atan(c) + atan(t), c = 0.5, 1, 1.5 or inf.
        x = std::fabs(x);
        if (ix < 0x3ff30000) {      // |x| < 1.1875
            if (ix < 0x3fe60000) {  // 7/16 <= |x| < 11/16
                id = 0;
                x = (2.0 * x - 1.0) / (2.0 + x);
            } else {  // 11/16 <= |x| < 19/16
                id = 1;
                x = (x - 1.0) / (x + 1.0);
            }
        } else if (ix < 0x40038000) {  // |x| < 2.4375
            id = 2;
            x = (x - 1.5) / (1.0 + 1.5 * x);
        } else {  // 2.4375 <= |x| < 2^66
            id = 3;
            x = -1.0 / x;
        }
    }
    const double z = x * x;
    const double w = z * z;
    // The sum of aT[i] * z^(i+1) split into odd and even terms.
    const double s1 =
        z * (aT[0] + w * (aT[2] + w * (aT[4] + w * (aT[6] + w * (aT[8] + w * aT[10])))));
    const double s2 = w * (aT[1] + w * (aT[3] + w * (aT[5] + w * (aT[7] + w * aT[9]))));
    if (id < 0) {
        return x - x * (s1 + s2);
    }
    const double result = atanHi[id] - (x * (s1 + s2) - atanLo[id] - x);
    return negative ? -result : result;
}

const double kPi = 3.1415926535897931160E+00;         // 0x400921FB, 0x54442D18
const double kHalfPiHi = 1.57079632679489655800e+00;  // 0x3FF921FB, 0x54442D18
const double kHalfPiLo = 6.12323399573676603587e-17;  // 0x3C91A626, 0x33145C07

// The rational approximation of (asin(s) - s) / s^3 in z = s^2, used by acos.
double asinRatio(double z) {
    const double pS0 = 1.66666666666666657415e-01;   // 0x3FC55555, 0x55555555
    const double pS1 = -3.25565818622400915405e-01;  // 0xBFD4D612, 0x03EB6F7D
    const double pS2 = 2.01212532134862925881e-01;   // 0x3FC9C155, 0x0E884455
    const double pS3 = -4.00555345006794114027e-02;  // 0xBFA48228, 0xB5688F3B
    const double pS4 = 7.91534994289814532176e-04;   // 0x3F49EFE0, 0x7501B288
    const double pS5 = 3.47933107596021167570e-05;   // 0x3F023DE1, 0x0DFDF709
    const double qS1 = -2.40339491173441421878e+00;  // 0xC0033A27, 0x1C8A2D4B
    const double qS2 = 2.02094576023350569471e+00;   // 0x40002AE5, 0x9C598AC8
    const double qS3 = -6.88283971605453293030e-01;  // 0xBFE6066C, 0x1B8D0159
    const double qS4 = 7.70381505559019352791e-02;   // 0x3FB3B8C5, 0xB12E9282

    const double p = z * (pS0 + z * (pS1 + z * (pS2 + z * (pS3 + z * (pS4 + z * pS5)))));
    const double q = 1.0 + z * (qS1 + z * (qS2 + z * (qS3 + z * qS4)));
    return p / q;
}

}  // namespace

double portableSin(double x) {
    const std::uint32_t ix = highWord(x) & 0x7fffffff;
    if (ix <= 0x3fe921fb) {     // |x| ~<= pi/4
        if (ix < 0x3e500000) {  // |x| < 2^-26: sin x rounds to x; keeps -0
            return x;
        }
        return kernelSin(x, 0.0, false);
    }
    if (ix >= 0x7ff00000) {
        return x - x;
    }
    double y[2];
    switch (static_cast<unsigned>(reduceByHalfPi(x, y)) & 3) {
        case 0:
            return kernelSin(y[0], y[1], true);
        case 1:
            return kernelCos(y[0], y[1]);
        case 2:
            return -kernelSin(y[0], y[1], true);
        default:
            return -kernelCos(y[0], y[1]);
    }
}

double portableCos(double x) {
    const std::uint32_t ix = highWord(x) & 0x7fffffff;
    if (ix <= 0x3fe921fb) {     // |x| ~<= pi/4
        if (ix < 0x3e46a09e) {  // |x| < 2^-27 * sqrt(2): cos x rounds to 1
            return 1.0;
        }
        return kernelCos(x, 0.0);
    }
    if (ix >= 0x7ff00000) {
        return x - x;
    }
    double y[2];
    switch (static_cast<unsigned>(reduceByHalfPi(x, y)) & 3) {
        case 0:
            return kernelCos(y[0], y[1]);
        case 1:
            return -kernelSin(y[0], y[1], true);
        case 2:
            return -kernelCos(y[0], y[1]);
        default:
            return kernelSin(y[0], y[1], true);
    }
}

double portableAtan2(double y, double x) {
    const double quarterPi = 7.8539816339744827900E-01;  // 0x3FE921FB, 0x54442D18
    const double piLo = 1.2246467991473531772E-16;       // 0x3CA1A626, 0x33145C07

    const std::uint64_t xBits = std::bit_cast<std::uint64_t>(x);
    const std::uint64_t yBits = std::bit_cast<std::uint64_t>(y);
    const std::uint64_t magnitude = ~std::uint64_t{0} >> 1;
    const std::uint64_t infinityBits = 0x7ff0000000000000;
    if ((xBits & magnitude) > infinityBits || (yBits & magnitude) > infinityBits) {
        return x + y;  // NaN
    }
    if (xBits == 0x3ff0000000000000) {  // x == 1.0
        return arcTangent(y);
    }
    const std::int32_t ix = static_cast<std::int32_t>((xBits >> 32) & 0x7fffffff);
    const std::int32_t iy = static_cast<std::int32_t>((yBits >> 32) & 0x7fffffff);
    // Quadrant: bit 0 the sign of y, bit 1 the sign of x.
    int m = static_cast<int>((yBits >> 63) | ((xBits >> 62) & 2));

    if ((yBits & magnitude) == 0) {
        switch (m) {
            case 0:
            case 1:
                return y;  // atan2(+-0, +anything) = +-0
            case 2:
                return kPi;  // atan2(+0, -anything) = pi
            default:
                return -kPi;  // atan2(-0, -anything) = -pi
        }
    }
    if ((xBits & magnitude) == 0) {
        return (m & 1) != 0 ? -kHalfPiHi : kHalfPiHi;
    }
    if ((xBits & magnitude) == infinityBits) {
        if ((yBits & magnitude) == infinityBits) {
            switch (m) {
                case 0:
                    return quarterPi;
                case 1:
                    return -quarterPi;
                case 2:
                    return 3.0 * quarterPi;
                default:
                    return -3.0 * quarterPi;
            }
        }
        switch (m) {
            case 0:
                return 0.0;
            case 1:
                return -0.0;
            case 2:
                return kPi;
            default:
                return -kPi;
        }
    }
    if ((yBits & magnitude) == infinityBits) {
        return (m & 1) != 0 ? -kHalfPiHi : kHalfPiHi;
    }

    // Compare exponents before dividing, so that y/x never overflows and an x < 0 far larger
    // than y gives exactly pi.
    const std::int32_t k = (iy - ix) >> 20;
    double z = 0.0;
    if (k > 60) {  // |y/x| > 2^60
        z = kHalfPiHi + 0.5 * piLo;
        m &= 1;
    } else if ((xBits >> 63) != 0 && k < -60) {  // 0 > |y|/x > -2^-60
        z = 0.0;
    } else {
        z = arcTangent(std::fabs(y / x));
    }
    switch (m) {
        case 0:
            return z;
        case 1:
            return -z;
        case 2:
            return kPi - (z - piLo);
        default:
            return (z - piLo) - kPi;
    }
}

double portableAcos(double x) {
    const std::uint32_t hx = highWord(x);
    const bool negative = (hx >> 31) != 0;
    const std::uint32_t ix = hx & 0x7fffffff;
    if (ix >= 0x3ff00000) {  // |x| >= 1, or NaN
        if (ix == 0x3ff00000 && lowWord(x) == 0) {
            return negative ? 2.0 * kHalfPiHi : 0.0;  // acos(-1) is the double nearest pi
        }
        return 0.0 / (x - x);
    }
    if (ix < 0x3fe00000) {       // |x| < 0.5
        if (ix <= 0x3c600000) {  // |x| < 2^-57
            return kHalfPiHi;
        }
        return kHalfPiHi - (x - (kHalfPiLo - x * asinRatio(x * x)));
    }
    if (negative) {  // x < -0.5: acos(x) = pi - 2 asin(sqrt((1 + x) / 2))
        const double z = (1.0 + x) * 0.5;
        const double s = portableSqrt(z);
        const double w = asinRatio(z) * s - kHalfPiLo;
        return 2.0 * (kHalfPiHi - (s + w));
    }
    // x > 0.5: acos(x) = 2 asin(sqrt((1 - x) / 2)), with sqrt split into a 32-bit head df and
    // a correction c so that the head doubles exactly.
    const double z = (1.0 - x) * 0.5;
    const double s = portableSqrt(z);
    const double df = std::bit_cast<double>(std::bit_cast<std::uint64_t>(s) & 0xffffffff00000000);
    const double c = (z - df * df) / (s + df);
    const double w = asinRatio(z) * s + c;
    return 2.0 * (df + w);
}

}  // namespace tarvel
