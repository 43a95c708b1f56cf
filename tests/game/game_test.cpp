// Course play: levels loaded from the level list and released, the course
// moving from hole to hole, the level step (the pinwheel, the wind, the
// water a hole names), the level keys, and a ball dropping into the hole with its
// sounds, on the fake clock.
#include "level_test.h"

#include "os_sound.h"
#include "wavgen.h"

#include <cmath>

namespace {

using test::count_occurrences;
using test::read_file;
using test::write_file;

class GameTest : public test::LevelTest {};

TEST_F(GameTest, HolesAreSectionsOfThreeDigits) {
    auto seven = test::level_keys("gfx\\course.wo2");
    auto twelve = seven;
    seven[3].second = "2";   // par
    twelve[3].second = "12"; // par
    write_levels({{7, seven}, {12, twelve}});
    start_single_level(7);
    EXPECT_EQ(game()->state, GAME_SINGLE_HOLE);
    EXPECT_FALSE(level_loaded()) << "the host loads it";
    level_init();
    EXPECT_EQ(game()->par, 2);
    EXPECT_EQ(game()->state, GAME_LOADED);
    start_single_level(12);
    level_init();
    EXPECT_EQ(game()->par, 12);
    EXPECT_EQ(errors(), "");
}

TEST_F(GameTest, OnePlayerTakesTheFirstBallAndMoreTakeTheirColours) {
    write_flat_levels({1});
    start_game(1);
    ASSERT_EQ(player_count(), 1);
    EXPECT_EQ(player(0)->ball_node, 3) << "after the course, the resting ball and the pinwheel";
    EXPECT_EQ(node(3)->model, &game()->objects[OBJECT_SINGLE_BALL]);

    start_game(3);
    ASSERT_EQ(player_count(), 3);
    const float starts[3] = {-1, -0.5f, 0.5f};
    for (int i = 0; i < 3; ++i) {
        const PLAYER *record = player(i);
        EXPECT_EQ(record->ball_node, 3 + i);
        EXPECT_EQ(node(record->ball_node)->model, &game()->objects[OBJECT_PLAYER_BALL + i]);
        EXPECT_EQ(node(record->ball_node)->position[0], starts[i]);
        EXPECT_EQ(node(record->ball_node)->position[2], 3.0f);
        EXPECT_EQ(record->aim_angle, 180.0f);
        EXPECT_EQ(record->radius, BALL_RADIUS);
        EXPECT_EQ(record->gravity, BALL_GRAVITY);
    }
    EXPECT_EQ(game()->ball_node, 5);
    EXPECT_EQ(node(0)->flags & (XV_3D_NODE_SCENERY | XV_3D_NODE_TRANSLUCENT_PASS),
              XV_3D_NODE_SCENERY | XV_3D_NODE_TRANSLUCENT_PASS);
    EXPECT_EQ(node(1)->flags & XV_3D_NODE_TRANSLUCENT_PASS, XV_3D_NODE_TRANSLUCENT_PASS);
    EXPECT_EQ(node(2)->position[2], -3.0f) << "the pinwheel stands over the hole";
    EXPECT_EQ(game()->state, GAME_HOLE_STARTED);
    EXPECT_EQ(game()->holes_played, 1);
    EXPECT_EQ(errors(), "");
}

TEST_F(GameTest, ACourseEndsAfterTheNinthHoleAndASingleHoleAtOnce) {
    write_flat_levels({1, 2, 3, 4, 5, 6, 7, 8, 9});
    start_game(2);
    for (int hole = 2; hole <= 9; ++hole) {
        next_level();
        EXPECT_EQ(game()->level, hole);
        EXPECT_EQ(game()->state, GAME_HOLE_STARTED);
        EXPECT_TRUE(level_loaded());
        EXPECT_EQ(player_count(), 2) << "the players come again with every hole";
    }
    EXPECT_EQ(game()->holes_played, 9);
    next_level();
    EXPECT_EQ(game()->state, GAME_OVER);
    EXPECT_EQ(game()->game_over, 1);
    EXPECT_EQ(count_occurrences(history(), "-- reload the new level\n"), 8);

    start_single_level(3);
    level_init();
    EXPECT_EQ(game()->game_over, 0);
    next_level();
    EXPECT_EQ(game()->state, GAME_OVER);
    EXPECT_EQ(game()->level, 4) << "counted on, never loaded";
    EXPECT_EQ(errors(), "");
}

TEST_F(GameTest, ScoresCountTheHolesBeforeThisOne) {
    write_flat_levels({1});
    start_game(2);
    game()->scores[1][0] = 4;
    game()->scores[1][1] = 3;
    game()->scores[1][2] = 5;
    player(1)->strokes = 2;
    EXPECT_EQ(total_score(1), 2) << "holes played 1: this hole alone";
    game()->holes_played = 3;
    EXPECT_EQ(total_score(1), 2 + 4 + 3) << "on hole 3, holes 1 and 2 count";
    EXPECT_EQ(player(1)->total, 9);
    game()->holes_played = 10;
    EXPECT_EQ(total_score(1), 2 + 4 + 3 + 5) << "past the ninth hole, the nine columns";
    reset_scores();
    EXPECT_EQ(game()->holes_played, 1);
    EXPECT_EQ(game()->scores[1][0], 0);
}

TEST_F(GameTest, DeinitWithoutALevelDoesNothing) {
    level_deinit();
    EXPECT_EQ(history().find("LEVEL DEINIT"), std::string::npos);
    EXPECT_EQ(errors(), "");
}

// Whatever a level had loaded when it stopped is released by the next
// level_deinit; the tracker checks that nothing is left at the test's end.
TEST_F(GameTest, ALevelThatStoppedHalfWayIsReleased) {
    const char *dropped[] = {"screen", "world_file", "music", "cam_file"};
    const char *said[] = {"screen not found", "Level_file not found", "Music not found",
                          "cam_file not found"};
    for (int i = 0; i < 4; ++i) {
        auto keys = test::level_keys("gfx\\course.wo2");
        std::erase_if(keys, [&](const auto &key) { return key.first == dropped[i]; });
        write_levels({{1, keys}});
        std::remove("error.txt");
        gen_info_deinit();
        gen_info_init();
        start_game(1);
        EXPECT_NE(errors().find(said[i]), std::string::npos) << dropped[i];
        EXPECT_EQ(level_loaded(), i >= 2) << dropped[i];
        level_deinit();
        EXPECT_FALSE(level_loaded());
        EXPECT_EQ(player_count(), 0);
    }
}

TEST_F(GameTest, TheTrailAndTheScriptsAreOptionalAndQuiet) {
    write_flat_levels({1});
    start_game(1);
    EXPECT_EQ(game()->trail, nullptr);
    EXPECT_EQ(warnings(), "") << "no report of a missing intro or script_file";
    EXPECT_NE(history().find("Memory Allocated Max:  "), std::string::npos);
    EXPECT_NE(history().find("Memory Allocated Current:  "), std::string::npos);

    auto keys = test::level_keys("gfx\\course.wo2");
    keys.push_back({"intro", "data\\intro.txt"});
    write_levels({{1, keys}});
    write_file("data/intro.txt",
               test::ini_text({{"PointSet",
                                {{"PointCount", "3"},
                                 {"Point0000", "0,0,1"},
                                 {"Point0001", "0,2,1"},
                                 {"Point0002", "0,4,1"}}},
                               {"CurveSet", {{"CurveCount", "1"}, {"Curve0000", "0,1,2"}}}}));
    start_game(1);
    ASSERT_NE(game()->trail, nullptr);
    EXPECT_EQ(game()->trail->curve->end.z, -4.0f);
    EXPECT_EQ(warnings(), "");
    EXPECT_EQ(errors(), "");
}

// The pinwheel turns |sin(phase)| × 6.3 + 2.4 degrees a step, the phase
// taken before the step adds its 0.01.
TEST_F(GameTest, ThePinwheelTurnsByItsSpeedLaw) {
    write_flat_levels({1});
    start_game(1);
    GEN_WO2 *pinwheel = &game()->objects[OBJECT_PINWHEEL];
    const int32_t reference = gen_wo2_find_reference(pinwheel, "Pinwheel");
    ASSERT_GE(reference, 0);
    auto turned = [&] {
        float m[16];
        xv_3d_object_get_reference_matrix(pinwheel, reference, m);
        return std::fabs(std::atan2(m[1], m[0])) * 180 / 3.14159265f;
    };
    steps(1);
    EXPECT_NEAR(turned(), 2.4f, 1e-3f);
    steps(1);
    EXPECT_NEAR(turned(), 2.4f + std::sin(0.01f) * 6.3f + 2.4f, 1e-3f);
    EXPECT_NEAR(game()->pinwheel_phase, 0.02f, 1e-6f);
    steps(1, 0.5f);
    EXPECT_NEAR(game()->pinwheel_phase, 0.025f, 1e-6f);
}

// A step below half is taken as half: eight sub-steps of 1/16, each adding
// gravity / 16 to a falling ball's speed; and no more than once in 5 ms.
TEST_F(GameTest, BallUpdatesRunEightSubstepsAtMostEveryFiveMilliseconds) {
    write_flat_levels({1});
    start_game(1);
    PLAYER *ball = player(0);
    node(ball->ball_node)->position[1] = 5; // falling, far from the floor
    clock += 100;
    ball_update(ball, 0.2f);
    EXPECT_NEAR(ball->velocity_y, 8 * 0.0625f * BALL_GRAVITY, 1e-7f);
    EXPECT_EQ(ball->next_physics, clock + 5);
    ball_update(ball, 0.2f);
    clock += 5;
    ball_update(ball, 0.2f);
    EXPECT_NEAR(ball->velocity_y, 8 * 0.0625f * BALL_GRAVITY, 1e-7f) << "not within 5 ms";
    clock += 1;
    ball_update(ball, 1.0f);
    EXPECT_NEAR(ball->velocity_y, (0.5f + 1.0f) * BALL_GRAVITY, 1e-7f);
}

// A slow frame runs two or three level steps at once, with no time between
// them: thirty steps roll the ball as far three a frame as one a frame.
TEST_F(GameTest, StepsCaughtUpInOneFrameMoveTheBallsAsFar) {
    write_flat_levels({1});
    float rolled[2];
    for (int per_frame : {1, 3}) {
        start_game(1);
        PLAYER *ball = player(0);
        XV_3D_NODE *place = node(ball->ball_node);
        steps(20); // at rest on the floor
        const float from = place->position[2];
        ball->velocity_z = ball->previous_velocity_z = -0.5f;
        for (int frame = 0; frame < 30 / per_frame; ++frame) {
            clock += 34 * per_frame;
            for (int step = 0; step < per_frame; ++step) {
                game_step(1.0f); // the clock stands still between a frame's steps
            }
        }
        rolled[per_frame / 3] = place->position[2] - from;
        level_deinit();
    }
    EXPECT_LT(rolled[0], -1.0f);
    EXPECT_NEAR(rolled[1], rolled[0], 1e-4f);
}

TEST_F(GameTest, NothingMovesUntilTheHostStartsTheHole) {
    write_flat_levels({1});
    start_single_level(1);
    level_init();
    const float before = node(3)->position[1];
    node(3)->position[1] += 1; // in the air
    steps(10);
    EXPECT_EQ(node(3)->position[1], before + 1) << "game state 0: the level waits";
    game()->state = GAME_HOLE_STARTED;
    steps(10);
    EXPECT_LT(node(3)->position[1], before + 1);
}

TEST_F(GameTest, TheWindTurnsOnlyWhileASingleHoleIsPlayed) {
    write_flat_levels({1});
    start_game(1);
    game()->wind_direction = 77;
    steps(500); // 20 seconds
    EXPECT_EQ(game()->wind_direction, 77);
    game()->state = GAME_SINGLE_HOLE;
    steps(1);
    // Seeded with the tick count 21040: 21040 × 16807 mod (2^31 - 1) is
    // 353619280, and 353619280 mod 360 is 280.
    EXPECT_EQ(clock, 21040u);
    EXPECT_EQ(game()->wind_direction, 280);
    const uint32_t next = game()->next_wind_change;
    EXPECT_GE(next, clock + 2000);
    EXPECT_LT(next, clock + 17000);
    steps(static_cast<int>((next - clock) / 40) - 1);
    EXPECT_EQ(game()->wind_direction, 280) << "until the next change";
    steps(2);
    EXPECT_NE(game()->next_wind_change, next);
}

// Running water is the part the hole names: hole 4's box07 slides, the
// same part on hole 3, which names none, stands.
TEST_F(GameTest, TheWaterAHoleNamesSlides) {
    Wo2Model course;
    course.materials.push_back(Wo2Material{});
    Wo2Object floor = test::object("floor", {test::floor_grid(5, 0, 4)});
    Wo2Object stream = test::object("box07", {test::floor_grid(1, 0.01f, 1)});
    stream.groups[0].material = 1;
    course.objects = {floor, stream};
    course.references = {{0, "floor"}, {1, "box07"}};
    write_file("gfx/stream.wo2", wo2_write(course));
    auto with_stream = test::level_keys("gfx\\stream.wo2");
    with_stream.push_back({"stream", "box07"});
    write_levels({{1, test::level_keys("gfx\\stream.wo2")},
                  {2, test::level_keys("gfx\\stream.wo2")},
                  {3, test::level_keys("gfx\\stream.wo2")},
                  {4, with_stream}});
    for (int level : {3, 4}) {
        start_single_level(level);
        level_init();
        game()->state = GAME_HOLE_STARTED;
        steps(2);
        steps(1, 0.5f);
        GEN_WO2_MATERIAL material;
        xv_3d_object_get_material(&game()->model, 1, &material);
        if (level == 4) {
            EXPECT_EQ(material.properties & 0x80, 0x80);
            EXPECT_NEAR(material.texture_matrix[5], -0.015f * 2.5f, 1e-6f);
        } else {
            EXPECT_EQ(material.properties & 0x80, 0);
            EXPECT_EQ(material.texture_matrix[5], 0.0f);
        }
    }
    EXPECT_EQ(errors(), "");
}

// B and V act once a press; action 15 repeats no sooner than every 60
// steps; L moves on only with Right Control and Right Shift held.
TEST_F(GameTest, TheLevelKeys) {
    write_flat_levels({1, 2});
    start_game(2);
    ASSERT_EQ(camera_count(), 2);
    auto press = [&](std::initializer_list<int> keys, int count = 1) {
        for (int key : keys) {
            devices.keys[key] = 0x80;
        }
        for (int i = 0; i < count; ++i) {
            clock += 40;
            game_step(1.0f);
        }
        for (int key : keys) {
            devices.keys[key] = 0;
        }
        clock += 40;
        game_step(1.0f);
    };
    press({DIK_B}, 5);
    EXPECT_EQ(current_camera(), 1) << "held, it switched once";
    press({DIK_B});
    EXPECT_EQ(current_camera(), 0) << "after the last, the first";
    press({DIK_V}, 3);
    EXPECT_EQ(current_player(), 1);
    press({DIK_V});
    EXPECT_EQ(current_player(), 0);

    xv_kb_set_key(&player(0)->keys, ACTION_REPEAT, DIK_R, nullptr);
    devices.keys[DIK_R] = 0x80;
    int repeats = 0;
    for (int i = 0; i < 130; ++i) {
        clear_repeat_flag();
        clock += 40;
        game_step(1.0f);
        repeats += repeat_flag();
    }
    devices.keys[DIK_R] = 0;
    EXPECT_EQ(repeats, 3) << "at the first step, then after 60 and 120";

    press({DIK_L});
    EXPECT_EQ(game()->level, 1);
    press({DIK_L, DIK_RCONTROL});
    EXPECT_EQ(game()->level, 1);
    press({DIK_L, DIK_RCONTROL, DIK_RSHIFT});
    EXPECT_EQ(game()->level, 2);
    EXPECT_EQ(errors(), "");
}

// The sound slots on SDL's dummy device, held still so that an effect plays
// until it is stopped.
class HoleTest : public test::LevelTest {
  protected:
    void SetUp() override {
        LevelTest::SetUp();
        for (const std::string &name : wav_effect_names()) {
            const std::vector<uint8_t> wav = wav_file(wav_effect(name, 11025), 11025, 1);
            write_file("snd/" + name + ".wav", std::string(wav.begin(), wav.end()));
        }
        xv_io_set_settings_file("sound.ini");
        ASSERT_EQ(xv_snd_init(&sound), 1);
        os_sound_hold(1);
        load_sound_slots();
        write_flat_levels({1});
    }
    void TearDown() override {
        level_deinit();
        game()->level = 0;
        release_sound_slots();
        xv_snd_deinit();
        xv_io_set_settings_file(nullptr);
        LevelTest::TearDown();
    }
    // Putts the first ball straight at the hole from 6 units away.
    void putt(int strokes) {
        start_game(1);
        PLAYER *ball = player(0);
        node(ball->ball_node)->position[0] = 0;
        ball->strokes = strokes;
        ball->velocity_z = ball->previous_velocity_z = -1.5f;
        for (int i = 0; i < 100 && game()->state != GAME_HOLED; ++i) {
            steps(1);
        }
    }
    int playing_slot() {
        int found = -1;
        for (int slot = 0; slot < SOUND_SLOTS; ++slot) {
            if (sound_slot(slot) && xv_snd_effect_playing(sound_slot(slot))) {
                EXPECT_EQ(found, -1) << "one slot at a time";
                found = slot;
            }
        }
        return found;
    }

