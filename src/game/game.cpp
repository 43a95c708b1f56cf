#include "game.h"

#include "gen.h"
#include "players.h"
#include "screens.h"
#include "viewer.h"
#include "xv.h"

namespace {

XV_3D_WORLD world;
int music = 0; // the game music's handle

} // namespace

// The settings file is opened once and let go, so that a missing or
// unreadable one is said now rather than at the first setting.
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
    music = xv_snd_load_music("snd\\foosball.s3m");
    if (music) {
        xv_snd_play_music(music);
    }
    gen_history("---------- END GAME INIT ---------\n");
}

void game_deinit() {
    gen_history("----------- GAME DEINIT -----------\n");
    for (int i = 0; i < player_count(); ++i) {
        gen_history("player %d paddle at %d,%d\n", i, player(i)->paddle_x, player(i)->paddle_y);
    }
    free_publisher_pictures();
    viewer_deinit();
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
