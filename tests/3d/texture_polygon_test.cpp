// gx_3d_texture_polygon end to end: whole frames, the rasterizer each set of
// flags hands over to, and inputs that must draw nothing.
#include <cmath>
#include <cstring>
#include <numbers>

#include "fixture.h"

namespace {

// The cube's front face at the start position: a 40 x 40 square at z 80.
const Vertex3 FACE[4] = {{-20, 20, -20}, {20, 20, -20}, {20, -20, -20}, {-20, -20, -20}};
const TexCoord FACE_TEX[4] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};

struct TexturePolygon : Gx3dTest {
    void SetUp() override {
        Gx3dTest::SetUp();
        open_canvas(640, 480);
    }
};

// With each set of flags the whole frame shows the texture stretched over
// (240, 160) to (400, 320), the rest white: texel columns rise from 0 to 63
// along every row and are the same down every column, texel rows likewise.
TEST_F(TexturePolygon, FrontFaceWholeFrame) {
    gx_3d_set_object(0, 0, 100, 0, 0, 0);
    for (uint32_t flags : {13u, 5u, 1u, 4u, 0u}) {
        SCOPED_TRACE(flags);
        new_frame();
        gx_3d_render_flags(flags);
        gx_3d_texture_polygon(FACE, FACE_TEX, 4);
        for (int32_t y = 0; y < 480; ++y) {
            for (int32_t x = 0; x < 640; ++x) {
                const int32_t p = pixel(x, y), u = p % 64, v = p / 64;
                ASSERT_TRUE(x < 240 || x >= 400 || y < 160 || y >= 320
                                ? p == 0xFFFF
                                : u == pixel(x, 160) % 64 && v == pixel(240, y) / 64 &&
                                      (x > 240 ? u >= pixel(x - 1, y) % 64 : u == 0) &&
                                      (y > 160 ? v >= pixel(x, y - 1) / 64 : v == 0) &&
                                      (x < 399 || u == 63) && (y < 319 || v == 63))
                    << x << ", " << y;
            }
        }
        EXPECT_EQ(*gx_depth_word(240, 160),  // 1/80 in 8.24 plus the stamp
                  flags & RF_DEPTH ? 0x01000000u + uint32_t(16777216.0 / 80) : 0u);
    }
    new_frame();  // two vertices: one edge, no area
    gx_3d_render_flags(13);
    EXPECT_EQ(gx_3d_texture_polygon(FACE + 1, FACE_TEX + 1, 2), 0);
    expect_nothing_drawn();
}

// The screen square (0, 0) to (64, 64), z 64 on the left and 128 on the right
// (scale 64, centre (0, 0)): pixel columns 0, 8, ..., 56 of row 10 show texel
// row 10, columns 0, 6, 11, 16, 22, 32, 43, 53 perspective-correct
// (worked out with an independent model of the perspective rule), 0, 8, ..., 56 affine. Depth words
// only with RF_DEPTH; only depth-tested rasterizers draw the reversed polygon.
TEST_F(TexturePolygon, FlagsChooseTheRasterizer) {
    gx_3d_viewport(0, 0, 0, 0, 64.0);
    const Vertex3 v[4] = {{0, 0, 64}, {128, 0, 128}, {128, -128, 128}, {0, -64, 64}};
    const Vertex3 v_rev[4] = {v[3], v[2], v[1], v[0]};
    const TexCoord t_rev[4] = {FACE_TEX[3], FACE_TEX[2], FACE_TEX[1], FACE_TEX[0]};
    const int persp_cols[8] = {0, 6, 11, 16, 22, 32, 43, 53};
    for (uint32_t flags : {0u, 1u, 2u, 4u, 5u, 8u, 9u, 12u, 13u, 0xFFFFFFF2u}) {
        SCOPED_TRACE(flags);
        const bool depth_test = (flags & RF_DEPTH) != 0;
        gx_3d_render_flags(flags);
        new_frame();
        gx_3d_texture_polygon(v, FACE_TEX, 4);
        EXPECT_EQ(drawn(), 64 * 64);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(pixel(8 * i, 10), 640 + (flags & RF_PERSPECTIVE ? persp_cols[i] : 8 * i))
                << 8 * i;
        EXPECT_TRUE(depth_test ? *gx_depth_word(0, 10) == 0x01040000u &&
                                     *gx_depth_word(32, 10) == 0x01030000u &&
                                     *gx_depth_word(63, 10) == 0x01020800u
                               : written_words() == 0);
        new_frame();
        gx_3d_texture_polygon(v_rev, t_rev, 4);
        EXPECT_EQ(drawn(), depth_test ? 64 * 64 : 0);
    }
}

