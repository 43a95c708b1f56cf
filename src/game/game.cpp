#include "game.h"

#include "ball.h"
#include "camera.h"
#include "course.h"
#include "foresight.h"
#include "players.h"
#include "screens.h"
#include "script.h"
#include "shadow.h"
#include "trail.h"
#include "viewer.h"
#include "way.h"

#include "gen.h"
#include "xv.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kLongestValue = 500;
constexpr float kPinwheelSpeed = 6.3f; // degrees a step unit, over the slowest
constexpr float kPinwheelSlowest = 2.4f;
constexpr float kPinwheelPhaseStep = 0.01f;
constexpr uint32_t kWindLongest = 15000; // ms between changes, over the shortest
constexpr uint32_t kWindShortest = 2000;
constexpr float kStreamSpeed = 0.015f;
constexpr uint8_t kTextureMatrix = 0x80;
constexpr int kSecondTranslation = 5; // of the texture matrix 11, 12, 21, 22, 31, 32
constexpr float kCameraStartAngles[3] = {90.0f, 180.0f, 0.0f};
constexpr int kLowestPar = 1; // a hole's par as the rules and the scorecard can play it
constexpr int kHighestPar = 20;

// The seven object models, slot by slot.
constexpr const char *kObjectFiles[OBJECT_MODELS] = {
    "gfx\\wo2\\tball\\ball1.wo2", "gfx\\wo2\\tball\\ball1.wo2", "gfx\\wo2\\pinwheel\\pinwheel.wo2",
    "gfx\\wo2\\tball\\ball2.wo2", "gfx\\wo2\\tball\\ball3.wo2", "gfx\\wo2\\tball\\ball4.wo2",
    "gfx\\wo2\\tball\\ball5.wo2",
};

GAME the_game = [] {
    GAME g{};
    g.player_count = MAX_LEVEL_PLAYERS;
    return g;
}();
XV_3D_WORLD world;
int music = 0;                  // the game music's handle
bool pinwheel_reported = false; // a missing pinwheel reference is said once a level
// The level's course, its collision map, its objects and its balls are all
// in place: only then may anything step, simulate or strike on it. A level
// that stopped loading half-way was reported and is not played.
bool playable = false;

std::string level_section(int level) {
    char section[24];
    std::snprintf(section, sizeof section, "level%03d", level);
    return section;
}

// A string value of the level's section; false when missing, which the
// level reports in its own words.
bool read_string(const std::string &section, const char *key, char *value) {
    value[0] = '\0';
    XV_INI_QUIET quiet;
    return xv_io_ini_read(section.c_str(), key, value, kLongestValue, course_level_list()) > 0;
}

XV_3D_NODE *node_at(int32_t index) {
    return xv_3d_world_get_node_pointer(&world, index);
}

// A node that the world adds with its flags changed.
int32_t add_flagged_node(GEN_WO2 *model, uint32_t flags) {
    const int32_t index = xv_3d_world_add_node(&world, model, nullptr);
    if (index >= 0) {
        XV_3D_NODE node;
        xv_3d_world_get_node(&world, &node, index);
        node.flags |= flags;
        xv_3d_world_set_node(&world, &node, index);
    }
    return index;
}

// A fresh, empty world: the level's nodes go with the level.
void renew_world() {
    if (world.flags & XV_3D_WORLD_INITED) {
        xv_3d_world_deinit(&world);
    }
    xv_3d_world_init(&world);
}

// False when the model or its map could not be had (the model's loader
// or the map's said why).
bool load_course_model(const char *world_file) {
    GAME &g = the_game;
    renew_world();
    gen_history("Loading the scenario map (%s)", world_file);
    gen_wo2_load(&g.model, world_file);
    if (!g.model.in_use) {
        return false;
    }
    g.level_node = add_flagged_node(&g.model, XV_3D_NODE_SCENERY | XV_3D_NODE_TRANSLUCENT_PASS);
    char *map_file = xv_io_change_ext(world_file, "col");
    if (map_file) {
        gen_wo2_coll_map_create(&g.model, &g.map, COURSE_MAP_LEAF_TRIANGLES, COURSE_MAP_DEPTH,
                                map_file);
        xv_mem_free(map_file);
    }
    return g.map.inited;
}

bool load_object_models() {
    bool loaded = true;
    for (int slot = 0; slot < OBJECT_MODELS; ++slot) {
        gen_wo2_load(&the_game.objects[slot], kObjectFiles[slot]);
        loaded = loaded && the_game.objects[slot].in_use;
    }
    return loaded;
}

