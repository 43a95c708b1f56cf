// Our collision map and queries against Bullet's, on the same course-like
// mesh of about 50,000 triangles (bumpy ground, walls round it, ramps and
// posts):
//   build       our map (at most 50 triangles a leaf, depth 20) against a
//               btBvhTriangleMeshShape over the same triangles, quantized
//               (Bullet reads our arrays in place: only its tree is timed);
//   sphere      the nearest contact of a ball of radius 0.2 at 100,000
//               positions near the ground: gen_coll_sphere_wo2 with flag
//               0x01, against btCollisionWorld::contactTest of a
//               btSphereShape, keeping the deepest contact;
//   thick ray   a ball of radius 0.2 swept 3 units over the ground from the
//               same positions: gen_coll_ray_wo2, against
//               btCollisionWorld::convexSweepTest with the closest hit.
// "items_per_second" is queries a second; "hits" counts the queries that
// met something, so that the two sides can be seen to do the same work.
#include "bench_engine.h"
#include "bench_scratch.h"
#include "wo2_writer.h"

#include <benchmark/benchmark.h>
#include <btBulletCollisionCommon.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kColumns = 151; // 150 × 150 × 2 = 45,000 ground triangles
constexpr float kSpacing = 0.5f;
constexpr float kSide = (kColumns - 1) * kSpacing;
constexpr float kBall = 0.2f;
constexpr int kQueries = 100000;

float ground_height(float x, float z) {
    return 0.4f * std::sin(x * 0.7f) * std::cos(z * 0.5f) + 0.15f * std::sin(x * 2.3f + z * 1.7f);
}

Wo2Model course() {
    std::vector<float> heights(kColumns * kColumns);
    for (int row = 0; row < kColumns; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            heights[row * kColumns + column] = ground_height(column * kSpacing, row * kSpacing);
        }
    }
    Wo2Model model;
    Wo2MaterialGroup ground, walls;
    ground.faces.push_back(wo2_heightfield(heights, kColumns, kColumns, kSpacing));
    // Walls round the course, in 1,000 panels.
    std::vector<std::array<float, 2>> outline;
    for (int i = 0; i < 1000; ++i) {
        const float t = static_cast<float>(i % 250) / 250 * kSide;
        const std::array<std::array<float, 2>, 4> sides = {
            {{t, 0}, {kSide, t}, {kSide - t, kSide}, {0, kSide - t}}};
        outline.push_back(sides[i / 250]);
    }
    // Facing in, towards the balls.
    std::reverse(outline.begin(), outline.end());
    walls.faces.push_back(wo2_extrusion(outline, 1.5f));
    model.objects = {{"ground", {ground}}, {"walls", {walls}}};
    model.references = {{0, "ground"}, {1, "walls"}};
    // Ramps and posts about the course, each placed by its own matrix.
    Wo2MaterialGroup ramp, post;
    ramp.faces.push_back(wo2_box(1.5f, 0.3f, 3));
    post.faces.push_back(wo2_cylinder_side(0.3f, 1, 12));
    model.objects.push_back({"ramp", {ramp}});
    model.objects.push_back({"post", {post}});
    std::mt19937 random(11);
    std::uniform_real_distribution<float> across(2, kSide - 2);
    for (int i = 0; i < 150; ++i) {
        const float x = across(random), z = across(random);
        Wo2Reference r{2 + i % 2, i % 2 ? "post" : "ramp"};
        const float tilt = i % 2 ? 0.0f : 0.2f;
        r.matrix = {1,
                    0,
                    0,
                    0,
                    0,
                    std::cos(tilt),
                    std::sin(tilt),
                    0,
                    0,
                    -std::sin(tilt),
                    std::cos(tilt),
                    0,
                    x,
                    ground_height(x, z),
                    z,
                    1};
        model.references.push_back(r);
    }
    return model;
}

// The course loaded and its map built, once for every benchmark.
struct Engine {
    BenchEngine started;
    GEN_WO2 model{};
    GEN_COLL_MAP map{};
    std::vector<float> vertices; // world space, three per triangle
    std::vector<int> indices;

