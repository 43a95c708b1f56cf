// The course builder: every course of the game (a folder of assets/courses
// holding course.txt and its holes' texts) made into what the game reads,
// in the game directory: each hole's model and collision map, its camera
// file, fly-by trail and script file, its mini screen, and the course's
// level list; the list of the courses; and what every course shares: the
// balls, the pinwheel and the shadow.
//
// The first course keeps the game's first places (data\levels.txt,
// data\holeNcam.txt, gfx\miniN.png, gfx\wo2\course\holeN.wo2); every other
// course, of id X, has the same files in folders of its own (data\X\,
// gfx\X\, gfx\wo2\X\), its maps beside its models since the engine looks
// for a model's maps there.
#pragma once

#include "course_model.h"
#include "hole.h"

#include <string>
#include <vector>

struct Course {
    std::string folder; // where its texts lie
    CourseText text;    // id, names, light, hole files
    std::vector<HoleSpec> holes;
    bool first = false; // the game's own places
    const CourseLight *light = nullptr;
};

// Reads course.txt and every hole it names from the folder. A fault is
// told as FILE:LINE: what is wrong.
bool coursegen_read(const std::string &folder, Course *course, std::string *error);
// Reads the courses of the folders in order, the first the game's first;
// two with one id are refused.
bool coursegen_read_all(const std::vector<std::string> &folders, std::vector<Course> *courses,
                        std::string *error);

// Writes what the courses share, each course's holes and level list, and
// the list of the courses, under the game directory (which need not be the
// current one).
bool coursegen_write(const std::vector<Course> &courses, const std::string &game_directory,
                     std::string *error);

// One course written under a folder of its own with what it needs of the
// shared files, and no list of the courses: a player's course, which the
// game reads after its own folder's files.
bool coursegen_write_alone(const Course &course, const std::string &folder, std::string *error);

// Builds and saves each hole's collision map (and the moving objects').
// The engine's model system must be running with the file layer finding the
// models by their game names: the maps are made from the models as the game
// loads them. They are saved beside the models' names, under map_root (a
// folder of this system ending with a separator) when one is given.
bool coursegen_build_maps(const std::vector<Course> &courses, std::string *error,
                          const std::string &map_root = "");

// The game's names of a course's files: its level list, and hole n's model
// (1-based).
std::string course_levels_file(const Course &course);
std::string course_model_file(const Course &course, int hole);
std::string course_music_file(const HoleSpec &hole);
