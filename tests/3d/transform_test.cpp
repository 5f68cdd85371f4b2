// Sine and cosine, the viewport and the object transform.
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "fixture.h"
#include "gfx/3d/cos_table.h"

namespace {

const double* const T = gx_cos_table;
constexpr double PI = 3.14159265358979323846;

// Entry i is cos(i / 10 degrees) within two ulps of the library's value
// (sin((900 - i) / 10 degrees) above 45, where the cosine's argument error
// would count); cos 60 is 0.5 exactly and cos 90 is +0.
TEST(CosTable, NearestDoublesOfTheCosine) {
    for (int i = 0; i <= 900; ++i) {
        const double c = i > 450 ? std::sin((900 - i) * PI / 1800) : std::cos(i * PI / 1800);
        EXPECT_LE(std::fabs(T[i] - c), 2 * (std::nextafter(c, 2.0) - c)) << i;
    }
    EXPECT_TRUE(T[600] == 0.5 && T[900] == 0 && !std::signbit(T[900]));
}

// Quarter turns, one angle per quadrant, and the reduction of negative and
// large angles: 2147483647 = 596523 * 3600 + 847, -2147483648 = -596524 *
// 3600 + 2752. Whole positive turns stay at 3600: cosine 1, sine -0.0 (the
// sign of a zero sine is the fourth column).
TEST(CosSin, HandWorkedAngles) {
    // clang-format off
    const double cases[][4] = {
        {0, 1, 0, 1}, {900, 0, 1, 1}, {1800, -1, 0, 1}, {2700, 0, -1, 1}, {-3600, 1, 0, 1},
        {3600, 1, 0, -1}, {7200, 1, 0, -1}, {300, T[300], 0.5, 1}, {1200, -0.5, T[300], 1},
        {2100, -T[300], -0.5, 1}, {3000, 0.5, -T[300], 1}, {-1, T[1], -T[899], 1},
        {3601, T[1], T[899], 1}, {INT32_MAX, T[847], T[53], 1}, {INT32_MIN, T[848], -T[52], 1}};
    // clang-format on
    for (const auto& e : cases) {
        double c = 9, s = 9;
        EXPECT_EQ(gx_cos_sin(static_cast<int32_t>(e[0]), &c, &s), 0);
        EXPECT_TRUE(c == e[1] && s == e[2] &&
                    std::copysign(1.0, s) == (s == 0 ? e[3] : std::copysign(1.0, e[2])))
            << e[0];
    }
}

// Every angle of the turn against its mirror, its quarter-turn neighbour and
// the same angle one turn back.
TEST(CosSin, QuadrantsAgreeWithEachOther) {
    double c, s, c2, s2;
    for (int32_t a = 1; a < 3600; ++a) {
        gx_cos_sin(a, &c, &s);
        gx_cos_sin(3600 - a, &c2, &s2);
        ASSERT_TRUE(c == c2 && s == -s2) << a;
        gx_cos_sin(a + 900, &c2, &s2);
        ASSERT_EQ(c, s2) << a;
        gx_cos_sin(a - 3600, &c2, &s2);
        ASSERT_TRUE(c == c2 && s == s2) << a;
    }
}

// The centre is the first bound plus half the width, rounded down; all in 64 bits.
TEST(View, ScalesAndCentresWithoutOverflow) {
    // x1, x2, y1, y2, factor; scale, centre x, centre y
    // clang-format off
    const double cases[][8] = {
        {0, 639, 0, 479, 0.5, 320, 320, 240}, {0, 640, 0, 479, 0.5, 320.5, 320, 240},
        {10, 20, 100, 102, 1, 11, 15, 101},  // widths 11 and 3
        {INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, 1, 4294967296.0, 0, 0},
        {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, 1, 1, INT32_MAX, INT32_MIN},
        {10, 0, 0, 0, 1, -9, 5, 0}};  // reversed bounds: width -9
    // clang-format on
    for (const auto& e : cases) {
        const auto i = [&](int k) { return static_cast<int32_t>(e[k]); };
        EXPECT_EQ(gx_3d_viewport(i(0), i(1), i(2), i(3), e[4]), 0);
        EXPECT_TRUE(gx_state.view_scale == e[5] && gx_state.view_scale_y == -e[5] &&
                    gx_state.view_centre_x == i(6) && gx_state.view_centre_y == i(7))
            << e[0] << " " << e[1] << " " << e[2] << " " << e[3];
    }
}

using ObjectTransform = Gx3dTest;

// Each unit vector turned about x, then y, then z by std::cos and std::sin
// (column k of the rotation is where e_k lands), then moved; points through
// gx_3d_transform likewise.
TEST_F(ObjectTransform, TurnsAboutXThenYThenZAndMovesLast) {
    Vertex3 p{3.5, -2, 7}, out{};
    gx_3d_transform(&p, &out, 1);  // identity before the first call
    EXPECT_TRUE(out.x == 3.5 && out.y == -2 && out.z == 7);
    const auto turn = [](double& a, double& b, int32_t angle) {
        const double c = std::cos(angle * PI / 1800), s = std::sin(angle * PI / 1800);
        const double t = c * a - s * b;
        b = s * a + c * b;
        a = t;
    };
    const int32_t angles[][3] = {{0, 0, 0},           {900, 0, 0},       {0, 900, 0},
                                 {0, 0, 900},         {900, 900, 0},     {900, 0, 900},
                                 {0, 900, 900},       {123, 456, 789},   {3599, 1, 1800},
                                 {3600, -3600, 7200}, {-450, 1350, 2999}};
    for (const auto& a : angles) {
        SCOPED_TRACE(testing::Message() << a[0] << " " << a[1] << " " << a[2]);
        EXPECT_EQ(gx_3d_set_object(1.5, -2, 100, a[0], a[1], a[2]), 0);
        const double* m = gx_state.combined_matrix;
        EXPECT_TRUE(m[3] == 1.5 && m[7] == -2 && m[11] == 100);
        double moved[3] = {1.5, -2, 100};  // where p lands
        for (int k = 0; k < 3; ++k) {
            double e[3] = {k == 0 ? 1.0 : 0.0, k == 1 ? 1.0 : 0.0, k == 2 ? 1.0 : 0.0};
            turn(e[1], e[2], a[0]);
            turn(e[2], e[0], a[1]);
            turn(e[0], e[1], a[2]);
            for (int r = 0; r < 3; ++r) {
                EXPECT_NEAR(m[4 * r + k], e[r], 1e-15) << r << "," << k;
                moved[r] += e[r] * coord(p, k);
            }
        }
        gx_3d_transform(&p, &out, 1);
        for (int r = 0; r < 3; ++r) EXPECT_NEAR(coord(out, r), moved[r], 1e-13);
    }
    out = {7, 8, 9};  // a count of 0 writes nothing
    gx_3d_transform(&p, &out, 0);
    EXPECT_TRUE(out.x == 7 && out.y == 8 && out.z == 9);
}

TEST_F(ObjectTransform, ProductWithTheViewSummedInOrder) {
    // A view that swaps x and y, doubles z and moves by (5, 6, 7); object
    // rows (1, 0, 0, 1), (0, 0, -1, 2), (0, 1, 0, 3).
    const double view[12] = {0, 1, 0, 5, 1, 0, 0, 6, 0, 0, 2, 7};
    std::copy(view, view + 12, gx_state.view_matrix);
    gx_3d_set_object(1, 2, 3, 900, 0, 0);
    const double expected[12] = {0, 0, -1, 2 + 5, 1, 0, 0, 1 + 6, 0, 2, 0, 6 + 7};
    EXPECT_TRUE(std::equal(expected, expected + 12, gx_state.combined_matrix));
    // ((1e16 + 1) - 1e16) + 1 = 1: 1e16 + 1 rounds back to 1e16; adding the
    // translation first, ((1 + 1e16) + 1) - 1e16, would give 0.
    const double sums[12] = {1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 1, 0};
    std::copy(sums, sums + 12, gx_state.view_matrix);
    gx_3d_set_object(1e16, 1, -1e16, 0, 0, 0);
    EXPECT_EQ(gx_state.combined_matrix[3], 1.0);
    // The vertex transform sums in the same order.
    const double m[12] = {1e16, 1, -1e16, 1, 0, 1, 0, 0, 0, 0, 1, 0};
    std::copy(m, m + 12, gx_state.combined_matrix);
    const Vertex3 p{1, 1, 1};
    Vertex3 out{};
    gx_3d_transform(&p, &out, 1);
    EXPECT_EQ(out.x, 1.0);
}

}  // namespace
