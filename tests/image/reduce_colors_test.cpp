// Colour reduction against the plain reference of pcx_support (which the
// reader's model uses too): hand-worked merge rules, random buffers, and the
// ranges and buffers it refuses.
#include <algorithm>
#include <array>
#include <cstring>
#include <random>

#include "pcx_support.h"

namespace {

using namespace pcxtest;

class ReduceColors : public LibraryTest {
protected:
    // One 8-bit row of `pixels` (a multiple of 4) through gx_reduce_colors,
    // compared whole with the reference.
    void reduce_as_the_reference(const Bytes& pixels, int first, int count, const Bytes& rgb,
                                 const std::string& what) {
        open_buffer(8, static_cast<int32_t>(pixels.size()), 1);
        std::copy(pixels.begin(), pixels.end(), gx_state.active_pixels);
        const Reference want = reference_reduce(pixels, first, count, rgb);
        Bytes got = rgb, palette = want.rgb;
        got.resize(1024, 0x5A);  // bytes past the palette, never to be written
        palette.resize(1024, 0x5A);
        EXPECT_EQ(gx_reduce_colors(first, count, got.data()), 0);
        EXPECT_EQ(now(0).pixels, Pixels(want.pixels.begin(), want.pixels.end())) << what;
        EXPECT_EQ(got, palette) << what;
        EXPECT_EQ(std::memcmp(gx_state.reduce_counts, want.counts, sizeof want.counts), 0) << what;
    }
};

Bytes runs(std::initializer_list<std::pair<uint8_t, int>> list) {
    Bytes pixels;
    for (const auto& [v, n] : list) pixels.insert(pixels.end(), static_cast<size_t>(n), v);
    return pixels;
}

// Colour i is (i, 255 - i, 17 i), well apart, except where a case sets it.
Bytes spread_palette(std::initializer_list<std::array<uint8_t, 4>> set = {}) {
    Bytes rgb(768);
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c)
            rgb[3 * i + c] = static_cast<uint8_t>(c == 0 ? i : c == 1 ? 255 - i : 17 * i);
    for (const auto& e : set) std::copy(e.begin() + 1, e.end(), rgb.begin() + 3 * e[0]);
    return rgb;
}

// Rows worked by hand: renumbering in index order shifted to `first`; first
// 0; a single index; identical colours (the one with fewer pixels goes);
// equal counts (the lower index goes); a chain; then (1,2) and (3,4) equally
// close: the later pair wins only when its second member has fewer pixels
// than both of the earlier pair's.
TEST_F(ReduceColors, MergeRulesOnHandMadeRows) {
    const Bytes ties = spread_palette(
        {{1, 0, 0, 0}, {2, 0, 0, 10}, {3, 100, 100, 100}, {4, 100, 100, 110}});
    const struct {
        Bytes rgb, pixels;
        int first, count;
        Bytes row;
    } cases[] = {
        {spread_palette(), {2, 5, 9, 2, 5, 5, 9, 2}, 10, 236, {10, 11, 12, 10, 11, 11, 12, 10}},
        {spread_palette(), {200, 100, 100, 200}, 0, 2, {1, 0, 0, 1}},
        {spread_palette(), Bytes(8, 77), 10, 236, Bytes(8, 10)},
        {spread_palette({{7, 4, 251, 68}}), runs({{4, 3}, {7, 1}, {100, 2}, {200, 2}}), 0, 3,
         runs({{0, 4}, {1, 2}, {2, 2}})},
        {spread_palette({{4, 50, 50, 50}, {7, 50, 50, 51}}), runs({{4, 2}, {7, 2}, {200, 4}}), 0, 2,
         runs({{0, 4}, {1, 4}})},
        {spread_palette({{10, 0, 0, 0}, {20, 0, 0, 2}, {30, 0, 0, 5}, {40, 255, 255, 255}}),
         runs({{10, 1}, {20, 2}, {30, 4}, {40, 9}}), 0, 2, runs({{0, 7}, {1, 9}})},
        {ties, runs({{1, 5}, {2, 6}, {3, 7}, {4, 4}, {2, 2}}), 0, 3,
         runs({{0, 5}, {1, 6}, {2, 11}, {1, 2}})},
        {ties, runs({{1, 5}, {2, 6}, {3, 7}, {4, 5}, {2, 1}}), 0, 3,
         runs({{0, 11}, {1, 7}, {2, 5}, {0, 1}})},
        {ties, runs({{1, 5}, {2, 6}, {3, 1}, {4, 9}, {2, 3}}), 0, 3,
         runs({{0, 11}, {1, 1}, {2, 9}, {0, 3}})},
    };
    for (const auto& t : cases) {
        const std::string what = "case " + std::to_string(&t - cases);
        ASSERT_EQ(reference_reduce(t.pixels, t.first, t.count, t.rgb).pixels, t.row) << what;
        reduce_as_the_reference(t.pixels, t.first, t.count, t.rgb, what);
    }
}

TEST_F(ReduceColors, MatchesThePlainReferenceOnRandomBuffers) {
    std::mt19937 rng(20240611);
    for (int trial = 0; trial < 60; ++trial) {
        // Few levels make many exact ties; 256 many distinct distances.
        const uint32_t levels = trial % 3 == 0 ? 3 : trial % 3 == 1 ? 6 : 256;
        Bytes rgb(768);
        for (auto& v : rgb) v = static_cast<uint8_t>(rng() % levels * (255 / (levels - 1)));
        const int distinct = 20 + static_cast<int>(rng() % 237);
        Bytes pixels(1024);
        for (auto& p : pixels) p = static_cast<uint8_t>(rng() % uint32_t(distinct) * 251 % 256);
        const int first = trial % 4 == 0 ? 0 : static_cast<int>(rng() % 20);
        const int merges = trial % 10 == 9 ? 255 : static_cast<int>(rng() % 25);
        reduce_as_the_reference(pixels, first, std::clamp(distinct - merges, 1, 256 - first), rgb,
                                "trial " + std::to_string(trial));
        if (HasFailure()) return;
    }
}

TEST_F(ReduceColors, BadRangesOtherDepthsAndNoBufferChangeNothing) {
    const Bytes original = spread_palette();
    Bytes rgb = original;
    EXPECT_EQ(gx_reduce_colors(10, 236, rgb.data()), 0);  // no buffer
    for (int32_t depth : {16, 24, 32}) {
        open_buffer(depth, 4, 2);
        std::memset(gx_state.active_pixels, 0x3C, static_cast<size_t>(gx_state.active_size));
        const Outcome before = now(0);
        gx_reduce_colors(10, 1, rgb.data());
        EXPECT_TRUE(now(0) == before);
    }
    open_buffer(8, 4, 1);
    std::copy_n(Bytes{1, 2, 3, 4}.begin(), 4, gx_state.active_pixels);
    const int32_t ranges[][2] = {{10, 0},  {10, -1},       {-1, 10},       {0, 257},      {250, 7},
                                 {256, 1}, {INT32_MAX, 1}, {1, INT32_MAX}, {INT32_MIN, 5}};
    for (const auto& [first, count] : ranges)
        EXPECT_EQ(gx_reduce_colors(first, count, rgb.data()), 0);
    EXPECT_EQ(gx_reduce_colors(0, 1, nullptr), 0);
    EXPECT_EQ(rgb, original);
    EXPECT_EQ(now(0).pixels, (Pixels{1, 2, 3, 4}));
    gx_reduce_colors(250, 6, rgb.data());  // the largest range that fits
    EXPECT_EQ(now(0).pixels, (Pixels{250, 251, 252, 253}));
}

}  // namespace
