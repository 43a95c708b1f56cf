#include "os_resource.h"
#include "os_window.h"
#include "picture_writer.h"
#include "test_support.h"
#include "xv_snd.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace {

using test::count_occurrences;
using test::write_file;

class ResizeListTest : public test::FileLayerTest {
  protected:
    void TearDown() override {
        xv_dsp_set_buffer_size(0, 0);
        FileLayerTest::TearDown();
    }
};

TEST_F(ResizeListTest, EntriesScaleFromTheirRegisteredValues) {
    XV_RECT box = {100, 60, 201, 33};
    XV_POINT_FLOAT point = {10.0f, 30.0f};
    ASSERT_EQ(xv_dsp_rect_add("game.cpp", 7, &box), 1);
    ASSERT_EQ(xv_dsp_point_float_add("game.cpp", 8, &point), 1);
    EXPECT_EQ(box.width, 201) << "no buffer size yet: unchanged";
    xv_dsp_set_buffer_size(640, 480);
    EXPECT_EQ(box.x, 80);
    EXPECT_EQ(box.width, 160) << "160.8 truncated";
    EXPECT_EQ(box.height, 26) << "26.4 truncated";
    EXPECT_FLOAT_EQ(point.x, 8.0f);
    EXPECT_FLOAT_EQ(point.y, 24.0f);
    xv_dsp_set_buffer_size(800, 600);
    EXPECT_EQ(box.width, 201) << "from the registered values: nothing lost";

    XV_RECT moved = {0, 0, 400, 300};
    EXPECT_EQ(xv_dsp_rect_modify("game.cpp", 9, &box, &moved), 1);
    xv_dsp_set_buffer_size(400, 300);
    EXPECT_EQ(box.width, 200);

    EXPECT_EQ(xv_dsp_rect_add("game.cpp", 10, &box), 0);
    EXPECT_EQ(count_occurrences(warnings(), "in xv_dsp_rect_add (): Warning: Rectangle already "
                                            "added to the resize list. file game.cpp, line 10"),
              1);
    EXPECT_EQ(xv_dsp_point_float_add("game.cpp", 11, &point), 0);
    EXPECT_EQ(count_occurrences(warnings(), "Point_float already added"), 1);
    EXPECT_EQ(xv_dsp_rect_remove("game.cpp", 12, &box), 1);
    EXPECT_EQ(xv_dsp_rect_modify("game.cpp", 13, &box, nullptr), 0);
    EXPECT_EQ(count_occurrences(warnings(), "in xv_dsp_rect_modify (): Warning: Rectangle not in "
                                            "the resize list. file game.cpp, line 13"),
              1);
    EXPECT_EQ(xv_dsp_point_float_remove("game.cpp", 14, &point), 1);
    // Everything given back: the tracker checks at teardown.
}

// Warnings raised while the game starts (the sound's, the settings') come
// before its window shows: the splash owns their box, and once it goes the
// console stands in until the window shows.
using SplashTest = test::FileLayerTest;

TEST_F(SplashTest, TheSplashOwnsTheWarningBoxUntilItGoes) {
    test::PngPicture picture;
    picture.width = 8, picture.height = 4, picture.colour_type = 3;
    picture.rows.assign(32, 1);
    picture.palette = {0, 0, 0, 200, 120, 40};
    write_file("splash.png", test::encode_png(picture));
    write_file("texts.txt", "[Splash_EN]\r\nBitmap=splash.png\r\n");
    static OS_WINDOW owner = nullptr;
    static int boxes = 0;
    os_message_box_fake([](OS_WINDOW window, const char *, const char *, unsigned) {
        owner = window;
        ++boxes;
        return 1;
    });
    ASSERT_EQ(xv_dsp_splash_on("texts.txt", "Splash_EN", nullptr), 1);
    ASSERT_NE(xv_dsp_splash_window(), nullptr);
    xv_warning("DirectSoundCreate failed", "Terminating the sound", XV_MB_OK);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(owner, xv_dsp_splash_window());
    xv_dsp_splash_off();
    EXPECT_EQ(xv_dsp_splash_window(), nullptr);
    xv_warning("after the splash", "Warning", XV_MB_OK);
    EXPECT_EQ(boxes, 1) << "no window to own a box: the console says it";
    os_message_box_fake(nullptr);
    EXPECT_EQ(count_occurrences(warnings(), "Terminating the sound: DirectSoundCreate failed"), 1);
}

