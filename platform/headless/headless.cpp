// The memory-only backend: screen, system palette, version and keyboard are
// plain variables that the test hooks set.
#include <algorithm>
#include <cstring>

#include "platform/headless/headless.h"
#include "platform/portable/portable.h"

namespace {

struct Screen {
    int32_t bits = 32;
    int32_t planes = 1;
    uint32_t version = HEADLESS_VERSION_NT;
    PfPaletteEntry system_palette[256] = {};
    uint8_t keys[256] = {};
};

Screen& screen() {
    static Screen s;
    return s;
}

void default_system_palette(PfPaletteEntry* entries) {
    static const uint8_t LOW[10][3] = {
        {0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {164, 200, 240}};
    static const uint8_t HIGH[10][3] = {
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};
    std::fill(entries, entries + 256, PfPaletteEntry{0, 0, 0, 0});
    for (int i = 0; i < 10; ++i) {
        entries[i] = {LOW[i][0], LOW[i][1], LOW[i][2], 0};
        entries[246 + i] = {HIGH[i][0], HIGH[i][1], HIGH[i][2], 0};
    }
}

struct DefaultsOnStart {
    DefaultsOnStart() { default_system_palette(screen().system_palette); }
} defaults_on_start;

}  // namespace

// ---- Backend functions -----------------------------------------------------

void pf_screen_format(int32_t* bits_per_pixel, int32_t* planes) {
    if (bits_per_pixel != nullptr) *bits_per_pixel = screen().bits;
    if (planes != nullptr) *planes = screen().planes;
}

void pf_system_palette_entries(int32_t first, int32_t count, PfPaletteEntry* out) {
    if (out == nullptr) return;
    for (int32_t i = 0; i < count; ++i) {
        const int64_t index = static_cast<int64_t>(first) + i;
        out[i] = index >= 0 && index < 256 ? screen().system_palette[index] : PfPaletteEntry{};
    }
}

uint32_t pf_version() { return screen().version; }

int16_t pf_async_key_state(uint32_t virtual_key) {
    if (virtual_key > 255) return 0;
    return (screen().keys[virtual_key] & 0x80) != 0 ? static_cast<int16_t>(-0x8000) : 0;
}

void pf_keyboard_state(uint8_t state[256]) {
    if (state != nullptr) std::memcpy(state, screen().keys, 256);
}

void pf_backend_presented(PfDC) {}

// ---- Test hooks ------------------------------------------------------------

void headless_reset() {
    Screen& s = screen();
    s.bits = 32;
    s.planes = 1;
    s.version = HEADLESS_VERSION_NT;
    default_system_palette(s.system_palette);
    std::memset(s.keys, 0, sizeof s.keys);
    pf_portable_fail_allocations(0, 0);
}

void headless_set_screen(int32_t bits_per_pixel, int32_t planes) {
    screen().bits = bits_per_pixel;
    screen().planes = planes;
}

void headless_set_system_palette(int32_t first, int32_t count, const PfPaletteEntry* entries) {
    if (entries == nullptr) return;
    for (int32_t i = 0; i < count; ++i) {
        const int64_t index = static_cast<int64_t>(first) + i;
        if (index >= 0 && index < 256) screen().system_palette[index] = entries[i];
    }
}

void headless_set_version(uint32_t value) { screen().version = value; }

void headless_set_key_byte(uint32_t virtual_key, uint8_t state) {
    if (virtual_key < 256) screen().keys[virtual_key] = state;
}

void headless_set_scan_key(uint32_t scan_code, bool down) {
    const uint32_t vk = pf_scan_to_virtual_key(scan_code);
    uint8_t& byte = screen().keys[vk];
    byte = static_cast<uint8_t>(down ? (byte | 0x80) : (byte & 0x7F));
}

PfDC headless_window_dc(int32_t width, int32_t height) {
    return pf_portable_create_window_dc(width, height);
}

void headless_resize_window_dc(PfDC dc, int32_t width, int32_t height) {
    pf_portable_resize_window_dc(dc, width, height);
}

const uint32_t* headless_client_image(PfDC dc, int32_t* width, int32_t* height) {
    return pf_portable_client_image(dc, width, height);
}

int32_t headless_present_count(PfDC dc) { return pf_portable_present_count(dc); }

void headless_fail_allocations(int32_t skip, int32_t count) {
    pf_portable_fail_allocations(skip, count);
}

int32_t headless_live_blocks() { return pf_portable_live_blocks(); }

int32_t headless_live_objects() { return pf_portable_live_objects(); }
