// The engine's vector and angle toolkit, where its rules are its own: the
// game's constants, the wrapping, the edge tolerance.
#include "test_support.h"

#include "gen.h"

#include <cmath>

namespace {

class MathTest : public test::FileLayerTest {
  protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        gen_info_init();
    }
    void TearDown() override {
        gen_info_deinit();
        FileLayerTest::TearDown();
    }
    std::string errors() const { return test::read_file("error.txt"); }
};

TEST_F(MathTest, PlanesFaceTheSideFromWhichTheirCornersRunClockwise) {
    const float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0, 0, 1};
    float plane[4];
    gen_math_plane_from_points(plane, a, b, c);
    EXPECT_FLOAT_EQ(plane[1], 1.0f);
    const float above[3] = {5, 2, 5};
    EXPECT_FLOAT_EQ(gen_math_plane_distance(plane, above), 2.0f);
    const float point[3] = {0, 3, 0}, normal[3] = {0, -1, 0};
    gen_math_plane_from_point_normal(plane, point, normal);
    EXPECT_FLOAT_EQ(gen_math_plane_distance(plane, above), 1.0f);
    float zero[3] = {0, 0, 0};
    gen_math_normalize(zero);
    EXPECT_EQ(zero[0], 0.0f) << "a zero vector stays as it is";
}

TEST_F(MathTest, ALineNeedsTwoDifferentEnds) {
    const float a[3] = {1, 1, 1}, b[3] = {1, 1, 4};
    GEN_LINE line;
    gen_math_line_from_points(&line, a, b);
    EXPECT_FLOAT_EQ(line.length, 3.0f);
    EXPECT_FLOAT_EQ(line.direction[2], 1.0f);
    gen_math_line_from_points(&line, a, a);
    EXPECT_NE(errors().find("assert failed (v->lenght!=0)"), std::string::npos);
}

TEST_F(MathTest, MovingFollowsHeadingAndPitch) {
    float p[3] = {0, 0, 0};
    gen_math_move(p, 2, 0, 0);
    EXPECT_FLOAT_EQ(p[2], -2.0f) << "heading 0 is -z";
    gen_math_move(p, 1, 1.5707964f, 0);
    EXPECT_NEAR(p[0], 1.0f, 1e-6f);
    gen_math_move(p, 1, 0, 1.5707964f);
    EXPECT_NEAR(p[1], -1.0f, 1e-6f) << "a positive pitch goes down";
}

TEST_F(MathTest, PowersOfTwoRunFromTwoTo32768) {
    for (int v : {2, 4, 64, 32768}) {
        EXPECT_TRUE(gen_math_is_power_of_two(v)) << v;
    }
    for (int v : {0, 1, 3, 6, 65536, -2}) {
        EXPECT_FALSE(gen_math_is_power_of_two(v)) << v;
    }
}

TEST_F(MathTest, ApproachingNeverPassesTheTarget) {
    EXPECT_FLOAT_EQ(gen_math_approach(0, 10, 3), 3.0f);
    EXPECT_FLOAT_EQ(gen_math_approach(9, 10, 3), 10.0f);
    EXPECT_FLOAT_EQ(gen_math_approach(10, 0, -4), 6.0f) << "the step's size only";
    EXPECT_FLOAT_EQ(gen_math_approach_angle(350, 10, 5, true), -5.0f) << "350 is -10: turning up";
    EXPECT_FLOAT_EQ(gen_math_approach_angle(6.0f, 0.1f, 0.1f, false), 6.0f - 6.28f + 0.1f);
    EXPECT_LE(std::fabs(gen_math_approach_angle(1e9f, 0, 1, true)), 180.0f)
        << "a value far away comes near at once";
}

TEST_F(MathTest, AngleDifferencesKeepTheGamesQuirks) {
    EXPECT_FLOAT_EQ(gen_math_angle_difference(10, 350, true), -20.0f);
    EXPECT_FLOAT_EQ(gen_math_angle_difference(0, 100, true), 100.0f);
    EXPECT_FLOAT_EQ(gen_math_angle_difference(0, 4, false), 4 - 6.28f) << "just over half a turn";
    EXPECT_FLOAT_EQ(gen_math_heading(0, 0, 1, 1), 0.7853982f);
    EXPECT_FLOAT_EQ(gen_math_heading(0, 0, -1, 0), 3.1415927f);
    EXPECT_FLOAT_EQ(gen_math_heading(2, 2, 2, 1), -1.57075f);
    EXPECT_FLOAT_EQ(gen_math_heading(2, 2, 2, 2), 1.57075f);
}

