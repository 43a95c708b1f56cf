// Collision maps built over models from our writer, saved, loaded back,
// and refused when their files are damaged or belong to another model.
#include "model_test.h"

#include "xv_bytes.h"

#include <cmath>
#include <cstring>

namespace {

using test::floor_grid;
using test::read_file;
using test::triangle;
using test::write_file;

// count triangles side by side along x, each 1 wide, their centroids at
// x = first + k.
Wo2FaceGroup row_of_triangles(int count, float first = 0) {
    Wo2FaceGroup row;
    for (int k = 0; k < count; ++k) {
        const float x = first + static_cast<float>(k);
        const Wo2FaceGroup one = triangle({x - 0.5f, 0, -1}, {x - 0.5f, 0, 1}, {x + 1, 0, 0});
        row.vertices.insert(row.vertices.end(), one.vertices.begin(), one.vertices.end());
    }
    return row;
}

// The centroids, on one axis, of every triangle under the node.
void subtree_centroids(const GEN_WO2 &model, const GEN_COLL_MAP &map, uint16_t node, int axis,
                       std::vector<float> *out) {
    const GEN_COLL_NODE &n = map.nodes[node];
    for (uint32_t t = 0; t < n.num_triangles; ++t) {
        float v[3][3];
        gen_coll_triangle_vertices(&model, &n.triangles[t], v);
        out->push_back((v[0][axis] + v[1][axis] + v[2][axis]) / 3);
    }
    for (const uint16_t child : {n.child_a, n.child_b}) {
        if (child) {
            subtree_centroids(model, map, child, axis, out);
        }
    }
}

int leaf_triangles(const GEN_COLL_MAP &map) {
    int total = 0;
    for (uint32_t n = 0; n < map.num_nodes; ++n) {
        total += static_cast<int>(map.nodes[n].num_triangles);
    }
    return total;
}

class CollMapTest : public test::ModelTest {};

TEST_F(CollMapTest, FiftyTrianglesOrFewerAreOneLeafWithEmptyCaches) {
    load_objects({row_of_triangles(50)});
    build();
    ASSERT_EQ(map.inited, 1);
    ASSERT_EQ(map.num_nodes, 1u);
    const GEN_COLL_NODE &root = map.nodes[0];
    EXPECT_EQ(root.num_triangles, 50u);
    EXPECT_EQ(root.child_a, 0);
    EXPECT_EQ(root.child_b, 0);
    EXPECT_FLOAT_EQ(root.box_min[0], -0.5f);
    EXPECT_FLOAT_EQ(root.box_max[0], 50.0f);
    for (uint32_t t = 0; t < root.num_triangles; ++t) {
        EXPECT_EQ(root.triangles[t].cached, 0);
        EXPECT_EQ(root.triangles[t].vertices[1][2], 0.0f);
        EXPECT_EQ(root.triangles[t].vertex_offset, t * 48);
        EXPECT_EQ(root.triangles[t].collision_type, 1);
    }
    EXPECT_NE(history().find("min x -0.500000 y 0.000000 z -1.000000\n"
                             "max x 50.000000 y 0.000000 z 1.000000\n"),
              std::string::npos);
    EXPECT_NE(history().find("NUM NODES 1\n"), std::string::npos);
    EXPECT_EQ(errors(), "");
}

TEST_F(CollMapTest, TheLongestSideIsHalvedAndTiesGoToTheEarlierAxis) {
    // A box twice as long in z as in x and y splits across z; a box with
    // equal x and y sides and a shorter z side splits across x.
    const struct {
        float width, height, depth;
        int axis;
    } boxes[] = {{1, 1, 2, 2}, {2, 2, 1, 0}, {1, 3, 3, 1}};
    for (const auto &box : boxes) {
        load_objects({wo2_box(box.width, box.height, box.depth)});
        build(4);
        ASSERT_GT(map.num_nodes, 1u);
        const GEN_COLL_NODE &root = map.nodes[0];
        ASSERT_NE(root.child_a, 0);
        ASSERT_NE(root.child_b, 0);
        EXPECT_EQ(root.num_triangles, 0u);
        std::vector<float> lower, upper;
        subtree_centroids(model, map, root.child_a, box.axis, &lower);
        subtree_centroids(model, map, root.child_b, box.axis, &upper);
        EXPECT_LT(*std::max_element(lower.begin(), lower.end()), 0.0f) << "axis " << box.axis;
        EXPECT_GE(*std::min_element(upper.begin(), upper.end()), 0.0f) << "axis " << box.axis;
    }
}

TEST_F(CollMapTest, ACentroidOnTheSplitGoesToTheUpperHalf) {
    // The box runs from -0.5 to 1.5 on x: the split is at 0.5. The second
    // triangle's centroid is exactly there.
    load_objects({triangle({-0.5f, 0, 0}, {-0.5f, 0, 0.3f}, {-0.2f, 0, 0}),
                  triangle({0, 0, 0}, {0, 0, 0.3f}, {1.5f, 0, 0})});
    build(1);
    const GEN_COLL_NODE &root = map.nodes[0];
    ASSERT_NE(root.child_a, 0);
    ASSERT_NE(root.child_b, 0);
    EXPECT_EQ(map.nodes[root.child_a].triangles[0].reference, 0);
    EXPECT_EQ(map.nodes[root.child_b].triangles[0].reference, 1);
}

TEST_F(CollMapTest, TrianglesSharingOneCentroidStopAtTheDepthLimit) {
    Wo2FaceGroup pile;
    for (int k = 0; k < 60; ++k) {
        const float s = 1.0f + static_cast<float>(k);
        const Wo2FaceGroup one = triangle({-s, 0, 0}, {0, 0, s}, {s, 0, -s});
        pile.vertices.insert(pile.vertices.end(), one.vertices.begin(), one.vertices.end());
    }
    load_objects({pile});
    build(50, 20);
    ASSERT_EQ(map.num_nodes, 21u) << "the root and one node a level";
    EXPECT_EQ(map.nodes[20].num_triangles, 60u);
    EXPECT_EQ(leaf_triangles(map), 60);
}

TEST_F(CollMapTest, AFlatFloorStillSplitsIntoSmallLeaves) {
    // All its centroids lie on the box's top face: they split across x
    // and z all the same.
    load_objects({floor_grid(10, 0, 10)});
    build(50);
    EXPECT_EQ(leaf_triangles(map), 200);
    for (uint32_t n = 0; n < map.num_nodes; ++n) {
        EXPECT_LE(map.nodes[n].num_triangles, 50u);
    }
}

TEST_F(CollMapTest, OnlyCollidableTrianglesOfListsAndStripsAreGathered) {
    Wo2Model written;
    written.objects.push_back(test::object("ground", {floor_grid(1, 0, 1)}));
    written.objects.push_back(test::object("pillar", {wo2_cylinder_side(1, 2, 6)}));
    written.references = {
        {0, "ground"}, {1, "pillar"}, {1, "ghost_NO_COLLISION"}, {0, "rough COLLISION_TYPE 2"}};
    load(written);
    build();
    ASSERT_EQ(map.num_nodes, 1u);
    const GEN_COLL_NODE &root = map.nodes[0];
    ASSERT_EQ(root.num_triangles, 2u + 12u + 2u);
    // The strip's triangles start one vertex apart, every other one turned.
    const GEN_COLL_TRIANGLE *strip = root.triangles + 2;
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(strip[k].reference, 1);
        EXPECT_EQ(strip[k].vertex_offset - strip[0].vertex_offset, 16u * k);
        EXPECT_EQ(strip[k].strip_odd, k % 2);
    }
    EXPECT_EQ(root.triangles[14].reference, 3);
    EXPECT_EQ(root.triangles[14].collision_type, 2);
    // Every wall triangle of the strip faces out.
    for (int k = 0; k < 12; ++k) {
        float v[3][3], plane[4];
        ASSERT_TRUE(gen_coll_triangle_vertices(&model, &strip[k], v));
        gen_math_plane_from_points(plane, v[0], v[1], v[2]);
        const float centre[3] = {(v[0][0] + v[1][0] + v[2][0]) / 3, 0,
                                 (v[0][2] + v[1][2] + v[2][2]) / 3};
        EXPECT_GT(gen_math_dot(plane, centre), 0) << "strip triangle " << k;
    }
}

