#include "screens.h"

#include "app.h"
#include "course.h"
#include "game.h"
#include "gen.h"
#include "players.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

XV_BITMAP pictures[PUBLISHER_PICTURES];
// A picture is read when its slide first comes up: the whole show is 20 MB
// in memory, and a game started on a hole or a course never shows it.
// Until the game readies them, the slides show nothing and read nothing.
bool picture_tried[PUBLISHER_PICTURES];
bool pictures_ready = false;
XV_FONT score_font{}; // drawn with, never loaded by this game
XV_BITMAP mini_screen{};
uint8_t mini_screen_loaded = 0;

// Slide k shows picture kSlidePictures[k]. Slide k + 1 stays kDelays[k] ms
// on screen. Slide 0 shows the same intro card as slide 1 and stays for
// one frame: the show lasts 32.5 s from its first frame.
constexpr int kSlidePictures[SLIDES] = {15, 15, 0, 1, 2,  3,  4,  5,  6, 7,
                                        8,  9,  8, 9, 10, 11, 12, 13, 14};
constexpr uint32_t kDelays[SLIDES - 1] = {2000, 2000, 3000, 2000, 3000, 1000, 1500, 1500, 1500,
                                          1000, 1000, 1000, 1000, 3000, 1000, 3000, 1000, 3000};

int slide = -1;
uint32_t next_switch = 0;

void end_process(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}
SLIDESHOW_END end = end_process;

XV_DEMO_DESCRIPTOR demo_descriptor{};
XV_DEMO *demos = nullptr;

void no_scene(const char *) {}
void nothing() {}
// Each entry of the attract mode's loop says what memory is in use, so a
// long run shows whether anything grows.
void trace_memory() {
    gen_history("demo: entry starts, %ld bytes in use (at most %ld)\n", xv_mem_used(),
                xv_mem_max_used());
}
void render_scene(const char *) {
    xv_3d_world_render(game_world());
}

// Reads picture i the first time it is asked for; one that is missing is
// reported then, once.
void load_publisher_picture(int i) {
    if (!pictures_ready || picture_tried[i]) {
        return;
    }
    picture_tried[i] = true;
    char name[32];
    if (i < 15) {
        std::snprintf(name, sizeof name, "gfx\\pub_b%d.png", i + 1);
    } else {
        std::snprintf(name, sizeof name, "gfx\\pubintro.png");
    }
    if (!xv_bit_load_at("2d_part", __LINE__, &pictures[i], name, XV_BIT_WITH_PALETTE)) {
        xv_warning_at("2d_part", __LINE__, "screen file not found!", nullptr, XV_MB_OK);
    }
    xv_bit_convert_at("2d_part", __LINE__, &pictures[i], XV_BIT_BPP32);
}

} // namespace

// Nothing is read yet: each picture comes when its slide is first shown.
void load_publisher_pictures() {
    for (bool &tried : picture_tried) {
        tried = false;
    }
    pictures_ready = true;
}

// The preview picture goes too, or the last one shown would outlive the game.
void free_publisher_pictures() {
    xv_font_free(&score_font);
    for (XV_BITMAP &picture : pictures) {
        xv_bit_free(&picture);
    }
    pictures_ready = false;
    if (mini_screen_loaded) {
        xv_bit_free(&mini_screen);
        mini_screen_loaded = 0;
    }
}

namespace {

// The slides are drawn for 640 x 480; they fill the screen below the
// window's menu bar as far as their proportions allow, in its middle, the
// rest left black. The screen is the 3D view (the window's client area;
// the screen's bitmap keeps the design's size while the display draws in
// 3D), or without one the screen's bitmap.
XV_RECT slide_place(const XV_BITMAP *screen, int top) {
    constexpr int kWidth = 640, kHeight = 480;
    int screen_width = screen ? screen->width : 0, screen_height = screen ? screen->height : 0;
    if (gen_gl_is_inited()) {
        gen_gl_viewport(&screen_width, &screen_height);
    }
    if (screen_width <= 0 || screen_height - top <= 0) {
        return {0, 0, kWidth, kHeight};
    }
    const int room = screen_height - top;
    const float scale =
        std::min(static_cast<float>(screen_width) / kWidth, static_cast<float>(room) / kHeight);
    const auto width = static_cast<int16_t>(kWidth * scale);
    const auto height = static_cast<int16_t>(kHeight * scale);
    return {static_cast<int16_t>((screen_width - width) / 2),
            static_cast<int16_t>(top + (room - height) / 2), width, height};
}

} // namespace

