// Draw lists: what is queued during a frame to be drawn per texture, so
// that each texture is bound once. The bitmap list holds the 2D pictures
// the platform copies onto the screen, as textured quads.
#pragma once

#include <cstdint>

struct XV_RECT;
struct GEN_WO2;
struct GEN_WAF;
struct GEN_ANIM_STATE;
struct GEN_WO2_MATERIAL;
struct GEN_WO2_MATERIAL_GROUP;
struct GEN_WO2_FACE_GROUP;
struct XV_3D_WORLD;

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

// ---- models -----------------------------------------------------------------------

// The pass the world draws: opaque references, then translucent ones.
enum { GEN_DRAW_OPAQUE = 0, GEN_DRAW_TRANSLUCENT = 1 };
void gen_set_draw_mode(int mode);
int gen_get_draw_mode();
// Which passes of a material are drawn: base, environment, detail, spare.
enum { GEN_PASS_BASE = 0x01, GEN_PASS_ENV = 0x02, GEN_PASS_DETAIL = 0x04, GEN_PASS_SPARE = 0x08 };
void gen_set_pass_mask(int mask);
int gen_get_pass_mask();

// The node being drawn, as the world tells the models: whether every
// reference is lit, where the node stands (for the light search), the
// camera's matrix, whether per-reference zone visibility applies, and
// whether the node's scale mirrors it (which turns its faces' winding).
// The world whose lights light the references drawn.
void gen_mgr2_set_light_world(XV_3D_WORLD *world);
void gen_mgr2_set_node(bool light_all, const float position[3], const float camera[16],
                       bool zones_active, bool mirrored = false);

// Draws a model's references of the current mode, culled by the view
// sphere and the distance band, lit per reference.
void gen_wo2_draw(GEN_WO2 *model, const GEN_ANIM_STATE *state, const GEN_WAF *animation);
void gen_mgr2_draw_material_group(const GEN_WO2_MATERIAL_GROUP *group,
                                  const GEN_WO2_MATERIAL *material, float alpha);
void gen_mgr2_draw_face_group(GEN_WO2_FACE_GROUP *face, const GEN_WO2_MATERIAL_GROUP *group);
// The opaque pass's queue: groups in the order their references reach
// beyond the near plane, a texture's groups together where it is first met.
void gen_mgr2_begin_lists();
void gen_mgr2_add_to_draw_list(int texture, const GEN_WO2_MATERIAL_GROUP *group,
                               const GEN_WO2_MATERIAL *material, float alpha, uint8_t flag,
                               int reference, uint8_t clamp, int property);
void gen_mgr2_draw_lists();
void gen_mgr2_deinit();
// The entries queued under a texture, and the textures of the queue's runs
// in the order they are drawn, -1 for an untextured group (for tests).
int gen_mgr2_list_length(int texture);
int gen_mgr2_queued_textures(int *textures, int most);
// Triangles drawn since the count was last taken (which starts it again):
// what a frame costs the renderer, for the benchmarks.
long gen_mgr2_take_triangle_count();
