// Start-up, the screen depth query, the stock font and teardown.
#include <array>

#include "fixture.h"

namespace {

using Startup = Library;

// Depth: bits times planes; 15 counts as 16, a product beyond 32 bits as 0.
// Palette screens (depth 8 or less, or too deep to count) get 8-bit buffers
// carrying indices, deeper screens colours; the allocation size of an 8-bit
// buffer follows the screen of the moment.
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
        EXPECT_EQ(gx_display_depth(), depth) << bits << " x " << planes;
        gx_initialize();
        EXPECT_EQ((std::array{gx_state.dib_usage, gx_state.header_alloc_size}),
                  (std::array{indices, alloc_size}))
            << bits << " x " << planes;
        const auto& next = screens[(i + 1) % std::size(screens)];
        headless_set_screen(next[0], next[1]);
        gx_set_buffer_depth(8);
        EXPECT_EQ(gx_state.header_alloc_size, next[4]) << next[0] << " x " << next[1];
        gx_shutdown();
    }
}

TEST_F(Startup, FieldsAfterStartUp) {
    EXPECT_EQ(gx_initialize(), 0);
    const GraphicsState& s = gx_state;
    EXPECT_EQ((std::array{s.active_buffer, s.active_depth, s.new_buffer_depth, s.header_size,
                          s.pos_x, s.pos_y, int32_t{s.is_nt}}),
              (std::array{-1, 0, 8, 40, 0, 0, 1}));
    EXPECT_EQ(s.saved_bitmap, nullptr);
    EXPECT_EQ(s.input_ptr, s.input_buffer);
    EXPECT_EQ(s.input_size, 4096u);
    EXPECT_NE(s.memory_dc, nullptr);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(s.index_map[i], i);
    EXPECT_EQ(s.device_dc, window_);
    EXPECT_EQ(s.text_dc, window_);
    // The fixed-pitch OEM font of the headless backend is 8 x 12.
    EXPECT_EQ(s.stock_font, pf_stock_object(10));
    EXPECT_EQ((std::array{s.line_height, s.external_leading, s.avg_char_width}),
              (std::array{12, 0, 8}));
    // The AVI library is missing here: every entry stays null.
    EXPECT_EQ(s.avi_module, nullptr);
    for (const AviEntry& e : s.avi_entries) EXPECT_EQ(e.address, nullptr) << e.name;
}

// The top bit of the version marks the older family.
TEST_F(Startup, VersionDecidesTheNtFlag) {
    for (const auto& [version, nt] : {std::pair{HEADLESS_VERSION_NOT_NT, 0},
                                      {HEADLESS_VERSION_NT, 1},
                                      {0x7FFFFFFFu, 1},
                                      {0x80000000u, 0}}) {
        headless_set_version(version);
        gx_initialize();
        EXPECT_EQ(gx_state.is_nt, nt) << version;
        gx_shutdown();
    }
}

// Teardown releases the texture table and the memory context; a full slot
// table does not stop it.
TEST_F(Startup, ShutdownReleasesTheTextureTableAndMemoryContext) {
    gx_initialize();
    const int32_t blocks = headless_live_blocks(), objects = headless_live_objects();
    gx_state.texture_table = static_cast<TextureSlot*>(
        pf_mem_lock(pf_mem_alloc(PF_MEM_ZEROINIT, 6 * sizeof(TextureSlot))));
    ASSERT_NE(gx_state.texture_table, nullptr);
    gx_set_buffer_depth(24);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(gx_buffer_alloc(4, 1), i);
    gx_buffer_open(0);
    EXPECT_EQ(gx_shutdown(), 0);
    EXPECT_EQ(gx_state.active_buffer, -1);
    EXPECT_EQ(gx_state.memory_dc, nullptr);
    EXPECT_EQ(gx_state.texture_table, nullptr);
    // The buffers stay (a block and a bitmap each); the context is gone.
    EXPECT_EQ((std::array{headless_live_blocks(), headless_live_objects()}),
              (std::array{blocks + 256, objects + 255}));
}

}  // namespace
