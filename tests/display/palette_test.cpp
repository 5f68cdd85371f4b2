// Palettes: the default one from its rules, screens, changes, colour tables.
#include <array>
#include <vector>

#include "fixture.h"

namespace {

using Rgb = std::array<int, 4>;  // red, green, blue, flags

// Default entry i by the rules: 20 static colours; 16 text-mode colours (bits
// 0-2 blue, green, red: 170 each; bit 3 bright: +85; colour 6 brown: green
// 85); a grey ramp; 9 rings of 24 hues (blue, magenta, red, yellow, green,
// cyan) in four steps between a ring's levels (6-bit levels x 255 / 63).
Rgb default_entry(int i) {
    static const int RINGS[9][5] = {
        {0, 64, 125, 190, 255}, {125, 157, 190, 222, 255}, {182, 198, 218, 234, 255},
        {0, 28, 56, 85, 113},   {56, 68, 85, 97, 113},     {80, 89, 97, 105, 113},
        {0, 16, 32, 48, 64},    {32, 40, 48, 56, 64},      {44, 48, 52, 60, 64}};
    if (i < 10 || i > 245) {
        const uint8_t* c = STATIC_COLOURS[i < 10 ? i : i - 236];
        return {c[0], c[1], c[2], 1};
    }
    if (i < 26) {
        const int k = i - 10, bright = k & 8 ? 85 : 0;
        const int green = k == 6 ? 85 : (k & 2 ? 170 : 0) + bright;
        return {(k & 4 ? 170 : 0) + bright, green, (k & 1 ? 170 : 0) + bright, 1};
    }
    if (i < 30) return {85 * (i - 26), 85 * (i - 26), 85 * (i - 26), 1};
    const int ring = (i - 30) / 24, step = (i - 30) % 24, segment = step / 4;
    const int moving[6] = {0, 2, 1, 0, 2, 1};  // red up, blue down, green up, ...
    int level[3] = {0, 0, 4};
    for (int s = 0; s <= segment; ++s) {
        const int t = s < segment ? 4 : step % 4;
        level[moving[s]] = s % 2 == 0 ? t : 4 - t;
    }
    return {RINGS[ring][level[0]], RINGS[ring][level[1]], RINGS[ring][level[2]], 1};
}

// The lookup word of a colour: 5-6-5 at 16 bits, else 0xBBGGRR and a low byte.
uint32_t lookup_of(int32_t depth, const Rgb& e, uint32_t low = 0) {
    return depth == 16 ? uint32_t(e[0] >> 3 << 11 | e[1] >> 2 << 5 | e[2] >> 3)
                       : uint32_t(e[2]) << 24 | uint32_t(e[1] << 16 | e[0] << 8) | low;
}

Rgb entry(int i) {
    const PfPaletteEntry& e = gx_state.logical_palette.entries[i];
    return {e.red, e.green, e.blue, e.flags};
}
Rgb quad(int i) {
    const RgbQuad& q = gx_state.rgb_table[i];
    return {q.red, q.green, q.blue, q.reserved};
}
using Palette = Started;

// Palette screens take static colours from the system (8 bits: the backend's
// default 20; below: 16, into 0-7, 248-255); tables follow.
TEST_F(Palette, DefaultPaletteOnDeepAndPaletteScreens) {
    std::vector<PfPaletteEntry> sys(256);
    for (int i = 0; i < 256; ++i) sys[size_t(i)] = {uint8_t(i), uint8_t(255 - i), 7, 4};
    for (const int32_t bits : {8, 4, 32}) {
        headless_set_screen(bits, 1);
        if (bits == 4) {  // set in two ranges, the first entry last, on its own
            const PfPaletteEntry first[2] = {sys[0], {9, 9, 9, 9}};
            headless_set_system_palette(1, 255, sys.data() + 1);
            headless_set_system_palette(0, 1, first);
        }
        if (palette_ != nullptr) pf_delete_object(pf_as_object(palette_));
        palette_ = gx_create_palette();
        for (int i = 0; i < 256; ++i) {
            Rgb want = default_entry(i);
            const int s = i < 8 ? i : i >= 248 ? i - 240 : -1;
            if (bits == 8 && (i < 10 || i > 245)) want[3] = 0;
            if (bits == 4 && s >= 0) want = {s, 255 - s, 7, 4};
            ASSERT_EQ(entry(i), want) << bits << " bits, " << i;
            ASSERT_EQ(quad(i), (Rgb{want[0], want[1], want[2], 0})) << i;
        }
    }
    for (const int32_t depth : {16, 24, 32}) {
        open_buffer(depth, 8, 8);
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(gx_state.color_lookup[i], lookup_of(depth, default_entry(i))) << i;
    }
}

// Entry, colour table, lookup (with the low byte, not on opening), 8-bit
// colour part; at 8 bits the lookup stays.
TEST_F(Palette, SetPaletteUpdatesEntryColourTableAndLookup) {
    palette_ = gx_create_palette();
    const uint8_t three[9] = {255, 0, 0, 255, 255, 255, 8, 4, 8};
    for (const int32_t depth : {16, 24, 32, 8}) {
        open_buffer(depth, 8, 8);
        gx_set_buffer_depth(16);  // the next buffer's depth changes nothing
        const std::vector<uint32_t> lookup(gx_state.color_lookup, gx_state.color_lookup + 256);
        gx_state.entry_low_byte = 0x77;
        EXPECT_EQ(gx_set_palette(10, 3, three), 0);
        for (int i = 10; i < 13; ++i) {
            const Rgb e{three[3 * i - 30], three[3 * i - 29], three[3 * i - 28], 1};
            EXPECT_EQ(entry(i), e);
            EXPECT_EQ(quad(i), (Rgb{e[0], e[1], e[2], 0}));
            EXPECT_EQ(gx_state.color_lookup[i],
                      depth == 8 ? lookup[i] : lookup_of(depth, e, depth == 16 ? 0 : 0x77));
        }
        gx_buffer_open(gx_state.active_buffer);
        if (depth > 8) EXPECT_EQ(gx_state.color_lookup[12], lookup_of(depth, {8, 4, 8, 1}));
    }
    uint8_t* part = gx_state.active_header + 40;
    EXPECT_EQ(std::memcmp(part, gx_state.rgb_table, 1024), 0);
    std::memset(part, 0, 1024);
    EXPECT_EQ(gx_buffer_colors(), 0);  // writes it again
    EXPECT_EQ(std::memcmp(part, gx_state.rgb_table, 1024), 0);
}

// Nothing without buffer, count, first in 0-255, triples; cut at 255.
TEST_F(Palette, SetPaletteNeverWritesPastEntry255) {
    palette_ = gx_create_palette();
    const std::vector<uint8_t> triples(3 * 300, 9);
    const LogicalPalette before = gx_state.logical_palette;
    EXPECT_EQ(gx_set_palette(10, 1, triples.data()), 0);  // nothing open
    open_buffer(16, 8, 8);
    const RgbQuad quad0 = gx_state.rgb_table[0];
    const uint32_t lookup0 = gx_state.color_lookup[0];
    for (const auto& [first, count] :
         {std::pair{10, 0}, {256, 1}, {-1, 5}, {0, -5}, {INT32_MAX, INT32_MAX}, {INT32_MIN, 3}})
        EXPECT_EQ(gx_set_palette(first, count, triples.data()), 0);
    gx_set_palette(0, 1, nullptr);
    EXPECT_EQ(std::memcmp(&before, &gx_state.logical_palette, sizeof before), 0);
    gx_set_palette(250, 300, triples.data());
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(entry(i), (i < 250 ? default_entry(i) : Rgb{9, 9, 9, 1})) << i;
    EXPECT_EQ(std::memcmp(&quad0, &gx_state.rgb_table[0], sizeof quad0), 0);
    EXPECT_EQ(gx_state.color_lookup[0], lookup0);
}

}  // namespace
