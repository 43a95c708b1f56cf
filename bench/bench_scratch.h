// Every benchmark program runs in a folder of its own, made under $TMPDIR
// when it starts and removed when it ends: what the code it measures
// writes where it runs (history.txt, Warning.txt, settings, the models and
// pictures a benchmark makes) leaves nothing behind. A benchmark that moves
// elsewhere comes back with bench_scratch_enter().
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

inline std::filesystem::path &bench_scratch_path() {
    static std::filesystem::path path;
    return path;
}

inline void bench_scratch_enter() {
    std::error_code ignored;
    std::filesystem::current_path(bench_scratch_path(), ignored);
}

class BenchScratch {
  public:
    BenchScratch() : previous_(std::filesystem::current_path()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "pinwheel-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("no folder for the benchmark");
            std::exit(1);
        }
        bench_scratch_path() = pattern;
        bench_scratch_enter();
    }
    ~BenchScratch() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(bench_scratch_path(), ignored);
    }
    BenchScratch(const BenchScratch &) = delete;
    BenchScratch &operator=(const BenchScratch &) = delete;

  private:
    std::filesystem::path previous_;
};

#define PINWHEEL_BENCHMARK_MAIN()                                                                  \
    int main(int argc, char **argv) {                                                              \
        BenchScratch scratch;                                                                      \
        benchmark::Initialize(&argc, argv);                                                        \
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) {                                  \
            return 1;                                                                              \
        }                                                                                          \
        benchmark::RunSpecifiedBenchmarks();                                                       \
        benchmark::Shutdown();                                                                     \
        return 0;                                                                                  \
    }
