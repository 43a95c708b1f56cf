// The main loop's cost: frames per second drawing a 640×480 32-bit picture
// through the bitmap draw list every frame at 800×600, a textured scene,
// each hole of both courses during its fly-by and in the aiming view (with
// the triangles drawn a frame), a hole's loading from RESOURCE.DAT, and the
// time from starting the game to its first presented frame. Run it where the game
// runs (make bench under Xvfb: DISPLAY set, or SDL's offscreen driver).
#include "bench_engine.h"
#include "bench_scratch.h"
#include "course.h"
#include "flyby.h"
#include "game.h"
#include "gen.h"
#include "os_input.h"
#include "os_window.h"
#include "picture_writer.h"
#include "wo2_writer.h"
#include "xv.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace {

// The platform, an 800×600 OpenGL window and the engine's drawing on it;
// the files served from the archive when one is named.
struct FrameBench {
    XV_ERROR_CONFIG errors{0};
    XV_LIST_CONFIG lists{0};
    XV_MEM_CONFIG memory{0, 64 << 20};
    XV_STR_CONFIG strings{0};
    XV_IO_CONFIG files{0, nullptr, nullptr};
    OS_WINDOW window = nullptr;
    char renderer[256] = "", vendor[256] = "";

    explicit FrameBench(const char *archive = nullptr) {
        files.archive_path = archive;
        xv_error_init(&errors);
        xv_list_init(&lists);
        xv_mem_init(&memory);
        xv_str_init(&strings);
        xv_io_init(&files);
        window = os_window_create("bench", OS_CENTRED, OS_CENTRED, 800, 600,
                                  OS_WINDOW_OPENGL | OS_WINDOW_VISIBLE, os_def_window_proc);
        if (!window) {
            return;
        }
        XV_RECT area = {0, 0, 800, 600};
        gen_wrap_3d_init(window, &area, renderer, vendor);
        gen_wrap_register();
        xv_3d_engine_init();
    }
    ~FrameBench() {
        if (window) {
            xv_3d_engine_deinit();
            gen_gl_deinit();
            gen_info_deinit();
            xv_dsp_3d_interface_set(nullptr);
            os_window_destroy(window);
        }
        xv_io_deinit();
        xv_str_deinit();
        xv_mem_deinit();
        xv_list_deinit();
        xv_error_deinit();
    }
    FrameBench(const FrameBench &) = delete;
    FrameBench &operator=(const FrameBench &) = delete;

    // Shows the frame drawn and takes the window's messages.
    static void present() {
        xv_dsp_3d_interface()->display_update();
        OS_MSG message;
        while (os_peek_message(&message, 1)) {
        }
    }
    void report(benchmark::State &state) const {
        state.counters["frames_per_second"] = benchmark::Counter(
            static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
        state.SetLabel(renderer);
    }
};

void BM_FramesWithAPicture(benchmark::State &state) {
    FrameBench bench;
    if (!bench.window) {
        state.SkipWithError("no OpenGL window");
        return;
    }
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
        FrameBench::present();
    }
    bench.report(state);
    xv_dsp_3d_interface()->bit_3d_free(&picture);
    xv_bit_free(&picture);
}
BENCHMARK(BM_FramesWithAPicture)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

// A textured course of 51,200 triangles: 100 tiles of 512 in a 10 × 10
// grid, in four materials with a texture each, in turn, so that the tiles
// of one texture are not next to each other in the model.
std::string scene_file() {
    const auto directory = bench_scratch_path() / "bench_scene";
    std::filesystem::create_directories(directory);
    Wo2Model model;
    std::vector<float> heights(17 * 17);
    for (size_t i = 0; i < heights.size(); ++i) {
        heights[i] = 0.05f * static_cast<float>(i % 7);
    }
    for (int m = 0; m < 4; ++m) {
        test::PngPicture png;
        png.width = png.height = 64;
        for (uint32_t i = 0; i < 64 * 64; ++i) {
            png.rows.insert(png.rows.end(), {static_cast<uint8_t>(60 * m), static_cast<uint8_t>(i),
                                             static_cast<uint8_t>(i / 64 * 4)});
        }
        const std::string name = "tile" + std::to_string(m);
        std::ofstream(directory / (name + ".png"), std::ios::binary) << test::encode_png(png);
        Wo2Material material;
        material.maps[0] = name + ".tga";
        model.materials.push_back(material);
        Wo2MaterialGroup group;
        group.material = static_cast<uint16_t>(m + 1);
        group.faces.push_back(wo2_heightfield(heights, 17, 17, 1));
        model.objects.push_back({name, {group}});
    }
    for (int i = 0; i < 100; ++i) {
        Wo2Reference r{i % 4, "tile"};
        r.matrix[12] = static_cast<float>(i % 10) * 16 - 80;
        r.matrix[14] = static_cast<float>(i / 10) * 16 - 80;
        model.references.push_back(r);
    }
    const std::string file = (directory / "scene.wo2").string();
    std::ofstream(file, std::ios::binary) << wo2_write(model);
    return file;
}

