// The cube scene: the model, its position and turn, and the frame step that
// reads the keyboard and redraws the picture when something changed.
#pragma once

#include <cstdint>

#include "gfx/gfx.h"

// Six faces of four corners each, in drawing order; the cube is 40 units on
// a side and centred on its own origin.
extern const Vertex3 cube_faces[6][4];
// The texture corners every face shares: corner k takes entry k.
extern const TexCoord face_texcoords[4];

// Scene state. Angles are whole degrees, 0 to 359.
extern double cube_x;
extern double cube_y;
extern double cube_z;
extern int32_t angle_x;
extern int32_t angle_y;
extern int32_t angle_z;
// Set while the scene must be drawn again; starts set so the first turn draws.
extern int32_t redraw;

// Keyboard scan codes (PC set 1) of the keys the frame step reads.
inline constexpr int32_t KEY_LEFT_SHIFT = 42;
inline constexpr int32_t KEY_RIGHT_SHIFT = 54;
inline constexpr int32_t KEY_PAD_MINUS = 74;
inline constexpr int32_t KEY_PAD_PLUS = 78;
inline constexpr int32_t KEY_LEFT = 75;
inline constexpr int32_t KEY_RIGHT = 77;
inline constexpr int32_t KEY_UP = 72;
inline constexpr int32_t KEY_DOWN = 80;
inline constexpr int32_t KEY_X = 45;
inline constexpr int32_t KEY_Y = 21;
inline constexpr int32_t KEY_Z = 44;

// Puts the scene state back to its values at program start.
void scene_reset();

// One idle turn: polls the keys, applies at most one change and, if anything
// changed (or the first frame is due), draws the scene and presents it.
void frame_step();

// Draws the six faces, each with its own texture.
void draw_cube();
