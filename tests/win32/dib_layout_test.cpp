// The DIB sections that gx_buffer_alloc makes, as GDI itself reads them: the
// library's row rule (row 0 at the top, memory bottom-up) must put a pixel
// where GDI shows it, at every depth, with either header form.
#include "window_fixture.h"

namespace {

using DibLayout = GdiWindow;

struct DepthCase {
    int32_t depth;
    uint32_t marker;    // the pixel value written
    uint32_t expected;  // what GDI must report for it, 0x00RRGGBB
};

// 8 bits: default palette entry 249 is (255, 0, 0). 16 bits: an irregular
// 5-6-5 value, read back widened by bit replication. 24 and 32 bits: the
// bytes must come back in their places.
const DepthCase DEPTHS[] = {
    {8, 249, 0xFF0000},
    {16, 0x8A53, widen565(0x8A53)},
    {24, 0x123456, 0x123456},
    {32, 0x00123456, 0x123456},
};

TEST_F(DibLayout, RowRuleMatchesWhatGdiReadsAtEveryDepth) {
    palette_ = hpalette_from_pf(gx_create_palette());  // rgb_table for the 8-bit colour part
    ASSERT_NE(palette_, nullptr);
    const HDC memory = hdc_from_pf(gx_state.memory_dc);
    for (const DepthCase& c : DEPTHS) {
        SCOPED_TRACE(testing::Message() << "depth " << c.depth);
        const int32_t slot = open_buffer(c.depth, 6, 5);  // padded to 8 x 5
        ASSERT_GE(slot, 0);
        ASSERT_EQ(gx_state.active_width, 8);
        const int32_t markers[][2] = {{0, 0}, {7, 0}, {0, 4}, {7, 4}, {2, 1}, {5, 3}};
        for (const auto& m : markers) {
            std::memset(gx_state.active_pixels, 0, static_cast<size_t>(gx_state.active_size));
            put_pixel(m[0], m[1], c.depth, c.marker);
            GdiFlush();
            for (int32_t y = 0; y < 5; ++y) {
                for (int32_t x = 0; x < 8; ++x) {
                    const bool here = x == m[0] && y == m[1];
                    ASSERT_EQ(rgb_of(GetPixel(memory, x, y)), here ? c.expected : 0u)
                        << "marker at (" << m[0] << ", " << m[1] << "), read at (" << x << ", " << y
                        << ")";
                }
            }
        }
        gx_buffer_close();
        gx_buffer_free(slot);
    }
}

// 16 and 32 bits carry their masks in a version-4 header (108 bytes), whose
// size field says 40 on the NT family: GDI must take both forms and honour
// the masks either way.
TEST_F(DibLayout, BothHeaderFormsAreAcceptedWithTheirMasks) {
    struct MaskCase {
        int32_t depth;
        DWORD red, green, blue;
        uint32_t marker, expected;
    };
    const MaskCase cases[] = {
        {16, 0xF800, 0x07E0, 0x001F, 0xF800, 0xFF0000},  // 5-5-5 would read this differently
        {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0x00123456, 0x123456},
    };
    const HDC memory = hdc_from_pf(gx_state.memory_dc);
    for (const MaskCase& c : cases) {
        for (uint8_t nt : {uint8_t{1}, uint8_t{0}}) {
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
            EXPECT_EQ(ds.dsBm.bmWidth, 4);
            EXPECT_EQ(ds.dsBm.bmHeight, 2);
            EXPECT_EQ(ds.dsBmih.biBitCount, c.depth);
            EXPECT_EQ(ds.dsBmih.biCompression, static_cast<DWORD>(BI_BITFIELDS));
            EXPECT_EQ(ds.dsBitfields[0], c.red);
            EXPECT_EQ(ds.dsBitfields[1], c.green);
            EXPECT_EQ(ds.dsBitfields[2], c.blue);

            put_pixel(3, 0, c.depth, c.marker);
            GdiFlush();
            EXPECT_EQ(rgb_of(GetPixel(memory, 3, 0)), c.expected);
            EXPECT_EQ(rgb_of(GetPixel(memory, 3, 1)), 0u);
            gx_buffer_close();
            gx_buffer_free(slot);
        }
    }
}

}  // namespace
