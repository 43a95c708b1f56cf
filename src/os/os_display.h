// The screen: the modes the display offers, the desktop's own, and full
// screen for a window. Modes stand for the adapter's list the game was
// written against.
#pragma once

#include "os_window.h"

#include <cstdint>
#include <vector>

struct OS_DISPLAY_MODE {
    int width, height;
    int bits;    // bits per pixel
    int refresh; // Hz, 0 when unknown
};

// Every mode of the first display, largest first; empty without a display.
std::vector<OS_DISPLAY_MODE> os_display_modes();
// The desktop's mode; false without a display.
bool os_display_desktop_mode(OS_DISPLAY_MODE *mode);
// Full screen in that mode (really switched where the desktop allows it),
// or back to a window (mode null). False when the switch failed.
bool os_window_set_fullscreen(OS_WINDOW window, const OS_DISPLAY_MODE *mode);
bool os_window_is_fullscreen(OS_WINDOW window);

// An OpenGL entry point of the window's context, or null.
void *os_gl_proc_address(const char *name);
