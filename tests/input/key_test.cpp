// The key test: one key by scan code, or any key.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "gfx/gfx.h"
#include "platform/headless/headless.h"

namespace {

// Tests that set key bytes reset the backend first.
using Keys = ::testing::Test;

// Set-1 scan codes against the US layout: rows, F-keys, keypad navigation.
TEST_F(Keys, ScanCodesOfTheProgramsKeys) {
    uint32_t want[0x100] = {};
    const std::pair<uint32_t, const char*> rows[] = {
        {0x02, "1234567890"}, {0x10, "QWERTYUIOP"}, {0x1E, "ASDFGHJKL"}, {0x2C, "ZXCVBNM"}};
    for (const auto& [first, keys] : rows)
        for (int i = 0; keys[i] != 0; ++i) want[first + i] = static_cast<uint8_t>(keys[i]);
    for (uint32_t i = 0; i < 10; ++i) want[0x3B + i] = 0x70 + i;
    const uint8_t keypad[13] = {0x24, 0x26, 0x21, 0x6D, 0x25, 0x0C, 0x27,
                                0x6B, 0x23, 0x28, 0x22, 0x2D, 0x2E};
    for (uint32_t i = 0; i < 13; ++i) want[0x47 + i] = keypad[i];  // Home to Del
    const uint32_t others[][2] = {
        {0x01, 0x1B}, {0x0C, 0xBD}, {0x0D, 0xBB}, {0x0E, 0x08}, {0x0F, 0x09}, {0x1A, 0xDB},
        {0x1B, 0xDD}, {0x1C, 0x0D}, {0x1D, 0x11}, {0x27, 0xBA}, {0x28, 0xDE}, {0x29, 0xC0},
        {0x2A, 0x10}, {0x2B, 0xDC}, {0x33, 0xBC}, {0x34, 0xBE}, {0x35, 0xBF}, {0x36, 0x10},
        {0x37, 0x6A}, {0x38, 0x12}, {0x39, 0x20}, {0x3A, 0x14}, {0x45, 0x90}, {0x46, 0x91},
        {0x54, 0x2C}, {0x56, 0xE2}, {0x57, 0x7A}, {0x58, 0x7B}};
    for (const auto& [scan, vk] : others) want[scan] = vk;
    for (uint32_t scan = 0; scan < 0x100; ++scan)
        EXPECT_EQ(pf_scan_to_virtual_key(scan), want[scan]) << scan;
    EXPECT_EQ(pf_scan_to_virtual_key(0xFFFFFFFF), 0u);
}

// The sign bit of the key's state; codes naming no key are never down.
TEST_F(Keys, CodesThatNameNoKeyAreNeverDown) {
    headless_reset();
    headless_set_scan_key(42, true);
    EXPECT_EQ((std::vector{gx_key_test(42), gx_key_test(54), gx_key_test(45)}),
              (std::vector{1, 1, 0}));
    headless_set_scan_key(42, false);
    EXPECT_EQ(gx_key_test(42), 0);
    for (const auto& [state, down] : {std::pair<uint8_t, int>{0x01, 0}, {0x81, 1}, {0x7F, 0}}) {
        headless_set_key_byte('X', state);
        EXPECT_EQ(gx_key_test(45), down) << int{state};
    }
    for (uint32_t vk = 1; vk < 256; ++vk) headless_set_key_byte(vk, 0x80);
    for (int32_t code : {0x55, 0x59, 0x7F, 0xFF, 0x100, -1, -42, INT32_MIN, INT32_MAX})
        EXPECT_EQ(gx_key_test(code), 0) << code;
}

// Any key: an entry from 2 on exactly 0x80 or 0x81.
TEST_F(Keys, AnyKeyWantsExactlyDownOrDownAndToggledFromEntryTwoOn) {
    // Key bytes set (virtual key, state; 0: none), then the answer.
    const uint8_t cases[][7] = {
        {0, 0, 0, 0, 0, 0, 0},           {0x14, 0x01, 0, 0, 0, 0, 0},
        {0x14, 0x81, 0, 0, 0, 0, 1},     {255, 0x80, 0, 0, 0, 0, 1},
        {1, 0x80, 0, 0, 0, 0, 0},        {1, 0x80, 2, 0x80, 0, 0, 1},
        {'A', 0x82, 'B', 0xC0, 0, 0, 0}, {'A', 0x82, 'B', 0xC0, 'C', 0x80, 1}};
    for (const auto& c : cases) {
        headless_reset();
        for (int k = 0; k < 6; k += 2) headless_set_key_byte(c[k], c[k + 1]);
        headless_set_key_byte(0, 0x80);  // entry 0 never counts
        EXPECT_EQ(gx_key_test(0), c[6]) << &c - cases;
    }
    EXPECT_EQ(gx_state.key_state[0x43], 0x80);  // the state read is kept
}

}  // namespace
