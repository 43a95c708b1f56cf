// Bitmap fonts: characters cut from pictures (or from every frame of an
// FLI/FLC animation) as a font description lists them, drawn into bitmaps
// with the transparent copy.
//
// A font description is a string file:
//   [Font Properties]  Name, Version (1: a byte a character, 2: UTF-8),
//                      Width, Height (the cell), NumFiles, Palette
//   [File000001]       (File001 in version 1) Name, Type, NumLines,
//                      Line001.. the characters of each row of cells
//   [Character Properties]  MapSrc, MapDst: characters drawn with the
//                      glyph of another
// Image types: 1 a picture of the font's cells; 2 a picture whose section
// gives its own Width and Height; 3 ignored; 4 and 6 an animation whose
// window at (0, 0) is one cell wide and a cell high per line; 5 and 7 an
// animation whose window is X, Y, Width, Height, or the area drawn over all
// its frames when Width and Height are 0. We read 6 and 7 as 4 and 5.
//
// Proportional text advances by a glyph's visible width + 1. The visible
// part is trimmed left and right only, so that every glyph keeps its place
// on the line; a space is half a cell wide. A code the font lacks draws
// nothing and advances as a space does.
#pragma once

#include "xv_bit.h"

#include <cstdint>

struct XV_FONT_CONFIG {
    int report; // non-zero: every font error is reported, allocations named
};

// Options of xv_font_load.
enum {
    XV_FONT_LOAD_PALETTE = 1,      // load the pictures with their palettes
    XV_FONT_LOAD_PROPORTIONAL = 2, // trim the visible part of every glyph
    XV_FONT_LOAD_MORE_FRAMES = 4,  // a character met again gets another frame
};

// Flags of the drawing and measuring operations.
enum {
    XV_FONT_CENTRE = 2,       // text: centred across its rectangle
    XV_FONT_BYTES = 4,        // text: a byte a character, whatever the version
    XV_FONT_SCALED = 4,       // one character: scaled into its rectangle
    XV_FONT_PROPORTIONAL = 8, // advance by the visible width + 1
    XV_FONT_RIGHT = 16,       // text: against the rectangle's right side
    XV_FONT_MIDDLE = 32,      // text: centred down its rectangle
    XV_FONT_KEEP_ASPECT = 64, // one character, scaled: keeps its shape, centred
    XV_FONT_FIT = 256,        // one character: centred in its rectangle, unscaled
};

// Flags of xv_font_utf_8_to_unicode.
enum {
    XV_FONT_GROW = 1,  // the buffer may grow
    XV_FONT_UTF_8 = 2, // decode UTF-8 (else a byte a code)
};

enum { XV_FONT_FORMAT_SIZE = 256 }; // bytes of a formatted text, with its end

struct XV_FONT_FRAME {
    uint8_t new_palette; // the first frame cut from a picture with a palette of its own
    XV_BITMAP *image;    // the picture the cell is cut from, owned by the font
    int16_t x, y;        // the cell in the picture
    XV_RECT cell;        // the cell as cut, in the picture
    XV_RECT visible;     // its non-transparent part, from the cell's corner
};

struct XV_FONT_CHAR {
    uint16_t num_frames;
    XV_FONT_FRAME *frames;
};

struct XV_FONT_ENTRY {
    uint32_t code;
    uint8_t present;
    uint8_t alias; // drawn with another code's record, which it does not own
    XV_FONT_CHAR *character;
};

struct XV_FONT {
    int32_t version;
    uint16_t width, height; // the cell
    XV_FONT_ENTRY *table;   // by code point
    int32_t count, capacity;
    XV_PALETTE *palette;
    XV_BITMAP **images; // every picture the frames are cut from
    int32_t num_images;
    int32_t incomplete; // some characters could not be loaded
};

int xv_font_init(XV_FONT_CONFIG *config);
int xv_font_deinit();

int xv_font_load(XV_FONT *font, const char *file_name, int options);
void xv_font_free(XV_FONT *font);

// The 1-based place of the code in the table, 0 when the font lacks it.
int xv_font_find(const XV_FONT *font, uint32_t code);
int xv_font_char_frames(const XV_FONT *font, uint32_t code);
// Frame numbers count from 1; below 1 gives the first, above the count
// wraps around. Null when the font lacks the code.
XV_BITMAP *xv_font_get_frame(const XV_FONT *font, uint32_t code, int frame, XV_RECT *cell,
                             XV_RECT *visible);

// Draws one character at the rectangle's corner (or as the flags place it);
// returns the width it takes.
int xv_font_draw_char(XV_FONT *font, uint32_t code, int frame, XV_BITMAP *destination,
                      const XV_RECT *area, int flags);
int xv_font_text_size(XV_FONT *font, const char *text, XV_RECT *size, int flags);
// Formats the text (at most 255 bytes) and draws it in the rectangle, or
// along the top of the destination when it is null; returns the width drawn.
int xv_font_draw_text(XV_FONT *font, XV_BITMAP *destination, const XV_RECT *area, int flags,
                      const char *format, ...) __attribute__((format(printf, 5, 6)));

// Decodes text into *buffer, which holds *capacity codes, ended by a 0
// code; returns the number of codes before it. A buffer that may not grow
// cuts the text.
int xv_font_utf_8_to_unicode(uint32_t **buffer, int *capacity, const char *text, int flags);
