// The pipeline's steps on their own: near clipping with far rejection, and
// projection with round-half-to-even and its range checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <climits>
#include <limits>
#include <vector>

#include "fixture.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

// A vertex with its texture coordinates.
struct Corner {
    double x, y, z;
    int32_t u, v;
};
using Corners = std::vector<Corner>;
bool operator==(const Corner& a, const Corner& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.u == b.u && a.v == b.v;
}
std::ostream& operator<<(std::ostream& o, const Corner& c) {
    return o << '(' << c.x << ", " << c.y << ", " << c.z << "; " << c.u << ", " << c.v << ')';
}

class Clip : public Gx3dTest {
protected:
    void SetUp() override {
        Gx3dTest::SetUp();
        gx_3d_clip_planes(40, 1000);
    }

    // Clips the corners; the result lists are sized for the worst case.
    int32_t clip(const Corners& corners) {
        const auto n = static_cast<uint32_t>(corners.size());
        in.clear();
        in_tex.clear();
        for (const Corner& c : corners) {
            in.push_back({c.x, c.y, c.z});
            in_tex.push_back({c.u, c.v});
        }
        out.assign(n + n / 2 + 1, Vertex3{-7, -7, -7});
        out_tex.assign(n + n / 2 + 1, TexCoord{-7, -7});
        return gx_3d_clip(in.data(), out.data(), in_tex.data(), out_tex.data(), n);
    }
    // Clips the corners and compares the whole result list with `expected`.
    void check(const Corners& corners, const Corners& expected) {
        const auto n = static_cast<size_t>(clip(corners));
        Corners got;
        for (size_t i = 0; i < std::min(n, out.size()); ++i)
            got.push_back({out[i].x, out[i].y, out[i].z, out_tex[i].u, out_tex[i].v});
        EXPECT_EQ(got, expected);
    }

    std::vector<Vertex3> in, out;
    std::vector<TexCoord> in_tex, out_tex;
};

