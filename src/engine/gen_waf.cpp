#include "gen_waf.h"

#include "gen_info.h"
#include "xv.h"
#include "xv_bytes.h"

#include <cmath>
#include <cstring>
#include <strings.h>

namespace {

constexpr char kDashes[] = "------------------------------------------------------------\n";

// The blended pose: one matrix a bone, shared by every skinned model.
float (*pose)[16] = nullptr;
int pose_bones = 0;

bool read_exactly(XV_FILE *file, void *out, size_t bytes) {
    return xv_io_fread(out, 1, bytes, file) == bytes;
}

bool read_header(XV_FILE *file, GEN_WAF *waf, const char *name) {
    uint8_t header[8];
    if (!read_exactly(file, header, sizeof header)) {
        gen_error("gen_waf_load: file %s ends too soon", name);
        return false;
    }
    waf->version = xv_le16(header);
    waf->num_animations = xv_le16(header + 2);
    waf->num_frames = xv_le16(header + 4);
    waf->num_matrices_per_frame = xv_le16(header + 6);
    if (waf->version != GEN_WAF_VERSION) {
        gen_error("gen_waf_load_header: wrong file version (0x%x) in file %s (expecting version "
                  "0x%x). HINT: try re-exporting this WO2 model with a newer version of the "
                  "exporter, or maybe this programm version is older than the WO2 file you're "
                  "trying to load (compare the version numbers).",
                  waf->version, name, GEN_WAF_VERSION);
        return false;
    }
    gen_history("%s", kDashes);
    gen_history("WAF FILE\n");
    gen_history("reading %s\n", name);
    gen_history("version 0x%x\n", waf->version);
    gen_history("num_animations %i\n", waf->num_animations);
    gen_history("num_frames %i\n", waf->num_frames);
    gen_history("num_matrices_per_frame %i\n", waf->num_matrices_per_frame);
    gen_history("%s", kDashes);
    return true;
}

bool read_animations(XV_FILE *file, GEN_WAF *waf, const char *name) {
    gen_history("WAF ANIMATIONS\n");
    if (!waf->num_animations) {
        return true;
    }
    waf->animations = static_cast<GEN_WAF_ANIMATION *>(
        xv_mem_calloc(waf->num_animations, sizeof(GEN_WAF_ANIMATION)));
    if (!waf->animations) {
        return false;
    }
    xv_mem_set_name(waf->animations, "waf_animations");
    for (int i = 0; i < waf->num_animations; ++i) {
        uint8_t record[68];
        if (!read_exactly(file, record, sizeof record)) {
            gen_error("gen_waf_load: file %s ends too soon", name);
            return false;
        }
        GEN_WAF_ANIMATION &a = waf->animations[i];
        std::memcpy(a.name, record, GEN_WAF_NAME_BYTES);
        a.name[GEN_WAF_NAME_BYTES - 1] = '\0';
        a.start_frame = xv_le16(record + 64);
        a.end_frame = xv_le16(record + 66);
        gen_history("animation %i, name: %s , start frame %i , end frame %i\n", i, a.name,
                    a.start_frame, a.end_frame);
    }
    return true;
}

bool read_matrices(XV_FILE *file, GEN_WAF *waf, const char *name) {
    gen_history("WAF MATRICES\n");
    const size_t count = size_t{waf->num_frames} * waf->num_matrices_per_frame;
    if (!count) {
        return true;
    }
    waf->matrices = static_cast<float(*)[16]>(xv_mem_calloc(count, sizeof(float[16])));
    if (!waf->matrices) {
        return false;
    }
    xv_mem_set_name(waf->matrices, "waf_matrices");
    for (size_t i = 0; i < count; ++i) {
        uint8_t stored[48];
        if (!read_exactly(file, stored, sizeof stored)) {
            gen_error("gen_waf_load: file %s ends too soon", name);
            return false;
        }
        float *m = waf->matrices[i];
        // Four columns of x, y, z; the bottom row is 0, 0, 0, 1.
        for (int column = 0; column < 4; ++column) {
            for (int row = 0; row < 3; ++row) {
                m[column * 4 + row] = xv_le_f32(stored + (column * 3 + row) * 4);
            }
            m[column * 4 + 3] = column == 3 ? 1.0f : 0.0f;
        }
        for (int row = 0; row < 4; ++row) {
            gen_history("%f %f %f %f\n", m[row * 4], m[row * 4 + 1], m[row * 4 + 2],
                        m[row * 4 + 3]);
        }
        gen_history("\n");
    }
    return true;
}

// Wraps value cyclically into low .. high - 1.
int fit_cyclic(int value, int low, int high) {
    const int span = high - low;
    if (span <= 0) {
        return low;
    }
    int offset = (value - low) % span;
    if (offset < 0) {
        offset += span;
    }
    return low + offset;
}

bool grow_pose(int bones) {
    if (bones <= pose_bones) {
        return true;
    }
    auto *grown = static_cast<float(*)[16]>(xv_mem_realloc(pose, sizeof(float[16]) * bones));
    if (!grown) {
        gen_mem_failed(__FILE__, __LINE__, "gen_wo2_aux_matrix");
        return false;
    }
    xv_mem_set_name(grown, "gen_wo2_aux_matrix");
    pose = grown;
    pose_bones = bones;
    return true;
}

// The pose of the state's time: frames f and g, and the blend between them.
bool blend_pose(const GEN_ANIM_STATE *state, const GEN_WAF *waf) {
    const GEN_WAF_ANIMATION &a = waf->animations[state->animation];
    const int start = a.start_frame, end = a.end_frame;
    int f = 0, g = 0;
    float factor = 0;
    if (state->flags & GEN_ANIM_FRAME_TIME) {
        f = fit_cyclic(static_cast<int>(start + state->time), start, end);
        g = f == waf->num_frames - 1 ? start : f + 1;
        factor = state->time - std::floor(state->time);
    } else {
        const float p = (state->time - std::floor(state->time)) * (end - start) + start;
        f = static_cast<int>(p);
        g = f == end - 1 ? start : f + 1;
        factor = p - static_cast<float>(f);
    }
    const int bones = waf->num_matrices_per_frame;
    if (f < 0 || g < 0 || f >= waf->num_frames || g >= waf->num_frames || !grow_pose(bones)) {
        gen_error("gen_wo2_compute_skeletal: frame out of the file -> %i", f);
        return false;
    }
    for (int b = 0; b < bones; ++b) {
        const float *from = waf->matrices[f * bones + b];
        const float *to = waf->matrices[g * bones + b];
        for (int k = 0; k < 16; ++k) {
            pose[b][k] = from[k] + (to[k] - from[k]) * factor;
        }
    }
    return true;
}

void add_product(const float *m, const float *v, float *sum) {
    for (int row = 0; row < 3; ++row) {
        sum[row] += m[row] * v[0] + m[4 + row] * v[1] + m[8 + row] * v[2] + m[12 + row] * v[3];
    }
}

void put3(uint8_t *at, const float *v) {
    std::memcpy(at, v, sizeof(float) * 3);
}

} // namespace

