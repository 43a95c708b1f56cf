// The cameras of a level: the camera file, looking at nodes and points, the
// direct follow that rises over what hides the ball, the smooth follow whose
// axes arrive together, riding the trail, trigger switching.
#include "level_test.h"

#include <cmath>
#include <vector>

namespace {

using test::write_file;

struct Event {
    int camera, event;
};
std::vector<Event> events;

void record_event(int camera, int event, int parameter) {
    EXPECT_EQ(parameter, 0);
    events.push_back({camera, event});
}

class CameraTest : public test::LevelTest {
  protected:
    void SetUp() override {
        LevelTest::SetUp();
        events.clear();
    }
    // A level whose course is the flat one, or the given model.
    void start_level(const std::string &course = "") {
        if (!course.empty()) {
            write_file("gfx/course.wo2", course);
        }
        write_flat_levels({1});
        start_game(1);
        set_camera_event_handler(record_event);
    }
    CAMERA_CONTROL control_of(int index) {
        CAMERA_CONTROL control{};
        get_camera_control(&control, index);
        return control;
    }
    XV_3D_CAMERA &view(int index) { return camera_at(index)->view; }
    XV_3D_NODE *ball() { return node(player(0)->ball_node); }
};

TEST_F(CameraTest, TheFileNamesCamerasInThreeDigits) {
    test::Sections sections = {{"Level Properties", {{"num_cam", "12"}}}};
    for (int n = 1; n <= 12; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "Camera%03d", n);
        sections.push_back({name,
                            {{"position", std::to_string(n) + ",2,3"},
                             {"collision_sphere_position", "4,5,6"},
                             {"collision_sphere_radius", "1.5"},
                             {"name", "camera " + std::to_string(n)}}});
    }
    write_file("data/cams.txt", test::ini_text(sections));
    start_level();
    ASSERT_EQ(camera_count(), 12);
    const CAMERA *twelfth = camera_at(11);
    EXPECT_STREQ(twelfth->name, "camera 12");
    EXPECT_EQ(twelfth->index, 11);
    EXPECT_EQ(twelfth->view.position[0], 12.0f);
    EXPECT_EQ(twelfth->view.rotation[0], 0.0f);
    EXPECT_EQ(twelfth->control.flags, CAMERA_LOOK_AT_NODE | CAMERA_TRIGGER) << "the letter A";
    EXPECT_EQ(twelfth->control.look_at_node, 3);
    EXPECT_EQ(twelfth->control.trigger_radius, 1.5f);
    EXPECT_EQ(twelfth->control.trigger_centre[2], 6.0f);
    EXPECT_EQ(errors(), "");
    free_cameras();
    EXPECT_EQ(camera_count(), 0);
    EXPECT_EQ(current_camera(), 0);
}

// A count of 999 in a file of a few bytes read every key of 999 missing
// sections, each missing one a report of its own.
TEST_F(CameraTest, CamerasTheFileCannotHoldAreRefusedInOneReport) {
    const std::string promise = test::ini_text({{"Level Properties", {{"num_cam", "999"}}}});
    write_file("data/cams.txt", promise);
    load_cameras("data\\cams.txt");
    EXPECT_EQ(camera_count(), 0);
    EXPECT_NE(errors().find("load_cameras: data\\cams.txt names 999 cameras, more than its " +
                            std::to_string(promise.size()) + " bytes can hold"),
              std::string::npos);

    // Bytes enough, but two cameras of the four promised.
    test::Sections sections = {{"Level Properties", {{"num_cam", "4"}}}};
    for (const char *name : {"Camera001", "Camera002"}) {
        sections.push_back({name,
                            {{"position", "1,2,3"},
                             {"collision_sphere_position", "0,0,0"},
                             {"collision_sphere_radius", "1"},
                             {"name", name}}});
    }
    write_file("data/cams.txt", test::ini_text(sections));
    load_cameras("data\\cams.txt");
    EXPECT_EQ(camera_count(), 2);
    EXPECT_NE(errors().find("names 4 cameras, but [Camera003] has no position: the cameras end "
                            "there"),
              std::string::npos);
    EXPECT_EQ(test::count_occurrences(errors(), "* * * E R R O R ! * * *"), 2);
    EXPECT_EQ(warnings(), "");
    free_cameras();
}

