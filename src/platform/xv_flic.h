// FLI and FLC animations (Autodesk Animator), played frame by frame into an
// 8-bit frame buffer with its own palette and drawn into bitmaps of any
// depth. The whole file is held in memory.
#pragma once

#include "xv_bit.h"

#include <cstdint>

enum {
    XV_FLIC_FLI = 1, // speed in 1/70 s
    XV_FLIC_FLC = 2, // speed in ms
};

struct XV_FLIC {
    int16_t x, y; // where the frame is drawn
    uint16_t width, height;
    uint32_t size; // width × height
    uint16_t num_frames;
    uint16_t current_frame; // 0 until the first frame; then 1..num_frames
    uint16_t kind;          // XV_FLIC_FLI or XV_FLIC_FLC
    uint16_t depth;         // 8
    uint32_t delay;         // ms between frames
    uint32_t last_tick;
    XV_PALETTE *palette; // 256 RGB entries
    const uint8_t *first_chunk;
    const uint8_t *read_pos;
    const uint8_t *loop_pos;
    uint8_t *pixels;
    uint8_t *data;      // the file after its 128-byte header
    uint32_t data_size; // bytes of data: no chunk is believed past them
    char *file_name;
    // Drawn over the 3D view, the frame goes as a picture of its own in
    // true colour, made again when the frame has changed.
    XV_BITMAP shown;
    uint16_t shown_frame;
};

// mode: 1 or 2 (any other fails).
int xv_flic_open(XV_FLIC *flic, const char *file_name, int mode);
void xv_flic_close(XV_FLIC *flic);
// Decodes the next frame when its time has come (or at once with force 1);
// after the last frame comes the first again.
int xv_flic_next_frame(XV_FLIC *flic, int force);
void xv_flic_rewind(XV_FLIC *flic);
void xv_flic_clear(XV_FLIC *flic);
// mode 1 centres the frame in the target, mode 2 scales it to the target.
// Over the 3D view (the display open) the frame is drawn as a picture of
// the 3D interface; otherwise its pixels are copied into the target.
void xv_flic_draw(XV_FLIC *flic, XV_BITMAP *target, int mode);
