#include "xv_input.h"

#include "xv_dsp.h"
#include "xv_error.h"

#include "os_input.h"
#include "os_window.h"

#include <algorithm>
#include <cstring>

namespace {

const char *const kMessages[] = {
    "Couldn't create DirectInput!",
    "Couldn't initialize keyboard!",
    "Couldn't initialize joystick",
    "Couldn't initialize mouse",
    "Joystick IDInput::CreateDevice FAILED\n!",
    "Joystick IDInputDevice SetDataFormat FAILED!",
    "Joystick IDInputDevice SetCooperativeLevel FAILED!",
    "Joystick IDInputDevice SetProperty Range FAILED for X!",
    "Joystick IDInputDevice SetProperty Range  FAILED for Y!",
    "Joystick IDInputDevice SetProperty Range  FAILED for Z!",
    "Joystick IDInputDevice SetProperty Deadzone FAILED for X!",
    "Joystick IDInputDevice SetProperty Deadzone FAILED for Y!",
    "Joystick IDInputDevice SetProperty Deadzone FAILED for Z!",
    "Joystick couldn't convert to Device2!",
    "Joystick acquisition failed",
    "Don't have a current joystick device",
    "Mouse SetDataFormat",
    "Mouse SetCooperativeLevel",
    "Keyboard SetDataFormat",
    "Keyboard SetCooperativeLevel",
    nullptr,
};

enum { NO_MOUSE = 3 };

struct Input {
    XV_INPUT_CONFIG *config = nullptr;
    int module = -1;
    bool started = false;
    bool has_mouse = false;
    bool joystick_enabled = false;
    bool suspended = false;
    bool mouse_mode_clears = true;
    uint8_t keys[256] = {};
    uint8_t mouse[XV_INPUT_STATE_BYTES] = {};
    uint8_t joystick[XV_INPUT_STATE_BYTES] = {};
    OS_MOUSE_READING raw{};
};
Input input;

// Scan code and character, plain and with Shift; the list ends at code 0.
struct KeyChar {
    uint8_t code;
    char plain, shifted;
};

constexpr KeyChar kKeyChars[] = {
    {2, '1', '!'},  {3, '2', '@'},  {4, '3', '#'},   {5, '4', '$'},  {6, '5', '%'},
    {7, '6', '^'},  {8, '7', '&'},  {9, '8', '*'},   {10, '9', '('}, {11, '0', ')'},
    {16, 'q', 'Q'}, {17, 'w', 'W'}, {18, 'e', 'E'},  {19, 'r', 'R'}, {20, 't', 'T'},
    {21, 'y', 'Y'}, {22, 'u', 'U'}, {23, 'i', 'I'},  {24, 'o', 'O'}, {25, 'p', 'P'},
    {30, 'a', 'A'}, {31, 's', 'S'}, {32, 'd', 'D'},  {33, 'f', 'F'}, {34, 'g', 'G'},
    {35, 'h', 'H'}, {36, 'j', 'J'}, {37, 'k', 'K'},  {38, 'l', 'L'}, {44, 'z', 'Z'},
    {45, 'x', 'X'}, {46, 'c', 'C'}, {47, 'v', 'V'},  {48, 'b', 'B'}, {49, 'n', 'N'},
    {50, 'm', 'M'}, {55, '*', '*'}, {40, '\'', '"'}, {41, '`', '~'}, {26, '[', '{'},
    {27, ']', '}'}, {12, '-', '_'}, {13, '=', '+'},  {53, '/', '?'}, {43, '\\', '|'},
    {51, ',', '<'}, {39, ';', ':'}, {52, '.', '>'},  {57, ' ', ' '}, {1, 1, 1},
    {14, 8, 8},     {15, 9, 9},     {28, 19, 19}, // Return gives 19, as it always has
    {0, 0, 0},
};

bool reporting() {
    return (input.config && input.config->report) || xv_error_reporting();
}

void report(int code) {
    xv_error_report(input.module, code, reporting());
}

void clear_states() {
    std::memset(input.keys, 0, sizeof input.keys);
    std::memset(input.mouse, 0, sizeof input.mouse);
    std::memset(input.joystick, 0, sizeof input.joystick);
}

void add_amount(uint8_t *amount, int32_t motion) {
    *amount = static_cast<uint8_t>(std::min<int32_t>(XV_INPUT_MOUSE_MOST, *amount + motion));
}

// Of two opposite directions both set, the smaller goes (the first named
// on a tie).
void keep_larger(uint8_t *first, uint8_t *second) {
    if (*first && *second) {
        (*first <= *second ? *first : *second) = 0;
    }
}

// A diagonal keeps its dominant axis, by this poll's motion.
void keep_dominant_axis() {
    uint8_t *m = input.mouse;
    const int32_t x = input.raw.x, y = input.raw.y;
    if (m[XV_INPUT_LEFT] && m[XV_INPUT_UP]) {
        (x >= y ? m[XV_INPUT_LEFT] : m[XV_INPUT_UP]) = 0;
    }
    if (m[XV_INPUT_RIGHT] && m[XV_INPUT_DOWN]) {
        (x <= y ? m[XV_INPUT_RIGHT] : m[XV_INPUT_DOWN]) = 0;
    }
}

void read_mouse() {
    if (!input.has_mouse || input.suspended || !os_input_mouse(&input.raw)) {
        return;
    }
    const int32_t x = std::clamp(input.raw.x, -128, 128);
    const int32_t y = std::clamp(input.raw.y, -128, 128);
    uint8_t *m = input.mouse;
    if (x < -XV_INPUT_MOUSE_DEAD_ZONE) {
        add_amount(&m[XV_INPUT_LEFT], -x);
    } else if (x > XV_INPUT_MOUSE_DEAD_ZONE) {
        add_amount(&m[XV_INPUT_RIGHT], x);
    }
    if (y < -XV_INPUT_MOUSE_DEAD_ZONE) {
        add_amount(&m[XV_INPUT_UP], -y);
    } else if (y > XV_INPUT_MOUSE_DEAD_ZONE) {
        add_amount(&m[XV_INPUT_DOWN], y);
    }
    for (int i = 0; i < 4; ++i) {
        m[XV_INPUT_BUTTON0 + i] = input.raw.buttons[i] & 0x80;
    }
    if (input.config && !input.config->mouse_diagonals) {
        keep_dominant_axis();
    }
    keep_larger(&m[XV_INPUT_LEFT], &m[XV_INPUT_RIGHT]);
    keep_larger(&m[XV_INPUT_UP], &m[XV_INPUT_DOWN]);
}

void read_keyboard() {
    if (!input.suspended) {
        os_input_keyboard(input.keys);
    }
}

bool read_joystick() {
    OS_JOYSTICK_READING reading{};
    if (!input.joystick_enabled || input.suspended || !os_input_joystick_read(&reading)) {
        return false;
    }
    uint8_t *j = input.joystick;
    j[XV_INPUT_LEFT] = static_cast<uint8_t>(reading.x < 0 ? -reading.x : 0);
    j[XV_INPUT_RIGHT] = static_cast<uint8_t>(reading.x > 0 ? reading.x : 0);
    j[XV_INPUT_UP] = static_cast<uint8_t>(reading.y < 0 ? -reading.y : 0);
    j[XV_INPUT_DOWN] = static_cast<uint8_t>(reading.y > 0 ? reading.y : 0);
    for (int i = 0; i < 3; ++i) {
        j[XV_INPUT_BUTTON0 + i] = reading.buttons[i] ? 128 : 0;
    }
    return true;
}

} // namespace

