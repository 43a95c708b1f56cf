#include "os_time.h"

#include <atomic>
#include <ctime>

namespace {

std::atomic<const uint32_t *> fake_clock{nullptr};

} // namespace

uint32_t os_tick_count() {
    if (const uint32_t *clock = fake_clock.load()) {
        return *clock;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
}

void os_tick_fake(const uint32_t *clock) {
    fake_clock.store(clock);
}
