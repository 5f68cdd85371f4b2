// What the mappers draw beyond the frames of model_test.cpp: runs worked out
// by a separate model, depths held at the largest, unknown buffer depths and
// the last texel of a texture, each at every vector level.
#include "fixture.h"
#include "gfx/simd.h"

namespace {

class AtEveryLevel : public RasterTest {
protected:
    void TearDown() override {
        gx_simd_select(gx_simd_supported());
        RasterTest::TearDown();
    }
};

const std::vector<double> TILTED = {64.0, 128.0, 128.0, 64.0};  // z 64 left, 128 right

// ---- Perspective runs -----------------------------------------------------

class Runs : public AtEveryLevel {
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

// Texel columns worked out with a separate model of the mappers, written in
// Python when the runs were introduced. 70 pixels are runs of
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
    for (int32_t level = GX_SIMD_SCALAR; level <= gx_simd_supported(); ++level) {
        gx_simd_select(level);
        for (const Case& c : cases) {
            gx_state.clip_min_x = c.clip_min_x;
            for (Mapper mapper : {Mapper::PerspDepth, Mapper::Persp}) {
                SCOPED_TRACE(testing::Message() << "level " << level << ", " << mapper_name(mapper)
                                                << " " << c.width << " " << c.clip_min_x);
                clear_pixels();
                new_frame();
                draw_span(mapper, c.width);
                EXPECT_EQ(row0(c.clip_min_x, c.width), c.u);
                EXPECT_EQ(drawn_columns(0).front(), c.clip_min_x);
            }
        }
    }
}

// ---- Depth ----------------------------------------------------------------

class Depth : public AtEveryLevel, public ::testing::WithParamInterface<Mapper> {};

// z at 1 or below gives 1/z of 1.0 or more, which 24 bits cannot hold: the
// value is held at 0xFFFFFF and the stamp stays intact.
TEST_P(Depth, DepthsAtOrAboveOneAreHeldBelowTheStamp) {
    const Mapper mapper = GetParam();
    const std::vector<TexCoord> plain(4, TexCoord{9, 9});
    for (int32_t level = GX_SIMD_SCALAR; level <= gx_simd_supported(); ++level) {
        SCOPED_TRACE(level);
        gx_simd_select(level);
        open_canvas(16, 128, 64);
        use_texture(64, 64);
        draw(mapper, square(0, 0, 64), {{0, 0}, {63, 0}, {63, 63}, {0, 63}},
             {0.25, 64.0, 64.0, 0.25});
        const uint32_t stamp = gx_state.depth_stamp;
        for (int32_t y = 0; y < 64; ++y) {
            for (int32_t x = 0; x < 64; ++x)
                ASSERT_EQ(depth_word(x, y) & 0xFF000000u, stamp) << x << ", " << y;
        }
        EXPECT_EQ(depth_word(0, 0), stamp + 0xFFFFFFu);
        // Where the depth fits it is not changed: the perspective mapper clamps
        // per pixel, the affine one interpolates from the held vertex value
        // (0xFFFFFF + 63 * trunc((0x40000 - 0xFFFFFF) / 64)).
        EXPECT_EQ(depth_word(63, 0), stamp + (mapper == Mapper::PerspDepth ? 0x13F000u : 0x7F03Eu));
        // Still nearer than anything that fits: a z of 1.5 there loses.
        draw_flat(mapper, square(0, 0, 2), plain, 1.5);
        EXPECT_NE(pixel(0, 0), texel_value(9, 9));
        // Exactly z = 1 is also held, and z = 0.5 over spans of many runs,
        // which only the plain clamped loop draws.
        new_frame();
        draw_flat(mapper, square(0, 0, 4), plain, 1.0);
        EXPECT_EQ(depth_word(1, 1), gx_state.depth_stamp + 0xFFFFFFu);
        EXPECT_EQ(pixel(1, 1), texel_value(9, 9));
        new_frame();
        draw_flat(mapper, {{0, 0}, {100, 0}, {100, 8}, {0, 8}},
                  {{0, 0}, {63, 0}, {63, 63}, {0, 63}}, 0.5);
        for (int32_t x = 0; x < 100; ++x)
            ASSERT_EQ(depth_word(x, 3), gx_state.depth_stamp + 0xFFFFFFu) << x;
    }
}

INSTANTIATE_TEST_SUITE_P(DepthMappers, Depth,
                         ::testing::Values(Mapper::PerspDepth, Mapper::AffineDepth),
                         [](const auto& info) { return mapper_name(info.param); });

// ---- Pixel writes ----------------------------------------------------------

class PixelWrites : public RasterTest, public ::testing::WithParamInterface<Mapper> {};

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

// The last texel of a 64 x 64 texture of 3-byte texels lies 3 bytes before
// its end: a kernel reading it as a 4-byte word would read past it (the
// sanitizer build sees that, the texture being a block of exactly its size).
TEST_F(AtEveryLevel, TheLastTexelIsReadWithinTheTexture) {
    std::vector<uint8_t> texels(64 * 64 * 3);
    for (size_t i = 0; i < texels.size(); i += 3) {
        texels[i] = static_cast<uint8_t>(i / 3 % 64);      // column
        texels[i + 1] = static_cast<uint8_t>(i / 3 / 64);  // row
        texels[i + 2] = 0x5A;
    }
    for (int32_t level = GX_SIMD_SCALAR; level <= gx_simd_supported(); ++level) {
        gx_simd_select(level);
        open_canvas(32, 64, 4);
        const int32_t slot = gx_texture_define(texels.data(), 64, 64);
        gx_texture_select(slot);
        for (const Mapper mapper : {Mapper::PerspDepth, Mapper::Persp}) {
            new_frame();
            // Texels 48..63 of the last row magnified four times.
            draw_flat(mapper, {{0, 0}, {64, 0}, {64, 4}, {0, 4}},
                      {{48, 63}, {63, 63}, {63, 63}, {48, 63}}, 50.0);
            EXPECT_EQ(pixel(0, 1), 0x005A3F30u) << level << mapper_name(mapper);
            EXPECT_EQ(pixel(63, 1), 0x005A3F3Fu) << level << mapper_name(mapper);
        }
        gx_texture_undefine(slot);
    }
}

}  // namespace
