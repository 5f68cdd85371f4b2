// The narrow interface between the graphics library and the operating system.
//
// Every backend (win32, sdl, headless) implements exactly these functions and
// nothing the library calls lies outside them. Handles are opaque: the library
// stores and passes them, never looks inside.
#pragma once

#include <cstddef>
#include <cstdint>

using PfDC = struct PfDC_*;            // a device context (window, screen or memory)
using PfObject = struct PfObject_*;    // any selectable object (bitmap, font, palette)
using PfBitmap = struct PfBitmap_*;    // a DIB section
using PfPalette = struct PfPalette_*;  // a logical palette object
using PfMem = struct PfMem_*;          // a global memory block handle
using PfFile = struct PfFile_*;        // a file open for reading
using PfModule = struct PfModule_*;    // a loaded dynamic library

// Bitmaps and palettes are selectable objects too.
inline PfObject pf_as_object(PfBitmap bitmap) { return reinterpret_cast<PfObject>(bitmap); }
inline PfObject pf_as_object(PfPalette palette) { return reinterpret_cast<PfObject>(palette); }

// One palette entry as the platform stores it: red, green, blue, flags.
struct PfPaletteEntry {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t flags;
};

// ---- Global memory blocks -------------------------------------------------
inline constexpr unsigned PF_MEM_FIXED = 0x00;
inline constexpr unsigned PF_MEM_MOVEABLE = 0x02;
inline constexpr unsigned PF_MEM_ZEROINIT = 0x40;

// Zero-filled when PF_MEM_ZEROINIT is given; null on failure. A fixed block's
// handle is its address.
PfMem pf_mem_alloc(unsigned flags, size_t bytes);
void* pf_mem_lock(PfMem block);
void pf_mem_unlock(PfMem block);
// The handle that owns the block at this address, or null.
PfMem pf_mem_handle(const void* address);
void pf_mem_free(PfMem block);

// ---- Display services -----------------------------------------------------
// Bits per pixel and planes of the screen (GetDC(null), GetDeviceCaps, ReleaseDC).
void pf_screen_format(int32_t* bits_per_pixel, int32_t* planes);
// Reads system palette entries [first, first + count) of the screen.
void pf_system_palette_entries(int32_t first, int32_t count, PfPaletteEntry* out);
// 32-bit value in the layout of GetVersion(): top bit clear on the NT family.
uint32_t pf_version();

PfDC pf_create_memory_dc();
void pf_delete_dc(PfDC dc);
// Selects a bitmap or font into a context; returns the object it displaced.
PfObject pf_select_object(PfDC dc, PfObject object);
void pf_delete_object(PfObject object);

// Stock objects and text metrics.
PfObject pf_stock_object(int32_t number);
struct PfTextMetrics {
    int32_t height;
    int32_t external_leading;
    int32_t avg_char_width;
};
void pf_text_metrics(PfDC dc, PfTextMetrics* out);

// DIB sections. `header` is a BITMAPINFOHEADER (or V4 header) followed by
// its colour part; `usage` is 0 (RGB colours) or 1 (palette indices). The
// pixel memory is written through *pixels, bottom row first.
// The 40-byte info header (BITMAPINFOHEADER layout, little-endian).
struct PfBitmapInfoHeader {
    uint32_t size;
    int32_t width;
    int32_t height;  // positive: bottom-up rows
    uint16_t planes;
    uint16_t bit_count;
    uint32_t compression;
    uint32_t size_image;
    int32_t x_pels_per_meter;
    int32_t y_pels_per_meter;
    uint32_t colors_used;
    uint32_t colors_important;
};
static_assert(sizeof(PfBitmapInfoHeader) == 40);
// The 108-byte version-4 header (BITMAPV4HEADER layout). The masks sit right
// after the info header, so a size field of 40 reads as info header + masks.
struct PfBitmapV4Header {
    PfBitmapInfoHeader info;
    uint32_t red_mask;
    uint32_t green_mask;
    uint32_t blue_mask;
    uint32_t alpha_mask;
    uint32_t cs_type;
    int32_t endpoints[9];
    uint32_t gamma_red;
    uint32_t gamma_green;
    uint32_t gamma_blue;
};
static_assert(sizeof(PfBitmapV4Header) == 108);
inline constexpr uint32_t PF_BI_RGB = 0;
inline constexpr uint32_t PF_BI_BITFIELDS = 3;

inline constexpr uint32_t PF_DIB_RGB_COLORS = 0;
inline constexpr uint32_t PF_DIB_PAL_COLORS = 1;
PfBitmap pf_create_dib_section(PfDC dc, const void* header, uint32_t usage, void** pixels);

// Presentation.
inline constexpr int32_t PF_COLORONCOLOR = 3;
inline constexpr uint32_t PF_SRCCOPY = 0x00CC0020;
void pf_set_stretch_mode(PfDC dc, int32_t mode);
// Source y is counted from the bottom row of the bottom-up bitmap.
int32_t pf_stretch_dib(PfDC dc, int32_t dst_x, int32_t dst_y, int32_t dst_w, int32_t dst_h,
                       int32_t src_x, int32_t src_y, int32_t src_w, int32_t src_h,
                       const void* pixels, const void* header, uint32_t usage, uint32_t rop);
// The library's vector level (gfx/simd.h: 0 plain, 1 SSE2, 2 AVX2), which
// the library probes once and hands on here (gx_simd_select): a backend
// with fast paths of its own in the presentation takes them up to it.
void pf_select_vector_level(int32_t level);

// Palettes. `logical_palette` is version (16 bits), count (16 bits), entries.
PfPalette pf_create_palette(const void* logical_palette);
PfPalette pf_select_palette(PfDC dc, PfPalette palette, bool force_background);
void pf_realize_palette(PfDC dc);
void pf_animate_palette(PfPalette palette, int32_t first, int32_t count,
                        const PfPaletteEntry* entries);

// ---- Files ----------------------------------------------------------------
inline constexpr int32_t PF_SEEK_BEGIN = 0;
inline constexpr int32_t PF_SEEK_END = 2;
PfFile pf_file_open_read(const char* name);  // null when it cannot be opened
// Reads up to `bytes`; *transferred gets how many came (0 at the end).
void pf_file_read(PfFile file, void* to, uint32_t bytes, uint32_t* transferred);
void pf_file_seek(PfFile file, int32_t offset, int32_t origin);
void pf_file_close(PfFile file);

// ---- Dynamic modules ------------------------------------------------------
PfModule pf_module_load(const char* name);
void* pf_module_symbol(PfModule module, const char* name);
void pf_module_free(PfModule module);

// ---- Keyboard -------------------------------------------------------------
// Scan code to virtual-key code (MapVirtualKey type 1); 0 when none.
uint32_t pf_scan_to_virtual_key(uint32_t scan_code);
// GetAsyncKeyState: the sign bit is set while the key is down.
int16_t pf_async_key_state(uint32_t virtual_key);
// GetKeyboardState: one byte per virtual-key code (0x80 down, 0x01 toggled).
void pf_keyboard_state(uint8_t state[256]);
