#include "xv_random.h"

namespace {

constexpr uint32_t kMultiplier = 16807;
constexpr uint32_t kModulus = 0x7FFFFFFF; // 2^31 - 1

uint32_t state = 1;

} // namespace

void xv_random_seed(uint32_t seed) {
    seed &= 0x7FFFFFFF;
    state = seed ? seed : 1;
}

uint32_t xv_random_get_seed() {
    return state;
}

// The product is taken in 16-bit halves so that it never needs more than
// 32 bits: (low * 16807) + (high * 16807) << 16, folded modulo 2^31 - 1.
uint32_t xv_random_next(uint32_t from) {
    uint32_t low = kMultiplier * (from & 0xFFFF);
    const uint32_t high = kMultiplier * (from >> 16);
    low += (high & 0x7FFF) << 16;
    if (low > kModulus) {
        low = (low & kModulus) + 1;
    }
    low += high >> 15;
    if (low > kModulus) {
        low = (low & kModulus) + 1;
    }
    return low;
}

uint32_t xv_random() {
    state = xv_random_next(state);
    return state;
}

uint32_t xv_random_range(uint32_t n) {
    const uint32_t value = xv_random();
    return n ? value % n : 0;
}
