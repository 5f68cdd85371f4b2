// The vector kernels against the plain scalar loops: at every level the
// processor supports, the mappers must leave exactly the pixels and depth
// words that GX_SIMD_SCALAR leaves, over random polygons, windings, texture
// coordinates (in range and beyond), depths, stamps, clip rectangles,
// buffer depths and texture sizes, and over the cube drawn through the
// pipeline in random poses with every combination of render flags.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fixture.h"
#include "gfx/raster/texel_run.h"
#include "gfx/simd.h"

namespace {

std::vector<int32_t> fast_levels() {
    std::vector<int32_t> levels;
    for (int32_t level = GX_SIMD_SSE2; level <= gx_simd_supported(); ++level)
        levels.push_back(level);
    return levels;
}

class FastPaths : public RasterTest {
protected:
    void TearDown() override {
        gx_simd_select(gx_simd_supported());
        gx_texture_undefine(-1);
        RasterTest::TearDown();
    }

    // The open buffer's pixels and depth words.
    struct Image {
        std::vector<uint8_t> pixels;
        std::vector<uint32_t> words;
    };
    Image capture() const {
        const auto* pixels = gx_state.active_pixels;
        const uint32_t* words = gx_state.depth_buffer;
        const auto word_count = static_cast<size_t>(width_) * static_cast<size_t>(height_);
        return {std::vector<uint8_t>(pixels, pixels + gx_state.active_size),
                std::vector<uint32_t>(words, words + word_count)};
    }
    static void restore(const Image& image) {
        std::memcpy(gx_state.active_pixels, image.pixels.data(), image.pixels.size());
        std::memcpy(gx_state.depth_buffer, image.words.data(), image.words.size() * 4);
    }

    // Random pixels, and depth words from older, current and newer frames,
    // so that the test passes and fails along every span.
    void scramble(std::mt19937& random) {
        for (int32_t i = 0; i < gx_state.active_size; ++i) {
            gx_state.active_pixels[i] = static_cast<uint8_t>(random());
        }
        gx_state.depth_stamp = (random() % 256u) << 24;
        const auto word_count = static_cast<size_t>(width_) * static_cast<size_t>(height_);
        for (size_t i = 0; i < word_count; ++i) {
            const uint32_t kind = random() % 8u;
            const uint32_t low = random() & 0xFFFFFFu;
            uint32_t& word = gx_state.depth_buffer[i];
            if (kind == 0) {
                word = random();
            } else if (kind <= 2) {
                word = gx_state.depth_stamp - 0x01000000u + low;
            } else {
                word = gx_state.depth_stamp + (low >> (random() % 12u));
            }
        }
    }

    // A texture of random texels in the test's memory, made current.
    void random_texture(std::mt19937& random, int32_t width, int32_t height) {
        const int32_t depth = gx_state.active_depth;
        const size_t size = depth == 16 ? 2 : depth >= 24 ? 3 : 1;
        texels_.resize(size * static_cast<size_t>(width) * static_cast<size_t>(height));
        for (uint8_t& texel : texels_) texel = static_cast<uint8_t>(random());
        gx_texture_undefine(-1);
        const int32_t slot = gx_texture_define(texels_.data(), width, height);
        ASSERT_GE(slot, 0);
        gx_texture_select(slot);
    }

    // Draws from the same start at the reference level and at each fast
    // level; false (with a failure naming the first difference) when any
    // differs.
    bool same_at_every_level(const std::function<void()>& draw, const std::string& what) {
        const Image start = capture();
        gx_simd_select(GX_SIMD_SCALAR);
        draw();
        const Image want = capture();
        for (int32_t level : fast_levels()) {
            restore(start);
            EXPECT_EQ(gx_simd_select(level), level);
            draw();
            const Image got = capture();
            for (size_t i = 0; i < want.pixels.size(); ++i) {
                if (got.pixels[i] != want.pixels[i]) {
                    ADD_FAILURE() << what << ": level " << level << ", pixel byte " << i << " is "
                                  << int{got.pixels[i]} << ", reference " << int{want.pixels[i]};
                    return false;
                }
            }
            for (size_t i = 0; i < want.words.size(); ++i) {
                if (got.words[i] != want.words[i]) {
                    ADD_FAILURE() << what << ": level " << level << ", depth word " << i << " is "
                                  << got.words[i] << ", reference " << want.words[i];
                    return false;
                }
            }
        }
        restore(want);
        return true;
    }

    std::vector<uint8_t> texels_;
};

int32_t uniform(std::mt19937& random, int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(random);
}

double uniform_real(std::mt19937& random, double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random);
}

