#include "game.h"
#include "mainpc.h"
#include "os_menu.h"
#include "os_time.h"
#include "resources.h"
#include "test_support.h"
#include "wrappers.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        frame_reset();
        os_tick_fake(&clock);
    }
    void TearDown() override {
        os_tick_fake(nullptr);
        frame_reset();
    }
    std::vector<float> steps_at(float rate) {
        float steps[3];
        int count = frame_steps(rate, steps);
        return std::vector<float>(steps, steps + count);
    }

    uint32_t clock = 0;
};

TEST_F(FrameTest, EachFrameRunsUpToThreeStepsOfAThirtiethOfASecond) {
    EXPECT_EQ(steps_at(60.0f), std::vector<float>({0.5f}));
    EXPECT_EQ(steps_at(30.0f), std::vector<float>({1.0f}));
    EXPECT_EQ(steps_at(12.0f), std::vector<float>({1.0f, 1.0f, 0.5f}));
    EXPECT_EQ(steps_at(5.0f), std::vector<float>({1.0f, 1.0f, 1.0f})) << "not six";
    EXPECT_TRUE(steps_at(0.0f).empty());
}

TEST_F(FrameTest, TheRateIsTheMeanOfTenFramesAndStartsAtThirty) {
    for (int frame = 1; frame <= 9; ++frame) {
        clock += 100;
        frame_rate_update();
        EXPECT_EQ(frame_rate(), 30.0f) << "frame " << frame;
    }
    clock += 50;
    frame_rate_update();
    EXPECT_FLOAT_EQ(frame_rate(), (9 * 10.0f + 20.0f) / 10);
    // Two frames in the same millisecond count as a thousand a second.
    for (int frame = 0; frame < 10; ++frame) {
        clock += frame == 0 ? 0 : 1;
        frame_rate_update();
    }
    EXPECT_FLOAT_EQ(frame_rate(), 1000.0f);
}

TEST_F(FrameTest, NoFrameBeforeTheFirstTickNorWhileInactive) {
    AppState *state = app_state();
    EXPECT_EQ(frame_run(), 0);
    frame_timer_tick(1);
    EXPECT_EQ(frame_ticks(), 0u) << "the timer counts only while active";
    state->active = 1;
    state->display_ready = 1;
    EXPECT_EQ(frame_run(), 0) << "active, but no tick yet";
    frame_timer_tick(1);
    EXPECT_EQ(frame_ticks(), 1u);
    EXPECT_EQ(frame_run(), 1);
    EXPECT_EQ(frame_run(), 1) << "once ticked, frames run back to back";
    state->active = 0;
    EXPECT_EQ(frame_run(), 0);
    state->active = 1;
    state->display_ready = 0;
    EXPECT_EQ(frame_run(), 0);
}

} // namespace

namespace {

std::vector<std::string> steps;

// Start-up and shut-down in process, on the offscreen driver, in order.
class SpineTest : public test::TempDirTest {
  protected:
    // The game's own start, as its entry point makes it. The application
    // keeps the descriptor until it stops: it lives as long as the test.
    bool start_app(AppState *state) {
        resources_install();
        descriptor = AppDescriptor{};
        strcpy(descriptor.archive_name, "RESOURCE.DAT");
        descriptor.window_procedure = main_window_proc;
        descriptor.heap_size = 4 << 20;
        descriptor.depth = 16;
        descriptor.draw_3d = 1;
        descriptor.state = state;
        return app_init(&descriptor) == 1;
    }
    AppDescriptor descriptor{};
};

TEST_F(SpineTest, ModulesStartAndStopInTheirOrderAndLeaveNothing) {
    ASSERT_TRUE(test::write_game_data("Spine"));
    app_set_trace([](const char *step) { steps.push_back(step); });
    AppState state;
    ASSERT_TRUE(start_app(&state));
    EXPECT_EQ(state.display_ready, 1);
    EXPECT_NE(state.window, nullptr);
    game_init();
    system_deinit();
    app_set_trace(nullptr);
    const std::vector<std::string> expected = {
        "dx check",      "errors",    "lists",          "memory",      "strings",   "files",
        "fonts",         "menus",     "languages",      "splash",      "display",   "input",
        "players",       "sound",     "joystick check", "video mode",  "play list", "timer off",
        "game off",      "fonts off", "sound off",      "players off", "input off", "display off",
        "languages off", "files off", "strings off",    "memory off",  "lists off", "errors off",
        "dx check off"};
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(test::read_file("Warning.txt"), "") << "no leak, no fault";
    EXPECT_NE(test::read_file("pinwheel.ini").find("NumberAlloc=0"), std::string::npos);
}

} // namespace

namespace {

// The Game menu's Language pop-up, as the game builds it from its language
// file: the languages offered, and a choice that takes at once and is kept
// in the settings before the game ends.
TEST_F(SpineTest, TheGameMenuListsTheLanguagesAndSwitchesAtOnce) {
    ASSERT_TRUE(test::write_game_data("Languages"));
    std::string file = "[Languages]\r\nNumLanguages=7\r\nMultiLanguages=1\r\nDefault=1\r\n";
    const char *const names[7] = {"English",  "Francais",  "Espanol", "Deutsch",
                                  "Italiano", "Portugues", "Nihongo"};
    const char *const abbreviations[7] = {"EN", "FR", "ES", "DE", "IT", "PT", "JP"};
    for (int i = 0; i < 7; ++i) {
        file += "Included_0" + std::to_string(i + 1) + "=1\r\nLanguage_0" + std::to_string(i + 1) +
                "=L_" + abbreviations[i] + "\r\n";
    }
    for (int i = 0; i < 7; ++i) {
        file += std::string("[L_") + abbreviations[i] + "]\r\nName=" + names[i] +
                "\r\nAbbreviation=" + abbreviations[i] + "\r\nNumber=" + std::to_string(i + 1) +
                "\r\n";
    }
    test::write_file("data/language.txt", file);
    AppState state;
    ASSERT_TRUE(start_app(&state));
    game_init();
    const auto language_popup = [&]() -> const OS_MENU_ITEM * {
        const std::vector<OS_MENU_ITEM> *bar = os_window_menu(state.window);
        if (!bar || bar->empty()) {
            return nullptr;
        }
        for (const OS_MENU_ITEM &item : bar->front().items) {
            if (item.flags & OS_MENU_POPUP) {
                return &item;
            }
        }
        return nullptr;
    };
    const OS_MENU_ITEM *popup = language_popup();
    ASSERT_NE(popup, nullptr) << "the Game menu has its Language pop-up";
    ASSERT_EQ(popup->items.size(), 7u);
    EXPECT_EQ(popup->items[3].text, "Deutsch");
    EXPECT_TRUE(popup->items[0].flags & OS_MENU_CHECKED);
    os_send_message(state.window, WM_COMMAND, popup->items[3].id, 0);
    EXPECT_EQ(state.languages->current, 3);
    EXPECT_NE(test::read_file("pinwheel.ini").find("Language=4"), std::string::npos)
        << "kept at once";
    popup = language_popup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->text, "&Sprache") << "the menu itself in German";
    EXPECT_TRUE(popup->items[3].flags & OS_MENU_CHECKED);
    system_deinit();
}

} // namespace
