// The computer's thinking: the time one core takes to plan a stroke from
// the tee, on each hole of the first course as the course builder makes
// it, at each level (the goal: under 150 ms a stroke at every level). The
// planner's own count of strokes tried is beside it.
#include "bench_game.h"
#include "bench_scratch.h"

#include "coursegen.h"
#include "foresight.h"
#include "planner.h"
#include "players.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <unistd.h>

namespace {

// The first course, built once into a directory of its own.
struct BuiltCourse {
    std::filesystem::path directory = bench_scratch_path() / "course";
    bool built = false;
    BuiltCourse() {
        std::error_code failed;
        std::filesystem::create_directories(directory, failed);
        if (failed || chdir(directory.c_str()) != 0) {
            return;
        }
        BenchEngine engine;
        gen_wo2_set_load_maps(0);
        std::vector<Course> courses;
        std::string error;
        built = coursegen_read_all({COURSE_SOURCES}, &courses, &error) &&
                coursegen_write(courses, ".", &error) && coursegen_build_maps(courses, &error);
    }
    ~BuiltCourse() {
        bench_scratch_enter();
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
};

void BM_PlanStroke(benchmark::State &state) {
    static BuiltCourse course;
    if (!course.built) {
        state.SkipWithError("the course was not built");
        return;
    }
    const int hole = static_cast<int>(state.range(0));
    const int level = static_cast<int>(state.range(1));
    BenchGame bench;
    gen_wo2_set_load_maps(0);
    game()->player_count = 1;
    game()->level = hole;
    game()->play_mode = PLAY_SINGLE_HOLE;
    level_init();
    game()->state = GAME_HOLE_STARTED;
    for (int i = 0; i < 300; ++i) { // the moving objects are watched ten seconds
        bench.step();
    }
    PLAYER *record = player(0);
    XV_3D_NODE *ball = xv_3d_world_get_node_pointer(game_world(), record->ball_node);
    long strokes = 0, tried = 0;
    uint32_t seed = 1;
    BenchQuiet quiet;
    for (auto _ : state) {
        StrokePlanner planner;
        planner.start(*record, *ball, level, seed++, 0);
        while (!planner.work(32)) {
        }
        tried += planner.tried();
        ++strokes;
    }
    state.counters["strokes_tried"] = static_cast<double>(tried) / static_cast<double>(strokes);
}
BENCHMARK(BM_PlanStroke)
    ->ArgsProduct({benchmark::CreateDenseRange(1, 9, 1),
                   {PLANNER_EASY, PLANNER_MEDIUM, PLANNER_HARD}})
    ->ArgNames({"hole", "level"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(5);

} // namespace

PINWHEEL_BENCHMARK_MAIN()
