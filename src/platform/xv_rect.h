// The rectangle every screen area is passed as, between the display,
// bitmaps, fonts and menus.
#pragma once

#include <cstdint>

struct XV_RECT {
    int16_t x;
    int16_t y;
    int16_t width;
    int16_t height;
};
