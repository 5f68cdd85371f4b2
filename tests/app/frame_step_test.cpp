// The frame step: key priorities, Shift, angle wrapping, one key per turn,
// and drawing only when something changed.
#include <vector>

#include "app_fixture.h"

using FrameStep = AppTest;

TEST_F(FrameStep, FirstTurnDrawsTheCubeWithoutAnyKey) {
    EXPECT_EQ(redraw, 1);
    const int32_t before = presents();
    frame_step();
    EXPECT_EQ(redraw, 0);
    EXPECT_EQ(presents(), before + 1);
    // Face 0 spans (240, 160) to (400, 320): the corner (-20, 20, -20) at
    // depth 80 projects to 320 - 80 = 240 and 240 - 80 = 160.
    EXPECT_EQ(pixel(0, 0), 0xFFFF);
    EXPECT_EQ(pixel(239, 240), 0xFFFF);
    EXPECT_EQ(pixel(241, 240), PCX_BORDER);
    EXPECT_EQ(pixel(262, 240), PCX_FACE_COLOUR[0]);
    EXPECT_EQ(pixel(320, 165), PCX_BORDER);
    EXPECT_EQ(pixel(401, 240), 0xFFFF);
    // The presented client image is the buffer, 5-6-5 widened by bit
    // replication: red (26, 8, 4) shows as (214, 32, 33).
    int32_t width = 0, height = 0;
    const uint32_t* image = headless_client_image(window_, &width, &height);
    ASSERT_EQ(width, 640);
    ASSERT_EQ(height, 480);
    EXPECT_EQ(image[240 * 640 + 262], 0x00D62021u);
    EXPECT_EQ(image[0], 0x00FFFFFFu);
}

// A frame is drawn and presented only when a key changed something: with no
// key or Shift alone a pixel the fill would overwrite survives.
TEST_F(FrameStep, DrawsOnlyWhenSomethingChanged) {
    frame_step();
    const int32_t before = presents();
    pixel(5, 5) = 0x1234;
    for (const std::vector<int32_t>& keys :
         {std::vector<int32_t>{}, {KEY_LEFT_SHIFT}, {KEY_RIGHT_SHIFT}}) {
        hold(keys);
        frame_step();
        EXPECT_EQ(pixel(5, 5), 0x1234);
        EXPECT_EQ(presents(), before);
        EXPECT_EQ(redraw, 0);
    }
    EXPECT_EQ(angle_x, 0);
    EXPECT_EQ(angle_y, 0);
    EXPECT_EQ(angle_z, 0);
    hold({KEY_Z});
    frame_step();
    EXPECT_EQ(angle_z, 354);
    EXPECT_EQ(pixel(5, 5), 0xFFFF);
    EXPECT_EQ(presents(), before + 1);
    EXPECT_EQ(redraw, 0);
}

// Sequences of held keys, each from the start position, one turn per row.
// First all nine keys held, then released one by one from the top of the
// list: on every turn exactly the highest key still held acts.
TEST_F(FrameStep, KeySequences) {
    struct Turn {
        bool from_start;
        std::vector<int32_t> keys;
        double x, y, z;
        int32_t ax, ay, az;
    };
    const int32_t minus = KEY_PAD_MINUS, plus = KEY_PAD_PLUS, shift = KEY_LEFT_SHIFT;
    const std::vector<int32_t> keys = {minus,    plus,  KEY_LEFT, KEY_RIGHT, KEY_UP,
                                       KEY_DOWN, KEY_X, KEY_Y,    KEY_Z};
    const auto from = [&](ptrdiff_t i) {
        return std::vector<int32_t>(keys.begin() + i, keys.end());
    };
    const Turn turns[] = {
        {true, from(0), 0, 0, 103, 0, 0, 0},
        {false, from(1), 0, 0, 100, 0, 0, 0},
        {false, from(2), -3, 0, 100, 0, 0, 0},
        {false, from(3), 0, 0, 100, 0, 0, 0},
        {false, from(4), 0, 3, 100, 0, 0, 0},
        {false, from(5), 0, 0, 100, 0, 0, 0},
        {false, from(6), 0, 0, 100, 354, 0, 0},
        {false, from(7), 0, 0, 100, 354, 354, 0},
        {false, from(8), 0, 0, 100, 354, 354, 354},
        {true, {minus, plus}, 0, 0, 103, 0, 0, 0},  // keypad minus wins over plus
        {false, {minus, plus}, 0, 0, 106, 0, 0, 0},
        {false, {minus, plus}, 0, 0, 109, 0, 0, 0},
        {true, {KEY_RIGHT, KEY_Y}, 3, 0, 100, 0, 0, 0},  // a movement key hides the turn key
        {false, {KEY_RIGHT, KEY_Y}, 6, 0, 100, 0, 0, 0},
        {true, {plus}, 0, 0, 97, 0, 0, 0},
        {false, {KEY_LEFT}, -3, 0, 97, 0, 0, 0},
        {false, {KEY_DOWN}, -3, -3, 97, 0, 0, 0},
        {false, {KEY_DOWN}, -3, -6, 97, 0, 0, 0},
        {false, {KEY_UP}, -3, -3, 97, 0, 0, 0},
        {true, {KEY_X}, 0, 0, 100, 354, 0, 0},        // 0 - 6 + 360
        {false, {shift, KEY_X}, 0, 0, 100, 0, 0, 0},  // 354 + 6 - 360
        {false, {shift, KEY_X}, 0, 0, 100, 6, 0, 0},
        {false, {KEY_X}, 0, 0, 100, 0, 0, 0},                  // 6 - 6 stays 0
        {true, {KEY_RIGHT_SHIFT, KEY_Y}, 0, 0, 100, 0, 6, 0},  // either Shift turns the other way
        {false, {shift, KEY_Z}, 0, 0, 100, 0, 6, 6},
        {false, {KEY_RIGHT_SHIFT, shift, KEY_X}, 0, 0, 100, 6, 6, 6},
        {false, {shift, KEY_RIGHT}, 3, 0, 100, 6, 6, 6},  // and does not change movements
    };
    int row = 0;
    for (const Turn& e : turns) {
        SCOPED_TRACE(testing::Message() << "row " << row++);
        if (e.from_start) scene_reset();
        hold(e.keys);
        frame_step();
        EXPECT_EQ(cube_x, e.x);
        EXPECT_EQ(cube_y, e.y);
        EXPECT_EQ(cube_z, e.z);
        EXPECT_EQ(angle_x, e.ax);
        EXPECT_EQ(angle_y, e.ay);
        EXPECT_EQ(angle_z, e.az);
    }
}

TEST_F(FrameStep, SixtyTurnsMakeAFullRevolution) {
    frame_step();
    const std::vector<uint16_t> first = frame();
    hold({KEY_Y});
    for (int i = 0; i < 60; ++i) frame_step();
    EXPECT_EQ(angle_y, 0);
    EXPECT_TRUE(frame() == first);
}
