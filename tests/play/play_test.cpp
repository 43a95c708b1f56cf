// The play layer driven as a player drives it: the fake clock, a stand-in
// keyboard pressed and released frame by frame, and the play layer's own
// step, over levels the tests write (the flat walled course of the level
// tests, and an open floor a ball can fall from).
#include "level_test.h"

#include "fontgen.h"
#include "mainpc.h"
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
        // The screen the game draws for, so that the texts lie as a player sees them.
        xv_bit_free(&screen);
        XV_RECT area = {0, 0, 800, 600};
        ASSERT_TRUE(xv_bit_alloc(&screen, &area, XV_BIT_BPP32));
        write_course({});
        write_play_data();
        play_init(0, nullptr);
    }
    void TearDown() override {
        play_deinit();
        LevelTest::TearDown();
    }

    // Holes of the flat course (nine unless said) aimed at the hole;
    // `changes` replaces keys of every level.
    void write_course(const std::vector<std::pair<std::string, std::string>> &changes,
                      int holes = 9) {
        std::map<int, std::vector<std::pair<std::string, std::string>>> levels;
        for (int hole = 1; hole <= holes; ++hole) {
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
        for (const char *name : {"menu", "title", "menujp", "titlejp"}) {
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
    const float off_the_cup = std::remainder(player(0)->aim_angle - angle_to_hole(0), 360.0f);
    EXPECT_NEAR(off_the_cup, 0.0f, 0.1f) << "the next stroke starts aimed at the cup in sight";
    stroke(angle_to_hole(0), kIntoTheCup);
    ASSERT_EQ(play_screen(), Screen::RESULT);
    EXPECT_EQ(player(0)->hole_state, BALL_HOLED);
    EXPECT_EQ(player(0)->strokes, 2);
    EXPECT_EQ(game()->scores[0][0], 2);
    EXPECT_EQ(total_score(0), 2);
    EXPECT_EQ(hole_total(0), 2);
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
    const int cap = hole_cap();
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

// A ball struck from a place that cannot hold it (a tee off the fairway)
// is charged its penalties up to the cap and picked up there: the hole
// ends, and the score is the cap.
TEST_F(PlayTest, ABallStruckFromOffTheCourseIsPickedUpAtTheCap) {
    test::write_file("gfx/course.wo2", open_course());
    play_single_hole();
    XV_3D_NODE *ball = node(player(0)->ball_node);
    ball->position[2] += 40.0f; // beyond the course's end, in the air
    stroke(0, kTap);
    EXPECT_EQ(play_screen(), Screen::RESULT);
    EXPECT_EQ(player(0)->hole_state, BALL_LIFTED);
    EXPECT_EQ(player(0)->strokes, hole_cap());
    EXPECT_EQ(game()->scores[0][0], hole_cap());
    EXPECT_EQ(errors(), "");
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
        EXPECT_EQ(total_score(seat), hole_total(seat));
    }
    EXPECT_EQ(total_score(0), 3);
    EXPECT_EQ(total_score(1), 3);
}

// A course is as long as its level list: eleven holes are played through
// to the standings, each on the session's card, the back holes' too (the
// game's own table keeps the first nine).
TEST_F(PlayTest, ACourseIsAsLongAsItsListAndItsCardKeepsEveryHole) {
    write_course({}, 11);
    play_course(1);
    for (int hole = 1; hole <= 11; ++hole) {
        ASSERT_EQ(game()->level, hole);
        stroke(angle_to_hole(0), kIntoTheCup);
        ASSERT_EQ(play_screen(), Screen::RESULT);
        press(DIK_RETURN);
        ASSERT_EQ(play_screen(), Screen::SCORECARD);
        EXPECT_EQ(hole_card(0, hole), 1);
        press(DIK_RETURN);
        if (hole < 11) {
            ASSERT_EQ(play_screen(), Screen::ROUND);
            skip_flyby();
        }
    }
    EXPECT_EQ(play_screen(), Screen::FINAL);
    EXPECT_EQ(hole_total(0), 11);
    EXPECT_EQ(game()->scores[0][8], 1);
}

// With a second course the title has a line for it: the arrows change the
// course played, the backdrop is its first hole, and the choice is kept;
// its records are its own.
TEST_F(PlayTest, TheTitleChoosesTheCourseAndKeepsTheChoice) {
    test::write_file("data/courses.txt", "[courses]\r\ncount=2\r\ncourse1=data\\levels.txt\r\n"
                                         "course2=data\\two.txt\r\n");
    test::write_file("data/two.txt", "[course]\r\nid=two\r\nname_EN=Second\r\nholes=2\r\n" +
                                         test::read_file("data/levels.txt"));
    courses_forget();
    play_go(Screen::TITLE);
    press(DIK_DOWN);
    press(DIK_DOWN);
    press(DIK_RIGHT);
    EXPECT_EQ(course().id, "two");
    EXPECT_EQ(course().hole_count, 2);
    EXPECT_EQ(game()->level, 1);
    EXPECT_TRUE(level_loaded());
    EXPECT_NE(test::read_file("pinwheel.ini").find("Course=two"), std::string::npos);
    press(DIK_UP);
    press(DIK_RETURN); // Single Hole, on the second course
    ASSERT_EQ(play_screen(), Screen::CHOOSER);
    press(DIK_RETURN);
    ASSERT_EQ(play_screen(), Screen::ROUND);
    skip_flyby();
    stroke(angle_to_hole(0), kIntoTheCup);
    EXPECT_NE(test::read_file("pinwheel.ini").find("two.Hole1=1"), std::string::npos);
    EXPECT_EQ(best_hole(1).strokes, 1);
    ASSERT_TRUE(course_choose("course"));
    EXPECT_EQ(best_hole(1).strokes, 0) << "the first course's records are apart";
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

namespace {

// What the play layer shows on the screen now, as the layout check sees it:
// every text drawn, joined by " | ".
std::string texts_shown() {
    std::vector<ui::Placed> placed;
    ui::record_placing(&placed);
    play_draw();
    ui::record_placing(nullptr);
    std::string shown;
    for (const ui::Placed &p : placed) {
        if (p.kind == ui::Placed::TEXT) {
            shown += p.text + " | ";
        }
    }
    return shown;
}

// A ball in the cup is a moment: "It's in!" at once, the word for the
// score a little later, the camera on the cup, and the game held until
// the moment is over; then the result.
TEST_F(PlayTest, ADropIsToldAndHeldAMomentOnTheCup) {
    play_single_hole();
    player(0)->aim_angle = angle_to_hole(0);
    devices.keys[DIK_SPACE] = 0x80;
    frames(frames_for(kIntoTheCup));
    devices.keys[DIK_SPACE] = 0;
    ASSERT_TRUE(frames_until([] { return player(0)->hole_state == BALL_HOLED; }, 300));
    frame();
    ASSERT_TRUE(round_dropping()) << "the step after the drop";
    const uint32_t dropped = clock;
    EXPECT_EQ(round_notice().text, "It's in!");
    EXPECT_EQ(round_notice().detail, "") << "the word comes a little later";
    EXPECT_NE(texts_shown().find("It's in!"), std::string::npos);
    ASSERT_TRUE(frames_until([] { return !round_notice().detail.empty(); }, 60));
    EXPECT_EQ(round_notice().detail, "Hole in one!");
    EXPECT_GE(clock - dropped, 600u);
    frames(20);
    // The camera has come round to the cup: it sees it, and looks at it.
    const XV_3D_CAMERA &view = camera_at(current_camera())->view;
    const float rim[3] = {kHole[0], 0.0f, kHole[2]};
    const float ball_on_rim[3] = {kHole[0], BALL_RADIUS, kHole[2]};
    EXPECT_TRUE(camera_sees_ball(view.position, ball_on_rim));
    float x, y, scale;
    ASSERT_TRUE(screen_place(rim, &x, &y, &scale));
    EXPECT_NEAR(x, ui::screen_width() / 2.0f, ui::screen_width() * 0.1f);
    EXPECT_NEAR(y, ui::screen_height() / 2.0f, ui::screen_height() * 0.1f);
    // Held: nothing goes on for two seconds and more.
    while (clock - dropped < 2000) {
        ASSERT_EQ(play_screen(), Screen::ROUND);
        ASSERT_TRUE(round_dropping());
        frame();
    }
    ASSERT_TRUE(frames_until([] { return play_screen() == Screen::RESULT; }, 60));
    EXPECT_EQ(history().find("round: player 1 holed, stroke 1\n") != std::string::npos, true);
}

// With two players the next turn waits for the moment; a computer's drop
// is told as a person's is, with its name.
TEST_F(PlayTest, TheNextTurnWaitsForTheMomentAndAComputersDropIsTold) {
    session().seats[1].computer = 3;
    std::snprintf(session().seats[1].name, sizeof session().seats[1].name, "Robo");
    play_course(2);
    player(0)->aim_angle = angle_to_hole(0);
    devices.keys[DIK_SPACE] = 0x80;
    frames(frames_for(kIntoTheCup));
    devices.keys[DIK_SPACE] = 0;
    ASSERT_TRUE(frames_until([] { return round_dropping(); }, 300));
    const uint32_t dropped = clock;
    ASSERT_TRUE(frames_until([] { return round_turn() == 1; }, 300));
    EXPECT_GE(clock - dropped, 2400u) << "the turn waited for the moment";
    std::string told;
    ASSERT_TRUE(frames_until(
        [&] {
            if (round_dropping() && !round_notice().detail.empty()) {
                told = round_notice().text + " " + round_notice().detail;
            }
            return play_screen() == Screen::RESULT;
        },
        3000));
    ASSERT_EQ(player(1)->hole_state, BALL_HOLED);
    EXPECT_EQ(told, "It's in! Robo: " + result_word(player(1)->strokes, 3, true));
}

} // namespace

namespace {

// The main loop's frames at a frame rate of its own: the rate measured,
// its steps run (one to three), the fake clock moved on by each frame's
// length in turn.
class MeterTest : public PlayTest {
  protected:
    void SetUp() override {
        PlayTest::SetUp();
        frame_reset();
    }
    void TearDown() override {
        frame_reset();
        PlayTest::TearDown();
    }
    void timed_frame() {
        time += lengths[next % lengths.size()];
        ++next;
        clock = static_cast<uint32_t>(std::lround(time));
        xv_input_poll();
        frame_rate_update();
        float steps[3];
        const int count = frame_steps(frame_rate(), steps);
        for (int i = 0; i < count; ++i) {
            play_step(steps[i]);
        }
    }
    double next_length() const { return lengths[next % lengths.size()]; }
    // A new single hole, the strike key held for that long (the key seen
    // down at one frame and up at the frame that long after): the power
    // struck.
    float power_of_hold(double hold, bool fine = false) {
        session().single_hole = true;
        session().hole = 1;
        play_start_session();
        frame();
        press(DIK_SPACE);
        EXPECT_TRUE(frames_until([] { return round_aiming(); }, 200));
        time = clock;
        player(0)->aim_angle = 90;
        devices.keys[DIK_LSHIFT] = fine ? 0x80 : 0;
        devices.keys[DIK_SPACE] = 0x80;
        timed_frame();
        const double pressed_at = time;
        while (time + next_length() < pressed_at + hold - 0.01) {
            timed_frame();
        }
        devices.keys[DIK_SPACE] = 0;
        timed_frame();
        devices.keys[DIK_LSHIFT] = 0;
        EXPECT_NEAR(time - pressed_at, hold, 0.01) << "the frames fall on the hold's ends";
        EXPECT_FALSE(round_aiming()) << "struck";
        return round_last_power(0);
    }

    std::vector<double> lengths = {1000.0 / 30};
    size_t next = 0;
    double time = 0;
};

// The power a person gets for a hold is the same on a fast machine and a
// slow one, and on one whose frames come unevenly: the meter goes by the
// clock, not by the frames.
TEST_F(MeterTest, AHoldGivesTheSamePowerAtAnyFrameRate) {
    const std::vector<std::pair<const char *, std::vector<double>>> machines = {
        {"10 a second", {100}},
        {"30 a second", {1000.0 / 30}},
        {"120 a second", {1000.0 / 120}},
        {"busy: 20 ms, then 180", {20, 180}},
    };
    for (const double hold : {1000.0, 400.0}) {
        for (const auto &[name, frame_lengths] : machines) {
            lengths = frame_lengths;
            next = 0;
            EXPECT_NEAR(power_of_hold(hold), meter_power(static_cast<float>(hold)), 0.002)
                << name << ", held " << hold << " ms";
        }
    }
    EXPECT_NEAR(meter_power(1000), 0.31f, 0.01f) << "a second: a third of a full stroke";
    // Shift held: the meter's clock runs at a quarter.
    lengths = {1000.0 / 30};
    EXPECT_NEAR(power_of_hold(1000, true), meter_power(250), 0.002);
}

// The meter rises slowly at first, so that a short putt is a hold a person
// can judge: power 0.04 to 0.06 (a putt of about a unit) is held for a
// window of 75 ms and more, and of 300 ms and more with Shift. It turns
// back from the top.
TEST(MeterPower, AShortPuttIsAHoldAPersonCanJudge) {
    int window = 0;
    for (int ms = 0; ms < 1800; ++ms) {
        const float power = meter_power(static_cast<float>(ms));
        window += power >= 0.04f && power <= 0.06f;
    }
    EXPECT_GE(window, 75);
    EXPECT_GE(window * 4, 300) << "with Shift the meter's clock runs at a quarter";
    EXPECT_FLOAT_EQ(meter_power(0), 0.0f);
    EXPECT_FLOAT_EQ(meter_power(1800), 1.0f);
    EXPECT_LT(meter_power(900), 0.3f) << "half the time is a quarter of the power";
    EXPECT_NEAR(meter_power(2700), meter_power(900), 1e-5f) << "and back down";
}

// The meter shows quarter marks and the last stroke's power.
TEST_F(PlayTest, TheMeterMarksTheQuartersAndTheLastStroke) {
    play_single_hole();
    stroke(90, 0.25f);
    EXPECT_NEAR(round_last_power(0), 0.25f, 0.03f);
    std::vector<ui::Placed> placed;
    ui::record_placing(&placed);
    play_draw();
    ui::record_placing(nullptr);
    // The meter's bar: the widest dark panel at the bottom; its marks are
    // thin panels inside it.
    int thin = 0;
    for (const ui::Placed &p : placed) {
        thin += p.kind == ui::Placed::PANEL && p.width <= 3 && p.y > ui::screen_height() / 2;
    }
    EXPECT_EQ(thin, 4) << "three quarter marks and the last stroke's";
}

} // namespace

namespace {

// The hint names the keys bound, in the player's language, for the device
// last used.
TEST_F(PlayTest, TheHintNamesTheKeysBoundInThePlayersLanguage) {
    test::write_file("data/language.txt", test::read_file(LANGUAGE_FILE));
    XV_DSP_LANGUAGES *languages = xv_dsp_load_languages("data\\language.txt");
    ASSERT_NE(languages, nullptr);
    app_state()->languages = languages;
    play_go(Screen::TITLE);
    press(DIK_DOWN);
    press(DIK_DOWN);
    press(DIK_RETURN);
    ASSERT_EQ(play_screen(), Screen::OPTIONS);
    for (int line = 0; line < 8; ++line) {
        press(DIK_DOWN); // to Strike
    }
    press(DIK_RETURN);
    press(DIK_J);
    EXPECT_EQ(::controls().strike, DIK_J);
    press(DIK_ESCAPE);
    ASSERT_EQ(play_screen(), Screen::TITLE);
    play_single_hole();
    std::string shown = texts_shown();
    EXPECT_NE(shown.find("Left/Right: aim · hold J: strike · Shift: finer"), std::string::npos)
        << shown;
    EXPECT_EQ(shown.find("Space"), std::string::npos) << shown;
    EXPECT_NE(shown.find("mouse"), std::string::npos) << "the first-time hint: " << shown;

    ASSERT_TRUE(xv_dsp_select_language(languages, 4)); // Deutsch
    shown = texts_shown();
    EXPECT_NE(shown.find("Links/Rechts: zielen · J halten: schlagen · Umschalt: feiner"),
              std::string::npos)
        << shown;

    devices.mouse.x = 20; // the mouse taken up
    frame();
    devices.mouse.x = 0;
    frame();
    shown = texts_shown();
    EXPECT_NE(shown.find("Maus: bewegen zum Zielen"), std::string::npos) << shown;
    press(DIK_LEFT);
    EXPECT_NE(texts_shown().find("J halten"), std::string::npos) << "the keys again";

    devices.keys[DIK_J] = 0x80; // and J strikes
    frames(15);
    devices.keys[DIK_J] = 0;
    frame();
    EXPECT_EQ(player(0)->strokes, 1);
    app_state()->languages = nullptr;
    xv_dsp_free_languages(languages);
}

// The language chosen in the Options takes at once and is kept: the next
// start comes back in it.
TEST_F(PlayTest, TheLanguageChosenInTheOptionsIsKept) {
    test::write_file("data/language.txt", test::read_file(LANGUAGE_FILE));
    XV_DSP_LANGUAGES *languages = xv_dsp_load_languages("data\\language.txt");
    ASSERT_NE(languages, nullptr);
    app_state()->languages = languages;
    play_go(Screen::TITLE);
    EXPECT_EQ(ui::say("NewGame"), "New Game");
    press(DIK_DOWN);
    press(DIK_DOWN);
    press(DIK_RETURN);
    ASSERT_EQ(play_screen(), Screen::OPTIONS);
    for (int line = 0; line < 4; ++line) {
        press(DIK_DOWN); // to Language
    }
    EXPECT_NE(texts_shown().find("Language: < English >"), std::string::npos);
    for (int step = 0; step < 3; ++step) {
        press(DIK_RIGHT); // French, Spanish, German
    }
    EXPECT_STREQ(app_language(), "DE");
    EXPECT_EQ(ui::say("NewGame"), "Neues Spiel");
    EXPECT_STREQ(session().seats[0].name, "Spieler 1") << "a default name follows the language";
    EXPECT_NE(texts_shown().find("Sprache: < Deutsch >"), std::string::npos);
    EXPECT_NE(test::read_file("pinwheel.ini").find("Language=4"), std::string::npos)
        << "kept at once";
    press(DIK_LEFT);
    press(DIK_LEFT);
    press(DIK_LEFT);
    press(DIK_LEFT); // back past English to Japanese
    EXPECT_STREQ(app_language(), "JP");
    EXPECT_NE(texts_shown().find("言語: < 日本語 >"), std::string::npos);
    press(DIK_RIGHT);
    press(DIK_RIGHT);
    press(DIK_RIGHT);
    press(DIK_RIGHT); // German again
    EXPECT_STREQ(session().seats[0].name, "Spieler 1");
    play_quit();
    const std::string kept = test::read_file("pinwheel.ini");
    EXPECT_NE(kept.find("Name1="), std::string::npos);
    EXPECT_EQ(kept.find("Name1=Spieler"), std::string::npos)
        << "a default name is kept as none, to come back in whatever language is shown";
    app_state()->languages = nullptr;
    xv_dsp_free_languages(languages);

    languages = xv_dsp_load_languages("data\\language.txt");
    ASSERT_NE(languages, nullptr);
    EXPECT_EQ(languages->current, 3) << "the next start is in German";
    xv_dsp_free_languages(languages);
}

} // namespace

namespace {

// A hole's record goes to the best score of the hole alone, when it beats
// the one kept; a tie keeps the older.
TEST_F(PlayTest, AHolesRecordGoesToItsBestScoreAlone) {
    play_course(2);
    stroke(90, kTap);                      // the first player: 3 strokes in all
    stroke(angle_to_hole(1), kIntoTheCup); // the second: a hole in one
    ASSERT_EQ(player(1)->hole_state, BALL_HOLED);
    ASSERT_EQ(player(1)->strokes, 1);
    stroke(90, kTap);
    stroke(angle_to_hole(0), kIntoTheCup);
    ASSERT_EQ(play_screen(), Screen::RESULT);
    ASSERT_EQ(player(0)->strokes, 3);
    const Record best = best_hole(1);
    EXPECT_EQ(best.strokes, 1);
    EXPECT_STREQ(best.name.c_str(), session().seats[1].name);
    const std::string shown = texts_shown();
    EXPECT_EQ(test::count_occurrences(shown, "New record!"), 1) << shown;
    EXPECT_NE(shown.find(std::string(session().seats[1].name) + ": Hole in one!  New record!"),
              std::string::npos)
        << shown;
}

TEST_F(PlayTest, ATieWithTheRecordKeepsTheOlderAndEqualsGoToTheFirstIn) {
    ASSERT_EQ(offer_hole_score(1, 1, "Old"), Offered::KEPT);
    play_course(2);
    stroke(angle_to_hole(0), kIntoTheCup);
    stroke(angle_to_hole(1), kIntoTheCup);
    ASSERT_EQ(play_screen(), Screen::RESULT);
    ASSERT_EQ(player(0)->strokes, 1);
    ASSERT_EQ(player(1)->strokes, 1);
    EXPECT_EQ(best_hole(1).name, "Old");
    EXPECT_EQ(texts_shown().find("New record!"), std::string::npos);
    // On the next hole, with none kept, the first of the two in the cup.
    press(DIK_RETURN);
    press(DIK_RETURN);
    ASSERT_EQ(play_screen(), Screen::ROUND);
    skip_flyby();
    stroke(angle_to_hole(0), kIntoTheCup);
    stroke(angle_to_hole(1), kIntoTheCup);
    ASSERT_EQ(play_screen(), Screen::RESULT);
    EXPECT_STREQ(best_hole(2).name.c_str(), session().seats[0].name);
}

} // namespace

namespace {

// Every screen of the play layer laid out in every language at 640 x 480,
// 800 x 600 and 1920 x 1080, measured with the game's own fonts: its
// panels and texts stand inside the screen and below the window's menu
// bar, and a text drawn on a panel lies wholly inside one.
class LayoutTest : public PlayTest {
  protected:
    void SetUp() override {
        PlayTest::SetUp();
        namespace fs = std::filesystem;
        for (const char *font : {"menu", "title", "menujp", "titlejp"}) {
            for (const char *ending : {".fnt", ".png", ".pal"}) {
                const std::string name = std::string("fonts/") + font + ending;
                fs::copy_file(fs::path(ARCHIVE_TREE) / name, name,
                              fs::copy_options::overwrite_existing);
            }
        }
        test::write_file("data/language.txt", test::read_file(LANGUAGE_FILE));
        languages = xv_dsp_load_languages("data\\language.txt");
        ASSERT_NE(languages, nullptr);
        app_state()->languages = languages;
        write_course(hole_names());
    }
    void TearDown() override {
        app_state()->languages = nullptr;
        xv_dsp_free_languages(languages);
        PlayTest::TearDown();
    }
    // The course's own names of hole 1 in every language, the longest ones
    // of the nine.
    std::vector<std::pair<std::string, std::string>> hole_names() {
        std::map<std::string, std::string> longest;
        std::istringstream levels(test::read_file(std::string(ARCHIVE_TREE) + "/data/levels.txt"));
        for (std::string line; std::getline(levels, line);) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line.rfind("name_", 0) == 0 && line.find('=') != std::string::npos) {
                const std::string key = line.substr(0, line.find('='));
                const std::string name = line.substr(line.find('=') + 1);
                longest[key] = name.size() > longest[key].size() ? name : longest[key];
            }
        }
        return {longest.begin(), longest.end()};
    }

    void check(const std::string &where) {
        const int sizes[][2] = {{640, 480}, {800, 600}, {1920, 1080}};
        for (const auto &size : sizes) {
            // Only the record's size changes: nothing is drawn while it is checked.
            screen.width = static_cast<int16_t>(size[0]);
            screen.height = static_cast<int16_t>(size[1]);
            std::vector<ui::Placed> placed;
            ui::record_placing(&placed);
            play_draw();
            ui::record_placing(nullptr);
            const std::string at = std::string(app_language()) + ", " + where + ", " +
                                   std::to_string(size[0]) + "x" + std::to_string(size[1]);
            check_placed(placed, size[0], size[1], at);
        }
        screen.width = 800;
        screen.height = 600;
    }
    void check_placed(const std::vector<ui::Placed> &placed, int width, int height,
                      const std::string &at) {
        const int top = ui::screen_top();
        EXPECT_FALSE(placed.empty()) << at;
        const auto inside = [](const ui::Placed &a, const ui::Placed &b) {
            return a.x >= b.x && a.y >= b.y && a.x + a.width <= b.x + b.width &&
                   a.y + a.height <= b.y + b.height;
        };
        const auto meet = [](const ui::Placed &a, const ui::Placed &b) {
            return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
                   b.y < a.y + a.height;
        };
        for (const ui::Placed &p : placed) {
            if (p.kind == ui::Placed::MARK) {
                continue; // the aim guide's dots lie on the course, wherever it is
            }
            const std::string what = p.kind == ui::Placed::TEXT ? "\"" + p.text + "\"" : "a panel";
            EXPECT_TRUE(p.x >= 0 && p.x + p.width <= width && p.y + p.height <= height)
                << what << " leaves the screen (" << p.x << "," << p.y << " " << p.width << "x"
                << p.height << ") at " << at;
            EXPECT_GE(p.y, top) << what << " lies under the menu bar at " << at;
            if (p.kind != ui::Placed::TEXT) {
                continue;
            }
            bool on_panel = false, in_panel = false;
            for (const ui::Placed &panel : placed) {
                if (panel.kind == ui::Placed::PANEL && meet(p, panel)) {
                    on_panel = true;
                    in_panel = in_panel || inside(p, panel);
                }
            }
            EXPECT_TRUE(!on_panel || in_panel)
                << what << " runs past its panel (" << p.x << "," << p.y << " " << p.width << "x"
                << p.height << ") at " << at;
        }
    }

    XV_DSP_LANGUAGES *languages = nullptr;
};

TEST_F(LayoutTest, EveryScreenFitsInEveryLanguage) {
    for (int place = 0; place < languages->count; ++place) {
        ASSERT_NE(languages->languages[place], nullptr);
        ASSERT_TRUE(xv_dsp_select_language(languages, languages->languages[place]->number));
        Session &s = session();
        s.players = 4;
        const char *const names[MOST_SEATS] = {"Maximilian", "Anne-Sophie", "Jean-Baptiste",
                                               "Bartholomew"};
        for (int seat = 0; seat < MOST_SEATS; ++seat) {
            std::snprintf(s.seats[seat].name, sizeof s.seats[seat].name, "%s", names[seat]);
            s.seats[seat].computer = seat == 3 ? 3 : 0;
        }
        ::controls().taught = false;
        offer_course_score(31, "Jean-Baptiste");
        offer_hole_score(1, 2, "Anne-Sophie");

        play_go(Screen::TITLE);
        check("title");
        press(DIK_DOWN);
        press(DIK_DOWN);
        press(DIK_RETURN);
        ASSERT_EQ(play_screen(), Screen::OPTIONS);
        check("options");
        for (int line = 0; line < 8; ++line) {
            press(DIK_DOWN);
        }
        press(DIK_RETURN);
        check("options, a key asked for");
        press(DIK_ESCAPE);
        press(DIK_ESCAPE);
        ASSERT_EQ(play_screen(), Screen::TITLE);
        press(DIK_DOWN);
        press(DIK_RETURN);
        ASSERT_EQ(play_screen(), Screen::CHOOSER);
        check("chooser");
        press(DIK_ESCAPE);
        press(DIK_RETURN);
        ASSERT_EQ(play_screen(), Screen::SETUP);
        check("setup");
        for (int line = 0; line < 4; ++line) {
            press(DIK_UP); // to the first player
        }
        press(DIK_RETURN);
        check("setup, a name typed");
        press(DIK_ESCAPE);
        for (int line = 0; line < 4; ++line) {
            press(DIK_DOWN); // to Start
        }
        press(DIK_RETURN);
        ASSERT_EQ(play_screen(), Screen::ROUND);
        frame();
        check("fly-by");
        skip_flyby();
        check("aiming");
        press(DIK_ESCAPE);
        ASSERT_EQ(play_screen(), Screen::PAUSE);
        check("pause");
        press(DIK_RETURN);
        ASSERT_EQ(play_screen(), Screen::ROUND);
        player(0)->aim_angle = angle_to_hole(0);
        devices.keys[DIK_SPACE] = 0x80;
        frames(frames_for(kIntoTheCup));
        devices.keys[DIK_SPACE] = 0;
        ASSERT_TRUE(frames_until([] { return !round_notice().detail.empty(); }, 300));
        check("a drop");
        ASSERT_TRUE(frames_until([] { return round_turn() == 1 && round_aiming(); }, 300));
        check("the second player aiming, the meter marked");
        stroke(90, kTap);
        stroke(90, kTap);
        ASSERT_TRUE(frames_until([] { return round_thinking(); }, 300));
        check("a computer thinking");
        ASSERT_TRUE(frames_until([] { return round_turn() == 1 && round_aiming(); }, 3000));
        for (int tries = 0; tries < 12 && play_screen() == Screen::ROUND; ++tries) {
            if (round_aiming() && !computer_level(round_turn())) {
                stroke(angle_to_hole(round_turn()), kIntoTheCup);
            } else {
                frame();
            }
        }
        ASSERT_TRUE(frames_until([] { return play_screen() == Screen::RESULT; }, 3000));
        check("result");
        press(DIK_RETURN);
        ASSERT_EQ(play_screen(), Screen::SCORECARD);
        check("scorecard");
        press(DIK_R);
        if (play_screen() == Screen::REPLAY) {
            check("replay");
            press(DIK_ESCAPE);
        }
        play_go(Screen::FINAL);
        check("final standings");
        s.single_hole = true;
        play_go(Screen::SCORECARD);
        check("scorecard of a single hole");
        s.single_hole = false;
        play_go(Screen::TITLE);
    }
}

} // namespace

namespace {

// The aim guide lies on the ground along the aim, at least four balls long,
// and stops at the first wall it meets, which it marks.
TEST_F(PlayTest, TheAimGuideLiesOnTheGroundAndMarksTheFirstWall) {
    play_single_hole();
    const float tee[3] = {-1, BALL_RADIUS, 3};
    const AimGuide open = aim_guide(tee, 0, false);
    ASSERT_GE(open.points.size(), 8u) << "four balls long at least";
    EXPECT_FALSE(open.meets_wall) << "the far wall is eight units away";
    for (const auto &point : open.points) {
        EXPECT_NEAR(point[1], 0.0f, 0.02f) << "on the floor";
        EXPECT_NEAR(point[0], -1.0f, 1e-4f) << "along the aim";
    }
    EXPECT_LT(open.points.back()[2], 3.0f - 4 * 2 * BALL_RADIUS);

    const float near_wall[3] = {0, BALL_RADIUS, -4.4f};
    const AimGuide short_of = aim_guide(near_wall, 0, false);
    ASSERT_TRUE(short_of.meets_wall);
    EXPECT_NEAR(short_of.wall[2], -5.0f, 0.05f) << "the north wall's face";
    EXPECT_NEAR(short_of.wall_normal[2], 1.0f, 0.01f);
    EXPECT_FALSE(short_of.wall_mark.empty());
    for (const auto &point : short_of.points) {
        EXPECT_GT(point[2], -5.0f + BALL_RADIUS - 0.01f) << "nothing past the wall";
    }
    EXPECT_TRUE(short_of.bounce.empty()) << "the bounce only when asked for";

    // Asked for, it runs on to the first wall however far, and back off it.
    const AimGuide to_bounce = aim_guide(tee, 30, true);
    ASSERT_TRUE(to_bounce.meets_wall);
    ASSERT_FALSE(to_bounce.bounce.empty());
    EXPECT_GT(to_bounce.points.size(), open.points.size());
    EXPECT_NEAR(to_bounce.wall[0], -5.0f, 0.05f) << "aimed at 30 degrees: the west wall";
    EXPECT_GT(to_bounce.bounce.back()[0], to_bounce.bounce.front()[0]) << "back off it, eastwards";
    EXPECT_LT(to_bounce.bounce.back()[2], to_bounce.bounce.front()[2]) << "still going north";
}

// On a slope the guide climbs with the ground.
TEST_F(PlayTest, TheAimGuideFollowsASlope) {
    // Rising by 0.2 a unit towards -z; the ball rests on it at z = 3.
    std::vector<float> heights;
    for (int row = 0; row <= 10; ++row) {
        for (int column = 0; column <= 10; ++column) {
            heights.push_back(0.2f * static_cast<float>(10 - row));
        }
    }
    Wo2FaceGroup slope = wo2_heightfield(heights, 11, 11, 1.0f);
    test::write_file("gfx/course.wo2",
                     test::model_of({{"slope", test::shifted(slope, -5, 0, -5)}}));
    play_single_hole();
    const auto ground = [](float z) { return 0.2f * (5.0f - z); };
    const float on_slope[3] = {0, ground(3) + BALL_RADIUS, 3};
    const AimGuide up = aim_guide(on_slope, 0, false);
    ASSERT_GE(up.points.size(), 8u);
    for (const auto &point : up.points) {
        EXPECT_NEAR(point[1], ground(point[2]), 0.02f) << "at z " << point[2];
    }
    EXPECT_GT(up.points.back()[1], up.points.front()[1] + 0.2f);
    const AimGuide down = aim_guide(on_slope, 180, false);
    ASSERT_FALSE(down.points.empty());
    EXPECT_LT(down.points.back()[1], on_slope[1] - 0.2f);
}

// The guide is drawn over the picture while the player aims, so that the
// camera sees it wherever it stands; it goes with the stroke.
TEST_F(PlayTest, TheGuideIsDrawnWhileAiming) {
    play_single_hole();
    const auto dots = [] {
        std::vector<ui::Placed> placed;
        ui::record_placing(&placed);
        play_draw();
        ui::record_placing(nullptr);
        int count = 0;
        for (const ui::Placed &p : placed) {
            count += p.kind == ui::Placed::MARK && p.width == p.height && p.width <= 14;
        }
        return count;
    };
    ASSERT_NE(round_guide(), nullptr);
    EXPECT_GE(dots(), 8);
    player(0)->aim_angle = 0;
    devices.keys[DIK_SPACE] = 0x80;
    frames(frames_for(kTap));
    devices.keys[DIK_SPACE] = 0;
    frame();
    EXPECT_EQ(round_guide(), nullptr);
    EXPECT_EQ(dots(), 0);
}

} // namespace
