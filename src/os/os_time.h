// Time as the game counts it.
#pragma once

#include <cstdint>

// Milliseconds since some fixed moment; wraps after about 49 days.
uint32_t os_tick_count();
// Tests read ticks from their own clock: while set, os_tick_count returns
// *clock. Null goes back to the system's clock.
void os_tick_fake(const uint32_t *clock);
