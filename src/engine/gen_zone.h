// Zones: a world's space cut into zones, each made of convex subzones
// (bounded by planes) and joined to others through portals (convex
// polygons). From the zone the eye is in, the zones it can see are found by
// clipping the view through portal after portal.
#pragma once

#include <cstdint>

enum {
    XV_3D_MOST_PLANES = 20,
    XV_3D_MOST_TRIANGLES = 20,
    XV_3D_MOST_PORTAL_VERTICES = 20,
    XV_3D_MOST_PORTAL_DEPTH = 20,
    XV_3D_MOST_ZONES = 200,
};
enum : uint32_t { XV_3D_ZONE_INITED = 1 };

struct XV_3D_ZONE {
    uint32_t inited;
    int32_t num_subzones, first_subzone, last_subzone;
    int32_t num_portals, first_portal, last_portal;
};

struct XV_3D_SUBZONE {
    uint32_t flags;
    int32_t previous, next; // -1 ends the zone's list
    uint32_t num_planes;
    float planes[XV_3D_MOST_PLANES][4]; // inside: ax + by + cz + d >= 0
    uint32_t num_triangles;
    float triangles[XV_3D_MOST_TRIANGLES][3][3];
};

struct XV_3D_PORTAL {
    uint32_t flags;
    int32_t previous, next;
    uint32_t zone1, zone2;
    uint32_t num_vertices;
    float vertices[XV_3D_MOST_PORTAL_VERTICES][3];
};

// A world's zones, subzones and portals, and a fourth list kept for later.
struct XV_3D_ZONES {
    int32_t num_zones, num_subzones, num_portals, num_fourth;
    int32_t allocated_zones, allocated_subzones, allocated_portals, allocated_fourth;
    XV_3D_ZONE *zones;
    XV_3D_SUBZONE *subzones;
    XV_3D_PORTAL *portals;
    void *fourth;
};

struct XV_3D_WORLD;

int32_t xv_3d_zone_create(XV_3D_WORLD *world);
void xv_3d_subzone_init(XV_3D_SUBZONE *subzone);
void xv_3d_portal_init(XV_3D_PORTAL *portal);
void xv_3d_subzone_add_triangle(XV_3D_SUBZONE *subzone, const float a[3], const float b[3],
                                const float c[3]);
void xv_3d_subzone_add_plane(XV_3D_SUBZONE *subzone, const float plane[4]);
void xv_3d_portal_add_vertex(XV_3D_PORTAL *portal, const float point[3]);
void xv_3d_zone_add_subzone(XV_3D_WORLD *world, int32_t zone, XV_3D_SUBZONE *subzone);
void xv_3d_zone_add_portal(XV_3D_WORLD *world, int32_t zone, const XV_3D_PORTAL *portal);
void xv_3d_world_add_portal(XV_3D_WORLD *world, const XV_3D_PORTAL *portal);
int xv_3d_in_subzone(const XV_3D_SUBZONE *subzone, const float point[3], float margin);
int32_t xv_3d_world_find_zone(const XV_3D_WORLD *world, const float point[3]);
void xv_3d_world_create_visibility_list(XV_3D_WORLD *world, const float eye[3]);
int xv_3d_zone_visible(int32_t zone);
void xv_3d_world_free_zones(XV_3D_WORLD *world);
// Subzone triangles white where visible and red where not, portals green.
void xv_3d_world_draw_zones(const XV_3D_WORLD *world);