TEST_F(MathTest, FittingWrapsRoundTheRange) {
    EXPECT_EQ(gen_math_fit_int_min_max(360, 0, 359), 0);
    EXPECT_EQ(gen_math_fit_int_min_max(-1, 0, 359), 359);
    EXPECT_EQ(gen_math_fit_int_min_max(-2147483647 - 1, 0, 9), 2);
    EXPECT_FLOAT_EQ(gen_math_fit_float_min_max(370, 0, 360), 10.0f);
    EXPECT_FLOAT_EQ(gen_math_fit_float_min_max(720, 0, 360), 360.0f) << "max itself stays";
    EXPECT_FLOAT_EQ(gen_math_fit_float_min_max(-10, 0, 360), 350.0f);
    EXPECT_FLOAT_EQ(gen_math_fit_float_min_max(5, 1, 1), 1.0f) << "an empty range, no hang";
    EXPECT_EQ(gen_math_fit_int_min_max(5, 9, 1), 5);
    EXPECT_NE(errors().find("gen_math_fit_int_min_max: min (9) < max (1)"), std::string::npos);
    gen_math_fit_float_min_max(5, 2, 1);
    EXPECT_NE(errors().find("gen_math_fit_float_min_max: min (2.000000) < max (1.000000)"),
              std::string::npos);
    EXPECT_FLOAT_EQ(gen_math_fraction(2.25f), 0.25f);
    EXPECT_FLOAT_EQ(gen_math_fraction(-0.25f), 0.75f);
}

TEST_F(MathTest, TheNearestPointOfASegmentSaysWhetherItIsInside) {
    const float a[3] = {0, 0, 0}, b[3] = {2, 0, 0};
    float q[3];
    const float middle[3] = {1, 5, 0}, before[3] = {-1, 1, 0}, beyond[3] = {3, 0, 0};
    EXPECT_TRUE(gen_math_nearest_on_segment(q, a, b, middle));
    EXPECT_FLOAT_EQ(q[0], 1.0f);
    EXPECT_FALSE(gen_math_nearest_on_segment(q, a, b, before));
    EXPECT_FLOAT_EQ(q[0], 0.0f);
    EXPECT_FALSE(gen_math_nearest_on_segment(q, a, b, beyond));
    EXPECT_FLOAT_EQ(q[0], 2.0f);
    const float tiny[3] = {0.001f, 0, 0};
    EXPECT_FALSE(gen_math_nearest_on_segment(q, a, tiny, middle));
    EXPECT_FLOAT_EQ(q[0], 0.0f) << "a segment too short to measure is its start";
}

TEST_F(MathTest, RaysMeetSpheresOnTheWayInOrOut) {
    const float centre[3] = {0, 0, 10}, forward[3] = {0, 0, 1};
    const float outside[3] = {0, 0, 0}, inside[3] = {0, 0, 9}, past[3] = {0, 0, 20};
    const float aside[3] = {3, 0, 0};
    float t = 0;
    EXPECT_TRUE(gen_math_ray_sphere(outside, forward, centre, 2, &t));
    EXPECT_FLOAT_EQ(t, 8.0f);
    EXPECT_TRUE(gen_math_ray_sphere(inside, forward, centre, 2, &t));
    EXPECT_FLOAT_EQ(t, 3.0f);
    EXPECT_FALSE(gen_math_ray_sphere(past, forward, centre, 2, &t)) << "behind the origin";
    EXPECT_FALSE(gen_math_ray_sphere(aside, forward, centre, 2, &t));
}

TEST_F(MathTest, PointsInPolygonsAreSeenAlongTheNormalsLargestAxis) {
    const float normal_y[3] = {0.1f, -0.9f, 0.2f}, normal_x[3] = {0.5f, 0.5f, 0.1f},
                normal_z[3] = {0.2f, 0.2f, 0.2f};
    EXPECT_EQ(gen_math_projection_order(normal_y), 0);
    EXPECT_EQ(gen_math_projection_order(normal_x), 2) << "x wins a tie with y";
    EXPECT_EQ(gen_math_projection_order(normal_z), 1);
    const float square[4][3] = {{0, 0, 0}, {0, 0, 2}, {2, 0, 2}, {2, 0, 0}};
    const float in[3] = {1, 7, 1}, out[3] = {3, 0, 1};
    EXPECT_TRUE(gen_point_in_3d_polygon(square, 4, in, 0));
    EXPECT_FALSE(gen_point_in_3d_polygon(square, 4, out, 0));
    // Just past the far edge on the second axis still counts: the shared
    // edge of two triangles cannot let a ball through.
    const float on_edge[3] = {1, 0, 2.0005f};
    EXPECT_TRUE(gen_point_in_3d_polygon(square, 4, on_edge, 0));
    const float wall[3][3] = {{0, 0, 0}, {0, 2, 0}, {2, 0, 0}};
    const float on_wall[3] = {0.5f, 0.5f, 9};
    EXPECT_TRUE(gen_point_in_3d_polygon(wall, 3, on_wall, 1));
    EXPECT_FALSE(gen_point_in_3d_polygon(wall, 3, on_wall, 3));
    EXPECT_NE(errors().find("gen_point_in_3d_polygon: wrong order"), std::string::npos);
    EXPECT_FALSE(gen_point_in_3d_polygon(wall, 2, on_wall, 1));
    EXPECT_NE(errors().find("a polygon cant have less than 3 vertices"), std::string::npos);
}

} // namespace
