// Windows and their message queue. The game's modules were written against
// a desktop whose windows talk in messages (WM_KEYDOWN, WM_SIZE, ...) sent
// to a window procedure; here the media layer's events become those
// messages, with the same numbers and parameters, in one queue that the
// main loop peeks, translates and dispatches.
#pragma once

#include <cstdint>

struct OsWindow;
using OS_WINDOW = OsWindow *;

// Message numbers, as the modules know them.
enum : uint32_t {
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_SETFOCUS = 0x0007,
    WM_KILLFOCUS = 0x0008,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_DISPLAYCHANGE = 0x007E,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_COMMAND = 0x0111,
    WM_SYSCOMMAND = 0x0112,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MOUSEWHEEL = 0x020A,
    WM_USER = 0x0400,
};

// WM_ACTIVATE's word parameter and WM_SIZE's.
enum { WA_INACTIVE = 0, WA_ACTIVE = 1 };
enum { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };

// Virtual keys: letters and digits are their upper-case characters.
enum : uint32_t {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12, // Alt
    VK_PAUSE = 0x13,
    VK_CAPITAL = 0x14,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_SNAPSHOT = 0x2C,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_NUMPAD0 = 0x60,
    VK_MULTIPLY = 0x6A,
    VK_ADD = 0x6B,
    VK_SUBTRACT = 0x6D,
    VK_DECIMAL = 0x6E,
    VK_DIVIDE = 0x6F,
    VK_F1 = 0x70,
    VK_F2 = 0x71,
    VK_F3 = 0x72,
    VK_F4 = 0x73,
    VK_F9 = 0x78,
    VK_F10 = 0x79,
    VK_F12 = 0x7B,
    VK_NUMLOCK = 0x90,
    VK_SCROLL = 0x91,
};

// A key message's long parameter: the repeat count in bits 0-15, the
// extended-key flag in bit 24, Alt held in bit 29, the key's previous
// state in bit 30 and the transition (1 on release) in bit 31.
enum : uint32_t {
    KEY_EXTENDED = 1u << 24,
    KEY_ALT_DOWN = 1u << 29,
    KEY_WAS_DOWN = 1u << 30,
    KEY_RELEASED = 1u << 31,
};

constexpr intptr_t os_make_lparam(int low, int high) {
    return static_cast<intptr_t>(static_cast<uint16_t>(low) |
                                 static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16);
}
constexpr int os_low_word(intptr_t value) {
    return static_cast<int16_t>(value & 0xFFFF);
}
constexpr int os_high_word(intptr_t value) {
    return static_cast<int16_t>((value >> 16) & 0xFFFF);
}

struct OS_MSG {
    OS_WINDOW window; // null for a message to the thread (WM_QUIT)
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
    uint32_t time; // os_tick_count when it was queued
};

using OS_WINDOW_PROC = intptr_t (*)(OS_WINDOW window, uint32_t message, uintptr_t wparam,
                                    intptr_t lparam);

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

// The user's data beside a window, for its procedure.
void os_window_set_data(OS_WINDOW window, void *data);
void *os_window_data(OS_WINDOW window);
