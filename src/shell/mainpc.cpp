#include "mainpc.h"

#include "screens.h"
#include "viewer.h"

#include "app.h"
#include "autoplay.h"
#include "course_folders.h"
#include "game.h"
#include "gen.h"
#include "os_menu.h"
#include "os_resource.h"
#include "os_time.h"
#include "os_window.h"
#include "play.h"
#include "players.h"
#include "resources.h"
#include "wrappers.h"
#include "xv.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t kHeapSize = 64 * 1024 * 1024; // the slideshow alone holds 20 MB of pictures
constexpr uint32_t kTimerPeriod = 10;
constexpr float kStepRate = 30.0f; // game steps a second
constexpr int kMostSteps = 3;
constexpr int kRateFrames = 10;

AppDescriptor descriptor;
AppState &state = *app_state();
bool ready = false;
bool redraw_pending = false;

struct FrameClock {
    uint32_t start_tick = 0; // when the program started, for the first frame's trace
    bool presented = false;
    uint32_t timer_id = 0;
    // The timer thread counts; the main thread only asks whether it has.
    std::atomic<uint32_t> ticks{0};
    float rate = kStepRate;
    float rate_sum = 0.0f;
    int rate_frames = 0;
    uint32_t previous_tick = 0;
};
FrameClock clock_state;

std::string join_arguments(int count, char **arguments) {
    std::string line;
    for (int i = 1; i < count; ++i) {
        line += (i > 1 ? " " : "");
        line += arguments[i];
    }
    return line;
}

void frame_input() {
    xv_input_poll();
    xv_play_update();
}

// The slideshow plays over the view until a player takes the game (the
// play layer then draws its screens over the course) unless a model is
// shown.
void frame_render() {
    clear_repeat_flag();
    xv_3d_world_render(game_world());
    if (play_active()) {
        play_draw();
    } else if (!viewer_active() && !level_loaded()) {
        slideshow_step();
    }
}

// Messages first, one at a time; a frame whenever one is due. With
// nothing to do the loop rests a millisecond rather than spin.
int run_main_loop() {
    for (;;) {
        OS_MSG message;
        bool had_message = os_peek_message(&message, 1);
        if (had_message) {
            if (message.message == WM_QUIT) {
                return static_cast<int>(message.wparam);
            }
            os_translate_message(&message);
            os_dispatch_message(&message);
        }
        if (!frame_run() && !had_message) {
            os_sleep(1);
        }
    }
}

void run_steps() {
    float steps[kMostSteps];
    int count = frame_steps(clock_state.rate, steps);
    for (int i = 0; i < count; ++i) {
        if (play_active()) {
            play_step(steps[i]);
        } else {
            game_step(steps[i]);
        }
    }
}

} // namespace

int frame_steps(float rate, float steps[3]) {
    if (rate == 0.0f) {
        return 0;
    }
    float left = std::min(kStepRate / rate, static_cast<float>(kMostSteps));
    int count = 0;
    for (; left > 0.0f; left -= 1.0f) {
        steps[count++] = std::min(left, 1.0f);
    }
    return count;
}

void frame_rate_update() {
    uint32_t now = os_tick_count();
    int64_t elapsed = static_cast<int64_t>(now) - clock_state.previous_tick;
    // Two frames in one millisecond count as a thousand a second.
    clock_state.rate_sum += elapsed == 0 ? 1000.0f : 1000.0f / static_cast<float>(elapsed);
    if (++clock_state.rate_frames == kRateFrames) {
        clock_state.rate = clock_state.rate_sum / static_cast<float>(clock_state.rate_frames);
        clock_state.rate_sum = 0.0f;
        clock_state.rate_frames = 0;
    }
    clock_state.previous_tick = now;
}

float frame_rate() {
    return clock_state.rate;
}

// The demo's music is fed from here, so that it plays on while a slow
// frame keeps the steps from running.
void frame_timer_tick(uint32_t) {
    if (state.active && state.display_ready) {
        clock_state.ticks++;
    }
    if (state.digital_music && state.sound_active && clock_state.ticks) {
        xv_snd_update_music(state.demo_music);
    }
}

uint32_t frame_ticks() {
    return clock_state.ticks;
}

int frame_run() {
    if (!state.active || !state.display_ready || clock_state.ticks == 0) {
        return 0;
    }
    frame_input();
    frame_render();
    xv_dsp_update();
    if (!clock_state.presented) {
        clock_state.presented = true;
        gen_history("first frame presented %u ms after start\n",
                    os_tick_count() - clock_state.start_tick);
    }
    frame_rate_update();
    run_steps();
    return 1;
}

void frame_reset() {
    clock_state.ticks = 0;
    clock_state.rate = kStepRate;
    clock_state.rate_sum = 0.0f;
    clock_state.rate_frames = 0;
    clock_state.previous_tick = 0;
    state.active = 0;
    state.display_ready = 0;
    ready = false;
    redraw_pending = false;
}

