// The program's resources, built into the executable: the archive's name
// (string 101) and the window's menu in seven languages.
#pragma once

#include <cstdint>

// Menu commands the application answers itself; the display's and the
// sound's are theirs (xv_dsp.h, xv_snd.h).
enum : uint32_t {
    APP_BACK_TO_GAME = 40004,
    APP_EXIT = 40005,
    APP_NEW_GAME = 40006,
    APP_HELP_TOPICS = 41001,
    APP_ABOUT = 41002,
};

// Hands the table to the os layer; the first thing the program does.
void resources_install();
