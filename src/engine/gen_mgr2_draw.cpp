// Models into OpenGL: references culled and lit, material groups drawn in
// up to four passes; the opaque pass queued nearest first, a texture's
// groups together.
#include "gen_frustum.h"
#include "gen_info.h"
#include "gen_light.h"
#include "gen_mgr2.h"
#include "gen_tex.h"
#include "gen_waf.h"
#include "gen_wo2.h"
#include "gen_zone.h"
#include "os_leak_check.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint16_t kEnd = 65535;

struct Entry {
    uint16_t next;
    const GEN_WO2_MATERIAL_GROUP *group;
    const GEN_WO2_MATERIAL *material;
    float alpha;
    uint8_t flag;
    uint16_t reference;
    uint8_t clamp;
    uint16_t passes;
    bool lit;
};

struct Switches {
    int mode = GEN_DRAW_OPAQUE;
    int passes = 0x0F;
    bool clamp = false;
    bool environment = false;
    GEN_WO2 *model = nullptr;
    int reference = -1;
    // The node.
    bool light_all = false;
    float position[3] = {};
    float camera[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    bool zones_active = false;
    bool node_mirrored = false;
    // The model's lighting: whether the reference being queued is lit, and
    // what GL is set to (-1 not yet for this model, 0 unlit, 1 lit).
    bool reference_lit = false;
    int lighting = -1;
    // The opaque pass's queue: runs of entries that share a texture (bound
    // once), in the order their texture was first queued; an untextured
    // group is a run of its own.
    struct Run {
        int texture;
        uint16_t first, last;
    };
    std::vector<Run> runs;
    std::vector<uint16_t> run_of_texture; // kEnd: none queued yet
    std::vector<Entry> entries;
    // The references to draw, with how far each reaches beyond the near plane.
    std::vector<std::pair<float, uint16_t>> order;
};
Switches draw;
long triangles_drawn = 0;

void transform(const float *m, const float *p, float *out) {
    for (int row = 0; row < 3; ++row) {
        out[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row];
    }
}

void set_wrap() {
    const GLint wrap = draw.clamp ? GL_CLAMP : GL_REPEAT;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
}

void load_texture_matrix(const float *six) {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    m[0] = six[0], m[1] = six[1], m[4] = six[2], m[5] = six[3], m[12] = six[4], m[13] = six[5];
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
}

void pop_texture_matrix() {
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void draw_faces(const GEN_WO2_MATERIAL_GROUP *group) {
    for (int f = 0; f < group->num_face_groups; ++f) {
        gen_mgr2_draw_face_group(&group->face_groups[f], group);
    }
}

void base_pass(const GEN_WO2_MATERIAL_GROUP *group, const GEN_WO2_MATERIAL *m) {
    float colour[4] = {1, 1, 1, 1};
    bool textured = false, texture_matrix = false;
    if (m) {
        colour[0] = m->red / 255.0f, colour[1] = m->green / 255.0f, colour[2] = m->blue / 255.0f;
        colour[3] = m->opacity / 255.0f;
        if (m->opacity == 255 && !m->texture.has_alpha) {
            glDisable(GL_BLEND);
            glDisable(GL_ALPHA_TEST);
        } else if (draw.mode == GEN_DRAW_OPAQUE) {
            glDisable(GL_BLEND);
            glEnable(GL_ALPHA_TEST);
            glAlphaFunc(GL_GREATER, 0.5f);
        } else {
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        }
        if (m->texture.texture >= 0) {
            if (m->properties & 0x80) {
                load_texture_matrix(m->texture_matrix);
                texture_matrix = true;
            }
            glEnable(GL_TEXTURE_2D);
            gen_tex_bind(__FILE__, __LINE__, GL_TEXTURE_2D, m->texture.texture);
            set_wrap();
            textured = true;
        }
    } else {
        glDisable(GL_BLEND);
    }
    if (!textured) {
        glDisable(GL_TEXTURE_2D);
    }
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
    glColor4fv(colour);
    draw_faces(group);
    glDisable(GL_ALPHA_TEST);
    if (texture_matrix) {
        pop_texture_matrix();
    }
}

// The detail and spare passes: a second map blended over at its amount.
void blended_pass(const GEN_WO2_MATERIAL_GROUP *group, const GEN_WO2_MATERIAL *m,
                  const GEN_WO2_MAP &map, const float *matrix) {
    if (map.texture < 0 || map.amount <= 0) {
        return;
    }
    const float colour[4] = {m->red / 255.0f, m->green / 255.0f, m->blue / 255.0f, map.amount};
    glColor4fv(colour);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    gen_tex_bind(__FILE__, __LINE__, GL_TEXTURE_2D, map.texture);
    set_wrap();
    load_texture_matrix(matrix);
    draw_faces(group);
    glDisable(GL_BLEND);
    pop_texture_matrix();
}

void environment_pass(const GEN_WO2_MATERIAL_GROUP *group, const GEN_WO2_MATERIAL *m,
                      float alpha_factor) {
    if (m->env.texture < 0 || m->env.amount <= 0) {
        return;
    }
    draw.environment = true;
    float alpha = 1.0f;
    if (m->opacity == 255 && !m->texture.has_alpha && m->env.amount >= 1.0f) {
        glDisable(GL_BLEND);
    } else {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        alpha = m->opacity * m->env.amount * alpha_factor / 255.0f;
    }
    glEnable(GL_TEXTURE_2D);
    gen_tex_bind(__FILE__, __LINE__, GL_TEXTURE_2D, m->env.texture);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_COLOR_MATERIAL);
    const float colour[4] = {m->red / 255.0f, m->green / 255.0f, m->blue / 255.0f, alpha};
    glColor4fv(colour);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    draw_faces(group);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_BLEND);
    pop_texture_matrix();
    draw.environment = false;
}

