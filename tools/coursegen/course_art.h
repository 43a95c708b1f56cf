// The course's pictures, drawn by code: the surfaces' maps (each tiles
// seamlessly: grass with a mown pattern, sand, wood, stone, brick, water,
// the land's rough grass, the tee's rubber mat, a conveyor belt, roof
// tiles), and a hole's mini screen, a top view of the hole.
#pragma once

#include "hole.h"

#include <cstdint>
#include <string>
#include <vector>

enum { SURFACE_MAP_SIZE = 128, MINI_WIDTH = 160, MINI_HEIGHT = 120 };

// The map of that name (a file name of surface_looks), as RGB rows; empty
// for a name it does not draw.
std::vector<uint8_t> surface_map(const std::string &name);

// The top view of the hole, MINI_WIDTH × MINI_HEIGHT RGB rows: the tee at
// the bottom, the cup towards the top.
std::vector<uint8_t> mini_screen(const HoleSpec &hole);
