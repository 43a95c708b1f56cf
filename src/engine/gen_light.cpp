#include "gen_light.h"

#include "gen_info.h"
#include "gen_mgr2.h"
#include "gen_wrap.h"
#include "gen_xv.h"
#include "xv.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstring>

namespace {

float ambient[4] = {0, 0, 0, 1};

// The checks every operation makes, naming itself; false after the report.
bool usable(XV_3D_WORLD *world, const char *caller) {
    if (!world || !world->lights.inited) {
        gen_error("%s: lights system was not inited", caller);
        return false;
    }
    return true;
}

bool usable(XV_3D_WORLD *world, int32_t number, const char *caller) {
    if (!usable(world, caller)) {
        return false;
    }
    if (number < 0 || number >= world->lights.num_lights) {
        gen_error("%s: light number %i is out of range", caller, number);
        return false;
    }
    if (!(world->lights.lights[number].flags & XV_3D_LIGHT_CREATED)) {
        gen_error("%s: light number %i was not created", caller, number);
        return false;
    }
    return true;
}

GLenum gl_light(int slot) {
    return static_cast<GLenum>(GL_LIGHT1 + slot);
}

float squared_distance(const float *a, const float *b) {
    const float d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
}

} // namespace

void xv_3d_light_init(XV_3D_WORLD *world) {
    if (world->lights.inited) {
        gen_error("xv_3d_light_init: already inited\n");
        return;
    }
    world->lights = XV_3D_LIGHTS{};
    world->lights.inited = 1;
    for (int32_t &slot : world->lights.active) {
        slot = -1;
    }
}

void xv_3d_light_deinit(XV_3D_WORLD *world) {
    if (!world->lights.inited) {
        gen_error("xv_3d_light_deinit: it wasnt inited\n");
        return;
    }
    if (world->lights.lights) {
        xv_mem_free(world->lights.lights);
    }
    world->lights = XV_3D_LIGHTS{};
}

int32_t xv_3d_light_add(XV_3D_WORLD *world, const XV_3D_LIGHT *light) {
    if (!usable(world, "xv_3d_light_add") || !light) {
        return -1;
    }
    XV_3D_LIGHTS &l = world->lights;
    int32_t number = 0;
    while (number < l.num_lights && (l.lights[number].flags & XV_3D_LIGHT_CREATED)) {
        ++number;
    }
    if (number == l.num_lights) {
        if (l.num_lights == l.allocated) {
            auto *grown = static_cast<XV_3D_LIGHT *>(xv_mem_realloc(
                l.lights,
                sizeof(XV_3D_LIGHT) * static_cast<size_t>(l.allocated + XV_3D_LIGHT_GROWTH)));
            if (!grown) {
                gen_mem_failed(__FILE__, __LINE__, "xv_3d_lights");
                return -1;
            }
            std::memset(grown + l.allocated, 0, sizeof(XV_3D_LIGHT) * XV_3D_LIGHT_GROWTH);
            xv_mem_set_name(grown, "xv_3d_lights");
            l.lights = grown;
            l.allocated += XV_3D_LIGHT_GROWTH;
        }
        ++l.num_lights;
    }
    l.lights[number] = *light;
    l.lights[number].flags |= XV_3D_LIGHT_CREATED;
    return number;
}

void xv_3d_light_free(XV_3D_WORLD *world, int32_t number) {
    if (usable(world, number, "xv_3d_light_free")) {
        world->lights.lights[number].flags = 0;
    }
}

void xv_3d_light_get(XV_3D_WORLD *world, int32_t number, XV_3D_LIGHT *out) {
    if (usable(world, number, "xv_3d_light_get") && out) {
        *out = world->lights.lights[number];
    }
}

void xv_3d_light_set(XV_3D_WORLD *world, int32_t number, const XV_3D_LIGHT *in) {
    if (usable(world, number, "xv_3d_light_set") && in) {
        world->lights.lights[number] = *in;
        world->lights.lights[number].flags |= XV_3D_LIGHT_CREATED;
    }
}

