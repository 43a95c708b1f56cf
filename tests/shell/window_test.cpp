// The real window, driven as a person would: the game runs on a virtual X
// server and gets its keys from xdotool.
#include "os_menu.h"
#include "os_resource.h"
#include "os_window.h"
#include "resources.h"
#include "respack.h"
#include "test_support.h"
#include "wo2_writer.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
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
        before_start();
        start_game();
    }
    // What a fixture adds to the game directory and the command line.
    virtual void before_start() {}
    std::vector<std::string> arguments = {PINWHEEL_EXE};
    // Starts the game and waits until it draws; with keys to type, until its
    // window shows too (keys typed before would be lost, as a player's are).
    void start_game(bool for_keys = true) {
        exited = false;
        game = spawn(arguments, {"DISPLAY=" + screen.display(), "SDL_VIDEODRIVER=x11"});
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

// A pixel of a snapshot: 24-bit TGA, its rows from the bottom unless the
// descriptor says otherwise, blue first.
void snapshot_pixel(const std::string &shot, int x, int y, uint8_t rgb[3]) {
    const int width = static_cast<uint8_t>(shot[12]) | static_cast<uint8_t>(shot[13]) << 8;
    const int height = static_cast<uint8_t>(shot[14]) | static_cast<uint8_t>(shot[15]) << 8;
    const bool top_down = shot[17] & 0x20;
    const size_t at = 18 + (static_cast<size_t>(top_down ? y : height - 1 - y) * width + x) * 3;
    rgb[0] = static_cast<uint8_t>(shot[at + 2]);
    rgb[1] = static_cast<uint8_t>(shot[at + 1]);
    rgb[2] = static_cast<uint8_t>(shot[at]);
}

void expect_colour(const std::string &shot, int x, int y, int picture) {
    uint8_t seen[3], wanted[3];
    snapshot_pixel(shot, x, y, seen);
    test::slide_colour(picture, wanted);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(seen[c], wanted[c], 2) << "at " << x << "," << y << " channel " << c;
    }
}

