// Time as the game counts it.
#pragma once

#include <cstdint>

// Milliseconds since some fixed moment; wraps after about 49 days.
uint32_t os_tick_count();
// Tests read ticks from their own clock: while set, os_tick_count returns
// *clock. Null goes back to the system's clock.
void os_tick_fake(const uint32_t *clock);

// A periodic timer: the callback runs on a thread of its own every period
// milliseconds, on a fixed schedule (a late call does not push the next
// ones back). Stopping waits for a call under way to finish; none follows.
struct OsTimer;
using OS_TIMER_CALLBACK = void (*)(void *data);
OsTimer *os_timer_start(uint32_t period, OS_TIMER_CALLBACK callback, void *data);
void os_timer_stop(OsTimer *timer);

// Gives the processor away for about that many milliseconds.
void os_sleep(uint32_t milliseconds);
