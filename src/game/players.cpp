#include "players.h"

void game_step(float) {
    // The players' keys and balls arrive with the players issue.
}
