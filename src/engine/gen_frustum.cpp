#include "gen_frustum.h"

#include "gen_info.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>

namespace {

struct Frustum {
    float planes[GEN_FRUSTUM_PLANES][4] = {};
    bool computed = false;
};
Frustum frustum;

float dot_plane(const float *plane, const float *point) {
    return plane[0] * point[0] + plane[1] * point[1] + plane[2] * point[2] + plane[3];
}

void normalise(float *plane) {
    const float length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
    if (length > 0) {
        for (int i = 0; i < 4; ++i) {
            plane[i] /= length;
        }
    }
}

// Before any update every test answers "inside", once said.
bool computed(const char *test) {
    if (!frustum.computed) {
        gen_error("%s: frustrum has never been updated", test);
    }
    return frustum.computed;
}

// The plane through three points, facing the side from which a, b, c run
// counter-clockwise.
void plane_through(const float *a, const float *b, const float *c, float *plane) {
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    plane[0] = u[1] * v[2] - u[2] * v[1];
    plane[1] = u[2] * v[0] - u[0] * v[2];
    plane[2] = u[0] * v[1] - u[1] * v[0];
    normalise(plane);
    plane[3] = -(plane[0] * a[0] + plane[1] * a[1] + plane[2] * a[2]);
}

} // namespace

void gen_frustum_from(const float projection[16], const float modelview[16]) {
    float m[16]; // projection x modelview, column-major
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += projection[k * 4 + row] * modelview[column * 4 + k];
            }
            m[column * 4 + row] = sum;
        }
    }
    auto row = [&](int r, int column) { return m[column * 4 + r]; };
    // Row 4 minus or plus rows 1, 2, 3: right, left, bottom, top, far, near.
    const int rows[GEN_FRUSTUM_PLANES] = {0, 0, 1, 1, 2, 2};
    const float signs[GEN_FRUSTUM_PLANES] = {-1, 1, 1, -1, -1, 1};
    for (int p = 0; p < GEN_FRUSTUM_PLANES; ++p) {
        for (int c = 0; c < 4; ++c) {
            frustum.planes[p][c] = row(3, c) + signs[p] * row(rows[p], c);
        }
        normalise(frustum.planes[p]);
    }
    frustum.computed = true;
}

void gen_frustum_update() {
    float projection[16], modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    gen_frustum_from(projection, modelview);
}

const float (*gen_frustum_planes())[4] {
    return frustum.planes;
}

int gen_sphere_in_frustum(const float centre[3], float radius) {
    if (!computed("gen_sphere_in_frustum")) {
        return 1;
    }
    for (const float *plane : frustum.planes) {
        if (dot_plane(plane, centre) <= -radius) {
            return 0;
        }
    }
    return 1;
}

int gen_sphere_completely_inside_frustum(const float centre[3], float radius) {
    if (!computed("gen_sphere_completely_inside_frustum")) {
        return 1;
    }
    for (const float *plane : frustum.planes) {
        if (dot_plane(plane, centre) <= radius) {
            return 0;
        }
    }
    return 1;
}

int gen_sphere_touches_frustum_plane(const float centre[3], float radius, int plane) {
    if (!computed("gen_sphere_touches_frustum_plane")) {
        return 1;
    }
    return plane >= 0 && plane < GEN_FRUSTUM_PLANES &&
           dot_plane(frustum.planes[plane], centre) <= radius;
}

float gen_distance_point_frustum_plane(const float point[3], int plane) {
    if (!computed("gen_distance_point_frustum_plane")) {
        return 1.0f;
    }
    return plane >= 0 && plane < GEN_FRUSTUM_PLANES ? dot_plane(frustum.planes[plane], point)
                                                    : 1.0f;
}

int gen_box_in_frustum(const float min[3], const float max[3]) {
    if (!computed("gen_box_in_frustum")) {
        return 1;
    }
    for (const float *plane : frustum.planes) {
        int behind = 0;
        for (int corner = 0; corner < 8; ++corner) {
            const float point[3] = {corner & 1 ? max[0] : min[0], corner & 2 ? max[1] : min[1],
                                    corner & 4 ? max[2] : min[2]};
            behind += dot_plane(plane, point) < 0;
        }
        if (behind == 8) {
            return 0;
        }
    }
    return 1;
}

int gen_occluder_create(GEN_OCCLUDER *occluder, int num_vertices, const float (*vertices)[3],
                        const float eye[3]) {
    if (num_vertices < 3) {
        gen_error("gen_occluder_create: at least 3 vertices needed to create an occluder");
        return 0;
    }
    std::memset(occluder, 0, sizeof *occluder);
    float *front = occluder->planes[0];
    plane_through(vertices[2], vertices[1], vertices[0], front);
    // The polygon's own plane faces away from the eye; the edges follow.
    const bool flipped = dot_plane(front, eye) >= 0;
    if (flipped) {
        for (int i = 0; i < 4; ++i) {
            front[i] = -front[i];
        }
    }
    occluder->num_planes = 1;
    for (int i = 0; i < num_vertices; ++i) {
        if (occluder->num_planes == GEN_OCCLUDER_MOST_PLANES) {
            gen_error("gen_occluder_create: too many vertices");
            return 0;
        }
        const float *a = vertices[i];
        const float *b = vertices[(i + 1) % num_vertices];
        float *plane = occluder->planes[occluder->num_planes++];
        if (flipped) {
            plane_through(eye, a, b, plane);
        } else {
            plane_through(eye, b, a, plane);
        }
    }
    return 1;
}

int gen_sphere_occluded(const GEN_OCCLUDER *occluder, const float centre[3], float radius) {
    if (!occluder || occluder->num_planes == 0) {
        return 0;
    }
    for (uint32_t i = 0; i < occluder->num_planes; ++i) {
        if (dot_plane(occluder->planes[i], centre) <= radius) {
            return 0;
        }
    }
    return 1;
}
