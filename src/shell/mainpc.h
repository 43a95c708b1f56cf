// The program's spine: the entry, the message loop that is also the frame
// loop, the fixed-step game clock and the 10 ms frame timer. With wrappers,
// this is the program's shell; nothing in the game depends on it.
#pragma once

#include "os_message.h"

#include <cstdint>

// The entry: starts everything, runs the loop until the quit message and
// returns its exit code.
int pinwheel_main(int argc, char **argv);

// One pass of the loop after the messages: when the application is active,
// the display ready and the timer has ticked at least once, draws a frame
// and runs the game steps it calls for. Returns 1 when a frame ran.
int frame_run();

// The frame-rate meter: the mean of the last ten frames' rates, from the
// tick count. 30 until ten frames have run.
void frame_rate_update();
float frame_rate();

// The fixed game steps one frame makes at this rate: 30 / rate thirtieths
// of a second, in steps of at most 1.0 and at most three of them (a slower
// machine sees the game slow down). Returns the count; none at rate 0.
int frame_steps(float rate, float steps[3]);

// The frame timer's callback (every 10 ms, on the timer's thread).
void frame_timer_tick(uint32_t timer_id);
uint32_t frame_ticks();
// Stops the frame timer (no tick runs after this) and zeroes the count.
void frame_timer_stop();

// The application's window procedure: the close request, F1 and the menu
// commands it answers itself, then the display's own handling.
intptr_t main_window_proc(OS_WINDOW window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Called once the game has started: the splash goes and frames may be drawn.
void app_ready();
void app_set_ready(bool ready);
// The display asks for the window to be drawn again.
void app_redraw();
// Empty hooks for F1 and for the display's rebuilt menu.
int show_help();
void menu_changed_hook();
// Back to the state of a fresh start: for tests.
void frame_reset();
