// What the program does before the game starts: answers --help and
// --version, and finds the game's folder when it was started from another.
#pragma once

// When the command line asks for the help or the version, prints it on
// standard output and returns 0, the program's status; else -1.
int launch_answer_questions(int argc, char **argv);

// The game reads its data from the folder it runs in. Started from a
// folder without the data (a menu, a shell elsewhere), it moves to its own
// folder when the data is there (a copy unpacked in one folder), or to
// ../share/games/pinwheel beside it (an installed copy).
void launch_find_game_folder();
