// Depth buffers: sizes, opening, the frame stamp cycle and freeing, with
// depth buffers that do not match the open virtual buffer.
#include <gtest/gtest.h>

#include <cstdint>

#include "fixture.h"
#include "gfx/gfx.h"
#include "platform/headless/headless.h"

namespace {

class DepthBuffer : public Gx3dTest {
protected:
    void SetUp() override {
        Gx3dTest::SetUp();
        headless_reset();
        gx_initialize();
        blocks_at_start = headless_live_blocks();
    }
    void TearDown() override {
        if (buffer_slot >= 0) {
            gx_buffer_close();
            gx_buffer_free(buffer_slot);
        }
        gx_shutdown();
        Gx3dTest::TearDown();
    }

    // Opens a 16-bit virtual buffer (width a multiple of 4, so no padding).
    void open_buffer(int32_t width, int32_t height) {
        gx_set_buffer_depth(16);
        buffer_slot = gx_buffer_alloc(width, height);
        ASSERT_GE(buffer_slot, 0);
        ASSERT_EQ(gx_buffer_open(buffer_slot), 0);
        ASSERT_EQ(gx_state.active_width, width);
        ASSERT_EQ(gx_state.active_height, height);
    }

    static void fill(uint32_t* words, uint32_t count, uint32_t value) {
        for (uint32_t i = 0; i < count; ++i) words[i] = value;
    }
    // Index of the first word in [from, to) that differs from value, or to.
    static uint32_t first_not(const uint32_t* words, uint32_t from, uint32_t to, uint32_t value) {
        for (uint32_t i = from; i < to; ++i) {
            if (words[i] != value) return i;
        }
        return to;
    }

