// Lights of a world on OpenGL of the offscreen driver, and the frustum and
// occluder tests on matrices given by hand.
#include "test_support.h"

#include "gen.h"

#include <GL/gl.h>

#include <cmath>

namespace {

using test::read_file;

class LightTest : public test::OpenGlTest {
  protected:
    void SetUp() override {
        OpenGlTest::SetUp();
        xv_3d_engine_init();
        xv_3d_world_init(&world);
    }
    void TearDown() override {
        xv_3d_world_deinit(&world);
        xv_3d_engine_deinit();
        OpenGlTest::TearDown();
    }
    int32_t add_light(float x, float range) {
        XV_3D_LIGHT light{XV_3D_LIGHT_DIFFUSE, {x, 0, 0}, {1, 0.5f, 0.25f}, {}, 2.0f, range};
        return xv_3d_light_add(&world, &light);
    }
    bool active(int32_t number) const {
        for (int32_t slot : world.lights.active) {
            if (slot == number) {
                return true;
            }
        }
        return false;
    }

    XV_3D_WORLD world{};
};

TEST_F(LightTest, TheNearestLightsInRangeAreSwitchedOn) {
    const float origin[3] = {0, 0, 0};
    const int32_t just_in = add_light(9.9f, 10);
    const int32_t just_out = add_light(10, 10);
    xv_3d_light_search_and_activate(&world, origin, 3);
    EXPECT_TRUE(active(just_in));
    EXPECT_FALSE(active(just_out)) << "a range reaches up to, not onto, its edge";

    for (float x : {5.0f, 1.0f, 3.0f, 2.0f}) {
        add_light(x, 100);
    }
    xv_3d_light_search_and_activate(&world, origin, 3);
    XV_3D_LIGHT light{};
    float lit[3];
    for (int slot = 0; slot < 3; ++slot) {
        ASSERT_NE(world.lights.active[slot], -1);
        xv_3d_light_get(&world, world.lights.active[slot], &light);
        lit[slot] = light.position[0];
    }
    std::sort(lit, lit + 3);
    EXPECT_FLOAT_EQ(lit[0], 1);
    EXPECT_FLOAT_EQ(lit[1], 2);
    EXPECT_FLOAT_EQ(lit[2], 3) << "of five candidates, the three nearest";

    GLfloat diffuse[4], attenuation = 0;
    glGetLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    EXPECT_FLOAT_EQ(diffuse[1], 1.0f) << "intensity 2 times green 0.5";
    const int32_t short_range = add_light(0, 2);
    xv_3d_light_deactivate_all(&world);
    xv_3d_light_activate(&world, short_range);
    glGetLightfv(GL_LIGHT1, GL_QUADRATIC_ATTENUATION, &attenuation);
    EXPECT_FLOAT_EQ(attenuation, 2.175f);
    EXPECT_EQ(errors(), "");
}

TEST_F(LightTest, AFourthLightIsRefusedAndBadNumbersAreReported) {
    for (int i = 0; i < 4; ++i) {
        xv_3d_light_activate(&world, add_light(static_cast<float>(i), 5));
    }
    EXPECT_FALSE(active(3));
    EXPECT_NE(errors().find("xv_3d_light_activate: too many lights activated"), std::string::npos);
    xv_3d_light_free(&world, 1);
    EXPECT_EQ(add_light(7, 5), 1) << "the first free record is taken again";
    EXPECT_EQ(world.lights.num_lights, 4);
    xv_3d_light_get(&world, 9, nullptr);
    EXPECT_NE(errors().find("xv_3d_light_get: light number 9 is out of range"), std::string::npos);
    xv_3d_light_free(&world, 2);
    xv_3d_light_set(&world, 2, nullptr);
    xv_3d_light_activate(&world, 2);
    EXPECT_NE(errors().find("xv_3d_light_activate: light number 2 was not created"),
              std::string::npos);
    const float origin[3] = {0, 0, 0};
    xv_3d_light_search_and_activate(&world, origin, 9);
    EXPECT_NE(errors().find("you cant activate more than 8 lights"), std::string::npos);
}

// The frustum of a camera at the origin looking down -z: 90 degrees wide,
// near 1, far 100.
class FrustumTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const float n = 1, f = 100;
        const float projection[16] = {
            1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -(f + n) / (f - n), -1, 0, 0, -2 * f * n / (f - n), 0};
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        gen_frustum_from(projection, identity);
    }
};

TEST_F(FrustumTest, SpheresAndBoxesByTheirDistanceToThePlanes) {
    // The left plane runs through the origin at 45 degrees: x = z for z < 0.
    const float s = std::sqrt(0.5f);
    const float half_behind[3] = {-10 - 0.5f / s, 0, -10};
    const float far_behind[3] = {-10 - 1.5f / s, 0, -10};
    EXPECT_NEAR(gen_distance_point_frustum_plane(half_behind, GEN_FRUSTUM_LEFT), -0.5f, 1e-4);
    EXPECT_TRUE(gen_sphere_in_frustum(half_behind, 1));
    EXPECT_FALSE(gen_sphere_in_frustum(far_behind, 1));
    EXPECT_TRUE(gen_sphere_touches_frustum_plane(half_behind, 1, GEN_FRUSTUM_LEFT));
    const float centre[3] = {0, 0, -50};
    EXPECT_TRUE(gen_sphere_completely_inside_frustum(centre, 1));
    EXPECT_FALSE(gen_sphere_completely_inside_frustum(centre, 60));
    const float behind_camera[3] = {0, 0, 5};
    EXPECT_FALSE(gen_sphere_in_frustum(behind_camera, 1));
    const float box_min[3] = {-1, -1, -60}, box_max[3] = {1, 1, -40};
    const float away_min[3] = {-1, -1, 10}, away_max[3] = {1, 1, 20};
    EXPECT_TRUE(gen_box_in_frustum(box_min, box_max));
    EXPECT_FALSE(gen_box_in_frustum(away_min, away_max));
}

TEST_F(FrustumTest, AnOccluderHidesWhatLiesBehindItFromTheEye) {
    const float square[4][3] = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    const float eye[3] = {0, 0, 5};
    GEN_OCCLUDER occluder{};
    ASSERT_TRUE(gen_occluder_create(&occluder, 4, square, eye));
    EXPECT_EQ(occluder.num_planes, 5u);
    const float behind[3] = {0, 0, -3}, between[3] = {0, 0, 3}, aside[3] = {5, 0, -3};
    EXPECT_TRUE(gen_sphere_occluded(&occluder, behind, 0.5f));
    EXPECT_FALSE(gen_sphere_occluded(&occluder, behind, 3.0f)) << "too big to hide";
    EXPECT_FALSE(gen_sphere_occluded(&occluder, between, 0.5f));
    EXPECT_FALSE(gen_sphere_occluded(&occluder, aside, 0.5f));
    // Seen from the other side, the same square hides the other way.
    const float other_eye[3] = {0, 0, -5};
    ASSERT_TRUE(gen_occluder_create(&occluder, 4, square, other_eye));
    EXPECT_TRUE(gen_sphere_occluded(&occluder, between, 0.5f));
    EXPECT_FALSE(gen_sphere_occluded(&occluder, behind, 0.5f));
}

} // namespace
