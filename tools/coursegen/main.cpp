// coursegen COURSE_DIRECTORY GAME_DIRECTORY
// Makes the course of COURSE_DIRECTORY (hole1.txt to hole9.txt) into the
// game directory: models and their collision maps, maps, cameras, trails,
// scripts, mini screens, the level list, and the attract mode's film of the
// first hole being played.
#include "art.h"
#include "course_film.h"
#include "coursegen.h"

#include "gen.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: coursegen COURSE_DIRECTORY GAME_DIRECTORY\n");
        return 2;
    }
    const std::string course = std::filesystem::absolute(argv[1]).string();
    std::vector<HoleSpec> holes;
    std::string error;
    if (!coursegen_read(course, &holes, &error) || !coursegen_write(holes, argv[2], &error)) {
        std::fprintf(stderr, "coursegen: %s\n", error.c_str());
        return 1;
    }
    ToolPlatform platform(argv[2]);
    gen_wo2_set_load_maps(0); // the maps need the shapes alone, and there is no OpenGL here
    gen_info_init();
    gen_tex_init();
    gen_wo2_init();
    // The attract mode films the first hole.
    const bool built =
        coursegen_build_maps(holes, &error) && coursegen_film(holes.front(), ".", &error);
    gen_wo2_deinit();
    gen_tex_deinit();
    gen_info_deinit();
    if (!built) {
        std::fprintf(stderr, "coursegen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