// The par, when the level gives one, is one the rules can play: the cap is
// par + 3 and the scorecard counts it. A missing par was reported by the
// reader and plays as 0.
bool read_par(const std::string &section) {
    GAME &g = the_game;
    if (xv_io_ini_read_int(section.c_str(), "par", &g.par, course_level_list()) == 0 ||
        (g.par >= kLowestPar && g.par <= kHighestPar)) {
        return true;
    }
    gen_error("par %d of [%s] in %s is out of range (%d to %d)", g.par, section.c_str(),
              course_level_list(), kLowestPar, kHighestPar);
    g.par = 0;
    return false;
}

// The balls: one a player, the first player's ball model alone for one
// player, else players 1 to 4 in their colours; each starts where the
// level says, with the game's radius and gravity.
void add_level_players(const std::string &section, float camera_start[3], bool *camera_start_read) {
    GAME &g = the_game;
    reset_players(); // the shipped flow's paddle players have no ball here
    const int count = std::min(std::max(g.player_count, 1), static_cast<int>(MAX_LEVEL_PLAYERS));
    for (int i = 0; i < count; ++i) {
        const int slot = count == 1 ? OBJECT_SINGLE_BALL : OBJECT_PLAYER_BALL + i;
        g.ball_node = xv_3d_world_add_node(&world, &g.objects[slot], nullptr);
        add_player(g.ball_node);
        PLAYER *record = player(player_count() - 1);
        record->radius = BALL_RADIUS;
        record->gravity = BALL_GRAVITY;
        read_player_start(record, course_level_list(), section.c_str());
        *camera_start_read =
            read_vector(section.c_str(), "camstart", camera_start, course_level_list()) == 3;
    }
}

// "camstart" is where the players' camera starts: it is read with the
// balls, and applied once the cameras exist, to the camera the first player
// record holds, with the angles 90, 180 and 0.
void apply_camera_start(const float position[3]) {
    const PLAYER *first = player(0);
    CAMERA *camera = first ? camera_at(first->camera) : nullptr;
    if (camera) {
        std::memcpy(camera->view.position, position, sizeof camera->view.position);
        std::memcpy(camera->view.rotation, kCameraStartAngles, sizeof camera->view.rotation);
    }
}

void load_level_cameras(const std::string &section) {
    char file[kLongestValue + 1];
    if (!read_string(section, "cam_file", file)) {
        gen_error("cam_file not found ([%s] of %s)", section.c_str(), course_level_list());
    }
    set_camera_event_handler(camera_event);
    load_cameras(file);
}

// The trail and the scripts are optional: the level list's missing-key
// reports are off while they are looked for, and on while they load.
void load_trail_and_scripts(const std::string &section) {
    char file[kLongestValue + 1];
    xv_io_ini_set_mode(course_level_list(), KEY_ERRORS_OFF);
    if (read_string(section, "intro", file)) {
        xv_io_ini_set_mode(course_level_list(), KEY_ERRORS_ON);
        the_game.trail = trail_load(file);
    }
    xv_io_ini_set_mode(course_level_list(), KEY_ERRORS_ON);
    xv_io_ini_set_mode(course_level_list(), KEY_ERRORS_OFF);
    if (read_string(section, "script_file", file)) {
        xv_io_ini_set_mode(course_level_list(), KEY_ERRORS_ON);
        script_set_event_hook(script_trace_hook);
        script_load(file);
    }
    xv_io_ini_set_mode(course_level_list(), KEY_ERRORS_ON);
}

void play_level_music(const std::string &section) {
    char file[kLongestValue + 1];
    if (!read_string(section, "music", file)) {
        gen_error("Music not found ([%s] of %s)", section.c_str(), course_level_list());
        return;
    }
    stop_game_music(); // the tune before it, the game's or the last hole's
    music = xv_snd_load_music(file);
    if (music) {
        xv_snd_play_music(music);
    }
}

void turn_pinwheel(float s) {
    GAME &g = the_game;
    find_object_reference("Pinwheel", &g.pinwheel_reference);
    if (g.pinwheel_reference < 0) {
        return;
    }
    const float speed = std::fabs(std::sin(g.pinwheel_phase)) * kPinwheelSpeed + kPinwheelSlowest;
    g.pinwheel_phase += kPinwheelPhaseStep * s;
    xv_3d_object_reference_matrix_rotate(&g.objects[OBJECT_PINWHEEL], g.pinwheel_reference, 0, 0,
                                         speed * s);
}