void without_draw_lists(XV_3D_NODE *node) {
    node->model->header.properties &= ~GEN_WO2_DRAW_LISTS;
}

// Frames of the whole course in view, drawn through the per-texture draw
// lists (argument 1) or reference by reference (0).
void BM_SceneFrames(benchmark::State &state) {
    FrameBench bench;
    if (!bench.window) {
        state.SkipWithError("no OpenGL window");
        return;
    }
    const std::string file = scene_file();
    GEN_WO2 model{};
    gen_wo2_load(&model, file.c_str());
    XV_3D_WORLD world{};
    xv_3d_world_init(&world);
    xv_3d_world_add_node(&world, &model, state.range(0) ? nullptr : without_draw_lists);
    XV_3D_CAMERA camera{};
    xv_3d_world_get_camera(&world, &camera);
    camera.rotation[0] = 50;
    camera.scale[0] = camera.scale[1] = camera.scale[2] = 1;
    camera.near_plane = 1, camera.far_plane = 1000, camera.aspect = 800.0f / 600;
    const float centre[3] = {0, 0, 0};
    xv_3d_camera_orbit(&camera, centre, 150);
    xv_3d_world_set_camera(&world, &camera);
    // The driver compiles its shaders and uploads the textures at the first
    // frames: those are not what is measured.
    for (int frame = 0; frame < 30; ++frame) {
        xv_dsp_3d_interface()->screen_clear();
        xv_3d_world_render(&world);
        FrameBench::present();
    }
    for (auto _ : state) {
        xv_dsp_3d_interface()->screen_clear();
        xv_3d_world_render(&world);
        FrameBench::present();
    }
    bench.report(state);
    state.counters["triangles"] = 100 * 512;
    xv_3d_world_deinit(&world);
    gen_wo2_free(&model);
}
BENCHMARK(BM_SceneFrames)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime();

// ---- the course's holes -------------------------------------------------------------

// A copy of the game directory as the build laid it out, to run in.
struct GameCopy {
    std::filesystem::path directory;
    std::filesystem::path previous = std::filesystem::current_path();
    explicit GameCopy(const char *name = "pinwheel-holes")
        : directory(bench_scratch_path() / name) {
        std::filesystem::remove_all(directory);
        std::filesystem::copy(std::filesystem::path(PINWHEEL_EXE).parent_path(), directory,
                              std::filesystem::copy_options::recursive);
        std::filesystem::current_path(directory);
    }
    ~GameCopy() {
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
    GameCopy(const GameCopy &) = delete;
    GameCopy &operator=(const GameCopy &) = delete;
};

// A hole of a course (0 the first) loaded from RESOURCE.DAT into the
// game's world, as the game loads it, with its players' controls on a
// stand-in keyboard.
struct HoleBench {
    GameCopy copy;
    FrameBench frame{"RESOURCE.DAT"};
    OS_INPUT_FAKE devices{};
    XV_INPUT_CONFIG input{0, 1};
    XV_PLAY_CONFIG controls{0};
    int hole;
    bool chosen = false;

