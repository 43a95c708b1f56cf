// Collision queries against models from our writer: the contacts a ball
// and a camera rely on, the flags, and sweeps checked against a reference
// worked out here by brute force.
#include "model_test.h"

#include <cmath>
#include <cstring>
#include <random>

namespace {

using test::floor_grid;
using test::triangle;
using V3 = std::array<float, 3>;

V3 sub(V3 a, V3 b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
float dot(V3 a, V3 b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
V3 cross(V3 a, V3 b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
V3 along(V3 a, V3 d, float t) {
    return {a[0] + d[0] * t, a[1] + d[1] * t, a[2] + d[2] * t};
}

// The reference: how far p is from the triangle, by barycentric regions.
float distance_to_triangle(V3 p, V3 a, V3 b, V3 c) {
    auto segment = [&](V3 s, V3 e) {
        const V3 se = sub(e, s);
        const float t = std::clamp(dot(sub(p, s), se) / dot(se, se), 0.0f, 1.0f);
        const V3 d = sub(p, along(s, se, t));
        return std::sqrt(dot(d, d));
    };
    const V3 n = cross(sub(b, a), sub(c, a));
    const bool inside = dot(cross(sub(b, a), sub(p, a)), n) >= 0 &&
                        dot(cross(sub(c, b), sub(p, b)), n) >= 0 &&
                        dot(cross(sub(a, c), sub(p, c)), n) >= 0;
    if (inside) {
        return std::fabs(dot(sub(p, a), n)) / std::sqrt(dot(n, n));
    }
    return std::min({segment(a, b), segment(b, c), segment(c, a)});
}

// The format's plane: facing the side from which a, b, c run clockwise.
float plane_distance(V3 p, V3 a, V3 b, V3 c) {
    V3 n = cross(sub(a, b), sub(c, a));
    const float length = std::sqrt(dot(n, n));
    return dot(sub(p, a), n) / length;
}

class CollTest : public test::ModelTest {
  protected:
    void TearDown() override {
        gen_coll_set_flags(0);
        gen_coll_set_type_mask(0xFF);
        ModelTest::TearDown();
    }
    GEN_COLL_INFO info() const {
        GEN_COLL_INFO out{};
        gen_coll_get_last_info(&out);
        return out;
    }
    uint8_t sphere(V3 c, float r) { return gen_coll_sphere_wo2(c[0], c[1], c[2], r, &model, &map); }
    uint8_t ray(V3 s, V3 e, float r = 0) {
        return gen_coll_ray_wo2(s.data(), e.data(), r, &model, &map);
    }
    // The map's triangles, straight from the mesh: the reference's.
    std::vector<std::array<V3, 3>> triangles_of_the_map() const {
        std::vector<std::array<V3, 3>> mesh;
        for (uint32_t n = 0; n < map.num_nodes; ++n) {
            for (uint32_t t = 0; t < map.nodes[n].num_triangles; ++t) {
                float v[3][3];
                gen_coll_triangle_vertices(&model, &map.nodes[n].triangles[t], v);
                mesh.push_back({V3{v[0][0], v[0][1], v[0][2]}, V3{v[1][0], v[1][1], v[1][2]},
                                V3{v[2][0], v[2][1], v[2][2]}});
            }
        }
        return mesh;
    }
};

TEST_F(CollTest, ABallRestingOnTheFloorIsPushedStraightUp) {
    load_objects({floor_grid(10, 0, 4)});
    build();
    gen_coll_set_flags(GEN_COLL_NEAREST);
    ASSERT_EQ(sphere({0.3f, 0.5f, 0.2f}, 1), 1);
    const GEN_COLL_INFO hit = info();
    EXPECT_FLOAT_EQ(hit.distance, 0.5f);
    EXPECT_FLOAT_EQ(hit.normal[1], 1.0f);
    EXPECT_FLOAT_EQ(hit.point[0], 0.3f);
    EXPECT_FLOAT_EQ(hit.point[1], 0.0f);
    EXPECT_FLOAT_EQ(hit.point[2], 0.2f);
    EXPECT_EQ(hit.collision_type, 1);
    EXPECT_EQ(sphere({0.3f, -0.5f, 0.2f}, 1), 0) << "below the floor";
    EXPECT_EQ(info().hit, 0);
    gen_coll_set_flags(GEN_COLL_NEAREST | GEN_COLL_TWO_SIDED);
    ASSERT_EQ(sphere({0.3f, -0.5f, 0.2f}, 1), 1);
    EXPECT_FLOAT_EQ(info().distance, -0.5f);
    EXPECT_EQ(sphere({0.3f, 1.0f, 0.2f}, 1), 0) << "touching is not a contact";
    EXPECT_EQ(errors(), "");
}

TEST_F(CollTest, AnEdgeContactIsMeasuredFromTheEdge) {
    load_objects({triangle({0, 0, 0}, {1, 0, 0}, {0, 0, 1})});
    build();
    gen_coll_set_flags(GEN_COLL_NEAREST);
    ASSERT_EQ(sphere({0.5f, 0.4f, -0.3f}, 1), 1);
    EXPECT_FLOAT_EQ(info().distance, 0.5f);
    EXPECT_FLOAT_EQ(info().point[0], 0.5f);
    EXPECT_FLOAT_EQ(info().point[2], 0.0f);
    gen_coll_set_flags(GEN_COLL_NEAREST | GEN_COLL_NO_SQUARED_DIST);
    ASSERT_EQ(sphere({0.5f, 0.4f, -0.3f}, 1), 1);
    EXPECT_FLOAT_EQ(info().distance, 0.25f);
}

TEST_F(CollTest, TheNearestContactOrTheFirstMet) {
    load_objects({floor_grid(1, 0, 1), floor_grid(1, 0.2f, 1)});
    build();
    gen_coll_set_flags(GEN_COLL_NEAREST);
    ASSERT_EQ(sphere({-0.5f, 0.5f, -0.5f}, 1), 1);
    EXPECT_FLOAT_EQ(info().distance, 0.3f);
    EXPECT_FLOAT_EQ(info().point[1], 0.2f);
    gen_coll_set_flags(0);
    ASSERT_EQ(sphere({-0.5f, 0.5f, -0.5f}, 1), 1);
    EXPECT_FLOAT_EQ(info().distance, 0.5f) << "the first floor's triangles come first";
}

TEST_F(CollTest, TheListHoldsThreeHundredContacts) {
    Wo2FaceGroup stack;
    for (int k = 0; k < 301; ++k) {
        const float y = 0.001f * static_cast<float>(k);
        const Wo2FaceGroup one = triangle({0, y, 0}, {1, y, 0}, {0, y, 1});
        stack.vertices.insert(stack.vertices.end(), one.vertices.begin(), one.vertices.end());
    }
    load_objects({stack});
    build();
    gen_coll_set_flags(GEN_COLL_LIST);
    ASSERT_EQ(sphere({0.2f, 0.5f, 0.2f}, 1), 1);
    std::vector<GEN_COLL_CONTACT> list(GEN_COLL_MOST_CONTACTS);
    ASSERT_EQ(gen_coll_get_list(list.data()), 300);
    EXPECT_EQ(
        test::count_occurrences(errors(), "gen_coll_sphere_face: collision list is way too big"),
        1);
    for (const GEN_COLL_CONTACT &contact : list) {
        EXPECT_NEAR(contact.distance, 0.5f - contact.vertices[0][1], 1e-5f);
        EXPECT_FLOAT_EQ(contact.plane[1], 1.0f);
    }
    EXPECT_NEAR(info().distance, 0.2f, 1e-5f) << "the record keeps the nearest";
    gen_coll_set_flags(0);
    sphere({0.2f, 0.5f, 0.2f}, 1);
    EXPECT_EQ(gen_coll_get_list(nullptr), 0) << "every query starts a new list";
}

TEST_F(CollTest, RaysHitFrontFacesOnly) {
    load_objects({wo2_box(2, 2, 2)});
    build();
    ASSERT_EQ(ray({0, 0, 5}, {0, 0, 0}), 1);
    EXPECT_FLOAT_EQ(info().distance, 4.0f);
    EXPECT_FLOAT_EQ(info().normal[2], 1.0f);
    EXPECT_FLOAT_EQ(info().point[2], 1.0f);
    EXPECT_EQ(ray({0, 0, 0}, {0, 0, 5}), 0) << "from inside, every face is a back face";
    gen_coll_set_flags(GEN_COLL_TWO_SIDED);
    ASSERT_EQ(ray({0, 0, 0}, {0, 0, 5}), 1);
    EXPECT_FLOAT_EQ(info().distance, 1.0f);
    EXPECT_EQ(ray({0, 0, 5}, {0, 0, 3}), 0) << "stopping short";
    EXPECT_EQ(errors(), "");
}

TEST_F(CollTest, QueriesRefuseWhatTheyCannotDo) {
    load_objects({wo2_box(2, 2, 2)});
    build();
    EXPECT_EQ(ray({1, 2, 3}, {1, 2, 3}), 0);
    EXPECT_NE(errors().find("gen_coll_ray_wbo: start and end points are the same"),
              std::string::npos);
    gen_coll_set_flags(GEN_COLL_NO_SQUARED_DIST);
    EXPECT_EQ(ray({0, 0, 5}, {0, 0, 0}), 0);
    EXPECT_NE(errors().find("gen_coll_ray_wo2: GEN_COLL_NO_SQUARED_DIST not implemented yet"),
              std::string::npos);
    const float lo[3] = {-5, -5, -5}, hi[3] = {5, 5, 5};
    EXPECT_EQ(gen_coll_aabb_wo2(lo, hi, &model, &map), 0);
    EXPECT_NE(errors().find("gen_coll_aabb_wo2: GEN_COLL_NO_SQUARED_DIST not implemented yet"),
              std::string::npos);
    gen_coll_get_last_info(nullptr);
    EXPECT_NE(errors().find("gen_coll_get_last_info: NULL pointer"), std::string::npos);
    gen_coll_set_flags(0);
    GEN_COLL_MAP empty{};
    EXPECT_EQ(gen_coll_sphere_wo2(0, 0, 0, 1, &model, &empty), 0);
    EXPECT_EQ(gen_coll_sphere_wo2(0, 0, 0, 1, nullptr, &map), 0);
    EXPECT_NE(errors().find("(gen_coll_wo2_model!=NULL)"), std::string::npos);
}

TEST_F(CollTest, AMirroredReferenceStillFacesOut) {
    Wo2Model written;
    written.objects.push_back(test::object("box", {wo2_box(2, 2, 2)}));
    Wo2Reference mirrored{0, "mirror"};
    mirrored.matrix = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 0, 0, 1};
    mirrored.mirrored = true;
    written.references = {mirrored};
    load(written);
    build();
    ASSERT_EQ(ray({20, 0, 0}, {10, 0, 0}), 1);
    EXPECT_FLOAT_EQ(info().distance, 9.0f);
    EXPECT_FLOAT_EQ(info().normal[0], 1.0f);
    EXPECT_EQ(ray({10, 0, 0}, {20, 0, 0}), 0) << "and its inside is still its back";
}

TEST_F(CollTest, TurningAReferenceLaterLeavesItsCollisionWhereItWasLoaded) {
    Wo2Model written;
    // Long along z: turned a quarter round y it would reach x = 6.
    written.objects.push_back(test::object("box", {wo2_box(2, 2, 6)}));
    written.references = {{0, "box", test::translation(3, 0, 0)}};
    load(written);
    build();
    ASSERT_EQ(ray({10, 0, 0}, {0, 0, 0}), 1);
    EXPECT_FLOAT_EQ(info().distance, 6.0f);
    xv_3d_object_reference_matrix_rotate(&model, 0, 0, 90, 0);
    float moved[16];
    xv_3d_object_get_reference_matrix(&model, 0, moved);
    EXPECT_NEAR(moved[0], 0.0f, 1e-3f) << "the drawing turns";
    ASSERT_EQ(ray({10, 0, 0}, {0, 0, 0}), 1);
    EXPECT_FLOAT_EQ(info().distance, 6.0f);
    // A map made after the turn is made from the model as loaded too.
    build();
    ASSERT_EQ(ray({10, 0, 0}, {0, 0, 0}), 1);
    EXPECT_FLOAT_EQ(info().distance, 6.0f);
}

TEST_F(CollTest, TheTypeMaskChoosesWhichTrianglesTakePart) {
    Wo2Model written;
    written.objects.push_back(test::object("floor", {floor_grid(1, 0, 1)}));
    written.references = {{0, "rough COLLISION_TYPE 2"}};
    load(written);
    build();
    gen_coll_set_type_mask(1);
    EXPECT_EQ(sphere({0, 0.5f, 0}, 1), 0);
    gen_coll_set_type_mask(2);
    ASSERT_EQ(sphere({0, 0.5f, 0}, 1), 1);
    EXPECT_EQ(info().collision_type, 2);
}

TEST_F(CollTest, ABoxMeetsTrianglesWhoseBoxesItOverlaps) {
    load_objects({floor_grid(1, 0, 1)});
    build();
    gen_coll_set_flags(GEN_COLL_NEAREST);
    sphere({0.3f, 0.5f, 0.2f}, 1);
    const float lo[3] = {0.5f, -0.1f, 0.5f}, hi[3] = {2, 0, 2};
    ASSERT_EQ(gen_coll_aabb_wo2(lo, hi, &model, &map), 1);
    EXPECT_EQ(info().distance, 0.0f);
    EXPECT_FLOAT_EQ(info().normal[1], 1.0f);
    EXPECT_FLOAT_EQ(info().point[0], 0.3f) << "a box contact leaves the point as it was";
    const float above[3] = {0, 0.01f, 0}, higher[3] = {1, 1, 1};
    EXPECT_EQ(gen_coll_aabb_wo2(above, higher, &model, &map), 0);
}

// Random balls over a bumpy course of many leaves: the nearest contact is
// the one the reference finds among all its triangles.
TEST_F(CollTest, SpheresFindTheNearestContactAnywhereInTheTree) {
    const int columns = 21;
    std::vector<float> heights(columns * columns);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> bump(0, 0.6f);
    for (float &h : heights) {
        h = bump(random);
    }
    load_objects({wo2_heightfield(heights, columns, columns, 0.5f)});
    build();
    ASSERT_GT(map.num_nodes, 10u);
    // The reference's triangles, straight from the mesh.
    const std::vector<std::array<V3, 3>> mesh = triangles_of_the_map();
    std::uniform_real_distribution<float> across(-0.5f, 10.5f), height(-0.2f, 1.2f);
    gen_coll_set_flags(GEN_COLL_NEAREST);
    int hits = 0;
    for (int i = 0; i < 400; ++i) {
        const V3 c = {across(random), height(random), across(random)};
        const float r = 0.3f;
        float nearest = 1e9f;
        for (const auto &t : mesh) {
            const float d = plane_distance(c, t[0], t[1], t[2]);
            if (d > 0 && d < r) {
                nearest = std::min(nearest, distance_to_triangle(c, t[0], t[1], t[2]));
            }
        }
        const bool expected = nearest < r;
        ASSERT_EQ(sphere(c, r), expected ? 1 : 0) << "ball " << i;
        if (expected) {
            ++hits;
            EXPECT_NEAR(info().distance, nearest, 1e-4f) << "ball " << i;
        }
    }
    EXPECT_GT(hits, 50);
}

// A ball swept from start to end against one triangle: the travel to its
// first touch, found by small steps, or -1.
float swept_reference(V3 start, V3 end, float r, const std::array<V3, 3> &t) {
    const V3 d = sub(end, start);
    const float length = std::sqrt(dot(d, d));
    const V3 u = {d[0] / length, d[1] / length, d[2] / length};
    constexpr int kSteps = 20000;
    for (int i = 0; i <= kSteps; ++i) {
        const float s = length * static_cast<float>(i) / kSteps;
        if (distance_to_triangle(along(start, u, s), t[0], t[1], t[2]) <= r) {
            return s;
        }
    }
    return -1;
}

TEST_F(CollTest, ThickRaysMeetFacesEdgesAndCornersWhereTheBallFirstTouches) {
    // A wall in the plane z = 0 facing -z, its top edge at y = 1 from
    // x = -1 to 1, its corner at (1, 1, 0).
    const std::array<V3, 3> wall = {V3{-1, 1, 0}, V3{-1, -3, 0}, V3{1, 1, 0}};
    ASSERT_GT(plane_distance({0, 0, -1}, wall[0], wall[1], wall[2]), 0);
    load_objects({triangle(wall[0], wall[1], wall[2])});
    build();
    const float r = 0.5f;
    const struct {
        const char *name;
        V3 start, end;
    } sweeps[] = {
        {"onto the face", {0, 0, -3}, {0, 0, 3}},
        {"onto the top edge", {0, 1.3f, -3}, {0, 1.3f, 3}},
        {"slanting onto the edge", {-0.5f, 1.8f, -3}, {0.3f, 0.9f, 2}},
        {"onto the corner", {1.2f, 1.2f, -3}, {1.2f, 1.2f, 3}},
        {"past the corner", {1.6f, 1.6f, -3}, {1.6f, 1.6f, 3}},
        {"along the wall", {-3, 0, -0.6f}, {3, 0, -0.6f}},
    };
    gen_coll_set_flags(GEN_COLL_NEAREST);
    for (const auto &sweep : sweeps) {
        const float expected = swept_reference(sweep.start, sweep.end, r, wall);
        const uint8_t hit = ray(sweep.start, sweep.end, r);
        ASSERT_EQ(hit, expected >= 0 ? 1 : 0) << sweep.name;
        if (hit) {
            EXPECT_NEAR(info().distance, expected, 2e-3f) << sweep.name;
            EXPECT_FLOAT_EQ(info().normal[2], -1.0f) << sweep.name;
        }
    }
    // Starting within a radius of the plane is a contact at once, at the
    // start's distance from the plane.
    ASSERT_EQ(ray({0, 0, -0.3f}, {0, 0, -2}, r), 1);
    EXPECT_FLOAT_EQ(info().distance, 0.3f);
}

// Sweeps at every slant past the wall's edges and corners, against the
// reference: the rim is where a test that only looks at the nearest edge
// goes wrong.
TEST_F(CollTest, ThickRaysAtASlantMeetTheRimWhereTheReferenceDoes) {
    const std::array<V3, 3> wall = {V3{-1, 1, 0}, V3{-1, -3, 0}, V3{1, 1, 0}};
    load_objects({triangle(wall[0], wall[1], wall[2])});
    build();
    gen_coll_set_flags(GEN_COLL_NEAREST);
    std::mt19937 random(3);
    std::uniform_real_distribution<float> across(-2.5f, 2.5f), front(-4, -0.6f), behind(0.5f, 3);
    int hits = 0;
    for (int i = 0; i < 300; ++i) {
        const V3 s = {across(random), across(random), front(random)};
        const V3 e = {across(random), across(random), behind(random)};
        const float expected = swept_reference(s, e, 0.5f, wall);
        ASSERT_EQ(ray(s, e, 0.5f), expected >= 0 ? 1 : 0) << "sweep " << i;
        if (expected >= 0) {
            ++hits;
            EXPECT_NEAR(info().distance, expected, 5e-3f) << "sweep " << i;
        }
    }
    EXPECT_GT(hits, 100);
}

// What one sphere query left: its answer, the nearest contact and the list.
struct Answer {
    uint8_t hit;
    GEN_COLL_INFO info;
    std::vector<GEN_COLL_CONTACT> list;
};

Answer answer(uint8_t hit) {
    Answer out{hit, {}, std::vector<GEN_COLL_CONTACT>(GEN_COLL_MOST_CONTACTS)};
    gen_coll_get_last_info(&out.info);
    out.list.resize(static_cast<size_t>(gen_coll_get_list(out.list.data())));
    return out;
}

// Bit for bit: an index must not move a contact by a rounding.
void expect_same(const Answer &indexed, const Answer &walked, const std::string &what) {
    ASSERT_EQ(indexed.hit, walked.hit) << what;
    EXPECT_EQ(std::memcmp(&indexed.info, &walked.info, sizeof indexed.info), 0) << what;
    ASSERT_EQ(indexed.list.size(), walked.list.size()) << what;
    for (size_t i = 0; i < walked.list.size(); ++i) {
        EXPECT_EQ(std::memcmp(&indexed.list[i], &walked.list[i], sizeof walked.list[i]), 0)
            << what << ", contact " << i;
    }
}

// Balls resting on, grazing and sunk into a bumpy ground, a fairway's grid
// and walls of two collision types, near their faces, edges and corners
// and anywhere round them: the index answers each exactly as the walk of
// the whole map does, the same contacts in the same order, under each set
// of flags (the first contact only, too). Another radius or type mask, or a
// centre that is not a number, is walked as before.
TEST_F(CollTest, AnIndexAnswersBallsExactlyAsTheWholeMap) {
    const int columns = 17;
    std::vector<float> heights(columns * columns);
    std::mt19937 random(11);
    std::uniform_real_distribution<float> bump(0, 0.5f);
    for (float &h : heights) {
        h = bump(random);
    }
    Wo2Model written;
    written.objects.push_back(
        test::object("bumps", {wo2_heightfield(heights, columns, columns, 0.5f)}));
    written.objects.push_back(test::object("fairway", {floor_grid(4, 1.0f, 32)}));
    written.objects.push_back(test::object("wall", {wo2_box(0.2f, 0.5f, 6)}));
    written.objects.push_back(test::object("rough", {wo2_box(3, 0.4f, 0.3f)}));
    written.references = {{0, "bumps"}, {1, "fairway"}, {2, "wall"}, {3, "rough COLLISION_TYPE 2"}};
    load(written);
    build();
    ASSERT_GT(map.num_nodes, 10u);
    const std::vector<std::array<V3, 3>> mesh = triangles_of_the_map();
    constexpr float r = 0.1f;
    // Centres at a ball's radius from a point of a triangle (on a face, an
    // edge or a corner), a hair nearer or farther, and anywhere.
    std::uniform_real_distribution<float> unit(0, 1), hair(-0.002f, 0.002f);
    std::uniform_real_distribution<float> anywhere(-5, 9), height(-0.5f, 2);
    std::uniform_int_distribution<size_t> which(0, mesh.size() - 1);
    std::vector<V3> centres;
    for (int i = 0; i < 3000; ++i) {
        const auto &t = mesh[which(random)];
        float a = unit(random), b = unit(random);
        if (i % 3 == 0) {
            b = 0; // on an edge
        } else if (i % 3 == 1 && a + b > 1) {
            a = 1 - a, b = 1 - b;
        }
        const V3 on = along(along(t[0], sub(t[1], t[0]), a), sub(t[2], t[0]), b);
        V3 n = cross(sub(t[0], t[1]), sub(t[2], t[0]));
        const float length = std::sqrt(dot(n, n));
        n = {n[0] / length, n[1] / length, n[2] / length};
        centres.push_back(along(on, n, r + hair(random)));
        centres.push_back(along(along(on, n, r * unit(random)), {1, 0, 0}, hair(random)));
    }
    for (int i = 0; i < 1000; ++i) {
        centres.push_back({anywhere(random), height(random), anywhere(random)});
    }
    // Just past the fairway's far edges, where the face test's tolerance
    // still takes the point in, a ball barely touching its plane.
    std::uniform_real_distribution<float> past(0, 0.0012f), barely(0, 2e-6f),
        along_edge(-3.9f, 3.9f);
    for (int i = 0; i < 400; ++i) {
        const float side = i % 2 ? 4.0f + past(random) : -4.0f - past(random);
        centres.push_back({along_edge(random), 1.0f + r - barely(random), side});
    }
    const uint32_t flag_sets[] = {GEN_COLL_NEAREST | GEN_COLL_LIST, GEN_COLL_NEAREST, 0,
                                  GEN_COLL_TWO_SIDED | GEN_COLL_LIST,
                                  GEN_COLL_NEAREST | GEN_COLL_NO_SQUARED_DIST};
    for (const uint8_t mask : {uint8_t{1}, uint8_t{0xFF}}) {
        gen_coll_set_type_mask(mask);
        GEN_COLL_INDEX index;
        gen_coll_index_build(&index, r, &model, &map);
        ASSERT_FALSE(index.entries.empty());
        int met = 0;
        for (const uint32_t flags : flag_sets) {
            gen_coll_set_flags(flags);
            for (size_t i = 0; i < centres.size(); ++i) {
                const V3 &c = centres[i];
                const Answer walked = answer(sphere(c, r));
                const Answer indexed =
                    answer(gen_coll_sphere_indexed(c[0], c[1], c[2], r, &model, &map, &index));
                expect_same(indexed, walked,
                            "ball " + std::to_string(i) + ", flags " + std::to_string(flags));
                met += walked.hit;
            }
        }
        EXPECT_GT(met, 10000) << "most balls touch something";
        gen_coll_set_flags(GEN_COLL_NEAREST | GEN_COLL_LIST);
        const V3 c = centres[0];
        expect_same(answer(gen_coll_sphere_indexed(c[0], c[1], c[2], 0.3f, &model, &map, &index)),
                    answer(sphere(c, 0.3f)), "another radius");
        gen_coll_set_type_mask(2);
        expect_same(answer(gen_coll_sphere_indexed(c[0], c[1], c[2], r, &model, &map, &index)),
                    answer(sphere(c, r)), "another mask");
        gen_coll_set_type_mask(mask);
        const float nan = std::nanf("");
        EXPECT_EQ(gen_coll_sphere_indexed(nan, c[1], c[2], r, &model, &map, &index),
                  sphere({nan, c[1], c[2]}, r));
    }
    EXPECT_EQ(errors(), "");
}

} // namespace
