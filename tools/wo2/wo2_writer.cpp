#include "wo2_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace {

void put8(std::string &out, uint8_t value) {
    out += static_cast<char>(value);
}
void put16(std::string &out, uint16_t value) {
    put8(out, static_cast<uint8_t>(value));
    put8(out, static_cast<uint8_t>(value >> 8));
}
void put32(std::string &out, uint32_t value) {
    put16(out, static_cast<uint16_t>(value));
    put16(out, static_cast<uint16_t>(value >> 16));
}
void putf(std::string &out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    put32(out, bits);
}

struct Bounds {
    float min[3] = {0, 0, 0}, max[3] = {0, 0, 0};
    bool any = false;
    void add(const float *p) {
        for (int i = 0; i < 3; ++i) {
            min[i] = any ? std::min(min[i], p[i]) : p[i];
            max[i] = any ? std::max(max[i], p[i]) : p[i];
        }
        any = true;
    }
    void put(std::string &out) const {
        for (float v : min) {
            putf(out, v);
        }
        for (float v : max) {
            putf(out, v);
        }
        float centre[3], radius = 0;
        for (int i = 0; i < 3; ++i) {
            centre[i] = (min[i] + max[i]) / 2;
            radius += (max[i] - centre[i]) * (max[i] - centre[i]);
        }
        radius = std::sqrt(radius);
        putf(out, radius); // global radius
        for (float v : centre) {
            putf(out, v);
        }
        putf(out, radius);
    }
};

// The vertex block: every array 16 bytes a vertex.
struct VertexBlock {
    std::string bytes;
    uint32_t add_positions(const std::vector<Wo2Vertex> &vertices) {
        const uint32_t at = static_cast<uint32_t>(bytes.size());
        for (const Wo2Vertex &v : vertices) {
            putf(bytes, v.position[0]), putf(bytes, v.position[1]), putf(bytes, v.position[2]);
            put32(bytes, 0);
        }
        return at;
    }
    uint32_t add_normals(const std::vector<Wo2Vertex> &vertices) {
        const uint32_t at = static_cast<uint32_t>(bytes.size());
        for (const Wo2Vertex &v : vertices) {
            putf(bytes, v.normal[0]), putf(bytes, v.normal[1]), putf(bytes, v.normal[2]);
            put32(bytes, 0);
        }
        return at;
    }
    uint32_t add_uvs(const std::vector<Wo2Vertex> &vertices) {
        const uint32_t at = static_cast<uint32_t>(bytes.size());
        for (const Wo2Vertex &v : vertices) {
            putf(bytes, v.uv[0]), putf(bytes, v.uv[1]);
            put32(bytes, 0), put32(bytes, 0);
        }
        return at;
    }
    uint32_t add_colours(const std::vector<Wo2Vertex> &vertices) {
        const uint32_t at = static_cast<uint32_t>(bytes.size());
        for (const Wo2Vertex &v : vertices) {
            for (uint8_t c : v.colour) {
                put32(bytes, c);
            }
        }
        return at;
    }
};

// Names in the text block, each once.
struct TextBlock {
    std::string bytes;
    std::map<std::string, uint16_t> offsets;
    uint16_t add(const std::string &name) {
        auto found = offsets.find(name);
        if (found != offsets.end()) {
            return found->second;
        }
        const uint16_t at = static_cast<uint16_t>(bytes.size());
        bytes += name;
        bytes += '\0';
        offsets[name] = at;
        return at;
    }
};

void put_map(std::string &out, float amount, const std::string &name) {
    putf(out, amount);
    put8(out, static_cast<uint8_t>(name.size() + 1));
    out += name;
    out += '\0';
}

// A face group holds at most 65,535 vertices: longer ones are written as
// several. Lists are cut between triangles; strips overlap by two vertices
// and are cut where a triangle of the same parity starts, so that every
// piece winds as the whole did.
std::vector<Wo2FaceGroup> pieces(const std::vector<Wo2FaceGroup> &faces) {
    constexpr size_t kMost = 65535;
    std::vector<Wo2FaceGroup> out;
    for (const Wo2FaceGroup &face : faces) {
        if (face.vertices.size() <= kMost) {
            out.push_back(face);
            continue;
        }
        const size_t step = face.strip ? kMost - 3 : kMost; // even, or whole triangles
        for (size_t first = 0; first < face.vertices.size(); first += step) {
            const size_t last =
                std::min(face.vertices.size(), first + (face.strip ? step + 2 : step));
            Wo2FaceGroup piece;
            piece.strip = face.strip;
            piece.vertices.assign(face.vertices.begin() + static_cast<long>(first),
                                  face.vertices.begin() + static_cast<long>(last));
            out.push_back(std::move(piece));
            if (last == face.vertices.size()) {
                break;
            }
        }
    }
    return out;
}

} // namespace

