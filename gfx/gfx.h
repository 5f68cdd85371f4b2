// The graphics library's public face: the shared types, the constants, the
// one global state record and every gx_ operation.
//
// The library is a flat set of operations over `gx_state`. No operation takes
// a context; each reads the fields it needs at the moment of the call.
#pragma once

/// \file gfx/gfx.h
/// \brief The whole library: its types, constants, the state record #gx_state
/// and every `gx_` operation.
///
/// The library draws into off-screen virtual buffers of 8, 16, 24 or 32 bits
/// per pixel and presents them onto a window through one backend library
/// (gx::headless, gx::sdl or gx::win32). All of its state is one global
/// record, #gx_state; no operation takes a context. Every operation returns a
/// 32-bit result, which is 0 unless its documentation says otherwise.
///
/// A program's life, in order:
/// 1. gx_set_dc() with the window's device context, gx_create_palette() and
///    gx_realize_palette(), then gx_initialize().
/// 2. gx_set_buffer_depth(), gx_buffer_alloc(), gx_buffer_open(),
///    gx_buffer_colors().
/// 3. Drawing: gx_set_color() and gx_fill_buffer(), gx_load_pcx(), the 3D
///    set-up (gx_depthbuf_alloc(), gx_3d_viewport(), gx_3d_clip_planes(),
///    gx_3d_render_flags(), texture slots), gx_3d_set_object() and
///    gx_3d_texture_polygon(); gx_buffer_scale_blit() shows the buffer.
/// 4. gx_buffer_close(), gx_texture_undefine(), gx_depthbuf_free(),
///    gx_buffer_free(), gx_shutdown(); then the caller deletes its palette and
///    releases its device context.
///
/// Buffer coordinates count columns from the left and rows from the top (row
/// 0 is the top row); the pixel memory itself holds the bottom row first.
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// ---- Shared types ---------------------------------------------------------

/// A point in 3D. Model space when handed to gx_3d_texture_polygon(); camera
/// space (x to the right, y upward, z away from the eye) in the pipeline's lists.
struct Vertex3 {
    /// x coordinate.
    double x;
    /// y coordinate.
    double y;
    /// z coordinate.
    double z;
};

/// A texel of the current texture: column `u`, row `v`, in whole texels;
/// (0, 0) is the first texel of the texture's memory, its top-left corner.
struct TexCoord {
    /// Texel column.
    int32_t u;
    /// Texel row.
    int32_t v;
};

/// A pixel of the open buffer: column `x`, row `y` (row 0 at the top).
struct ScreenPoint {
    /// Pixel column.
    int32_t x;
    /// Pixel row.
    int32_t y;
};

// Largest screen coordinate magnitude the pipeline hands over; beyond it a
// polygon is dropped, so that 32-bit edge and span arithmetic cannot overflow.
/// Largest screen coordinate magnitude the pipeline hands to a rasterizer; a
/// polygon with a point beyond it is not drawn.
inline constexpr int32_t GX_COORD_LIMIT = 1 << 24;

/// One entry of the texture slot table (gx_texture_table_alloc()). It records
/// where a texture's texels are; the memory stays the caller's and must live
/// as long as the slot is defined.
struct TextureSlot {
    /// The texels, top row first, `width` texels a row; null marks a free slot.
    uint8_t* pixels;  // null marks a free slot; the memory belongs to the caller
    /// Width in texels.
    int32_t width;
    /// Height in texels.
    int32_t height;
};

// Render flags.
/// Render flag (gx_3d_render_flags()): texture coordinates are interpolated
/// perspective-correctly instead of linearly across the screen.
inline constexpr uint32_t RF_PERSPECTIVE = 1;
/// Render flag: each pixel is tested against the open depth buffer and written
/// into it (gx_depthbuf_open()).
inline constexpr uint32_t RF_DEPTH = 4;
/// Render flag: polygons are clipped against the near plane, and dropped when
/// they lie wholly beyond the far plane (gx_3d_clip_planes()).
inline constexpr uint32_t RF_CLIP = 8;

// PCX reader flags.
/// gx_load_pcx() flag: keep the palette; the image's colours are not loaded.
inline constexpr int32_t GX_PCX_KEEP_PALETTE = 1;
/// gx_load_pcx() flag: put the image's top-left pixel at the current position
/// (gx_move_to()) instead of where the image's header places it.
inline constexpr int32_t GX_PCX_AT_POSITION = 2;
/// gx_load_pcx() flag: read the file's bytes from the block given to
/// gx_set_input() instead of opening the named file.
inline constexpr int32_t GX_PCX_FROM_MEMORY = 4;
/// gx_load_pcx() flag: into an 8-bit buffer, keep a 256-colour image's own
/// indices instead of renumbering its colours into palette slots 10 to 245.
inline constexpr int32_t GX_PCX_NO_REDUCE = 8;

