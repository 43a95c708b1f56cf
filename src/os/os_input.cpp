#include "os_input.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

const OS_INPUT_FAKE *fake_devices = nullptr;
std::atomic<int> wheel_turns{0};
bool tapped[SDL_NUM_SCANCODES] = {};    // pressed since the last reading (the main thread's)
bool held_back[SDL_NUM_SCANCODES] = {}; // the menu bar's until let go
Uint32 held_back_buttons = 0;           // SDL's button masks, likewise
SDL_Joystick *joystick = nullptr;
SDL_GameController *controller = nullptr; // the joystick, when SDL knows its layout
bool joystick_subsystem = false;

// The PC keyboard's set-1 scan codes; the keys of the extended set (the
// arrows, the block above them, the right-hand modifiers, keypad Enter and
// divide) have 0x80 added.
struct KeyCode {
    SDL_Scancode sdl;
    uint8_t code;
};

constexpr KeyCode kKeyCodes[] = {
    {SDL_SCANCODE_ESCAPE, 1},
    {SDL_SCANCODE_1, 2},
    {SDL_SCANCODE_2, 3},
    {SDL_SCANCODE_3, 4},
    {SDL_SCANCODE_4, 5},
    {SDL_SCANCODE_5, 6},
    {SDL_SCANCODE_6, 7},
    {SDL_SCANCODE_7, 8},
    {SDL_SCANCODE_8, 9},
    {SDL_SCANCODE_9, 10},
    {SDL_SCANCODE_0, 11},
    {SDL_SCANCODE_MINUS, 12},
    {SDL_SCANCODE_EQUALS, 13},
    {SDL_SCANCODE_BACKSPACE, 14},
    {SDL_SCANCODE_TAB, 15},
    {SDL_SCANCODE_Q, 16},
    {SDL_SCANCODE_W, 17},
    {SDL_SCANCODE_E, 18},
    {SDL_SCANCODE_R, 19},
    {SDL_SCANCODE_T, 20},
    {SDL_SCANCODE_Y, 21},
    {SDL_SCANCODE_U, 22},
    {SDL_SCANCODE_I, 23},
    {SDL_SCANCODE_O, 24},
    {SDL_SCANCODE_P, 25},
    {SDL_SCANCODE_LEFTBRACKET, 26},
    {SDL_SCANCODE_RIGHTBRACKET, 27},
    {SDL_SCANCODE_RETURN, 28},
    {SDL_SCANCODE_LCTRL, 29},
    {SDL_SCANCODE_A, 30},
    {SDL_SCANCODE_S, 31},
    {SDL_SCANCODE_D, 32},
    {SDL_SCANCODE_F, 33},
    {SDL_SCANCODE_G, 34},
    {SDL_SCANCODE_H, 35},
    {SDL_SCANCODE_J, 36},
    {SDL_SCANCODE_K, 37},
    {SDL_SCANCODE_L, 38},
    {SDL_SCANCODE_SEMICOLON, 39},
    {SDL_SCANCODE_APOSTROPHE, 40},
    {SDL_SCANCODE_GRAVE, 41},
    {SDL_SCANCODE_LSHIFT, 42},
    {SDL_SCANCODE_BACKSLASH, 43},
    {SDL_SCANCODE_Z, 44},
    {SDL_SCANCODE_X, 45},
    {SDL_SCANCODE_C, 46},
    {SDL_SCANCODE_V, 47},
    {SDL_SCANCODE_B, 48},
    {SDL_SCANCODE_N, 49},
    {SDL_SCANCODE_M, 50},
    {SDL_SCANCODE_COMMA, 51},
    {SDL_SCANCODE_PERIOD, 52},
    {SDL_SCANCODE_SLASH, 53},
    {SDL_SCANCODE_RSHIFT, 54},
    {SDL_SCANCODE_KP_MULTIPLY, 55},
    {SDL_SCANCODE_LALT, 56},
    {SDL_SCANCODE_SPACE, 57},
    {SDL_SCANCODE_CAPSLOCK, 58},
    {SDL_SCANCODE_F1, 59},
    {SDL_SCANCODE_F2, 60},
    {SDL_SCANCODE_F3, 61},
    {SDL_SCANCODE_F4, 62},
    {SDL_SCANCODE_F5, 63},
    {SDL_SCANCODE_F6, 64},
    {SDL_SCANCODE_F7, 65},
    {SDL_SCANCODE_F8, 66},
    {SDL_SCANCODE_F9, 67},
    {SDL_SCANCODE_F10, 68},
    {SDL_SCANCODE_NUMLOCKCLEAR, 69},
    {SDL_SCANCODE_SCROLLLOCK, 70},
    {SDL_SCANCODE_KP_7, 71},
    {SDL_SCANCODE_KP_8, 72},
    {SDL_SCANCODE_KP_9, 73},
    {SDL_SCANCODE_KP_MINUS, 74},
    {SDL_SCANCODE_KP_4, 75},
    {SDL_SCANCODE_KP_5, 76},
    {SDL_SCANCODE_KP_6, 77},
    {SDL_SCANCODE_KP_PLUS, 78},
    {SDL_SCANCODE_KP_1, 79},
    {SDL_SCANCODE_KP_2, 80},
    {SDL_SCANCODE_KP_3, 81},
    {SDL_SCANCODE_KP_0, 82},
    {SDL_SCANCODE_KP_PERIOD, 83},
    {SDL_SCANCODE_NONUSBACKSLASH, 86},
    {SDL_SCANCODE_F11, 87},
    {SDL_SCANCODE_F12, 88},
    {SDL_SCANCODE_KP_ENTER, 156},
    {SDL_SCANCODE_RCTRL, 157},
    {SDL_SCANCODE_KP_DIVIDE, 181},
    {SDL_SCANCODE_PRINTSCREEN, 183},
    {SDL_SCANCODE_RALT, 184},
    {SDL_SCANCODE_PAUSE, 197},
    {SDL_SCANCODE_HOME, 199},
    {SDL_SCANCODE_UP, 200},
    {SDL_SCANCODE_PAGEUP, 201},
    {SDL_SCANCODE_LEFT, 203},
    {SDL_SCANCODE_RIGHT, 205},
    {SDL_SCANCODE_END, 207},
    {SDL_SCANCODE_DOWN, 208},
    {SDL_SCANCODE_PAGEDOWN, 209},
    {SDL_SCANCODE_INSERT, 210},
    {SDL_SCANCODE_DELETE, 211},
    {SDL_SCANCODE_LGUI, 219},
    {SDL_SCANCODE_RGUI, 220},
    {SDL_SCANCODE_APPLICATION, 221},
};