std::string wo2_write(const Wo2Model &model) {
    VertexBlock block;
    TextBlock text;
    std::string references, matrices, objects;
    Bounds all;
    for (const Wo2Object &object : model.objects) {
        Bounds bounds;
        std::string groups;
        for (const Wo2MaterialGroup &group : object.groups) {
            const std::vector<Wo2FaceGroup> faces = pieces(group.faces);
            put8(groups, static_cast<uint8_t>((group.normals ? 1 : 0) | (group.uvs ? 2 : 0) |
                                              (group.colours ? 4 : 0)));
            put16(groups, group.material);
            put16(groups, static_cast<uint16_t>(faces.size()));
            put16(groups, 0);
            for (const Wo2FaceGroup &face : faces) {
                for (const Wo2Vertex &v : face.vertices) {
                    bounds.add(v.position);
                }
                put8(groups, face.strip ? 1 : 0);
                put16(groups, static_cast<uint16_t>(face.vertices.size()));
                put32(groups, block.add_positions(face.vertices));
                put32(groups, group.normals ? block.add_normals(face.vertices) : 0);
                put32(groups, group.colours ? block.add_colours(face.vertices) : 0);
                put32(groups, group.uvs ? block.add_uvs(face.vertices) : 0);
                put32(groups, 0);
                put32(groups, 0);
            }
        }
        put16(objects, text.add(object.name));
        put8(objects, 0);
        bounds.put(objects);
        put16(objects, static_cast<uint16_t>(object.groups.size()));
        objects += groups;
        if (bounds.any) {
            all.add(bounds.min);
            all.add(bounds.max);
        }
    }
    for (size_t i = 0; i < model.references.size(); ++i) {
        const Wo2Reference &r = model.references[i];
        put8(references, r.mirrored ? 1 : 0);
        put16(references, static_cast<uint16_t>(r.object));
        put16(references, static_cast<uint16_t>(i));
        put16(references, text.add(r.name));
        float scale = 0;
        for (int column = 0; column < 3; ++column) {
            float length = 0;
            for (int row = 0; row < 3; ++row) {
                length += r.matrix[column * 4 + row] * r.matrix[column * 4 + row];
            }
            scale = std::max(scale, std::sqrt(length));
        }
        for (float v : r.matrix) {
            putf(matrices, v);
        }
        putf(matrices, scale);
    }
    std::string materials;
    for (const Wo2Material &m : model.materials) {
        put8(materials, m.red), put8(materials, m.green), put8(materials, m.blue);
        put8(materials, m.opacity), put8(materials, m.properties);
        putf(materials, 0.0f);
        for (float v : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) {
            putf(materials, v);
        }
        for (int map = 0; map < 7; ++map) {
            put_map(materials, m.amounts[map], m.maps[map]);
        }
    }
    std::string out;
    put16(out, model.version);
    put16(out, model.properties);
    put8(out, static_cast<uint8_t>(model.materials.size()));
    put8(out, 0);
    put16(out, model.collision_spheres);
    put16(out, static_cast<uint16_t>(model.references.size()));
    put16(out, 0);
    put16(out, static_cast<uint16_t>(model.objects.size()));
    put16(out, static_cast<uint16_t>(model.references.size()));
    put16(out, static_cast<uint16_t>(text.bytes.size()));
    put32(out, static_cast<uint32_t>(block.bytes.size()));
    put32(out, static_cast<uint32_t>(model.skeletal_block.size()));
    all.put(out);
    out += references + matrices + objects;
    for (int i = 0; i < model.collision_spheres * 4; ++i) {
        putf(out, 0.0f);
    }
    out += block.bytes + model.skeletal_block + materials + text.bytes;
    return out;
}

