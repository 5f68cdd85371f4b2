// The narrow interface between the graphics library and the operating system.
//
// Every backend (win32, sdl, headless) implements exactly these functions and
// nothing the library calls lies outside them. Handles are opaque: the library
// stores and passes them, never looks inside.
#pragma once

/// \file platform/platform.h
/// \brief The narrow interface between the library and the operating system.
///
/// Every backend library (gx::headless, gx::sdl, gx::win32) implements these
/// functions; the library calls nothing else of the system. Programs use a few
/// of them directly: pf_delete_object() for their palette, pf_delete_dc() for a
/// context they made, pf_as_object(). Handles are opaque.
#include <cstddef>
#include <cstdint>

using PfDC = struct PfDC_*;            ///< a device context (window, screen or memory)
using PfObject = struct PfObject_*;    ///< any selectable object (bitmap, font, palette)
using PfBitmap = struct PfBitmap_*;    ///< a DIB section
using PfPalette = struct PfPalette_*;  ///< a logical palette object
using PfMem = struct PfMem_*;          ///< a global memory block handle
using PfFile = struct PfFile_*;        ///< a file open for reading
using PfModule = struct PfModule_*;    ///< a loaded dynamic library

// Bitmaps and palettes are selectable objects too.
/// A bitmap as a selectable object.
/// \param bitmap The bitmap.
/// \return The same handle as a #PfObject.
inline PfObject pf_as_object(PfBitmap bitmap) { return reinterpret_cast<PfObject>(bitmap); }
/// A palette as a selectable object (for pf_delete_object()).
/// \param palette The palette.
/// \return The same handle as a #PfObject.
inline PfObject pf_as_object(PfPalette palette) { return reinterpret_cast<PfObject>(palette); }

// One palette entry as the platform stores it: red, green, blue, flags.
/// One palette entry as the platform stores it.
struct PfPaletteEntry {
    /// Red, 0 to 255.
    uint8_t red;
    /// Green, 0 to 255.
    uint8_t green;
    /// Blue, 0 to 255.
    uint8_t blue;
    /// Entry flags (1: the entry may be animated).
    uint8_t flags;
};

// ---- Global memory blocks -------------------------------------------------
/// pf_mem_alloc() flag: a fixed block, whose handle is its address.
inline constexpr unsigned PF_MEM_FIXED = 0x00;
/// pf_mem_alloc() flag: a movable block, reached through pf_mem_lock().
inline constexpr unsigned PF_MEM_MOVEABLE = 0x02;
/// pf_mem_alloc() flag: the block is zero-filled.
inline constexpr unsigned PF_MEM_ZEROINIT = 0x40;

// Zero-filled when PF_MEM_ZEROINIT is given; null on failure. A fixed block's
// handle is its address.
/// Allocates a memory block.
/// \param flags #PF_MEM_FIXED or #PF_MEM_MOVEABLE, plus #PF_MEM_ZEROINIT.
/// \param bytes Its size.
/// \return The block's handle (its address when fixed), or null on failure.
PfMem pf_mem_alloc(unsigned flags, size_t bytes);
/// The address of a block's memory.
/// \param block The block.
/// \return The address, or null.
void* pf_mem_lock(PfMem block);
/// Ends a pf_mem_lock().
/// \param block The block.
void pf_mem_unlock(PfMem block);
// The handle that owns the block at this address, or null.
/// The handle of the block at an address.
/// \param address The block's memory.
/// \return The handle, or null when no block starts there.
PfMem pf_mem_handle(const void* address);
/// Frees a block.
/// \param block The block; null is ignored.
void pf_mem_free(PfMem block);

// ---- Display services -----------------------------------------------------
// Bits per pixel and planes of the screen (GetDC(null), GetDeviceCaps, ReleaseDC).
/// The screen's pixel format.
/// \param bits_per_pixel Receives the bits per pixel.
/// \param planes Receives the number of planes.
void pf_screen_format(int32_t* bits_per_pixel, int32_t* planes);
// Reads system palette entries [first, first + count) of the screen.
/// Reads entries [first, first + count) of the screen's system palette.
/// \param first First entry.
/// \param count Number of entries.
/// \param out Receives `count` entries.
void pf_system_palette_entries(int32_t first, int32_t count, PfPaletteEntry* out);
// 32-bit value in the layout of GetVersion(): top bit clear on the NT family.
/// The system's version number; the top bit is clear on the NT family.
/// \return The version value.
uint32_t pf_version();