void xv_3d_light_activate(XV_3D_WORLD *world, int32_t number) {
    if (!usable(world, number, "xv_3d_light_activate")) {
        return;
    }
    XV_3D_LIGHTS &l = world->lights;
    int free_slot = -1;
    for (int slot = XV_3D_LIGHT_SLOTS - 1; slot >= 0; --slot) {
        if (l.active[slot] == number) {
            return;
        }
        if (l.active[slot] == -1) {
            free_slot = slot;
        }
    }
    if (free_slot < 0) {
        gen_error("xv_3d_light_activate: too many lights activated");
        return;
    }
    l.active[free_slot] = number;
    const XV_3D_LIGHT &light = l.lights[number];
    const GLenum gl = gl_light(free_slot);
    if (light.flags & XV_3D_LIGHT_DIFFUSE) {
        const float diffuse[4] = {light.intensity * light.diffuse[0],
                                  light.intensity * light.diffuse[1],
                                  light.intensity * light.diffuse[2], 1.0f};
        glLightfv(gl, GL_DIFFUSE, diffuse);
    }
    if (light.flags & XV_3D_LIGHT_SPECULAR) {
        const float specular[4] = {light.intensity * light.specular[0],
                                   light.intensity * light.specular[1],
                                   light.intensity * light.specular[2], 1.0f};
        const float white[4] = {1, 1, 1, 1};
        glLightfv(gl, GL_SPECULAR, specular);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 38.0f);
    }
    const float position[4] = {light.position[0], light.position[1], light.position[2], 1.0f};
    glLightfv(gl, GL_POSITION, position);
    glLightf(gl, GL_LINEAR_ATTENUATION, 0.0f);
    glLightf(gl, GL_QUADRATIC_ATTENUATION, light.range != 0 ? 4.35f / light.range : 0.0f);
    glEnable(gl);
    glEnable(GL_NORMALIZE);
}

void xv_3d_light_deactivate(XV_3D_WORLD *world, int32_t number) {
    if (!usable(world, "xv_3d_light_deactivate")) {
        return;
    }
    for (int slot = 0; slot < XV_3D_LIGHT_SLOTS; ++slot) {
        if (world->lights.active[slot] == number) {
            world->lights.active[slot] = -1;
            glDisable(gl_light(slot));
        }
    }
}

void xv_3d_light_deactivate_all(XV_3D_WORLD *world) {
    if (!usable(world, "xv_3d_light_deactivate_all")) {
        return;
    }
    for (int slot = 0; slot < XV_3D_LIGHT_SLOTS; ++slot) {
        if (world->lights.active[slot] != -1) {
            glDisable(gl_light(slot));
        }
        world->lights.active[slot] = -1;
    }
    glDisable(GL_NORMALIZE);
}

// The nearest lights whose range reaches the point: a new candidate takes
// the place of the farthest kept one when it is nearer.
void xv_3d_light_search_and_activate(XV_3D_WORLD *world, const float point[3], int count) {
    if (!usable(world, "xv_3d_light_search_and_activate")) {
        return;
    }
    if (count > XV_3D_LIGHT_MOST_SEARCHED) {
        gen_error("xv_3d_light_search_and_activate: you cant activate more than %i lights at the "
                  "same time",
                  XV_3D_LIGHT_MOST_SEARCHED);
        return;
    }
    xv_3d_light_deactivate_all(world);
    int32_t kept[XV_3D_LIGHT_MOST_SEARCHED];
    float distance[XV_3D_LIGHT_MOST_SEARCHED];
    int held = 0;
    const XV_3D_LIGHTS &l = world->lights;
    for (int32_t i = 0; i < l.num_lights; ++i) {
        const XV_3D_LIGHT &light = l.lights[i];
        const float d = squared_distance(light.position, point);
        if (!(light.flags & XV_3D_LIGHT_CREATED) || d >= light.range * light.range) {
            continue;
        }
        if (held < count) {
            kept[held] = i, distance[held] = d, ++held;
            continue;
        }
        int farthest = 0;
        for (int k = 1; k < held; ++k) {
            if (distance[k] > distance[farthest]) {
                farthest = k;
            }
        }
        if (held > 0 && d < distance[farthest]) {
            kept[farthest] = i, distance[farthest] = d;
        }
    }
    for (int k = 0; k < held; ++k) {
        xv_3d_light_activate(world, kept[k]);
    }
}

void xv_3d_light_show_coronas(XV_3D_WORLD *world) {
    if (!usable(world, "xv_3d_light_show_coronas")) {
        return;
    }
    double modelview[16], projection[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const GLint viewport[4] = {-1, -1, 2, 2};
    for (int32_t i = 0; i < world->lights.num_lights; ++i) {
        const XV_3D_LIGHT &light = world->lights.lights[i];
        if (!(light.flags & XV_3D_LIGHT_CREATED)) {
            continue;
        }
        double x = 0, y = 0, z = 0;
        if (!gluProject(light.position[0], light.position[1], light.position[2], modelview,
                        projection, viewport, &x, &y, &z)) {
            continue;
        }
        if (z >= 0 && z < 1 && x >= -1 && x < 1 && y >= -1 && y < 1) {
            const float placed[4] = {static_cast<float>(x - 0.15), static_cast<float>(y + 0.15),
                                     0.3f, 0.3f};
            const float whole[4] = {0, 0, 1, 1};
            gen_bit_add_to_list(XV_3D_CORONA_TEXTURE, placed, whole);
        }
    }
}

void xv_3d_set_ambient(float red, float green, float blue) {
    ambient[0] = red, ambient[1] = green, ambient[2] = blue, ambient[3] = 1.0f;
    xv_3d_apply_ambient();
}

void xv_3d_apply_ambient() {
    if (gen_gl_is_inited()) {
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    }
}