// A camera runs every update: a node it names that the world lacks was an
// engine error every update.
TEST_F(CameraTest, ANodeTheWorldLacksIsReportedOnceForTheCamera) {
    start_level();
    CAMERA_CONTROL control = control_of(0);
    control.flags = CAMERA_FOLLOW | CAMERA_LOOK_AT_NODE;
    control.followed_node = 99;
    set_camera_control(&control, 0);
    for (int update = 0; update < 10; ++update) {
        camera_update();
    }
    EXPECT_EQ(test::count_occurrences(errors(), "Camera 0 (cam_followed) names the node 99, which "
                                                "the world does not have"),
              1);
    control.followed_node = 98; // a new control: said again
    set_camera_control(&control, 0);
    camera_update();
    EXPECT_EQ(test::count_occurrences(errors(), "names the node 98"), 1);
}

// "camstart" puts the first player's camera where the player's view starts.
TEST_F(CameraTest, TheCameraStartMovesTheFirstCamera) {
    start_level();
    EXPECT_EQ(view(0).position[2], 8.0f);
    EXPECT_EQ(view(0).rotation[1], 180.0f);
    EXPECT_EQ(view(1).position[2], -3.0f) << "the other cameras stay where the file puts them";
}

TEST_F(CameraTest, LookingAtANodeAndAPoint) {
    start_level();
    // Camera 0 at (0, 3, 8) watches the ball at (-1, 0.25, 3); put the ball
    // under it at (0, 0, 3): 3 below and 5 ahead.
    ball()->position[0] = 0;
    ball()->position[1] = 0;
    camera_update();
    EXPECT_NEAR(view(0).rotation[1], 0.0f, 1e-3f) << "atan2 by the game's rule, less 90";
    EXPECT_NEAR(view(0).rotation[0], 90.0f - std::atan(5.0f / 3.0f) * 57.29747f, 1e-3f);

    CAMERA_CONTROL control = control_of(1);
    control.flags = CAMERA_LOOK_AT_POINT;
    control.look_at_point[0] = 4; // camera 1 is at (0, 4, -3): look 4 along +x, level
    control.look_at_point[1] = 4;
    control.look_at_point[2] = -3;
    set_camera_control(&control, 1);
    camera_update();
    EXPECT_NEAR(view(1).rotation[0], 0.0f, 1e-3f);
    // Half a turn is 3.1415927 radians, 180.0053 degrees by the game's factor.
    EXPECT_NEAR(view(1).rotation[1], 3.1415927f * 57.29747f - 90, 1e-3f);
}

TEST_F(CameraTest, TheSmoothFollowsAxesArriveTogether) {
    start_level();
    XV_3D_NODE *followed = ball();
    followed->position[0] = followed->position[1] = followed->position[2] = 0;
    CAMERA_CONTROL control{};
    control.flags = CAMERA_FOLLOW | CAMERA_SMOOTH;
    control.followed_node = player(0)->ball_node;
    control.smooth_speed = 1;
    set_camera_control(&control, 1);
    view(1).position[0] = 10, view(1).position[1] = 5, view(1).position[2] = 0;
    for (int update = 1; update <= 13; ++update) {
        camera_update();
        if (update <= 10) {
            EXPECT_NEAR(view(1).position[0], 10.0f - update, 1e-4f);
            EXPECT_NEAR(view(1).position[1], 5.0f - 0.5f * update, 1e-4f);
        }
        const bool arrived = !events.empty() && events.back().camera == 1;
        EXPECT_EQ(arrived, update >= 10) << "update " << update;
        events.clear();
    }
}

