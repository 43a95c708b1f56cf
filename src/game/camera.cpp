#include "camera.h"

#include "game.h"
#include "players.h"
#include "script.h"
#include "trail.h"

#include "gen.h"
#include "xv.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kGrowth = 3;
constexpr float kDegreesPerRadian = 57.29747f;
constexpr float kRadiansPerDegree = 0.01745278f;
constexpr float kNearDistance = 0.005f;
constexpr float kSightRadius = 0.1f; // of the ray a direct-follow camera keeps clear
constexpr float kSightAbove = 0.2f;  // the ray ends this far above the followed node
constexpr float kThinSight = 0.02f;  // a ray that grazes, not a swept ball
constexpr float kRiseOverCover = 1.0f;
constexpr float kRisePerUpdate = 0.03f;
constexpr float kSinkPerUpdate = 0.01f;
constexpr float kTrailOverrun = 1.01f; // a curve runs a little past its end
constexpr float kTrailPitchStep = 0.5f;
constexpr float kTrailHeadingStep = 1.0f;
constexpr int kLongestName = 500;

struct Cameras {
    CAMERA *table = nullptr;
    int count = 0;
    int capacity = 0;
    int current = 0;
    CAMERA_EVENT_HANDLER handler = nullptr;
    uint8_t trigger_switching = 0;
};
Cameras cameras;

// The node the camera names; none, reported once, when the world has no
// such node: a camera runs every update, and its report would too.
XV_3D_NODE *world_node(CAMERA *camera, int32_t index) {
    XV_3D_WORLD *world = game_world();
    if (index >= 0 && index < world->num_nodes) {
        return xv_3d_world_get_node_pointer(world, index);
    }
    if (!camera->missing_node_said) {
        camera->missing_node_said = 1;
        gen_error("Camera %d (%s) names the node %d, which the world does not have (0 to %d)",
                  camera->index, camera->name ? camera->name : "", index, world->num_nodes - 1);
    }
    return nullptr;
}

