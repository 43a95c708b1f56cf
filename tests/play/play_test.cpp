// The play layer driven as a player drives it: the fake clock, a stand-in
// keyboard pressed and released frame by frame, and the play layer's own
// step, over levels the tests write (the flat walled course of the level
// tests, and an open floor a ball can fall from).
#include "level_test.h"

#include "fontgen.h"
#include "play.h"
#include "play_state.h"
#include "screens.h"
#include "ui.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr float kHole[3] = {0, 0.25f, -3};
// Powers of the strokes the tests strike: one that rolls from the tee into
// the cup, and a tap.
constexpr float kIntoTheCup = 0.44f;
constexpr float kTap = 0.045f;

// The frames of 34 ms the strike key is held for that power: the meter
// gives the power by the time held.
int frames_for(float power) {
    float held = 0;
    int frames = 0;
    while (meter_power(held) < power) {
        held += 34;
        ++frames;
    }
    return frames;
}

// The open floor: ten units square with no wall, so that a ball can leave it.
std::string open_course() {
    return test::model_of({{"floor", test::floor_grid(5, 0, 10)}});
}

class PlayTest : public test::LevelTest {
  protected:
    PlayTest() {
        io.settings_file = "pinwheel.ini";
        mem_config.heap_size = 32 * 1024 * 1024;
    }
    void SetUp() override {
        LevelTest::SetUp();
        write_course({});
        write_play_data();
        play_init(0, nullptr);
    }
    void TearDown() override {
        play_deinit();
        LevelTest::TearDown();
    }

    // Nine holes of the flat course aimed at the hole; `changes` replaces
    // keys of every level.
    void write_course(const std::vector<std::pair<std::string, std::string>> &changes) {
        std::map<int, std::vector<std::pair<std::string, std::string>>> levels;
        for (int hole = 1; hole <= LAST_HOLE; ++hole) {
            auto keys = test::level_keys("gfx\\course.wo2");
            keys.push_back({"name_EN", "Flat " + std::to_string(hole)});
            for (auto &[key, value] : keys) {
                if (key == "angle") {
                    value = "0";
                }
                for (const auto &[changed, to] : changes) {
                    value = key == changed ? to : value;
                }
            }
            levels[hole] = keys;
        }
        write_levels(levels);
    }
    // The texts, small fonts and an attract sequence.
    void write_play_data() {
        std::ifstream texts(PLAY_TEXTS, std::ios::binary);
        std::stringstream copy;
        copy << texts.rdbuf();
        test::write_file("data/play.txt", copy.str());
        for (const char *name : {"menu", "title", "menujp"}) {
            FontRequest font;
            font.font_file = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
            font.name = name;
            font.output = std::string("fonts/") + name;
            font.pixel_size = 10;
            ASSERT_TRUE(parse_code_list("32-126", &font.codes));
            std::filesystem::create_directories("fonts");
            std::string error;
            ASSERT_TRUE(generate_font(font, &error)) << error;
        }
        test::write_file("data/texts.txt", "[Application]\r\nDMOFile=data\\demo.txt\r\n");
        test::write_file("gfx/card.png", test::slide_picture_png(0));
        test::write_file("gfx/mini1.png", test::slide_picture_png(1));
        test::write_file("data/demo.txt", "[Demos]\r\nNumDemos=1\r\nDemo_01=gfx\\card.png\r\n"
                                          "Type_01=2\r\nTime_01=1000\r\n");
    }

    // One frame of the game: the devices read, one play step.
    void frame() {
        clock += 34;
        xv_input_poll();
        play_step(1.0f);
    }
    void frames(int count) {
        for (int i = 0; i < count; ++i) {
            frame();
        }
    }
    // A key down for one frame, then up for one.
    void press(int code) {
        devices.keys[code] = 0x80;
        frame();
        devices.keys[code] = 0;
        frame();
    }
    // Frames until the condition holds, at most `most`; whether it did.
    template <typename Condition>
    bool frames_until(Condition condition, int most = 3000) {
        for (int i = 0; i < most; ++i) {
            if (condition()) {
                return true;
            }
            frame();
        }
        return condition();
    }

