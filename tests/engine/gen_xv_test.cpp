// The world's nodes, the reference matrices of models and the matrix
// toolkit, on a model our writer makes.
#include "model_test.h"

#include "gen.h"

#include <cmath>

namespace {

using test::read_file;

// Degrees turn into radians by the engine's factor 0.01745278, a little
// short of pi / 180: a quarter turn leaves a cosine of 5e-5.
void expect_matrix(const float *m, std::initializer_list<float> wanted, const char *what) {
    int i = 0;
    for (float w : wanted) {
        EXPECT_NEAR(m[i], w, 1e-4) << what << " element " << i;
        ++i;
    }
}

class WorldTest : public test::ModelTest {
  protected:
    void SetUp() override {
        ModelTest::SetUp();
        Wo2Model written;
        Wo2MaterialGroup plain, painted;
        painted.material = 2;
        plain.faces.push_back(wo2_box(1, 1, 1));
        painted.faces.push_back(wo2_box(1, 1, 1));
        written.objects.push_back({"blade", {plain, painted, painted}});
        written.materials = {Wo2Material{}, Wo2Material{}};
        written.references = {{0, "blade"}, {0, "blade again"}};
        written.references[0].matrix[12] = 4; // at x 4
        test::write_file("blade.wo2", wo2_write(written));
        gen_wo2_load(&model, "blade.wo2");
        xv_3d_world_init(&world);
    }
    void TearDown() override {
        xv_3d_world_deinit(&world);
        xv_3d_set_rotation_order(0);
        ModelTest::TearDown();
    }
    XV_3D_WORLD world{};
};

TEST_F(WorldTest, NodesStartPlainAndKeepTheirOwnReferenceMatrices) {
    std::vector<int32_t> nodes;
    for (int i = 0; i < 25; ++i) {
        nodes.push_back(xv_3d_world_add_node(&world, &model, nullptr));
    }
    EXPECT_EQ(nodes.back(), 24);
    EXPECT_EQ(world.allocated_nodes, 40) << "grown by twenty";
    XV_3D_NODE node{};
    xv_3d_world_get_node(&world, &node, 3);
    EXPECT_EQ(node.model, &model);
    EXPECT_FLOAT_EQ(node.scale[1], 1.0f);
    EXPECT_EQ(node.flags, 0u);
    node.position[0] = 7;
    xv_3d_world_set_node(&world, &node, 3);
    EXPECT_FLOAT_EQ(xv_3d_world_get_node_pointer(&world, 3)->position[0], 7);

    const int32_t k = xv_3d_node_add_reference_matrix(&world, 3, 0);
    EXPECT_EQ(k, 0);
    float m[16];
    xv_3d_node_get_reference_matrix(&world, 3, k, m);
    EXPECT_FLOAT_EQ(m[12], 4) << "a copy of the model's matrix";
    m[12] = 9;
    xv_3d_node_set_reference_matrix(&world, 3, k, m);
    xv_3d_object_get_reference_matrix(&model, 0, m);
    EXPECT_FLOAT_EQ(m[12], 4) << "the model's own is untouched";
    EXPECT_EQ(errors(), "");

    xv_3d_world_get_node(&world, &node, 25);
    xv_3d_node_get_reference_matrix(&world, 3, 1, m);
    xv_3d_node_add_reference_matrix(&world, -1, 0);
    EXPECT_NE(errors().find("xv_3d_world_get_node: out of range"), std::string::npos);
    EXPECT_NE(errors().find("xv_3d_node_get_reference_matrix: node matrix num out of range 1"),
              std::string::npos);
    EXPECT_NE(errors().find("xv_3d_node_add_reference_matrix: node number out of range"),
              std::string::npos);
}

TEST_F(WorldTest, TheCameraTurnsWithinAFullCircleAndOrbits) {
    XV_3D_CAMERA camera{};
    xv_3d_world_get_camera(&world, &camera);
    EXPECT_FLOAT_EQ(camera.near_plane, 2.0f);
    EXPECT_FLOAT_EQ(camera.scale[0], 0.05f);
    camera.rotation[1] = 725;
    xv_3d_world_set_camera(&world, &camera);
    EXPECT_FLOAT_EQ(world.camera.rotation[1], 5);
    camera.rotation[1] = -30;
    xv_3d_world_set_camera(&world, &camera);
    EXPECT_FLOAT_EQ(world.camera.rotation[1], 330);

    camera.rotation[0] = 0, camera.rotation[1] = 90;
    const float target[3] = {1, 2, 3};
    xv_3d_camera_orbit(&camera, target, 10);
    EXPECT_NEAR(camera.position[0], 1 - 10, 1e-3);
    EXPECT_NEAR(camera.position[2], 3, 1e-3);
}

TEST_F(WorldTest, RotationOrdersTurnInTheirSequenceAboutOwnOrParentAxes) {
    // Order 2 is "yxz". Locally: y then x then z, each about the turned
    // axes, the same as the matrix product Ry x Rx x Rz.
    xv_3d_set_rotation_order(2 | XV_3D_ROTATION_LOCAL);
    xv_3d_object_reference_matrix_rotate(&model, 1, 90, 90, 0);
    float m[16];
    xv_3d_object_get_reference_matrix(&model, 1, m);
    float expected[16];
    gen_matrix_identity(expected);
    gen_matrix_rotate(expected, 1, 90);
    gen_matrix_rotate(expected, 0, 90);
    expect_matrix(m,
                  {expected[0], expected[1], expected[2], 0, expected[4], expected[5], expected[6],
                   0, expected[8], expected[9], expected[10], 0, 0, 0, 0, 1},
                  "local");
    // About the parent's axes the order runs backwards (z, x, y), and the
    // reference stays where it stands.
    xv_3d_set_rotation_order(2);
    xv_3d_object_reference_matrix_rotate(&model, 0, 90, 0, 0);
    xv_3d_object_get_reference_matrix(&model, 0, m);
    expect_matrix(m, {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 4, 0, 0, 1}, "parent");
    xv_3d_set_rotation_order(6);
    xv_3d_object_reference_matrix_rotate(&model, 0, 90, 0, 0);
    EXPECT_NE(errors().find("somethings wrong with rotation order -> 6"), std::string::npos);
}

TEST_F(WorldTest, TheMatrixToolkitMultipliesInPlace) {
    float a[16], b[16];
    gen_matrix_identity(a);
    EXPECT_TRUE(gen_matrix_is_identity(a));
    gen_matrix_translate(a, 1, 2, 3);
    gen_matrix_scale(a, 2, 2, 2);
    gen_matrix_identity(b);
    gen_matrix_rotate(b, 2, 90);
    gen_matrix_multiply(a, a, b); // the result is also an operand
    const float point_x[4] = {a[0], a[1], a[2], a[3]};
    EXPECT_NEAR(point_x[1], 2, 1e-5) << "x turned onto y, then doubled";
    EXPECT_FLOAT_EQ(a[12], 1);
    EXPECT_FALSE(gen_matrix_is_identity(a));
}

TEST_F(WorldTest, MaterialsOfAReferenceAreListedAndCopied) {
    const int32_t *list = nullptr;
    EXPECT_EQ(xv_3d_object_reference_get_material_list(&model, 0, &list), 2);
    EXPECT_EQ(list[0], 2);
    GEN_WO2_MATERIAL material{};
    xv_3d_object_get_material(&model, 2, &material);
    material.properties |= 0x80;
    material.texture_matrix[5] = 0.25f; // the texture scrolls
    xv_3d_object_set_material(&model, 2, &material);
    EXPECT_FLOAT_EQ(model.materials[1].texture_matrix[5], 0.25f);
    xv_3d_object_get_material(&model, 3, &material);
    EXPECT_NE(errors().find("material_number>=0 && material_number<=model->num_materials"),
              std::string::npos);
}

// Three rooms in a row down -z, each a box from x, y -10..10, joined by
// square doorways; the eye in the first looks down the row.
class ZoneTest : public WorldTest {
  protected:
    int32_t room(float z_front, float z_back) {
        const int32_t zone = xv_3d_zone_create(&world);
        XV_3D_SUBZONE box;
        xv_3d_subzone_init(&box);
        const float planes[6][4] = {{1, 0, 0, 10},  {-1, 0, 0, 10},      {0, 1, 0, 10},
                                    {0, -1, 0, 10}, {0, 0, -1, z_front}, {0, 0, 1, -z_back}};
        for (const auto &plane : planes) {
            xv_3d_subzone_add_plane(&box, plane);
        }
        xv_3d_subzone_add_plane(&box, planes[0]); // the same plane twice is kept once
        xv_3d_zone_add_subzone(&world, zone, &box);
        EXPECT_EQ(box.flags & XV_3D_ZONE_INITED, 0u) << "the world has it now";
        return zone;
    }
    void doorway(uint32_t from, uint32_t to, float z, float x) {
        XV_3D_PORTAL portal;
        xv_3d_portal_init(&portal);
        portal.zone1 = from, portal.zone2 = to;
        const float corners[4][3] = {{x - 1, -1, z}, {x + 1, -1, z}, {x + 1, 1, z}, {x - 1, 1, z}};
        for (const auto &corner : corners) {
            xv_3d_portal_add_vertex(&portal, corner);
        }
        xv_3d_world_add_portal(&world, &portal);
    }
    // The eye at z 5 looking down -z through a 90 degree view.
    void look_from(const float eye[3]) {
        const float n = 1, f = 100;
        const float projection[16] = {
            1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -(f + n) / (f - n), -1, 0, 0, -2 * f * n / (f - n), 0};
        const float modelview[16] = {1, 0, 0, 0, 0,       1,       0,       0,
                                     0, 0, 1, 0, -eye[0], -eye[1], -eye[2], 1};
        gen_frustum_from(projection, modelview);
        xv_3d_world_create_visibility_list(&world, eye);
    }
};

TEST_F(ZoneTest, TheEyeSeesThroughDoorwaysInLine) {
    room(10, 0);
    room(0, -10);
    room(-10, -20);
    doorway(0, 1, 0, 0);
    doorway(1, 2, -10, 0);
    const float eye[3] = {0, 0, 5};
    EXPECT_EQ(xv_3d_world_find_zone(&world, eye), 0);
    look_from(eye);
    EXPECT_TRUE(xv_3d_zone_visible(0));
    EXPECT_TRUE(xv_3d_zone_visible(1));
    EXPECT_TRUE(xv_3d_zone_visible(2)) << "through both doorways";
    EXPECT_EQ(world.zones.num_portals, 4) << "each doorway in both its rooms";
    EXPECT_EQ(errors(), "");
}

TEST_F(ZoneTest, ADoorwayOutOfSightHidesTheRoomBehindIt) {
    room(10, 0);
    room(0, -10);
    room(-10, -20);
    doorway(0, 1, 0, 0);
    doorway(1, 2, -10, 8); // off to the side, out of the first doorway's view
    const float eye[3] = {0, 0, 5};
    look_from(eye);
    EXPECT_TRUE(xv_3d_zone_visible(1));
    EXPECT_FALSE(xv_3d_zone_visible(2));

    const float outside[3] = {0, 0, 50};
    look_from(outside);
    EXPECT_TRUE(xv_3d_zone_visible(2)) << "an eye in no zone sees them all";
    EXPECT_EQ(xv_3d_world_find_zone(&world, outside), -1);
    XV_3D_SUBZONE empty;
    xv_3d_subzone_init(&empty);
    EXPECT_FALSE(xv_3d_in_subzone(&empty, eye, 0));
    EXPECT_TRUE(xv_3d_in_subzone(&world.zones.subzones[0], outside, 40)) << "within the margin";
    doorway(1, 1, 0, 0);
    EXPECT_NE(errors().find("xv_3d_world_add_portal: zone1 = zone2"), std::string::npos);
    EXPECT_NE(errors().find("xv_3d_in_subzone: subzone has no planes"), std::string::npos);
}

} // namespace