// The wind turns, at random times 2 to 17 seconds apart, to a random
// direction, while a single hole is played.
void change_wind() {
    GAME &g = the_game;
    const uint32_t now = xv_tick_count();
    if (static_cast<int32_t>(now - g.next_wind_change) < 0 || g.state != GAME_SINGLE_HOLE) {
        return;
    }
    g.next_wind_change = now + xv_random() % kWindLongest + kWindShortest;
    xv_random_seed(now);
    g.wind_direction = static_cast<int32_t>(xv_random() % 360);
}

// Running water: the textures of the model part the hole names slide
// along it.
void slide_stream(const std::string &part, float s) {
    GAME &g = the_game;
    const int32_t reference = gen_wo2_find_reference(&g.model, part.c_str());
    if (reference < 0) {
        return;
    }
    const int32_t *materials = nullptr;
    const int32_t count = xv_3d_object_reference_get_material_list(&g.model, reference, &materials);
    for (int32_t i = 0; i < count; ++i) {
        GEN_WO2_MATERIAL material;
        xv_3d_object_get_material(&g.model, materials[i], &material);
        material.properties |= kTextureMatrix;
        material.texture_matrix[kSecondTranslation] -= kStreamSpeed * s;
        xv_3d_object_set_material(&g.model, materials[i], &material);
    }
}

void unload_level_models() {
    GAME &g = the_game;
    for (GEN_WO2 &object : g.objects) {
        gen_wo2_free(&object);
    }
    renew_world();
    gen_wo2_free(&g.model);
    if (g.map.inited) {
        gen_wo2_coll_map_free(&g.map);
    }
}

} // namespace

GAME *game() {
    return &the_game;
}

// Naming the settings file puts right a write of it that was cut off (its
// backup comes back when it was lost). A missing file is the first run's:
// the defaults stand and the first setting written makes it, so nothing is
// said. One that is there is opened once and let go, so that an unreadable
// one is said now rather than at the first setting.
void check_settings_file() {
    gen_history("-- Open the ini file (%s)\n", xv_io_ini_path() ? xv_io_ini_path() : "");
    char name[56] = "";
    xv_io_ini_read("Application", "INIFile", name, sizeof name - 1, "data\\texts.txt");
    xv_io_set_settings_file(name[0] ? name : nullptr);
    if (const char *settings = xv_io_ini_path();
        settings && xv_io_fexist(settings, XV_IO_ON_DISK)) {
        xv_io_ini_set_mode(settings, KEEP_OPEN);
        xv_io_ini_set_mode(settings, KEEP_CLOSE);
    }
}

void game_init() {
    gen_history("----------- GAME INIT -----------\n");
    load_publisher_pictures();
    check_settings_file();
    xv_3d_engine_init();
    xv_3d_world_init(&world);
    add_player(0);
    add_player(0);
    load_sound_slots();
    music = xv_snd_load_music("snd\\foosball.s3m");
    if (music) {
        xv_snd_play_music(music);
    }
    gen_history("---------- END GAME INIT ---------\n");
}

// A course still loaded goes first, so that the engine stops with nothing
// of the level left in it.
void game_deinit() {
    gen_history("----------- GAME DEINIT -----------\n");
    for (int i = 0; i < player_count(); ++i) {
        gen_history("player %d paddle at %d,%d\n", i, player(i)->paddle_x, player(i)->paddle_y);
    }
    level_deinit();
    free_publisher_pictures();
    viewer_deinit();
    release_sound_slots();
    xv_3d_world_deinit(&world);
    xv_3d_engine_deinit();
    stop_game_music();
}

int game_music() {
    return music;
}

void stop_game_music() {
    if (music) {
        xv_snd_stop_music(music);
        xv_snd_unload_music(music);
        music = 0;
    }
}

XV_3D_WORLD *game_world() {
    return &world;
}

void start_game(int player_count) {
    GAME &g = the_game;
    g.player_count = player_count;
    level_deinit();
    g.level = 1;
    g.play_mode = PLAY_COURSE;
    level_init();
    reset_scores();
    g.state = GAME_HOLE_STARTED;
}

void start_single_level(int level) {
    GAME &g = the_game;
    g.player_count = 1;
    level_deinit();
    g.level = level;
    g.play_mode = PLAY_SINGLE_HOLE;
    reset_scores();
    g.state = GAME_SINGLE_HOLE;
}

void next_level() {
    GAME &g = the_game;
    g.level++;
    g.holes_played++;
    if (g.level <= course().hole_count && g.play_mode != PLAY_SINGLE_HOLE) {
        gen_history("-- deinit the game\n");
        level_deinit();
        gen_history("-- reload the new level\n");
        level_init();
        g.state = GAME_HOLE_STARTED;
    } else {
        g.game_over = 1;
        g.state = GAME_OVER;
    }
}

