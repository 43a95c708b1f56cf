// Textures: made from bitmap files with an optional grey alpha map, shared
// by lower-cased file name with a use count, uploaded with their mipmaps,
// and released when their last user lets go. A texture is known by its
// number, its record's place in the table.
#pragma once

#include "xv.h"

#include <cstdint>

struct GEN_TEX_PALETTE {
    uint32_t references;
    uint32_t colours; // 256
    uint32_t bytes;   // per colour: 4
    uint8_t *data;    // red, green, blue, alpha
};

struct GEN_TEXTURE {
    uint8_t in_use; // bit 0 while the number is taken
    uint32_t gl_name;
    char *name; // lower-cased file name, or null
    GEN_TEX_PALETTE *palette;
    int32_t height, width; // of level 0
    uint8_t bits_per_pixel;
    void *extra; // released with the texture
    uint32_t use_count;
};

// Further levels given by hand to gen_tex_modify.
struct GEN_TEX_MIPMAPS {
    uint32_t flags;      // GEN_TEX_GENERATE_MIPMAPS: build them instead
    int32_t num_mipmaps; // 0..3
    XV_BITMAP *levels[3];
};
enum { GEN_TEX_GENERATE_MIPMAPS = 1 };

void gen_tex_init();
void gen_tex_deinit();
int gen_tex_create();
int gen_tex_load(const char *name, const char *file, const char *alpha_file);
int gen_tex_find(const char *name);
int gen_tex_get(int number, GEN_TEXTURE *texture);
int gen_tex_set(int number, const GEN_TEXTURE *texture);
void gen_tex_bind(const char *source, int line, uint32_t target, int number);
void gen_tex_free(int number);
int gen_tex_modify(int number, XV_BITMAP *bitmap, const GEN_TEX_MIPMAPS *mipmaps);
int gen_tex_load_mipmap(int number, int level, const char *file, const char *alpha_file);
int gen_tex_image(int width, int height, int bits_per_pixel, int level, const uint8_t *pixels,
                  int flags);
int gen_tex_modify_palette(int number, const XV_PALETTE *palette);
void gen_tex_free_palette(int number);
int gen_tex_get_image(int number, int level, XV_BITMAP *bitmap);
void gen_tex_memory_change(int number, int add);
long gen_tex_get_memory();
void gen_tex_list();
// Forgets what is bound, so that the next bind is made whatever it is.
void gen_tex_reset_bind_cache();

#define GEN_TEX_BIND(target, number) gen_tex_bind(__FILE__, __LINE__, (target), (number))
