#include "gen_tex.h"

#include "gen_bit.h"
#include "gen_info.h"
#include "gen_wrap.h"

#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>

namespace {

constexpr int kTableGrowth = 100;

struct TextureTable {
    bool inited = false;
    GEN_TEXTURE *textures = nullptr;
    int count = 0;
    long memory = 0; // bytes the textures take, by their level 0
    int bound_target = -1;
    int bound_name = -1;
    float anisotropy = -1; // what the card offers, up to kMostAnisotropy; -1 not yet asked
};
TextureTable table;

// Lanes seen at a low angle stay sharp where the card filters along them;
// a little is enough. Not on a software renderer: Mesa's llvmpipe draws the
// aiming view about four times slower with it.
constexpr float kMostAnisotropy = 4.0f;

bool software_renderer() {
    const auto *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    return renderer && (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") ||
                        std::strstr(renderer, "Software Rasterizer"));
}

float anisotropy_offered() {
    if (table.anisotropy < 0) {
        table.anisotropy = 0;
        const auto *extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
        if (extensions && std::strstr(extensions, "GL_EXT_texture_filter_anisotropic") &&
            !software_renderer()) {
            GLfloat most = 0;
            glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
            table.anisotropy = std::min(most, kMostAnisotropy);
        }
    }
    return table.anisotropy;
}

// The bound texture's mipmaps blended.
void filter_finely() {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
}

bool gl_ready(const char *operation) {
    if (!gen_gl_is_inited()) {
        gen_error("%s: open gl is not inited", operation);
        return false;
    }
    return true;
}

// The texture a number names, or null after a report naming the operation.
GEN_TEXTURE *texture_of(const char *operation, int number) {
    if (number < 0 || number >= table.count) {
        gen_error("%s: texture number out of range -> %i", operation, number);
        return nullptr;
    }
    if (!(table.textures[number].in_use & 1)) {
        gen_error("%s: texture number not in use -> %i", operation, number);
        return nullptr;
    }
    return &table.textures[number];
}

void release_palette(GEN_TEXTURE *texture) {
    GEN_TEX_PALETTE *palette = texture->palette;
    texture->palette = nullptr;
    if (!palette) {
        return;
    }
    if (palette->references >= 2) {
        palette->references--;
        return;
    }
    xv_mem_release(palette->data);
    xv_mem_free(palette);
}

bool power_of_two(int value) {
    return value >= 2 && value <= 32768 && (value & (value - 1)) == 0;
}

long level_bytes(const GEN_TEXTURE &texture) {
    return static_cast<long>(texture.bits_per_pixel * 0.125 * texture.width * texture.height);
}

} // namespace

void gen_tex_init() {
    if (table.inited) {
        gen_error("gen_tex_init: texture system already inited");
        return;
    }
    table = TextureTable{};
    table.inited = true;
}

void gen_tex_deinit() {
    for (int i = 0; i < table.count; ++i) {
        if (table.textures[i].in_use & 1) {
            table.textures[i].use_count = 1;
            gen_tex_free(i);
        }
    }
    xv_mem_release(table.textures);
    table = TextureTable{};
}

namespace {

// A new texture's number, or -1 after a report.
int create_texture() {
    if (!table.inited) {
        gen_error("gen_tex_create: texture system is not inited");
        return -1;
    }
    if (!gl_ready("gen_tex_create")) {
        return -1;
    }
    int number = 0;
    while (number < table.count && (table.textures[number].in_use & 1)) {
        ++number;
    }
    if (number == table.count) {
        auto *grown = static_cast<GEN_TEXTURE *>(
            xv_mem_realloc(table.textures, sizeof(GEN_TEXTURE) * (table.count + kTableGrowth)));
        if (!grown) {
            gen_error("gen_tex_create: not enough memory for the texture table");
            return -1;
        }
        memset(grown + table.count, 0, sizeof(GEN_TEXTURE) * kTableGrowth);
        xv_mem_set_name(grown, "gen_textures");
        table.textures = grown;
        table.count += kTableGrowth;
    }
    GEN_TEXTURE &texture = table.textures[number];
    texture = GEN_TEXTURE{};
    texture.in_use = 1;
    texture.use_count = 1;
    glGenTextures(1, &texture.gl_name);
    return number;
}

} // namespace

