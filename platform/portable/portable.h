// The platform layer shared by the backends that do not sit on a native
// graphics system (headless and SDL).
//
// The portable layer defines these functions of platform/platform.h:
//   memory blocks   pf_mem_alloc, pf_mem_lock, pf_mem_unlock, pf_mem_handle, pf_mem_free
//   files           pf_file_open_read, pf_file_read, pf_file_seek, pf_file_close
//   modules         pf_module_load, pf_module_symbol, pf_module_free (dlopen)
//   contexts        pf_create_memory_dc, pf_delete_dc, pf_select_object, pf_delete_object
//   fonts           pf_stock_object, pf_text_metrics
//   bitmaps         pf_create_dib_section
//   presentation    pf_set_stretch_mode, pf_stretch_dib
//   palettes        pf_create_palette, pf_select_palette, pf_realize_palette, pf_animate_palette
//   keys            pf_scan_to_virtual_key (set-1 scan code -> virtual key, US layout)
//
// Each backend defines the rest of platform/platform.h:
//   pf_screen_format, pf_system_palette_entries, pf_version,
//   pf_async_key_state, pf_keyboard_state,
// and the hook below, pf_backend_presented.
//
// Window device contexts. A window DC owns a client image: width x height
// pixels, row 0 at the top, each pixel a uint32_t 0x00RRGGBB. pf_stretch_dib
// onto a window DC draws into that image and then calls pf_backend_presented;
// the backend shows the image (SDL) or does nothing (headless). Stretching
// onto any other DC draws nothing.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Creates a window DC with a zero (black) client image of the given size
// (sizes below 0 count as 0). Release it with pf_delete_dc.
PfDC pf_portable_create_window_dc(int32_t width, int32_t height);
// Gives the window DC a new client size; the image is cleared to black.
// Allocates only when the image grows.
void pf_portable_resize_window_dc(PfDC dc, int32_t width, int32_t height);
// The client image of a window DC and its size; null (and 0 x 0) for any
// other DC. The pointer stays valid until the next resize or delete.
const uint32_t* pf_portable_client_image(PfDC dc, int32_t* width, int32_t* height);
// How many times pf_stretch_dib has drawn onto this window DC.
int32_t pf_portable_present_count(PfDC dc);

// Defined by each backend: called after pf_stretch_dib drew into a window
// DC's client image.
void pf_backend_presented(PfDC dc);

// The stretch itself, for callers that hold their own image (benchmarks).
// COLORONCOLOR semantics: every destination pixel takes the nearest source
// pixel, no blending. Destination rectangle (dst_x, dst_y, dst_w, dst_h) in
// image coordinates (row 0 at the top); source rectangle with src_y counted
// from the bottom row of the bottom-up bitmap. Along each axis destination
// pixel d of D takes source pixel floor((d + 1/2) * S / D), computed exactly
// as ((2d + 1) * S) / (2D) in 64-bit integers. Destination pixels outside
// the image, or whose source pixel lies outside the bitmap, are left alone;
// a destination or source width or height below 1 draws nothing.
// 8-bit sources take their colours from the header's colour part (usage 0)
// or, through 16-bit indices (usage 1), from `palette`; 16-bit pixels are
// widened by bit replication (5 bits: v << 3 | v >> 2; 6 bits: v << 2 | v >> 4).
// Returns the number of destination rows drawn. Allocates nothing.
struct PfPortableImage {
    uint32_t* pixels;
    int32_t width;
    int32_t height;
    int32_t* column_table;  // room for `width` entries
};
int32_t pf_portable_stretch(const PfPortableImage& image, int32_t dst_x, int32_t dst_y,
                            int32_t dst_w, int32_t dst_h, int32_t src_x, int32_t src_y,
                            int32_t src_w, int32_t src_h, const void* pixels, const void* header,
                            uint32_t usage, const PfPaletteEntry* palette, int32_t palette_count);

// Virtual-key codes the program's keys translate to.
inline constexpr uint32_t PF_VK_SHIFT = 0x10;
inline constexpr uint32_t PF_VK_LEFT = 0x25;
inline constexpr uint32_t PF_VK_UP = 0x26;
inline constexpr uint32_t PF_VK_RIGHT = 0x27;
inline constexpr uint32_t PF_VK_DOWN = 0x28;
inline constexpr uint32_t PF_VK_ADD = 0x6B;
inline constexpr uint32_t PF_VK_SUBTRACT = 0x6D;

// Test support, used through platform/headless/headless.h.
// Lets the next `skip` allocations (memory blocks and DIB sections) succeed
// and makes the `count` after them fail.
void pf_portable_fail_allocations(int32_t skip, int32_t count);
// Memory blocks allocated and not yet freed.
int32_t pf_portable_live_blocks();
// Bitmaps, palettes and device contexts created and not yet deleted.
int32_t pf_portable_live_objects();
