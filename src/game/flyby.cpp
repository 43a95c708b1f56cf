#include "flyby.h"

#include "ball.h"
#include "camera.h"
#include "game.h"
#include "players.h"
#include "trail.h"

#include "gen.h"
#include "xv.h"

#include <cstring>

namespace {

constexpr float kTrailSpeed = 0.009f;   // of the curve parameter an update: ~3.7 s a curve
constexpr float kApproachSpeed = 0.12f; // units an update along the farthest axis
constexpr float kLookFrom = 50.0f;      // over and under the middle, the course's height
constexpr float kLookAbove = 0.3f;

int flyby_camera = -1;

// Camera 0 follows the first ball smoothly from where the fly-by left off;
// the level's handler ends the fly-by when it arrives.
void approach(const float *from) {
    CAMERA *camera = camera_at(0);
    const PLAYER *first = player(0);
    if (!camera || !first) {
        return;
    }
    CAMERA_CONTROL control{};
    get_camera_control(&control, 0);
    control.flags = CAMERA_LOOK_AT_NODE | CAMERA_FOLLOW | CAMERA_SMOOTH;
    control.look_at_node = control.followed_node = first->ball_node;
    control.offset[1] = FLYBY_ABOVE;
    control.offset[2] = FLYBY_BEHIND;
    control.smooth_speed = kApproachSpeed;
    set_camera_control(&control, 0);
    if (from) {
        std::memcpy(camera->view.position, from, sizeof camera->view.position);
    }
    set_current_camera(0);
}

void on_event(int camera, int event, int parameter) {
    if (camera == flyby_camera && event == CAMERA_TRAIL_END) {
        CAMERA_CONTROL control{};
        get_camera_control(&control, flyby_camera);
        control.flags = 0; // it stays where the trail ended
        set_camera_control(&control, flyby_camera);
        approach(camera_at(flyby_camera)->view.position);
        return;
    }
    camera_event(camera, event, parameter);
}

} // namespace

void flyby_start() {
    set_camera_trigger_switching(0);
    set_camera_event_handler(on_event);
    flyby_camera = -1;
    if (!game()->trail) {
        approach(nullptr);
        return;
    }
    // It rides the trail looking at the middle of the hole.
    CAMERA_CONTROL control{};
    control.flags = CAMERA_TRAIL | CAMERA_LOOK_AT_POINT;
    control.trail_start = game()->trail;
    control.trail_speed = kTrailSpeed;
    flyby_look_point(control.look_at_point);
    flyby_camera = add_camera("flyby", &control);
    if (flyby_camera < 0) {
        approach(nullptr);
        return;
    }
    CAMERA *camera = camera_at(flyby_camera);
    trail_curve_point(camera->view.position, game()->trail->curve, 0, 0);
    set_current_camera(flyby_camera);
}

void flyby_look_point(float out[3]) {
    hole_position(out);
    if (const XV_3D_NODE *ball = player_ball(0)) {
        for (int axis = 0; axis < 3; ++axis) {
            out[axis] = (out[axis] + ball->position[axis]) / 2;
        }
    }
    // Straight down from high over the middle, onto the course's own faces
    // (not a tree's crown).
    const float from[3] = {out[0], out[1] + kLookFrom, out[2]};
    float top[3];
    if (ball_ground_below(from, out[1] - kLookFrom, top, nullptr)) {
        out[1] = top[1] + kLookAbove;
    }
}

bool flyby_running() {
    const CAMERA *first = camera_at(0);
    return game()->state != GAME_APPROACHED && first &&
           ((first->control.flags & CAMERA_SMOOTH) || current_camera() == flyby_camera);
}

void flyby_skip() {
    const PLAYER *first = player(0);
    CAMERA *camera = camera_at(0);
    if (!first || !camera) {
        return;
    }
    // The fly-by camera stops riding: its trail's end would start the
    // approach again later.
    if (camera_at(flyby_camera)) {
        CAMERA_CONTROL still{};
        get_camera_control(&still, flyby_camera);
        still.flags = 0;
        set_camera_control(&still, flyby_camera);
    }
    approach(nullptr);
    // Put it where the approach would end, then let the handler end it.
    if (const XV_3D_NODE *ball = player_ball(0)) {
        camera->view.position[0] = ball->position[0];
        camera->view.position[1] = ball->position[1] + FLYBY_ABOVE;
        camera->view.position[2] = ball->position[2] + FLYBY_BEHIND;
    }
    camera_update();
}
