#include "coursegen.h"

#include "art.h"
#include "ball.h"
#include "course_art.h"
#include "course_model.h"
#include "game.h"
#include "wo2_writer.h"

#include "gen.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char *const kLanguages[] = {"EN", "FR", "ES", "DE", "IT", "PT", "JP"};

// Where a course's files go, as the game names them: the first course in
// the game's first places, every other in folders named by its id.
struct Places {
    std::string data, gfx, models;
};

Places places_of(const Course &course) {
    if (course.first) {
        return {"data\\", "gfx\\", "gfx\\wo2\\course\\"};
    }
    const std::string &id = course.text.id;
    return {"data\\" + id + "\\", "gfx\\" + id + "\\", "gfx\\wo2\\" + id + "\\"};
}

std::string blades_file(const Places &places) {
    return places.models + "blades.wo2";
}

constexpr float kWindmillHub = 1.9f;
constexpr int kLiftStay = 30; // steps

bool write_file(const fs::path &path, const std::string &content, std::string *error) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

std::string disk_name(std::string name) {
    for (char &c : name) {
        c = c == '\\' ? '/' : c;
    }
    return name;
}

std::string vector_text(float x, float y, float z) {
    char text[96];
    std::snprintf(text, sizeof text, "%g,%g,%g", x, y, z);
    return text;
}

std::string hole_file(const Places &places, const char *kind, int hole) {
    return places.data + "hole" + std::to_string(hole) + kind + ".txt";
}

std::string gate_model_file(const Places &places, int hole, int index) {
    return places.models + "gate" + std::to_string(hole) + std::to_string(index) + ".wo2";
}

std::string lift_model_file(const Places &places, int hole, int index) {
    return places.models + "lift" + std::to_string(hole) + std::to_string(index) + ".wo2";
}

std::string mini_file(const Places &places, int hole) {
    return places.gfx + "mini" + std::to_string(hole) + ".png";
}

std::string collision_name(const std::string &model) {
    return model.substr(0, model.size() - 3) + "col";
}

// ---- the files of a hole ---------------------------------------------------------------

std::string camera_text(const HoleSpec &hole) {
    std::ostringstream text;
    text << "[Level Properties]\r\nnum_cam=" << hole.cameras.size() << "\r\n";
    for (size_t i = 0; i < hole.cameras.size(); ++i) {
        const CameraSpec &c = hole.cameras[i];
        char section[32];
        std::snprintf(section, sizeof section, "Camera%03zu", i + 1);
        text << "[" << section
             << "]\r\nposition=" << vector_text(c.position[0], c.position[1], c.position[2])
             << "\r\ncollision_sphere_position="
             << vector_text(c.centre[0], c.centre[1], c.centre[2])
             << "\r\ncollision_sphere_radius=" << (c.trigger ? c.radius : 0.0f)
             << "\r\nname=" << c.name << "\r\n";
    }
    return text.str();
}

// The trail file's axes: (a, b, c) is the world point (a, c, -b).
std::string trail_text(const HoleSpec &hole) {
    std::ostringstream text;
    text << "[PointSet]\r\nPointCount=" << hole.trail.size() << "\r\n";
    char key[32];
    for (size_t i = 0; i < hole.trail.size(); ++i) {
        const auto &p = hole.trail[i];
        std::snprintf(key, sizeof key, "Point%04zu", i);
        text << key << "=" << vector_text(p[0], -p[2], p[1]) << "\r\n";
    }
    const size_t curves = (hole.trail.size() - 1) / 2;
    text << "[CurveSet]\r\nCurveCount=" << curves << "\r\n";
    for (size_t i = 0; i < curves; ++i) {
        std::snprintf(key, sizeof key, "Curve%04zu", i);
        text << key << "=" << 2 * i << "," << 2 * i + 1 << "," << 2 * i + 2 << "\r\n";
    }
    return text.str();
}

// One script a moving object: the blades turn a quarter at a time, for
// ever; a gate slides along and back; a lift goes up and back down.
struct ScriptedNode {
    std::string model, collision;
    std::vector<std::pair<int, std::string>> actions; // kind, parameters
    float x, y, z;
};

