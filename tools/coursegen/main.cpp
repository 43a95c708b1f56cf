// coursegen GAME_DIRECTORY COURSE_FOLDER [COURSE_FOLDER...]
// Makes the courses of the folders (each a course.txt and its holes' texts;
// the first folder's is the game's first course) into the game directory:
// models and their collision maps, maps, cameras, trails, scripts, mini
// screens, the level lists and the list of the courses, and the attract
// mode's film of the first course's first hole being played.
#include "art.h"
#include "course_film.h"
#include "coursegen.h"

#include "gen.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: coursegen GAME_DIRECTORY COURSE_FOLDER [COURSE_FOLDER...]\n");
        return 2;
    }
    std::vector<std::string> folders;
    for (int i = 2; i < argc; ++i) {
        folders.push_back(std::filesystem::absolute(argv[i]).string());
    }
    std::vector<Course> courses;
    std::string error;
    if (!coursegen_read_all(folders, &courses, &error) ||
        !coursegen_write(courses, argv[1], &error)) {
        std::fprintf(stderr, "coursegen: %s\n", error.c_str());
        return 1;
    }
    ToolPlatform platform(argv[1]);
    gen_wo2_set_load_maps(0); // the maps need the shapes alone, and there is no OpenGL here
    gen_info_init();
    gen_tex_init();
    gen_wo2_init();
    // The attract mode films the first hole.
    const bool built = coursegen_build_maps(courses, &error) &&
                       coursegen_film(courses.front().holes.front(), ".", &error);
    gen_wo2_deinit();
    gen_tex_deinit();
    gen_info_deinit();
    if (!built) {
        std::fprintf(stderr, "coursegen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
