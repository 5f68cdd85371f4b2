// The portable platform layer under the headless backend: memory blocks,
// device contexts, DIB sections, palettes, fonts, files and modules.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/headless/headless.h"
#include "platform/portable/portable.h"

namespace {

class Platform : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        blocks_ = headless_live_blocks();
        objects_ = headless_live_objects();
    }
    void TearDown() override {
        headless_reset();
        EXPECT_EQ(headless_live_blocks(), blocks_);
        EXPECT_EQ(headless_live_objects(), objects_);
    }
    int32_t blocks_ = 0;
    int32_t objects_ = 0;
};

bool all_zero(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i] != 0) return false;
    return true;
}

// Zeroed blocks found again by their address, which never moves; a fixed
// block's handle is that address, a movable block's is not.
TEST_F(Platform, MemoryBlocks) {
    for (const unsigned kind : {PF_MEM_FIXED, PF_MEM_MOVEABLE}) {
        SCOPED_TRACE(kind);
        const PfMem block = pf_mem_alloc(kind | PF_MEM_ZEROINIT, 552);
        ASSERT_NE(block, nullptr);
        auto* address = static_cast<uint8_t*>(pf_mem_lock(block));
        ASSERT_NE(address, nullptr);
        EXPECT_EQ(static_cast<void*>(address) == static_cast<void*>(block), kind == PF_MEM_FIXED);
        EXPECT_TRUE(all_zero(address, 552));
        EXPECT_EQ(headless_live_blocks(), blocks_ + 1);
        address[551] = 1;
        EXPECT_EQ(pf_mem_lock(block), address);
        EXPECT_EQ(pf_mem_handle(address), block);
        EXPECT_EQ(pf_mem_handle(address + 1), nullptr);
        pf_mem_unlock(block);
        pf_mem_free(pf_mem_handle(address));
        EXPECT_EQ(pf_mem_handle(address), nullptr);
    }
    // A stale handle is ignored.
    const PfMem block = pf_mem_alloc(PF_MEM_MOVEABLE, 4);
    pf_mem_free(block);
    pf_mem_free(block);
    EXPECT_EQ(pf_mem_lock(block), nullptr);
}

TEST_F(Platform, AbsurdSizesAndInjectedFailuresGiveNull) {
    EXPECT_EQ(pf_mem_alloc(PF_MEM_ZEROINIT, SIZE_MAX), nullptr);
    EXPECT_EQ(pf_mem_alloc(PF_MEM_ZEROINIT, size_t{0x80000000}), nullptr);
    headless_fail_allocations(1, 2);
    const PfMem first = pf_mem_alloc(PF_MEM_ZEROINIT, 4);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(pf_mem_alloc(PF_MEM_ZEROINIT, 4), nullptr);
    EXPECT_EQ(pf_mem_alloc(PF_MEM_MOVEABLE, 4), nullptr);
    const PfMem fourth = pf_mem_alloc(PF_MEM_ZEROINIT, 0);
    EXPECT_NE(fourth, nullptr);
    pf_mem_free(first);
    pf_mem_free(fourth);
}

TEST_F(Platform, MemoryContextSelection) {
    const PfDC dc = pf_create_memory_dc();
    PfBitmapInfoHeader h{40, 3, 2, 1, 24, 0, 0, 0, 0, 0, 0};
    void* pixels = nullptr;
    const PfBitmap bitmap = pf_create_dib_section(dc, &h, PF_DIB_RGB_COLORS, &pixels);
    ASSERT_NE(bitmap, nullptr);
    const PfObject original = pf_select_object(dc, pf_as_object(bitmap));
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(original, pf_stock_object(18));  // the 1 x 1 stock bitmap
    // A selected bitmap is not deleted.
    pf_delete_object(pf_as_object(bitmap));
    EXPECT_EQ(headless_live_objects(), objects_ + 2);
    EXPECT_EQ(pf_select_object(dc, original), pf_as_object(bitmap));
    pf_delete_object(pf_as_object(bitmap));
    EXPECT_EQ(headless_live_objects(), objects_ + 1);
    pf_delete_dc(dc);
}

TEST_F(Platform, DibSectionGeometry) {
    const struct {
        int32_t width, height, bits;
        size_t bytes;
    } cases[] = {
        {3, 2, 24, 24}, {5, 3, 8, 24}, {1, 1, 16, 4}, {640, 480, 16, 614400}, {3, 1, 32, 12}};
    for (const auto& c : cases) {
        PfBitmapInfoHeader h{40, c.width, c.height, 1, static_cast<uint16_t>(c.bits), 0, 0,
                             0,  0,       0,        0};
        void* pixels = nullptr;
        const PfBitmap bitmap = pf_create_dib_section(nullptr, &h, PF_DIB_RGB_COLORS, &pixels);
        ASSERT_NE(bitmap, nullptr);
        ASSERT_NE(pixels, nullptr);
        EXPECT_TRUE(all_zero(pixels, c.bytes));
        std::memset(pixels, 0xAB, c.bytes);  // the whole size is writable (ASan checks)
        pf_delete_object(pf_as_object(bitmap));
    }
    // Refused: top-down, empty, odd depths, overflowing sizes.
    const PfBitmapInfoHeader bad[] = {{40, 4, -4, 1, 16, 0, 0, 0, 0, 0, 0},
                                      {40, 0, 4, 1, 16, 0, 0, 0, 0, 0, 0},
                                      {40, 4, 4, 1, 4, 0, 0, 0, 0, 0, 0},
                                      {40, 65536, 32768, 1, 32, 0, 0, 0, 0, 0, 0}};
    for (const auto& h : bad) {
        void* pixels = reinterpret_cast<void*>(1);
        EXPECT_EQ(pf_create_dib_section(nullptr, &h, PF_DIB_RGB_COLORS, &pixels), nullptr);
        EXPECT_EQ(pixels, nullptr);
    }
}

