// Start-up, teardown and virtual buffers (refused ones: fuzz_regress_test.cpp).
#include <array>

#include "fixture.h"

namespace {

using Startup = Library;

// Depth: bits x planes (15: 16; beyond 32 bits: 0). Palette screens (depth
// 8 or less) get 8-bit buffers of indices, sized for the screen of the
// moment. A version's top bit marks the older family.
TEST_F(Startup, DisplayDepthAndHeaderChoiceFollowTheScreen) {
    const int32_t screens[][5] = {
        // bits, planes, depth, indices?, allocation size
        {15, 1, 16, 0, 1064},      {16, 1, 16, 0, 1064},      {8, 1, 8, 1, 552},
        {24, 1, 24, 0, 1064},      {32, 1, 32, 0, 1064},      {1, 4, 4, 1, 552},
        {4, 1, 4, 1, 552},         {8, 2, 16, 0, 1064},       {3, 3, 9, 0, 1064},
        {65536, 65536, 0, 1, 552}, {INT32_MAX, 2, 0, 1, 552}, {INT32_MIN, 2, 0, 1, 552}};
    for (size_t i = 0; i < std::size(screens); ++i) {
        const auto& [bits, planes, depth, indices, alloc_size] = screens[i];
        headless_set_screen(bits, planes);
        headless_set_version(i % 2 == 0 ? 0x7FFFFFFFu : 0x80000000u);
        EXPECT_EQ(gx_display_depth(), depth) << bits << " x " << planes;
        gx_initialize();
        const GraphicsState& s = gx_state;
        EXPECT_EQ((std::array{s.active_buffer, s.active_depth, int32_t{s.index_map[9]}, s.dib_usage,
                              s.header_alloc_size, int32_t{s.is_nt}}),
                  (std::array{-1, 0, 9, indices, alloc_size, i % 2 == 0 ? 1 : 0}))
            << bits << " x " << planes;
        const auto& next = screens[(i + 1) % std::size(screens)];
        headless_set_screen(next[0], next[1]);
        gx_set_buffer_depth(8);
        EXPECT_EQ(gx_state.header_alloc_size, next[4]) << next[0] << " x " << next[1];
        gx_shutdown();
    }
}

// Teardown releases the texture table and the memory context, slots full.
TEST_F(Startup, ShutdownReleasesTheTextureTableAndMemoryContext) {
    gx_initialize();
    const int32_t blocks = headless_live_blocks(), objects = headless_live_objects();
    gx_state.texture_table = static_cast<TextureSlot*>(
        pf_mem_lock(pf_mem_alloc(PF_MEM_ZEROINIT, 6 * sizeof(TextureSlot))));
    gx_set_buffer_depth(24);
    for (int i = 0; i < 256; ++i) gx_buffer_alloc(4, 1);
    gx_buffer_open(255);
    EXPECT_EQ(gx_shutdown(), 0);
    EXPECT_TRUE(gx_state.active_buffer == -1 && gx_state.memory_dc == nullptr &&
                gx_state.texture_table == nullptr);
    EXPECT_EQ((std::array{headless_live_blocks(), headless_live_objects()}),
              (std::array{blocks + 256, objects + 255}));
}

using Buffers = Started;

// Widths padded to 4 pixels; the header says 40 bytes on NT even where 108
// hold masks; an 8-bit buffer made after deeper ones gets its colour part.
TEST_F(Buffers, GeometryHeadersAndActiveFieldsAtEveryDepth) {
    const uint32_t masks16[4] = {0xF800, 0x07E0, 0x001F, 0};
    const uint32_t masks32[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    const int32_t cases[][7] = {// depth, w, h, padded width, pitch, header size, allocation
                                {16, 641, 10, 644, 1288, 108, 108},
                                {24, 5, 3, 8, 24, 40, 40},
                                {32, 3, 2, 4, 16, 108, 108},
                                {8, 6, 2, 8, 8, 40, 1064}};
    for (const auto& [depth, w, h, width, pitch, header_size, alloc_size] : cases) {
        const int32_t slot = open_buffer(depth, w, h);
        const BufferSlot& b = gx_state.buffer_slots[slot];
        PfBitmapV4Header v4{};
        std::memcpy(&v4, b.header, static_cast<size_t>(header_size));
        const uint32_t compression = header_size == 108 ? 3 : 0;
        EXPECT_EQ((std::array<int64_t, 6>{v4.info.size, v4.info.width, v4.info.height,
                                          v4.info.planes, v4.info.bit_count, v4.info.compression}),
                  (std::array<int64_t, 6>{40, width, h, 1, depth, compression}));
        if (compression == 3)
            EXPECT_EQ(0, std::memcmp(&v4.red_mask, depth == 16 ? masks16 : masks32, 16));
        const GraphicsState& s = gx_state;
        EXPECT_EQ(
            (std::array{s.active_buffer, s.active_depth, s.active_width, s.active_height,
                        s.active_max_y, s.active_pitch, s.active_size, s.clip_min_x, s.clip_max_x,
                        s.clip_min_y, s.clip_max_y, s.header_size, s.header_alloc_size, s.dib_usage,
                        b.min_x, b.min_y, b.max_x, b.max_y}),
            (std::array{slot, depth, width, h, h - 1, pitch, pitch * h, 0, width - 1, 0, h - 1,
                        header_size, alloc_size, 0, 0, 0, width - 1, h - 1}));
        EXPECT_TRUE(s.active_pixels == b.pixels && s.active_header == b.header) << depth;
    }
    gx_state.is_nt = 0;
    EXPECT_EQ(gx_state.buffer_slots[open_buffer(16, 640, 480)].header[0], 108);
}

// 256 slots, the first free one taken; opening one outside 0-255: -1, a free
// one: -2, the open buffer stays. A buffer is a block and a bitmap, released
// once; all-slots frees all but the open one, which closing hands back.
TEST_F(Buffers, SlotTable) {
    const int32_t blocks = headless_live_blocks(), objects = headless_live_objects();
    gx_set_buffer_depth(16);
    for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(gx_buffer_alloc(4, 1), i);
    EXPECT_EQ((std::array{headless_live_blocks(), headless_live_objects(), gx_buffer_alloc(4, 1)}),
              (std::array{blocks + 256, objects + 256, -1}));
    EXPECT_EQ(gx_buffer_free(3) + gx_buffer_open(7), 0);
    EXPECT_NE(gx_state.saved_bitmap, nullptr);
    for (const auto& [bad, result] : {std::pair{256, -1}, {-1, -1}, {3, -2}, {INT32_MIN, -1}})
        EXPECT_EQ(gx_buffer_open(bad), result) << bad;
    EXPECT_EQ(gx_state.active_buffer, 7);
    EXPECT_EQ(gx_buffer_alloc(4, 1), 3);
    EXPECT_EQ(gx_buffer_free(-1), 0);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(gx_state.buffer_slots[i].pixels != nullptr, i == 7) << i;
    EXPECT_EQ(gx_buffer_close(), 0);
    EXPECT_TRUE(gx_state.active_buffer == -1 && gx_state.saved_bitmap == nullptr);
    for (int32_t slot : {-7, 7, 7}) gx_buffer_free(slot);
    EXPECT_EQ((std::array{headless_live_blocks(), headless_live_objects()}),
              (std::array{blocks, objects}));
}

}  // namespace
