#include "os_input.h"
#include "os_leak_check.h"
#include "os_menu.h"
#include "os_text.h"
#include "os_time.h"
#include "os_window.h"

#include "test_support.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's count of live bytes (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

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

// What the process holds from the allocator: under AddressSanitizer its own
// count, since freed memory waits in its quarantine a while.
size_t bytes_in_use() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

// A frame puts a megabyte picture on the screen through a texture made for
// it, as the slideshow did. Shown frames must not pile up in the driver:
// the offscreen driver's swap alone does not send them on their way.
TEST_F(WindowTest, ShownFramesDoNotPileUp) {
    open();
    std::vector<uint32_t> picture(512 * 512, 0xFF3080C0);
    auto draw = [&] {
        OS_LEAK_CHECK_PAUSE pause; // the driver keeps what it builds for the first draws
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 512, 512, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     picture.data());
        glEnable(GL_TEXTURE_2D);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0), glVertex2f(-1, -1);
        glTexCoord2f(1, 0), glVertex2f(1, -1);
        glTexCoord2f(1, 1), glVertex2f(1, 1);
        glTexCoord2f(0, 1), glVertex2f(-1, 1);
        glEnd();
        glDeleteTextures(1, &texture);
    };
    auto frame = [&] {
        draw();
        os_window_swap(window);
    };
    for (int i = 0; i < 20; ++i) {
        frame();
    }
    // What the renderer still has in flight on a busy machine is not kept:
    // each count is taken once it has finished.
    glFinish();
    size_t before = bytes_in_use();
    for (int i = 0; i < 200; ++i) {
        frame();
    }
    glFinish();
    EXPECT_LT(bytes_in_use(), before + (64 << 20)) << "200 frames of a megabyte each were kept";
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

