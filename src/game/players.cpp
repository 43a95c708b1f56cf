#include "players.h"

#include "app.h"
#include "ball.h"
#include "camera.h"
#include "game.h"
#include "gen.h"
#include "script.h"
#include "viewer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

PLAYER players[MAX_PLAYERS];
int count = 0;
int current = 0;
XV_FONT paddle_font{}; // never loaded: the paddles draw nothing until it is
int repeat = 0;
int hosted = 0;                       // a host reads the devices and acts on its own commands
float level_time = 0.0f;              // thirtieths of a second not yet stepped
constexpr float kRepeatSteps = 60.0f; // two seconds of steps

// Escape ends the game at once: no shut-down, no settings written.
void quit_now(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}
PLAYER_QUIT quit = quit_now;

// The first player's keys are the arrows and the letters around them, and
// only the first player quits, changes camera and player, and skips holes.
void bind_keys(PLAYER *record) {
    XV_KB *keys = &record->keys;
    const bool first = record->index == 0;
    xv_kb_init(keys);
    if (first) {
        xv_kb_set_key(keys, ACTION_NEXT_HOLE, DIK_L, nullptr);
        xv_kb_set_key(keys, ACTION_QUIT, DIK_ESCAPE, nullptr);
        xv_kb_set_key(keys, ACTION_NEXT_CAMERA, DIK_B, nullptr);
        xv_kb_set_key(keys, ACTION_NEXT_PLAYER, DIK_V, nullptr);
    }
    xv_kb_set_key(keys, ACTION_PADDLE_UP, first ? DIK_UP : DIK_E, nullptr);
    xv_kb_set_key(keys, ACTION_PADDLE_DOWN, first ? DIK_DOWN : DIK_D, nullptr);
    xv_kb_set_key(keys, ACTION_AIM_LEFT, DIK_LEFT, nullptr);
    xv_kb_set_key(keys, ACTION_AIM_RIGHT, DIK_RIGHT, nullptr);
    xv_kb_set_key(keys, ACTION_SPACE, DIK_SPACE, nullptr);
    const int others[][2] = {{4, DIK_S},  {7, DIK_Q},  {8, DIK_A},        {9, DIK_O},
                             {10, DIK_P}, {11, DIK_F}, {12, DIK_LCONTROL}};
    for (const auto &binding : others) {
        xv_kb_set_key(keys, binding[0], binding[1], nullptr);
    }
    xv_kb_add_key(keys, ACTION_CONTROL, DIK_RCONTROL, nullptr);
}

// A level step caught up within the same frame (a slow frame runs two or
// three) moves the balls too: the 5 ms gate is for a frame's own steps, and
// must not make the balls roll slower on a slower machine.
void open_physics_gates() {
    for (int i = 0; i < count; ++i) {
        players[i].next_physics = xv_tick_count() - 1;
    }
}

} // namespace

void add_player(int ball_node) {
    if (count == MAX_PLAYERS) {
        return;
    }
    PLAYER *record = &players[count];
    std::memset(record, 0, sizeof *record);
    record->paddle_x = count == 0 ? 700 : 20;
    record->ball_node = ball_node;
    record->index = count;
    xv_play_add(&record->controls);
    bind_keys(record);
    ++count;
}

void reset_players() {
    count = 0;
    current = 0;
}

int current_player() {
    return current;
}

void set_current_player(int index) {
    if (index >= 0 && index < count) {
        current = index;
    }
}

void read_player_start(PLAYER *record, const char *file_name, const char *section) {
    char key[24];
    std::snprintf(key, sizeof key, "startp%d", record->index + 1);
    if (XV_3D_NODE *node = xv_3d_world_get_node_pointer(game_world(), record->ball_node)) {
        read_vector(section, key, node->position, file_name);
    }
    read_number(section, "angle", &record->aim_angle, file_name);
}

XV_3D_NODE *player_ball(int index) {
    const PLAYER *record = player(index);
    return record ? xv_3d_world_get_node_pointer(game_world(), record->ball_node) : nullptr;
}

int player_count() {
    return count;
}

PLAYER *player(int index) {
    return index >= 0 && index < count ? &players[index] : nullptr;
}

void players_set_quit(PLAYER_QUIT hook) {
    quit = hook ? hook : quit_now;
}

