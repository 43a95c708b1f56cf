// The process as the system sees it: how urgently it is scheduled, and the
// system's requests that it stop (a termination signal, Ctrl+C).
#pragma once

enum OS_PRIORITY {
    OS_PRIORITY_NORMAL,   // the game in the background
    OS_PRIORITY_HIGH,     // the game in front of its player
    OS_PRIORITY_REALTIME, // the start-up, while the player waits for it
};

// Asks the system to schedule the game at that priority; false where the
// system refuses, and the game then runs as it is. On Linux these are nice
// values (0, -5, -10), never a real-time scheduling class: the game's loop
// never blocks, and a real-time class would let it starve the desktop.
// Only a privileged process may take a value below 0, so an ordinary
// player's game runs at normal priority throughout.
bool os_process_set_priority(OS_PRIORITY priority);

// From now on a termination signal or Ctrl+C is noted instead of ending the
// process at once, for a loop that has no window to hear of it and stops
// in order. A window's own event queue hears these without it.
void os_process_catch_termination();
// Whether a termination was asked for since os_process_catch_termination.
bool os_process_termination_requested();
