#include "autoplay.h"

#include "course.h"
#include "course_folders.h"
#include "game.h"
#include "gen.h"
#include "os_input.h"
#include "os_process.h"
#include "os_resource.h"
#include "os_time.h"
#include "play.h"
#include "players.h"
#include "resources.h"
#include "xv.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <vector>

namespace {

constexpr uint32_t kHeapSize = 64 * 1024 * 1024;
constexpr uint32_t kStepMilliseconds = 34;
constexpr long kMostSteps = 30L * 60 * 30; // half an hour of play: something is wrong past it

int level_of(const char *name) {
    static const char *const kLevels[] = {"easy", "medium", "hard"};
    for (int i = 0; i < 3; ++i) {
        if (std::strcmp(name, kLevels[i]) == 0) {
            return i + 1;
        }
    }
    return 0;
}

// What the course needs and nothing of a window: files (the archive
// first), memory, texts, fonts, the engine's models without textures, a
// keyboard nobody touches and a clock that moves a step at a time.
struct Headless {
    XV_ERROR_CONFIG errors{1};
    XV_LIST_CONFIG lists{1};
    XV_MEM_CONFIG memory{1, kHeapSize};
    XV_STR_CONFIG strings{1};
    XV_IO_CONFIG files{1, nullptr, nullptr};
    XV_FONT_CONFIG fonts{1};
    XV_INPUT_CONFIG input{1, 1};
    XV_PLAY_CONFIG players{1};
    OS_INPUT_FAKE devices{};
    char archive[56] = "";
    uint32_t clock = 1000;

    Headless() {
        resources_install();
        os_resource_string(101, archive, sizeof archive);
        files.archive_path = archive;
        os_tick_fake(&clock);
        os_input_fake(&devices);
        xv_error_init(&errors);
        xv_list_init(&lists);
        xv_mem_init(&memory);
        xv_str_init(&strings);
        xv_io_init(&files);
        xv_font_init(&fonts);
        gen_info_init();
        xv_input_init(&input);
        xv_play_init(&players);
        gen_wo2_set_load_maps(0); // no OpenGL: the shapes are what the game needs
        xv_3d_engine_init();
        xv_3d_world_init(game_world());
    }
    ~Headless() {
        level_deinit();
        xv_3d_world_deinit(game_world());
        xv_3d_engine_deinit();
        xv_play_deinit();
        xv_input_deinit();
        gen_info_deinit();
        xv_font_deinit();
        xv_io_deinit();
        xv_str_deinit();
        xv_mem_deinit(); // names any block still alive
        xv_list_deinit();
        xv_error_deinit();
        os_input_fake(nullptr);
        os_tick_fake(nullptr);
    }
    Headless(const Headless &) = delete;
    Headless &operator=(const Headless &) = delete;
};

// Why the course stops before its end, or null while it may go on: an
// error the game reported (a damaged hole: it would never finish), a close
// the game asked for, or the system asking the program to stop.
const char *reason_to_stop() {
    if (gen_error_reported()) {
        return gen_error_first();
    }
    if (xv_dsp_close_requested()) {
        return "the game asked to close";
    }
    if (os_process_termination_requested()) {
        return "asked to stop";
    }
    return nullptr;
}

// One round of the course with the computer's hand seeded so; its holes
// and total are printed unless quiet. False when a hole was not finished
// under the cap, or the round stopped.
struct Round {
    int strokes = 0, par = 0;
    bool finished = true;
    bool stopped = false;
};

Round play_round(Headless *headless, int level, uint32_t seed, const char *course_id, bool quiet) {
    Round round;
    play_start_unattended(level, seed, course_id);
    int shown = 0; // holes finished
    const char *stopped = nullptr;
    long step = 0;
    for (; step < kMostSteps && !play_unattended_over() && !(stopped = reason_to_stop()); ++step) {
        headless->clock += kStepMilliseconds;
        play_step(1.0f);
        PLAY_HOLE_RESULT hole{};
        if (play_hole_result(shown + 1, &hole)) {
            if (!quiet) {
                std::printf("hole %d: %d stroke%s (par %d)%s\n", hole.hole, hole.strokes,
                            hole.strokes == 1 ? "" : "s", hole.par,
                            hole.holed ? "" : ", picked up");
            }
            round.finished = round.finished && hole.holed;
            ++shown;
        }
    }
    if (!stopped && step == kMostSteps) {
        stopped = "half an hour of play went by";
    }
    stopped = stopped ? stopped : reason_to_stop();
    PLAY_HOLE_RESULT total{};
    play_course_result(&total);
    round.strokes = total.strokes;
    round.par = total.par;
    if (!quiet) {
        std::printf("total: %d stroke%s (par %d)\n", total.strokes, total.strokes == 1 ? "" : "s",
                    total.par);
    }
    std::fflush(stdout);
    if (stopped) {
        std::fprintf(stderr, "pinwheel --bot-course: stopped on hole %d: %s\n", shown + 1, stopped);
    }
    round.stopped = stopped != nullptr;
    round.finished =
        round.finished && !stopped && shown == course().hole_count && play_unattended_over();
    return round;
}

// Many rounds, seeded 1, 2, 3...: a line a round, then how the computer's
// totals spread (what its level's name promises is checked against these).
bool play_rounds(Headless *headless, int level, int rounds, const char *course_id) {
    std::vector<int> totals;
    bool finished = true;
    for (int r = 1; r <= rounds; ++r) {
        const Round round = play_round(headless, level, static_cast<uint32_t>(r), course_id, true);
        std::printf("round %d: %d strokes (par %d)%s\n", r, round.strokes, round.par,
                    round.finished ? "" : ", not all holed");
        finished = finished && round.finished;
        totals.push_back(round.strokes);
        if (round.stopped) {
            return false;
        }
    }
    const double mean = std::accumulate(totals.begin(), totals.end(), 0.0) / totals.size();
    double square = 0;
    for (int total : totals) {
        square += (total - mean) * (total - mean);
    }
    std::printf("rounds: %d, mean %.1f strokes, spread %.1f, from %d to %d\n", rounds, mean,
                std::sqrt(square / totals.size()), *std::min_element(totals.begin(), totals.end()),
                *std::max_element(totals.begin(), totals.end()));
    return finished;
}

} // namespace

int autoplay_course(const char *level_name, int rounds, const char *course_id) {
    const int level = level_of(level_name);
    if (!level || rounds < 1) {
        std::fprintf(stderr, "pinwheel --bot-course: the level is easy, medium or hard, and "
                             "--rounds a number from 1\n");
        return 2;
    }
    bool finished = true;
    os_process_catch_termination();
    {
        Headless headless;
        const std::string id = course_folders_add(course_id);
        if (course_id && !course_choose(id.c_str())) {
            std::fprintf(stderr, "pinwheel --bot-course: there is no course %s\n", course_id);
            return 2;
        }
        const char *chosen = course_id ? id.c_str() : nullptr;
        finished = rounds == 1 ? play_round(&headless, level, 1, chosen, false).finished
                               : play_rounds(&headless, level, rounds, chosen);
        play_deinit();
    }
    std::fflush(stdout);
    return finished ? 0 : 1;
}
