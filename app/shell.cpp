// Start-up, teardown and the message handlers every window system shares.
#include "app/shell.h"

PfDC app_dc = nullptr;
PfPalette app_palette = nullptr;
int32_t app_buffer = 0;
uint32_t* app_depth_buffer = nullptr;
int32_t texture_slots[FACE_COUNT] = {};
uint8_t texture_store[FACE_COUNT][TEXTURE_BYTES] = {};
int32_t client_width = 0;
int32_t client_height = 0;
const char* app_texture_path = "CUBE.PCX";
int32_t app_texture_result = 0;

void app_start_up(PfDC window_dc) {
    app_start_up_with(window_dc, 16, texture_store[0], TEXTURE_BYTES);
}

void app_start_up_with(PfDC window_dc, int32_t buffer_depth, uint8_t* textures,
                       int32_t face_bytes) {
    app_dc = window_dc;
    gx_set_dc(app_dc);
    app_palette = gx_create_palette();
    gx_realize_palette(app_palette);
    gx_initialize();
    gx_set_buffer_depth(buffer_depth);
    app_buffer = gx_buffer_alloc(BUFFER_WIDTH, BUFFER_HEIGHT);
    gx_buffer_open(app_buffer);
    gx_buffer_colors();
    app_depth_buffer = gx_depthbuf_alloc(BUFFER_WIDTH, BUFFER_HEIGHT);
    gx_depthbuf_open(app_depth_buffer);
    gx_3d_viewport(0, BUFFER_WIDTH - 1, 0, BUFFER_HEIGHT - 1, 0.5);
    gx_3d_clip_planes(40.0, 1000.0);
    gx_3d_render_flags(RF_PERSPECTIVE | RF_DEPTH | RF_CLIP);
    gx_texture_table_alloc(FACE_COUNT);

    // The image's top-left corner goes to the current position, (0, 0).
    app_texture_result = gx_load_pcx(app_texture_path, GX_PCX_AT_POSITION | GX_PCX_NO_REDUCE);

    // Cut six squares along the top edge, left to right. A block arrives
    // bottom row first; inverting it puts the top row first.
    gx_move_to(0, TEXTURE_SIZE - 1);
    for (int32_t i = 0; i < FACE_COUNT; ++i) {
        uint8_t* texture = textures + static_cast<ptrdiff_t>(i) * face_bytes;
        gx_get_block(texture, TEXTURE_SIZE, TEXTURE_SIZE);
        gx_invert_block(texture, TEXTURE_SIZE, TEXTURE_SIZE);
        texture_slots[i] = gx_texture_define(texture, TEXTURE_SIZE, TEXTURE_SIZE);
        gx_move_by(TEXTURE_SIZE, 0);
    }

    gx_set_color(-1);
    gx_fill_buffer();
}

void app_tear_down() {
    // The buffer must be closed before it can be freed, and the library
    // shut down after every free, before its palette is deleted.
    gx_buffer_close();
    gx_texture_undefine(-1);
    gx_depthbuf_free(app_depth_buffer);
    gx_buffer_free(app_buffer);
    gx_shutdown();
    pf_delete_object(pf_as_object(app_palette));
}

void app_size(int32_t width, int32_t height) {
    client_width = width;
    client_height = height;
}

void app_focus() { gx_realize_palette(app_palette); }

void app_paint() {
    gx_buffer_scale_blit(0, BUFFER_WIDTH - 1, 0, BUFFER_HEIGHT - 1, 0, client_width - 1, 0,
                         client_height - 1);
}
