// What the mappers draw: texels, runs, horizontal clipping, depth words and
// the pixel writes at each buffer depth. Expected texel columns of the
// perspective runs were worked out with reference_model.py; the tilted
// square of that model is drawn through every set of render flags in
// 3d/texture_polygon_test.cpp.
#include <numeric>

#include "fixture.h"

namespace {

const std::vector<TexCoord> SQUARE_TEX = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
// z 64 on the left edge, 128 on the right one.
const std::vector<double> TILTED = {64.0, 128.0, 128.0, 64.0};

class Texels : public RasterTest, public ::testing::WithParamInterface<Mapper> {
protected:
    void SetUp() override {
        RasterTest::SetUp();
        open_canvas(16);
        use_texture(64, 64);
    }
    Mapper mapper() const { return GetParam(); }
    uint32_t stamp() const { return gx_state.depth_stamp; }
};

// The depth-tested mappers keep the nearer pixel (an equal depth does not
// draw) and write depth words; the others draw over whatever is there and
// leave the depth buffer as it was opened. Words of an older frame lose
// every test, however near they were.
TEST_P(Texels, DepthTestAndFrames) {
    const bool depth = has_depth(mapper());
    const auto plain = [](int32_t t) { return std::vector<TexCoord>(4, TexCoord{t, t}); };
    draw(mapper(), square(0, 0, 20), plain(1), TILTED);
    draw(mapper(), square(0, 0, 20), plain(2), TILTED);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 20; ++x)
            ASSERT_EQ(pixel(x, y), texel_value(depth ? 1 : 2, depth ? 1 : 2));
    // A nearer polygon wins, a farther one loses.
    draw_flat(mapper(), square(5, 5, 5), plain(3), 32.0);
    draw_flat(mapper(), square(12, 5, 5), plain(3), 200.0);
    EXPECT_EQ(pixel(7, 7), texel_value(3, 3));
    EXPECT_EQ(pixel(14, 7), depth ? texel_value(1, 1) : texel_value(3, 3));
    EXPECT_EQ(depth_word(7, 7), depth ? 0x80000u + stamp() : 0u);

    new_frame();
    draw_flat(mapper(), square(0, 0, 20), plain(4), 900.0);
    EXPECT_EQ(pixel(5, 5), texel_value(4, 4));
    EXPECT_EQ(depth_word(5, 5),
              depth ? 0x02000000u + static_cast<uint32_t>(16777216.0 / 900.0) : 0u);
}

INSTANTIATE_TEST_SUITE_P(AllMappers, Texels, ::testing::ValuesIn(ALL_MAPPERS),
                         [](const auto& info) { return mapper_name(info.param); });

// ---- Perspective runs -----------------------------------------------------

class Runs : public RasterTest {
protected:
    void SetUp() override {
        RasterTest::SetUp();
        open_canvas(16);
        use_texture(8192, 1);  // a pixel's value is its texel column
    }
    // A span from column 0 to `width` on rows 0 and 1, z 64 to 128, u 0 to 8191.
    void draw_span(Mapper mapper, int32_t width) {
        draw(mapper, {{0, 0}, {width, 0}, {width, 2}, {0, 2}},
             {{0, 0}, {8191, 0}, {8191, 0}, {0, 0}}, TILTED);
    }
    std::vector<int32_t> row0(int32_t first, int32_t end) const {
        std::vector<int32_t> u;
        for (int32_t x = first; x < end; ++x) u.push_back(static_cast<int32_t>(pixel(x, 0)));
        return u;
    }
};

