// Colour reduction: each merge rule on hand-made buffers, a plain reference
// that computes every distance in full, and the reduction the reader runs.
#include <algorithm>
#include <cstring>
#include <random>

#include "pcx_support.h"

namespace {

using namespace pcxtest;

class ReduceColors : public LibraryTest {
protected:
    // Opens an 8-bit buffer of `pixels.size()` columns (a multiple of 4) and
    // one row holding them.
    void buffer_of(const Bytes& pixels) {
        open_buffer(8, static_cast<int32_t>(pixels.size()), 1);
        for (size_t x = 0; x < pixels.size(); ++x) gx_state.active_pixels[x] = pixels[x];
    }
    Bytes row() const {
        return Bytes(gx_state.active_pixels, gx_state.active_pixels + gx_state.active_width);
    }
};

// `n` pixels of value `v` appended.
void add(Bytes& pixels, uint8_t v, int n) { pixels.insert(pixels.end(), static_cast<size_t>(n), v); }

// A palette of well separated colours: i -> (i, 255 - i, 17 * i).
Bytes spread_palette() {
    Bytes rgb(768);
    for (int i = 0; i < 256; ++i) {
        rgb[3 * i] = static_cast<uint8_t>(i);
        rgb[3 * i + 1] = static_cast<uint8_t>(255 - i);
        rgb[3 * i + 2] = static_cast<uint8_t>(17 * i);
    }
    return rgb;
}

void set_color(Bytes& rgb, int i, uint8_t r, uint8_t g, uint8_t b) {
    rgb[3 * i] = r;
    rgb[3 * i + 1] = g;
    rgb[3 * i + 2] = b;
}

Bytes color(const Bytes& rgb, int i) { return Bytes(rgb.begin() + 3 * i, rgb.begin() + 3 * i + 3); }

TEST_F(ReduceColors, FewEnoughColoursAreStillRenumberedCompactedAndShifted) {
    Bytes pixels = {2, 5, 9, 2, 5, 5, 9, 2};
    buffer_of(pixels);
    const Bytes original = spread_palette();
    Bytes rgb = original;
    EXPECT_EQ(gx_reduce_colors(10, 236, rgb.data()), 0);
    EXPECT_EQ(row(), (Bytes{10, 11, 12, 10, 11, 11, 12, 10}));
    EXPECT_EQ(color(rgb, 10), color(original, 2));
    EXPECT_EQ(color(rgb, 11), color(original, 5));
    EXPECT_EQ(color(rgb, 12), color(original, 9));
    // Positions past the survivors keep what the array held three places on.
    for (int slot = 13; slot <= 245; ++slot) ASSERT_EQ(color(rgb, slot), color(original, slot - 10)) << slot;
    for (int slot : {0, 5, 9, 246, 250, 255}) EXPECT_EQ(color(rgb, slot), (Bytes{0, 0, 0})) << slot;
    EXPECT_EQ(gx_state.reduce_counts[2], 3u);
    EXPECT_EQ(gx_state.reduce_counts[5], 3u);
    EXPECT_EQ(gx_state.reduce_counts[9], 2u);
}

TEST_F(ReduceColors, FirstZeroMovesAndClearsNothing) {
    buffer_of({200, 100, 100, 200});
    const Bytes original = spread_palette();
    Bytes rgb = original;
    gx_reduce_colors(0, 2, rgb.data());
    EXPECT_EQ(row(), (Bytes{1, 0, 0, 1}));
    EXPECT_EQ(color(rgb, 0), color(original, 100));
    EXPECT_EQ(color(rgb, 1), color(original, 200));
    for (int slot = 2; slot < 256; ++slot) ASSERT_EQ(color(rgb, slot), color(original, slot)) << slot;
}

TEST_F(ReduceColors, IdenticalColoursMergeFirstIntoTheOneWithMorePixels) {
    Bytes rgb = spread_palette();
    set_color(rgb, 7, 4, 251, 68);  // the same colour as index 4
    Bytes pixels;
    add(pixels, 4, 3);
    add(pixels, 7, 1);
    add(pixels, 100, 2);
    add(pixels, 200, 2);
    buffer_of(pixels);
    const Bytes original = rgb;
    gx_reduce_colors(0, 3, rgb.data());
    // 7 went into 4; survivors 4, 100, 200 become 0, 1, 2.
    EXPECT_EQ(row(), (Bytes{0, 0, 0, 0, 1, 1, 2, 2}));
    EXPECT_EQ(gx_state.reduce_counts[4], 4u);
    EXPECT_EQ(gx_state.reduce_counts[7], 0u);
    EXPECT_EQ(color(rgb, 0), color(original, 4));
}

TEST_F(ReduceColors, EqualCountsMergeTheLowerIndexIntoTheHigher) {
    Bytes rgb = spread_palette();
    set_color(rgb, 4, 50, 50, 50);
    set_color(rgb, 7, 50, 50, 51);
    Bytes pixels;
    add(pixels, 4, 2);
    add(pixels, 7, 2);
    add(pixels, 200, 4);
    buffer_of(pixels);
    const Bytes original = rgb;
    gx_reduce_colors(0, 2, rgb.data());
    EXPECT_EQ(row(), (Bytes{0, 0, 0, 0, 1, 1, 1, 1}));
    EXPECT_EQ(gx_state.reduce_counts[4], 0u);
    EXPECT_EQ(gx_state.reduce_counts[7], 4u);
    // The keeper keeps its own colour: nothing is averaged.
    EXPECT_EQ(color(rgb, 0), (Bytes{50, 50, 51}));
    EXPECT_EQ(color(rgb, 1), color(original, 200));
}

TEST_F(ReduceColors, ChainsOfMergesEndAtTheLastKeeper) {
    Bytes rgb = spread_palette();
    set_color(rgb, 10, 0, 0, 0);
    set_color(rgb, 20, 0, 0, 2);
    set_color(rgb, 30, 0, 0, 5);
    set_color(rgb, 40, 255, 255, 255);
    Bytes pixels;
    add(pixels, 10, 1);
    add(pixels, 20, 2);
    add(pixels, 30, 4);
    add(pixels, 40, 9);
    buffer_of(pixels);
    gx_reduce_colors(0, 2, rgb.data());
    // 10 into 20 (distance 4, fewer pixels), then 20 (now 3 pixels) into 30.
    Bytes want;
    add(want, 0, 7);
    add(want, 1, 9);
    EXPECT_EQ(row(), want);
    EXPECT_EQ(gx_state.reduce_counts[30], 7u);
    EXPECT_EQ(gx_state.reduce_map[10], 0);
    EXPECT_EQ(gx_state.reduce_map[20], 0);
    EXPECT_EQ(color(rgb, 0), (Bytes{0, 0, 5}));
    EXPECT_EQ(color(rgb, 1), (Bytes{255, 255, 255}));
}

TEST_F(ReduceColors, ASingleIndexBecomesFirst) {
    buffer_of(Bytes(8, 77));
    const Bytes original = spread_palette();
    Bytes rgb = original;
    gx_reduce_colors(10, 236, rgb.data());
    EXPECT_EQ(row(), Bytes(8, 10));
    EXPECT_EQ(color(rgb, 10), color(original, 77));
    EXPECT_EQ(color(rgb, 11), color(original, 1));
    EXPECT_EQ(color(rgb, 9), (Bytes{0, 0, 0}));
    EXPECT_EQ(color(rgb, 246), (Bytes{0, 0, 0}));
}

// Two pairs at the same distance: the later pair replaces the earlier one
// only when its second member has fewer pixels than both of the earlier pair.
TEST_F(ReduceColors, TieRuleBetweenEquallyClosePairs) {
    struct Case {
        int a, b, c, d;  // pixel counts of indices 1, 2, 3, 4
        Bytes want;      // the row after one merge, indices 1,2,3,4 in that order
    };
    // Pair (1,2) and pair (3,4) are both at distance 100.
    const Case cases[] = {
        // 4 has fewer pixels (4) than both 1 (5) and 2 (6): (3,4) wins, 4 into 3.
        {5, 6, 7, 4, {}},
        // 4 has 5 pixels, not fewer than min(5, 6): (1,2) stays, 1 into 2.
        {5, 6, 7, 5, {}},
        // Only j's count counts: 3 has 1 pixel, 4 has 9: (1,2) stays.
        {5, 6, 1, 9, {}},
    };
    for (int k = 0; k < 3; ++k) {
        const Case& t = cases[k];
        Bytes rgb = spread_palette();
        set_color(rgb, 1, 0, 0, 0);
        set_color(rgb, 2, 0, 0, 10);
        set_color(rgb, 3, 100, 100, 100);
        set_color(rgb, 4, 100, 100, 110);
        Bytes pixels;
        add(pixels, 1, t.a);
        add(pixels, 2, t.b);
        add(pixels, 3, t.c);
        add(pixels, 4, t.d);
        pixels.resize((pixels.size() + 3) & ~size_t{3}, 2);
        buffer_of(pixels);
        gx_reduce_colors(0, 3, rgb.data());
        const uint32_t* counts = gx_state.reduce_counts;
        if (k == 0) {
            EXPECT_EQ(counts[4], 0u);
            EXPECT_EQ(counts[3], 11u);
            EXPECT_EQ(gx_state.reduce_map[4], 2);  // 3's dense number
            EXPECT_EQ(gx_state.reduce_map[1], 0);
        } else {
            EXPECT_EQ(counts[1], 0u) << k;
            EXPECT_NE(counts[4], 0u) << k;
            EXPECT_EQ(gx_state.reduce_map[1], 0) << k;  // 2's dense number
            EXPECT_EQ(gx_state.reduce_map[2], 0) << k;
        }
        free_buffers();
    }
}

TEST_F(ReduceColors, OtherDepthsAndNoBufferChangeNothing) {
    const Bytes original = spread_palette();
    Bytes rgb = original;
    gx_reduce_colors(10, 236, rgb.data());
    EXPECT_EQ(rgb, original);
    for (int32_t depth : {16, 24, 32}) {
        open_buffer(depth, 4, 2);
        fill_bytes(0x3C);
        gx_reduce_colors(10, 1, rgb.data());
        EXPECT_EQ(rgb, original) << depth;
        for (int32_t i = 0; i < gx_state.active_size; ++i) ASSERT_EQ(gx_state.active_pixels[i], 0x3C);
        free_buffers();
    }
}

TEST_F(ReduceColors, SlotRangesOutsideThePaletteChangeNothing) {
    buffer_of({1, 2, 3, 4});
    const Bytes original = spread_palette();
    const int32_t ranges[][2] = {{10, 0}, {10, -1}, {-1, 10}, {0, 257}, {250, 7}, {256, 1},
                                 {INT32_MAX, 1}, {1, INT32_MAX}, {INT32_MIN, 5}};
    for (const auto& r : ranges) {
        Bytes rgb = original;
        EXPECT_EQ(gx_reduce_colors(r[0], r[1], rgb.data()), 0);
        EXPECT_EQ(rgb, original) << r[0] << "," << r[1];
        EXPECT_EQ(row(), (Bytes{1, 2, 3, 4}));
    }
    Bytes rgb = original;
    gx_reduce_colors(250, 6, rgb.data());  // the largest range that fits
    EXPECT_EQ(row(), (Bytes{250, 251, 252, 253}));
    EXPECT_EQ(gx_reduce_colors(0, 1, nullptr), 0);
}

// ---- A plain reference: every distance in full, no abandoning ----------------------

struct Reference {
    uint32_t counts[256] = {};
    uint8_t map[256] = {};
};

Reference reference_reduce(const Bytes& pixels, int first, int count, Bytes& rgb, Bytes& out) {
    Reference r;
    for (int i = 0; i < 256; ++i) r.map[i] = static_cast<uint8_t>(i);
    for (uint8_t p : pixels) ++r.counts[p];
    int used = 0;
    for (uint32_t c : r.counts) used += c != 0;
    while (used > count) {
        uint64_t best = UINT32_MAX;
        int ki = -1, kj = -1;
        for (int i = 0; i < 255; ++i) {
            for (int j = i + 1; j < 256; ++j) {
                if (r.counts[i] == 0 || r.counts[j] == 0) continue;
                int64_t d = 0;
                for (int c = 0; c < 3; ++c) {
                    const int64_t e = rgb[3 * i + c] - rgb[3 * j + c];
                    d += e * e;
                }
                const uint64_t dist = static_cast<uint64_t>(d);
                bool take = dist < best;
                if (!take && dist == best && ki >= 0)
                    take = r.counts[j] < std::min(r.counts[ki], r.counts[kj]);
                if (take) {
                    best = dist;
                    ki = i;
                    kj = j;
                }
            }
        }
        const int victim = r.counts[kj] < r.counts[ki] ? kj : ki;
        const int keeper = victim == ki ? kj : ki;
        for (auto& m : r.map)
            if (m == victim) m = static_cast<uint8_t>(keeper);
        r.counts[keeper] += r.counts[victim];
        r.counts[victim] = 0;
        --used;
    }
    Bytes compact(768, 0);
    int k = 0;
    uint8_t dense[256];
    for (int i = 0; i < 256; ++i)
        if (r.counts[i] != 0) {
            dense[i] = static_cast<uint8_t>(k);
            std::memcpy(&compact[3 * k], &rgb[3 * i], 3);
            ++k;
        }
    // Positions from k on keep the array's old contents.
    for (int i = k; i < 256; ++i) std::memcpy(&compact[3 * i], &rgb[3 * i], 3);
    Bytes result(768, 0);
    if (first == 0) {
        result = compact;
    } else {
        std::memcpy(&result[3 * first], compact.data(), static_cast<size_t>(3 * count));
    }
    rgb = result;
    out.clear();
    for (uint8_t p : pixels) {
        const uint8_t keeper = r.map[p];
        out.push_back(static_cast<uint8_t>(dense[keeper] + first));
    }
    return r;
}

TEST_F(ReduceColors, MatchesThePlainReferenceOnRandomBuffers) {
    std::mt19937 rng(20240611);
    for (int trial = 0; trial < 60; ++trial) {
        // Small colour sets make many exact ties; wide ones many distinct distances.
        const int levels = trial % 3 == 0 ? 3 : trial % 3 == 1 ? 6 : 256;
        Bytes rgb(768);
        for (auto& v : rgb) v = static_cast<uint8_t>((rng() % static_cast<uint32_t>(levels)) * (255 / std::max(levels - 1, 1)));
        const int distinct = 20 + static_cast<int>(rng() % 237);
        Bytes pixels(256 * 4);
        for (auto& p : pixels) p = static_cast<uint8_t>(rng() % static_cast<uint32_t>(distinct) * 251 % 256);
        const int first = trial % 4 == 0 ? 0 : static_cast<int>(rng() % 20);
        // Up to 24 merges, or down to a single colour now and then.
        const int merges = trial % 10 == 9 ? 255 : static_cast<int>(rng() % 25);
        const int count = std::clamp(distinct - merges, 1, 256 - first);

        Bytes want_rgb = rgb;
        Bytes want_pixels;
        const Reference ref = reference_reduce(pixels, first, count, want_rgb, want_pixels);

        buffer_of(pixels);
        gx_reduce_colors(first, count, rgb.data());
        ASSERT_EQ(row(), want_pixels) << "trial " << trial;
        ASSERT_EQ(rgb, want_rgb) << "trial " << trial;
        ASSERT_EQ(std::memcmp(gx_state.reduce_counts, ref.counts, sizeof ref.counts), 0) << "trial " << trial;
        free_buffers();
    }
}

// ---- Through the reader -------------------------------------------------------------

TEST_F(ReduceColors, ReaderReducesTwoHundredFortyIndicesIntoTenTo245) {
    // 240 distinct indices (0 to 239) in a 16 x 15 image filling the buffer.
    Bytes indices(240);
    for (int i = 0; i < 240; ++i) indices[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    Bytes colors(768);
    for (int i = 0; i < 256; ++i) {
        colors[3 * i] = static_cast<uint8_t>(i);
        colors[3 * i + 1] = static_cast<uint8_t>((i * 7) & 255);
        colors[3 * i + 2] = static_cast<uint8_t>(i / 2);
    }
    const Bytes file = indexed_file(16, 15, indices, 16, 5, colors.data());
    open_buffer(8, 16, 15);
    const Bytes before = palette_rgb();
    ASSERT_EQ(load_file(file, 0), 0);

    Bytes want_rgb = colors;
    Bytes want_pixels;
    reference_reduce(indices, 10, 236, want_rgb, want_pixels);
    const Bytes after = palette_rgb();
    int merged = 0;
    for (int i = 0; i < 240; ++i) {
        const uint32_t p = pixel(i % 16, i / 16);
        ASSERT_GE(p, 10u);
        ASSERT_LE(p, 245u);
        ASSERT_EQ(p, want_pixels[static_cast<size_t>(i)]) << i;
        // Every pixel shows its own colour, or its keeper's if it was merged.
        if (color(after, static_cast<int>(p)) != color(colors, i)) ++merged;
    }
    EXPECT_EQ(merged, 4);
    for (int slot = 10; slot <= 245; ++slot) ASSERT_EQ(color(after, slot), color(want_rgb, slot)) << slot;
    for (int slot : {0, 9, 246, 255}) EXPECT_EQ(color(after, slot), color(before, slot)) << slot;
}

}  // namespace
