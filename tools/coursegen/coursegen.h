// The course builder: every hole of assets/course (hole1.txt to hole9.txt)
// made into what the game reads, in the game directory: the hole's model
// and collision map (gfx\wo2\course\holeN.wo2 and .col), its camera file,
// fly-by trail and script file (data\holeNcam.txt, holeNfly.txt,
// holeNscr.txt), its mini screen (gfx\miniN.png), and the level list
// (data\levels.txt); and what every hole shares: the surfaces' maps, the
// moving objects, the five balls and the pinwheel.
#pragma once

#include "hole.h"

#include <string>
#include <vector>

constexpr int COURSE_HOLES = 9;

// Reads holeN.txt for N = 1 to 9 from the directory.
bool coursegen_read(const std::string &directory, std::vector<HoleSpec> *holes, std::string *error);

// Writes the shared models and maps, then each hole and the level list,
// under the game directory (which need not be the current one).
bool coursegen_write(const std::vector<HoleSpec> &holes, const std::string &game_directory,
                     std::string *error);

// Builds and saves each hole's collision map (and the moving objects').
// The engine's model system must be running with the file layer in the
// game directory: the maps are made from the models as the game loads them.
bool coursegen_build_maps(const std::vector<HoleSpec> &holes, std::string *error);

// The level list's names for hole n (1-based).
std::string course_model_file(int hole);
std::string course_music_file(const HoleSpec &hole);