    std::atomic<int32_t> active{1}, digital_music{1};
    int sound_effects = 1, music_volume = 70, sound_volume = 80, interpolation = 4;
    XV_SND_CONFIG sound = {
        1, &active, &digital_music, &sound_effects, &music_volume, &sound_volume, &interpolation,
        0, 0};
};

TEST_F(HoleTest, TheDropSaysHowTheHoleWentAndStopsTheBall) {
    const int strokes[] = {1, 2, 3, 6};
    const int slots[] = {SLOT_HOLE_IN_ONE, SLOT_PAR, SLOT_PAR, SLOT_OVER_PAR}; // par 3
    for (int i = 0; i < 4; ++i) {
        putt(strokes[i]);
        ASSERT_EQ(game()->state, GAME_HOLED) << strokes[i] << " strokes";
        EXPECT_EQ(game()->state_deadline, clock + 2000);
        EXPECT_EQ(player(0)->hole_state, 2);
        EXPECT_EQ(playing_slot(), slots[i]) << strokes[i] << " strokes";
        stop_all_slots();
        steps(30);
        EXPECT_EQ(playing_slot(), -1) << "a ball in the hole plays nothing more";
        level_deinit();
    }
}

TEST_F(HoleTest, AWallSoundsOfItsKind) {
    start_game(1);
    PLAYER *ball = player(0);
    ball->velocity_x = ball->previous_velocity_x = 1.5f; // into the east wall
    for (int i = 0; i < 40 && playing_slot() < 0; ++i) {
        steps(1);
    }
    EXPECT_EQ(playing_slot(), SLOT_WALL + 1) << "kind_wall=1: stone";
}

} // namespace
