// The picture decoders behind xv_bit_load. Each reads a whole file held in
// memory into a cleared bitmap, trusting no size or offset it has not
// checked against the bytes it was given. Internal to the bitmap module
// (and its fuzz targets).
#pragma once

#include "xv_bit.h"

#include <cstddef>
#include <cstdint>

enum class XV_DECODE {
    ok,
    incomplete,  // read as far as the data goes (the rest is filled in): shown, with a warning
    unsupported, // a kind of picture the game does not read
    damaged,     // not what the format allows
    no_memory,
};

XV_DECODE xv_bit_decode_pcx(XV_BITMAP *bitmap, const uint8_t *data, size_t size, int options);
XV_DECODE xv_bit_decode_tga(XV_BITMAP *bitmap, const uint8_t *data, size_t size, int options);
XV_DECODE xv_bit_decode_png(XV_BITMAP *bitmap, const uint8_t *data, size_t size, int options);
XV_DECODE xv_bit_decode_jpeg(XV_BITMAP *bitmap, const uint8_t *data, size_t size, int options);

// Allocates the bitmap for a decoder: the size must be one a bitmap can have.
// A decoder that writes every pixel need not have them cleared.
XV_DECODE xv_bit_decode_alloc(XV_BITMAP *bitmap, long width, long height, int type,
                              bool cleared = true);