// Texel columns from tests/raster/reference_model.py. 70 pixels are runs of
// 32, 32 and 6, each linear between exact ends; 32 pixels are one run.
// Clipped on the left, the first run starts at clip_min_x from the values
// the unclipped span has there.
TEST_F(Runs, RunsOfThirtyTwoFromTheFirstPixelDrawn) {
    struct Case {
        int32_t width, clip_min_x;
        std::vector<int32_t> u;
    };
    const Case cases[] = {
        {70, 0, {38,   114,  190,  265,  341,  417,  493,  569,  645,  721,  796,  872,
                 948,  1024, 1100, 1176, 1251, 1327, 1403, 1479, 1555, 1631, 1706, 1782,
                 1858, 1934, 2010, 2086, 2162, 2237, 2313, 2389, 2497, 2637, 2776, 2916,
                 3056, 3195, 3335, 3475, 3614, 3754, 3894, 4034, 4173, 4313, 4453, 4592,
                 4732, 4872, 5012, 5151, 5291, 5431, 5570, 5710, 5850, 5990, 6129, 6269,
                 6409, 6548, 6688, 6828, 7005, 7221, 7437, 7652, 7868, 8083}},
        {32, 0, {128,  384,  640,  896,  1152, 1408, 1664, 1920, 2176, 2432, 2688,
                 2944, 3200, 3456, 3712, 3968, 4223, 4479, 4735, 4991, 5247, 5503,
                 5759, 6015, 6271, 6527, 6783, 7039, 7295, 7551, 7807, 8063}},
        {70, 20, {1419, 1528, 1637, 1745, 1854, 1962, 2071, 2180, 2288, 2397, 2505, 2614, 2723,
                  2831, 2940, 3048, 3157, 3266, 3374, 3483, 3591, 3700, 3809, 3917, 4026, 4134,
                  4243, 4351, 4460, 4569, 4677, 4786, 4933, 5119, 5306, 5492, 5678, 5864, 6050,
                  6236, 6422, 6609, 6795, 6981, 7167, 7353, 7539, 7726, 7912, 8098}},
    };
    for (const Case& c : cases) {
        gx_state.clip_min_x = c.clip_min_x;
        for (Mapper mapper : {Mapper::PerspDepth, Mapper::Persp}) {
            SCOPED_TRACE(testing::Message()
                         << mapper_name(mapper) << " " << c.width << " " << c.clip_min_x);
            clear_pixels();
            new_frame();
            draw_span(mapper, c.width);
            EXPECT_EQ(row0(c.clip_min_x, c.width), c.u);
            EXPECT_EQ(drawn_columns(0).front(), c.clip_min_x);
        }
    }
}

// Affine spans are linear in 16.16, so clipping gives exactly the unclipped
// span's pixels from the clip onward.
TEST_F(Runs, AffineLeftClippingKeepsTheUnclippedValues) {
    for (Mapper mapper : {Mapper::AffineDepth, Mapper::Affine}) {
        gx_state.clip_min_x = 0;
        clear_pixels();
        new_frame();
        draw_span(mapper, 70);
        const std::vector<int32_t> whole = row0(0, 70);
        // dU = trunc(8191 * 65536 / 70) = 7669070; pixel 69 at dU / 2 + 69 dU + 0.5.
        EXPECT_EQ(whole[69], 8132) << mapper_name(mapper);
        gx_state.clip_min_x = 23;
        clear_pixels();
        new_frame();
        draw_span(mapper, 70);
        EXPECT_EQ(row0(23, 70), std::vector<int32_t>(whole.begin() + 23, whole.end()))
            << mapper_name(mapper);
        EXPECT_EQ(drawn_columns(0).front(), 23);
    }
}

// The run length is read from the state: runs of 1 are exact at every pixel.
TEST_F(Runs, RunLengthOfOnePixel) {
    gx_state.perspective_run = 1;
    draw_span(Mapper::Persp, 70);
    const std::vector<int32_t> span = row0(0, 70);
    // Every pixel now starts a run of its own, exact at both of its ends.
    EXPECT_EQ(span[0], 29);
    EXPECT_EQ(span[35], 2783);
    EXPECT_EQ(span[69], 8076);
    gx_state.perspective_run = 0;  // not a length: taken as 1
    clear_pixels();
    draw_span(Mapper::Persp, 70);
    EXPECT_EQ(row0(0, 70), span);
}

// ---- Depth ----------------------------------------------------------------

class Depth : public RasterTest, public ::testing::WithParamInterface<Mapper> {
protected:
    void SetUp() override {
        RasterTest::SetUp();
        open_canvas(16);
        use_texture(64, 64);
    }
};

