// The ball's sub-step on small courses made by the model writer, against
// figures worked out from the rules of the sub-step: the floor's push and
// 40 % rebound, the slope push above 3 degrees, walls that reflect, steps
// climbed and walls never, the crisp end of a roll, the hole.
#include "ball.h"
#include "model_test.h"
#include "players.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

using test::translation;

constexpr float kSubstep = 1.0f / 8; // a whole step's sub-step

// A floor that rises along x at the given angle, from x = -10 to 10.
Wo2FaceGroup ramp(float degrees) {
    const int cells = 40;
    const float spacing = 20.0f / cells;
    std::vector<float> heights;
    for (int row = 0; row <= cells; ++row) {
        for (int column = 0; column <= cells; ++column) {
            heights.push_back(std::tan(degrees * 3.14159265f / 180) * column * spacing);
        }
    }
    Wo2FaceGroup face = wo2_heightfield(heights, cells + 1, cells + 1, spacing);
    for (Wo2Vertex &v : face.vertices) {
        v.position[0] -= 10;
        v.position[2] -= 10;
    }
    return face;
}

Wo2FaceGroup moved(Wo2FaceGroup face, float x, float y, float z) {
    for (Wo2Vertex &v : face.vertices) {
        v.position[0] += x, v.position[1] += y, v.position[2] += z;
    }
    return face;
}

class BallTest : public test::ModelTest {
  protected:
    void start(const std::vector<Wo2FaceGroup> &faces) {
        load_objects(faces);
        build();
        course = BALL_COURSE{};
        course.model = &model;
        course.map = &map;
        course.hole[0] = course.hole[1] = course.hole[2] = 100;
        ball = PLAYER{};
        ball.radius = BALL_RADIUS;
        ball.gravity = BALL_GRAVITY;
        node = XV_3D_NODE{};
    }
    void place(float x, float y, float z) {
        node.position[0] = x, node.position[1] = y, node.position[2] = z;
    }
    BALL_MOVE substep() { return ball_move(&ball, &node, &course, kSubstep); }
    void substeps(int count) {
        for (int i = 0; i < count; ++i) {
            substep();
        }
    }
    float horizontal_speed() const {
        return std::sqrt(ball.velocity_x * ball.velocity_x + ball.velocity_z * ball.velocity_z);
    }

    // A moving object of one face group, made about its own origin, placed
    // at x, y, z, turned by yaw degrees about y.
    void add_obstacle(const Wo2FaceGroup &face, float x, float y, float z, float yaw = 0) {
        Wo2Model written;
        written.objects.push_back(test::object("obstacle", {face}));
        written.references.push_back({0, "obstacle"});
        test::write_file("obstacle.wo2", wo2_write(written));
        gen_wo2_load(&obstacle_model, "obstacle.wo2");
        ASSERT_EQ(obstacle_model.in_use, 1) << errors();
        gen_wo2_coll_map_build(&obstacle_model, &obstacle_map, 50, 20);
        BALL_OBSTACLE &obstacle = course.obstacles[course.obstacle_count++];
        obstacle = BALL_OBSTACLE{&obstacle_model, &obstacle_map, {x, y, z}, {0, yaw, 0}, 1.0f};
    }
    void TearDown() override {
        if (obstacle_map.inited) {
            gen_wo2_coll_map_free(&obstacle_map);
        }
        gen_wo2_free(&obstacle_model);
        ModelTest::TearDown();
    }

    BALL_COURSE course{};
    PLAYER ball{};
    XV_3D_NODE node{};
    GEN_WO2 obstacle_model{};
    GEN_COLL_MAP obstacle_map{};
};

