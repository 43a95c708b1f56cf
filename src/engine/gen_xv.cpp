#include "gen_xv.h"

#include "gen_frustum.h"
#include "gen_info.h"
#include "gen_matrix.h"
#include "gen_mgr2.h"
#include "gen_tex.h"
#include "gen_wo2.h"
#include "gen_wrap.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>

namespace {

const XV_3D_CAMERA kDefaultCamera = {
    {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.05f, 0.05f, 0.05f}, 2.0f, 8000.0f, 60.0f,
    1.3333334f};

int32_t rotation_order = 0;
int32_t material_list[XV_3D_MOST_MATERIALS_LISTED];

bool world_ready(const XV_3D_WORLD *world, const char *caller) {
    if (!world || !(world->flags & XV_3D_WORLD_INITED)) {
        gen_error("%s: world is not inited", caller);
        return false;
    }
    return true;
}

bool node_in_range(const XV_3D_WORLD *world, int32_t index) {
    return index >= 0 && index < world->num_nodes;
}

// The aligned matrix of a model's reference, or null after the assertion.
float *reference_matrix(const GEN_WO2 *model, int32_t reference) {
    if (!model || reference < 0 || reference >= model->header.num_references) {
        gen_assert("num_reference>=0 && num_reference<object->num_references", __FILE__, __LINE__);
        return nullptr;
    }
    const int32_t index = model->references[reference].matrix;
    if (index < 0 || index >= model->header.num_reference_matrices) {
        gen_assert("matrix_index>=0 && matrix_index<object->num_reference_matrices", __FILE__,
                   __LINE__);
        return nullptr;
    }
    return model->matrices_aligned[index];
}

} // namespace

void xv_3d_engine_init() {
    gen_tex_init();
    gen_wo2_init();
    gen_bit_list_init();
    if (gen_gl_is_inited()) {
        glEnable(GL_LIGHTING);
    }
    xv_3d_set_ambient(0.0f, 0.0f, 0.0f);
}

void xv_3d_engine_deinit() {
    gen_bit_list_deinit();
    gen_wo2_deinit();
    gen_tex_deinit();
}

void xv_3d_world_init(XV_3D_WORLD *world) {
    *world = XV_3D_WORLD{};
    world->camera = kDefaultCamera;
    world->flags = XV_3D_WORLD_INITED;
    xv_3d_light_init(world);
}

void xv_3d_world_deinit(XV_3D_WORLD *world) {
    if (!(world->flags & XV_3D_WORLD_INITED)) {
        gen_error("xv_3d_world_deinit: already deinited or was never inited");
        return;
    }
    for (int32_t i = 0; i < world->num_nodes; ++i) {
        if (world->nodes[i].reference_matrices) {
            xv_mem_free(world->nodes[i].reference_matrices);
        }
    }
    if (world->nodes) {
        xv_mem_free(world->nodes);
    }
    world->nodes = nullptr;
    world->allocated_nodes = 0;
    xv_3d_world_free_zones(world);
    world->flags = 0;
    world->num_nodes = 0;
    xv_3d_light_deinit(world);
}

void xv_3d_world_get_camera(const XV_3D_WORLD *world, XV_3D_CAMERA *camera) {
    *camera = world->camera;
}

void xv_3d_world_set_camera(XV_3D_WORLD *world, const XV_3D_CAMERA *camera) {
    world->camera = *camera;
    float &turn = world->camera.rotation[1];
    while (turn < 0.0f) {
        turn += 360.0f;
    }
    while (turn >= 360.0f) {
        turn -= 360.0f;
    }
}

void xv_3d_camera_apply(const XV_3D_CAMERA *camera) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(camera->field_of_view, camera->aspect, camera->near_plane, camera->far_plane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(camera->scale[0], camera->scale[1], camera->scale[2]);
    glRotatef(camera->rotation[2], 0.0f, 0.0f, 1.0f);
    glRotatef(camera->rotation[0], 1.0f, 0.0f, 0.0f);
    glRotatef(camera->rotation[1], 0.0f, 1.0f, 0.0f);
    glTranslatef(-camera->position[0], -camera->position[1], -camera->position[2]);
}