float distance(const float a[3], const float b[3]) {
    const float dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Turns the view towards a point: heading and pitch from the offset of the
// camera to it.
void aim_at(XV_3D_CAMERA *view, const float target[3]) {
    const float d[3] = {view->position[0] - target[0], view->position[1] - target[1],
                        view->position[2] - target[2]};
    view->rotation[1] = trail_angle(d[0], d[2]) * kDegreesPerRadian - 90.0f;
    view->rotation[0] =
        -trail_angle(d[1], std::sqrt(d[0] * d[0] + d[2] * d[2])) * kDegreesPerRadian + 90.0f;
}

void look_at_node(CAMERA *camera, int index) {
    const XV_3D_NODE *node = world_node(camera, camera->control.look_at_node);
    if (!node) {
        return;
    }
    aim_at(&camera->view, node->position);
    const CAMERA_CONTROL &c = camera->control;
    if (cameras.trigger_switching && (c.flags & CAMERA_TRIGGER) &&
        distance(c.trigger_centre, node->position) < c.trigger_radius) {
        cameras.current = index;
    }
}

// Where a follow puts the camera: behind the node as it is turned.
void follow_place(const CAMERA_CONTROL &c, const XV_3D_NODE &node, float height, float out[3]) {
    const float reach = std::sqrt(c.offset[0] * c.offset[0] + c.offset[2] * c.offset[2]);
    const float a = node.rotation[1] * kRadiansPerDegree;
    out[0] = node.position[0] + std::sin(a) * reach;
    out[1] = node.position[1] + height;
    out[2] = node.position[2] + std::cos(a) * reach;
}

// Whether a thick ray from the camera to just above the node meets the course.
bool view_blocked(const float from[3], const XV_3D_NODE &node) {
    GAME *g = game();
    if (!g->map.inited) {
        return false;
    }
    const float to[3] = {node.position[0], node.position[1] + kSightAbove, node.position[2]};
    gen_coll_set_flags(GEN_COLL_TWO_SIDED);
    return gen_coll_ray_wo2(from, to, kSightRadius, &g->model, &g->map) != 0;
}

// The places tried for a camera whose view is blocked, nearest the one
// wanted first: higher, then closer along the line to the ball.
constexpr float kCloser[] = {1.0f, 0.75f, 0.5f, 0.3f};
constexpr float kHigher[] = {0.0f, 0.6f, 1.2f, 2.0f};

// Direct follow: at the offset, rising a unit over whatever hides the node
// (0.03 an update) and sinking back once it is clear (0.01 an update).
void follow_directly(CAMERA *camera, const XV_3D_NODE &node) {
    CAMERA_CONTROL &c = camera->control;
    XV_3D_CAMERA &view = camera->view;
    follow_place(c, node, c.follow_height, view.position);
    if (c.flags & CAMERA_OFFSETS) {
        view.rotation[1] = -node.rotation[1];
        view.rotation[0] += c.pitch_offset;
    }
    const float wanted = c.follow_height + (view_blocked(view.position, node) ? kRiseOverCover : 0);
    c.offset[1] = gen_math_approach(c.offset[1], wanted,
                                    c.offset[1] < wanted ? kRisePerUpdate : kSinkPerUpdate);
    view.position[1] = node.position[1] + c.offset[1];
}

// Smooth follow: the axis with farthest to go moves by the smooth speed and
// the others in proportion, so that all three arrive together.
void follow_smoothly(CAMERA *camera, const XV_3D_NODE &node, int index) {
    CAMERA_CONTROL &c = camera->control;
    XV_3D_CAMERA &view = camera->view;
    float wanted[3];
    follow_place(c, node, c.offset[1], wanted);
    float gap[3];
    for (int axis = 0; axis < 3; ++axis) {
        gap[axis] = std::fabs(wanted[axis] - view.position[axis]);
    }
    const int farthest = gap[0] >= gap[1] && gap[0] >= gap[2] ? 0 : gap[1] >= gap[2] ? 1 : 2;
    for (int axis = 0; axis < 3; ++axis) {
        const float step = axis == farthest       ? c.smooth_speed
                           : gap[farthest] > 0.0f ? gap[axis] * c.smooth_speed / gap[farthest]
                                                  : 0.0f;
        view.position[axis] = gen_math_approach(view.position[axis], wanted[axis], step);
    }
    if (cameras.handler && equal_to_decimals(view.position[0], wanted[0], 1) &&
        equal_to_decimals(view.position[1], wanted[1], 1) &&
        equal_to_decimals(view.position[2], wanted[2], 1)) {
        cameras.handler(index, CAMERA_ARRIVED, 0);
    }
    if (c.flags & CAMERA_OFFSETS) {
        view.rotation[0] += c.pitch_offset;
        view.rotation[1] += c.yaw_offset;
    }
}

void follow(CAMERA *camera, int index) {
    const XV_3D_NODE *node = world_node(camera, camera->control.followed_node);
    if (!node) {
        return;
    }
    if (camera->control.flags & CAMERA_SMOOTH) {
        follow_smoothly(camera, *node, index);
    } else {
        follow_directly(camera, *node);
    }
}

// Along the trail: the parameter runs a little past each curve's end, then
// on into its first child; the end of a branch starts over, with an event.
void ride_trail(CAMERA *camera, int index) {
    CAMERA_CONTROL &c = camera->control;
    if (!c.trail_node) {
        c.trail_node = c.trail_start;
    }
    if (!c.trail_node) {
        return; // no trail to ride
    }
    c.trail_t += c.trail_speed;
    if (c.trail_t > kTrailOverrun) {
        c.trail_t = c.trail_speed;
        if (c.trail_node->num_children > 0) {
            c.trail_node = c.trail_node->children[0];
        } else {
            if (cameras.handler) {
                cameras.handler(index, CAMERA_TRAIL_END, 0);
            }
            c.trail_node = c.trail_start;
            if (!c.trail_node) {
                return; // the handler took the trail away
            }
        }
    }
    XV_3D_CAMERA &view = camera->view;
    const float before[3] = {view.position[0], view.position[1], view.position[2]};
    trail_curve_point(view.position, c.trail_node->curve, c.trail_t, 0);
    for (int axis = 0; axis < 3; ++axis) {
        view.position[axis] += c.offset[axis];
    }
    if (c.flags & CAMERA_OFFSETS) {
        const float d[3] = {view.position[0] - before[0], view.position[1] - before[1],
                            view.position[2] - before[2]};
        const float pitch =
            trail_angle(d[1], std::sqrt(d[0] * d[0] + d[2] * d[2])) * kDegreesPerRadian - 90.0f;
        const float heading = trail_angle(d[0], d[2]) * kDegreesPerRadian + 90.0f;
        view.rotation[0] = trail_approach_angle(view.rotation[0], pitch, kTrailPitchStep);
        view.rotation[1] = trail_approach_angle(view.rotation[1], heading, kTrailHeadingStep);
    }
}

bool grow_table() {
    if (cameras.count < cameras.capacity) {
        return true;
    }
    const int capacity = cameras.capacity + kGrowth;
    auto *grown = static_cast<CAMERA *>(
        XV_REALLOC(cameras.table, sizeof(CAMERA) * static_cast<size_t>(capacity)));
    if (!grown) {
        gen_mem_failed(__FILE__, __LINE__, "cameras");
        return false;
    }
    cameras.table = grown;
    cameras.capacity = capacity;
    return true;
}

// A count the camera file gives; -1 when it is more than its three-digit
// sections can name, negative, or more than the file's bytes can hold (each
// camera has a section, "[Camera001]" and its line end at the least).
int camera_file_count(const char *file_name) {
    constexpr long kSectionBytes = 12;
    int count = 0;
    xv_io_ini_read_int("Level Properties", "num_cam", &count, file_name);
    if (count < 0 || count > CAMERA_MOST_IN_FILE) {
        gen_error("load_cameras: %s names %d cameras (0 to %d)", file_name, count,
                  CAMERA_MOST_IN_FILE);
        return -1;
    }
    const long size = xv_io_file_size(file_name);
    if (count * kSectionBytes > size) {
        gen_error("load_cameras: %s names %d cameras, more than its %ld bytes can hold", file_name,
                  count, size);
        return -1;
    }
    return count;
}

} // namespace

