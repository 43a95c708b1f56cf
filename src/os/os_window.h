// Windows and their message queue. The game's modules were written against
// a desktop whose windows talk in messages (WM_KEYDOWN, WM_SIZE, ...) sent
// to a window procedure; here the media layer's events become those
// messages, with the same numbers and parameters, in one queue that the
// main loop peeks, translates and dispatches.
#pragma once

#include "os_message.h"

#include <cstdint>

enum {
    OS_WINDOW_VISIBLE = 1,
    OS_WINDOW_BORDERLESS = 2,
    OS_WINDOW_ON_TOP = 4,
    OS_WINDOW_OPENGL = 8, // with an OpenGL compatibility context, made current
    OS_WINDOW_RESIZABLE = 16,
};

// x, y: the client area's corner on the screen, or OS_CENTRED.
constexpr int OS_CENTRED = -1;

// Creates a window; the procedure gets WM_CREATE before this returns.
OS_WINDOW os_window_create(const char *title, int x, int y, int width, int height, int flags,
                           OS_WINDOW_PROC procedure);
// Sends WM_DESTROY to the procedure, then destroys the window.
void os_window_destroy(OS_WINDOW window);
int os_window_exists(OS_WINDOW window);
// The first window made that still exists: the main window.
OS_WINDOW os_window_first();

// Queues a message; safe from any thread. The window may be null for the
// thread's own messages.
int os_post_message(OS_WINDOW window, uint32_t message, uintptr_t wparam, intptr_t lparam);
void os_post_quit_message(int exit_code);
// Takes the events that arrived into the queue, then gives the first
// message (removing it when asked); 0 when there is none. Never waits.
int os_peek_message(OS_MSG *message, int remove);
// Adds WM_CHAR after a WM_KEYDOWN of a key that types a character.
void os_translate_message(const OS_MSG *message);
intptr_t os_dispatch_message(const OS_MSG *message);
// Calls the window's procedure at once, as a message sent rather than posted.
intptr_t os_send_message(OS_WINDOW window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// What a procedure does with a message it leaves alone: WM_CLOSE destroys
// the window; everything else is 0.
intptr_t os_def_window_proc(OS_WINDOW window, uint32_t message, uintptr_t wparam, intptr_t lparam);

void os_window_show(OS_WINDOW window, int visible);
// Brings the window to the front, restoring it when minimised.
void os_window_raise(OS_WINDOW window);
void os_window_minimize(OS_WINDOW window);
void os_window_set_title(OS_WINDOW window, const char *title);
void os_window_position(OS_WINDOW window, int *x, int *y);
void os_window_move(OS_WINDOW window, int x, int y);
void os_window_client_size(OS_WINDOW window, int *width, int *height);
void os_window_resize(OS_WINDOW window, int width, int height);
// Shows the OpenGL frame drawn since the last call.
void os_window_swap(OS_WINDOW window);
// Fills a window without OpenGL with a picture: rows of red, green, blue
// bytes, top down.
void os_window_show_picture(OS_WINDOW window, const uint8_t *rgb, int width, int height);
// Shows or hides the mouse pointer over every window of the game.
void os_cursor_show(int visible);

// A message box over the window (or alone): the style's icon bits (0x10
// stop, 0x30 exclamation, 0x40 information) choose its icon. Waits for the
// player; returns 1 (OK), or 0 when no box could be shown.
int os_message_box(OS_WINDOW owner, const char *text, const char *caption, unsigned style);
// Tests stand in for the person at the box: while set, a box is handed to
// it (with its owner) instead of being shown; null shows boxes again.
using OS_MESSAGE_BOX_FAKE = int (*)(OS_WINDOW owner, const char *text, const char *caption,
                                    unsigned style);
void os_message_box_fake(OS_MESSAGE_BOX_FAKE answer);

// The user's data beside a window, for its procedure.
void os_window_set_data(OS_WINDOW window, void *data);
void *os_window_data(OS_WINDOW window);
