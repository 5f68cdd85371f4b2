// Inputs outside what the mappers' formats hold: each is either drawn
// safely (clamped) or not drawn at all, and nothing outside the buffer, the
// depth buffer, the texture or the caller's lists is touched.
#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>

#include "fixture.h"

namespace {

const std::vector<TexCoord> TEX4 = {{0, 0}, {9, 0}, {9, 9}, {0, 9}};
const std::vector<TexCoord> TEX3 = {{0, 0}, {9, 0}, {0, 9}};

class BadInput : public RasterTest, public ::testing::WithParamInterface<Mapper> {
protected:
    void SetUp() override {
        RasterTest::SetUp();
        open_canvas(16);
        use_texture(64, 64);
    }
    Mapper mapper() const { return GetParam(); }
};

// Each case starts on a fresh canvas and texture; the pixels it must leave
// drawn are given per mapper: {PerspDepth, Persp, AffineDepth, Affine}.
TEST_P(BadInput, UnusableInputsDrawNothing) {
    const Mapper m = mapper();
    const auto square10 = [m](double z = 64.0) { return draw_flat(m, square(0, 0, 10), TEX4, z); };
    const int32_t far = GX_COORD_LIMIT + 1;
    const std::vector<Vertex3> camera(400, Vertex3{0, 0, 64});
    struct Case {
        const char* name;
        std::function<void()> run;
        int32_t drawn[4];
    };
    const Case cases[] = {
        {"no open buffer",
         [&] {
             gx_buffer_close();
             EXPECT_EQ(square10(), 0);
         },
         {0, 0, 0, 0}},
        {"320 vertices, the most the work areas hold",
         [&] {
             std::vector<ScreenPoint> points = square(0, 0, 10);
             std::vector<TexCoord> tex = TEX4;
             points.resize(320, points.back());
             tex.resize(320, tex.back());
             draw_flat(m, points, tex);
         },
         {100, 100, 100, 100}},
        {"321 vertices and counts negative as signed numbers",
         [&] {
             std::vector<ScreenPoint> points = square(0, 0, 10);
             std::vector<TexCoord> tex = TEX4;
             points.resize(321, points.back());
             tex.resize(321, tex.back());
             draw_flat(m, points, tex);
             gx_texmap_persp_depth(points.data(), tex.data(), camera.data(), 0xFFFFFFFFu);
             gx_texmap_affine(points.data(), tex.data(), 0x80000000u);
         },
         {0, 0, 0, 0}},
        {"null lists",
         [&] {
             const std::vector<ScreenPoint> points = square(0, 0, 10);
             draw_raw(m, nullptr, TEX4.data(), camera.data(), 4);
             draw_raw(m, points.data(), nullptr, camera.data(), 4);
             if (m != Mapper::Affine) draw_raw(m, points.data(), TEX4.data(), nullptr, 4);
         },
         {0, 0, 0, 0}},
        {"fewer than two points, or one row",
         [&] {
             EXPECT_EQ(draw_flat(m, {{5, 5}}, {{0, 0}}), 0);
             EXPECT_EQ(draw(m, {}, {}, {}), 0);
             EXPECT_EQ(draw_flat(m, {{0, 5}, {10, 5}, {20, 5}}, TEX3), 0);
             // Two points on different rows: both walkers follow the same edge.
             EXPECT_EQ(draw_flat(m, {{0, 0}, {10, 10}}, {{0, 0}, {9, 9}}), 0);
         },
         {0, 0, 0, 0}},
        {"coordinates beyond the limit",
         [&] {
             draw_flat(m, {{0, 0}, {far, 0}, {10, 10}}, TEX3);
             draw_flat(m, {{0, 0}, {10, 0}, {10, far}}, TEX3);
             draw_flat(m, {{-far, 0}, {10, 0}, {10, 10}}, TEX3);
             draw_flat(m, {{0, -far}, {10, 0}, {10, 10}}, TEX3);
             draw_flat(m, {{INT32_MIN, INT32_MIN}, {INT32_MAX, 0}, {0, INT32_MAX}}, TEX3);
         },
         {0, 0, 0, 0}},
        {"no texture, or one of no texels",
         [&] {
             gx_state.texture_pixels = nullptr;
             square10();
             use_texture(64, 64);
             gx_state.texture_width = 0;
             square10();
             gx_state.texture_width = 64;
             gx_state.texture_height = -1;
             square10();
         },
         {0, 0, 0, 0}},
        // The walk follows only chains that never move upward.
        {"chains that move upward",
         [&] {
             draw_flat(m, {{0, 0}, {20, 20}, {20, 0}, {0, 20}}, TEX4);  // a bow tie
             draw_flat(m, {{0, 0}, {20, 0}, {20, 20}, {10, 5}, {0, 20}},
                       {{0, 0}, {9, 0}, {9, 9}, {5, 5}, {0, 9}});
         },
         {0, 0, 0, 0}},
        // Concave but descending on both sides: rows start at 10 - floor(y / 2)
        // and end at 10 + y, then 20 - 3 (y - 10), then 14 + ceil(6 (y - 12) / 8).
        {"concave chains that descend",
         [&] {
             draw_flat(m, {{10, 0}, {20, 10}, {14, 12}, {20, 20}, {0, 20}},
                       {{0, 0}, {9, 0}, {5, 5}, {9, 9}, {0, 9}});
         },
         {208, 208, 208, 208}},
        // 1/|z| must be a positive number below 256 for 8.24 to hold it.
        {"unusable depths",
         [&] {
             const double nan = std::numeric_limits<double>::quiet_NaN();
             const double inf = std::numeric_limits<double>::infinity();
             for (double bad :
                  {nan, inf, -inf, 0.0, -0.0, 1e-300, 1.0 / 256.0, -1.0 / 256.0, 1e-320}) {
                 draw(m, square(0, 0, 10), TEX4, {64.0, 64.0, bad, 64.0});
             }
         },
         {0, 0, 0, 100}},
        {"a depth just above 1/256", [&] { square10(1.0 / 255.0); }, {100, 100, 100, 100}},
        {"no depth buffer",
         [&] {
             gx_depthbuf_open(nullptr);
             square10();
         },
         {0, 100, 0, 100}},
        {"a depth buffer smaller than the buffer, then freed",
         [&] {
             uint32_t* small = gx_depthbuf_alloc(width_, height_ - 1);
             ASSERT_NE(small, nullptr);
             gx_depthbuf_open(small);
             gx_depthbuf_clear();
             square10();
             gx_depthbuf_free(small);  // freeing the open depth buffer forgets it
             square10();
         },
         {0, 100, 0, 100}},
    };
    const auto column = static_cast<size_t>(std::find(ALL_MAPPERS, std::end(ALL_MAPPERS), m) -
                                            ALL_MAPPERS);
    for (const Case& c : cases) {
        open_canvas(16);
        use_texture(64, 64);
        c.run();
        EXPECT_EQ(drawn_count(), c.drawn[column]) << c.name;
    }
    // Without a depth buffer the last row shows v = 9 * 0.9.
    if (!has_depth(m)) EXPECT_EQ(pixel(9, 9), texel_value(9, 8));
}

// At the limit everything still fits 32 bits: the whole canvas is covered,
// with the clipped spans starting from the values the unclipped ones have.
TEST_P(BadInput, CoordinatesAtTheLimitAreDrawn) {
    const int32_t limit = GX_COORD_LIMIT;
    const std::vector<TexCoord> tex = {{0, 0}, {63, 0}, {32, 63}};
    draw_flat(mapper(), {{-limit, 0}, {limit, 0}, {0, limit}}, tex);
    EXPECT_EQ(drawn_count(), width_ * height_);
    // Column 0 is the middle of a 2^25-pixel span over 63 texels: u is 31.5
    // there. The affine step, 63 * 65536 / 2^25, truncates to 0.
    EXPECT_EQ(texel_u(0, 0), is_perspective(mapper()) ? 32 : 0);

    // A top vertex far above: 2^24 rows are walked before the first drawn one.
    clear_pixels();
    new_frame();
    draw_flat(mapper(), {{0, -limit}, {8, -limit}, {8, 8}, {0, 8}}, TEX4);
    EXPECT_EQ(drawn_count(), 8 * 8);
    EXPECT_EQ(texel_v(0, 7), is_perspective(mapper()) ? 9 : 0);
}

// Texture coordinates are clamped to the texture's edges (coordinates inside
// it are unchanged), and to the 16.16 reach of columns below 32768.
TEST_P(BadInput, TextureCoordinatesAreClampedToTheTexture) {
    use_texture(16, 8);
    const std::vector<ScreenPoint> points = square(0, 0, 40);
    const std::vector<TexCoord> outside = {
        {-100, -5}, {200, INT32_MIN}, {INT32_MAX, 99}, {INT32_MIN, 7}};
    const std::vector<TexCoord> clamped = {{0, 0}, {15, 0}, {15, 7}, {0, 7}};
    const std::vector<double> z = {64.0, 100.0, 100.0, 64.0};
    draw(mapper(), points, outside, z);
    std::vector<uint32_t> first;
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x) first.push_back(pixel(x, y));
    clear_pixels();
    new_frame();
    draw(mapper(), points, clamped, z);
    size_t i = 0;
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x) ASSERT_EQ(pixel(x, y), first[i++]) << x << ", " << y;
    EXPECT_EQ(pixel(39, 39), texel_value(15, 7));

    clear_pixels();
    new_frame();
    use_texture(40000, 1);  // the texel value is its column
    draw_flat(mapper(), {{0, 0}, {20, 0}, {20, 2}, {0, 2}},
              {{32700, 0}, {39999, 0}, {39999, 0}, {32700, 0}});
    for (int32_t x = 0; x < 20; ++x) {
        EXPECT_GE(pixel(x, 0), 32700u);
        EXPECT_LE(pixel(x, 0), 32767u);
    }
    EXPECT_EQ(pixel(19, 0), 32765u);  // 32700 + 67 * 19.5 / 20, rounded
}

