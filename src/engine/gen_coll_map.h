// Collision maps: a binary tree of boxes over every collidable triangle of
// a WO2 model, in world space, so that a collision query touches only the
// triangles near it. A map is built once, by halving the longest side of
// the box until few enough triangles are left, saved beside the model and
// loaded on later runs while the model's header is unchanged.
//
// The map file, little-endian and packed: the type "MC", the version, the
// checksum of the model's header, the 24-byte map record, the 37-byte
// nodes, then the 72-byte triangles of every leaf in node order.
#pragma once

#include <cstdint>

struct GEN_WO2;

enum : uint16_t { GEN_COLL_MAP_FILE_TYPE = 0x434D };
enum : uint32_t { GEN_COLL_MAP_VERSION = 0x100 };
enum {
    GEN_COLL_MAP_FILE_HEADER_BYTES = 10,
    GEN_COLL_MAP_RECORD_BYTES = 24,
    GEN_COLL_NODE_BYTES = 37,
    GEN_COLL_TRIANGLE_BYTES = 72,
    GEN_COLL_MOST_NODES = 65536, // child numbers are 16 bits
};

// One collidable triangle: where the model keeps it, and the world-space
// copy of it the queries make at their first touch and reuse after.
struct GEN_COLL_TRIANGLE {
    float vertices[3][3]; // cached
    float plane[4];       // cached
    uint16_t reference;   // its matrix places the triangle
    // 1 for the odd triangles of a strip, which run the other way round:
    // their vertices are taken 0, 2, 1 to face the way the strip does.
    uint16_t strip_odd;
    uint32_t vertex_offset; // of three consecutive vertices in the vertex block
    uint8_t cached;
    uint8_t collision_type;
    uint16_t face_vertices; // of the cached face: 3
    // Not in the file: the cached vertices' box, so that a query can pass
    // over a triangle with six comparisons.
    float box_min[3], box_max[3];
};

struct GEN_COLL_NODE {
    uint16_t child_a, child_b; // 0: none
    float box_min[3], box_max[3];
    uint32_t num_triangles; // 0 for inner nodes
    GEN_COLL_TRIANGLE *triangles;
};

struct GEN_COLL_MAP {
    uint8_t inited;
    uint32_t max_triangles_per_node;
    uint32_t max_depth;
    uint32_t num_nodes;
    uint32_t num_allocated_nodes;
    GEN_COLL_NODE *nodes; // node 0 is the root
};

// Loads the map from the file when it opens, is sound and belongs to this
// model (its checksum is the model's); otherwise builds it and saves it.
void gen_wo2_coll_map_create(GEN_WO2 *model, GEN_COLL_MAP *map, uint32_t max_triangles_per_node,
                             uint32_t max_depth, const char *file_name);
void gen_wo2_coll_map_build(GEN_WO2 *model, GEN_COLL_MAP *map, uint32_t max_triangles_per_node,
                            uint32_t max_depth);
int gen_wo2_coll_map_save(const GEN_WO2 *model, const GEN_COLL_MAP *map, const char *file_name);
int gen_wo2_coll_map_load(GEN_COLL_MAP *map, const char *file_name);
// Whether the map holds exactly the model's collidable triangles: a map
// made for another model, or damaged, must not be queried against this one.
bool gen_wo2_coll_map_fits(const GEN_WO2 *model, const GEN_COLL_MAP *map);
void gen_wo2_coll_map_free(GEN_COLL_MAP *map);
// Every node's box as a white wire box, for debugging.
void gen_wo2_coll_map_draw(const GEN_WO2 *model, const GEN_COLL_MAP *map);

// The sum over the 70 bytes of the model's header, as the file stores them,
// of each byte times its place.
uint32_t gen_wo2_header_checksum(const GEN_WO2 *model);
// The triangle's three vertices in world space, in the order that faces it
// the way the model does; false when the map's numbers lie outside the model.
bool gen_coll_triangle_vertices(const GEN_WO2 *model, const GEN_COLL_TRIANGLE *triangle,
                                float out[3][3]);
