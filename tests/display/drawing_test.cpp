// Current colour, position and the whole-buffer fill at every depth.
#include "fixture.h"

namespace {

class Drawing : public Library {
protected:
    void SetUp() override {
        Library::SetUp();
        gx_initialize();
    }
};

TEST_F(Drawing, ColourBeforeAnyBufferTakesTheIndexPath) {
    gx_set_color(7);
    EXPECT_EQ(gx_state.current_color, 0x07070707u);
    EXPECT_EQ(gx_state.color_index, 7);
    EXPECT_EQ(gx_state.mapped_color_index, 7);
    gx_set_color(0x1FF);
    EXPECT_EQ(gx_state.current_color, 0xFFFFFFFFu);
    EXPECT_EQ(gx_state.color_index, 0xFF);
}

TEST_F(Drawing, ColourGoesThroughTheIndexMap) {
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

TEST_F(Drawing, FillSixteenBits) {
    open_buffer(16, 641, 10);
    gx_set_color(-1);
    gx_fill_buffer();
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 644; ++x) ASSERT_EQ(pixel16(x, y), 0xFFFF) << x << "," << y;
    gx_set_color(0x1234);
    gx_fill_buffer();
    EXPECT_EQ(pixel16(0, 0), 0x1234);
    EXPECT_EQ(pixel16(643, 9), 0x1234);
    EXPECT_EQ(pixel16(321, 4), 0x1234);
}

TEST_F(Drawing, FillTwentyFourBits) {
    open_buffer(24, 5, 3);
    gx_set_color(0x00112233);
    gx_fill_buffer();
    const uint8_t* p = gx_state.active_pixels;
    ASSERT_EQ(gx_state.active_size, 72);
    for (int32_t i = 0; i < 72; i += 3) {
        EXPECT_EQ(p[i], 0x33) << i;
        EXPECT_EQ(p[i + 1], 0x22) << i;
        EXPECT_EQ(p[i + 2], 0x11) << i;
    }
}

TEST_F(Drawing, FillThirtyTwoAndEightBits) {
    open_buffer(32, 3, 2);
    gx_set_color(0x00ABCDEF);
    gx_fill_buffer();
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(pixel32(x, y), 0x00ABCDEFu);
    open_buffer(8, 6, 2);
    gx_set_color(0x1FE);
    gx_fill_buffer();
    for (int32_t i = 0; i < gx_state.active_size; ++i) EXPECT_EQ(gx_state.active_pixels[i], 0xFE);
}

TEST_F(Drawing, FillWithNoBufferOpenWritesNothing) {
    const int32_t slot = open_buffer(16, 8, 8);
    gx_buffer_close();
    gx_set_color(0x7777);
    EXPECT_EQ(gx_fill_buffer(), 0);
    const uint8_t* p = gx_state.buffer_slots[slot].pixels;
    for (int i = 0; i < 128; ++i) EXPECT_EQ(p[i], 0);
}

TEST_F(Drawing, Position) {
    EXPECT_EQ(gx_state.pos_x, 0);
    gx_move_to(0, 63);
    for (int i = 0; i < 6; ++i) gx_move_by(64, 0);
    EXPECT_EQ(gx_state.pos_x, 384);
    EXPECT_EQ(gx_state.pos_y, 63);
    gx_move_by(-400, -70);
    EXPECT_EQ(gx_state.pos_x, -16);
    EXPECT_EQ(gx_state.pos_y, -7);
}

}  // namespace
