// Inside the os layer only: the media layer's window behind one of ours.
#pragma once

#include "os_window.h"

#include <SDL.h>

SDL_Window *os_window_sdl(OS_WINDOW window);