TEST_F(BallTest, ADroppedBallReboundsAtFortyPercentAndSettlesAtItsRadius) {
    start({test::floor_grid(10, 0, 10)});
    place(0, 2, 0);
    std::vector<float> rebounds;
    for (int i = 0; i < 3000; ++i) {
        const float falling = ball.velocity_y;
        substep();
        // A rebound turns the speed round at 40 %, then gravity adds its share.
        if (falling > 0.001f && ball.velocity_y < 0) {
            EXPECT_NEAR((ball.velocity_y - kSubstep * BALL_GRAVITY) / falling, -0.4f, 1e-4f);
            rebounds.push_back(-ball.velocity_y);
        }
    }
    // From 1.9 above its resting place it lands at about 0.044 a sub-step:
    // rebounds of 0.0174, 0.0070, 0.0028 and 0.0011; the next one rests.
    ASSERT_GE(rebounds.size(), 3u);
    EXPECT_NEAR(rebounds[0], 0.4f * std::sqrt(2 * BALL_GRAVITY * kSubstep * 1.9f), 0.002f);
    EXPECT_LE(rebounds.size(), 5u);
    float lowest = 1, highest = 0;
    for (int i = 0; i < 200; ++i) {
        substep();
        lowest = std::min(lowest, node.position[1]);
        highest = std::max(highest, node.position[1]);
    }
    EXPECT_NEAR(lowest, BALL_RADIUS, 0.001f);
    EXPECT_LT(highest - lowest, 0.001f) << "a resting ball trembles by well under a thousandth";
    EXPECT_EQ(node.position[0], 0.0f);
    EXPECT_EQ(node.position[2], 0.0f);
    EXPECT_NEAR(ball_move(&ball, &node, &course, kSubstep).surface_tilt, 0.0f, 0.01f);
}

TEST_F(BallTest, ItRollsDownTenDegreesAndNotTwo) {
    for (float degrees : {10.0f, 2.0f}) {
        start({ramp(degrees)});
        // Resting on the slope at x = 0, which is 10 along the ramp.
        const float surface = std::tan(degrees * 3.14159265f / 180) * 10;
        place(0, surface + BALL_RADIUS / std::cos(degrees * 3.14159265f / 180), 0);
        float tilt = -1;
        for (int i = 0; i < 480; ++i) { // two seconds of sub-steps
            const BALL_MOVE move = substep();
            if (move.events & BALL_ON_FLOOR) {
                tilt = move.surface_tilt;
            }
        }
        EXPECT_NEAR(tilt, degrees, 0.05f);
        if (degrees > 3) {
            // The floor adds its normal's 0.17 / 100 each contact and friction
            // takes 1 %: the speed tends to 0.99 × 0.17 down the slope.
            EXPECT_LT(node.position[0], -1.0f) << "down the slope, towards -x";
            EXPECT_LT(ball.velocity_x, 0.0f);
            EXPECT_GT(ball.velocity_x, -0.99f * std::sin(degrees * 3.14159265f / 180) - 1e-3f);
        } else {
            EXPECT_NEAR(node.position[0], 0.0f, 1e-4f) << "3 degrees or less push nothing";
            EXPECT_EQ(ball.velocity_x, 0.0f);
        }
        EXPECT_NEAR(node.position[2], 0.0f, 1e-4f) << "straight down the slope";
    }
}

// A ball stays on the ground of a slope (it does not hop down it), so the
// steeper the slope, the farther it rolls in the same time.
TEST_F(BallTest, ASteeperSlopeRollsFartherAndTheBallStaysOnIt) {
    float last = 0;
    for (float degrees : {3.5f, 5.0f, 10.0f, 20.0f}) {
        start({ramp(degrees)});
        const float a = degrees * 3.14159265f / 180;
        place(5, std::tan(a) * 15 + BALL_RADIUS / std::cos(a), 0);
        substeps(8); // settled where it was put
        const float from = node.position[0];
        int on_floor = 0;
        for (int i = 0; i < 240; ++i) {
            on_floor += (substep().events & BALL_ON_FLOOR) ? 1 : 0;
        }
        const float rolled = from - node.position[0];
        std::printf("%.1f degrees: %.2f units in the first second, on the ground %d of 240\n",
                    degrees, rolled, on_floor);
        EXPECT_GT(rolled, last) << degrees;
        EXPECT_GE(on_floor, 235) << "on the ground all the way: " << degrees;
        last = rolled;
    }
}

