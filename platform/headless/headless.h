// Test hooks of the headless backend: the screen, the system palette, the
// system version and the keyboard are settable; window DCs present into a
// readable client image; allocations can be made to fail and counted.
// Everything is deterministic.
#pragma once

/// \file platform/headless/headless.h
/// \brief The memory-only backend (gx::headless): no window, no screen.
///
/// Its window contexts present into an image in memory that a program can
/// read, its screen, keyboard and system version can be set, and its memory
/// allocations can be made to fail, so that programs and tests run anywhere
/// and give the same pixels everywhere.
#include <cstdint>

#include "platform/platform.h"

// Back to the defaults: a 32-bit, 1-plane screen, an NT-family version, the
// default system palette, no key down, no allocation failing.
/// Puts everything back to the defaults: a 32-bit, 1-plane screen, an
/// NT-family version, the default system palette, no key down, no
/// allocation failing.
void headless_reset();

/// Sets the screen's format, as pf_screen_format() reports it.
/// \param bits_per_pixel Bits per pixel.
/// \param planes Planes.
void headless_set_screen(int32_t bits_per_pixel, int32_t planes);
// Sets system palette entries [first, first + count); the rest of the 256
// are kept. By default entries 0-9 and 246-255 hold the static colours and
// the others are black.
/// Sets system palette entries [first, first + count); the others are kept.
/// \param first First entry.
/// \param count Number of entries.
/// \param entries The entries.
void headless_set_system_palette(int32_t first, int32_t count, const PfPaletteEntry* entries);
// The value pf_version returns (top bit clear on the NT family).
/// Sets the value pf_version() returns.
/// \param value #HEADLESS_VERSION_NT, #HEADLESS_VERSION_NOT_NT or another value.
void headless_set_version(uint32_t value);
/// A version of the NT family.
inline constexpr uint32_t HEADLESS_VERSION_NT = 0x0A280105;
/// A version outside the NT family.
inline constexpr uint32_t HEADLESS_VERSION_NOT_NT = 0xC0000A04;

// Keyboard: one state byte per virtual key (0x80 down, 0x01 toggled).
// Both the asynchronous and the queued key state read these bytes.
/// Sets a key's state byte.
/// \param virtual_key The virtual-key code.
/// \param state 0x80 down, 0x01 toggled, or both.
void headless_set_key_byte(uint32_t virtual_key, uint8_t state);
// Presses or releases the key with this set-1 scan code (through the same
// scan-code table the library's key test uses), keeping its toggle bit.
// Both Shift keys (42, 54) are the one Shift virtual key, so either sets it.
/// Presses or releases a key by its scan code (what gx_key_test() asks for).
/// \param scan_code A PC set-1 scan code.
/// \param down Whether the key is down.
void headless_set_scan_key(uint32_t scan_code, bool down);

// A window DC with a client area of the given size, and what was presented
// into it (0x00RRGGBB, row 0 at the top). Release it with pf_delete_dc.
/// Makes a window context: gx_buffer_scale_blit() presents into its client
/// image. Release it with pf_delete_dc().
/// \param width Client width in pixels.
/// \param height Client height in pixels.
/// \return The context.
PfDC headless_window_dc(int32_t width, int32_t height);
/// Gives a window context a new client size.
/// \param dc The context.
/// \param width Client width.
/// \param height Client height.
void headless_resize_window_dc(PfDC dc, int32_t width, int32_t height);
/// What was presented into a window context.
/// \param dc The context.
/// \param width Receives the client width.
/// \param height Receives the client height.
/// \return The client image, 0x00RRGGBB pixels, top row first.
const uint32_t* headless_client_image(PfDC dc, int32_t* width, int32_t* height);
/// How many times something was presented into a window context.
/// \param dc The context.
/// \return The count.
int32_t headless_present_count(PfDC dc);

// Lets `skip` allocations (memory blocks and DIB sections) succeed, then
// makes `count` fail.
/// Lets `skip` allocations (memory blocks and bitmaps) succeed, then makes
/// `count` fail.
/// \param skip Allocations that succeed first.
/// \param count Allocations that fail then.
void headless_fail_allocations(int32_t skip, int32_t count);
// Live memory blocks; live bitmaps, palettes and device contexts.
/// Memory blocks allocated and not yet freed.
/// \return The count.
int32_t headless_live_blocks();
/// Bitmaps, palettes and device contexts made and not yet deleted.
/// \return The count.
int32_t headless_live_objects();
