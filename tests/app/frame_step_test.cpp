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
    EXPECT_EQ(pixel(241, 240), pcx_border);
    EXPECT_EQ(pixel(262, 240), pcx_face_colour[0]);
    EXPECT_EQ(pixel(320, 165), pcx_border);
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

TEST_F(FrameStep, NothingChangedDrawsNothing) {
    frame_step();
    const int32_t before = presents();
    set_pixel(5, 5, 0x1234);  // a fill would overwrite it
    frame_step();
    EXPECT_EQ(pixel(5, 5), 0x1234);
    EXPECT_EQ(presents(), before);
    EXPECT_EQ(redraw, 0);
}

TEST_F(FrameStep, ShiftAloneChangesNothingAndDrawsNothing) {
    frame_step();
    const int32_t before = presents();
    set_pixel(5, 5, 0x1234);
    hold({KEY_LEFT_SHIFT});
    frame_step();
    hold({KEY_RIGHT_SHIFT});
    frame_step();
    EXPECT_EQ(pixel(5, 5), 0x1234);
    EXPECT_EQ(presents(), before);
    EXPECT_EQ(angle_x, 0);
    EXPECT_EQ(angle_y, 0);
    EXPECT_EQ(angle_z, 0);
}

TEST_F(FrameStep, AKeyRedrawsTheWholeFrame) {
    frame_step();
    const int32_t before = presents();
    set_pixel(5, 5, 0x1234);
    hold({KEY_Z});
    frame_step();
    EXPECT_EQ(angle_z, 354);
    EXPECT_EQ(pixel(5, 5), 0xFFFF);
    EXPECT_EQ(presents(), before + 1);
    EXPECT_EQ(redraw, 0);
}

// All nine keys held, then released one by one from the top of the list:
// on every turn exactly the highest key still held acts.
TEST_F(FrameStep, OneKeyPerTurnInPriorityOrder) {
    struct State {
        double x, y, z;
        int32_t ax, ay, az;
    };
    const std::vector<int32_t> keys = {KEY_PAD_MINUS, KEY_PAD_PLUS, KEY_LEFT, KEY_RIGHT, KEY_UP,
                                       KEY_DOWN,      KEY_X,        KEY_Y,    KEY_Z};
    const State expected[] = {
        {0, 0, 103, 0, 0, 0},   {0, 0, 100, 0, 0, 0},    {-3, 0, 100, 0, 0, 0},
        {0, 0, 100, 0, 0, 0},   {0, 3, 100, 0, 0, 0},    {0, 0, 100, 0, 0, 0},
        {0, 0, 100, 354, 0, 0}, {0, 0, 100, 354, 354, 0}, {0, 0, 100, 354, 354, 354},
    };
    for (size_t first = 0; first < keys.size(); ++first) {
        for (size_t k = 0; k < keys.size(); ++k) {
            headless_set_scan_key(static_cast<uint32_t>(keys[k]), k >= first);
        }
        frame_step();
        const State& e = expected[first];
        EXPECT_EQ(cube_x, e.x) << "turn " << first;
        EXPECT_EQ(cube_y, e.y) << "turn " << first;
        EXPECT_EQ(cube_z, e.z) << "turn " << first;
        EXPECT_EQ(angle_x, e.ax) << "turn " << first;
        EXPECT_EQ(angle_y, e.ay) << "turn " << first;
        EXPECT_EQ(angle_z, e.az) << "turn " << first;
    }
}

TEST_F(FrameStep, KeypadMinusWinsOverKeypadPlus) {
    hold({KEY_PAD_MINUS, KEY_PAD_PLUS});
    for (int i = 0; i < 3; ++i) frame_step();
    EXPECT_EQ(cube_z, 109.0);
}

TEST_F(FrameStep, MovementKeyHidesTheTurnKey) {
    hold({KEY_RIGHT, KEY_Y});
    frame_step();
    frame_step();
    EXPECT_EQ(cube_x, 6.0);
    EXPECT_EQ(angle_y, 0);
}

TEST_F(FrameStep, EachMovementKeyMovesByThree) {
    hold({KEY_PAD_PLUS});
    frame_step();
    EXPECT_EQ(cube_z, 97.0);
    hold({KEY_LEFT});
    frame_step();
    EXPECT_EQ(cube_x, -3.0);
    hold({KEY_DOWN});
    frame_step();
    frame_step();
    EXPECT_EQ(cube_y, -6.0);
    hold({KEY_UP});
    frame_step();
    EXPECT_EQ(cube_y, -3.0);
}

TEST_F(FrameStep, TurnsWrapIntoZeroTo359) {
    hold({KEY_X});
    frame_step();
    EXPECT_EQ(angle_x, 354);  // 0 - 6 + 360
    hold({KEY_LEFT_SHIFT, KEY_X});
    frame_step();
    EXPECT_EQ(angle_x, 0);  // 354 + 6 - 360
    frame_step();
    EXPECT_EQ(angle_x, 6);
    hold({KEY_X});
    frame_step();
    EXPECT_EQ(angle_x, 0);  // 6 - 6 stays 0
}

TEST_F(FrameStep, EitherShiftTurnsTheOtherWay) {
    hold({KEY_RIGHT_SHIFT, KEY_Y});
    frame_step();
    EXPECT_EQ(angle_y, 6);
    hold({KEY_LEFT_SHIFT, KEY_Z});
    frame_step();
    EXPECT_EQ(angle_z, 6);
    hold({KEY_RIGHT_SHIFT, KEY_LEFT_SHIFT, KEY_X});
    frame_step();
    EXPECT_EQ(angle_x, 6);
    // Shift does not change the direction of movement keys.
    hold({KEY_LEFT_SHIFT, KEY_RIGHT});
    frame_step();
    EXPECT_EQ(cube_x, 3.0);
}

TEST_F(FrameStep, SixtyTurnsMakeAFullRevolution) {
    frame_step();
    std::vector<uint16_t> first(640 * 480);
    for (int32_t y = 0; y < 480; ++y)
        for (int32_t x = 0; x < 640; ++x) first[static_cast<size_t>(y * 640 + x)] = pixel(x, y);
    hold({KEY_Y});
    for (int i = 0; i < 60; ++i) frame_step();
    EXPECT_EQ(angle_y, 0);
    int32_t differing = 0;
    for (int32_t y = 0; y < 480; ++y)
        for (int32_t x = 0; x < 640; ++x)
            differing += first[static_cast<size_t>(y * 640 + x)] != pixel(x, y);
    EXPECT_EQ(differing, 0);
}