int add_camera(const char *name, const CAMERA_CONTROL *control) {
    if (!grow_table()) {
        return -1;
    }
    CAMERA &camera = cameras.table[cameras.count];
    camera = CAMERA{};
    if (!xv_str_create(&camera.name, name ? name : "", 0)) {
        camera.name = nullptr;
    }
    xv_3d_world_get_camera(game_world(), &camera.view);
    camera.index = static_cast<uint8_t>(cameras.count);
    if (control) {
        camera.control = *control;
    }
    return cameras.count++;
}

void free_cameras() {
    for (int i = 0; i < cameras.count; ++i) {
        if (cameras.table[i].name) {
            xv_str_destroy(cameras.table[i].name);
        }
    }
    xv_mem_release(cameras.table);
    const CAMERA_EVENT_HANDLER handler = cameras.handler;
    cameras = Cameras{};
    cameras.handler = handler; // the level sets it again at its next load
}

void load_cameras(const char *file_name) {
    const int count = camera_file_count(file_name);
    for (int n = 1; n <= count; ++n) {
        char section[24];
        std::snprintf(section, sizeof section, "Camera%03d", n);
        // One report where the cameras end, not one for each key of each
        // camera the count promised.
        if (!read_has_key(section, "position", file_name)) {
            gen_error("load_cameras: %s names %d cameras, but [%s] has no position: the cameras "
                      "end there",
                      file_name, count, section);
            return;
        }
        float position[3] = {};
        CAMERA_CONTROL control{};
        char name[kLongestName + 1] = "";
        read_vector(section, "position", position, file_name);
        read_vector(section, "collision_sphere_position", control.trigger_centre, file_name);
        read_number(section, "collision_sphere_radius", &control.trigger_radius, file_name);
        xv_io_ini_read(section, "name", name, kLongestName, file_name);
        control.flags = CAMERA_LOOK_AT_NODE | CAMERA_TRIGGER;
        control.look_at_node = CAMERA_FILE_NODE;
        const int index = add_camera(name, &control);
        if (index < 0) {
            return;
        }
        XV_3D_CAMERA &view = cameras.table[index].view;
        std::memcpy(view.position, position, sizeof position);
        view.rotation[0] = view.rotation[1] = view.rotation[2] = 0.0f;
    }
}

int camera_count() {
    return cameras.count;
}

CAMERA *camera_at(int index) {
    return index >= 0 && index < cameras.count ? &cameras.table[index] : nullptr;
}

int current_camera() {
    return cameras.current;
}

void set_current_camera(int index) {
    if (index >= 0 && index < cameras.count) {
        cameras.current = index;
    }
}

