#include "game.h"

#include "gen.h"
#include "xv.h"

namespace {

XV_3D_WORLD world;
int music = 0; // the game music's handle

} // namespace

void game_init() {
    xv_3d_engine_init();
    xv_3d_world_init(&world);
    music = xv_snd_load_music("snd\\foosball.s3m");
    if (music) {
        xv_snd_play_music(music);
    }
}

void game_deinit() {
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
