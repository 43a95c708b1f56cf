// The application's records: the start-up descriptor the entry fills, and
// the state block the platform's modules write through the pointers they
// keep (the window's activity, the display, the screen bitmap, the sound
// settings, the languages). The shell starts the modules with them; the
// game's modules and the play layer read them here, and need nothing of the
// shell to do so.
#pragma once

#include "os_message.h"

#include <atomic>
#include <cstdint>
#include <string>

struct XV_BITMAP;
struct XV_DSP_LANGUAGES;

// The frame timer's thread reads the activation flags and the demo's music,
// so they are atomic.
struct AppState {
    std::atomic<int32_t> active{0};        // the window is active
    std::atomic<int32_t> display_ready{0}; // a video mode is set
    int32_t display_status[3] = {};
    XV_BITMAP *screen = nullptr; // the bitmap 2D pictures are drawn into
    void *info_3d = nullptr;
    std::atomic<int32_t> sound_active{0};
    std::atomic<int32_t> digital_music{1};
    int32_t sound_effects = 1;
    int32_t music_volume = 70;
    int32_t sound_volume = 80;
    int32_t interpolation = 4;
    XV_DSP_LANGUAGES *languages =
        nullptr; // the language table, when one loaded (the options switch it)
    const char *title = nullptr;
    OS_WINDOW window = nullptr;
    std::atomic<int32_t> demo_music{0}; // what a demo sequence plays, 0 for none
};

// The application's start-up record, filled by the entry and kept by app_init.
struct AppDescriptor {
    std::string command_line;
    char archive_name[56]; // string resource 101
    OS_WINDOW_PROC window_procedure;
    uint32_t heap_size; // bytes of the tracked heap
    int depth;          // of the virtual buffer
    int draw_3d;        // the screen is drawn through the 3D interface
    AppState *state;
};

// The one state block of the running program.
AppState *app_state();
// The current language's abbreviation ("EN" when there is no language table).
const char *app_language();