TEST_F(CollMapTest, AModelWithNothingCollidableIsOneEmptyLeaf) {
    Wo2Model written;
    written.objects.push_back(test::object("cloud", {wo2_box(1, 1, 1)}));
    written.references = {{0, "cloud_NO_COLLISION"}};
    load(written);
    build();
    ASSERT_EQ(map.num_nodes, 1u);
    EXPECT_EQ(map.nodes[0].num_triangles, 0u);
    EXPECT_EQ(map.nodes[0].box_min[1], 1000000.0f);
    EXPECT_EQ(map.nodes[0].box_max[1], -1000000.0f);
    gen_wo2_coll_map_free(&map);
    EXPECT_EQ(map.inited, 0);
    EXPECT_EQ(map.nodes, nullptr);
}

TEST_F(CollMapTest, TheBuildAssertsWhatItNeeds) {
    load_objects({wo2_box(1, 1, 1)});
    build();
    gen_wo2_coll_map_build(&model, &map, 50, 20);
    EXPECT_NE(errors().find("(!coll_map->inited)"), std::string::npos);
    gen_wo2_coll_map_build(nullptr, &map, 50, 20);
    EXPECT_NE(errors().find("(model!=NULL)"), std::string::npos);
    GEN_COLL_MAP empty{};
    gen_wo2_coll_map_save(&model, &empty, "x.col");
    EXPECT_NE(errors().find("(coll_map->inited)"), std::string::npos);
    EXPECT_FALSE(test::file_exists("x.col"));
}

