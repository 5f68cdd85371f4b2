// The pipeline's steps on their own: near clipping with far rejection, and projection.
#include <array>
#include <climits>

#include "fixture.h"

namespace {

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
        gx_state.view_centre_x = c.cx;
        gx_state.view_centre_y = c.cy;
        EXPECT_EQ(project({c.p}, c.x == R ? -1 : 0), (XY{{c.x, c.y}})) << "row " << row++;
    }
    // One bad point among good ones still reports failure; the good ones are projected.
    gx_3d_viewport(0, 639, 0, 479, 0.5);
    EXPECT_EQ(project({{20, -20, 80}, {0, 0, -1}, {-20, 20, 80}}, -1),
              (XY{{400, 320}, {R, R}, {240, 160}}));
}

}  // namespace
