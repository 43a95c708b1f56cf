// The rules of a hole, driven as a host drives them (the play layer, the
// computer, a test): strokes struck through the seam, the balls rolled
// until the rules say they have settled, and what the rules tell: drops,
// strays brought back, the cap, the turns, the card.
#include "hole_rules.h"
#include "level_test.h"

#include <cmath>
#include <vector>

namespace {

using test::write_file;

constexpr float kIntoTheCup = 0.44f;
constexpr float kTap = 0.045f;

class HoleRulesTest : public test::LevelTest {
  protected:
    // The angle from the seat's ball to the hole at (0, -3).
    float angle_to_hole(int seat) {
        const XV_3D_NODE *ball = node(player(seat)->ball_node);
        return std::atan2(ball->position[0], 3.0f + ball->position[2]) * 57.29578f;
    }
    // Steps until the rules say the balls have settled; everything told.
    std::vector<HOLE_EVENT> roll() {
        std::vector<HOLE_EVENT> told;
        for (int step = 0; step < 2000; ++step) {
            steps(1);
            const HOLE_EVENTS events = hole_roll();
            told.insert(told.end(), events.list, events.list + events.count);
            if (events.settled) {
                return told;
            }
        }
        ADD_FAILURE() << "the balls never settled";
        return told;
    }
    std::vector<HOLE_EVENT> stroke(int seat, float angle, float power) {
        EXPECT_TRUE(hole_strike(seat, angle, power));
        std::vector<HOLE_EVENT> told = roll();
        const HOLE_EVENTS ended = hole_end_stroke(seat);
        told.insert(told.end(), ended.list, ended.list + ended.count);
        return told;
    }
    static bool has(const std::vector<HOLE_EVENT> &told, uint8_t kind, int seat, int strokes) {
        for (const HOLE_EVENT &event : told) {
            if (event.kind == kind && event.seat == seat && event.strokes == strokes) {
                return true;
            }
        }
        return false;
    }
};

// Two seats: the first drops in one and the turn passes; the second taps
// on to the cap and is picked up; then the hole is over and on the card
// (and on the game's own score table), and the next hole begins with the
// totals kept.
TEST_F(HoleRulesTest, TurnsPassTheCapPicksUpAndTheCardKeepsTheHole) {
    write_flat_levels({1, 2});
    hole_start_course(2);
    ASSERT_EQ(hole_seats(), 2);
    hole_begin();
    std::vector<HOLE_EVENT> told = stroke(0, angle_to_hole(0), kIntoTheCup);
    EXPECT_TRUE(has(told, HOLE_DROPPED, 0, 1));
    EXPECT_TRUE(has(told, HOLE_TURN, 1, 0));
    EXPECT_FALSE(hole_strike(0, 0, kTap)) << "a holed ball is struck no more";
    EXPECT_EQ(hole_cap(), 6);
    for (int strokes = 1; strokes < hole_cap(); ++strokes) {
        told = stroke(1, 90, kTap);
        ASSERT_TRUE(has(told, HOLE_TURN, 1, strokes)) << "the only ball in play plays on";
        EXPECT_EQ(hole_total(1), strokes);
    }
    told = stroke(1, 90, kTap);
    EXPECT_TRUE(has(told, HOLE_PICKED_UP, 1, 6));
    EXPECT_TRUE(has(told, HOLE_OVER, 1, 6));
    EXPECT_EQ(player(1)->hole_state, BALL_LIFTED);
    EXPECT_EQ(hole_card(0, 1), 1);
    EXPECT_EQ(hole_card(1, 1), 6);
    EXPECT_EQ(game()->scores[1][0], 6);
    EXPECT_EQ(hole_course_par(), 3);
    ASSERT_TRUE(hole_next());
    EXPECT_EQ(game()->level, 2);
    EXPECT_EQ(hole_total(0), 1);
    EXPECT_EQ(hole_total(1), 6);
    EXPECT_EQ(hole_course_par(), 6);
}

// A ball that leaves the course comes back to where it was struck, a
// stroke dearer, and the stroke still settles.
TEST_F(HoleRulesTest, AStrayComesBackAStrokeDearer) {
    write_file("gfx/open.wo2", test::model_of({{"floor", test::floor_grid(5, 0, 10)}}));
    write_levels({{1, test::level_keys("gfx\\open.wo2")}});
    hole_start_single(1);
    hole_begin();
    const XV_3D_NODE *ball = node(player(0)->ball_node);
    const float from[3] = {ball->position[0], ball->position[1], ball->position[2]};
    const std::vector<HOLE_EVENT> told = stroke(0, 90, 1.0f); // hard towards -x, off the edge
    EXPECT_TRUE(has(told, HOLE_OUT_OF_BOUNDS, 0, 2));
    EXPECT_TRUE(has(told, HOLE_TURN, 0, 2));
    EXPECT_NEAR(ball->position[0], from[0], 0.05f);
    EXPECT_NEAR(ball->position[2], from[2], 0.05f);
    EXPECT_EQ(errors(), "");
}

TEST_F(HoleRulesTest, OnlyASeatWithABallInPlayStrikes) {
    write_flat_levels({1});
    hole_start_course(1);
    hole_begin();
    EXPECT_FALSE(hole_strike(-1, 0, kTap));
    EXPECT_FALSE(hole_strike(1, 0, kTap)) << "one seat";
    EXPECT_FALSE(hole_strike(MAX_LEVEL_PLAYERS, 0, kTap));
    EXPECT_TRUE(hole_strike(0, 0, kTap));
    EXPECT_EQ(player(0)->strokes, 1);
    EXPECT_EQ(player(0)->aim_angle, 0.0f);
}

} // namespace
