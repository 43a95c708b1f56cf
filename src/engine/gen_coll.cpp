#include "gen_coll.h"

#include "gen_coll_map.h"
#include "gen_info.h"
#include "gen_math.h"
#include "gen_wo2.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

namespace {

enum Kind { SPHERE = 1, RAY = 2, THICK_RAY = 3, BOX = 4 };

// A face as the tests take it: the cached triangle of a collision map.
struct Face {
    uint16_t num_vertices;
    const float (*vertices)[3];
};

struct Query {
    int kind = 0;
    float start[3] = {}, end[3] = {}; // the sphere's centre is the start
    float radius = 0;
    float direction[3] = {}, backwards[3] = {};
    float length = 0;
    float reciprocal[3] = {}; // 1 / (end − start) on each axis
    float box_min[3] = {}, box_max[3] = {};
    float sphere_min[3] = {}, sphere_max[3] = {}; // the sphere's box
    bool stop = false;
    bool stale_map_reported = false;
};

uint32_t flags = 0;
uint8_t type_mask = 0xFF;
GEN_COLL_INFO last{};
GEN_COLL_CONTACT contacts[GEN_COLL_MOST_CONTACTS];
int num_contacts = 0;
Query query;
// The walk's pending nodes: every node has one parent, so no more than
// the map's node count are ever waiting.
uint16_t pending[GEN_COLL_MOST_NODES];

void add_scaled(float out[3], const float a[3], const float b[3], float scale) {
    for (int i = 0; i < 3; ++i) {
        out[i] = a[i] + b[i] * scale;
    }
}

void subtract(float out[3], const float a[3], const float b[3]) {
    for (int i = 0; i < 3; ++i) {
        out[i] = a[i] - b[i];
    }
}

float distance_squared(const float a[3], const float b[3]) {
    float d[3];
    subtract(d, a, b);
    return gen_math_dot(d, d);
}

bool inside_box(const float p[3], const float lo[3], const float hi[3]) {
    for (int i = 0; i < 3; ++i) {
        if (p[i] < lo[i] || p[i] > hi[i]) {
            return false;
        }
    }
    return true;
}

bool boxes_overlap(const float a_min[3], const float a_max[3], const float b_min[3],
                   const float b_max[3]) {
    for (int i = 0; i < 3; ++i) {
        if (a_max[i] < b_min[i] || a_min[i] > b_max[i]) {
            return false;
        }
    }
    return true;
}

// Whether the query's segment meets the box: not when both ends lie beyond
// one face, yes when an end is inside, else when it crosses a face within
// the box's extent on the other two axes.
bool segment_meets_box(const float lo[3], const float hi[3]) {
    const float *s = query.start, *e = query.end;
    for (int i = 0; i < 3; ++i) {
        if ((s[i] < lo[i] && e[i] < lo[i]) || (s[i] > hi[i] && e[i] > hi[i])) {
            return false;
        }
    }
    if (inside_box(s, lo, hi) || inside_box(e, lo, hi)) {
        return true;
    }
    for (int axis = 0; axis < 3; ++axis) {
        if (s[axis] == e[axis]) {
            continue;
        }
        for (const float side : {lo[axis], hi[axis]}) {
            const bool between =
                (s[axis] < side && side < e[axis]) || (e[axis] < side && side < s[axis]);
            if (!between) {
                continue;
            }
            const float t = (side - s[axis]) * query.reciprocal[axis];
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            const float pu = s[u] + t * (e[u] - s[u]), pv = s[v] + t * (e[v] - s[v]);
            if (pu >= lo[u] && pu <= hi[u] && pv >= lo[v] && pv <= hi[v]) {
                return true;
            }
        }
    }
    return false;
}

void grow(const float lo[3], const float hi[3], float by, float out_lo[3], float out_hi[3]) {
    for (int i = 0; i < 3; ++i) {
        out_lo[i] = lo[i] - by;
        out_hi[i] = hi[i] + by;
    }
}

// Whether the query can reach anything inside the box.
bool query_meets_box(const float lo[3], const float hi[3]) {
    float grown_lo[3], grown_hi[3];
    switch (query.kind) {
    case SPHERE:
        grow(lo, hi, query.radius, grown_lo, grown_hi);
        return inside_box(query.start, grown_lo, grown_hi);
    case RAY:
        return segment_meets_box(lo, hi);
    case THICK_RAY:
        grow(lo, hi, query.radius, grown_lo, grown_hi);
        return segment_meets_box(grown_lo, grown_hi);
    case BOX:
        return boxes_overlap(lo, hi, query.box_min, query.box_max);
    default:
        gen_error("gen_coll_with_wo2_node: undefined collision type -> %i", query.kind);
        query.stop = true;
        return false;
    }
}

// Keeps the contact when it is the first or the nearest so far, lists it
// when asked, and says whether the search goes on.
void contact(const GEN_COLL_TRIANGLE &triangle, float distance, const float *point,
             const char *list_full_message) {
    if (!last.hit || distance < last.distance) {
        last.hit = 1;
        last.distance = distance;
        std::memcpy(last.normal, triangle.plane, sizeof last.normal);
        if (point) {
            std::memcpy(last.point, point, sizeof last.point);
        }
        last.collision_type = triangle.collision_type;
    }
    if (flags & GEN_COLL_LIST) {
        if (num_contacts == GEN_COLL_MOST_CONTACTS) {
            gen_error("%s", list_full_message);
            return;
        }
        GEN_COLL_CONTACT &listed = contacts[num_contacts++];
        std::memcpy(listed.vertices, triangle.vertices, sizeof listed.vertices);
        std::memcpy(listed.plane, triangle.plane, sizeof listed.plane);
        listed.distance = distance;
        listed.reserved[0] = listed.reserved[1] = 0;
        return;
    }
    query.stop = !(flags & GEN_COLL_NEAREST);
}

bool point_in_face(const Face &face, const float plane[4], const float point[3]) {
    return gen_point_in_3d_polygon(face.vertices, face.num_vertices, point,
                                   gen_math_projection_order(plane));
}

// What an index knows of a triangle settles some of the tests below
// without their arithmetic, and only where their answer is certain.
using Known = GEN_COLL_INDEX::Entry;

// Whether the point may be in the face: seen along the face's axis, the
// even-odd test crosses no edge, or two, of a point off to one side along u
// or far below or above along v; inside these bounds only the test tells.
bool maybe_in_face(const Known &known, const GEN_COLL_TRIANGLE &triangle, const float point[3]) {
    const float pu = point[known.u], pv = point[known.v];
    return pu >= triangle.box_min[known.u] && pu < triangle.box_max[known.u] &&
           pv >= known.face_v_low && pv <= known.face_v_high;
}

// How far the point lies beyond the box along one axis; 0 within it.
[[gnu::always_inline]] inline float gap_along(float lo, float hi, float p) {
    const float below = lo - p, above = p - hi;
    const float gap = below > above ? below : above;
    return gap > 0.0f ? gap : 0.0f;
}

// The squared distance from the point to the box.
[[gnu::always_inline]] inline float squared_gap(const float lo[3], const float hi[3],
                                                const float p[3]) {
    const float x = gap_along(lo[0], hi[0], p[0]), y = gap_along(lo[1], hi[1], p[1]),
                z = gap_along(lo[2], hi[2], p[2]);
    return x * x + y * y + z * z;
}

// A little more than the rounding of a sum of three squares.
constexpr float kSquaresSpare = 1.00001f;

// Whether a box surely lies at least the radius from the centre (rr is
// r * r, as the edge test squares it): then no point in it is met.
bool out_of_reach(const float lo[3], const float hi[3], const float centre[3], float rr) {
    return squared_gap(lo, hi, centre) > rr * kSquaresSpare;
}

// The squared distance beyond which the face test's projected point is
// surely out of reach: the projection (the centre less the plane's normal
// times its distance, both rounded) can land a little farther from the
// centre than that distance, by the rounding of the centre's coordinates.
float face_reach_squared(const float centre[3], float r) {
    const float largest =
        std::max({std::fabs(centre[0]), std::fabs(centre[1]), std::fabs(centre[2])});
    const float reach = r + 1e-6f * (1.0f + 2.0f * largest);
    return reach * reach * kSquaresSpare;
}

void sphere_face(const GEN_COLL_TRIANGLE &triangle, const Face &face,
                 const Known *known = nullptr) {
    constexpr char kFull[] = "gen_coll_sphere_face: collision list is way too big";
    if (face.num_vertices != 3) {
        gen_error("gen_coll_sphere_face: only faces with 3 vertices implemented");
        query.stop = true;
        return;
    }
    // The walk has seen the triangle's box meet the sphere's.
    const float *centre = query.start;
    const float r = query.radius;
    const float d = gen_math_plane_distance(triangle.plane, centre);
    const float nearest_side = flags & GEN_COLL_TWO_SIDED ? -r : 0.0f;
    if (d <= nearest_side || d >= r) {
        return;
    }
    float projected[3];
    add_scaled(projected, centre, triangle.plane, -d);
    if ((!known || maybe_in_face(*known, triangle, projected)) &&
        point_in_face(face, triangle.plane, projected)) {
        contact(triangle, d, projected, kFull);
        return;
    }
    for (int e = 0; e < 3 && !query.stop; ++e) {
        if (known && out_of_reach(known->edge_min[e], known->edge_max[e], centre, r * r)) {
            continue;
        }
        float nearest[3];
        gen_math_nearest_on_segment(nearest, face.vertices[e], face.vertices[(e + 1) % 3], centre);
        const float squared = distance_squared(nearest, centre);
        if (squared < r * r) {
            const float distance = flags & GEN_COLL_NO_SQUARED_DIST ? squared : std::sqrt(squared);
            contact(triangle, distance, nearest, kFull);
        }
    }
}

// Where the segment from a to b crosses the plane, as a fraction of the
// way; false when it does not (or starts behind it, unless two-sided).
bool segment_crosses_plane(const float plane[4], const float a[3], const float b[3], float *t) {
    const float d0 = gen_math_plane_distance(plane, a);
    const float d1 = gen_math_plane_distance(plane, b);
    if ((d0 < 0.0f && !(flags & GEN_COLL_TWO_SIDED)) || (d0 > 0.0f && d1 > 0.0f) ||
        (d0 < 0.0f && d1 < 0.0f)) {
        return false;
    }
    *t = d0 / (d0 - d1);
    if (*t < 0.0f || *t > 1.0f) {
        gen_error("gen_coll_ray_face: dist %f???", *t);
    }
    return true;
}

// The swept sphere meets a corner of the triangle: cast back from the
// corner against the sphere at the start.
bool vertex_contact(const float vertex[3], float *distance) {
    float t;
    if (!gen_math_ray_sphere(vertex, query.backwards, query.start, query.radius, &t) ||
        t >= query.length || (last.hit && last.distance <= t)) {
        return false;
    }
    *distance = t;
    return true;
}

// The point of the line through a and b nearest to p, and where it lies
// along the line: 0 at a, 1 at b.
float nearest_on_line(float out[3], const float a[3], const float b[3], const float p[3]) {
    float ab[3], ap[3];
    subtract(ab, b, a);
    subtract(ap, p, a);
    const float t = gen_math_dot(ap, ab) / gen_math_dot(ab, ab);
    add_scaled(out, a, ab, t);
    return t;
}

// The swept sphere meets the inside of the edge a–b. In the plane P1 that
// holds the edge and the sweep, the sphere is a circle sliding along the
// sweep; its point C nearest the edge's line is the one that meets it,
// where C's path crosses the plane P2 through the line facing the centre.
bool edge_contact(const float a[3], const float b[3], float *distance, float point[3]) {
    const float *start = query.start;
    const float r = query.radius;
    float edge[3], n1[3], p1[4];
    subtract(edge, b, a);
    if (gen_math_dot(edge, edge) == 0.0f) {
        return false;
    }
    gen_math_cross(n1, query.direction, edge);
    gen_math_normalize(n1);
    gen_math_plane_from_point_normal(p1, b, n1);
    const float h = gen_math_plane_distance(p1, start);
    if (std::fabs(h) > r) {
        return false;
    }
    float s1[3], q1[3], d[3];
    add_scaled(s1, start, n1, -h);
    nearest_on_line(q1, a, b, s1);
    subtract(d, s1, q1);
    gen_math_normalize(d);
    float t;
    if (!gen_math_ray_sphere(q1, d, start, r, &t)) {
        return false;
    }
    float c[3], n2[3], p2[4], c_end[3];
    add_scaled(c, q1, d, t);
    subtract(n2, start, c);
    gen_math_normalize(n2);
    gen_math_plane_from_point_normal(p2, q1, n2);
    add_scaled(c_end, c, query.direction, query.length);
    float t2;
    if (!segment_crosses_plane(p2, c, c_end, &t2)) {
        return false;
    }
    *distance = t2 * query.length;
    if (last.hit && last.distance <= *distance) {
        return false;
    }
    add_scaled(point, c, query.direction, *distance);
    // Where the sphere meets the line must be on the edge itself; past its
    // ends, a corner is met instead, or nothing.
    float on_line[3];
    const float along = nearest_on_line(on_line, a, b, point);
    return along > 0.0f && along < 1.0f;
}

// The thick ray's candidate point missed the triangle: the sphere may still
// meet one of its edges or corners. Each is tried, and the nearest kept: a
// sweep at a slant can meet an edge other than the one nearest to where
// its leading point crosses the plane.
void thick_ray_rim(const GEN_COLL_TRIANGLE &triangle, const Face &face,
                   const char *list_full_message) {
    bool met = false;
    float best = 0, best_point[3] = {};
    auto keep = [&](float distance, const float *point) {
        if (!met || distance < best) {
            met = true;
            best = distance;
            std::memcpy(best_point, point, sizeof best_point);
        }
    };
    for (int e = 0; e < 3; ++e) {
        float distance, point[3];
        if (vertex_contact(face.vertices[e], &distance)) {
            keep(distance, face.vertices[e]);
        }
        if (edge_contact(face.vertices[e], face.vertices[(e + 1) % 3], &distance, point)) {
            keep(distance, point);
        }
    }
    if (met) {
        contact(triangle, best, best_point, list_full_message);
    }
}

void ray_face(const GEN_COLL_TRIANGLE &triangle, const Face &face) {
    constexpr char kFull[] = "gen_coll_ray_face: collision list is way too big";
    if (face.num_vertices != 3) {
        gen_error("gen_coll_ray_face: only faces with 3 vertices implemented");
        query.stop = true;
        return;
    }
    const bool thick = query.kind == THICK_RAY;
    const float r = thick ? query.radius : 0.0f;
    float lo[3], hi[3];
    grow(triangle.box_min, triangle.box_max, r, lo, hi);
    if (!segment_meets_box(lo, hi)) {
        return;
    }
    float candidate[3], distance = 0;
    bool touching = false;
    if (thick) {
        const float d0 = gen_math_plane_distance(triangle.plane, query.start);
        if (-r < d0 && d0 < r) {
            add_scaled(candidate, query.start, triangle.plane, -d0);
            distance = d0;
            touching = true;
        }
    }
    if (!touching) {
        // The leading point of the sphere is the one that meets the plane.
        float start[3], end[3], t;
        add_scaled(start, query.start, triangle.plane, -r);
        add_scaled(end, query.end, triangle.plane, -r);
        if (!segment_crosses_plane(triangle.plane, start, end, &t)) {
            return;
        }
        distance = t * query.length;
        add_scaled(candidate, start, query.direction, distance);
    }
    if (point_in_face(face, triangle.plane, candidate)) {
        contact(triangle, distance, candidate, kFull);
    } else if (thick) {
        thick_ray_rim(triangle, face, kFull);
    }
}

void box_face(const GEN_COLL_TRIANGLE &triangle, const Face &face) {
    if (face.num_vertices != 3) {
        gen_error("gen_coll_aabb_face: only faces with 3 vertices implemented");
        query.stop = true;
        return;
    }
    if (boxes_overlap(triangle.box_min, triangle.box_max, query.box_min, query.box_max)) {
        contact(triangle, 0.0f, nullptr, "gen_coll_aabb_face: collision list is way too big");
    }
}

// Makes the triangle world-space the first time a query reaches it.
bool prepare(const GEN_WO2 *model, GEN_COLL_TRIANGLE &triangle) {
    if (triangle.cached) {
        return true;
    }
    if (!gen_coll_triangle_vertices(model, &triangle, triangle.vertices)) {
        if (!query.stale_map_reported) {
            gen_error("gen_coll_with_wo2: the collision map does not belong to model %s",
                      model->name ? model->name : "(unnamed)");
            query.stale_map_reported = true;
        }
        return false;
    }
    gen_math_plane_from_points(triangle.plane, triangle.vertices[0], triangle.vertices[1],
                               triangle.vertices[2]);
    for (int axis = 0; axis < 3; ++axis) {
        triangle.box_min[axis] = triangle.box_max[axis] = triangle.vertices[0][axis];
        for (int k = 1; k < 3; ++k) {
            triangle.box_min[axis] = std::min(triangle.box_min[axis], triangle.vertices[k][axis]);
            triangle.box_max[axis] = std::max(triangle.box_max[axis], triangle.vertices[k][axis]);
        }
    }
    triangle.face_vertices = 3;
    triangle.cached = 1;
    return true;
}

// The test of one triangle, chosen once per query rather than per triangle.
template <int kKind>
void test_triangle(const GEN_COLL_TRIANGLE &triangle, const Face &face) {
    if constexpr (kKind == SPHERE) {
        sphere_face(triangle, face);
    } else if constexpr (kKind == RAY || kKind == THICK_RAY) {
        ray_face(triangle, face);
    } else {
        box_face(triangle, face);
    }
}

// What the walk compares boxes with, copied out of the query so that it
// stays in registers while the tests write the engine-wide records.
struct Reach {
    float centre[3];
    float radius;
    float box_min[3], box_max[3]; // the sphere's
};

Reach reach_of_query() {
    Reach reach;
    std::memcpy(reach.centre, query.start, sizeof reach.centre);
    reach.radius = query.radius;
    std::memcpy(reach.box_min, query.sphere_min, sizeof reach.box_min);
    std::memcpy(reach.box_max, query.sphere_max, sizeof reach.box_max);
    return reach;
}

template <int kKind>
bool meets_box(const Reach &reach, const float lo[3], const float hi[3]) {
    if constexpr (kKind == SPHERE) {
        // The centre inside the box grown by the radius, spelled out.
        const float *p = reach.centre;
        const float r = reach.radius;
        return !(p[0] < lo[0] - r || p[0] > hi[0] + r || p[1] < lo[1] - r || p[1] > hi[1] + r ||
                 p[2] < lo[2] - r || p[2] > hi[2] + r);
    } else {
        return query_meets_box(lo, hi);
    }
}

// Whether the triangle's box misses the sphere's: the test that turns
// away most of a leaf, spelled out.
bool misses_sphere_box(const Reach &reach, const GEN_COLL_TRIANGLE &triangle) {
    const float *lo = reach.box_min, *hi = reach.box_max;
    return triangle.box_max[0] < lo[0] || triangle.box_min[0] > hi[0] ||
           triangle.box_max[1] < lo[1] || triangle.box_min[1] > hi[1] ||
           triangle.box_max[2] < lo[2] || triangle.box_min[2] > hi[2];
}

// The leaf's triangles in order, until a test asks to stop.
template <int kKind>
void with_leaf(const GEN_WO2 *model, const Reach &reach, GEN_COLL_NODE &node) {
    query.stop = false;
    const uint8_t mask = type_mask;
    GEN_COLL_TRIANGLE *const end = node.triangles + node.num_triangles;
    for (GEN_COLL_TRIANGLE *triangle = node.triangles; triangle != end; ++triangle) {
        if (!(triangle->collision_type & mask) ||
            (!triangle->cached && !prepare(model, *triangle))) {
            continue;
        }
        if constexpr (kKind == SPHERE) {
            if (misses_sphere_box(reach, *triangle)) {
                continue;
            }
        }
        test_triangle<kKind>(*triangle, Face{triangle->face_vertices, triangle->vertices});
        if (query.stop) {
            break;
        }
    }
}

// Down the tree from node 0, child A before child B; a leaf's loop ends
// when a test asks to stop, and the walk goes on to the other branches.
template <int kKind>
void walk_as(const GEN_WO2 *model, GEN_COLL_MAP *map) {
    const Reach reach = reach_of_query();
    int waiting = 0;
    pending[waiting++] = 0;
    while (waiting) {
        GEN_COLL_NODE &node = map->nodes[pending[--waiting]];
        if (!meets_box<kKind>(reach, node.box_min, node.box_max)) {
            continue;
        }
        if (node.num_triangles) {
            with_leaf<kKind>(model, reach, node);
            continue;
        }
        if (node.child_b) {
            pending[waiting++] = node.child_b;
        }
        if (node.child_a) {
            pending[waiting++] = node.child_a;
        }
    }
}

void walk(const GEN_WO2 *model, GEN_COLL_MAP *map) {
    switch (query.kind) {
    case SPHERE:
        grow(query.start, query.start, query.radius, query.sphere_min, query.sphere_max);
        walk_as<SPHERE>(model, map);
        break;
    case RAY:
        walk_as<RAY>(model, map);
        break;
    case THICK_RAY:
        walk_as<THICK_RAY>(model, map);
        break;
    case BOX:
        walk_as<BOX>(model, map);
        break;
    default:
        gen_error("gen_coll_with_wo2_node: undefined collision type -> %i", query.kind);
        query.stop = true;
    }
}

bool walkable(const GEN_WO2 *model, const GEN_COLL_MAP *map) {
    return GEN_CHECK(model, "gen_coll_wo2_model!=NULL") &&
           GEN_CHECK(model->in_use, "gen_coll_wo2_model->in_use") &&
           GEN_CHECK(map && map->inited && map->num_nodes, "gen_coll_map->inited");
}

// A query starts with nothing met, on a model and map that can be walked.
bool begin(const GEN_WO2 *model, const GEN_COLL_MAP *map) {
    last.hit = 0;
    num_contacts = 0;
    if (!walkable(model, map)) {
        return false;
    }
    query.stop = false;
    query.stale_map_reported = false;
    return true;
}

uint8_t run(GEN_WO2 *model, GEN_COLL_MAP *map) {
    if (!begin(model, map)) {
        return 0;
    }
    walk(model, map);
    return last.hit;
}

// ---- the index -------------------------------------------------------------------

// Room for the rounding of a point worked out from coordinates this large
// (a nearest point on an edge, an edge's crossing in the even-odd test, a
// centre less the radius): some thirty times what a few operations can be
// off by.
float rounding_room(float a, float b, float c) {
    return 1e-5f * (1.0f + std::max({std::fabs(a), std::fabs(b), std::fabs(c)}));
}

// The bounds of the face seen along its axis, the edges' boxes, and the
// triangle's box with room for what the face test takes in: a point within
// its tolerance below an edge seen along the axis, which may lie that much
// (times the plane's slope, at most 1) outside the box along the third.
void know_ahead(const GEN_COLL_TRIANGLE &triangle, Known *entry) {
    const float(*v)[3] = triangle.vertices;
    const int order = gen_math_projection_order(triangle.plane);
    const int u = GEN_PROJECTION_AXES[order][0], w = GEN_PROJECTION_AXES[order][1];
    entry->u = static_cast<uint8_t>(u);
    entry->v = static_cast<uint8_t>(w);
    const float room = rounding_room(v[0][w], v[1][w], v[2][w]);
    entry->face_v_low = triangle.box_min[w] - room;
    entry->face_v_high = triangle.box_max[w] + GEN_POLYGON_EDGE_TOLERANCE + room;
    for (int i = 0; i < 3; ++i) {
        const float around = 2.0f * GEN_POLYGON_EDGE_TOLERANCE +
                             rounding_room(triangle.box_min[i], triangle.box_max[i], 0.0f);
        entry->near_min[i] = triangle.box_min[i] - around;
        entry->near_max[i] = triangle.box_max[i] + around;
    }
    for (int e = 0; e < 3; ++e) {
        const float *a = v[e], *b = v[(e + 1) % 3];
        for (int i = 0; i < 3; ++i) {
            const float edge_room = rounding_room(a[i], b[i], 0.0f);
            entry->edge_min[e][i] = std::min(a[i], b[i]) - edge_room;
            entry->edge_max[e][i] = std::max(a[i], b[i]) + edge_room;
        }
    }
}

// A node waiting on the stack of the layout, with the centres for which
// the sphere walk passes every node above it and itself: meets_box's test
// of each, p >= lo - r and p <= hi + r, with its own rounding.
struct LayoutFrame {
    uint16_t index;
    float reach_min[3], reach_max[3];
};

// The leaf's triangles of the type mask that some centre can meet, in
// order; false when one of them cannot be made world-space.
bool lay_out_leaf(GEN_COLL_INDEX *index, const GEN_WO2 *model, GEN_COLL_NODE &node,
                  const LayoutFrame &frame) {
    const float r = index->radius;
    GEN_COLL_TRIANGLE *const end = node.triangles + node.num_triangles;
    for (GEN_COLL_TRIANGLE *triangle = node.triangles; triangle != end; ++triangle) {
        if (!(triangle->collision_type & type_mask)) {
            continue;
        }
        if (!triangle->cached && !prepare(model, *triangle)) {
            return false;
        }
        // misses_sphere_box passes over it unless the centre is within r
        // of its box: a little more, for the rounding of p - r and p + r.
        Known entry;
        bool possible = true, finite = true;
        for (int i = 0; i < 3; ++i) {
            const float room = r + rounding_room(triangle->box_min[i], triangle->box_max[i], r);
            entry.pass_min[i] = std::max(frame.reach_min[i], triangle->box_min[i] - room);
            entry.pass_max[i] = std::min(frame.reach_max[i], triangle->box_max[i] + room);
            possible = possible && entry.pass_min[i] <= entry.pass_max[i];
            finite = finite && std::isfinite(triangle->box_min[i]) &&
                     std::isfinite(triangle->box_max[i]) && std::isfinite(entry.pass_min[i]) &&
                     std::isfinite(entry.pass_max[i]);
        }
        if (!finite) {
            return false; // a damaged model's: the map is walked as it is
        }
        if (!possible) {
            continue;
        }
        entry.triangle = triangle;
        entry.leaf = frame.index;
        know_ahead(*triangle, &entry);
        index->entries.push_back(entry);
    }
    return true;
}

// Down the map from node 0 in the walk's order (child A before child B),
// past the nodes that no centre passes.
bool lay_out(GEN_COLL_INDEX *index, const GEN_WO2 *model, GEN_COLL_MAP *map) {
    const float r = index->radius;
    std::vector<LayoutFrame> waiting;
    LayoutFrame root{};
    for (int i = 0; i < 3; ++i) {
        root.reach_min[i] = -INFINITY;
        root.reach_max[i] = INFINITY;
    }
    waiting.push_back(root);
    while (!waiting.empty()) {
        LayoutFrame frame = waiting.back();
        waiting.pop_back();
        GEN_COLL_NODE &node = map->nodes[frame.index];
        bool reached = true;
        for (int i = 0; i < 3; ++i) {
            frame.reach_min[i] = std::max(frame.reach_min[i], node.box_min[i] - r);
            frame.reach_max[i] = std::min(frame.reach_max[i], node.box_max[i] + r);
            reached = reached && frame.reach_min[i] <= frame.reach_max[i];
        }
        if (!reached) {
            continue;
        }
        if (node.num_triangles) {
            if (!lay_out_leaf(index, model, node, frame)) {
                return false;
            }
            continue;
        }
        if (node.child_b) {
            frame.index = node.child_b;
            waiting.push_back(frame);
        }
        if (node.child_a) {
            frame.index = node.child_a;
            waiting.push_back(frame);
        }
    }
    return true;
}

constexpr float kSmallestCell = 0.125f; // units: a few triangles of a fairway's grid to a cell
constexpr int64_t kMostCells = 1 << 20;
constexpr int64_t kMostListed = 1 << 24;

// The cells an entry's passing centres cover along one axis of the grid.
void cell_span(const GEN_COLL_INDEX &index, const Known &entry, int axis, int cells, int *first,
               int *last) {
    const int along = axis == 0 ? 0 : 2;
    const auto cell = [&](float at) {
        const float steps = std::floor((at - index.grid_min[axis]) / index.cell_size);
        return static_cast<int>(std::clamp(steps, 0.0f, static_cast<float>(cells - 1)));
    };
    // The room covers a centre that a query's rounding puts in the next cell.
    const float room = rounding_room(entry.pass_min[along], entry.pass_max[along], 0.0f);
    *first = cell(entry.pass_min[along] - room);
    *last = cell(entry.pass_max[along] + room);
}

// The grid over the ground the entries cover, each cell listing them in
// order; false when it would be too large.
bool lay_out_grid(GEN_COLL_INDEX *index) {
    if (index->entries.empty()) {
        return true;
    }
    float lo[2] = {INFINITY, INFINITY}, hi[2] = {-INFINITY, -INFINITY};
    for (const Known &entry : index->entries) {
        for (int axis = 0; axis < 2; ++axis) {
            lo[axis] = std::min(lo[axis], entry.pass_min[axis * 2]);
            hi[axis] = std::max(hi[axis], entry.pass_max[axis * 2]);
        }
    }
    if (!std::isfinite(lo[0]) || !std::isfinite(lo[1]) || !std::isfinite(hi[0]) ||
        !std::isfinite(hi[1])) {
        return false;
    }
    const float extent = std::max(hi[0] - lo[0], hi[1] - lo[1]);
    index->cell_size = std::max(kSmallestCell, extent / 1000.0f);
    index->grid_min[0] = lo[0];
    index->grid_min[1] = lo[1];
    index->columns = static_cast<int32_t>((hi[0] - lo[0]) / index->cell_size) + 1;
    index->rows = static_cast<int32_t>((hi[1] - lo[1]) / index->cell_size) + 1;
    const int64_t cells = int64_t{index->columns} * index->rows;
    if (cells > kMostCells) {
        return false;
    }
    index->cell_first.assign(static_cast<size_t>(cells) + 1, 0);
    int64_t listed = 0;
    for (const Known &entry : index->entries) {
        int i0, i1, k0, k1;
        cell_span(*index, entry, 0, index->columns, &i0, &i1);
        cell_span(*index, entry, 1, index->rows, &k0, &k1);
        for (int k = k0; k <= k1; ++k) {
            for (int i = i0; i <= i1; ++i) {
                ++index->cell_first[static_cast<size_t>(k) * index->columns + i + 1];
            }
        }
        listed += int64_t{i1 - i0 + 1} * (k1 - k0 + 1);
        if (listed > kMostListed) {
            return false;
        }
    }
    for (size_t c = 1; c < index->cell_first.size(); ++c) {
        index->cell_first[c] += index->cell_first[c - 1];
    }
    index->cell_entries.resize(static_cast<size_t>(listed));
    std::vector<uint32_t> filled(index->cell_first.begin(), index->cell_first.end() - 1);
    for (uint32_t e = 0; e < index->entries.size(); ++e) {
        int i0, i1, k0, k1;
        cell_span(*index, index->entries[e], 0, index->columns, &i0, &i1);
        cell_span(*index, index->entries[e], 1, index->rows, &k0, &k1);
        for (int k = k0; k <= k1; ++k) {
            for (int i = i0; i <= i1; ++i) {
                index->cell_entries[filled[static_cast<size_t>(k) * index->columns + i]++] = e;
            }
        }
    }
    return true;
}

// The cell of a centre, or -1 outside the grid (where nothing is met).
int64_t cell_of(const GEN_COLL_INDEX &index, const float p[3]) {
    const float across = (p[0] - index.grid_min[0]) / index.cell_size;
    const float down = (p[2] - index.grid_min[1]) / index.cell_size;
    if (!(across >= 0.0f && down >= 0.0f && across < static_cast<float>(index.columns) &&
          down < static_cast<float>(index.rows))) {
        return -1;
    }
    return int64_t{static_cast<int32_t>(down)} * index.columns + static_cast<int32_t>(across);
}

// The sphere walk of walk_as over the triangles of the centre's cell: the
// same tests of the same triangles in the same order, a leaf's loop ending
// when a test asks to stop.
void walk_index(const GEN_COLL_INDEX &index) {
    const Reach reach = reach_of_query();
    const float *p = reach.centre;
    const int64_t cell = cell_of(index, p);
    if (cell < 0) {
        return;
    }
    const float face_reach = face_reach_squared(p, query.radius);
    const uint32_t *listed = index.cell_entries.data() + index.cell_first[cell];
    const uint32_t *const end = index.cell_entries.data() + index.cell_first[cell + 1];
    uint32_t leaf = UINT32_MAX;
    for (; listed != end; ++listed) {
        const Known &entry = index.entries[*listed];
        if (p[0] < entry.pass_min[0] || p[0] > entry.pass_max[0] || p[2] < entry.pass_min[2] ||
            p[2] > entry.pass_max[2] || p[1] < entry.pass_min[1] || p[1] > entry.pass_max[1]) {
            continue;
        }
        if (entry.leaf != leaf) {
            leaf = entry.leaf;
            query.stop = false;
        } else if (query.stop) {
            continue;
        }
        // The passing centres lie within those the walk reaches the leaf
        // for: that test is passed too.
        const GEN_COLL_TRIANGLE &triangle = *entry.triangle;
        if (misses_sphere_box(reach, triangle)) {
            continue;
        }
        // Out of reach of the whole triangle, sphere_face meets nothing.
        if (triangle.face_vertices == 3 &&
            squared_gap(entry.near_min, entry.near_max, p) > face_reach) {
            continue;
        }
        sphere_face(triangle, Face{triangle.face_vertices, triangle.vertices}, &entry);
    }
}

} // namespace