// Half the axis' travel is dead; the rest is spread over 1 .. 32.
int32_t axis_value(Sint16 raw) {
    constexpr int kDead = 16384;
    const int magnitude = std::abs(static_cast<int>(raw));
    if (magnitude <= kDead) {
        return 0;
    }
    const int32_t value = std::min(32, (magnitude - kDead) * 32 / (32768 - kDead) + 1);
    return raw < 0 ? -value : value;
}

} // namespace

uint8_t os_input_scan_code(int sdl_scancode) {
    for (const KeyCode &key : kKeyCodes) {
        if (key.sdl == sdl_scancode) {
            return key.code;
        }
    }
    return 0;
}

void os_input_keyboard(uint8_t state[256]) {
    if (fake_devices) {
        std::memcpy(state, fake_devices->keys, 256);
        return;
    }
    std::memset(state, 0, 256);
    int count = 0;
    const Uint8 *keys = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetKeyboardState(&count) : nullptr;
    for (const KeyCode &key : kKeyCodes) {
        const bool down = keys && key.sdl < count && keys[key.sdl];
        if (held_back[key.sdl]) {
            held_back[key.sdl] = down;
            continue;
        }
        if (down || tapped[key.sdl]) {
            state[key.code] = 0x80;
        }
    }
    std::fill(std::begin(tapped), std::end(tapped), false);
}

void os_input_note_key(int sdl_scancode) {
    if (sdl_scancode >= 0 && sdl_scancode < SDL_NUM_SCANCODES) {
        tapped[sdl_scancode] = true;
    }
}

void os_input_hold_back_key(int sdl_scancode) {
    if (sdl_scancode >= 0 && sdl_scancode < SDL_NUM_SCANCODES) {
        held_back[sdl_scancode] = true;
        tapped[sdl_scancode] = false;
    }
}