int xv_input_init(XV_INPUT_CONFIG *config) {
    input = {};
    input.config = config;
    input.module = xv_error_register("Input", kMessages);
    input.joystick_enabled = os_input_joystick_open();
    OS_MOUSE_READING probe{};
    input.has_mouse = os_input_mouse(&probe);
    if (!input.has_mouse) {
        report(NO_MOUSE);
        return 0;
    }
    input.started = true;
    return 1;
}

void xv_input_deinit() {
    if (input.started) {
        xv_input_activate(0);
    }
    os_input_joystick_close();
    input.started = false;
    input.has_mouse = false;
    input.joystick_enabled = false;
}

int xv_input_module() {
    return input.module;
}

int xv_input_check_joystick() {
    if (!input.joystick_enabled) {
        return 1;
    }
    int off_centre = 0;
    for (int i = 0; i < 1000; ++i) {
        std::memset(input.joystick, 0, sizeof input.joystick);
        read_joystick();
        const uint8_t *j = input.joystick;
        off_centre += j[XV_INPUT_LEFT] || j[XV_INPUT_RIGHT];
        off_centre += j[XV_INPUT_UP] || j[XV_INPUT_DOWN];
    }
    std::memset(input.joystick, 0, sizeof input.joystick);
    if (off_centre < 701) {
        return 1;
    }
    xv_warning("Warning!  Your joystick appears to be uncalibrated!\nYou should either calibrate "
               "it or disable it.\n\nUntil your joystick is successfully calibrated, you will not "
               "be able to use the joystick with this program.",
               "Warning!", XV_MB_OK);
    input.joystick_enabled = false;
    return 0;
}

