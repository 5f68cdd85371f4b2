// Sine and cosine, the viewport and the object transform.
#include <algorithm>
#include <cmath>

#include "fixture.h"
#include "gfx/3d/cos_table.h"

namespace {

const double* const T = gx_cos_table;
constexpr double PI = 3.14159265358979323846;

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

// x1, x2, y1, y2, factor; scale, centre x, centre y. The centre is the first
// bound plus half the width, rounded down; all in 64 bits.
TEST(View, ScalesAndCentresWithoutOverflow) {
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

// Each point turned about x, then y, then z by std::cos and std::sin, then
// moved; the unit vectors show the rotation's columns.
TEST_F(ObjectTransform, TurnsAboutXThenYThenZAndMovesLast) {
    const Vertex3 p[4] = {{3.5, -2, 7}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Vertex3 out[4] = {};
    gx_3d_transform(p, out, 1);  // identity before the first call
    EXPECT_TRUE(out[0].x == 3.5 && out[0].y == -2 && out[0].z == 7);
    const auto turn = [](double& a, double& b, int32_t angle) {
        const double c = std::cos(angle * PI / 1800), s = std::sin(angle * PI / 1800);
        const double t = c * a - s * b;
        b = s * a + c * b;
        a = t;
    };
    const int32_t angles[][3] = {{0, 0, 0},         {900, 0, 900},   {0, 900, 900},
                                 {123, 456, 789},   {3599, 1, 1800}, {3600, -3600, 7200},
                                 {-450, 1350, 2999}};
    for (const auto& a : angles) {
        EXPECT_EQ(gx_3d_set_object(1.5, -2, 100, a[0], a[1], a[2]), 0);
        gx_3d_transform(p, out, 4);
        for (int i = 0; i < 4; ++i) {
            Vertex3 e = p[i];
            turn(e.y, e.z, a[0]), turn(e.z, e.x, a[1]), turn(e.x, e.y, a[2]);
            EXPECT_LT(std::abs(out[i].x - e.x - 1.5) + std::abs(out[i].y - e.y + 2) +
                          std::abs(out[i].z - e.z - 100),
                      1e-13)
                << a[0] << " " << a[1] << " " << a[2] << " point " << i;
        }
    }
    out[0] = {7, 8, 9};  // a count of 0 writes nothing
    gx_3d_transform(p, out, 0);
    EXPECT_TRUE(out[0].x == 7 && out[0].y == 8 && out[0].z == 9);
}

// A view that swaps x and y, doubles z and moves by (5, 6, 7), times object
// rows (1, 0, 0, 1), (0, 0, -1, 2), (0, 1, 0, 3). Then sums in order:
// ((1e16 + 1) - 1e16) + 1 = 1, where (1 + 1e16) + 1 - 1e16 would give 0.
TEST_F(ObjectTransform, ProductWithTheViewSummedInOrder) {
    const double view[12] = {0, 1, 0, 5, 1, 0, 0, 6, 0, 0, 2, 7};
    std::copy(view, view + 12, gx_state.view_matrix);
    gx_3d_set_object(1, 2, 3, 900, 0, 0);
    const double expected[12] = {0, 0, -1, 2 + 5, 1, 0, 0, 1 + 6, 0, 2, 0, 6 + 7};
    EXPECT_TRUE(std::equal(expected, expected + 12, gx_state.combined_matrix));
    const double sums[12] = {1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 1, 0};
    std::copy(sums, sums + 12, gx_state.view_matrix);
    gx_3d_set_object(1e16, 1, -1e16, 0, 0, 0);
    EXPECT_EQ(gx_state.combined_matrix[3], 1.0);
    const double m[12] = {1e16, 1, -1e16, 1, 0, 1, 0, 0, 0, 0, 1, 0};  // the vertex transform
    std::copy(m, m + 12, gx_state.combined_matrix);
    const Vertex3 p{1, 1, 1};
    Vertex3 out{};
    gx_3d_transform(&p, &out, 1);
    EXPECT_EQ(out.x, 1.0);
}

}  // namespace
