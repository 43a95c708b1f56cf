// Levels written by the tests: the object models every level loads (five
// balls and the pinwheel), course models made with the model writer, and
// the level list, camera and script files as text. The fixture starts what
// a level needs (files, the engine's log and models, the game's world, a
// stand-in keyboard, the player controls) on the fake clock.
#pragma once

#include "model_test.h"

#include "app.h"
#include "ball.h"
#include "camera.h"
#include "course.h"
#include "game.h"
#include "os_input.h"
#include "os_time.h"
#include "players.h"
#include "script.h"
#include "trail.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace test {

// Sections of key=value lines, written with CR LF as the game's files are.
using Sections =
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>;

inline std::string ini_text(const Sections &sections) {
    std::string text;
    for (const auto &[section, keys] : sections) {
        text += "[" + section + "]\r\n";
        for (const auto &[key, value] : keys) {
            text += key + "=" + value + "\r\n";
        }
    }
    return text;
}

inline Wo2FaceGroup shifted(Wo2FaceGroup face, float x, float y, float z) {
    for (Wo2Vertex &v : face.vertices) {
        v.position[0] += x, v.position[1] += y, v.position[2] += z;
    }
    return face;
}

// A model of named objects, each placed once by a reference of the same name
// (the engine finds a reference by its object's name).
inline std::string model_of(const std::vector<std::pair<std::string, Wo2FaceGroup>> &parts) {
    Wo2Model model;
    for (size_t i = 0; i < parts.size(); ++i) {
        model.objects.push_back(object(parts[i].first, {parts[i].second}));
        model.references.push_back({static_cast<int>(i), parts[i].first});
    }
    return wo2_write(model);
}

// The balls and the pinwheel, where every level looks for them.
inline void write_object_models() {
    for (int i = 1; i <= 5; ++i) {
        write_file("gfx/wo2/tball/ball" + std::to_string(i) + ".wo2",
                   model_of({{"ball", wo2_sphere(BALL_RADIUS, 6, 8)}}));
    }
    write_file("gfx/wo2/pinwheel/pinwheel.wo2",
               model_of({{"Pole", wo2_cylinder_side(0.03f, 2, 6)},
                         {"Pinwheel", shifted(wo2_box(0.8f, 0.8f, 0.05f), 0, 2, 0)}}));
}

// A square course of flat floor, 10 units to a side, with a unit-high wall
// round it: the balls start at z = 3, the hole lies at z = -3.
inline std::string flat_course() {
    return model_of({{"floor", floor_grid(5, 0, 10)},
                     {"wall_n", shifted(wo2_box(10, 1, 0.2f), 0, 0.5f, -5.1f)},
                     {"wall_s", shifted(wo2_box(10, 1, 0.2f), 0, 0.5f, 5.1f)},
                     {"wall_w", shifted(wo2_box(0.2f, 1, 10), -5.1f, 0.5f, 0)},
                     {"wall_e", shifted(wo2_box(0.2f, 1, 10), 5.1f, 0.5f, 0)}});
}

// A level section with every key; tests change or drop keys.
inline std::vector<std::pair<std::string, std::string>> level_keys(const std::string &course) {
    return {{"screen", "gfx\\screen1.png"},
            {"world_file", course},
            {"hole", "0,0.25,-3"},
            {"par", "3"},
            {"kind_wall", "1"},
            {"startp1", "-1,0.25,3"},
            {"startp2", "-0.5,0.25,3"},
            {"startp3", "0.5,0.25,3"},
            {"startp4", "1,0.25,3"},
            {"angle", "180"},
            {"camstart", "0,3,8"},
            {"cam_file", "data\\cams.txt"},
            {"music", "snd\\hole.s3m"},
            {"mini_screen", "gfx\\mini1.png"}};
}

// Two cameras: one behind the tee, one over the hole with a trigger sphere.
inline std::string camera_file() {
    return ini_text({{"Level Properties", {{"num_cam", "2"}}},
                     {"Camera001",
                      {{"position", "0,3,8"},
                       {"collision_sphere_position", "0,0,3"},
                       {"collision_sphere_radius", "0"},
                       {"name", "cam_followed"}}},
                     {"Camera002",
                      {{"position", "0,4,-3"},
                       {"collision_sphere_position", "0,0,-3"},
                       {"collision_sphere_radius", "1.5"},
                       {"name", "hole"}}}});
}

class LevelTest : public FileLayerTest {
  protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        xv_font_init(&fonts); // the paddles draw (nothing) with an unloaded font
        XV_RECT area = {0, 0, 160, 120};
        xv_bit_alloc(&screen, &area, XV_BIT_BPP32);
        app_state()->screen = &screen;
        gen_info_init();
        xv_3d_engine_init();
        xv_3d_world_init(game_world());
        std::memset(&devices, 0, sizeof devices);
        os_input_fake(&devices);
        xv_input_init(&input);
        xv_input_activate(1);
        xv_play_init(&controls);
        clock = 1000;
        os_tick_fake(&clock);
        write_object_models();
        write_file("gfx/course.wo2", flat_course());
        write_file("data/cams.txt", camera_file());
    }
    void TearDown() override {
        courses_forget();
        level_deinit();
        game()->level = 0;
        reset_players();
        xv_3d_world_deinit(game_world());
        xv_3d_engine_deinit();
        xv_play_deinit();
        xv_input_deinit();
        os_input_fake(nullptr);
        os_tick_fake(nullptr);
        gen_info_deinit();
        app_state()->screen = nullptr;
        xv_bit_free(&screen);
        xv_font_deinit();
        FileLayerTest::TearDown();
    }
    // The level list: level n for each entry.
    void
    write_levels(const std::map<int, std::vector<std::pair<std::string, std::string>>> &levels) {
        Sections sections;
        char name[16];
        for (const auto &[number, keys] : levels) {
            std::snprintf(name, sizeof name, "level%03d", number);
            sections.push_back({name, keys});
        }
        write_file("data/levels.txt", ini_text(sections));
        courses_forget(); // the course's card is read again from this list
    }
    // Level n of the flat course with every key.
    void write_flat_levels(std::initializer_list<int> numbers) {
        std::map<int, std::vector<std::pair<std::string, std::string>>> levels;
        for (int n : numbers) {
            levels[n] = level_keys("gfx\\course.wo2");
        }
        write_levels(levels);
    }
    // Runs level steps, one every 40 ms of the clock (so that the balls'
    // 5 ms gate always opens).
    void steps(int count, float fraction = 1.0f) {
        for (int i = 0; i < count; ++i) {
            clock += 40;
            level_step(fraction);
        }
    }
    XV_3D_NODE *node(int32_t index) { return xv_3d_world_get_node_pointer(game_world(), index); }
    std::string errors() const { return read_file("error.txt"); }
    std::string history() const { return read_file("history.txt"); }

    OS_INPUT_FAKE devices;
    XV_INPUT_CONFIG input{1, 1};
    XV_PLAY_CONFIG controls{1};
    XV_FONT_CONFIG fonts{1};
    XV_BITMAP screen{};
    uint32_t clock = 0;
};

} // namespace test
