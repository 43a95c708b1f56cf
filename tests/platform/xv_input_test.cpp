// Input and player controls over stand-in devices: the test sets what the
// keyboard, the mouse and the joystick say, and polls.
#include "os_input.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class InputTest : public test::PlatformTest {
  protected:
    void SetUp() override {
        PlatformTest::SetUp();
        std::memset(&devices, 0, sizeof devices);
        os_input_fake(&devices);
        ASSERT_EQ(xv_input_init(&config), 1);
        xv_input_activate(1);
    }
    void TearDown() override {
        xv_input_deinit();
        os_input_fake(nullptr);
        PlatformTest::TearDown();
    }
    void move_mouse(int x, int y) {
        devices.mouse.x = x;
        devices.mouse.y = y;
        xv_input_poll();
    }
    uint8_t mouse(int byte) { return *xv_input_control(XV_INPUT_MOUSE_FIRST + byte); }

    OS_INPUT_FAKE devices;
    XV_INPUT_CONFIG config{1, 1};
};

TEST_F(InputTest, TheMouseHasADeadZoneACapAndOneDirectionPerAxis) {
    move_mouse(5, -8);
    EXPECT_FALSE(xv_input_any()) << "within the dead zone of 8";
    move_mouse(200, 0);
    EXPECT_EQ(mouse(XV_INPUT_RIGHT), 128) << "capped";
    move_mouse(-20, 30);
    EXPECT_EQ(mouse(XV_INPUT_LEFT), 20);
    EXPECT_EQ(mouse(XV_INPUT_RIGHT), 0) << "each poll starts afresh";
    EXPECT_EQ(mouse(XV_INPUT_DOWN), 30) << "diagonals kept";

    // Accumulating, opposite motions keep the larger amount only.
    xv_input_mouse_mode(2);
    move_mouse(-50, 0);
    move_mouse(30, 0);
    EXPECT_EQ(mouse(XV_INPUT_LEFT), 70) << "20 + 50 accumulated";
    EXPECT_EQ(mouse(XV_INPUT_RIGHT), 0);
    xv_input_mouse_decay(60);
    EXPECT_EQ(mouse(XV_INPUT_LEFT), 10);
    xv_input_mouse_decay(60);
    EXPECT_EQ(mouse(XV_INPUT_LEFT), 0) << "down to 0, no further";

    devices.mouse.buttons[1] = 0x80;
    move_mouse(0, 0);
    XV_INPUT_MOUSE raw{};
    xv_input_get_mouse(&raw);
    EXPECT_EQ(raw.buttons, 2);
    EXPECT_EQ(mouse(XV_INPUT_BUTTON0 + 1), 0x80);
}

TEST_F(InputTest, WithoutDiagonalsTheSmallerAxisGoes) {
    config.mouse_diagonals = 0;
    move_mouse(-40, -20);
    EXPECT_EQ(mouse(XV_INPUT_LEFT), 40);
    EXPECT_EQ(mouse(XV_INPUT_UP), 0) << "the smaller motion goes";
    move_mouse(-20, -40);
    EXPECT_EQ(mouse(XV_INPUT_LEFT), 0);
    EXPECT_EQ(mouse(XV_INPUT_UP), 40);
    move_mouse(30, 50);
    EXPECT_EQ(mouse(XV_INPUT_RIGHT), 0) << "right goes when x <= y";
    EXPECT_EQ(mouse(XV_INPUT_DOWN), 50);
}

