// The pipeline's steps on their own: near clipping with far rejection, and
// projection with round-half-to-even and its range checks.
#include <cfenv>
#include <climits>
#include <tuple>

#include "fixture.h"

namespace {

// A vertex with its texture coordinates.
struct Corner {
    double x, y, z;
    int32_t u, v;
    auto tie() const { return std::tie(x, y, z, u, v); }
    bool operator==(const Corner& o) const { return tie() == o.tie(); }
};
std::ostream& operator<<(std::ostream& o, const Corner& c) {
    return o << '(' << c.x << ", " << c.y << ", " << c.z << "; " << c.u << ", " << c.v << ')';
}
using Corners = std::vector<Corner>;
using Clip = Gx3dTest;
using Project = Gx3dTest;

// Clips with the near plane at `near_plane`, far at 1000; the output lists
// are sized for the worst case and prefilled.
Corners clip(const Corners& corners, double near_plane = 40) {
    gx_3d_clip_planes(near_plane, 1000);
    std::vector<Vertex3> in, out(corners.size() * 3 / 2 + 1, Vertex3{-7, -7, -7});
    std::vector<TexCoord> in_tex, out_tex(out.size(), TexCoord{-7, -7});
    for (const Corner& c : corners) {
        in.push_back({c.x, c.y, c.z});
        in_tex.push_back({c.u, c.v});
    }
    const int32_t n = gx_3d_clip(in.data(), out.data(), in_tex.data(), out_tex.data(),
                                 static_cast<uint32_t>(corners.size()));
    Corners got;
    for (int32_t i = 0; i < n; ++i)
        got.push_back({out[i].x, out[i].y, out[i].z, out_tex[i].u, out_tex[i].v});
    return got;
}

// Near plane 40 unless a row says otherwise. A vertex outside gives the
// crossing of the edge into it, then that of the edge out of it; texture
// coordinates round half to even.
TEST_F(Clip, CrossingsAndFarRejection) {
    const struct {
        const char* what;
        Corners in, out;
        double near_plane = 40;
    } cases[] = {
        {"no vertex", {}, {}},
        {"one vertex", {{0, 0, 50, 0, 0}}, {}},
        {"all beyond the far plane",
         {{0, 0, 1001, 0, 0}, {1, 0, 1001, 1, 0}, {0, 1, 1001, 0, 1}},
         {}},
        {"one vertex on the far plane keeps the whole polygon, unclipped",
         {{0, 0, 1001, 0, 0}, {1, 0, 1000, 1, 0}, {0, 1, 5000, 0, 1}},
         {{0, 0, 1001, 0, 0}, {1, 0, 1000, 1, 0}, {0, 1, 5000, 0, 1}}},
        {"v = 63 - 31.5 -> 32, u = 30.5 -> 30",
         {{0, 0, 30, 0, 0}, {10, 0, 50, 61, 0}, {0, 10, 50, 0, 63}},
         {{0, 5, 40, 0, 32}, {5, 0, 40, 30, 0}, {10, 0, 50, 61, 0}, {0, 10, 50, 0, 63}}},
        {"v = 61 - 30.5 -> 30, u = 31.5 -> 32",
         {{0, 0, 30, 0, 0}, {10, 0, 50, 63, 0}, {0, 10, 50, 0, 61}},
         {{0, 5, 40, 0, 30}, {5, 0, 40, 32, 0}, {10, 0, 50, 63, 0}, {0, 10, 50, 0, 61}}},
        {"negative halves: -31.5 -> -32, -30.5 -> -30",
         {{0, 0, 30, 0, 0}, {10, 0, 50, -61, 0}, {0, 10, 50, 0, -63}},
         {{0, 5, 40, 0, -32}, {5, 0, 40, -30, 0}, {10, 0, 50, -61, 0}, {0, 10, 50, 0, -63}}},
        {"two inside, two outside",
         {{0, 0, 30, 0, 0}, {10, 0, 30, 10, 0}, {10, 10, 50, 10, 10}, {0, 10, 50, 0, 10}},
         {{0, 5, 40, 0, 5}, {10, 5, 40, 10, 5}, {10, 10, 50, 10, 10}, {0, 10, 50, 0, 10}}},
        {"one outside gives a pentagon",
         {{0, 0, 30, 0, 0}, {10, 0, 50, 10, 0}, {10, 10, 50, 10, 10}, {0, 10, 50, 0, 10}},
         {{0, 5, 40, 0, 5},
          {5, 0, 40, 5, 0},
          {10, 0, 50, 10, 0},
          {10, 10, 50, 10, 10},
          {0, 10, 50, 0, 10}}},
        {"two vertices inside",
         {{0, 0, 50, 1, 2}, {1, 1, 60, 3, 4}},
         {{0, 0, 50, 1, 2}, {1, 1, 60, 3, 4}}},
        {"on the plane comes out twice: at t = 1 into it, t = 0 out of it",
         {{0, 0, 50, 0, 0}, {5, 5, 40, 7, 9}, {10, 0, 50, 20, 0}},
         {{0, 0, 50, 0, 0}, {5, 5, 40, 7, 9}, {5, 5, 40, 7, 9}, {10, 0, 50, 20, 0}}},
        {"nothing beyond the plane", {{0, 0, 30, 0, 0}, {1, 0, 40, 0, 0}, {0, 1, -5, 0, 0}}, {}},
        {"all on the plane", {{0, 0, 40, 0, 0}, {1, 0, 40, 0, 0}}, {}},
        {"a NaN depth: no crossing can be formed",
         {{0, 0, 50, 0, 0}, {1, 0, NaN, 5, 5}, {0, 1, 50, 0, 0}},
         {}},
        {"depths whose difference overflows: t = inf / inf",
         {{0, 0, 1.5e308, 0, 0}, {1, 0, -1.6e308, 9, 9}, {0, 1, 50, 0, 0}},
         {},
         -1.5e308},
        {"extreme coordinates on the plane come out exactly",
         {{0, 0, 40, INT32_MIN, INT32_MAX}, {0, 0, 50, INT32_MAX, INT32_MIN}},
         {{0, 0, 40, INT32_MIN, INT32_MAX},
          {0, 0, 40, INT32_MIN, INT32_MAX},
          {0, 0, 50, INT32_MAX, INT32_MIN}}},
        {"halfway between the extremes: -2^31 + 0.5 (2^32 - 1) = -0.5 -> 0",
         {{0, 0, 30, INT32_MIN, INT32_MAX}, {0, 0, 50, INT32_MAX, INT32_MIN}},
         {{0, 0, 40, 0, 0}, {0, 0, 40, 0, 0}, {0, 0, 50, INT32_MAX, INT32_MIN}}},
    };
    for (const auto& c : cases) EXPECT_EQ(clip(c.in, c.near_plane), c.out) << c.what;
}

// P (inside) -> Q (outside) with t = 10 / 20.3: measured from P the crossing
// is P + t (Q - P); measured from Q it would come out one bit away.
TEST_F(Clip, CrossingIsMeasuredFromThePredecessor) {
    const Corner p{0.1, 0.7, 50.3, 0, 0}, q{1.3, -2.9, 30, 0, 0};
    const Corners out = clip({p, q, {0, 0, 60, 0, 0}});
    ASSERT_EQ(out.size(), 4u);
    const double t = (40 - p.z) / (q.z - p.z), t_back = (40 - q.z) / (p.z - q.z);
    ASSERT_NE(p.x + t * (q.x - p.x), q.x + t_back * (p.x - q.x)) << "the case tells nothing apart";
    EXPECT_EQ(out[1], (Corner{p.x + t * (q.x - p.x), p.y + t * (q.y - p.y), 40, 0, 0}));
}

// Projects one point; (12345, 12345) if nothing was written.
ScreenPoint project(Vertex3 p, int32_t expected_result = 0) {
    ScreenPoint s{12345, 12345};
    EXPECT_EQ(gx_3d_project(&p, &s, 1), expected_result) << p.x << " " << p.y << " " << p.z;
    return s;
}

TEST_F(Project, HalvesRoundToEvenInAnyRoundingMode) {
    EXPECT_EQ(project({123, -456, 7}).x, 0);  // before any viewport everything lands on the origin
    gx_3d_viewport(0, 0, 0, 0, 1.0);          // scale 1, -1; centre (0, 0)
    const int saved = std::fegetround();
    for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        const double xs[] = {
            0.5, 1.5, 2.5, -0.5, -1.5, -2.5, 2.4999999999999996, 3.5000000000000004};
        const int32_t expected[] = {0, 2, 2, 0, -2, -2, 2, 4};
        for (int i = 0; i < 8; ++i) {
            const ScreenPoint s = project({xs[i], -xs[i], 1});
            EXPECT_TRUE(s.x == expected[i] && s.y == expected[i]) << xs[i] << " mode " << mode;
        }
    }
    std::fesetround(saved);
}