int gen_tex_create() {
    return std::max(create_texture(), 0);
}

int gen_tex_load(const char *name, const char *file, const char *alpha_file) {
    int number = create_texture();
    if (number < 0) {
        return 0;
    }
    // A model's texture is also filtered along a slanting view (a picture
    // drawn flat on the screen is not: one of its texels is one pixel).
    if (gen_tex_load_mipmap(number, 0, file, alpha_file)) {
        if (const float anisotropy = anisotropy_offered(); anisotropy > 1) {
            GEN_TEX_BIND(GL_TEXTURE_2D, number);
            glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropy);
        }
    }
    if (name && *name) {
        size_t length = strlen(name);
        char *lower = static_cast<char *>(xv_mem_malloc(length + 1));
        if (lower) {
            for (size_t i = 0; i <= length; ++i) {
                lower[i] = static_cast<char>(tolower(static_cast<unsigned char>(name[i])));
            }
            xv_mem_set_name(lower, "texture name");
            table.textures[number].name = lower;
        }
    }
    return number;
}

int gen_tex_find(const char *name) {
    for (int i = 0; name && i < table.count; ++i) {
        const GEN_TEXTURE &texture = table.textures[i];
        if ((texture.in_use & 1) && texture.name && strcasecmp(texture.name, name) == 0) {
            return i;
        }
    }
    return -1;
}

int gen_tex_get(int number, GEN_TEXTURE *texture) {
    const GEN_TEXTURE *found = texture_of("gen_tex_get", number);
    if (!found) {
        return 0;
    }
    *texture = *found;
    return 1;
}

int gen_tex_set(int number, const GEN_TEXTURE *texture) {
    GEN_TEXTURE *found = texture_of("gen_tex_set", number);
    if (!found) {
        return 0;
    }
    *found = *texture;
    return 1;
}

void gen_tex_bind(const char *source, int line, uint32_t target, int number) {
    if (!gl_ready("gen_tex_bind")) {
        return;
    }
    if (number < 0 || number >= table.count) {
        gen_error("gen_tex_bind (%s  %i): texture number out of range -> %i", source, line, number);
        return;
    }
    const GEN_TEXTURE &texture = table.textures[number];
    if (!(texture.in_use & 1)) {
        gen_error("gen_tex_bind (%s  %i): texture number not in use -> %i", source, line, number);
        return;
    }
    if (table.bound_target == static_cast<int>(target) &&
        table.bound_name == static_cast<int>(texture.gl_name)) {
        return;
    }
    glBindTexture(target, texture.gl_name);
    table.bound_target = static_cast<int>(target);
    table.bound_name = static_cast<int>(texture.gl_name);
}

void gen_tex_reset_bind_cache() {
    table.bound_target = -1;
    table.bound_name = -1;
}

void gen_tex_free(int number) {
    if (!gl_ready("gen_tex_free")) {
        return;
    }
    GEN_TEXTURE *texture = texture_of("gen_tex_free", number);
    if (!texture || --texture->use_count > 0) {
        return;
    }
    table.memory -= level_bytes(*texture);
    if (table.bound_name == static_cast<int>(texture->gl_name)) {
        gen_tex_reset_bind_cache();
    }
    glDeleteTextures(1, &texture->gl_name);
    release_palette(texture);
    xv_mem_release(texture->extra);
    xv_mem_release(texture->name);
    *texture = GEN_TEXTURE{};
}

