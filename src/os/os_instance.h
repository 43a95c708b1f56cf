// One running copy of the game: the first copy holds a local socket named
// after its window class; a second copy finds it there, asks it to bring
// its window to the front, and stops.
#pragma once

// True when this copy is the first with that name (it now holds the name
// until it ends); false when another copy runs, which was asked to come
// forward.
bool os_instance_claim(const char *name);
// In the first copy: answers the requests of later copies, raising the
// window. The message pump calls it.
void os_instance_serve();