    Engine() {
        const auto directory = bench_scratch_path() / "bench_coll";
        std::filesystem::create_directories(directory);
        const std::string file = (directory / "course.wo2").string();
        std::ofstream(file, std::ios::binary) << wo2_write(course());
        gen_wo2_load(&model, file.c_str());
        gen_wo2_coll_map_build(&model, &map, 50, 20);
        // The same triangles for Bullet, as our map finds them.
        for (uint32_t n = 0; n < map.num_nodes; ++n) {
            for (uint32_t t = 0; t < map.nodes[n].num_triangles; ++t) {
                float v[3][3];
                gen_coll_triangle_vertices(&model, &map.nodes[n].triangles[t], v);
                for (const float *corner : v) {
                    indices.push_back(static_cast<int>(vertices.size() / 3));
                    vertices.insert(vertices.end(), corner, corner + 3);
                }
            }
        }
    }
    int triangles() const { return static_cast<int>(indices.size() / 3); }
};

Engine &engine() {
    static Engine instance;
    return instance;
}

// Ball positions near the ground, their centres above it (the ground is
// one-sided for us and two-sided for Bullet), and where each sweep ends.
struct Positions {
    std::vector<btVector3> start, end;
    Positions() {
        std::mt19937 random(5);
        std::uniform_real_distribution<float> across(0.5f, kSide - 0.5f), above(0.05f, 0.35f),
            heading(0, 6.2831853f);
        for (int i = 0; i < kQueries; ++i) {
            const float x = across(random), z = across(random);
            const float y = ground_height(x, z) + above(random);
            const float a = heading(random);
            start.emplace_back(x, y, z);
            end.emplace_back(x + 3 * std::cos(a), y - 0.3f, z + 3 * std::sin(a));
        }
    }
};

const Positions &positions() {
    static Positions instance;
    return instance;
}

struct BulletWorld {
    btDefaultCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher{&configuration};
    btDbvtBroadphase broadphase;
    btCollisionWorld world{&dispatcher, &broadphase, &configuration};
    std::unique_ptr<btTriangleIndexVertexArray> mesh;
    std::unique_ptr<btBvhTriangleMeshShape> shape;
    btCollisionObject course;
    btSphereShape ball{kBall};
    btCollisionObject probe;

    BulletWorld() {
        Engine &e = engine();
        mesh = std::make_unique<btTriangleIndexVertexArray>(
            e.triangles(), e.indices.data(), 3 * sizeof(int), static_cast<int>(e.vertices.size()),
            e.vertices.data(), 3 * sizeof(float));
        shape = std::make_unique<btBvhTriangleMeshShape>(mesh.get(), true, true);
        course.setCollisionShape(shape.get());
        world.addCollisionObject(&course);
        probe.setCollisionShape(&ball);
        world.updateAabbs();
    }
    ~BulletWorld() { world.removeCollisionObject(&course); }
    BulletWorld(const BulletWorld &) = delete;
    BulletWorld &operator=(const BulletWorld &) = delete;
};

BulletWorld &bullet() {
    static BulletWorld instance;
    return instance;
}

// Keeps the deepest contact of the probe, as our query keeps the nearest.
struct DeepestContact : btCollisionWorld::ContactResultCallback {
    bool hit = false;
    btScalar depth = 0;
    btVector3 normal, point;
    btScalar addSingleResult(btManifoldPoint &contact, const btCollisionObjectWrapper *, int, int,
                             const btCollisionObjectWrapper *, int, int) override {
        if (!hit || contact.getDistance() < depth) {
            hit = true;
            depth = contact.getDistance();
            normal = contact.m_normalWorldOnB;
            point = contact.getPositionWorldOnB();
        }
        return 0;
    }
};

void BM_BuildOurs(benchmark::State &state) {
    Engine &e = engine();
    BenchQuiet quiet;
    for (auto _ : state) {
        GEN_COLL_MAP map{};
        gen_wo2_coll_map_build(&e.model, &map, 50, 20);
        benchmark::DoNotOptimize(map.num_nodes);
        gen_wo2_coll_map_free(&map);
    }
    state.counters["triangles"] = e.triangles();
    state.counters["nodes"] = e.map.num_nodes;
}
BENCHMARK(BM_BuildOurs)->Unit(benchmark::kMillisecond);