// Windows of this process go to the virtual screen from here on.
void use_screen(const test::VirtualScreen &screen) {
    ASSERT_FALSE(screen.display().empty());
    setenv("DISPLAY", screen.display().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
}

// The menu bar is clicked as a player clicks it, on a real (virtual) X
// screen: the pop-up's title, then the item; the window hears WM_COMMAND.
TEST(MenuTest, ChoosingAMenuItemPostsItsCommand) {
    test::VirtualScreen screen;
    use_screen(screen);
    received.clear();
    OS_WINDOW window =
        os_window_create("menu test", 0, 0, 400, 300, OS_WINDOW_OPENGL | OS_WINDOW_VISIBLE, record);
    ASSERT_NE(window, nullptr);
    std::vector<OS_MENU_ITEM> bar = {
        {"&Display",
         0,
         OS_MENU_POPUP,
         {{"&Fullscreen\tF4", 50003, OS_MENU_CHECKED, {}},
          {"", 0, OS_MENU_SEPARATOR, {}},
          {"Default &Size", 50005, 0, {}},
          {"&Greyed", 50006, OS_MENU_GREYED, {}}}},
    };
    os_window_set_menu(window, bar);
    // Frames run while the pointer moves and clicks, as the game's loop runs.
    auto frames = [&](int count) { test::run_frames(window, count); };
    auto click = [&](const std::string &text) {
        int x = 0, y = 0;
        ASSERT_TRUE(os_window_menu_item_place(window, text, &x, &y)) << text;
        std::string id = screen.xdotool("search --name 'menu test'");
        id = id.substr(0, id.find('\n'));
        screen.xdotool("windowfocus --sync " + id + " mousemove --window " + id + " " +
                       std::to_string(x) + " " + std::to_string(y));
        frames(20); // a loaded machine may take a while to move the pointer
        screen.xdotool("click 1");
        frames(20);
    };
    frames(5);
    EXPECT_GT(os_window_menu_height(window), 10);
    click("&Display");
    click("Default &Size");
    EXPECT_TRUE(std::any_of(received.begin(), received.end(), [](const OS_MSG &m) {
        return m.message == WM_COMMAND && m.wparam == 50005;
    }));
    EXPECT_FALSE(std::any_of(received.begin(), received.end(), [](const OS_MSG &m) {
        return m.message == WM_LBUTTONDOWN;
    })) << "the bar keeps its clicks";

    std::string label, accelerator;
    os_menu_split_text("Save && &Quit\tCtrl+Q", &label, &accelerator);
    EXPECT_EQ(label, "Save & Quit");
    EXPECT_EQ(accelerator, "Ctrl+Q");
    os_window_show_menu(window, 0);
    EXPECT_EQ(os_window_menu_height(window), 0);
    os_window_destroy(window);
}

// The Escape that closes an open pop-up is the menu's: the window hears no
// key, and the keyboard reads it as up until it is let go; the next Escape
// is the window's again.
TEST(MenuTest, AnEscapeThatClosesAPopUpIsTheMenus) {
    test::VirtualScreen screen;
    use_screen(screen);
    received.clear();
    OS_WINDOW window = os_window_create("escape test", 0, 0, 400, 300,
                                        OS_WINDOW_OPENGL | OS_WINDOW_VISIBLE, record);
    ASSERT_NE(window, nullptr);
    os_window_set_menu(window, {{"&Display", 0, OS_MENU_POPUP, {{"Default &Size", 50005, 0, {}}}}});
    auto frames = [&](int count) { test::run_frames(window, count); };
    std::string id = screen.xdotool("search --name 'escape test'");
    id = id.substr(0, id.find('\n'));
    const auto escape_read = [] {
        uint8_t keys[256];
        os_input_keyboard(keys);
        return keys[OS_KEY_ESCAPE] != 0;
    };
    frames(5);
    int x = 0, y = 0;
    ASSERT_TRUE(os_window_menu_item_place(window, "&Display", &x, &y));
    screen.xdotool("windowfocus --sync " + id + " mousemove --window " + id + " " +
                   std::to_string(x) + " " + std::to_string(y));
    frames(20);
    screen.xdotool("click 1");
    frames(20);
    ASSERT_TRUE(os_window_menu_item_place(window, "Default &Size", &x, &y)) << "the pop-up opened";
    escape_read(); // what was pressed before goes
    screen.xdotool("keydown Escape");
    frames(20);
    EXPECT_FALSE(escape_read()) << "held, and still the menu's";
    screen.xdotool("keyup Escape");
    frames(20);
    EXPECT_FALSE(os_window_menu_item_place(window, "Default &Size", &x, &y)) << "the pop-up closed";
    EXPECT_FALSE(escape_read());
    EXPECT_FALSE(std::any_of(received.begin(), received.end(), [](const OS_MSG &m) {
        return m.message == WM_KEYDOWN && m.wparam == VK_ESCAPE;
    })) << "the window heard nothing of it";
    screen.xdotool("keydown Escape");
    frames(20);
    EXPECT_TRUE(escape_read()) << "the next one is the game's";
    screen.xdotool("keyup Escape");
    frames(5);
    EXPECT_TRUE(std::any_of(received.begin(), received.end(), [](const OS_MSG &m) {
        return m.message == WM_KEYDOWN && m.wparam == VK_ESCAPE;
    }));
    os_window_destroy(window);
}

// The About box runs its own loop until the player answers it.
TEST(DialogTest, RunsUntilThePlayerPressesReturn) {
    test::VirtualScreen screen;
    use_screen(screen);
    OS_WINDOW window = os_window_create("dialog test", 0, 0, 400, 300,
                                        OS_WINDOW_OPENGL | OS_WINDOW_VISIBLE, os_def_window_proc);
    ASSERT_NE(window, nullptr);
    os_window_set_menu(window, {{"&Help", 0, OS_MENU_POPUP, {{"&About", 41002, 0, {}}}}});
    std::string id = screen.xdotool("search --name 'dialog test'");
    id = id.substr(0, id.find('\n'));
    // The answer comes while the dialog's loop runs.
    pid_t player =
        test::spawn({"sh", "-c", "sleep 1; xdotool windowfocus --sync " + id + " key Return"},
                    {"DISPLAY=" + screen.display()});
    EXPECT_EQ(os_dialog_run(window, "About Pinwheel Golf", {"Pinwheel Golf", "\u65e5\u672c\u8a9e"}),
              1);
    waitpid(player, nullptr, 0);
    os_window_destroy(window);
}

// A picture of a line of text, and where the text's colour landed in it.
struct TextPicture {
    static constexpr int kWidth = 64, kHeight = 32;
    std::vector<uint8_t> rgb = std::vector<uint8_t>(kWidth * kHeight * 3, 0);
    bool inked(int x, int y) const { return rgb[(y * kWidth + x) * 3] > 128; }
    int inked_in(int left, int top, int right, int bottom) const {
        int count = 0;
        for (int y = std::max(top, 0); y < std::min(bottom, kHeight); ++y) {
            for (int x = std::max(left, 0); x < std::min(right, kWidth); ++x) {
                count += inked(x, y);
            }
        }
        return count;
    }
};

TEST(TextTest, ALineLandsBelowAndRightOfItsPositionInItsColour) {
    TextPicture picture;
    ASSERT_EQ(1, os_text_draw(picture.rgb.data(), picture.kWidth, picture.kHeight, 10, 6, "II",
                              0xFF8000));
    // Two upright strokes, within one line's height below the position.
    EXPECT_GT(picture.inked_in(10, 6, 30, 6 + OS_TEXT_PIXELS), 2 * 8);
    EXPECT_EQ(0, picture.inked_in(0, 0, 64, 6));
    EXPECT_EQ(0, picture.inked_in(0, 0, 10, 32));
    EXPECT_EQ(0, picture.inked_in(30, 0, 64, 32));
    for (int i = 0; i < picture.kWidth * picture.kHeight; ++i) {
        EXPECT_EQ(0, picture.rgb[i * 3 + 2]) << "no blue in orange text";
    }
}

TEST(TextTest, JapaneseComesFromTheSecondFontAndEdgesClip) {
    TextPicture japanese;
    os_text_draw(japanese.rgb.data(), japanese.kWidth, japanese.kHeight, 2, 2, "\u30b3", 0xFFFFFF);
    // Katakana "ko": a stroke down its right side and none down its left,
    // where the missing-glyph box of the first font would have one.
    EXPECT_GT(japanese.inked_in(12, 9, 17, 15), 6);
    EXPECT_EQ(0, japanese.inked_in(2, 9, 7, 15));

    // Half outside on every side: drawn where it overlaps, nothing written
    // past the picture (the sanitiser build watches the writes).
    TextPicture clipped;
    os_text_draw(clipped.rgb.data(), clipped.kWidth, clipped.kHeight, -4, -8, "WWWWWWWW", 0xFFFFFF);
    os_text_draw(clipped.rgb.data(), clipped.kWidth, clipped.kHeight, 50, 24, "WWW", 0xFFFFFF);
    EXPECT_GT(clipped.inked_in(0, 0, 64, 8), 0);
    EXPECT_GT(clipped.inked_in(50, 24, 64, 32), 0);

    // Bytes that are no UTF-8 still draw and end where the line ends.
    TextPicture broken;
    os_text_draw(broken.rgb.data(), broken.kWidth, broken.kHeight, 0, 0, "\xE3\x82", 0xFFFFFF);
}

} // namespace
