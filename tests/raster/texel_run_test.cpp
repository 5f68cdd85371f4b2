// The clamped pixel loop holds texels at the texture's edges and depths below
// the stamp, and is chosen where needed (frames_test.cpp checks the rest).
#include "gfx/raster/texel_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

using gx_raster::TexelRun;

// Runs over a 16-bit texture whose texel is v * 256 + u: the pixels and
// depth words one loop leaves.
struct Drawn {
    std::vector<uint16_t> pixels;
    std::vector<uint32_t> words;
    Drawn(bool clamped_loop, int32_t width, int32_t height, const TexelRun& run, uint32_t stamp)
        : pixels(static_cast<size_t>(run.count)), words(static_cast<size_t>(run.count)) {
        std::vector<uint16_t> texels;
        for (int32_t i = 0; i < width * height; ++i)
            texels.push_back(static_cast<uint16_t>(i / width * 256 + i % width));
        const gx_raster::TextureView texture{reinterpret_cast<const uint8_t*>(texels.data()),
                                             width * 2, width - 1, height - 1};
        auto* pixel = reinterpret_cast<uint8_t*>(pixels.data());
        if (clamped_loop) {
            gx_raster::texel_run_clamped<2, true>(pixel, words.data(), texture, stamp, run);
        } else {
            gx_raster::texel_run<2, true>(pixel, words.data(), texture, stamp, run);
        }
    }
};

TEST(TexelRun, ClampedLoopHoldsTexelsAtTheEdges) {
    // u from -2.5 to 9.5, v from 5 down to 1 over an 8 x 4 texture.
    const auto minus = [](int32_t step) { return static_cast<uint32_t>(-step); };
    const Drawn run(true, 8, 4,
                    {minus(2 * 65536 + 32768), 5u << 16, 1u << 16, minus(65536 / 3), 1, 0, 13}, 0);
    std::vector<uint16_t> expected;
    for (int32_t k = 0; k < 13; ++k) {
        const int32_t u = std::clamp(k - 3, 0, 7);  // floor(-2.5 + k)
        const int32_t v = std::clamp((5 * 65536 - k * (65536 / 3)) >> 16, 0, 3);
        expected.push_back(static_cast<uint16_t>(v * 256 + u));
    }
    EXPECT_EQ(run.pixels, expected);
}

TEST(TexelRun, ClampedLoopHoldsDepthBelowTheStamp) {
    // From 0xFFFFF0 up by 8 per pixel, and from 16 down by 8 (held at 0).
    EXPECT_EQ(Drawn(true, 1, 1, {0, 0, 0, 0, 0xFFFFF0u, 8u, 4}, 0x05000000).words,
              (std::vector<uint32_t>{0x05FFFFF0u, 0x05FFFFF8u, 0x05FFFFFFu, 0x05FFFFFFu}));
    EXPECT_EQ(Drawn(true, 1, 1, {0, 0, 0, 0, 16u, static_cast<uint32_t>(-8), 4}, 0x05000000).words,
              (std::vector<uint32_t>{0x05000010u, 0x05000008u, 0x05000000u, 0x05000000u}));
}

// texel_run picks the clamped loop for a run leaving the texture, which the
// exact loop would read beyond, and for depths beyond 24 bits.
TEST(TexelRun, RunsLeavingTheTextureAreClamped) {
    EXPECT_EQ(Drawn(false, 4, 2, {3u << 16, 1u << 16, 1u << 16, 0, 0x10, 0, 5}, 0).pixels,
              std::vector<uint16_t>(5, 0x103));
    EXPECT_EQ(Drawn(false, 4, 2, {0, 0, 0, 0, 0x1000000u, 0, 2}, 0x01000000).words,
              std::vector<uint32_t>(2, 0x01FFFFFFu));
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
