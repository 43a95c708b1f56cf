// Every test program runs headless, even on a developer's machine: SDL's
// offscreen video (Mesa's software OpenGL), its dummy audio, and no desktop
// to show a warning box on. Tests that need a screen start their own Xvfb.
// Compiled into each test program, so that it runs before main.
#include <cstdlib>

namespace {

#if defined(_WIN32)
// Under Wine the window is Wine's own, on whatever display it was given.
const bool headless = [] {
    _putenv_s("SDL_AUDIODRIVER", "dummy");
    return true;
}();
#else
const bool headless = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    return true;
}();
#endif

} // namespace
