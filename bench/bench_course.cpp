// A player's course built from its folder of text, as the game builds it
// the first time it is chosen: the second course's nine holes, their
// models, mini screens, cameras, fly-bys and collision maps (the goal:
// under 2 s).
#include "bench_game.h"
#include "bench_scratch.h"

#include "course_folders.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void BM_BuildNineHoleCourse(benchmark::State &state) {
    BenchGame bench;
    gen_wo2_set_load_maps(0);
    int build = 0;
    for (auto _ : state) {
        const std::string into =
            (bench_scratch_path() / ("built" + std::to_string(++build))).string();
        std::string why;
        if (!course_folders_build(COURSE_FOLDER, into, &why)) {
            state.SkipWithError(why.c_str());
            return;
        }
    }
}
BENCHMARK(BM_BuildNineHoleCourse)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

PINWHEEL_BENCHMARK_MAIN()
