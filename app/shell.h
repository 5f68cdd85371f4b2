// The application shell shared by every window system: the start-up and
// teardown sequences and the handlers of the size, focus and paint messages.
// The entry file of each window system gets the window's device context,
// brackets the paint handler, invalidates after focus, releases the context
// after teardown and ends the message loop.
#pragma once

#include <cstdint>

#include "gfx/gfx.h"

inline constexpr int32_t BUFFER_WIDTH = 640;
inline constexpr int32_t BUFFER_HEIGHT = 480;
inline constexpr int32_t TEXTURE_SIZE = 64;
inline constexpr int32_t FACE_COUNT = 6;
// A 64 x 64 texture at 2 bytes a texel (the program's 16-bit buffer).
inline constexpr int32_t TEXTURE_BYTES = TEXTURE_SIZE * TEXTURE_SIZE * 2;

// Application globals, all zero at program start.
extern PfDC app_dc;
extern PfPalette app_palette;
extern int32_t app_buffer;
extern uint32_t* app_depth_buffer;
extern int32_t texture_slots[FACE_COUNT];
extern uint8_t texture_store[FACE_COUNT][TEXTURE_BYTES];
extern int32_t client_width;
extern int32_t client_height;
// The texture image the start-up reads ("CUBE.PCX" unless the entry names
// another) and the reader's result for it.
extern const char* app_texture_path;
extern int32_t app_texture_result;

// The start-up sequence of the create message, on the window's device
// context: a 16-bit buffer and textures cut into texture_store.
void app_start_up(PfDC window_dc);

// The same sequence with another buffer depth and the caller's texture
// storage: face i is cut to textures + i * face_bytes, and face_bytes must
// hold 64 x 64 texels of the depth (3 bytes a texel at 24 and 32 bits).
void app_start_up_with(PfDC window_dc, int32_t buffer_depth, uint8_t* textures, int32_t face_bytes);

// The teardown sequence of the destroy message up to the palette's
// deletion; the caller then releases app_dc and ends the loop with code 0.
void app_tear_down();

// Size message: records the client area.
void app_size(int32_t width, int32_t height);

// Focus message: realizes the palette again; the caller then invalidates
// the whole client area.
void app_focus();

// Paint message: stretches the whole buffer over the whole client area.
// The caller brackets it with the window system's paint calls.
void app_paint();
