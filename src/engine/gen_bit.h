// The engine's bitmap helpers: loading with an alpha map, grey scale,
// fitting one bitmap into another, TGA saving and numbered snapshots.
#pragma once

#include "xv.h"

int gen_bit_load_file(XV_BITMAP *bitmap, const char *file);
// The picture, with the grey values of the alpha file as its alpha when given.
int gen_bit_load_with_alpha(XV_BITMAP *bitmap, const char *file, const char *alpha_file);
// Each pixel's alpha becomes the alpha map's value × factor.
int gen_bit_modify_alpha(XV_BITMAP *bitmap, const XV_BITMAP *alpha, float factor);
int gen_bit_resize(XV_BITMAP *bitmap, int width, int height);
int gen_bit_convert_to_grey_scale(XV_BITMAP *bitmap);
// Copies source into destination at (x, y), byte for byte.
int gen_bit_fit_into_bitmap(XV_BITMAP *destination, const XV_BITMAP *source, int x, int y);
// 24-bit bitmaps only; area null: all of it.
int gen_bit_tga_save(const XV_BITMAP *bitmap, const char *file, const XV_RECT *area);
// Saves to the first free "Snap%04d.tga".
int gen_bit_save_snapshot(const XV_BITMAP *bitmap);
