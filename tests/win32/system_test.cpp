// What the library learns from the system at start-up, the palette objects it
// makes and selects, and the key test, against the real USER and GDI.
#include "window_fixture.h"

namespace {

using System = GdiWindow;

TEST_F(System, ScreenDepthAndFamily) {
    // Wine on a 24-bit X screen reports 32 bits and 1 plane.
    if (running_under_wine()) {
        EXPECT_EQ(gx_display_depth(), 32);
    }
    const int32_t depth = gx_display_depth();
    EXPECT_TRUE(depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32) << depth;
    EXPECT_EQ(gx_state.is_nt, 1);
    // Start-up chose the colour part by that depth.
    EXPECT_EQ(gx_state.header_alloc_size, depth > 8 ? 1064 : 552);
    EXPECT_NE(gx_state.memory_dc, nullptr);
}

TEST_F(System, AviEntryPointsAreResolvedByName) {
    ASSERT_NE(gx_state.avi_module, nullptr);
    const HMODULE avi = GetModuleHandleA("AVIFIL32.DLL");
    ASSERT_EQ(hmodule_from_pf(gx_state.avi_module), avi);
    for (const AviEntry& e : gx_state.avi_entries) {
        const auto expected = reinterpret_cast<void*>(GetProcAddress(avi, e.name));
        EXPECT_NE(expected, nullptr) << e.name;
        EXPECT_EQ(e.address, expected) << e.name;
    }
}

TEST_F(System, StockFontMetricsAreRecorded) {
    TEXTMETRICA tm{};
    const HDC probe = CreateCompatibleDC(nullptr);
    SelectObject(probe, GetStockObject(OEM_FIXED_FONT));
    ASSERT_TRUE(GetTextMetricsA(probe, &tm));
    DeleteDC(probe);
    EXPECT_EQ(gx_state.stock_font, pf_from_hgdiobj(GetStockObject(OEM_FIXED_FONT)));
    EXPECT_EQ(gx_state.line_height, tm.tmHeight + tm.tmExternalLeading);
    EXPECT_EQ(gx_state.avg_char_width, tm.tmAveCharWidth);
    EXPECT_GT(gx_state.line_height, 0);
}

// The logical palette record is the system's LOGPALETTE: entries come back
// with their colours and the PC_RESERVED flag; realizing selects it, and
// shutdown puts the displaced palette back.
TEST_F(System, PaletteIsMadeSelectedAndPutBack) {
    const HPALETTE before = static_cast<HPALETTE>(GetCurrentObject(dc_, OBJ_PAL));
    palette_ = hpalette_from_pf(gx_create_palette());
    ASSERT_NE(palette_, nullptr);
    EXPECT_EQ(GetPaletteEntries(palette_, 0, 0, nullptr), 256u);
    PALETTEENTRY e[3]{};
    ASSERT_EQ(GetPaletteEntries(palette_, 249, 1, &e[0]), 1u);
    ASSERT_EQ(GetPaletteEntries(palette_, 30, 1, &e[1]), 1u);
    ASSERT_EQ(GetPaletteEntries(palette_, 25, 1, &e[2]), 1u);
    EXPECT_EQ((e[0].peRed << 16 | e[0].peGreen << 8 | e[0].peBlue), 0xFF0000);
    EXPECT_EQ((e[1].peRed << 16 | e[1].peGreen << 8 | e[1].peBlue), 0x0000FF);
    EXPECT_EQ((e[2].peRed << 16 | e[2].peGreen << 8 | e[2].peBlue), 0xFFFFFF);
    EXPECT_EQ(e[0].peFlags, PC_RESERVED);

    gx_realize_palette(pf_from_hpalette(palette_));
    EXPECT_EQ(GetCurrentObject(dc_, OBJ_PAL), palette_);
    EXPECT_EQ(hpalette_from_pf(gx_state.saved_palette), before);
    gx_shutdown();
    EXPECT_EQ(GetCurrentObject(dc_, OBJ_PAL), before);
    gx_state = GraphicsState{};  // already shut down: teardown has nothing left to do
    gx_set_dc(pf_from_hdc(dc_));
}

// No key is down on the headless display: every key the program polls, and
// the any-key test, answer 0. The scan codes translate as on Windows.
TEST_F(System, KeyTestWithNoKeyDown) {
    EXPECT_EQ(gx_key_test(0), 0);
    for (int32_t code : {42, 54, 45, 21, 44, 74, 78, 72, 75, 77, 80})
        EXPECT_EQ(gx_key_test(code), 0) << code;
    EXPECT_EQ(pf_scan_to_virtual_key(42), static_cast<uint32_t>(VK_SHIFT));
    EXPECT_EQ(pf_scan_to_virtual_key(54), static_cast<uint32_t>(VK_SHIFT));
    EXPECT_EQ(pf_scan_to_virtual_key(45), static_cast<uint32_t>('X'));
    EXPECT_EQ(pf_scan_to_virtual_key(21), static_cast<uint32_t>('Y'));
    EXPECT_EQ(pf_scan_to_virtual_key(44), static_cast<uint32_t>('Z'));
}

}  // namespace