void bounding_sphere(const GEN_WO2 *model, const GEN_WO2_REFERENCE &r, float centre[3],
                     float *radius) {
    const GEN_WO2_INTERNAL_REFERENCE &object = model->internal_references[r.internal_reference];
    transform(model->matrices_aligned[r.matrix], object.sphere_centre, centre);
    *radius = model->matrices[r.matrix].max_scale * object.sphere_radius;
}

bool reference_drawn(const GEN_WO2 *model, const GEN_WO2_REFERENCE &r) {
    if (r.flags & GEN_WO2_REF_INVISIBLE) {
        return false;
    }
    if (draw.zones_active && r.subzone != -1 && !xv_3d_zone_visible(r.subzone)) {
        return false;
    }
    const bool translucent = r.flags & GEN_WO2_REF_TRANSLUCENT;
    if (translucent != (draw.mode == GEN_DRAW_TRANSLUCENT)) {
        return false;
    }
    if (model->header.properties & (GEN_WO2_SKELETAL | GEN_WO2_NO_CULLING)) {
        return true;
    }
    float centre[3], radius;
    bounding_sphere(model, r, centre, &radius);
    if (!gen_sphere_in_frustum(centre, radius)) {
        return false;
    }
    const float d = gen_distance_point_frustum_plane(centre, GEN_FRUSTUM_NEAR);
    return d >= r.lod_min && d < r.lod_max;
}

// How far beyond the near plane a reference reaches: the course's lanes
// and walls reach less far than the land round them, and that less far
// than the sky.
float reach(const GEN_WO2 *model, const GEN_WO2_REFERENCE &r) {
    float centre[3], radius;
    bounding_sphere(model, r, centre, &radius);
    return gen_distance_point_frustum_plane(centre, GEN_FRUSTUM_NEAR) + radius;
}

