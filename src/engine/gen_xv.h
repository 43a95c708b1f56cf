// The world the game draws every frame: a camera and its nodes. The
// engine's start and stop are here too.
#pragma once

#include "gen_light.h"
#include "gen_zone.h"

#include <cstdint>

struct XV_3D_CAMERA {
    float position[3];
    float rotation[3]; // degrees
    float scale[3];
    float near_plane, far_plane;
    float field_of_view; // degrees
    float aspect;
};

struct GEN_WO2;
struct GEN_WAF;
struct GEN_ANIM_STATE;
struct XV_3D_NODE;
using XV_3D_NODE_CALLBACK = void (*)(XV_3D_NODE *node);

// Node flags.
enum : uint32_t {
    XV_3D_NODE_SCENERY = 0x01, // the game's; not read here
    XV_3D_NODE_LIT = 0x02,
    XV_3D_NODE_TRANSLUCENT_PASS = 0x04,
    XV_3D_NODE_HIDDEN = 0x08,
    XV_3D_NODE_FIND_ZONES = 0x10,
    XV_3D_NODE_ZONES_FOUND = 0x20,
};
enum { XV_3D_WR_MAX_BACK_MATRICES = 20, XV_3D_NODE_GROWTH = 20 };

// A node's own matrix for one reference of its model, put in its place
// while the node is drawn.
struct XV_3D_NODE_MATRIX {
    float m[16];
    int32_t reference;
};

struct XV_3D_NODE {
    uint32_t flags;
    GEN_WO2 *model;
    GEN_ANIM_STATE *state;
    GEN_WAF *animation;
    float position[3];
    float rotation[3]; // degrees
    float scale[3];
    XV_3D_NODE_CALLBACK pre_draw, post_draw;
    float u, v;
    int32_t num_reference_matrices;
    int32_t allocated;
    XV_3D_NODE_MATRIX *reference_matrices;
};

struct XV_3D_WORLD {
    XV_3D_CAMERA camera;
    int32_t num_nodes;
    int32_t allocated_nodes;
    uint32_t flags; // XV_3D_WORLD_INITED
    XV_3D_NODE *nodes;
    XV_3D_LIGHTS lights;
    XV_3D_ZONES zones;
};
enum { XV_3D_WORLD_INITED = 1 };

// Textures, the bitmap lists and lighting with a black ambient.
void xv_3d_engine_init();
void xv_3d_engine_deinit();

void xv_3d_world_init(XV_3D_WORLD *world);
void xv_3d_world_deinit(XV_3D_WORLD *world);
void xv_3d_world_get_camera(const XV_3D_WORLD *world, XV_3D_CAMERA *camera);
// Rotation y is brought into [0, 360).
void xv_3d_world_set_camera(XV_3D_WORLD *world, const XV_3D_CAMERA *camera);
void xv_3d_camera_apply(const XV_3D_CAMERA *camera);
void xv_3d_world_render(XV_3D_WORLD *world);
// The camera at distance from target along its viewing angles.
void xv_3d_camera_orbit(XV_3D_CAMERA *camera, const float target[3], float distance);

int32_t xv_3d_world_add_node(XV_3D_WORLD *world, GEN_WO2 *model, XV_3D_NODE_CALLBACK pre_draw);
void xv_3d_world_get_node(XV_3D_WORLD *world, XV_3D_NODE *out, int32_t index);
void xv_3d_world_set_node(XV_3D_WORLD *world, const XV_3D_NODE *in, int32_t index);
XV_3D_NODE *xv_3d_world_get_node_pointer(XV_3D_WORLD *world, int32_t index);
int32_t xv_3d_node_add_reference_matrix(XV_3D_WORLD *world, int32_t node, int32_t reference);
void xv_3d_node_get_reference_matrix(XV_3D_WORLD *world, int32_t node, int32_t k, float out[16]);
void xv_3d_node_set_reference_matrix(XV_3D_WORLD *world, int32_t node, int32_t k,
                                     const float in[16]);

// A model's reference matrices and materials, as the game moves parts and
// scrolls textures.
void xv_3d_object_get_reference_matrix(const GEN_WO2 *model, int32_t reference, float out[16]);
void xv_3d_object_set_reference_matrix(GEN_WO2 *model, int32_t reference, const float in[16]);
// Three turns in degrees, in the order the rotation order names: its low
// three bits pick xyz, xzy, yxz, yzx, zxy or zyx; with 0x08 each turn is
// about the matrix's own axes, else in reverse about its parent's.
void xv_3d_object_reference_matrix_rotate(GEN_WO2 *model, int32_t reference, float ax, float ay,
                                          float az);
void xv_3d_set_rotation_order(int32_t order);
int32_t xv_3d_get_rotation_order();
enum { XV_3D_ROTATION_LOCAL = 0x08, XV_3D_MOST_MATERIALS_LISTED = 100 };
int32_t xv_3d_object_reference_get_material_list(const GEN_WO2 *model, int32_t reference,
                                                 const int32_t **list);
struct GEN_WO2_MATERIAL;
void xv_3d_object_get_material(const GEN_WO2 *model, int32_t number, GEN_WO2_MATERIAL *out);
void xv_3d_object_set_material(GEN_WO2 *model, int32_t number, const GEN_WO2_MATERIAL *in);
