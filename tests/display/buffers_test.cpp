// Virtual buffers: geometry, headers, the slot table and its failure paths
// (sizes overflowing 32 or 64 bits: fuzz_regress_test.cpp).
#include <array>

#include "fixture.h"

namespace {

using Buffers = Started;

PfBitmapV4Header header_of(const BufferSlot& b) {
    PfBitmapV4Header h{};
    std::memcpy(&h, b.header, b.depth == 16 || b.depth == 32 ? 108 : 40);
    return h;
}

// Widths padded to 4 pixels; the header says 40 bytes on the NT family even
// where 108 are allocated for the masks. The 8-bit buffer, made after deeper
// ones were open, still gets room for its colour part.
TEST_F(Buffers, GeometryHeadersAndActiveFieldsAtEveryDepth) {
    const struct {
        int32_t depth, w, h, width, pitch, header_size, alloc_size;
        uint32_t compression;
        std::array<uint32_t, 4> masks;  // red, green, blue, alpha (bit fields only)
    } cases[] = {
        {16, 641, 10, 644, 1288, 108, 108, 3, {0xF800u, 0x07E0u, 0x001Fu, 0u}},
        {24, 5, 3, 8, 24, 40, 40, 0, {}},
        {32, 3, 2, 4, 16, 108, 108, 3, {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}},
        {8, 6, 2, 8, 8, 40, 1064, 0, {}},
    };
    for (const auto& c : cases) {
        const int32_t slot = open_buffer(c.depth, c.w, c.h);
        const BufferSlot& b = gx_state.buffer_slots[slot];
        EXPECT_EQ(
            (std::array{b.width, b.pitch, b.height, b.depth, b.min_x, b.min_y, b.max_x, b.max_y}),
            (std::array{c.width, c.pitch, c.h, c.depth, 0, 0, c.width - 1, c.h - 1}));
        const PfBitmapV4Header h = header_of(b);
        EXPECT_EQ((std::array<int64_t, 6>{h.info.size, h.info.width, h.info.height, h.info.planes,
                                          h.info.bit_count, h.info.compression}),
                  (std::array<int64_t, 6>{40, c.width, c.h, 1, c.depth, c.compression}));
        if (c.compression == 3)
            EXPECT_EQ((std::array{h.red_mask, h.green_mask, h.blue_mask, h.alpha_mask}), c.masks);
        const GraphicsState& s = gx_state;
        EXPECT_EQ((std::array{s.active_buffer, s.active_depth, s.active_width, s.active_height,
                              s.active_max_y, s.active_pitch, s.active_size, s.clip_min_x,
                              s.clip_max_x, s.clip_min_y, s.clip_max_y, s.header_size,
                              s.header_alloc_size, s.dib_usage}),
                  (std::array{slot, c.depth, c.width, c.h, c.h - 1, c.pitch, c.pitch * c.h, 0,
                              c.width - 1, 0, c.h - 1, c.header_size, c.alloc_size, 0}));
        EXPECT_TRUE(s.active_pixels == b.pixels && s.active_header == b.header) << c.depth;
    }
    // Older systems get the 108-byte form.
    gx_state.is_nt = 0;
    const PfBitmapV4Header h = header_of(gx_state.buffer_slots[open_buffer(16, 640, 480)]);
    EXPECT_EQ((std::array{h.info.size, h.red_mask, h.blue_mask}),
              (std::array{108u, 0xF800u, 0x001Fu}));
}

// 256 slots, the first free one taken; opening a slot outside 0-255 gives
// -1, a free one -2, and the open buffer stays.
TEST_F(Buffers, SlotTable) {
    gx_set_buffer_depth(16);
    for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(gx_buffer_alloc(4, 1), i);
    EXPECT_EQ(gx_buffer_alloc(4, 1), -1);
    EXPECT_EQ(gx_buffer_free(3), 0);
    EXPECT_EQ(gx_buffer_open(7), 0);
    for (const auto& [bad, result] : {std::pair{256, -1}, {-1, -1}, {3, -2}, {INT32_MIN, -1}})
        EXPECT_EQ(gx_buffer_open(bad), result) << bad;
    EXPECT_EQ(gx_state.active_buffer, 7);
    EXPECT_EQ(gx_buffer_alloc(4, 1), 3);
    EXPECT_EQ(gx_buffer_alloc(4, 1), -1);
}

// A buffer is one memory block and one bitmap, released at most once. The
// all-slots form frees every buffer but the open one; closing hands the
// memory context's own bitmap back, so the last can go too.
TEST_F(Buffers, FreeReleasesHeaderAndBitmap) {
    const int32_t blocks = headless_live_blocks(), objects = headless_live_objects();
    for (int i = 0; i < 4; ++i) open_buffer(24, 4, 4);
    EXPECT_EQ((std::array{headless_live_blocks(), headless_live_objects()}),
              (std::array{blocks + 4, objects + 4}));
    EXPECT_NE(gx_state.saved_bitmap, nullptr);
    gx_buffer_open(1);
    EXPECT_EQ(gx_buffer_free(-1), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(gx_state.buffer_slots[i].pixels != nullptr, i == 1) << i;
    EXPECT_EQ(gx_buffer_close(), 0);
    EXPECT_EQ(gx_state.active_buffer, -1);
    EXPECT_EQ(gx_state.saved_bitmap, nullptr);
    for (int32_t slot : {-7, 1, 1}) gx_buffer_free(slot);
    EXPECT_EQ((std::array{headless_live_blocks(), headless_live_objects()}),
              (std::array{blocks, objects}));
}

TEST_F(Buffers, InvalidDepthsAndSizesGiveMinusTwo) {
    const int32_t blocks = headless_live_blocks();
    // Any depth is stored; only the allocation refuses it.
    for (int32_t depth : {0, 1, 4, 15, 31, 33, 64, -16, INT32_MIN, -8, 7, 9, 48, INT32_MAX}) {
        EXPECT_EQ(gx_set_buffer_depth(depth), 0);
        EXPECT_EQ(gx_buffer_alloc(16, 16), -2) << depth;
    }
    gx_set_buffer_depth(16);
    for (const auto& [w, h] : {std::pair{0, 16}, {16, 0}, {-4, 16}, {16, -1}})
        EXPECT_EQ(gx_buffer_alloc(w, h), -2) << w << "x" << h;
    EXPECT_EQ(headless_live_blocks(), blocks);
    EXPECT_EQ(gx_buffer_alloc(16, 16), 0);  // the slot stayed free
    // A buffer made before keeps its own depth when opened afterwards.
    gx_set_buffer_depth(24);
    const int32_t slot = gx_buffer_alloc(8, 8);
    gx_set_buffer_depth(12345);
    ASSERT_EQ(gx_buffer_open(slot), 0);
    EXPECT_EQ((std::array{gx_state.active_depth, gx_state.active_pitch}), (std::array{24, 24}));
}

// The header block fails; or the header succeeds and the bitmap fails.
TEST_F(Buffers, FailedHeaderOrBitmapGivesMinusTwoAndLeavesNothing) {
    const int32_t blocks = headless_live_blocks(), objects = headless_live_objects();
    gx_set_buffer_depth(16);
    for (int32_t skip : {0, 1}) {
        headless_fail_allocations(skip, 1);
        EXPECT_EQ(gx_buffer_alloc(64, 64), -2) << skip;
        EXPECT_EQ(gx_state.buffer_slots[0].pixels, nullptr);
        EXPECT_EQ((std::array{headless_live_blocks(), headless_live_objects()}),
                  (std::array{blocks, objects}));
        EXPECT_EQ(gx_buffer_alloc(64, 64), 0);
        gx_buffer_free(0);
    }
}

}  // namespace
