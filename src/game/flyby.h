// The fly-by that opens a hole: a camera of its own rides the level's trail
// ("intro") from end to end, then camera 0 flies smoothly from there to its
// place behind the first player's ball, and its arrival ends the fly-by
// (the game state becomes 1). A hole without a trail starts at the approach.
#pragma once

// After level_init: adds the fly-by camera and makes it the current one.
void flyby_start();
// Whether the fly-by (trail or approach) still runs.
bool flyby_running();
// Cuts straight to the approach's end: camera 0 behind the ball, state 1.
void flyby_skip();
// What the fly-by looks at: the middle of the hole, between the first ball
// and the cup, on top of whatever stands there (the green, a plateau, a
// windmill's roof), so that the middle of its picture is the course.
void flyby_look_point(float out[3]);

// Where camera 0 waits behind the ball once the fly-by has ended.
constexpr float FLYBY_BEHIND = 2.8f;
constexpr float FLYBY_ABOVE = 1.5f;