TEST_F(Platform, PalettesSelectAndAnimate) {
    struct {
        uint16_t version = 0x300, count = 4;
        PfPaletteEntry entries[4] = {{1, 2, 3, 1}, {4, 5, 6, 1}, {7, 8, 9, 1}, {10, 11, 12, 1}};
    } logical;
    const PfPalette palette = pf_create_palette(&logical);
    ASSERT_NE(palette, nullptr);
    const PfDC dc = headless_window_dc(4, 4);
    const PfPalette original = pf_select_palette(dc, palette, false);
    EXPECT_EQ(pf_as_object(original), pf_stock_object(15));
    pf_realize_palette(dc);
    // Range beyond the palette's end is cut; nonsense ranges change nothing.
    const PfPaletteEntry change[3] = {{50, 51, 52, 1}, {60, 61, 62, 1}, {70, 71, 72, 1}};
    pf_animate_palette(palette, 2, 3, change);
    pf_animate_palette(palette, -1, 3, change);
    pf_animate_palette(palette, 4, 1, change);
    pf_animate_palette(nullptr, 0, 1, change);

    // Show entries 0 to 3 through an 8-bit bitmap with palette indices.
    struct {
        PfBitmapInfoHeader info{40, 4, 1, 1, 8, 0, 0, 0, 0, 0, 0};
        uint16_t indices[256] = {0, 1, 2, 3};
    } header;
    const uint8_t pixels[4] = {0, 1, 2, 3};
    pf_stretch_dib(dc, 0, 0, 4, 1, 0, 0, 4, 1, pixels, &header, PF_DIB_PAL_COLORS, PF_SRCCOPY);
    int32_t w = 0, h = 0;
    const uint32_t* image = headless_client_image(dc, &w, &h);
    EXPECT_EQ(image[0], 0x010203u);
    EXPECT_EQ(image[1], 0x040506u);
    EXPECT_EQ(image[2], 0x323334u);
    EXPECT_EQ(image[3], 0x3C3D3Eu);

    pf_delete_object(pf_as_object(palette));  // still selected: refused
    EXPECT_EQ(headless_live_objects(), objects_ + 2);
    pf_select_palette(dc, original, false);
    pf_delete_object(pf_as_object(palette));
    pf_delete_dc(dc);
    logical.count = 0;
    EXPECT_EQ(pf_create_palette(&logical), nullptr);
}

TEST_F(Platform, StockFontMetrics) {
    const PfDC dc = pf_create_memory_dc();
    PfTextMetrics m{};
    pf_text_metrics(dc, &m);  // the system font until another is selected
    EXPECT_EQ(m.height, 16);
    pf_select_object(dc, pf_stock_object(10));
    pf_text_metrics(dc, &m);
    EXPECT_EQ(m.height, 12);
    EXPECT_EQ(m.external_leading, 0);
    EXPECT_EQ(m.avg_char_width, 8);
    EXPECT_EQ(pf_stock_object(99), nullptr);
    pf_delete_object(pf_stock_object(10));  // stock objects stay
    pf_delete_dc(dc);
}

TEST_F(Platform, WindowContextResize) {
    const PfDC dc = headless_window_dc(3, 2);
    int32_t w = 0, h = 0;
    ASSERT_NE(headless_client_image(dc, &w, &h), nullptr);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    headless_resize_window_dc(dc, -5, 7);
    headless_client_image(dc, &w, &h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 7);
    const uint32_t pixel = 0x123456;
    PfBitmapInfoHeader info{40, 1, 1, 1, 32, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(pf_stretch_dib(dc, 0, 0, 1, 1, 0, 0, 1, 1, &pixel, &info, 0, PF_SRCCOPY), 0);
    const PfDC memory = pf_create_memory_dc();
    EXPECT_EQ(headless_client_image(memory, &w, &h), nullptr);
    EXPECT_EQ(pf_stretch_dib(memory, 0, 0, 1, 1, 0, 0, 1, 1, &pixel, &info, 0, PF_SRCCOPY), 0);
    pf_delete_dc(memory);
    pf_delete_dc(dc);
}

TEST_F(Platform, Files) {
    const std::string name = ::testing::TempDir() + "gx_platform_file.bin";
    std::FILE* f = std::fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("0123456789", f);
    std::fclose(f);
    const PfFile file = pf_file_open_read(name.c_str());
    ASSERT_NE(file, nullptr);
    char buffer[16] = {};
    uint32_t got = 99;
    pf_file_read(file, buffer, 4, &got);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    pf_file_seek(file, -3, PF_SEEK_END);
    pf_file_read(file, buffer, 16, &got);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(std::string(buffer, 3), "789");
    pf_file_read(file, buffer, 16, &got);
    EXPECT_EQ(got, 0u);
    pf_file_seek(file, 8, PF_SEEK_BEGIN);
    pf_file_read(file, buffer, 16, &got);
    EXPECT_EQ(got, 2u);
    pf_file_close(file);
    std::remove(name.c_str());
    EXPECT_EQ(pf_file_open_read((name + ".missing").c_str()), nullptr);
}

TEST_F(Platform, MissingModule) {
    EXPECT_EQ(pf_module_load("AVIFIL32.DLL"), nullptr);
    EXPECT_EQ(pf_module_symbol(nullptr, "AVIFileInit"), nullptr);
    pf_module_free(nullptr);
}

}  // namespace