// The references of the current mode to draw. The opaque pass takes them
// in the order they reach (the sky and the land last), so that the depth
// test throws away what the course hides of them before it is shaded: a
// software renderer spends most of a frame shading.
void order_references(const GEN_WO2 *model, bool nearest_first) {
    draw.order.clear();
    for (int i = 0; i < model->header.num_references; ++i) {
        const GEN_WO2_REFERENCE &r = model->references[i];
        if (r.internal_reference < model->header.num_internal_references &&
            r.matrix < model->header.num_reference_matrices && reference_drawn(model, r)) {
            draw.order.push_back(
                {nearest_first ? reach(model, r) : 0.0f, static_cast<uint16_t>(i)});
        }
    }
    if (nearest_first) {
        std::stable_sort(draw.order.begin(), draw.order.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
    }
}

// Mesa's software pipeline, once a draw has a triangle to clip, marks every
// vertex of the draw afresh each time its small output buffer fills, so
// that a long draw costs it about the square of its length. Draws of a few
// hundred vertices keep that linear. The triangles and their order are the
// same: a batch holds whole triangles, and a strip is cut at an even vertex
// (two shared with the batch before) so that each triangle keeps its winding.
constexpr int kBatchVertices = 192;
static_assert(kBatchVertices % 6 == 0);

void draw_triangles_in_batches(int count) {
    for (int first = 0; first < count; first += kBatchVertices) {
        glDrawArrays(GL_TRIANGLES, first, std::min(kBatchVertices, count - first));
    }
}

void draw_strip_in_batches(int count) {
    for (int first = 0;; first += kBatchVertices - 2) {
        glDrawArrays(GL_TRIANGLE_STRIP, first, std::min(kBatchVertices, count - first));
        if (first + kBatchVertices >= count) {
            return;
        }
    }
}

// The world whose lights light the references: set by the world's render.
XV_3D_WORLD *light_world = nullptr;

// A model's faces wind clockwise seen from the front; a mirroring matrix,
// the node's or the reference's (as it stands now), turns that round.
void wind_front(const GEN_WO2 *model, const GEN_WO2_REFERENCE &r) {
    const float *m = model->matrices_aligned[r.matrix];
    const float determinant = m[0] * (m[5] * m[10] - m[9] * m[6]) -
                              m[4] * (m[1] * m[10] - m[9] * m[2]) +
                              m[8] * (m[1] * m[6] - m[5] * m[2]);
    glFrontFace((determinant < 0) != draw.node_mirrored ? GL_CCW : GL_CW);
}

// A lit reference takes the world's lights near the node, an unlit one a
// white ambient alone; GL is told only when that changes.
void light_reference(bool lit) {
    if (draw.lighting == static_cast<int>(lit)) {
        return;
    }
    draw.lighting = lit;
    if (lit) {
        glEnable(GL_LIGHTING);
        if (light_world) {
            glPushMatrix();
            glLoadMatrixf(draw.camera);
            xv_3d_light_search_and_activate(light_world, draw.position, 3);
            glPopMatrix();
        }
    } else {
        const float white[4] = {1, 1, 1, 1};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, white);
        for (int light = 0; light < 8; ++light) {
            glDisable(static_cast<GLenum>(GL_LIGHT0 + light));
        }
    }
}

} // namespace

void gen_mgr2_set_light_world(XV_3D_WORLD *world) {
    light_world = world;
}

void gen_set_draw_mode(int mode) {
    draw.mode = mode;
}

int gen_get_draw_mode() {
    return draw.mode;
}

void gen_set_pass_mask(int mask) {
    draw.passes = mask;
}

int gen_get_pass_mask() {
    return draw.passes;
}

void gen_mgr2_set_node(bool light_all, const float position[3], const float camera[16],
                       bool zones_active, bool mirrored) {
    draw.light_all = light_all;
    draw.node_mirrored = mirrored;
    std::memcpy(draw.position, position, sizeof draw.position);
    std::memcpy(draw.camera, camera, sizeof draw.camera);
    draw.zones_active = zones_active;
}

void gen_mgr2_draw_face_group(GEN_WO2_FACE_GROUP *face, const GEN_WO2_MATERIAL_GROUP *group) {
    GEN_WO2 *model = draw.model;
    if (!model) {
        gen_error("gen_mgr2_draw_face_group: you have to set gen_mgr2_current_model");
        return;
    }
    if (!face->num_vertices || !model->vertex_data) {
        return;
    }
    uint8_t *block = model->vertex_data;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 16, block + face->positions);
    if (group->properties & GEN_WO2_HAS_NORMALS) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 16, block + face->normals);
    } else {
        glDisableClientState(GL_NORMAL_ARRAY);
    }
    if (group->properties & GEN_WO2_HAS_UVS) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, 16, block + face->uvs);
    } else {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    if ((group->properties & GEN_WO2_HAS_COLOURS) && draw.mode == GEN_DRAW_OPAQUE &&
        !draw.environment) {
        // The colours are stored as integers 0..255 and turned into floats
        // in place the first time they are drawn.
        if (!(face->properties & GEN_WO2_COLOURS_CONVERTED)) {
            for (uint32_t i = 0; i < uint32_t{face->num_vertices} * 4; ++i) {
                uint32_t stored;
                std::memcpy(&stored, block + face->colours + i * 4, 4);
                const float value = static_cast<float>(stored) / 255.0f;
                std::memcpy(block + face->colours + i * 4, &value, 4);
            }
            face->properties |= GEN_WO2_COLOURS_CONVERTED;
        }
        glEnable(GL_COLOR_MATERIAL);
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_FLOAT, 16, block + face->colours);
    } else {
        glDisable(GL_COLOR_MATERIAL);
        glDisableClientState(GL_COLOR_ARRAY);
    }
    if (face->properties & GEN_WO2_STRIP) {
        // A strip is seen from both sides.
        const bool culling = glIsEnabled(GL_CULL_FACE);
        glDisable(GL_CULL_FACE);
        draw_strip_in_batches(face->num_vertices);
        if (culling) {
            glEnable(GL_CULL_FACE);
        }
        triangles_drawn += std::max(0, face->num_vertices - 2);
    } else {
        draw_triangles_in_batches(face->num_vertices);
        triangles_drawn += face->num_vertices / 3;
    }
    glDisableClientState(GL_COLOR_ARRAY);
}