// A roll ends crisply: a full stroke on a level fairway rests within 2.2
// seconds, where friction alone would have taken it (within a few
// percent of the way).
TEST_F(BallTest, AFullStrokeComesToRestWithinTwoSecondsAndAFifth) {
    start({test::floor_grid(25, 0, 25)});
    place(-20, BALL_RADIUS, 0);
    ball.velocity_x = ball.previous_velocity_x = BALL_MAX_SPEED;
    int substeps_taken = 0;
    while (!ball_at_rest(&ball) && substeps_taken < 240 * 5) {
        substep();
        ++substeps_taken;
    }
    std::printf("a full stroke rests after %.2f s, %.2f units along\n", substeps_taken / 240.0f,
                node.position[0] + 20);
    EXPECT_LE(substeps_taken, 240 * 22 / 10);
    // Friction alone: each sub-step moves the mean speed / 20 and keeps 99 %.
    const float unhindered = BALL_MAX_SPEED * 0.125f / 2.5f / 0.01f;
    EXPECT_NEAR(node.position[0] + 20, unhindered, 0.03f * unhindered);
}

// A ball meeting a wall leaves it as light leaves a mirror, keeping the
// wall kind's share of its speed once: bank shots play.
TEST_F(BallTest, AWallReflectsTheBallAndKeepsItsKindsShareOfTheSpeed) {
    for (int kind = 0; kind < WALL_KINDS; ++kind) {
        for (float degrees : {0.0f, 30.0f, 45.0f, 60.0f}) {
            // A wall facing -x at x = 3, half a unit high, twelve long.
            start({test::floor_grid(10, 0, 10), moved(wo2_box(1, 0.5f, 12), 3.5f, 0.25f, 0)});
            course.wall_kind = kind;
            place(1.5f, BALL_RADIUS, 0);
            const float a = degrees * 3.14159265f / 180;
            ball.velocity_x = ball.previous_velocity_x = 0.8f * std::cos(a);
            ball.velocity_z = ball.previous_velocity_z = 0.8f * std::sin(a);
            substeps(2);
            float before = 0;
            bool hit = false;
            for (int i = 0; i < 200 && !hit; ++i) {
                before = horizontal_speed();
                hit = substep().events & BALL_HIT_WALL;
            }
            ASSERT_TRUE(hit) << degrees;
            const float out = std::atan2(ball.velocity_z, -ball.velocity_x) * 180 / 3.14159265f;
            const float kept = horizontal_speed() / (before * 0.99f);
            if (kind == 0) {
                std::printf("in at %.0f degrees, out at %.2f, speed kept %.3f\n", degrees, out,
                            kept);
            }
            EXPECT_NEAR(out, degrees, 1.0f) << "angle in, angle out";
            // Friction takes its hundredth in the same sub-step.
            EXPECT_NEAR(kept, BALL_WALL_KEEPS[kind], 0.01f);
            EXPECT_LE(node.position[0], 3 - BALL_RADIUS + 1e-4f) << "out of the wall";
        }
    }
}

