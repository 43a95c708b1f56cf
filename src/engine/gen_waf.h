// WAF animations and skinning: named ranges of frames, one bone matrix per
// bone in every frame. Before a skeletal WO2 model is drawn, the bone
// matrices of the current time are blended and the model's skinned
// vertices rewritten in its vertex block from its skeletal block.
#pragma once

#include "gen_wo2.h"

#include <cstdint>

enum : uint16_t { GEN_WAF_VERSION = 0x100 };
enum { GEN_WAF_NAME_BYTES = 64 };

struct GEN_WAF_ANIMATION {
    char name[GEN_WAF_NAME_BYTES];
    uint16_t start_frame, end_frame;
};

struct GEN_WAF {
    uint16_t version;
    uint16_t num_animations;
    uint16_t num_frames;
    uint16_t num_matrices_per_frame; // bones
    GEN_WAF_ANIMATION *animations;
    float (*matrices)[16]; // frame f, bone b: f * bones + b; column-major
    uint8_t in_use;
};

// A node's animation: bit 0 of flags counts time in frames, else time's
// fraction runs through the animation once.
enum : uint32_t { GEN_ANIM_FRAME_TIME = 1 };
struct GEN_ANIM_STATE {
    uint32_t flags;
    int32_t animation;
    float time;
};

void gen_waf_load(GEN_WAF *waf, const char *file_name);
void gen_waf_free(GEN_WAF *waf);
int32_t gen_waf_find_animation(const GEN_WAF *waf, const char *name);
void gen_wo2_compute_skeletal(GEN_WO2 *model, const GEN_ANIM_STATE *state, const GEN_WAF *waf);
// The shared bone matrix buffer goes with the WO2 system.
void gen_waf_release_matrix_buffer();
