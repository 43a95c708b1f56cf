#include "os_display.h"

#include "os_window_sdl.h"

#include <algorithm>

namespace {

OS_DISPLAY_MODE mode_of(const SDL_DisplayMode &sdl) {
    return {sdl.w, sdl.h, static_cast<int>(SDL_BITSPERPIXEL(sdl.format)), sdl.refresh_rate};
}

// The video system for as long as the call needs it; when it runs already
// it is used as it is, which costs nothing.
struct VideoUse {
    bool owned = !SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    bool started = owned || SDL_WasInit(SDL_INIT_VIDEO);
    ~VideoUse() {
        if (owned) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
    }
};

} // namespace

std::vector<OS_DISPLAY_MODE> os_display_modes() {
    VideoUse video;
    std::vector<OS_DISPLAY_MODE> modes;
    if (!video.started) {
        return modes;
    }
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) == 0) {
            modes.push_back(mode_of(mode));
        }
    }
    return modes;
}

bool os_display_desktop_mode(OS_DISPLAY_MODE *mode) {
    VideoUse video;
    SDL_DisplayMode desktop;
    if (!video.started || SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        return false;
    }
    *mode = mode_of(desktop);
    return true;
}

bool os_window_set_fullscreen(OS_WINDOW window, const OS_DISPLAY_MODE *mode) {
    SDL_Window *sdl = os_window_sdl(window);
    if (!sdl) {
        return false;
    }
    if (!mode) {
        return SDL_SetWindowFullscreen(sdl, 0) == 0;
    }
    SDL_DisplayMode wanted{};
    wanted.w = mode->width;
    wanted.h = mode->height;
    wanted.refresh_rate = mode->refresh;
    SDL_DisplayMode closest;
    if (!SDL_GetClosestDisplayMode(0, &wanted, &closest) ||
        SDL_SetWindowDisplayMode(sdl, &closest) != 0) {
        return false;
    }
    return SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN) == 0;
}

bool os_window_is_fullscreen(OS_WINDOW window) {
    SDL_Window *sdl = os_window_sdl(window);
    return sdl && (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN);
}

void *os_gl_proc_address(const char *name) {
    return SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GL_GetProcAddress(name) : nullptr;
}