// No stroke at any power, at any angle, takes a ball over or through a
// wall half a unit high, a thin barrier or a corner; a ball pressed into a
// corner is not trapped in it.
TEST_F(BallTest, NothingGoesOverOrThroughAWall) {
    // A closed pen of walls 0.5 high and 0.24 thick round a square of 6,
    // cut in two by a thin barrier 0.05 thick.
    std::vector<Wo2FaceGroup> faces = {test::floor_grid(10, 0, 20)};
    for (float side : {-3.12f, 3.12f}) {
        faces.push_back(moved(wo2_box(0.24f, 0.5f, 6.48f), side, 0.25f, 0));
        faces.push_back(moved(wo2_box(6.48f, 0.5f, 0.24f), 0, 0.25f, side));
    }
    faces.push_back(moved(wo2_box(0.05f, 0.5f, 6), 0, 0.25f, 0));
    start(faces);
    for (float power = 0.1f; power <= 1.0f; power += 0.15f) {
        for (float degrees = 0; degrees < 360; degrees += 17) {
            ball_stop(&ball);
            ball.on_floor = 0;
            place(-1, BALL_RADIUS, 1.5f);
            const float a = degrees * 3.14159265f / 180;
            ball.velocity_x = ball.previous_velocity_x = BALL_MAX_SPEED * power * std::cos(a);
            ball.velocity_z = ball.previous_velocity_z = BALL_MAX_SPEED * power * std::sin(a);
            for (int i = 0; i < 240 * 6 && !ball_at_rest(&ball); ++i) {
                substep();
                ASSERT_LT(node.position[1], 0.5f + BALL_RADIUS) << power << " at " << degrees;
                ASSERT_LT(std::fabs(node.position[0]), 3.0f) << power << " at " << degrees;
                ASSERT_LT(std::fabs(node.position[2]), 3.0f) << power << " at " << degrees;
                ASSERT_LT(node.position[0], 0.0f)
                    << "through the barrier: " << power << " at " << degrees;
            }
            EXPECT_TRUE(ball_at_rest(&ball)) << "never trapped: " << power << " at " << degrees;
        }
    }
}

// A ball a slope presses against a wall leans on it: no knock, no
// bounce, and it comes to rest there.
TEST_F(BallTest, ABallLeaningOnAWallRestsThere) {
    start({ramp(6), moved(wo2_box(1, 1, 6), -2.5f, 0.5f, 0)});
    const float surface = std::tan(6 * 3.14159265f / 180) * 8;
    place(-1.5f, surface + BALL_RADIUS * 1.01f, 0);
    int knocks = 0;
    for (int i = 0; i < 240 * 4; ++i) {
        knocks += (substep().events & BALL_HIT_WALL) ? 1 : 0;
    }
    EXPECT_LE(knocks, 1) << "it arrives once, then leans";
    EXPECT_TRUE(ball_at_rest(&ball));
    EXPECT_NEAR(node.position[0], -2 + BALL_RADIUS, 0.01f) << "against the wall";
}

// A moving object is met where it stands now: the query runs in its own
// frame. A long thin gate, four units along x, lies across the ball's way
// (along -z) and sends it back; turned a quarter round it lies along the
// way, and the ball rolls past beside it.
TEST_F(BallTest, AMovingObjectIsMetWhereAndHowItStands) {
    for (float yaw : {90.0f, 0.0f}) {
        start({test::floor_grid(10, 0, 10)});
        add_obstacle(wo2_box(4, 1, 0.2f), 0, 0.5f, -2, yaw);
        place(-0.8f, BALL_RADIUS, 0); // clear of the turned gate by half a unit
        ball.velocity_z = ball.previous_velocity_z = -0.8f;
        bool knocked = false;
        for (int i = 0; i < 300; ++i) {
            knocked = (substep().events & BALL_HIT_WALL) || knocked;
        }
        if (yaw == 0.0f) {
            EXPECT_TRUE(knocked);
            EXPECT_GT(ball.velocity_z, 0.0f) << "sent back";
            EXPECT_GT(node.position[2], -2 + 0.1f + BALL_RADIUS - 0.01f) << "never through it";
        } else {
            EXPECT_FALSE(knocked);
            EXPECT_LT(node.position[2], -3.0f) << "past it, beside it";
        }
        course.obstacle_count = 0;
        gen_wo2_coll_map_free(&obstacle_map);
        gen_wo2_free(&obstacle_model);
    }
}