long gen_mgr2_take_triangle_count() {
    const long count = triangles_drawn;
    triangles_drawn = 0;
    return count;
}

void gen_mgr2_draw_material_group(const GEN_WO2_MATERIAL_GROUP *group,
                                  const GEN_WO2_MATERIAL *material, float alpha) {
    if (draw.passes & GEN_PASS_BASE) {
        base_pass(group, material);
    }
    if (!material) {
        return;
    }
    if (draw.passes & GEN_PASS_DETAIL) {
        blended_pass(group, material, material->detail, material->detail_matrix);
    }
    if (draw.passes & GEN_PASS_SPARE) {
        blended_pass(group, material, material->third, material->spare_matrix);
    }
    if (draw.passes & GEN_PASS_ENV) {
        environment_pass(group, material, alpha);
    }
}

void gen_mgr2_begin_lists() {
    draw.runs.clear();
    std::fill(draw.run_of_texture.begin(), draw.run_of_texture.end(), kEnd);
    draw.entries.clear();
}

namespace {

constexpr int kUntextured = -1;

// Queues a group under its texture's run (a new run where the texture is
// first met, and for every untextured group).
void queue_group(int texture, const GEN_WO2_MATERIAL_GROUP *group, const GEN_WO2_MATERIAL *material,
                 float alpha, uint8_t flag, int reference, uint8_t clamp, uint16_t passes) {
    if (draw.entries.size() >= kEnd) {
        return; // one model cannot queue this many groups
    }
    const auto index = static_cast<uint16_t>(draw.entries.size());
    draw.entries.push_back({kEnd, group, material, alpha, flag, static_cast<uint16_t>(reference),
                            clamp, passes, draw.reference_lit});
    if (texture == kUntextured) {
        draw.runs.push_back({texture, index, index});
        return;
    }
    const auto slot = static_cast<size_t>(texture);
    if (slot >= draw.run_of_texture.size()) {
        draw.run_of_texture.resize((slot / 50 + 1) * 50, kEnd);
    }
    uint16_t &run = draw.run_of_texture[slot];
    if (run == kEnd) {
        run = static_cast<uint16_t>(draw.runs.size());
        draw.runs.push_back({texture, index, index});
    } else {
        draw.entries[draw.runs[run].last].next = index;
        draw.runs[run].last = index;
    }
}

} // namespace

void gen_mgr2_add_to_draw_list(int texture, const GEN_WO2_MATERIAL_GROUP *group,
                               const GEN_WO2_MATERIAL *material, float alpha, uint8_t flag,
                               int reference, uint8_t clamp, int property) {
    if (texture < 0) {
        gen_error("gen_mgr2_add_to_draw_list: out of range %i", texture);
        return;
    }
    if (property != 0 && property != 1) {
        gen_error("gen_mgr2_add_to_draw_list: wrong property number");
        return;
    }
    // An environment map on another texture is drawn with that texture.
    const bool env_apart = property == 0 && material && material->env.texture >= 0 &&
                           material->env.amount > 0 && material->env.texture != texture;
    const uint16_t passes = property == 1 ? GEN_PASS_ENV : env_apart ? 0x0D : 0x0F;
    queue_group(texture, group, material, alpha, flag, reference, clamp, passes);
    if (env_apart) {
        gen_mgr2_add_to_draw_list(material->env.texture, group, material, alpha, flag, reference,
                                  clamp, 1);
    }
}

