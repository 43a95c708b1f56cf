// Collision queries against a WO2 model through its collision map: a
// sphere (the balls), a segment (the cameras' rays), a segment swept by a
// sphere (a thick ray) and a box. A query walks down the map's boxes, makes
// each triangle it reaches world-space once (the map keeps it), runs the
// exact test and keeps the nearest contact in one engine-wide record that
// the caller reads afterwards; on request it lists every contact too.
// Queries share that state: one at a time, from one thread.
#pragma once

#include <cstdint>

struct GEN_WO2;
struct GEN_COLL_MAP;

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
