// WO2 models: the engine's model format. A file holds objects (internal
// references) made of material groups of face groups, whose vertices live
// in one shared vertex block; references place objects with a matrix;
// materials name up to seven maps, loaded as PNG textures beside the model.
// The reader takes the file field by field, little-endian.
#pragma once

#include <cstdint>

enum : uint16_t { GEN_WO2_VERSION = 0x110 };

// Model property bits.
enum : uint16_t {
    GEN_WO2_SKELETAL = 0x02,
    GEN_WO2_INTERLEAVED = 0x04,
    GEN_WO2_DRAW_LISTS = 0x20,
    GEN_WO2_SKIP_SKINNING = 0x40,
    GEN_WO2_NO_CULLING = 0x80,
};

// Reference flags, from the reference's name.
enum : uint32_t {
    GEN_WO2_REF_TRANSLUCENT = 0x01,
    GEN_WO2_REF_CLAMP = 0x02,
    GEN_WO2_REF_NO_CLIPPING = 0x04,
    GEN_WO2_REF_NO_COLLISION = 0x08,
    GEN_WO2_REF_INVISIBLE = 0x10,
    GEN_WO2_REF_LIT = 0x100,
};

// Face group and material group property bits.
enum : uint8_t {
    GEN_WO2_STRIP = 0x01,
    GEN_WO2_COLOURS_CONVERTED = 0x80,
    GEN_WO2_HAS_NORMALS = 0x01,
    GEN_WO2_HAS_UVS = 0x02,
    GEN_WO2_HAS_COLOURS = 0x04,
};

enum { GEN_WO2_HEADER_BYTES = 70, GEN_WO2_STRIDE = 16, GEN_WO2_MAPS = 7 };

struct GEN_WO2_HEADER {
    uint16_t version;
    uint16_t properties;
    uint8_t num_materials;
    uint8_t num_animation_names;
    uint16_t num_collision_spheres;
    uint16_t num_references;
    uint16_t num_external_references;
    uint16_t num_internal_references;
    uint16_t num_reference_matrices;
    uint16_t text_block_size;
    uint32_t data_block_size;
    uint32_t skeletal_block_size;
    float box_min[3], box_max[3];
    float global_radius;
    float sphere_centre[3];
    float sphere_radius;
};

struct GEN_WO2_REFERENCE {
    uint8_t properties; // bit 0: the matrix mirrors the object
    uint16_t internal_reference;
    uint16_t matrix;
    uint16_t name_offset;
    uint32_t flags;
    float lod_min, lod_max;
    uint8_t collision_type; // 1 or 2
    int32_t subzone;        // -1 until the world places it
};

struct GEN_WO2_MATRIX {
    float m[16]; // column-major, 12..14 the translation
    float max_scale;
};

struct GEN_WO2_FACE_GROUP {
    uint8_t properties;
    uint16_t num_vertices;
    uint32_t positions, normals, colours, uvs, shadow_uvs, skinning_groups; // block offsets
};

struct GEN_WO2_MATERIAL_GROUP {
    uint8_t properties;
    uint16_t material; // 1-based; 0: none
    uint16_t num_face_groups;
    uint16_t num_unique_vertices;
    GEN_WO2_FACE_GROUP *face_groups;
};

struct GEN_WO2_INTERNAL_REFERENCE {
    uint16_t object_name_offset;
    uint8_t properties;
    float box_min[3], box_max[3];
    float global_radius;
    float sphere_centre[3];
    float sphere_radius;
    uint16_t num_material_groups;
    GEN_WO2_MATERIAL_GROUP *material_groups;
};

struct GEN_WO2_MAP {
    int32_t texture; // -1: none
    float amount;
    uint8_t has_alpha;
};

struct GEN_WO2_MATERIAL {
    uint8_t red, green, blue, opacity;
    uint8_t properties; // 0x80: a texture matrix
    float wire_size;
    float detail_matrix[6];
    float spare_matrix[6];
    float texture_matrix[6]; // identity at load
    GEN_WO2_MAP texture;
    float opacity_amount;
    GEN_WO2_MAP detail;
    GEN_WO2_MAP third; // never filled
    int32_t reserved_texture;
    GEN_WO2_MAP bump; // never loaded
    GEN_WO2_MAP env;
    GEN_WO2_MAP shadow;
};

struct GEN_WO2 {
    GEN_WO2_HEADER header;
    GEN_WO2_REFERENCE *references;
    GEN_WO2_MATRIX *matrices;
    float (*matrices_aligned)[16];
    GEN_WO2_INTERNAL_REFERENCE *internal_references;
    GEN_WO2_MATERIAL *materials;
    uint8_t *vertex_data;   // 16-byte aligned
    uint8_t *skeletal_data; // 16-byte aligned, or null
    char *text;
    uint8_t in_use;
    char *name;
};

void gen_wo2_init();
void gen_wo2_deinit();
int gen_wo2_running();
int32_t gen_wo2_create();
int32_t gen_wo2_find(const char *name);
GEN_WO2 *gen_wo2_pooled(int32_t index);
void gen_wo2_load(GEN_WO2 *model, const char *file_name);
// While off, models load without their maps' textures (their numbers stay
// -1): for tools and simulations that never draw, and need no OpenGL.
// On at start.
void gen_wo2_set_load_maps(int on);
int gen_wo2_load_maps();
void gen_wo2_free(GEN_WO2 *model);
int32_t gen_wo2_find_reference(const GEN_WO2 *model, const char *object_name);
const char *gen_wo2_get_reference_name(const GEN_WO2 *model, int index);
// The object name of an internal reference ("" when the text has none).
const char *gen_wo2_get_object_name(const GEN_WO2 *model, int internal_reference);

// The map-name rule: 'Textures\Rock.TGA' in "gfx\wo2\island\island.WO2"
// is 'gfx\wo2\island\rock.png'. Empty for an absent map (a name of one byte).
void gen_wo2_map_file(const char *model_file, const char *stored, char *out, int size);
