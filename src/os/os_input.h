// The input devices as the game reads them once a frame: the keyboard as 256
// bytes indexed by the PC keyboard's scan codes (set 1; the extended keys
// with 0x80 added, as the desktop's input library numbered them), the mouse
// as its motion since the last read and its buttons, and one joystick as two
// axes and three buttons. The window's message pump keeps them current.
#pragma once

#include <cstdint>

// Scan codes the game names.
enum : uint8_t {
    OS_KEY_ESCAPE = 1,
    OS_KEY_RETURN = 28,
    OS_KEY_LEFT_CONTROL = 29,
    OS_KEY_LEFT_SHIFT = 42,
    OS_KEY_RIGHT_SHIFT = 54,
    OS_KEY_LEFT_ALT = 56,
    OS_KEY_SPACE = 57,
    OS_KEY_RIGHT_CONTROL = 157,
    OS_KEY_RIGHT_ALT = 184,
    OS_KEY_UP = 200,
    OS_KEY_LEFT = 203,
    OS_KEY_RIGHT = 205,
    OS_KEY_DOWN = 208,
};

struct OS_MOUSE_READING {
    int32_t x, y, z;    // motion since the last reading; z is the wheel
    uint8_t buttons[4]; // 0x80 while held
};

struct OS_JOYSTICK_READING {
    int32_t x, y;       // -32 .. 32, 0 inside the dead zone (half of the travel)
    uint8_t buttons[3]; // 0x80 while held
};

// The scan code of a media-layer scancode (0 for keys a PC keyboard lacks).
uint8_t os_input_scan_code(int sdl_scancode);

// Fills the 256 bytes: 0x80 for every key held, and for every key pressed
// since the last reading even if it is up again (a quick tap between two
// frames is seen once); 0 for the others.
void os_input_keyboard(uint8_t state[256]);
// Notes a key's press for the next reading (the message pump's part).
void os_input_note_key(int sdl_scancode);
// A key or mouse button the menu bar took (the Escape that closes one of
// its menus, the click that does): read as up until it is let go, so that
// it does not reach the game as well.
void os_input_hold_back_key(int sdl_scancode);
void os_input_hold_back_button(int sdl_button);
// Reads the mouse; false when there is no mouse.
bool os_input_mouse(OS_MOUSE_READING *reading);
// Counts the wheel's turns between readings (the message pump's part).
void os_input_note_wheel(int turns);

// Opens the joysticks; the last one attached is the one read. False when
// there is none.
bool os_input_joystick_open();
void os_input_joystick_close();
// A game controller reads its left stick (or D-pad) and A, B and Start as
// buttons 0, 1 and 2; another joystick its first two axes and buttons.
bool os_input_joystick_read(OS_JOYSTICK_READING *reading);
// Lets the pad go (the subsystem stays).
void os_input_joystick_close_device();

// Tests stand in for the devices: while set, readings come from these.
// Null gives the real devices back.
struct OS_INPUT_FAKE {
    uint8_t keys[256];
    OS_MOUSE_READING mouse;
    bool has_joystick;
    OS_JOYSTICK_READING joystick;
};
void os_input_fake(const OS_INPUT_FAKE *fake);
