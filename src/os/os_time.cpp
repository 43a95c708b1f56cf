#include "os_time.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>

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

struct OsTimer {
    std::chrono::milliseconds period{};
    OS_TIMER_CALLBACK callback = nullptr;
    void *data = nullptr;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread thread;

    void run() {
        auto next = std::chrono::steady_clock::now() + period;
        std::unique_lock lock(mutex);
        while (!wake.wait_until(lock, next, [this] { return stopping; })) {
            lock.unlock();
            callback(data);
            lock.lock();
            next += period;
            // A machine that stalled for many periods catches up with one
            // call, not a burst of them.
            auto now = std::chrono::steady_clock::now();
            if (next < now) {
                next = now;
            }
        }
    }
};

OsTimer *os_timer_start(uint32_t period, OS_TIMER_CALLBACK callback, void *data) {
    if (period == 0 || !callback) {
        return nullptr;
    }
    auto *timer = new OsTimer;
    timer->period = std::chrono::milliseconds(period);
    timer->callback = callback;
    timer->data = data;
    timer->thread = std::thread([timer] { timer->run(); });
    return timer;
}

void os_timer_stop(OsTimer *timer) {
    if (!timer) {
        return;
    }
    {
        std::lock_guard lock(timer->mutex);
        timer->stopping = true;
    }
    timer->wake.notify_all();
    timer->thread.join();
    delete timer;
}

void os_sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
