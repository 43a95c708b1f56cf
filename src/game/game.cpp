#include "game.h"

#include "gen.h"

namespace {

XV_3D_WORLD world;

} // namespace

void game_init() {
    xv_3d_engine_init();
    xv_3d_world_init(&world);
}

void game_deinit() {
    xv_3d_world_deinit(&world);
    xv_3d_engine_deinit();
}

XV_3D_WORLD *game_world() {
    return &world;
}
