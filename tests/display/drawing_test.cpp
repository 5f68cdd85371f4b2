// Current colour and position, and the fill with no buffer open (the fill
// itself at every depth: fill_blocks_test.cpp).
#include "fixture.h"

namespace {

using Drawing = Started;

// Before any buffer: the low byte, through the index map, repeated.
TEST_F(Drawing, ColourBeforeAnyBufferTakesTheIndexPath) {
    gx_set_color(7);
    EXPECT_EQ(gx_state.current_color, 0x07070707u);
    EXPECT_EQ(gx_state.color_index, 7);
    EXPECT_EQ(gx_state.mapped_color_index, 7);
    gx_set_color(0x1FF);
    EXPECT_EQ(gx_state.current_color, 0xFFFFFFFFu);
    EXPECT_EQ(gx_state.color_index, 0xFF);
    gx_state.index_map[7] = 200;
    gx_set_color(7);
    EXPECT_EQ(gx_state.color_index, 7);
    EXPECT_EQ(gx_state.mapped_color_index, 200);
    EXPECT_EQ(gx_state.current_color, 0xC8C8C8C8u);
}

TEST_F(Drawing, ColourAtSixteenAndDeeper) {
    open_buffer(16, 8, 8);
    gx_set_color(-1);
    EXPECT_EQ(gx_state.current_color, 0xFFFFFFFFu);
    gx_set_color(0x5A1234);
    EXPECT_EQ(gx_state.current_color, 0x12341234u);
    open_buffer(32, 8, 8);
    gx_set_color(0x00123456);
    EXPECT_EQ(gx_state.current_color, 0x00123456u);
}

TEST_F(Drawing, FillWithNoBufferOpenWritesNothing) {
    const int32_t slot = open_buffer(16, 8, 8);
    gx_buffer_close();
    gx_set_color(0x7777);
    EXPECT_EQ(gx_fill_buffer(), 0);
    const uint8_t* p = gx_state.buffer_slots[slot].pixels;
    for (int i = 0; i < 128; ++i) EXPECT_EQ(p[i], 0);
}

TEST_F(Drawing, PositionsWrapAtThirtyTwoBits) {
    EXPECT_EQ(gx_state.pos_x, 0);
    gx_move_to(0, 63);
    for (int i = 0; i < 6; ++i) gx_move_by(64, 0);
    EXPECT_EQ(gx_state.pos_x, 384);
    EXPECT_EQ(gx_state.pos_y, 63);
    gx_move_by(-400, -70);
    EXPECT_EQ(gx_state.pos_x, -16);
    EXPECT_EQ(gx_state.pos_y, -7);
    // Overflowing moves wrap, with no undefined behaviour.
    gx_move_to(INT32_MAX, INT32_MIN);
    gx_move_by(1, -1);
    EXPECT_EQ(gx_state.pos_x, INT32_MIN);
    EXPECT_EQ(gx_state.pos_y, INT32_MAX);
    gx_move_by(INT32_MIN, INT32_MIN);
    EXPECT_EQ(gx_state.pos_x, 0);
    EXPECT_EQ(gx_state.pos_y, -1);
}

}  // namespace