/// Makes a memory device context compatible with the screen.
/// \return The context, or null.
PfDC pf_create_memory_dc();
/// Deletes a device context made by a backend (a memory context, or one from
/// headless_window_dc()).
/// \param dc The context.
void pf_delete_dc(PfDC dc);
// Selects a bitmap or font into a context; returns the object it displaced.
/// Selects a bitmap or font into a context.
/// \param dc The context.
/// \param object The object.
/// \return The object it displaced.
PfObject pf_select_object(PfDC dc, PfObject object);
/// Deletes a bitmap, font or palette (for example the palette from
/// gx_create_palette(), through pf_as_object()).
/// \param object The object.
void pf_delete_object(PfObject object);

// Stock objects and text metrics.
/// One of the platform's stock objects.
/// \param number Its number (10: the fixed-pitch font).
/// \return The object.
PfObject pf_stock_object(int32_t number);
/// The metrics of a context's font.
struct PfTextMetrics {
    /// Character height.
    int32_t height;
    /// Extra space between lines.
    int32_t external_leading;
    /// Average character width.
    int32_t avg_char_width;
};
/// Reads the metrics of the font selected into a context.
/// \param dc The context.
/// \param out Receives the metrics.
void pf_text_metrics(PfDC dc, PfTextMetrics* out);

// DIB sections. `header` is a BITMAPINFOHEADER (or V4 header) followed by
// its colour part; `usage` is 0 (RGB colours) or 1 (palette indices). The
// pixel memory is written through *pixels, bottom row first.
// The 40-byte info header (BITMAPINFOHEADER layout, little-endian).
/// The 40-byte bitmap info header (little-endian), the start of every
/// buffer's bitmap header.
struct PfBitmapInfoHeader {
    /// Size of the header in bytes.
    uint32_t size;
    /// Width in pixels.
    int32_t width;
    /// Height in rows; positive: the bottom row comes first.
    int32_t height;  // positive: bottom-up rows
    /// Planes, 1.
    uint16_t planes;
    /// Bits per pixel.
    uint16_t bit_count;
    /// #PF_BI_RGB or #PF_BI_BITFIELDS.
    uint32_t compression;
    /// Bytes of pixel memory, or 0.
    uint32_t size_image;
    /// Horizontal resolution, unused.
    int32_t x_pels_per_meter;
    /// Vertical resolution, unused.
    int32_t y_pels_per_meter;
    /// Entries of the colour part in use, 0 for all.
    uint32_t colors_used;
    /// Entries needed to show the bitmap, 0 for all.
    uint32_t colors_important;
};
static_assert(sizeof(PfBitmapInfoHeader) == 40);
// The 108-byte version-4 header (BITMAPV4HEADER layout). The masks sit right
// after the info header, so a size field of 40 reads as info header + masks.
/// The 108-byte version-4 bitmap header of 16- and 32-bit buffers.
struct PfBitmapV4Header {
    /// The info header.
    PfBitmapInfoHeader info;
    /// Bits of red in a pixel.
    uint32_t red_mask;
    /// Bits of green.
    uint32_t green_mask;
    /// Bits of blue.
    uint32_t blue_mask;
    /// Bits that carry no colour.
    uint32_t alpha_mask;
    /// Colour space, unused.
    uint32_t cs_type;
    /// Colour space end points, unused.
    int32_t endpoints[9];
    /// Gamma of red, unused.
    uint32_t gamma_red;
    /// Gamma of green, unused.
    uint32_t gamma_green;
    /// Gamma of blue, unused.
    uint32_t gamma_blue;
};
static_assert(sizeof(PfBitmapV4Header) == 108);
/// Bitmap compression: plain pixels.
inline constexpr uint32_t PF_BI_RGB = 0;
/// Bitmap compression: pixels described by the header's masks.
inline constexpr uint32_t PF_BI_BITFIELDS = 3;

/// Colour usage: the colour part holds colours.
inline constexpr uint32_t PF_DIB_RGB_COLORS = 0;
/// Colour usage: the colour part holds palette indices.
inline constexpr uint32_t PF_DIB_PAL_COLORS = 1;
/// Makes a bitmap whose pixel memory is written directly, bottom row first.
/// \param dc The context whose palette colours index into (#PF_DIB_PAL_COLORS).
/// \param header A #PfBitmapInfoHeader or #PfBitmapV4Header with its colour part.
/// \param usage #PF_DIB_RGB_COLORS or #PF_DIB_PAL_COLORS.
/// \param pixels Receives the pixel memory.
/// \return The bitmap, or null.
PfBitmap pf_create_dib_section(PfDC dc, const void* header, uint32_t usage, void** pixels);

