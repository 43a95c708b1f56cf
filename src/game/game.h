// The game's start and stop, and the world it draws.
#pragma once

struct XV_3D_WORLD;

// The engine's drawing state and the world; later the players, the
// publisher pictures and the game's music.
void game_init();
void game_deinit();
XV_3D_WORLD *game_world();
// The game music's handle, 0 for none; stopping it also unloads it.
int game_music();
void stop_game_music();