void BM_BuildBullet(benchmark::State &state) {
    Engine &e = engine();
    btTriangleIndexVertexArray mesh(e.triangles(), e.indices.data(), 3 * sizeof(int),
                                    static_cast<int>(e.vertices.size()), e.vertices.data(),
                                    3 * sizeof(float));
    for (auto _ : state) {
        btBvhTriangleMeshShape shape(&mesh, true, true);
        benchmark::DoNotOptimize(shape.getOptimizedBvh());
    }
    state.counters["triangles"] = e.triangles();
}
BENCHMARK(BM_BuildBullet)->Unit(benchmark::kMillisecond);

// Runs the query at every position each iteration; the query says whether
// it met something.
template <typename Query>
void run_queries(benchmark::State &state, Query query) {
    int hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (int i = 0; i < kQueries; ++i) {
            hits += query(i);
        }
    }
    state.SetItemsProcessed(state.iterations() * kQueries);
    state.counters["hits"] = hits;
}

void BM_SphereOurs(benchmark::State &state) {
    Engine &e = engine();
    const Positions &p = positions();
    gen_coll_set_flags(GEN_COLL_NEAREST);
    run_queries(state, [&](int i) {
        const btVector3 &c = p.start[i];
        return gen_coll_sphere_wo2(c.x(), c.y(), c.z(), kBall, &e.model, &e.map);
    });
    gen_coll_set_flags(0);
}
BENCHMARK(BM_SphereOurs)->Unit(benchmark::kMillisecond);

// Bullet meets a triangle from either side; ours only from the side it
// faces, unless asked. Asked, the hits are Bullet's: the ones ours leaves
// out are balls whose centre lies behind a face, inside a ramp or a post.
void BM_SphereOursTwoSided(benchmark::State &state) {
    Engine &e = engine();
    const Positions &p = positions();
    gen_coll_set_flags(GEN_COLL_NEAREST | GEN_COLL_TWO_SIDED);
    run_queries(state, [&](int i) {
        const btVector3 &c = p.start[i];
        return gen_coll_sphere_wo2(c.x(), c.y(), c.z(), kBall, &e.model, &e.map);
    });
    gen_coll_set_flags(0);
}
BENCHMARK(BM_SphereOursTwoSided)->Unit(benchmark::kMillisecond);

void BM_SphereBullet(benchmark::State &state) {
    BulletWorld &b = bullet();
    const Positions &p = positions();
    run_queries(state, [&](int i) {
        b.probe.getWorldTransform().setOrigin(p.start[i]);
        DeepestContact result;
        b.world.contactTest(&b.probe, result);
        return result.hit && result.depth < 0; // touching within Bullet's margin is not
    });
}
BENCHMARK(BM_SphereBullet)->Unit(benchmark::kMillisecond);

void BM_ThickRayOurs(benchmark::State &state) {
    Engine &e = engine();
    const Positions &p = positions();
    gen_coll_set_flags(GEN_COLL_NEAREST);
    run_queries(state, [&](int i) {
        const float start[3] = {p.start[i].x(), p.start[i].y(), p.start[i].z()};
        const float end[3] = {p.end[i].x(), p.end[i].y(), p.end[i].z()};
        return gen_coll_ray_wo2(start, end, kBall, &e.model, &e.map);
    });
    gen_coll_set_flags(0);
}
BENCHMARK(BM_ThickRayOurs)->Unit(benchmark::kMillisecond);

void BM_ThickRayBullet(benchmark::State &state) {
    BulletWorld &b = bullet();
    const Positions &p = positions();
    run_queries(state, [&](int i) {
        btTransform from, to;
        from.setIdentity();
        to.setIdentity();
        from.setOrigin(p.start[i]);
        to.setOrigin(p.end[i]);
        btCollisionWorld::ClosestConvexResultCallback result(p.start[i], p.end[i]);
        b.world.convexSweepTest(&b.ball, from, to, result);
        return result.hasHit();
    });
}
BENCHMARK(BM_ThickRayBullet)->Unit(benchmark::kMillisecond);

} // namespace

PINWHEEL_BENCHMARK_MAIN()
