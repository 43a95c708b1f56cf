#include "gen_coll_map.h"

#include "gen_info.h"
#include "gen_wo2.h"
#include "xv.h"
#include "xv_bytes.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kNodeGrowth = 50;
// Halving a box more often than this reaches the resolution of its floats.
constexpr uint32_t kDeepest = 64;
constexpr size_t kLargestFile = size_t{1} << 28;
constexpr float kEmptyBoxMin = 1000000.0f;
constexpr char kStars[] = "**********************************************\n";
constexpr char kDashes[] = "----------------------------------------=====================\n";

// ---- building -----------------------------------------------------------------------

// The build's working set: every collidable triangle once, with its
// world-space vertices, and beside it what the splits read over and over
// (its centroid and box), so that a split walks small records. A node is a
// range of the order array; a split partitions its range stably, so every
// leaf keeps its triangles in the order the model lists them.
struct Bounds {
    float centroid[3];
    float box_min[3], box_max[3];
};

struct Builder {
    GEN_COLL_MAP *map = nullptr;
    GEN_COLL_TRIANGLE *triangles = nullptr;
    Bounds *bounds = nullptr;
    uint32_t *order = nullptr;
    uint32_t *upper = nullptr; // where a split parks its upper half
    uint32_t count = 0;
    bool failed = false;

    Builder() = default;
    Builder(const Builder &) = delete;
    Builder &operator=(const Builder &) = delete;
    ~Builder() {
        for (void *block : {static_cast<void *>(triangles), static_cast<void *>(bounds),
                            static_cast<void *>(order)}) {
            if (block) {
                xv_mem_free(block);
            }
        }
    }
};

// The triangles of one node: order[begin, end), inside the box the splits
// above it left (not a tight one).
struct Range {
    uint32_t begin, end;
    uint16_t depth;
    float box_min[3], box_max[3];
};

void transform(const float m[16], const float in[3], float out[3]) {
    for (int i = 0; i < 3; ++i) {
        out[i] = m[i] * in[0] + m[4 + i] * in[1] + m[8 + i] * in[2] + m[12 + i];
    }
}

void tight_box(const Builder &builder, uint32_t begin, uint32_t end, float box_min[3],
               float box_max[3]) {
    for (int axis = 0; axis < 3; ++axis) {
        box_min[axis] = kEmptyBoxMin;
        box_max[axis] = -kEmptyBoxMin;
    }
    for (uint32_t i = begin; i < end; ++i) {
        const Bounds &b = builder.bounds[builder.order[i]];
        for (int axis = 0; axis < 3; ++axis) {
            box_min[axis] = std::min(box_min[axis], b.box_min[axis]);
            box_max[axis] = std::max(box_max[axis], b.box_max[axis]);
        }
    }
}

