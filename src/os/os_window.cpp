#include "os_window.h"

#include "os_input.h"
#include "os_instance.h"
#include "os_leak_check.h"
#include "os_time.h"
#include "os_window_sdl.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

struct OsWindow {
    SDL_Window *sdl = nullptr;
    SDL_GLContext gl = nullptr;
    OS_WINDOW_PROC procedure = nullptr;
    void *data = nullptr;
};

namespace {

// Messages come from the main thread and from timers, so the queue has a lock.
std::mutex queue_lock;
std::deque<OS_MSG> queue;
std::vector<OS_WINDOW> windows; // main thread only

OS_WINDOW window_of(uint32_t sdl_id) {
    SDL_Window *sdl = SDL_GetWindowFromID(sdl_id);
    for (OS_WINDOW window : windows) {
        if (window->sdl == sdl) {
            return window;
        }
    }
    return nullptr;
}

// The window the system's own requests (a terminal's Ctrl+C) go to.
OS_WINDOW first_window() {
    return windows.empty() ? nullptr : windows.front();
}

// ---- keys ------------------------------------------------------------------------

uint32_t virtual_key(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        return static_cast<uint32_t>('A' + (key - SDLK_a));
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return static_cast<uint32_t>(key);
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) {
        return VK_F1 + static_cast<uint32_t>(key - SDLK_F1);
    }
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) {
        return VK_NUMPAD0 + 1 + static_cast<uint32_t>(key - SDLK_KP_1);
    }
    switch (key) {
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    case SDLK_PAUSE:
        return VK_PAUSE;
    case SDLK_CAPSLOCK:
        return VK_CAPITAL;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_END:
        return VK_END;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_PRINTSCREEN:
        return VK_SNAPSHOT;
    case SDLK_INSERT:
        return VK_INSERT;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_KP_0:
        return VK_NUMPAD0;
    case SDLK_KP_MULTIPLY:
        return VK_MULTIPLY;
    case SDLK_KP_PLUS:
        return VK_ADD;
    case SDLK_KP_MINUS:
        return VK_SUBTRACT;
    case SDLK_KP_PERIOD:
        return VK_DECIMAL;
    case SDLK_KP_DIVIDE:
        return VK_DIVIDE;
    case SDLK_NUMLOCKCLEAR:
        return VK_NUMLOCK;
    case SDLK_SCROLLLOCK:
        return VK_SCROLL;
    case SDLK_SEMICOLON:
        return 0xBA;
    case SDLK_EQUALS:
        return 0xBB;
    case SDLK_COMMA:
        return 0xBC;
    case SDLK_MINUS:
        return 0xBD;
    case SDLK_PERIOD:
        return 0xBE;
    case SDLK_SLASH:
        return 0xBF;
    case SDLK_BACKQUOTE:
        return 0xC0;
    case SDLK_LEFTBRACKET:
        return 0xDB;
    case SDLK_BACKSLASH:
        return 0xDC;
    case SDLK_RIGHTBRACKET:
        return 0xDD;
    case SDLK_QUOTE:
        return 0xDE;
    default:
        return 0;
    }
}

// Keys that sat apart from the typing block on the old keyboards.
bool is_extended(SDL_Keycode key) {
    switch (key) {
    case SDLK_RALT:
    case SDLK_RCTRL:
    case SDLK_INSERT:
    case SDLK_DELETE:
    case SDLK_HOME:
    case SDLK_END:
    case SDLK_PAGEUP:
    case SDLK_PAGEDOWN:
    case SDLK_LEFT:
    case SDLK_RIGHT:
    case SDLK_UP:
    case SDLK_DOWN:
    case SDLK_KP_ENTER:
    case SDLK_KP_DIVIDE:
    case SDLK_NUMLOCKCLEAR:
    case SDLK_PRINTSCREEN:
        return true;
    default:
        return false;
    }
}

// With Alt held, or for Alt and F10 themselves, a key is a system key: the
// desktop kept those for its menus.
void post_key(OS_WINDOW window, const SDL_KeyboardEvent &event) {
    uint32_t key = virtual_key(event.keysym.sym);
    if (!key) {
        return;
    }
    bool alt = (event.keysym.mod & KMOD_ALT) != 0;
    bool system = alt || key == VK_MENU || key == VK_F10;
    bool down = event.type == SDL_KEYDOWN;
    uint32_t flags = 1;
    flags |= is_extended(event.keysym.sym) ? KEY_EXTENDED : 0u;
    flags |= alt ? KEY_ALT_DOWN : 0u;
    flags |= !down || event.repeat ? KEY_WAS_DOWN : 0u;
    flags |= down ? 0u : KEY_RELEASED;
    uint32_t message =
        down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    os_post_message(window, message, key, static_cast<intptr_t>(flags));
}

