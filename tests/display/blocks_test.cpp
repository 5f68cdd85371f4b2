// Pixel blocks: bottom row first, 3 bytes per pixel from 32-bit buffers,
// nothing copied outside the buffer, row reversal.
#include <numeric>
#include <vector>

#include "fixture.h"

namespace {

using Blocks = Started;

TEST_F(Blocks, SixteenBitBlockComesBottomRowFirst) {
    open_buffer(16, 640, 480);
    // Every pixel holds its coordinates: x in the low bits, y mod 64 above.
    for (int32_t y = 0; y < 480; ++y)
        for (int32_t x = 0; x < 640; ++x) {
            const auto v = static_cast<uint16_t>((y % 64) << 10 | x);
            std::memcpy(at(x, y, 2), &v, 2);
        }
    std::vector<uint16_t> block(64 * 64 + 8, 0xEEEE);
    gx_move_to(128, 63);
    gx_get_block(block.data(), 64, 64);
    for (int32_t k = 0; k < 64; ++k)
        for (int32_t i = 0; i < 64; ++i)
            ASSERT_EQ(block[static_cast<size_t>(k * 64 + i)], (63 - k) << 10 | (128 + i))
                << k << "," << i;
    EXPECT_EQ(block[4096], 0xEEEE);  // 8192 bytes exactly
    EXPECT_EQ(gx_state.pos_x, 128);
    EXPECT_EQ(gx_state.pos_y, 63);

    gx_invert_block(block.data(), 64, 64);
    for (int32_t k = 0; k < 64; ++k)
        ASSERT_EQ(block[static_cast<size_t>(k * 64)], k << 10 | 128) << k;
}

TEST_F(Blocks, ThreeBytesPerPixelAtTwentyFourAndThirtyTwoBits) {
    open_buffer(32, 4, 2);
    const uint32_t a = 0xAA332211, b = 0xBB665544;
    std::memcpy(at(1, 1, 4), &a, 4);
    std::memcpy(at(2, 1, 4), &b, 4);
    uint8_t block[8];
    std::memset(block, 0xEE, sizeof block);
    gx_move_to(1, 1);
    gx_get_block(block, 2, 1);
    const uint8_t expected32[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xEE, 0xEE};
    EXPECT_EQ(std::memcmp(block, expected32, 8), 0);

    open_buffer(24, 4, 3);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x)
            for (int32_t c = 0; c < 3; ++c)
                at(x, y, 3)[c] = static_cast<uint8_t>(y * 100 + x * 10 + c);
    uint8_t block24[18];
    gx_move_to(2, 2);
    gx_get_block(block24, 2, 3);
    const uint8_t expected24[18] = {220, 221, 222, 230, 231, 232, 120, 121, 122,
                                    130, 131, 132, 20,  21,  22,  30,  31,  32};
    EXPECT_EQ(std::memcmp(block24, expected24, 18), 0);
}

TEST_F(Blocks, NothingFromEightBitOrClosedBuffers) {
    uint8_t block[64];
    std::memset(block, 0xEE, sizeof block);
    gx_move_to(0, 3);
    gx_get_block(block, 4, 4);  // nothing open
    open_buffer(8, 8, 8);
    gx_get_block(block, 4, 4);
    for (uint8_t v : block) EXPECT_EQ(v, 0xEE);
}

