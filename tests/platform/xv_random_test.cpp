#include "xv_random.h"

#include <gtest/gtest.h>

namespace {

// Park and Miller's own check: from a seed of 1, the 10,000th state.
TEST(Random, TheMinimalStandardCheckValue) {
    xv_random_seed(1);
    uint32_t value = 0;
    for (int i = 0; i < 10000; ++i) {
        value = xv_random();
    }
    EXPECT_EQ(value, 1043618065u);
}

// A sequence kept apart steps as the shared one does and leaves it alone.
TEST(Random, ASequenceApartFollowsTheSharedOne) {
    xv_random_seed(12345);
    uint32_t apart = 987654321;
    const uint32_t shared_before = xv_random_get_seed();
    uint32_t states[100];
    for (uint32_t &state : states) {
        state = apart = xv_random_next(apart);
    }
    EXPECT_EQ(xv_random_get_seed(), shared_before);
    xv_random_seed(987654321);
    for (uint32_t state : states) {
        EXPECT_EQ(xv_random(), state);
    }
    // The largest state steps without overflow into another in range.
    const uint32_t top = xv_random_next(0x7FFFFFFEu);
    EXPECT_GE(top, 1u);
    EXPECT_LE(top, 0x7FFFFFFEu);
}

} // namespace
