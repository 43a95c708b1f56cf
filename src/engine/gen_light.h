// Point lights of a world: the nearest (at most three) whose range reaches
// a lit reference light it, as OpenGL lights 1 to 3 with an attenuation
// from their range; everything else has the global ambient colour. Lights
// may also show coronas, quads drawn through the bitmap list.
#pragma once

#include <cstdint>

enum : uint32_t {
    XV_3D_LIGHT_CREATED = 0x01,
    XV_3D_LIGHT_DIFFUSE = 0x02,
    XV_3D_LIGHT_SPECULAR = 0x04
};
enum { XV_3D_LIGHT_SLOTS = 3, XV_3D_LIGHT_MOST_SEARCHED = 8, XV_3D_LIGHT_GROWTH = 20 };
enum { XV_3D_CORONA_TEXTURE = 10 };

struct XV_3D_LIGHT {
    uint32_t flags;
    float position[3];
    float diffuse[3];
    float specular[3];
    float intensity; // multiplies both colours
    float range;
};

// A world's lights: the table and the three slots (light numbers, -1 free)
// that drive OpenGL lights 1 to 3.
struct XV_3D_LIGHTS {
    uint32_t inited;
    XV_3D_LIGHT *lights;
    int32_t num_lights;
    int32_t allocated;
    int32_t active[XV_3D_LIGHT_SLOTS];
};

struct XV_3D_WORLD;

void xv_3d_light_init(XV_3D_WORLD *world);
void xv_3d_light_deinit(XV_3D_WORLD *world);
int32_t xv_3d_light_add(XV_3D_WORLD *world, const XV_3D_LIGHT *light);
void xv_3d_light_free(XV_3D_WORLD *world, int32_t number);
void xv_3d_light_get(XV_3D_WORLD *world, int32_t number, XV_3D_LIGHT *out);
void xv_3d_light_set(XV_3D_WORLD *world, int32_t number, const XV_3D_LIGHT *in);
void xv_3d_light_activate(XV_3D_WORLD *world, int32_t number);
void xv_3d_light_deactivate(XV_3D_WORLD *world, int32_t number);
void xv_3d_light_deactivate_all(XV_3D_WORLD *world);
void xv_3d_light_search_and_activate(XV_3D_WORLD *world, const float point[3], int count);
void xv_3d_light_show_coronas(XV_3D_WORLD *world);
void xv_3d_set_ambient(float red, float green, float blue);
void xv_3d_apply_ambient();
