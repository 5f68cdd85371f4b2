// The two pixel loops: the exact one (address stepped by carries) and the
// clamped fallback must agree wherever the values are in range, and the
// fallback must hold the rest at the texture's edges and below the stamp.
#include "gfx/raster/texel_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using gx_raster::TexelRun;
using gx_raster::TextureView;

// A 16-bit texture whose texel is v * 256 + u.
struct Texture16 {
    int32_t width, height;
    std::vector<uint16_t> texels;
    Texture16(int32_t w, int32_t h) : width(w), height(h), texels(static_cast<size_t>(w * h)) {
        for (int32_t v = 0; v < h; ++v)
            for (int32_t u = 0; u < w; ++u)
                texels[static_cast<size_t>(v * w + u)] = static_cast<uint16_t>(v * 256 + u);
    }
    TextureView view() const {
        return {reinterpret_cast<const uint8_t*>(texels.data()), width * 2, width - 1, height - 1};
    }
};

struct Pixels {
    std::vector<uint16_t> pixels;
    std::vector<uint32_t> words;
    explicit Pixels(size_t n) : pixels(n, 0xEEEE), words(n, 0) {}
};

template <bool DEPTH, bool EXACT>
Pixels run_loop(const Texture16& texture, const TexelRun& run, uint32_t stamp) {
    Pixels out(static_cast<size_t>(run.count));
    auto* pixel = reinterpret_cast<uint8_t*>(out.pixels.data());
    if constexpr (EXACT) {
        gx_raster::texel_run_exact<2, DEPTH>(pixel, out.words.data(), texture.view(), stamp, run);
    } else {
        gx_raster::texel_run_clamped<2, DEPTH>(pixel, out.words.data(), texture.view(), stamp, run);
    }
    return out;
}

// Random in-range runs, steps of either sign and any fraction.
TEST(TexelRun, ExactAndClampedLoopsAgreeInRange) {
    const Texture16 texture(64, 48);
    std::mt19937 random(12345);
    int tried = 0;
    for (int i = 0; i < 20000; ++i) {
        TexelRun run{};
        run.count = static_cast<int32_t>(random() % 40) + 1;
        run.u = random() % (64u << 16);
        run.v = random() % (48u << 16);
        const int32_t du = static_cast<int32_t>(random() % (8u << 16)) - (4 << 16);
        const int32_t dv = static_cast<int32_t>(random() % (6u << 16)) - (3 << 16);
        run.du = static_cast<uint32_t>(du);
        run.dv = static_cast<uint32_t>(dv);
        run.depth = random() % 0x1000000u;
        run.depth_step = static_cast<uint32_t>(static_cast<int32_t>(random() % 4001) - 2000);
        const int64_t last = run.count - 1;
        const int64_t u_end = static_cast<int64_t>(run.u) + last * du;
        const int64_t v_end = static_cast<int64_t>(run.v) + last * dv;
        const int64_t d_end = static_cast<int64_t>(run.depth) +
                              last * static_cast<int32_t>(run.depth_step);
        if (u_end < 0 || u_end >= (64 << 16) || v_end < 0 || v_end >= (48 << 16) || d_end < 0 ||
            d_end > 0xFFFFFF) {
            continue;
        }
        ++tried;
        const Pixels exact = run_loop<true, true>(texture, run, 0x03000000);
        const Pixels clamped = run_loop<true, false>(texture, run, 0x03000000);
        ASSERT_EQ(exact.pixels, clamped.pixels) << i;
        ASSERT_EQ(exact.words, clamped.words) << i;
        // Pixel k shows texel (floor(U_k), floor(V_k)).
        const int32_t k = run.count / 2;
        const int64_t u = (static_cast<int64_t>(run.u) + k * du) >> 16;
        const int64_t v = (static_cast<int64_t>(run.v) + k * dv) >> 16;
        ASSERT_EQ(exact.pixels[static_cast<size_t>(k)], v * 256 + u);
        ASSERT_EQ(exact.words[static_cast<size_t>(k)],
                  0x03000000u + run.depth + static_cast<uint32_t>(k) * run.depth_step);
        const Pixels plain = run_loop<false, true>(texture, run, 0);
        ASSERT_EQ(plain.pixels, exact.pixels);
        ASSERT_EQ(plain.words, std::vector<uint32_t>(static_cast<size_t>(run.count), 0u));
    }
    EXPECT_GT(tried, 2000);
}

TEST(TexelRun, ClampedLoopHoldsTexelsAtTheEdges) {
    const Texture16 texture(8, 4);
    // u from -2.5 to 9.5, v from 5 down to 1.
    TexelRun run{static_cast<uint32_t>(-2 * 65536 - 32768),
                 5u << 16,
                 1u << 16,
                 static_cast<uint32_t>(-65536 / 3),
                 0,
                 0,
                 13};
    const Pixels out = run_loop<false, false>(texture, run, 0);
    std::vector<uint16_t> expected;
    for (int32_t k = 0; k < 13; ++k) {
        const int32_t u = std::clamp(k - 3, 0, 7);  // floor(-2.5 + k)
        const int32_t v = std::clamp(static_cast<int32_t>((5 * 65536 - k * (65536 / 3)) >> 16), 0,
                                     3);
        expected.push_back(static_cast<uint16_t>(v * 256 + u));
    }
    EXPECT_EQ(out.pixels, expected);
}

TEST(TexelRun, ClampedLoopHoldsDepthBelowTheStamp) {
    const Texture16 texture(1, 1);
    // From 0xFFFFF0 up by 8 per pixel, and from 16 down by 8.
    TexelRun up{0, 0, 0, 0, 0xFFFFF0u, 8u, 4};
    const Pixels rising = run_loop<true, false>(texture, up, 0x05000000);
    EXPECT_EQ(rising.words,
              (std::vector<uint32_t>{0x05FFFFF0u, 0x05FFFFF8u, 0x05FFFFFFu, 0x05FFFFFFu}));
    TexelRun down{0, 0, 0, 0, 16u, static_cast<uint32_t>(-8), 4};
    const Pixels falling = run_loop<true, false>(texture, down, 0x05000000);
    // Below 0 the value is held at 0.
    EXPECT_EQ(falling.words,
              (std::vector<uint32_t>{0x05000010u, 0x05000008u, 0x05000000u, 0x05000000u}));
}

// texel_run picks the clamped loop for a run leaving the texture, which the
// exact loop would read beyond.
TEST(TexelRun, RunsLeavingTheTextureAreClamped) {
    const Texture16 texture(4, 2);
    TexelRun run{3u << 16, 1u << 16, 1u << 16, 0, 0x10, 0, 5};
    std::vector<uint16_t> pixels(5, 0);
    std::vector<uint32_t> words(5, 0);
    gx_raster::texel_run<2, true>(reinterpret_cast<uint8_t*>(pixels.data()), words.data(),
                                  texture.view(), 0, run);
    EXPECT_EQ(pixels, (std::vector<uint16_t>{0x103, 0x103, 0x103, 0x103, 0x103}));
    // Depth beyond 24 bits alone also takes the clamped loop.
    TexelRun deep{0, 0, 0, 0, 0x1000000u, 0, 2};
    gx_raster::texel_run<2, true>(reinterpret_cast<uint8_t*>(pixels.data()), words.data(),
                                  texture.view(), 0x01000000, deep);
    EXPECT_EQ(words[0], 0x01FFFFFFu);
    EXPECT_EQ(words[1], 0x01FFFFFFu);
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
