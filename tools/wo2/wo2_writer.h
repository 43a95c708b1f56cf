// Writes WO2 models from meshes built in code: objects of material groups
// of face groups, references placing them with matrices and names,
// materials with their maps. The tests use it, and the course builder will.
//
// The format's triangles face the side from which they run clockwise: the
// engine's planes take the normal (a − b) × (c − a). Every builder here
// winds its triangles so, and a strip's first triangle too.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct Wo2Vertex {
    float position[3];
    float normal[3];
    float uv[2];
    uint8_t colour[4];
};

struct Wo2FaceGroup {
    bool strip = false; // else consecutive triples
    std::vector<Wo2Vertex> vertices;
};

struct Wo2MaterialGroup {
    uint16_t material = 0; // 1-based; 0: none
    bool normals = true, uvs = true, colours = false;
    std::vector<Wo2FaceGroup> faces;
};

struct Wo2Object {
    std::string name;
    std::vector<Wo2MaterialGroup> groups;
};

struct Wo2Reference {
    int object = 0;
    std::string name;
    std::array<float, 16> matrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    bool mirrored = false;
};

// Maps in the file's order: texture, opacity, detail, detail opacity, bump,
// env, shadow. An empty name is an absent map.
struct Wo2Material {
    uint8_t red = 255, green = 255, blue = 255, opacity = 255;
    uint8_t properties = 0;
    std::array<std::string, 7> maps;
    std::array<float, 7> amounts = {1, 1, 1, 1, 1, 1, 1};
};

struct Wo2Model {
    uint16_t version = 0x110;
    uint16_t properties = 0;
    uint16_t collision_spheres = 0;
    std::string skeletal_block; // made with wo2_skin_vertex
    std::vector<Wo2Object> objects;
    std::vector<Wo2Reference> references;
    std::vector<Wo2Material> materials;
};

std::string wo2_write(const Wo2Model &model);

// One skinned vertex of a skeletal block: its bones, each bone's weighted
// position (x, y, z, weight) and normal (x, y, z, 0), and the byte offsets
// of the copies it rewrites (position, normal) in the vertex block.
struct Wo2Weight {
    uint32_t bone;
    float position[4];
    float normal[4];
};
void wo2_skin_vertex(std::string *block, const std::vector<Wo2Weight> &weights,
                     const std::vector<std::pair<uint32_t, uint32_t>> &targets);

// WAF animations: named frame ranges, and per frame one matrix a bone
// (column-major 4x4; the bottom row is not stored).
struct WafAnimation {
    std::string name;
    uint16_t start, end;
};
struct WafFile {
    uint16_t version = 0x100;
    uint16_t frames = 0, bones = 0;
    std::vector<WafAnimation> animations;
    std::vector<std::array<float, 16>> matrices; // frame by frame, bone by bone
};
std::string waf_write(const WafFile &waf);

// An axis-aligned box of independent triangles, centred on the origin, its
// faces facing out, with normals and 0..1 texture coordinates per face.
Wo2FaceGroup wo2_box(float width, float height, float depth);
// A cylinder standing on the origin along y: its side as one triangle strip
// (segments + 1 pairs of vertices), its caps in wo2_cylinder_caps.
Wo2FaceGroup wo2_cylinder_side(float radius, float height, int segments);
Wo2FaceGroup wo2_cylinder_caps(float radius, float height, int segments);
// A sphere round the origin of triangles, rings from pole to pole.
Wo2FaceGroup wo2_sphere(float radius, int rings, int segments);
// A closed outline in the x-z plane raised from y 0 to height: the walls
// only, facing out when the outline runs counter-clockwise seen from above.
Wo2FaceGroup wo2_extrusion(const std::vector<std::array<float, 2>> &outline, float height);
// A grid of heights, columns along x and rows along z, spacing apart,
// facing up: (columns - 1) x (rows - 1) x 2 triangles.
Wo2FaceGroup wo2_heightfield(const std::vector<float> &heights, int columns, int rows,
                             float spacing);