    // From the title: Single Hole, the first hole, the fly-by skipped.
    void play_single_hole() {
        play_go(Screen::TITLE);
        press(DIK_DOWN);
        press(DIK_RETURN);
        ASSERT_EQ(play_screen(), Screen::CHOOSER);
        press(DIK_RETURN);
        ASSERT_EQ(play_screen(), Screen::ROUND);
        skip_flyby();
    }
    // From the title: New Game for that many players.
    void play_course(int players) {
        play_go(Screen::TITLE);
        press(DIK_RETURN);
        ASSERT_EQ(play_screen(), Screen::SETUP);
        // Start is chosen first, under the count and a line a player.
        for (int line = 1 + session().players; line > 0; --line) {
            press(DIK_UP);
        }
        for (int tries = 0; tries < MOST_SEATS && session().players != players; ++tries) {
            press(DIK_RIGHT);
        }
        ASSERT_EQ(session().players, players);
        for (int line = 0; line < 1 + players; ++line) {
            press(DIK_DOWN);
        }
        press(DIK_RETURN);
        ASSERT_EQ(play_screen(), Screen::ROUND);
        skip_flyby();
    }
    void skip_flyby() {
        frame();
        press(DIK_SPACE);
        ASSERT_TRUE(frames_until([] { return round_aiming(); }, 200));
    }

    // The stroke of the player whose turn it is: aimed at that angle, the
    // strike key held for as many frames (34 ms each) as that power takes
    // on the meter, then every ball left to rest.
    void stroke(float angle, float power) {
        ASSERT_TRUE(round_aiming());
        player(round_turn())->aim_angle = angle;
        devices.keys[DIK_SPACE] = 0x80;
        frames(frames_for(power));
        devices.keys[DIK_SPACE] = 0;
        frame();
        ASSERT_FALSE(round_aiming()) << "the release strikes";
        ASSERT_TRUE(frames_until([] { return round_aiming() || play_screen() != Screen::ROUND; }));
    }
    // The angle from the seat's ball to the hole.
    float angle_to_hole(int seat) {
        const XV_3D_NODE *ball = node(player(seat)->ball_node);
        const float dx = kHole[0] - ball->position[0], dz = kHole[2] - ball->position[2];
        // aim_direction(a) is (-sin a, -cos a).
        return std::atan2(-dx, -dz) * 57.29578f;
    }
};

// A single hole: a short stroke aside, then one at the hole; it drops, the
// strokes are counted, written into the table (row 0, column 0), and the
// result and the scorecard follow; then the holes to choose another.
TEST_F(PlayTest, ASingleHolePlayedWithFixedStrokesEndsInTheCup) {
    play_single_hole();
    EXPECT_EQ(game()->play_mode, PLAY_SINGLE_HOLE);
    stroke(30, 0.13f);
    EXPECT_EQ(player(0)->strokes, 1);
    EXPECT_EQ(play_screen(), Screen::ROUND);
    stroke(angle_to_hole(0), kIntoTheCup);
    ASSERT_EQ(play_screen(), Screen::RESULT);
    EXPECT_EQ(player(0)->hole_state, BALL_HOLED);
    EXPECT_EQ(player(0)->strokes, 2);
    EXPECT_EQ(game()->scores[0][0], 2);
    EXPECT_EQ(total_score(0), 2);
    EXPECT_EQ(session().totals[0], 2);
    press(DIK_RETURN);
    EXPECT_EQ(play_screen(), Screen::SCORECARD);
    press(DIK_RETURN);
    EXPECT_EQ(play_screen(), Screen::CHOOSER);
    EXPECT_EQ(best_hole(1).strokes, 2) << "the first score of a hole is its record";
    EXPECT_EQ(errors(), "");
    EXPECT_EQ(warnings(), "");
}