void wo2_skin_vertex(std::string *block, const std::vector<Wo2Weight> &weights,
                     const std::vector<std::pair<uint32_t, uint32_t>> &targets) {
    put32(*block, static_cast<uint32_t>(weights.size()));
    put32(*block, static_cast<uint32_t>(targets.size()));
    for (const Wo2Weight &w : weights) {
        put32(*block, w.bone);
    }
    for (const auto &[position, normal] : targets) {
        put32(*block, position);
        put32(*block, normal);
    }
    while (block->size() % 16) {
        put8(*block, 0);
    }
    for (const Wo2Weight &w : weights) {
        for (float v : w.position) {
            putf(*block, v);
        }
        for (float v : w.normal) {
            putf(*block, v);
        }
    }
}

std::string waf_write(const WafFile &waf) {
    std::string out;
    put16(out, waf.version);
    put16(out, static_cast<uint16_t>(waf.animations.size()));
    put16(out, waf.frames);
    put16(out, waf.bones);
    for (const WafAnimation &a : waf.animations) {
        std::string name = a.name.substr(0, 63);
        name.resize(64, '\0');
        out += name;
        put16(out, a.start);
        put16(out, a.end);
    }
    for (const auto &m : waf.matrices) {
        for (int column = 0; column < 4; ++column) {
            for (int row = 0; row < 3; ++row) {
                putf(out, m[column * 4 + row]);
            }
        }
    }
    return out;
}

Wo2FaceGroup wo2_box(float width, float height, float depth) {
    const float h[3] = {width / 2, height / 2, depth / 2};
    Wo2FaceGroup group;
    // Each face: its outward axis and sign, and two axes across it.
    for (int axis = 0; axis < 3; ++axis) {
        for (int sign = -1; sign <= 1; sign += 2) {
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            auto corner = [&](float a, float b) {
                Wo2Vertex vertex{};
                vertex.position[axis] = sign * h[axis];
                vertex.position[u] = a * h[u];
                vertex.position[v] = b * h[v];
                vertex.normal[axis] = static_cast<float>(sign);
                vertex.uv[0] = (a + 1) / 2;
                vertex.uv[1] = (b + 1) / 2;
                std::fill(std::begin(vertex.colour), std::end(vertex.colour), 255);
                return vertex;
            };
            const Wo2Vertex quad[4] = {corner(-1, -1), corner(1, -1), corner(1, 1), corner(-1, 1)};
            // Clockwise seen from outside.
            const int order[2][6] = {{0, 2, 1, 0, 3, 2}, {0, 1, 2, 0, 2, 3}};
            for (int k : order[sign > 0 ? 0 : 1]) {
                group.vertices.push_back(quad[k]);
            }
        }
    }
    return group;
}

namespace {

Wo2Vertex vertex_at(float x, float y, float z, float nx, float ny, float nz, float u, float v) {
    Wo2Vertex vertex{};
    vertex.position[0] = x, vertex.position[1] = y, vertex.position[2] = z;
    vertex.normal[0] = nx, vertex.normal[1] = ny, vertex.normal[2] = nz;
    vertex.uv[0] = u, vertex.uv[1] = v;
    std::fill(std::begin(vertex.colour), std::end(vertex.colour), 255);
    return vertex;
}

constexpr float kTurn = 6.28318530718f;

} // namespace

Wo2FaceGroup wo2_cylinder_side(float radius, float height, int segments) {
    Wo2FaceGroup group;
    group.strip = true;
    for (int i = 0; i <= segments; ++i) {
        const float a = kTurn * static_cast<float>(i) / static_cast<float>(segments);
        const float c = std::cos(a), s = std::sin(a);
        const float u = static_cast<float>(i) / static_cast<float>(segments);
        group.vertices.push_back(vertex_at(radius * c, height, radius * s, c, 0, s, u, 1));
        group.vertices.push_back(vertex_at(radius * c, 0, radius * s, c, 0, s, u, 0));
    }
    return group;
}

Wo2FaceGroup wo2_cylinder_caps(float radius, float height, int segments) {
    Wo2FaceGroup group;
    for (int i = 0; i < segments; ++i) {
        const float a = kTurn * static_cast<float>(i) / static_cast<float>(segments);
        const float b = kTurn * static_cast<float>(i + 1) / static_cast<float>(segments);
        const float ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
        // The top faces up, the bottom down: opposite windings.
        group.vertices.push_back(vertex_at(0, height, 0, 0, 1, 0, 0.5f, 0.5f));
        group.vertices.push_back(vertex_at(radius * ca, height, radius * sa, 0, 1, 0, 0, 0));
        group.vertices.push_back(vertex_at(radius * cb, height, radius * sb, 0, 1, 0, 0, 0));
        group.vertices.push_back(vertex_at(0, 0, 0, 0, -1, 0, 0.5f, 0.5f));
        group.vertices.push_back(vertex_at(radius * cb, 0, radius * sb, 0, -1, 0, 0, 0));
        group.vertices.push_back(vertex_at(radius * ca, 0, radius * sa, 0, -1, 0, 0, 0));
    }
    return group;
}