TEST_F(Project, PointsBehindTheEyeOrTooFarOutAreRefused) {
    gx_3d_viewport(0, 639, 0, 479, 0.5);
    for (const Vertex3& p : {Vertex3{0, 0, 0},
                             {0, 0, -0.0},
                             {1, 1, -50},
                             {0, 0, NaN},
                             {NaN, 0, 1},
                             {0, INF, 1},
                             {1e300, 0, 1},
                             {0, 0, 1e-320},
                             {1e10, 0, 1}}) {
        const ScreenPoint s = project(p, -1);
        EXPECT_TRUE(s.x == INT32_MIN && s.y == INT32_MIN);
    }
    // One bad point among good ones still reports failure; the good ones are projected.
    const Vertex3 list[3] = {{20, -20, 80}, {0, 0, -1}, {-20, 20, 80}};
    ScreenPoint screen[3];
    EXPECT_EQ(gx_3d_project(list, screen, 3), -1);
    EXPECT_TRUE(screen[0].x == 400 && screen[0].y == 320 && screen[2].x == 240 &&
                screen[2].y == 160);
}

TEST_F(Project, CoordinateLimitIsInclusive) {
    gx_3d_viewport(0, 0, 0, 0, 1.0);  // scale 1, centre (0, 0); camera y grows upward
    const double limit = GX_COORD_LIMIT;
    ScreenPoint s = project({limit, limit, 1});
    EXPECT_TRUE(s.x == GX_COORD_LIMIT && s.y == -GX_COORD_LIMIT);
    s = project({-limit, -limit, 1});
    EXPECT_TRUE(s.x == -GX_COORD_LIMIT && s.y == GX_COORD_LIMIT);
    project({limit + 1, 0, 1}, -1);
    project({0, -(limit + 1), 1}, -1);
    // The centre counts: a point within the limit moved past it is refused.
    gx_state.view_centre_x = GX_COORD_LIMIT;
    project({0, 0, 1}, 0);
    project({1, 0, 1}, -1);
    gx_state.view_centre_x = INT32_MAX;
    gx_state.view_centre_y = INT32_MIN;
    project({0, 0, 1}, -1);
}

}  // namespace