void slideshow_step() {
    // A picture that did not load was reported then, and shows as nothing.
    if (slide >= 0) {
        load_publisher_picture(kSlidePictures[slide]);
    }
    if (slide >= 0 && pictures[kSlidePictures[slide]].pixels) {
        XV_RECT place = slide_place(app_state()->screen, xv_dsp_menu_height());
        xv_bit_copy_at("2d_part", __LINE__, app_state()->screen, &pictures[kSlidePictures[slide]],
                       &place, nullptr, XV_BIT_COPY_SCALE);
    }
    const uint32_t now = xv_tick_count();
    if (now <= next_switch) {
        return;
    }
    if (slide == SLIDES - 1) {
        end(0);
        return;
    }
    next_switch = now + (slide >= 0 ? kDelays[slide] : 0);
    ++slide;
    gen_history("slide %d\n", slide);
}

int slideshow_slide() {
    return slide;
}

void slideshow_reset() {
    slide = -1;
    next_switch = 0;
}

void slideshow_set_end(SLIDESHOW_END hook) {
    end = hook ? hook : end_process;
}

void load_mini_screen(int level) {
    if (mini_screen_loaded) {
        xv_bit_free(&mini_screen);
    }
    mini_screen_loaded = 1;
    const COURSE_HOLE *hole = course_hole(level);
    if (!hole || hole->mini_screen.empty()) {
        gen_error("mini_screen field not found");
        return;
    }
    if (!xv_bit_load_at("2d_part", __LINE__, &mini_screen, hole->mini_screen.c_str(),
                        XV_BIT_WITH_PALETTE)) {
        xv_warning_at("2d_part", __LINE__, "Screenxx's images not found !", nullptr, XV_MB_OK);
    }
    xv_bit_convert_at("2d_part", __LINE__, &mini_screen, XV_BIT_BPP32);
}

void draw_strokes(int player_index, int x, int y) {
    const PLAYER *record = player(player_index);
    const XV_RECT place = {static_cast<int16_t>(x), static_cast<int16_t>(y), 100, 60};
    xv_font_draw_text(&score_font, app_state()->screen, &place, 0, "%d",
                      record ? record->strokes : 0);
}

// ---- demo sequences ------------------------------------------------------------------

void demo_init() {
    demo_descriptor.report = 1;
    demo_descriptor.screen = app_state()->screen;
    demo_descriptor.music = &app_state()->demo_music;
    demo_descriptor.digital_music = &app_state()->digital_music;
    demo_descriptor.scene_start = no_scene;
    demo_descriptor.scene_frame = render_scene;
    demo_descriptor.scene_end = no_scene;
    demo_descriptor.before_entry = trace_memory;
    demo_descriptor.after_entry = nothing;
    demo_descriptor.on_run = nothing;
    demo_descriptor.on_stop = nothing;
    if (!xv_demo_init(&demo_descriptor)) {
        xv_warning_at("demo", __LINE__, "error initializing demo", nullptr, XV_MB_OK);
    }
    char file[55] = "";
    if (!xv_io_ini_read("Application", "DMOFile", file, 54, "data\\texts.txt") || !file[0]) {
        xv_warning_at("demo", __LINE__, "error loading demo file name", nullptr, XV_MB_OK);
        return;
    }
    demos = xv_demo_load(file, "Demos");
    if (!demos) {
        xv_warning_at("demo", __LINE__, "error loading demo", nullptr, XV_MB_OK);
    }
}

void demo_deinit() {
    xv_demo_free(demos);
    demos = nullptr;
    xv_demo_deinit();
}

void demo_update() {
    if (demos) {
        xv_demo_update(demos, 0);
    }
}

void demo_run(int on) {
    if (on) {
        stop_game_music();
        xv_demo_run(demos, 1);
    } else {
        xv_demo_run(demos, 0);
    }
}

int demo_active() {
    return demos ? demos->active : 0;
}

int demo_entry() {
    return demos ? demos->current : -1;
}
