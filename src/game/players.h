// The players: their balls, keys and paddles, and the fixed game step.
#pragma once

// One fixed step of the game: fraction is the step's length in thirtieths
// of a second, in (0, 1].
void game_step(float fraction);
