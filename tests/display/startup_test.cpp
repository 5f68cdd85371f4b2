// Start-up, the screen depth query, the stock font and teardown.
#include "fixture.h"

namespace {

using Startup = Library;

TEST_F(Startup, DisplayDepthMultipliesBitsAndPlanes) {
    const struct {
        int32_t bits, planes, depth;
    } cases[] = {{15, 1, 16}, {16, 1, 16}, {8, 1, 8}, {24, 1, 24}, {32, 1, 32}, {1, 4, 4}, {4, 1, 4}, {8, 2, 16}};
    for (const auto& c : cases) {
        headless_set_screen(c.bits, c.planes);
        EXPECT_EQ(gx_display_depth(), c.depth) << c.bits << " x " << c.planes;
    }
}

TEST_F(Startup, FieldsAfterStartUp) {
    EXPECT_EQ(gx_initialize(), 0);
    EXPECT_EQ(gx_state.active_buffer, -1);
    EXPECT_EQ(gx_state.new_buffer_depth, 8);
    EXPECT_EQ(gx_state.header_size, 40);
    EXPECT_EQ(gx_state.pos_x, 0);
    EXPECT_EQ(gx_state.pos_y, 0);
    EXPECT_EQ(gx_state.saved_bitmap, nullptr);
    EXPECT_EQ(gx_state.input_ptr, gx_state.input_buffer);
    EXPECT_EQ(gx_state.input_size, 4096u);
    EXPECT_NE(gx_state.memory_dc, nullptr);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(gx_state.index_map[i], i);
    EXPECT_EQ(gx_state.device_dc, window_);
    EXPECT_EQ(gx_state.text_dc, window_);
    // The fixed-pitch OEM font of the headless backend is 8 x 12.
    EXPECT_EQ(gx_state.stock_font, pf_stock_object(10));
    EXPECT_EQ(gx_state.line_height, 12);
    EXPECT_EQ(gx_state.external_leading, 0);
    EXPECT_EQ(gx_state.avg_char_width, 8);
}

TEST_F(Startup, HeaderChoiceFollowsTheScreen) {
    headless_set_screen(8, 1);
    gx_initialize();
    EXPECT_EQ(gx_state.dib_usage, 1);
    EXPECT_EQ(gx_state.header_alloc_size, 552);
    gx_shutdown();
    headless_set_screen(16, 1);
    gx_initialize();
    EXPECT_EQ(gx_state.dib_usage, 0);
    EXPECT_EQ(gx_state.header_alloc_size, 1064);
    gx_set_buffer_depth(8);
    EXPECT_EQ(gx_state.header_alloc_size, 1064);
    headless_set_screen(4, 1);
    gx_set_buffer_depth(8);
    EXPECT_EQ(gx_state.header_alloc_size, 552);
}

TEST_F(Startup, VersionDecidesTheNtFlag) {
    headless_set_version(HEADLESS_VERSION_NOT_NT);
    gx_initialize();
    EXPECT_EQ(gx_state.is_nt, 0);
    gx_shutdown();
    headless_set_version(0x7FFFFFFF);
    gx_initialize();
    EXPECT_EQ(gx_state.is_nt, 1);
}

TEST_F(Startup, MissingAviLibraryLeavesEveryEntryNull) {
    EXPECT_EQ(gx_initialize(), 0);
    EXPECT_EQ(gx_state.avi_module, nullptr);
    for (const AviEntry& e : gx_state.avi_entries) EXPECT_EQ(e.address, nullptr) << e.name;
    EXPECT_STREQ(gx_state.avi_entries[0].name, "AVIFileCreateStreamA");
    EXPECT_STREQ(gx_state.avi_entries[16].name, "AVIStreamWrite");
}

TEST_F(Startup, ShutdownReleasesTheTextureTableAndMemoryContext) {
    gx_initialize();
    const int32_t blocks = headless_live_blocks();
    const int32_t objects = headless_live_objects();
    gx_state.texture_table =
        static_cast<TextureSlot*>(pf_mem_lock(pf_mem_alloc(PF_MEM_ZEROINIT, 6 * sizeof(TextureSlot))));
    ASSERT_NE(gx_state.texture_table, nullptr);
    EXPECT_EQ(headless_live_blocks(), blocks + 1);
    gx_state.active_buffer = 3;
    EXPECT_EQ(gx_shutdown(), 0);
    EXPECT_EQ(gx_state.active_buffer, -1);
    EXPECT_EQ(gx_state.memory_dc, nullptr);
    EXPECT_EQ(gx_state.texture_table, nullptr);
    EXPECT_EQ(headless_live_blocks(), blocks);
    EXPECT_EQ(headless_live_objects(), objects - 1);
}

TEST_F(Startup, ShutdownRunsWithEverySlotInUse) {
    // No guard over the slot table: a full table does not stop teardown.
    gx_initialize();
    gx_set_buffer_depth(24);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(gx_buffer_alloc(4, 1), i);
    gx_buffer_open(0);
    gx_shutdown();
    EXPECT_EQ(gx_state.active_buffer, -1);
    EXPECT_EQ(gx_state.memory_dc, nullptr);
}

}  // namespace