// PCX reader results.
/// gx_load_pcx() result: the image was read (or no part of it lies in the buffer).
inline constexpr int32_t GX_PCX_OK = 0;
/// gx_load_pcx() result: the file cannot be opened.
inline constexpr int32_t GX_PCX_CANNOT_OPEN = 1;
/// gx_load_pcx() result: the input is shorter than a header or is no PCX image.
inline constexpr int32_t GX_PCX_NOT_PCX = 2;
/// gx_load_pcx() result: the image's planes and bits per pixel cannot be
/// converted to the open buffer's depth (or its lines are too short for its width).
inline constexpr int32_t GX_PCX_NO_CONVERTER = 3;
/// gx_load_pcx() result: no memory for the line buffer.
inline constexpr int32_t GX_PCX_NO_MEMORY = 4;
/// Result of gx_load_pcx when the image data ends before the last visible
/// row: every visible row was still stored (rows past the end of the data
/// show the last, partly decoded line, or zero bytes) and the palette was
/// loaded as for a complete image, so the picture can be shown; the caller
/// learns that it is incomplete. Only rows that lie in the buffer are
/// decoded, so data missing below the buffer's last row goes unnoticed.
inline constexpr int32_t GX_PCX_TRUNCATED = 5;

/// Number of virtual buffer slots, numbered 0 to 255.
inline constexpr int32_t GX_BUFFER_SLOTS = 256;
/// Bytes of GraphicsState::input_buffer.
inline constexpr int32_t GX_INPUT_BUFFER_SIZE = 4096;
/// Bytes of GraphicsState::scratch_area.
inline constexpr int32_t GX_SCRATCH_SIZE = 10240;
/// Entries of GraphicsState::avi_entries.
inline constexpr int32_t GX_AVI_ENTRY_COUNT = 17;

// ---- Records kept inside the state ----------------------------------------

/// A colour as a bitmap's colour table holds it.
struct RgbQuad {
    /// Blue, 0 to 255.
    uint8_t blue;
    /// Green, 0 to 255.
    uint8_t green;
    /// Red, 0 to 255.
    uint8_t red;
    /// Always 0.
    uint8_t reserved;
};

// The platform's logical palette record.
/// The library's 256-entry palette in the platform's logical palette layout.
struct LogicalPalette {
    /// Layout version, 0x300.
    uint16_t version;
    /// Number of entries, 256.
    uint16_t count;
    /// Red, green, blue and flags of each palette index.
    PfPaletteEntry entries[256];
};

// One virtual buffer slot. `pixels` is non-null exactly while it is in use.
/// One virtual buffer slot (GraphicsState::buffer_slots). A slot is in use
/// exactly while `pixels` is non-null; freeing it sets only `pixels` to null.
struct BufferSlot {
    /// Memory block holding the bitmap header and its colour part.
    PfMem header_handle;
    /// The bitmap that owns the pixel memory.
    PfBitmap bitmap;
    /// Right edge of the clip rectangle: width - 1.
    int32_t max_x;
    /// Bottom edge of the clip rectangle: height - 1.
    int32_t max_y;
    /// Left edge of the clip rectangle: 0.
    int32_t min_x;
    /// Top edge of the clip rectangle: 0.
    int32_t min_y;
    /// The bitmap header, followed by its colour part.
    uint8_t* header;
    /// The pixel memory, bottom row first; null while the slot is free.
    uint8_t* pixels;
    /// Bits per pixel: 8, 16, 24 or 32.
    int32_t depth;
    /// Height in rows.
    int32_t height;
    /// Width in pixels, the requested width raised to a multiple of 4.
    int32_t width;
    /// Bytes per row.
    int32_t pitch;
    /// Colour usage of an 8-bit buffer's bitmap: 0 colours, 1 palette indices.
    int32_t usage;  // colour usage the bitmap was created with (8-bit buffers)
};

/// An entry point of the platform's video-file library, looked up by
/// gx_initialize() when that library is present; no operation calls it.
struct AviEntry {
    /// The entry point; null when not found.
    void* address;
    /// The exported name.
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
/// The state record: everything the library keeps, in one global, #gx_state.
///
/// Programs read it, for example the open buffer's pixels: pixel (x, y) lies
/// at `active_pixels + (active_max_y - y) * active_pitch + x * bytes per
/// pixel`, where a pixel takes 1, 2, 3 or 4 bytes at 8, 16, 24 or 32 bits
/// (8: a palette index; 16: 5-6-5 little-endian; 24: blue, green, red; 32:
/// 0x00RRGGBB little-endian). Change fields only through the operations; each
/// operation's documentation names the fields it touches.
struct GraphicsState {
    // 0. Image header, key state, banner.
    /// The 128-byte header of the image gx_load_pcx() read last.
    uint8_t pcx_header[128] = {};
    /// One byte per virtual key, as gx_key_test() with code 0 read them.
    uint8_t key_state[256] = {};
    /// The library's banner text.
    char banner[28] = "Quillark V6.00 for Windows";

    // 1. Device and colour.
    /// The window's device context (gx_set_dc()): palettes are selected into it
    /// and buffers presented onto it.
    PfDC device_dc = nullptr;
    /// The palette gx_realize_palette() realized last; gx_set_palette() animates it.
    PfPalette current_palette = nullptr;
    /// The current colour as a pixel pattern of the open buffer's depth (gx_set_color()).
    uint32_t current_color = 0;
    /// Bits per pixel of the open buffer; 0 before the first gx_buffer_open().
    int32_t active_depth = 0;
    /// The font gx_select_stock_font() selected.
    PfObject stock_font = nullptr;
    /// That font's character height plus external leading.
    int32_t line_height = 0;
    /// That font's external leading.
    int32_t external_leading = 0;
    /// That font's average character width.
    int32_t avg_char_width = 0;
    /// The palette the first gx_realize_palette() displaced; gx_shutdown() puts it back.
    PfPalette saved_palette = nullptr;
    /// Device context for fonts and text metrics; gx_set_dc() sets it.
    PfDC text_dc = nullptr;