namespace {

// A node's references learn which zone holds them, once.
void find_reference_zones(XV_3D_WORLD *world, XV_3D_NODE &node) {
    GEN_WO2 *model = node.model;
    for (int i = 0; model && i < model->header.num_references; ++i) {
        GEN_WO2_REFERENCE &r = model->references[i];
        if (r.internal_reference >= model->header.num_internal_references ||
            r.matrix >= model->header.num_reference_matrices) {
            continue;
        }
        const float *m = model->matrices_aligned[r.matrix];
        const float *c = model->internal_references[r.internal_reference].sphere_centre;
        const float centre[3] = {m[0] * c[0] + m[4] * c[1] + m[8] * c[2] + m[12],
                                 m[1] * c[0] + m[5] * c[1] + m[9] * c[2] + m[13],
                                 m[2] * c[0] + m[6] * c[1] + m[10] * c[2] + m[14]};
        r.subzone = xv_3d_world_find_zone(world, centre);
    }
    node.flags |= XV_3D_NODE_ZONES_FOUND;
}

// A node is hidden by the zones when every subzone it reaches into
// belongs to a zone out of sight; in no zone at all, it is drawn.
bool hidden_by_zones(const XV_3D_WORLD *world, const XV_3D_NODE &node) {
    const XV_3D_ZONES &z = world->zones;
    const float margin = node.model ? node.model->header.sphere_radius : 0.0f;
    bool inside = false;
    for (int32_t zone = 0; zone < z.num_zones; ++zone) {
        for (int32_t s = z.zones[zone].first_subzone; s != -1; s = z.subzones[s].next) {
            if (z.subzones[s].num_planes &&
                xv_3d_in_subzone(&z.subzones[s], node.position, margin)) {
                if (xv_3d_zone_visible(zone)) {
                    return false;
                }
                inside = true;
            }
        }
    }
    return inside;
}

// Draws the node's model with the node's own matrices in place of the
// model's; false when the node has too many of them, which ends the frame.
bool draw_node_model(XV_3D_NODE &node, const float camera[16]) {
    GEN_WO2 *model = node.model;
    model->header.properties |= GEN_WO2_DRAW_LISTS;
    const bool mirrored = node.scale[0] * node.scale[1] * node.scale[2] < 0;
    gen_mgr2_set_node(node.flags & XV_3D_NODE_LIT, node.position, camera,
                      node.flags & XV_3D_NODE_ZONES_FOUND, mirrored);
    if (node.num_reference_matrices >= XV_3D_WR_MAX_BACK_MATRICES) {
        gen_error("xv_3d_world_render: node->num_reference_matrices>=XV_3D_WR_MAX_BACK_MATRICES");
        return false;
    }
    float saved[XV_3D_WR_MAX_BACK_MATRICES][16];
    for (int32_t k = 0; k < node.num_reference_matrices; ++k) {
        const XV_3D_NODE_MATRIX &own = node.reference_matrices[k];
        xv_3d_object_get_reference_matrix(model, own.reference, saved[k]);
        xv_3d_object_set_reference_matrix(model, own.reference, own.m);
    }
    if (node.pre_draw) {
        node.pre_draw(&node);
    }
    gen_wo2_draw(model, node.state, node.animation);
    if (node.post_draw) {
        node.post_draw(&node);
    }
    for (int32_t k = 0; k < node.num_reference_matrices; ++k) {
        xv_3d_object_set_reference_matrix(model, node.reference_matrices[k].reference, saved[k]);
    }
    return true;
}

} // namespace

// Two passes over the nodes, opaque then translucent; each node placed by
// its position, rotation (y, x, z) and scale. The models' faces wind
// clockwise seen from the front, as the collision reads them: in the opaque
// pass their back faces, which the front ones hide, are not drawn (a
// software renderer would spend a good part of the frame on them); through
// what is translucent the far side shows.
void xv_3d_world_render(XV_3D_WORLD *world) {
    if (!(world->flags & XV_3D_WORLD_INITED) || !gen_gl_is_inited()) {
        return;
    }
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    xv_3d_camera_apply(&world->camera);
    gen_mgr2_set_light_world(world);
    float camera[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, camera);
    for (int pass = 0; pass < 2; ++pass) {
        gen_set_draw_mode(pass == 0 ? GEN_DRAW_OPAQUE : GEN_DRAW_TRANSLUCENT);
        if (pass == 0) {
            glEnable(GL_CULL_FACE);
        } else {
            glDisable(GL_CULL_FACE);
        }
        for (int32_t i = 0; i < world->num_nodes; ++i) {
            XV_3D_NODE &node = world->nodes[i];
            if ((node.flags & XV_3D_NODE_HIDDEN) ||
                (pass == 1 && !(node.flags & XV_3D_NODE_TRANSLUCENT_PASS))) {
                continue;
            }
            if ((node.flags & XV_3D_NODE_FIND_ZONES) && !(node.flags & XV_3D_NODE_ZONES_FOUND)) {
                find_reference_zones(world, node);
            } else if (hidden_by_zones(world, node)) {
                continue;
            }
            glPushMatrix();
            glTranslatef(node.position[0], node.position[1], node.position[2]);
            glRotatef(node.rotation[1], 0, 1, 0);
            glRotatef(node.rotation[0], 1, 0, 0);
            glRotatef(node.rotation[2], 0, 0, 1);
            glScalef(node.scale[0], node.scale[1], node.scale[2]);
            gen_frustum_update();
            const bool drawn = !node.model || draw_node_model(node, camera);
            glPopMatrix();
            if (!drawn) {
                gen_set_draw_mode(GEN_DRAW_OPAQUE);
                glDisable(GL_CULL_FACE);
                return;
            }
        }
    }
    gen_set_draw_mode(GEN_DRAW_OPAQUE);
    glDisable(GL_CULL_FACE); // what is drawn over the world is drawn flat
    gen_frustum_update();
}

