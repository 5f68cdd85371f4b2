// Virtual buffers: geometry, headers, the slot table and its failure paths.
#include "fixture.h"

namespace {

class Buffers : public Library {
protected:
    void SetUp() override {
        Library::SetUp();
        gx_initialize();
    }
};

TEST_F(Buffers, PaddedWidthAndPitchAt16Bits) {
    gx_set_buffer_depth(16);
    const int32_t slot = gx_buffer_alloc(641, 10);
    ASSERT_EQ(slot, 0);
    const BufferSlot& b = gx_state.buffer_slots[slot];
    EXPECT_EQ(b.width, 644);
    EXPECT_EQ(b.pitch, 1288);
    EXPECT_EQ(b.max_x, 643);
    EXPECT_EQ(b.max_y, 9);
    EXPECT_EQ(b.min_x, 0);
    EXPECT_EQ(b.min_y, 0);
    EXPECT_EQ(b.height, 10);
    EXPECT_EQ(b.depth, 16);
}

TEST_F(Buffers, PaddedWidthAndPitchAt24Bits) {
    gx_set_buffer_depth(24);
    const int32_t slot = gx_buffer_alloc(5, 3);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(gx_state.buffer_slots[slot].width, 8);
    EXPECT_EQ(gx_state.buffer_slots[slot].pitch, 24);
}

TEST_F(Buffers, OpenSetsTheActiveFields) {
    const int32_t slot = open_buffer(16, 640, 480);
    EXPECT_EQ(gx_state.active_buffer, slot);
    EXPECT_EQ(gx_state.active_depth, 16);
    EXPECT_EQ(gx_state.active_width, 640);
    EXPECT_EQ(gx_state.active_height, 480);
    EXPECT_EQ(gx_state.active_max_y, 479);
    EXPECT_EQ(gx_state.active_pitch, 1280);
    EXPECT_EQ(gx_state.active_size, 614400);
    EXPECT_EQ(gx_state.clip_min_x, 0);
    EXPECT_EQ(gx_state.clip_max_x, 639);
    EXPECT_EQ(gx_state.clip_min_y, 0);
    EXPECT_EQ(gx_state.clip_max_y, 479);
    EXPECT_EQ(gx_state.active_pixels, gx_state.buffer_slots[slot].pixels);
    EXPECT_EQ(gx_state.active_header, gx_state.buffer_slots[slot].header);
    EXPECT_EQ(gx_state.header_size, 108);
    EXPECT_EQ(gx_state.header_alloc_size, 108);
    EXPECT_EQ(gx_state.dib_usage, 0);
}

TEST_F(Buffers, SixteenBitHeaderOnNtAndOlderSystems) {
    // Start-up on the NT family (the headless default).
    EXPECT_EQ(gx_state.is_nt, 1);
    gx_set_buffer_depth(16);
    const int32_t nt = gx_buffer_alloc(640, 480);
    PfBitmapV4Header h = header_of(nt);
    EXPECT_EQ(h.info.size, 40u);
    EXPECT_EQ(h.info.width, 640);
    EXPECT_EQ(h.info.height, 480);  // positive: bottom-up
    EXPECT_EQ(h.info.planes, 1);
    EXPECT_EQ(h.info.bit_count, 16);
    EXPECT_EQ(h.info.compression, 3u);
    EXPECT_EQ(h.red_mask, 0xF800u);
    EXPECT_EQ(h.green_mask, 0x07E0u);
    EXPECT_EQ(h.blue_mask, 0x001Fu);
    EXPECT_EQ(h.alpha_mask, 0u);

    gx_buffer_free(nt);

    headless_set_version(HEADLESS_VERSION_NOT_NT);
    gx_shutdown();
    gx_initialize();
    EXPECT_EQ(gx_state.is_nt, 0);
    gx_set_buffer_depth(16);
    const int32_t old = gx_buffer_alloc(640, 480);
    h = header_of(old);
    EXPECT_EQ(h.info.size, 108u);
    EXPECT_EQ(h.red_mask, 0xF800u);
    EXPECT_EQ(h.blue_mask, 0x001Fu);
}

TEST_F(Buffers, ThirtyTwoAndTwentyFourBitHeaders) {
    gx_set_buffer_depth(32);
    EXPECT_EQ(gx_state.header_size, 108);
    EXPECT_EQ(gx_state.header_alloc_size, 108);
    const int32_t s32 = gx_buffer_alloc(3, 2);
    PfBitmapV4Header h = header_of(s32);
    EXPECT_EQ(h.info.size, 40u);
    EXPECT_EQ(h.info.width, 4);
    EXPECT_EQ(h.info.bit_count, 32);
    EXPECT_EQ(h.info.compression, 3u);
    EXPECT_EQ(h.red_mask, 0x00FF0000u);
    EXPECT_EQ(h.green_mask, 0x0000FF00u);
    EXPECT_EQ(h.blue_mask, 0x000000FFu);
    EXPECT_EQ(h.alpha_mask, 0xFF000000u);
    EXPECT_EQ(gx_state.buffer_slots[s32].pitch, 16);

    gx_set_buffer_depth(24);
    EXPECT_EQ(gx_state.header_size, 40);
    EXPECT_EQ(gx_state.header_alloc_size, 40);
    const int32_t s24 = gx_buffer_alloc(1, 1);
    h = header_of(s24);
    EXPECT_EQ(h.info.size, 40u);
    EXPECT_EQ(h.info.compression, 0u);
    EXPECT_EQ(h.info.bit_count, 24);
}

TEST_F(Buffers, SlotTable) {
    gx_set_buffer_depth(16);
    for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(gx_buffer_alloc(4, 1), i);
    EXPECT_EQ(gx_buffer_alloc(4, 1), -1);
    EXPECT_EQ(gx_buffer_free(3), 0);
    EXPECT_EQ(gx_buffer_alloc(4, 1), 3);
    EXPECT_EQ(gx_buffer_alloc(4, 1), -1);
}

TEST_F(Buffers, OpenRejectsBadSlots) {
    const int32_t slot = open_buffer(16, 8, 8);
    EXPECT_EQ(gx_buffer_open(256), -1);
    EXPECT_EQ(gx_buffer_open(-1), -1);
    EXPECT_EQ(gx_buffer_open(slot + 1), -2);
    const int32_t other = gx_buffer_alloc(8, 8);
    gx_buffer_free(other);
    EXPECT_EQ(gx_buffer_open(other), -2);
    EXPECT_EQ(gx_state.active_buffer, slot);
}

TEST_F(Buffers, FreeingTheOpenSlotDoesNothing) {
    const int32_t slot = open_buffer(16, 8, 8);
    EXPECT_EQ(gx_buffer_free(slot), 0);
    EXPECT_NE(gx_state.buffer_slots[slot].pixels, nullptr);
    EXPECT_EQ(gx_state.active_buffer, slot);
    EXPECT_EQ(gx_buffer_free(256), 0);
    EXPECT_EQ(gx_buffer_free(100000), 0);
}

TEST_F(Buffers, FreeAllKeepsOnlyTheOpenBuffer) {
    gx_set_buffer_depth(24);
    for (int i = 0; i < 5; ++i) gx_buffer_alloc(4, 4);
    gx_buffer_open(2);
    const int32_t blocks = headless_live_blocks();
    EXPECT_EQ(gx_buffer_free(-1), 0);
    EXPECT_EQ(headless_live_blocks(), blocks - 4);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(gx_state.buffer_slots[i].pixels != nullptr, i == 2) << "slot " << i;
    // With nothing open it frees the rest too.
    gx_buffer_close();
    gx_buffer_free(-7);
    EXPECT_EQ(gx_state.buffer_slots[2].pixels, nullptr);
    EXPECT_EQ(headless_live_blocks(), blocks - 5);
}

TEST_F(Buffers, FreeReleasesHeaderAndBitmap) {
    const int32_t blocks = headless_live_blocks();
    const int32_t objects = headless_live_objects();
    gx_set_buffer_depth(16);
    const int32_t slot = gx_buffer_alloc(64, 64);
    EXPECT_EQ(headless_live_blocks(), blocks + 1);
    EXPECT_EQ(headless_live_objects(), objects + 1);
    gx_buffer_free(slot);
    gx_buffer_free(slot);  // a second time does nothing
    EXPECT_EQ(headless_live_blocks(), blocks);
    EXPECT_EQ(headless_live_objects(), objects);
}

TEST_F(Buffers, CloseRestoresTheMemoryContextsBitmap) {
    const int32_t a = open_buffer(16, 8, 8);
    const int32_t b = open_buffer(16, 8, 8);
    EXPECT_NE(gx_state.saved_bitmap, nullptr);
    EXPECT_EQ(gx_buffer_close(), 0);
    EXPECT_EQ(gx_state.active_buffer, -1);
    EXPECT_EQ(gx_state.saved_bitmap, nullptr);
    // Neither bitmap is held by the memory context any more, so both go.
    const int32_t objects = headless_live_objects();
    gx_buffer_free(a);
    gx_buffer_free(b);
    EXPECT_EQ(headless_live_objects(), objects - 2);
}

// ---- Allocation failures: -2 and nothing left behind ----------------------

TEST_F(Buffers, InvalidDepthsAndSizesGiveMinusTwo) {
    const int32_t blocks = headless_live_blocks();
    for (int32_t depth : {0, 1, 4, 15, 31, 33, 64, -16}) {
        gx_set_buffer_depth(depth);
        EXPECT_EQ(gx_buffer_alloc(16, 16), -2) << depth;
    }
    gx_set_buffer_depth(16);
    EXPECT_EQ(gx_buffer_alloc(0, 16), -2);
    EXPECT_EQ(gx_buffer_alloc(16, 0), -2);
    EXPECT_EQ(gx_buffer_alloc(-4, 16), -2);
    EXPECT_EQ(gx_buffer_alloc(16, -1), -2);
    EXPECT_EQ(headless_live_blocks(), blocks);
    EXPECT_EQ(gx_buffer_alloc(16, 16), 0);  // the slot stayed free
}

TEST_F(Buffers, OverflowingSizesGiveMinusTwo) {
    const int32_t blocks = headless_live_blocks();
    gx_set_buffer_depth(32);
    EXPECT_EQ(gx_buffer_alloc(INT32_MAX, 1), -2);  // padding overflows
    EXPECT_EQ(gx_buffer_alloc(65536, 8192), -2);   // 2^31 bytes
    EXPECT_EQ(gx_buffer_alloc(1, INT32_MAX), -2);
    gx_set_buffer_depth(24);
    EXPECT_EQ(gx_buffer_alloc(INT32_MAX - 3, 1), -2);
    EXPECT_EQ(headless_live_blocks(), blocks);
}

TEST_F(Buffers, FailedHeaderBlockGivesMinusTwo) {
    const int32_t blocks = headless_live_blocks();
    const int32_t objects = headless_live_objects();
    gx_set_buffer_depth(16);
    headless_fail_allocations(0, 1);
    EXPECT_EQ(gx_buffer_alloc(64, 64), -2);
    EXPECT_EQ(gx_state.buffer_slots[0].pixels, nullptr);
    EXPECT_EQ(headless_live_blocks(), blocks);
    EXPECT_EQ(headless_live_objects(), objects);
}

TEST_F(Buffers, FailedBitmapReleasesTheHeaderBlock) {
    const int32_t blocks = headless_live_blocks();
    const int32_t objects = headless_live_objects();
    gx_set_buffer_depth(16);
    headless_fail_allocations(1, 1);  // the header succeeds, the bitmap fails
    EXPECT_EQ(gx_buffer_alloc(64, 64), -2);
    EXPECT_EQ(gx_state.buffer_slots[0].pixels, nullptr);
    EXPECT_EQ(headless_live_blocks(), blocks);
    EXPECT_EQ(headless_live_objects(), objects);
    EXPECT_EQ(gx_buffer_alloc(64, 64), 0);
}

TEST_F(Buffers, AllocationSizeFollowsTheDepthNotTheLastOpenBuffer) {
    // Opening a 16-bit buffer sets header_alloc_size 108; a following 8-bit
    // buffer still gets room for its colour part.
    open_buffer(16, 8, 8);
    EXPECT_EQ(gx_state.header_alloc_size, 108);
    gx_state.new_buffer_depth = 8;
    const int32_t slot = gx_buffer_alloc(8, 8);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(gx_buffer_open(slot), 0);
    EXPECT_EQ(gx_state.header_alloc_size, 1064);
}

}  // namespace