void gen_waf_load(GEN_WAF *waf, const char *file_name) {
    if (!waf) {
        gen_error("gen_waf_load: not a valid pointer for loading -> %s",
                  file_name ? file_name : "");
        return;
    }
    std::memset(waf, 0, sizeof *waf);
    XV_FILE *file = file_name ? xv_io_fopen(file_name, "rb") : nullptr;
    if (!file) {
        gen_error("gen_waf_load: cant load file %s. HINT: make sure it actually exists in the "
                  "directory.",
                  file_name ? file_name : "");
        return;
    }
    waf->in_use = 1; // what is read so far is released with the record
    xv_io_fseek(file, 0, SEEK_END);
    const long size = xv_io_ftell(file);
    xv_io_rewind(file);
    bool loaded = read_header(file, waf, file_name);
    // Counts that ask for more than the file holds are a damaged file: nothing
    // is allocated for them.
    const uint64_t wanted = 8 + 68 * uint64_t{waf->num_animations} +
                            48 * uint64_t{waf->num_frames} * waf->num_matrices_per_frame;
    if (loaded && wanted > static_cast<uint64_t>(size)) {
        gen_error("gen_waf_load: file %s ends too soon", file_name);
        loaded = false;
    }
    loaded = loaded && read_animations(file, waf, file_name) && read_matrices(file, waf, file_name);
    if (!loaded) {
        // An animation without its frames is no animation: none is left.
        if (waf->animations) {
            xv_mem_free(waf->animations);
        }
        if (waf->matrices) {
            xv_mem_free(waf->matrices);
        }
        waf->animations = nullptr;
        waf->matrices = nullptr;
        waf->num_animations = waf->num_frames = waf->num_matrices_per_frame = 0;
    } else {
        gen_history("\n");
        gen_history("FILE SIZE %i\n", 8 + 68 * waf->num_animations +
                                          48 * waf->num_frames * waf->num_matrices_per_frame);
        gen_history("...and thats all for waf file : %s\n", file_name);
        gen_history("\n");
    }
    xv_io_fclose(file);
}

