// The two pixel loops of a run: the exact one (address stepped by carries)
// and the clamped fallback must agree wherever the values are in range, and
// the fallback must hold the rest at the texture's edges and below the stamp.
#include "gfx/raster/texel_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using gx_raster::TexelRun;

// A 16-bit texture whose texel is v * 256 + u.
struct Texture16 {
    int32_t width, height;
    std::vector<uint16_t> texels;
    Texture16(int32_t w, int32_t h) : width(w), height(h), texels(static_cast<size_t>(w * h)) {
        for (size_t i = 0; i < texels.size(); ++i)
            texels[i] = static_cast<uint16_t>(i / static_cast<size_t>(w) * 256 +
                                              i % static_cast<size_t>(w));
    }
    gx_raster::TextureView view() const {
        return {reinterpret_cast<const uint8_t*>(texels.data()), width * 2, width - 1, height - 1};
    }
};

struct Pixels {
    std::vector<uint16_t> pixels;
    std::vector<uint32_t> words;
};

enum class Loop { Exact, Clamped, Chosen };

template <bool DEPTH>
Pixels run_loop(Loop loop, const Texture16& texture, const TexelRun& run, uint32_t stamp) {
    Pixels out{std::vector<uint16_t>(static_cast<size_t>(run.count), 0xEEEE),
               std::vector<uint32_t>(static_cast<size_t>(run.count), 0)};
    auto* pixel = reinterpret_cast<uint8_t*>(out.pixels.data());
    if (loop == Loop::Exact)
        gx_raster::texel_run_exact<2, DEPTH>(pixel, out.words.data(), texture.view(), stamp, run);
    if (loop == Loop::Clamped)
        gx_raster::texel_run_clamped<2, DEPTH>(pixel, out.words.data(), texture.view(), stamp, run);
    if (loop == Loop::Chosen)
        gx_raster::texel_run<2, DEPTH>(pixel, out.words.data(), texture.view(), stamp, run);
    return out;
}

// Random in-range runs, steps of either sign and any fraction: pixel k shows
// texel (floor(U_k), floor(V_k)) with depth word stamp + D_k in both loops.
TEST(TexelRun, ExactAndClampedLoopsAgreeInRange) {
    const Texture16 texture(64, 48);
    std::mt19937 random(12345);
    int tried = 0;
    for (int i = 0; i < 20000; ++i) {
        const auto count = static_cast<int32_t>(random() % 40) + 1;
        const TexelRun run{
            random() % (64u << 16),
            random() % (48u << 16),
            static_cast<uint32_t>(static_cast<int32_t>(random() % (8u << 16)) - (4 << 16)),
            static_cast<uint32_t>(static_cast<int32_t>(random() % (6u << 16)) - (3 << 16)),
            random() % 0x1000000u,
            static_cast<uint32_t>(static_cast<int32_t>(random() % 4001) - 2000),
            count};
        Pixels want{{}, {}};
        bool in_range = true;
        for (int64_t k = 0; k < count; ++k) {
            const int64_t u = static_cast<int32_t>(run.u) + k * static_cast<int32_t>(run.du);
            const int64_t v = static_cast<int32_t>(run.v) + k * static_cast<int32_t>(run.dv);
            const int64_t d = run.depth + k * static_cast<int32_t>(run.depth_step);
            in_range &= u >= 0 && u < (64 << 16) && v >= 0 && v < (48 << 16) && d >= 0 &&
                        d <= 0xFFFFFF;
            want.pixels.push_back(static_cast<uint16_t>((v >> 16) * 256 + (u >> 16)));
            want.words.push_back(0x03000000u + static_cast<uint32_t>(d));
        }
        if (!in_range) continue;
        ++tried;
        for (Loop loop : {Loop::Exact, Loop::Clamped, Loop::Chosen}) {
            const Pixels got = run_loop<true>(loop, texture, run, 0x03000000);
            ASSERT_EQ(got.pixels, want.pixels) << i;
            ASSERT_EQ(got.words, want.words) << i;
            ASSERT_EQ(run_loop<false>(loop, texture, run, 0).pixels, want.pixels) << i;
        }
    }
    EXPECT_GT(tried, 2000);
}

TEST(TexelRun, ClampedLoopHoldsTexelsAtTheEdges) {
    const Texture16 texture(8, 4);
    // u from -2.5 to 9.5, v from 5 down to 1.
    const TexelRun run{static_cast<uint32_t>(-2 * 65536 - 32768),
                       5u << 16,
                       1u << 16,
                       static_cast<uint32_t>(-65536 / 3),
                       0,
                       0,
                       13};
    std::vector<uint16_t> expected;
    for (int32_t k = 0; k < 13; ++k) {
        const int32_t u = std::clamp(k - 3, 0, 7);  // floor(-2.5 + k)
        const int32_t v = std::clamp((5 * 65536 - k * (65536 / 3)) >> 16, 0, 3);
        expected.push_back(static_cast<uint16_t>(v * 256 + u));
    }
    EXPECT_EQ(run_loop<false>(Loop::Clamped, texture, run, 0).pixels, expected);
}

TEST(TexelRun, ClampedLoopHoldsDepthBelowTheStamp) {
    const Texture16 texture(1, 1);
    // From 0xFFFFF0 up by 8 per pixel, and from 16 down by 8 (held at 0).
    const Pixels rising = run_loop<true>(Loop::Clamped, texture, {0, 0, 0, 0, 0xFFFFF0u, 8u, 4},
                                         0x05000000);
    EXPECT_EQ(rising.words,
              (std::vector<uint32_t>{0x05FFFFF0u, 0x05FFFFF8u, 0x05FFFFFFu, 0x05FFFFFFu}));
    const Pixels falling = run_loop<true>(
        Loop::Clamped, texture, {0, 0, 0, 0, 16u, static_cast<uint32_t>(-8), 4}, 0x05000000);
    EXPECT_EQ(falling.words,
              (std::vector<uint32_t>{0x05000010u, 0x05000008u, 0x05000000u, 0x05000000u}));
}

// texel_run picks the clamped loop for a run leaving the texture, which the
// exact loop would read beyond, and for depths beyond 24 bits.
TEST(TexelRun, RunsLeavingTheTextureAreClamped) {
    const Texture16 texture(4, 2);
    EXPECT_EQ(
        run_loop<true>(Loop::Chosen, texture, {3u << 16, 1u << 16, 1u << 16, 0, 0x10, 0, 5}, 0)
            .pixels,
        (std::vector<uint16_t>{0x103, 0x103, 0x103, 0x103, 0x103}));
    EXPECT_EQ(
        run_loop<true>(Loop::Chosen, texture, {0, 0, 0, 0, 0x1000000u, 0, 2}, 0x01000000).words,
        (std::vector<uint32_t>{0x01FFFFFFu, 0x01FFFFFFu}));
}

// A kernel reads whole 32-bit words of texels; a run may use it only when
// 4 bytes can be read at its furthest texel.
TEST(TexelRun, KernelsReadOnlyInsideTheTexture) {
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
