// The graphics library's public face: the shared types, the constants, the
// one global state record and every gx_ operation.
//
// The library is a flat set of operations over `gx_state`. No operation takes
// a context; each reads the fields it needs at the moment of the call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// ---- Shared types ---------------------------------------------------------

struct Vertex3 {
    double x;
    double y;
    double z;
};

struct TexCoord {
    int32_t u;
    int32_t v;
};

struct ScreenPoint {
    int32_t x;
    int32_t y;
};

// Largest screen coordinate magnitude the pipeline hands over; beyond it a
// polygon is dropped, so that 32-bit edge and span arithmetic cannot overflow.
inline constexpr int32_t GX_COORD_LIMIT = 1 << 24;

struct TextureSlot {
    uint8_t* pixels;  // null marks a free slot; the memory belongs to the caller
    int32_t width;
    int32_t height;
};

// Render flags.
inline constexpr uint32_t RF_PERSPECTIVE = 1;
inline constexpr uint32_t RF_DEPTH = 4;
inline constexpr uint32_t RF_CLIP = 8;

// PCX reader flags.
inline constexpr int32_t GX_PCX_KEEP_PALETTE = 1;
inline constexpr int32_t GX_PCX_AT_POSITION = 2;
inline constexpr int32_t GX_PCX_FROM_MEMORY = 4;
inline constexpr int32_t GX_PCX_NO_REDUCE = 8;

// PCX reader results.
inline constexpr int32_t GX_PCX_OK = 0;
inline constexpr int32_t GX_PCX_CANNOT_OPEN = 1;
inline constexpr int32_t GX_PCX_NOT_PCX = 2;
inline constexpr int32_t GX_PCX_NO_CONVERTER = 3;
inline constexpr int32_t GX_PCX_NO_MEMORY = 4;

inline constexpr int32_t GX_BUFFER_SLOTS = 256;
inline constexpr int32_t GX_INPUT_BUFFER_SIZE = 4096;
inline constexpr int32_t GX_SCRATCH_SIZE = 10240;
inline constexpr int32_t GX_AVI_ENTRY_COUNT = 17;

// ---- Records kept inside the state ----------------------------------------

struct RgbQuad {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved;
};

// The platform's logical palette record.
struct LogicalPalette {
    uint16_t version;
    uint16_t count;
    PfPaletteEntry entries[256];
};

// One virtual buffer slot. `pixels` is non-null exactly while it is in use.
struct BufferSlot {
    PfMem header_handle;
    PfBitmap bitmap;
    int32_t max_x;
    int32_t max_y;
    int32_t min_x;
    int32_t min_y;
    uint8_t* header;
    uint8_t* pixels;
    int32_t depth;
    int32_t height;
    int32_t width;
    int32_t pitch;
    int32_t usage;  // colour usage the bitmap was created with (8-bit buffers)
};

struct AviEntry {
    void* address;
    char name[24];
};

// The edge walkers of the rasterizers (gfx/raster/edge_walk.h). Private to
// the rasterizers, but here because the state record below holds them.
struct PerspectiveEdge {
    int32_t direction;
    int32_t rows_left;
    int32_t end_vertex;
    int32_t x;
    double u_z, v_z, w;
    double end_w;
    double u_z_step, v_z_step, w_step;
    int32_t x_step;
    int32_t x_carry;
    int32_t x_error;
    int32_t x_error_add;
    int32_t x_error_sub;
};

struct AffineDepthEdge {
    int32_t direction;
    int32_t rows_left;
    int32_t end_vertex;
    int32_t u, v;
    int32_t x;
    uint32_t d;
    int32_t u_step, v_step;
    int32_t d_step;
    int32_t x_step;
    int32_t x_carry;
    int32_t x_error;
    int32_t x_error_add;
    int32_t x_error_sub;
};

struct AffineEdge {
    int32_t direction;
    int32_t rows_left;
    int32_t end_vertex;
    int32_t u, v;
    int32_t x;
    int32_t u_step, v_step;
    int32_t x_step;
    int32_t x_carry;
    int32_t x_error;
    int32_t x_error_add;
    int32_t x_error_sub;
};

// ---- The state record -----------------------------------------------------

// Fields are grouped by the part of the library that keeps them, and the
// groups stand in a fixed order; the numbers make that order visible, so
// that a new field joins its group rather than the end of the record.
struct GraphicsState {
    // 0. Image header, key state, banner.
    uint8_t pcx_header[128] = {};
    uint8_t key_state[256] = {};
    char banner[28] = "Quillark V6.00 for Windows";

