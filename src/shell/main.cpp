// The program's entry, handed straight to the game.
#include "mainpc.h"

int main(int argc, char **argv) {
    return pinwheel_main(argc, argv);
}