// A gate or a lift: it moves by `by` at that speed, then back to its rest;
// at each end it may stay a while (steps).
ScriptedNode there_and_back(const std::string &model, const std::array<float, 3> &by, float speed,
                            const std::array<float, 3> &rest, int stay = 0) {
    char move[64], back[32];
    std::snprintf(move, sizeof move, "%g,%g,%g,%g", by[0], by[1], by[2], speed);
    std::snprintf(back, sizeof back, "%g", speed);
    ScriptedNode node{model, collision_name(model), {{3, move}}, rest[0], rest[1], rest[2]};
    // The scripts have no wait: a stay is a move too small to see, at the
    // speed that takes that many steps.
    constexpr float kUnseen = 0.0001f;
    char wait[64];
    std::snprintf(wait, sizeof wait, "%g,0,0,%g", kUnseen, kUnseen / static_cast<float>(stay));
    if (stay > 0) {
        node.actions.push_back({3, wait});
    }
    node.actions.push_back({2, back});
    if (stay > 0) {
        node.actions.push_back({3, wait});
    }
    return node;
}

std::vector<ScriptedNode> scripted_nodes(const Places &places, const HoleSpec &hole) {
    std::vector<ScriptedNode> nodes;
    for (const Windmill &w : hole.windmills) {
        // The hub is as high over the ground as the sails are long, less a
        // ball's height: each sail sweeps the tunnel's mouth down to the
        // ground in its turn.
        nodes.push_back({blades_file(places),
                         collision_name(blades_file(places)),
                         {{4, "0,0,90,2"}},
                         w.at.x,
                         hole.height_at(w.at.x, w.at.z) + kWindmillHub,
                         w.at.z + 0.82f});
    }
    for (size_t i = 0; i < hole.gates.size(); ++i) {
        const Gate &g = hole.gates[i];
        nodes.push_back(there_and_back(gate_model_file(places, hole.number, static_cast<int>(i)),
                                       {g.travel, 0, 0}, g.speed,
                                       {g.at.x, hole.height_at(g.at.x, g.at.z), g.at.z}));
    }
    for (size_t i = 0; i < hole.lifts.size(); ++i) {
        const Lift &l = hole.lifts[i];
        // At rest the lift is level with the fairway at its +z side, where
        // a ball rolls on.
        const float rest = hole.height_at(l.at.x, l.at.z + l.depth / 2 + 0.3f);
        // It stays a second at each floor, as a lift does, for a ball to
        // roll on or off.
        nodes.push_back(there_and_back(lift_model_file(places, hole.number, static_cast<int>(i)),
                                       {0, l.rise, 0}, l.speed, {l.at.x, rest, l.at.z}, kLiftStay));
    }
    return nodes;
}

std::string script_text(const std::vector<ScriptedNode> &nodes) {
    std::ostringstream text;
    text << "[Level Properties]\r\nnum_objects=" << nodes.size()
         << "\r\nnum_scripts=" << nodes.size() << "\r\nnum_nodes=" << nodes.size() << "\r\n";
    char section[32], key[32];
    for (size_t i = 0; i < nodes.size(); ++i) {
        std::snprintf(section, sizeof section, "Object%03zu", i + 1);
        text << "[" << section << "]\r\nfile=" << nodes[i].model
             << "\r\nfile_coll=" << nodes[i].collision << "\r\n";
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        std::snprintf(section, sizeof section, "Script%03zu", i + 1);
        text << "[" << section << "]\r\nnum_action=" << nodes[i].actions.size() << "\r\n";
        for (size_t a = 0; a < nodes[i].actions.size(); ++a) {
            std::snprintf(key, sizeof key, "action%03zu", a + 1);
            text << key << "=" << nodes[i].actions[a].first << "\r\n"
                 << key << "_params=" << nodes[i].actions[a].second << "\r\n";
        }
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        std::snprintf(section, sizeof section, "Node%03zu", i + 1);
        text << "[" << section << "]\r\nobject_reference=" << i + 1
             << "\r\nscript_reference=" << i + 1 << "\r\nscript_start_step=0\r\nx=" << nodes[i].x
             << "\r\ny=" << nodes[i].y << "\r\nz=" << nodes[i].z << "\r\n";
    }
    return text.str();
}

