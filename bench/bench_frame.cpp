// The main loop's cost: frames per second drawing a 640×480 32-bit picture
// through the bitmap draw list every frame at 800×600, and the time from
// starting the game to its first presented frame. Run it where the game
// runs (make bench under Xvfb: DISPLAY set, or SDL's offscreen driver).
#include "gen.h"
#include "xv.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace {

void BM_FramesWithAPicture(benchmark::State &state) {
    XV_ERROR_CONFIG errors{0};
    XV_LIST_CONFIG lists{0};
    XV_MEM_CONFIG memory{0, 16 << 20};
    xv_error_init(&errors);
    xv_list_init(&lists);
    xv_mem_init(&memory);
    OS_WINDOW window = os_window_create("bench", OS_CENTRED, OS_CENTRED, 800, 600,
                                        OS_WINDOW_OPENGL | OS_WINDOW_VISIBLE, os_def_window_proc);
    if (!window) {
        state.SkipWithError("no OpenGL window");
        return;
    }
    XV_RECT area = {0, 0, 800, 600};
    char renderer[256], vendor[256];
    gen_wrap_3d_init(window, &area, renderer, vendor);
    gen_wrap_register();
    gen_tex_init();
    gen_bit_list_init();
    XV_BITMAP picture;
    XV_RECT size = {0, 0, 640, 480};
    xv_bit_alloc(&picture, &size, XV_BIT_BPP32);
    for (long i = 0; i < 640L * 480; ++i) {
        picture.pixels[i * 4] = static_cast<uint8_t>(i);
        picture.pixels[i * 4 + 3] = 255;
    }
    XV_RECT to = {80, 60, 640, 480};
    for (auto _ : state) {
        xv_dsp_3d_interface()->bit_3d_put(&picture, &to, nullptr, 0);
        xv_dsp_3d_interface()->display_update();
        OS_MSG message;
        while (os_peek_message(&message, 1)) {
        }
    }
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(renderer);
    xv_dsp_3d_interface()->bit_3d_free(&picture);
    xv_bit_free(&picture);
    gen_bit_list_deinit();
    gen_tex_deinit();
    gen_gl_deinit();
    gen_info_deinit();
    xv_dsp_3d_interface_set(nullptr);
    os_window_destroy(window);
    xv_mem_deinit();
    xv_list_deinit();
    xv_error_deinit();
}
BENCHMARK(BM_FramesWithAPicture)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

std::string read_all(const std::string &path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// From the spawn of the executable to the trace of its first presented frame.
void BM_StartToFirstFrame(benchmark::State &state) {
    // A copy of the game directory as the build laid it out: the game as it ships.
    auto directory = std::filesystem::temp_directory_path() / "pinwheel-bench";
    std::filesystem::remove_all(directory);
    std::filesystem::copy(std::filesystem::path(PINWHEEL_EXE).parent_path(), directory,
                          std::filesystem::copy_options::recursive);
    std::filesystem::current_path(directory);
    for (auto _ : state) {
        std::filesystem::remove("history.txt");
        auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        char *arguments[] = {const_cast<char *>("./pinwheel"), nullptr};
        posix_spawn(&pid, "./pinwheel", nullptr, nullptr, arguments, environ);
        while (read_all("history.txt").find("first frame presented") == std::string::npos) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        auto elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    std::filesystem::remove_all(directory);
}
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

BENCHMARK_MAIN();