// Blocks off any edge, at extreme positions, with sizes below 1 or that
// overflow when added to the position, or with no destination: 0, nothing
// copied. The last blocks that fit are copied, and no byte more.
TEST_F(Blocks, NothingUnlessTheBlockLiesInsideTheBuffer) {
    const struct {
        int32_t x, y, w, h;
    } outside[] = {
        {-1, 7, 2, 2},        {15, 7, 2, 1},
        {0, 8, 1, 1},         {0, 0, 1, 2},
        {0, 7, 17, 1},        {0, 7, 1, 9},
        {0, 7, 0, 1},         {0, 7, 1, 0},
        {0, 7, -3, 2},        {0, 7, -4, 4},
        {0, 7, 4, INT32_MIN}, {INT32_MAX, 7, 1, 1},
        {0, INT32_MIN, 1, 1}, {4, 7, INT32_MAX, 1},
        {0, 7, 1, INT32_MAX}, {INT32_MAX, 3, 4, 4},
        {INT32_MIN, 3, 4, 4}, {3, INT32_MAX, 4, 4},
        {3, INT32_MIN, 4, 4}, {INT32_MAX - 2, INT32_MAX, 4, 4},
        {13, 3, 4, 4},        {3, 2, 4, 4},
        {-1, 3, 4, 4},        {8, 7, INT32_MAX, 1},
        {8, 7, 1, INT32_MAX},
    };
    // The 16 x 8 buffer filled with 0x123456: a 4 x 4 block's size and last byte.
    const struct {
        int32_t depth, bytes;
        uint8_t last;
    } depths[] = {{16, 32, 0x34}, {24, 48, 0x12}, {32, 48, 0x12}};
    for (const auto& d : depths) {
        SCOPED_TRACE(d.depth);
        open_buffer(d.depth, 16, 8);
        gx_set_color(0x123456);
        gx_fill_buffer();
        std::vector<uint8_t> block(16 * 8 * 4, 0xCD);
        for (const auto& o : outside) {
            gx_move_to(o.x, o.y);
            EXPECT_EQ(gx_get_block(block.data(), o.w, o.h), 0);
            for (uint8_t b : block)
                ASSERT_EQ(b, 0xCD) << o.x << "," << o.y << " " << o.w << "x" << o.h;
        }
        gx_move_to(0, 7);
        EXPECT_EQ(gx_get_block(nullptr, 4, 4), 0);
        gx_move_to(12, 3);
        EXPECT_EQ(gx_get_block(block.data(), 4, 4), 0);
        EXPECT_EQ(block[0], 0x56);
        EXPECT_EQ(block[static_cast<size_t>(d.bytes - 1)], d.last);
        EXPECT_EQ(block[static_cast<size_t>(d.bytes)], 0xCD);
        // The whole buffer is a block that fits.
        gx_move_to(0, 7);
        EXPECT_EQ(gx_get_block(block.data(), 16, 8), 0);
        EXPECT_EQ(block[static_cast<size_t>(d.bytes * 8 - 1)], d.last);
        EXPECT_EQ(block[static_cast<size_t>(d.bytes * 8)], 0xCD);
    }
}

TEST_F(Blocks, InvertSwapsRowsAroundTheMiddle) {
    // Rows of 2 pixels: 2 bytes each at 16 bits, 3 from 24 bits up.
    const struct {
        int32_t depth, rows;
        uint8_t expected[12];
    } cases[] = {
        {16, 3, {8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3}},
        {24, 2, {6, 7, 8, 9, 10, 11, 0, 1, 2, 3, 4, 5}},
        {32, 2, {6, 7, 8, 9, 10, 11, 0, 1, 2, 3, 4, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.depth);
        open_buffer(c.depth, 4, 4);
        uint8_t block[12];
        std::iota(block, block + 12, 0);
        gx_invert_block(block, 2, c.rows);
        EXPECT_EQ(std::memcmp(block, c.expected, 12), 0);
        gx_invert_block(block, 2, c.rows);
        gx_invert_block(block, 2, c.rows);
        EXPECT_EQ(std::memcmp(block, c.expected, 12), 0);
    }
}

// Width below 1, height below 2, no block: 0 and nothing changed.
TEST_F(Blocks, InvertIgnoresSizesBelowOne) {
    for (const bool open : {false, true}) {
        if (open) open_buffer(24, 8, 8);
        uint8_t block[12];
        std::iota(block, block + 12, 0);
        const int32_t sizes[][2] = {{0, 3}, {-2, 3}, {2, -3}, {2, 0},         {2, 1},
                                    {0, 4}, {4, 0},  {-4, 4}, {4, INT32_MIN}, {INT32_MAX, 0}};
        for (const auto& s : sizes) EXPECT_EQ(gx_invert_block(block, s[0], s[1]), 0);
        EXPECT_EQ(gx_invert_block(nullptr, 2, 3), 0);
        EXPECT_EQ(gx_invert_block(nullptr, 4, 4), 0);
        for (uint8_t i = 0; i < 12; ++i) EXPECT_EQ(block[i], i) << "open " << open;
    }
}

}  // namespace
