// The view frustum culling tests against: six planes from the current
// projection and modelview matrices, recomputed after every node transform,
// with sphere, box and plane-distance tests; and occluders, convex polygons
// that hide what lies behind them as seen from the eye.
#pragma once

#include <cstdint>

enum {
    GEN_FRUSTUM_RIGHT = 0,
    GEN_FRUSTUM_LEFT,
    GEN_FRUSTUM_BOTTOM,
    GEN_FRUSTUM_TOP,
    GEN_FRUSTUM_FAR,
    GEN_FRUSTUM_NEAR,
    GEN_FRUSTUM_PLANES,
    GEN_OCCLUDER_MOST_PLANES = 12,
};

struct GEN_OCCLUDER {
    uint32_t num_planes;
    float planes[GEN_OCCLUDER_MOST_PLANES][4];
};

// From OpenGL's current matrices.
void gen_frustum_update();
// From the matrices given (column-major), as the update takes OpenGL's.
void gen_frustum_from(const float projection[16], const float modelview[16]);
const float (*gen_frustum_planes())[4];

int gen_sphere_in_frustum(const float centre[3], float radius);
int gen_sphere_completely_inside_frustum(const float centre[3], float radius);
int gen_sphere_touches_frustum_plane(const float centre[3], float radius, int plane);
float gen_distance_point_frustum_plane(const float point[3], int plane);
int gen_box_in_frustum(const float min[3], const float max[3]);

int gen_occluder_create(GEN_OCCLUDER *occluder, int num_vertices, const float (*vertices)[3],
                        const float eye[3]);
int gen_sphere_occluded(const GEN_OCCLUDER *occluder, const float centre[3], float radius);
