// The cost of one level step on a busy hole: a course of about 50,000
// triangles (bumpy ground, walls round it, ramps and posts), four balls kept
// rolling into each other's paths and the walls, three scripted objects (a
// turning windmill, a sliding gate, one riding the trail) and four cameras
// (looking at a ball, following one directly, one smoothly, one riding the
// trail). The level is loaded through level_init from files written here.
//
// "share_of_step_%" is the step's mean time against the 1/30 s it stands
// for: the goal is under 1 %.
#include "bench_game.h"
#include "bench_scratch.h"
#include "camera.h"
#include "players.h"
#include "wo2_writer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kColumns = 158; // 157 × 157 × 2 = 49,298 ground triangles
constexpr float kSpacing = 0.25f;
constexpr float kSide = (kColumns - 1) * kSpacing;

void write(const std::string &path, const std::string &content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string model_of(const std::vector<std::pair<std::string, Wo2FaceGroup>> &parts) {
    Wo2Model model;
    for (size_t i = 0; i < parts.size(); ++i) {
        Wo2MaterialGroup group;
        group.uvs = false;
        group.faces = {parts[i].second};
        model.objects.push_back({parts[i].first, {group}});
        model.references.push_back({static_cast<int>(i), parts[i].first});
    }
    return wo2_write(model);
}

Wo2FaceGroup shifted(Wo2FaceGroup face, float x, float y, float z) {
    for (Wo2Vertex &v : face.vertices) {
        v.position[0] += x, v.position[1] += y, v.position[2] += z;
    }
    return face;
}

std::string course() {
    std::vector<float> heights(kColumns * kColumns);
    for (int row = 0; row < kColumns; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const float x = column * kSpacing, z = row * kSpacing;
            heights[row * kColumns + column] = 0.2f * std::sin(x * 0.5f) * std::cos(z * 0.4f);
        }
    }
    std::vector<std::pair<std::string, Wo2FaceGroup>> parts = {
        {"ground", wo2_heightfield(heights, kColumns, kColumns, kSpacing)},
        {"wall_n", shifted(wo2_box(kSide, 1, 0.5f), kSide / 2, 0.5f, -0.25f)},
        {"wall_s", shifted(wo2_box(kSide, 1, 0.5f), kSide / 2, 0.5f, kSide + 0.25f)},
        {"wall_w", shifted(wo2_box(0.5f, 1, kSide), -0.25f, 0.5f, kSide / 2)},
        {"wall_e", shifted(wo2_box(0.5f, 1, kSide), kSide + 0.25f, 0.5f, kSide / 2)}};
    for (int i = 0; i < 40; ++i) {
        const float x = 3 + (i * 7) % 33, z = 3 + (i * 11) % 33;
        parts.push_back(
            {"post" + std::to_string(i), shifted(wo2_cylinder_side(0.3f, 1, 12), x, 0, z)});
    }
    return model_of(parts);
}