// The level list opens with the course: its id, its names and how many
// holes it has.
std::string course_section(const Course &course) {
    std::ostringstream text;
    text << "[course]\r\nid=" << course.text.id << "\r\n";
    for (const char *language : kLanguages) {
        text << "name_" << language << "=" << course.text.names.at(language) << "\r\n";
    }
    text << "holes=" << course.holes.size() << "\r\n";
    return text.str();
}

std::string level_text(const Places &places, const HoleSpec &hole, float cup_bottom) {
    std::ostringstream text;
    char section[32];
    std::snprintf(section, sizeof section, "level%03d", hole.number);
    const std::string mini = mini_file(places, hole.number);
    text << "[" << section << "]\r\n";
    for (const char *language : kLanguages) {
        text << "name_" << language << "=" << hole.names.at(language) << "\r\n";
    }
    text << "screen=" << mini << "\r\nworld_file=" << places.models << "hole" << hole.number
         << ".wo2"
         << "\r\nhole=" << vector_text(hole.cup.x, cup_bottom + BALL_RADIUS, hole.cup.z)
         << "\r\npar=" << hole.par << "\r\nkind_wall=" << hole.wall_kind << "\r\n";
    const auto starts = hole.starts();
    for (int i = 0; i < 4; ++i) {
        text << "startp" << i + 1 << "="
             << vector_text(starts[i].x, hole.height_at(starts[i].x, starts[i].z) + BALL_RADIUS,
                            starts[i].z)
             << "\r\n";
    }
    text << "angle=" << hole.angle
         << "\r\ncamstart=" << vector_text(hole.camstart[0], hole.camstart[1], hole.camstart[2])
         << "\r\ncam_file=" << hole_file(places, "cam", hole.number)
         << "\r\nintro=" << hole_file(places, "fly", hole.number) << "\r\n";
    if (!scripted_nodes(places, hole).empty()) {
        text << "script_file=" << hole_file(places, "scr", hole.number) << "\r\n";
    }
    text << "music=" << course_music_file(hole) << "\r\nmini_screen=" << mini << "\r\n";
    if (!hole.streams.empty()) {
        // The game slides the first stream's water; the others stand.
        text << "stream=" << hole.streams.front().name << "\r\n";
    }
    return text.str();
}

bool write_model(const fs::path &root, const std::string &name, const Wo2Model &model,
                 std::string *error) {
    return write_file(root / disk_name(name), wo2_write(model), error);
}

// The balls, the pinwheel and the ball's shadow, the same on every course.
bool write_shared(const fs::path &root, std::string *error) {
    bool written = write_model(root, "gfx\\wo2\\pinwheel\\pinwheel.wo2", pinwheel_model(), error) &&
                   write_model(root, "gfx\\wo2\\tball\\shadow.wo2", shadow_model(), error);
    for (int ball = 1; ball <= 5 && written; ++ball) {
        written = write_model(root, "gfx\\wo2\\tball\\ball" + std::to_string(ball) + ".wo2",
                              ball_model(ball), error);
    }
    return written;
}

// A course's maps, beside its models (the sky with its own sun), and its
// windmill's blades in its light.
bool write_course_shared(const fs::path &root, const Course &course, std::string *error) {
    const Places places = places_of(course);
    for (const SurfaceLook &look : surface_looks()) {
        if (!look.map) {
            continue;
        }
        const bool is_sky = std::string(look.map) == "sky.png";
        float sun_heading = 0, sun_height = 0;
        sun_in_the_sky(*course.light, &sun_heading, &sun_height);
        const std::vector<uint8_t> rgb =
            is_sky ? sky_map(sun_heading, sun_height, course.light->sky) : surface_map(look.map);
        const fs::path path = root / disk_name(places.models + look.map);
        fs::create_directories(path.parent_path());
        if (rgb.empty() || !write_png_rgb(path.string(), is_sky ? SKY_MAP_WIDTH : SURFACE_MAP_SIZE,
                                          is_sky ? SKY_MAP_HEIGHT : SURFACE_MAP_SIZE, rgb.data())) {
            *error = std::string("cannot draw ") + look.map;
            return false;
        }
    }
    return write_model(root, blades_file(places), windmill_blades_model(*course.light), error);
}

