// Player controls: each registered player has eight actions, each bound to
// up to three controls (a key, a mouse byte, a joystick byte) in each of
// five configurations. After every poll the eight action states are written
// into the player's own record.
#pragma once

#include <cstdint>

struct XV_PLAY_CONFIG {
    int report;
};

enum { XV_PLAY_ACTIONS = 8, XV_PLAY_ROWS = 3, XV_PLAY_CONFIGURATIONS = 5 };

// The application's record: the states the module writes, one per action.
struct XV_PLAY_PLAYER {
    uint8_t actions[XV_PLAY_ACTIONS];
};

// The messages of the "Player" table.
enum { XV_PLAY_ERR_NULL = 0, XV_PLAY_ERR_NOT_REGISTERED = 1, XV_PLAY_ERR_NO_CONTROL = 2 };

int xv_play_init(XV_PLAY_CONFIG *config);
void xv_play_deinit();
int xv_play_add(XV_PLAY_PLAYER *player);
void xv_play_remove(XV_PLAY_PLAYER *player);
void xv_play_update();
int xv_play_module();
