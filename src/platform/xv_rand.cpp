#include "xv_rand.h"

namespace {

constexpr uint64_t kMultiplier = 16807;
constexpr uint64_t kModulus = 2147483647; // 2^31 - 1

uint32_t state = 1;

} // namespace

void xv_rand_seed(uint32_t seed) {
    seed %= kModulus;
    state = seed ? seed : 1;
}

uint32_t xv_rand_state() {
    return state;
}

uint32_t xv_rand() {
    state = static_cast<uint32_t>(state * kMultiplier % kModulus);
    return state;
}

int xv_rand_below(int n) {
    uint32_t value = xv_rand();
    return n > 0 ? static_cast<int>(value % static_cast<uint32_t>(n)) : 0;
}
