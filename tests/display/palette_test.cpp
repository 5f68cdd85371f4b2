// The default palette, palette creation on deep and palette screens,
// realization, range changes and the derived colour tables.
#include <array>
#include <vector>

#include "fixture.h"

namespace {

struct Rgb {
    int r, g, b;
};

class Palette : public Started {
protected:
    void create() { palette_ = gx_create_palette(); }

    // A screen of this depth whose system palette entry i is (i, 255 - i, 7).
    void create_on_palette_screen(int32_t bits) {
        headless_set_screen(bits, 1);
        std::vector<PfPaletteEntry> sys(256);
        for (int i = 0; i < 256; ++i)
            sys[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                           7, 4};
        headless_set_system_palette(0, 256, sys.data());
        create();
    }

    static void expect_entry(int i, Rgb want, int flags) {
        const PfPaletteEntry& e = gx_state.logical_palette.entries[i];
        EXPECT_EQ(e.red, want.r) << "entry " << i;
        EXPECT_EQ(e.green, want.g) << "entry " << i;
        EXPECT_EQ(e.blue, want.b) << "entry " << i;
        EXPECT_EQ(e.flags, flags) << "entry " << i;
    }
};

// The listed values, written out by hand.
const Rgb LOW[10] = {{0, 0, 0},       {128, 0, 0},    {0, 128, 0},   {128, 128, 0},
                     {0, 0, 128},     {128, 0, 128},  {0, 128, 128}, {192, 192, 192},
                     {192, 220, 192}, {164, 200, 240}};
const Rgb SIXTEEN[16] = {{0, 0, 0},     {0, 0, 170},    {0, 170, 0},    {0, 170, 170},
                         {170, 0, 0},   {170, 0, 170},  {170, 85, 0},   {170, 170, 170},
                         {85, 85, 85},  {85, 85, 255},  {85, 255, 85},  {85, 255, 255},
                         {255, 85, 85}, {255, 85, 255}, {255, 255, 85}, {255, 255, 255}};
const Rgb GREY[4] = {{0, 0, 0}, {85, 85, 85}, {170, 170, 170}, {255, 255, 255}};
const Rgb HIGH[10] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                      {0, 255, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                      {0, 255, 255},   {255, 255, 255}};
const int RING_LEVELS[9][5] = {
    {0, 64, 125, 190, 255}, {125, 157, 190, 222, 255}, {182, 198, 218, 234, 255},
    {0, 28, 56, 85, 113},   {56, 68, 85, 97, 113},     {80, 89, 97, 105, 113},
    {0, 16, 32, 48, 64},    {32, 40, 48, 56, 64},      {44, 48, 52, 60, 64}};

TEST_F(Palette, DefaultPaletteOnADeepScreen) {
    create();
    ASSERT_NE(palette_, nullptr);
    for (int i = 0; i < 10; ++i) expect_entry(i, LOW[i], 1);
    for (int i = 0; i < 16; ++i) expect_entry(10 + i, SIXTEEN[i], 1);
    for (int i = 0; i < 4; ++i) expect_entry(26 + i, GREY[i], 1);
    for (int i = 0; i < 10; ++i) expect_entry(246 + i, HIGH[i], 1);
    expect_entry(25, {255, 255, 255}, 1);
    // Nine rings of 24 colours from entry 30 on.
    for (int ring = 0; ring < 9; ++ring) {
        const int L = RING_LEVELS[ring][0], m1 = RING_LEVELS[ring][1], m2 = RING_LEVELS[ring][2],
                  m3 = RING_LEVELS[ring][3], H = RING_LEVELS[ring][4];
        const Rgb want[24] = {{L, L, H},  {m1, L, H}, {m2, L, H}, {m3, L, H}, {H, L, H},
                              {H, L, m3}, {H, L, m2}, {H, L, m1}, {H, L, L},  {H, m1, L},
                              {H, m2, L}, {H, m3, L}, {H, H, L},  {m3, H, L}, {m2, H, L},
                              {m1, H, L}, {L, H, L},  {L, H, m1}, {L, H, m2}, {L, H, m3},
                              {L, H, H},  {L, m3, H}, {L, m2, H}, {L, m1, H}};
        for (int k = 0; k < 24; ++k) expect_entry(30 + ring * 24 + k, want[k], 1);
    }
    expect_entry(30, {0, 0, 255}, 1);
    expect_entry(245, {44, 48, 64}, 1);  // last entry of the last ring: (L, m1, H)
    // The colour table holds the same colours as blue, green, red, 0.
    for (int i = 0; i < 256; ++i) {
        const RgbQuad& q = gx_state.rgb_table[i];
        const PfPaletteEntry& e = gx_state.logical_palette.entries[i];
        ASSERT_EQ((std::array{q.red, q.green, q.blue, q.reserved}),
                  (std::array{e.red, e.green, e.blue, uint8_t{0}}))
            << i;
    }
    EXPECT_EQ(gx_state.rgb_table[30].blue, 255);
}

TEST_F(Palette, EightBitScreenTakesTheStaticColoursFromTheSystem) {
    create_on_palette_screen(8);
    for (int i = 0; i < 10; ++i) expect_entry(i, {i, 255 - i, 7}, 4);
    for (int i = 246; i < 256; ++i) expect_entry(i, {i, 255 - i, 7}, 4);
    for (int i = 0; i < 16; ++i) expect_entry(10 + i, SIXTEEN[i], 1);
    expect_entry(30, {0, 0, 255}, 1);
    expect_entry(245, {44, 48, 64}, 1);
    EXPECT_EQ(gx_state.rgb_table[5].red, 5);
}

TEST_F(Palette, FourBitScreenTakesSixteenColoursFromTheSystem) {
    create_on_palette_screen(4);
    for (int i = 0; i < 8; ++i) expect_entry(i, {i, 255 - i, 7}, 4);
    for (int i = 0; i < 8; ++i) expect_entry(248 + i, {8 + i, 247 - i, 7}, 4);
    expect_entry(8, {192, 220, 192}, 1);
    expect_entry(9, {164, 200, 240}, 1);
    expect_entry(246, {255, 251, 240}, 1);
    expect_entry(247, {160, 160, 164}, 1);
}

TEST_F(Palette, RealizeKeepsThePaletteTheFirstSelectionDisplaced) {
    create();
    const PfPalette second = gx_create_palette();
    gx_realize_palette(palette_);
    EXPECT_EQ(gx_state.current_palette, palette_);
    EXPECT_EQ(pf_as_object(gx_state.saved_palette), pf_stock_object(15));
    gx_realize_palette(second);
    EXPECT_EQ(gx_state.current_palette, second);
    EXPECT_EQ(pf_as_object(gx_state.saved_palette), pf_stock_object(15));
    // Teardown puts the original back, so both palettes can be deleted.
    gx_shutdown();
    const int32_t objects = headless_live_objects();
    pf_delete_object(pf_as_object(second));
    pf_delete_object(pf_as_object(palette_));
    palette_ = nullptr;
    EXPECT_EQ(headless_live_objects(), objects - 2);
}

// Opening a buffer fills the lookup table with the palette in the buffer's
// pixel format (24 and 32 bits: 0xBBGGRR00, the entry's low byte 0).
TEST_F(Palette, LookupOnOpen) {
    create();
    const struct {
        int32_t depth, entry;
        uint32_t value;
    } cases[] = {
        {16, 25, 0xFFFFu},      {16, 249, 0xF800u},    {16, 250, 0x07E0u},
        {16, 30, 0x001Fu},      {16, 247, 0xA514u},                             // (160, 160, 164)
        {24, 249, 0x0000FF00u}, {24, 30, 0xFF000000u}, {24, 246, 0xF0FBFF00u},  // (255, 251, 240)
        {32, 249, 0x0000FF00u}, {32, 30, 0xFF000000u}, {32, 246, 0xF0FBFF00u},
    };
    for (const auto& c : cases) {
        if (gx_state.active_depth != c.depth) open_buffer(c.depth, 8, 8);
        EXPECT_EQ(gx_state.color_lookup[c.entry], c.value) << c.depth << " bits, entry " << c.entry;
    }
}

TEST_F(Palette, SetPaletteUpdatesEntryColourTableAndLookup) {
    create();
    open_buffer(16, 8, 8);
    const uint8_t red[3] = {255, 0, 0};
    gx_set_palette(10, 1, red);
    EXPECT_EQ(gx_state.color_lookup[10], 0xF800u);
    expect_entry(10, {255, 0, 0}, 1);
    const RgbQuad& q = gx_state.rgb_table[10];
    EXPECT_EQ((std::array{q.blue, q.green, q.red, q.reserved}),
              (std::array<uint8_t, 4>{0, 0, 255, 0}));
    const uint8_t two[6] = {255, 255, 255, 8, 4, 8};
    gx_set_palette(11, 2, two);
    EXPECT_EQ(gx_state.color_lookup[11], 0xFFFFu);
    EXPECT_EQ(gx_state.color_lookup[12], 0x0821u);

    open_buffer(32, 8, 8);
    const uint8_t c[3] = {0x12, 0x34, 0x56};
    gx_set_palette(10, 1, c);
    const uint8_t bytes[4] = {0x00, 0x12, 0x34, 0x56};
    EXPECT_EQ(std::memcmp(&gx_state.color_lookup[10], bytes, 4), 0);

    // The entry's low byte goes into the lookup here, but not on open.
    open_buffer(24, 8, 8);
    gx_state.entry_low_byte = 0x77;
    const uint8_t d[3] = {1, 2, 3};
    gx_set_palette(0, 1, d);
    EXPECT_EQ(gx_state.color_lookup[0], 0x03020177u);
    gx_buffer_open(gx_state.active_buffer);
    EXPECT_EQ(gx_state.color_lookup[0], 0x03020100u);

    // At 8 bits the index is the pixel: the lookup table stays as it was.
    open_buffer(8, 8, 8);
    uint32_t lookup[256];
    std::memcpy(lookup, gx_state.color_lookup, sizeof lookup);
    std::vector<uint8_t> grey(3 * 256, 0x40);
    gx_set_palette(0, 256, grey.data());
    expect_entry(7, {0x40, 0x40, 0x40}, 1);
    EXPECT_EQ(std::memcmp(lookup, gx_state.color_lookup, sizeof lookup), 0);
}

TEST_F(Palette, SetPaletteChangesNothingWithoutABufferOrCount) {
    create();
    const LogicalPalette before = gx_state.logical_palette;
    const uint8_t c[3] = {1, 2, 3};
    EXPECT_EQ(gx_set_palette(10, 1, c), 0);  // nothing open
    open_buffer(16, 8, 8);
    const uint32_t lookup = gx_state.color_lookup[10];
    EXPECT_EQ(gx_set_palette(10, 0, c), 0);
    EXPECT_EQ(std::memcmp(&before, &gx_state.logical_palette, sizeof before), 0);
    EXPECT_EQ(gx_state.color_lookup[10], lookup);
}

TEST_F(Palette, SetPaletteNeverWritesPastEntry255) {
    create();
    open_buffer(16, 8, 8);
    const RgbQuad rgb0 = gx_state.rgb_table[0];
    const uint32_t lookup0 = gx_state.color_lookup[0];
    std::vector<uint8_t> triples(3 * 300, 9);
    gx_set_palette(250, 300, triples.data());
    for (int i = 250; i < 256; ++i) expect_entry(i, {9, 9, 9}, 1);
    expect_entry(249, {255, 0, 0}, 1);
    // What lies after the logical palette in the record is untouched.
    EXPECT_EQ(std::memcmp(&rgb0, &gx_state.rgb_table[0], sizeof rgb0), 0);
    EXPECT_EQ(gx_state.color_lookup[0], lookup0);

    const LogicalPalette before = gx_state.logical_palette;
    gx_set_palette(256, 1, triples.data());
    gx_set_palette(-1, 5, triples.data());
    gx_set_palette(0, -5, triples.data());
    gx_set_palette(INT32_MAX, INT32_MAX, triples.data());
    gx_set_palette(0, 1, nullptr);
    EXPECT_EQ(std::memcmp(&before, &gx_state.logical_palette, sizeof before), 0);
}

TEST_F(Palette, EightBitBufferColourPartOnADeepScreen) {
    create();
    const int32_t slot = open_buffer(8, 8, 8);
    EXPECT_EQ(gx_state.dib_usage, 0);
    EXPECT_EQ(gx_state.header_alloc_size, 1064);
    const uint8_t* part = gx_state.buffer_slots[slot].header + 40;
    EXPECT_EQ(std::memcmp(part, gx_state.rgb_table, 1024), 0);
    const uint8_t c[3] = {1, 2, 3};
    gx_set_palette(7, 1, c);
    const uint8_t entry7[4] = {3, 2, 1, 0};  // blue, green, red, 0
    EXPECT_EQ(std::memcmp(part + 28, entry7, 4), 0);
    // Choosing another depth for the next buffer moves header_size; the open
    // 8-bit buffer's colour part is still right after its 40-byte header.
    gx_set_buffer_depth(16);
    EXPECT_EQ(gx_state.header_size, 108);
    gx_set_palette(0, 1, c);
    gx_buffer_colors();
    EXPECT_EQ(part[0], 3);
    EXPECT_EQ(part[2], 1);
}

TEST_F(Palette, EightBitBufferOnAPaletteScreenCarriesIndices) {
    headless_set_screen(8, 1);
    gx_shutdown();
    gx_initialize();
    create();
    const int32_t slot = open_buffer(8, 8, 8);
    EXPECT_EQ(gx_state.dib_usage, 1);
    EXPECT_EQ(gx_state.header_alloc_size, 552);
    uint8_t* part = gx_state.buffer_slots[slot].header + 40;
    const auto index = [&](int i) {
        uint16_t v;
        std::memcpy(&v, part + 2 * i, 2);
        return v;
    };
    for (int i = 0; i < 256; ++i) ASSERT_EQ(index(i), i);
    std::memset(part, 0, 512);
    gx_buffer_colors();
    EXPECT_EQ(index(200), 200);
}

TEST_F(Palette, BufferColoursLeavesDeepBuffersAlone) {
    create();
    const int32_t slot = open_buffer(16, 8, 8);
    uint8_t before[108];
    std::memcpy(before, gx_state.buffer_slots[slot].header, 108);
    EXPECT_EQ(gx_buffer_colors(), 0);
    EXPECT_EQ(std::memcmp(before, gx_state.buffer_slots[slot].header, 108), 0);
}

}  // namespace