// While a level is loaded its step runs the players. A level steps at a
// steady thirty a second, one whole step for every thirtieth the frames'
// fractions add up to: its cameras and balls move by the update, and a
// faster machine must not make them faster.
void game_step(float fraction) {
    xv_input_read_mouse();
    xv_play_update();
    for (int i = 0; i < count; ++i) {
        xv_kb_update(&players[i].keys);
    }
    if (game_music()) {
        xv_snd_update_music(game_music());
    }
    if (game()->level != 0) {
        for (level_time += fraction; level_time >= 1.0f; level_time -= 1.0f) {
            level_step(1.0f);
            open_physics_gates();
        }
    } else {
        for (int i = 0; i < count; ++i) {
            player_step(&players[i], fraction);
        }
    }
    viewer_step();
}

void player_step(PLAYER *record, float fraction) {
    player_keys(record, fraction);
    if (level_loaded()) {
        player_level_keys(record, fraction);
        ball_update(record, fraction);
    }
    draw_paddle(record->paddle_x, record->paddle_y);
}

// The paddle moves 3 pixels a step; from 0 it stays within 0..300.
void player_keys(PLAYER *record, float) {
    XV_KB *keys = &record->keys;
    if (!hosted && xv_kb_get_key(keys, ACTION_QUIT)) {
        quit(0);
        return;
    }
    if (xv_kb_get_key(keys, ACTION_PADDLE_UP) && record->paddle_y > 0) {
        record->paddle_y -= 3;
    }
    if (xv_kb_get_key(keys, ACTION_PADDLE_DOWN) && record->paddle_y < 300) {
        record->paddle_y += 3;
    }
    record->space_latch = xv_kb_get_key(keys, ACTION_SPACE) ? 1 : 0;
}

namespace {

// A held key acts once: the latch follows the key, and only a press of a
// released key counts.
bool pressed(XV_KB *keys, int action, uint8_t *latch) {
    const bool down = xv_kb_get_key(keys, action) != 0;
    const bool press = down && !*latch;
    *latch = down ? 1 : 0;
    return press;
}

} // namespace

void player_level_keys(PLAYER *record, float fraction) {
    XV_KB *keys = &record->keys;
    if (pressed(keys, ACTION_NEXT_CAMERA, &record->camera_latch) && camera_count() > 0 && !hosted) {
        set_current_camera((current_camera() + 1) % camera_count());
    }
    if (pressed(keys, ACTION_NEXT_PLAYER, &record->player_latch)) {
        const int players_in_level = std::min(game()->player_count, count);
        current = players_in_level > 0 ? (current + 1) % players_in_level : 0;
    }
    // Each player has a timer of its own: the step runs every player's keys.
    record->repeat_timer -= fraction;
    if (xv_kb_get_key(keys, ACTION_REPEAT) && record->repeat_timer <= 0.0f) {
        repeat = 1;
        record->repeat_timer = kRepeatSteps;
    }
    if (!hosted && xv_kb_get_key(keys, ACTION_NEXT_HOLE) && xv_input_get_key(DIK_RCONTROL) &&
        xv_input_get_key(DIK_RSHIFT)) {
        next_level();
    }
}

void aim_direction(float angle, float *x, float *z) {
    const float radians = angle * 0.01745278f;
    *x = -std::sin(radians);
    *z = -std::cos(radians);
}

void player_strike(PLAYER *record, float power) {
    power = std::clamp(power, 0.0f, 1.0f);
    float x, z;
    aim_direction(record->aim_angle, &x, &z);
    // The stroke starts the ball at once: the sub-step moves by the mean of
    // this speed and the last, and the last is this one too.
    record->velocity_x = record->previous_velocity_x = x * power * BALL_MAX_SPEED;
    record->velocity_z = record->previous_velocity_z = z * power * BALL_MAX_SPEED;
    record->strokes++;
}

void players_hosted(int on) {
    hosted = on;
}

int repeat_flag() {
    return repeat;
}

void clear_repeat_flag() {
    repeat = 0;
}

void draw_paddle(int x, int y) {
    if (!app_state()->screen) {
        return; // nothing to draw on: a course played with no window
    }
    const XV_RECT place = {static_cast<int16_t>(x), static_cast<int16_t>(y), 80, 300};
    xv_font_draw_char(&paddle_font, 'A', 1, app_state()->screen, &place, 256);
}
