// Test hooks of the headless backend: the screen, the system palette, the
// system version and the keyboard are settable; window DCs present into a
// readable client image; allocations can be made to fail and counted.
// Everything is deterministic.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Back to the defaults: a 32-bit, 1-plane screen, an NT-family version, the
// default system palette, no key down, no allocation failing.
void headless_reset();

void headless_set_screen(int32_t bits_per_pixel, int32_t planes);
// Sets system palette entries [first, first + count); the rest of the 256
// are kept. By default entries 0-9 and 246-255 hold the static colours and
// the others are black.
void headless_set_system_palette(int32_t first, int32_t count, const PfPaletteEntry* entries);
// The value pf_version returns (top bit clear on the NT family).
void headless_set_version(uint32_t value);
inline constexpr uint32_t HEADLESS_VERSION_NT = 0x0A280105;
inline constexpr uint32_t HEADLESS_VERSION_NOT_NT = 0xC0000A04;

// Keyboard: one state byte per virtual key (0x80 down, 0x01 toggled).
// Both the asynchronous and the queued key state read these bytes.
void headless_set_key_byte(uint32_t virtual_key, uint8_t state);
// Presses or releases the key with this set-1 scan code (through the same
// scan-code table the library's key test uses), keeping its toggle bit.
// Both Shift keys (42, 54) are the one Shift virtual key, so either sets it.
void headless_set_scan_key(uint32_t scan_code, bool down);

// A window DC with a client area of the given size, and what was presented
// into it (0x00RRGGBB, row 0 at the top). Release it with pf_delete_dc.
PfDC headless_window_dc(int32_t width, int32_t height);
void headless_resize_window_dc(PfDC dc, int32_t width, int32_t height);
const uint32_t* headless_client_image(PfDC dc, int32_t* width, int32_t* height);
int32_t headless_present_count(PfDC dc);

// Lets `skip` allocations (memory blocks and DIB sections) succeed, then
// makes `count` fail.
void headless_fail_allocations(int32_t skip, int32_t count);
// Live memory blocks; live bitmaps, palettes and device contexts.
int32_t headless_live_blocks();
int32_t headless_live_objects();