// F9 while slide 2 shows: the snapshot holds its picture (pub_b1) where the
// slideshow puts it: drawn for 640x480, it fills the 800x600 frame under
// the menu bar (about 21 pixels), in its middle.
TEST_F(GameWindowTest, F9WritesTheFrameAsASnapshot) {
    ASSERT_TRUE(eventually(
        [&] { return read_file("history.txt").find("slide 2\n") != std::string::npos; }));
    key("F9");
    ASSERT_TRUE(eventually([&] { return read_file("Snap0000.tga").size() == 18 + 800 * 600 * 3; }));
    std::string shot = read_file("Snap0000.tga");
    EXPECT_EQ(shot[2], 2) << "uncompressed true colour";
    EXPECT_EQ(static_cast<uint8_t>(shot[12]) | static_cast<uint8_t>(shot[13]) << 8, 800);
    EXPECT_EQ(static_cast<uint8_t>(shot[16]), 24);
    expect_colour(shot, 320, 240, 0);
    expect_colour(shot, 600, 460, 0);
    expect_colour(shot, 30, 30, 0);
    expect_colour(shot, 770, 597, 0);
    for (const auto &[x, y] : {std::pair{400, 5}, std::pair{5, 300}, std::pair{795, 300}}) {
        uint8_t outside[3];
        snapshot_pixel(shot, x, y, outside);
        EXPECT_EQ(outside[0] + outside[1] + outside[2], 0) << "the bar and the sides: cleared";
    }
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

// Where the bar puts the texts of the English menu: the same tree shown in
// a window of our own on the same screen, its pop-up opened with a click.
// The game's bar is laid out alike, so its items are at the same places.
std::map<std::string, std::pair<int, int>> english_menu_places(const VirtualScreen &screen,
                                                               const std::string &popup,
                                                               const std::string &item) {
    setenv("DISPLAY", screen.display().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    resources_install();
    const auto *menu = os_resource_menu("\"Motokit\"", 9 | 1 << 10);
    OS_WINDOW window = os_window_create("menu places", 0, 0, 800, 600,
                                        OS_WINDOW_OPENGL | OS_WINDOW_VISIBLE, os_def_window_proc);
    std::map<std::string, std::pair<int, int>> places;
    if (!menu || !window) {
        return places;
    }
    os_window_set_menu(window, *menu);
    auto frames = [&](int count) { test::run_frames(window, count); };
    auto remember = [&](const std::string &text) {
        int x = 0, y = 0;
        if (os_window_menu_item_place(window, text, &x, &y)) {
            places[text] = {x, y};
        }
    };
    frames(5);
    remember(popup);
    std::string id = screen.xdotool("search --name 'menu places'");
    id = id.substr(0, id.find('\n'));
    screen.xdotool("mousemove --window " + id + " " + std::to_string(places[popup].first) + " " +
                   std::to_string(places[popup].second) + " click 1");
    frames(30);
    remember(item);
    os_window_destroy(window);
    return places;
}

// The menu bar answers the mouse: Display, Default Size brings a window the
// player stretched back to the size the game draws for.
TEST_F(GameWindowTest, DefaultSizeFromTheMenuBarRestoresTheWindowSize) {
    const auto places = english_menu_places(screen, "&Display", "Default &Size");
    ASSERT_EQ(places.size(), 2u) << "the bar's layout could not be measured";
    xdotool("windowsize --sync " + window + " 500 375");
    const std::string shrunk = xdotool("getwindowgeometry " + window);
    auto click = [&](const std::string &text) {
        const auto [x, y] = places.at(text);
        xdotool("windowfocus --sync " + window + " mousemove --sync --window " + window + " " +
                std::to_string(x) + " " + std::to_string(y));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        xdotool("click 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    };
    // A game slowed down by the sanitizers and a loaded machine may not have
    // opened the pop-up yet when the second click comes: then both again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        click("&Display");
        click("Default &Size");
        bool resized = false;
        for (int poll = 0; poll < 20 && !resized; ++poll) {
            resized = xdotool("getwindowgeometry " + window) != shrunk;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (resized) {
            break;
        }
    }
    key("alt+F4");
    ASSERT_EQ(wait_for_exit(), 0);
    std::string settings = read_file("pinwheel.ini");
    std::string position = settings.substr(settings.find("WindowPosition="));
    position = position.substr(0, position.find_first_of("\r\n"));
    EXPECT_TRUE(position.ends_with(",800,600")) << position;
}

TEST_F(GameWindowTest, F2SwitchesTheMusicOffAndItStaysOff) {
    key("F2");
    key("alt+F4");
    ASSERT_EQ(wait_for_exit(), 0);
    EXPECT_NE(read_file("pinwheel.ini").find("DigitalMusic=0"), std::string::npos);
    EXPECT_EQ(warnings(), "") << "the tune loaded and played until then";
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

// The shipped main flow: the slides play, slide 12 shows pub_b9 again, and
// the game ends by itself about 32.5 s after its first frame.
TEST_F(GameWindowTest, TheSlideshowPlaysThroughAndEndsTheGame) {
    ASSERT_TRUE(eventually(
        [&] { return read_file("history.txt").find("first frame") != std::string::npos; }));
    const auto first_frame = std::chrono::steady_clock::now();
    ASSERT_TRUE(eventually(
        [&] { return read_file("history.txt").find("slide 12\n") != std::string::npos; }));
    key("F9");
    ASSERT_TRUE(eventually([&] { return read_file("Snap0000.tga").size() == 18 + 800 * 600 * 3; }));
    expect_colour(read_file("Snap0000.tga"), 320, 240, 8);
    int status = -1;
    ASSERT_TRUE(eventually([&] { return waitpid(game, &status, WNOHANG) == game; }));
    exited = true;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - first_frame).count();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_GT(seconds, 31.0);
    EXPECT_LT(seconds, 35.0);
}

TEST_F(GameWindowTest, EscapeEndsTheGameAtOnce) {
    ASSERT_TRUE(eventually(
        [&] { return read_file("history.txt").find("first frame") != std::string::npos; }));
    // Held as a player holds it: the keyboard is read once a frame, and a
    // tap shorter than a frame on a busy machine would pass unseen.
    xdotool("windowfocus --sync " + window + " keydown Escape");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    xdotool("keyup Escape");
    EXPECT_EQ(wait_for_exit(), 0);
    EXPECT_EQ(read_file("history.txt").find("GAME DEINIT"), std::string::npos)
        << "no shut-down runs";
}

// Up/Down move the first player's paddle, E/D the second's; nothing draws
// them, so the game says where they ended when it stops.
// A key during the slideshow hands the game to the play layer: its title
// screen comes up, and the program still ends in order.
TEST_F(GameWindowTest, AKeyDuringTheSlideshowOpensTheTitle) {
    ASSERT_TRUE(eventually(
        [&] { return read_file("history.txt").find("first frame") != std::string::npos; }));
    xdotool("windowfocus --sync " + window + " key Down");
    ASSERT_TRUE(eventually(
        [&] { return read_file("history.txt").find("play: title") != std::string::npos; }));
    key("alt+F4");
    ASSERT_EQ(wait_for_exit(), 0);
}

// `pinwheel --view` shows a model our writer made, in place of the slideshow.
class ViewerTest : public GameWindowTest {
  protected:
    void before_start() override {
        Wo2Model model;
        Wo2MaterialGroup group;
        group.faces.push_back(wo2_box(2, 2, 2));
        model.objects.push_back({"box", {group}});
        model.references = {{0, "box"}};
        write_file("box.wo2", wo2_write(model));
        arguments = {PINWHEEL_EXE, "--view", "box.wo2"};
    }
};

TEST_F(ViewerTest, AModelStandsInTheMiddleOfTheWindow) {
    ASSERT_TRUE(eventually(
        [&] { return read_file("history.txt").find("viewing box.wo2") != std::string::npos; }));
    key("F9");
    ASSERT_TRUE(eventually([&] { return read_file("Snap0000.tga").size() == 18 + 800 * 600 * 3; }));
    const std::string shot = read_file("Snap0000.tga");
    uint8_t middle[3], corner[3];
    snapshot_pixel(shot, 400, 300, middle);
    snapshot_pixel(shot, 10, 590, corner);
    EXPECT_GT(middle[0] + middle[1] + middle[2], 600) << "the untextured box, white";
    EXPECT_EQ(corner[0] + corner[1] + corner[2], 0);
    key("alt+F4");
    EXPECT_EQ(wait_for_exit(), 0);
    EXPECT_EQ(read_file("history.txt").find("slide 0"), std::string::npos) << "no slideshow";
    EXPECT_EQ(read_file("error.txt"), "");
}

} // namespace

namespace {

// The course as the build made it (the archive's tree), under the test's
// own texts (its window class), packed again.
class NewcomerTest : public GameWindowTest {
  protected:
    void before_start() override {
        namespace fs = std::filesystem;
        fs::copy(ARCHIVE_TREE, ".", fs::copy_options::recursive | fs::copy_options::skip_existing);
        std::string error;
        ASSERT_TRUE(respack_write(respack_entries("."), "RESOURCE.DAT", 1, &error)) << error;
    }
    int count(const std::string &text) {
        return test::count_occurrences(read_file("history.txt"), text);
    }
    // F9, and the picture it wrote.
    std::string snapshot(int number) {
        key("F9");
        char name[32];
        std::snprintf(name, sizeof name, "Snap%04d.tga", number);
        EXPECT_TRUE(eventually([&] { return read_file(name).size() == 18 + 800 * 600 * 3; }));
        return read_file(name);
    }
};

// How many pixels of the players' panel (the top right, under the menu
// bar and the columns' headings) differ.
int panel_changes(const std::string &before, const std::string &after) {
    int changed = 0;
    for (int y = 60; y < 100; ++y) {
        for (int x = 560; x < 788; ++x) {
            uint8_t a[3], b[3];
            snapshot_pixel(before, x, y, a);
            snapshot_pixel(after, x, y, b);
            changed += std::memcmp(a, b, 3) != 0;
        }
    }
    return changed;
}

// A newcomer's first minutes: a key during the slideshow, New Game for one
// player, three strokes (the HUD's count changes with each), Escape, Quit
// to title, Escape: the program ends in order with nothing left alive.
TEST_F(NewcomerTest, AKeyNewGameThreeStrokesAndQuit) {
    ASSERT_TRUE(eventually([&] { return count("first frame") == 1; }));
    key("Down");
    ASSERT_TRUE(eventually([&] { return count("play: title") == 1; }));
    key("Return"); // New Game
    ASSERT_TRUE(eventually([&] { return count("play: setup") == 1; }));
    key("Return"); // Start, for the one player of a first game
    ASSERT_TRUE(eventually([&] { return count("play: round") == 1; }));
    key("space"); // the fly-by skipped
    ASSERT_TRUE(eventually([&] { return count("round: player 1 to play, 0 strokes") == 1; }));
    std::vector<std::string> shots = {snapshot(0)};
    for (int stroke = 1; stroke <= 3; ++stroke) {
        xdotool("windowfocus --sync " + window + " keydown space");
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // a putt of a few units
        xdotool("keyup space");
        const std::string after = "round: player 1 to play, " + std::to_string(stroke) + " stroke";
        if (!eventually([&] { return count(after) == 1 || count("play: result") == 1; })) {
            FAIL() << "stroke " << stroke << " did not come to rest";
        }
        if (count("play: result") == 1) {
            break; // in the cup already
        }
        shots.push_back(snapshot(stroke));
    }
    ASSERT_GE(shots.size(), 2u);
    for (size_t i = 1; i < shots.size(); ++i) {
        EXPECT_GT(panel_changes(shots[i - 1], shots[i]), 20) << "the strokes shown, shot " << i;
    }
    key("Escape");
    ASSERT_TRUE(eventually([&] { return count("play: pause") == 1; }));
    for (const char *press : {"Down", "Down", "Return"}) { // Quit to title
        key(press);
        std::this_thread::sleep_for(std::chrono::milliseconds(150)); // a frame for each
    }
    ASSERT_TRUE(eventually([&] { return count("play: title") == 2; }));
    key("Escape");
    EXPECT_EQ(wait_for_exit(), 0);
    EXPECT_EQ(read_file("Warning.txt").find("Pointer not freed"), std::string::npos)
        << read_file("Warning.txt");
}

} // namespace