void gen_coll_set_flags(uint32_t new_flags) {
    flags = new_flags;
}

uint32_t gen_coll_get_flags() {
    return flags;
}

void gen_coll_set_type_mask(uint8_t mask) {
    type_mask = mask;
}

uint8_t gen_coll_get_type_mask() {
    return type_mask;
}

uint8_t gen_coll_sphere_wo2(float x, float y, float z, float radius, GEN_WO2 *model,
                            GEN_COLL_MAP *map) {
    query.kind = SPHERE;
    query.start[0] = x;
    query.start[1] = y;
    query.start[2] = z;
    query.radius = radius;
    return run(model, map);
}

void gen_coll_index_build(GEN_COLL_INDEX *index, float radius, GEN_WO2 *model, GEN_COLL_MAP *map) {
    index->model = model;
    index->map = nullptr;
    index->type_mask = type_mask;
    index->radius = radius;
    index->entries.clear();
    index->cell_first.clear();
    index->cell_entries.clear();
    index->columns = index->rows = 0;
    if (!walkable(model, map) || !std::isfinite(radius) || radius < 0.0f) {
        return;
    }
    query.stale_map_reported = false;
    if (lay_out(index, model, map) && lay_out_grid(index)) {
        index->map = map;
    } else {
        index->entries.clear();
    }
}

