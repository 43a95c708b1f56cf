#include "viewer.h"

#include "game.h"
#include "gen.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct Viewer {
    bool active = false;
    GEN_WO2 model{};
    int32_t node = -1;
    float centre[3] = {};
    float distance = 10.0f;
    float nearest = 0.1f;
};
Viewer viewer;

constexpr float kTurntableDegrees = 1.0f; // a step: 30 degrees a second
constexpr float kDragDegrees = 0.5f;      // a mouse count

void place_camera() {
    XV_3D_WORLD *world = game_world();
    XV_3D_CAMERA camera{};
    xv_3d_world_get_camera(world, &camera);
    xv_3d_camera_orbit(&camera, viewer.centre, viewer.distance);
    xv_3d_world_set_camera(world, &camera);
}

} // namespace

bool viewer_init(const char *file) {
    XV_3D_WORLD *world = game_world();
    gen_wo2_load(&viewer.model, file);
    if (!viewer.model.in_use || gen_error_reported()) {
        gen_wo2_free(&viewer.model);
        return false;
    }
    gen_history("viewing %s\n", file);
    viewer.node = xv_3d_world_add_node(world, &viewer.model, nullptr);
    xv_3d_world_get_node_pointer(world, viewer.node)->flags |= XV_3D_NODE_TRANSLUCENT_PASS;
    const GEN_WO2_HEADER &h = viewer.model.header;
    std::memcpy(viewer.centre, h.sphere_centre, sizeof viewer.centre);
    const float radius = std::max(h.sphere_radius, 0.01f);
    viewer.distance = radius * 3.0f;
    viewer.nearest = radius * 0.5f;
    XV_3D_CAMERA camera{};
    xv_3d_world_get_camera(world, &camera);
    camera.scale[0] = camera.scale[1] = camera.scale[2] = 1.0f;
    camera.rotation[0] = 20.0f; // looking down a little
    camera.near_plane = radius * 0.05f;
    camera.far_plane = radius * 100.0f;
    xv_3d_world_set_camera(world, &camera);
    place_camera();
    viewer.active = true;
    return true;
}

void viewer_deinit() {
    if (viewer.active) {
        gen_wo2_free(&viewer.model);
        viewer = Viewer{};
    }
}

bool viewer_active() {
    return viewer.active;
}

void viewer_step() {
    if (!viewer.active) {
        return;
    }
    XV_3D_WORLD *world = game_world();
    XV_3D_NODE *node = xv_3d_world_get_node_pointer(world, viewer.node);
    node->rotation[1] = std::fmod(node->rotation[1] + kTurntableDegrees, 360.0f);
    XV_INPUT_MOUSE mouse{};
    xv_input_get_mouse(&mouse);
    XV_3D_CAMERA camera{};
    xv_3d_world_get_camera(world, &camera);
    if (mouse.buttons & 1) {
        camera.rotation[1] += static_cast<float>(mouse.x) * kDragDegrees;
        camera.rotation[0] = std::clamp(
            camera.rotation[0] + static_cast<float>(mouse.y) * kDragDegrees, -89.0f, 89.0f);
    }
    if (mouse.z) {
        viewer.distance = std::max(
            viewer.nearest, viewer.distance * (1.0f - static_cast<float>(mouse.z) / 1200.0f));
    }
    xv_3d_world_set_camera(world, &camera);
    place_camera();
}
