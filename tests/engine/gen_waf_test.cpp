// WAF animations read back, and skinning with blended bone matrices.
#include "model_test.h"

#include "gen.h"

#include <array>
#include <cstring>

namespace {

using test::read_file;
using test::write_file;

std::array<float, 16> translation(float x) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, 0, 0, 1};
}

class WafTest : public test::ModelTest {
  protected:
    void TearDown() override {
        if (waf.in_use) {
            gen_waf_free(&waf);
        }
        ModelTest::TearDown();
    }
    // Ten frames of one bone, frame f moving it f along x; animations
    // "walk" over frames 0..8 and "Run" over 5..9.
    void write_animation() {
        WafFile file;
        file.frames = 10;
        file.bones = 1;
        file.animations = {{"walk", 0, 8}, {"Run", 5, 9}};
        for (int f = 0; f < 10; ++f) {
            file.matrices.push_back(translation(static_cast<float>(f)));
        }
        write_file("walk.waf", waf_write(file));
        gen_waf_load(&waf, "walk.waf");
    }
    // A triangle whose first vertex is skinned to bone 0 with weight 1.
    void write_model(std::string skeletal = {}) {
        Wo2Model written;
        written.properties = GEN_WO2_SKELETAL;
        Wo2MaterialGroup group;
        group.uvs = false;
        Wo2FaceGroup face;
        for (int i = 0; i < 3; ++i) {
            Wo2Vertex v{};
            v.position[0] = static_cast<float>(i);
            v.normal[2] = 1;
            face.vertices.push_back(v);
        }
        group.faces.push_back(face);
        written.objects.push_back({"body", {group}});
        if (skeletal.empty()) {
            wo2_skin_vertex(&skeletal, {{0, {1, 0, 0, 1}, {0, 1, 0, 0}}}, {{0, 48}});
        }
        written.skeletal_block = skeletal;
        write_file("body.wo2", wo2_write(written));
        gen_wo2_load(&model, "body.wo2");
    }
    float skinned_x() {
        float position[3];
        std::memcpy(position, model.vertex_data, sizeof position);
        return position[0];
    }

    GEN_WAF waf{};
};

TEST_F(WafTest, AFileIsItsHeaderAnimationsAndMatrices) {
    WafFile file;
    file.frames = 10;
    file.bones = 3;
    file.animations = {{"a", 0, 4}, {"b", 4, 10}};
    file.matrices.assign(30, translation(0));
    const std::string bytes = waf_write(file);
    EXPECT_EQ(bytes.size(), 1584u);
    write_file("two.waf", bytes);
    gen_waf_load(&waf, "two.waf");
    EXPECT_EQ(waf.in_use, 1);
    EXPECT_NE(read_file("history.txt").find("FILE SIZE 1584\n"), std::string::npos);
    EXPECT_FLOAT_EQ(waf.matrices[29][15], 1.0f) << "the bottom row added";
    EXPECT_EQ(gen_waf_find_animation(&waf, "B"), 1);
    EXPECT_EQ(gen_waf_find_animation(&waf, "c"), -1);
    gen_waf_free(&waf);
    gen_waf_free(&waf);
    EXPECT_NE(read_file("error.txt").find("gen_waf_free: waf not in use or freed already"),
              std::string::npos);

    file.version = 0x101;
    write_file("new.waf", waf_write(file));
    gen_waf_load(&waf, "new.waf");
    EXPECT_NE(read_file("error.txt").find("wrong file version (0x101) in file new.waf"),
              std::string::npos);
}

TEST_F(WafTest, TheBlendedPoseMovesTheSkinnedVertex) {
    write_animation();
    write_model();
    ASSERT_EQ(read_file("error.txt"), "");
    GEN_ANIM_STATE state = {0, 0, 0.25f};
    gen_wo2_compute_skeletal(&model, &state, &waf);
    EXPECT_FLOAT_EQ(skinned_x(), 1 + 2) << "a quarter of 0..8 is frame 2";
    state.time = 1.25f;
    gen_wo2_compute_skeletal(&model, &state, &waf);
    EXPECT_FLOAT_EQ(skinned_x(), 3) << "only the fraction counts";
    state = {GEN_ANIM_FRAME_TIME, 0, 9.5f};
    gen_wo2_compute_skeletal(&model, &state, &waf);
    EXPECT_FLOAT_EQ(skinned_x(), 1 + 1.5f) << "frame 9 wraps to 1, half way to 2";
    float normal[3];
    std::memcpy(normal, model.vertex_data + 48, sizeof normal);
    EXPECT_FLOAT_EQ(normal[1], 1.0f) << "the weighted normal, normalised";
    float second[3];
    std::memcpy(second, model.vertex_data + 16, sizeof second);
    EXPECT_FLOAT_EQ(second[0], 1.0f) << "vertices not skinned stay";

    state.animation = 2;
    gen_wo2_compute_skeletal(&model, &state, &waf);
    EXPECT_NE(read_file("error.txt").find("animation out of range -> 2"), std::string::npos);
}

TEST_F(WafTest, AnIdentityBoneKeepsTheVertexAndAnOverrunIsReported) {
    WafFile file;
    file.frames = 2;
    file.bones = 1;
    file.animations = {{"still", 0, 2}};
    file.matrices = {translation(0), translation(0)};
    write_file("still.waf", waf_write(file));
    gen_waf_load(&waf, "still.waf");
    std::string skeletal;
    wo2_skin_vertex(&skeletal, {{0, {0, 0, 0, 1}, {0, 0, 1, 0}}}, {{0, 48}});
    write_model(skeletal);
    GEN_ANIM_STATE state = {0, 0, 0.5f};
    gen_wo2_compute_skeletal(&model, &state, &waf);
    EXPECT_FLOAT_EQ(skinned_x(), 0.0f);

    gen_wo2_free(&model);
    wo2_skin_vertex(&skeletal, {{0, {1, 1, 1, 1}, {0, 0, 1, 0}}}, {{16, 64}});
    write_model(skeletal.substr(0, skeletal.size() - 4));
    gen_wo2_compute_skeletal(&model, &state, &waf);
    EXPECT_NE(read_file("error.txt").find("skeletal_data (128) > skeletal_final (124)"),
              std::string::npos);
}

// Offsets near 4 GB must not wrap round the check into the vertex block's
// neighbours; the one that fits is still written.
TEST_F(WafTest, TargetsPastTheVertexBlockAreLeftAlone) {
    write_animation();
    std::string skeletal;
    wo2_skin_vertex(&skeletal, {{0, {1, 0, 0, 1}, {0, 1, 0, 0}}},
                    {{0xFFFFFFF8u, 0xFFFFFFFCu}, {0, 48}});
    write_model(skeletal);
    GEN_ANIM_STATE state = {0, 0, 0.25f};
    gen_wo2_compute_skeletal(&model, &state, &waf);
    EXPECT_FLOAT_EQ(skinned_x(), 3.0f);
}

} // namespace
