// Depth buffers: sizes, opening, the frame stamp cycle and freeing, with
// depth buffers that do not match the open virtual buffer.
#include <gtest/gtest.h>

#include <cstdint>

#include "fixture.h"

namespace {

using DepthBuffer = Gx3dTest;

void fill(uint32_t* words, uint32_t count, uint32_t value) {
    for (uint32_t i = 0; i < count; ++i) words[i] = value;
}
// Index of the first word in [from, to) that differs from value, or to.
uint32_t first_not(const uint32_t* words, uint32_t from, uint32_t to, uint32_t value) {
    for (uint32_t i = from; i < to; ++i) {
        if (words[i] != value) return i;
    }
    return to;
}

// Opening and the wrap of the stamp zero the words the open buffer uses, as
// far as the depth buffer holds them (the sanitizer build checks the
// bounds), or all of them with no buffer open: then the geometry is unknown,
// and no word from before may outrank the restarted stamp.
TEST_F(DepthBuffer, OpenAndTheStampWrapZeroWhatTheBufferUses) {
    struct Case {
        int32_t buffer_w, buffer_h, depth_w, depth_h;
        uint32_t words, zeroed;
    };
    const Case cases[] = {
        {0, 0, 640, 480, 1228800 / 4, 1228800 / 4},
        {0, 0, 641, 480, 1236480 / 4, 1236480 / 4},  // width counted as 644
        {8, 4, 8, 4, 32, 32},
        {8, 4, 16, 4, 64, 32},  // larger: the rest is left alone
        {8, 4, 4, 4, 16, 16},   // smaller: below what the buffer needs, so never used
        {8, 4, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.depth_w << " x " << c.depth_h << " on " << c.buffer_w);
        if (c.buffer_w > 0) open_buffer(c.buffer_w, c.buffer_h);
        const int32_t blocks = headless_live_blocks();
        uint32_t* d = gx_depthbuf_alloc(c.depth_w, c.depth_h);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(headless_live_blocks(), blocks + 1);
        EXPECT_EQ(first_not(d, 0, c.words, 0), c.words);  // allocated zero-filled
        const auto expect_reset = [&](uint32_t old) {
            EXPECT_EQ(first_not(d, 0, c.zeroed, 0), c.zeroed);
            EXPECT_EQ(first_not(d, c.zeroed, c.words, old), c.words);
        };
        fill(d, c.words, 0xDEADBEEF);
        gx_state.depth_stamp = 0x05000000;
        EXPECT_EQ(gx_depthbuf_open(d), 0);
        EXPECT_EQ(gx_state.depth_buffer, d);
        EXPECT_EQ(gx_state.depth_buffer_words, c.words);
        EXPECT_EQ(gx_state.depth_stamp, 0u);
        expect_reset(0xDEADBEEF);

        fill(d, c.words, 0x12345678);
        for (uint32_t i = 1; i <= 255; ++i) {
            EXPECT_EQ(gx_depthbuf_clear(), 0);
            ASSERT_EQ(gx_state.depth_stamp, i << 24);
        }
        EXPECT_EQ(first_not(d, 0, c.words, 0x12345678), c.words);  // untouched for 255 frames
        gx_depthbuf_clear();                                       // the 256th wraps
        EXPECT_EQ(gx_state.depth_stamp, 0u);
        expect_reset(0x12345678);
        fill(d, c.words, 0x12345678);
        gx_depthbuf_clear();
        EXPECT_EQ(gx_state.depth_stamp, 0x01000000u);
        EXPECT_EQ(first_not(d, 0, c.words, 0x12345678), c.words);

        gx_depthbuf_free(d);
        EXPECT_EQ(headless_live_blocks(), blocks);
        gx_buffer_close();
        gx_buffer_free(-1);
    }
}

TEST_F(DepthBuffer, AllocFailures) {
    EXPECT_EQ(gx_depthbuf_alloc(-1, 10), nullptr);
    EXPECT_EQ(gx_depthbuf_alloc(10, -1), nullptr);
    EXPECT_EQ(gx_depthbuf_alloc(INT32_MAX, INT32_MAX), nullptr);
    EXPECT_EQ(gx_depthbuf_alloc(65536, 65536), nullptr);  // 2^32 words
    headless_fail_allocations(0, 1);
    EXPECT_EQ(gx_depthbuf_alloc(8, 8), nullptr);
    EXPECT_EQ(headless_live_blocks(), blocks_at_start_);
}

// A 0 x 0 depth buffer is a row of the table above.
TEST_F(DepthBuffer, EmptyAndNullBuffers) {
    open_buffer(8, 4);
    EXPECT_EQ(gx_depthbuf_open(nullptr), 0);
    EXPECT_EQ(gx_state.depth_buffer, nullptr);
    EXPECT_EQ(gx_state.depth_buffer_words, 0u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(gx_depthbuf_clear(), 0);
}

TEST_F(DepthBuffer, FreeingTheOpenBufferForgetsIt) {
    open_buffer(8, 4);
    const int32_t blocks_before = headless_live_blocks();
    uint32_t* a = gx_depthbuf_alloc(8, 4);
    uint32_t* b = gx_depthbuf_alloc(8, 4);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    gx_depthbuf_open(a);
    EXPECT_EQ(gx_depthbuf_free(nullptr), 0);
    EXPECT_EQ(gx_depthbuf_free(b), 0);  // not the open one: a stays in force
    EXPECT_EQ(gx_state.depth_buffer, a);
    EXPECT_EQ(gx_state.depth_buffer_words, 32u);
    EXPECT_EQ(gx_depthbuf_free(a), 0);
    EXPECT_EQ(gx_state.depth_buffer, nullptr);
    EXPECT_EQ(gx_state.depth_buffer_words, 0u);
    EXPECT_EQ(headless_live_blocks(), blocks_before);
    // The clear that wraps the stamp has nothing left to touch.
    for (int i = 0; i < 256; ++i) gx_depthbuf_clear();
}

}  // namespace