using TimerTest = test::FileLayerTest;

TEST_F(TimerTest, TicksUntilStoppedAndAFailureIsFatal) {
    static std::atomic<int> ticks{0};
    uint32_t id = xv_timer_init([](uint32_t) { ticks++; }, 1);
    ASSERT_NE(id, 0u);
    while (ticks < 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    xv_timer_deinit(&id);
    EXPECT_EQ(id, 0u);
    int stopped_at = ticks;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ticks, stopped_at);

    EXPECT_EQ(xv_timer_init(nullptr, 10), 0u);
    EXPECT_EQ(count_occurrences(warnings(),
                                "Timer Init failed. You should restart Windows and try again"),
              1);
    EXPECT_TRUE(xv_dsp_close_requested()) << "fatal: the game closes";
}

// The display on a window of the offscreen driver, without 3D: its menu,
// its commands and its refit, as the window procedure hands them over.
class DisplayTest : public test::FileLayerTest {
  protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        bar = {{"&Game",
                0,
                OS_MENU_POPUP,
                {{"&Language", 0, OS_MENU_POPUP, {{"Available Languages", 59999, 0, {}}}},
                 {"E&xit", 40005, 0, {}}}},
               {"&Display",
                0,
                OS_MENU_POPUP,
                {{"&Fullscreen\tF4", 50003, 0, {}},
                 {"64K &Colors", 50004, 0, {}},
                 {"Default &Size", 50005, 0, {}},
                 {"Change &Resolution", 0, OS_MENU_POPUP, {{"Available Modes", 59999, 0, {}}}}}},
               {"&Sound",
                0,
                OS_MENU_POPUP,
                {{"Digital &Music\tF2", 51001, 0, {}},
                 {"Sound &Effects\tF3", 51002, 0, {}},
                 {"", 0, OS_MENU_SEPARATOR, {}},
                 {"Music &Quality",
                  0,
                  OS_MENU_POPUP,
                  {{"&Low", 51003, 0, {}}, {"&Medium", 51004, 0, {}}, {"&High", 51005, 0, {}}}}}}};
        resources.menus.push_back({"\"Test\"", 9 | 1 << 10, bar});
        os_resources_set(&resources);
        config.report = 1;
        config.class_name = class_name.c_str(); // one running copy per name: one per test
        config.title = "Display test";
        config.menu_name = "Test";
        config.modes = wishes;
        config.x = config.y = -1;
        config.design_width = 800, config.design_height = 600;
        config.min_width = 320, config.min_height = 240;
        config.game_menu = 0, config.language_menu = 0;
        config.display_menu = 1, config.resolution_menu = 3;
        config.active = &active;
        config.ready = &ready;
        config.window_procedure = xv_dsp_window_message;
        ASSERT_EQ(xv_dsp_init(&config), 1);
        start.keep_aspect = 1;
        start.screen = &screen;
        start.depth = 32;
        ASSERT_EQ(xv_dsp_open(&start), 1);
    }
    void TearDown() override {
        xv_dsp_close();
        os_resources_set(nullptr);
        FileLayerTest::TearDown();
    }
    void command(uint32_t id) { os_send_message(config.window, WM_COMMAND, id, 0); }
    const OS_MENU_ITEM &popup(int place) const { return (*os_window_menu(config.window))[place]; }

    std::vector<OS_MENU_ITEM> bar;
    OS_RESOURCES resources;
    std::string class_name = "DisplayTest" + std::to_string(getpid());
    const XV_DSP_MODE_WISH wishes[3] = {{640, 480, XV_DSP_HIGH_RES}, {123, 45, 0}, {0, 0, 0}};
    XV_DSP_CONFIG config{};
    XV_DSP_START start{};
    XV_BITMAP screen{};
    std::atomic<int32_t> active{0}, ready{0};
};

