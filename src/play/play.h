// The play layer: the host that makes the game a game to play. A title
// screen (New Game, Single Hole, Options, Quit), the players' setup, the
// holes with their fly-by, aiming, the power meter, turns, penalties and the
// stroke cap, the HUD, the results and the scorecard between holes, the
// final standings, pause, the best scores, and the attract mode.
//
// It stands above the game and calls it as the game calls the engine: the
// game's modules never include it. Untouched, the program shows its
// publisher slideshow and ends; a key or a click during the slideshow, the
// Game menu's New Game, or the command line (--play N, --hole K) brings the
// play layer in.
#pragma once

#include <cstdint>

// After game_init: reads the settings and the command line (--play N
// starts a course for N players, --hole K a single hole), on the course of
// that id when one is given (--course, as the shell found it), else the
// one the settings keep.
void play_init(int argc, char **argv, const char *course_id = nullptr);
void play_deinit();
// Whether the play layer has the screen (else the shipped flow runs).
bool play_active();
// The window's key presses and clicks during the slideshow, and the Game
// menu's New Game: the first brings up the title screen. True when taken.
bool play_window_message(uint32_t message, uintptr_t wparam);
// The Game menu's New Game: the players' setup, from wherever the play
// layer is (a hole in play is left).
void play_new_game();
// One fixed step of the game while the play layer has it: the step's
// fraction of a thirtieth of a second, in (0, 1].
void play_step(float fraction);
// Draws the play layer's screen over the world just rendered.
void play_draw();

// Nobody watching (pinwheel --bot-course): the course of that id (the
// first course for null or one there is not) for one computer player at
// that level (1 easy to 3 hard), no fly-by and no waits between holes; the
// host steps it with play_step. Whatever course the settings keep, the
// same id plays the same course.
void play_start_unattended(int computer_level, uint32_t seed = 1, const char *course_id = nullptr);
// The final standings are reached.
bool play_unattended_over();
// The first player's result on a hole once it is scored (false before),
// and the course's so far.
struct PLAY_HOLE_RESULT {
    int hole, strokes, par;
    bool holed;
};
bool play_hole_result(int hole, PLAY_HOLE_RESULT *out);
void play_course_result(PLAY_HOLE_RESULT *out);
