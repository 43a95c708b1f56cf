// The attract mode's film of a hole being played: the hole seen from above
// while a stroke, found and played out with the game's own physics on the
// hole's model, rolls from the tee into the cup; written as an FLC,
// gfx/playN.flc, 320x240, a level step a frame.
#pragma once

#include "hole.h"

#include <string>

// The hole's model must be in the game directory (the current one) already.
bool coursegen_film(const HoleSpec &hole, const std::string &game_directory, std::string *error);