// A gate that moves into a resting ball shoves it along, without a knock;
// a lift's deck rising under it carries it up.
TEST_F(BallTest, AMovingObjectPushesAndCarriesARestingBall) {
    start({test::floor_grid(10, 0, 10)});
    add_obstacle(wo2_box(0.2f, 1, 2), -1, 0.5f, 0);
    place(0, BALL_RADIUS, 0);
    substeps(40);
    ASSERT_TRUE(ball_at_rest(&ball));
    for (int step = 0; step < 30; ++step) { // the gate slides 0.03 a step towards +x
        course.obstacles[0].position[0] += 0.03f;
        for (int i = 0; i < 8; ++i) {
            EXPECT_FALSE(substep().events & BALL_HIT_WALL) << "pushed, not knocked";
        }
    }
    EXPECT_GT(node.position[0], -1 + 0.1f + 0.9f * 0.9f) << "ahead of the gate, which moved 0.9";
    EXPECT_GT(node.position[0], course.obstacles[0].position[0] + 0.1f + BALL_RADIUS - 0.02f);

    course.obstacle_count = 0;
    gen_wo2_coll_map_free(&obstacle_map);
    gen_wo2_free(&obstacle_model);
    start({test::floor_grid(10, 0, 10)});
    add_obstacle(wo2_box(2, 0.2f, 2), 3, 0.1f, 0); // a deck 0.2 high
    place(3, 0.2f + BALL_RADIUS, 0);
    substeps(40);
    for (int step = 0; step < 50; ++step) { // it rises a unit
        course.obstacles[0].position[1] += 0.02f;
        substeps(8);
    }
    substeps(40);
    EXPECT_NEAR(node.position[1], 1.2f + BALL_RADIUS, 0.01f) << "on the deck, a unit up";
    EXPECT_NEAR(node.position[0], 3.0f, 0.01f);
}

// A rolling ball gets up an edge lower than a step (four tenths of its
// radius over its bottom) and never up a wall, however fast.
TEST_F(BallTest, ItClimbsAStepButNotAWall) {
    for (float height : {0.02f, 0.035f, 0.06f, 0.3f}) {
        for (float speed : {0.3f, 1.0f, BALL_MAX_SPEED}) {
            // From x = 1 on, the floor is that much higher.
            start({test::floor_grid(40, 0, 20), moved(wo2_box(38, height, 6), 20, height / 2, 0)});
            place(0, BALL_RADIUS, 0);
            ball.velocity_x = ball.previous_velocity_x = speed;
            substeps(240 * 4);
            if (height < 0.4f * BALL_RADIUS) {
                EXPECT_GT(node.position[0], 1.0f + BALL_RADIUS) << height << " at " << speed;
                EXPECT_NEAR(node.position[1], height + BALL_RADIUS, 0.002f) << "resting on it";
            } else {
                EXPECT_LT(node.position[0], 1 - BALL_RADIUS + 1e-3f) << height << " at " << speed;
                EXPECT_NEAR(node.position[1], BALL_RADIUS, 0.002f) << height << " at " << speed;
            }
        }
    }
}

TEST_F(BallTest, ItDropsIntoTheHoleOnce) {
    start({test::floor_grid(10, 0, 10)});
    course.hole[0] = 2, course.hole[1] = BALL_RADIUS, course.hole[2] = 0;
    place(0, BALL_RADIUS, 0);
    ball.velocity_x = ball.previous_velocity_x = 0.5f;
    int drops = 0;
    float dropped_at = 0;
    for (int i = 0; i < 400; ++i) {
        if (substep().events & BALL_DROPPED) {
            ++drops;
            dropped_at = node.position[0];
        }
    }
    EXPECT_EQ(drops, 1);
    EXPECT_EQ(ball.hole_state, 2);
    // The first sub-step within two radii (a sub-step moves it about 0.02).
    EXPECT_GE(dropped_at, 2 - 2 * BALL_RADIUS);
    EXPECT_LT(dropped_at, 2 - 2 * BALL_RADIUS + 0.03f);
}

