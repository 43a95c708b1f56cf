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

void sphere_face(const GEN_COLL_TRIANGLE &triangle, const Face &face) {
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
    if (point_in_face(face, triangle.plane, projected)) {
        contact(triangle, d, projected, kFull);
        return;
    }
    for (int e = 0; e < 3 && !query.stop; ++e) {
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

uint8_t run(GEN_WO2 *model, GEN_COLL_MAP *map) {
    last.hit = 0;
    num_contacts = 0;
    if (!GEN_CHECK(model, "gen_coll_wo2_model!=NULL") ||
        !GEN_CHECK(model->in_use, "gen_coll_wo2_model->in_use") ||
        !GEN_CHECK(map && map->inited && map->num_nodes, "gen_coll_map->inited")) {
        return 0;
    }
    query.stop = false;
    query.stale_map_reported = false;
    walk(model, map);
    return last.hit;
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
