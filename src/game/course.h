// The courses the game can play, and the one chosen. A course is a level
// list: a [course] section with its id, its name in the seven languages and
// its count of holes, then a section a hole ([level001] for the first) with
// the hole's name, par, mini screen, running water and the files the level
// loads. The first course is "data\levels.txt"; "data\courses.txt" names
// every course the game has, the first first:
//
//   [courses]
//   count=2
//   course1=data\levels.txt
//   course2=data\evening\levels.txt
//
// A game folder without that list has the first course alone, and a level
// list without a [course] section has as many holes as it has sections
// from [level001] on. The card of a course (names, pars, pictures) is read
// here once; the level's own files are read by the level as it loads.
#pragma once

#include <string>

enum {
    MAX_COURSES = 16,
    MAX_COURSE_HOLES = 18,
    COURSE_LANGUAGES = 7, // EN FR ES DE IT PT JP
    COURSE_ID_LENGTH = 31,
};

struct COURSE_HOLE {
    std::string names[COURSE_LANGUAGES]; // empty where the list gives none
    int par = 0;                         // 0 when the list gives none
    std::string mini_screen;             // a picture's file, or empty
    std::string stream;                  // the model part whose texture runs as water, or empty
};

// Makes the level list of a course that is not built yet (one from a
// folder of text) and names it; false when it cannot, having said why.
using COURSE_BUILDER = bool (*)(const char *id, std::string *level_list);

struct COURSE {
    std::string id;         // lowercase letters, digits and '-'
    std::string level_list; // the file, as the file layer names it
    std::string names[COURSE_LANGUAGES];
    int hole_count = 0; // 1 to MAX_COURSE_HOLES; 0 until a course to build is built
    COURSE_HOLE holes[MAX_COURSE_HOLES];
    COURSE_BUILDER build = nullptr; // set until it is built
};

// Reads the course list and every course's card, once; again after
// courses_forget. A course whose list is damaged is reported (naming its
// file) and left out; false when no course is left.
bool courses_load();
// Lets go of what was read, and of the courses added: the next use reads
// the files again (a test that writes other files, a host that changed the
// game folder).
void courses_forget();
// A course to build when it is first chosen (one from a folder of text),
// after the game's own: its card is its id and names until then. False,
// and said, when its id is not one or is taken, or the list is full.
bool course_add_to_build(const COURSE &card, COURSE_BUILDER build);

int course_count();
// The course at index 0 to course_count() - 1, or null.
const COURSE *course_at(int index);
// The course of that id becomes the one played, built first when it must
// be; false (and the choice kept) when there is none or it cannot be built.
bool course_choose(const char *id);
// The course played: the first one until another is chosen. With no course
// at all, an empty one of no holes whose level list is "data\levels.txt",
// so that a level's load reports what is missing in its own words.
const COURSE &course();
const char *course_level_list();
// The hole's card (hole from 1), or null past the course's end.
const COURSE_HOLE *course_hole(int hole);
// The name of the hole in the language of that code ("FR"), in English
// where it has none there.
std::string course_hole_name(int hole, const char *language);
// The course's name in that language, in English where it has none there,
// and its id where it has no name at all.
std::string course_name(const COURSE &course, const char *language);
// The index of a language code among the seven, or -1.
int course_language_index(const char *language);