// Model points, the object at the origin. At z 50: 52427 * 320 + 320 =
// 16776960 is within 2^24 = 16777216, 52429 * 320 + 320 = 16777600 is not.
TEST_F(TexturePolygon, UndrawablePolygonsDrawNothing) {
    // clang-format off
    const struct { std::vector<uint32_t> flags; std::vector<Vertex3> v; bool drawn; } cases[] = {
        {{13}, {{0, 0, 1001}, {500, 0, 1001}, {0, -500, 1001}}, false},  // beyond the far plane
        {{13}, {{0, 0, 1001}, {500, 0, 1000}, {0, -500, 1001}}, true},   // touching it
        {{13}, {{0, 0, 40}, {10, 0, 40}, {0, -10, 30}}, false},  // not beyond the near plane
        {{13, 5, 0}, {{-20, 20, 80}, {NaN, 20, 80}, {20, -20, 80}}, false},
        {{13, 5, 0}, {{-20, 20, 80}, {20, 20, 80}, {20, -20, -INF}}, false},
        {{5, 1, 4, 0}, {{-10, 10, 50}, {10, 10, 50}, {0, -10, 0.0}}, false},  // at or behind the eye
        {{5, 1, 4, 0}, {{-10, 10, 50}, {10, 10, 50}, {0, -10, -0.0}}, false},
        {{5, 1, 4, 0}, {{-10, 10, 50}, {10, 10, 50}, {0, -10, -10}}, false},
        {{13}, {{-10, 10, 50}, {10, 10, 50}, {0, -10, -10}}, true},  // cut at the near plane
        {{13, 5, 0}, {{-1, 1, 50}, {52427.0 * 50, 1, 50}, {-1, -1, 50}}, true},
        {{13, 5, 0}, {{-1, 1, 50}, {52429.0 * 50, 1, 50}, {-1, -1, 50}}, false},
        {{13, 5, 0}, {{-1, 1, 50}, {1, 1, 50}, {0, -52429.0 * 50, 50}}, false},
        {{13, 5, 0}, {{-1e308, 1, 50}, {1e308, 1, 50}, {1, -1, 50}}, false}};  // 10 x 1e308 overflows
    // clang-format on
    int row = 0;
    for (const auto& c : cases) {
        for (uint32_t flags : c.flags) {
            SCOPED_TRACE(testing::Message() << "row " << row << " flags " << flags);
            new_frame();
            gx_3d_render_flags(flags);
            gx_state.combined_matrix[0] = std::fabs(c.v[0].x) > 1e300 ? 10 : 1;
            EXPECT_EQ(gx_3d_texture_polygon(c.v.data(), FACE_TEX, uint32_t(c.v.size())), 0);
            EXPECT_TRUE(c.drawn ? drawn() > 0 : drawn() == 0 && written_words() == 0);
        }
        ++row;
    }
}

// Fewer than two vertices, or more than the work areas hold, draw nothing
// and leave the work areas alone. The largest count: a circle of radius 30
// at z 100, 96 on the screen (about pi * 96^2 pixels).
TEST_F(TexturePolygon, TooFewOrTooManyVerticesDrawNothing) {
    const std::vector<TexCoord> t(321, TexCoord{5, 5});
    const auto circle = [](uint32_t n) {
        std::vector<Vertex3> v;
        for (double a = 0; a < n; ++a)
            v.push_back({30 * std::cos(2 * std::numbers::pi * a / n),
                         -30 * std::sin(2 * std::numbers::pi * a / n), 100});
        return v;
    };
    for (auto [flags, largest] : {std::pair{13u, 142u}, {8u, 142u}, {5u, 320u}, {0u, 320u}}) {
        SCOPED_TRACE(flags);
        gx_3d_render_flags(flags);
        new_frame();
        gx_3d_texture_polygon(circle(largest).data(), t.data(), largest);
        EXPECT_NEAR(drawn(), 28953, 600);
        new_frame();
        std::memset(gx_state.scratch_area, 0xCD, sizeof gx_state.scratch_area);
        std::memset(gx_state.input_buffer, 0xCD, sizeof gx_state.input_buffer);
        for (uint32_t n : {0u, 1u, largest + 1})
            EXPECT_EQ(gx_3d_texture_polygon(circle(n).data(), t.data(), n), 0);
        expect_nothing_drawn();
        for (uint8_t byte : gx_state.scratch_area) ASSERT_EQ(byte, 0xCD);
        for (uint8_t byte : gx_state.input_buffer) ASSERT_EQ(byte, 0xCD);
    }
}

}  // namespace
