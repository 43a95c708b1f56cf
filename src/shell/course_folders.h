// Courses that players write: folders of text (a course.txt and a file a
// hole, in the hole language of docs/holes.md) under
// $XDG_DATA_HOME/pinwheel/courses/ (~/.local/share/pinwheel/courses/), and
// the one `pinwheel --course DIR` names. Each is listed by its names at
// start, and built with the course builder's own code the first time it
// is chosen, into $XDG_CACHE_HOME/pinwheel/courses/KEY/ (~/.cache/...), KEY
// a fingerprint of its texts: a second start, or a second choice, finds it
// built. The game reads a built course from there as if it were its own.
#pragma once

#include <string>

// Lists the courses of the players' folders, and of the folder asked for
// (--course's word) when it names one, after the game's own; a folder whose
// texts are at fault is left out with the fault said (FILE:LINE: what). The
// game's file layer and engine must be running. Returns the id to choose:
// the asked folder's course's id, the word as given when it names no folder
// (a course's id), or "" when nothing was asked.
std::string course_folders_add(const char *asked);

// Builds the course of a folder of text into a folder of this system (made
// afresh), as the game does when it is first chosen, and has the file
// layer read it; false and why when it cannot. The game's file layer and
// engine must be running.
bool course_folders_build(const std::string &folder, const std::string &into, std::string *why);
