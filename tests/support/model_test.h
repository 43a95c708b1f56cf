// Models written by our WO2 writer and loaded by the engine, without a
// window: for the suites that look at geometry rather than pictures.
#pragma once

#include "test_support.h"
#include "wo2_writer.h"

#include "gen.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace test {

using Matrix = std::array<float, 16>;

inline Matrix translation(float x, float y, float z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

// A triangle given corner by corner, in the order the format faces it.
inline Wo2FaceGroup triangle(std::array<float, 3> a, std::array<float, 3> b,
                             std::array<float, 3> c) {
    Wo2FaceGroup face;
    for (const auto &p : {a, b, c}) {
        Wo2Vertex v{};
        std::copy(p.begin(), p.end(), v.position);
        face.vertices.push_back(v);
    }
    return face;
}

// A flat square floor at height y, from -half to half on x and z, facing
// up: cells × cells × 2 triangles.
inline Wo2FaceGroup floor_grid(float half, float y, int cells) {
    std::vector<float> heights(static_cast<size_t>(cells + 1) * (cells + 1), 0.0f);
    Wo2FaceGroup face = wo2_heightfield(heights, cells + 1, cells + 1, 2 * half / cells);
    for (Wo2Vertex &v : face.vertices) {
        v.position[0] -= half;
        v.position[1] += y;
        v.position[2] -= half;
    }
    return face;
}

inline Wo2Object object(const std::string &name, std::vector<Wo2FaceGroup> faces) {
    Wo2MaterialGroup group;
    group.uvs = false;
    group.faces = std::move(faces);
    return {name, {group}};
}

class ModelTest : public FileLayerTest {
  protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        gen_info_init();
        gen_tex_init();
        gen_wo2_init();
    }
    void TearDown() override {
        if (map.inited) {
            gen_wo2_coll_map_free(&map);
        }
        gen_wo2_free(&model);
        gen_wo2_deinit();
        gen_tex_deinit();
        gen_info_deinit();
        FileLayerTest::TearDown();
    }
    void load(const Wo2Model &written, const std::string &file = "level.wo2") {
        gen_wo2_free(&model);
        write_file(file, wo2_write(written));
        gen_wo2_load(&model, file.c_str());
        ASSERT_EQ(model.in_use, 1) << errors();
    }
    // One object per face group, each placed once by its own reference.
    void load_objects(const std::vector<Wo2FaceGroup> &faces) {
        Wo2Model written;
        for (size_t i = 0; i < faces.size(); ++i) {
            written.objects.push_back(object("object" + std::to_string(i), {faces[i]}));
            written.references.push_back({static_cast<int>(i), "ref" + std::to_string(i)});
        }
        load(written);
    }
    void build(uint32_t per_leaf = 50, uint32_t depth = 20) {
        if (map.inited) {
            gen_wo2_coll_map_free(&map);
        }
        gen_wo2_coll_map_build(&model, &map, per_leaf, depth);
    }
    std::string errors() const { return read_file("error.txt"); }
    std::string history() const { return read_file("history.txt"); }

    GEN_WO2 model{};
    GEN_COLL_MAP map{};
};

} // namespace test
