// The game's 2D screens: the publisher slideshow that plays over the 3D
// view when the game starts and ends the program after its last slide, a
// level's preview picture, the stroke counter, and the wrappers of the
// demo player that a level-selection or attract-mode host drives.
#pragma once

#include <cstdint>

enum { PUBLISHER_PICTURES = 16, SLIDES = 19 };

// Readies the publisher pictures: each is read when its slide first comes
// up, so that a game that never shows the slideshow never reads them.
void load_publisher_pictures();
// Also releases the score font.
void free_publisher_pictures();
// Once per drawn frame: shows the current slide, and moves on when its
// time is up; after the last slide the process ends.
void slideshow_step();
// The slide on screen (-1 before the first frame), for tests and traces.
int slideshow_slide();
void slideshow_reset();
// Tests stand in for the end of the process the last slide asks for.
using SLIDESHOW_END = void (*)(int status);
void slideshow_set_end(SLIDESHOW_END end);

void load_mini_screen(int level);
void draw_strokes(int player_index, int x, int y);

void demo_init();
void demo_deinit();
void demo_update();
void demo_run(int on);
int demo_active();
// The entry of the sequence showing now, from 0; -1 without a sequence.
int demo_entry();
