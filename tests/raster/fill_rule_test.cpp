// Which pixels the mappers draw: the guards, the fill rule, vertical
// clipping, the winding rule and shared edges.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "fixture.h"

namespace {

const std::vector<TexCoord> TEX4 = {{0, 0}, {9, 0}, {9, 9}, {0, 9}};
const std::vector<TexCoord> TEX3 = {{0, 0}, {9, 0}, {0, 9}};

// ceil(a / b) for b > 0.
int32_t ceil_div(int32_t a, int32_t b) { return a >= 0 ? (a + b - 1) / b : -(-a / b); }

std::vector<int32_t> range(int32_t first, int32_t last) {
    std::vector<int32_t> r(static_cast<size_t>(last - first + 1));
    std::iota(r.begin(), r.end(), first);
    return r;
}

class FillRule : public RasterTest, public ::testing::WithParamInterface<Mapper> {
protected:
    void SetUp() override {
        RasterTest::SetUp();
        open_canvas(16);
        use_texture(64, 64);
    }
    Mapper mapper() const { return GetParam(); }
};

TEST_P(FillRule, FewerThanTwoPointsOrOneRowDrawNothing) {
    const std::vector<ScreenPoint> one = {{5, 5}};
    EXPECT_EQ(draw_flat(mapper(), one, {{0, 0}}), 0);
    EXPECT_EQ(draw(mapper(), {}, {}, {}), 0);
    const std::vector<ScreenPoint> flat = {{0, 5}, {10, 5}, {20, 5}};
    EXPECT_EQ(draw_flat(mapper(), flat, TEX3), 0);
    // Two points on different rows: both walkers follow the same edge.
    const std::vector<ScreenPoint> two = {{0, 0}, {10, 10}};
    EXPECT_EQ(draw_flat(mapper(), two, {{0, 0}, {9, 9}}), 0);
    EXPECT_EQ(drawn_count(), 0);
}

TEST_P(FillRule, SquareAndTriangles) {
    EXPECT_EQ(draw_flat(mapper(), square(0, 0, 10), TEX4), 0);
    EXPECT_EQ(drawn_count(), 100);
    for (int32_t y = 0; y < 10; ++y) EXPECT_EQ(drawn_columns(y), range(0, 9)) << "row " << y;

    // (0,0) (10,0) (0,10): 10 + 9 + ... + 1 pixels.
    clear_pixels();
    new_frame();
    draw_flat(mapper(), {{0, 0}, {10, 0}, {0, 10}}, TEX3);
    EXPECT_EQ(drawn_count(), 55);
    for (int32_t y = 0; y < 10; ++y) EXPECT_EQ(drawn_columns(y), range(0, 9 - y)) << "row " << y;

    clear_pixels();
    new_frame();
    draw_flat(mapper(), {{5, 0}, {10, 10}, {0, 10}}, TEX3);
    EXPECT_EQ(drawn_count(), 45);
    EXPECT_TRUE(drawn_columns(0).empty());
    EXPECT_EQ(drawn_columns(1), std::vector<int32_t>{5});
    EXPECT_EQ(drawn_columns(2), (std::vector<int32_t>{4, 5}));
    EXPECT_EQ(drawn_columns(9), range(1, 9));
    EXPECT_TRUE(drawn_columns(10).empty());
}

// The depth-free mappers draw clockwise polygons whole and counter-clockwise
// ones not at all, whichever vertex comes first; the depth-tested ones draw
// both.
TEST_P(FillRule, WindingRule) {
    const bool both = has_depth(mapper());
    const std::vector<ScreenPoint> ccw = {{0, 0}, {0, 10}, {10, 10}, {10, 0}};
    EXPECT_EQ(draw_flat(mapper(), ccw, TEX4), 0);
    EXPECT_EQ(drawn_count(), both ? 100 : 0);
    for (int32_t y = 0; y < 10 && both; ++y) EXPECT_EQ(drawn_columns(y), range(0, 9));

    const std::vector<ScreenPoint> cw = {{20, 5}, {40, 30}, {25, 50}, {5, 25}};
    for (size_t start = 0; start < 4; ++start) {
        std::vector<ScreenPoint> rotated(cw.begin() + static_cast<ptrdiff_t>(start), cw.end());
        rotated.insert(rotated.end(), cw.begin(), cw.begin() + static_cast<ptrdiff_t>(start));
        clear_pixels();
        new_frame();
        draw_flat(mapper(), rotated, TEX4);
        const int32_t clockwise = drawn_count();
        EXPECT_GT(clockwise, 600) << start;
        std::reverse(rotated.begin(), rotated.end());
        clear_pixels();
        new_frame();
        draw_flat(mapper(), rotated, TEX4);
        EXPECT_EQ(drawn_count(), both ? clockwise : 0) << start;
    }
}

TEST_P(FillRule, RowsAboveTheClipAreWalkedNotDrawn) {
    // Rows -5 to 5: rows 0 to 4 are drawn, with the columns the unclipped
    // triangle has there.
    draw_flat(mapper(), {{0, -5}, {10, -5}, {0, 5}}, TEX3);
    EXPECT_EQ(drawn_count(), 5 + 4 + 3 + 2 + 1);
    for (int32_t y = 0; y < 5; ++y) EXPECT_EQ(drawn_columns(y), range(0, 4 - y)) << "row " << y;
}

TEST_P(FillRule, RowsBeyondTheClipRectangle) {
    const int32_t max_y = gx_state.clip_max_y;
    // Top vertex on the row below the clip rectangle: nothing.
    draw_flat(mapper(), square(0, max_y + 1, 10), TEX4);
    // Bottom vertex on clip_min_y: its bottom row is excluded.
    draw_flat(mapper(), {{0, -10}, {10, -10}, {10, 0}, {0, 0}}, TEX4);
    EXPECT_EQ(drawn_count(), 0);
    // Reaching past the bottom: drawn down to clip_max_y.
    draw_flat(mapper(), square(0, max_y - 2, 10), TEX4);
    EXPECT_EQ(drawn_count(), 30);
    EXPECT_EQ(drawn_columns(max_y), range(0, 9));
}

TEST_P(FillRule, ClipRectangleInsideTheBuffer) {
    gx_state.clip_min_x = 3;
    gx_state.clip_max_x = 6;
    gx_state.clip_min_y = 2;
    gx_state.clip_max_y = 4;
    draw_flat(mapper(), square(0, 0, 10), TEX4);
    EXPECT_EQ(drawn_count(), 12);
    for (int32_t y = 2; y <= 4; ++y) EXPECT_EQ(drawn_columns(y), range(3, 6));
    // Spans wholly left or right of it, or ending on clip_min_x, draw nothing.
    clear_pixels();
    new_frame();
    draw_flat(mapper(), square(-7, 0, 10), TEX4);  // columns -7..2
    draw_flat(mapper(), square(7, 0, 10), TEX4);   // columns 7..16
    EXPECT_EQ(drawn_count(), 0);
}

// The column of a boundary on row y is ceil of the exact line through the
// vertices: a long thin sliver checks the integer error terms against it.
TEST_P(FillRule, EdgeColumnsAreTheCeilingOfTheExactLine) {
    const std::vector<ScreenPoint> sliver = {{3, 1}, {70, 40}, {20, 90}};
    draw_flat(mapper(), sliver, TEX3);
    for (int32_t y = 0; y < 96; ++y) {
        // Left boundary: (3,1)-(20,90); right: (3,1)-(70,40) then (70,40)-(20,90).
        std::vector<int32_t> expected;
        if (y >= 1 && y < 90) {
            const int32_t left = 3 + ceil_div((y - 1) * 17, 89);
            const int32_t right = y < 40 ? 3 + ceil_div((y - 1) * 67, 39)
                                         : 70 + ceil_div((y - 40) * -50, 50);
            expected = range(left, right - 1);
        }
        EXPECT_EQ(drawn_columns(y), expected) << "row " << y;
    }
}

// A fan of triangles around a centre point: every pixel of the whole fan is
// drawn exactly once, none twice and none left out.
TEST_P(FillRule, SharedEdgesNeitherOverlapNorLeaveGaps) {
    const ScreenPoint centre = {61, 47};
    std::vector<ScreenPoint> rim;
    for (int32_t i = 0; i < 13; ++i) {
        const double a = i * 2.0 * 3.14159265358979 / 13.0 + 0.3;
        rim.push_back({static_cast<int32_t>(std::lround(61 + 55 * std::cos(a))),
                       static_cast<int32_t>(std::lround(47 + 44 * std::sin(a)))});
    }
    // Screen angle grows clockwise (rows go down), so (centre, rim i, rim
    // i+1) runs clockwise.
    std::vector<int32_t> times(static_cast<size_t>(width_ * height_), 0);
    for (size_t i = 0; i < rim.size(); ++i) {
        clear_pixels();
        new_frame();
        draw_flat(mapper(), {centre, rim[i], rim[(i + 1) % rim.size()]}, TEX3);
        for (int32_t y = 0; y < height_; ++y)
            for (int32_t x = 0; x < width_; ++x)
                times[static_cast<size_t>(y * width_ + x)] += drawn(x, y);
    }
    // The whole rim polygon, drawn at once, covers the same pixels.
    clear_pixels();
    new_frame();
    std::vector<TexCoord> rim_tex(rim.size(), TexCoord{1, 1});
    draw_flat(mapper(), rim, rim_tex);
    int32_t covered = 0;
    for (int32_t y = 0; y < height_; ++y) {
        for (int32_t x = 0; x < width_; ++x) {
            const int32_t n = times[static_cast<size_t>(y * width_ + x)];
            ASSERT_LE(n, 1) << "pixel (" << x << ", " << y << ") drawn twice";
            ASSERT_EQ(n, drawn(x, y) ? 1 : 0) << "pixel (" << x << ", " << y << ")";
            covered += n;
        }
    }
    EXPECT_GT(covered, 5000);
}

INSTANTIATE_TEST_SUITE_P(AllMappers, FillRule, ::testing::ValuesIn(ALL_MAPPERS),
                         [](const auto& info) { return mapper_name(info.param); });

}  // namespace
