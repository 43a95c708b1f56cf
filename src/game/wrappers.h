// Start-up and shut-down of the platform and engine for the application.
#pragma once

#include "os_window.h"

#include <atomic>
#include <cstdint>
#include <string>

struct XV_BITMAP;

// What the platform modules report back through pointers they keep.
// The frame timer's thread reads the activation flags, so they are atomic.
struct AppState {
    std::atomic<int32_t> active{0};        // the window is active
    std::atomic<int32_t> display_ready{0}; // a video mode is set
    int32_t display_status[3] = {};
    XV_BITMAP *screen = nullptr; // the bitmap 2D pictures are drawn into
    void *info_3d = nullptr;
    std::atomic<int32_t> sound_active{0};
    std::atomic<int32_t> digital_music{1}; // read by the frame timer too
    int32_t sound_effects = 1;
    int32_t music_volume = 70;
    int32_t sound_volume = 80;
    int32_t interpolation = 4;
    const char *title = nullptr;
    OS_WINDOW window = nullptr;
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

// Hears the name of each step of start-up and shut-down as it begins: the
// order is the program's spine, and tests hold it to it.
using APP_TRACE = void (*)(const char *step);
void app_set_trace(APP_TRACE hook);

// The current language's abbreviation ("EN" when there is no language table).
const char *app_language();

// Starts every module in order, opens the window; 0 when start-up must stop.
int app_init(AppDescriptor *descriptor);
// Stops the modules in the reverse order; the error module's result.
int app_deinit();
// The orderly shut-down on a close request: heap checks around the game's
// own shut-down, then app_deinit.
int system_deinit();