// z at 1 or below gives 1/z of 1.0 or more, which 24 bits cannot hold: the
// value is held at 0xFFFFFF and the stamp stays intact.
TEST_P(Depth, DepthsAtOrAboveOneAreHeldBelowTheStamp) {
    const Mapper mapper = GetParam();
    draw(mapper, square(0, 0, 64), {{0, 0}, {63, 0}, {63, 63}, {0, 63}}, {0.25, 64.0, 64.0, 0.25});
    const uint32_t stamp = gx_state.depth_stamp;
    for (int32_t y = 0; y < 64; ++y) {
        for (int32_t x = 0; x < 64; ++x) {
            ASSERT_EQ(depth_word(x, y) & 0xFF000000u, stamp) << "pixel (" << x << ", " << y << ")";
        }
    }
    EXPECT_EQ(depth_word(0, 0), stamp + 0xFFFFFFu);
    // Where the depth fits it is not changed: the perspective mapper clamps
    // per pixel, the affine one interpolates from the held vertex value
    // (0xFFFFFF + 63 * trunc((0x40000 - 0xFFFFFF) / 64)).
    EXPECT_EQ(depth_word(63, 0), stamp + (mapper == Mapper::PerspDepth ? 0x13F000u : 0x7F03Eu));
    // Still nearer than anything that fits: a z of 1.5 there loses.
    draw_flat(mapper, square(0, 0, 2), {{9, 9}, {9, 9}, {9, 9}, {9, 9}}, 1.5);
    EXPECT_NE(pixel(0, 0), texel_value(9, 9));
    // Exactly z = 1 is also held.
    new_frame();
    draw_flat(mapper, square(0, 0, 4), {{9, 9}, {9, 9}, {9, 9}, {9, 9}}, 1.0);
    EXPECT_EQ(depth_word(1, 1), gx_state.depth_stamp + 0xFFFFFFu);
    EXPECT_EQ(pixel(1, 1), texel_value(9, 9));
}

INSTANTIATE_TEST_SUITE_P(DepthMappers, Depth,
                         ::testing::Values(Mapper::PerspDepth, Mapper::AffineDepth),
                         [](const auto& info) { return mapper_name(info.param); });

// ---- Pixel writes at each buffer depth --------------------------------------

class PixelWrites : public RasterTest, public ::testing::WithParamInterface<Mapper> {};

// Columns are sampled at pixel centres and rounded, rows at the row itself:
// texture row 32 shows twice and row 63 never. 32 bits: the texel's three
// bytes and a 0; 24 bits: the three bytes; 8 bits: the index byte. Nothing
// beside the polygon changes; depth words (1/64) do not depend on the pixels.
TEST_P(PixelWrites, EveryBufferDepth) {
    for (int32_t depth : {16, 32, 24, 8}) {
        open_canvas(depth);
        use_texture(64, 64);
        draw_flat(GetParam(), square(0, 0, 64), SQUARE_TEX, 64.0);
        for (int32_t y = 0; y < 64; ++y) {
            const int32_t row = y <= 32 ? y : y - 1;
            for (int32_t x = 0; x < 64; ++x) {
                ASSERT_EQ(pixel(x, y), texel_value(x, row)) << depth << ": " << x << ", " << y;
                if (has_depth(GetParam())) {
                    ASSERT_EQ(depth_word(x, y), 0x40000u + gx_state.depth_stamp) << x << ", " << y;
                }
            }
        }
        EXPECT_EQ(drawn_count(), 64 * 64) << depth;
    }
}

// A depth the buffer code does not know is written as 8 bits per pixel.
TEST_P(PixelWrites, UnknownDepthIsWrittenAsEightBits) {
    open_canvas(16);
    use_texture(64, 64);
    gx_state.active_depth = 15;
    const std::vector<TexCoord> tex = {{0, 0}, {63, 0}, {63, 0}, {0, 0}};
    use_plain_texture(64, 1, 0x77);
    draw_flat(GetParam(), {{0, 0}, {64, 0}, {64, 1}, {0, 1}}, tex);
    gx_state.active_depth = 16;
    // Row 0 holds 64 bytes of 0x77: the first 32 pixels of the 16-bit view.
    for (int32_t x = 0; x < 32; ++x) ASSERT_EQ(pixel(x, 0), 0x7777u) << x;
    EXPECT_EQ(pixel(32, 0), background());
}

INSTANTIATE_TEST_SUITE_P(AllMappers, PixelWrites, ::testing::ValuesIn(ALL_MAPPERS),
                         [](const auto& info) { return mapper_name(info.param); });

}  // namespace