// Two leaves of 20 under a root: 34 + 3 × 37 + 40 × 72 bytes.
class CollMapFileTest : public test::ModelTest {
  protected:
    void SetUp() override {
        ModelTest::SetUp();
        load_objects({row_of_triangles(20, 0), row_of_triangles(20, 100)});
        build(20);
        ASSERT_EQ(map.num_nodes, 3u);
    }
    std::string saved() {
        EXPECT_EQ(gen_wo2_coll_map_save(&model, &map, "level.col"), 1);
        return read_file("level.col");
    }
    bool load_file(const std::string &bytes) {
        write_file("other.col", bytes);
        GEN_COLL_MAP loaded{};
        const bool read = gen_wo2_coll_map_load(&loaded, "other.col");
        if (loaded.inited) {
            gen_wo2_coll_map_free(&loaded);
        }
        return read;
    }
};

TEST_F(CollMapFileTest, TheFileIsPackedLittleEndianAndItsSizeTraced) {
    const std::string file = saved();
    ASSERT_EQ(file.size(), 3025u);
    const auto *bytes = reinterpret_cast<const uint8_t *>(file.data());
    EXPECT_EQ(bytes[0], 0x4D);
    EXPECT_EQ(bytes[1], 0x43);
    EXPECT_EQ(xv_le32(bytes + 2), 0x100u);
    EXPECT_EQ(xv_le32(bytes + 6), gen_wo2_header_checksum(&model));
    EXPECT_EQ(bytes[10], 1) << "inited";
    EXPECT_EQ(xv_le32(bytes + 14), 20u);
    EXPECT_EQ(xv_le32(bytes + 18), 20u);
    EXPECT_EQ(xv_le32(bytes + 22), 3u);
    EXPECT_EQ(xv_le32(bytes + 30), 0u) << "no address in a file";
    const uint8_t *root = bytes + 34;
    EXPECT_EQ(xv_le16(root + 1), 1);
    EXPECT_EQ(xv_le16(root + 3), 2);
    EXPECT_EQ(xv_le32(root + 29), 0u);
    const uint8_t *second_leaf_first_triangle = bytes + 34 + 3 * 37 + 20 * 72;
    EXPECT_EQ(xv_le16(second_leaf_first_triangle + 52), 1) << "reference";
    EXPECT_EQ(xv_le32(second_leaf_first_triangle + 56), map.nodes[2].triangles[0].vertex_offset);
    EXPECT_EQ(second_leaf_first_triangle[60], 0) << "not cached";
    EXPECT_EQ(second_leaf_first_triangle[61], 1) << "collision type";
    EXPECT_NE(history().find("SAVING COLLISION MAP level.col\nnum nodes 3\nnum allocated_nodes "
                             "50\nmax_triangles_per_node 20\nmax_depth 20\n"),
              std::string::npos);
    EXPECT_NE(history().find("total size 3025\n"), std::string::npos);
}

