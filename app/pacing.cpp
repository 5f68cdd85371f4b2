// The steady 60-per-second clock of the idle loop.
#include "app/pacing.h"

#include <chrono>

#include "app/scene.h"

namespace {

constexpr int64_t NS_PER_SECOND = 1000000000;

// Start of tick n, measured from tick 0; exact in whole nanoseconds.
int64_t tick_offset(int64_t n) { return n * NS_PER_SECOND / TICKS_PER_SECOND; }

}  // namespace

int64_t clock_now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool tick_due(TickClock& clock, int64_t now_ns) {
    if (!clock.started) {
        clock.started = true;
        clock.start_ns = now_ns;
        clock.next_tick = 1;
        return true;
    }
    const int64_t elapsed = now_ns - clock.start_ns;
    if (elapsed < tick_offset(clock.next_tick)) return false;
    ++clock.next_tick;
    // Still behind after using one tick: the ones in between are lost.
    if (elapsed >= tick_offset(clock.next_tick)) {
        clock.next_tick = elapsed * TICKS_PER_SECOND / NS_PER_SECOND + 1;
    }
    return true;
}

uint32_t tick_wait_ms(const TickClock& clock, int64_t now_ns) {
    if (!clock.started) return 0;
    const int64_t left = tick_offset(clock.next_tick) - (now_ns - clock.start_ns);
    if (left <= 0) return 0;
    return static_cast<uint32_t>((left + 999999) / 1000000);
}

uint32_t idle_turn(TickClock& clock) {
    const int64_t now = clock_now_ns();
    if (tick_due(clock, now)) {
        frame_step();
        return 0;
    }
    const uint32_t wait = tick_wait_ms(clock, now);
    return wait == 0 ? 1 : wait;
}