bool write_hole(const fs::path &root, const Course &course, const HoleSpec &hole,
                std::string *levels, std::string *error) {
    const Places places = places_of(course);
    float cup_bottom = 0;
    if (!write_model(root, course_model_file(course, hole.number),
                     course_model(hole, *course.light, &cup_bottom), error)) {
        return false;
    }
    for (size_t i = 0; i < hole.gates.size(); ++i) {
        if (!write_model(root, gate_model_file(places, hole.number, static_cast<int>(i)),
                         gate_model(hole.gates[i].width, *course.light), error)) {
            return false;
        }
    }
    for (size_t i = 0; i < hole.lifts.size(); ++i) {
        if (!write_model(root, lift_model_file(places, hole.number, static_cast<int>(i)),
                         lift_model(hole.lifts[i].width, hole.lifts[i].depth, *course.light),
                         error)) {
            return false;
        }
    }
    const std::vector<uint8_t> mini = mini_screen(hole);
    const fs::path mini_path = root / disk_name(mini_file(places, hole.number));
    fs::create_directories(mini_path.parent_path());
    if (!write_png_rgb(mini_path.string(), MINI_WIDTH, MINI_HEIGHT, mini.data())) {
        *error = "cannot write " + mini_path.string();
        return false;
    }
    const std::vector<ScriptedNode> nodes = scripted_nodes(places, hole);
    if (!nodes.empty() && !write_file(root / disk_name(hole_file(places, "scr", hole.number)),
                                      script_text(nodes), error)) {
        return false;
    }
    *levels += level_text(places, hole, cup_bottom);
    return write_file(root / disk_name(hole_file(places, "cam", hole.number)), camera_text(hole),
                      error) &&
           write_file(root / disk_name(hole_file(places, "fly", hole.number)), trail_text(hole),
                      error);
}

bool build_map(const std::string &model_file, const std::string &map_root, std::string *error) {
    GEN_WO2 model{};
    GEN_COLL_MAP map{};
    gen_wo2_load(&model, model_file.c_str());
    const bool loaded = model.in_use && !gen_error_reported();
    // Built afresh and saved: a map left from an earlier course whose
    // model's header happens to be the same would otherwise be taken for it.
    if (loaded) {
        gen_wo2_coll_map_build(&model, &map, COURSE_MAP_LEAF_TRIANGLES, COURSE_MAP_DEPTH);
        gen_wo2_coll_map_save(&model, &map, (map_root + collision_name(model_file)).c_str());
        gen_wo2_coll_map_free(&map);
    }
    gen_wo2_free(&model);
    if (!loaded || gen_error_reported()) {
        *error = "cannot make the collision map of " + model_file + " (see error.txt)";
        return false;
    }
    return true;
}

bool read_text(const fs::path &path, std::string *text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::stringstream content;
    content << in.rdbuf();
    *text = content.str();
    return true;
}

// FILE:LINE: what is wrong, as compilers say it; FILE: what, when the text
// lacks something.
std::string fault_in(const fs::path &path, const std::string &error) {
    const bool of_a_line = !error.empty() && std::isdigit(static_cast<unsigned char>(error[0]));
    return path.string() + (of_a_line ? ":" : ": ") + error;
}

} // namespace

std::string course_levels_file(const Course &course) {
    return places_of(course).data + "levels.txt";
}

std::string course_model_file(const Course &course, int hole) {
    return places_of(course).models + "hole" + std::to_string(hole) + ".wo2";
}

