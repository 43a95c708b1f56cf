#include "gen_mgr2.h"

#include "gen_info.h"
#include "gen_tex.h"
#include "gen_wrap.h"
#include "os_leak_check.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kBufferBytes = 768000;
constexpr int kHalf = 24000;          // floats: each frame draws from the other half
constexpr int kFloatsPerQuad = 6 * 4; // two triangles of four-float vertices
constexpr float kStartDepth = -0.001f;

struct Quad {
    float texture[4];
    float screen[4];
    float depth;
};

struct BitmapList {
    bool inited = false;
    Quad *quads = nullptr;
    int count = 0, capacity = 0;
    float *vertices = nullptr;
    float *colours = nullptr;
    float *coordinates = nullptr;
    int pending = -1; // the texture of the queued quads
    float depth = kStartDepth;
    bool first_flush = true;
    int half = 0;
};
BitmapList list;
int draw_mask = GEN_DRAW_SKELETAL | GEN_DRAW_STATIC | GEN_DRAW_BITMAPS;

float *buffer(const char *name) {
    auto *floats = static_cast<float *>(xv_mem_calloc(1, kBufferBytes));
    xv_mem_set_name(floats, name);
    return floats;
}

// Two triangles of the quad, from the given place in the half being filled.
void write_quad(const Quad &quad, float *vertex, float *coordinate) {
    float left = quad.screen[0], top = quad.screen[1];
    float right = left + quad.screen[2], bottom = top - quad.screen[3];
    float u0 = quad.texture[0], v0 = quad.texture[1];
    float u1 = u0 + quad.texture[2], v1 = v0 + quad.texture[3];
    const float corners[6][4] = {{left, top, u0, v0},     {left, bottom, u0, v1},
                                 {right, bottom, u1, v1}, {left, top, u0, v0},
                                 {right, bottom, u1, v1}, {right, top, u1, v0}};
    for (const auto &corner : corners) {
        *vertex++ = corner[0], *vertex++ = corner[1], *vertex++ = quad.depth, *vertex++ = 1.0f;
        *coordinate++ = corner[2], *coordinate++ = corner[3], *coordinate++ = 0.0f,
        *coordinate++ = 1.0f;
    }
}

void draw_pending() {
    const GEN_GL_EXTENSIONS *gl = gen_gl_extensions();
    float *vertices = list.vertices + list.half * kHalf;
    float *coordinates = list.coordinates + list.half * kHalf;
    GEN_TEX_BIND(GL_TEXTURE_2D, list.pending);
    const int per_batch = kHalf / kFloatsPerQuad;
    for (int first = 0; first < list.count; first += per_batch) {
        int quads = std::min(per_batch, list.count - first);
        for (int i = 0; i < quads; ++i) {
            write_quad(list.quads[first + i], vertices + i * kFloatsPerQuad,
                       coordinates + i * kFloatsPerQuad);
        }
        gl->vertex_pointer(4, GL_FLOAT, 0, quads * 6, vertices);
        gl->tex_coord_pointer(4, GL_FLOAT, 0, quads * 6, coordinates);
        gl->draw_arrays(GL_TRIANGLES, 0, quads * 6);
    }
}

} // namespace

void gen_set_draw_mask(int mask) {
    draw_mask = mask;
}

int gen_get_draw_mask() {
    return draw_mask;
}

void gen_bit_list_init() {
    list = BitmapList{};
    list.vertices = buffer("gen_bit_vertex_buffer");
    list.colours = buffer("gen_bit_color_buffer");
    list.coordinates = buffer("gen_bit_tex_coord_buffer");
    list.inited = list.vertices && list.colours && list.coordinates;
}

void gen_bit_list_deinit() {
    xv_mem_release(list.quads);
    xv_mem_release(list.vertices);
    xv_mem_release(list.colours);
    xv_mem_release(list.coordinates);
    list = BitmapList{};
}

void gen_bit_add_to_list(int texture, const float screen[4], const float texture_area[4]) {
    if (texture < 0) {
        gen_error("gen_bit_add_to_list: out of range %i", texture);
        return;
    }
    if (!list.inited) {
        return;
    }
    if (texture != list.pending) {
        gen_bit_flush_list();
        list.pending = texture;
    }
    if (list.count == list.capacity) {
        int capacity = list.capacity + 100;
        auto *grown = static_cast<Quad *>(xv_mem_realloc(list.quads, sizeof(Quad) * capacity));
        if (!grown) {
            gen_error("gen_bit_add_to_list: not enough memory");
            return;
        }
        xv_mem_set_name(grown, "gen_bit_draw_list_group");
        list.quads = grown;
        list.capacity = capacity;
    }
    Quad &quad = list.quads[list.count++];
    memcpy(quad.screen, screen, sizeof quad.screen);
    memcpy(quad.texture, texture_area, sizeof quad.texture);
    quad.depth = list.depth;
}

void gen_bit_flush_list() {
    if (!list.inited || list.pending < 0 || list.count == 0 || !gen_gl_is_inited()) {
        list.count = 0;
        return;
    }
    OS_LEAK_CHECK_PAUSE pause; // the driver keeps what it builds for the first draw of a kind
    glPushAttrib(GL_LIGHTING_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    // Transparent pixels have alpha 0: they are not drawn at all. The rest
    // blend by their alpha: pictures and glyphs are opaque, and a panel of a
    // HUD may let the course show through.
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (list.first_flush) {
        list.half ^= 1;
        list.first_flush = false;
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    draw_pending();
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
    list.count = 0;
}

void gen_bit_end_frame() {
    gen_bit_flush_list();
    list.first_flush = true;
    list.count = 0;
    list.pending = -1;
    list.depth = kStartDepth;
}