// The Sound pop-up follows the sound settings, whichever way they change.
TEST_F(DisplayTest, TheSoundPopUpShowsTheSoundSettings) {
    std::atomic<int32_t> sound_active{1}, digital_music{1};
    int effects = 0, music_volume = 70, sound_volume = 80, interpolation = 4;
    XV_SND_CONFIG sound = {
        1, &sound_active, &digital_music, &effects, &music_volume, &sound_volume, &interpolation, 2,
        3};
    ASSERT_EQ(xv_snd_init(&sound), 1);
    auto checked = [&](uint32_t id) {
        const OS_MENU_ITEM &pop = popup(2);
        for (const OS_MENU_ITEM &item : pop.items) {
            if (item.id == id) {
                return (item.flags & OS_MENU_CHECKED) != 0;
            }
            for (const OS_MENU_ITEM &inner : item.items) {
                if (inner.id == id) {
                    return (inner.flags & OS_MENU_CHECKED) != 0;
                }
            }
        }
        ADD_FAILURE() << "no item " << id;
        return false;
    };
    EXPECT_FALSE(popup(2).flags & OS_MENU_GREYED) << "greyed only while sound starts";
    EXPECT_TRUE(checked(XV_SND_CMD_MUSIC));
    EXPECT_FALSE(checked(XV_SND_CMD_EFFECTS));
    EXPECT_EQ(sound_volume, -2) << "effects off";
    EXPECT_TRUE(checked(XV_SND_CMD_QUALITY_MEDIUM));
    xv_snd_window_message(config.window, WM_COMMAND, XV_SND_CMD_QUALITY_HIGH, 0);
    EXPECT_EQ(interpolation, 8);
    EXPECT_TRUE(checked(XV_SND_CMD_QUALITY_HIGH));
    EXPECT_FALSE(checked(XV_SND_CMD_QUALITY_MEDIUM));
    xv_snd_window_message(config.window, WM_COMMAND, XV_SND_CMD_QUALITY_LOW, 0);
    EXPECT_TRUE(checked(XV_SND_CMD_QUALITY_LOW));
    xv_snd_window_message(config.window, WM_KEYDOWN, VK_F2, 0);
    EXPECT_FALSE(checked(XV_SND_CMD_MUSIC));
    xv_snd_window_message(config.window, WM_COMMAND, XV_SND_CMD_EFFECTS, 0);
    EXPECT_TRUE(checked(XV_SND_CMD_EFFECTS));
    EXPECT_EQ(sound_volume, 80);
    // A menu loaded again (another language) gets its marks from the game's hook.
    config.menu_changed = xv_snd_update_menu;
    xv_dsp_load_menu();
    EXPECT_FALSE(checked(XV_SND_CMD_MUSIC));
    EXPECT_TRUE(checked(XV_SND_CMD_EFFECTS));
    EXPECT_TRUE(checked(XV_SND_CMD_QUALITY_LOW));
    xv_snd_deinit();
}

