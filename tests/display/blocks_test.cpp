// Pixel blocks: bottom row first, 3 bytes per pixel from 32-bit buffers,
// nothing copied outside the buffer, row reversal.
#include <numeric>
#include <vector>

#include "fixture.h"

namespace {

class Blocks : public Library {
protected:
    void SetUp() override {
        Library::SetUp();
        gx_initialize();
    }
};

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
            ASSERT_EQ(block[static_cast<size_t>(k * 64 + i)], (63 - k) << 10 | (128 + i)) << k << "," << i;
    EXPECT_EQ(block[4096], 0xEEEE);  // 8192 bytes exactly
    EXPECT_EQ(gx_state.pos_x, 128);
    EXPECT_EQ(gx_state.pos_y, 63);

    gx_invert_block(block.data(), 64, 64);
    for (int32_t k = 0; k < 64; ++k)
        ASSERT_EQ(block[static_cast<size_t>(k * 64)], k << 10 | 128) << k;
}

TEST_F(Blocks, ThirtyTwoBitBlockHasThreeBytesPerPixel) {
    open_buffer(32, 4, 2);
    const uint32_t a = 0xAA332211, b = 0xBB665544;
    std::memcpy(at(1, 1, 4), &a, 4);
    std::memcpy(at(2, 1, 4), &b, 4);
    uint8_t block[8];
    std::memset(block, 0xEE, sizeof block);
    gx_move_to(1, 1);
    gx_get_block(block, 2, 1);
    const uint8_t expected[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xEE, 0xEE};
    EXPECT_EQ(std::memcmp(block, expected, 8), 0);
}

TEST_F(Blocks, TwentyFourBitBlock) {
    open_buffer(24, 4, 3);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x)
            for (int32_t c = 0; c < 3; ++c) at(x, y, 3)[c] = static_cast<uint8_t>(y * 100 + x * 10 + c);
    uint8_t block[18];
    gx_move_to(2, 2);
    gx_get_block(block, 2, 3);
    const uint8_t expected[18] = {220, 221, 222, 230, 231, 232, 120, 121, 122,
                                  130, 131, 132, 20,  21,  22,  30,  31,  32};
    EXPECT_EQ(std::memcmp(block, expected, 18), 0);
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

TEST_F(Blocks, NothingUnlessTheBlockLiesInsideTheBuffer) {
    open_buffer(16, 8, 8);
    uint8_t block[512];
    std::memset(block, 0xEE, sizeof block);
    const struct {
        int32_t x, y, w, h;
    } outside[] = {
        {-1, 7, 2, 2},  {7, 7, 2, 1},  {0, 8, 1, 1},  {0, 0, 1, 2},  {0, 7, 0, 1},
        {0, 7, 1, 0},   {0, 7, -3, 2}, {0, 7, 9, 1},  {0, 7, 1, 9},  {INT32_MAX, 7, 1, 1},
        {0, INT32_MIN, 1, 1}, {4, 7, INT32_MAX, 1}, {0, 7, 1, INT32_MAX},
    };
    for (const auto& o : outside) {
        gx_move_to(o.x, o.y);
        gx_get_block(block, o.w, o.h);
    }
    for (uint8_t v : block) ASSERT_EQ(v, 0xEE);
    // The whole buffer is a block that fits.
    gx_move_to(0, 7);
    gx_get_block(block, 8, 8);
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[127], 0);
    EXPECT_EQ(block[128], 0xEE);
}

TEST_F(Blocks, InvertSwapsRowsAroundTheMiddle) {
    open_buffer(16, 4, 4);
    uint8_t block[3 * 4];  // width 2, 2 bytes per pixel, 3 rows
    std::iota(block, block + 12, 0);
    gx_invert_block(block, 2, 3);
    const uint8_t expected[12] = {8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3};
    EXPECT_EQ(std::memcmp(block, expected, 12), 0);
    gx_invert_block(block, 2, 1);
    EXPECT_EQ(std::memcmp(block, expected, 12), 0);
}

TEST_F(Blocks, InvertUsesThreeBytesFromTwentyFourBitsUp) {
    open_buffer(32, 4, 4);
    uint8_t block[12];
    std::iota(block, block + 12, 0);
    gx_invert_block(block, 2, 2);  // rows of 6 bytes
    const uint8_t expected[12] = {6, 7, 8, 9, 10, 11, 0, 1, 2, 3, 4, 5};
    EXPECT_EQ(std::memcmp(block, expected, 12), 0);
    gx_invert_block(block, 2, 2);
    gx_invert_block(block, 2, 2);
    EXPECT_EQ(std::memcmp(block, expected, 12), 0);
}

TEST_F(Blocks, InvertIgnoresSizesBelowOne) {
    uint8_t block[12];
    std::iota(block, block + 12, 0);
    gx_invert_block(block, 0, 3);
    gx_invert_block(block, -2, 3);
    gx_invert_block(block, 2, -3);
    gx_invert_block(block, 2, 0);
    gx_invert_block(nullptr, 2, 3);
    gx_invert_block(block, INT32_MAX, 0);
    for (uint8_t i = 0; i < 12; ++i) EXPECT_EQ(block[i], i);
}

}  // namespace