TEST_F(CameraTest, TheArrivalOfCameraZeroEndsTheApproach) {
    start_level();
    set_camera_event_handler(camera_event);
    CAMERA_CONTROL control = control_of(0);
    control.flags = CAMERA_FOLLOW | CAMERA_SMOOTH;
    control.followed_node = player(0)->ball_node;
    control.offset[2] = 4;
    control.smooth_speed = 0.5f;
    set_camera_control(&control, 0);
    for (int i = 0; i < 100 && game()->state != GAME_APPROACHED; ++i) {
        camera_update();
    }
    EXPECT_EQ(game()->state, GAME_APPROACHED);
    EXPECT_EQ(game()->state_deadline, 1u);
    EXPECT_EQ(control_of(0).flags, CAMERA_FOLLOW) << "it follows directly from now on";
    camera_event(1, CAMERA_ARRIVED, 0);
    camera_event(0, CAMERA_TRAIL_END, 0);
    EXPECT_EQ(control_of(0).flags, CAMERA_FOLLOW);
}

// Behind a wall the direct follow rises 0.03 an update, up to a unit over
// its height, and sinks back 0.01 an update once the ball is in sight.
TEST_F(CameraTest, TheDirectFollowRisesOverWhatHidesTheBall) {
    start_level(test::model_of({{"floor", test::floor_grid(20, 0, 10)},
                                {"wall", test::shifted(wo2_box(10, 20, 0.5f), 0, 10, 2.5f)}}));
    XV_3D_NODE *followed = ball();
    followed->position[0] = followed->position[2] = 0; // resting at 0.25
    CAMERA_CONTROL control{};
    control.flags = CAMERA_FOLLOW;
    control.followed_node = player(0)->ball_node;
    control.offset[1] = 2;
    control.offset[2] = 5; // behind the wall
    set_camera_control(&control, 1);
    EXPECT_EQ(control_of(1).follow_height, 2.0f);
    camera_update();
    EXPECT_NEAR(control_of(1).offset[1], 2.03f, 1e-5f);
    EXPECT_EQ(view(1).position[2], 5.0f);
    for (int i = 0; i < 40; ++i) {
        camera_update();
    }
    EXPECT_NEAR(control_of(1).offset[1], 3.0f, 1e-5f) << "no higher than a unit over";
    EXPECT_NEAR(view(1).position[1], 0.25f + 3.0f, 1e-5f) << "over the resting ball";
    followed->position[0] = 15; // out from behind the wall
    camera_update();
    EXPECT_NEAR(control_of(1).offset[1], 2.99f, 1e-5f);
    for (int i = 0; i < 120; ++i) {
        camera_update();
    }
    EXPECT_NEAR(control_of(1).offset[1], 2.0f, 1e-5f);
    EXPECT_EQ(gen_coll_get_flags(), GEN_COLL_TWO_SIDED) << "the query flags stay 4";
}

TEST_F(CameraTest, ATrailRunsPastEachCurveIntoItsFirstChild) {
    // Curve 0 runs from (0, 0, 0) to (4, 0, 0); curves 1 and 2 both go on
    // from its end, 1 up the world's y and 2 along -z.
    write_file("data/intro.txt", test::ini_text({{"PointSet",
                                                  {{"PointCount", "7"},
                                                   {"Point0000", "0,0,0"},
                                                   {"Point0001", "2,0,0"},
                                                   {"Point0002", "4,0,0"},
                                                   {"Point0003", "4,0,1"},
                                                   {"Point0004", "4,0,2"},
                                                   {"Point0005", "4,1,0"},
                                                   {"Point0006", "4,2,0"}}},
                                                 {"CurveSet",
                                                  {{"CurveCount", "3"},
                                                   {"Curve0000", "0,1,2"},
                                                   {"Curve0001", "2,3,4"},
                                                   {"Curve0002", "2,5,6"}}}}));
    auto keys = test::level_keys("gfx\\course.wo2");
    keys.push_back({"intro", "data\\intro.txt"});
    write_levels({{1, keys}});
    start_game(1);
    set_camera_event_handler(record_event);
    ASSERT_NE(game()->trail, nullptr);
    CAMERA_CONTROL control{};
    control.flags = CAMERA_TRAIL;
    control.trail_start = game()->trail;
    control.trail_speed = 0.25f;
    control.offset[1] = 10;
    set_camera_control(&control, 1);
    for (int i = 0; i < 4; ++i) {
        camera_update();
    }
    EXPECT_EQ(control_of(1).trail_t, 1.0f);
    EXPECT_NEAR(view(1).position[0], 4.0f, 1e-5f) << "t = 1 is still the first curve";
    EXPECT_NEAR(view(1).position[1], 10.0f, 1e-5f) << "with the offset";
    camera_update();
    EXPECT_EQ(control_of(1).trail_t, 0.25f) << "past 1.01 the next curve starts at the speed";
    EXPECT_EQ(control_of(1).trail_node, game()->trail->children[0]);
    EXPECT_NEAR(view(1).position[1], 10.5f, 1e-5f) << "a quarter up the first child";
    EXPECT_TRUE(events.empty());
    for (int i = 0; i < 4; ++i) {
        camera_update();
    }
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].camera, 1);
    EXPECT_EQ(events[0].event, CAMERA_TRAIL_END);
    EXPECT_EQ(control_of(1).trail_node, game()->trail) << "back to the start";
}

