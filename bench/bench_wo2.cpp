// Loading a 100,000-triangle WO2 model from disk, against reading the same
// file with plain fread: "mb_per_second" for both.
#include "bench_engine.h"
#include "bench_scratch.h"
#include "wo2_writer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kColumns = 224, kRows = 224; // 223 x 223 x 2 = 99,458 triangles, plus a box

std::string model_file() {
    static const std::string path = [] {
        const auto directory = bench_scratch_path() / "bench_wo2";
        std::filesystem::create_directories(directory);
        std::vector<float> heights(static_cast<size_t>(kColumns) * kRows);
        for (size_t i = 0; i < heights.size(); ++i) {
            heights[i] = static_cast<float>((i * 7919) % 13) * 0.1f;
        }
        Wo2Model model;
        Wo2MaterialGroup ground;
        ground.faces.push_back(wo2_heightfield(heights, kColumns, kRows, 1));
        ground.faces.push_back(wo2_box(4, 4, 4));
        model.objects.push_back({"ground", {ground}});
        model.references = {{0, "ground"}};
        const std::string file = (directory / "course.wo2").string();
        std::ofstream(file, std::ios::binary) << wo2_write(model);
        return file;
    }();
    return path;
}

void BM_LoadWo2(benchmark::State &state) {
    const std::string file = model_file();
    BenchEngine engine;
    GEN_WO2 model{};
    BenchQuiet quiet;
    for (auto _ : state) {
        gen_wo2_load(&model, file.c_str());
        gen_wo2_free(&model);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(file)));
}
BENCHMARK(BM_LoadWo2)->Unit(benchmark::kMillisecond);

void BM_FreadSameFile(benchmark::State &state) {
    const std::string file = model_file();
    std::vector<char> bytes(std::filesystem::file_size(file));
    for (auto _ : state) {
        FILE *in = std::fopen(file.c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(bytes.data(), 1, bytes.size(), in));
        std::fclose(in);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_FreadSameFile)->Unit(benchmark::kMillisecond);

} // namespace

PINWHEEL_BENCHMARK_MAIN()
