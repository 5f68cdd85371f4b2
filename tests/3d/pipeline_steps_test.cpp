// The pipeline's steps on their own: sine and cosine, the viewport, the object
// transform, near clipping with far rejection, and projection.
#include <algorithm>
#include <array>
#include <climits>
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
        EXPECT_TRUE(gx_cos_sin(static_cast<int32_t>(e[0]), &c, &s) == 0 && c == e[1] && s == e[2] &&
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
        const double a0 = a;
        a = c * a - s * b, b = s * a0 + c * b;
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
    Vertex3 p{1, 1, 1}, out{};
    gx_3d_transform(&p, &out, 1);
    EXPECT_EQ(out.x, 1.0);
}

using Clip = Gx3dTest;
using Project = Gx3dTest;
using Corners = std::vector<std::array<double, 5>>;  // x, y, z, u, v
constexpr double MIN = INT32_MIN, MAX = INT32_MAX;

// Clips (far plane 1000) into prefilled lists of the worst-case size.
Corners clip(const Corners& corners, double near_plane = 40) {
    gx_3d_clip_planes(near_plane, 1000);
    std::vector<Vertex3> in, out(corners.size() * 3 / 2 + 1, Vertex3{-7, -7, -7});
    std::vector<TexCoord> in_tex, out_tex(out.size(), TexCoord{-7, -7});
    for (const auto& c : corners) {
        in.push_back({c[0], c[1], c[2]});
        in_tex.push_back({static_cast<int32_t>(c[3]), static_cast<int32_t>(c[4])});
    }
    const int32_t n = gx_3d_clip(in.data(), out.data(), in_tex.data(), out_tex.data(),
                                 static_cast<uint32_t>(corners.size()));
    Corners got;
    for (int32_t i = 0; i < n; ++i)
        got.push_back({out[i].x, out[i].y, out[i].z, double(out_tex[i].u), double(out_tex[i].v)});
    return got;
}

// A vertex outside gives the crossing of the edge into it, then that of the
// edge out of it (one on the plane comes out twice, at t = 1 and t = 0);
// texture coordinates round half to even; a NaN depth or depths whose
// difference overflows (t = inf / inf) give nothing; one vertex not beyond
// the far plane keeps the polygon whole.
TEST_F(Clip, CrossingsAndFarRejection) {
    // clang-format off
    const struct { Corners in, out; double near_plane = 40; } cases[] = {
        {{}, {}}, {{{0, 0, 50, 0, 0}}, {}}, {{{0, 0, 40, 0, 0}, {1, 0, 40, 0, 0}}, {}},
        {{{0, 0, 1001, 0, 0}, {1, 0, 1001, 1, 0}, {0, 1, 1001, 0, 1}}, {}},
        {{{0, 0, 1001, 0, 0}, {1, 0, 1000, 1, 0}, {0, 1, 5000, 0, 1}},
         {{0, 0, 1001, 0, 0}, {1, 0, 1000, 1, 0}, {0, 1, 5000, 0, 1}}},
        {{{0, 0, 30, 0, 0}, {10, 0, 50, 61, 0}, {0, 10, 50, 0, 63}},  // v 31.5 -> 32, u 30.5 -> 30
         {{0, 5, 40, 0, 32}, {5, 0, 40, 30, 0}, {10, 0, 50, 61, 0}, {0, 10, 50, 0, 63}}},
        {{{0, 0, 30, 0, 0}, {10, 0, 50, -63, 0}, {0, 10, 50, 0, -61}},  // -31.5, -30.5: -32, -30
         {{0, 5, 40, 0, -30}, {5, 0, 40, -32, 0}, {10, 0, 50, -63, 0}, {0, 10, 50, 0, -61}}},
        {{{0, 0, 30, 0, 0}, {10, 0, 30, 10, 0}, {10, 10, 50, 10, 10}, {0, 10, 50, 0, 10}},
         {{0, 5, 40, 0, 5}, {10, 5, 40, 10, 5}, {10, 10, 50, 10, 10}, {0, 10, 50, 0, 10}}},
        {{{0, 0, 30, 0, 0}, {10, 0, 50, 10, 0}, {10, 10, 50, 10, 10}, {0, 10, 50, 0, 10}},
         {{0, 5, 40, 0, 5}, {5, 0, 40, 5, 0}, {10, 0, 50, 10, 0}, {10, 10, 50, 10, 10}, {0, 10, 50, 0, 10}}},
        {{{0, 0, 50, 1, 2}, {1, 1, 60, 3, 4}}, {{0, 0, 50, 1, 2}, {1, 1, 60, 3, 4}}},
        {{{0, 0, 50, 0, 0}, {5, 5, 40, 7, 9}, {10, 0, 50, 20, 0}},
         {{0, 0, 50, 0, 0}, {5, 5, 40, 7, 9}, {5, 5, 40, 7, 9}, {10, 0, 50, 20, 0}}},
        {{{0, 0, 30, 0, 0}, {1, 0, 40, 0, 0}, {0, 1, -5, 0, 0}}, {}},
        {{{0, 0, 50, 0, 0}, {1, 0, NaN, 5, 5}, {0, 1, 50, 0, 0}}, {}},
        {{{0, 0, 1.5e308, 0, 0}, {1, 0, -1.6e308, 9, 9}, {0, 1, 50, 0, 0}}, {}, -1.5e308},
        // Extreme coordinates stay in range: exact on the plane, and halfway
        // between them -2^31 + 0.5 (2^32 - 1) = -0.5 -> 0.
        {{{0, 0, 40, MIN, MAX}, {0, 0, 50, MAX, MIN}},
         {{0, 0, 40, MIN, MAX}, {0, 0, 40, MIN, MAX}, {0, 0, 50, MAX, MIN}}},
        {{{0, 0, 30, MIN, MAX}, {0, 0, 50, MAX, MIN}},
         {{0, 0, 40, 0, 0}, {0, 0, 40, 0, 0}, {0, 0, 50, MAX, MIN}}}};
    // clang-format on
    int row = 0;
    for (const auto& c : cases) EXPECT_EQ(clip(c.in, c.near_plane), c.out) << "row " << row++;
}

