// The real window, driven as a person would: the game runs on a virtual X
// server and gets its keys from xdotool.
#include "test_support.h"

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using test::eventually;
using test::read_file;
using test::spawn;
using test::VirtualScreen;
using test::write_file;

class GameWindowTest : public test::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ASSERT_FALSE(screen.display().empty()) << "Xvfb did not start";
        ASSERT_TRUE(test::write_game_data("PinwheelTest"));
        start_game();
    }
    // Starts the game and waits until it draws; with keys to type, until its
    // window shows too (keys typed before would be lost, as a player's are).
    void start_game(bool for_keys = true) {
        exited = false;
        game = spawn({PINWHEEL_EXE}, {"DISPLAY=" + screen.display(), "SDL_VIDEODRIVER=x11"});
        ASSERT_GT(game, 0);
        ASSERT_TRUE(eventually(
            [&] { return read_file("history.txt").find("extensions:") != std::string::npos; }));
        if (for_keys) {
            ASSERT_TRUE(eventually([&] { return !find_window().empty(); })) << "no window";
            window = find_window();
        }
    }
    std::string xdotool(const std::string &arguments) { return screen.xdotool(arguments); }
    std::string find_window() {
        std::string found = xdotool("search --onlyvisible --name 'Pinwheel Golf'");
        return found.substr(0, found.find('\n'));
    }
    // Typed on the keyboard, into the focused window, as a player types.
    void key(const std::string &keys) { xdotool("windowfocus --sync " + window + " key " + keys); }
    int wait_for_exit() {
        int status = 0;
        bool done = eventually([&] { return waitpid(game, &status, WNOHANG) == game; });
        exited = done;
        return done && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    VirtualScreen screen;
    pid_t game = 0;
    bool exited = false;
    std::string window;
};

TEST_F(GameWindowTest, F9WritesTheFrameAsASnapshot) {
    ASSERT_TRUE(
        eventually([&] { return read_file("history.txt").find("gl info:") != std::string::npos; }));
    key("F9");
    ASSERT_TRUE(eventually([&] { return read_file("Snap0000.tga").size() == 18 + 800 * 600 * 3; }));
    std::string shot = read_file("Snap0000.tga");
    EXPECT_EQ(shot[2], 2) << "uncompressed true colour";
    EXPECT_EQ(static_cast<uint8_t>(shot[12]) | static_cast<uint8_t>(shot[13]) << 8, 800);
    EXPECT_EQ(static_cast<uint8_t>(shot[16]), 24);
    // Nothing is drawn yet: the frame is the cleared screen, black.
    EXPECT_EQ(shot.find_first_not_of('\0', 18), std::string::npos);
    key("F9");
    EXPECT_TRUE(eventually([&] { return test::file_exists("Snap0001.tga"); })) << "the next number";
    key("alt+F4");
    EXPECT_EQ(wait_for_exit(), 0);
}

// Without a window manager the X server cannot show full screen, so the
// game's own word is taken: the mode it saves, and starts in next time.
TEST_F(GameWindowTest, F4TogglesFullScreenWhichTheNextStartKeeps) {
    key("F4");
    key("alt+F4");
    ASSERT_EQ(wait_for_exit(), 0);
    EXPECT_NE(read_file("pinwheel.ini").find("Fullscreen=1"), std::string::npos);

    remove("history.txt");
    start_game(false);
    kill(game, SIGTERM); // the system asks, as a session ends
    ASSERT_EQ(wait_for_exit(), 0);
    std::string settings = read_file("pinwheel.ini");
    EXPECT_NE(settings.find("Fullscreen=1"), std::string::npos) << "started full screen";
    EXPECT_NE(settings.find("NumberAlloc=0"), std::string::npos) << "every block given back";
    EXPECT_EQ(warnings(), "");
}

TEST_F(GameWindowTest, ASecondStartBringsTheFirstForwardAndStops) {
    pid_t first = game;
    start_game(false);
    EXPECT_EQ(wait_for_exit(), 0) << "the second copy stops at once";
    EXPECT_EQ(xdotool("search --onlyvisible --name 'Pinwheel Golf'"), window + "\n")
        << "one window";
    game = first;
    exited = false;
    key("alt+F4");
    EXPECT_EQ(wait_for_exit(), 0);
}

} // namespace