    // 2. Current position and open-buffer geometry.
    /// Current position, column (gx_move_to(), gx_move_by()).
    int32_t pos_x = 0;
    /// Current position, row.
    int32_t pos_y = 0;
    /// Width of the open buffer in pixels (a multiple of 4).
    int32_t active_width = 0;
    /// Height of the open buffer minus one.
    int32_t active_max_y = 0;
    /// Height of the open buffer in rows.
    int32_t active_height = 0;
    /// The open depth buffer (gx_depthbuf_open()), or null.
    uint32_t* depth_buffer = nullptr;
    /// The frame stamp added to every depth value, a multiple of 0x01000000
    /// (gx_depthbuf_clear()).
    uint32_t depth_stamp = 0;
    /// Capacity of the open depth buffer in 32-bit words.
    uint32_t depth_buffer_words = 0;  // capacity of the open depth buffer, in words

    // 3. Colour index bytes and flags.
    /// The last 8-bit colour index set, after the index map (gx_set_color()).
    uint8_t mapped_color_index = 0;
    /// The last 8-bit colour index set, as given.
    uint8_t color_index = 0;
    /// 1 on an NT-family system (chooses the header form of 16- and 32-bit buffers).
    uint8_t is_nt = 0;
    /// Low byte of the 24- and 32-bit colour lookup entries gx_set_palette() writes.
    uint8_t entry_low_byte = 0;

    // 4. Clip rectangle, inclusive.
    /// Left edge of the clip rectangle of the open buffer.
    int32_t clip_min_x = 0;
    /// Right edge of the clip rectangle.
    int32_t clip_max_x = 0;
    /// Top edge of the clip rectangle.
    int32_t clip_min_y = 0;
    /// Bottom edge of the clip rectangle.
    int32_t clip_max_y = 0;

    // 5. Image reader.
    /// The file gx_load_pcx() reads; null between calls.
    PfFile pcx_file = nullptr;
    /// Bytes of the last read from that file.
    uint32_t pcx_transferred = 0;

    // 6. Colour tables. A 16-bit buffer's entries hold the 5-6-5 value in
    // the low half; a 24/32-bit entry holds the bytes low, red, green, blue
    // in memory order (low + red * 0x100 + green * 0x10000 + blue * 0x1000000).
    /// Map applied to 8-bit colour indices by gx_set_color(); the identity after
    /// gx_initialize().
    uint8_t index_map[256] = {};
    /// Pixel value of every palette index in the open buffer's format (16, 24 and
    /// 32 bits); the PCX reader writes 8-bit images into deeper buffers through it.
    uint32_t color_lookup[256] = {};
    /// The library's palette (gx_create_palette(), gx_set_palette(), gx_load_pcx()).
    LogicalPalette logical_palette = {0x300, 256, {}};
    /// The palette's colours in a bitmap colour table's order (8-bit buffers).
    RgbQuad rgb_table[256] = {};

    // 7. Virtual buffer management.
    /// Memory device context the open buffer's bitmap is selected into.
    PfDC memory_dc = nullptr;
    /// The bitmap the first gx_buffer_open() displaced from `memory_dc`.
    PfObject saved_bitmap = nullptr;
    /// Size of the bitmap header of the depth chosen or opened last.
    int32_t header_size = 0;
    /// Bytes allocated for a bitmap header with its colour part.
    int32_t header_alloc_size = 0;
    /// 1 when 8-bit buffers carry palette indices instead of colours (screens of 8
    /// bits or less), else 0.
    int32_t dib_usage = 0;
    /// Slot of the open buffer; -1 when none is open.
    int32_t active_buffer = -1;
    /// Bits per pixel of buffers allocated next (gx_set_buffer_depth()).
    int32_t new_buffer_depth = 8;
    /// The open buffer's bitmap header.
    uint8_t* active_header = nullptr;
    /// Bytes per row of the open buffer.
    int32_t active_pitch = 0;
    /// Bytes of pixel memory of the open buffer (pitch times height).
    int32_t active_size = 0;
    /// The open buffer's pixel memory, bottom row first.
    uint8_t* active_pixels = nullptr;
    /// The virtual buffer slots.
    BufferSlot buffer_slots[GX_BUFFER_SLOTS] = {};

