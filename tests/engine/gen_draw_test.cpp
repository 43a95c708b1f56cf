// Models drawn into a 64x64 window of the offscreen driver and read back:
// the pixel at the centre says what was drawn there.
#include "picture_writer.h"
#include "test_support.h"
#include "wo2_writer.h"

#include "gen.h"

#include <GL/gl.h>

namespace {

using test::read_file;
using test::write_file;

class DrawTest : public test::OpenGlTest {
  protected:
    void SetUp() override {
        OpenGlTest::SetUp();
        xv_3d_engine_init(); // textures, models and the bitmap list
        xv_3d_world_init(&world);
        XV_3D_CAMERA camera{};
        xv_3d_world_get_camera(&world, &camera);
        camera.position[2] = 5;
        camera.scale[0] = camera.scale[1] = camera.scale[2] = 1;
        camera.near_plane = 1, camera.far_plane = 100, camera.aspect = 1;
        xv_3d_world_set_camera(&world, &camera);
        test::PngPicture png;
        png.width = png.height = 16;
        for (int i = 0; i < 256; ++i) {
            png.rows.insert(png.rows.end(), {200, 50, 30});
        }
        write_file("red.png", test::encode_png(png));
        png.rows.clear();
        for (int i = 0; i < 256; ++i) {
            png.rows.insert(png.rows.end(), {20, 40, 220});
        }
        write_file("blue.png", test::encode_png(png));
    }
    void TearDown() override {
        xv_3d_world_deinit(&world);
        gen_wo2_free(&model);
        xv_3d_engine_deinit();
        OpenGlTest::TearDown();
    }
    // A 2x2x2 box at the origin under the names given, in a red material.
    void make_box(const char *object, const char *reference, uint8_t opacity = 255,
                  const char *env = "") {
        Wo2Model written;
        Wo2MaterialGroup group;
        group.material = 1;
        group.faces.push_back(wo2_box(2, 2, 2));
        written.objects.push_back({object, {group}});
        written.references = {{0, reference}};
        Wo2Material red;
        red.opacity = opacity;
        red.maps[0] = "red.tga";
        red.maps[5] = env;
        written.materials = {red};
        write_file("box.wo2", wo2_write(written));
        gen_wo2_load(&model, "box.wo2");
        xv_3d_world_add_node(&world, &model, nullptr);
    }
    std::array<int, 3> centre() {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        xv_3d_world_render(&world);
        uint8_t pixel[4] = {};
        glReadPixels(32, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        return {pixel[0], pixel[1], pixel[2]};
    }

    XV_3D_WORLD world{};
    GEN_WO2 model{};
};

TEST_F(DrawTest, AnOpaqueTexturedBoxShowsItsTexture) {
    make_box("box", "box");
    const auto pixel = centre();
    EXPECT_NEAR(pixel[0], 200, 3);
    EXPECT_NEAR(pixel[1], 50, 3);
    EXPECT_NEAR(pixel[2], 30, 3);
    EXPECT_EQ(errors(), "");
}

TEST_F(DrawTest, ATranslucentReferenceIsDrawnOnlyInTheSecondPass) {
    make_box("box", "box_TRANSLUCENT", 128);
    EXPECT_EQ(centre()[0], 0) << "its node does not take part in the translucent pass";
    xv_3d_world_get_node_pointer(&world, 0)->flags |= XV_3D_NODE_TRANSLUCENT_PASS;
    // Half over black for the far side, half again for the near one.
    EXPECT_NEAR(centre()[0], 150, 4) << "blended, both faces";
}

TEST_F(DrawTest, AnOpaqueMaterialBelowHalfOpacityIsCutAway) {
    make_box("box", "box", 120);
    EXPECT_EQ(centre()[0], 0) << "alpha-tested at 0.5";
    gen_wo2_free(&model);
    make_box("box", "box", 140);
    EXPECT_NEAR(centre()[0], 200, 3);
}

// A lit node takes its colour from the lights near it over the black
// ambient: the red texture under an orange light keeps its red, an eighth
// as much green (texture 50/200 times light 0.5) and no blue.
TEST_F(DrawTest, ALitReferenceTakesTheColourOfAPointLight) {
    make_box("box", "box");
    xv_3d_world_get_node_pointer(&world, 0)->flags |= XV_3D_NODE_LIT;
    EXPECT_EQ(centre()[0], 0) << "no light, black ambient";
    XV_3D_LIGHT light{XV_3D_LIGHT_DIFFUSE, {0, 0, 3}, {1, 0.5f, 0}, {}, 1, 20};
    const int32_t number = xv_3d_light_add(&world, &light);
    const auto lit = centre();
    EXPECT_GT(lit[0], 60);
    EXPECT_NEAR(lit[1], lit[0] / 8.0, 4);
    EXPECT_EQ(lit[2], 0);
    // Moved far beyond its range, it lights nothing.
    light.position[2] = 40;
    xv_3d_light_set(&world, number, &light);
    EXPECT_EQ(centre()[0], 0);
    EXPECT_EQ(errors(), "");
}

TEST_F(DrawTest, AReferenceOutsideItsDistanceBandIsNotDrawn) {
    // The box's centre lies 4 beyond the near plane.
    make_box("box#cust 0 3", "box");
    EXPECT_EQ(centre()[0], 0);
    gen_wo2_free(&model);
    make_box("box#cust 4 10", "box");
    EXPECT_NEAR(centre()[0], 200, 3) << "a band includes its lower end";
}

TEST_F(DrawTest, AnEnvironmentMapOnAnotherTextureIsQueuedUnderThatTexture) {
    make_box("box", "box", 255, "blue.tga");
    centre();
    const int red = model.materials[0].texture.texture;
    const int blue = model.materials[0].env.texture;
    ASSERT_NE(red, blue);
    EXPECT_EQ(gen_mgr2_list_length(red), 1);
    EXPECT_EQ(gen_mgr2_list_length(blue), 1) << "its environment pass";
    EXPECT_EQ(errors(), "");
}

// Faces wind clockwise seen from the front: a box seen from outside shows
// its near faces, from inside nothing (its back faces are not drawn), and a
// mirroring matrix, the reference's or the node's, turns the winding round.
TEST_F(DrawTest, OnlyTheFacesTurnedToTheCameraAreDrawn) {
    Wo2Model written;
    Wo2MaterialGroup group;
    group.material = 1;
    group.faces.push_back(wo2_box(4, 4, 4));
    written.objects.push_back({"box", {group}});
    Wo2Reference mirrored{0, "box"};
    mirrored.matrix[0] = -1;
    written.references = {mirrored};
    Wo2Material red;
    red.maps[0] = "red.tga";
    written.materials = {red};
    write_file("mirrored.wo2", wo2_write(written));
    gen_wo2_load(&model, "mirrored.wo2");
    xv_3d_world_add_node(&world, &model, nullptr);
    const auto seen_from = [&](float z) {
        XV_3D_CAMERA camera{};
        xv_3d_world_get_camera(&world, &camera);
        camera.position[2] = z;
        xv_3d_world_set_camera(&world, &camera);
        return centre()[0];
    };
    EXPECT_NEAR(seen_from(5), 200, 3) << "mirrored by its reference, from outside";
    EXPECT_EQ(seen_from(0), 0) << "from inside";
    xv_3d_world_get_node_pointer(&world, 0)->scale[1] = -1;
    EXPECT_NEAR(seen_from(5), 200, 3) << "mirrored again by the node, from outside";
    EXPECT_EQ(seen_from(0), 0) << "from inside";
    EXPECT_EQ(errors(), "");
}

// What reaches furthest is drawn last, so that the depth test throws away
// the hidden part of a backdrop before it is shaded; a texture's groups
// stay together, and an untextured group keeps its place among them.
TEST_F(DrawTest, TheOpaquePassDrawsWhatReachesLeastFarFirst) {
    Wo2Model written;
    const auto object = [](const char *name, uint16_t material, Wo2FaceGroup faces) {
        Wo2MaterialGroup group;
        group.material = material;
        group.faces.push_back(std::move(faces));
        return Wo2Object{name, {group}};
    };
    written.objects = {object("backdrop", 2, wo2_box(80, 80, 2)),
                       object("box", 1, wo2_box(1, 1, 1)), object("post", 3, wo2_box(1, 1, 1))};
    const auto at = [](int object, const char *name, float x, float z) {
        Wo2Reference r{object, name};
        r.matrix[12] = x, r.matrix[14] = z;
        return r;
    };
    written.references = {at(0, "backdrop", 0, -40), at(1, "box", 0, 0), at(2, "post", 2, -10),
                          at(1, "second box", -1.5f, 0)};
    Wo2Material red, blue, plain;
    red.maps[0] = "red.tga";
    blue.maps[0] = "blue.tga";
    written.materials = {red, blue, plain};
    write_file("scene.wo2", wo2_write(written));
    gen_wo2_load(&model, "scene.wo2");
    xv_3d_world_add_node(&world, &model, nullptr);
    EXPECT_NEAR(centre()[0], 200, 3) << "the near box in front";
    int textures[8];
    ASSERT_EQ(gen_mgr2_queued_textures(textures, 8), 3);
    EXPECT_EQ(textures[0], model.materials[0].texture.texture) << "both boxes first";
    EXPECT_EQ(textures[1], -1) << "then the post";
    EXPECT_EQ(textures[2], model.materials[1].texture.texture) << "the backdrop last";
    EXPECT_EQ(gen_mgr2_list_length(textures[0]), 2);
    EXPECT_EQ(errors(), "");
}

TEST_F(DrawTest, NodeMatricesAreRestoredAndTwentyEndTheFrame) {
    make_box("box", "box");
    const int32_t k = xv_3d_node_add_reference_matrix(&world, 0, 0);
    float moved[16];
    xv_3d_node_get_reference_matrix(&world, 0, k, moved);
    moved[12] = 30; // far off to the side
    xv_3d_node_set_reference_matrix(&world, 0, k, moved);
    EXPECT_EQ(centre()[0], 0) << "drawn where the node's matrix puts it";
    float own[16];
    xv_3d_object_get_reference_matrix(&model, 0, own);
    EXPECT_FLOAT_EQ(own[12], 0) << "the model's matrix is back";
    for (int i = 0; i < 19; ++i) {
        xv_3d_node_add_reference_matrix(&world, 0, 0);
    }
    centre();
    EXPECT_NE(errors().find("node->num_reference_matrices>=XV_3D_WR_MAX_BACK_MATRICES"),
              std::string::npos);
}

TEST_F(DrawTest, ASkeletalModelNeedsItsAnimation) {
    Wo2Model written;
    written.properties = GEN_WO2_SKELETAL;
    write_file("body.wo2", wo2_write(written));
    gen_wo2_load(&model, "body.wo2");
    gen_wo2_draw(&model, nullptr, nullptr);
    EXPECT_NE(errors().find("you have to specify the animation data for the skeletal model"),
              std::string::npos);
}

} // namespace