// ---- events ----------------------------------------------------------------------

void post_window_event(const SDL_WindowEvent &event) {
    OS_WINDOW window = window_of(event.windowID);
    if (!window) {
        return;
    }
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        os_post_message(window, WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        os_post_message(window, WM_ACTIVATE, WA_ACTIVE, 0);
        os_post_message(window, WM_SETFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        os_post_message(window, WM_ACTIVATE, WA_INACTIVE, 0);
        os_post_message(window, WM_KILLFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_MOVED:
        os_post_message(window, WM_MOVE, 0, os_make_lparam(event.data1, event.data2));
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        os_post_message(window, WM_SIZE, SIZE_RESTORED, os_make_lparam(event.data1, event.data2));
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        os_post_message(window, WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED: {
        int width = 0, height = 0;
        SDL_GetWindowSize(window->sdl, &width, &height);
        os_post_message(window, WM_SIZE,
                        event.event == SDL_WINDOWEVENT_MAXIMIZED ? SIZE_MAXIMIZED : SIZE_RESTORED,
                        os_make_lparam(width, height));
        break;
    }
    case SDL_WINDOWEVENT_EXPOSED:
        os_post_message(window, WM_PAINT, 0, 0);
        break;
    default:
        break;
    }
}

void post_mouse_button(const SDL_MouseButtonEvent &event) {
    bool down = event.type == SDL_MOUSEBUTTONDOWN;
    uint32_t message = 0;
    uintptr_t held = 0;
    if (event.button == SDL_BUTTON_LEFT) {
        message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        held = down ? MK_LBUTTON : 0;
    } else if (event.button == SDL_BUTTON_RIGHT) {
        message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        held = down ? MK_RBUTTON : 0;
    }
    if (OS_WINDOW window = window_of(event.windowID); window && message) {
        os_post_message(window, message, held, os_make_lparam(event.x, event.y));
    }
}

void post_event(const SDL_Event &event) {
    switch (event.type) {
    case SDL_QUIT:
        // Closing the last window already said so; this is the system asking.
        if (OS_WINDOW window = first_window()) {
            os_post_message(window, WM_CLOSE, 0, 0);
        }
        break;
    case SDL_WINDOWEVENT:
        post_window_event(event.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (event.type == SDL_KEYDOWN) {
            os_input_note_key(event.key.keysym.scancode);
        }
        if (OS_WINDOW window = window_of(event.key.windowID)) {
            post_key(window, event.key);
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        post_mouse_button(event.button);
        break;
    case SDL_MOUSEMOTION:
        if (OS_WINDOW window = window_of(event.motion.windowID)) {
            os_post_message(window, WM_MOUSEMOVE, 0,
                            os_make_lparam(event.motion.x, event.motion.y));
        }
        break;
    case SDL_MOUSEWHEEL:
        os_input_note_wheel(event.wheel.y);
        if (OS_WINDOW window = window_of(event.wheel.windowID)) {
            os_post_message(
                window, WM_MOUSEWHEEL,
                static_cast<uintptr_t>(static_cast<uint16_t>(event.wheel.y * 120)) << 16, 0);
        }
        break;
    case SDL_DISPLAYEVENT:
        if (OS_WINDOW window = first_window()) {
            SDL_DisplayMode mode{};
            SDL_GetCurrentDisplayMode(static_cast<int>(event.display.display), &mode);
            os_post_message(window, WM_DISPLAYCHANGE, SDL_BITSPERPIXEL(mode.format),
                            os_make_lparam(mode.w, mode.h));
        }
        break;
    default:
        break;
    }
}

void pump_events() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        return;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (!os_menu_process_event(event)) {
            post_event(event);
        }
    }
}

SDL_Window *create_sdl_window(const char *title, int x, int y, int width, int height, int flags) {
    Uint32 sdl_flags = flags & OS_WINDOW_VISIBLE ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
    sdl_flags |= flags & OS_WINDOW_BORDERLESS ? SDL_WINDOW_BORDERLESS : 0;
    sdl_flags |= flags & OS_WINDOW_ON_TOP ? SDL_WINDOW_ALWAYS_ON_TOP : 0;
    sdl_flags |= flags & OS_WINDOW_OPENGL ? SDL_WINDOW_OPENGL : 0;
    sdl_flags |= flags & OS_WINDOW_RESIZABLE ? SDL_WINDOW_RESIZABLE : 0;
    if (flags & OS_WINDOW_OPENGL) {
        // The engine draws with OpenGL 1.x calls.
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    }
    int at_x = x == OS_CENTRED ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : x;
    int at_y = y == OS_CENTRED ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : y;
    return SDL_CreateWindow(title ? title : "", at_x, at_y, std::max(width, 1), std::max(height, 1),
                            sdl_flags);
}

} // namespace

OS_WINDOW os_window_create(const char *title, int x, int y, int width, int height, int flags,
                           OS_WINDOW_PROC procedure) {
    OS_LEAK_CHECK_PAUSE pause; // the driver's own state, kept for the process's life
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return nullptr;
    }
    auto *window = new OsWindow;
    window->procedure = procedure;
    window->sdl = create_sdl_window(title, x, y, width, height, flags);
    if (window->sdl && (flags & OS_WINDOW_OPENGL)) {
        window->gl = SDL_GL_CreateContext(window->sdl);
    }
    if (!window->sdl || ((flags & OS_WINDOW_OPENGL) && !window->gl)) {
        if (window->sdl) {
            SDL_DestroyWindow(window->sdl);
        }
        delete window;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    windows.push_back(window);
    os_send_message(window, WM_CREATE, 0, 0);
    return window;
}

void os_window_destroy(OS_WINDOW window) {
    auto found = std::find(windows.begin(), windows.end(), window);
    if (found == windows.end()) {
        return;
    }
    os_send_message(window, WM_DESTROY, 0, 0);
    windows.erase(found);
    {
        // Nothing queued may reach a window that is gone.
        std::lock_guard lock(queue_lock);
        std::erase_if(queue, [window](const OS_MSG &message) { return message.window == window; });
    }
    os_menu_forget(window);
    OS_LEAK_CHECK_PAUSE pause;
    if (window->gl) {
        SDL_GL_DeleteContext(window->gl);
    }
    SDL_DestroyWindow(window->sdl);
    delete window;
    // Some drivers (the offscreen one) let go of the current OpenGL context
    // whenever any window goes, the splash's too: the game's window takes
    // its own back.
    for (OS_WINDOW other : windows) {
        if (other->gl) {
            SDL_GL_MakeCurrent(other->sdl, other->gl);
            break;
        }
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

OS_WINDOW os_window_first() {
    return first_window();
}

int os_window_exists(OS_WINDOW window) {
    return window && std::find(windows.begin(), windows.end(), window) != windows.end();
}

int os_post_message(OS_WINDOW window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    std::lock_guard lock(queue_lock);
    queue.push_back({window, message, wparam, lparam, os_tick_count()});
    return 1;
}

void os_post_quit_message(int exit_code) {
    os_post_message(nullptr, WM_QUIT, static_cast<uintptr_t>(exit_code), 0);
}

int os_peek_message(OS_MSG *message, int remove) {
    pump_events();
    os_instance_serve();
    std::lock_guard lock(queue_lock);
    if (queue.empty()) {
        return 0;
    }
    *message = queue.front();
    if (remove) {
        queue.pop_front();
    }
    return 1;
}

void os_translate_message(const OS_MSG *message) {
    if (message->message != WM_KEYDOWN) {
        return;
    }
    uint32_t key = static_cast<uint32_t>(message->wparam);
    bool types = (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') || key == VK_SPACE ||
                 key == VK_RETURN || key == VK_BACK || key == VK_ESCAPE || key == VK_TAB;
    if (!types) {
        return;
    }
    bool shifted = (SDL_WasInit(SDL_INIT_VIDEO) && (SDL_GetModState() & KMOD_SHIFT));
    uint32_t character = key >= 'A' && key <= 'Z' && !shifted ? key - 'A' + 'a' : key;
    os_post_message(message->window, WM_CHAR, character, message->lparam);
}

intptr_t os_dispatch_message(const OS_MSG *message) {
    if (!os_window_exists(message->window) || !message->window->procedure) {
        return 0;
    }
    return message->window->procedure(message->window, message->message, message->wparam,
                                      message->lparam);
}

intptr_t os_send_message(OS_WINDOW window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    OS_MSG sent{window, message, wparam, lparam, os_tick_count()};
    return os_dispatch_message(&sent);
}

intptr_t os_def_window_proc(OS_WINDOW window, uint32_t message, uintptr_t, intptr_t) {
    if (message == WM_CLOSE) {
        os_window_destroy(window);
    }
    return 0;
}

void os_window_show(OS_WINDOW window, int visible) {
    if (os_window_exists(window)) {
        visible ? SDL_ShowWindow(window->sdl) : SDL_HideWindow(window->sdl);
    }
}

void os_window_raise(OS_WINDOW window) {
    if (os_window_exists(window)) {
        SDL_RestoreWindow(window->sdl);
        SDL_RaiseWindow(window->sdl);
    }
}

void os_window_minimize(OS_WINDOW window) {
    if (os_window_exists(window)) {
        SDL_MinimizeWindow(window->sdl);
    }
}

void os_window_set_title(OS_WINDOW window, const char *title) {
    if (os_window_exists(window)) {
        SDL_SetWindowTitle(window->sdl, title ? title : "");
    }
}

void os_window_position(OS_WINDOW window, int *x, int *y) {
    *x = *y = 0;
    if (os_window_exists(window)) {
        SDL_GetWindowPosition(window->sdl, x, y);
    }
}

void os_window_move(OS_WINDOW window, int x, int y) {
    if (os_window_exists(window)) {
        SDL_SetWindowPosition(window->sdl, x, y);
    }
}

void os_window_client_size(OS_WINDOW window, int *width, int *height) {
    *width = *height = 0;
    if (os_window_exists(window)) {
        SDL_GetWindowSize(window->sdl, width, height);
    }
}

void os_window_resize(OS_WINDOW window, int width, int height) {
    if (os_window_exists(window)) {
        SDL_SetWindowSize(window->sdl, std::max(width, 1), std::max(height, 1));
    }
}

void os_window_swap(OS_WINDOW window) {
    if (os_window_exists(window) && window->gl) {
        os_menu_draw(window);
        os_window_present(window->sdl);
    }
}

// Swapping a window's surface sends the frame's commands on their way, but
// the offscreen driver draws into a pixel buffer, whose swap does nothing:
// without the flush Mesa's software renderer queued every frame, with the
// textures it used, and grew by a hundred megabytes a second.
void os_window_present(SDL_Window *sdl) {
    glFlush();
    SDL_GL_SwapWindow(sdl);
}

void os_window_set_data(OS_WINDOW window, void *data) {
    if (os_window_exists(window)) {
        window->data = data;
    }
}

void *os_window_data(OS_WINDOW window) {
    return os_window_exists(window) ? window->data : nullptr;
}

SDL_Window *os_window_sdl(OS_WINDOW window) {
    return os_window_exists(window) ? window->sdl : nullptr;
}

namespace {
OS_MESSAGE_BOX_FAKE box_fake = nullptr;
} // namespace

void os_message_box_fake(OS_MESSAGE_BOX_FAKE answer) {
    box_fake = answer;
}

int os_message_box(OS_WINDOW owner, const char *text, const char *caption, unsigned style) {
    if (box_fake) {
        return box_fake(owner, text, caption, style);
    }
    Uint32 icon = SDL_MESSAGEBOX_INFORMATION;
    if ((style & 0x70) == 0x10) {
        icon = SDL_MESSAGEBOX_ERROR;
    } else if ((style & 0x70) == 0x30) {
        icon = SDL_MESSAGEBOX_WARNING;
    }
    SDL_Window *parent = os_window_exists(owner) ? owner->sdl : nullptr;
    return SDL_ShowSimpleMessageBox(icon, caption ? caption : "", text ? text : "", parent) == 0;
}

void os_cursor_show(int visible) {
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void os_window_show_picture(OS_WINDOW window, const uint8_t *rgb, int width, int height) {
    if (!os_window_exists(window) || window->gl || !rgb) {
        return;
    }
    // SDL may back a window's surface with an OpenGL renderer of its own:
    // the driver keeps what it builds for it for the process's life.
    OS_LEAK_CHECK_PAUSE pause;
    // To choose, SDL would first make a hidden window and an OpenGL context
    // just to read the driver's vendor: a fifth of the splash's time at a
    // start, for a picture blitted once, which the window system's own
    // framebuffer shows the same. (A hint set by the player still rules.)
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_Surface *picture = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint8_t *>(rgb), width, height, 24, width * 3, SDL_PIXELFORMAT_RGB24);
    SDL_Surface *surface = SDL_GetWindowSurface(window->sdl);
    if (picture && surface) {
        SDL_BlitSurface(picture, nullptr, surface, nullptr);
        SDL_UpdateWindowSurface(window->sdl);
    }
    SDL_FreeSurface(picture);
}
