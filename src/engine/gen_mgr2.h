// Draw lists: what is queued during a frame to be drawn per texture, so
// that each texture is bound once. The bitmap list holds the 2D pictures
// the platform copies onto the screen, as textured quads.
#pragma once

struct XV_RECT;

// What is drawn at all: 0x01 skeletal models, 0x02 static models, 0x04 bitmaps.
enum { GEN_DRAW_SKELETAL = 1, GEN_DRAW_STATIC = 2, GEN_DRAW_BITMAPS = 4 };
void gen_set_draw_mask(int mask);
int gen_get_draw_mask();

void gen_bit_list_init();
void gen_bit_list_deinit();
// Queues a quad of the texture: screen in normalised device coordinates
// (x, y of its top-left corner, width, height), texture in texture
// coordinates. A quad of another texture draws those queued first.
void gen_bit_add_to_list(int texture, const float screen[4], const float texture_area[4]);
void gen_bit_flush_list();
// Draws what is queued and starts the next frame's list.
void gen_bit_end_frame();
