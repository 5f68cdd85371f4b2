// Paces the idle loop by a steady clock of 60 ticks a second: the frame step
// runs once per tick, and between ticks the loop sleeps until the next tick
// or the next message, whichever comes first. A held key then acts once per
// tick, and an idle program uses next to no processor time.
#pragma once

#include <cstdint>

inline constexpr int64_t TICKS_PER_SECOND = 60;

struct TickClock {
    bool started = false;
    int64_t start_ns = 0;   // time of tick 0
    int64_t next_tick = 0;  // number of the next tick not yet used
};

// Nanoseconds of a steady clock (only differences mean anything).
int64_t clock_now_ns();

// Whether a tick has come at now_ns; if so it is used up. The first call
// starts the clock and is a tick at once. Ticks missed entirely (the loop
// was busy for longer than a tick) are dropped rather than run in a burst.
bool tick_due(TickClock& clock, int64_t now_ns);

// Whole milliseconds to wait from now_ns until the next tick, rounded up so
// that the wait never ends before it; 0 when a tick is due.
uint32_t tick_wait_ms(const TickClock& clock, int64_t now_ns);

// One idle turn of the message loop: runs frame_step when a tick is due and
// returns 0, otherwise returns the milliseconds to wait for a message.
uint32_t idle_turn(TickClock& clock);
