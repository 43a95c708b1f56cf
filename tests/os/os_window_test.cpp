#include "os_time.h"
#include "os_window.h"

#include <SDL.h>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

std::vector<OS_MSG> received; // what the test window's procedure was given

intptr_t record(OS_WINDOW window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    received.push_back({window, message, wparam, lparam, 0});
    return os_def_window_proc(window, message, wparam, lparam);
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override { received.clear(); }
    void TearDown() override {
        if (os_window_exists(window)) {
            os_window_destroy(window);
        }
        OS_MSG message;
        while (os_peek_message(&message, 1)) {
        }
    }
    void open(int flags = OS_WINDOW_OPENGL) {
        window = os_window_create("test", OS_CENTRED, OS_CENTRED, 320, 240, flags, record);
        ASSERT_NE(window, nullptr) << SDL_GetError();
    }
    // Every message waiting, dispatched as the main loop does.
    void pump() {
        OS_MSG message;
        while (os_peek_message(&message, 1)) {
            os_translate_message(&message);
            os_dispatch_message(&message);
        }
    }
    bool got(uint32_t message, uintptr_t wparam) const {
        for (const OS_MSG &m : received) {
            if (m.message == message && m.wparam == wparam) {
                return true;
            }
        }
        return false;
    }
    const OS_MSG *last(uint32_t message) const {
        for (auto m = received.rbegin(); m != received.rend(); ++m) {
            if (m->message == message) {
                return &*m;
            }
        }
        return nullptr;
    }
    void press(SDL_Keycode key, Uint16 mod, bool down, bool repeat = false) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());
        event.key.keysym.sym = key;
        event.key.keysym.mod = mod;
        event.key.repeat = repeat;
        SDL_PushEvent(&event);
    }

    OS_WINDOW window = nullptr;
};

TEST_F(WindowTest, MessagesArriveInOrderAndPeekingCanLeaveThemQueued) {
    os_post_message(nullptr, WM_USER + 1, 10, 20);
    os_post_message(nullptr, WM_USER + 2, 0, 0);
    os_post_quit_message(3);
    OS_MSG message;
    ASSERT_TRUE(os_peek_message(&message, 0));
    EXPECT_EQ(message.message, WM_USER + 1u);
    ASSERT_TRUE(os_peek_message(&message, 1));
    EXPECT_EQ(message.message, WM_USER + 1u) << "still there after a look";
    EXPECT_EQ(message.wparam, 10u);
    EXPECT_EQ(message.lparam, 20);
    ASSERT_TRUE(os_peek_message(&message, 1));
    EXPECT_EQ(message.message, WM_USER + 2u);
    ASSERT_TRUE(os_peek_message(&message, 1));
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(message.wparam, 3u);
    EXPECT_FALSE(os_peek_message(&message, 1));
    EXPECT_EQ(os_low_word(os_make_lparam(-12, 600)), -12);
    EXPECT_EQ(os_high_word(os_make_lparam(-12, 600)), 600);
}

TEST_F(WindowTest, KeysBecomeVirtualKeyMessagesAndSystemKeysWithAlt) {
    open();
    EXPECT_TRUE(got(WM_CREATE, 0)) << "sent before the window is returned";
    received.clear();
    press(SDLK_F4, 0, true);
    press(SDLK_F4, 0, true, true);
    press(SDLK_F4, 0, false);
    press(SDLK_RETURN, KMOD_LALT, false);
    press(SDLK_LEFT, 0, true);
    press(SDLK_a, 0, true);
    pump();
    // Only the keys: a window manager may add focus and paint messages.
    std::erase_if(received, [](const OS_MSG &m) {
        return m.message < WM_KEYDOWN || m.message > WM_SYSKEYUP;
    });
    ASSERT_GE(received.size(), 7u);
    EXPECT_EQ(received[0].message, WM_KEYDOWN);
    EXPECT_EQ(received[0].wparam, VK_F4);
    EXPECT_EQ(received[0].lparam & 0xFFFF, 1);
    EXPECT_EQ(received[0].lparam & KEY_WAS_DOWN, 0);
    EXPECT_NE(received[1].lparam & KEY_WAS_DOWN, 0) << "a repeat was down before";
    EXPECT_EQ(received[2].message, WM_KEYUP);
    EXPECT_NE(received[2].lparam & KEY_RELEASED, 0);
    EXPECT_EQ(received[3].message, WM_SYSKEYUP) << "Alt+Return toggles full screen on its release";
    EXPECT_EQ(received[3].wparam, VK_RETURN);
    EXPECT_NE(received[3].lparam & KEY_ALT_DOWN, 0);
    EXPECT_EQ(received[4].wparam, VK_LEFT);
    EXPECT_NE(received[4].lparam & KEY_EXTENDED, 0);
    EXPECT_EQ(received[5].wparam, static_cast<uintptr_t>('A'));
    const OS_MSG *typed = last(WM_CHAR);
    ASSERT_NE(typed, nullptr) << "translation adds the character";
    EXPECT_EQ(typed->wparam, static_cast<uintptr_t>('a'));
}

TEST_F(WindowTest, ClosingDestroysTheWindowAndDropsWhatWasQueuedForIt) {
    open();
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    event.window.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());
    SDL_PushEvent(&event);
    OS_MSG message;
    ASSERT_TRUE(os_peek_message(&message, 1));
    EXPECT_EQ(message.message, WM_CLOSE);
    os_post_message(window, WM_USER, 0, 0);
    os_dispatch_message(&message); // the procedure leaves it to the default: destroyed
    EXPECT_TRUE(got(WM_DESTROY, 0));
    EXPECT_FALSE(os_window_exists(window));
    EXPECT_FALSE(os_peek_message(&message, 1)) << "the WM_USER for the window went with it";
    window = nullptr;
}

TEST_F(WindowTest, AWindowKnowsItsPlaceAndSizeAndDrawsWithOpenGl) {
    open();
    int width, height;
    os_window_client_size(window, &width, &height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    os_window_resize(window, 400, 300);
    os_window_client_size(window, &width, &height);
    EXPECT_EQ(width, 400);
    int value = 7;
    os_window_set_data(window, &value);
    EXPECT_EQ(os_window_data(window), &value);
    EXPECT_NE(SDL_GL_GetCurrentContext(), nullptr);
    os_window_swap(window);
}

TEST(TimerTest, CallsBackOnItsOwnThreadUntilStopped) {
    struct Count {
        std::atomic<int> calls{0};
        std::atomic<bool> other_thread{false};
        std::thread::id main = std::this_thread::get_id();
    } count;
    OsTimer *timer = os_timer_start(
        1,
        [](void *data) {
            auto *c = static_cast<Count *>(data);
            c->other_thread = std::this_thread::get_id() != c->main;
            c->calls++;
        },
        &count);
    ASSERT_NE(timer, nullptr);
    while (count.calls < 3) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    os_timer_stop(timer);
    int stopped_at = count.calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(count.calls, stopped_at) << "no call after the stop";
    EXPECT_TRUE(count.other_thread);
    EXPECT_EQ(os_timer_start(
                  0, [](void *) {}, nullptr),
              nullptr);
}

} // namespace