// Every collidable triangle of the model as the map records it (its
// reference, first vertex, strip parity and collision type), in the order
// the map is built from; `visit` returns false to stop the walk.
template <typename Visit>
bool for_each_collidable_triangle(const GEN_WO2 *model, Visit visit) {
    for (uint16_t r = 0; r < model->header.num_references; ++r) {
        const GEN_WO2_REFERENCE &reference = model->references[r];
        if (reference.flags & GEN_WO2_REF_NO_COLLISION) {
            continue;
        }
        const GEN_WO2_INTERNAL_REFERENCE &object =
            model->internal_references[reference.internal_reference];
        for (int g = 0; g < object.num_material_groups; ++g) {
            const GEN_WO2_MATERIAL_GROUP &group = object.material_groups[g];
            for (int f = 0; f < group.num_face_groups; ++f) {
                const GEN_WO2_FACE_GROUP &face = group.face_groups[f];
                const bool strip = face.properties & GEN_WO2_STRIP;
                const uint32_t triangles =
                    strip ? (face.num_vertices >= 2 ? face.num_vertices - 2u : 0u)
                          : face.num_vertices / 3u;
                for (uint32_t k = 0; k < triangles; ++k) {
                    GEN_COLL_TRIANGLE triangle{};
                    triangle.reference = r;
                    triangle.vertex_offset = face.positions + (strip ? 16 : 48) * k;
                    triangle.strip_odd = strip ? k % 2 : 0;
                    triangle.collision_type = reference.collision_type;
                    if (!visit(triangle)) {
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

template <typename T>
T *build_block(size_t count) {
    auto *block = static_cast<T *>(xv_mem_malloc(std::max<size_t>(count, 1) * sizeof(T)));
    if (!block) {
        gen_mem_failed(__FILE__, __LINE__, "gen_node_triangles");
        return nullptr;
    }
    xv_mem_set_name(block, "gen_node_triangles");
    return block;
}

float centroid(const GEN_COLL_TRIANGLE &triangle, int axis) {
    return (triangle.vertices[0][axis] + triangle.vertices[1][axis] + triangle.vertices[2][axis]) /
           3.0f;
}

Bounds bounds_of(const GEN_COLL_TRIANGLE &triangle) {
    Bounds b;
    for (int axis = 0; axis < 3; ++axis) {
        b.centroid[axis] = centroid(triangle, axis);
        b.box_min[axis] = b.box_max[axis] = triangle.vertices[0][axis];
        for (int k = 1; k < 3; ++k) {
            b.box_min[axis] = std::min(b.box_min[axis], triangle.vertices[k][axis]);
            b.box_max[axis] = std::max(b.box_max[axis], triangle.vertices[k][axis]);
        }
    }
    return b;
}

// Counts the triangles first, so that each array is allocated once.
bool gather(const GEN_WO2 *model, Builder &builder) {
    uint32_t count = 0;
    for_each_collidable_triangle(model, [&](const GEN_COLL_TRIANGLE &) {
        ++count;
        return true;
    });
    builder.triangles = build_block<GEN_COLL_TRIANGLE>(count);
    builder.bounds = build_block<Bounds>(count);
    builder.order = build_block<uint32_t>(2 * size_t{count});
    if (!builder.triangles || !builder.bounds || !builder.order) {
        return false;
    }
    builder.upper = builder.order + count;
    return for_each_collidable_triangle(model, [&](GEN_COLL_TRIANGLE triangle) {
        if (!gen_coll_triangle_vertices(model, &triangle, triangle.vertices)) {
            gen_error("gen_wo2_coll_map_build: reference %i has a triangle outside the vertex "
                      "block",
                      triangle.reference);
            return false;
        }
        builder.triangles[builder.count] = triangle;
        builder.bounds[builder.count] = bounds_of(triangle);
        builder.order[builder.count] = builder.count;
        ++builder.count;
        return true;
    });
}

// What tells one collidable triangle of a model from another.
uint64_t triangle_key(const GEN_COLL_TRIANGLE &triangle) {
    return uint64_t{triangle.reference} << 40 | uint64_t{triangle.vertex_offset} << 8 |
           (triangle.strip_odd & 1u) << 4 | (triangle.collision_type & 0xFu);
}

// The node array grows by 50 records; a number that no longer fits a
// child's 16 bits is refused.
int32_t append_node(Builder &builder) {
    GEN_COLL_MAP *map = builder.map;
    if (map->num_nodes == GEN_COLL_MOST_NODES) {
        return -1;
    }
    if (map->num_nodes == map->num_allocated_nodes) {
        const uint32_t grown_count = map->num_allocated_nodes + kNodeGrowth;
        void *grown = xv_mem_realloc(map->nodes, grown_count * sizeof(GEN_COLL_NODE));
        if (!grown) {
            gen_mem_failed(__FILE__, __LINE__, "gen_node_triangles");
            builder.failed = true;
            return -1;
        }
        map->nodes = static_cast<GEN_COLL_NODE *>(grown);
        xv_mem_set_name(map->nodes, "gen_node_triangles");
        map->num_allocated_nodes = grown_count;
    }
    map->nodes[map->num_nodes] = GEN_COLL_NODE{};
    return static_cast<int32_t>(map->num_nodes++);
}

int longest_axis(const float box_min[3], const float box_max[3]) {
    const float x = box_max[0] - box_min[0], y = box_max[1] - box_min[1],
                z = box_max[2] - box_min[2];
    int axis = 0;
    float longest = x;
    if (y > longest) {
        axis = 1;
        longest = y;
    }
    if (z > longest) {
        axis = 2;
    }
    return axis;
}

void make_leaf(Builder &builder, uint32_t index, const Range &range) {
    GEN_COLL_NODE &node = builder.map->nodes[index];
    tight_box(builder, range.begin, range.end, node.box_min, node.box_max);
    const uint32_t count = range.end - range.begin;
    node.num_triangles = count;
    if (!count) {
        return;
    }
    auto *triangles =
        static_cast<GEN_COLL_TRIANGLE *>(xv_mem_malloc(count * sizeof(GEN_COLL_TRIANGLE)));
    node.triangles = triangles;
    if (!GEN_CHECK(triangles, "coll_map->nodes [num_node].triangles!=NULL")) {
        node.num_triangles = 0;
        builder.failed = true;
        return;
    }
    xv_mem_set_name(triangles, "kkkl");
    // The world-space copies were the build's own: a fresh map's caches are
    // empty until the first query fills them.
    for (uint32_t t = 0; t < count; ++t) {
        triangles[t] = builder.triangles[builder.order[range.begin + t]];
        std::memset(triangles[t].vertices, 0, sizeof triangles[t].vertices);
    }
}

int32_t build_node(Builder &builder, const Range &range);

// Halves the box across its longest side. A triangle goes to the lower half
// when its centroid lies below the split value: one on the split goes to
// the upper half.
void split_node(Builder &builder, uint32_t index, const Range &range) {
    const int axis = longest_axis(range.box_min, range.box_max);
    const float split = range.box_min[axis] + 0.5f * (range.box_max[axis] - range.box_min[axis]);
    uint32_t lower = range.begin, upper = 0;
    for (uint32_t i = range.begin; i < range.end; ++i) {
        const uint32_t t = builder.order[i];
        if (builder.bounds[t].centroid[axis] < split) {
            builder.order[lower++] = t;
        } else {
            builder.upper[upper++] = t;
        }
    }
    std::memcpy(builder.order + lower, builder.upper, upper * sizeof *builder.upper);
    Range halves[2];
    for (Range &half : halves) {
        half.depth = static_cast<uint16_t>(range.depth + 1);
        std::memcpy(half.box_min, range.box_min, sizeof range.box_min);
        std::memcpy(half.box_max, range.box_max, sizeof range.box_max);
    }
    halves[0].begin = range.begin;
    halves[0].end = halves[1].begin = lower;
    halves[1].end = range.end;
    halves[0].box_max[axis] = split;
    halves[1].box_min[axis] = split;
    for (int h = 0; h < 2 && !builder.failed; ++h) {
        if (halves[h].begin == halves[h].end) {
            continue;
        }
        const int32_t child = build_node(builder, halves[h]);
        if (child > 0) {
            (h ? builder.map->nodes[index].child_b : builder.map->nodes[index].child_a) =
                static_cast<uint16_t>(child);
        }
    }
    GEN_COLL_NODE &node = builder.map->nodes[index];
    tight_box(builder, range.begin, range.end, node.box_min, node.box_max);
}

// Returns the node's number, or -1 when it could not be made.
int32_t build_node(Builder &builder, const Range &range) {
    const int32_t index = append_node(builder);
    if (index < 0) {
        return -1;
    }
    const GEN_COLL_MAP *map = builder.map;
    // A leaf also when two more nodes would not fit: its triangles stay
    // together rather than being lost.
    const bool room = map->num_nodes + 2 <= GEN_COLL_MOST_NODES;
    if (range.end - range.begin > map->max_triangles_per_node && range.depth < map->max_depth &&
        room) {
        split_node(builder, static_cast<uint32_t>(index), range);
    } else {
        make_leaf(builder, static_cast<uint32_t>(index), range);
    }
    return index;
}

// ---- the file -------------------------------------------------------------------------

void put_f32s(uint8_t *at, const float *values, int count) {
    for (int i = 0; i < count; ++i) {
        xv_put_le_f32(at + 4 * i, values[i]);
    }
}

void get_f32s(const uint8_t *at, float *values, int count) {
    for (int i = 0; i < count; ++i) {
        values[i] = xv_le_f32(at + 4 * i);
    }
}

// Addresses are meaningless in a file and written as 0.
void put_record(uint8_t *at, const GEN_COLL_MAP *map) {
    std::memset(at, 0, GEN_COLL_MAP_RECORD_BYTES);
    at[0] = map->inited;
    xv_put_le32(at + 4, map->max_triangles_per_node);
    xv_put_le32(at + 8, map->max_depth);
    xv_put_le32(at + 12, map->num_nodes);
    xv_put_le32(at + 16, map->num_allocated_nodes);
}

void put_node(uint8_t *at, const GEN_COLL_NODE &node) {
    std::memset(at, 0, GEN_COLL_NODE_BYTES);
    xv_put_le16(at + 1, node.child_a);
    xv_put_le16(at + 3, node.child_b);
    put_f32s(at + 5, node.box_min, 3);
    put_f32s(at + 17, node.box_max, 3);
    xv_put_le32(at + 29, node.num_triangles);
}

// The caches are never written: a file holds fresh triangles only.
void put_triangle(uint8_t *at, const GEN_COLL_TRIANGLE &triangle) {
    std::memset(at, 0, GEN_COLL_TRIANGLE_BYTES);
    xv_put_le16(at + 52, triangle.reference);
    xv_put_le16(at + 54, triangle.strip_odd);
    xv_put_le32(at + 56, triangle.vertex_offset);
    at[61] = triangle.collision_type;
}

void get_node(const uint8_t *at, GEN_COLL_NODE *node) {
    *node = GEN_COLL_NODE{};
    node->child_a = xv_le16(at + 1);
    node->child_b = xv_le16(at + 3);
    get_f32s(at + 5, node->box_min, 3);
    get_f32s(at + 17, node->box_max, 3);
    node->num_triangles = xv_le32(at + 29);
}

void get_triangle(const uint8_t *at, GEN_COLL_TRIANGLE *triangle) {
    *triangle = GEN_COLL_TRIANGLE{};
    triangle->reference = xv_le16(at + 52);
    triangle->strip_odd = xv_le16(at + 54) & 1;
    triangle->vertex_offset = xv_le32(at + 56);
    triangle->collision_type = at[61];
}

void trace_counts(const GEN_COLL_MAP *map) {
    gen_history("num nodes %i\n", static_cast<int>(map->num_nodes));
    gen_history("num allocated_nodes %i\n", static_cast<int>(map->num_allocated_nodes));
    gen_history("max_triangles_per_node %i\n", static_cast<int>(map->max_triangles_per_node));
    gen_history("max_depth %i\n", static_cast<int>(map->max_depth));
}

// Every child is numbered after its parent and has one parent only, so
// that a walk down from node 0 ends and meets no node twice.
bool tree_is_sound(const GEN_COLL_NODE *nodes, uint32_t count) {
    std::vector<bool> claimed(count, false);
    for (uint32_t n = 0; n < count; ++n) {
        for (const uint16_t child : {nodes[n].child_a, nodes[n].child_b}) {
            if (!child) {
                continue;
            }
            if (child <= n || child >= count || claimed[child]) {
                return false;
            }
            claimed[child] = true;
        }
    }
    return true;
}

bool damaged(const char *file_name, const char *what) {
    gen_error("gen_wo2_coll_map_load: %s is damaged (%s)\n", file_name, what);
    return false;
}

// Reads the nodes and their triangles from the bytes after the record.
bool read_nodes(GEN_COLL_MAP *map, const std::vector<uint8_t> &bytes, size_t at,
                const char *file_name) {
    const uint32_t count = map->num_nodes;
    if (count == 0 || count > GEN_COLL_MOST_NODES) {
        return damaged(file_name, "node count");
    }
    if (uint64_t{count} * GEN_COLL_NODE_BYTES > bytes.size() - at) {
        return damaged(file_name, "ends inside its nodes");
    }
    map->nodes = static_cast<GEN_COLL_NODE *>(xv_mem_calloc(count, sizeof(GEN_COLL_NODE)));
    if (!map->nodes) {
        gen_mem_failed(__FILE__, __LINE__, "coll map nodes");
        return false;
    }
    xv_mem_set_name(map->nodes, "coll map nodes");
    map->num_allocated_nodes = count;
    uint64_t triangles = 0;
    for (uint32_t n = 0; n < count; ++n, at += GEN_COLL_NODE_BYTES) {
        get_node(bytes.data() + at, &map->nodes[n]);
        triangles += map->nodes[n].num_triangles;
    }
    if (!tree_is_sound(map->nodes, count)) {
        return damaged(file_name, "child numbers");
    }
    if (triangles * GEN_COLL_TRIANGLE_BYTES > bytes.size() - at) {
        return damaged(file_name, "ends inside its triangles");
    }
    for (uint32_t n = 0; n < count; ++n) {
        GEN_COLL_NODE &node = map->nodes[n];
        if (!node.num_triangles) {
            continue;
        }
        node.triangles = static_cast<GEN_COLL_TRIANGLE *>(
            xv_mem_malloc(node.num_triangles * sizeof(GEN_COLL_TRIANGLE)));
        if (!node.triangles) {
            node.num_triangles = 0;
            gen_mem_failed(__FILE__, __LINE__, "coll map node triangles");
            return false;
        }
        xv_mem_set_name(node.triangles, "coll map node triangles");
        for (uint32_t t = 0; t < node.num_triangles; ++t, at += GEN_COLL_TRIANGLE_BYTES) {
            get_triangle(bytes.data() + at, &node.triangles[t]);
        }
    }
    return true;
}

bool triangle_fits(const GEN_WO2 *model, const GEN_COLL_TRIANGLE &triangle) {
    return model->vertex_data && triangle.reference < model->header.num_references &&
           model->references[triangle.reference].matrix < model->header.num_reference_matrices &&
           uint64_t{triangle.vertex_offset} + 3 * GEN_WO2_STRIDE <= model->header.data_block_size;
}

void wire_box(const float lo[3], const float hi[3]) {
    const float *ends[2] = {lo, hi};
    for (int axis = 0; axis < 3; ++axis) {
        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
        for (int corner = 0; corner < 4; ++corner) {
            float a[3], b[3];
            a[u] = b[u] = ends[corner & 1][u];
            a[v] = b[v] = ends[corner >> 1][v];
            a[axis] = lo[axis];
            b[axis] = hi[axis];
            glVertex3fv(a);
            glVertex3fv(b);
        }
    }
}

// Releases each node's triangles and the nodes, and zeroes the record.
void release_map(GEN_COLL_MAP *map) {
    if (map->nodes) {
        for (uint32_t n = 0; n < map->num_nodes; ++n) {
            if (map->nodes[n].triangles) {
                xv_mem_free(map->nodes[n].triangles);
            }
        }
        xv_mem_free(map->nodes);
    }
    *map = GEN_COLL_MAP{};
}

// The checksum of the model a map file was made for, when the file opens
// and is long enough to hold it.
bool stored_checksum(const char *file_name, uint32_t *checksum) {
    if (!xv_io_fexist(file_name, XV_IO_THROUGH_LAYER)) {
        return false;
    }
    XV_FILE *file = xv_io_fopen(file_name, "rb");
    if (!file) {
        return false;
    }
    uint8_t head[GEN_COLL_MAP_FILE_HEADER_BYTES];
    const bool read = xv_io_fread(head, 1, sizeof head, file) == sizeof head;
    xv_io_fclose(file);
    *checksum = read ? xv_le32(head + 6) : 0;
    return read;
}

} // namespace

uint32_t gen_wo2_header_checksum(const GEN_WO2 *model) {
    const GEN_WO2_HEADER &h = model->header;
    uint8_t bytes[GEN_WO2_HEADER_BYTES];
    uint8_t *at = bytes;
    auto u8 = [&](uint8_t value) { *at++ = value; };
    auto u16 = [&](uint16_t value) { xv_put_le16(at, value), at += 2; };
    auto u32 = [&](uint32_t value) { xv_put_le32(at, value), at += 4; };
    auto f32s = [&](const float *values, int count) {
        put_f32s(at, values, count);
        at += 4 * count;
    };
    u16(h.version);
    u16(h.properties);
    u8(h.num_materials);
    u8(h.num_animation_names);
    u16(h.num_collision_spheres);
    u16(h.num_references);
    u16(h.num_external_references);
    u16(h.num_internal_references);
    u16(h.num_reference_matrices);
    u16(h.text_block_size);
    u32(h.data_block_size);
    u32(h.skeletal_block_size);
    f32s(h.box_min, 3);
    f32s(h.box_max, 3);
    f32s(&h.global_radius, 1);
    f32s(h.sphere_centre, 3);
    f32s(&h.sphere_radius, 1);
    uint32_t sum = 0;
    for (uint32_t i = 0; i < GEN_WO2_HEADER_BYTES; ++i) {
        sum += i * bytes[i];
    }
    return sum;
}

bool gen_coll_triangle_vertices(const GEN_WO2 *model, const GEN_COLL_TRIANGLE *triangle,
                                float out[3][3]) {
    if (!triangle_fits(model, *triangle)) {
        return false;
    }
    const GEN_WO2_REFERENCE &reference = model->references[triangle->reference];
    const float *m = model->matrices[reference.matrix].m;
    // A mirroring matrix turns the triangle's face round; so does being an
    // odd triangle of a strip. Both at once cancel out.
    const bool swapped = (reference.properties & 1) != (triangle->strip_odd & 1);
    static const int kOrder[2][3] = {{0, 1, 2}, {0, 2, 1}};
    for (int k = 0; k < 3; ++k) {
        float in[3];
        const uint8_t *vertex =
            model->vertex_data + triangle->vertex_offset + GEN_WO2_STRIDE * kOrder[swapped][k];
        std::memcpy(in, vertex, sizeof in);
        transform(m, in, out[k]);
    }
    return true;
}

void gen_wo2_coll_map_build(GEN_WO2 *model, GEN_COLL_MAP *coll_map, uint32_t max_triangles_per_node,
                            uint32_t max_depth) {
    if (!GEN_CHECK(model, "model!=NULL") || !GEN_CHECK(model->in_use, "model->in_use") ||
        !GEN_CHECK(coll_map, "coll_map!=NULL") ||
        !GEN_CHECK(!coll_map->inited, "!coll_map->inited")) {
        return;
    }
    if (model->header.properties & GEN_WO2_INTERLEAVED) {
        gen_error("gen_wo2_coll_map_create: interleaved data not supported yet. HINT: export the "
                  "models without interleaved");
        return;
    }
    if (max_depth > kDeepest) {
        gen_error("gen_wo2_coll_map_build: a depth of %u is too deep (at most %u)", max_depth,
                  kDeepest);
        max_depth = kDeepest;
    }
    *coll_map = GEN_COLL_MAP{};
    coll_map->max_triangles_per_node = max_triangles_per_node;
    coll_map->max_depth = max_depth;
    Builder builder;
    builder.map = coll_map;
    builder.failed = !gather(model, builder);
    Range root{0, builder.count, 0, {}, {}};
    tight_box(builder, root.begin, root.end, root.box_min, root.box_max);
    gen_history("%s", kDashes);
    gen_history("min x %f y %f z %f\n", root.box_min[0], root.box_min[1], root.box_min[2]);
    gen_history("max x %f y %f z %f\n", root.box_max[0], root.box_max[1], root.box_max[2]);
    gen_history("%s", kDashes);
    if (!builder.failed) {
        build_node(builder, root);
    }
    gen_history("NUM NODES %i\n", static_cast<int>(coll_map->num_nodes));
    if (builder.failed || !coll_map->num_nodes) {
        release_map(coll_map);
        return;
    }
    coll_map->inited = 1;
}

namespace {

enum class Written { YES, NOT_CREATED, NOT_WRITTEN };

Written write_map_file(const GEN_WO2 *model, const GEN_COLL_MAP *coll_map, const char *file_name) {
    uint64_t triangles = 0;
    for (uint32_t n = 0; n < coll_map->num_nodes; ++n) {
        triangles += coll_map->nodes[n].num_triangles;
    }
    const size_t size = GEN_COLL_MAP_FILE_HEADER_BYTES + GEN_COLL_MAP_RECORD_BYTES +
                        size_t{GEN_COLL_NODE_BYTES} * coll_map->num_nodes +
                        GEN_COLL_TRIANGLE_BYTES * triangles;
    std::vector<uint8_t> bytes(size);
    uint8_t *at = bytes.data();
    xv_put_le16(at, GEN_COLL_MAP_FILE_TYPE);
    xv_put_le32(at + 2, GEN_COLL_MAP_VERSION);
    xv_put_le32(at + 6, gen_wo2_header_checksum(model));
    put_record(at + GEN_COLL_MAP_FILE_HEADER_BYTES, coll_map);
    at += GEN_COLL_MAP_FILE_HEADER_BYTES + GEN_COLL_MAP_RECORD_BYTES;
    for (uint32_t n = 0; n < coll_map->num_nodes; ++n, at += GEN_COLL_NODE_BYTES) {
        put_node(at, coll_map->nodes[n]);
    }
    for (uint32_t n = 0; n < coll_map->num_nodes; ++n) {
        const GEN_COLL_NODE &node = coll_map->nodes[n];
        for (uint32_t t = 0; t < node.num_triangles; ++t, at += GEN_COLL_TRIANGLE_BYTES) {
            put_triangle(at, node.triangles[t]);
        }
    }
    XV_FILE *file = xv_io_fopen(file_name, "wb");
    if (!file) {
        return Written::NOT_CREATED;
    }
    const bool written =
        xv_io_fwrite(bytes.data(), 1, bytes.size(), file) == static_cast<long>(bytes.size());
    xv_io_fclose(file);
    if (!written) {
        return Written::NOT_WRITTEN;
    }
    gen_history("%s", kStars);
    gen_history("SAVING COLLISION MAP %s\n", file_name);
    trace_counts(coll_map);
    gen_history("%s", kStars);
    gen_history("total size %i\n", static_cast<int>(size));
    return Written::YES;
}

} // namespace

int gen_wo2_coll_map_save(const GEN_WO2 *model, const GEN_COLL_MAP *coll_map,
                          const char *file_name) {
    if (!GEN_CHECK(coll_map, "coll_map!=NULL") ||
        !GEN_CHECK(coll_map->inited, "coll_map->inited") || !GEN_CHECK(model, "model!=NULL")) {
        return 0;
    }
    switch (write_map_file(model, coll_map, file_name)) {
    case Written::YES:
        return 1;
    case Written::NOT_CREATED:
        gen_error("gen_wo2_coll_map_save: cant create %s\n", file_name);
        return 0;
    case Written::NOT_WRITTEN:
        gen_error("gen_wo2_coll_map_save: cant write %s\n", file_name);
        return 0;
    }
    return 0;
}

int gen_wo2_coll_map_load(GEN_COLL_MAP *coll_map, const char *file_name) {
    if (!GEN_CHECK(coll_map, "coll_map!=NULL") ||
        !GEN_CHECK(!coll_map->inited, "!coll_map->inited")) {
        return 0;
    }
    std::vector<uint8_t> bytes;
    if (!file_name || !xv_io_fexist(file_name, XV_IO_THROUGH_LAYER) ||
        !xv_io_read_whole(file_name, &bytes, kLargestFile)) {
        gen_error("gen_wo2_coll_map_load: cant open %s\n", file_name ? file_name : "(null)");
        return 0;
    }
    const size_t head = GEN_COLL_MAP_FILE_HEADER_BYTES + GEN_COLL_MAP_RECORD_BYTES;
    if (bytes.size() >= 2 && xv_le16(bytes.data()) != GEN_COLL_MAP_FILE_TYPE) {
        gen_error("gen_wo2_coll_map_load: wrong file type\n");
        return 0;
    }
    if (bytes.size() >= 6 && xv_le32(bytes.data() + 2) != GEN_COLL_MAP_VERSION) {
        gen_error("gen_wo2_coll_map_load: wrong version 0x%x (expected 0x%x)\n",
                  xv_le32(bytes.data() + 2), GEN_COLL_MAP_VERSION);
        return 0;
    }
    if (bytes.size() < head) {
        return damaged(file_name, "ends inside its header");
    }
    const uint8_t *record = bytes.data() + GEN_COLL_MAP_FILE_HEADER_BYTES;
    GEN_COLL_MAP map{};
    map.max_triangles_per_node = xv_le32(record + 4);
    map.max_depth = xv_le32(record + 8);
    map.num_nodes = xv_le32(record + 12);
    map.num_allocated_nodes = xv_le32(record + 16);
    gen_history("%s", kStars);
    gen_history("LOADING COLLISION MAP %s\n", file_name);
    trace_counts(&map);
    gen_history("%s", kStars);
    if (!read_nodes(&map, bytes, head, file_name)) {
        release_map(&map);
        return 0;
    }
    map.inited = 1;
    *coll_map = map;
    return 1;
}

// A map file is a cache of its model's triangles, and its checksum covers
// only the model's header: a model rebuilt with the same header, or a file
// damaged in its triangles, would give a map of triangles the model does not
// have (offsets between vertices read floats from the wrong places). The map
// fits when it holds exactly the model's collidable triangles.
bool gen_wo2_coll_map_fits(const GEN_WO2 *model, const GEN_COLL_MAP *map) {
    if (!model || !model->in_use || !model->vertex_data || !map) {
        return false;
    }
    std::vector<uint64_t> in_map;
    for (uint32_t n = 0; n < map->num_nodes; ++n) {
        const GEN_COLL_NODE &node = map->nodes[n];
        for (uint32_t t = 0; t < node.num_triangles; ++t) {
            if (!triangle_fits(model, node.triangles[t])) {
                return false;
            }
            in_map.push_back(triangle_key(node.triangles[t]));
        }
    }
    std::vector<uint64_t> in_model;
    in_model.reserve(in_map.size());
    const bool walked = for_each_collidable_triangle(model, [&](const GEN_COLL_TRIANGLE &triangle) {
        in_model.push_back(triangle_key(triangle));
        return in_model.size() <= in_map.size(); // one more than the map has is enough to know
    });
    if (!walked || in_model.size() != in_map.size()) {
        return false;
    }
    std::sort(in_map.begin(), in_map.end());
    std::sort(in_model.begin(), in_model.end());
    return in_map == in_model;
}

void gen_wo2_coll_map_create(GEN_WO2 *model, GEN_COLL_MAP *coll_map,
                             uint32_t max_triangles_per_node, uint32_t max_depth,
                             const char *file_name) {
    if (!model || !coll_map) {
        gen_wo2_coll_map_build(model, coll_map, max_triangles_per_node, max_depth);
        return;
    }
    uint32_t checksum = 0;
    if (file_name && stored_checksum(file_name, &checksum)) {
        if (checksum == gen_wo2_header_checksum(model)) {
            gen_history("LOADING COLLISION MAP FROM FILE!!!!\n");
            if (gen_wo2_coll_map_load(coll_map, file_name)) {
                if (gen_wo2_coll_map_fits(model, coll_map)) {
                    return;
                }
                // The header agreed, the triangles do not: a stale or damaged
                // cache, which is built again and saved over.
                gen_history("gen_wo2_coll_map_create: %s does not fit its model: built again\n",
                            file_name);
                gen_wo2_coll_map_free(coll_map);
            }
        }
    }
    gen_history("CREATING COLLISION MAP\n");
    gen_wo2_coll_map_build(model, coll_map, max_triangles_per_node, max_depth);
    if (!coll_map->inited || !file_name) {
        return;
    }
    if (xv_io_fexist(file_name, XV_IO_THROUGH_LAYER) == 1) {
        // The archive is never changed: the map is built again each run.
        gen_history("gen_wo2_coll_map_create: %s is in the archive: not saved\n", file_name);
        return;
    }
    // The saved map only spares the next start its building: a folder that
    // cannot keep it (read-only, full) costs that, and nothing else.
    if (write_map_file(model, coll_map, file_name) != Written::YES) {
        gen_history("gen_wo2_coll_map_create: %s could not be kept: built again next time\n",
                    file_name);
    }
}

void gen_wo2_coll_map_free(GEN_COLL_MAP *coll_map) {
    if (!GEN_CHECK(coll_map, "coll_map!=NULL")) {
        return;
    }
    GEN_CHECK(coll_map->inited, "coll_map->inited");
    release_map(coll_map);
}

void gen_wo2_coll_map_draw(const GEN_WO2 *model, const GEN_COLL_MAP *map) {
    if (!model || !map || !map->inited) {
        return;
    }
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glColor3f(1, 1, 1);
    glBegin(GL_LINES);
    for (uint32_t n = 0; n < map->num_nodes; ++n) {
        wire_box(map->nodes[n].box_min, map->nodes[n].box_max);
    }
    glEnd();
    glPopAttrib();
}
