// Inside the os layer only: the media layer's window behind one of ours.
#pragma once

#include "os_window.h"

#include <SDL.h>

SDL_Window *os_window_sdl(OS_WINDOW window);
// Shows what was drawn into the window's OpenGL context.
void os_window_present(SDL_Window *sdl);

// The menu bar's part in the window's life: it sees every event first
// (true when it keeps a mouse event for itself), draws before the frame is
// shown, and goes with its window.
bool os_menu_process_event(const SDL_Event &event);
void os_menu_draw(OS_WINDOW window);
void os_menu_forget(OS_WINDOW window);
