// Colour reduction: each merge rule on hand-made buffers, a plain reference
// that computes every distance in full, and the reduction the reader runs.
#include <algorithm>
#include <array>
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

// Pixels as runs of (value, how many).
Bytes runs(std::initializer_list<std::pair<uint8_t, int>> list) {
    Bytes pixels;
    for (const auto& [v, n] : list) pixels.insert(pixels.end(), static_cast<size_t>(n), v);
    return pixels;
}

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

Bytes color(const Bytes& rgb, int i) { return Bytes(rgb.begin() + 3 * i, rgb.begin() + 3 * i + 3); }

// One row through gx_reduce_colors, checked against hand-worked results.
struct MergeCase {
    const char* what;
    std::vector<std::array<uint8_t, 4>> set;  // palette changes: index, red, green, blue
    Bytes pixels;                             // a multiple of 4
    int first, count;
    Bytes row;                                     // the row afterwards
    std::vector<std::pair<int, uint32_t>> counts;  // index, pixels counted for it
    std::vector<std::pair<int, int>> map;          // index, its survivor's dense number
    std::vector<std::pair<int, int>> colors;       // slot, index whose colour it holds (-1: black)
    int shifted_from = 0, shifted_to = -1,
        shift = 0;  // slots holding the colour `shift` places lower
};

TEST_F(ReduceColors, MergeRulesOnHandMadeRows) {
    const MergeCase cases[] = {
        // Survivors are renumbered in index order, compacted and shifted to
        // `first`; positions past them keep what the array held there.
        {"few enough colours",
         {},
         {2, 5, 9, 2, 5, 5, 9, 2},
         10,
         236,
         {10, 11, 12, 10, 11, 11, 12, 10},
         {{2, 3}, {5, 3}, {9, 2}},
         {},
         {{10, 2}, {11, 5}, {12, 9}, {0, -1}, {5, -1}, {9, -1}, {246, -1}, {250, -1}, {255, -1}},
         13,
         245,
         10},
        {"first 0 moves and clears nothing",
         {},
         {200, 100, 100, 200},
         0,
         2,
         {1, 0, 0, 1},
         {},
         {},
         {{0, 100}, {1, 200}},
         2,
         255,
         0},
        {"a single index becomes first",
         {},
         Bytes(8, 77),
         10,
         236,
         Bytes(8, 10),
         {},
         {},
         {{10, 77}, {11, 1}, {9, -1}, {246, -1}}},
        // 7 has the colour of 4 and goes into it, which has more pixels.
        {"identical colours",
         {{7, 4, 251, 68}},
         runs({{4, 3}, {7, 1}, {100, 2}, {200, 2}}),
         0,
         3,
         {0, 0, 0, 0, 1, 1, 2, 2},
         {{4, 4}, {7, 0}},
         {},
         {{0, 4}}},
        // The keeper keeps its own colour: nothing is averaged.
        {"equal counts: the lower index goes into the higher",
         {{4, 50, 50, 50}, {7, 50, 50, 51}},
         runs({{4, 2}, {7, 2}, {200, 4}}),
         0,
         2,
         {0, 0, 0, 0, 1, 1, 1, 1},
         {{4, 0}, {7, 4}},
         {},
         {{0, 7}, {1, 200}}},
        // 10 into 20 (distance 4, fewer pixels), then 20 (now 3 pixels) into 30.
        {"chains end at the last keeper",
         {{10, 0, 0, 0}, {20, 0, 0, 2}, {30, 0, 0, 5}, {40, 255, 255, 255}},
         runs({{10, 1}, {20, 2}, {30, 4}, {40, 9}}),
         0,
         2,
         runs({{0, 7}, {1, 9}}),
         {{30, 7}},
         {{10, 0}, {20, 0}},
         {{0, 30}, {1, 40}}},
        // Two pairs at the same distance (100), (1,2) and (3,4): the later
        // pair replaces the earlier one only when its second member has fewer
        // pixels than both of the earlier pair. 4 has 4 pixels, fewer than 1
        // (5) and 2 (6): 4 goes into 3.
        {"tie: the later pair wins",
         {{1, 0, 0, 0}, {2, 0, 0, 10}, {3, 100, 100, 100}, {4, 100, 100, 110}},
         runs({{1, 5}, {2, 6}, {3, 7}, {4, 4}, {2, 2}}),
         0,
         3,
         runs({{0, 5}, {1, 6}, {2, 11}, {1, 2}}),
         {{4, 0}, {3, 11}},
         {{4, 2}, {1, 0}},
         {}},
        // 4 has 5 pixels, not fewer than min(5, 6): 1 goes into 2.
        {"tie: the earlier pair stays",
         {{1, 0, 0, 0}, {2, 0, 0, 10}, {3, 100, 100, 100}, {4, 100, 100, 110}},
         runs({{1, 5}, {2, 6}, {3, 7}, {4, 5}, {2, 1}}),
         0,
         3,
         runs({{0, 11}, {1, 7}, {2, 5}, {0, 1}}),
         {{1, 0}, {4, 5}},
         {{1, 0}, {2, 0}},
         {}},
        // Only j's count counts: 3 has 1 pixel, 4 has 9: 1 goes into 2.
        {"tie: only the second member counts",
         {{1, 0, 0, 0}, {2, 0, 0, 10}, {3, 100, 100, 100}, {4, 100, 100, 110}},
         runs({{1, 5}, {2, 6}, {3, 1}, {4, 9}, {2, 3}}),
         0,
         3,
         runs({{0, 11}, {1, 1}, {2, 9}, {0, 3}}),
         {{1, 0}, {4, 9}},
         {{1, 0}, {2, 0}},
         {}},
    };
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes original = spread_palette();
        for (const auto& [i, r, g, b] : c.set) {
            original[3 * i] = r;
            original[3 * i + 1] = g;
            original[3 * i + 2] = b;
        }
        buffer_of(c.pixels);
        Bytes rgb = original;
        EXPECT_EQ(gx_reduce_colors(c.first, c.count, rgb.data()), 0);
        EXPECT_EQ(row(), c.row);
        for (const auto& [i, n] : c.counts)
            EXPECT_EQ(gx_state.reduce_counts[i], n) << "count of " << i;
        for (const auto& [i, n] : c.map) EXPECT_EQ(gx_state.reduce_map[i], n) << "map of " << i;
        for (const auto& [slot, from] : c.colors)
            EXPECT_EQ(color(rgb, slot), (from < 0 ? Bytes(3, 0) : color(original, from)))
                << "slot " << slot;
        for (int slot = c.shifted_from; slot <= c.shifted_to; ++slot)
            ASSERT_EQ(color(rgb, slot), color(original, slot - c.shift)) << slot;
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
        for (int32_t i = 0; i < gx_state.active_size; ++i)
            ASSERT_EQ(gx_state.active_pixels[i], 0x3C);
        free_buffers();
    }
}

