// Input: the keyboard, the mouse and one joystick turned into per-frame
// state. Controls are named by number: 0..255 a key's scan code, 400..438
// a mouse byte, 500..538 a joystick byte. The devices are let go whenever
// the window loses the player's attention and taken back when it returns.
#pragma once

#include "os_window.h"

#include <cstdint>

struct XV_INPUT_CONFIG {
    int report;
    int mouse_diagonals; // 0: a diagonal mouse motion keeps its dominant axis
};

// The state bytes' layout.
enum {
    XV_INPUT_STATE_BYTES = 39,
    XV_INPUT_UP = 0,
    XV_INPUT_DOWN = 1,
    XV_INPUT_LEFT = 2,
    XV_INPUT_RIGHT = 3,
    XV_INPUT_BUTTON0 = 6,
    XV_INPUT_MOUSE_FIRST = 400,
    XV_INPUT_JOYSTICK_FIRST = 500,
    XV_INPUT_MOUSE_DEAD_ZONE = 8,
    XV_INPUT_MOUSE_MOST = 128,
};

// The private message that takes the devices back after a click or focus.
enum : uint32_t { XV_INPUT_ACQUIRE = WM_USER + 69 };

struct XV_INPUT_MOUSE {
    int32_t x, y, z;
    int32_t buttons; // bit i: button i held
};

int xv_input_init(XV_INPUT_CONFIG *config);
void xv_input_deinit();
int xv_input_check_joystick();
int xv_input_poll();
void xv_input_read_mouse();
void xv_input_activate(int on);
int xv_input_window_message(OS_WINDOW window, uint32_t message, uintptr_t wparam, intptr_t lparam);
uint8_t xv_input_get_key(int scan_code);
void xv_input_set_key(int scan_code, uint8_t value);
void xv_input_get_mouse(XV_INPUT_MOUSE *mouse);
int xv_input_any();
int xv_input_key_to_char(int scan_code, int flags);
void xv_input_mouse_mode(int mode);
void xv_input_mouse_decay(int amount);
void xv_input_clear_mouse();
int xv_input_module();

// The state byte a control id names, or null for an id outside the three
// ranges (the player module binds its actions to these).
uint8_t *xv_input_control(int id);
// The joystick's state is read only while it is enabled.
int xv_input_joystick_enabled();
