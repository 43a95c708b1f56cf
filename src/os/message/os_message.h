// The desktop's message vocabulary: window handles, message numbers,
// virtual keys and the window procedure's shape. The platform's interface is
// written in these words, so every layer may use them; the operations on
// windows and queues stay in os_window.h, for the os layer and the shell.
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
// A button message's word parameter: the buttons held. A click of the
// player's has its button's bit; the program's own posted clicks (the
// return from a menu) have none.
enum { MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002 };

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