// At par + 3 strokes a ball still out is lifted: scored the cap, hidden,
// and the hole ends.
// A new record the disk refuses is not lost without a word: the warning
// log says why, and the player is told instead of "New record!".
TEST_F(PlayTest, ARecordThatCannotBeWrittenIsSaid) {
    std::filesystem::create_directory("pinwheel.ini.tmp"); // no new settings can be made
    play_single_hole();
    stroke(angle_to_hole(0), kIntoTheCup);
    ASSERT_EQ(play_screen(), Screen::RESULT);
    EXPECT_EQ(best_hole(1).strokes, 0);
    EXPECT_NE(warnings().find("Could not write to file\n\n" + std::string(xv_io_ini_path())),
              std::string::npos);
    EXPECT_EQ(offered_text(Offered::NOT_KEPT), ui::say("RecordNotSaved"));
    EXPECT_NE(ui::say("RecordNotSaved"), ui::say("NewRecord"));
    std::filesystem::remove("pinwheel.ini.tmp");
    EXPECT_EQ(offer_hole_score(1, 3, "Ann"), Offered::KEPT);
    EXPECT_EQ(offer_hole_score(1, 3, "Bob"), Offered::NOT_BETTER);
    const Record best = best_hole(1);
    EXPECT_EQ(best.strokes, 3);
    EXPECT_EQ(best.name, "Ann");
    EXPECT_EQ(best.date.size(), 10u);
}

TEST_F(PlayTest, TheCapLiftsTheBall) {
    play_single_hole();
    const int cap = round_cap();
    EXPECT_EQ(cap, 6);
    for (int i = 0; i < cap; ++i) {
        ASSERT_EQ(play_screen(), Screen::ROUND) << "stroke " << i;
        stroke(90, kTap); // a tap towards -x, away from the hole
    }
    EXPECT_EQ(play_screen(), Screen::RESULT);
    EXPECT_EQ(player(0)->hole_state, BALL_LIFTED);
    EXPECT_TRUE(node(player(0)->ball_node)->flags & XV_3D_NODE_HIDDEN);
    EXPECT_EQ(game()->scores[0][0], cap);
}

// A ball that leaves the course costs a stroke and comes back to where it
// was struck.
TEST_F(PlayTest, ABallOffTheCourseCostsAStrokeAndComesBack) {
    test::write_file("gfx/course.wo2", open_course());
    play_single_hole();
    const XV_3D_NODE *ball = node(player(0)->ball_node);
    const float from[3] = {ball->position[0], ball->position[1], ball->position[2]};
    stroke(180, 0.89f); // hard towards +z, off the near edge
    EXPECT_EQ(player(0)->strokes, 2) << "the stroke and the penalty";
    EXPECT_NEAR(ball->position[0], from[0], 0.01f);
    EXPECT_NEAR(ball->position[2], from[2], 0.01f);
    EXPECT_GT(round_notice().steps_left, 0);
    EXPECT_EQ(round_notice().text, "Out of bounds: one stroke");
}

// Two players take turns; one whose ball is in the cup is passed over.
TEST_F(PlayTest, TwoPlayersTakeTurnsAndAHoledBallIsSkipped) {
    play_course(2);
    EXPECT_EQ(game()->play_mode, PLAY_COURSE);
    EXPECT_EQ(round_turn(), 0);
    stroke(angle_to_hole(0), kIntoTheCup); // in
    ASSERT_EQ(player(0)->hole_state, BALL_HOLED);
    EXPECT_EQ(round_turn(), 1);
    stroke(90, kTap);
    EXPECT_EQ(round_turn(), 1) << "player 1 is in: player 2 again";
    stroke(angle_to_hole(1), kIntoTheCup);
    ASSERT_EQ(play_screen(), Screen::RESULT);
    EXPECT_EQ(game()->scores[0][0], 1);
    EXPECT_EQ(game()->scores[1][0], 2);
}

// Four players strike in order, one stroke each.
TEST_F(PlayTest, FourPlayersStrikeInOrder) {
    play_course(4);
    ASSERT_EQ(player_count(), 4);
    std::vector<int> order;
    for (int i = 0; i < 8; ++i) {
        order.push_back(round_turn());
        stroke(90, kTap);
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3}));
    for (int seat = 0; seat < 4; ++seat) {
        EXPECT_EQ(player(seat)->strokes, 2);
    }
}

