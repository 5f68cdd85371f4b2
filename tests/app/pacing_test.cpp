// The 60-per-second clock that paces the idle loop, on simulated time.
#include <gtest/gtest.h>

#include "app/pacing.h"

namespace {

constexpr int64_t MS = 1000000;
constexpr int64_t T0 = 5000 * MS;  // an arbitrary start on the steady clock

// Tick n starts n * 1e9 / 60 ns after tick 0: 16666666, 33333333, 50000000...
int64_t tick(int64_t n) { return T0 + n * 1000000000 / 60; }

}  // namespace

// The first call is a tick at once; then one tick each sixtieth of a second,
// the wait rounded up to the next tick; a busy stretch of 100 MS gives one
// tick, not a burst of six.
TEST(TickClock, TicksAndWaits) {
    struct Step {
        int64_t at;
        uint32_t wait_ms;  // before the tick_due call
        bool due;
    };
    const Step steps[] = {{T0, 0, true},
                          {T0, 17, false},           // 16.67 MS left
                          {T0 + 16 * MS, 1, false},  // 0.67 MS left
                          {tick(1) - 1, 1, false},
                          {tick(1), 0, true},
                          {tick(1) + 1, 17, false},
                          {tick(2) - 1, 1, false},
                          {tick(2), 0, true},
                          {T0 + 40 * MS, 10, false},  // tick 3 at exactly 50 MS: no rounding up
                          {T0 + 100 * MS, 0, true},
                          {T0 + 100 * MS, 17, false},
                          {tick(7) - 1, 1, false},  // tick 7 at 116.67 MS
                          {tick(7), 0, true}};
    TickClock clock;
    for (const Step& s : steps) {
        EXPECT_EQ(tick_wait_ms(clock, s.at), s.wait_ms) << s.at - T0;
        EXPECT_EQ(tick_due(clock, s.at), s.due) << s.at - T0;
    }
}

// Woken every millisecond, or by a coarse system timer up to 15 MS late,
// for ten seconds: 60 ticks a second; a late tick does not push the later
// ones back.
TEST(TickClock, SixtyTicksASecondHoweverTheLoopWakes) {
    TickClock clock;
    int ticks = 0;
    for (int64_t t = T0; t < T0 + 10000 * MS; t += MS) ticks += tick_due(clock, t);
    EXPECT_EQ(ticks, 600);
    clock = TickClock{};
    ticks = 0;
    for (int64_t t = T0; t < T0 + 10000 * MS;) {
        ticks += tick_due(clock, t);
        const int64_t wait = tick_wait_ms(clock, t);
        t += (wait == 0 ? 1 : wait) * MS + 15 * MS;
    }
    EXPECT_GE(ticks, 599);
    EXPECT_LE(ticks, 601);
}
