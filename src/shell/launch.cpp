#include "launch.h"

#include "os_file.h"

#include <cstdio>
#include <cstring>
#include <string>

#ifndef PINWHEEL_VERSION
#define PINWHEEL_VERSION "unknown"
#endif

namespace {

const char kUsage[] =
    "Usage: pinwheel [OPTION]...\n"
    "Pinwheel Golf, a mini-golf game.\n"
    "\n"
    "  --course ID|DIR      play the course of that id (\"meadow\", \"evening\") or of\n"
    "                       that folder of text (a course.txt and its holes)\n"
    "  --hole N             play hole N of the course at once\n"
    "  --play N             play the whole course for N players (1 to 4)\n"
    "  --bot-course LEVEL   the computer (easy, medium or hard) plays the course\n"
    "                       with no window and prints its strokes\n"
    "  --rounds N           with --bot-course: N rounds, with their mean and spread\n"
    "  --view MODEL         show one of the game's models\n"
    "  --help               print this help and stop\n"
    "  --version            print the version and stop\n"
    "\n"
    "The settings and best scores are kept in pinwheel.ini in the user's settings\n"
    "folder ("
#if defined(_WIN32)
    "%APPDATA%\\pinwheel"
#else
    "$XDG_CONFIG_HOME/pinwheel, or ~/.config/pinwheel"
#endif
    "), or beside the game when\n"
    "it is there already and the game's folder may be written.\n";

bool asked(int argc, char **argv, const char *option) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], option) == 0) {
            return true;
        }
    }
    return false;
}

bool holds_game_data(const std::string &folder) {
    return os_file_exists(os_file_find_path((folder + "RESOURCE.DAT").c_str()).c_str()) ||
           os_file_exists(os_file_find_path((folder + "data").c_str()).c_str());
}

} // namespace

int launch_answer_questions(int argc, char **argv) {
    if (asked(argc, argv, "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (asked(argc, argv, "--version")) {
        std::printf("Pinwheel Golf %s\n", PINWHEEL_VERSION);
        return 0;
    }
    return -1;
}

void launch_find_game_folder() {
    if (holds_game_data("")) {
        return;
    }
    const std::string program = os_program_directory();
    if (program.empty()) {
        return;
    }
    for (const std::string &folder :
         {program, os_file_native_path((program + "../share/games/pinwheel/").c_str())}) {
        if (holds_game_data(folder)) {
            os_change_directory(folder.c_str());
            return;
        }
    }
}