TEST_F(DisplayTest, TheMenuListsTheResolutionsAndAnswersItsCommands) {
    EXPECT_EQ(ready, 1);
    EXPECT_EQ(active, 1) << "a window newly shown is the active one";
    ASSERT_NE(os_window_menu(config.window), nullptr);
    EXPECT_EQ(popup(0).items.size(), 1u) << "one language: no Language pop-up";
    const OS_MENU_ITEM &resolutions = popup(1).items[3];
    ASSERT_GE(resolutions.items.size(), 2u);
    EXPECT_EQ(resolutions.items[0].text, "640x480");
    EXPECT_EQ(resolutions.items[0].id, 50100u);
    EXPECT_EQ(resolutions.items[1].id, 50101u);
    EXPECT_TRUE(resolutions.items[1].flags & OS_MENU_GREYED) << "no such mode";
    EXPECT_EQ(resolutions.items.back().id, 50006u) << "the current mode, when none is preferred";
    EXPECT_TRUE(resolutions.items.back().flags & OS_MENU_CHECKED);

    // A window dragged too small is enlarged, and kept in proportion.
    os_window_resize(config.window, 200, 100);
    os_send_message(config.window, WM_SIZE, SIZE_RESTORED, os_make_lparam(200, 100));
    int width, height;
    os_window_client_size(config.window, &width, &height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    command(50005);
    os_window_client_size(config.window, &width, &height);
    EXPECT_EQ(width, 800) << "Default Size";
    EXPECT_EQ(height, 600);

    // This display has no 16-bit mode: the mark stays off, and the player is told.
    command(50004);
    EXPECT_EQ(count_occurrences(warnings(), "This resolution isn't supported!"), 1);
    EXPECT_FALSE(popup(1).items[1].flags & OS_MENU_CHECKED);
    std::filesystem::remove("Warning.txt");

    command(50003);
    EXPECT_TRUE(xv_dsp_is_fullscreen());
    EXPECT_EQ(os_window_menu_height(config.window), 0) << "no menu in full screen";
    EXPECT_TRUE(popup(1).items[0].flags & OS_MENU_CHECKED);
    // Alt+Tab away from full screen leaves it.
    os_send_message(config.window, WM_SYSKEYUP, VK_TAB, KEY_ALT_DOWN);
    EXPECT_FALSE(xv_dsp_is_fullscreen());
    EXPECT_EQ(warnings(), "");
}

TEST_F(DisplayTest, SettingsBringTheWindowBackAndAStrangeModeGivesTheDesktops) {
    xv_dsp_close();
    write_file("game.ini",
               "[Display]\r\nResolution=12345x678x16\r\nWindowPosition=10,20,640,480\r\n"
               "Fullscreen=0\r\n");
    xv_io_set_settings_file("game.ini");
    ASSERT_EQ(xv_dsp_init(&config), 1);
    ASSERT_EQ(xv_dsp_open(&start), 1);
    int width, height;
    os_window_client_size(config.window, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    xv_dsp_close();
    std::string settings = test::read_file("game.ini");
    EXPECT_EQ(settings.find("12345x678"), std::string::npos) << "the desktop's mode instead";
    EXPECT_NE(settings.find("WindowPosition="), std::string::npos);
    ASSERT_EQ(xv_dsp_init(&config), 1);
    ASSERT_EQ(xv_dsp_open(&start), 1);
}

TEST_F(DisplayTest, TheLanguageMenuSwitchesTheMenusLanguageAndTheSettingsKeepIt) {
    xv_dsp_close();
    resources.menus.push_back({"\"Test\"", 12 | 1 << 10, bar});
    resources.menus.back().bar[0].text = "&Jeu";
    write_file("lang.txt", "[Languages]\r\nNbLanguages=3\r\nMultiLanguages=1\r\nDefault=1\r\n"
                           "Included_01=1\r\nLanguage_01=L_EN\r\nIncluded_02=1\r\n"
                           "Language_02=L_FR\r\nIncluded_03=1\r\n"
                           "[L_EN]\r\nName=English\r\nAbbreviation=EN\r\nFullscreen=&Full\r\n"
                           "Window=&Window\r\nNumber=10\r\n"
                           "[L_FR]\r\nName=Francais\r\nAbbreviation=FR\r\nNumber=20\r\n");
    write_file("game.ini", "");
    xv_io_set_settings_file("game.ini");
    config.languages = xv_dsp_load_languages("lang.txt");
    ASSERT_NE(config.languages, nullptr);
    EXPECT_EQ(config.languages->count, 3);
    EXPECT_EQ(config.languages->languages[2], nullptr) << "no Language_03";
    EXPECT_EQ(count_occurrences(warnings(), "Sorry, I can't find language Language_03 in lang.txt"),
              1);
    ASSERT_EQ(xv_dsp_init(&config), 1);
    ASSERT_EQ(xv_dsp_open(&start), 1);
    const OS_MENU_ITEM &choices = popup(0).items[0];
    ASSERT_EQ(choices.items.size(), 2u);
    EXPECT_EQ(choices.items[1].id, 50301u);
    EXPECT_TRUE(choices.items[0].flags & OS_MENU_CHECKED);
    EXPECT_EQ(popup(1).items[0].text, "&Full\tF4") << "the language's own words";
    command(50301);
    EXPECT_EQ(popup(0).text, "&Jeu") << "the menu now in French";
    EXPECT_TRUE(popup(0).items[0].items[1].flags & OS_MENU_CHECKED);
    xv_dsp_close();
    EXPECT_NE(test::read_file("game.ini").find("Language=20"), std::string::npos);
    xv_dsp_free_languages(config.languages);

    // The next start comes back in French.
    config.languages = xv_dsp_load_languages("lang.txt");
    EXPECT_EQ(config.languages->current, 1);
    xv_dsp_free_languages(config.languages);
    config.languages = nullptr;
    ASSERT_EQ(xv_dsp_init(&config), 1);
    ASSERT_EQ(xv_dsp_open(&start), 1);
}

} // namespace
