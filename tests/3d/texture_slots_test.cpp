// The texture slot table and the current texture.
#include "fixture.h"

namespace {

class TextureSlots : public Gx3dTest {
protected:
    uint8_t texels[6][16] = {};
    uint8_t* tex(int i) { return texels[i]; }
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
    EXPECT_EQ(gx_texture_define(tex(0), 4, 4), -1);
    EXPECT_TRUE(gx_texture_select(0) == 0 && gx_texture_undefine(-1) == 0);
    EXPECT_EQ(gx_state.texture_pixels, nullptr);
    ASSERT_EQ(gx_texture_table_alloc(2), 0);
    gx_texture_define(tex(0), 4, 4);
    ASSERT_EQ(gx_texture_table_alloc(3), 0);
    EXPECT_EQ(headless_live_blocks(), blocks_at_start_ + 1);  // the first table was released
    for (int i = 0; i < 3; ++i) EXPECT_EQ(gx_texture_define(tex(i), 4, 4), i);
    TextureSlot* table = gx_state.texture_table;
    for (int32_t count : {0, INT32_MAX, 0x08000000}) EXPECT_EQ(gx_texture_table_alloc(count), -1);
    headless_fail_allocations(0, 1);
    EXPECT_EQ(gx_texture_table_alloc(8), -1);
    EXPECT_TRUE(gx_state.texture_table == table && gx_state.texture_count == 3);
    EXPECT_EQ(gx_texture_define(tex(3), 4, 4), -1);  // still the full 3-slot table
    EXPECT_EQ(headless_live_blocks(), blocks_at_start_ + 1);
}

// Defining takes the first free slot (null pixels leave it free); selecting
// copies a slot, and out-of-range or free slots leave the current texture
// alone, as does undefining all of them.
TEST_F(TextureSlots, DefineSelectUndefine) {
    ASSERT_EQ(gx_texture_table_alloc(6), 0);
    EXPECT_TRUE(gx_state.texture_count == 6 && gx_texture_define(nullptr, 4, 4) == 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(gx_texture_define(tex(i), 64, 32 + i), i);
    EXPECT_EQ(gx_texture_define(tex(0), 64, 64), -1);
    EXPECT_EQ(gx_texture_undefine(2), 0);
    EXPECT_EQ(gx_texture_define(tex(5), 8, 9), 2);
    EXPECT_EQ(gx_texture_select(2), 0);
    EXPECT_TRUE(current_is(tex(5), 8, 9));
    EXPECT_EQ(gx_texture_undefine(4), 0);
    for (int32_t slot : {6, -1, 4, INT32_MIN, INT32_MAX})
        EXPECT_TRUE(gx_texture_select(slot) == 0 && current_is(tex(5), 8, 9)) << slot;
    EXPECT_EQ(gx_texture_undefine(6), 0);  // out of range: nothing
    EXPECT_EQ(gx_state.texture_table[5].pixels, tex(5));
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