uint8_t gen_coll_sphere_indexed(float x, float y, float z, float radius, GEN_WO2 *model,
                                GEN_COLL_MAP *map, const GEN_COLL_INDEX *index) {
    // A centre that is not a number goes the whole way, as it would.
    if (!index || !index->map || index->map != map || index->model != model ||
        index->type_mask != type_mask || index->radius != radius || !std::isfinite(x) ||
        !std::isfinite(y) || !std::isfinite(z)) {
        return gen_coll_sphere_wo2(x, y, z, radius, model, map);
    }
    query.kind = SPHERE;
    query.start[0] = x;
    query.start[1] = y;
    query.start[2] = z;
    query.radius = radius;
    if (!begin(model, map)) {
        return 0;
    }
    grow(query.start, query.start, query.radius, query.sphere_min, query.sphere_max);
    walk_index(*index);
    return last.hit;
}

uint8_t gen_coll_ray_wo2(const float start[3], const float end[3], float radius, GEN_WO2 *model,
                         GEN_COLL_MAP *map) {
    if (flags & GEN_COLL_NO_SQUARED_DIST) {
        gen_error("gen_coll_ray_wo2: GEN_COLL_NO_SQUARED_DIST not implemented yet");
        return 0;
    }
    if (start[0] == end[0] && start[1] == end[1] && start[2] == end[2]) {
        gen_error("gen_coll_ray_wbo: start and end points are the same");
        return 0;
    }
    query.kind = radius != 0.0f ? THICK_RAY : RAY;
    query.radius = radius;
    std::memcpy(query.start, start, sizeof query.start);
    std::memcpy(query.end, end, sizeof query.end);
    GEN_LINE line;
    gen_math_line_from_points(&line, start, end);
    query.length = line.length;
    for (int i = 0; i < 3; ++i) {
        query.direction[i] = line.direction[i];
        query.backwards[i] = -line.direction[i];
        query.reciprocal[i] = 1.0f / (end[i] - start[i]);
    }
    return run(model, map);
}

uint8_t gen_coll_aabb_wo2(const float box_min[3], const float box_max[3], GEN_WO2 *model,
                          GEN_COLL_MAP *map) {
    if (flags & GEN_COLL_NO_SQUARED_DIST) {
        gen_error("gen_coll_aabb_wo2: GEN_COLL_NO_SQUARED_DIST not implemented yet");
        return 0;
    }
    query.kind = BOX;
    std::memcpy(query.box_min, box_min, sizeof query.box_min);
    std::memcpy(query.box_max, box_max, sizeof query.box_max);
    return run(model, map);
}

void gen_coll_get_last_info(GEN_COLL_INFO *out) {
    if (!out) {
        gen_error("gen_coll_get_last_info: NULL pointer");
        return;
    }
    *out = last;
}

int gen_coll_get_list(GEN_COLL_CONTACT *out) {
    if (out) {
        std::memcpy(out, contacts, sizeof(GEN_COLL_CONTACT) * num_contacts);
    }
    return num_contacts;
}
