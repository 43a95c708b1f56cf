#include "gen_wo2.h"

#include "gen_info.h"
#include "gen_mgr2.h"
#include "gen_tex.h"
#include "gen_waf.h"
#include "xv.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

namespace {

constexpr int kLongestPath = 200;
constexpr int kMostCollisionSpheres = 1250;
constexpr int kPoolGrowth = 50;
constexpr char kDashes[] = "------------------------------------------------------------\n";

struct Pool {
    bool started = false;
    GEN_WO2 *models = nullptr;
    int count = 0;
};
Pool pool;
bool load_maps = true; // apart from the pool: a tool sets it before the engine starts

// ---- reading ------------------------------------------------------------------------

// The file, read field by field; past its end every read fails, once reported.
struct Reader {
    XV_FILE *file = nullptr;
    const char *name = "";
    long size = 0;
    long total = 0;
    bool failed = false;

    bool bytes(void *out, size_t count) {
        if (failed) {
            return false;
        }
        if (xv_io_fread(out, 1, count, file) != count) {
            failed = true;
            gen_error("gen_wo2_load: file %s ends too soon (offset %ld)", name, total);
            return false;
        }
        total += static_cast<long>(count);
        return true;
    }
    // Whether count records of record_bytes can still be in the file: a
    // damaged count must not ask for more memory than the file could fill.
    bool room_for(uint64_t count, uint64_t record_bytes) {
        if (!failed && count * record_bytes > static_cast<uint64_t>(size - total)) {
            failed = true;
            gen_error("gen_wo2_load: file %s ends too soon (offset %ld)", name, total);
        }
        return !failed;
    }
    uint8_t u8() {
        uint8_t value = 0;
        bytes(&value, 1);
        return value;
    }
    uint16_t u16() {
        uint8_t b[2] = {};
        bytes(b, 2);
        return static_cast<uint16_t>(b[0] | b[1] << 8);
    }
    uint32_t u32() {
        uint8_t b[4] = {};
        bytes(b, 4);
        return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
    }
    float f32() {
        const uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    void f32s(float *out, int count) {
        for (int i = 0; i < count; ++i) {
            out[i] = f32();
        }
    }
};

// A table the file fills; none for an empty one.
template <typename T>
T *allocate(size_t count, const char *name) {
    return count ? gen_calloc<T>(count, name) : nullptr;
}

// A block the file fills whole next (the file was checked to hold it), so
// it is not cleared first.
uint8_t *allocate_aligned(size_t bytes, const char *name) {
    if (bytes == 0) {
        return nullptr;
    }
    xv_mem_align_push(16);
    auto *block = static_cast<uint8_t *>(xv_mem_malloc(bytes));
    xv_mem_align_pop();
    if (!block) {
        gen_mem_failed(__FILE__, __LINE__, name);
        return nullptr;
    }
    xv_mem_set_name(block, name);
    return block;
}

void release(void *block) {
    if (block) {
        xv_mem_free(block);
    }
}

// A fault a damaged file may hold for each of thousands of references or
// face groups: the first is reported as found, the others counted into one
// report at the end (a report writes a call stack, and thousands of them
// took seconds).
struct RepeatedFault {
    int more = 0;

    void report(const std::string &text) {
        if (seen) {
            ++more;
            return;
        }
        seen = true;
        gen_error("%s", text.c_str());
    }
    void summarise(const char *what, const char *file) const {
        if (more) {
            gen_error("gen_wo2_load: %d more %s in %s", more, what, file);
        }
    }