    int32_t buffer_slot = -1;
    int32_t blocks_at_start = 0;
};

TEST_F(DepthBuffer, SizesCountWidthsInFours) {
    uint32_t* a = gx_depthbuf_alloc(640, 480);
    ASSERT_NE(a, nullptr);
    gx_depthbuf_open(a);
    EXPECT_EQ(gx_state.depth_buffer_words, 1228800u / 4);
    uint32_t* b = gx_depthbuf_alloc(641, 480);
    ASSERT_NE(b, nullptr);
    gx_depthbuf_open(b);
    EXPECT_EQ(gx_state.depth_buffer_words, 1236480u / 4);  // width counted as 644
    EXPECT_EQ(first_not(b, 0, 644 * 480, 0), 644u * 480u);  // allocated zero-filled
    EXPECT_EQ(headless_live_blocks(), blocks_at_start + 2);
    gx_depthbuf_free(a);
    gx_depthbuf_free(b);
    EXPECT_EQ(headless_live_blocks(), blocks_at_start);
}

TEST_F(DepthBuffer, AllocFailures) {
    EXPECT_EQ(gx_depthbuf_alloc(-1, 10), nullptr);
    EXPECT_EQ(gx_depthbuf_alloc(10, -1), nullptr);
    EXPECT_EQ(gx_depthbuf_alloc(INT32_MAX, INT32_MAX), nullptr);
    EXPECT_EQ(gx_depthbuf_alloc(65536, 65536), nullptr);  // 2^32 words
    headless_fail_allocations(0, 1);
    EXPECT_EQ(gx_depthbuf_alloc(8, 8), nullptr);
    EXPECT_EQ(headless_live_blocks(), blocks_at_start);
}

TEST_F(DepthBuffer, OpenZeroesTheBufferAndTheStamp) {
    open_buffer(8, 4);
    uint32_t* d = gx_depthbuf_alloc(8, 4);
    ASSERT_NE(d, nullptr);
    fill(d, 32, 0xDEADBEEF);
    gx_state.depth_stamp = 0x05000000;
    EXPECT_EQ(gx_depthbuf_open(d), 0);
    EXPECT_EQ(gx_state.depth_buffer, d);
    EXPECT_EQ(gx_state.depth_buffer_words, 32u);
    EXPECT_EQ(gx_state.depth_stamp, 0u);
    EXPECT_EQ(first_not(d, 0, 32, 0), 32u);
    gx_depthbuf_free(d);
}

TEST_F(DepthBuffer, StampCycleClearsMemoryOnceIn256) {
    open_buffer(8, 4);
    uint32_t* d = gx_depthbuf_alloc(8, 4);
    ASSERT_NE(d, nullptr);
    gx_depthbuf_open(d);
    fill(d, 32, 0x12345678);
    for (uint32_t i = 1; i <= 255; ++i) {
        EXPECT_EQ(gx_depthbuf_clear(), 0);
        ASSERT_EQ(gx_state.depth_stamp, i << 24);
    }
    EXPECT_EQ(gx_state.depth_stamp, 0xFF000000u);
    EXPECT_EQ(first_not(d, 0, 32, 0x12345678), 32u);  // untouched for 255 frames
    gx_depthbuf_clear();  // the 256th wraps
    EXPECT_EQ(gx_state.depth_stamp, 0u);
    EXPECT_EQ(first_not(d, 0, 32, 0), 32u);
    fill(d, 32, 0x12345678);
    gx_depthbuf_clear();
    EXPECT_EQ(gx_state.depth_stamp, 0x01000000u);
    EXPECT_EQ(first_not(d, 0, 32, 0x12345678), 32u);
    gx_depthbuf_free(d);
}

TEST_F(DepthBuffer, LargerDepthBufferZeroesOnlyWhatTheBufferUses) {
    open_buffer(8, 4);
    uint32_t* d = gx_depthbuf_alloc(16, 4);
    ASSERT_NE(d, nullptr);
    fill(d, 64, 0xAAAAAAAA);
    gx_depthbuf_open(d);
    EXPECT_EQ(gx_state.depth_buffer_words, 64u);
    EXPECT_EQ(first_not(d, 0, 32, 0), 32u);
    EXPECT_EQ(first_not(d, 32, 64, 0xAAAAAAAA), 64u);
    gx_depthbuf_free(d);
}

// A depth buffer smaller than the open buffer: only its own words are
// written (the sanitizer build checks the bounds), and its capacity, below
// what the buffer needs, tells the rasterizers not to use it.
TEST_F(DepthBuffer, SmallerDepthBufferIsNeverOverrun) {
    open_buffer(8, 4);
    uint32_t* d = gx_depthbuf_alloc(4, 4);
    ASSERT_NE(d, nullptr);
    fill(d, 16, 0x55555555);
    gx_depthbuf_open(d);
    EXPECT_EQ(gx_state.depth_buffer_words, 16u);
    EXPECT_LT(gx_state.depth_buffer_words,
              static_cast<uint32_t>(gx_state.active_width * gx_state.active_height));
    EXPECT_EQ(first_not(d, 0, 16, 0), 16u);
    fill(d, 16, 0x55555555);
    for (int i = 0; i < 256; ++i) gx_depthbuf_clear();
    EXPECT_EQ(gx_state.depth_stamp, 0u);
    EXPECT_EQ(first_not(d, 0, 16, 0), 16u);
    gx_depthbuf_free(d);
}

// Without an open buffer the geometry is unknown: the whole depth buffer is
// reset, so that no word from before outranks the restarted stamp.
TEST_F(DepthBuffer, WithoutAnOpenBufferTheWholeDepthBufferIsReset) {
    uint32_t* d = gx_depthbuf_alloc(8, 2);
    ASSERT_NE(d, nullptr);
    fill(d, 16, 0xFFFFFFFF);
    gx_depthbuf_open(d);
    EXPECT_EQ(first_not(d, 0, 16, 0), 16u);
    fill(d, 16, 0xFFFFFFFF);
    for (int i = 0; i < 256; ++i) gx_depthbuf_clear();
    EXPECT_EQ(first_not(d, 0, 16, 0), 16u);
    gx_depthbuf_free(d);
}

TEST_F(DepthBuffer, EmptyAndNullBuffers) {
    open_buffer(8, 4);
    uint32_t* empty = gx_depthbuf_alloc(0, 0);
    ASSERT_NE(empty, nullptr);
    gx_depthbuf_open(empty);
    EXPECT_EQ(gx_state.depth_buffer_words, 0u);
    for (int i = 0; i < 256; ++i) gx_depthbuf_clear();
    gx_depthbuf_free(empty);
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
    EXPECT_EQ(gx_state.depth_buffer, a);
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
