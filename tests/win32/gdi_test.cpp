// The Windows backend against the real USER and GDI (under Wine when
// cross-compiled): a fresh library for every test, drawing to one real
// top-level window whose DC it is handed. One window for the whole program:
// creating a top-level window costs Wine seconds without a window manager.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/row_rule.h"
#include "platform/win32/win32_handles.h"

namespace {

constexpr int32_t CLIENT_WIDTH = 96, CLIENT_HEIGHT = 64;  // a borderless popup: window = client

void pump_messages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HWND shared_window() {
    static const HWND window = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "GxTestWindow";
        RegisterClassA(&wc);
        const HWND w = CreateWindowExA(0, wc.lpszClassName, "gx test", WS_POPUP, 0, 0, CLIENT_WIDTH,
                                       CLIENT_HEIGHT, nullptr, nullptr, wc.hInstance, nullptr);
        if (w != nullptr) {
            ShowWindow(w, SW_SHOWNORMAL);
            UpdateWindow(w);
            pump_messages();
        }
        return w;
    }();
    return window;
}

// Start-up done on the window's DC; teardown frees every buffer, shuts the
// library down and releases the DC.
class GdiWindow : public ::testing::Test {
protected:
    void SetUp() override {
        gx_state = GraphicsState{};
        window_ = shared_window();
        ASSERT_NE(window_, nullptr);
        RECT client{};
        GetClientRect(window_, &client);
        ASSERT_EQ(client.right, CLIENT_WIDTH);
        ASSERT_EQ(client.bottom, CLIENT_HEIGHT);
        dc_ = GetDC(window_);
        ASSERT_NE(dc_, nullptr);
        gx_set_dc(pf_from_hdc(dc_));
        gx_initialize();
    }
    void TearDown() override {
        gx_buffer_close();
        gx_buffer_free(-1);
        gx_shutdown();
        if (palette_ != nullptr) DeleteObject(palette_);
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
        pump_messages();
    }
    // A buffer of this depth and size, opened; its slot.
    static int32_t open_buffer(int32_t depth, int32_t width, int32_t height) {
        gx_set_buffer_depth(depth);
        const int32_t slot = gx_buffer_alloc(width, height);
        EXPECT_GE(slot, 0) << "depth " << depth;
        if (slot >= 0) {
            EXPECT_EQ(gx_buffer_open(slot), 0);
        }
        return slot;
    }
    static void close_buffer(int32_t slot) {
        gx_buffer_close();
        gx_buffer_free(slot);
    }

    HWND window_ = nullptr;
    HDC dc_ = nullptr;
    HPALETTE palette_ = nullptr;  // deleted after shutdown put the old one back
};
using DibLayout = GdiWindow;
using Present = GdiWindow;
using System = GdiWindow;

// GDI's colour (0x00BBGGRR) as 0x00RRGGBB.
uint32_t rgb_of(COLORREF c) { return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c); }