TEST_F(CollMapFileTest, ALoadedMapIsTheSavedOne) {
    saved();
    GEN_COLL_MAP loaded{};
    ASSERT_EQ(gen_wo2_coll_map_load(&loaded, "level.col"), 1);
    ASSERT_EQ(loaded.num_nodes, 3u);
    EXPECT_EQ(loaded.num_allocated_nodes, 3u);
    for (uint32_t n = 0; n < 3; ++n) {
        EXPECT_EQ(loaded.nodes[n].child_a, map.nodes[n].child_a);
        EXPECT_EQ(loaded.nodes[n].num_triangles, map.nodes[n].num_triangles);
        EXPECT_EQ(std::memcmp(loaded.nodes[n].box_min, map.nodes[n].box_min, 24), 0);
        for (uint32_t t = 0; t < loaded.nodes[n].num_triangles; ++t) {
            EXPECT_EQ(loaded.nodes[n].triangles[t].vertex_offset,
                      map.nodes[n].triangles[t].vertex_offset);
        }
    }
    EXPECT_NE(history().find("LOADING COLLISION MAP level.col\nnum nodes 3\n"), std::string::npos);
    gen_wo2_coll_map_free(&loaded);
}

TEST_F(CollMapFileTest, CreateLoadsAnUnchangedModelAndRebuildsAChangedOne) {
    gen_wo2_coll_map_free(&map);
    gen_wo2_coll_map_create(&model, &map, 20, 20, "level.col");
    EXPECT_EQ(test::count_occurrences(history(), "CREATING COLLISION MAP\n"), 1);
    const std::string first = read_file("level.col");
    ASSERT_EQ(first.size(), 3025u);
    gen_wo2_coll_map_free(&map);
    gen_wo2_coll_map_create(&model, &map, 20, 20, "level.col");
    EXPECT_EQ(test::count_occurrences(history(), "LOADING COLLISION MAP FROM FILE!!!!\n"), 1);
    EXPECT_EQ(map.num_nodes, 3u);
    gen_wo2_coll_map_free(&map);
    // One more collision sphere changes one byte of the header only.
    Wo2Model changed;
    changed.collision_spheres = 1;
    changed.objects = {test::object("a", {row_of_triangles(20, 0)}),
                       test::object("b", {row_of_triangles(20, 100)})};
    changed.references = {{0, "a"}, {1, "b"}};
    load(changed);
    gen_wo2_coll_map_create(&model, &map, 20, 20, "level.col");
    EXPECT_EQ(test::count_occurrences(history(), "CREATING COLLISION MAP\n"), 2);
    EXPECT_NE(read_file("level.col"), first);
    EXPECT_EQ(errors(), "");
}

// A built map that cannot be kept (no such folder, a read-only one) is
// used all the same and built again next time: no error ends the game. Asked
// to save, the engine does report it.
TEST_F(CollMapFileTest, AMapThatCannotBeKeptIsUsedAndBuiltAgainNextTime) {
    gen_wo2_coll_map_free(&map);
    gen_wo2_coll_map_create(&model, &map, 20, 20, "no_such_folder/level.col");
    EXPECT_TRUE(map.inited);
    EXPECT_EQ(map.num_nodes, 3u);
    EXPECT_EQ(errors(), "");
    EXPECT_NE(history().find("no_such_folder/level.col could not be kept"), std::string::npos);
    EXPECT_EQ(gen_wo2_coll_map_save(&model, &map, "no_such_folder/level.col"), 0);
    EXPECT_NE(errors().find("cant create no_such_folder/level.col"), std::string::npos);
}

