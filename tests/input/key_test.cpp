// The key test: one key by scan code (sign bit of the asynchronous state),
// and any key (entries 2 to 255 equal to 0x80, then 0x81).
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "gfx/gfx.h"
#include "platform/headless/headless.h"

namespace {

class Keys : public ::testing::Test {
protected:
    void SetUp() override { headless_reset(); }
    void TearDown() override { headless_reset(); }
};

TEST_F(Keys, ScanCodesOfTheProgramsKeys) {
    const std::pair<uint32_t, uint32_t> keys[] = {
        {42, 0x10}, {54, 0x10},             // left and right Shift
        {45, 'X'},  {21, 'Y'},  {44, 'Z'},  //
        {74, 0x6D}, {78, 0x6B},             // keypad minus and plus
        {72, 0x26}, {75, 0x25}, {77, 0x27},
        {80, 0x28},  // keypad 8, 4, 6, 2: up, left, right, down
        {1, 0x1B},   // Escape
        {0, 0},     {0x59, 0},  {0xFFFFFFFF, 0},
    };
    for (const auto& [scan, vk] : keys) EXPECT_EQ(pf_scan_to_virtual_key(scan), vk) << scan;
}

TEST_F(Keys, OneKeyLooksAtTheSignBitOnly) {
    EXPECT_EQ(gx_key_test(42), 0);
    headless_set_scan_key(42, true);
    EXPECT_EQ(gx_key_test(42), 1);
    EXPECT_EQ(gx_key_test(54), 1);  // both Shift keys are the one virtual key
    EXPECT_EQ(gx_key_test(45), 0);
    headless_set_scan_key(42, false);
    EXPECT_EQ(gx_key_test(42), 0);
    const std::pair<uint8_t, int32_t> states[] = {
        {0x01, 0}, {0x81, 1}, {0x7F, 0}};  // toggled, down, not down
    for (const auto& [state, down] : states) {
        headless_set_key_byte('X', state);
        EXPECT_EQ(gx_key_test(45), down) << int{state};
    }
    headless_set_key_byte(0x25, 0x80);  // the left arrow answers keypad 4's code
    EXPECT_EQ(gx_key_test(75), 1);
}

TEST_F(Keys, AnyKeyWantsExactlyDownOrDownAndToggledFromEntryTwoOn) {
    const struct {
        std::vector<std::pair<uint32_t, uint8_t>> bytes;
        int32_t any;
    } cases[] = {
        {{}, 0},
        {{{0x14, 0x01}}, 0},                     // Caps Lock toggled, nothing held
        {{{0x14, 0x81}}, 1},                     // and now held down
        {{{255, 0x80}}, 1},                      // the last entry is searched
        {{{0, 0x80}, {1, 0x80}}, 0},             // entry 1: the left mouse button
        {{{0, 0x80}, {1, 0x80}, {2, 0x80}}, 1},  // entry 2: the right mouse button
        {{{'A', 0x82}, {'B', 0xC0}}, 0},
        {{{'A', 0x82}, {'B', 0xC0}, {'C', 0x80}}, 1},
    };
    for (const auto& c : cases) {
        headless_reset();
        for (const auto& [vk, state] : c.bytes) headless_set_key_byte(vk, state);
        EXPECT_EQ(gx_key_test(0), c.any) << testing::PrintToString(c.bytes);
    }
    EXPECT_EQ(gx_state.key_state[0x43], 0x80);  // the state read is kept
}

// Codes that name no key, negative and huge ones, report "not down" even
// when every real key is down.
TEST_F(Keys, CodesThatNameNoKeyAreNeverDown) {
    for (uint32_t vk = 1; vk < 256; ++vk) headless_set_key_byte(vk, 0x80);
    EXPECT_EQ(gx_key_test(42), 1);  // a real key, to show the keys are down
    for (int32_t code : {0x59, 0x7F, 0xFF, 0x100, -1, -42, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(gx_key_test(code), 0) << code;
    }
}

}  // namespace
