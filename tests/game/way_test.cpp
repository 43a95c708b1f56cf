// The way to the cup, as the computer ranks the places its strokes end at:
// straight where the cup is in sight, round a wall where it is not.
#include "level_test.h"
#include "way.h"

#include <cmath>

namespace {

using test::write_file;

class WayTest : public test::LevelTest {
  protected:
    // The square course split down the middle by a wall from its far side
    // to two units short of the near one: a U of two lanes, the cup at the
    // top of the left lane.
    void load_u_turn() {
        write_file("gfx/u.wo2",
                   test::model_of({{"floor", test::floor_grid(5, 0, 10)},
                                   {"wall_n", test::shifted(wo2_box(10, 1, 0.2f), 0, 0.5f, -5.1f)},
                                   {"wall_s", test::shifted(wo2_box(10, 1, 0.2f), 0, 0.5f, 5.1f)},
                                   {"wall_w", test::shifted(wo2_box(0.2f, 1, 10), -5.1f, 0.5f, 0)},
                                   {"wall_e", test::shifted(wo2_box(0.2f, 1, 10), 5.1f, 0.5f, 0)},
                                   {"divider", test::shifted(wo2_box(0.2f, 1, 8), 0, 0.5f, -1)}}));
        auto keys = test::level_keys("gfx\\u.wo2");
        for (auto &[key, value] : keys) {
            value = key == "hole" ? "-2.5,0.25,-3" : value;
        }
        write_levels({{1, keys}});
        start_single_level(1);
        level_init();
        ASSERT_TRUE(level_loaded());
    }
};

TEST_F(WayTest, TheWayGoesRoundTheWallAndStraightWhereTheCupIsSeen) {
    load_u_turn();
    const float in_sight[3] = {-2.5f, 0.1f, 2.0f};
    EXPECT_FLOAT_EQ(way_to_cup(in_sight), 5.0f);
    // The top of the right lane: five units from the cup as the crow
    // flies; for a ball, down the lane to the wall's end, round it and up
    // the other: two lines of 6.6 and 6.8 units, on a grid of half a unit.
    const float far_lane[3] = {2.5f, 0.1f, -3.0f};
    const float way = way_to_cup(far_lane);
    EXPECT_GT(way, 13.4f);
    EXPECT_LT(way, 15.5f);
    // Further down the far lane is nearer the cup for a ball.
    const float lower[3] = {2.5f, 0.1f, 2.0f};
    EXPECT_LT(way_to_cup(lower), way);
    // Off the course there is no way: the straight distance stands.
    const float outside[3] = {30.0f, 0.1f, -3.0f};
    EXPECT_FLOAT_EQ(way_to_cup(outside), std::hypot(32.5f, 0.0f));
    EXPECT_EQ(errors(), "");
}

// A level gone takes its grid with it: the next level's walls are its own.
TEST_F(WayTest, TheNextLevelLaysItsOwnWay) {
    load_u_turn();
    const float far_lane[3] = {2.5f, 0.1f, -3.0f};
    EXPECT_GT(way_to_cup(far_lane), 13.4f);
    level_deinit();
    write_flat_levels({1});
    start_single_level(1);
    level_init();
    const float across[3] = {2.5f, 0.1f, -3.0f};
    EXPECT_FLOAT_EQ(way_to_cup(across), 2.5f) << "the flat course's cup is in sight";
}

} // namespace