void reset_scores() {
    the_game.holes_played = 1;
    std::memset(the_game.scores, 0, sizeof the_game.scores);
}

int total_score(int player_index) {
    PLAYER *record = player(player_index);
    if (!record) {
        return 0;
    }
    int total = record->strokes;
    const int row = player_index < SCORE_ROWS ? player_index : SCORE_ROWS - 1;
    // The holes before this one: holes_played counts this one, and the host
    // writes hole k's strokes into column k - 1.
    for (int hole = 0; hole < the_game.holes_played - 1 && hole < SCORE_HOLES; ++hole) {
        total += the_game.scores[row][hole];
    }
    record->total = total;
    return total;
}

void level_init() {
    GAME &g = the_game;
    g.game_over = 0;
    pinwheel_reported = false;
    playable = false;
    foresight_reset();
    const std::string section = level_section(g.level);
    char value[kLongestValue + 1];
    if (!read_string(section, "screen", value)) {
        gen_error("screen not found ([%s] of %s)", section.c_str(), course_level_list());
        return;
    }
    char world_file[kLongestValue + 1];
    if (!read_string(section, "world_file", world_file)) {
        gen_error("Level_file not found ([%s] of %s)", section.c_str(), course_level_list());
        return;
    }
    if (!load_course_model(world_file) || !load_object_models()) {
        return;
    }
    // The resting ball waits hidden until a host has a place for it.
    g.resting_ball_node = add_flagged_node(&g.objects[OBJECT_RESTING_BALL],
                                           XV_3D_NODE_TRANSLUCENT_PASS | XV_3D_NODE_HIDDEN);
    g.pinwheel_node = xv_3d_world_add_node(&world, &g.objects[OBJECT_PINWHEEL], nullptr);
    if (XV_3D_NODE *pinwheel = node_at(g.pinwheel_node)) {
        read_vector(section.c_str(), "hole", pinwheel->position, course_level_list());
    }
    if (!read_par(section)) {
        return;
    }
    xv_io_ini_read_int(section.c_str(), "kind_wall", &g.wall_kind, course_level_list());
    float camera_start[3] = {};
    bool camera_start_read = false;
    add_level_players(section, camera_start, &camera_start_read);
    playable = player_count() > 0;
    shadows_add();
    load_level_cameras(section);
    if (camera_start_read) {
        apply_camera_start(camera_start);
    }
    load_trail_and_scripts(section);
    g.state = GAME_LOADED;
    play_level_music(section);
    gen_history("\n\nMemory Allocated Max:  %12d\n\n", static_cast<int>(xv_mem_max_used()));
    gen_history("Memory Allocated Current:  %12d\n\n", static_cast<int>(xv_mem_used()));
}

void level_deinit() {
    GAME &g = the_game;
    if (g.level == 0) {
        return;
    }
    gen_history("-------- LEVEL DEINIT ---------\n");
    playable = false;
    stop_all_slots();
    unload_level_models();
    shadows_free();
    trail_free(&g.trail);
    script_unload();
    free_cameras();
    reset_players();
    way_forget();
    stop_game_music();
    gen_history("-------- END LEVEL DEINIT ---------");
}

bool level_loaded() {
    return the_game.level != 0 && playable;
}

void level_step(float s) {
    GAME &g = the_game;
    if (g.state == GAME_LOADED || !level_loaded()) {
        return;
    }
    const int count = std::min(g.player_count, player_count());
    for (int i = 0; i < count; ++i) {
        player_step(player(i), s);
    }
    shadows_place();
    camera_update();
    script_update();
    foresight_record();
    if (level_loaded()) {
        turn_pinwheel(s);
        if (const COURSE_HOLE *hole = course_hole(g.level); hole && !hole->stream.empty()) {
            slide_stream(hole->stream, s);
        }
    }
    change_wind();
}

void find_object_reference(const char *name, int32_t *result) {
    *result = gen_wo2_find_reference(&the_game.objects[OBJECT_PINWHEEL], name);
    if (*result < 0 && !pinwheel_reported) {
        pinwheel_reported = true; // once a level, not every step
        gen_error("Cant find %s reference", name);
    }
}

void hole_position(float out[3]) {
    const XV_3D_NODE *pinwheel =
        the_game.pinwheel_node >= 0 && the_game.pinwheel_node < world.num_nodes
            ? &world.nodes[the_game.pinwheel_node]
            : nullptr;
    for (int axis = 0; axis < 3; ++axis) {
        out[axis] = pinwheel ? pinwheel->position[axis] : 0.0f;
    }
}
