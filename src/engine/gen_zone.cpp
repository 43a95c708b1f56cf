#include "gen_zone.h"

#include "gen_frustum.h"
#include "gen_info.h"
#include "gen_xv.h"
#include "xv.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>

namespace {

uint8_t visible[XV_3D_MOST_ZONES];

// The planes each portal of the current path leaves the view, by depth.
struct PortalFrustum {
    int num_planes;
    float planes[XV_3D_MOST_PORTAL_VERTICES + 1][4];
};
PortalFrustum portal_frustums[XV_3D_MOST_PORTAL_DEPTH];
int32_t path[XV_3D_MOST_PORTAL_DEPTH + 1];

float distance(const float *plane, const float *point) {
    return plane[0] * point[0] + plane[1] * point[1] + plane[2] * point[2] + plane[3];
}

// The plane through three points: its normal (b - a) x (c - a), unit length.
void plane_of(const float *a, const float *b, const float *c, float *plane) {
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    plane[0] = u[1] * v[2] - u[2] * v[1];
    plane[1] = u[2] * v[0] - u[0] * v[2];
    plane[2] = u[0] * v[1] - u[1] * v[0];
    const float length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
    if (length > 0) {
        plane[0] /= length, plane[1] /= length, plane[2] /= length;
    }
    plane[3] = -(plane[0] * a[0] + plane[1] * a[1] + plane[2] * a[2]);
}

template <typename T>
bool grow(T **array, int32_t *allocated, int32_t count, int32_t by, const char *name) {
    if (count < *allocated) {
        return true;
    }
    auto *grown =
        static_cast<T *>(xv_mem_realloc(*array, sizeof(T) * static_cast<size_t>(*allocated + by)));
    if (!grown) {
        gen_mem_failed(__FILE__, __LINE__, name);
        return false;
    }
    std::memset(grown + *allocated, 0, sizeof(T) * static_cast<size_t>(by));
    xv_mem_set_name(grown, name);
    *array = grown;
    *allocated += by;
    return true;
}

// Puts item index at the end of a zone's chain of subzones or portals.
template <typename T>
void link_last(T *items, int32_t index, int32_t *first, int32_t *last, int32_t *count) {
    items[index].previous = *last;
    items[index].next = -1;
    if (*last != -1) {
        items[*last].next = index;
    } else {
        *first = index;
    }
    *last = index;
    ++*count;
}

bool zone_ready(const XV_3D_WORLD *world, int32_t zone) {
    return zone >= 0 && zone < world->zones.num_zones && world->zones.zones[zone].inited;
}

// Whether any vertex of the portal lies strictly in front of the plane.
bool partly_in_front(const XV_3D_PORTAL &portal, const float *plane) {
    for (uint32_t v = 0; v < portal.num_vertices; ++v) {
        if (distance(plane, portal.vertices[v]) > 0) {
            return true;
        }
    }
    return false;
}

bool portal_passes(const XV_3D_PORTAL &portal, int depth) {
    for (int d = 0; d < depth; ++d) {
        for (int p = 0; p < portal_frustums[d].num_planes; ++p) {
            if (!partly_in_front(portal, portal_frustums[d].planes[p])) {
                return false;
            }
        }
    }
    const float(*view)[4] = gen_frustum_planes();
    for (int p = 0; p < GEN_FRUSTUM_PLANES; ++p) {
        if (!partly_in_front(portal, view[p])) {
            return false;
        }
    }
    return true;
}

// The view through the portal: its own plane, and a plane through the eye
// and each edge, all facing into what the portal lets through.
void portal_frustum(const XV_3D_PORTAL &portal, const float *eye, int depth) {
    if (depth >= XV_3D_MOST_PORTAL_DEPTH) {
        gen_error("xv_3d_compute_portal_frustum : too much depth");
        return;
    }
    PortalFrustum &frustum = portal_frustums[depth];
    frustum.num_planes = 0;
    if (portal.num_vertices < 3) {
        return;
    }
    float own[4];
    plane_of(portal.vertices[0], portal.vertices[1], portal.vertices[2], own);
    const bool eye_in_front = distance(own, eye) > 0;
    // What lies beyond the portal is what is seen: its plane faces away
    // from the eye whichever way the portal was wound.
    if (eye_in_front) {
        for (float &value : own) {
            value = -value;
        }
    }
    std::memcpy(frustum.planes[frustum.num_planes++], own, sizeof own);
    for (uint32_t i = 0; i < portal.num_vertices; ++i) {
        const float *a = portal.vertices[i];
        const float *b = portal.vertices[(i + 1) % portal.num_vertices];
        float *plane = frustum.planes[frustum.num_planes++];
        if (eye_in_front) {
            plane_of(b, a, eye, plane);
        } else {
            plane_of(a, b, eye, plane);
        }
    }
}

bool on_path(int32_t zone, int depth) {
    for (int d = 0; d <= depth; ++d) {
        if (path[d] == zone) {
            return true;
        }
    }
    return false;
}

void visit(XV_3D_WORLD *world, int32_t zone, const float *eye, int depth) {
    visible[zone] = 1;
    path[depth] = zone;
    const XV_3D_ZONES &z = world->zones;
    for (int32_t p = z.zones[zone].first_portal; p != -1; p = z.portals[p].next) {
        const XV_3D_PORTAL &portal = z.portals[p];
        if (static_cast<int32_t>(portal.zone1) != zone &&
            static_cast<int32_t>(portal.zone2) != zone) {
            gen_error("portal doesnt communicate with the current zone");
            return;
        }
        if (!portal_passes(portal, depth)) {
            continue;
        }
        portal_frustum(portal, eye, depth);
        const int32_t far_side = static_cast<int32_t>(
            static_cast<int32_t>(portal.zone1) == zone ? portal.zone2 : portal.zone1);
        if (depth + 1 < XV_3D_MOST_PORTAL_DEPTH && far_side >= 0 && far_side < z.num_zones &&
            !on_path(far_side, depth)) {
            visit(world, far_side, eye, depth + 1);
        }
    }
}

} // namespace

