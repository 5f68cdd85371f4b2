// Inputs the mappers cannot draw draw nothing, and nothing outside the buffer,
// the depth buffer, the texture or the caller's lists is touched (inputs that
// are clamped, and negative z, are checked in frames_test.cpp).
#include <algorithm>
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

// Each case starts on a fresh canvas and texture, sets up what it breaks
// and draws its polygons (z 64 unless given); the pixels it must leave drawn
// are given per mapper: {PerspDepth, Persp, AffineDepth, Affine}.
TEST_P(BadInput, UnusableInputsDrawNothing) {
    struct Polygon {
        std::vector<ScreenPoint> p;
        std::vector<TexCoord> t;
        std::vector<double> z = {};
    };
    struct Case {
        const char* name;
        std::function<void()> setup;
        std::vector<Polygon> polygons;
        int32_t drawn[4];
    };
    const Mapper m = mapper();
    const int32_t far = GX_COORD_LIMIT + 1;
    const Polygon square10 = {square(0, 0, 10), TEX4};
    // The square followed by copies of its last corner.
    const auto padded = [&](size_t n) {
        Polygon padded = square10;
        padded.p.resize(n, padded.p.back());
        padded.t.resize(n, padded.t.back());
        return padded;
    };
    const auto at_z = [&](double z) { return Polygon{square10.p, TEX4, {64, 64, z, 64}}; };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Vertex3> camera(400, Vertex3{0, 0, 64});
    const auto nothing = [] {};
    const Case cases[] = {
        {"no open buffer", [] { gx_buffer_close(); }, {square10}, {0, 0, 0, 0}},
        {"320 vertices, the most the work areas hold", nothing, {padded(320)}, {100, 100, 100, 100}},
        {"321 vertices", nothing, {padded(321)}, {0, 0, 0, 0}},
        {"counts negative as signed numbers, null lists",
         [&] {
             gx_texmap_persp_depth(square10.p.data(), TEX4.data(), camera.data(), 0xFFFFFFFFu);
             gx_texmap_affine(square10.p.data(), TEX4.data(), 0x80000000u);
             draw_raw(m, nullptr, TEX4.data(), camera.data(), 4);
             draw_raw(m, square10.p.data(), nullptr, camera.data(), 4);
             if (m != Mapper::Affine) draw_raw(m, square10.p.data(), TEX4.data(), nullptr, 4);
         },
         {},
         {0, 0, 0, 0}},
        // Two points on different rows: both walkers follow the same edge.
        {"fewer than two points, or one row",
         nothing,
         {{{{5, 5}}, {{0, 0}}},
          {{}, {}},
          {{{0, 5}, {10, 5}, {20, 5}}, TEX3},
          {{{0, 0}, {10, 10}}, {{0, 0}, {9, 9}}}},
         {0, 0, 0, 0}},
        {"coordinates beyond the limit",
         nothing,
         {{{{0, 0}, {far, 0}, {10, 10}}, TEX3},
          {{{0, 0}, {10, 0}, {10, far}}, TEX3},
          {{{-far, 0}, {10, 0}, {10, 10}}, TEX3},
          {{{0, -far}, {10, 0}, {10, 10}}, TEX3},
          {{{INT32_MIN, INT32_MIN}, {INT32_MAX, 0}, {0, INT32_MAX}}, TEX3}},
         {0, 0, 0, 0}},
        {"no texture", [] { gx_state.texture_pixels = nullptr; }, {square10}, {0, 0, 0, 0}},
        {"a texture 0 wide", [] { gx_state.texture_width = 0; }, {square10}, {0, 0, 0, 0}},
        {"a texture -1 high", [] { gx_state.texture_height = -1; }, {square10}, {0, 0, 0, 0}},
        // The walk follows only chains that never move upward.
        {"chains that move upward",
         nothing,
         {{{{0, 0}, {20, 20}, {20, 0}, {0, 20}}, TEX4},  // a bow tie
          {{{0, 0}, {20, 0}, {20, 20}, {10, 5}, {0, 20}}, {{0, 0}, {9, 0}, {9, 9}, {5, 5}, {0, 9}}}},
         {0, 0, 0, 0}},
        // Rows start at 10 - floor(y / 2) and end at 10 + y, then at
        // 20 - 3 (y - 10), then at 14 + ceil(6 (y - 12) / 8).
        {"concave chains that descend",
         nothing,
         {{{{10, 0}, {20, 10}, {14, 12}, {20, 20}, {0, 20}},
           {{0, 0}, {9, 0}, {5, 5}, {9, 9}, {0, 9}}}},
         {208, 208, 208, 208}},
        // 1/|z| must be a positive number below 256 for 8.24 to hold it.
        {"unusable depths",
         nothing,
         {at_z(nan), at_z(inf), at_z(-inf), at_z(0.0), at_z(-0.0), at_z(1e-300), at_z(1.0 / 256),
          at_z(-1.0 / 256), at_z(1e-320)},
         {0, 0, 0, 100}},
        {"a depth just above 1/256", nothing, {at_z(1.0 / 255)}, {100, 100, 100, 100}},
        {"no depth buffer", [] { gx_depthbuf_open(nullptr); }, {square10}, {0, 100, 0, 100}},
        {"a depth buffer smaller than the buffer, then freed",
         [&] {
             uint32_t* small = gx_depthbuf_alloc(width_, height_ - 1);
             gx_depthbuf_open(small);
             gx_depthbuf_clear();
             draw_flat(m, square10.p, TEX4);
             gx_depthbuf_free(small);  // freeing the open depth buffer forgets it
         },
         {square10},
         {0, 100, 0, 100}},
    };
    const auto column = static_cast<size_t>(std::find(ALL_MAPPERS, std::end(ALL_MAPPERS), m) -
                                            ALL_MAPPERS);
    for (const Case& c : cases) {
        open_canvas(16);
        use_texture(64, 64);
        c.setup();
        for (const Polygon& polygon : c.polygons) {
            EXPECT_EQ(polygon.z.empty() ? draw_flat(m, polygon.p, polygon.t)
                                        : draw(m, polygon.p, polygon.t, polygon.z),
                      0);
        }
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
    EXPECT_EQ(pixel(0, 0) % 64, is_perspective(mapper()) ? 32u : 0u);

    // A top vertex far above: 2^24 rows are walked before the first drawn one.
    clear_pixels();
    new_frame();
    draw_flat(mapper(), {{0, -limit}, {8, -limit}, {8, 8}, {0, 8}}, TEX4);
    EXPECT_EQ(drawn_count(), 8 * 8);
    EXPECT_EQ(pixel(0, 7) / 64, is_perspective(mapper()) ? 9u : 0u);
}

INSTANTIATE_TEST_SUITE_P(AllMappers, BadInput, ::testing::ValuesIn(ALL_MAPPERS), param_name);

// Pixel memory and depth words set up by hand inside guard bytes (one
// buffer a single column wide), with a clip rectangle reaching far beyond
// the buffer: every pixel is drawn and drawing stays inside.
TEST_F(RasterTest, ClipRectangleBeyondTheBufferStaysInside) {
    constexpr int32_t H = 12;
    constexpr size_t GUARD = 256;
    open_canvas(16);
    for (const auto& [depth, W] : {std::pair{8, 20}, {16, 20}, {24, 20}, {32, 20}, {16, 1}}) {
        const auto size = static_cast<size_t>(W * H * depth / 8);
        std::vector<uint8_t> memory(GUARD * 2 + size, 0x3C), want_memory = memory;
        std::vector<uint32_t> words(GUARD * 2 + W * H, 0x3C3C3C3Cu), want_words = words;
        std::fill_n(memory.begin() + GUARD, size, 0);
        std::fill_n(words.begin() + GUARD, W * H, 0u);
        for (size_t i = 0; i < size; ++i)
            want_memory[GUARD + i] = depth == 32 && i % 4 == 3 ? 0 : 0xFF;
        std::fill_n(want_words.begin() + GUARD, W * H, 0x01040000u);  // stamp 1, depth 1/64
        GraphicsState& s = gx_state;
        const GraphicsState saved = s;
        s.active_depth = depth;
        s.active_pixels = memory.data() + GUARD;
        s.active_pitch = W * depth / 8;
        s.active_width = W;
        s.active_height = H;
        s.active_max_y = H - 1;
        s.depth_buffer = words.data() + GUARD;
        s.depth_buffer_words = W * H;
        s.depth_stamp = 0x01000000;
        s.clip_min_x = s.clip_min_y = -1000;
        s.clip_max_x = s.clip_max_y = 1000;
        use_plain_texture(1, 1, 0xFFFFFFFF);
        for (Mapper mapper : ALL_MAPPERS)
            draw_flat(mapper, {{-50, -50}, {70, -40}, {60, 60}, {-40, 50}},
                      std::vector<TexCoord>(4));
        EXPECT_EQ(memory, want_memory) << depth;
        EXPECT_EQ(words, want_words) << depth;
        s = saved;
    }
}

}  // namespace
