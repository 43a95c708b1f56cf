// The players: their paddles and keys, and the fixed game step. Each player
// has a paddle moved by two keys, a key map of up to 30 actions and the
// input module's player controls; the ball of a loaded course comes with
// the course, and rolls by the physics of ball.h.
#pragma once

#include "xv.h"
#include "xv_kb.h"

#include <cstdint>

struct XV_3D_NODE;

enum { MAX_PLAYERS = 8 };

struct PLAYER {
    int32_t paddle_x;
    int32_t paddle_y; // 0 .. 300
    void *ball;       // the ball's node in the world, fetched again at every sub-step
    int32_t ball_node;
    float velocity_x, previous_velocity_x;
    float velocity_y, previous_velocity_y; // positive downwards
    float velocity_z, previous_velocity_z;
    float radius;
    float gravity;
    float aim_angle; // degrees
    uint32_t next_physics;
    int32_t strokes;
    int32_t total;
    uint8_t hole_state; // BALL_IN_PLAY, BALL_HOLED, BALL_LIFTED
    uint8_t on_floor; // the ball met a floor in its last sub-step: it rolls, and follows the ground
    int32_t index;
    XV_PLAY_PLAYER controls;
    XV_KB keys;
    uint8_t camera_latch, player_latch, space_latch; // set while the key is held
    int32_t camera;
    float repeat_timer; // steps until action 15 may set the repeat flag again
};

// Where a player's ball is: rolling on the course, in the hole, or lifted
// by its player (a host's stroke cap): a lifted ball no longer rolls.
enum : uint8_t { BALL_IN_PLAY = 0, BALL_HOLED = 2, BALL_LIFTED = 3 };

// Key-map actions the game reads.
enum {
    ACTION_PADDLE_UP = 0,
    ACTION_PADDLE_DOWN = 1,
    ACTION_AIM_LEFT = 2,
    ACTION_AIM_RIGHT = 3,
    ACTION_SPACE = 5,
    ACTION_QUIT = 6,
    ACTION_CONTROL = 12,
    ACTION_NEXT_HOLE = 14,
    ACTION_REPEAT = 15,
    ACTION_NEXT_CAMERA = 16,
    ACTION_NEXT_PLAYER = 17,
};

void add_player(int ball_node);
void reset_players();
int player_count();
PLAYER *player(int index);
// The node of that player's ball in the game's world, or null.
XV_3D_NODE *player_ball(int index);
// The player whose ball the follow camera watches.
int current_player();
void set_current_player(int index);
// "startp" + (index + 1) of the level's section into the ball node's
// place, and "angle" into the aiming angle.
void read_player_start(PLAYER *record, const char *file_name, const char *section);

// One fixed step of the game: fraction is the step's length in thirtieths
// of a second, in (0, 1].
void game_step(float fraction);
// The player's keys, then, while a level is loaded, its level keys and its
// ball; then the paddle.
void player_step(PLAYER *record, float fraction);
void player_keys(PLAYER *record, float fraction);
// B moves to the next camera, V to the next player (each once a press);
// action 15 sets the repeat flag at most once every 60 steps; Right Control
// and Right Shift with L move on to the next hole.
void player_level_keys(PLAYER *record, float fraction);
// A host that reads the devices itself (the play layer) turns its commands
// into its own actions: while hosted, the key maps end nothing (Escape),
// move to no camera and skip no hole. The paddles and the rest stay.
void players_hosted(int on);
// A stroke: the ball goes off along the aiming angle (degrees; 0 along -z,
// 90 along -x) at power (0 to 1) times the full stroke's speed, and the
// stroke is counted.
void player_strike(PLAYER *record, float power);
// The direction the aiming angle points along, in x and z.
void aim_direction(float angle, float *x, float *z);
// The repeat-limited flag: the main loop clears it before each frame's render.
int repeat_flag();
void clear_repeat_flag();
void draw_paddle(int x, int y);
// Tests stand in for the end of the process that Escape asks for.
using PLAYER_QUIT = void (*)(int status);
void players_set_quit(PLAYER_QUIT quit);
