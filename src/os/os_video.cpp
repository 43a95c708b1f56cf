#include "os_video.h"

#include "os_leak_check.h"

#include <SDL.h>

static bool started = false; // a probe holds the video system

static bool open_gl_window() {
    SDL_Window *window = SDL_CreateWindow("probe", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          16, 16, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);
    if (!window) {
        return false;
    }
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context) {
        SDL_GL_DeleteContext(context);
    }
    SDL_DestroyWindow(window);
    return context != nullptr;
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