TEST_F(CollMapFileTest, DamagedFilesAreRefusedWithAReport) {
    const std::string good = saved();
    // Every shorter file.
    for (size_t size = 0; size < good.size(); size += size < 40 ? 1 : 37) {
        EXPECT_FALSE(load_file(good.substr(0, size))) << size;
    }
    EXPECT_NE(errors().find("is damaged (ends inside its triangles)"), std::string::npos);
    EXPECT_NE(errors().find("is damaged (ends inside its nodes)"), std::string::npos);
    auto with = [&](size_t at, uint32_t value, int bytes) {
        std::string file = good;
        auto *p = reinterpret_cast<uint8_t *>(file.data()) + at;
        bytes == 2 ? xv_put_le16(p, static_cast<uint16_t>(value)) : xv_put_le32(p, value);
        return file;
    };
    EXPECT_FALSE(load_file(with(0, 0x4D43, 2)));
    EXPECT_NE(errors().find("gen_wo2_coll_map_load: wrong file type\n"), std::string::npos);
    EXPECT_FALSE(load_file(with(2, 0x101, 4)));
    EXPECT_NE(errors().find("wrong version 0x101 (expected 0x100)\n"), std::string::npos);
    EXPECT_FALSE(load_file(with(22, 0, 4)));
    EXPECT_FALSE(load_file(with(22, 70000, 4)));
    EXPECT_NE(errors().find("is damaged (node count)"), std::string::npos);
    EXPECT_FALSE(load_file(with(22, 100, 4))) << "more nodes than the file holds";
    EXPECT_FALSE(load_file(with(34 + 37 + 29, 0x7FFFFFFF, 4))) << "triangles past the end";
    EXPECT_FALSE(load_file(with(34 + 1, 3, 2))) << "a child past the last node";
    EXPECT_FALSE(load_file(with(34 + 3, 1, 2))) << "one child claimed twice";
    EXPECT_FALSE(load_file(with(34 + 37 + 1, 1, 2))) << "a node its own child";
    EXPECT_NE(errors().find("is damaged (child numbers)"), std::string::npos);
    EXPECT_FALSE(load_file(""));
    EXPECT_TRUE(load_file(good + "trailing bytes are no harm"));
    GEN_COLL_MAP missing{};
    EXPECT_EQ(gen_wo2_coll_map_load(&missing, "nowhere.col"), 0);
    EXPECT_NE(errors().find("gen_wo2_coll_map_load: cant open nowhere.col\n"), std::string::npos);
}

// A file whose checksum matches but whose triangles are not this model's:
// one past its vertices, or every one moved half a vertex along (inside the
// block, reading its floats from the wrong places), or one left out. The
// cache is built again and saved over, and the game plays on.
TEST_F(CollMapFileTest, AMapThatDoesNotFitItsModelIsBuiltAgain) {
    const std::string good = saved();
    constexpr size_t kFirstTriangle = 34 + 3 * 37;
    auto damaged = [&](auto change) {
        std::string file = good;
        change(reinterpret_cast<uint8_t *>(file.data()));
        return file;
    };
    const std::string beyond =
        damaged([](uint8_t *bytes) { xv_put_le32(bytes + kFirstTriangle + 56, 1u << 20); });
    const std::string misaligned = damaged([](uint8_t *bytes) {
        for (int t = 0; t < 40; ++t) {
            uint8_t *offset = bytes + kFirstTriangle + 72 * t + 56;
            xv_put_le32(offset, xv_le32(offset) + 8);
        }
    });
    const std::string twice = damaged([](uint8_t *bytes) {
        std::memcpy(bytes + kFirstTriangle + 72, bytes + kFirstTriangle, 72);
    });
    for (const std::string &file : {beyond, misaligned, twice}) {
        write_file("level.col", file);
        gen_wo2_coll_map_free(&map);
        GEN_COLL_MAP loaded{};
        ASSERT_TRUE(gen_wo2_coll_map_load(&loaded, "level.col"));
        EXPECT_FALSE(gen_wo2_coll_map_fits(&model, &loaded));
        gen_wo2_coll_map_free(&loaded);
        const size_t built = test::count_occurrences(history(), "CREATING COLLISION MAP\n");
        gen_wo2_coll_map_create(&model, &map, 20, 20, "level.col");
        EXPECT_EQ(test::count_occurrences(history(), "CREATING COLLISION MAP\n"), built + 1);
        EXPECT_TRUE(gen_wo2_coll_map_fits(&model, &map));
        EXPECT_EQ(read_file("level.col"), good);
    }
    EXPECT_EQ(test::count_occurrences(history(), "level.col does not fit its model: built again"),
              3);
    EXPECT_EQ(errors(), "") << "a stale cache is no error";
}

} // namespace
