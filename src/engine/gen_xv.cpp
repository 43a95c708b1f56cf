#include "gen_xv.h"

#include "gen_info.h"
#include "gen_mgr2.h"
#include "gen_tex.h"
#include "gen_wrap.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace {

const XV_3D_CAMERA kDefaultCamera = {
    {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.05f, 0.05f, 0.05f}, 2.0f, 8000.0f, 60.0f,
    1.3333334f};

} // namespace

void xv_3d_engine_init() {
    gen_tex_init();
    gen_bit_list_init();
    if (gen_gl_is_inited()) {
        glEnable(GL_LIGHTING);
    }
    xv_3d_set_ambient(0.0f, 0.0f, 0.0f);
}

void xv_3d_engine_deinit() {
    gen_bit_list_deinit();
    gen_tex_deinit();
}

void xv_3d_world_init(XV_3D_WORLD *world) {
    *world = XV_3D_WORLD{};
    world->camera = kDefaultCamera;
    world->flags = XV_3D_WORLD_INITED;
    xv_3d_light_init(world);
}

void xv_3d_world_deinit(XV_3D_WORLD *world) {
    if (!(world->flags & XV_3D_WORLD_INITED)) {
        gen_error("xv_3d_world_deinit: already deinited or was never inited");
        return;
    }
    world->flags = 0;
    world->num_nodes = 0;
    xv_3d_light_deinit(world);
}

void xv_3d_world_get_camera(const XV_3D_WORLD *world, XV_3D_CAMERA *camera) {
    *camera = world->camera;
}

void xv_3d_world_set_camera(XV_3D_WORLD *world, const XV_3D_CAMERA *camera) {
    world->camera = *camera;
    float &turn = world->camera.rotation[1];
    while (turn < 0.0f) {
        turn += 360.0f;
    }
    while (turn >= 360.0f) {
        turn -= 360.0f;
    }
}

void xv_3d_camera_apply(const XV_3D_CAMERA *camera) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(camera->field_of_view, camera->aspect, camera->near_plane, camera->far_plane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(camera->scale[0], camera->scale[1], camera->scale[2]);
    glRotatef(camera->rotation[2], 0.0f, 0.0f, 1.0f);
    glRotatef(camera->rotation[0], 1.0f, 0.0f, 0.0f);
    glRotatef(camera->rotation[1], 0.0f, 1.0f, 0.0f);
    glTranslatef(-camera->position[0], -camera->position[1], -camera->position[2]);
}

void xv_3d_world_render(XV_3D_WORLD *world) {
    if (!(world->flags & XV_3D_WORLD_INITED) || !gen_gl_is_inited()) {
        return;
    }
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    xv_3d_camera_apply(&world->camera);
    // The nodes' two passes, opaque then translucent, arrive with the models.
}
