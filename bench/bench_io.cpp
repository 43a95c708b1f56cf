// (a) Reading the 200 keys of a string file in file order, 10,000 reads,
//     with the file kept open against closed between reads.
// (b) Opening, reading and closing 1,000 small files from a RESOURCE.DAT of
//     1,000 entries against the same files loose.
#include "bench_scratch.h"
#include "respack.h"
#include "xv.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kKeys = 200;
constexpr int kFiles = 1000;

// The platform started in a directory of its own, with the test data.
class Platform {
  public:
    explicit Platform(const char *archive) {
        enter_directory();
        xv_error_init(&errors_);
        xv_list_init(&lists_);
        xv_mem_init(&memory_);
        xv_str_init(&strings_);
        io_ = {0, archive, nullptr};
        xv_io_init(&io_);
    }
    ~Platform() {
        xv_io_deinit();
        xv_str_deinit();
        xv_mem_deinit();
        xv_list_deinit();
    }
    static std::string key(int i) { return "Key" + std::to_string(i); }
    static std::string file(int i) { return "data\\file" + std::to_string(i) + ".txt"; }

  private:
    static void enter_directory() {
        static const fs::path directory = make_data();
        fs::current_path(directory);
    }
    static fs::path make_data() {
        fs::path directory = bench_scratch_path() / "io";
        fs::create_directories(directory / "tree" / "data");
        fs::create_directories(directory / "data");
        std::ofstream strings(directory / "keys.ini", std::ios::binary);
        strings << "[Object001]\r\n";
        for (int i = 0; i < kKeys; ++i) {
            strings << key(i) << "=" << i * 1.5 << "," << i << ",0.000000\r\n";
        }
        std::mt19937 random(5);
        for (int i = 0; i < kFiles; ++i) {
            std::string content(200 + random() % 1800, 'x');
            std::string name = "file" + std::to_string(i) + ".txt";
            std::ofstream(directory / "tree" / "data" / name, std::ios::binary) << content;
            std::ofstream(directory / "data" / name, std::ios::binary) << content;
        }
        std::string error;
        respack_write(respack_entries(directory / "tree"), directory / "RESOURCE.DAT", 1, &error);
        return directory;
    }

    XV_ERROR_CONFIG errors_{0};
    XV_LIST_CONFIG lists_{0};
    XV_MEM_CONFIG memory_{0, 16 << 20};
    XV_STR_CONFIG strings_{0};
    XV_IO_CONFIG io_{};
};

void read_keys(benchmark::State &state, bool kept) {
    Platform platform(nullptr);
    std::vector<std::string> keys;
    for (int i = 0; i < kKeys; ++i) {
        keys.push_back(Platform::key(i));
    }
    if (kept) {
        xv_io_ini_set_mode("keys.ini", KEEP_OPEN);
    }
    char value[64];
    for (auto _ : state) {
        for (int read = 0; read < 10000; ++read) {
            xv_io_ini_read("Object001", keys[read % kKeys].c_str(), value, 63, "keys.ini");
        }
    }
    if (kept) {
        xv_io_ini_set_mode("keys.ini", KEEP_CLOSE);
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}

void keys_kept(benchmark::State &state) {
    read_keys(state, true);
}
void keys_closed_between_reads(benchmark::State &state) {
    read_keys(state, false);
}

void read_files(benchmark::State &state, const char *archive) {
    Platform platform(archive);
    std::vector<std::string> names;
    for (int i = 0; i < kFiles; ++i) {
        names.push_back(Platform::file(i));
    }
    char buffer[4096];
    for (auto _ : state) {
        for (const std::string &name : names) {
            XV_FILE *file = xv_io_fopen(name.c_str(), "rb");
            benchmark::DoNotOptimize(xv_io_fread(buffer, 1, sizeof buffer, file));
            xv_io_fclose(file);
        }
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}

void files_from_archive(benchmark::State &state) {
    read_files(state, "RESOURCE.DAT");
}
void files_loose(benchmark::State &state) {
    read_files(state, nullptr);
}

} // namespace

BENCHMARK(keys_kept)->Unit(benchmark::kMillisecond);
BENCHMARK(keys_closed_between_reads)->Unit(benchmark::kMillisecond);
BENCHMARK(files_from_archive)->Unit(benchmark::kMillisecond);
BENCHMARK(files_loose)->Unit(benchmark::kMillisecond);

PINWHEEL_BENCHMARK_MAIN()
