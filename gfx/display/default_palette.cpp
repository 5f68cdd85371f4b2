// The default palette. Entries 0-9 and 246-255 are the system's static
// colours; entries 10-245 are built from 6-bit levels v, expanded to
// v * 255 / 63 with the fraction dropped.
#include "gfx/display/display.h"

namespace {

constexpr uint8_t expand(int level) { return static_cast<uint8_t>(level * 255 / 63); }

constexpr DefaultPalette build() {
    DefaultPalette t{};
    const uint8_t low[10][3] = {{0, 0, 0},       {128, 0, 0},    {0, 128, 0},   {128, 128, 0},
                                {0, 0, 128},     {128, 0, 128},  {0, 128, 128}, {192, 192, 192},
                                {192, 220, 192}, {164, 200, 240}};
    const uint8_t high[10][3] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                                 {0, 255, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                                 {0, 255, 255},   {255, 255, 255}};
    for (int i = 0; i < 10; ++i)
        for (int c = 0; c < 3; ++c) {
            t.rgb[i][c] = low[i][c];
            t.rgb[246 + i][c] = high[i][c];
        }
    // 10-25: the sixteen colours of the classic text-mode set, in 6-bit levels
    // 0, 21, 42, 63 (0, 85, 170, 255).
    const int sixteen[16][3] = {{0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},
                                {42, 0, 0},   {42, 0, 42},  {42, 21, 0},  {42, 42, 42},
                                {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
                                {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63}};
    for (int i = 0; i < 16; ++i)
        for (int c = 0; c < 3; ++c) t.rgb[10 + i][c] = expand(sixteen[i][c]);
    // 26-29: a grey ramp.
    const int grey[4] = {0, 21, 42, 63};
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 3; ++c) t.rgb[26 + i][c] = expand(grey[i]);
    // 30-245: nine rings of 24 hues, each ring with levels L < m1 < m2 < m3 < H
    // (6-bit): blue -> magenta -> red -> yellow -> green -> cyan -> blue.
    const int levels[9][5] = {{0, 16, 31, 47, 63}, {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63},
                              {0, 7, 14, 21, 28},  {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28},
                              {0, 4, 8, 12, 16},   {8, 10, 12, 14, 16},  {11, 12, 13, 15, 16}};
    // Each ring step as level indices (0 = L ... 4 = H) of red, green, blue.
    const int steps[24][3] = {{0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {4, 0, 4}, {4, 0, 3},
                              {4, 0, 2}, {4, 0, 1}, {4, 0, 0}, {4, 1, 0}, {4, 2, 0}, {4, 3, 0},
                              {4, 4, 0}, {3, 4, 0}, {2, 4, 0}, {1, 4, 0}, {0, 4, 0}, {0, 4, 1},
                              {0, 4, 2}, {0, 4, 3}, {0, 4, 4}, {0, 3, 4}, {0, 2, 4}, {0, 1, 4}};
    for (int ring = 0; ring < 9; ++ring)
        for (int k = 0; k < 24; ++k)
            for (int c = 0; c < 3; ++c)
                t.rgb[30 + ring * 24 + k][c] = expand(levels[ring][steps[k][c]]);
    return t;
}

}  // namespace

constinit const DefaultPalette gx_default_palette = build();