void gen_mgr2_draw_lists() {
    GEN_WO2 *model = draw.model;
    const int saved_passes = draw.passes;
    for (const auto &run : draw.runs) {
        for (uint16_t e = run.first; e != kEnd; e = draw.entries[e].next) {
            const Entry &entry = draw.entries[e];
            const GEN_WO2_REFERENCE &r = model->references[entry.reference];
            if (r.matrix >= model->header.num_reference_matrices) {
                gen_assert("matrix_index>=0 && matrix_index<gen_mgr2_current_model->num_reference_"
                           "matrices",
                           __FILE__, __LINE__);
                continue;
            }
            light_reference(entry.lit);
            wind_front(model, r);
            glPushMatrix();
            glMultMatrixf(model->matrices_aligned[r.matrix]);
            draw.clamp = entry.clamp;
            draw.passes = entry.passes;
            gen_mgr2_draw_material_group(entry.group, entry.material, entry.alpha);
            glPopMatrix();
        }
        draw.passes = saved_passes;
    }
}

void gen_mgr2_deinit() {
    draw.runs = {};
    draw.run_of_texture = {};
    draw.entries = {};
    draw.order = {};
}

int gen_mgr2_list_length(int texture) {
    int length = 0;
    if (texture >= 0 && static_cast<size_t>(texture) < draw.run_of_texture.size() &&
        draw.run_of_texture[static_cast<size_t>(texture)] != kEnd) {
        for (uint16_t e = draw.runs[draw.run_of_texture[static_cast<size_t>(texture)]].first;
             e != kEnd; e = draw.entries[e].next) {
            ++length;
        }
    }
    return length;
}

int gen_mgr2_queued_textures(int *textures, int most) {
    int count = 0;
    for (const auto &run : draw.runs) {
        if (count == most) {
            break;
        }
        textures[count++] = run.texture;
    }
    return count;
}

void gen_wo2_draw(GEN_WO2 *model, const GEN_ANIM_STATE *state, const GEN_WAF *animation) {
    if (!model) {
        gen_assert("model!=NULL", __FILE__, __LINE__);
        return;
    }
    if (!model->in_use) {
        gen_assert("model->in_use", __FILE__, __LINE__);
        return;
    }
    if (model->header.properties & GEN_WO2_SKELETAL) {
        if (!(gen_get_draw_mask() & GEN_DRAW_SKELETAL)) {
            return;
        }
        if (!animation) {
            gen_error(
                "gen_wo2_draw: you have to specify the animation data for the skeletal model");
            return;
        }
        if (!state) {
            gen_error("gen_wo2_draw: object state cant be NULL");
            return;
        }
        gen_wo2_compute_skeletal(model, state, animation);
    } else {
        if (!(gen_get_draw_mask() & GEN_DRAW_STATIC)) {
            return;
        }
        if (animation) {
            gen_error("gen_wo2_draw: sending animation data for a model that doesnt needs it");
            return;
        }
    }
    OS_LEAK_CHECK_PAUSE pause; // the driver keeps what it builds for the first draw of a kind
    draw.model = model;
    const bool lists =
        draw.mode == GEN_DRAW_OPAQUE && (model->header.properties & GEN_WO2_DRAW_LISTS);
    if (lists) {
        gen_mgr2_begin_lists();
    }
    draw.lighting = -1;
    order_references(model, lists);
    for (const auto &[reaching, i] : draw.order) {
        const GEN_WO2_REFERENCE &r = model->references[i];
        draw.reference = i;
        glPushMatrix();
        glMultMatrixf(model->matrices_aligned[r.matrix]);
        draw.clamp = r.flags & GEN_WO2_REF_CLAMP;
        draw.reference_lit = (r.flags & GEN_WO2_REF_LIT) || draw.light_all;
        if (!lists) { // a queued group is wound and lit when the queue is drawn
            wind_front(model, r);
            light_reference(draw.reference_lit);
        }
        const GEN_WO2_INTERNAL_REFERENCE &object = model->internal_references[r.internal_reference];
        for (int g = 0; g < object.num_material_groups; ++g) {
            const GEN_WO2_MATERIAL_GROUP *group = &object.material_groups[g];
            const GEN_WO2_MATERIAL *material =
                group->material >= 1 && group->material <= model->header.num_materials
                    ? &model->materials[group->material - 1]
                    : nullptr;
            if (lists && material && material->texture.texture >= 0) {
                gen_mgr2_add_to_draw_list(material->texture.texture, group, material, 1.0f, 0, i,
                                          draw.clamp, 0);
            } else if (lists) {
                queue_group(kUntextured, group, material, 1.0f, 0, i, draw.clamp, 0x0F);
            } else {
                gen_mgr2_draw_material_group(group, material, 1.0f);
            }
        }
        draw.clamp = false;
        glPopMatrix();
    }
    if (lists) {
        gen_mgr2_draw_lists();
        draw.clamp = false;
    }
    glDisable(GL_ALPHA_TEST);
}
