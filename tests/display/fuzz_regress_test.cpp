// Bad input to the buffer operations: fuzzer findings and the bad input of
// docs/robustness.md.
#include <array>

#include "fixture.h"

namespace {

using BadDisplayInput = Started;

// Refused with -2, nothing allocated, the slot left free: depths other than
// 8, 16, 24, 32 (stored all the same), sizes below 1, sizes whose padded
// width or byte count leaves 32 bits, memory or bitmap not to be had. buffer_fuzzer found the
// first: with both sides near 2^31 the byte count of a 24-bit buffer overflowed 64 bits in the size
// check itself, which is undefined behaviour.
TEST_F(BadDisplayInput, RefusedBufferDepthsAndSizes) {
    // The fuzzer's size; padding overflow; one 16-byte row past 2^31 - 1.
    constexpr int32_t MAX = INT32_MAX, MIN = INT32_MIN, M3 = MAX - 3, ROWS = MAX / 16 + 1;
    constexpr int32_t FW = 2105363273, FH = 1768491785;
    const int32_t blocks = headless_live_blocks();
    // depth, width, height
    const int32_t refused[][3] = {
        {24, FW, FH}, {16, M3, MAX}, {24, M3, MAX}, {32, M3, MAX}, {16, M3, 2},   {24, M3, 2},
        {32, M3, 2},  {16, 2, MAX},  {24, 2, MAX},  {32, 2, MAX},  {32, MAX, 1},  {32, 65536, 8192},
        {32, 1, MAX}, {24, M3, 1},   {32, 4, ROWS}, {0, 16, 16},   {1, 16, 16},   {4, 16, 16},
        {15, 16, 16}, {31, 16, 16},  {33, 16, 16},  {64, 16, 16},  {-16, 16, 16}, {MIN, 16, 16},
        {-8, 16, 16}, {7, 16, 16},   {9, 16, 16},   {48, 16, 16},  {MAX, 16, 16}, {16, 0, 16},
        {16, 16, 0},  {16, -4, 16},  {16, 16, -1},  {16, MIN, MIN}};
    for (const auto& [depth, width, height] : refused) {
        EXPECT_EQ(gx_set_buffer_depth(depth), 0);
        EXPECT_EQ(gx_buffer_alloc(width, height), -2)
            << depth << " bits, " << width << "x" << height;
    }
    gx_set_buffer_depth(16);
    for (int32_t skip : {0, 1}) {  // the header block fails; then the bitmap
        headless_fail_allocations(skip, 1);
        EXPECT_EQ(gx_buffer_alloc(64, 64), -2) << skip;
    }
    EXPECT_EQ(headless_live_blocks(), blocks);
    // A buffer keeps its own depth whatever is chosen after it.
    gx_set_buffer_depth(24);
    EXPECT_EQ(gx_buffer_alloc(8, 8), 0);
    gx_set_buffer_depth(12345);
    ASSERT_EQ(gx_buffer_open(0), 0);
    EXPECT_EQ((std::array{gx_state.active_depth, gx_state.active_pitch}), (std::array{24, 24}));
}

TEST_F(BadDisplayInput, UnknownStockObjectNumbersKeepTheFont) {
    for (int32_t number : {INT32_MIN, -1, 0, 9, 19, 1000, INT32_MAX}) {
        EXPECT_EQ(gx_select_stock_font(number), 0);
        EXPECT_EQ(gx_state.stock_font, nullptr) << number;
        EXPECT_EQ((std::array{gx_state.line_height, gx_state.avg_char_width}),
                  (std::array{12, 8}));  // the headless OEM font from start-up
    }
}

// The open slot, bad slots, all-slots forms: the open buffer stays usable.
TEST_F(BadDisplayInput, FreeingEverySlotNumberKeepsTheOpenBuffer) {
    const int32_t slot = open_buffer(16, 8, 8);
    for (int32_t s : {INT32_MIN, -1, 0, 1, 255, 256, 100000, INT32_MAX})
        EXPECT_EQ(gx_buffer_free(s), 0);
    EXPECT_TRUE(gx_state.buffer_slots[slot].pixels != nullptr && gx_state.active_buffer == slot);
    gx_set_color(0x0F0F);
    EXPECT_EQ(gx_fill_buffer(), 0);
    EXPECT_EQ(at(7, 7, 2)[0], 0x0F);
}

}  // namespace