void frame_timer_stop() {
    xv_timer_deinit(&clock_state.timer_id);
    clock_state.ticks = 0;
}

void app_ready() {
    xv_dsp_splash_off(); // the game's own window is there now
    ready = true;
    if (redraw_pending) {
        app_redraw();
    }
}

void app_set_ready(bool value) {
    ready = value;
}

void app_redraw() {
    if (!ready) {
        redraw_pending = true;
        return;
    }
    frame_render();
    redraw_pending = false;
}

namespace {

// The texts file's own format with one value in place of its first "%s" or
// "%d" (and "%%" as "%"): a text is never handed to printf as a format.
std::string fill_in(const std::string &format, const std::string &value) {
    std::string text;
    bool filled = false;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            char kind = format[i + 1];
            if (kind == '%') {
                text += '%';
                ++i;
                continue;
            }
            if ((kind == 's' || kind == 'd') && !filled) {
                text += value;
                filled = true;
                ++i;
                continue;
            }
        }
        text += format[i];
    }
    return text;
}

std::string about_text(const std::string &section, const char *key) {
    char text[81] = "";
    xv_io_ini_read(section.c_str(), key, text, 80, "data\\texts.txt");
    return text;
}

// The About box, in the current language: what the game is and the memory
// it uses at the moment the box opens.
void about_box(OS_WINDOW window) {
    std::string section = xv_str_format("AboutBox_%s", app_language());
    std::string title = about_text("Application", "Title");
    std::vector<std::string> lines = {
        title,
        about_text("Application", "Version"),
        fill_in(about_text(section, "Memory"), std::to_string(xv_mem_used())),
        about_text(section, "Copyright1"),
        about_text(section, "Copyright2"),
        about_text(section, "Reserved"),
        about_text(section, "License"),
    };
    os_dialog_run(window, fill_in(about_text(section, "Title"), title), lines);
}

} // namespace

int show_help() {
    return 0;
}

// A menu reloaded (another language) comes without the sound's marks.
void menu_changed_hook() {
    xv_snd_update_menu();
}

intptr_t main_window_proc(OS_WINDOW window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
    case WM_CLOSE:
        play_deinit();
        system_deinit();
        break;
    case WM_KEYDOWN:
        if (wparam == VK_F1) {
            show_help();
        }
        play_window_message(message, wparam);
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        play_window_message(message, wparam);
        break;
    case WM_COMMAND:
        switch (wparam) {
        case APP_BACK_TO_GAME:
            os_post_message(window, WM_LBUTTONDOWN, 0, 0); // the display's return from the menu
            break;
        case APP_EXIT:
            os_post_message(window, WM_CLOSE, 0, 0);
            break;
        case APP_NEW_GAME:
            if (!play_active()) {
                play_window_message(WM_KEYDOWN, VK_RETURN); // the title first
            }
            play_new_game();
            break;
        case APP_HELP_TOPICS:
            show_help();
            break;
        case APP_ABOUT:
            about_box(window);
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
    xv_input_window_message(window, message, wparam, lparam);
    xv_snd_window_message(window, message, wparam, lparam);
    return xv_dsp_window_message(window, message, wparam, lparam);
}

int pinwheel_main(int argc, char **argv) {
    // Before any module: the first of them empties the warning log there.
    xv_io_choose_write_directory("pinwheel");
    if (const char *level = xv_str_option(argc, argv, "--bot-course")) {
        const char *rounds = xv_str_option(argc, argv, "--rounds");
        return autoplay_course(level, rounds ? std::atoi(rounds) : 1,
                               xv_str_option(argc, argv, "--course"));
    }
    clock_state.start_tick = os_tick_count();
    resources_install();
    if (!os_resource_string(101, descriptor.archive_name, sizeof descriptor.archive_name)) {
        xv_warning_at("mainpc", __LINE__, "Couldn't load the resource strings", nullptr, XV_MB_OK);
        return 0;
    }
    descriptor.command_line = join_arguments(argc, argv);
    descriptor.window_procedure = main_window_proc;
    descriptor.heap_size = kHeapSize;
    descriptor.depth = 16;
    descriptor.draw_3d = 1;
    descriptor.state = &state;
    if (!app_init(&descriptor)) {
        return 0;
    }
    clock_state.timer_id = xv_timer_init(frame_timer_tick, kTimerPeriod);
    if (!clock_state.timer_id) {
        return 0;
    }
    game_init();
    if (const char *model = xv_str_option(argc, argv, "--view"); model && !viewer_init(model)) {
        xv_dsp_request_close(); // the model's fault is in error.txt
    }
    const std::string course_id = course_folders_add(xv_str_option(argc, argv, "--course"));
    play_init(argc, argv, course_id.c_str());
    app_ready();
    const int status = run_main_loop();
    if (gen_error_reported()) {
        // The window is gone; whoever started the game hears why.
        std::fprintf(stderr, "pinwheel: stopped by an error (error.txt has the details): %s\n",
                     gen_error_first());
    }
    return status;
}
