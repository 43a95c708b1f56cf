// The way to the cup: how far a ball has to roll from a place to the cup
// of the loaded level, round the walls and blocks rather than through them
// (a U-turn's far lane is near the cup as the crow flies and far for a
// ball). The computer ranks the places its strokes end at by it.
//
// Over a grid of half a unit on the course's ground, laid out the first
// time it is asked on a level: a ball passes from a cell to the next unless
// something stands in its way a little over the ground it leaves (so it
// rolls down a drop but does not climb one); a cell with no ground under
// it (water, a gap to jump) is passed at three times its length.
#pragma once

// The length of the way from the place to the cup; the straight distance
// where the cup is in the ball's sight, or where the grid has no way.
float way_to_cup(const float position[3]);
// The grid of the level goes (the level does).
void way_forget();
