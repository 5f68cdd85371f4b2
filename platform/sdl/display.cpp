// Display facts of the SDL backend: the screen's pixel format, the system
// palette and the system version.
#include <SDL.h>

#include "platform/platform.h"

void pf_screen_format(int32_t* bits_per_pixel, int32_t* planes) {
    *planes = 1;
    *bits_per_pixel = 32;
    SDL_DisplayMode mode;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || SDL_GetDesktopDisplayMode(0, &mode) != 0) return;
    // Formats of 3 or 4 bytes a pixel count by their storage (a 24-bit
    // colour kept in 32 bits is a 32-bit screen); smaller ones by their
    // colour bits, so 5-5-5 reports 15.
    const int bytes = SDL_BYTESPERPIXEL(mode.format);
    *bits_per_pixel = bytes >= 3 ? bytes * 8 : static_cast<int32_t>(SDL_BITSPERPIXEL(mode.format));
}

namespace {

// SDL has no system palette. This one holds the twenty colours a palette
// screen reserves (entries 0 to 9 and 246 to 255); the others are black.
constexpr uint8_t STATIC_LOW[10][3] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {164, 200, 240},
};
constexpr uint8_t STATIC_HIGH[10][3] = {
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255},
};

PfPaletteEntry system_entry(int32_t index) {
    const uint8_t* rgb = nullptr;
    if (index >= 0 && index < 10) rgb = STATIC_LOW[index];
    if (index >= 246 && index < 256) rgb = STATIC_HIGH[index - 246];
    if (rgb == nullptr) return PfPaletteEntry{0, 0, 0, 0};
    return PfPaletteEntry{rgb[0], rgb[1], rgb[2], 0};
}

}  // namespace

void pf_system_palette_entries(int32_t first, int32_t count, PfPaletteEntry* out) {
    for (int32_t k = 0; k < count; ++k) out[k] = system_entry(first + k);
}

// Shaped like GetVersion() of an NT-family system (6.2, build 9200): the top
// bit is clear.
uint32_t pf_version() { return (9200u << 16) | (2u << 8) | 6u; }