  private:
    bool seen = false;
};

void section(Reader &in, const char *title) {
    gen_history("\n****************************\n");
    gen_history("offset %i   0x%x", static_cast<int>(in.total), static_cast<unsigned>(in.total));
    gen_history("\n****************************\n\n");
    gen_history("%s", title);
    gen_history("%s", kDashes);
}

void trace_bounds(const float *box_min, const float *box_max, float radius, const float *centre,
                  float sphere_radius) {
    gen_history("bounding box:min x %f y %f z %f\n", box_min[0], box_min[1], box_min[2]);
    gen_history("             max x %f y %f z %f\n", box_max[0], box_max[1], box_max[2]);
    gen_history("         global radius %f\n", radius);
    gen_history("         sphere ( %f , %f , %f ) radius %f\n", centre[0], centre[1], centre[2],
                sphere_radius);
}

bool read_header(Reader &in, GEN_WO2 *model) {
    GEN_WO2_HEADER &h = model->header;
    h.version = in.u16();
    h.properties = in.u16();
    h.num_materials = in.u8();
    h.num_animation_names = in.u8();
    h.num_collision_spheres = in.u16();
    h.num_references = in.u16();
    h.num_external_references = in.u16();
    h.num_internal_references = in.u16();
    h.num_reference_matrices = in.u16();
    h.text_block_size = in.u16();
    h.data_block_size = in.u32();
    h.skeletal_block_size = in.u32();
    in.f32s(h.box_min, 3);
    in.f32s(h.box_max, 3);
    h.global_radius = in.f32();
    in.f32s(h.sphere_centre, 3);
    h.sphere_radius = in.f32();
    if (in.failed) {
        return false;
    }
    if (h.version != GEN_WO2_VERSION) {
        gen_error("gen_wo2_load: wrong file version (0x%x) in file %s (expecting version 0x%x). "
                  "HINT: try re-exporting this WO2 model with a newer version of the exporter, or "
                  "maybe this programm version is older than the WO2 file you're trying to load "
                  "(compare the version numbers).",
                  h.version, in.name, GEN_WO2_VERSION);
        return false;
    }
    if (h.properties & GEN_WO2_INTERLEAVED) {
        gen_error("gen_wo2_load: interleaved vertices not supported yet... file %s", in.name);
        return false;
    }
    if (h.num_collision_spheres > kMostCollisionSpheres) {
        gen_error("gen_wo2_load: %i collision spheres in %s (at most %i)", h.num_collision_spheres,
                  in.name, kMostCollisionSpheres);
        return false;
    }
    gen_history("%s", kDashes);
    gen_history("reading %s\n", in.name);
    gen_history("version 0x%x properties %i\n", h.version, h.properties);
    gen_history("num_materials %i\n", h.num_materials);
    gen_history("num_animation_names %i\n", h.num_animation_names);
    gen_history("num_collision_spheres %i\n", h.num_collision_spheres);
    gen_history("num_references %i\n", h.num_references);
    gen_history("num_external_references %i\n", h.num_external_references);
    gen_history("num_internal_references %i\n", h.num_internal_references);
    gen_history("num_reference_matrices %i\n", h.num_reference_matrices);
    gen_history("text_block_size %i\n", h.text_block_size);
    gen_history("data_block_size %i\n", static_cast<int>(h.data_block_size));
    gen_history("skeletal_block_size %i\n", static_cast<int>(h.skeletal_block_size));
    trace_bounds(h.box_min, h.box_max, h.global_radius, h.sphere_centre, h.sphere_radius);
    gen_history("%s", kDashes);
    return true;
}

bool read_references(Reader &in, GEN_WO2 *model) {
    section(in, "Loading REFERENCES...\n");
    const int count = model->header.num_references;
    if (!in.room_for(count, 7)) {
        return false;
    }
    model->references = allocate<GEN_WO2_REFERENCE>(count, "wo2 reference matrices");
    for (int i = 0; i < count && model->references; ++i) {
        GEN_WO2_REFERENCE &r = model->references[i];
        r.properties = in.u8();
        r.internal_reference = in.u16();
        r.matrix = in.u16();
        r.name_offset = in.u16();
        r.subzone = -1;
        r.collision_type = 1;
    }
    return !in.failed;
}

bool read_matrices(Reader &in, GEN_WO2 *model) {
    section(in, "Loading REFERENCE MATRICES...\n");
    const int count = model->header.num_reference_matrices;
    if (!in.room_for(count, 68)) {
        return false;
    }
    model->matrices = allocate<GEN_WO2_MATRIX>(count, "wo2 reference matrices");
    model->matrices_aligned = allocate<float[16]>(count, "wo2 reference matrices aligned");
    for (int i = 0; i < count && model->matrices && model->matrices_aligned; ++i) {
        GEN_WO2_MATRIX &m = model->matrices[i];
        in.f32s(m.m, 16);
        m.max_scale = in.f32();
        std::memcpy(model->matrices_aligned[i], m.m, sizeof m.m);
        gen_history("matrix %i ... max_scale %f\n", i, m.max_scale);
        for (int k = 0; k < 16; ++k) {
            gen_history("%f ", m.m[k]);
            if (k % 4 == 3) {
                gen_history("\n");
            }
        }
    }
    gen_history("%s", kDashes);
    return !in.failed;
}

void read_face_group(Reader &in, GEN_WO2_FACE_GROUP *face) {
    face->properties = in.u8();
    face->num_vertices = in.u16();
    face->positions = in.u32();
    face->normals = in.u32();
    face->colours = in.u32();
    face->uvs = in.u32();
    face->shadow_uvs = in.u32();
    face->skinning_groups = in.u32();
}

bool read_internal_references(Reader &in, GEN_WO2 *model) {
    section(in, "Loading INTERNAL REFERENCES...\n");
    const int count = model->header.num_internal_references;
    if (!in.room_for(count, 49)) {
        return false;
    }
    model->internal_references =
        allocate<GEN_WO2_INTERNAL_REFERENCE>(count, "wo2 internal reference matrices");
    for (int i = 0; i < count && model->internal_references && !in.failed; ++i) {
        GEN_WO2_INTERNAL_REFERENCE &r = model->internal_references[i];
        r.object_name_offset = in.u16();
        r.properties = in.u8();
        in.f32s(r.box_min, 3);
        in.f32s(r.box_max, 3);
        r.global_radius = in.f32();
        in.f32s(r.sphere_centre, 3);
        r.sphere_radius = in.f32();
        r.num_material_groups = in.u16();
        gen_history("reference %i object_name_offset %i properties %i num_material_groups %i\n", i,
                    r.object_name_offset, r.properties, r.num_material_groups);
        trace_bounds(r.box_min, r.box_max, r.global_radius, r.sphere_centre, r.sphere_radius);
        if (!in.room_for(r.num_material_groups, 7)) {
            return false;
        }
        r.material_groups =
            allocate<GEN_WO2_MATERIAL_GROUP>(r.num_material_groups, "material_groups");
        long vertices = 0;
        for (int g = 0; g < r.num_material_groups && r.material_groups && !in.failed; ++g) {
            GEN_WO2_MATERIAL_GROUP &group = r.material_groups[g];
            group.properties = in.u8();
            group.material = in.u16();
            group.num_face_groups = in.u16();
            group.num_unique_vertices = in.u16();
            gen_history("\n   material_group %i\n", g);
            gen_history("   properties: %i material: %i\n", group.properties, group.material);
            gen_history("   num_face_groups: %i num_unique_vertices (unused): %i\n",
                        group.num_face_groups, group.num_unique_vertices);
            if (!in.room_for(group.num_face_groups, 27)) {
                return false;
            }
            group.face_groups =
                allocate<GEN_WO2_FACE_GROUP>(group.num_face_groups, "wo2_face_groups");
            for (int f = 0; f < group.num_face_groups && group.face_groups; ++f) {
                GEN_WO2_FACE_GROUP &face = group.face_groups[f];
                read_face_group(in, &face);
                vertices += face.num_vertices;
                gen_history("\n      face_group %i\n", f);
                gen_history("      properties: %i num_vertices: %i\n", face.properties,
                            face.num_vertices);
                gen_history("      offset vertices: %i offset normals: %i offset colours: %i "
                            "offset texture coordinates: %i offset shadow texture coordinates: "
                            "%i\n",
                            static_cast<int>(face.positions), static_cast<int>(face.normals),
                            static_cast<int>(face.colours), static_cast<int>(face.uvs),
                            static_cast<int>(face.shadow_uvs));
            }
            gen_history("\n");
        }
        if (r.num_material_groups) {
            gen_history("total triangles : %i\n\n", static_cast<int>(vertices / 3));
        }
    }
    return !in.failed;
}

// Every array a face group reads must lie inside the vertex block: a
// damaged offset would otherwise send drawing and collision past its end.
void check_face_groups(Reader &in, GEN_WO2 *model) {
    RepeatedFault outside;
    const uint64_t block = model->header.data_block_size;
    for (int i = 0; i < model->header.num_internal_references && model->internal_references; ++i) {
        GEN_WO2_INTERNAL_REFERENCE &r = model->internal_references[i];
        for (int g = 0; g < r.num_material_groups && r.material_groups; ++g) {
            GEN_WO2_MATERIAL_GROUP &group = r.material_groups[g];
            for (int f = 0; f < group.num_face_groups && group.face_groups; ++f) {
                GEN_WO2_FACE_GROUP &face = group.face_groups[f];
                const uint64_t span = uint64_t{face.num_vertices} * GEN_WO2_STRIDE;
                auto inside = [&](uint32_t offset, bool used) {
                    return !used || (offset % 4 == 0 && offset + span <= block);
                };
                if (!inside(face.positions, true) ||
                    !inside(face.normals, group.properties & GEN_WO2_HAS_NORMALS) ||
                    !inside(face.uvs, group.properties & GEN_WO2_HAS_UVS) ||
                    !inside(face.colours, group.properties & GEN_WO2_HAS_COLOURS)) {
                    outside.report(xv_str_format("gen_wo2_load: face group %i of object %i in "
                                                 "%s reaches past its vertex data",
                                                 f, i, in.name));
                    face.num_vertices = 0;
                }
            }
        }
    }
    outside.summarise("face groups reach past their vertex data", in.name);
}

bool read_blocks(Reader &in, GEN_WO2 *model) {
    section(in, "Loading COLLISION SPHERES...\n");
    for (int i = 0; i < model->header.num_collision_spheres * 4 && !in.failed; ++i) {
        in.f32();
    }
    section(in, "Loading VERTEX DATA...\n");
    const uint32_t data = model->header.data_block_size;
    if (!in.room_for(data, 1)) {
        return false;
    }
    model->vertex_data = allocate_aligned(data, "wo2_vertex_data");
    if (model->vertex_data && reinterpret_cast<uintptr_t>(model->vertex_data) % 16 != 0) {
        gen_error("gen_wo2_load_vertex_data: not quadword aligned %i",
                  static_cast<int>(reinterpret_cast<uintptr_t>(model->vertex_data) % 16));
    } else if (model->vertex_data) {
        in.bytes(model->vertex_data, data);
    }
    const uint32_t skeletal = model->header.skeletal_block_size;
    section(in, "Loading SKELETAL DATA...\n");
    if (skeletal) {
        if (!in.room_for(skeletal, 1)) {
            return false;
        }
        model->skeletal_data = allocate_aligned(skeletal, "wo2_skeletal_data");
        if (model->skeletal_data) {
            in.bytes(model->skeletal_data, skeletal);
        }
    }
    check_face_groups(in, model);
    return !in.failed;
}

// ---- materials ----------------------------------------------------------------------

std::string lower(std::string text) {
    for (char &c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string model_directory(const char *file) {
    const std::string name = file;
    const size_t slash = name.find_last_of("\\/");
    return slash == std::string::npos ? "" : lower(name.substr(0, slash + 1));
}

// A map entry: its amount, then its name (absent when one byte long).
std::string read_map(Reader &in, const char *model_file, float *amount) {
    *amount = in.f32();
    const uint8_t length = in.u8();
    if (length == 0) {
        gen_error("gen_wo2_aux_get_name_from_file: lenght cant be 0 in %s", model_file);
        return "";
    }
    if (model_directory(model_file).size() + length >= kLongestPath) {
        gen_error("gen_wo2_aux_get_name_from_file: filename for a texture map or reference is too "
                  "long in %s %i",
                  model_file, length);
    }
    char stored[256] = {};
    in.bytes(stored, length);
    stored[255] = '\0';
    if (length < 2 || in.failed) {
        return "";
    }
    char file[kLongestPath + 256];
    gen_wo2_map_file(model_file, stored, file, sizeof file);
    return file;
}

int texture_of(const std::string &file, const std::string &alpha) {
    if (!load_maps) {
        return -1;
    }
    const std::string name = lower(file);
    const int found = gen_tex_find(name.c_str());
    if (found >= 0) {
        GEN_TEXTURE texture{};
        gen_tex_get(found, &texture);
        ++texture.use_count;
        gen_tex_set(found, &texture);
        gen_history("texture already found in memory\n");
        return found;
    }
    gen_history("texture not in memory... loading from disk\n");
    const std::string alpha_name = lower(alpha);
    return gen_tex_load(name.c_str(), name.c_str(), alpha.empty() ? nullptr : alpha_name.c_str());
}

void read_material(Reader &in, GEN_WO2_MATERIAL *m, int number, const char *file) {
    m->red = in.u8();
    m->green = in.u8();
    m->blue = in.u8();
    m->opacity = in.u8();
    m->properties = in.u8();
    m->wire_size = in.f32();
    in.f32s(m->detail_matrix, 6);
    const float identity[6] = {1, 0, 0, 1, 0, 0};
    std::memcpy(m->texture_matrix, identity, sizeof identity);
    for (GEN_WO2_MAP *map : {&m->texture, &m->detail, &m->third, &m->bump, &m->env, &m->shadow}) {
        map->texture = -1;
    }
    m->reserved_texture = -1;
    gen_history("\nMaterial %i:\n", number);
    gen_history("red %i green %i blue %i\n", m->red, m->green, m->blue);
    gen_history("opacity %i properties %i wire_size %f\n", m->opacity, m->properties, m->wire_size);
    gen_history("detail texture matrix 11:%f 12:%f 21:%f 22:%f 31:%f 32:%f\n", m->detail_matrix[0],
                m->detail_matrix[1], m->detail_matrix[2], m->detail_matrix[3], m->detail_matrix[4],
                m->detail_matrix[5]);

    const std::string texture = read_map(in, file, &m->texture.amount);
    if (!texture.empty()) {
        gen_history("texture %s (ammount %f) ", texture.c_str(), m->texture.amount);
    }
    xv_mem_heap_check();
    const std::string opacity = read_map(in, file, &m->opacity_amount);
    if (!opacity.empty()) {
        gen_history("opacity map %s (ammount %f) ", opacity.c_str(), m->opacity_amount);
        if (!texture.empty()) {
            m->texture.texture = texture_of(texture, opacity);
            m->texture.has_alpha = 1;
        } else {
            gen_history("gen_wo2_load_materials: REMOVE THIS LINE........\n");
            m->texture.texture = texture_of(opacity, opacity);
        }
    } else if (!texture.empty()) {
        m->texture.texture = texture_of(texture, "");
    }
    const std::string detail = read_map(in, file, &m->detail.amount);
    if (!detail.empty()) {
        gen_history("detail texture %s (ammount %f) ", detail.c_str(), m->detail.amount);
    }
    float detail_opacity_amount = 0;
    const std::string detail_opacity = read_map(in, file, &detail_opacity_amount);
    if (!detail.empty()) {
        if (!detail_opacity.empty()) {
            gen_history("detail opacity map %s (ammount %f) ", detail_opacity.c_str(),
                        detail_opacity_amount);
            m->detail.texture = texture_of(detail, detail_opacity);
            m->detail.has_alpha = 1;
        } else {
            m->detail.texture = texture_of(detail, "");
        }
    } else if (!detail_opacity.empty()) {
        gen_error("gen_wo2_load: there should be a detail texture map when there's a detail "
                  "opacity map in filename %s",
                  file);
    }
    const std::string bump = read_map(in, file, &m->bump.amount);
    if (!bump.empty()) {
        gen_history("bump map %s (ammount %f) ", bump.c_str(), m->bump.amount);
    }
    const std::string env = read_map(in, file, &m->env.amount);
    if (!env.empty()) {
        gen_history("env map %s (ammount %f) ", env.c_str(), m->env.amount);
        m->env.texture = texture_of(env, "");
    }
    const std::string shadow = read_map(in, file, &m->shadow.amount);
    if (!shadow.empty()) {
        gen_history("shadow map %s (ammount %f) ", shadow.c_str(), m->shadow.amount);
        m->shadow.texture = texture_of(shadow, "");
    }
}

bool read_materials(Reader &in, GEN_WO2 *model) {
    section(in, "Loading MATERIALS...\n");
    const int count = model->header.num_materials;
    if (!in.room_for(count, 33 + 7 * 6)) {
        return false;
    }
    if (std::strlen(in.name) >= kLongestPath) {
        gen_error("gen_wo2_load: name too long for texture_filename in file %s -> %s", in.name,
                  in.name);
    }
    model->materials = allocate<GEN_WO2_MATERIAL>(count, "wo2_materials");
    for (int i = 0; i < count && model->materials && !in.failed; ++i) {
        read_material(in, &model->materials[i], i + 1, in.name);
    }
    return !in.failed;
}

// A name is at most 255 bytes with its terminator; a longer run of text is
// cut there, so that every reference's name is bounded however many
// references name it (reading them was work of the text block's size for
// each reference).
void cut_long_names(char *text, uint16_t size, const char *file) {
    constexpr int kLongestName = 254;
    int run = 0;
    bool cut = false;
    for (uint16_t i = 0; i < size; ++i) {
        if (text[i] == '\0') {
            run = 0;
        } else if (++run > kLongestName) {
            text[i] = '\0';
            run = 0;
            cut = true;
        }
    }
    if (cut) {
        gen_error("gen_wo2_load: a name in the text block of %s is longer than %d characters; it "
                  "is cut there",
                  file, kLongestName);
    }
}

bool read_text(Reader &in, GEN_WO2 *model) {
    const uint16_t size = model->header.text_block_size;
    section(in, "Loading TEXT DATA...\n");
    if (!size) {
        return true;
    }
    if (!in.room_for(size, 1)) {
        return false;
    }
    // One byte more, always zero: a last name without its terminator ends there.
    model->text = allocate<char>(size + 1u, "wo2_text_data");
    if (!model->text || !in.bytes(model->text, size)) {
        return false;
    }
    cut_long_names(model->text, size, in.name);
    return true;
}

// ---- names --------------------------------------------------------------------------

const char *text_at(const GEN_WO2 *model, uint16_t offset) {
    return model->text && offset < model->header.text_block_size ? model->text + offset : "";
}

// A token runs to the next '#' or space; the delimiter and the spaces after
// it are stepped over.
std::string next_token(const char **at) {
    const char *start = *at;
    const char *end = start;
    while (*end && *end != '#' && *end != ' ') {
        ++end;
    }
    std::string token(start, end);
    if (*end) {
        ++end;
    }
    while (*end == ' ') {
        ++end;
    }
    *at = end;
    return token;
}

void set_band(GEN_WO2_REFERENCE *r, const char *object_name, RepeatedFault *fault) {
    gen_history("object name %s\n", object_name);
    const char *hash = std::strchr(object_name, '#');
    r->lod_min = -100000000.0f;
    r->lod_max = 100000000.0f;
    if (!hash) {
        return;
    }
    const char *at = hash + 1;
    const std::string type = next_token(&at);
    gen_history("object type %s\n", type.c_str());
    if (strcasecmp(type.c_str(), "close") == 0) {
        r->lod_min = -9999999.0f, r->lod_max = 200.0f;
    } else if (strcasecmp(type.c_str(), "mid") == 0) {
        r->lod_min = 200.0f, r->lod_max = 400.0f;
    } else if (strcasecmp(type.c_str(), "far") == 0) {
        r->lod_min = 400.0f, r->lod_max = 1000000000.0f;
    } else if (strcasecmp(type.c_str(), "cust") == 0) {
        const std::string low = next_token(&at);
        const std::string high = next_token(&at);
        if (low.empty()) {
            fault->report("The first cust parameter is empty");
            return;
        }
        if (high.empty()) {
            fault->report("The second cust parameter is empty");
            return;
        }
        r->lod_min = static_cast<float>(std::atof(low.c_str()));
        r->lod_max = static_cast<float>(std::atof(high.c_str()));
        if (r->lod_max < r->lod_min) {
            fault->report("The max cust LOD value is smaller than min value");
        }
        gen_history("object min %f max %f\n", r->lod_min, r->lod_max);
    } else {
        fault->report(
            xv_str_format("LOD type has to be close, mid, far or cust..... %s", type.c_str()));
    }
}

void set_flags(GEN_WO2_REFERENCE *r, const char *name) {
    r->flags = 0;
    const struct {
        const char *word;
        uint32_t flag;
    } words[] = {
        {"TRANSLUCEN", GEN_WO2_REF_TRANSLUCENT},  {"CLAMP", GEN_WO2_REF_CLAMP},
        {"NO_CLIPPING", GEN_WO2_REF_NO_CLIPPING}, {"NO_COLLISION", GEN_WO2_REF_NO_COLLISION},
        {"DUMMY", GEN_WO2_REF_INVISIBLE},         {"INVISIBLE", GEN_WO2_REF_INVISIBLE}};
    for (const auto &w : words) {
        if (std::strstr(name, w.word)) {
            r->flags |= w.flag;
        }
    }
    r->collision_type = std::strstr(name, "COLLISION_TYPE 2") ? 2 : 1;
}

void apply_names(GEN_WO2 *model, const char *file) {
    RepeatedFault band;
    for (int i = 0; i < model->header.num_references && model->references; ++i) {
        set_band(&model->references[i],
                 gen_wo2_get_object_name(model, model->references[i].internal_reference), &band);
    }
    band.summarise("references have a faulty distance band in their object's name", file);
    for (int i = 0; i < model->header.num_references && model->references; ++i) {
        set_flags(&model->references[i], gen_wo2_get_reference_name(model, i));
    }
}

void release_map(int32_t *texture) {
    if (*texture != -1) {
        gen_tex_free(*texture);
        *texture = -1;
    }
}

} // namespace

void gen_wo2_map_file(const char *model_file, const char *stored, char *out, int size) {
    std::string name = lower(stored);
    if (name.empty() || size <= 0) {
        if (size > 0) {
            out[0] = '\0';
        }
        return;
    }
    const size_t dot = name.find_last_of('.');
    const size_t slash = name.find_last_of("\\/");
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        name = name.substr(0, dot + 1) + "png";
    }
    if (slash != std::string::npos) {
        name = name.substr(slash + 1);
    }
    std::snprintf(out, static_cast<size_t>(size), "%s%s", model_directory(model_file).c_str(),
                  name.c_str());
}

void gen_wo2_set_load_maps(int on) {
    load_maps = on != 0;
}

int gen_wo2_load_maps() {
    return load_maps ? 1 : 0;
}

void gen_wo2_init() {
    if (pool.started) {
        gen_error("gen_wo2_init: already inited");
        return;
    }
    pool = {};
    pool.started = true;
}

void gen_wo2_deinit() {
    gen_mgr2_deinit();
    gen_waf_release_matrix_buffer();
    for (int i = 0; i < pool.count; ++i) {
        gen_wo2_free(&pool.models[i]);
    }
    release(pool.models);
    pool = {};
}

int gen_wo2_running() {
    return pool.started;
}

int32_t gen_wo2_create() {
    if (!pool.started) {
        gen_error("gen_wo2_create: wo2 system is not inited");
        return 0;
    }
    for (int i = 0; i < pool.count; ++i) {
        if (!pool.models[i].in_use) {
            pool.models[i].in_use = 1;
            pool.models[i].name = nullptr;
            return i;
        }
    }
    auto *grown = static_cast<GEN_WO2 *>(xv_mem_realloc(
        pool.models, sizeof(GEN_WO2) * static_cast<size_t>(pool.count + kPoolGrowth)));
    if (!grown) {
        gen_mem_failed(__FILE__, __LINE__, "gen_wo2s");
        return 0;
    }
    std::memset(grown + pool.count, 0, sizeof(GEN_WO2) * kPoolGrowth);
    xv_mem_set_name(grown, "gen_wo2s");
    pool.models = grown;
    const int index = pool.count;
    pool.count += kPoolGrowth;
    pool.models[index].in_use = 1;
    return index;
}

GEN_WO2 *gen_wo2_pooled(int32_t index) {
    return index >= 0 && index < pool.count ? &pool.models[index] : nullptr;
}

int32_t gen_wo2_find(const char *name) {
    for (int i = 0; name && i < pool.count; ++i) {
        if (pool.models[i].in_use && pool.models[i].name &&
            std::strcmp(pool.models[i].name, name) == 0) {
            return i;
        }
    }
    return -1;
}

void gen_wo2_load(GEN_WO2 *model, const char *file_name) {
    if (!pool.started) {
        gen_error("gen_wo2_load: wo2 system is not inited -> %s", file_name ? file_name : "");
        return;
    }
    if (!model) {
        gen_error("gen_wo2_load: not a valid pointer for loading -> %s",
                  file_name ? file_name : "");
        return;
    }
    std::memset(model, 0, sizeof *model); // a loaded model is freed by its owner first
    Reader in;
    in.name = file_name ? file_name : "";
    in.file = file_name ? xv_io_fopen(file_name, "rb") : nullptr;
    if (!in.file) {
        gen_error("gen_wo2_load: cant load file %s. HINT: make sure it actually exists in the "
                  "directory.",
                  in.name);
        return;
    }
    gen_test_if_filename_is_8_3(file_name);
    xv_io_fseek(in.file, 0, SEEK_END);
    in.size = xv_io_ftell(in.file);
    xv_io_rewind(in.file);
    // The record owns what the reads allocate, so that gen_wo2_free can
    // release a load that stopped half-way.
    model->in_use = 1;
    const bool loaded = read_header(in, model) && read_references(in, model) &&
                        read_matrices(in, model) && read_internal_references(in, model) &&
                        read_blocks(in, model) && read_materials(in, model) && read_text(in, model);
    xv_io_fclose(in.file);
    if (!loaded) {
        // Reported where the read stopped. A header without its blocks is no
        // model: nothing may draw it or collide with it.
        gen_wo2_free(model);
        return;
    }
    apply_names(model, in.name);
    gen_history("file_size %i\n", static_cast<int>(in.total));
    xv_str_create(&model->name, file_name, 0);
    gen_history("...and thats all for model : %s\n", file_name);
    if (!xv_mem_heap_check()) {
        gen_error("heap check failed: AFTER WO2 LOADING");
    }
}

void gen_wo2_free(GEN_WO2 *model) {
    if (!model || !model->in_use) {
        return;
    }
    model->in_use = 0;
    release(model->references);
    release(model->matrices);
    release(model->matrices_aligned);
    for (int i = 0; i < model->header.num_internal_references && model->internal_references; ++i) {
        GEN_WO2_INTERNAL_REFERENCE &r = model->internal_references[i];
        for (int g = 0; g < r.num_material_groups && r.material_groups; ++g) {
            release(r.material_groups[g].face_groups);
        }
        release(r.material_groups);
    }
    release(model->internal_references);
    release(model->vertex_data);
    release(model->skeletal_data);
    for (int i = 0; i < model->header.num_materials && model->materials; ++i) {
        GEN_WO2_MATERIAL &m = model->materials[i];
        for (GEN_WO2_MAP *map : {&m.texture, &m.detail, &m.third, &m.bump, &m.env, &m.shadow}) {
            release_map(&map->texture);
        }
        release_map(&m.reserved_texture);
    }
    release(model->materials);
    release(model->name);
    release(model->text);
    const uint8_t in_use = model->in_use;
    std::memset(model, 0, sizeof *model);
    model->in_use = in_use;
}

int32_t gen_wo2_find_reference(const GEN_WO2 *model, const char *object_name) {
    for (int i = 0; model && object_name && i < model->header.num_references && model->references;
         ++i) {
        if (strcasecmp(gen_wo2_get_object_name(model, model->references[i].internal_reference),
                       object_name) == 0) {
            return i;
        }
    }
    return -1;
}

const char *gen_wo2_get_reference_name(const GEN_WO2 *model, int index) {
    if (!model || !model->references || index < 0 || index >= model->header.num_references) {
        return "";
    }
    return text_at(model, model->references[index].name_offset);
}

const char *gen_wo2_get_object_name(const GEN_WO2 *model, int internal_reference) {
    if (!model || !model->internal_references || internal_reference < 0 ||
        internal_reference >= model->header.num_internal_references) {
        return "";
    }
    return text_at(model, model->internal_references[internal_reference].object_name_offset);
}