// A convex polygon: 3 to 8 corners at increasing angles round a centre
// that may lie off the buffer, in either winding.
std::vector<ScreenPoint> random_polygon(std::mt19937& random, int32_t width, int32_t height) {
    const int32_t n = uniform(random, 3, 8);
    const double cx = uniform_real(random, -0.3 * width, 1.3 * width);
    const double cy = uniform_real(random, -0.3 * height, 1.3 * height);
    const double radius = uniform_real(random, 1.0, 1.2 * (width + height));
    std::vector<double> angles;
    for (int32_t i = 0; i < n; ++i) angles.push_back(uniform_real(random, 0.0, 6.283185307179586));
    std::sort(angles.begin(), angles.end());
    std::vector<ScreenPoint> points;
    for (double angle : angles) {
        points.push_back({static_cast<int32_t>(cx + radius * std::cos(angle)),
                          static_cast<int32_t>(cy + radius * std::sin(angle))});
    }
    if (random() % 2 != 0) std::reverse(points.begin(), points.end());
    return points;
}

TEST_F(FastPaths, MappersDrawTheSameAtEveryLevel) {
    if (fast_levels().empty()) GTEST_SKIP() << "no vector level on this processor";
    std::mt19937 random(20240611);
    for (const int32_t depth : {8, 16, 24, 32}) {
        for (int32_t canvas = 0; canvas < 6; ++canvas) {
            open_canvas(depth, uniform(random, 1, 200), uniform(random, 1, 150));
            for (int32_t texture = 0; texture < 5; ++texture) {
                const bool small = random() % 3 == 0;
                const int32_t tw = small ? uniform(random, 1, 9) : uniform(random, 10, 300);
                const int32_t th = small ? uniform(random, 1, 9) : uniform(random, 10, 200);
                random_texture(random, tw, th);
                for (int32_t trial = 0; trial < 40; ++trial) {
                    scramble(random);
                    // The clip rectangle: mostly the whole buffer, sometimes a part
                    // or one reaching beyond it.
                    if (random() % 3 == 0) {
                        gx_state.clip_min_x = uniform(random, -5, width_);
                        gx_state.clip_max_x = uniform(random, gx_state.clip_min_x, width_ + 5);
                        gx_state.clip_min_y = uniform(random, -5, height_);
                        gx_state.clip_max_y = uniform(random, gx_state.clip_min_y, height_ + 5);
                    } else {
                        gx_state.clip_min_x = 0;
                        gx_state.clip_max_x = width_ - 1;
                        gx_state.clip_min_y = 0;
                        gx_state.clip_max_y = height_ - 1;
                    }
                    const std::vector<ScreenPoint> points = random_polygon(random, width_, height_);
                    // Texture coordinates inside the texture, or now and then a
                    // little outside (the clamped loop).
                    const int32_t spill = random() % 4 == 0 ? 3 : 0;
                    std::vector<TexCoord> texcoords;
                    std::vector<Vertex3> camera;
                    const double near = random() % 5 == 0 ? 1.0 : 2.0;
                    for (size_t i = 0; i < points.size(); ++i) {
                        texcoords.push_back({uniform(random, -spill, tw - 1 + spill),
                                             uniform(random, -spill, th - 1 + spill)});
                        const double z = uniform_real(random, near, 400.0);
                        camera.push_back({0.0, 0.0, random() % 9 == 0 ? -z : z});
                    }
                    const Mapper mapper = ALL_MAPPERS[random() % 4];
                    const bool twice = random() % 4 == 0;  // equal depths do not draw
                    std::ostringstream what;
                    what << "depth " << depth << ", canvas " << width_ << "x" << height_
                         << ", texture " << tw << "x" << th << ", " << mapper_name(mapper)
                         << ", trial " << trial;
                    const auto draw = [&] {
                        for (int k = 0; k < (twice ? 2 : 1); ++k) {
                            draw_raw(mapper, points.data(), texcoords.data(), camera.data(),
                                     static_cast<uint32_t>(points.size()));
                        }
                    };
                    ASSERT_TRUE(same_at_every_level(draw, what.str()));
                }
            }
        }
    }
}

// The program's cube, turned every way, through the pipeline with all
// render flags, onto every buffer depth.
TEST_F(FastPaths, CubeInRandomPosesDrawsTheSameAtEveryLevel) {
    if (fast_levels().empty()) GTEST_SKIP() << "no vector level on this processor";
    const Vertex3 faces[6][4] = {{{20, -20, -20}, {-20, -20, -20}, {-20, 20, -20}, {20, 20, -20}},
                                 {{-20, -20, 20}, {20, -20, 20}, {20, 20, 20}, {-20, 20, 20}},
                                 {{-20, -20, -20}, {-20, -20, 20}, {-20, 20, 20}, {-20, 20, -20}},
                                 {{20, -20, 20}, {20, -20, -20}, {20, 20, -20}, {20, 20, 20}},
                                 {{-20, 20, -20}, {-20, 20, 20}, {20, 20, 20}, {20, 20, -20}},
                                 {{-20, -20, 20}, {-20, -20, -20}, {20, -20, -20}, {20, -20, 20}}};
    const TexCoord texcoords[4] = {{63, 63}, {0, 63}, {0, 0}, {63, 0}};
    std::mt19937 random(77);
    for (const int32_t depth : {8, 16, 24, 32}) {
        open_canvas(depth, 320, 240);
        random_texture(random, 64, 64);
        gx_3d_viewport(0, 319, 0, 239, 0.5);
        gx_3d_clip_planes(40.0, 1000.0);
        for (int32_t pose = 0; pose < 60; ++pose) {
            scramble(random);
            gx_state.clip_min_x = 0;
            gx_state.clip_max_x = width_ - 1;
            gx_state.clip_min_y = 0;
            gx_state.clip_max_y = height_ - 1;
            const uint32_t flags = random() % 16u & (RF_PERSPECTIVE | RF_DEPTH | RF_CLIP);
            gx_3d_render_flags(flags);
            gx_3d_set_object(uniform_real(random, -60, 60), uniform_real(random, -40, 40),
                             uniform_real(random, 45, 300), uniform(random, 0, 3599),
                             uniform(random, 0, 3599), uniform(random, 0, 3599));
            std::ostringstream what;
            what << "depth " << depth << ", pose " << pose << ", flags " << flags;
            const auto draw = [&] {
                for (const auto& face : faces) gx_3d_texture_polygon(face, texcoords, 4);
            };
            ASSERT_TRUE(same_at_every_level(draw, what.str()));
        }
    }
}