// Over two holes the scorecard's totals are total_score's, and the next
// hole comes through next_level.
TEST_F(PlayTest, TheScorecardTotalsAreTotalScore) {
    play_course(2);
    stroke(angle_to_hole(0), kIntoTheCup);
    stroke(90, kTap);
    stroke(angle_to_hole(1), kIntoTheCup);
    ASSERT_EQ(play_screen(), Screen::RESULT);
    press(DIK_RETURN);
    ASSERT_EQ(play_screen(), Screen::SCORECARD);
    EXPECT_EQ(total_score(0), 1);
    EXPECT_EQ(total_score(1), 2);
    press(DIK_RETURN);
    ASSERT_EQ(play_screen(), Screen::ROUND);
    EXPECT_EQ(game()->level, 2);
    skip_flyby();
    stroke(90, kTap);
    stroke(angle_to_hole(1), kIntoTheCup);
    stroke(angle_to_hole(0), kIntoTheCup);
    ASSERT_EQ(play_screen(), Screen::RESULT);
    press(DIK_RETURN);
    EXPECT_EQ(game()->scores[0][1], 2);
    EXPECT_EQ(game()->scores[1][1], 1);
    for (int seat = 0; seat < 2; ++seat) {
        EXPECT_EQ(total_score(seat), session().totals[seat]);
    }
    EXPECT_EQ(total_score(0), 3);
    EXPECT_EQ(total_score(1), 3);
}

// Escape pauses: the course stands still; Continue goes back to the same
// stroke, Quit to title leaves the hole.
TEST_F(PlayTest, PauseHoldsTheHoleAndQuitsToTheTitle) {
    play_single_hole();
    player(0)->aim_angle = 30;
    devices.keys[DIK_SPACE] = 0x80;
    frames(10);
    devices.keys[DIK_SPACE] = 0;
    frame();
    ASSERT_FALSE(round_aiming());
    frames(3);
    press(DIK_ESCAPE);
    ASSERT_EQ(play_screen(), Screen::PAUSE);
    const XV_3D_NODE *ball = node(player(0)->ball_node);
    const float held[3] = {ball->position[0], ball->position[1], ball->position[2]};
    frames(60);
    EXPECT_EQ(ball->position[2], held[2]) << "nothing moves under the pause";
    press(DIK_RETURN); // Continue
    ASSERT_EQ(play_screen(), Screen::ROUND);
    frames(3);
    EXPECT_NE(ball->position[2], held[2]) << "and on it rolls";
    press(DIK_ESCAPE);
    press(DIK_DOWN);
    press(DIK_DOWN);
    press(DIK_RETURN); // Quit to title
    EXPECT_EQ(play_screen(), Screen::TITLE);
    EXPECT_EQ(game()->play_mode, 0) << "the title's own view of hole 1";
    EXPECT_EQ(errors(), "");
}

// A minute untouched on the title runs the attract mode; a key returns.
TEST_F(PlayTest, AMinuteIdleOnTheTitleRunsTheAttractMode) {
    play_go(Screen::TITLE);
    frames(30 * 50);
    EXPECT_EQ(play_screen(), Screen::TITLE) << "fifty seconds are not enough";
    frames(30 * 11);
    EXPECT_EQ(play_screen(), Screen::ATTRACT);
    EXPECT_TRUE(attract_running());
    EXPECT_EQ(demo_entry(), 0) << "the sequence's picture";
    press(DIK_F9);
    EXPECT_EQ(play_screen(), Screen::ATTRACT) << "a snapshot is no player's key";
    press(DIK_A);
    EXPECT_EQ(play_screen(), Screen::TITLE);
    EXPECT_FALSE(attract_running());
}

