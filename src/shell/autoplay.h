// `pinwheel --bot-course LEVEL [--course ID]`: the course played through by one computer
// player (easy, medium or hard) with no window, as fast as the machine
// goes: the platform's files and memory, the engine's models and collision
// maps, the game and the play layer's own turns, on a clock of its own. It
// prints a line a hole, "hole K: S strokes (par P)", and "total: S strokes
// (par P)"; its exit status is 0 when every hole was finished under the
// cap, the proof that the course can be played.
//
// With `--rounds N` it plays N rounds, the computer's hand seeded 1 to N,
// and prints each round's total and their mean and spread: how strong the
// level's computer is.
#pragma once

// Plays the course of that id (null: the first course); the process's exit
// status.
int autoplay_course(const char *level, int rounds = 1, const char *course_id = nullptr);