void write_level() {
    write("gfx/course.wo2", course());
    for (int i = 1; i <= 5; ++i) {
        write("gfx/wo2/tball/ball" + std::to_string(i) + ".wo2",
              model_of({{"ball", wo2_sphere(0.25f, 6, 8)}}));
    }
    write("gfx/wo2/pinwheel/pinwheel.wo2",
          model_of({{"Pinwheel", shifted(wo2_box(0.8f, 0.8f, 0.05f), 0, 2, 0)}}));
    write("gfx/blade.wo2", model_of({{"blade", wo2_box(3, 0.3f, 0.2f)}}));
    write("data/levels.txt",
          "[level001]\r\nscreen=s.png\r\nworld_file=gfx\\course.wo2\r\nhole=30,0.25,30\r\n"
          "par=3\r\nkind_wall=0\r\nstartp1=5,0.5,5\r\nstartp2=6,0.5,5\r\nstartp3=5,0.5,6\r\n"
          "startp4=6,0.5,6\r\nangle=0\r\ncamstart=2,3,2\r\ncam_file=data\\cams.txt\r\n"
          "intro=data\\intro.txt\r\nscript_file=data\\script.txt\r\nmusic=snd\\none.s3m\r\n");
    std::string cams = "[Level Properties]\r\nnum_cam=4\r\n";
    for (int n = 1; n <= 4; ++n) {
        cams += "[Camera00" + std::to_string(n) + "]\r\nposition=" + std::to_string(n * 4) +
                ",4,2\r\ncollision_sphere_position=20,0,20\r\ncollision_sphere_radius=5\r\n"
                "name=cam" +
                std::to_string(n) + "\r\n";
    }
    write("data/cams.txt", cams);
    write("data/intro.txt", "[PointSet]\r\nPointCount=5\r\nPoint0000=5,-5,2\r\n"
                            "Point0001=20,-5,3\r\nPoint0002=35,-5,2\r\nPoint0003=35,-20,3\r\n"
                            "Point0004=35,-35,2\r\n[CurveSet]\r\nCurveCount=2\r\n"
                            "Curve0000=0,1,2\r\nCurve0001=2,3,4\r\n");
    write("data/script.txt",
          "[Level Properties]\r\nnum_objects=1\r\nnum_scripts=3\r\nnum_nodes=3\r\n"
          "[Object001]\r\nfile=gfx\\blade.wo2\r\nfile_coll=gfx\\blade.col\r\n"
          "[Script001]\r\nnum_action=1\r\naction001=4\r\naction001_params=0,0,90,3\r\n"
          "[Script002]\r\nnum_action=2\r\naction001=3\r\naction001_params=3,0,0,0.05\r\n"
          "action002=2\r\naction002_params=0.05\r\n"
          "[Script003]\r\nnum_action=1\r\naction001=7\r\naction001_params=0\r\n"
          "[Node001]\r\nobject_reference=1\r\nscript_reference=1\r\nscript_start_step=0\r\n"
          "x=20\r\ny=1.5\r\nz=10\r\n"
          "[Node002]\r\nobject_reference=1\r\nscript_reference=2\r\nscript_start_step=0\r\n"
          "x=10\r\ny=0.2\r\nz=25\r\n"
          "[Node003]\r\nobject_reference=1\r\nscript_reference=3\r\nscript_start_step=0\r\n"
          "x=5\r\ny=2\r\nz=5\r\n");
}

// The cameras' behaviours, as a host would set them.
void configure_cameras() {
    const uint8_t flags[4] = {CAMERA_LOOK_AT_NODE | CAMERA_TRIGGER, CAMERA_FOLLOW,
                              CAMERA_FOLLOW | CAMERA_SMOOTH, CAMERA_TRAIL | CAMERA_OFFSETS};
    for (int i = 0; i < 4; ++i) {
        CAMERA_CONTROL control{};
        get_camera_control(&control, i);
        control.flags = flags[i];
        control.followed_node = player(i)->ball_node;
        control.offset[1] = 2;
        control.offset[2] = 4;
        control.smooth_speed = 0.2f;
        control.trail_start = game()->trail;
        control.trail_speed = 0.004f;
        set_camera_control(&control, i);
    }
    set_camera_trigger_switching(1);
}

// Every second of steps each ball is sent off again, across the course.
void kick(int round) {
    for (int i = 0; i < player_count(); ++i) {
        const float angle = static_cast<float>(round * 37 + i * 90) * 0.0174533f;
        player(i)->velocity_x = player(i)->previous_velocity_x = std::cos(angle) * 1.5f;
        player(i)->velocity_z = player(i)->previous_velocity_z = std::sin(angle) * 1.5f;
    }
}

void BM_LevelStep(benchmark::State &state) {
    const std::filesystem::path directory = bench_scratch_path() / "level";
    std::error_code failed;
    std::filesystem::create_directories(directory, failed);
    if (failed || chdir(directory.c_str()) != 0) {
        state.SkipWithError("no working directory");
        return;
    }
    write_level();
    {
        BenchGame bench;
        start_game(4);
        if (gen_error_reported() || player_count() != 4 || camera_count() != 4) {
            state.SkipWithError("the level did not load: see error.txt");
        }
        configure_cameras();
        long steps = 0;
        double seconds = 0;
        BenchQuiet quiet;
        for (auto _ : state) {
            if (steps % 30 == 0) {
                kick(static_cast<int>(steps / 30));
            }
            const auto start = std::chrono::steady_clock::now();
            bench.step();
            seconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            ++steps;
        }
        state.counters["triangles"] = 0;
        for (uint32_t n = 0; n < game()->map.num_nodes; ++n) {
            state.counters["triangles"] += game()->map.nodes[n].num_triangles;
        }
        state.counters["share_of_step_%"] = 100.0 * seconds / static_cast<double>(steps) * 30.0;
    }
    bench_scratch_enter();
    std::filesystem::remove_all(directory, failed);
}
BENCHMARK(BM_LevelStep)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

} // namespace

PINWHEEL_BENCHMARK_MAIN()
