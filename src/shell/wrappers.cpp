#include "wrappers.h"

#include "game.h"
#include "gen.h"
#include "mainpc.h"
#include "xv.h"

#include <cstdio>

namespace {

const char kTexts[] = "data\\texts.txt";
const char kApplication[] = "Application";

AppDescriptor *application = nullptr;

// What the texts file names, in buffers of the sizes the game has always had.
char ini_file[56];
char language_file[56];
char splash[31];
char title[31];
char class_name[31];

// Every module keeps a pointer to its record for its life.
XV_DX_CONFIG dx_config = {1, 0, 0};
XV_ERROR_CONFIG error_config = {1};
XV_LIST_CONFIG list_config = {1};
XV_MEM_CONFIG mem_config = {1, 0};
XV_STR_CONFIG str_config = {1};
XV_FONT_CONFIG font_config = {1};
XV_MENU_CONFIG menu_config = {1, 800, 600};
XV_IO_CONFIG io_config = {1, nullptr, nullptr};

const XV_DSP_MODE_WISH preferred_modes[] = {
    {320, 240, XV_DSP_LOW_RES},
    {640, 480, XV_DSP_HIGH_RES},
    {800, 600, 0},
    {1024, 768, 0},
    {0, 0, 0},
};
XV_DSP_CONFIG display_config = {};
XV_DSP_3D_INFO info_3d = {};
XV_BITMAP screen = {};
XV_DSP_START display_start = {};
XV_SND_CONFIG sound_config = {};
XV_INPUT_CONFIG input_config = {1, 1};
XV_PLAY_CONFIG player_config = {1};
char mp3_list[56];

APP_TRACE trace = nullptr;

void step(const char *name) {
    if (trace) {
        trace(name);
    }
}

void check_heap(const char *caption) {
    if (!xv_mem_heap_check()) {
        xv_warning_at("mainpc", __LINE__, "Heap Corrupted", caption, XV_MB_OK);
    }
}

void read_text(const char *key, char *buffer, int size) {
    xv_io_ini_read(kApplication, key, buffer, size, kTexts);
}

void configure_display(AppDescriptor *descriptor) {
    AppState *state = descriptor->state;
    display_config.report = 1;
    display_config.class_name = class_name;
    display_config.title = title;
    display_config.menu_name = "Motokit";
    display_config.resource_name = "Motokit";
    display_config.icon_name = "Motokit";
    display_config.modes = preferred_modes;
    display_config.x = -1;
    display_config.y = -1;
    display_config.design_width = 800;
    display_config.design_height = 600;
    display_config.min_width = 320;
    display_config.min_height = 240;
    // The Language pop-up is the Game menu's third item, after New Game and
    // a separator (resources.cpp).
    display_config.game_menu = 0;
    display_config.language_menu = 2;
    display_config.display_menu = 1;
    display_config.resolution_menu = 7;
    display_config.menu_changed = menu_changed_hook;
    display_config.fullscreen_default = 0;
    display_config.active = &state->active;
    display_config.ready = &state->display_ready;
    display_config.window_procedure = descriptor->window_procedure;

    display_start.report = 1;
    display_start.info = &info_3d;
    display_start.screen = &screen;
    display_start.redraw = app_redraw;
    display_start.keep_aspect = 1;
    display_start.draw_3d = descriptor->draw_3d;
    display_start.depth = descriptor->depth;
    state->screen = &screen;
    state->info_3d = &info_3d;
}

void configure_sound(AppState *state) {
    sound_config.report = 1;
    sound_config.active = &state->sound_active;
    sound_config.digital_music = &state->digital_music;
    sound_config.sound_effects = &state->sound_effects;
    sound_config.music_volume = &state->music_volume;
    sound_config.sound_volume = &state->sound_volume;
    sound_config.interpolation = &state->interpolation;
    sound_config.menu_position = 2;
    sound_config.quality_position = 3;
}

// The player's own MP3s, when the list names any, play instead of the
// game's music.
void start_play_list() {
    {
        XV_INI_QUIET quiet; // no list named is the usual case
        read_text("M3UFile", mp3_list, sizeof mp3_list - 1);
    }
    if (!mp3_list[0]) {
        snprintf(mp3_list, sizeof mp3_list, "%s", "MyMP3s.m3u");
    }
    if (xv_snd_load_mp3_list(mp3_list)) {
        xv_snd_start_mp3_list(1, 1);
    }
}

} // namespace

void app_set_trace(APP_TRACE hook) {
    trace = hook;
}

int app_init(AppDescriptor *descriptor) {
    application = descriptor;
    mem_config.heap_size = descriptor->heap_size;
    io_config.archive_path = descriptor->archive_name;
    configure_display(descriptor);
    configure_sound(descriptor->state);

    step("dx check");
    if (!xv_dx_check(&dx_config)) {
        return 0;
    }
    step("errors");
    xv_error_init(&error_config);
    step("lists");
    xv_list_init(&list_config);
    step("memory");
    xv_mem_init(&mem_config);
    step("strings");
    xv_str_init(&str_config);
    step("files");
    xv_io_init(&io_config);
    step("fonts");
    xv_font_init(&font_config);
    step("menus");
    xv_menu_init(&menu_config);
    gen_info_init();

    read_text("StartSplash", splash, sizeof splash - 1);
    read_text("INIFile", ini_file, sizeof ini_file - 1);
    read_text("LNGFile", language_file, sizeof language_file - 1);
    xv_io_set_settings_file(ini_file[0] ? ini_file : nullptr);
    step("languages");
    display_config.languages = xv_dsp_load_languages(language_file);
    descriptor->state->languages = display_config.languages;
    read_text("Title", title, sizeof title - 1);
    read_text("Class", class_name, sizeof class_name - 1);

    step("splash");
    std::string splash_section = xv_str_format("%s_%s", splash, app_language());
    xv_dsp_splash_on(kTexts, splash_section.c_str(), &display_config);
    step("display");
    if (!xv_dsp_init(&display_config)) {
        return 0;
    }
    gen_wrap_register(); // the engine draws the screen
    descriptor->state->title = title;
    descriptor->state->window = display_config.window;
    step("input");
    xv_input_init(&input_config);
    step("players");
    xv_play_init(&player_config);
    step("sound");
    xv_snd_init(&sound_config); // the game goes on without sound
    step("joystick check");
    xv_input_check_joystick();
    step("video mode");
    if (!xv_dsp_open(&display_start)) {
        return 0;
    }
    step("play list");
    start_play_list();
    return 1;
}

int app_deinit() {
    app_set_ready(false);
    step("fonts off");
    xv_font_deinit(); // menus have nothing to stop
    step("sound off");
    xv_snd_deinit();
    step("players off");
    xv_play_deinit();
    step("input off");
    xv_input_deinit();
    step("display off");
    xv_dsp_close();
    step("languages off");
    xv_dsp_free_languages(display_config.languages);
    display_config.languages = nullptr;
    if (application) {
        application->state->languages = nullptr;
    }
    gen_info_deinit();
    step("files off");
    xv_io_deinit(); // names every file still open
    step("strings off");
    xv_str_deinit();
    step("memory off");
    xv_mem_deinit(); // names every block still alive
    step("lists off");
    xv_list_deinit();
    step("errors off");
    int result = xv_error_deinit();
    step("dx check off");
    xv_dx_release();
    return result;
}

int system_deinit() {
    check_heap("system_deinit 1");
    step("timer off");
    frame_timer_stop();
    step("game off");
    game_deinit();
    check_heap("system_deinit 2");
    return app_deinit();
}
