// Where a level's moving objects will be: their places are recorded every
// level step, and for each object the smallest period after which it comes
// back to where it was is found in the record; its place at a later step is
// then its place whole periods before it. A stroke played out
// ahead of time (a computer player's, a test's search) meets the gates and
// blades where they will be as it rolls, not where they stand now; none of
// the game's state is touched to know it.
#pragma once

#include "ball.h"

// The record goes with the level: level_init starts it empty.
void foresight_reset();
// After a level step's scripts have moved: the objects' places now.
void foresight_record();
// Steps recorded since the reset: a clock of the level's steps.
long foresight_recorded();
// The longest of the objects' periods, in steps; 0 while one of them has
// none in the record (its loop not yet seen round once and two seconds
// more, or no loop at all).
int foresight_period();

// Fills course's obstacles with their places `step` steps after the last
// one recorded; without a known period they stay where they are now.
void foresight_place(int step, BALL_COURSE *course);

// ball_simulate's forecast: the places of step + *(const int *)context
// (a stroke struck that many steps from now).
void foresight_forecast(int step, BALL_COURSE *course, const void *context);

enum { FORESIGHT_STEPS = 600 }; // twenty seconds of places