Wo2FaceGroup wo2_sphere(float radius, int rings, int segments) {
    Wo2FaceGroup group;
    auto point = [&](int ring, int segment) {
        const float polar = 3.14159265359f * static_cast<float>(ring) / static_cast<float>(rings);
        const float a = kTurn * static_cast<float>(segment) / static_cast<float>(segments);
        const float x = std::sin(polar) * std::cos(a), y = std::cos(polar),
                    z = std::sin(polar) * std::sin(a);
        return vertex_at(radius * x, radius * y, radius * z, x, y, z,
                         static_cast<float>(segment) / static_cast<float>(segments),
                         static_cast<float>(ring) / static_cast<float>(rings));
    };
    for (int ring = 0; ring < rings; ++ring) {
        for (int segment = 0; segment < segments; ++segment) {
            const Wo2Vertex a = point(ring, segment), b = point(ring, segment + 1),
                            c = point(ring + 1, segment), d = point(ring + 1, segment + 1);
            group.vertices.insert(group.vertices.end(), {a, c, b, b, c, d});
        }
    }
    return group;
}

Wo2FaceGroup wo2_extrusion(const std::vector<std::array<float, 2>> &outline, float height) {
    Wo2FaceGroup group;
    for (size_t i = 0; i < outline.size(); ++i) {
        const auto &p = outline[i];
        const auto &q = outline[(i + 1) % outline.size()];
        const float dx = q[0] - p[0], dz = q[1] - p[1];
        const float length = std::sqrt(dx * dx + dz * dz);
        if (length == 0) {
            continue;
        }
        // Outward for a counter-clockwise outline seen from above (+y).
        const float nx = dz / length, nz = -dx / length;
        const Wo2Vertex a = vertex_at(p[0], 0, p[1], nx, 0, nz, 0, 0);
        const Wo2Vertex b = vertex_at(q[0], 0, q[1], nx, 0, nz, 1, 0);
        const Wo2Vertex c = vertex_at(q[0], height, q[1], nx, 0, nz, 1, 1);
        const Wo2Vertex d = vertex_at(p[0], height, p[1], nx, 0, nz, 0, 1);
        group.vertices.insert(group.vertices.end(), {a, b, c, a, c, d});
    }
    return group;
}

Wo2FaceGroup wo2_heightfield(const std::vector<float> &heights, int columns, int rows,
                             float spacing) {
    Wo2FaceGroup group;
    auto at = [&](int column, int row) {
        const float h = heights[static_cast<size_t>(row) * columns + column];
        // The normal from the neighbours' slopes.
        const int left = std::max(column - 1, 0), right = std::min(column + 1, columns - 1);
        const int back = std::max(row - 1, 0), front = std::min(row + 1, rows - 1);
        const float sx = (heights[static_cast<size_t>(row) * columns + right] -
                          heights[static_cast<size_t>(row) * columns + left]) /
                         (static_cast<float>(std::max(right - left, 1)) * spacing);
        const float sz = (heights[static_cast<size_t>(front) * columns + column] -
                          heights[static_cast<size_t>(back) * columns + column]) /
                         (static_cast<float>(std::max(front - back, 1)) * spacing);
        const float length = std::sqrt(sx * sx + 1 + sz * sz);
        return vertex_at(static_cast<float>(column) * spacing, h, static_cast<float>(row) * spacing,
                         -sx / length, 1 / length, -sz / length,
                         static_cast<float>(column) / static_cast<float>(columns - 1),
                         static_cast<float>(row) / static_cast<float>(rows - 1));
    };
    for (int row = 0; row + 1 < rows; ++row) {
        for (int column = 0; column + 1 < columns; ++column) {
            const Wo2Vertex a = at(column, row), b = at(column + 1, row), c = at(column, row + 1),
                            d = at(column + 1, row + 1);
            // Clockwise seen from above.
            group.vertices.insert(group.vertices.end(), {a, b, c, b, d, c});
        }
    }
    return group;
}