void gen_waf_free(GEN_WAF *waf) {
    if (!waf) {
        return;
    }
    if (!waf->in_use) {
        gen_error("gen_waf_free: waf not in use or freed already");
        return;
    }
    if (waf->animations) {
        xv_mem_free(waf->animations);
    }
    if (waf->matrices) {
        xv_mem_free(waf->matrices);
    }
    std::memset(waf, 0, sizeof *waf);
}

int32_t gen_waf_find_animation(const GEN_WAF *waf, const char *name) {
    for (int i = 0; waf && name && waf->animations && i < waf->num_animations; ++i) {
        if (strcasecmp(waf->animations[i].name, name) == 0) {
            return i;
        }
    }
    return -1;
}

void gen_waf_release_matrix_buffer() {
    if (pose) {
        xv_mem_free(pose);
    }
    pose = nullptr;
    pose_bones = 0;
}

// Each skinned vertex: its weighted copies of position and normal, one a
// bone, summed through the blended bone matrices and written to every copy
// of the vertex in the vertex block.
void gen_wo2_compute_skeletal(GEN_WO2 *model, const GEN_ANIM_STATE *state, const GEN_WAF *waf) {
    if (!model || (model->header.properties & GEN_WO2_SKIP_SKINNING)) {
        return;
    }
    if (!waf || !waf->in_use) {
        gen_error("gen_wo2_compute_skeletal: waf file not in use");
        return;
    }
    if (model->header.properties & GEN_WO2_INTERLEAVED) {
        gen_error("gen_wo2_compute_skeletal: interleaved vertices not supported yet");
        return;
    }
    if (!state || state->animation < 0 || state->animation >= waf->num_animations) {
        gen_error("gen_wo2_compute_skeletal: animation out of range -> %i",
                  state ? state->animation : -1);
        return;
    }
    const uint8_t *block = model->skeletal_data;
    if (!block || reinterpret_cast<uintptr_t>(block) % 16 != 0) {
        gen_error("skeletal data is not quadword aligned");
        return;
    }
    if (!blend_pose(state, waf)) {
        return;
    }
    const size_t end = model->header.skeletal_block_size & ~3u;
    const size_t vertex_bytes = model->header.data_block_size;
    size_t at = 0;
    while (at < end) {
        if (at + 8 > end) {
            break;
        }
        const uint32_t weights = xv_le32(block + at) & 0xFF;
        const uint32_t targets = xv_le32(block + at + 4) & 0xFF;
        size_t bones_at = at + 8;
        size_t targets_at = bones_at + weights * 4;
        size_t weights_at = (targets_at + targets * 8 + 15) & ~size_t{15};
        const size_t next = weights_at + weights * 32;
        if (next > end) {
            gen_error("gen_wo2_compute_skeletal: skeletal_data (%i) > skeletal_final (%i)",
                      static_cast<int>(next), static_cast<int>(end));
            return;
        }
        float position[3] = {0, 0, 0}, normal[3] = {0, 0, 0};
        for (uint32_t k = 0; k < weights; ++k) {
            const uint32_t bone = xv_le32(block + bones_at + k * 4);
            if (bone >= waf->num_matrices_per_frame) {
                gen_error("gen_wo2_compute_skeletal: bone %i out of range", static_cast<int>(bone));
                return;
            }
            float weighted[8];
            for (int c = 0; c < 8; ++c) {
                weighted[c] = xv_le_f32(block + weights_at + k * 32 + c * 4);
            }
            add_product(pose[bone], weighted, position);
            add_product(pose[bone], weighted + 4, normal);
        }
        const float length =
            std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
        if (length > 0) {
            for (float &c : normal) {
                c /= length;
            }
        }
        for (uint32_t t = 0; t < targets; ++t) {
            const uint32_t position_at = xv_le32(block + targets_at + t * 8);
            const uint32_t normal_at = xv_le32(block + targets_at + t * 8 + 4);
            // In 64 bits: an offset near 4 GB must not wrap round past the check.
            if (uint64_t{position_at} + 12 <= vertex_bytes && model->vertex_data) {
                put3(model->vertex_data + position_at, position);
            }
            if (uint64_t{normal_at} + 12 <= vertex_bytes && model->vertex_data) {
                put3(model->vertex_data + normal_at, normal);
            }
        }
        at = next;
    }
}