TEST_F(InputTest, KeysReadAsScanCodesAndLetGoWhenTheWindowDoes) {
    devices.keys[OS_KEY_UP] = 0x80;
    xv_input_poll();
    EXPECT_EQ(xv_input_get_key(OS_KEY_UP), 0x80);
    EXPECT_EQ(xv_input_get_key(256), 0);
    xv_input_set_key(300, 0x80); // ignored, not written past the state
    xv_input_window_message(nullptr, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(xv_input_get_key(OS_KEY_UP), 0) << "released: cleared";
    xv_input_poll();
    EXPECT_EQ(xv_input_get_key(OS_KEY_UP), 0) << "and not read while released";
    xv_input_window_message(nullptr, XV_INPUT_ACQUIRE, 0, 0);
    xv_input_poll();
    EXPECT_EQ(xv_input_get_key(OS_KEY_UP), 0x80);

    EXPECT_EQ(xv_input_key_to_char(28, 0), 19) << "Return, as it has always been";
    EXPECT_EQ(xv_input_key_to_char(30, 0), 'a');
    EXPECT_EQ(xv_input_key_to_char(30, 1), 'A');
    EXPECT_EQ(xv_input_key_to_char(3, 1), '@');
    EXPECT_EQ(xv_input_key_to_char(40, 1), '"');
    EXPECT_EQ(xv_input_key_to_char(OS_KEY_UP, 0), 0);
    EXPECT_EQ(os_input_scan_code(82 /* SDL's Up arrow */), OS_KEY_UP);
}

TEST_F(InputTest, AJoystickOffCentreTooOftenIsUncalibrated) {
    xv_input_deinit();
    devices.has_joystick = true;
    devices.joystick.x = 10;
    ASSERT_EQ(xv_input_init(&config), 1);
    xv_input_activate(1);
    EXPECT_EQ(xv_input_poll(), 1);
    EXPECT_EQ(*xv_input_control(XV_INPUT_JOYSTICK_FIRST + XV_INPUT_RIGHT), 10);
    EXPECT_EQ(xv_input_check_joystick(), 0) << "off centre in every reading";
    EXPECT_NE(warnings().find("Your joystick appears to be uncalibrated"), std::string::npos);
    EXPECT_EQ(xv_input_poll(), 0) << "disabled for good";

    xv_input_deinit();
    devices.joystick = {0, 0, {0x80, 0, 0}};
    ASSERT_EQ(xv_input_init(&config), 1);
    EXPECT_EQ(xv_input_check_joystick(), 1) << "a centred stick passes";
}

// ---- player controls ---------------------------------------------------------------

class PlayerControlsTest : public InputTest {
  protected:
    void SetUp() override {
        InputTest::SetUp();
        ASSERT_EQ(xv_play_init(&play_config), 1);
    }
    void TearDown() override {
        xv_play_deinit();
        InputTest::TearDown();
    }
    XV_PLAY_CONFIG play_config{1};
};

TEST_F(PlayerControlsTest, TheFirstPlayerHasArrowsMouseAndStickTheOthersLetters) {
    XV_PLAY_PLAYER first{}, second{};
    std::memset(&second, 0xFF, sizeof second);
    ASSERT_EQ(xv_play_add(&first), 1);
    ASSERT_EQ(xv_play_add(&second), 1);
    EXPECT_EQ(second.actions[0], 0) << "cleared when added";

    devices.keys[OS_KEY_UP] = 0x80;
    devices.keys[17] = 0x80; // W
    xv_input_poll();
    xv_play_update();
    EXPECT_EQ(first.actions[0], 0x80);
    EXPECT_EQ(second.actions[0], 0x80);
    EXPECT_EQ(first.actions[1], 0);

    devices.keys[OS_KEY_UP] = devices.keys[17] = 0;
    devices.mouse.y = 40; // the mouse moves down: the first player's action 1
    xv_input_poll();
    xv_play_update();
    EXPECT_EQ(first.actions[1], 40);
    EXPECT_EQ(second.actions[1], 0) << "later players have keys only";

    xv_play_remove(&second);
    xv_play_remove(&second);
    int module = 0, code = 0;
    xv_error_pending(&module, &code);
    EXPECT_EQ(module, xv_play_module());
    EXPECT_EQ(code, XV_PLAY_ERR_NOT_REGISTERED);
    EXPECT_EQ(xv_play_add(nullptr), 0);
}

// The game adds its ball players anew with every hole it loads: a record
// registered again keeps its one registration (and its first-player keys),
// and memory stays where it was.
TEST_F(PlayerControlsTest, ARecordRegisteredAgainKeepsItsOneRegistration) {
    XV_PLAY_PLAYER first{}, second{};
    ASSERT_EQ(xv_play_add(&first), 1);
    ASSERT_EQ(xv_play_add(&second), 1);
    const long used = xv_mem_used();
    for (int hole = 0; hole < 100; ++hole) {
        ASSERT_EQ(xv_play_add(&first), 1);
        ASSERT_EQ(xv_play_add(&second), 1);
    }
    EXPECT_EQ(xv_mem_used(), used);
    devices.keys[OS_KEY_UP] = 0x80;
    xv_input_poll();
    xv_play_update();
    EXPECT_EQ(first.actions[0], 0x80);
    EXPECT_EQ(second.actions[0], 0) << "still a later player's keys";
    xv_play_remove(&first);
    xv_play_remove(&first);
    int module = 0, code = 0;
    xv_error_pending(&module, &code);
    EXPECT_EQ(code, XV_PLAY_ERR_NOT_REGISTERED) << "one registration, removed once";
}

} // namespace
