// The course's pictures, drawn by code: the surfaces' maps (each tiles
// seamlessly: grass with a mown pattern, sand, wood, stone, brick, water,
// the land's rough grass, the tee's rubber mat, a conveyor belt, roof
// tiles), and a hole's mini screen, a top view of the hole.
#pragma once

#include "hole.h"

#include <cstdint>
#include <string>
#include <vector>

enum {
    SURFACE_MAP_SIZE = 128,
    MINI_WIDTH = 160,
    MINI_HEIGHT = 120,
    SKY_MAP_WIDTH = 512,
    SKY_MAP_HEIGHT = 128,
};

// The map of that name (a file name of surface_looks), as RGB rows; empty
// for a name it does not draw.
std::vector<uint8_t> surface_map(const std::string &name);

// The sky over the course, SKY_MAP_WIDTH × SKY_MAP_HEIGHT RGB rows: across,
// once round the horizon (it wraps); down, from straight overhead to the
// horizon. Blue deepening overhead, clouds thickening towards the horizon,
// and the sun where the course's light comes from (its heading round the
// horizon and its height, both in radians).
// The colours of a sky: blue overhead and pale at the horizon by day,
// deep blue and glowing orange in the evening.
struct SkyLook {
    uint8_t overhead[3], horizon[3], cloud[3], cloud_shade[3], sun[3];
};
std::vector<uint8_t> sky_map(float sun_heading, float sun_height, const SkyLook &look);

// The top view of the hole, MINI_WIDTH × MINI_HEIGHT RGB rows: the tee at
// the bottom, the cup towards the top.
std::vector<uint8_t> mini_screen(const HoleSpec &hole);

// Where a top view of the hole width × height pixels puts a point of the
// course: the hole's box, with a unit round it, fills the picture.
struct TopView {
    float x0, z0, scale;
    float x(float wx) const { return (wx - x0) * scale; }
    float y(float wz) const { return (wz - z0) * scale; }
};
TopView top_view_of(const HoleSpec &hole, int width, int height);
// The top view at any size, RGB rows.
std::vector<uint8_t> top_view(const HoleSpec &hole, int width, int height);