    HoleBench(int course, int number) : hole(number) {
        os_input_fake(&devices);
        xv_input_init(&input);
        xv_play_init(&controls);
        gen_info_init();
        xv_3d_world_init(game_world());
        courses_forget();
        chosen = course_at(course) && course_choose(course_at(course)->id.c_str());
    }
    ~HoleBench() {
        level_deinit();
        xv_3d_world_deinit(game_world());
        xv_play_deinit();
        xv_input_deinit();
        os_input_fake(nullptr);
    }
    bool load() {
        if (!chosen) {
            return false;
        }
        start_single_level(hole);
        level_init();
        game()->state = GAME_SINGLE_HOLE;
        return level_loaded() && !gen_error_reported();
    }
    // One level step and one frame, as the game runs them.
    static long frame_of_the_game() {
        level_step(1.0f);
        xv_dsp_3d_interface()->screen_clear();
        gen_mgr2_take_triangle_count();
        xv_3d_world_render(game_world());
        const long triangles = gen_mgr2_take_triangle_count();
        FrameBench::present();
        return triangles;
    }
};

// Frames while the fly-by runs, from the trail's start to the approach's
// end, again and again.
void BM_HoleFlyBy(benchmark::State &state) {
    HoleBench bench(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    if (!bench.frame.window || !bench.load()) {
        state.SkipWithError("the hole did not load");
        return;
    }
    flyby_start();
    long triangles = 0;
    BenchQuiet quiet;
    for (auto _ : state) {
        if (!flyby_running()) {
            state.PauseTiming();
            bench.load();
            flyby_start();
            state.ResumeTiming();
        }
        triangles += HoleBench::frame_of_the_game();
    }
    bench.frame.report(state);
    state.counters["triangles"] = static_cast<double>(triangles) / state.iterations();
}

// Frames of the aiming view: the camera behind the first ball at the tee.
void BM_HoleAiming(benchmark::State &state) {
    HoleBench bench(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    if (!bench.frame.window || !bench.load()) {
        state.SkipWithError("the hole did not load");
        return;
    }
    flyby_start();
    flyby_skip();
    long triangles = 0;
    BenchQuiet quiet;
    for (auto _ : state) {
        triangles += HoleBench::frame_of_the_game();
    }
    bench.frame.report(state);
    state.counters["triangles"] = static_cast<double>(triangles) / state.iterations();
}

// Loading a hole from RESOURCE.DAT: the course and its collision map, the
// balls, the pinwheel, the cameras, the trail, the scripts and their
// objects, and the textures they draw with.
void BM_HoleLoad(benchmark::State &state) {
    HoleBench bench(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    if (!bench.frame.window) {
        state.SkipWithError("no OpenGL window");
        return;
    }
    BenchQuiet quiet;
    for (auto _ : state) {
        if (!bench.load()) {
            state.SkipWithError("the hole did not load");
            return;
        }
        state.PauseTiming();
        level_deinit();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_HoleFlyBy)
    ->ArgsProduct({{0, 1}, benchmark::CreateDenseRange(1, 9, 1)})
    ->ArgNames({"course", "hole"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(BM_HoleAiming)
    ->ArgsProduct({{0, 1}, benchmark::CreateDenseRange(1, 9, 1)})
    ->ArgNames({"course", "hole"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK(BM_HoleLoad)
    ->ArgsProduct({{0, 1}, benchmark::CreateDenseRange(1, 9, 1)})
    ->ArgNames({"course", "hole"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

std::string read_all(const std::string &path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// How long a start may take before the benchmark gives up on it.
constexpr auto kStartLimit = std::chrono::seconds(20);

// Waits for the game's trace of its first presented frame. False, with the
// reason, when the game ended first (another copy was running, say, and
// this one stepped aside) or the time ran out.
bool wait_for_first_frame(pid_t pid, std::chrono::steady_clock::time_point start,
                          std::string *reason) {
    while (read_all("history.txt").find("first frame presented") == std::string::npos) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            *reason = "the game ended before its first frame (is another copy running?)";
            return false;
        }
        if (std::chrono::steady_clock::now() - start > kStartLimit) {
            *reason = "no first frame in 20 s";
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

// From the spawn of the executable to the trace of its first presented frame.
void BM_StartToFirstFrame(benchmark::State &state) {
    // A copy of the game directory as the build laid it out: the game as it ships.
    GameCopy copy("pinwheel-bench");
    for (auto _ : state) {
        std::filesystem::remove("history.txt");
        auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        char *arguments[] = {const_cast<char *>("./pinwheel"), nullptr};
        if (posix_spawn(&pid, "./pinwheel", nullptr, nullptr, arguments, environ) != 0) {
            state.SkipWithError("the game could not be started");
            return;
        }
        std::string reason;
        if (!wait_for_first_frame(pid, start, &reason)) {
            std::fprintf(stderr, "BM_StartToFirstFrame: %s\n", reason.c_str());
            state.SkipWithError(reason.c_str());
            return;
        }
        auto elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

PINWHEEL_BENCHMARK_MAIN()