TEST_F(Clip, CrossingsAndFarRejection) {
    struct Case {
        const char* what;
        Corners in, out;
    };
    const Case cases[] = {
        {"no vertex", {}, {}},
        {"one vertex", {{0, 0, 50, 0, 0}}, {}},
        {"all beyond the far plane",
         {{0, 0, 1001, 0, 0}, {1, 0, 1001, 1, 0}, {0, 1, 1001, 0, 1}},
         {}},
        {"one vertex on the far plane keeps the whole polygon, unclipped",
         {{0, 0, 1001, 0, 0}, {1, 0, 1000, 1, 0}, {0, 1, 5000, 0, 1}},
         {{0, 0, 1001, 0, 0}, {1, 0, 1000, 1, 0}, {0, 1, 5000, 0, 1}}},
        // A outside: the crossing of C->A, the crossing of A->B (both at
        // t = 0.5), B, C; texture coordinates round half to even.
        {"v = 63 - 31.5 -> 32, u = 30.5 -> 30",
         {{0, 0, 30, 0, 0}, {10, 0, 50, 61, 0}, {0, 10, 50, 0, 63}},
         {{0, 5, 40, 0, 32}, {5, 0, 40, 30, 0}, {10, 0, 50, 61, 0}, {0, 10, 50, 0, 63}}},
        {"v = 61 - 30.5 -> 30, u = 31.5 -> 32",
         {{0, 0, 30, 0, 0}, {10, 0, 50, 63, 0}, {0, 10, 50, 0, 61}},
         {{0, 5, 40, 0, 30}, {5, 0, 40, 32, 0}, {10, 0, 50, 63, 0}, {0, 10, 50, 0, 61}}},
        {"negative halves: -31.5 -> -32, -30.5 -> -30",
         {{0, 0, 30, 0, 0}, {10, 0, 50, -61, 0}, {0, 10, 50, 0, -63}},
         {{0, 5, 40, 0, -32}, {5, 0, 40, -30, 0}, {10, 0, 50, -61, 0}, {0, 10, 50, 0, -63}}},
        {"two inside, two outside: crossings D->A and B->C",
         {{0, 0, 30, 0, 0}, {10, 0, 30, 10, 0}, {10, 10, 50, 10, 10}, {0, 10, 50, 0, 10}},
         {{0, 5, 40, 0, 5}, {10, 5, 40, 10, 5}, {10, 10, 50, 10, 10}, {0, 10, 50, 0, 10}}},
        {"one outside gives a pentagon: crossings D->A and A->B",
         {{0, 0, 30, 0, 0}, {10, 0, 50, 10, 0}, {10, 10, 50, 10, 10}, {0, 10, 50, 0, 10}},
         {{0, 5, 40, 0, 5},
          {5, 0, 40, 5, 0},
          {10, 0, 50, 10, 0},
          {10, 10, 50, 10, 10},
          {0, 10, 50, 0, 10}}},
        {"two vertices both inside",
         {{0, 0, 50, 1, 2}, {1, 1, 60, 3, 4}},
         {{0, 0, 50, 1, 2}, {1, 1, 60, 3, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        check(c.in, c.out);
    }
}

TEST_F(Clip, CrossingIsMeasuredFromThePredecessor) {
    // P (inside) -> Q (outside) with t = 10 / 20.3: measured from P, x is
    // P.x + t (Q.x - P.x); measured from Q it would come out one bit away.
    const Corner p{0.1, 0.7, 50.3, 0, 0};
    const Corner q{1.3, -2.9, 30, 0, 0};
    ASSERT_EQ(clip({p, q, {0, 0, 60, 0, 0}}), 4);
    const double t = (40 - p.z) / (q.z - p.z);
    const double x = p.x + t * (q.x - p.x);
    const double y = p.y + t * (q.y - p.y);
    const double t_back = (40 - q.z) / (p.z - q.z);
    const double x_back = q.x + t_back * (p.x - q.x);
    const double y_back = q.y + t_back * (p.y - q.y);
    ASSERT_TRUE(x != x_back || y != y_back) << "the case does not tell the directions apart";
    EXPECT_EQ(out[1].x, x);  // out: P, crossing P->Q, crossing Q->R, R
    EXPECT_EQ(out[1].y, y);
    EXPECT_EQ(out[1].z, 40.0);
}

TEST_F(Clip, VertexOnTheNearPlaneComesOutTwice) {
    // A -> B at t = 1, then B -> C at t = 0.
    check({{0, 0, 50, 0, 0}, {5, 5, 40, 7, 9}, {10, 0, 50, 20, 0}},
          {{0, 0, 50, 0, 0}, {5, 5, 40, 7, 9}, {5, 5, 40, 7, 9}, {10, 0, 50, 20, 0}});
}

TEST_F(Clip, NothingInside) {
    check({{0, 0, 30, 0, 0}, {1, 0, 40, 0, 0}, {0, 1, -5, 0, 0}}, {});
    check({{0, 0, 40, 0, 0}, {1, 0, 40, 0, 0}}, {});
}

TEST_F(Clip, UnusableDepthsClipToNothing) {
    // A NaN depth is neither inside nor beyond anything: its crossings cannot
    // be formed, and the polygon is dropped rather than converted.
    check({{0, 0, 50, 0, 0}, {1, 0, NaN, 5, 5}, {0, 1, 50, 0, 0}}, {});
    // Depths whose difference overflows give t = inf / inf.
    gx_3d_clip_planes(-1.5e308, 1000);
    check({{0, 0, 1.5e308, 0, 0}, {1, 0, -1.6e308, 9, 9}, {0, 1, 50, 0, 0}}, {});
}

TEST_F(Clip, ExtremeTextureCoordinatesStayInRange) {
    // The vertex on the plane comes out twice, at t = 1 from Q and at t = 0
    // from P, with the extreme coordinates exactly.
    check({{0, 0, 40, INT32_MIN, INT32_MAX}, {0, 0, 50, INT32_MAX, INT32_MIN}},
          {{0, 0, 40, INT32_MIN, INT32_MAX},
           {0, 0, 40, INT32_MIN, INT32_MAX},
           {0, 0, 50, INT32_MAX, INT32_MIN}});
    // Halfway between the extremes: -2^31 + 0.5 (2^32 - 1) = -0.5 -> 0.
    check({{0, 0, 30, INT32_MIN, INT32_MAX}, {0, 0, 50, INT32_MAX, INT32_MIN}},
          {{0, 0, 40, 0, 0}, {0, 0, 40, 0, 0}, {0, 0, 50, INT32_MAX, INT32_MIN}});
}

class Project : public Gx3dTest {
protected:
    static ScreenPoint project(Vertex3 p, int32_t expected_result = 0) {
        ScreenPoint s{12345, 12345};
        EXPECT_EQ(gx_3d_project(&p, &s, 1), expected_result);
        return s;
    }
};

TEST_F(Project, HalvesRoundToEvenInAnyRoundingMode) {
    // Before any viewport everything lands on the origin.
    ScreenPoint s = project({123, -456, 7});
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.y, 0);
    gx_3d_viewport(0, 0, 0, 0, 1.0);  // scale 1, -1; centre (0, 0)
    const int saved = std::fegetround();
    for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        const double xs[] = {
            0.5, 1.5, 2.5, -0.5, -1.5, -2.5, 2.4999999999999996, 3.5000000000000004};
        const int32_t expected[] = {0, 2, 2, 0, -2, -2, 2, 4};
        for (int i = 0; i < 8; ++i) {
            s = project({xs[i], -xs[i], 1});
            EXPECT_EQ(s.x, expected[i]) << xs[i] << " mode " << mode;
            EXPECT_EQ(s.y, expected[i]) << xs[i] << " mode " << mode;
        }
    }
    std::fesetround(saved);
}

TEST_F(Project, PointsBehindTheEyeOrTooFarOutAreRefused) {
    gx_3d_viewport(0, 639, 0, 479, 0.5);
    const Vertex3 bad[] = {{0, 0, 0},   {0, 0, -0.0},  {1, 1, -50},    {0, 0, NaN}, {NaN, 0, 1},
                           {0, INF, 1}, {1e300, 0, 1}, {0, 0, 1e-320}, {1e10, 0, 1}};
    for (const Vertex3& p : bad) {
        const ScreenPoint s = project(p, -1);
        EXPECT_EQ(s.x, INT32_MIN);
        EXPECT_EQ(s.y, INT32_MIN);
    }
    // One bad point among good ones still reports failure; the good ones are projected.
    const Vertex3 list[3] = {{20, -20, 80}, {0, 0, -1}, {-20, 20, 80}};
    ScreenPoint screen[3];
    EXPECT_EQ(gx_3d_project(list, screen, 3), -1);
    EXPECT_EQ(screen[0].x, 400);
    EXPECT_EQ(screen[0].y, 320);
    EXPECT_EQ(screen[2].x, 240);
    EXPECT_EQ(screen[2].y, 160);
}

TEST_F(Project, CoordinateLimitIsInclusive) {
    gx_3d_viewport(0, 0, 0, 0, 1.0);  // scale 1, centre (0, 0)
    const double limit = GX_COORD_LIMIT;
    ScreenPoint s = project({limit, limit, 1});  // camera y grows upward
    EXPECT_EQ(s.x, GX_COORD_LIMIT);
    EXPECT_EQ(s.y, -GX_COORD_LIMIT);
    s = project({-limit, -limit, 1});
    EXPECT_EQ(s.x, -GX_COORD_LIMIT);
    EXPECT_EQ(s.y, GX_COORD_LIMIT);
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