TEST_F(CameraTest, TriggersSwitchOnlyWhenSwitchingIsOn) {
    start_level();
    for (int i = 0; i < 2; ++i) {
        CAMERA_CONTROL control = control_of(i);
        control.trigger_radius = 1; // both spheres round the ball
        control.trigger_centre[0] = -1, control.trigger_centre[1] = 0.25f,
        control.trigger_centre[2] = 3;
        set_camera_control(&control, i);
    }
    camera_update();
    EXPECT_EQ(current_camera(), 0);
    set_camera_trigger_switching(1);
    camera_update();
    EXPECT_EQ(current_camera(), 1) << "the last in table order wins";
    ball()->position[0] = 4; // out of both
    set_current_camera(0);
    camera_update();
    EXPECT_EQ(current_camera(), 0);
}

TEST_F(CameraTest, TheWorldTakesTheCurrentViewWithANearOfFiveThousandths) {
    start_level();
    view(1).near_plane = 2;
    set_current_camera(1);
    camera_update();
    XV_3D_CAMERA world{};
    xv_3d_world_get_camera(game_world(), &world);
    EXPECT_EQ(world.near_plane, 0.005f);
    EXPECT_EQ(world.position[1], 4.0f);
    EXPECT_EQ(view(1).near_plane, 2.0f) << "the camera keeps its own";
}

TEST_F(CameraTest, ControlBlocksAndTheFollowedCameras) {
    write_flat_levels({1});
    start_game(2);
    CAMERA_CONTROL control{};
    control.flags = 0x7F;
    set_camera_control(&control, 5);
    set_camera_control(nullptr, 0);
    get_camera_control(&control, -1);
    EXPECT_EQ(control.flags, 0x7F) << "out of range: nothing copied";
    EXPECT_EQ(control_of(0).flags, CAMERA_LOOK_AT_NODE | CAMERA_TRIGGER);
    set_current_player(1);
    follow_current_player();
    EXPECT_EQ(control_of(0).look_at_node, player(1)->ball_node) << "cam_followed";
    EXPECT_EQ(control_of(1).look_at_node, 3);
}

TEST_F(CameraTest, EqualToDecimals) {
    EXPECT_TRUE(equal_to_decimals(1.04f, 1.06f, 1));
    EXPECT_FALSE(equal_to_decimals(1.04f, 1.11f, 1));
    EXPECT_TRUE(equal_to_decimals(-0.05f, 0.05f, 1)) << "both cut to 0";
    EXPECT_FALSE(equal_to_decimals(1.04f, 1.06f, 2));
    EXPECT_TRUE(equal_to_decimals(123.0f, 123.9f, 0));
    EXPECT_FALSE(equal_to_decimals(NAN, NAN, 1));
}

} // namespace