    // 1. Device and colour.
    PfDC device_dc = nullptr;
    PfPalette current_palette = nullptr;
    uint32_t current_color = 0;
    int32_t active_depth = 0;
    PfObject stock_font = nullptr;
    int32_t line_height = 0;
    int32_t external_leading = 0;
    int32_t avg_char_width = 0;
    PfPalette saved_palette = nullptr;
    PfDC text_dc = nullptr;

    // 2. Current position and open-buffer geometry.
    int32_t pos_x = 0;
    int32_t pos_y = 0;
    int32_t active_width = 0;
    int32_t active_max_y = 0;
    int32_t active_height = 0;
    uint32_t* depth_buffer = nullptr;
    uint32_t depth_stamp = 0;
    uint32_t depth_buffer_words = 0;  // capacity of the open depth buffer, in words

    // 3. Colour index bytes and flags.
    uint8_t mapped_color_index = 0;
    uint8_t color_index = 0;
    uint8_t is_nt = 0;
    uint8_t entry_low_byte = 0;

    // 4. Clip rectangle, inclusive.
    int32_t clip_min_x = 0;
    int32_t clip_max_x = 0;
    int32_t clip_min_y = 0;
    int32_t clip_max_y = 0;

    // 5. Image reader.
    PfFile pcx_file = nullptr;
    uint32_t pcx_transferred = 0;

    // 6. Colour tables. A 16-bit buffer's entries hold the 5-6-5 value in
    // the low half; a 24/32-bit entry holds the bytes low, red, green, blue
    // in memory order (low + red * 0x100 + green * 0x10000 + blue * 0x1000000).
    uint8_t index_map[256] = {};
    uint32_t color_lookup[256] = {};
    LogicalPalette logical_palette = {0x300, 256, {}};
    RgbQuad rgb_table[256] = {};

    // 7. Virtual buffer management.
    PfDC memory_dc = nullptr;
    PfObject saved_bitmap = nullptr;
    int32_t header_size = 0;
    int32_t header_alloc_size = 0;
    int32_t dib_usage = 0;
    int32_t active_buffer = -1;
    int32_t new_buffer_depth = 8;
    uint8_t* active_header = nullptr;
    int32_t active_pitch = 0;
    int32_t active_size = 0;
    uint8_t* active_pixels = nullptr;
    BufferSlot buffer_slots[GX_BUFFER_SLOTS] = {};

