// Bad input to the buffer and drawing operations: inputs found by the buffer
// fuzz target, and the kinds of bad input listed in docs/robustness.md that
// no other test covered.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "fixture.h"

namespace {

using BadDisplayInput = Library;

// buffer_fuzzer found this: with both sides near 2^31 the byte count of a
// 24 or 32-bit buffer (pitch * height) overflowed 64 bits in the size check
// itself, which is undefined behaviour. Such buffers are refused with -2.
TEST_F(BadDisplayInput, BufferWhoseByteCountOverflowsSixtyFourBitsIsRefused) {
    gx_initialize();
    const int32_t blocks = headless_live_blocks();
    gx_set_buffer_depth(24);
    EXPECT_EQ(gx_buffer_alloc(2105363273, 1768491785), -2);  // the fuzzer's input
    for (int32_t depth : {16, 24, 32}) {
        gx_set_buffer_depth(depth);
        EXPECT_EQ(gx_buffer_alloc(INT32_MAX - 3, INT32_MAX), -2) << depth;
        EXPECT_EQ(gx_buffer_alloc(INT32_MAX - 3, 2), -2) << depth;
        EXPECT_EQ(gx_buffer_alloc(2, INT32_MAX), -2) << depth;
    }
    EXPECT_EQ(headless_live_blocks(), blocks);
    // One row past INT32_MAX bytes: 2^27 rows of 16 bytes.
    gx_set_buffer_depth(32);
    EXPECT_EQ(gx_buffer_alloc(4, INT32_MAX / 16 + 1), -2);
    EXPECT_EQ(headless_live_blocks(), blocks);
}

TEST_F(BadDisplayInput, PositionsWrapAtThirtyTwoBits) {
    gx_initialize();
    gx_move_to(INT32_MAX, INT32_MIN);
    gx_move_by(1, -1);
    EXPECT_EQ(gx_state.pos_x, INT32_MIN);
    EXPECT_EQ(gx_state.pos_y, INT32_MAX);
    gx_move_by(INT32_MIN, INT32_MIN);
    EXPECT_EQ(gx_state.pos_x, 0);
    EXPECT_EQ(gx_state.pos_y, -1);
}

TEST_F(BadDisplayInput, BlocksAtExtremePositionsCopyNothing) {
    gx_initialize();
    open_buffer(32, 16, 8);
    gx_set_color(0x123456);
    gx_fill_buffer();
    std::vector<uint8_t> block(4 * 4 * 3, 0xCD);
    const int32_t positions[][2] = {{INT32_MAX, 3},  {INT32_MIN, 3},  {3, INT32_MAX}, {3, INT32_MIN},
                                    {INT32_MAX - 2, INT32_MAX}, {13, 3}, {3, 2}, {-1, 3}};
    for (const auto& at : positions) {
        gx_move_to(at[0], at[1]);
        EXPECT_EQ(gx_get_block(block.data(), 4, 4), 0);
        for (uint8_t b : block) ASSERT_EQ(b, 0xCD) << at[0] << "," << at[1];
    }
    // Sizes that overflow when added to the position.
    gx_move_to(8, 7);
    EXPECT_EQ(gx_get_block(block.data(), INT32_MAX, 1), 0);
    EXPECT_EQ(gx_get_block(block.data(), 1, INT32_MAX), 0);
    for (uint8_t b : block) ASSERT_EQ(b, 0xCD);
    // The last block that fits is copied.
    gx_move_to(12, 3);
    EXPECT_EQ(gx_get_block(block.data(), 4, 4), 0);
    EXPECT_EQ(block[0], 0x56);
    EXPECT_EQ(block[47], 0x12);
}

TEST_F(BadDisplayInput, NullBlocksAndEmptySizesTouchNothing) {
    gx_initialize();
    open_buffer(24, 8, 8);
    gx_move_to(0, 7);
    EXPECT_EQ(gx_get_block(nullptr, 4, 4), 0);
    EXPECT_EQ(gx_invert_block(nullptr, 4, 4), 0);
    std::vector<uint8_t> block(3 * 4 * 4, 0xCD);
    for (const auto& size : {std::pair{0, 4}, std::pair{4, 0}, std::pair{-4, 4}, std::pair{4, INT32_MIN}}) {
        EXPECT_EQ(gx_get_block(block.data(), size.first, size.second), 0);
        EXPECT_EQ(gx_invert_block(block.data(), size.first, size.second), 0);
    }
    for (uint8_t b : block) ASSERT_EQ(b, 0xCD);
}

TEST_F(BadDisplayInput, SetBufferDepthAcceptsAnythingAndAllocationRefusesIt) {
    gx_initialize();
    const int32_t blocks = headless_live_blocks();
    for (int32_t depth : {INT32_MIN, -8, 7, 9, 48, INT32_MAX}) {
        EXPECT_EQ(gx_set_buffer_depth(depth), 0);
        EXPECT_EQ(gx_buffer_alloc(8, 8), -2) << depth;
    }
    EXPECT_EQ(headless_live_blocks(), blocks);
    // A buffer made before keeps its own depth when opened afterwards.
    gx_set_buffer_depth(24);
    const int32_t slot = gx_buffer_alloc(8, 8);
    gx_set_buffer_depth(12345);
    ASSERT_EQ(gx_buffer_open(slot), 0);
    EXPECT_EQ(gx_state.active_depth, 24);
    EXPECT_EQ(gx_state.active_pitch, 24);
}

TEST_F(BadDisplayInput, UnknownStockObjectNumbersKeepTheFont) {
    gx_initialize();
    const int32_t height = gx_state.line_height;
    const int32_t width = gx_state.avg_char_width;
    ASSERT_GT(height, 0);
    for (int32_t number : {INT32_MIN, -1, 0, 9, 19, 1000, INT32_MAX}) {
        EXPECT_EQ(gx_select_stock_font(number), 0);
        EXPECT_EQ(gx_state.stock_font, nullptr) << number;
        EXPECT_EQ(gx_state.line_height, height) << number;
        EXPECT_EQ(gx_state.avg_char_width, width) << number;
    }
}

TEST_F(BadDisplayInput, ScreenDepthsBeyondThirtyTwoBitsCountAsZero) {
    headless_set_screen(65536, 65536);
    EXPECT_EQ(gx_display_depth(), 0);
    headless_set_screen(INT32_MAX, 2);
    EXPECT_EQ(gx_display_depth(), 0);
    headless_set_screen(INT32_MIN, 2);
    EXPECT_EQ(gx_display_depth(), 0);
    // Such a screen counts as a palette screen: 8-bit buffers carry indices.
    gx_initialize();
    open_buffer(8, 4, 4);
    EXPECT_EQ(gx_state.dib_usage, 1);
}

TEST_F(BadDisplayInput, FreeingEverySlotNumberKeepsTheOpenBuffer) {
    gx_initialize();
    const int32_t slot = open_buffer(16, 8, 8);
    for (int32_t s : {INT32_MIN, -1, 0, 1, 255, 256, INT32_MAX}) EXPECT_EQ(gx_buffer_free(s), 0);
    EXPECT_NE(gx_state.buffer_slots[slot].pixels, nullptr);
    gx_set_color(0x0F0F);
    EXPECT_EQ(gx_fill_buffer(), 0);
    EXPECT_EQ(pixel16(7, 7), 0x0F0F);
}

}  // namespace