void xv_3d_camera_orbit(XV_3D_CAMERA *camera, const float target[3], float distance) {
    const float rx = camera->rotation[0] * GEN_DEGREES_TO_RADIANS;
    const float ry = camera->rotation[1] * GEN_DEGREES_TO_RADIANS;
    camera->position[0] = target[0] - std::sin(ry) * distance * std::cos(rx);
    camera->position[1] = target[1] + std::sin(rx) * distance;
    camera->position[2] = target[2] + std::cos(ry) * distance * std::cos(rx);
}

// ---- nodes ---------------------------------------------------------------------------

int32_t xv_3d_world_add_node(XV_3D_WORLD *world, GEN_WO2 *model, XV_3D_NODE_CALLBACK pre_draw) {
    if (!world_ready(world, "xv_3d_world_add_node")) {
        return -1;
    }
    if (world->num_nodes == world->allocated_nodes) {
        gen_history("allocating world nodes\n");
        const int32_t allocated = world->allocated_nodes + XV_3D_NODE_GROWTH;
        auto *grown = static_cast<XV_3D_NODE *>(
            xv_mem_realloc(world->nodes, sizeof(XV_3D_NODE) * static_cast<size_t>(allocated)));
        if (!grown) {
            gen_mem_failed(__FILE__, __LINE__, "world->nodes");
            return -1;
        }
        xv_mem_set_name(grown, "world->nodes");
        world->nodes = grown;
        world->allocated_nodes = allocated;
    }
    XV_3D_NODE &node = world->nodes[world->num_nodes];
    node = XV_3D_NODE{};
    node.model = model;
    node.pre_draw = pre_draw;
    node.scale[0] = node.scale[1] = node.scale[2] = 1.0f;
    return world->num_nodes++;
}

void xv_3d_world_get_node(XV_3D_WORLD *world, XV_3D_NODE *out, int32_t index) {
    if (!world_ready(world, "xv_3d_world_get_node")) {
        return;
    }
    if (!node_in_range(world, index)) {
        gen_error("xv_3d_world_get_node: out of range");
        return;
    }
    *out = world->nodes[index];
}

void xv_3d_world_set_node(XV_3D_WORLD *world, const XV_3D_NODE *in, int32_t index) {
    if (!world_ready(world, "xv_3d_world_set_node")) {
        return;
    }
    if (!node_in_range(world, index)) {
        gen_error("xv_3d_world_set_node: out of range");
        return;
    }
    world->nodes[index] = *in;
}

XV_3D_NODE *xv_3d_world_get_node_pointer(XV_3D_WORLD *world, int32_t index) {
    if (!world_ready(world, "xv_3d_world_get_node_pointer")) {
        return nullptr;
    }
    if (!node_in_range(world, index)) {
        gen_error("xv_3d_world_get_node_pointer: out of range");
        return nullptr;
    }
    return &world->nodes[index];
}

int32_t xv_3d_node_add_reference_matrix(XV_3D_WORLD *world, int32_t index, int32_t reference) {
    if (!world_ready(world, "xv_3d_node_add_reference_matrix")) {
        return -1;
    }
    if (!node_in_range(world, index)) {
        gen_error("xv_3d_node_add_reference_matrix: node number out of range");
        return -1;
    }
    XV_3D_NODE &node = world->nodes[index];
    const float *current = reference_matrix(node.model, reference);
    if (!current) {
        return -1;
    }
    if (node.num_reference_matrices == node.allocated) {
        const int32_t allocated = node.allocated + XV_3D_NODE_GROWTH;
        auto *grown = static_cast<XV_3D_NODE_MATRIX *>(xv_mem_realloc(
            node.reference_matrices, sizeof(XV_3D_NODE_MATRIX) * static_cast<size_t>(allocated)));
        if (!grown) {
            gen_mem_failed(__FILE__, __LINE__, "world->node->reference_matrices");
            return -1;
        }
        xv_mem_set_name(grown, "world->node->reference_matrices");
        node.reference_matrices = grown;
        node.allocated = allocated;
    }
    XV_3D_NODE_MATRIX &added = node.reference_matrices[node.num_reference_matrices];
    std::memcpy(added.m, current, sizeof added.m);
    added.reference = reference;
    return node.num_reference_matrices++;
}

