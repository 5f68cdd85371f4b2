// A fresh library on the Windows backend for every test, drawing to a real
// top-level window (one for the whole program): the window's DC handed over,
// start-up done. Teardown closes and frees every buffer, shuts the library
// down and releases the DC.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "gfx/gfx.h"
#include "gfx/row_rule.h"
#include "platform/win32/win32_handles.h"

// Client size of the test window (a borderless popup: window = client).
inline constexpr int32_t CLIENT_WIDTH = 96;
inline constexpr int32_t CLIENT_HEIGHT = 64;

class GdiWindow : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Start-up, then a buffer of this depth and size, opened.
    int32_t open_buffer(int32_t depth, int32_t width, int32_t height);

    // Lets the window process what is queued (showing, painting).
    static void pump_messages();
    static HWND shared_window();

    HWND window_ = nullptr;
    HDC dc_ = nullptr;
    HPALETTE palette_ = nullptr;  // deleted after shutdown put the old one back
};

// What GDI reports for a colour, as 0x00RRGGBB (GetPixel gives 0x00BBGGRR).
inline uint32_t rgb_of(COLORREF c) {
    return static_cast<uint32_t>(GetRValue(c)) << 16 | static_cast<uint32_t>(GetGValue(c)) << 8 |
           GetBValue(c);
}

// A 5-6-5 pixel widened to 8 bits a channel by bit replication.
inline uint32_t widen565(uint16_t p) {
    const uint32_t r5 = p >> 11 & 31u, g6 = p >> 5 & 63u, b5 = p & 31u;
    const uint32_t r = r5 << 3 | r5 >> 2, g = g6 << 2 | g6 >> 4, b = b5 << 3 | b5 >> 2;
    return r << 16 | g << 8 | b;
}

// Writes the low bytes of `value` as the open buffer's pixel (x, y) through
// the library's row rule (little-endian: 24 bits as blue, green, red).
inline void put_pixel(int32_t x, int32_t y, int32_t depth, uint32_t value) {
    const int32_t bytes = gx_bytes_per_pixel(depth);
    std::memcpy(gx_pixel_address(x, y, bytes), &value, static_cast<size_t>(bytes));
}

// Whether this process runs under Wine (ntdll exports wine_get_version).
bool running_under_wine();