int xv_input_joystick_enabled() {
    return input.joystick_enabled;
}

int xv_input_poll() {
    std::memset(input.joystick, 0, sizeof input.joystick);
    xv_input_read_mouse();
    return read_joystick() ? 1 : 0;
}

void xv_input_read_mouse() {
    if (input.mouse_mode_clears) {
        std::memset(input.mouse, 0, sizeof input.mouse);
    }
    read_mouse();
    read_keyboard();
}

// The pointer is neither hidden nor held: the window's menu bar is drawn
// inside the window, and the player must be able to reach it.
void xv_input_activate(int on) {
    clear_states();
    input.suspended = on == 0;
}

int xv_input_window_message(OS_WINDOW window, uint32_t message, uintptr_t wparam, intptr_t) {
    switch (message) {
    case WM_ACTIVATE:
        xv_input_activate(static_cast<int>(wparam & 0xFFFF));
        break;
    case WM_KILLFOCUS:
        xv_input_activate(0);
        break;
    case WM_SIZE:
        // Minimised and restored, as the system's menu would have said.
        if (wparam == SIZE_MINIMIZED) {
            xv_input_activate(0);
        }
        break;
    case WM_SETFOCUS:
    case WM_LBUTTONDOWN:
        os_post_message(window, XV_INPUT_ACQUIRE, 0, 0);
        break;
    case XV_INPUT_ACQUIRE:
        xv_input_activate(1);
        break;
    default:
        break;
    }
    return 1;
}

uint8_t xv_input_get_key(int scan_code) {
    return scan_code >= 0 && scan_code < 256 ? input.keys[scan_code] : 0;
}

void xv_input_set_key(int scan_code, uint8_t value) {
    if (scan_code >= 0 && scan_code < 256) {
        input.keys[scan_code] = value;
    }
}

void xv_input_get_mouse(XV_INPUT_MOUSE *mouse) {
    if (!input.has_mouse) {
        return;
    }
    mouse->x = input.raw.x;
    mouse->y = input.raw.y;
    mouse->z = input.raw.z;
    mouse->buttons = 0;
    for (int i = 0; i < 4; ++i) {
        mouse->buttons |= input.raw.buttons[i] & 0x80 ? 1 << i : 0;
    }
}

int xv_input_any() {
    for (int i = 0; i < XV_INPUT_STATE_BYTES; ++i) {
        if (input.mouse[i] || input.joystick[i]) {
            return 1;
        }
    }
    for (uint8_t key : input.keys) {
        if (key) {
            return 1;
        }
    }
    return 0;
}

int xv_input_key_to_char(int scan_code, int flags) {
    for (const KeyChar *entry = kKeyChars; entry->code; ++entry) {
        if (entry->code == scan_code) {
            return flags & 1 ? entry->shifted : entry->plain;
        }
    }
    return 0;
}

void xv_input_mouse_mode(int mode) {
    if (mode == 1) {
        input.mouse_mode_clears = true;
    } else if (mode == 2) {
        input.mouse_mode_clears = false;
    }
}

void xv_input_mouse_decay(int amount) {
    if (!input.has_mouse || input.mouse_mode_clears) {
        return;
    }
    for (int i = XV_INPUT_UP; i <= XV_INPUT_RIGHT; ++i) {
        input.mouse[i] = static_cast<uint8_t>(std::max(0, input.mouse[i] - amount));
    }
}

void xv_input_clear_mouse() {
    std::memset(input.mouse, 0, sizeof input.mouse);
}

uint8_t *xv_input_control(int id) {
    if (id >= 0 && id < 256) {
        return &input.keys[id];
    }
    if (id >= XV_INPUT_MOUSE_FIRST && id < XV_INPUT_MOUSE_FIRST + XV_INPUT_STATE_BYTES) {
        return &input.mouse[id - XV_INPUT_MOUSE_FIRST];
    }
    if (id >= XV_INPUT_JOYSTICK_FIRST && id < XV_INPUT_JOYSTICK_FIRST + XV_INPUT_STATE_BYTES) {
        return &input.joystick[id - XV_INPUT_JOYSTICK_FIRST];
    }
    return nullptr;
}
