// The engine's vector and angle toolkit: three-float vectors, planes of
// four floats (normal and d, with n·p + d = 0 on the plane), and the angle
// rules the game's cameras and balls move by. Their constants (3.14, 6.28,
// 1.57075) are the ones the game was tuned with, not π to full precision.
#pragma once

#include <cmath>

struct GEN_LINE {
    float origin[3];
    float direction[3]; // unit
    float length;
};

// The few the collision queries call per triangle live here, to be inlined.
inline float gen_math_dot(const float a[3], const float b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
void gen_math_cross(float out[3], const float a[3], const float b[3]);
// A zero vector stays as it is.
void gen_math_normalize(float v[3]);
// normalize((a − b) × (c − a)).
void gen_math_triangle_normal(float out[3], const float a[3], const float b[3], const float c[3]);
void gen_math_plane_from_points(float plane[4], const float a[3], const float b[3],
                                const float c[3]);
void gen_math_plane_from_point_normal(float plane[4], const float point[3], const float normal[3]);
// Signed: positive on the side the normal points to.
inline float gen_math_plane_distance(const float plane[4], const float point[3]) {
    return gen_math_dot(plane, point) + plane[3];
}
// Origin, unit direction and length of the segment from a to b; the two
// ends may not be equal.
void gen_math_line_from_points(GEN_LINE *line, const float a[3], const float b[3]);
// Moves the point by distance along heading a and pitch b (radians).
void gen_math_move(float point[3], float distance, float a, float b);
// 2, 4, 8 ... 32768.
bool gen_math_is_power_of_two(int value);

// Towards the target by |step|, never past it.
float gen_math_approach(float value, float target, float step);
// The same the short way round: the value is first brought within half a
// turn of the target (3.14 radians, or 180 degrees).
float gen_math_approach_angle(float value, float target, float step, bool degrees);
// |a − b| less whole turns (6.28 or 360) while above half a turn; a
// difference just over half a turn comes out negative.
float gen_math_angle_difference(float a, float b, bool degrees);
// The angle of the direction from (x0, y0) to (x1, y1), in radians.
float gen_math_heading(float x0, float y0, float x1, float y1);
// Wraps the value round into min..max (both included for whole numbers).
int gen_math_fit_int_min_max(int value, int min, int max);
float gen_math_fit_float_min_max(float value, float min, float max);
// The part after the point, in 0..1 for negative values too.
float gen_math_fraction(float value);

// The point of the segment a–b nearest to p; true when it lies strictly
// between the ends. A segment shorter than about 0.003 is its start.
inline bool gen_math_nearest_on_segment(float out[3], const float a[3], const float b[3],
                                        const float p[3]) {
    constexpr float kShortestSegmentSquared = 0.00001f;
    const float ab[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float ap[3] = {p[0] - a[0], p[1] - a[1], p[2] - a[2]};
    const float length_squared = gen_math_dot(ab, ab);
    const float t =
        length_squared < kShortestSegmentSquared ? 0.0f : gen_math_dot(ap, ab) / length_squared;
    const float *end = t <= 0.0f ? a : t >= 1.0f ? b : nullptr;
    for (int i = 0; i < 3; ++i) {
        out[i] = end ? end[i] : a[i] + t * ab[i];
    }
    return !end;
}
// Where the ray from origin along the unit direction meets the sphere: the
// way out when the origin is inside. False when it misses.
bool gen_math_ray_sphere(const float origin[3], const float direction[3], const float centre[3],
                         float radius, float *distance);

// Which axis a polygon with this normal is seen along: 0 drops y, 1 drops
// z, 2 drops x.
inline int gen_math_projection_order(const float normal[3]) {
    const float x = std::fabs(normal[0]), y = std::fabs(normal[1]), z = std::fabs(normal[2]);
    if (y > x && y > z) {
        return 0;
    }
    if (x >= y && x > z) {
        return 2;
    }
    return 1;
}
// The two axes a polygon is seen across, by projection order.
constexpr int GEN_PROJECTION_AXES[3][2] = {{0, 2}, {0, 1}, {1, 2}};
// Edges this close below a point still count as crossing it in the test
// below, so that a point on an edge shared by two triangles falls in one of them.
constexpr float GEN_POLYGON_EDGE_TOLERANCE = 0.001f;
// Reports a polygon the test below cannot take; false.
bool gen_math_polygon_refused(const char *why);
// Even-odd test of the point against the polygon seen along one axis.
inline bool gen_point_in_3d_polygon(const float (*vertices)[3], int count, const float point[3],
                                    int order) {
    constexpr float kEdgeTolerance = GEN_POLYGON_EDGE_TOLERANCE;
    constexpr const int(&kAxes)[3][2] = GEN_PROJECTION_AXES;
    if (order < 0 || order > 2) {
        return gen_math_polygon_refused("gen_point_in_3d_polygon: wrong order");
    }
    if (count < 3) {
        return gen_math_polygon_refused(
            "gen_point_in_3d_polygon: a polygon cant have less than 3 vertices");
    }
    const int u = kAxes[order][0], v = kAxes[order][1];
    const float pu = point[u], pv = point[v];
    bool inside = false;
    for (int i = 0, j = count - 1; i < count; j = i++) {
        const float *a = vertices[j], *b = vertices[i];
        if ((a[u] <= pu && pu < b[u]) || (b[u] <= pu && pu < a[u])) {
            const float crossing = a[v] + (pu - a[u]) * (b[v] - a[v]) / (b[u] - a[u]);
            if (crossing > pv || pv - crossing < kEdgeTolerance) {
                inside = !inside;
            }
        }
    }
    return inside;
}
