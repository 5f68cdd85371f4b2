// Depth buffers (sizes, opening, the frame stamp cycle, freeing) and the
// texture slot table with the current texture.
#include <algorithm>
#include <utility>

#include "fixture.h"

namespace {

using DepthBuffer = Gx3dTest;

// Whether words [from, to) all hold value.
bool all(const uint32_t* d, uint32_t from, uint32_t to, uint32_t value) {
    return std::all_of(d + from, d + to, [&](uint32_t w) { return w == value; });
}

// Opening and the wrap of the stamp zero the words the open buffer uses, as
// far as the depth buffer holds them, or all of them when no buffer is open
// or its size is negative: no word from before may outrank the new stamp.
TEST_F(DepthBuffer, OpenAndTheStampWrapZeroWhatTheBufferUses) {
    // clang-format off
    const struct { int32_t buffer_w, buffer_h, depth_w, depth_h; uint32_t words, zeroed; } r[] = {
        {0, 0, 640, 480, 640 * 480, 640 * 480}, {0, 0, 641, 480, 644 * 480, 644 * 480},  // as 644
        {8, 4, 8, 4, 32, 32}, {8, 4, 16, 4, 64, 32},  // larger: the rest is left alone
        {8, 4, 4, 4, 16, 16},  // smaller: below what the buffer needs, so never used
        {8, 4, 0, 0, 0, 0}, {-1, 0, 8, 4, 32, 32}, {0, -1, 8, 4, 32, 32}};
    // clang-format on
    for (const auto& c : r) {
        SCOPED_TRACE(testing::Message() << c.depth_w << " x " << c.depth_h << " on " << c.buffer_w);
        if (c.buffer_w != 0 || c.buffer_h != 0) open_buffer(8, 4);
        if (c.buffer_w < 0 || c.buffer_h < 0)
            gx_state.active_width = c.buffer_w, gx_state.active_height = c.buffer_h;
        const int32_t blocks = headless_live_blocks();
        uint32_t* d = gx_depthbuf_alloc(c.depth_w, c.depth_h);
        ASSERT_TRUE(d != nullptr && headless_live_blocks() == blocks + 1);
        EXPECT_TRUE(all(d, 0, c.words, 0));  // allocated zero-filled
        std::fill(d, d + c.words, 0xDEADBEEF);
        gx_state.depth_stamp = 0x05000000;
        EXPECT_EQ(gx_depthbuf_open(d), 0);
        EXPECT_TRUE(gx_state.depth_buffer == d && gx_state.depth_buffer_words == c.words &&
                    gx_state.depth_stamp == 0);
        EXPECT_TRUE(all(d, 0, c.zeroed, 0) && all(d, c.zeroed, c.words, 0xDEADBEEF));
        std::fill(d, d + c.words, 0x12345678);
        for (uint32_t i = 1; i <= 255; ++i)
            ASSERT_TRUE(gx_depthbuf_clear() == 0 && gx_state.depth_stamp == i << 24);
        EXPECT_TRUE(all(d, 0, c.words, 0x12345678));  // untouched for 255 frames
        EXPECT_TRUE(gx_depthbuf_clear() == 0 && gx_state.depth_stamp == 0u);  // the 256th wraps
        EXPECT_TRUE(all(d, 0, c.zeroed, 0) && all(d, c.zeroed, c.words, 0x12345678));
        EXPECT_TRUE(gx_depthbuf_free(d) == 0 && headless_live_blocks() == blocks);
        gx_state.active_width = 8, gx_state.active_height = 4;
        gx_buffer_close();
        gx_buffer_free(-1);
    }
}

TEST_F(DepthBuffer, AllocFailures) {
    for (auto [w, h] : {std::pair{-1, 10}, {10, -1}, {INT32_MAX, INT32_MAX}, {65536, 65536}})
        EXPECT_EQ(gx_depthbuf_alloc(w, h), nullptr) << w;  // 65536^2: 2^32 words
    headless_fail_allocations(0, 1);
    EXPECT_TRUE(gx_depthbuf_alloc(8, 8) == nullptr && headless_live_blocks() == blocks_at_start_);
}

// A null depth buffer opens as none; freeing the open one forgets it. Either
// way the clear that wraps the stamp has nothing left to touch.
TEST_F(DepthBuffer, NullAndFreedBuffers) {
    open_buffer(8, 4);
    EXPECT_EQ(gx_depthbuf_open(nullptr), 0);
    EXPECT_TRUE(gx_state.depth_buffer == nullptr && gx_state.depth_buffer_words == 0u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(gx_depthbuf_clear(), 0);
    const int32_t blocks_before = headless_live_blocks();
    uint32_t* a = gx_depthbuf_alloc(8, 4);
    uint32_t* b = gx_depthbuf_alloc(8, 4);
    gx_depthbuf_open(a);
    EXPECT_TRUE(gx_depthbuf_free(nullptr) == 0 && gx_depthbuf_free(b) == 0);
    EXPECT_TRUE(gx_state.depth_buffer == a && gx_state.depth_buffer_words == 32u);  // not b
    EXPECT_EQ(gx_depthbuf_free(a), 0);
    EXPECT_TRUE(gx_state.depth_buffer == nullptr && gx_state.depth_buffer_words == 0u &&
                headless_live_blocks() == blocks_before);
    for (int i = 0; i < 256; ++i) gx_depthbuf_clear();
}

struct TextureSlots : Gx3dTest {
    uint8_t* tex(int i) { return reinterpret_cast<uint8_t*>(texels_.data() + 8 * i); }
    static bool current_is(const uint8_t* pixels, int32_t width, int32_t height) {
        return gx_state.texture_pixels == pixels && gx_state.texture_width == width &&
               gx_state.texture_height == height;
    }
};

// Bad counts and a failing allocation leave the table in force (or none:
// then no texture can be defined).
TEST_F(TextureSlots, AllocRejectsBadCountsAndKeepsTheTable) {
    for (int32_t count : {0, -1, INT32_MIN}) EXPECT_EQ(gx_texture_table_alloc(count), -1);
    EXPECT_TRUE(gx_state.texture_table == nullptr && gx_state.texture_count == 0);
    EXPECT_TRUE(gx_texture_define(tex(0), 4, 4) == -1 && gx_texture_select(0) == 0 &&
                gx_texture_undefine(-1) == 0 && gx_state.texture_pixels == nullptr);
    ASSERT_EQ(gx_texture_table_alloc(2), 0);
    gx_texture_define(tex(0), 4, 4);
    ASSERT_EQ(gx_texture_table_alloc(3), 0);
    EXPECT_EQ(headless_live_blocks(), blocks_at_start_ + 1);  // the first table was released
    for (int i = 0; i < 3; ++i) EXPECT_EQ(gx_texture_define(tex(i), 4, 4), i);
    TextureSlot* table = gx_state.texture_table;
    for (int32_t count : {0, INT32_MAX, 0x08000000}) EXPECT_EQ(gx_texture_table_alloc(count), -1);
    headless_fail_allocations(0, 1);
    EXPECT_EQ(gx_texture_table_alloc(8), -1);
    EXPECT_TRUE(gx_state.texture_table == table && gx_state.texture_count == 3 &&
                headless_live_blocks() == blocks_at_start_ + 1);
    EXPECT_EQ(gx_texture_define(tex(3), 4, 4), -1);  // still the full 3-slot table
}

// Defining takes the first free slot (null pixels leave it free); selecting
// copies a slot, and out-of-range or free slots leave the current texture
// alone, as does undefining all of them.
TEST_F(TextureSlots, DefineSelectUndefine) {
    ASSERT_EQ(gx_texture_table_alloc(6), 0);
    EXPECT_TRUE(gx_state.texture_count == 6 && gx_texture_define(nullptr, 4, 4) == 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(gx_texture_define(tex(i), 64, 32 + i), i);
    EXPECT_TRUE(gx_texture_define(tex(0), 64, 64) == -1 && gx_texture_undefine(2) == 0);
    EXPECT_TRUE(gx_texture_define(tex(5), 8, 9) == 2 && gx_texture_select(2) == 0);
    EXPECT_TRUE(current_is(tex(5), 8, 9) && gx_texture_undefine(4) == 0);
    for (int32_t slot : {6, -1, 4, INT32_MIN, INT32_MAX})
        EXPECT_TRUE(gx_texture_select(slot) == 0 && current_is(tex(5), 8, 9)) << slot;
    EXPECT_TRUE(gx_texture_undefine(6) == 0 && gx_state.texture_table[5].pixels == tex(5));
    EXPECT_EQ(gx_texture_undefine(-1), 0);
    for (int i = 0; i < 6; ++i) {
        const TextureSlot& slot = gx_state.texture_table[i];
        gx_texture_select(i);
        EXPECT_TRUE(slot.pixels == nullptr && slot.width == (i == 2 ? 8 : 64) &&  // size kept
                    current_is(tex(5), 8, 9))
            << i;
    }
}

}  // namespace
