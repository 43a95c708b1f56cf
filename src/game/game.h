// The game's start and stop, and course play: a level is one hole of the
// course chosen (see course.h), loaded from its level list (section
// level001 for hole 1): the course model with its collision map, a
// pinwheel standing over the hole, one ball per player, the cameras, an
// optional trail and optional scripted objects, and the hole's music. A
// course runs its holes from the first; a host (a menu, the play layer)
// starts it and reads how it goes from the record below.
#pragma once

#include "gen_coll_map.h"
#include "gen_wo2.h"

#include <cstdint>

struct XV_3D_WORLD;
struct TRAIL_NODE;

enum {
    // The collision maps of a level's models: at most 50 triangles a leaf,
    // 20 levels deep.
    COURSE_MAP_LEAF_TRIANGLES = 50,
    COURSE_MAP_DEPTH = 20,
    MAX_LEVEL_PLAYERS = 4, // there are four player ball models
    // The score table the host writes: a row a player, a column for each of
    // the first nine holes (a longer course keeps its own card).
    SCORE_ROWS = 8,
    SCORE_HOLES = 9,
};

// How the course is played.
enum : uint8_t {
    PLAY_COURSE = 1,      // consecutive holes from hole 1 (start_game)
    PLAY_SINGLE_HOLE = 2, // one hole for one player (start_single_level)
};

// The game state, as the host reads it. level_step does nothing while it
// is GAME_LOADED, and the wind turns only while it is GAME_SINGLE_HOLE.
enum : uint8_t {
    GAME_LOADED = 0,      // a level has loaded
    GAME_APPROACHED = 1,  // camera 0 has finished its smooth approach
    GAME_SINGLE_HOLE = 2, // start_single_level chose a hole
    GAME_HOLED = 7,       // a ball has dropped into the hole
    GAME_HOLE_STARTED = 9,
    GAME_OVER = 11,
};

// The seven object models of a level, in the order they load.
enum {
    OBJECT_RESTING_BALL,
    OBJECT_SINGLE_BALL,
    OBJECT_PINWHEEL,
    OBJECT_PLAYER_BALL, // the balls of players 1 to 4 follow
    OBJECT_MODELS = OBJECT_PLAYER_BALL + MAX_LEVEL_PLAYERS,
};

struct GAME {
    int32_t level;        // the hole loaded, from 1; 0: none
    int32_t player_count; // balls a level sets up, 1 to 4
    uint8_t play_mode;    // PLAY_*, 0 before a course starts
    uint8_t state;        // GAME_*
    uint32_t state_deadline;
    int32_t game_over;
    int32_t holes_played;
    int32_t scores[SCORE_ROWS][SCORE_HOLES]; // written by the host
    int32_t par;
    int32_t wall_kind; // which wall-hit sound the balls make
    GEN_WO2 model;     // the course
    GEN_WO2 objects[OBJECT_MODELS];
    GEN_COLL_MAP map;
    TRAIL_NODE *trail;
    int32_t level_node, resting_ball_node, pinwheel_node, ball_node;
    float pinwheel_phase;
    int32_t pinwheel_reference;
    int32_t wind_direction; // whole degrees, 0..359
    uint32_t next_wind_change;
};

// The one game of the program.
GAME *game();

// The engine's drawing state and the world, the publisher pictures, the
// two players of the shipped flow, the balls' sounds and the game's music.
void game_init();
void game_deinit();
XV_3D_WORLD *game_world();
// The game music's handle, 0 for none; stopping it also unloads it.
int game_music();
void stop_game_music();

// The course operations.
void start_game(int player_count);
void start_single_level(int level);
void next_level();
void reset_scores();
// Strokes on this hole plus the row's entries of the holes before it (the
// first holes_played - 1), and keeps it in the player's total.
int total_score(int player_index);
// Loads the hole named by game()->level; a fault in the level list ends the
// game through the engine's error report, and what had loaded stays until
// the next level_deinit releases it.
void level_init();
void level_deinit();
// One fixed step of a loaded level: the players' balls and keys, the
// cameras, the scripts, the pinwheel, the wind and level 4's stream.
void level_step(float fraction);
// Whether a level can be played: its course, collision map, objects and
// balls are in place (its cameras, trail, scripts or music may still have
// failed, and were reported). Nothing steps a level that is not.
bool level_loaded();
// The pinwheel model's reference of that name into *result; a missing one
// is an engine error.
void find_object_reference(const char *name, int32_t *result);
// Where the ball of a course counts as holed: the pinwheel's place.
void hole_position(float out[3]);
