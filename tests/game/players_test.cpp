// The players' paddles and keys, one fixed step at a time, over a stand-in
// keyboard.
#include "os_input.h"
#include "players.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

int quit_status = -1;

void record_quit(int status) {
    quit_status = status;
}

class PlayersTest : public test::PlatformTest {
  protected:
    void SetUp() override {
        PlatformTest::SetUp();
        std::memset(&devices, 0, sizeof devices);
        os_input_fake(&devices);
        xv_input_init(&input);
        xv_input_activate(1);
        xv_play_init(&controls);
        players_set_quit(record_quit);
        quit_status = -1;
        reset_players();
        add_player(4);
        add_player(5);
    }
    void TearDown() override {
        reset_players();
        players_set_quit(nullptr);
        xv_play_deinit();
        xv_input_deinit();
        os_input_fake(nullptr);
        PlatformTest::TearDown();
    }
    void steps(int count) {
        for (int i = 0; i < count; ++i) {
            game_step(1.0f);
        }
    }
    OS_INPUT_FAKE devices;
    XV_INPUT_CONFIG input{1, 1};
    XV_PLAY_CONFIG controls{1};
};

TEST_F(PlayersTest, PaddlesStartAtTheirSidesAndStayWithinTheirTrack) {
    ASSERT_EQ(player_count(), 2);
    EXPECT_EQ(player(0)->paddle_x, 700);
    EXPECT_EQ(player(1)->paddle_x, 20);
    EXPECT_EQ(player(1)->ball_node, 5);
    devices.keys[OS_KEY_DOWN] = 0x80;
    steps(100);
    EXPECT_EQ(player(0)->paddle_y, 300) << "3 a step, and no further";
    EXPECT_EQ(player(1)->paddle_y, 0);
    devices.keys[OS_KEY_DOWN] = 0;
    devices.keys[OS_KEY_UP] = 0x80;
    devices.keys[32] = 0x80; // D: the second player's down
    steps(2);
    EXPECT_EQ(player(0)->paddle_y, 294);
    EXPECT_EQ(player(1)->paddle_y, 6);
    devices.keys[OS_KEY_UP] = devices.keys[32] = 0;
    devices.keys[18] = 0x80; // E: the second player's up
    steps(5);
    EXPECT_EQ(player(1)->paddle_y, 0);
}

TEST_F(PlayersTest, EscapeQuitsThroughTheFirstPlayerAloneAndSpaceLatches) {
    devices.keys[OS_KEY_SPACE] = 0x80;
    steps(1);
    EXPECT_EQ(player(0)->space_latch, 1);
    EXPECT_EQ(player(1)->space_latch, 1);
    devices.keys[OS_KEY_SPACE] = 0;
    steps(1);
    EXPECT_EQ(player(0)->space_latch, 0);
    EXPECT_EQ(quit_status, -1);
    devices.keys[OS_KEY_ESCAPE] = 0x80;
    steps(1);
    EXPECT_EQ(quit_status, 0);
    EXPECT_EQ(player(1)->keys.values[ACTION_QUIT], 0) << "the second player has no quit key";
    EXPECT_EQ(player(0)->keys.count, 17) << "sixteen actions, Control twice";
}

} // namespace