namespace {

XV_3D_NODE_MATRIX *node_matrix(XV_3D_WORLD *world, int32_t index, int32_t k) {
    const char *caller = "xv_3d_node_get_reference_matrix";
    if (!world_ready(world, caller)) {
        return nullptr;
    }
    if (!node_in_range(world, index)) {
        gen_error("%s: node number out of range %i", caller, index);
        return nullptr;
    }
    XV_3D_NODE &node = world->nodes[index];
    if (k < 0 || k >= node.num_reference_matrices) {
        gen_error("%s: node matrix num out of range %i", caller, k);
        return nullptr;
    }
    return &node.reference_matrices[k];
}

} // namespace

void xv_3d_node_get_reference_matrix(XV_3D_WORLD *world, int32_t node, int32_t k, float out[16]) {
    if (const XV_3D_NODE_MATRIX *matrix = node_matrix(world, node, k)) {
        std::memcpy(out, matrix->m, sizeof matrix->m);
    }
}

void xv_3d_node_set_reference_matrix(XV_3D_WORLD *world, int32_t node, int32_t k,
                                     const float in[16]) {
    if (XV_3D_NODE_MATRIX *matrix = node_matrix(world, node, k)) {
        std::memcpy(matrix->m, in, sizeof matrix->m);
    }
}

// ---- model references and materials ---------------------------------------------------

void xv_3d_object_get_reference_matrix(const GEN_WO2 *model, int32_t reference, float out[16]) {
    if (const float *m = reference_matrix(model, reference)) {
        std::memcpy(out, m, sizeof(float) * 16);
    }
}

void xv_3d_object_set_reference_matrix(GEN_WO2 *model, int32_t reference, const float in[16]) {
    if (float *m = reference_matrix(model, reference)) {
        std::memcpy(m, in, sizeof(float) * 16);
    }
}

void xv_3d_set_rotation_order(int32_t order) {
    rotation_order = order;
}

int32_t xv_3d_get_rotation_order() {
    return rotation_order;
}

void xv_3d_object_reference_matrix_rotate(GEN_WO2 *model, int32_t reference, float ax, float ay,
                                          float az) {
    static const char *const kOrders[6] = {"xyz", "xzy", "yxz", "yzx", "zxy", "zyx"};
    const int order = rotation_order & 7;
    if (order > 5) {
        gen_error("xv_3d_object_reference_matrix_rotate: somethings wrong with rotation order -> "
                  "%i\n",
                  order);
        return;
    }
    float *m = reference_matrix(model, reference);
    if (!m) {
        return;
    }
    const float angles[3] = {ax, ay, az};
    const bool local = rotation_order & XV_3D_ROTATION_LOCAL;
    for (int step = 0; step < 3; ++step) {
        const char axis_name = kOrders[order][local ? step : 2 - step];
        const int axis = axis_name - 'x';
        if (angles[axis] == 0.0f) {
            continue;
        }
        if (local) {
            gen_matrix_rotate(m, axis, angles[axis]);
        } else {
            gen_matrix_rotate_parent(m, axis, angles[axis]);
        }
    }
}

int32_t xv_3d_object_reference_get_material_list(const GEN_WO2 *model, int32_t reference,
                                                 const int32_t **list) {
    *list = material_list;
    if (!model || reference < 0 || reference >= model->header.num_references) {
        return 0;
    }
    const int32_t object = model->references[reference].internal_reference;
    if (object < 0 || object >= model->header.num_internal_references) {
        return 0;
    }
    const GEN_WO2_INTERNAL_REFERENCE &r = model->internal_references[object];
    int32_t count = 0;
    for (int g = 0; g < r.num_material_groups; ++g) {
        if (!r.material_groups[g].material) {
            continue;
        }
        if (count == XV_3D_MOST_MATERIALS_LISTED) {
            gen_error("xv_3d_object_reference_get_material_list: too many materials for a single "
                      "list");
            break;
        }
        material_list[count++] = r.material_groups[g].material;
    }
    return count;
}

namespace {

GEN_WO2_MATERIAL *material_of(const GEN_WO2 *model, int32_t number) {
    if (!model || number < 1 || number > model->header.num_materials || !model->materials) {
        gen_assert("material_number>=0 && material_number<=model->num_materials", __FILE__,
                   __LINE__);
        return nullptr;
    }
    return &model->materials[number - 1];
}

} // namespace

void xv_3d_object_get_material(const GEN_WO2 *model, int32_t number, GEN_WO2_MATERIAL *out) {
    if (const GEN_WO2_MATERIAL *m = material_of(model, number)) {
        *out = *m;
    }
}

void xv_3d_object_set_material(GEN_WO2 *model, int32_t number, const GEN_WO2_MATERIAL *in) {
    if (GEN_WO2_MATERIAL *m = material_of(model, number)) {
        *m = *in;
    }
}