    // 8. Texture slots and 3D state.
    uint8_t* texture_pixels = nullptr;
    int32_t texture_count = 0;
    int32_t texture_height = 0;
    int32_t perspective_run = 32;
    TextureSlot* texture_table = nullptr;
    int32_t texture_width = 0;
    double far_plane = 1000.0;
    double near_plane = 1.0;
    double combined_matrix[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    double object_matrix[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    double view_matrix[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    double view_scale = 0.0;
    double view_scale_y = 0.0;
    int32_t view_centre_x = 0;
    int32_t view_centre_y = 0;
    uint32_t render_flags = 0;

    // 9. Work areas.
    uint8_t* input_ptr = nullptr;
    uint32_t input_size = 0;
    alignas(8) uint8_t input_buffer[GX_INPUT_BUFFER_SIZE] = {};
    alignas(8) uint8_t scratch_area[GX_SCRATCH_SIZE] = {};

    // 10. AVI entry table.
    AviEntry avi_entries[GX_AVI_ENTRY_COUNT] = {
        {nullptr, "AVIFileCreateStreamA"},   {nullptr, "AVIFileExit"},
        {nullptr, "AVIFileInit"},            {nullptr, "AVIFileOpenA"},
        {nullptr, "AVIFileRelease"},         {nullptr, "AVIMakeCompressedStream"},
        {nullptr, "AVISaveOptions"},         {nullptr, "AVISaveOptionsFree"},
        {nullptr, "AVIStreamGetFrame"},      {nullptr, "AVIStreamGetFrameClose"},
        {nullptr, "AVIStreamGetFrameOpen"},  {nullptr, "AVIStreamInfoA"},
        {nullptr, "AVIStreamOpenFromFileA"}, {nullptr, "AVIStreamReadFormat"},
        {nullptr, "AVIStreamRelease"},       {nullptr, "AVIStreamSetFormat"},
        {nullptr, "AVIStreamWrite"},
    };
    char avi_library_name[16] = "AVIFIL32.DLL";
    PfModule avi_module = nullptr;

    // 11. Colour reduction tables and the rasterizers' edge records.
    uint32_t reduce_counts[256] = {};
    uint8_t reduce_map[256] = {};
    PerspectiveEdge persp_depth_edges[2] = {};
    PerspectiveEdge persp_edges[2] = {};
    AffineDepthEdge affine_depth_edges[2] = {};
    AffineEdge affine_edges[2] = {};
};

extern GraphicsState gx_state;

// ---- Library start-up and teardown ----------------------------------------
int32_t gx_set_dc(PfDC dc);
int32_t gx_initialize();
int32_t gx_display_depth();
int32_t gx_select_stock_font(int32_t stock_object);
int32_t gx_shutdown();

// ---- Palette --------------------------------------------------------------
PfPalette gx_create_palette();
int32_t gx_realize_palette(PfPalette palette);
int32_t gx_set_palette(int32_t first, int32_t count, const uint8_t* rgb_triples);

// ---- Virtual buffers and presentation -------------------------------------
int32_t gx_set_buffer_depth(int32_t bits_per_pixel);
int32_t gx_buffer_alloc(int32_t width, int32_t height);
int32_t gx_buffer_open(int32_t slot);
int32_t gx_buffer_close();
int32_t gx_buffer_free(int32_t slot);
int32_t gx_buffer_colors();
int32_t gx_buffer_scale_blit(int32_t sx1, int32_t sx2, int32_t sy1, int32_t sy2,
                             int32_t dx1, int32_t dx2, int32_t dy1, int32_t dy2);

// ---- Drawing state and pixel blocks ---------------------------------------
int32_t gx_set_color(int32_t color);
int32_t gx_fill_buffer();
int32_t gx_move_to(int32_t x, int32_t y);
int32_t gx_move_by(int32_t dx, int32_t dy);
int32_t gx_get_block(void* destination, int32_t width, int32_t height);
int32_t gx_invert_block(void* block, int32_t width, int32_t height);

// ---- Images ---------------------------------------------------------------
int32_t gx_load_pcx(const char* name, int32_t flags);
// Points the input descriptor at a caller's block (for GX_PCX_FROM_MEMORY).
int32_t gx_set_input(const void* block, uint32_t size);
// Points the input descriptor back at the library's own input buffer.
int32_t gx_reset_input();
int32_t gx_reduce_colors(int32_t first, int32_t count, uint8_t* rgb_palette);

// ---- Keyboard -------------------------------------------------------------
int32_t gx_key_test(int32_t scan_code);

// ---- 3D state, depth buffer and texture slots -----------------------------
int32_t gx_texture_table_alloc(int32_t count);
int32_t gx_texture_define(void* pixels, int32_t width, int32_t height);
int32_t gx_texture_select(int32_t slot);
int32_t gx_texture_undefine(int32_t slot);
int32_t gx_3d_viewport(int32_t x1, int32_t x2, int32_t y1, int32_t y2, double factor);
int32_t gx_3d_clip_planes(double near_plane, double far_plane);
int32_t gx_3d_render_flags(uint32_t flags);
uint32_t* gx_depthbuf_alloc(int32_t width, int32_t height);
int32_t gx_depthbuf_open(uint32_t* depth_buffer);
int32_t gx_depthbuf_clear();
int32_t gx_depthbuf_free(uint32_t* depth_buffer);

// ---- Object transform and trigonometry ------------------------------------
int32_t gx_3d_set_object(double x, double y, double z, int32_t ax, int32_t ay, int32_t az);
int32_t gx_cos_sin(int32_t angle, double* cosine, double* sine);

// ---- Polygon pipeline -----------------------------------------------------
int32_t gx_3d_texture_polygon(const Vertex3* vertices, const TexCoord* texcoords, uint32_t count);
int32_t gx_3d_transform(const Vertex3* source, Vertex3* target, uint32_t count);
int32_t gx_3d_clip(const Vertex3* source, Vertex3* target, const TexCoord* source_tex,
                   TexCoord* target_tex, uint32_t count);
int32_t gx_3d_project(const Vertex3* camera, ScreenPoint* screen, uint32_t count);

// ---- Rasterizers ----------------------------------------------------------
int32_t gx_texmap_persp_depth(const ScreenPoint* points, const TexCoord* texcoords,
                              const Vertex3* camera, uint32_t count);
int32_t gx_texmap_persp(const ScreenPoint* points, const TexCoord* texcoords,
                        const Vertex3* camera, uint32_t count);
int32_t gx_texmap_affine_depth(const ScreenPoint* points, const TexCoord* texcoords,
                               const Vertex3* camera, uint32_t count);
int32_t gx_texmap_affine(const ScreenPoint* points, const TexCoord* texcoords, uint32_t count);
