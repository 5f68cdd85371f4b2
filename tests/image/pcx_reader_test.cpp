// The PCX reader on hand-made files: layouts and depths, the decoder's runs,
// placement and clipping, the palette stage, input modes and failures.
#include <algorithm>
#include <cstring>

#include "pcx_support.h"

namespace {

using namespace pcxtest;
using Pixels = std::vector<uint32_t>;

// A trailing palette with a few colours whose 5-6-5 values are known:
// 1 (255, 0, 0) is 0xF800, 2 (8, 4, 8) 0x0821, 3 (255, 255, 255) 0xFFFF.
const Bytes COLORS = [] {
    Bytes rgb(768);
    for (int i = 0; i < 256; ++i) {
        rgb[3 * i] = static_cast<uint8_t>(i);
        rgb[3 * i + 1] = static_cast<uint8_t>((i * 3) & 255);
        rgb[3 * i + 2] = static_cast<uint8_t>(255 - i);
    }
    const uint8_t known[9] = {255, 0, 0, 8, 4, 8, 255, 255, 255};
    std::copy(known, known + 9, rgb.begin() + 3);
    return rgb;
}();

// Colour n of a list of triples as 0x00RRGGBB.
uint32_t rgb32(const uint8_t* triples, uint32_t n) {
    return (static_cast<uint32_t>(triples[3 * n]) << 16) | (triples[3 * n + 1] << 8) |
           triples[3 * n + 2];
}

// A header with sixteen distinct colours.
Header colored_header() {
    Header h;
    for (int i = 0; i < 16; ++i) {
        h.palette[3 * i] = static_cast<uint8_t>(i * 16);
        h.palette[3 * i + 1] = static_cast<uint8_t>(255 - i * 16);
        h.palette[3 * i + 2] = static_cast<uint8_t>(i * 5 + 1);
    }
    return h;
}

// The 0x00RRGGBB colour a 24/32-bit lookup entry (low, red, green, blue) holds.
uint32_t entry_rgb(uint32_t entry) {
    return ((entry >> 8) & 0xFF) << 16 | ((entry >> 16) & 0xFF) << 8 | (entry >> 24);
}

// Header colour n as a pixel: slot 10 + n at depth 8, else its 5-6-5 or 0x00RRGGBB value.
uint32_t header_pixel(const Header& h, uint32_t n, int32_t depth) {
    if (depth == 8) return 10 + n;
    if (depth == 16) return rgb565(h.palette[3 * n], h.palette[3 * n + 1], h.palette[3 * n + 2]);
    return rgb32(h.palette, n);
}

// `palette` with `count` triples of `rgb` put into the slots from `first`.
Bytes with_slots(Bytes palette, int first, int count, const uint8_t* rgb) {
    std::memcpy(&palette[static_cast<size_t>(3 * first)], rgb, static_cast<size_t>(3 * count));
    return palette;
}

// An image of one bit per pixel in `planes` planes (1: two colours, 4:
// sixteen) with colour number n(x, y).
Bytes bit_planes_file(uint32_t planes, uint32_t w, uint32_t h, uint32_t (*n)(uint32_t, uint32_t)) {
    Header header = colored_header();
    header.bits = 1;
    header.planes = static_cast<uint8_t>(planes);
    const uint32_t pb = header.plane_bytes = ((w + 7) / 8 + 1) & ~1u;  // even, as encoders write it
    return lines_file(header, w, h, [&](uint32_t y) {
        Bytes line(planes * pb, 0);
        for (uint32_t x = 0; x < w; ++x)
            for (uint32_t p = 0; p < planes; ++p)
                if ((n(x, y) >> p) & 1)
                    line[p * pb + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        return line;
    });
}

uint32_t sixteen_pattern(uint32_t x, uint32_t y) { return (x + 3 * y) % 16; }
uint32_t two_pattern(uint32_t x, uint32_t y) { return ((x * 5 + y) / 3) & 1; }

// A true-colour (3 planes, 8 bits) image.
uint8_t true_red(uint32_t x, uint32_t y) { return static_cast<uint8_t>(x * 37 + y * 11); }
uint8_t true_green(uint32_t x, uint32_t y) { return static_cast<uint8_t>(x * 5 + y * 90 + 3); }
uint8_t true_blue(uint32_t x, uint32_t y) { return static_cast<uint8_t>(255 - x * 17 - y); }

Bytes true_color_file(uint32_t w, uint32_t h, uint32_t plane_bytes) {
    Header header = colored_header();
    header.planes = 3;
    header.plane_bytes = plane_bytes;
    return lines_file(header, w, h, [&](uint32_t y) {
        Bytes line(3 * plane_bytes, 0);
        for (uint32_t x = 0; x < w; ++x) {
            line[x] = true_red(x, y);
            line[plane_bytes + x] = true_green(x, y);
            line[2 * plane_bytes + x] = true_blue(x, y);
        }
        return line;
    });
}

// A 256-colour 1-plane image from raw (already encoded) data.
Bytes raw_indexed_file(uint32_t w, uint32_t h, uint32_t plane_bytes, const Bytes& encoded,
                       uint8_t version = 5) {
    Header header;
    header.version = version;
    header.xmax = w - 1;
    header.ymax = h - 1;
    header.plane_bytes = plane_bytes;
    return pcx_file(header, encoded);
}

constexpr int32_t KEEP_INDICES = GX_PCX_KEEP_PALETTE | GX_PCX_NO_REDUCE;

class PcxReader : public LibraryTest {
protected:
    // Reads `file` into a fresh buffer filled with `fill`, from a file or
    // from memory, keeping the palette and lookup as they were before.
    int32_t read(const Bytes& file, int32_t depth, int32_t w, int32_t h, int32_t flags = 0,
                 uint8_t fill = 0, bool memory = false) {
        free_buffers();
        open_buffer(depth, w, h);
        fill_bytes(fill);
        before_ = palette_rgb();
        lookup_before_ = lookup();
        return memory ? load_memory(file, flags) : load_file(file, flags);
    }
    Bytes before_;
    std::vector<uint32_t> lookup_before_;
};

// ---- 256-colour images -------------------------------------------------------

TEST_F(PcxReader, IndexedIntoSixteenBitsSetsTheWholeLookupBeforeTheRows) {
    const Bytes file = indexed_file(4, 2, {0, 1, 2, 255, 3, 3, 200, 10}, 4, 5, COLORS.data());
    ASSERT_EQ(read(file, 16, 8, 4), 0);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(gx_state.color_lookup[i] & 0xFFFF,
                  rgb565(COLORS[3 * i], COLORS[3 * i + 1], COLORS[3 * i + 2]))
            << "entry " << i;
    EXPECT_EQ(area(0, 0, 5, 3),
              (Pixels{rgb565(0, 0, 255), 0xF800u, 0x0821u, rgb565(255, 253, 0), 0u,    //
                      0xFFFFu, 0xFFFFu, rgb565(200, 88, 55), rgb565(10, 30, 245), 0u,  //
                      0u, 0u, 0u, 0u, 0u}));
}

TEST_F(PcxReader, IndexedIntoTwentyFourAndThirtyTwoBits) {
    const Bytes file = indexed_file(3, 1, {1, 2, 77}, 4, 5, COLORS.data());
    // At 32 bits the fourth byte is the entry's low byte, 0; pixel 3 is not covered.
    const struct {
        int32_t depth;
        uint8_t fill;
        uint32_t uncovered;
    } cases[] = {{24, 0, 0u}, {32, 0xAB, 0xABABABABu}};
    for (const auto& c : cases) {
        ASSERT_EQ(read(file, c.depth, 4, 1, 0, c.fill), 0);
        EXPECT_EQ(area(0, 0, 4, 1),
                  (Pixels{0xFF0000u, 0x080408u, rgb32(COLORS.data(), 77), c.uncovered}))
            << c.depth;
    }
}

TEST_F(PcxReader, IndexedIntoEightBitsIsReducedIntoSlotsTenTo245) {
    // Indices 0, 3, 7, 200 and 255 are used; the buffer's other pixels are
    // 0 too and count as well.
    const Bytes file = indexed_file(4, 2, {3, 255, 7, 0, 200, 3, 3, 255}, 4, 5, COLORS.data());
    ASSERT_EQ(read(file, 8, 8, 3), 0);
    // Dense numbers in index order, plus 10: 0->10, 3->11, 7->12, 200->13, 255->14.
    EXPECT_EQ(area(0, 0, 4, 2), (Pixels{11, 14, 12, 10, 13, 11, 11, 14}));
    EXPECT_EQ(pixel(5, 0), 10u);  // pixels the image did not cover
    EXPECT_EQ(pixel(7, 2), 10u);
    // The survivors' colours; past them the slots get what the array held
    // there (colours 5 to 235); slots below 10 and above 245 are never written.
    Bytes want = with_slots(before_, 15, 231, COLORS.data() + 15);
    const int survivors[5] = {0, 3, 7, 200, 255};
    for (int k = 0; k < 5; ++k)
        want = with_slots(want, 10 + k, 1, COLORS.data() + 3 * survivors[k]);
    EXPECT_EQ(palette_rgb(), want);
}

TEST_F(PcxReader, IndexedIntoEightBitsWithoutReductionKeepsTheIndices) {
    ASSERT_EQ(
        read(indexed_file(4, 1, {3, 255, 7, 0}, 4, 5, COLORS.data()), 8, 4, 1, GX_PCX_NO_REDUCE),
        0);
    EXPECT_EQ(area(0, 0, 4, 1), (Pixels{3, 255, 7, 0}));
    EXPECT_EQ(palette_rgb(), with_slots(before_, 10, 236, COLORS.data() + 30));
}

TEST_F(PcxReader, VersionThreeUsesTheHeaderColoursEvenWithATrailingPalette) {
    const Header h = colored_header();
    Bytes file = indexed_file(3, 1, {0, 1, 15}, 4, 3, COLORS.data());
    std::memcpy(&file[16], h.palette, 48);
    ASSERT_EQ(read(file, 16, 4, 1), 0);
    for (uint32_t n = 0; n < 16; ++n)
        EXPECT_EQ(gx_state.color_lookup[n] & 0xFFFF, header_pixel(h, n, 16)) << n;
    EXPECT_EQ(gx_state.color_lookup[16], lookup_before_[16]);
    EXPECT_EQ(pixel(0, 0), rgb565(0, 255, 1));
    EXPECT_EQ(pixel(2, 0), rgb565(240, 15, 76));

    // At depth 8 the header colours go to slots 10 to 25 and the pixels keep
    // their indices: without a trailing palette nothing is reduced.
    ASSERT_EQ(read(file, 8, 4, 1), 0);
    EXPECT_EQ(area(0, 0, 3, 1), (Pixels{0, 1, 15}));
    EXPECT_EQ(palette_rgb(), with_slots(before_, 10, 16, h.palette));
}

TEST_F(PcxReader, TrailingPaletteNeedsItsMarker) {
    const Header h = colored_header();
    Bytes file = indexed_file(2, 1, {0, 1}, 2, 5);
    append_trailing(file, COLORS.data(), 11);
    std::memcpy(&file[16], h.palette, 48);
    for (bool memory : {false, true}) {
        ASSERT_EQ(read(file, 32, 4, 1, 0, 0, memory), 0);
        EXPECT_EQ(area(0, 0, 2, 1), (Pixels{rgb32(h.palette, 0), rgb32(h.palette, 1)})) << memory;
    }
}

TEST_F(PcxReader, KeepPaletteConvertsThroughTheLookupAsItStood) {
    open_buffer(16, 4, 1);
    uint8_t mine[9] = {0, 0, 255, 0, 255, 0, 255, 0, 0};
    gx_set_palette(0, 3, mine);
    const Pixels lookup_before = lookup();
    const Bytes before = palette_rgb();
    ASSERT_EQ(load_file(indexed_file(3, 1, {0, 1, 2}, 4, 5, COLORS.data()), GX_PCX_KEEP_PALETTE),
              0);
    EXPECT_EQ(area(0, 0, 3, 1), (Pixels{0x001Fu, 0x07E0u, 0xF800u}));
    EXPECT_EQ(lookup(), lookup_before);
    EXPECT_EQ(palette_rgb(), before);
}

// ---- Two-colour, sixteen-colour and true-colour images ------------------------

// Slots 10 to 25 at depth 8; deeper, through lookup entries 0 to 15 only.
TEST_F(PcxReader, TwoAndSixteenColoursAtEveryDepth) {
    const Header h = colored_header();
    const struct {
        uint32_t planes, w, h;
        uint32_t (*n)(uint32_t, uint32_t);
    } layouts[] = {{1, 11, 2, two_pattern}, {4, 10, 3, sixteen_pattern}};
    for (const auto& l : layouts) {
        const Bytes file = bit_planes_file(l.planes, l.w, l.h, l.n);
        for (int32_t depth : {8, 16, 24, 32}) {
            SCOPED_TRACE(std::to_string(l.planes) + " planes at depth " + std::to_string(depth));
            ASSERT_EQ(read(file, depth, 12, static_cast<int32_t>(l.h)), 0);
            for (uint32_t y = 0; y < l.h; ++y)
                for (uint32_t x = 0; x < l.w; ++x)
                    ASSERT_EQ(pixel(static_cast<int32_t>(x), static_cast<int32_t>(y)),
                              header_pixel(h, l.n(x, y), depth))
                        << x << "," << y;
            EXPECT_EQ(pixel(static_cast<int32_t>(l.w), 0), 0u);
            if (depth == 8)
                EXPECT_EQ(palette_rgb(), with_slots(before_, 10, 16, h.palette));
            else
                EXPECT_EQ(gx_state.color_lookup[16], lookup_before_[16]);
        }
    }
}

TEST_F(PcxReader, TrueColourAtSixteenTwentyFourAndThirtyTwoBits) {
    const Bytes file = true_color_file(5, 3, 6);
    for (int32_t depth : {16, 24, 32}) {
        SCOPED_TRACE(depth);
        ASSERT_EQ(read(file, depth, 8, 3, 0, 0x5A), 0);
        for (uint32_t y = 0; y < 3; ++y)
            for (uint32_t x = 0; x < 5; ++x) {
                const uint32_t r = true_red(x, y), g = true_green(x, y), b = true_blue(x, y);
                const uint32_t want = depth == 16 ? rgb565(r, g, b) : (r << 16 | g << 8 | b);
                ASSERT_EQ(pixel(static_cast<int32_t>(x), static_cast<int32_t>(y)), want)
                    << x << "," << y;
            }
        EXPECT_EQ(pixel(5, 0), depth == 16 ? 0x5A5Au : depth == 24 ? 0x5A5A5Au : 0x5A5A5A5Au);
        EXPECT_EQ(palette_rgb(), before_) << "a true-colour image has no palette stage";
    }
}

TEST_F(PcxReader, LayoutsWithoutAConverterGiveResultThree) {
    const int fds = open_descriptors();
    EXPECT_EQ(read(true_color_file(5, 2, 6), 8, 8, 2, 0, 0x33), 3);
    EXPECT_EQ(palette_rgb(), before_);
    EXPECT_EQ(pixel(0, 0), 0x33u);
    for (uint8_t bits : {2, 4, 0, 7, 16}) {
        Bytes file = indexed_file(4, 2, Bytes(8, 1), 4, 5);
        file[3] = bits;
        for (int32_t depth : {8, 16, 24, 32}) {
            EXPECT_EQ(read(file, depth, 8, 2), 3) << int(bits) << " bits at " << depth;
            EXPECT_EQ(load_memory(file, 0), 3);
        }
    }
    EXPECT_EQ(open_descriptors(), fds);
}

TEST_F(PcxReader, PlanesOfOneBitMakeTheColourNumber) {
    // One bit in 2 and 3 planes: plane p gives bit p of the colour number,
    // shown at depth 8 in slot 10 + number.
    Header h = colored_header();
    h.bits = 1;
    h.xmax = 7;
    h.plane_bytes = 1;
    h.planes = 2;
    ASSERT_EQ(read(pcx_file(h, encode({0xA5, 0x0F})), 8, 8, 1), 0);
    EXPECT_EQ(area(0, 0, 8, 1), (Pixels{11, 10, 11, 10, 12, 13, 12, 13}));
    h.planes = 3;
    ASSERT_EQ(read(pcx_file(h, encode({0xA5, 0x0F, 0x3C})), 8, 8, 1), 0);
    EXPECT_EQ(area(0, 0, 8, 1), (Pixels{11, 10, 15, 14, 16, 17, 12, 13}));
    // At depth 32 the numbers take the header's colours.
    ASSERT_EQ(read(pcx_file(h, encode({0xA5, 0x0F, 0x3C})), 32, 8, 1), 0);
    for (int32_t x = 0; x < 8; ++x)
        EXPECT_EQ(pixel(x, 0) & 0xFFFFFF,
                  rgb32(h.palette, Pixels{1, 0, 5, 4, 6, 7, 2, 3}[static_cast<size_t>(x)]));

    // Plane counts and bits that describe no image: refused.
    const int layouts[][2] = {{5, 8}, {9, 8}, {2, 8}, {0, 8}, {5, 1}, {0, 1}, {4, 2}, {3, 4}};
    for (const auto& [planes, bits] : layouts) {
        h.planes = static_cast<uint8_t>(planes);
        h.bits = static_cast<uint8_t>(bits);
        h.plane_bytes = 8;
        EXPECT_EQ(load_file(pcx_file(h, encode(Bytes(64, 9))), KEEP_INDICES), 3)
            << planes << " planes of " << bits;
    }
}

// ---- The decoder ---------------------------------------------------------------

// Raw run-length data read from a file and from memory into an 8-bit
// buffer, indices kept; the whole buffer is compared.
TEST_F(PcxReader, DecoderRunsAndEarlyEnds) {
    struct Case {
        const char* what;
        uint32_t w, h, plane_bytes;
        Bytes data;
        int32_t buffer_w, buffer_h;
        uint8_t fill;
        Pixels want;
        bool cut = false;  // the data ends before the last line: result 5
    };
    // Width 5 with 6 bytes per line; the padding byte 0xEE is part of a run
    // with the last pixel, so it must be decoded for the next line to start
    // right, but it is not stored.
    Bytes padded;
    Pixels padded_want;
    for (uint8_t y = 0; y < 3; ++y) {
        padded.insert(padded.end(), {static_cast<uint8_t>(0x20 + y), 2, 3, 4, 0xC2, 0xEE});
        padded_want.insert(padded_want.end(), {0x20u + y, 2, 3, 4, 0xEE, 0x55, 0x55, 0x55});
    }
    // Lines of 4 bytes; 63 copies fill 15 lines and 3 bytes of the 16th.
    Pixels long_run(63, 7);
    long_run.insert(long_run.end(), {8, 1, 2, 3, 4});
    const Case cases[] = {
        {"run code 0xC0 consumes its value and stores nothing",
         4,
         1,
         4,
         {0x01, 0xC0, 0x77, 0x02, 0x03, 0x04},
         4,
         1,
         0,
         {1, 2, 3, 4}},
        // Line 0: 1 2 3 and a run of eight 9s, five of which belong to line 1.
        {"a run past the end of a line starts the next line",
         6,
         3,
         6,
         {0x01, 0x02, 0x03, 0xC8, 0x09, 0x04, 0x05, 0x06, 0x07, 0x08, 0x0A, 0x0B},
         8,
         3,
         0,
         {1, 2, 3, 9, 9, 9, 0, 0, 9, 9, 9, 9, 9, 4, 0, 0, 5, 6, 7, 8, 10, 11, 0, 0}},
        {"one run covers several whole lines",
         4,
         17,
         4,
         {0xFF, 0x07, 0x08, 0x01, 0x02, 0x03, 0x04},
         4,
         17,
         0,
         long_run},
        {"the padding byte is decoded but not stored", 5, 3, 6, padded, 8, 3, 0x55, padded_want},
        // The line stops where it is, and the rest of the line buffer is still zero.
        {"input ending with a run code",
         4,
         2,
         4,
         {0x09, 0xC3},
         4,
         2,
         0x77,
         {9, 0, 0, 0, 9, 0, 0, 0},
         true},
        {"no data at all", 4, 2, 4, {}, 4, 2, 0x77, Pixels(8, 0), true},
        // Line 0 complete, line 1 two bytes, then the input ends: every visible row is stored.
        {"input ending early",
         4,
         4,
         4,
         {0x01, 0x02, 0x03, 0x04, 0x05, 0x06},
         4,
         5,
         0x77,
         {1, 2, 3, 4, 5, 6, 3, 4, 5, 6, 3, 4, 5, 6, 3, 4, 0x77, 0x77, 0x77, 0x77},
         true},
    };
    const Bytes white(48, 0xFF), black(48, 0);
    for (const Case& c : cases) {
        const Bytes file = raw_indexed_file(c.w, c.h, c.plane_bytes, c.data);
        for (bool memory : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (memory ? " from memory" : " from a file"));
            open_buffer(8, c.buffer_w, c.buffer_h);
            fill_bytes(c.fill);
            gx_set_palette(10, 16, white.data());
            const Bytes before = palette_rgb();
            ASSERT_EQ(
                memory ? load_memory(file, GX_PCX_NO_REDUCE) : load_file(file, GX_PCX_NO_REDUCE),
                c.cut ? GX_PCX_TRUNCATED : GX_PCX_OK);
            EXPECT_EQ(area(0, 0, c.buffer_w, c.buffer_h), c.want);
            // The palette stage still ran: version 5 but no trailing palette,
            // so the header's colours (all black here) went to slots 10 to 25.
            EXPECT_EQ(palette_rgb(), with_slots(before, 10, 16, black.data()));
            free_buffers();
        }
    }
}

TEST_F(PcxReader, RunsCrossFromOnePlaneIntoTheNext) {
    // Three planes of two bytes: a run of three 0x10 covers red of both
    // pixels and green of the first.
    Header h;
    h.planes = 3;
    h.xmax = 1;
    h.plane_bytes = 2;
    ASSERT_EQ(read(pcx_file(h, {0xC3, 0x10, 0x20, 0xC2, 0x30}), 32, 4, 1), 0);
    EXPECT_EQ(area(0, 0, 2, 1), (Pixels{0x101030u, 0x102030u}));
}

// ---- Placement and clipping ------------------------------------------------------

uint32_t pattern_at(uint32_t x, uint32_t y) { return (x + 7 * y) & 0x7F; }

Bytes pattern_file(uint32_t w, uint32_t h) {
    Bytes indices(w * h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            indices[y * w + x] = static_cast<uint8_t>(pattern_at(x, y));
    return indexed_file(w, h, indices, w + (w & 1));
}

// The image's pixel (x, y) lands at (ox + x, oy + y) where that is inside the
// buffer; every other pixel keeps the fill. Whole lines are decoded even
// where only part of them is stored.
TEST_F(PcxReader, PlacementAndClippingAtEveryEdge) {
    struct Case {
        const char* what;
        uint32_t w, h, xmin, ymin;
        int32_t depth, buffer_w, buffer_h, flags, pos_x, pos_y, ox, oy;
    };
    const Case cases[] = {
        {"clipped at the right edge", 100, 3, 0, 0, 8, 640, 8, GX_PCX_AT_POSITION, 600, 2, 600, 2},
        {"at the header's position", 3, 2, 3, 2, 8, 8, 6, 0, 1, 1, 3, 2},
        {"at the current position", 3, 2, 3, 2, 8, 8, 6, GX_PCX_AT_POSITION, 1, 1, 1, 1},
        {"left of and above the buffer", 10, 6, 0, 0, 8, 8, 8, GX_PCX_AT_POSITION, -3, -2, -3, -2},
        {"left of and above the buffer", 10, 6, 0, 0, 32, 8, 8, GX_PCX_AT_POSITION, -3, -2, -3, -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " at depth " + std::to_string(c.depth));
        Bytes file = pattern_file(c.w, c.h);
        file[4] = static_cast<uint8_t>(c.xmin);
        file[6] = static_cast<uint8_t>(c.ymin);
        file[8] = static_cast<uint8_t>(c.xmin + c.w - 1);
        file[10] = static_cast<uint8_t>(c.ymin + c.h - 1);
        gx_move_to(c.pos_x, c.pos_y);
        ASSERT_EQ(read(file, c.depth, c.buffer_w, c.buffer_h, c.flags | KEEP_INDICES, 0xF0), 0);
        for (int32_t y = 0; y < c.buffer_h; ++y)
            for (int32_t x = 0; x < c.buffer_w; ++x) {
                const int32_t ix = x - c.ox, iy = y - c.oy;
                uint32_t want = c.depth == 8 ? 0xF0u : 0xF0F0F0F0u;
                if (ix >= 0 && iy >= 0 && ix < static_cast<int32_t>(c.w) &&
                    iy < static_cast<int32_t>(c.h)) {
                    const uint32_t n = pattern_at(static_cast<uint32_t>(ix),
                                                  static_cast<uint32_t>(iy));
                    want = c.depth == 8 ? n : entry_rgb(gx_state.color_lookup[n]);
                }
                ASSERT_EQ(pixel(x, y), want) << x << "," << y;
            }
    }
    // Two-colour sources clipped at the left start inside a byte.
    gx_move_to(-5, 0);
    ASSERT_EQ(read(bit_planes_file(1, 21, 2, two_pattern), 8, 24, 2, GX_PCX_AT_POSITION), 0);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            EXPECT_EQ(pixel(static_cast<int32_t>(x), static_cast<int32_t>(y)),
                      10 + two_pattern(x + 5, y));
}

TEST_F(PcxReader, DecodingStopsAfterTheLastVisibleRow) {
    // 20 lines of 8 bytes, each ending in a byte that names its line; read
    // in chunks of one byte into a block of our own, which afterwards holds
    // the last byte read.
    Bytes data;
    for (uint8_t y = 0; y < 20; ++y)
        data.insert(data.end(), {y, 1, 2, 3, 4, 5, 6, static_cast<uint8_t>(0x40 + y)});
    open_buffer(16, 640, 480);
    uint8_t chunk[1] = {0xFF};
    gx_set_input(chunk, 1);
    gx_move_to(0, 470);
    const std::string path = temp_path("stop.pcx");
    write_file(path, raw_indexed_file(8, 20, 8, data, 3));
    ASSERT_EQ(gx_load_pcx(path.c_str(), GX_PCX_AT_POSITION), 0);
    remove_released(path);
    EXPECT_EQ(chunk[0], 0x40 + 9) << "the last byte read is not the end of the tenth line";
    EXPECT_EQ(gx_state.pcx_transferred, 1u);
    EXPECT_EQ(gx_state.input_ptr, chunk);
    gx_reset_input();
    // Rows 470 to 479 hold lines 0 to 9 through the header colours 0 to 7
    // (the file is version 3); the byte naming the line is an index >= 16,
    // converted through the lookup as it stood.
    for (int y = 0; y < 10; ++y) {
        EXPECT_EQ(pixel(1, 470 + y), gx_state.color_lookup[1] & 0xFFFF);
        EXPECT_EQ(pixel(7, 470 + y), gx_state.color_lookup[0x40 + y] & 0xFFFF);
    }
}

TEST_F(PcxReader, ImageAtOrPastTheEdgesDrawsNothing) {
    const Bytes file = indexed_file(4, 2, Bytes(8, 3), 4, 5, COLORS.data());
    open_buffer(16, 8, 4);
    fill_bytes(0xAA);
    const Bytes before = palette_rgb();
    const Pixels lookup_before = lookup();
    const int fds = open_descriptors();
    const int32_t positions[][2] = {{8, 0},         {0, 4},        {-4, 0},
                                    {0, -2},        {1000000, 0},  {INT32_MIN, INT32_MIN},
                                    {INT32_MAX, 0}, {0, INT32_MAX}};
    for (const auto& at : positions) {
        gx_move_to(at[0], at[1]);
        EXPECT_EQ(load_file(file, GX_PCX_AT_POSITION), 0) << at[0] << "," << at[1];
        EXPECT_EQ(load_memory(file, GX_PCX_AT_POSITION), 0);
    }
    EXPECT_EQ(area(0, 0, 8, 4), Pixels(32, 0xAAAAu));
    EXPECT_EQ(palette_rgb(), before);
    EXPECT_EQ(lookup(), lookup_before);
    EXPECT_EQ(open_descriptors(), fds);
}

TEST_F(PcxReader, EmptyOrNegativeExtentDrawsNothing) {
    open_buffer(8, 8, 4);
    fill_bytes(0x66);
    const Bytes before = palette_rgb();
    Bytes file = pattern_file(4, 2);
    file[8] = 0;
    file[4] = 1;  // xmax 0 < xmin 1: no image, refused
    EXPECT_EQ(load_file(file, 0), 3);
    file = pattern_file(4, 2);
    file[10] = 0;
    file[6] = 5;  // ymax 0 < ymin 5
    EXPECT_EQ(load_file(file, GX_PCX_AT_POSITION), 3);
    file[4] = 0xFF;
    file[5] = 0xFF;  // xmin 65535, xmax 3
    EXPECT_EQ(load_memory(file, GX_PCX_AT_POSITION), 3);
    EXPECT_EQ(area(0, 0, 8, 4), Pixels(32, 0x66u));
    EXPECT_EQ(palette_rgb(), before);
}

TEST_F(PcxReader, PlaneLinesTooShortForTheWidthAreRejected) {
    // Nine pixels in `planes` planes of `bits` bits and `plane_bytes` bytes.
    auto nine = [](uint8_t planes, uint8_t bits, uint32_t plane_bytes, const Bytes& data) {
        Header h;
        h.planes = planes;
        h.bits = bits;
        h.xmax = 8;
        h.plane_bytes = plane_bytes;
        return pcx_file(h, data);
    };
    Bytes true_color = true_color_file(5, 1, 5);
    true_color[66] = 4;
    const struct {
        const char* what;
        Bytes file;
        int32_t result;
        bool memory;
    } cases[] = {
        {"256 colours: 5 pixels in 4 bytes", indexed_file(5, 1, Bytes(5, 1), 4), 3, false},
        {"256 colours: 5 pixels in 5 bytes", indexed_file(5, 1, Bytes(5, 1), 5), 0, false},
        {"true colour: 5 pixels in three planes of 4 bytes", true_color, 3, false},
        {"two colours: 9 pixels in 1 byte", nine(1, 1, 1, {0xFF, 0xFF}), 3, false},
        {"two colours: 9 pixels in 2 bytes", nine(1, 1, 2, {0xFF, 0xFF}), 0, false},
        {"sixteen colours: 9 pixels in 1 byte per plane", nine(4, 1, 1, {1, 2, 3, 4}), 3, false},
        {"no planes, 8 bits", nine(0, 8, 100, {1, 2, 3, 4}), 3, false},
        {"no planes, 1 bit", nine(0, 1, 100, {1, 2, 3, 4}), 3, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(read(c.file, 32, 16, 2, 0, 0x11, c.memory), c.result) << c.what;
        if (c.result == 3) EXPECT_EQ(pixel(0, 0), 0x11111111u) << c.what;
    }
}

// ---- Input modes ---------------------------------------------------------------

uint8_t busy_index(uint32_t x, uint32_t y) {
    const uint32_t i = y * 37 + x;
    return static_cast<uint8_t>((i / (i % 13 + 1)) * 53);
}

Bytes busy_file() {
    // Runs of every length across lines and chunk boundaries.
    Bytes indices;
    for (uint32_t y = 0; y < 23; ++y)
        for (uint32_t x = 0; x < 37; ++x) indices.push_back(busy_index(x, y));
    return indexed_file(37, 23, indices, 38, 5, COLORS.data(), 0xC5);
}

TEST_F(PcxReader, EveryChunkSizeAndMemoryGiveTheSamePixels) {
    const Bytes file = busy_file();
    open_buffer(32, 40, 23);
    ASSERT_EQ(load_file(file, 0), 0);
    for (uint32_t y = 0; y < 23; ++y)
        for (uint32_t x = 0; x < 37; ++x)
            ASSERT_EQ(pixel(static_cast<int32_t>(x), static_cast<int32_t>(y)),
                      rgb32(COLORS.data(), busy_index(x, y)));
    const Pixels reference = area(0, 0, 40, 23);

    const std::string path = temp_path("chunks.pcx");
    write_file(path, file);
    for (uint32_t size : {1u, 2u, 3u, 7u, 64u, 129u, 100000u}) {
        fill_bytes(0);
        std::vector<uint8_t> chunk(size);
        gx_set_input(chunk.data(), size);
        ASSERT_EQ(gx_load_pcx(path.c_str(), 0), 0);
        EXPECT_EQ(gx_state.input_ptr, chunk.data());
        EXPECT_EQ(gx_state.input_size, size);
        gx_reset_input();
        EXPECT_EQ(area(0, 0, 40, 23), reference) << "chunks of " << size;
    }
    remove_released(path);
    fill_bytes(0);
    ASSERT_EQ(load_memory(file, 0), 0);
    EXPECT_EQ(area(0, 0, 40, 23), reference) << "from memory";
}

TEST_F(PcxReader, InputDescriptorIsRestoredOnEveryPath) {
    const Bytes good = busy_file();
    Bytes bad = good;
    bad[0] = 11;
    open_buffer(8, 4, 4);
    for (const Bytes* file : {&good, static_cast<const Bytes*>(&bad)}) {
        std::vector<uint8_t> block(*file);
        gx_set_input(block.data(), static_cast<uint32_t>(block.size()));
        gx_load_pcx(nullptr, GX_PCX_FROM_MEMORY);
        EXPECT_EQ(gx_state.input_ptr, block.data());
        EXPECT_EQ(gx_state.input_size, block.size());
    }
    gx_reset_input();
    EXPECT_EQ(gx_state.input_ptr, gx_state.input_buffer);
    EXPECT_EQ(gx_state.input_size, 4096u);
    gx_load_pcx("/nonexistent/image.pcx", 0);
    EXPECT_EQ(gx_state.input_ptr, gx_state.input_buffer);
    free_buffers();
    uint8_t block[4] = {};
    gx_set_input(block, 4);
    EXPECT_EQ(gx_load_pcx(nullptr, GX_PCX_FROM_MEMORY), 0);  // no buffer
    EXPECT_EQ(gx_state.input_ptr, block);
    gx_reset_input();
}

TEST_F(PcxReader, MemoryBlocksShorterThanTheirPartsAreReadOnlyWithinBounds) {
    open_buffer(32, 4, 1);
    fill_bytes(0x22);
    const Bytes file = indexed_file(2, 1, {0, 1}, 2, 5);
    for (size_t size : {size_t{0}, size_t{1}, size_t{127}})
        EXPECT_EQ(load_memory(Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(size)), 0),
                  2)
            << size;
    gx_set_input(nullptr, 4096);
    EXPECT_EQ(gx_load_pcx(nullptr, GX_PCX_FROM_MEMORY), 2);
    gx_reset_input();
    EXPECT_EQ(pixel(0, 0), 0x22222222u);

    // A version-5 block one byte too short to hold a trailing palette behind
    // its header: the header colours are used. One byte more and the marker counts.
    Header h = colored_header();
    h.xmax = 1;
    h.plane_bytes = 2;
    Bytes tail = {12, 0xAA, 0xAA, 0xAA};
    tail.resize(769, 0x01);
    Bytes block = header_bytes(h);
    block.insert(block.end(), tail.begin() + 1, tail.end());
    ASSERT_EQ(block.size(), 128u + 768u);
    ASSERT_EQ(load_memory(block, 0), 0);
    EXPECT_EQ(entry_rgb(gx_state.color_lookup[1]), rgb32(h.palette, 1));
    block = header_bytes(h);
    block.insert(block.end(), tail.begin(), tail.end());
    ASSERT_EQ(block.size(), 128u + 769u);
    ASSERT_EQ(load_memory(block, 0), 0);
    EXPECT_EQ(entry_rgb(gx_state.color_lookup[0]), 0xAAAAAAu);
    EXPECT_EQ(entry_rgb(gx_state.color_lookup[1]), 0x010101u);
}

TEST_F(PcxReader, FileModeWithoutUsableChunksEndsTheInputAtOnce) {
    open_buffer(8, 4, 2);
    const std::string path = temp_path("nochunk.pcx");
    write_file(path, indexed_file(4, 2, {1, 2, 3, 4, 5, 6, 7, 8}, 4, 3));
    for (uint32_t size : {0u, 4096u}) {
        fill_bytes(0x99);
        gx_set_input(size == 0 ? gx_state.input_buffer : nullptr, size);
        ASSERT_EQ(gx_load_pcx(path.c_str(), KEEP_INDICES), GX_PCX_TRUNCATED);
        EXPECT_EQ(area(0, 0, 4, 2), Pixels(8, 0)) << size;
    }
    gx_reset_input();
    ASSERT_EQ(gx_load_pcx(path.c_str(), KEEP_INDICES), 0);
    EXPECT_EQ(pixel(3, 1), 8u);
    remove_released(path);
}

// ---- Failures --------------------------------------------------------------------

TEST_F(PcxReader, NoBufferMeansNothingIsDoneAndNoFileOpened) {
    // A readable file: had it been opened, its header would have been read.
    const std::string path = temp_path("nobuffer.pcx");
    write_file(path, busy_file());
    std::memset(gx_state.pcx_header, 0xEE, sizeof gx_state.pcx_header);
    gx_state.pcx_transferred = 12345;
    const int fds = open_descriptors();
    EXPECT_EQ(gx_load_pcx(path.c_str(), 0), 0);
    EXPECT_EQ(gx_load_pcx("/nonexistent/image.pcx", 0), 0);
    EXPECT_EQ(open_descriptors(), fds);
    EXPECT_EQ(gx_state.pcx_transferred, 12345u);
    EXPECT_EQ(Bytes(gx_state.pcx_header, gx_state.pcx_header + 128), Bytes(128, 0xEE));
    remove_released(path);
}

// Descriptors are counted where that is reliable; everywhere the file
// must be removable afterwards (load_file checks), which Windows refuses
// while it is open.
TEST_F(PcxReader, OpenAndHeaderFailuresCloseTheFile) {
    open_buffer(8, 4, 4);
    const int fds = open_descriptors();
    EXPECT_EQ(gx_load_pcx("/nonexistent/image.pcx", 0), 1);
    EXPECT_EQ(gx_load_pcx(nullptr, 0), 1);
    Bytes file = busy_file();
    EXPECT_EQ(load_file(Bytes(file.begin(), file.begin() + 127), 0), 2);
    EXPECT_EQ(load_file(Bytes(), 0), 2);
    file[0] = 0x0B;
    EXPECT_EQ(load_file(file, 0), 2);
    EXPECT_EQ(load_memory(file, 0), 2);
    EXPECT_EQ(open_descriptors(), fds);
}

TEST_F(PcxReader, LineBufferFailureGivesResultFourAndChangesNothing) {
    const Bytes file = indexed_file(4, 1, {1, 2, 3, 4}, 4, 5, COLORS.data());
    open_buffer(16, 4, 1);
    fill_bytes(0x12);
    const Bytes before = palette_rgb();
    const int fds = open_descriptors();
    const int blocks = headless_live_blocks();
    headless_fail_allocations(0, 1);
    EXPECT_EQ(load_file(file, 0), 4);
    headless_fail_allocations(0, 1);
    EXPECT_EQ(load_memory(file, 0), 4);
    headless_fail_allocations(0, 0);
    EXPECT_EQ(open_descriptors(), fds);
    EXPECT_EQ(headless_live_blocks(), blocks);
    EXPECT_EQ(palette_rgb(), before);
    EXPECT_EQ(pixel(0, 0), 0x1212u);
    // And it works again afterwards, leaving no block behind.
    EXPECT_EQ(load_file(file, 0), 0);
    EXPECT_EQ(headless_live_blocks(), blocks);
}

}  // namespace