// Presentation.
/// Stretch mode: nearest pixel.
inline constexpr int32_t PF_COLORONCOLOR = 3;
/// Raster operation: copy the source.
inline constexpr uint32_t PF_SRCCOPY = 0x00CC0020;
/// Sets how a context stretches.
/// \param dc The context.
/// \param mode #PF_COLORONCOLOR.
void pf_set_stretch_mode(PfDC dc, int32_t mode);
// Source y is counted from the bottom row of the bottom-up bitmap.
/// Stretches a rectangle of bitmap pixels onto a context.
/// \param dc The context.
/// \param dst_x Destination left column.
/// \param dst_y Destination top row.
/// \param dst_w Destination width.
/// \param dst_h Destination height.
/// \param src_x Source left column.
/// \param src_y Source bottom row, counted from the bitmap's bottom row.
/// \param src_w Source width.
/// \param src_h Source height.
/// \param pixels The pixel memory.
/// \param header Its bitmap header.
/// \param usage #PF_DIB_RGB_COLORS or #PF_DIB_PAL_COLORS.
/// \param rop #PF_SRCCOPY.
/// \return Rows drawn, or 0 on failure.
int32_t pf_stretch_dib(PfDC dc, int32_t dst_x, int32_t dst_y, int32_t dst_w, int32_t dst_h,
                       int32_t src_x, int32_t src_y, int32_t src_w, int32_t src_h,
                       const void* pixels, const void* header, uint32_t usage, uint32_t rop);
/// Takes up the library's vector level, which the library probes once and
/// hands on here (gx_simd_select()): a backend with fast paths of its own in
/// the presentation uses them up to that level.
/// \param level 0 plain, 1 SSE2, 2 AVX2 (the GX_SIMD_ constants of gfx/simd.h).
void pf_select_vector_level(int32_t level);

// Palettes. `logical_palette` is version (16 bits), count (16 bits), entries.
/// Makes a palette object.
/// \param logical_palette Version (16 bits), count (16 bits), then the entries.
/// \return The palette, or null.
PfPalette pf_create_palette(const void* logical_palette);
/// Selects a palette into a context.
/// \param dc The context.
/// \param palette The palette.
/// \param force_background Whether it is realized as a background palette.
/// \return The palette it displaced.
PfPalette pf_select_palette(PfDC dc, PfPalette palette, bool force_background);
/// Maps a context's palette onto the system palette.
/// \param dc The context.
void pf_realize_palette(PfDC dc);
/// Changes animatable palette entries at once on the screen.
/// \param palette The palette.
/// \param first First entry.
/// \param count Number of entries.
/// \param entries The new entries.
void pf_animate_palette(PfPalette palette, int32_t first, int32_t count,
                        const PfPaletteEntry* entries);

// ---- Files ----------------------------------------------------------------
/// pf_file_seek() origin: the start of the file.
inline constexpr int32_t PF_SEEK_BEGIN = 0;
/// pf_file_seek() origin: the end of the file.
inline constexpr int32_t PF_SEEK_END = 2;
/// Opens a file for reading.
/// \param name Its name.
/// \return The file, or null when it cannot be opened.
PfFile pf_file_open_read(const char* name);  // null when it cannot be opened
// Reads up to `bytes`; *transferred gets how many came (0 at the end).
/// Reads up to `bytes` bytes.
/// \param file The file.
/// \param to Where they go.
/// \param bytes How many to read.
/// \param transferred Receives how many came (0 at the end).
void pf_file_read(PfFile file, void* to, uint32_t bytes, uint32_t* transferred);
/// Moves the read position.
/// \param file The file.
/// \param offset Bytes from the origin.
/// \param origin #PF_SEEK_BEGIN or #PF_SEEK_END.
void pf_file_seek(PfFile file, int32_t offset, int32_t origin);
/// Closes a file.
/// \param file The file.
void pf_file_close(PfFile file);

// ---- Dynamic modules ------------------------------------------------------
/// Loads a dynamic library.
/// \param name Its file name.
/// \return The library, or null.
PfModule pf_module_load(const char* name);
/// An exported symbol of a loaded library.
/// \param module The library.
/// \param name The symbol's name.
/// \return Its address, or null.
void* pf_module_symbol(PfModule module, const char* name);
/// Releases a loaded library.
/// \param module The library; null is ignored.
void pf_module_free(PfModule module);

// ---- Keyboard -------------------------------------------------------------
// Scan code to virtual-key code (MapVirtualKey type 1); 0 when none.
/// The virtual-key code of a keyboard scan code.
/// \param scan_code A PC set-1 scan code.
/// \return The virtual-key code, or 0 when none.
uint32_t pf_scan_to_virtual_key(uint32_t scan_code);
// GetAsyncKeyState: the sign bit is set while the key is down.
/// Whether a key is down now.
/// \param virtual_key The virtual-key code.
/// \return A negative value (sign bit set) while the key is down.
int16_t pf_async_key_state(uint32_t virtual_key);
// GetKeyboardState: one byte per virtual-key code (0x80 down, 0x01 toggled).
/// The state of every key.
/// \param state Receives one byte per virtual-key code: 0x80 down, 0x01 toggled.
void pf_keyboard_state(uint8_t state[256]);