// The first key of the slideshow brings the title; Escape and the F-keys
// stay the slideshow's, and the program's own posted click (the return
// from a menu) is not a player's.
TEST_F(PlayTest, TheSlideshowHandsOverOnAPlayersKeyOrClick) {
    EXPECT_FALSE(play_active());
    EXPECT_FALSE(play_window_message(WM_KEYDOWN, VK_ESCAPE));
    EXPECT_FALSE(play_window_message(WM_KEYDOWN, VK_F4));
    EXPECT_FALSE(play_window_message(WM_LBUTTONDOWN, 0));
    EXPECT_FALSE(play_active());
    EXPECT_TRUE(play_window_message(WM_LBUTTONDOWN, MK_LBUTTON));
    EXPECT_TRUE(play_active());
    EXPECT_EQ(play_screen(), Screen::TITLE);
    EXPECT_FALSE(play_window_message(WM_KEYDOWN, 'A')) << "once is enough";
}

// Escape on the title ends the program in order: it asks the display to
// close, as the window's close box does.
TEST_F(PlayTest, EscapeOnTheTitleAsksToClose) {
    play_go(Screen::TITLE);
    press(DIK_ESCAPE);
    EXPECT_TRUE(xv_dsp_close_requested());
}

// The players' names and keys are kept in the settings for next time.
TEST_F(PlayTest, NamesAndKeysAreKeptForNextTime) {
    play_go(Screen::TITLE);
    press(DIK_RETURN);
    press(DIK_UP);
    press(DIK_RETURN); // the first name, over Start
    for (int i = 0; i < 8; ++i) {
        press(DIK_BACK);
    }
    for (int code : {DIK_A, DIK_D, DIK_A}) {
        press(code);
    }
    press(DIK_RETURN);
    EXPECT_STREQ(session().seats[0].name, "ada");
    ::controls().strike = DIK_J;
    play_deinit();
    play_init(0, nullptr);
    EXPECT_STREQ(session().seats[0].name, "ada");
    EXPECT_EQ(::controls().strike, DIK_J);
}

} // namespace

namespace {

// A skipped fly-by is over for good: its camera does not ride on to the
// trail's end and start the approach again (which would take the hole back
// to game state 1 and stop its wind).
TEST_F(PlayTest, ASkippedFlyByStaysSkipped) {
    test::write_file("data/intro.txt",
                     test::ini_text({{"PointSet",
                                      {{"PointCount", "3"},
                                       {"Point0000", "0,3,4"},
                                       {"Point0001", "0,3,0"},
                                       {"Point0002", "0,3,-4"}}},
                                     {"CurveSet", {{"CurveCount", "1"}, {"Curve0000", "0,1,2"}}}}));
    write_course({{"screen", "gfx\\mini1.png"}});
    std::map<int, std::vector<std::pair<std::string, std::string>>> levels;
    auto keys = test::level_keys("gfx\\course.wo2");
    keys.push_back({"intro", "data\\intro.txt"});
    levels[1] = keys;
    write_levels(levels);
    play_single_hole();
    ASSERT_NE(game()->trail, nullptr);
    EXPECT_EQ(game()->state, GAME_SINGLE_HOLE);
    frames(30 * 20); // longer than the trail takes
    EXPECT_EQ(game()->state, GAME_SINGLE_HOLE);
    EXPECT_TRUE(round_aiming());
}

} // namespace