using XY = std::vector<std::pair<int32_t, int32_t>>;
// (x, y) of each point; (INT32_MIN, INT32_MIN) for a refused one.
XY project(std::vector<Vertex3> points, int32_t result = 0) {
    std::vector<ScreenPoint> s(points.size(), ScreenPoint{12345, 12345});
    EXPECT_EQ(gx_3d_project(points.data(), s.data(), static_cast<uint32_t>(points.size())), result);
    XY out;
    for (const ScreenPoint& p : s) out.emplace_back(p.x, p.y);
    return out;
}

// Scale 1 (-1 for y, which grows upward in camera space) around each row's
// centre: halves round to even; a point at or behind the eye, not a number,
// or beyond GX_COORD_LIMIT once the centre is added (the limit is inside) is refused.
TEST_F(Project, RoundingLimitsAndRefusals) {
    EXPECT_EQ(project({{123, -456, 7}}), (XY{{0, 0}}));  // before any viewport: the origin
    gx_3d_viewport(0, 0, 0, 0, 1.0);
    constexpr double L = GX_COORD_LIMIT;
    constexpr int32_t R = INT32_MIN, LIM = GX_COORD_LIMIT;
    // clang-format off
    const struct { int32_t cx, cy; Vertex3 p; int32_t x, y; } cases[] = {
        {0, 0, {0.5, -0.5, 1}, 0, 0}, {0, 0, {1.5, -1.5, 1}, 2, 2}, {0, 0, {2.5, -2.5, 1}, 2, 2},
        {0, 0, {-0.5, 0.5, 1}, 0, 0}, {0, 0, {-1.5, 1.5, 1}, -2, -2}, {0, 0, {-2.5, 2.5, 1}, -2, -2},
        {0, 0, {2.4999999999999996, 0, 1}, 2, 0}, {0, 0, {3.5000000000000004, 0, 1}, 4, 0},
        {0, 0, {L, L, 1}, LIM, -LIM}, {0, 0, {-L, -L, 1}, -LIM, LIM}, {0, 0, {L + 1, 0, 1}, R, R},
        {0, 0, {0, -(L + 1), 1}, R, R}, {LIM, 0, {0, 0, 1}, LIM, 0}, {LIM, 0, {1, 0, 1}, R, R},
        {INT32_MAX, INT32_MIN, {0, 0, 1}, R, R}, {0, 0, {0, 0, 0}, R, R}, {0, 0, {0, 0, -0.0}, R, R},
        {0, 0, {1, 1, -50}, R, R}, {0, 0, {0, 0, NaN}, R, R}, {0, 0, {NaN, 0, 1}, R, R},
        {0, 0, {0, INF, 1}, R, R}, {0, 0, {1e300, 0, 1}, R, R}, {0, 0, {0, 0, 1e-320}, R, R}};
    // clang-format on
    int row = 0;
    for (const auto& c : cases) {
        gx_state.view_centre_x = c.cx, gx_state.view_centre_y = c.cy;
        EXPECT_EQ(project({c.p}, c.x == R ? -1 : 0), (XY{{c.x, c.y}})) << "row " << row++;
    }
    // One bad point among good ones still reports failure; the good ones are projected.
    gx_3d_viewport(0, 639, 0, 479, 0.5);
    EXPECT_EQ(project({{20, -20, 80}, {0, 0, -1}, {-20, 20, 80}}, -1),
              (XY{{400, 320}, {R, R}, {240, 160}}));
}

}  // namespace
