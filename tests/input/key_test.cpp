// The key test: one key by scan code (sign bit of the asynchronous state),
// and any key (entries 2 to 255 equal to 0x80, then 0x81).
#include <gtest/gtest.h>

#include "gfx/gfx.h"
#include "platform/headless/headless.h"

namespace {

class Keys : public ::testing::Test {
protected:
    void SetUp() override { headless_reset(); }
    void TearDown() override { headless_reset(); }
};

TEST_F(Keys, ScanCodesOfTheProgramsKeys) {
    EXPECT_EQ(pf_scan_to_virtual_key(42), 0x10u);  // left Shift
    EXPECT_EQ(pf_scan_to_virtual_key(54), 0x10u);  // right Shift
    EXPECT_EQ(pf_scan_to_virtual_key(45), uint32_t{'X'});
    EXPECT_EQ(pf_scan_to_virtual_key(21), uint32_t{'Y'});
    EXPECT_EQ(pf_scan_to_virtual_key(44), uint32_t{'Z'});
    EXPECT_EQ(pf_scan_to_virtual_key(74), 0x6Du);  // keypad minus
    EXPECT_EQ(pf_scan_to_virtual_key(78), 0x6Bu);  // keypad plus
    EXPECT_EQ(pf_scan_to_virtual_key(72), 0x26u);  // keypad 8: up
    EXPECT_EQ(pf_scan_to_virtual_key(75), 0x25u);  // keypad 4: left
    EXPECT_EQ(pf_scan_to_virtual_key(77), 0x27u);  // keypad 6: right
    EXPECT_EQ(pf_scan_to_virtual_key(80), 0x28u);  // keypad 2: down
    EXPECT_EQ(pf_scan_to_virtual_key(1), 0x1Bu);   // Escape
    EXPECT_EQ(pf_scan_to_virtual_key(0), 0u);
    EXPECT_EQ(pf_scan_to_virtual_key(0x59), 0u);
    EXPECT_EQ(pf_scan_to_virtual_key(0xFFFFFFFF), 0u);
}

TEST_F(Keys, ShiftHeldAndReleased) {
    EXPECT_EQ(gx_key_test(42), 0);
    headless_set_scan_key(42, true);
    EXPECT_EQ(gx_key_test(42), 1);
    EXPECT_EQ(gx_key_test(54), 1);  // both Shift keys are the one virtual key
    EXPECT_EQ(gx_key_test(45), 0);
    headless_set_scan_key(42, false);
    EXPECT_EQ(gx_key_test(42), 0);
}

TEST_F(Keys, OneKeyLooksAtTheSignBitOnly) {
    headless_set_key_byte('X', 0x01);  // toggled, not down
    EXPECT_EQ(gx_key_test(45), 0);
    headless_set_key_byte('X', 0x81);
    EXPECT_EQ(gx_key_test(45), 1);
    headless_set_key_byte('X', 0x7F);
    EXPECT_EQ(gx_key_test(45), 0);
    headless_set_key_byte(0x25, 0x80);  // the left arrow answers keypad 4's code
    EXPECT_EQ(gx_key_test(75), 1);
}

TEST_F(Keys, AnyKey) {
    EXPECT_EQ(gx_key_test(0), 0);
    headless_set_key_byte(0x14, 0x01);  // Caps Lock toggled, nothing held
    EXPECT_EQ(gx_key_test(0), 0);
    headless_set_key_byte(0x14, 0x81);  // and now held down
    EXPECT_EQ(gx_key_test(0), 1);
    EXPECT_EQ(gx_state.key_state[0x14], 0x81);
    headless_set_key_byte(0x14, 0x00);
    headless_set_key_byte(255, 0x80);  // the last entry is searched
    EXPECT_EQ(gx_key_test(0), 1);
}

TEST_F(Keys, AnyKeySkipsEntriesZeroAndOne) {
    headless_set_key_byte(0, 0x80);
    headless_set_key_byte(1, 0x80);  // left mouse button
    EXPECT_EQ(gx_key_test(0), 0);
    headless_set_key_byte(2, 0x80);  // right mouse button
    EXPECT_EQ(gx_key_test(0), 1);
}

TEST_F(Keys, AnyKeyWantsExactlyDownOrDownAndToggled) {
    headless_set_key_byte('A', 0x82);
    headless_set_key_byte('B', 0xC0);
    EXPECT_EQ(gx_key_test(0), 0);
    headless_set_key_byte('C', 0x80);
    EXPECT_EQ(gx_key_test(0), 1);
}

}  // namespace
