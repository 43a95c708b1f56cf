// Collision queries against a WO2 model through its collision map: a
// sphere (the balls), a segment (the cameras' rays), a segment swept by a
// sphere (a thick ray) and a box. A query walks down the map's boxes, makes
// each triangle it reaches world-space once (the map keeps it), runs the
// exact test and keeps the nearest contact in one engine-wide record that
// the caller reads afterwards; on request it lists every contact too.
// Queries share that state: one at a time, from one thread.
#pragma once

#include "gen_coll_map.h"

#include <cstdint>
#include <vector>

struct GEN_WO2;

// Query flags.
enum : uint32_t {
    GEN_COLL_NEAREST = 0x01,         // go on after a contact: the record keeps the nearest
    GEN_COLL_LIST = 0x02,            // list every contact (and go on)
    GEN_COLL_TWO_SIDED = 0x04,       // a centre or start behind a triangle still tests it
    GEN_COLL_NO_SQUARED_DIST = 0x08, // sphere edge contacts report the squared distance
};

enum { GEN_COLL_MOST_CONTACTS = 300 };

// The last query's nearest contact.
struct GEN_COLL_INFO {
    uint8_t hit;
    float distance;
    float normal[3]; // of the triangle met
    float point[3];
    uint8_t collision_type;
};
static_assert(sizeof(GEN_COLL_INFO) == 36, "nine 4-byte fields");

// One listed contact: the triangle, its plane and the distance.
struct GEN_COLL_CONTACT {
    float vertices[3][3];
    float plane[4];
    float distance;
    uint32_t reserved[2];
};
static_assert(sizeof(GEN_COLL_CONTACT) == 64, "sixteen 4-byte words");

void gen_coll_set_flags(uint32_t flags);
uint32_t gen_coll_get_flags();
// A triangle takes part when its collision type (1 or 2) shares a bit with
// the mask; 0xFF at start.
void gen_coll_set_type_mask(uint8_t mask);
uint8_t gen_coll_get_type_mask();

uint8_t gen_coll_sphere_wo2(float x, float y, float z, float radius, GEN_WO2 *model,
                            GEN_COLL_MAP *map);
// A thick ray when the radius is not 0.
uint8_t gen_coll_ray_wo2(const float start[3], const float end[3], float radius, GEN_WO2 *model,
                         GEN_COLL_MAP *map);
uint8_t gen_coll_aabb_wo2(const float box_min[3], const float box_max[3], GEN_WO2 *model,
                          GEN_COLL_MAP *map);

void gen_coll_get_last_info(GEN_COLL_INFO *out);
// Copies the listed contacts to out (room for GEN_COLL_MOST_CONTACTS) and
// returns their number.
int gen_coll_get_list(GEN_COLL_CONTACT *out);

// A map's triangles laid out for many sphere queries of one radius (a
// rolling ball's, sub-step after sub-step, stroke after stroke): each
// triangle of the type mask in force with the centres for which the walk
// reaches its leaf and the answers of some of its tests worked out ahead,
// and a grid across the ground listing, for each cell, the triangles a
// sphere centred in it may meet, in the order the walk meets them. A query
// asks the triangles of its cell the walk's own tests with the same
// arithmetic, so it meets exactly what it meets in the whole map; those it
// passes over could not have passed the walk's box tests.
struct GEN_COLL_INDEX {
    struct Entry {
        // The centres for which the walk reaches the triangle's leaf and its
        // box test may pass (with room to spare): what the grid places it
        // by, and a first test that settles the first of those two.
        float pass_min[3], pass_max[3];
        const GEN_COLL_TRIANGLE *triangle; // the map's own
        uint32_t leaf;                     // the map's node
        // A centre farther than the radius from this box is farther from
        // every point of the triangle and of what the face test takes for
        // it (its tolerance and rounding are in the box).
        float near_min[3], near_max[3];
        // A point seen along the face's axis (u and v across it) outside
        // the triangle's box along u, or these bounds along v, is not in the face.
        uint8_t u, v;
        float face_v_low, face_v_high;
        // Each edge's box, with room for the rounding of its nearest point.
        float edge_min[3][3], edge_max[3][3];
    };
    const GEN_WO2 *model = nullptr;
    const GEN_COLL_MAP *map = nullptr; // none: the index answers nothing itself
    uint8_t type_mask = 0;
    float radius = 0;
    std::vector<Entry> entries; // in the walk's order
    // The grid over x and z: cell (i, k) lists cell_entries[cell_first[c]]
    // up to cell_first[c + 1], c = k * columns + i.
    float grid_min[2] = {}, cell_size = 1;
    int32_t columns = 0, rows = 0;
    std::vector<uint32_t> cell_first, cell_entries;
};

// Lays out the map for spheres of this radius under the type mask in
// force. The index points into the map: it is good while the map is. A
// map it cannot lay out (a stale one, or one far too large for the grid)
// leaves it answering nothing itself.
void gen_coll_index_build(GEN_COLL_INDEX *index, float radius, GEN_WO2 *model, GEN_COLL_MAP *map);
// gen_coll_sphere_wo2, answered from the index when it was laid out for
// this model, map, radius and type mask.
uint8_t gen_coll_sphere_indexed(float x, float y, float z, float radius, GEN_WO2 *model,
                                GEN_COLL_MAP *map, const GEN_COLL_INDEX *index);
