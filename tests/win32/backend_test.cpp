// The Windows backend against the real kernel, USER and GDI (under Wine when
// cross-compiled). The GDI tests start a fresh library on the DC of one real
// top-level window: creating one costs Wine seconds without a window manager.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/row_rule.h"
#include "platform/win32/win32_handles.h"

namespace {

// Both kinds start zeroed and are known by their address; a fixed block's
// handle is its address.
TEST(GlobalMemory, BlocksAreZeroedAndKnownByAddress) {
    for (const auto& [flags, size] : {std::pair{PF_MEM_MOVEABLE, 1064}, {PF_MEM_FIXED, 4096}}) {
        const PfMem block = pf_mem_alloc(flags | PF_MEM_ZEROINIT, static_cast<size_t>(size));
        ASSERT_NE(block, nullptr) << flags;
        auto* p = static_cast<uint8_t*>(pf_mem_lock(block));
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(flags != PF_MEM_FIXED || static_cast<void*>(p) == static_cast<void*>(block));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(p), static_cast<size_t>(size)),
                  std::string(static_cast<size_t>(size), '\0'));
        EXPECT_EQ(pf_mem_handle(p), block);
        pf_mem_unlock(block);
        pf_mem_free(pf_mem_handle(p));
    }
}

TEST(Files, ReadSeekFromEitherEndCloseAndMissingFiles) {
    const std::string path = "gx_win32_test_" + std::to_string(GetCurrentProcessId()) + ".bin";
    std::ofstream(path, std::ios::binary) << "0123456789";
    const PfFile f = pf_file_open_read(path.c_str());
    ASSERT_NE(f, nullptr);
    char buf[16] = {};
    uint32_t got = 99;
    const auto read = [&](uint32_t bytes) {
        pf_file_read(f, buf, bytes, &got);
        return std::string(buf, got);
    };
    EXPECT_EQ(read(4), "0123");
    pf_file_seek(f, -3, PF_SEEK_END);
    EXPECT_EQ(read(8), "789");  // only three remain
    EXPECT_EQ(read(8), "");
    pf_file_seek(f, 2, PF_SEEK_BEGIN);
    EXPECT_EQ(read(3), "234");
    pf_file_close(f);
    EXPECT_TRUE(DeleteFileA(path.c_str()));  // closed: the file can be deleted at once
    EXPECT_EQ(pf_file_open_read((path + ".missing").c_str()), nullptr);
}

constexpr int32_t CLIENT_WIDTH = 96,
                  CLIENT_HEIGHT = 64;  // a borderless popup: window = client

void pump_messages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

HWND shared_window() {
    static const HWND window = [] {
        const WNDCLASSA wc{0,       DefWindowProcA, 0,       0,       GetModuleHandleA(nullptr),
                           nullptr, nullptr,        nullptr, nullptr, "GxTestWindow"};
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
    // A buffer of this depth and size, opened: its slot, or -1.
    static int32_t open_buffer(int32_t depth, int32_t width, int32_t height) {
        gx_set_buffer_depth(depth);
        const int32_t slot = gx_buffer_alloc(width, height);
        return slot >= 0 && gx_buffer_open(slot) == 0 ? slot : -1;
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

// The DIB sections gx_buffer_alloc makes, as GDI reads them: the row rule
// (row 0 at the top, memory bottom-up) must put a pixel where GDI shows it.
// 16 and 32 bits carry their masks in a version-4 header (108 bytes), whose
// size field says 40 on the NT family: GDI must take both forms and honour
// the masks (5-5-5 would read 0x8A53 otherwise). 8 bits: default palette
// entry 249 is red.
TEST_F(DibLayout, RowRuleHeaderAndMasksMatchWhatGdiReads) {
    palette_ = hpalette_from_pf(gx_create_palette());  // rgb_table for the 8-bit colour part
    ASSERT_NE(palette_, nullptr);
    const HDC memory = hdc_from_pf(gx_state.memory_dc);
    const struct {
        int32_t depth;
        uint8_t nt;
        uint32_t size_field, compression;
        std::vector<DWORD> masks;
        uint32_t marker, expected;
    } cases[] = {{8, 1, 40, BI_RGB, {}, 249, 0xFF0000},
                 {16, 1, 40, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, 0x8A53, widen565(0x8A53)},
                 {16, 0, 108, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, 0x8A53, widen565(0x8A53)},
                 {24, 1, 40, BI_RGB, {}, 0x123456, 0x123456},
                 {32, 1, 40, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF}, 0x123456, 0x123456},
                 {32, 0, 108, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF}, 0x123456, 0x123456}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "depth " << c.depth << ", is_nt " << int{c.nt});
        gx_state.is_nt = c.nt;
        const int32_t slot = open_buffer(c.depth, 6, 5);  // padded to 8 x 5
        ASSERT_GE(slot, 0);
        uint32_t size_field = 0;
        std::memcpy(&size_field, gx_state.active_header, 4);
        EXPECT_EQ(size_field, c.size_field);
        DIBSECTION ds{};
        const HBITMAP bitmap = hbitmap_from_pf(gx_state.buffer_slots[slot].bitmap);
        ASSERT_EQ(GetObjectA(bitmap, sizeof ds, &ds), static_cast<int>(sizeof ds));
        EXPECT_EQ(ds.dsBm.bmBits, gx_state.active_pixels);
        EXPECT_EQ(std::pair(ds.dsBm.bmWidth, ds.dsBm.bmHeight), std::pair(LONG{8}, LONG{5}));
        EXPECT_EQ(std::pair(int{ds.dsBmih.biBitCount}, ds.dsBmih.biCompression),
                  std::pair(c.depth, DWORD{c.compression}));
        if (!c.masks.empty()) {
            EXPECT_EQ(std::vector<DWORD>(ds.dsBitfields, ds.dsBitfields + 3), c.masks);
        }
        // An irregular pattern of lit pixels that no row or column swap keeps.
        std::vector<uint32_t> shown, expected;
        for (int32_t i = 0; i < 40; ++i) {
            const bool lit = (0xB5A3C1E94Dull >> i & 1) != 0;
            put_pixel(i % 8, i / 8, c.depth, lit ? c.marker : 0);
            expected.push_back(lit ? c.expected : 0);
        }
        GdiFlush();
        for (int32_t i = 0; i < 40; ++i) shown.push_back(rgb_of(GetPixel(memory, i % 8, i / 8)));
        EXPECT_EQ(shown, expected);
        gx_buffer_close();
        gx_buffer_free(slot);
    }
}

