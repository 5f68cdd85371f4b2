// Bad scan codes: codes that name no key, negative and huge ones, report
// "not down" even when every real key is down.
#include <gtest/gtest.h>

#include <cstdint>

#include "gfx/gfx.h"
#include "platform/headless/headless.h"

namespace {

TEST(BadKeyInput, CodesThatNameNoKeyAreNeverDown) {
    headless_reset();
    for (uint32_t vk = 1; vk < 256; ++vk) headless_set_key_byte(vk, 0x80);
    EXPECT_EQ(gx_key_test(42), 1);  // a real key, to show the keys are down
    for (int32_t code : {0x59, 0x7F, 0xFF, 0x100, -1, -42, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(gx_key_test(code), 0) << code;
    }
    headless_reset();
}

}  // namespace
