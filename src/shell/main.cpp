// The program's entry: questions about the program answered, the game's
// folder found, and the rest handed to the game.
#include "launch.h"
#include "mainpc.h"

int main(int argc, char **argv) {
    if (int status = launch_answer_questions(argc, argv); status >= 0) {
        return status;
    }
    launch_find_game_folder();
    return pinwheel_main(argc, argv);
}
