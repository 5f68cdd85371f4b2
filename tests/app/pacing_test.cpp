// The 60-per-second clock that paces the idle loop, on simulated time.
#include <gtest/gtest.h>

#include "app/pacing.h"

namespace {

constexpr int64_t ms = 1000000;
constexpr int64_t t0 = 5000 * ms;  // an arbitrary start on the steady clock

// Tick n starts n * 1e9 / 60 ns after tick 0: 16666666, 33333333, 50000000...
int64_t tick(int64_t n) { return t0 + n * 1000000000 / 60; }

}  // namespace

TEST(TickClock, FirstCallIsATickAtOnce) {
    TickClock clock;
    EXPECT_EQ(tick_wait_ms(clock, t0), 0u);
    EXPECT_TRUE(tick_due(clock, t0));
    EXPECT_FALSE(tick_due(clock, t0));
}

TEST(TickClock, TicksComeEverySixtiethOfASecond) {
    TickClock clock;
    ASSERT_TRUE(tick_due(clock, t0));
    EXPECT_FALSE(tick_due(clock, tick(1) - 1));
    EXPECT_TRUE(tick_due(clock, tick(1)));
    EXPECT_FALSE(tick_due(clock, tick(1) + 1));
    EXPECT_FALSE(tick_due(clock, tick(2) - 1));
    EXPECT_TRUE(tick_due(clock, tick(2)));
    EXPECT_EQ(tick(3) - t0, 50000000);
}

TEST(TickClock, WaitIsRoundedUpToTheNextTick) {
    TickClock clock;
    ASSERT_TRUE(tick_due(clock, t0));
    EXPECT_EQ(tick_wait_ms(clock, t0), 17u);          // 16.67 ms left
    EXPECT_EQ(tick_wait_ms(clock, t0 + 16 * ms), 1u);  // 0.67 ms left
    EXPECT_EQ(tick_wait_ms(clock, tick(1) - 1), 1u);
    EXPECT_EQ(tick_wait_ms(clock, tick(1)), 0u);
}

// Woken every millisecond for ten seconds: exactly 60 ticks a second.
TEST(TickClock, SixtyTicksASecondWhenPolledOften) {
    TickClock clock;
    int ticks = 0;
    for (int64_t t = t0; t < t0 + 10000 * ms; t += ms) ticks += tick_due(clock, t);
    EXPECT_EQ(ticks, 600);
}

// A coarse system timer that wakes the loop up to 15 ms late still gives
// 60 ticks a second: a late tick does not push the later ones back.
TEST(TickClock, LateWakeUpsKeepTheRate) {
    TickClock clock;
    int ticks = 0;
    int64_t t = t0;
    while (t < t0 + 10000 * ms) {
        ticks += tick_due(clock, t);
        const int64_t wait = tick_wait_ms(clock, t);
        t += (wait == 0 ? 1 : wait) * ms + 15 * ms;
    }
    EXPECT_GE(ticks, 599);
    EXPECT_LE(ticks, 601);
}

// A busy stretch of 100 ms gives one tick, not a burst of six.
TEST(TickClock, MissedTicksAreDropped) {
    TickClock clock;
    ASSERT_TRUE(tick_due(clock, t0));
    EXPECT_TRUE(tick_due(clock, t0 + 100 * ms));
    EXPECT_FALSE(tick_due(clock, t0 + 100 * ms));
    EXPECT_FALSE(tick_due(clock, tick(7) - 1));  // tick 7 at 116.67 ms
    EXPECT_TRUE(tick_due(clock, tick(7)));
}