// The absolute value of z is used: a negative z acts as its magnitude.
TEST_P(BadInput, NegativeDepthActsAsItsMagnitude) {
    const std::vector<TexCoord> tex = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
    draw(mapper(), square(0, 0, 64), tex, {-64.0, -128.0, 128.0, 64.0});
    std::vector<uint32_t> negative;
    for (int32_t x = 0; x < 64; ++x) negative.push_back(pixel(x, 10));
    clear_pixels();
    new_frame();
    draw(mapper(), square(0, 0, 64), tex, {64.0, 128.0, 128.0, 64.0});
    for (int32_t x = 0; x < 64; ++x) EXPECT_EQ(pixel(x, 10), negative[static_cast<size_t>(x)]);
    if (has_depth(mapper())) EXPECT_EQ(depth_word(32, 10), gx_state.depth_stamp + 0x30000u);
}

INSTANTIATE_TEST_SUITE_P(AllMappers, BadInput, ::testing::ValuesIn(ALL_MAPPERS),
                         [](const auto& info) { return mapper_name(info.param); });

// Pixel memory and depth words set up by hand inside guard bytes, with a
// clip rectangle reaching far beyond the buffer: drawing stays inside.
TEST_F(RasterTest, ClipRectangleBeyondTheBufferStaysInside) {
    open_canvas(16);
    use_texture(64, 64);
    constexpr int32_t W = 20;
    constexpr int32_t H = 12;
    constexpr size_t GUARD_SIZE = 256;
    for (int32_t depth : {8, 16, 24, 32}) {
        const int32_t bytes = depth / 8;
        std::vector<uint8_t> memory(GUARD_SIZE * 2 + static_cast<size_t>(W * H * bytes), 0x3C);
        std::vector<uint32_t> words(GUARD_SIZE * 2 + W * H, 0x3C3C3C3Cu);
        std::memset(memory.data() + GUARD_SIZE, 0, static_cast<size_t>(W * H * bytes));
        std::fill(words.begin() + GUARD_SIZE, words.begin() + GUARD_SIZE + W * H, 0u);
        GraphicsState& s = gx_state;
        const GraphicsState saved = s;
        s.active_depth = depth;
        s.active_pixels = memory.data() + GUARD_SIZE;
        s.active_pitch = W * bytes;
        s.active_width = W;
        s.active_height = H;
        s.active_max_y = H - 1;
        s.depth_buffer = words.data() + GUARD_SIZE;
        s.depth_buffer_words = W * H;
        s.depth_stamp = 0x01000000;
        s.clip_min_x = -1000;
        s.clip_max_x = 1000;
        s.clip_min_y = -1000;
        s.clip_max_y = 1000;
        use_plain_texture(1, 1, 0xFFFFFFFF);
        for (Mapper mapper : ALL_MAPPERS) {
            draw_flat(mapper, {{-50, -50}, {70, -40}, {60, 60}, {-40, 50}},
                      {{0, 0}, {0, 0}, {0, 0}, {0, 0}});
        }
        for (size_t i = 0; i < GUARD_SIZE; ++i) {
            ASSERT_EQ(memory[i], 0x3C) << depth;
            ASSERT_EQ(memory[memory.size() - 1 - i], 0x3C) << depth;
            ASSERT_EQ(words[i], 0x3C3C3C3Cu) << depth;
            ASSERT_EQ(words[words.size() - 1 - i], 0x3C3C3C3Cu) << depth;
        }
        for (size_t i = 0; i < static_cast<size_t>(W * H); ++i) {
            ASSERT_EQ(memory[GUARD_SIZE + i * static_cast<size_t>(bytes)], 0xFF) << depth;
            ASSERT_EQ(words[GUARD_SIZE + i], 0x01000000u + 0x40000u) << depth;
        }
        s = saved;
    }
}

}  // namespace