    // 8. Texture slots and 3D state.
    /// The current texture's texels (gx_texture_select()).
    uint8_t* texture_pixels = nullptr;
    /// Number of slots in the texture slot table.
    int32_t texture_count = 0;
    /// The current texture's height in texels.
    int32_t texture_height = 0;
    /// Pixels per run of the perspective rasterizers: texture coordinates are
    /// divided exactly at run ends and stepped linearly within a run.
    int32_t perspective_run = 32;
    /// The texture slot table (gx_texture_table_alloc()).
    TextureSlot* texture_table = nullptr;
    /// The current texture's width in texels.
    int32_t texture_width = 0;
    /// Far plane depth (camera-space z), gx_3d_clip_planes().
    double far_plane = 1000.0;
    /// Near plane depth.
    double near_plane = 1.0;
    /// View times object transform, 3 rows of 4 (gx_3d_set_object()); the
    /// pipeline turns model points into camera space with it.
    double combined_matrix[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    /// The object transform, 3 rows of 4: rotation and translation column.
    double object_matrix[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    /// The view transform, 3 rows of 4; the identity (the eye at the origin,
    /// looking along +z).
    double view_matrix[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    /// Horizontal projection scale in pixels (gx_3d_viewport()).
    double view_scale = 0.0;
    /// Vertical projection scale, the negation of `view_scale`.
    double view_scale_y = 0.0;
    /// Screen column the camera axis projects onto.
    int32_t view_centre_x = 0;
    /// Screen row the camera axis projects onto.
    int32_t view_centre_y = 0;
    /// The render flags (#RF_PERSPECTIVE, #RF_DEPTH, #RF_CLIP), gx_3d_render_flags().
    uint32_t render_flags = 0;

    // 9. Work areas.
    /// Input descriptor, address: where gx_load_pcx() reads (gx_set_input()).
    uint8_t* input_ptr = nullptr;
    /// Input descriptor, size in bytes.
    uint32_t input_size = 0;
    /// The reader's own input area; the pipeline also keeps clipped texture
    /// coordinates here during a polygon.
    alignas(8) uint8_t input_buffer[GX_INPUT_BUFFER_SIZE] = {};
    /// Work area shared by operations that never run at the same time (the
    /// pipeline's vertex lists, the reader's palette stage).
    alignas(8) uint8_t scratch_area[GX_SCRATCH_SIZE] = {};

    // 10. AVI entry table.
    /// Entry points of the platform's video-file library (gx_initialize()).
    AviEntry avi_entries[GX_AVI_ENTRY_COUNT] = {
        {nullptr, "AVIFileCreateStreamA"},
        {nullptr, "AVIFileExit"},
        {nullptr, "AVIFileInit"},
        {nullptr, "AVIFileOpenA"},
        {nullptr, "AVIFileRelease"},
        {nullptr, "AVIMakeCompressedStream"},
        {nullptr, "AVISaveOptions"},
        {nullptr, "AVISaveOptionsFree"},
        {nullptr, "AVIStreamGetFrame"},
        {nullptr, "AVIStreamGetFrameClose"},
        {nullptr, "AVIStreamGetFrameOpen"},
        {nullptr, "AVIStreamInfoA"},
        {nullptr, "AVIStreamOpenFromFileA"},
        {nullptr, "AVIStreamReadFormat"},
        {nullptr, "AVIStreamRelease"},
        {nullptr, "AVIStreamSetFormat"},
        {nullptr, "AVIStreamWrite"},
    };
    /// File name of that library.
    char avi_library_name[16] = "AVIFIL32.DLL";
    /// That library once loaded, or null.
    PfModule avi_module = nullptr;

    // 11. Colour reduction tables and the rasterizers' edge records.
    /// Working table of gx_reduce_colors(): how often each index occurs.
    uint32_t reduce_counts[256] = {};
    /// Working table of gx_reduce_colors(): old index to new index.
    uint8_t reduce_map[256] = {};
    /// Edge records of gx_texmap_persp_depth().
    PerspectiveEdge persp_depth_edges[2] = {};
    /// Edge records of gx_texmap_persp().
    PerspectiveEdge persp_edges[2] = {};
    /// Edge records of gx_texmap_affine_depth().
    AffineDepthEdge affine_depth_edges[2] = {};
    /// Edge records of gx_texmap_affine().
    AffineEdge affine_edges[2] = {};
};

/// The library's one state record.
extern GraphicsState gx_state;

// ---- Library start-up and teardown ----------------------------------------
/// Hands the library the device context to draw and present onto: the
/// window's own context (from the backend: pf_sdl_window_dc(),
/// headless_window_dc(), or pf_from_hdc() of a window's HDC on Windows).
/// Call it first; it may be called again at any time.
/// \param dc The context; it stays the caller's, who releases it after gx_shutdown().
/// \return 0.
/// Sets `device_dc` and `text_dc`.
int32_t gx_set_dc(PfDC dc);
/// Starts the library up: points the input descriptor at the library's input
/// area, selects the fixed-pitch stock font, marks every buffer slot free,
/// makes the index map the identity, chooses the bitmap header form for the
/// screen's depth, resets the colour and the current position to 0, creates
/// the memory device context and looks up the optional video-file library.
/// Call after gx_set_dc(); the palette may be made before or after.
/// \return 0, also when the optional library is absent.
/// Sets `input_ptr`, `input_size`, the font fields, `buffer_slots[].pixels`,
/// `index_map`, `dib_usage`, `header_alloc_size`, `header_size`,
/// `mapped_color_index`, `entry_low_byte`, `current_color`, `pos_x`, `pos_y`,
/// `active_buffer` (-1), `new_buffer_depth` (8), `saved_bitmap`, `memory_dc`,
/// `is_nt`, `avi_module` and `avi_entries`.
int32_t gx_initialize();
/// The screen's bits per pixel (bits times planes; 15 is reported as 16),
/// asked afresh on every call.
/// \return The depth, or 0 when the platform reports none that fits.
/// Touches nothing in the state record.
int32_t gx_display_depth();
/// Selects one of the platform's stock fonts into `text_dc` and records its
/// metrics.
/// \param stock_object The stock object number (gx_initialize() uses 10, the
/// fixed-pitch font).
/// \return 0.
/// Sets `stock_font`, `line_height`, `external_leading` and `avg_char_width`.
int32_t gx_select_stock_font(int32_t stock_object);
/// Shuts the library down: frees the texture slot table, selects the palette
/// the first realize displaced back into `device_dc`, releases the video-file
/// library and deletes the memory device context. Call it last, after closing
/// and freeing buffers, textures and the depth buffer; it frees none of them,
/// nor the caller's palette or device context.
/// \return 0.
/// Sets `active_buffer` to -1, `texture_table`, `avi_module`, `avi_entries`
/// and `memory_dc` to null.
int32_t gx_shutdown();

// ---- Palette --------------------------------------------------------------
/// Fills the library's palette with the default colours (on screens of 8
/// bits or less the system's static colours are kept at both ends) and
/// creates a platform palette from it.
/// \return The palette, which belongs to the caller (delete it with
/// pf_delete_object() after gx_shutdown()); null if the platform refuses.
/// Sets `logical_palette` and `rgb_table`.
PfPalette gx_create_palette();
/// Selects a palette into `device_dc` and realizes it; the palette displaced
/// by the first call is kept for gx_shutdown().
/// \param palette The palette from gx_create_palette().
/// \return 0.
/// Sets `current_palette` and, the first time, `saved_palette`.
int32_t gx_realize_palette(PfPalette palette);
/// Sets palette entries [first, first + count) from red, green, blue byte
/// triples, as far as 256 entries reach, and updates the open buffer's colour
/// tables and the realized palette. Does nothing while no buffer is open, or
/// for a `first` outside 0 to 255, a `count` below 1 or a null pointer.
/// \param first First palette index, 0 to 255.
/// \param count Number of entries.
/// \param rgb_triples `count` triples of red, green, blue.
/// \return 0.
/// Sets `logical_palette`, `rgb_table`, `color_lookup` and an 8-bit buffer's
/// colour part.
int32_t gx_set_palette(int32_t first, int32_t count, const uint8_t* rgb_triples);

// ---- Virtual buffers and presentation -------------------------------------
/// Chooses the depth of the buffers gx_buffer_alloc() makes next.
/// \param bits_per_pixel 8, 16, 24 or 32 (another value makes the next
/// allocation fail).
/// \return 0.
/// Sets `new_buffer_depth`, `header_size` and `header_alloc_size`.
int32_t gx_set_buffer_depth(int32_t bits_per_pixel);
/// Makes a virtual buffer of the chosen depth in the lowest free slot. The
/// width is raised to a multiple of 4; the pixels are not cleared.
/// \param width Width in pixels, at least 1.
/// \param height Height in pixels, at least 1.
/// \return The slot number, 0 to 255; -1 when all 256 slots are in use; -2
/// for a depth other than 8, 16, 24 or 32, a size below 1 or beyond 32-bit
/// byte counts, or when memory or the bitmap cannot be had (nothing stays
/// allocated then).
/// Fills the slot in `buffer_slots`.
int32_t gx_buffer_alloc(int32_t width, int32_t height);
/// Makes a buffer the open one: every drawing, image and block operation works
/// on it. Its clip rectangle is the whole buffer. The colour tables are built
/// for its depth.
/// \param slot A slot from gx_buffer_alloc().
/// \return 0; -1 for a number outside 0 to 255; -2 for a free slot.
/// Sets `active_buffer`, `active_depth`, `active_pitch`, `active_width`,
/// `active_height`, `active_max_y`, `active_header`, `active_pixels`,
/// `active_size`, the clip rectangle, `header_size`, `header_alloc_size`,
/// `dib_usage`, `color_lookup` (16 bits and deeper) and `saved_bitmap`.
int32_t gx_buffer_open(int32_t slot);
/// Closes the open buffer (needed before it can be freed).
/// \return 0.
/// Sets `active_buffer` to -1 and `saved_bitmap` to null.
int32_t gx_buffer_close();
/// Frees a buffer's bitmap and header. The open buffer is never freed: close
/// it first.
/// \param slot The slot; a negative number frees every buffer but the open one.
/// Numbers above 255 and free slots are ignored.
/// \return 0.
/// Sets `buffer_slots[slot].pixels` to null.
int32_t gx_buffer_free(int32_t slot);
/// Writes the palette into the open 8-bit buffer's colour part, so that the
/// buffer shows the palette's colours. Does nothing for other depths or while
/// no buffer is open.
/// \return 0.
/// Reads `rgb_table` and `dib_usage`; writes the buffer's header.
int32_t gx_buffer_colors();
/// Presents a rectangle of the open buffer onto `device_dc`, stretched
/// (nearest pixel) onto a rectangle of the window. Bounds are inclusive.
/// Does nothing while no buffer is open or when a size does not fit 32 bits.
/// \param sx1 Source left column.
/// \param sx2 Source right column.
/// \param sy1 Source top row.
/// \param sy2 Source bottom row.
/// \param dx1 Window left column.
/// \param dx2 Window right column.
/// \param dy1 Window top row.
/// \param dy2 Window bottom row.
/// \return 0.
/// Touches nothing in the state record.
int32_t gx_buffer_scale_blit(int32_t sx1, int32_t sx2, int32_t sy1, int32_t sy2, int32_t dx1,
                             int32_t dx2, int32_t dy1, int32_t dy2);

// ---- Drawing state and pixel blocks ---------------------------------------
/// Sets the current colour for the open buffer's depth (set it again after
/// opening a buffer of another depth).
/// \param color At 24 and 32 bits 0x00RRGGBB; at 16 bits the 5-6-5 pixel
/// value (-1 gives white); at 8 bits a palette index in the low byte, passed
/// through `index_map`.
/// \return 0.
/// Sets `current_color` and, at 8 bits, `color_index` and `mapped_color_index`.
int32_t gx_set_color(int32_t color);
/// Fills the whole open buffer with the current colour (the clip rectangle
/// does not apply). Does nothing while no buffer is open.
/// \return 0.
/// Writes the open buffer's pixels.
int32_t gx_fill_buffer();
/// Sets the current position.
/// \param x Column.
/// \param y Row, 0 at the top.
/// \return 0.
/// Sets `pos_x` and `pos_y`.
int32_t gx_move_to(int32_t x, int32_t y);
/// Moves the current position.
/// \param dx Columns to add.
/// \param dy Rows to add.
/// \return 0.
/// Sets `pos_x` and `pos_y`.
int32_t gx_move_by(int32_t dx, int32_t dy);
/// Copies a block of the open buffer whose bottom-left pixel is the current
/// position, bottom row first: rows `pos_y` down to `pos_y - height + 1`.
/// Pixels are copied as they are at 16 and 24 bits; at 32 bits each keeps
/// its blue, green and red bytes (3 bytes a pixel), so that the block is a
/// texture for a buffer of that depth. Copies nothing at 8 bits, while no
/// buffer is open, or when the block is not wholly inside the buffer.
/// \param destination Room for width x height pixels (2 bytes each at 16
/// bits, 3 at 24 and 32).
/// \param width Block width, at least 1.
/// \param height Block height, at least 1.
/// \return 0.
/// Reads the open buffer; the position does not move.
int32_t gx_get_block(void* destination, int32_t width, int32_t height);
/// Reverses the order of a block's rows in place: a block from gx_get_block()
/// comes out top row first, as textures are stored. Pixels are taken as 3
/// bytes when the open buffer's depth is 24 or more, else 2.
/// \param block The block.
/// \param width Its width in pixels.
/// \param height Its height in rows (below 2 changes nothing).
/// \return 0.
/// Reads `active_depth`.
int32_t gx_invert_block(void* block, int32_t width, int32_t height);

// ---- Images ---------------------------------------------------------------
/// Reads a PCX image (2 colours, 16 colours in 4 planes, 256 colours, or
/// true colour in 3 planes) into the open buffer at any depth, clipped to
/// the buffer's clip rectangle. Unless
/// #GX_PCX_KEEP_PALETTE, the image's colours become the palette; in an 8-bit
/// buffer a 256-colour image's colours are renumbered into slots 10 to 245
/// (gx_reduce_colors()) unless #GX_PCX_NO_REDUCE. Does nothing while no
/// buffer is open.
/// \param name The file's name (ignored with #GX_PCX_FROM_MEMORY).
/// \param flags Sum of #GX_PCX_KEEP_PALETTE, #GX_PCX_AT_POSITION,
/// #GX_PCX_FROM_MEMORY and #GX_PCX_NO_REDUCE.
/// \return #GX_PCX_OK, #GX_PCX_CANNOT_OPEN, #GX_PCX_NOT_PCX,
/// #GX_PCX_NO_CONVERTER or #GX_PCX_NO_MEMORY.
/// Sets `pcx_header`, the open buffer's pixels, and unless the palette is
/// kept `logical_palette`, `rgb_table` and `color_lookup`; uses `pcx_file`,
/// `pcx_transferred`, `input_buffer` and `scratch_area`; puts `input_ptr`
/// back as it was.
int32_t gx_load_pcx(const char* name, int32_t flags);
// Points the input descriptor at a caller's block (for GX_PCX_FROM_MEMORY).
/// Points the input descriptor at a caller's block: the next
/// gx_load_pcx() with #GX_PCX_FROM_MEMORY reads the image from it.
/// \param block The whole PCX file's bytes, kept alive by the caller.
/// \param size Its size in bytes.
/// \return 0.
/// Sets `input_ptr` and `input_size`.
int32_t gx_set_input(const void* block, uint32_t size);
// Points the input descriptor back at the library's own input buffer.
/// Points the input descriptor back at the library's own input area.
/// \return 0.
/// Sets `input_ptr` and `input_size`.
int32_t gx_reset_input();
/// Makes the open 8-bit buffer's pixels (inside its clip rectangle) fit
/// into palette slots [first, first + count): the closest of the colours
/// used are merged until they fit, then the pixels are renumbered. Does
/// nothing unless an 8-bit buffer is open and the slots lie within 0 to 255.
/// \param first First slot.
/// \param count Number of slots, at least 1.
/// \param rgb_palette The pixels' current colours, 256 red, green, blue
/// triples; on return the slots' entries hold their new colours.
/// \return 0.
/// Writes the open buffer's pixels; uses `reduce_counts` and `reduce_map`.
int32_t gx_reduce_colors(int32_t first, int32_t count, uint8_t* rgb_palette);

// ---- Keyboard -------------------------------------------------------------
/// Whether a key is down, named by its position on the keyboard: its PC
/// set-1 scan code (1 Escape, 2 to 11 the digits 1 to 0, 16 Q, 30 A, 44 Z,
/// 42 and 54 Shift, 72/75/77/80 the arrows, 74 and 78 keypad minus and plus).
/// \param scan_code The scan code; 0 asks whether any key is down.
/// \return 1 when the key is down, else 0.
/// With code 0 sets `key_state`.
int32_t gx_key_test(int32_t scan_code);

// ---- 3D state, depth buffer and texture slots -----------------------------
/// Makes a texture slot table of `count` free slots, replacing (and freeing)
/// the one before.
/// \param count Number of slots, at least 1.
/// \return 0, or -1 for a count below 1 or when memory cannot be had.
/// Sets `texture_table` and `texture_count`.
int32_t gx_texture_table_alloc(int32_t count);
/// Records a texture in the lowest free slot. The texels are laid out for the
/// buffer drawn into: top row first, `width` texels a row, 1 byte (8 bits),
/// 2 bytes (16 bits, 5-6-5) or 3 bytes (24 and 32 bits: blue, green, red).
/// \param pixels The texels; they stay the caller's and must live while
/// the slot is defined.
/// \param width Width in texels.
/// \param height Height in texels.
/// \return The slot, from 0; -1 when there is no table or no free slot.
/// Sets the slot in `texture_table`.
int32_t gx_texture_define(void* pixels, int32_t width, int32_t height);
/// Makes a defined texture the current one, used by every polygon drawn next.
/// A slot outside the table or free changes nothing.
/// \param slot A slot from gx_texture_define().
/// \return 0.
/// Sets `texture_pixels`, `texture_width` and `texture_height`.
int32_t gx_texture_select(int32_t slot);
/// Frees a texture slot (the texels stay the caller's).
/// \param slot The slot; a negative number frees every slot.
/// \return 0.
/// Sets `texture_table[slot].pixels` to null.
int32_t gx_texture_undefine(int32_t slot);
/// Sets the projection onto the buffer: the camera axis lands on the
/// rectangle's centre and a camera-space point (x, y, z) on column
/// centre + x / z * factor * width (rows likewise, upward; pixels are square).
/// \param x1 Left column.
/// \param x2 Right column.
/// \param y1 Top row.
/// \param y2 Bottom row.
/// \param factor Distance of the projection plane in viewport widths: 0.5
/// gives a horizontal field of view of 90 degrees.
/// \return 0.
/// Sets `view_scale`, `view_scale_y`, `view_centre_x` and `view_centre_y`.
int32_t gx_3d_viewport(int32_t x1, int32_t x2, int32_t y1, int32_t y2, double factor);
/// Sets the depths of the near and far planes (camera-space z), used with
/// #RF_CLIP. Keep the near plane beyond 1, so that depth values fit the
/// depth buffer.
/// \param near_plane Points at this depth or nearer are clipped away.
/// \param far_plane Polygons wholly beyond it are dropped.
/// \return 0.
/// Sets `near_plane` and `far_plane`.
int32_t gx_3d_clip_planes(double near_plane, double far_plane);
/// Sets how polygons are drawn.
/// \param flags Sum of #RF_PERSPECTIVE, #RF_DEPTH and #RF_CLIP; other bits are
/// kept and have no effect.
/// \return 0.
/// Sets `render_flags`.
int32_t gx_3d_render_flags(uint32_t flags);
/// Makes a depth buffer, zero-filled, for buffers up to this size (rows
/// padded to a multiple of 4, as buffer rows are).
/// \param width Width in pixels, 0 or more.
/// \param height Height in pixels, 0 or more.
/// \return Its address, or null for a negative size, a size beyond 2^32
/// words, or when memory cannot be had.
/// Touches nothing in the state record.
uint32_t* gx_depthbuf_alloc(int32_t width, int32_t height);
/// Makes a depth buffer the one #RF_DEPTH tests against, cleared, for the
/// open buffer's geometry.
/// \param depth_buffer An address from gx_depthbuf_alloc(), or null for none.
/// \return 0.
/// Sets `depth_buffer`, `depth_buffer_words` and `depth_stamp` (0).
int32_t gx_depthbuf_open(uint32_t* depth_buffer);
/// Empties the open depth buffer for a new frame by raising the frame stamp
/// (no memory is written, except every 256th frame).
/// \return 0.
/// Sets `depth_stamp`.
int32_t gx_depthbuf_clear();
/// Frees a depth buffer; if it is the open one, no depth buffer is open after.
/// \param depth_buffer An address from gx_depthbuf_alloc(), or null (ignored).
/// \return 0.
/// May set `depth_buffer` to null and `depth_buffer_words` to 0.
int32_t gx_depthbuf_free(uint32_t* depth_buffer);

// ---- Object transform and trigonometry ------------------------------------
/// Places the object drawn next: a model point p ends at camera-space
/// Rz Ry Rx p + (x, y, z), turned about the x axis first, then y, then z (fixed
/// axes).
/// \param x Translation x.
/// \param y Translation y.
/// \param z Translation z (distance from the eye).
/// \param ax Turn about the x axis, tenths of a degree.
/// \param ay Turn about the y axis, tenths of a degree.
/// \param az Turn about the z axis, tenths of a degree.
/// \return 0.
/// Sets `object_matrix` and `combined_matrix`.
int32_t gx_3d_set_object(double x, double y, double z, int32_t ax, int32_t ay, int32_t az);
/// Cosine and sine of an angle from the library's table (the values the
/// transforms use).
/// \param angle Tenths of a degree, any value.
/// \param cosine Receives the cosine.
/// \param sine Receives the sine.
/// \return 0.
/// Touches nothing in the state record.
int32_t gx_cos_sin(int32_t angle, double* cosine, double* sine);

// ---- Polygon pipeline -----------------------------------------------------
/// Draws one textured polygon with the current texture into the open
/// buffer: transforms it by `combined_matrix`, clips it (#RF_CLIP), projects
/// it (gx_3d_viewport()) and fills it with the rasterizer the render flags
/// choose. Both windings are drawn; nothing is culled.
/// \param vertices `count` corners in model space, in order around the polygon.
/// \param texcoords The texel of each corner.
/// \param count Number of corners; below 2, beyond the work areas (142
/// with #RF_CLIP, 320 without) or with a corner that is not finite, nothing
/// is drawn.
/// \return 0.
/// Reads the 3D state; uses `scratch_area` and `input_buffer`; writes the
/// open buffer's pixels and, with #RF_DEPTH, the depth buffer.
int32_t gx_3d_texture_polygon(const Vertex3* vertices, const TexCoord* texcoords, uint32_t count);
/// The pipeline's first step: model points to camera space by `combined_matrix`.
/// \param source `count` model-space points.
/// \param target Receives `count` camera-space points.
/// \param count Number of points.
/// \return 0.
/// Reads `combined_matrix`.
int32_t gx_3d_transform(const Vertex3* source, Vertex3* target, uint32_t count);
/// The pipeline's clipping step: clips a camera-space polygon against the
/// near plane (points with z greater than it are inside) and rejects it when
/// every point lies beyond the far plane. Crossing points get interpolated
/// texels.
/// \param source `count` camera-space points.
/// \param target Receives the clipped points (room for count + count / 2).
/// \param source_tex The texel of each point.
/// \param target_tex Receives the texel of each clipped point.
/// \param count Number of points.
/// \return The number of points written; 0 when nothing is left.
/// Reads `near_plane` and `far_plane`.
int32_t gx_3d_clip(const Vertex3* source, Vertex3* target, const TexCoord* source_tex,
                   TexCoord* target_tex, uint32_t count);
/// The pipeline's projection step: camera-space points to whole pixels
/// (rounded to nearest, halves to even).
/// \param camera `count` camera-space points, z greater than 0.
/// \param screen Receives `count` pixels.
/// \param count Number of points.
/// \return 0.
/// Reads `view_scale`, `view_scale_y`, `view_centre_x` and `view_centre_y`.
int32_t gx_3d_project(const Vertex3* camera, ScreenPoint* screen, uint32_t count);

// ---- Rasterizers ----------------------------------------------------------
/// Fills a polygon with the current texture, perspective-correct, testing
/// and writing the depth buffer, clipped to the buffer's clip rectangle
/// (#RF_PERSPECTIVE and #RF_DEPTH).
/// \param points `count` corners in the open buffer.
/// \param texcoords The texel of each corner.
/// \param camera The camera-space point of each corner (only z is read,
/// greater than 0).
/// \param count Number of corners.
/// \return 0.
/// Writes the open buffer's pixels and the depth buffer; uses `persp_depth_edges`.
int32_t gx_texmap_persp_depth(const ScreenPoint* points, const TexCoord* texcoords,
                              const Vertex3* camera, uint32_t count);
/// Fills a polygon with the current texture, perspective-correct, without the
/// depth buffer (#RF_PERSPECTIVE alone).
/// \param points `count` corners in the open buffer.
/// \param texcoords The texel of each corner.
/// \param camera The camera-space point of each corner (only z is read).
/// \param count Number of corners.
/// \return 0.
/// Writes the open buffer's pixels; uses `persp_edges`.
int32_t gx_texmap_persp(const ScreenPoint* points, const TexCoord* texcoords, const Vertex3* camera,
                        uint32_t count);
/// Fills a polygon with the current texture interpolated linearly on the
/// screen, testing and writing the depth buffer (#RF_DEPTH alone).
/// \param points `count` corners in the open buffer.
/// \param texcoords The texel of each corner.
/// \param camera The camera-space point of each corner (only z is read).
/// \param count Number of corners.
/// \return 0.
/// Writes the open buffer's pixels and the depth buffer; uses `affine_depth_edges`.
int32_t gx_texmap_affine_depth(const ScreenPoint* points, const TexCoord* texcoords,
                               const Vertex3* camera, uint32_t count);
/// Fills a polygon with the current texture interpolated linearly on the
/// screen, without the depth buffer (no flags).
/// \param points `count` corners in the open buffer.
/// \param texcoords The texel of each corner.
/// \param count Number of corners.
/// \return 0.
/// Writes the open buffer's pixels; uses `affine_edges`.
int32_t gx_texmap_affine(const ScreenPoint* points, const TexCoord* texcoords, uint32_t count);
