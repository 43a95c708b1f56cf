// Bitmaps: pictures in memory in one simple record, loaded from PCX, TGA,
// PNG and JPEG files, saved as PCX or TGA, copied into one another (plain,
// transparent, scaled), filled, resized and converted between depths.
//
// Pixels: rows from the top down without padding. 4-bit bitmaps pack two
// pixels a byte, the first in the high half, continuing across rows. 8-bit
// pixels index the palette. 15- and 16-bit pixels are words in the display's
// format (xv_dsp_pixel_format). 24- and 32-bit pixels are the bytes red,
// green, blue (and alpha).
//
// Transparency: a transparent copy skips the source's transparent pixels:
// index 0 in 8-bit bitmaps; in 15-, 16-, 24- and 32-bit ones the colour
// magenta (red 255, green 0, blue 255; a 32-bit pixel's alpha plays no part
// in this test).
//
// Blending: the transparency level (0..100, xv_bit_set_transparency) is how
// much of the destination shows through what the fill and the transparent
// copy draw: each channel becomes (new × (100 - level) + old × level) / 100.
// At 0, the default, nothing blends. Copy flag XV_BIT_COPY_ALPHA blends a
// 32-bit source by its own alpha instead: new × alpha / 255 + old × (255 -
// alpha) / 255, the destination's alpha left as it was. Palette bitmaps
// never blend.
#pragma once

#include "xv_pal.h"
#include "xv_rect.h"

#include <cstdint>

enum {
    XV_BIT_BPP4 = 4,
    XV_BIT_BPP8 = 8,
    XV_BIT_BPP15 = 15,
    XV_BIT_BPP16 = 16,
    XV_BIT_BPP24 = 24,
    XV_BIT_BPP32 = 32,
};

enum {
    XV_BIT_TRANSPARENT = 4, // flags: the bitmap holds transparent pixels
};

// Options of xv_bit_load.
enum {
    XV_BIT_WITH_PALETTE = 1,
};

// Flags of the copies.
enum {
    XV_BIT_COPY_CENTRE = 1,     // centre the source in the destination rectangle
    XV_BIT_COPY_SCALE = 2,      // scale the source to the destination rectangle
    XV_BIT_COPY_DOUBLE = 8,     // every source pixel as 2×2
    XV_BIT_COPY_ALPHA = 16,     // blend a 32-bit source by its alpha
    XV_BIT_COPY_SOFTWARE = 128, // never through the 3D interface
};

// Conversion target: the depth in bits 0..5, a variant in bit 6.
enum {
    XV_BIT_CONVERT_VARIANT = 64,
};

struct XV_BITMAP {
    int16_t x, y;
    int16_t width, height;
    uint16_t type; // bits per pixel
    uint16_t flags;
    int32_t transparent; // index of the transparent colour
    uint32_t texture;    // the 3D interface's handle, 0 for none
    XV_RECT drawn[2];    // the drawn area of a trimmed font character
    XV_PALETTE *palette; // null for true colour
    uint8_t *pixels;
};

// Bytes a row of pixels would take, and the whole buffer.
long xv_bit_buffer_size(int type, int width, int height);

int xv_bit_alloc(XV_BITMAP *bitmap, const XV_RECT *area, int options);
void xv_bit_free(XV_BITMAP *bitmap);

// The format is chosen by the name's extension: .PCX/.PCC, .PNG, .TGA,
// .JPG/.JPE/.JPEG, tested in that order anywhere in the name.
int xv_bit_load(XV_BITMAP *bitmap, const char *file_name, int options);
int xv_bit_load_at(const char *file, int line, XV_BITMAP *bitmap, const char *file_name,
                   int options);
// 4 and 8 bits as PCX, 15, 16, 24 and 32 bits as TGA; area null: all.
int xv_bit_save(XV_BITMAP *bitmap, const char *file_name, const XV_RECT *area, int options);

int xv_bit_copy(XV_BITMAP *destination, XV_BITMAP *source, const XV_RECT *to, const XV_RECT *from,
                int flags);
int xv_bit_copy_transp(XV_BITMAP *destination, XV_BITMAP *source, const XV_RECT *to,
                       const XV_RECT *from, int flags);
int xv_bit_copy_at(const char *file, int line, XV_BITMAP *destination, XV_BITMAP *source,
                   const XV_RECT *to, const XV_RECT *from, int flags);
int xv_bit_copy_transp_at(const char *file, int line, XV_BITMAP *destination, XV_BITMAP *source,
                          const XV_RECT *to, const XV_RECT *from, int flags);

// colour: an index for palette bitmaps, a pixel word for 15 and 16 bits,
// 0xRRGGBB for 24 and 0xAARRGGBB for 32.
void xv_bit_fill(XV_BITMAP *bitmap, const XV_RECT *area, uint32_t colour);
int xv_bit_resize(XV_BITMAP *bitmap, const XV_RECT *size, const XV_RECT *from);
int xv_bit_convert(XV_BITMAP *bitmap, int target);
int xv_bit_convert_at(const char *file, int line, XV_BITMAP *bitmap, int target);

// Whether the pixel at (x, y) is the transparent colour; a place outside
// the bitmap counts as transparent.
int xv_bit_is_transparent_at(const XV_BITMAP *bitmap, int x, int y);

void xv_bit_set_transparency(int level);
int xv_bit_get_transparency();