std::string course_music_file(const HoleSpec &hole) {
    return "snd\\" + hole.music + (hole.music_mp3 ? ".mp3" : ".s3m");
}

bool coursegen_read(const std::string &folder, Course *course, std::string *error) {
    course->folder = folder;
    const fs::path path = fs::path(folder) / "course.txt";
    std::string text;
    if (!read_text(path, &text)) {
        *error = "cannot read " + path.string();
        return false;
    }
    if (!read_course(text, &course->text, error)) {
        *error = fault_in(path, *error);
        return false;
    }
    course->light = course_light(course->text.light);
    for (size_t i = 0; i < course->text.holes.size(); ++i) {
        const fs::path hole_path = fs::path(folder) / course->text.holes[i];
        std::string hole_text;
        if (!read_text(hole_path, &hole_text)) {
            *error = fault_in(path, std::to_string(course->text.hole_lines[i]) +
                                        ": cannot read the hole " + hole_path.string());
            return false;
        }
        HoleSpec hole;
        hole.number = static_cast<int>(i) + 1;
        if (!read_hole(hole_text, &hole, error)) {
            *error = fault_in(hole_path, *error);
            return false;
        }
        course->holes.push_back(hole);
    }
    return true;
}

bool coursegen_read_all(const std::vector<std::string> &folders, std::vector<Course> *courses,
                        std::string *error) {
    for (const std::string &folder : folders) {
        Course course;
        if (!coursegen_read(folder, &course, error)) {
            return false;
        }
        for (const Course &other : *courses) {
            if (other.text.id == course.text.id) {
                *error = fault_in(fs::path(folder) / "course.txt",
                                  std::to_string(course.text.id_line) + ": the id \"" +
                                      course.text.id + "\" is " + other.folder + "'s already");
                return false;
            }
        }
        course.first = courses->empty();
        courses->push_back(course);
    }
    return true;
}

namespace {

bool write_course(const fs::path &root, const Course &course, std::string *error) {
    if (!write_course_shared(root, course, error)) {
        return false;
    }
    std::string levels = course_section(course);
    for (const HoleSpec &hole : course.holes) {
        if (!write_hole(root, course, hole, &levels, error)) {
            return false;
        }
    }
    return write_file(root / disk_name(course_levels_file(course)), levels, error);
}

} // namespace

bool coursegen_write(const std::vector<Course> &courses, const std::string &game_directory,
                     std::string *error) {
    const fs::path root = game_directory;
    if (!write_shared(root, error)) {
        return false;
    }
    std::string list = "[courses]\r\ncount=" + std::to_string(courses.size()) + "\r\n";
    for (size_t i = 0; i < courses.size(); ++i) {
        if (!write_course(root, courses[i], error)) {
            return false;
        }
        list += "course" + std::to_string(i + 1) + "=" + course_levels_file(courses[i]) + "\r\n";
    }
    return write_file(root / "data/courses.txt", list, error);
}

bool coursegen_write_alone(const Course &course, const std::string &folder, std::string *error) {
    const fs::path root = folder;
    return write_shared(root, error) && write_course(root, course, error);
}

bool coursegen_build_maps(const std::vector<Course> &courses, std::string *error,
                          const std::string &map_root) {
    for (const Course &course : courses) {
        const Places places = places_of(course);
        if (!build_map(blades_file(places), map_root, error)) {
            return false;
        }
        for (const HoleSpec &hole : course.holes) {
            if (!build_map(course_model_file(course, hole.number), map_root, error)) {
                return false;
            }
            for (size_t i = 0; i < hole.gates.size(); ++i) {
                if (!build_map(gate_model_file(places, hole.number, static_cast<int>(i)), map_root,
                               error)) {
                    return false;
                }
            }
            for (size_t i = 0; i < hole.lifts.size(); ++i) {
                if (!build_map(lift_model_file(places, hole.number, static_cast<int>(i)), map_root,
                               error)) {
                    return false;
                }
            }
        }
    }
    return true;
}
