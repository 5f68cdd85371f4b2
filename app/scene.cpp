// The cube scene and the keyboard controls.
#include "app/scene.h"

#include "app/shell.h"

const Vertex3 cube_faces[6][4] = {
    {{20, -20, -20}, {-20, -20, -20}, {-20, 20, -20}, {20, 20, -20}},
    {{-20, -20, -20}, {-20, -20, 20}, {-20, 20, 20}, {-20, 20, -20}},
    {{20, 20, 20}, {-20, 20, 20}, {-20, -20, 20}, {20, -20, 20}},
    {{20, -20, 20}, {20, -20, -20}, {20, 20, -20}, {20, 20, 20}},
    {{20, -20, 20}, {-20, -20, 20}, {-20, -20, -20}, {20, -20, -20}},
    {{20, 20, -20}, {-20, 20, -20}, {-20, 20, 20}, {20, 20, 20}},
};

const TexCoord face_texcoords[4] = {{63, 63}, {0, 63}, {0, 0}, {63, 0}};

double cube_x = 0.0;
double cube_y = 0.0;
double cube_z = 100.0;
int32_t angle_x = 0;
int32_t angle_y = 0;
int32_t angle_z = 0;
int32_t redraw = 1;

void scene_reset() {
    cube_x = 0.0;
    cube_y = 0.0;
    cube_z = 100.0;
    angle_x = 0;
    angle_y = 0;
    angle_z = 0;
    redraw = 1;
}

namespace {

constexpr double MOVE_STEP = 3.0;
constexpr int32_t TURN_STEP = 6;

// Turns an angle by one step and wraps it back into 0..359.
void turn(int32_t& angle, bool shift) {
    if (shift) {
        angle += TURN_STEP;
        if (angle >= 360) angle -= 360;
    } else {
        angle -= TURN_STEP;
        if (angle < 0) angle += 360;
    }
}

// Tests the keys in priority order and applies the first one found down.
// Returns whether a key acted.
bool apply_one_key(bool shift) {
    if (gx_key_test(KEY_PAD_MINUS)) {
        cube_z += MOVE_STEP;
    } else if (gx_key_test(KEY_PAD_PLUS)) {
        cube_z -= MOVE_STEP;
    } else if (gx_key_test(KEY_LEFT)) {
        cube_x -= MOVE_STEP;
    } else if (gx_key_test(KEY_RIGHT)) {
        cube_x += MOVE_STEP;
    } else if (gx_key_test(KEY_UP)) {
        cube_y += MOVE_STEP;
    } else if (gx_key_test(KEY_DOWN)) {
        cube_y -= MOVE_STEP;
    } else if (gx_key_test(KEY_X)) {
        turn(angle_x, shift);
    } else if (gx_key_test(KEY_Y)) {
        turn(angle_y, shift);
    } else if (gx_key_test(KEY_Z)) {
        turn(angle_z, shift);
    } else {
        return false;
    }
    return true;
}

}  // namespace

void frame_step() {
    // Both Shift keys are tested on every turn, before any other key.
    const bool left_shift = gx_key_test(KEY_LEFT_SHIFT) != 0;
    const bool right_shift = gx_key_test(KEY_RIGHT_SHIFT) != 0;
    if (apply_one_key(left_shift || right_shift)) redraw = 1;
    if (redraw == 0) return;

    gx_depthbuf_clear();
    gx_set_color(-1);
    gx_fill_buffer();
    gx_3d_set_object(cube_x, cube_y, cube_z, angle_x * 10, angle_y * 10, angle_z * 10);
    draw_cube();
    gx_buffer_scale_blit(0, BUFFER_WIDTH - 1, 0, BUFFER_HEIGHT - 1, 0, client_width - 1, 0,
                         client_height - 1);
    redraw = 0;
}

void draw_cube() {
    for (int32_t i = 0; i < 6; ++i) {
        gx_texture_select(texture_slots[i]);
        gx_3d_texture_polygon(cube_faces[i], face_texcoords, 4);
    }
}
