#include "os_video.h"

#include "os_leak_check.h"

#include <SDL.h>

static bool started = false; // a probe holds the video system

// The OpenGL library can be loaded: the drivers are there. The context
// itself comes with the game's window; making one here as well would cost
// a start a fifth of a second for nothing.
static bool open_gl_window() {
    return SDL_GL_LoadLibrary(nullptr) == 0;
}

bool os_video_probe(int *version) {
    OS_LEAK_CHECK_PAUSE pause;
    *version = 0;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return false;
    }
    SDL_version linked;
    SDL_GetVersion(&linked);
    *version = linked.major << 8 | linked.minor;
    bool usable = open_gl_window();
    if (!usable || started) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO); // already held from an earlier probe
        return usable;
    }
    started = true;
    return usable;
}

void os_video_stop() {
    if (started) {
        started = false;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
}
