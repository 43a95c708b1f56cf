// Alloc/free pairs through the memory tracker against the system allocator,
// with 1,000, 10,000 and 100,000 blocks alive of mixed sizes. Each
// iteration frees one live block and allocates a new one in its place:
// - random_pairs picks that block from all those alive, so at 100,000 blocks
//   (about 42 MB) nearly every free reaches a header that is out of cache;
// - churn_pairs picks it from the 256 allocated last, a game's usual
//   pattern: a level's blocks stay while short-lived ones come and go.
#include "bench_scratch.h"
#include "xv.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

// Most of a game's blocks are small: names, nodes, records; some hold
// arrays; a few hold pictures or vertex data.
size_t mixed_size(std::mt19937 &random) {
    unsigned kind = random() % 100;
    if (kind < 70) {
        return 16 + random() % 112;
    }
    if (kind < 95) {
        return 128 + random() % 896;
    }
    return 1024 + random() % 7168;
}

// The same sequence of slots and sizes for both allocators.
struct Workload {
    static constexpr size_t kSteps = 1 << 16;
    std::vector<size_t> initial_sizes;
    std::vector<uint32_t> slots;
    std::vector<size_t> sizes;

    // The blocks replaced are the last churning of the live ones.
    Workload(size_t live, size_t churning) {
        std::mt19937 random(1999);
        for (size_t i = 0; i < live; ++i) {
            initial_sizes.push_back(mixed_size(random));
        }
        for (size_t i = 0; i < kSteps; ++i) {
            slots.push_back(static_cast<uint32_t>(live - churning + random() % churning));
            sizes.push_back(mixed_size(random));
        }
    }
};

struct SystemAllocator {
    void *allocate(size_t size) { return malloc(size); }
    void release(void *block) { free(block); }
};

struct Tracker {
    XV_ERROR_CONFIG errors{0};
    XV_MEM_CONFIG memory{0, 16 << 20}; // the game's heap
    Tracker() {
        xv_error_init(&errors);
        xv_mem_init(&memory);
    }
    ~Tracker() { xv_mem_deinit(); }
    void *allocate(size_t size) { return xv_mem_malloc(size); }
    void release(void *block) { xv_mem_free(block); }
};

// One pair, kept out of line so that a profiler can count what a pair
// costs apart from setting the live blocks up.
template <typename Allocator>
[[gnu::noinline]] void replace_one(Allocator &allocator, std::vector<void *> &live,
                                   const Workload &work, size_t step) {
    uint32_t slot = work.slots[step];
    allocator.release(live[slot]);
    live[slot] = allocator.allocate(work.sizes[step]);
    benchmark::DoNotOptimize(live[slot]);
}

template <typename Allocator>
void run_pairs(benchmark::State &state, const Workload &work) {
    Allocator allocator;
    std::vector<void *> live;
    for (size_t size : work.initial_sizes) {
        live.push_back(allocator.allocate(size));
    }
    size_t step = 0;
    for (auto _ : state) {
        replace_one(allocator, live, work, step);
        step = (step + 1) % Workload::kSteps;
    }
    for (void *block : live) {
        allocator.release(block);
    }
    state.SetItemsProcessed(state.iterations());
}

template <typename Allocator>
void random_pairs(benchmark::State &state) {
    auto live = static_cast<size_t>(state.range(0));
    run_pairs<Allocator>(state, Workload(live, live));
}

template <typename Allocator>
void churn_pairs(benchmark::State &state) {
    run_pairs<Allocator>(state, Workload(static_cast<size_t>(state.range(0)), 256));
}

} // namespace

BENCHMARK(random_pairs<SystemAllocator>)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(random_pairs<Tracker>)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(churn_pairs<SystemAllocator>)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(churn_pairs<Tracker>)->Arg(1000)->Arg(10000)->Arg(100000);

PINWHEEL_BENCHMARK_MAIN()
