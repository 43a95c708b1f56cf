// The platform library's pseudo-random numbers: Park and Miller's minimal
// standard generator, 16807 times the state modulo 2^31 - 1. One state is
// shared by the whole library; a user that wants a sequence of its own
// saves the state, seeds it, draws, and puts the state back.
#pragma once

#include <cstdint>

void xv_rand_seed(uint32_t seed); // a zero seed would stay zero: it becomes 1
uint32_t xv_rand_state();
uint32_t xv_rand();       // the next state, 1 .. 2^31 - 2
int xv_rand_below(int n); // the next state modulo n; 0 for n <= 0
