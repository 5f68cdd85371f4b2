// The cosine table and gx_cos_sin.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>

#include "fixture.h"
#include "gfx/3d/cos_table.h"
#include "gfx/gfx.h"

namespace {

const double* const T = gx_cos_table;

struct CosSin {
    double c;
    double s;
};

CosSin cos_sin(int32_t angle) {
    CosSin r{99.0, 99.0};
    EXPECT_EQ(gx_cos_sin(angle, &r.c, &r.s), 0);
    return r;
}

TEST(CosTable, ExactEntries) {
    EXPECT_EQ(T[0], 1.0);
    EXPECT_EQ(T[900], 0.0);
    EXPECT_FALSE(std::signbit(T[900]));
    EXPECT_EQ(T[600], 0.5);  // cos 60 degrees; the naive cos(600 * pi / 1800) is one bit above
    // sqrt is correctly rounded and halving is exact, so these are the
    // doubles nearest to sqrt(3) / 2 and sqrt(2) / 2.
    EXPECT_EQ(T[300], std::sqrt(3.0) / 2);
    EXPECT_EQ(T[450], std::sqrt(2.0) / 2);
}

TEST(CosTable, StrictlyFallingAndPythagorean) {
    for (int i = 1; i <= 900; ++i) EXPECT_LT(T[i], T[i - 1]) << i;
    for (int i = 0; i <= 900; ++i)
        EXPECT_NEAR(T[i] * T[i] + T[900 - i] * T[900 - i], 1.0, 4 * DBL_EPSILON) << i;
}

// cos(i / 10 degrees) in extended precision by its own Taylor series (no
// library function involved): as sin((900 - i) / 10 degrees) above 45
// degrees, where the cosine's series would cancel.
long double extended_cos(int i) {
    const long double pi = 3.14159265358979323846264338327950288419716939937510L;
    const bool sine = i > 450;
    const long double x = static_cast<long double>(sine ? 900 - i : i) * pi / 1800.0L;
    const long double x2 = x * x;
    long double term = sine ? x : 1.0L;
    long double sum = 0.0L;
    for (int k = 1; k < 30; ++k) {
        sum += term;
        const long double a = sine ? 2 * k : 2 * k - 1;
        term = -term * x2 / (a * (a + 1));
    }
    return sum;
}

// Wherever the extended value lies clearly away from a rounding midpoint
// between two doubles, its nearest double must be the table's entry.
TEST(CosTable, NearestDoubleAgainstExtendedPrecision) {
    if (LDBL_MANT_DIG < 64) GTEST_SKIP() << "long double is no wider than double here";
    int checked = 0;
    for (int i = 0; i < 900; ++i) {
        const long double exact = extended_cos(i);
        const double d = static_cast<double>(exact);
        const double below = std::nextafter(d, 0.0);
        const double above = std::nextafter(d, 2.0);
        const long double gap_below = exact - (static_cast<long double>(d) + below) / 2;
        const long double gap_above = (static_cast<long double>(d) + above) / 2 - exact;
        const long double margin = exact * 0x1p-58L;
        if (std::fabs(gap_below) < margin || std::fabs(gap_above) < margin) continue;
        EXPECT_EQ(T[i], d) << "entry " << i;
        ++checked;
    }
    EXPECT_GT(checked, 820);  // only a few lie that close to a midpoint
}

// Values worked out by hand: quarter turns, one angle per quadrant, and the
// reduction of negative and large angles. 2147483647 = 596523 * 3600 + 847
// and -2147483648 = -596524 * 3600 + 2752 reduce without overflow. Whole
// positive turns stay at 3600: cosine 1, sine -0.0.
TEST(CosSin, HandWorkedAngles) {
    struct Case {
        int32_t angle;
        double c, s;
        bool zero_sine_negative;  // for a sine of 0: its sign
    };
    const Case cases[] = {{0, 1.0, 0.0, false},
                          {900, 0.0, 1.0, false},
                          {1800, -1.0, 0.0, false},
                          {2700, 0.0, -1.0, false},
                          {300, T[300], 0.5, false},
                          {1200, -0.5, T[300], false},
                          {2100, -T[300], -0.5, false},
                          {3000, 0.5, -T[300], false},
                          {-1, T[1], -T[899], false},
                          {-3600, 1.0, 0.0, false},
                          {3600, 1.0, 0.0, true},
                          {7200, 1.0, 0.0, true},
                          {3601, T[1], T[899], false},
                          {INT32_MAX, T[847], T[53], false},
                          {INT32_MIN, T[848], -T[52], false}};
    for (const Case& c : cases) {
        const CosSin r = cos_sin(c.angle);
        EXPECT_EQ(r.c, c.c) << c.angle;
        EXPECT_EQ(r.s, c.s) << c.angle;
        if (c.s == 0.0) EXPECT_EQ(std::signbit(r.s), c.zero_sine_negative) << c.angle;
    }
}

TEST(CosSin, QuadrantsAgreeWithEachOther) {
    for (int32_t a = 1; a < 3600; ++a) {
        const CosSin r = cos_sin(a);
        const CosSin mirror = cos_sin(3600 - a);
        EXPECT_EQ(r.c, mirror.c) << a;
        EXPECT_EQ(r.s, -mirror.s) << a;
        EXPECT_EQ(r.c, cos_sin(a + 900).s) << a;  // cos a = sin(a + 90 degrees)
        const CosSin minus = cos_sin(a - 3600);
        EXPECT_EQ(r.c, minus.c) << a;
        EXPECT_EQ(r.s, minus.s) << a;
    }
}

}  // namespace
