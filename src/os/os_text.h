// Text drawn into pictures, as the desktop's own text output would draw it:
// one line in the interface font, its top-left corner at the position given.
// The splash screen writes its line over its picture with it.
#pragma once

#include <cstdint>

// The interface fonts, tried in this order for every character: DejaVu for
// the Latin scripts, IPA Gothic for Japanese (Debian's fonts-dejavu-core and
// fonts-ipafont-gothic; on Windows the same files beside the game). The
// list ends with a null.
extern const char *const os_text_fonts[];

constexpr int OS_TEXT_PIXELS = 16; // the interface font's height

// Draws the UTF-8 line into a 24-bit RGB picture of the size given, clipped
// to it, blending the glyphs' edges in colour 0xRRGGBB. Returns 1 when a
// font was found, 0 when none could be opened (nothing is drawn).
int os_text_draw(uint8_t *rgb, int width, int height, int x, int y, const char *utf8,
                 uint32_t colour);