// An irregular pattern that reaches every bit of every channel.
uint32_t pattern(int32_t x, int32_t y) {
    return (static_cast<uint32_t>(x * 2053 + y * 4099 + 17) * 2654435761u) >> 8;
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

// gx_buffer_scale_blit onto the cleared window: at 1:1 it shows exactly what
// the buffer holds (16-bit pixels widened by bit replication); source
// columns 8 to 39, rows 10 to 29 onto the top-left 32 x 20 must come from
// the rows named (the source origin is bottom-up) and touch nothing else.
TEST_F(Present, WindowShowsTheBufferRectangleNamed) {
    const struct {
        int32_t depth, x0, y0, width, height;
    } cases[] = {{16, 0, 0, CLIENT_WIDTH, CLIENT_HEIGHT},
                 {24, 0, 0, CLIENT_WIDTH, CLIENT_HEIGHT},
                 {32, 0, 0, CLIENT_WIDTH, CLIENT_HEIGHT},
                 {32, 8, 10, 32, 20}};
    for (const auto& c : cases) {
        const int32_t slot = open_buffer(c.depth, CLIENT_WIDTH, CLIENT_HEIGHT);
        ASSERT_GE(slot, 0);
        std::vector<uint32_t> expected(CLIENT_WIDTH * CLIENT_HEIGHT, 0);
        for (int32_t y = 0; y < CLIENT_HEIGHT; ++y) {
            for (int32_t x = 0; x < CLIENT_WIDTH; ++x) {
                put_pixel(x, y, c.depth, pattern(x, y));
                const uint32_t v = pattern(c.x0 + x, c.y0 + y);
                if (x < c.width && y < c.height)
                    expected[y * CLIENT_WIDTH + x] = c.depth == 16 ? widen565(v & 0xFFFFu)
                                                                   : v & 0xFFFFFFu;
            }
        }
        const RECT all{0, 0, CLIENT_WIDTH, CLIENT_HEIGHT};
        FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EXPECT_EQ(gx_buffer_scale_blit(c.x0, c.x0 + c.width - 1, c.y0, c.y0 + c.height - 1, 0,
                                       c.width - 1, 0, c.height - 1),
                  0);
        EXPECT_TRUE(read_window(dc_) == expected) << "depth " << c.depth << ", from x " << c.x0;
        gx_buffer_close();
        gx_buffer_free(slot);
    }
}

// What start-up learns from the system: the screen depth (Wine on a 24-bit
// X screen reports 32), the family, the colour part chosen by that depth,
// the stock font's metrics and the AVI entry points by name.
TEST_F(System, StartUpRecordsTheSystem) {
    const int32_t depth = gx_display_depth();
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const bool wine = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    EXPECT_TRUE(wine ? depth == 32
                     : depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32)
        << depth;
    EXPECT_EQ(gx_state.is_nt, 1);

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