int32_t xv_3d_zone_create(XV_3D_WORLD *world) {
    XV_3D_ZONES &z = world->zones;
    if (!grow(&z.zones, &z.allocated_zones, z.num_zones, 20, "world zones")) {
        return -1;
    }
    z.zones[z.num_zones] = {XV_3D_ZONE_INITED, 0, -1, -1, 0, -1, -1};
    return z.num_zones++;
}

void xv_3d_subzone_init(XV_3D_SUBZONE *subzone) {
    std::memset(subzone, 0, sizeof *subzone);
    subzone->flags = XV_3D_ZONE_INITED;
    subzone->previous = subzone->next = -1;
}

void xv_3d_portal_init(XV_3D_PORTAL *portal) {
    std::memset(portal, 0, sizeof *portal);
    portal->flags = XV_3D_ZONE_INITED;
    portal->previous = portal->next = -1;
}

void xv_3d_subzone_add_triangle(XV_3D_SUBZONE *subzone, const float a[3], const float b[3],
                                const float c[3]) {
    if (subzone->num_triangles == XV_3D_MOST_TRIANGLES) {
        gen_error("xv_3d_subzone_add_triangle: too many triangles in subzone");
        return;
    }
    float(*triangle)[3] = subzone->triangles[subzone->num_triangles++];
    std::memcpy(triangle[0], a, sizeof(float) * 3);
    std::memcpy(triangle[1], b, sizeof(float) * 3);
    std::memcpy(triangle[2], c, sizeof(float) * 3);
    float plane[4];
    plane_of(a, b, c, plane);
    xv_3d_subzone_add_plane(subzone, plane);
}

void xv_3d_subzone_add_plane(XV_3D_SUBZONE *subzone, const float plane[4]) {
    for (uint32_t i = 0; i < subzone->num_planes; ++i) {
        if (std::memcmp(subzone->planes[i], plane, sizeof(float) * 4) == 0) {
            return;
        }
    }
    if (subzone->num_planes == XV_3D_MOST_PLANES) {
        gen_error("xv_3d_subzone_add_plane: too many planes");
        return;
    }
    std::memcpy(subzone->planes[subzone->num_planes++], plane, sizeof(float) * 4);
}

void xv_3d_portal_add_vertex(XV_3D_PORTAL *portal, const float point[3]) {
    if (!(portal->flags & XV_3D_ZONE_INITED)) {
        gen_error("xv_3d_portal_add_vertex: not inited");
        return;
    }
    if (portal->num_vertices == XV_3D_MOST_PORTAL_VERTICES) {
        gen_error("xv_3d_portal_add_vertex : too many vertices");
        return;
    }
    std::memcpy(portal->vertices[portal->num_vertices++], point, sizeof(float) * 3);
}

void xv_3d_zone_add_subzone(XV_3D_WORLD *world, int32_t zone, XV_3D_SUBZONE *subzone) {
    if (!zone_ready(world, zone)) {
        gen_error("xv_3d_zone_add_subzone: zone not inited");
        return;
    }
    if (!(subzone->flags & XV_3D_ZONE_INITED)) {
        gen_error("xv_3d_zone_add_subzone: subzone not inited");
        return;
    }
    XV_3D_ZONES &z = world->zones;
    if (!grow(&z.subzones, &z.allocated_subzones, z.num_subzones, 50, "world subzones")) {
        return;
    }
    XV_3D_ZONE &owner = z.zones[zone];
    const int32_t index = z.num_subzones++;
    z.subzones[index] = *subzone;
    link_last(z.subzones, index, &owner.first_subzone, &owner.last_subzone, &owner.num_subzones);
    subzone->flags &= ~XV_3D_ZONE_INITED;
}