// A 5-6-5 pixel widened to 8 bits a channel by bit replication.
uint32_t widen565(uint32_t p) {
    const uint32_t r = p >> 11 & 31u, g = p >> 5 & 63u, b = p & 31u;
    return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

// The low bytes of `value` as the open buffer's pixel (x, y), through the
// library's row rule (little-endian: 24 bits as blue, green, red).
void put_pixel(int32_t x, int32_t y, int32_t depth, uint32_t value) {
    const int32_t bytes = gx_bytes_per_pixel(depth);
    std::memcpy(gx_pixel_address(x, y, bytes), &value, static_cast<size_t>(bytes));
}

// The row rule (row 0 at the top, memory bottom-up) must put a pixel where
// GDI shows it, at every depth. 8 bits: default palette entry 249 is red;
// 16 bits: an irregular 5-6-5 value, read back widened.
TEST_F(DibLayout, RowRuleMatchesWhatGdiReadsAtEveryDepth) {
    palette_ = hpalette_from_pf(gx_create_palette());  // rgb_table for the 8-bit colour part
    ASSERT_NE(palette_, nullptr);
    const HDC memory = hdc_from_pf(gx_state.memory_dc);
    const struct {
        int32_t depth;
        uint32_t marker, expected;
    } cases[] = {{8, 249, 0xFF0000},
                 {16, 0x8A53, widen565(0x8A53)},
                 {24, 0x123456, 0x123456},
                 {32, 0x00123456, 0x123456}};
    for (const auto& c : cases) {
        const int32_t slot = open_buffer(c.depth, 6, 5);  // padded to 8 x 5
        ASSERT_GE(slot, 0);
        ASSERT_EQ(gx_state.active_width, 8);
        for (const auto& m : {POINT{0, 0}, {7, 0}, {0, 4}, {7, 4}, {2, 1}, {5, 3}}) {
            std::memset(gx_state.active_pixels, 0, static_cast<size_t>(gx_state.active_size));
            put_pixel(m.x, m.y, c.depth, c.marker);
            GdiFlush();
            for (int32_t y = 0; y < 5; ++y) {
                for (int32_t x = 0; x < 8; ++x) {
                    ASSERT_EQ(rgb_of(GetPixel(memory, x, y)), x == m.x && y == m.y ? c.expected : 0u)
                        << "depth " << c.depth << ", marker at (" << m.x << ", " << m.y
                        << "), read at (" << x << ", " << y << ")";
                }
            }
        }
        close_buffer(slot);
    }
}

// 16 and 32 bits carry their masks in a version-4 header (108 bytes), whose
// size field says 40 on the NT family: GDI must take both forms and honour
// the masks either way (5-5-5 would read 0xF800 differently).
TEST_F(DibLayout, BothHeaderFormsAreAcceptedWithTheirMasks) {
    const struct {
        int32_t depth;
        DWORD red, green, blue;
        uint32_t marker, expected;
    } cases[] = {{16, 0xF800, 0x07E0, 0x001F, 0xF800, 0xFF0000},
                 {32, 0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0x123456}};
    const HDC memory = hdc_from_pf(gx_state.memory_dc);
    for (const auto& c : cases) {
        for (const uint8_t nt : {uint8_t{1}, uint8_t{0}}) {
            SCOPED_TRACE(testing::Message() << "depth " << c.depth << ", is_nt " << int{nt});
            gx_state.is_nt = nt;
            const int32_t slot = open_buffer(c.depth, 4, 2);
            ASSERT_GE(slot, 0);
            uint32_t size_field = 0;
            std::memcpy(&size_field, gx_state.active_header, 4);
            EXPECT_EQ(size_field, nt ? 40u : 108u);
            DIBSECTION ds{};
            const HBITMAP bitmap = hbitmap_from_pf(gx_state.buffer_slots[slot].bitmap);
            ASSERT_EQ(GetObjectA(bitmap, sizeof ds, &ds), static_cast<int>(sizeof ds));
            EXPECT_EQ(ds.dsBm.bmBits, gx_state.active_pixels);
            EXPECT_EQ(std::pair(ds.dsBm.bmWidth, ds.dsBm.bmHeight), std::pair(LONG{4}, LONG{2}));
            EXPECT_EQ(ds.dsBmih.biBitCount, c.depth);
            EXPECT_EQ(ds.dsBmih.biCompression, static_cast<DWORD>(BI_BITFIELDS));
            EXPECT_EQ(std::vector<DWORD>(ds.dsBitfields, ds.dsBitfields + 3),
                      (std::vector<DWORD>{c.red, c.green, c.blue}));
            put_pixel(3, 0, c.depth, c.marker);
            GdiFlush();
            EXPECT_EQ(rgb_of(GetPixel(memory, 3, 0)), c.expected);
            EXPECT_EQ(rgb_of(GetPixel(memory, 3, 1)), 0u);
            close_buffer(slot);
        }
    }
}

// An irregular pattern that reaches every bit of every channel.
uint32_t pattern(int32_t x, int32_t y) {
    return (static_cast<uint32_t>(x * 2053 + y * 4099 + 17) * 2654435761u) >> 8;
}

void fill_pattern(int32_t depth) {
    for (int32_t y = 0; y < gx_state.active_height; ++y)
        for (int32_t x = 0; x < gx_state.active_width; ++x) put_pixel(x, y, depth, pattern(x, y));
}

// The window's client area read back through a top-down 32-bit DIB section.
std::vector<uint32_t> read_window(HDC window) {
    BITMAPINFO info{};
    info.bmiHeader = {
        sizeof info.bmiHeader, CLIENT_WIDTH, -CLIENT_HEIGHT, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP copy = CreateDIBSection(window, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (copy == nullptr) return {};
    const HDC memory = CreateCompatibleDC(window);
    const HGDIOBJ old = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, CLIENT_WIDTH, CLIENT_HEIGHT, window, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<uint32_t> out(static_cast<const uint32_t*>(bits),
                              static_cast<const uint32_t*>(bits) + CLIENT_WIDTH * CLIENT_HEIGHT);
    for (uint32_t& v : out) v &= 0xFFFFFFu;
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(copy);
    return out;
}

// At 1:1 the window shows exactly what the buffer holds (16-bit pixels
// widened by bit replication).
TEST_F(Present, OneToOneShowsTheBufferExactly) {
    for (int32_t depth : {16, 24, 32}) {
        const int32_t slot = open_buffer(depth, CLIENT_WIDTH, CLIENT_HEIGHT);
        ASSERT_GE(slot, 0);
        fill_pattern(depth);
        EXPECT_EQ(gx_buffer_scale_blit(0, CLIENT_WIDTH - 1, 0, CLIENT_HEIGHT - 1, 0,
                                       CLIENT_WIDTH - 1, 0, CLIENT_HEIGHT - 1),
                  0);
        std::vector<uint32_t> expected;
        for (int32_t y = 0; y < CLIENT_HEIGHT; ++y)
            for (int32_t x = 0; x < CLIENT_WIDTH; ++x)
                expected.push_back(depth == 16 ? widen565(pattern(x, y) & 0xFFFFu)
                                               : pattern(x, y) & 0xFFFFFFu);
        EXPECT_TRUE(read_window(dc_) == expected) << "depth " << depth;
        close_buffer(slot);
    }
}

// Source columns 8 to 39 and rows 10 to 29 onto the top-left 32 x 20 of the
// cleared window: the bottom-up source origin must select exactly those
// rows, and nothing else is touched.
TEST_F(Present, SourceRectangleComesFromTheRowsItNames) {
    const int32_t slot = open_buffer(32, CLIENT_WIDTH, CLIENT_HEIGHT);
    ASSERT_GE(slot, 0);
    fill_pattern(32);
    const RECT all{0, 0, CLIENT_WIDTH, CLIENT_HEIGHT};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    gx_buffer_scale_blit(8, 39, 10, 29, 0, 31, 0, 19);
    std::vector<uint32_t> expected(CLIENT_WIDTH * CLIENT_HEIGHT, 0);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 32; ++x)
            expected[y * CLIENT_WIDTH + x] = pattern(8 + x, 10 + y) & 0xFFFFFFu;
    EXPECT_TRUE(read_window(dc_) == expected);
}

// What start-up learns from the system: the screen depth (Wine on a 24-bit
// X screen reports 32), the family, the colour part chosen by that depth,
// the stock font's metrics and the AVI entry points by name.
TEST_F(System, StartUpRecordsTheSystem) {
    const int32_t depth = gx_display_depth();
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr) {
        EXPECT_EQ(depth, 32);
    }
    EXPECT_TRUE(depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32) << depth;
    EXPECT_EQ(gx_state.is_nt, 1);
    EXPECT_EQ(gx_state.header_alloc_size, depth > 8 ? 1064 : 552);
    EXPECT_NE(gx_state.memory_dc, nullptr);

    TEXTMETRICA tm{};
    const HDC probe = CreateCompatibleDC(nullptr);
    SelectObject(probe, GetStockObject(OEM_FIXED_FONT));
    ASSERT_TRUE(GetTextMetricsA(probe, &tm));
    DeleteDC(probe);
    EXPECT_EQ(gx_state.stock_font, pf_from_hgdiobj(GetStockObject(OEM_FIXED_FONT)));
    EXPECT_EQ(gx_state.line_height, tm.tmHeight + tm.tmExternalLeading);
    EXPECT_EQ(gx_state.avg_char_width, tm.tmAveCharWidth);
    EXPECT_GT(gx_state.line_height, 0);

    const HMODULE avi = GetModuleHandleA("AVIFIL32.DLL");
    ASSERT_NE(avi, nullptr);
    ASSERT_EQ(hmodule_from_pf(gx_state.avi_module), avi);
    for (const AviEntry& e : gx_state.avi_entries) {
        EXPECT_NE(e.address, nullptr) << e.name;
        EXPECT_EQ(e.address, reinterpret_cast<void*>(GetProcAddress(avi, e.name))) << e.name;
    }
}

// The logical palette record is the system's LOGPALETTE: entries come back
// with their colours and the PC_RESERVED flag; realizing selects it, and
// shutdown puts the displaced palette back.
TEST_F(System, PaletteIsMadeSelectedAndPutBack) {
    const HPALETTE before = static_cast<HPALETTE>(GetCurrentObject(dc_, OBJ_PAL));
    palette_ = hpalette_from_pf(gx_create_palette());
    ASSERT_NE(palette_, nullptr);
    EXPECT_EQ(GetPaletteEntries(palette_, 0, 0, nullptr), 256u);
    for (const auto& [index, rgb] :
         {std::pair{249u, 0xFF0000u}, {30u, 0x0000FFu}, {25u, 0xFFFFFFu}}) {
        PALETTEENTRY e{};
        ASSERT_EQ(GetPaletteEntries(palette_, index, 1, &e), 1u);
        EXPECT_EQ(static_cast<uint32_t>(e.peRed << 16 | e.peGreen << 8 | e.peBlue), rgb) << index;
        if (index == 249) {
            EXPECT_EQ(e.peFlags, PC_RESERVED);
        }
    }
    gx_realize_palette(pf_from_hpalette(palette_));
    EXPECT_EQ(GetCurrentObject(dc_, OBJ_PAL), palette_);
    EXPECT_EQ(hpalette_from_pf(gx_state.saved_palette), before);
    gx_shutdown();
    EXPECT_EQ(GetCurrentObject(dc_, OBJ_PAL), before);
    gx_state = GraphicsState{};  // already shut down: teardown has nothing left to do
    gx_set_dc(pf_from_hdc(dc_));
}

// No key is down on the headless display: the any-key test and every key the
// program polls answer 0; the scan codes translate as on Windows.
TEST_F(System, KeyTestWithNoKeyDown) {
    for (int32_t code : {0, 42, 54, 45, 21, 44, 74, 78, 72, 75, 77, 80})
        EXPECT_EQ(gx_key_test(code), 0) << code;
    for (const auto& [scan, key] :
         {std::pair{42u, VK_SHIFT}, {54u, VK_SHIFT}, {45u, 'X'}, {21u, 'Y'}, {44u, 'Z'}})
        EXPECT_EQ(pf_scan_to_virtual_key(scan), static_cast<uint32_t>(key)) << scan;
}

}  // namespace
