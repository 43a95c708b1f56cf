// The platform library's pseudo-random numbers: Park and Miller's minimal
// standard generator, 16807 times the state modulo 2^31 - 1. One state is
// shared by the whole library; a user that wants a sequence of its own
// saves the state, seeds it, draws, and puts the state back.
#pragma once

#include <cstdint>

// Bit 31 is dropped; a zero seed would stay zero, so it becomes 1.
void xv_random_seed(uint32_t seed);
uint32_t xv_random_get_seed();
uint32_t xv_random(); // the next state, 1 .. 2^31 - 2
// The state that follows a state of 1 .. 2^31 - 2, for a sequence kept
// apart from the shared one.
uint32_t xv_random_next(uint32_t state);
uint32_t xv_random_range(uint32_t n); // the next state modulo n; 0 for n = 0
