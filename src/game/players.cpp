#include "players.h"

#include "game.h"
#include "xv.h"

void game_step(float) {
    // The players' keys and balls arrive with the players issue.
    if (game_music()) {
        xv_snd_update_music(game_music());
    }
}