void os_input_hold_back_button(int sdl_button) {
    if (sdl_button >= 1 && sdl_button <= 32) {
        held_back_buttons |= SDL_BUTTON(sdl_button);
    }
}

bool os_input_mouse(OS_MOUSE_READING *reading) {
    if (fake_devices) {
        *reading = fake_devices->mouse;
        return true;
    }
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        return false;
    }
    int x = 0, y = 0;
    Uint32 held = SDL_GetRelativeMouseState(&x, &y);
    held_back_buttons &= held; // let go: the game's again
    held &= ~held_back_buttons;
    reading->x = x;
    reading->y = y;
    reading->z = wheel_turns.exchange(0) * 120;
    const Uint32 masks[4] = {SDL_BUTTON_LMASK, SDL_BUTTON_RMASK, SDL_BUTTON_MMASK,
                             SDL_BUTTON_X1MASK};
    for (int i = 0; i < 4; ++i) {
        reading->buttons[i] = held & masks[i] ? 0x80 : 0;
    }
    return true;
}

void os_input_note_wheel(int turns) {
    wheel_turns += turns;
}

// A pad SDL knows the layout of (a game controller) is opened as one, so
// that its A, B and Start buttons and its D-pad are where the game expects
// them whatever the make; any other joystick is read as it comes.
bool os_input_joystick_open() {
    if (!joystick_subsystem) {
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0) {
            return false;
        }
        joystick_subsystem = true;
    }
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        SDL_GameController *pad = SDL_IsGameController(i) ? SDL_GameControllerOpen(i) : nullptr;
        SDL_Joystick *opened = pad ? SDL_GameControllerGetJoystick(pad) : SDL_JoystickOpen(i);
        if (!opened) {
            continue;
        }
        os_input_joystick_close_device();
        controller = pad; // the last one attached is the one used
        joystick = opened;
    }
    return joystick != nullptr || (fake_devices && fake_devices->has_joystick);
}

void os_input_joystick_close_device() {
    if (controller) {
        SDL_GameControllerClose(controller); // closes its joystick too
    } else if (joystick) {
        SDL_JoystickClose(joystick);
    }
    controller = nullptr;
    joystick = nullptr;
}

void os_input_joystick_close() {
    os_input_joystick_close_device();
    if (joystick_subsystem) {
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
        joystick_subsystem = false;
    }
}

namespace {

// A game controller: the left stick or the D-pad, and A, B, Start.
void read_controller(OS_JOYSTICK_READING *reading) {
    SDL_GameControllerUpdate();
    reading->x = axis_value(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTX));
    reading->y = axis_value(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTY));
    const auto held = [](SDL_GameControllerButton button) {
        return SDL_GameControllerGetButton(controller, button) != 0;
    };
    if (held(SDL_CONTROLLER_BUTTON_DPAD_LEFT) || held(SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) {
        reading->x = held(SDL_CONTROLLER_BUTTON_DPAD_LEFT) ? -32 : 32;
    }
    if (held(SDL_CONTROLLER_BUTTON_DPAD_UP) || held(SDL_CONTROLLER_BUTTON_DPAD_DOWN)) {
        reading->y = held(SDL_CONTROLLER_BUTTON_DPAD_UP) ? -32 : 32;
    }
    const SDL_GameControllerButton buttons[3] = {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_B,
                                                 SDL_CONTROLLER_BUTTON_START};
    for (int i = 0; i < 3; ++i) {
        reading->buttons[i] = held(buttons[i]) ? 0x80 : 0;
    }
}

} // namespace

bool os_input_joystick_read(OS_JOYSTICK_READING *reading) {
    if (fake_devices) {
        *reading = fake_devices->joystick;
        return fake_devices->has_joystick;
    }
    if (controller) {
        read_controller(reading);
        return true;
    }
    if (!joystick) {
        return false;
    }
    SDL_JoystickUpdate();
    reading->x = axis_value(SDL_JoystickGetAxis(joystick, 0));
    reading->y = axis_value(SDL_JoystickGetAxis(joystick, 1));
    for (int i = 0; i < 3; ++i) {
        reading->buttons[i] = SDL_JoystickGetButton(joystick, i) ? 0x80 : 0;
    }
    return true;
}

void os_input_fake(const OS_INPUT_FAKE *fake) {
    fake_devices = fake;
}