int gen_tex_image(int width, int height, int bits_per_pixel, int level, const uint8_t *pixels,
                  int flags) {
    if ((flags & GEN_TEX_GENERATE_MIPMAPS) && level != 0) {
        gen_error("gen_tex_image: the generate mipmaps property is only valid for mipmap 0");
        return 0;
    }
    GLint components;
    GLenum format;
    switch (bits_per_pixel) {
    case 24:
        components = 3, format = GL_RGB;
        break;
    case 32:
        components = 4, format = GL_RGBA;
        break;
    case 8:
        gen_error("gen_tex_image: 8 bits textures only supported on the PS2 version");
        return 0;
    case 15:
    case 16:
        gen_error("gen_tex_image: 15/16 bits textures not supported yet");
        return 0;
    default:
        gen_error("gen_tex_image: %i bits textures not supported", bits_per_pixel);
        return 0;
    }
    // Bitmap rows are packed: a 24-bit row need not end on four bytes.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (!(flags & GEN_TEX_GENERATE_MIPMAPS)) {
        glTexImage2D(GL_TEXTURE_2D, level, components, width, height, 0, format, GL_UNSIGNED_BYTE,
                     pixels);
        return 1;
    }
    GLint result = gluBuild2DMipmaps(GL_TEXTURE_2D, components, width, height, format,
                                     GL_UNSIGNED_BYTE, pixels);
    if (result != 0) {
        gen_error("gen_tex_image: error while trying to create the mipmaps -> %i:%s", result,
                  reinterpret_cast<const char *>(gluErrorString(static_cast<GLenum>(result))));
        return 0;
    }
    return 1;
}

int gen_tex_modify(int number, XV_BITMAP *bitmap, const GEN_TEX_MIPMAPS *mipmaps) {
    if (!gl_ready("gen_tex_modify")) {
        return 0;
    }
    GEN_TEXTURE *texture = texture_of("gen_tex_modify", number);
    if (!texture || !bitmap || !bitmap->pixels) {
        return 0;
    }
    release_palette(texture);
    if (bitmap->palette) {
        gen_tex_modify_palette(number, bitmap->palette);
    }
    table.memory -= level_bytes(*texture);
    texture->width = bitmap->width;
    texture->height = bitmap->height;
    texture->bits_per_pixel = static_cast<uint8_t>(bitmap->type);
    table.memory += level_bytes(*texture);
    GEN_TEX_BIND(GL_TEXTURE_2D, number);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    if (!mipmaps || (mipmaps->flags & GEN_TEX_GENERATE_MIPMAPS)) {
        int uploaded = gen_tex_image(bitmap->width, bitmap->height, bitmap->type, 0, bitmap->pixels,
                                     GEN_TEX_GENERATE_MIPMAPS);
        filter_finely();
        return uploaded;
    }
    if (mipmaps->num_mipmaps < 0 || mipmaps->num_mipmaps > 3) {
        gen_error("gen_tex_modify: wrong num_mipmaps parameter -> %i\n", mipmaps->num_mipmaps);
        return 0;
    }
    gen_tex_image(bitmap->width, bitmap->height, bitmap->type, 0, bitmap->pixels, 0);
    for (int level = 1; level <= mipmaps->num_mipmaps; ++level) {
        const XV_BITMAP *mipmap = mipmaps->levels[level - 1];
        gen_tex_image(mipmap->width, mipmap->height, mipmap->type, level, mipmap->pixels, 0);
    }
    if (mipmaps->num_mipmaps > 0) {
        filter_finely();
    }
    return 1;
}