TEST_F(ReduceColors, SlotRangesOutsideThePaletteChangeNothing) {
    buffer_of({1, 2, 3, 4});
    const Bytes original = spread_palette();
    const int32_t ranges[][2] = {{10, 0},  {10, -1},       {-1, 10},       {0, 257},      {250, 7},
                                 {256, 1}, {INT32_MAX, 1}, {1, INT32_MAX}, {INT32_MIN, 5}};
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
        for (auto& v : rgb)
            v = static_cast<uint8_t>((rng() % static_cast<uint32_t>(levels)) *
                                     (255 / std::max(levels - 1, 1)));
        const int distinct = 20 + static_cast<int>(rng() % 237);
        Bytes pixels(256 * 4);
        for (auto& p : pixels)
            p = static_cast<uint8_t>(rng() % static_cast<uint32_t>(distinct) * 251 % 256);
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
        ASSERT_EQ(std::memcmp(gx_state.reduce_counts, ref.counts, sizeof ref.counts), 0)
            << "trial " << trial;
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
    for (int slot = 10; slot <= 245; ++slot)
        ASSERT_EQ(color(after, slot), color(want_rgb, slot)) << slot;
    for (int slot : {0, 9, 246, 255}) EXPECT_EQ(color(after, slot), color(before, slot)) << slot;
}

}  // namespace
