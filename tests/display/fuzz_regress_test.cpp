// Bad input to the buffer operations: inputs found by the buffer fuzz
// target, and kinds of bad input listed in docs/robustness.md that have no
// other home among these tests.
#include "fixture.h"

namespace {

using BadDisplayInput = Started;

// buffer_fuzzer found the first size: with both sides near 2^31 the byte
// count of a 24 or 32-bit buffer (pitch * height) overflowed 64 bits in the
// size check itself, which is undefined behaviour. Such buffers, and every
// other size whose padded width or byte count leaves 32 bits, are refused.
TEST_F(BadDisplayInput, BufferWhoseByteCountOverflowsSixtyFourBitsIsRefused) {
    const int32_t blocks = headless_live_blocks();
    const int32_t refused[][3] = {
        // depth, width, height
        {24, 2105363273, 1768491785},  // the fuzzer's input
        {16, INT32_MAX - 3, INT32_MAX},
        {24, INT32_MAX - 3, INT32_MAX},
        {32, INT32_MAX - 3, INT32_MAX},
        {16, INT32_MAX - 3, 2},
        {24, INT32_MAX - 3, 2},
        {32, INT32_MAX - 3, 2},
        {16, 2, INT32_MAX},
        {24, 2, INT32_MAX},
        {32, 2, INT32_MAX},
        {32, INT32_MAX, 1},  // the padding overflows
        {32, 65536, 8192},   // 2^31 bytes
        {32, 1, INT32_MAX},
        {24, INT32_MAX - 3, 1},
        {32, 4, INT32_MAX / 16 + 1},  // one row past INT32_MAX bytes
    };
    for (const auto& r : refused) {
        gx_set_buffer_depth(r[0]);
        EXPECT_EQ(gx_buffer_alloc(r[1], r[2]), -2) << r[0] << " bits, " << r[1] << " x " << r[2];
        EXPECT_EQ(headless_live_blocks(), blocks);
    }
}

TEST_F(BadDisplayInput, UnknownStockObjectNumbersKeepTheFont) {
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

// The open slot, slots out of range and the all-slots forms: 0, and the open
// buffer stays open and usable.
TEST_F(BadDisplayInput, FreeingEverySlotNumberKeepsTheOpenBuffer) {
    const int32_t slot = open_buffer(16, 8, 8);
    for (int32_t s : {INT32_MIN, -1, 0, 1, 255, 256, 100000, INT32_MAX})
        EXPECT_EQ(gx_buffer_free(s), 0);
    EXPECT_NE(gx_state.buffer_slots[slot].pixels, nullptr);
    EXPECT_EQ(gx_state.active_buffer, slot);
    gx_set_color(0x0F0F);
    EXPECT_EQ(gx_fill_buffer(), 0);
    EXPECT_EQ(at(7, 7, 2)[0], 0x0F);
}

}  // namespace