void get_camera_control(CAMERA_CONTROL *out, int index) {
    if (out && camera_at(index)) {
        *out = cameras.table[index].control;
    }
}

void set_camera_control(const CAMERA_CONTROL *in, int index) {
    if (in && camera_at(index)) {
        CAMERA_CONTROL &control = cameras.table[index].control;
        control = *in;
        control.follow_height = control.offset[1];
        cameras.table[index].missing_node_said = 0;
    }
}

void set_camera_event_handler(CAMERA_EVENT_HANDLER handler) {
    cameras.handler = handler;
}

void set_camera_trigger_switching(int on) {
    cameras.trigger_switching = on ? 1 : 0;
}

void camera_update() {
    for (int i = 0; i < cameras.count; ++i) {
        CAMERA *camera = &cameras.table[i];
        const uint8_t flags = camera->control.flags;
        if (flags & CAMERA_LOOK_AT_NODE) {
            look_at_node(camera, i);
        }
        if (flags & CAMERA_LOOK_AT_POINT) {
            aim_at(&camera->view, camera->control.look_at_point);
        }
        if (flags & CAMERA_FOLLOW) {
            follow(camera, i);
        }
        if (flags & CAMERA_TRAIL) {
            ride_trail(camera, i);
        }
    }
    XV_3D_WORLD *world = game_world();
    if (const CAMERA *current = camera_at(cameras.current)) {
        xv_3d_world_set_camera(world, &current->view);
    }
    world->camera.near_plane = kNearDistance;
}

void follow_current_player() {
    const PLAYER *followed = player(current_player());
    if (!followed) {
        return;
    }
    for (int i = 0; i < cameras.count; ++i) {
        if (cameras.table[i].name && std::strcmp(cameras.table[i].name, CAMERA_FOLLOWED) == 0) {
            cameras.table[i].control.look_at_node = followed->ball_node;
        }
    }
}

int camera_named(const char *name) {
    for (int i = 0; i < cameras.count; ++i) {
        if (cameras.table[i].name && std::strcmp(cameras.table[i].name, name) == 0) {
            return i;
        }
    }
    return -1;
}

void camera_event(int camera, int event, int) {
    if (camera != 0 || event != CAMERA_ARRIVED || !camera_at(0)) {
        return;
    }
    CAMERA_CONTROL &control = cameras.table[0].control;
    if (control.flags & CAMERA_SMOOTH) {
        control.flags &= static_cast<uint8_t>(~CAMERA_SMOOTH);
        game()->state = GAME_APPROACHED;
        game()->state_deadline = 1;
    }
}

bool equal_to_decimals(float a, float b, int n) {
    const double scale = std::pow(10.0, n);
    return std::trunc(a * scale) == std::trunc(b * scale);
}

namespace {

bool sight_clear(const float from[3], const float to[3], float radius) {
    GAME *g = game();
    if (!g->map.inited) {
        return true;
    }
    gen_coll_set_flags(GEN_COLL_TWO_SIDED);
    const bool blocked = gen_coll_ray_wo2(from, to, radius, &g->model, &g->map) != 0;
    gen_coll_set_flags(0);
    return !blocked;
}

} // namespace

bool camera_sees(const float from[3], const float to[3]) {
    return sight_clear(from, to, kSightRadius);
}

// Over the ball and down to its middle: a wall in front may hide no more
// than its lower half, where the aim guide starts.
bool camera_sees_ball(const float from[3], const float ball[3]) {
    const float top[3] = {ball[0], ball[1] + kSightAbove, ball[2]};
    return camera_sees(from, top) && sight_clear(from, ball, kThinSight);
}

void chase_camera_place(const float position[3], float heading, float out[3]) {
    float x, z;
    aim_direction(heading, &x, &z);
    const float back[3] = {-x * CHASE_BEHIND, CHASE_ABOVE, -z * CHASE_BEHIND};
    // Higher before closer: a camera close behind the ball sees little
    // else, one that stands higher still sees the way ahead.
    for (float closer : kCloser) {
        for (float higher : kHigher) {
            const float place[3] = {position[0] + back[0] * closer,
                                    position[1] + back[1] * closer + higher,
                                    position[2] + back[2] * closer};
            if (camera_sees_ball(place, position)) {
                std::memcpy(out, place, sizeof place);
                return;
            }
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        out[axis] = position[axis] + back[axis];
    }
}
