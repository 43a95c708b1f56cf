// The world the game draws every frame: a camera and its nodes. The
// engine's start and stop are here too.
#pragma once

#include "gen_light.h"

#include <cstdint>

struct XV_3D_CAMERA {
    float position[3];
    float rotation[3]; // degrees
    float scale[3];
    float near_plane, far_plane;
    float field_of_view; // degrees
    float aspect;
};

struct XV_3D_NODE;

struct XV_3D_WORLD {
    XV_3D_CAMERA camera;
    int32_t num_nodes;
    int32_t allocated_nodes;
    uint32_t flags; // XV_3D_WORLD_INITED
    XV_3D_NODE *nodes;
    XV_3D_LIGHTS lights;
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
