// The portable layer: memory, DIB sections, palettes (files: image tests).
#include <array>
#include <vector>

#include "fixture.h"
#include "platform/portable/portable.h"

namespace {

using Platform = Library;  // for its leak checks

// Zeroed blocks found by address; stale handles, absurd sizes, failures.
TEST_F(Platform, AbsurdSizesAndInjectedFailuresGiveNull) {
    const PfMem block = pf_mem_alloc(PF_MEM_MOVEABLE | PF_MEM_ZEROINIT, 552);
    auto* address = static_cast<uint8_t*>(pf_mem_lock(block));
    EXPECT_EQ(std::vector<uint8_t>(address, address + 552), std::vector<uint8_t>(552));
    EXPECT_TRUE(pf_mem_handle(address) == block && pf_mem_handle(address + 1) == nullptr);
    pf_mem_free(block);
    pf_mem_free(block);
    EXPECT_TRUE(pf_mem_handle(address) == nullptr && pf_mem_lock(block) == nullptr);
    EXPECT_EQ(pf_mem_alloc(PF_MEM_ZEROINIT, SIZE_MAX), nullptr);
    EXPECT_EQ(pf_mem_alloc(PF_MEM_ZEROINIT, size_t{0x80000000}), nullptr);
    headless_fail_allocations(1, 2);
    for (const bool fails : {false, true, true, false}) {
        const PfMem got = pf_mem_alloc(fails ? PF_MEM_MOVEABLE : PF_MEM_ZEROINIT, 4);
        EXPECT_EQ(got == nullptr, fails);
        pf_mem_free(got);
    }
}

// Zeroed pixels (ASan checks the size), kept while selected; refused: top-
// down, empty, odd depths, beyond 2^31 - 1 bytes.
TEST_F(Platform, DibSectionsAndSelection) {
    const PfDC dc = pf_create_memory_dc();
    const int32_t objects = headless_live_objects();
    const int32_t cases[][4] = {
        // width, height, bits, bytes (0: refused)
        {3, 2, 24, 24}, {5, 3, 8, 24}, {1, 1, 16, 4}, {640, 480, 16, 614400}, {3, 1, 32, 12},
        {4, -4, 16, 0}, {0, 4, 16, 0}, {4, 4, 4, 0},  {65536, 32768, 32, 0},  {65536, 8192, 32, 0}};
    for (const auto& [width, height, bits, bytes] : cases) {
        PfBitmapInfoHeader h{40, width, height, 1, static_cast<uint16_t>(bits), 0, 0, 0, 0, 0, 0};
        void* pixels = reinterpret_cast<void*>(1);
        const PfBitmap bitmap = pf_create_dib_section(dc, &h, PF_DIB_RGB_COLORS, &pixels);
        EXPECT_TRUE((bitmap != nullptr) == (bytes > 0) && (pixels == nullptr) == (bytes == 0))
            << width << "x" << height;
        if (bytes == 0) continue;
        const auto* p = static_cast<uint8_t*>(pixels);
        EXPECT_EQ(std::vector<uint8_t>(p, p + bytes), std::vector<uint8_t>(size_t(bytes)));
        std::memset(pixels, 0xAB, static_cast<size_t>(bytes));
        const PfObject original = pf_select_object(dc, pf_as_object(bitmap));
        EXPECT_EQ(original, pf_stock_object(18));
        pf_delete_object(pf_as_object(bitmap));
        EXPECT_EQ(headless_live_objects(), objects + 1);
        EXPECT_EQ(pf_select_object(dc, original), pf_as_object(bitmap));
        pf_delete_object(pf_as_object(bitmap));
    }
    pf_delete_dc(dc);
}

// The stock palette (static colours, black beyond), then a created one,
// animated in a range cut at its end and kept while selected.
TEST_F(Platform, PalettesSelectAndAnimate) {
    const PfDC dc = headless_window_dc(20, 1);
    struct {
        PfBitmapInfoHeader info{40, 20, 1, 1, 8, 0, 0, 0, 0, 0, 0};
        uint16_t indices[256] = {};
    } header;
    uint8_t pixels[20];
    for (uint8_t i = 0; i < 20; ++i) header.indices[i] = pixels[i] = i;
    std::vector<uint32_t> want(20);
    const auto expect_shown = [&] {
        pf_stretch_dib(dc, 0, 0, 20, 1, 0, 0, 20, 1, pixels, &header, PF_DIB_PAL_COLORS,
                       PF_SRCCOPY);
        int32_t w = 0, h = 0;
        const uint32_t* image = headless_client_image(dc, &w, &h);
        EXPECT_EQ(std::vector(image, image + 20), want);
    };
    for (size_t i = 0; i < 20; ++i)
        for (const uint8_t c : STATIC_COLOURS[i]) want[i] = want[i] << 8 | c;
    expect_shown();
    struct {
        uint16_t version = 0x300, count = 4;
        PfPaletteEntry entries[4] = {{1, 2, 3, 1}, {4, 5, 6, 1}, {7, 8, 9, 1}, {10, 11, 12, 1}};
    } logical;
    const PfPalette palette = pf_create_palette(&logical);
    const PfPalette original = pf_select_palette(dc, palette, false);
    EXPECT_EQ(pf_as_object(original), pf_stock_object(15));
    const PfPaletteEntry change[3] = {{50, 51, 52, 1}, {60, 61, 62, 1}, {70, 71, 72, 1}};
    pf_animate_palette(palette, 2, 3, change);
    pf_animate_palette(palette, 0, 1, change + 2);
    for (const auto& [first, count] : {std::pair{-1, 3}, {4, 1}, {5, 1}, {1, 0}, {1, -2}})
        pf_animate_palette(palette, first, count, change);
    pf_animate_palette(palette, 1, 1, nullptr);
    pf_animate_palette(nullptr, 0, 1, change);
    want.assign(20, 0);
    std::copy_n(std::array{0x464748u, 0x040506u, 0x323334u, 0x3C3D3Eu}.begin(), 4, want.begin());
    expect_shown();
    const int32_t objects = headless_live_objects();
    pf_delete_object(pf_as_object(palette));
    EXPECT_EQ(headless_live_objects(), objects);
    pf_select_palette(dc, original, false);
    pf_delete_object(pf_as_object(palette));
    pf_delete_dc(dc);
    for (const uint16_t count : {0, 257}) {
        logical.count = count;
        EXPECT_EQ(pf_create_palette(&logical), nullptr) << count;
    }
}

}  // namespace