void xv_3d_zone_add_portal(XV_3D_WORLD *world, int32_t zone, const XV_3D_PORTAL *portal) {
    if (!zone_ready(world, zone)) {
        gen_error("xv_3d_zone_add_portal: zone not inited");
        return;
    }
    if (!(portal->flags & XV_3D_ZONE_INITED)) {
        gen_error("xv_3d_zone_add_portal: portal not inited");
        return;
    }
    XV_3D_ZONES &z = world->zones;
    if (!grow(&z.portals, &z.allocated_portals, z.num_portals, 50, "world portals")) {
        return;
    }
    XV_3D_ZONE &owner = z.zones[zone];
    const int32_t index = z.num_portals++;
    z.portals[index] = *portal;
    link_last(z.portals, index, &owner.first_portal, &owner.last_portal, &owner.num_portals);
}

void xv_3d_world_add_portal(XV_3D_WORLD *world, const XV_3D_PORTAL *portal) {
    if (portal->zone1 == portal->zone2) {
        gen_error("xv_3d_world_add_portal: zone1 = zone2");
        return;
    }
    xv_3d_zone_add_portal(world, static_cast<int32_t>(portal->zone1), portal);
    xv_3d_zone_add_portal(world, static_cast<int32_t>(portal->zone2), portal);
}

int xv_3d_in_subzone(const XV_3D_SUBZONE *subzone, const float point[3], float margin) {
    if (subzone->num_planes == 0) {
        gen_error("xv_3d_in_subzone: subzone has no planes");
        return 0;
    }
    for (uint32_t i = 0; i < subzone->num_planes; ++i) {
        if (distance(subzone->planes[i], point) < -margin) {
            return 0;
        }
    }
    return 1;
}

int32_t xv_3d_world_find_zone(const XV_3D_WORLD *world, const float point[3]) {
    const XV_3D_ZONES &z = world->zones;
    for (int32_t zone = 0; zone < z.num_zones; ++zone) {
        for (int32_t s = z.zones[zone].first_subzone; s != -1; s = z.subzones[s].next) {
            if (xv_3d_in_subzone(&z.subzones[s], point, 0.0f)) {
                return zone;
            }
        }
    }
    return -1;
}

void xv_3d_world_create_visibility_list(XV_3D_WORLD *world, const float eye[3]) {
    const int32_t count = world->zones.num_zones;
    if (count >= XV_3D_MOST_ZONES) {
        gen_error("xv_3d_world_create_visibility_list: too many zones for visibility list");
        return;
    }
    const int32_t start = xv_3d_world_find_zone(world, eye);
    std::memset(visible, start == -1 ? 1 : 0, sizeof visible);
    if (start != -1) {
        visit(world, start, eye, 0);
    }
}

int xv_3d_zone_visible(int32_t zone) {
    return zone >= 0 && zone < XV_3D_MOST_ZONES ? visible[zone] : 0;
}

void xv_3d_world_free_zones(XV_3D_WORLD *world) {
    XV_3D_ZONES &z = world->zones;
    for (void *block : {static_cast<void *>(z.zones), static_cast<void *>(z.subzones),
                        static_cast<void *>(z.portals), z.fourth}) {
        if (block) {
            xv_mem_free(block);
        }
    }
    z = XV_3D_ZONES{};
}

void xv_3d_world_draw_zones(const XV_3D_WORLD *world) {
    const XV_3D_ZONES &z = world->zones;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glBegin(GL_LINES);
    for (int32_t zone = 0; zone < z.num_zones; ++zone) {
        if (xv_3d_zone_visible(zone)) {
            glColor3f(1, 1, 1);
        } else {
            glColor3f(1, 0, 0);
        }
        for (int32_t s = z.zones[zone].first_subzone; s != -1; s = z.subzones[s].next) {
            const XV_3D_SUBZONE &subzone = z.subzones[s];
            for (uint32_t t = 0; t < subzone.num_triangles; ++t) {
                for (int e = 0; e < 3; ++e) {
                    glVertex3fv(subzone.triangles[t][e]);
                    glVertex3fv(subzone.triangles[t][(e + 1) % 3]);
                }
            }
        }
    }
    glColor3f(0, 1, 0);
    for (int32_t p = 0; p < z.num_portals; ++p) {
        const XV_3D_PORTAL &portal = z.portals[p];
        for (uint32_t v = 0; v < portal.num_vertices; ++v) {
            glVertex3fv(portal.vertices[v]);
            glVertex3fv(portal.vertices[(v + 1) % portal.num_vertices]);
        }
    }
    glEnd();
    glPopAttrib();
}
