#include "players.h"

#include "app.h"
#include "game.h"
#include "gen.h"
#include "viewer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

PLAYER players[MAX_PLAYERS];
int count = 0;
int current = 0;
XV_FONT paddle_font{}; // never loaded: the paddles draw nothing until it is

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
    xv_kb_set_key(keys, 2, DIK_LEFT, nullptr);
    xv_kb_set_key(keys, 3, DIK_RIGHT, nullptr);
    xv_kb_set_key(keys, ACTION_SPACE, DIK_SPACE, nullptr);
    const int others[][2] = {{4, DIK_S},  {7, DIK_Q},  {8, DIK_A},        {9, DIK_O},
                             {10, DIK_P}, {11, DIK_F}, {12, DIK_LCONTROL}};
    for (const auto &binding : others) {
        xv_kb_set_key(keys, binding[0], binding[1], nullptr);
    }
    xv_kb_add_key(keys, ACTION_CONTROL, DIK_RCONTROL, nullptr);
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

int player_count() {
    return count;
}

PLAYER *player(int index) {
    return index >= 0 && index < count ? &players[index] : nullptr;
}

void players_set_quit(PLAYER_QUIT hook) {
    quit = hook ? hook : quit_now;
}

void game_step(float fraction) {
    xv_input_read_mouse();
    xv_play_update();
    for (int i = 0; i < count; ++i) {
        xv_kb_update(&players[i].keys);
    }
    if (game_music()) {
        xv_snd_update_music(game_music());
    }
    for (int i = 0; i < count; ++i) {
        player_step(&players[i], fraction);
    }
    viewer_step();
}

void player_step(PLAYER *record, float fraction) {
    player_keys(record, fraction);
    draw_paddle(record->paddle_x, record->paddle_y);
}

// The paddle moves 3 pixels a step; from 0 it stays within 0..300.
void player_keys(PLAYER *record, float) {
    XV_KB *keys = &record->keys;
    if (xv_kb_get_key(keys, ACTION_QUIT)) {
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

void draw_paddle(int x, int y) {
    const XV_RECT place = {static_cast<int16_t>(x), static_cast<int16_t>(y), 80, 300};
    xv_font_draw_char(&paddle_font, 'A', 1, app_state()->screen, &place, 256);
}