// Spans of twenty runs and more, many rows of them: the batched set-up
// fills its boundaries and starts again in the middle of a span.
TEST_F(FastPaths, LongSpansDrawTheSameAtEveryLevel) {
    if (fast_levels().empty()) GTEST_SKIP() << "no vector level on this processor";
    std::mt19937 random(31337);
    for (const int32_t depth : {16, 32}) {
        open_canvas(depth, 700, 40);
        random_texture(random, 64, 64);
        for (int32_t trial = 0; trial < 12; ++trial) {
            scramble(random);
            const std::vector<ScreenPoint> points = {
                {uniform(random, -30, 10), -3},
                {uniform(random, 680, 730), uniform(random, -3, 5)},
                {uniform(random, 680, 730), 43},
                {uniform(random, -30, 10), uniform(random, 35, 43)}};
            const std::vector<TexCoord> texcoords = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
            std::vector<double> z;
            for (int32_t i = 0; i < 4; ++i) z.push_back(uniform_real(random, 2.0, 300.0));
            const Mapper mapper = random() % 2 == 0 ? Mapper::PerspDepth : Mapper::Persp;
            const auto draw = [&] { ::draw(mapper, points, texcoords, z); };
            ASSERT_TRUE(same_at_every_level(draw, "depth " + std::to_string(depth) + ", " +
                                                      mapper_name(mapper) + ", trial " +
                                                      std::to_string(trial)));
        }
    }
}

// Rows of 32768 texels or more are beyond the kernels' 16-bit row length,
// and the mappers fall back to the scalar loop there.
TEST_F(FastPaths, WideTexturesFallBackToTheScalarLoop) {
    std::mt19937 random(5);
    open_canvas(16, 64, 16);
    random_texture(random, 40000, 2);
    const std::vector<ScreenPoint> points = square(0, 0, 60);
    const std::vector<TexCoord> texcoords = {{32000, 0}, {32767, 0}, {32767, 1}, {32000, 1}};
    for (const Mapper mapper : ALL_MAPPERS) {
        scramble(random);
        const auto draw = [&] { draw_flat(mapper, points, texcoords, 50.0); };
        ASSERT_TRUE(same_at_every_level(draw, mapper_name(mapper)));
    }
}

// A kernel reads whole 32-bit words of texels; a run may use it only when
// 4 bytes can be read at its furthest texel.
TEST(FastPathLimits, KernelsReadOnlyInsideTheTexture) {
    const uint8_t texels[3 * 4 * 2] = {};
    gx_raster::TextureView texture{texels, 4 * 2, 3, 2};  // 3 rows of 4 two-byte texels
    texture.fetch_limit = sizeof texels - 4;
    gx_raster::TexelRun run{};
    run.count = 8;
    run.u = 0;
    run.du = 0x3000;                                        // columns 0 to 1 (7 * 0.1875 = 1.3125)
    run.v = 2u << 16;                                       // the last row
    EXPECT_TRUE(gx_raster::fetch_within<2>(texture, run));  // furthest offset 18
    run.u = 2u << 16;  // columns 2 to 3: offset 22 leaves 2 bytes
    EXPECT_FALSE(gx_raster::fetch_within<2>(texture, run));
    run.v = 1u << 16;  // a row up: offset 14
    EXPECT_TRUE(gx_raster::fetch_within<2>(texture, run));
    run.u = 3u << 16;  // stepping backward: the first column is the furthest
    run.du = static_cast<uint32_t>(-0x4000);
    run.v = 2u << 16;
    EXPECT_FALSE(gx_raster::fetch_within<2>(texture, run));
    run.u = 1u << 16;  // columns 1 down to 0 on the last row: offset 18
    EXPECT_TRUE(gx_raster::fetch_within<2>(texture, run));
}

}  // namespace
