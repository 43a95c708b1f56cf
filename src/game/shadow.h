// A soft shadow under each ball: a dark disc that lies on the ground below
// the ball (tilted with it on a slope), grows and fades as the ball flies
// higher, and goes with the ball into the cup. The level places them every
// step; drawing only reads them.
#pragma once

#include <cstdint>

// After the level's balls are added: one shadow node each. Without the
// shadow's model the balls go without (a damaged one is reported).
void shadows_add();
// Each shadow under its ball, where the ball is now.
void shadows_place();
// With the level: the shadow model goes.
void shadows_free();
// The world node of the seat's shadow, or -1.
int32_t shadow_node(int seat);