namespace {

// The replay keeps the stroke as it rolled, step by step: the recorded
// places are the ball's places after each level step; R shows it again and
// the ball goes back to where it rests.
TEST_F(PlayTest, TheReplayIsTheStrokeAsItRolled) {
    play_single_hole();
    const XV_3D_NODE *ball = node(player(0)->ball_node);
    player(0)->aim_angle = 30;
    devices.keys[DIK_SPACE] = 0x80;
    frames(12);
    devices.keys[DIK_SPACE] = 0;
    std::vector<std::array<float, 3>> path = {
        {ball->position[0], ball->position[1], ball->position[2]}};
    frame(); // the release strikes
    while (!round_aiming()) {
        frame();
        path.push_back({ball->position[0], ball->position[1], ball->position[2]});
    }
    ASSERT_GT(replay_steps(0), 10);
    const ReplayFrame *frames_kept = replay_frames(0);
    for (int i = 0; i < replay_steps(0); ++i) {
        for (int axis = 0; axis < 3; ++axis) {
            ASSERT_EQ(frames_kept[i].position[axis], path[static_cast<size_t>(i)][axis])
                << "step " << i;
        }
    }
    const std::array<float, 3> rests = {ball->position[0], ball->position[1], ball->position[2]};
    press(DIK_R);
    ASSERT_EQ(play_screen(), Screen::REPLAY);
    frames(5);
    EXPECT_NE(ball->position[2], rests[2]) << "the ball is back on its way";
    press(DIK_S); // slow motion
    frames(400);
    EXPECT_EQ(play_screen(), Screen::ROUND) << "the replay ends by itself";
    // Back where it rests (it creeps on as a resting ball does, by hundredths).
    EXPECT_NEAR(ball->position[0], rests[0], 0.02f);
    EXPECT_NEAR(ball->position[2], rests[2], 0.02f);
    EXPECT_TRUE(round_aiming());

    // However long a roll, the recording keeps at most thirty seconds.
    replay_begin(0);
    for (int i = 0; i < 3 * replay_most_steps(); ++i) {
        replay_record(0);
    }
    EXPECT_EQ(replay_steps(0), replay_most_steps());
}

// A computer player takes its turn by itself, through the same stroke.
TEST_F(PlayTest, AComputerTakesItsTurn) {
    session().seats[1].computer = 3;
    play_course(2);
    stroke(90, kTap); // the person's
    ASSERT_EQ(round_turn(), 1);
    EXPECT_TRUE(round_thinking() || round_aiming());
    ASSERT_TRUE(frames_until([] { return play_screen() != Screen::ROUND || round_turn() == 0; }));
    EXPECT_EQ(player(1)->strokes, 1) << "one stroke, struck by the computer";
    EXPECT_EQ(round_turn(), 0);
}

// A single hole is a person's practice, even when the first seat of New
// Game was given to the computer.
TEST_F(PlayTest, ASingleHoleIsPlayedByAPerson) {
    session().seats[0].computer = 3;
    play_single_hole();
    frames(150); // long past a computer's lead
    EXPECT_TRUE(round_aiming());
    EXPECT_FALSE(round_thinking());
    EXPECT_EQ(player(0)->strokes, 0) << "nobody struck for the person";
    EXPECT_EQ(session().seats[0].computer, 3) << "New Game's choice is kept";
}

} // namespace

namespace {

// A game pad does what the keys do: the stick moves through the menus, A
// chooses and strikes (held for the meter), Start pauses and B goes back.
TEST_F(PlayTest, AGamePadPlaysAsTheKeysDo) {
    devices.has_joystick = true;
    xv_input_deinit();
    xv_input_init(&input); // the pad is found when the input starts
    const auto pad = [&](int x, int y, int button) {
        devices.joystick = OS_JOYSTICK_READING{x, y, {0, 0, 0}};
        if (button >= 0) {
            devices.joystick.buttons[button] = 0x80;
        }
        frame();
        devices.joystick = OS_JOYSTICK_READING{};
        frame();
    };
    play_go(Screen::TITLE);
    pad(0, 32, -1); // down: Single Hole
    pad(0, 0, 0);
    ASSERT_EQ(play_screen(), Screen::CHOOSER);
    pad(0, 0, 0);
    ASSERT_EQ(play_screen(), Screen::ROUND);
    frame();
    pad(0, 0, 0); // skips the fly-by
    ASSERT_TRUE(frames_until([] { return round_aiming(); }, 200));
    const float aim = player(0)->aim_angle;
    devices.joystick = OS_JOYSTICK_READING{32, 0, {0, 0, 0}};
    frames(10);
    EXPECT_NE(player(0)->aim_angle, aim) << "the stick aims";
    devices.joystick = OS_JOYSTICK_READING{0, 0, {0x80, 0, 0}};
    frames(15);
    devices.joystick = OS_JOYSTICK_READING{};
    frame();
    EXPECT_EQ(player(0)->strokes, 1) << "A held and let go strikes";
    pad(0, 0, 2);
    EXPECT_EQ(play_screen(), Screen::PAUSE) << "Start pauses";
    pad(0, 0, 1);
    EXPECT_EQ(play_screen(), Screen::ROUND) << "B goes back";
}

} // namespace
