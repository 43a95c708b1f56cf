#include "shadow.h"

#include "ball.h"
#include "game.h"
#include "players.h"

#include "gen.h"
#include "xv.h"

#include <cmath>

namespace {

constexpr char kShadowModel[] = "gfx\\wo2\\tball\\shadow.wo2";
constexpr float kReach = 3.0f;        // below the ball, the ground is looked for this far
constexpr float kOverGround = 0.004f; // the disc floats a hair over the ground it lies on
constexpr float kGrowth = 0.6f;       // of its size, a unit the ball flies higher
constexpr float kDegreesPerRadian = 57.29747f;

struct Shadows {
    GEN_WO2 model{};
    int32_t nodes[MAX_PLAYERS] = {};
    int count = 0;
};
Shadows shadows;

void place(XV_3D_NODE *shadow, const PLAYER &record, const XV_3D_NODE &ball) {
    float ground[3], normal[3];
    if (record.hole_state != BALL_IN_PLAY ||
        !ball_ground_below(ball.position, ball.position[1] - kReach, ground, normal)) {
        shadow->flags |= XV_3D_NODE_HIDDEN;
        return;
    }
    shadow->flags &= ~XV_3D_NODE_HIDDEN;
    for (int axis = 0; axis < 3; ++axis) {
        shadow->position[axis] = ground[axis] + normal[axis] * kOverGround;
    }
    // Tilted with the ground: its up is the ground's normal.
    shadow->rotation[0] = std::atan2(normal[2], normal[1]) * kDegreesPerRadian;
    shadow->rotation[1] = 0.0f;
    shadow->rotation[2] = -std::atan2(normal[0], normal[1]) * kDegreesPerRadian;
    const float height = std::max(0.0f, ball.position[1] - record.radius - ground[1]);
    const float size = 1.0f + height * kGrowth;
    for (float &axis : shadow->scale) {
        axis = size;
    }
}

} // namespace

void shadows_add() {
    shadows_free();
    // A game folder without the shadow's model plays without shadows: they
    // are a look, not a rule of the game.
    if (!xv_io_fexist(kShadowModel, XV_IO_THROUGH_LAYER)) {
        gen_history("no %s: the balls cast no shadow\n", kShadowModel);
        return;
    }
    gen_wo2_load(&shadows.model, kShadowModel);
    if (!shadows.model.in_use) {
        return;
    }
    for (int i = 0; i < player_count() && i < MAX_PLAYERS; ++i) {
        const int32_t node = xv_3d_world_add_node(game_world(), &shadows.model, nullptr);
        if (node < 0) {
            break;
        }
        if (XV_3D_NODE *shadow = xv_3d_world_get_node_pointer(game_world(), node)) {
            shadow->flags |= XV_3D_NODE_TRANSLUCENT_PASS | XV_3D_NODE_HIDDEN;
        }
        shadows.nodes[shadows.count++] = node;
    }
}

void shadows_place() {
    for (int i = 0; i < shadows.count; ++i) {
        XV_3D_NODE *shadow = xv_3d_world_get_node_pointer(game_world(), shadows.nodes[i]);
        const PLAYER *record = player(i);
        const XV_3D_NODE *ball = player_ball(i);
        if (shadow && record && ball) {
            place(shadow, *record, *ball);
        }
    }
}

void shadows_free() {
    gen_wo2_free(&shadows.model);
    shadows.count = 0;
}

int32_t shadow_node(int seat) {
    return seat >= 0 && seat < shadows.count ? shadows.nodes[seat] : -1;
}
