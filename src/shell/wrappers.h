// Start-up and shut-down of the platform and engine for the application.
// With mainpc, this is the program's shell: the entry and what it starts
// and stops. Nothing in the game depends on it; the records it fills are
// in app.h.
#pragma once

#include "app.h"

// Hears the name of each step of start-up and shut-down as it begins: the
// order is the program's spine, and tests hold it to it.
using APP_TRACE = void (*)(const char *step);
void app_set_trace(APP_TRACE hook);

// Starts every module in order, opens the window; 0 when start-up must stop.
int app_init(AppDescriptor *descriptor);
// Stops the modules in the reverse order; the error module's result.
int app_deinit();
// The orderly shut-down on a close request: heap checks around the game's
// own shut-down, then app_deinit.
int system_deinit();