int gen_tex_load_mipmap(int number, int level, const char *file, const char *alpha_file) {
    gen_history("gen_tex_load_mipmap.... file %s alpha %s \n", file ? file : "",
                alpha_file ? alpha_file : "");
    XV_BITMAP bitmap{};
    if (!gen_bit_load_with_alpha(&bitmap, file, alpha_file)) {
        return 0;
    }
    if (!power_of_two(bitmap.width) || !power_of_two(bitmap.height)) {
        gen_error("gen_tex_load_mipmap: bitmap file %s has a non power of 2 width (%i) or height "
                  "(%i)",
                  file, bitmap.width, bitmap.height);
    }
    if (bitmap.type != 32) {
        xv_bit_convert(&bitmap, 32);
    }
    int loaded = 0;
    if (level == 0) {
        loaded = gen_tex_modify(number, &bitmap, nullptr);
    } else if (GEN_TEXTURE *texture = texture_of("gen_tex_load_mipmap", number)) {
        if (bitmap.type != texture->bits_per_pixel) {
            gen_error("gen_tex_load_mipmap: the mipmap has different bits per pixel (%i) than the "
                      "base texture (%i)",
                      bitmap.type, texture->bits_per_pixel);
        } else {
            GEN_TEX_BIND(GL_TEXTURE_2D, number);
            loaded =
                gen_tex_image(bitmap.width, bitmap.height, bitmap.type, level, bitmap.pixels, 0);
            filter_finely();
        }
    }
    xv_bit_free(&bitmap);
    return loaded;
}

int gen_tex_modify_palette(int number, const XV_PALETTE *palette) {
    GEN_TEXTURE *texture = texture_of("gen_tex_modify_palette", number);
    if (!texture || !palette) {
        return 0;
    }
    if (palette->type != XV_PALETTE_RGB && palette->type != XV_PALETTE_RGBA) {
        gen_error("gen_tex_modify_palette: wrong palette type -> %i", palette->type);
        return 0;
    }
    GEN_TEX_PALETTE *own = texture->palette;
    if (!own || own->colours != 256 || own->bytes != 4) {
        release_palette(texture);
        own = static_cast<GEN_TEX_PALETTE *>(xv_mem_calloc(1, sizeof(GEN_TEX_PALETTE)));
        uint8_t *data = static_cast<uint8_t *>(xv_mem_calloc(256, 4));
        if (!own || !data) {
            xv_mem_release(own);
            xv_mem_release(data);
            gen_error("gen_tex_modify_palette: not enough memory");
            return 0;
        }
        xv_mem_set_name(own, "texture palette structure");
        xv_mem_set_name(data, "texture palette");
        own->colours = 256;
        own->bytes = 4;
        own->data = data;
        texture->palette = own;
    }
    for (int i = 0; i < 256; ++i) {
        xv_pal_colour(palette, i, own->data + i * 4);
        own->data[i * 4 + 3] = 255;
    }
    own->references = 1;
    return 1;
}

void gen_tex_free_palette(int number) {
    if (GEN_TEXTURE *texture = texture_of("gen_tex_free_palette", number)) {
        release_palette(texture);
    }
}

int gen_tex_get_image(int number, int level, XV_BITMAP *bitmap) {
    if (!gl_ready("gen_tex_get_image") || !texture_of("gen_tex_get_image", number)) {
        return 0;
    }
    GEN_TEX_BIND(GL_TEXTURE_2D, number);
    while (glGetError() != GL_NO_ERROR) {
    }
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    if (glGetError() != GL_NO_ERROR) {
        gen_error("gen_tex_get_image: cant get texture %i mipmap %i\n", number, level);
        return 0;
    }
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
    if (width < 1 || height < 1) {
        gen_error("gen_tex_get_image: texture %i mipmap %i is too small\n", number, level);
        return 0;
    }
    XV_RECT size = {0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height)};
    if (!xv_bit_alloc(bitmap, &size, XV_BIT_BPP24)) {
        return 0;
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, bitmap->pixels);
    return 1;
}

void gen_tex_memory_change(int number, int add) {
    if (GEN_TEXTURE *texture = texture_of("gen_tex_memory_change", number)) {
        table.memory += add ? level_bytes(*texture) : -level_bytes(*texture);
    }
}

long gen_tex_get_memory() {
    return table.memory;
}

void gen_tex_list() {
    gen_history("LIST OF TEXTURES:\n");
    for (int i = 0; i < table.count; ++i) {
        const GEN_TEXTURE &texture = table.textures[i];
        if (texture.in_use & 1) {
            gen_history("texture %i (%s) used %i times\n", i, texture.name ? texture.name : "",
                        texture.use_count);
        }
    }
}