TEST_F(BallTest, TheWindPushesAMovingBallOnly) {
    start({test::floor_grid(10, 0, 10)});
    course.wind_direction = 0; // blows towards -z... w = -90 degrees: (cos, sin) = (0, -1)
    place(0, BALL_RADIUS, 0);
    substeps(100);
    EXPECT_EQ(ball.velocity_z, 0.0f) << "a ball at rest feels no wind";
    ball.velocity_z = ball.previous_velocity_z = 0.1f;
    ball.velocity_x = 0;
    substep();
    // 0.1 × 0.99 after friction, then the wind's sin(-90°) / 10000 × d.
    EXPECT_NEAR(ball.velocity_z, 0.1f * 0.99f - kSubstep / 10000, 1e-7f);
    EXPECT_NEAR(ball.velocity_x, 0.0f, 1e-9f);
}

TEST_F(BallTest, RotationsStayWithinAWholeTurn) {
    start({test::floor_grid(10, 0, 10)});
    place(0, BALL_RADIUS, 0);
    ball.velocity_x = ball.previous_velocity_x = 0.5f;
    ball.velocity_z = ball.previous_velocity_z = -0.5f;
    for (int i = 0; i < 300; ++i) {
        substep();
        for (float angle : node.rotation) {
            ASSERT_GE(angle, 0.0f);
            ASSERT_LE(angle, 360.0f);
        }
        ASSERT_EQ(node.rotation[1], 0.0f);
    }
}

// Strokes played out with the course's index (as the computer plans them)
// end exactly where they end without it, to the last bit: on slopes and a
// fairway's grid, off walls and steps, over the edge and into the hole.
TEST_F(BallTest, AStrokePlayedOutWithTheIndexEndsExactlyWhereItEndsWithout) {
    std::vector<Wo2FaceGroup> faces = {test::floor_grid(4, 0, 32), moved(ramp(6), 0, -1.5f, 12),
                                       moved(wo2_box(0.2f, 0.5f, 8), 4.1f, 0.25f, 0),
                                       moved(wo2_box(2, 0.03f, 2), -2, 0.015f, 1)};
    start(faces);
    course.hole[0] = 1.5f, course.hole[1] = BALL_RADIUS, course.hole[2] = -2.5f;
    GEN_COLL_INDEX index;
    ball_index_course(course, BALL_RADIUS, &index);
    ASSERT_FALSE(index.entries.empty());
    int holed = 0, left = 0, rested = 0;
    for (int k = 0; k < 120; ++k) {
        PLAYER struck = ball;
        const float a = static_cast<float>(k) * 0.37f,
                    power = 0.05f + 0.95f * ((k * 7) % 11) / 10.0f;
        struck.velocity_x = struck.previous_velocity_x = BALL_MAX_SPEED * power * std::cos(a);
        struck.velocity_z = struck.previous_velocity_z = BALL_MAX_SPEED * power * std::sin(a);
        XV_3D_NODE from{};
        from.position[0] = -1.0f + 0.02f * static_cast<float>(k % 9);
        from.position[1] = BALL_RADIUS;
        const BALL_SHOT walked = ball_simulate(struck, from, course, 240 * 6);
        const BALL_SHOT indexed =
            ball_simulate(struck, from, course, 240 * 6, nullptr, nullptr, &index);
        ASSERT_EQ(std::memcmp(walked.position, indexed.position, sizeof walked.position), 0) << k;
        ASSERT_EQ(walked.substeps, indexed.substeps) << k;
        ASSERT_EQ(walked.holed, indexed.holed) << k;
        ASSERT_EQ(walked.left, indexed.left) << k;
        holed += walked.holed, left += walked.left, rested += !walked.holed && !walked.left;
    }
    EXPECT_GT(left, 0);
    EXPECT_GT(rested, 0);
    std::printf("%d strokes dropped, %d left the course, %d rested\n", holed, left, rested);
}

} // namespace
