#include "course_model.h"

#include "ball.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kCell = 0.25f; // the fairway's grid
constexpr float kCupSquare = 0.5f;
constexpr float kCupLip = 0.035f;        // the white band round the rim
constexpr float kLinerTopShade = 0.8f;   // the liner in the light under the lip...
constexpr float kCupBottomShade = 0.22f; // ...and in the cup's shadow at the bottom
constexpr float kWallHalf = WALL_HALF_WIDTH;
constexpr float kWallBase = LAND_HEIGHT - 0.05f;
constexpr float kLandReach = 70.0f;
constexpr float kSkyRadius = 150.0f;
// The sky's sphere in rings of 15 degrees from the zenith: the upper half
// is the sky's picture and the ring under the horizon fades to the haze.
// Lower rings are not built.
constexpr int kSkyRings = 12;
constexpr int kSkyRingsBuilt = kSkyRings / 2 + 1;

struct V3 {
    float x, y, z;
};
V3 operator+(V3 a, V3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
V3 operator-(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V3 operator*(V3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
float dot(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
V3 cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
V3 unit(V3 a) {
    const float length = std::sqrt(dot(a, a));
    return length > 0 ? a * (1 / length) : a;
}

V3 sun_of(const CourseLight &light) {
    return {light.sun[0], light.sun[1], light.sun[2]};
}

// The sky lights every face a little, the sun those turned to it, unless
// something stands in its way.
std::array<uint8_t, 4> lit(const CourseLight &light, V3 normal, float shade, bool in_sun) {
    const float facing = in_sun ? std::max(0.0f, dot(unit(normal), sun_of(light))) : 0.0f;
    std::array<uint8_t, 4> colour{0, 0, 0, 255};
    for (int k = 0; k < 3; ++k) {
        const float level = (light.ambient[k] + light.direct[k] * facing) * shade;
        colour[static_cast<size_t>(k)] = static_cast<uint8_t>(std::clamp(level, 0.0f, 1.0f) * 255);
    }
    return colour;
}

// A vertex with its normal, map position and how much of the light falls
// on it (the cup's liner darkens as it goes down); the sky's corners carry
// their colour, fixed, instead.
struct Corner {
    V3 p;
    V3 n;
    float u, v;
    float shade = 1.0f;
    bool fixed = false;
    std::array<uint8_t, 4> colour{};
};

Corner corner(V3 p, V3 n, float u, float v, float shade = 1.0f) {
    return {p, n, u, v, shade};
}

Wo2Vertex vertex(const Corner &c) {
    Wo2Vertex v{};
    v.position[0] = c.p.x, v.position[1] = c.p.y, v.position[2] = c.p.z;
    v.normal[0] = c.n.x, v.normal[1] = c.n.y, v.normal[2] = c.n.z;
    v.uv[0] = c.u, v.uv[1] = c.v;
    std::copy(c.colour.begin(), c.colour.end(), v.colour);
    return v;
}

// What stands between a point and a low sun: the triangles of the objects
// that cast shadows, each filed in the cells of a one-unit grid over which
// its shadow may fall (the triangle and where the sun throws it down to the
// lowest ground), so that a point asks only those of its cell.
class SunShadows {
  public:
    SunShadows(V3 sun, std::vector<std::array<V3, 3>> triangles)
        : sun_(sun), triangles_(std::move(triangles)) {
        for (size_t i = 0; i < triangles_.size(); ++i) {
            float x0 = 1e9f, x1 = -1e9f, z0 = 1e9f, z1 = -1e9f;
            for (const V3 &p : triangles_[i]) {
                const V3 down = p - sun_ * ((p.y - kLowest) / sun_.y);
                for (const V3 &q : {p, down}) {
                    x0 = std::min(x0, q.x), x1 = std::max(x1, q.x);
                    z0 = std::min(z0, q.z), z1 = std::max(z1, q.z);
                }
            }
            for (int cx = cell(x0); cx <= cell(x1); ++cx) {
                for (int cz = cell(z0); cz <= cell(z1); ++cz) {
                    cells_[{cx, cz}].push_back(i);
                }
            }
        }
    }
    // Whether the sun is hidden from the point (on a face with that normal).
    bool shaded(V3 p, V3 n) const {
        const auto found = cells_.find({cell(p.x), cell(p.z)});
        if (found == cells_.end()) {
            return false;
        }
        const V3 from = p + unit(n) * 0.01f;
        for (size_t i : found->second) {
            if (meets(from, triangles_[i])) {
                return true;
            }
        }
        return false;
    }

  private:
    static constexpr float kLowest = -0.6f; // below every floor a shadow falls on
    static int cell(float x) { return static_cast<int>(std::floor(x)); }
    // Möller and Trumbore's ray and triangle, from either side.
    bool meets(V3 from, const std::array<V3, 3> &t) const {
        const V3 e1 = t[1] - t[0], e2 = t[2] - t[0];
        const V3 q = cross(sun_, e2);
        const float det = dot(e1, q);
        if (std::fabs(det) < 1e-9f) {
            return false;
        }
        const V3 s = from - t[0];
        const float a = dot(s, q) / det;
        if (a < 0 || a > 1) {
            return false;
        }
        const V3 r = cross(s, e1);
        const float b = dot(sun_, r) / det;
        return b >= 0 && a + b <= 1 && dot(e2, r) / det > 1e-3f;
    }

    V3 sun_;
    std::vector<std::array<V3, 3>> triangles_;
    std::map<std::pair<int, int>, std::vector<size_t>> cells_;
};

// The objects whose shadows a low sun lays, and those it lays them on (the
// land is too coarse to show one; the sky and the far hills are out of it).
bool casts_shadow(const std::string &object) {
    return object == "walls" || object == "blocks" || object == "drops" || object == "windmill" ||
           object == "decor";
}
bool takes_shadow(const std::string &object) {
    return object == "fairway" || object == "walls" || object == "blocks" || object == "drops" ||
           object == "windmill" || object == "tee" || object == "water";
}

int material_of(const std::string &surface) {
    const auto &looks = surface_looks();
    for (size_t i = 0; i < looks.size(); ++i) {
        if (surface == looks[i].name) {
            return static_cast<int>(i) + 1;
        }
    }
    return 1;
}

// The triangles of a model, by object and by surface; every triangle is
// wound to face the way it is meant to (the engine's planes take the normal
// (a - b) x (c - a)). The corners are lit when the model is made, when
// everything that may cast a shadow is there.
class Builder {
  public:
    explicit Builder(const CourseLight &light) : light_(light) {}
    void triangle(const std::string &object, const std::string &surface, Corner a, Corner b,
                  Corner c, V3 facing) {
        if (dot(cross(a.p - b.p, c.p - a.p), facing) < 0) {
            std::swap(b, c);
        }
        auto &corners = objects_[object][material_of(surface)];
        corners.insert(corners.end(), {a, b, c});
    }
    void quad(const std::string &object, const std::string &surface, Corner a, Corner b, Corner c,
              Corner d, V3 facing) {
        triangle(object, surface, a, b, c, facing);
        triangle(object, surface, a, c, d, facing);
    }
    // Each object is placed by a reference of its name and flags. Only the
    // surfaces used become materials: a model's maps must lie beside it.
    Wo2Model model(const std::map<std::string, std::string> &flags) const {
        Wo2Model model;
        std::map<int, uint16_t> numbers; // surface -> material number
        for (const auto &[name, groups] : objects_) {
            for (const auto &[surface, corners] : groups) {
                (void)corners;
                if (numbers.emplace(surface, 0).second) {
                    const SurfaceLook &look = surface_looks()[surface - 1];
                    Wo2Material material;
                    material.red = look.red, material.green = look.green, material.blue = look.blue;
                    if (look.map) {
                        material.maps[0] = look.map;
                    }
                    model.materials.push_back(material);
                    numbers[surface] = static_cast<uint16_t>(model.materials.size());
                }
            }
        }
        const std::unique_ptr<SunShadows> shadows = shadow_casters();
        for (const auto &[name, groups] : objects_) {
            Wo2Object object{name, {}};
            for (const auto &[surface, corners] : groups) {
                Wo2MaterialGroup group;
                group.material = numbers.at(surface);
                group.colours = true;
                group.faces = {
                    lit_face(corners, surface, takes_shadow(name) ? shadows.get() : nullptr)};
                object.groups.push_back(group);
            }
            model.objects.push_back(object);
            const auto flag = flags.find(name);
            model.references.push_back({static_cast<int>(model.objects.size() - 1),
                                        flag == flags.end() ? name : name + " " + flag->second});
        }
        return model;
    }

  private:
    std::unique_ptr<SunShadows> shadow_casters() const {
        if (!light_.shadows) {
            return nullptr;
        }
        std::vector<std::array<V3, 3>> triangles;
        for (const auto &[name, groups] : objects_) {
            for (const auto &[surface, corners] : groups) {
                (void)surface;
                for (size_t i = 0; casts_shadow(name) && i + 2 < corners.size(); i += 3) {
                    triangles.push_back({corners[i].p, corners[i + 1].p, corners[i + 2].p});
                }
            }
        }
        return std::make_unique<SunShadows>(sun_of(light_), std::move(triangles));
    }
    // A plain surface's colour goes into its corners' light: with colours
    // per corner the material's own colour is not drawn.
    Wo2FaceGroup lit_face(const std::vector<Corner> &corners, int surface,
                          const SunShadows *shadows) const {
        const SurfaceLook &look = surface_looks()[surface - 1];
        const uint8_t tint[3] = {look.red, look.green, look.blue};
        Wo2FaceGroup face;
        for (Corner c : corners) {
            if (!c.fixed) {
                const bool in_sun =
                    !shadows || dot(c.n, sun_of(light_)) <= 0 || !shadows->shaded(c.p, c.n);
                c.colour = lit(light_, c.n, c.shade, in_sun);
            }
            for (int k = 0; k < 3; ++k) {
                c.colour[k] = static_cast<uint8_t>(c.colour[k] * tint[k] / 255);
            }
            face.vertices.push_back(vertex(c));
        }
        return face;
    }

    const CourseLight &light_;
    std::map<std::string, std::map<int, std::vector<Corner>>> objects_;
};

// ---- the fairway --------------------------------------------------------------------

// The part of a cell inside a convex area (Sutherland-Hodgman).
std::vector<Point2> clip(std::vector<Point2> polygon, const std::vector<Point2> &area) {
    for (size_t e = 0; e < area.size() && !polygon.empty(); ++e) {
        const Point2 a = area[e], b = area[(e + 1) % area.size()];
        auto side = [&](Point2 p) { return (b.x - a.x) * (p.z - a.z) - (b.z - a.z) * (p.x - a.x); };
        std::vector<Point2> kept;
        for (size_t i = 0; i < polygon.size(); ++i) {
            const Point2 p = polygon[i], q = polygon[(i + 1) % polygon.size()];
            const float sp = side(p), sq = side(q);
            if (sp <= 0) {
                kept.push_back(p);
            }
            if ((sp < 0 && sq > 0) || (sp > 0 && sq < 0)) {
                const float t = sp / (sp - sq);
                kept.push_back({p.x + t * (q.x - p.x), p.z + t * (q.z - p.z)});
            }
        }
        polygon = kept;
    }
    return polygon;
}

class FairwayMaker {
  public:
    FairwayMaker(const HoleSpec &hole, Builder *out) : hole_(hole), out_(out) {}

    void make() {
        const Area *cup_area = hole_.area_at(hole_.cup.x, hole_.cup.z);
        for (const Area &area : hole_.areas) {
            cover(area, &area == cup_area);
        }
        if (cup_area) {
            cup(*cup_area);
        }
    }

  private:
    Corner ground(const Area &area, float x, float z) const {
        const float h = hole_.height_in(area, x, z);
        const float e = 0.05f;
        const float dx = hole_.height_in(area, x + e, z) - hole_.height_in(area, x - e, z);
        const float dz = hole_.height_in(area, x, z + e) - hole_.height_in(area, x, z - e);
        const V3 n = unit({-dx, 2 * e, -dz});
        const float repeat = surface_looks()[material_of(area.surface) - 1].repeat;
        return corner({x, h, z}, n, x / repeat, z / repeat);
    }

    bool in_cup_square(float x, float z) const {
        return std::fabs(x - hole_.cup.x) < kCupSquare && std::fabs(z - hole_.cup.z) < kCupSquare;
    }

    void cover(const Area &area, bool holds_cup) {
        float x0 = area.corners[0].x, x1 = x0, z0 = area.corners[0].z, z1 = z0;
        for (const Point2 &c : area.corners) {
            x0 = std::min(x0, c.x), x1 = std::max(x1, c.x);
            z0 = std::min(z0, c.z), z1 = std::max(z1, c.z);
        }
        for (float x = std::floor(x0 / kCell) * kCell; x < x1; x += kCell) {
            for (float z = std::floor(z0 / kCell) * kCell; z < z1; z += kCell) {
                if (holds_cup && in_cup_square(x + kCell / 2, z + kCell / 2)) {
                    continue;
                }
                const std::vector<Point2> piece = clip(
                    {{x, z}, {x + kCell, z}, {x + kCell, z + kCell}, {x, z + kCell}}, area.corners);
                for (size_t i = 1; i + 1 < piece.size(); ++i) {
                    out_->triangle("fairway", area.surface, ground(area, piece[0].x, piece[0].z),
                                   ground(area, piece[i].x, piece[i].z),
                                   ground(area, piece[i + 1].x, piece[i + 1].z), {0, 1, 0});
                }
            }
        }
    }

    // The cup: a ring of fairway from the grid's square to a white lip, the
    // lip round the rim, the liner darkening as it goes down into the
    // cup's shadow, and its bottom. The square's sixteen grid points each
    // meet the rim at their own angle.
    void cup(const Area &area) {
        std::vector<Point2> square;
        for (int side = 0; side < 4; ++side) {
            for (int k = 0; k < 4; ++k) {
                const float s = -kCupSquare + k * kCell;
                const Point2 offsets[4] = {
                    {s, -kCupSquare}, {kCupSquare, s}, {-s, kCupSquare}, {-kCupSquare, -s}};
                square.push_back({hole_.cup.x + offsets[side].x, hole_.cup.z + offsets[side].z});
            }
        }
        const float rim_height = hole_.height_in(area, hole_.cup.x, hole_.cup.z);
        const float bottom = rim_height - CUP_DEPTH;
        const Corner centre =
            corner({hole_.cup.x, bottom, hole_.cup.z}, {0, 1, 0}, 0.5f, 0.5f, kCupBottomShade);
        for (size_t k = 0; k < square.size(); ++k) {
            const size_t next = (k + 1) % square.size();
            auto round_at = [&](size_t i, float radius) {
                const float a = std::atan2(square[i].z - hole_.cup.z, square[i].x - hole_.cup.x);
                return Point2{hole_.cup.x + std::cos(a) * radius,
                              hole_.cup.z + std::sin(a) * radius};
            };
            const Point2 r0 = round_at(k, CUP_RADIUS), r1 = round_at(next, CUP_RADIUS);
            const Point2 l0 = round_at(k, CUP_RADIUS + kCupLip),
                         l1 = round_at(next, CUP_RADIUS + kCupLip);
            out_->quad("fairway", area.surface, ground(area, square[k].x, square[k].z),
                       ground(area, square[next].x, square[next].z), ground(area, l1.x, l1.z),
                       ground(area, l0.x, l0.z), {0, 1, 0});
            const float h0 = hole_.height_in(area, r0.x, r0.z),
                        h1 = hole_.height_in(area, r1.x, r1.z);
            const float u0 = static_cast<float>(k) / 16, u1 = static_cast<float>(k + 1) / 16;
            out_->quad("cup", "cup",
                       corner({l0.x, hole_.height_in(area, l0.x, l0.z), l0.z}, {0, 1, 0}, u0, 0),
                       corner({l1.x, hole_.height_in(area, l1.x, l1.z), l1.z}, {0, 1, 0}, u1, 0),
                       corner({r1.x, h1, r1.z}, {0, 1, 0}, u1, 0),
                       corner({r0.x, h0, r0.z}, {0, 1, 0}, u0, 0), {0, 1, 0});
            // The liner faces the cup's axis.
            const V3 in0 = unit({hole_.cup.x - r0.x, 0, hole_.cup.z - r0.z});
            const V3 in1 = unit({hole_.cup.x - r1.x, 0, hole_.cup.z - r1.z});
            out_->quad("cup", "cup", corner({r0.x, h0, r0.z}, in0, u0, 0, kLinerTopShade),
                       corner({r1.x, h1, r1.z}, in1, u1, 0, kLinerTopShade),
                       corner({r1.x, bottom, r1.z}, in1, u1, 1, kCupBottomShade),
                       corner({r0.x, bottom, r0.z}, in0, u0, 1, kCupBottomShade),
                       (in0 + in1) * 0.5f);
            out_->triangle("cup", "cup", centre,
                           corner({r0.x, bottom, r0.z}, {0, 1, 0}, 0, 0, kCupBottomShade),
                           corner({r1.x, bottom, r1.z}, {0, 1, 0}, 1, 0, kCupBottomShade),
                           {0, 1, 0});
        }
    }

    const HoleSpec &hole_;
    Builder *out_;
};

// ---- walls, blocks and drops ---------------------------------------------------------

class WallMaker {
  public:
    WallMaker(const HoleSpec &hole, Builder *out) : hole_(hole), out_(out) {}

    void make(const WallLine &wall) {
        std::vector<Point2> points = wall.points;
        if (wall.closed) {
            points.push_back(points.front());
        }
        float along = 0;
        for (size_t i = 0; i + 1 < points.size(); ++i) {
            const Point2 a = points[i], b = points[i + 1];
            const float length = std::hypot(b.x - a.x, b.z - a.z);
            const int pieces = std::max(1, static_cast<int>(std::ceil(length / 1.0f)));
            for (int k = 0; k < pieces; ++k) {
                const float t0 = static_cast<float>(k) / pieces,
                            t1 = static_cast<float>(k + 1) / pieces;
                piece({a.x + t0 * (b.x - a.x), a.z + t0 * (b.z - a.z)},
                      {a.x + t1 * (b.x - a.x), a.z + t1 * (b.z - a.z)}, wall, along + t0 * length,
                      along + t1 * length);
            }
            along += length;
        }
        for (size_t i = 0; i < points.size(); ++i) {
            if (!(wall.closed && i + 1 == points.size())) {
                post(points[i], wall);
            }
        }
    }

  private:
    float top(Point2 p, const WallLine &wall) const {
        return hole_.height_at(p.x, p.z) + wall.height;
    }

    // Two upright sides and a rounded top, following the ground.
    void piece(Point2 a, Point2 b, const WallLine &wall, float u0, float u1) {
        const V3 along = unit({b.x - a.x, 0, b.z - a.z});
        const V3 side = {-along.z, 0, along.x};
        const float ta = top(a, wall) - kWallHalf, tb = top(b, wall) - kWallHalf;
        const V3 pa = {a.x, 0, a.z}, pb = {b.x, 0, b.z};
        for (float sign : {1.0f, -1.0f}) {
            const V3 n = side * sign;
            const V3 offset = n * kWallHalf;
            out_->quad("walls", wall.surface,
                       corner(pa + offset + V3{0, kWallBase, 0}, n, u0, kWallBase),
                       corner(pb + offset + V3{0, kWallBase, 0}, n, u1, kWallBase),
                       corner(pb + offset + V3{0, tb, 0}, n, u1, tb),
                       corner(pa + offset + V3{0, ta, 0}, n, u0, ta), n);
        }
        const int steps = 6;
        for (int k = 0; k < steps; ++k) {
            const float f0 = kPi * k / steps, f1 = kPi * (k + 1) / steps;
            const V3 n0 = side * std::cos(f0) + V3{0, std::sin(f0), 0};
            const V3 n1 = side * std::cos(f1) + V3{0, std::sin(f1), 0};
            out_->quad("walls", wall.surface,
                       corner(pa + V3{0, ta, 0} + n0 * kWallHalf, n0, u0, ta + 0.1f * k),
                       corner(pb + V3{0, tb, 0} + n0 * kWallHalf, n0, u1, tb + 0.1f * k),
                       corner(pb + V3{0, tb, 0} + n1 * kWallHalf, n1, u1, tb + 0.1f * (k + 1)),
                       corner(pa + V3{0, ta, 0} + n1 * kWallHalf, n1, u0, ta + 0.1f * (k + 1)),
                       n0 + n1);
        }
    }

    // A round post with a domed top where pieces meet and at the ends.
    void post(Point2 at, const WallLine &wall) {
        const float t = top(at, wall) - kWallHalf;
        const V3 c = {at.x, 0, at.z};
        const int segments = 10;
        for (int k = 0; k < segments; ++k) {
            const float a0 = 2 * kPi * k / segments, a1 = 2 * kPi * (k + 1) / segments;
            const V3 d0 = {std::cos(a0), 0, std::sin(a0)}, d1 = {std::cos(a1), 0, std::sin(a1)};
            const float u0 = static_cast<float>(k) / segments,
                        u1 = static_cast<float>(k + 1) / segments;
            out_->quad("walls", wall.surface,
                       corner(c + d0 * kWallHalf + V3{0, kWallBase, 0}, d0, u0, kWallBase),
                       corner(c + d1 * kWallHalf + V3{0, kWallBase, 0}, d1, u1, kWallBase),
                       corner(c + d1 * kWallHalf + V3{0, t, 0}, d1, u1, t),
                       corner(c + d0 * kWallHalf + V3{0, t, 0}, d0, u0, t), d0 + d1);
            for (int ring = 0; ring < 3; ++ring) {
                const float e0 = kPi / 2 * ring / 3, e1 = kPi / 2 * (ring + 1) / 3;
                auto dome = [&](V3 d, float e) {
                    const V3 n = d * std::cos(e) + V3{0, std::sin(e), 0};
                    return corner(c + V3{0, t, 0} + n * kWallHalf, n, d.x, d.z);
                };
                out_->quad("walls", wall.surface, dome(d0, e0), dome(d1, e0), dome(d1, e1),
                           dome(d0, e1), (d0 + d1) * std::cos(e0) + V3{0, std::sin(e1), 0});
            }
        }
    }

    const HoleSpec &hole_;
    Builder *out_;
};

// Where a box's corners go: unchanged, or turned and moved into a hole.
struct Placement {
    float angle = 0; // about y, in radians
    V3 offset{0, 0, 0};
    V3 point(V3 p) const {
        return {offset.x + p.x * std::cos(angle) + p.z * std::sin(angle), offset.y + p.y,
                offset.z - p.x * std::sin(angle) + p.z * std::cos(angle)};
    }
    V3 direction(V3 d) const { return point(d) - point({0, 0, 0}); }
};

void box(Builder *out, const std::string &object, const std::string &surface, V3 low, V3 high,
         bool with_bottom = false, const Placement &place = {}) {
    const V3 size = high - low;
    for (int axis = 0; axis < 3; ++axis) {
        for (int sign = -1; sign <= 1; sign += 2) {
            if (axis == 1 && sign < 0 && !with_bottom) {
                continue;
            }
            V3 n{0, 0, 0};
            (&n.x)[axis] = static_cast<float>(sign);
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            auto at = [&](float a, float b) {
                V3 p = low;
                (&p.x)[axis] += sign > 0 ? (&size.x)[axis] : 0;
                (&p.x)[u] += a * (&size.x)[u];
                (&p.x)[v] += b * (&size.x)[v];
                const float mu = axis == 0 ? p.z : p.x, mv = axis == 1 ? p.z : p.y;
                return corner(place.point(p), place.direction(n), mu, mv);
            };
            out->quad(object, surface, at(0, 0), at(1, 0), at(1, 1), at(0, 1), place.direction(n));
        }
    }
}

void drop_face(Builder *out, const Drop &drop) {
    const V3 a = {drop.a.x, 0, drop.a.z}, b = {drop.b.x, 0, drop.b.z};
    const V3 along = unit(b - a);
    const float length = std::hypot(drop.b.x - drop.a.x, drop.b.z - drop.a.z);
    for (float sign : {1.0f, -1.0f}) {
        const V3 n = V3{-along.z, 0, along.x} * sign;
        out->quad("drops", drop.surface, corner(a + V3{0, drop.bottom, 0}, n, 0, drop.bottom),
                  corner(b + V3{0, drop.bottom, 0}, n, length, drop.bottom),
                  corner(b + V3{0, drop.top, 0}, n, length, drop.top),
                  corner(a + V3{0, drop.top, 0}, n, 0, drop.top), n);
    }
}

// The tower: two pillars and a lintel over the tunnel (which runs along the
// tower's own z), the upper tower and its roof. The blades turn on the
// tower's face towards its +z.
void windmill(Builder *out, const HoleSpec &hole, const Windmill &w) {
    const float ground = hole.height_at(w.at.x, w.at.z);
    Placement place;
    place.offset = {w.at.x, ground, w.at.z};
    const float base = kWallBase - ground;
    box(out, "windmill", "brick", {-1.4f, base, -0.7f}, {-0.45f, 1.7f, 0.7f}, false, place);
    box(out, "windmill", "brick", {0.45f, base, -0.7f}, {1.4f, 1.7f, 0.7f}, false, place);
    box(out, "windmill", "brick", {-0.45f, 0.7f, -0.7f}, {0.45f, 1.7f, 0.7f}, true, place);
    box(out, "windmill", "wood", {-1.2f, 1.7f, -0.6f}, {1.2f, 3.4f, 0.6f}, false, place);
    box(out, "windmill", "roof", {-1.4f, 3.4f, -0.8f}, {1.4f, 3.8f, 0.8f}, true, place);
}

// ---- the tee, streams, decoration, land and sky ---------------------------------------

void tee_marker(Builder *out, const HoleSpec &hole) {
    const float x = hole.tee.x, z = hole.tee.z, h = hole.height_at(x, z) + 0.012f;
    out->quad("tee", "tee", corner({x - 0.9f, h, z - 0.35f}, {0, 1, 0}, 0, 0),
              corner({x + 0.9f, h, z - 0.35f}, {0, 1, 0}, 1.8f, 0),
              corner({x + 0.9f, h, z + 0.95f}, {0, 1, 0}, 1.8f, 1.3f),
              corner({x - 0.9f, h, z + 0.95f}, {0, 1, 0}, 0, 1.3f), {0, 1, 0});
}

void stream(Builder *out, const Stream &s) {
    const float x0 = std::min(s.a.x, s.b.x), x1 = std::max(s.a.x, s.b.x);
    const float z0 = std::min(s.a.z, s.b.z), z1 = std::max(s.a.z, s.b.z);
    // The water runs along x: the map's v follows x, so that sliding v runs it.
    out->quad(s.name, "stream", corner({x0, s.height, z0}, {0, 1, 0}, z0 / 2, x0 / 2),
              corner({x1, s.height, z0}, {0, 1, 0}, z0 / 2, x1 / 2),
              corner({x1, s.height, z1}, {0, 1, 0}, z1 / 2, x1 / 2),
              corner({x0, s.height, z1}, {0, 1, 0}, z1 / 2, x0 / 2), {0, 1, 0});
}

// Still water over its convex shape: a pond the fairway's edge stands in.
void still_water(Builder *out, const Water &w) {
    const auto at = [&](const Point2 &c) {
        return corner({c.x, w.height, c.z}, {0, 1, 0}, c.x / 2, c.z / 2);
    };
    for (size_t i = 1; i + 1 < w.corners.size(); ++i) {
        out->triangle("water", "stream", at(w.corners[0]), at(w.corners[i]), at(w.corners[i + 1]),
                      {0, 1, 0});
    }
}

// A sphere of triangles, squashed or not, with a colour.
void blob(Builder *out, const std::string &object, const std::string &surface, V3 centre, V3 radii,
          int rings, int segments, float shade = 1.0f) {
    auto point = [&](int ring, int segment) {
        const float polar = kPi * ring / rings, a = 2 * kPi * segment / segments;
        const V3 n = {std::sin(polar) * std::cos(a), std::cos(polar),
                      std::sin(polar) * std::sin(a)};
        return corner(centre + V3{n.x * radii.x, n.y * radii.y, n.z * radii.z}, n,
                      static_cast<float>(segment) / segments, static_cast<float>(ring) / rings,
                      shade);
    };
    for (int ring = 0; ring < rings; ++ring) {
        for (int segment = 0; segment < segments; ++segment) {
            const Corner a = point(ring, segment), b = point(ring, segment + 1),
                         c = point(ring + 1, segment), d = point(ring + 1, segment + 1);
            const V3 outward = (a.p + d.p) * 0.5f - centre;
            out->triangle(object, surface, a, c, b, outward);
            out->triangle(object, surface, b, c, d, outward);
        }
    }
}

void decoration(Builder *out, const Decoration &d, const std::string &object = "decor") {
    const V3 at = {d.at.x, LAND_HEIGHT, d.at.z};
    if (d.kind == "tree") {
        const int segments = 8;
        for (int k = 0; k < segments; ++k) {
            const float a0 = 2 * kPi * k / segments, a1 = 2 * kPi * (k + 1) / segments;
            const V3 d0 = {std::cos(a0), 0, std::sin(a0)}, d1 = {std::cos(a1), 0, std::sin(a1)};
            const float r = 0.12f * d.size, h = 1.2f * d.size;
            out->quad(object, "bark", corner(at + d0 * r, d0, 0, 0), corner(at + d1 * r, d1, 1, 0),
                      corner(at + d1 * r + V3{0, h, 0}, d1, 1, 1),
                      corner(at + d0 * r + V3{0, h, 0}, d0, 0, 1), d0 + d1);
        }
        blob(out, object, "leaves", at + V3{0, 1.7f * d.size, 0}, V3{0.8f, 0.9f, 0.8f} * d.size, 5,
             8);
        blob(out, object, "leaves", at + V3{0.35f, 1.3f, 0.2f} * d.size,
             V3{0.55f, 0.55f, 0.55f} * d.size, 4, 7, 0.9f);
    } else if (d.kind == "rock") {
        blob(out, object, "rock", at + V3{0, 0.1f * d.size, 0}, V3{0.6f, 0.35f, 0.5f} * d.size, 4,
             7);
    } else {
        const char *colours[] = {"petal_red", "petal_yellow", "petal_white"};
        for (int k = 0; k < 9; ++k) {
            const float a = 2.4f * k, r = 0.25f * std::sqrt(static_cast<float>(k)) * d.size;
            blob(out, object, colours[k % 3], at + V3{std::cos(a) * r, 0.12f, std::sin(a) * r},
                 V3{0.09f, 0.07f, 0.09f} * d.size, 3, 5);
        }
    }
}

// The land round the course, a little below it, as far as the eye goes.
void land(Builder *out, Point2 middle) {
    const int cells = 14;
    const float step = 2 * kLandReach / cells;
    for (int i = 0; i < cells; ++i) {
        for (int j = 0; j < cells; ++j) {
            auto at = [&](int a, int b) {
                const float x = middle.x - kLandReach + a * step,
                            z = middle.z - kLandReach + b * step;
                // Gentle light and dark patches.
                const float shade = 0.92f + 0.08f * std::sin(x * 0.21f) * std::cos(z * 0.17f);
                return corner({x, LAND_HEIGHT, z}, {0, 1, 0}, x / 4, z / 4, shade);
            };
            out->quad("land", "land", at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1),
                      {0, 1, 0});
        }
    }
}

// The sky inside a great sphere: its upper half the sky's picture (clouds
// and the sun where the course's light comes from), then a band under the
// horizon that fades to a hazy green-grey where the land runs out. Below
// the band the sphere is left open: the land hides it from every camera of
// a hole (the course test holds each hole to that), and a software
// renderer pays for each hidden pixel of it. The sky is not lit: it is the
// light.
void sky(Builder *out, Point2 middle, const uint8_t haze[3]) {
    constexpr int kSegments = 32;
    const auto point = [&](int ring, int segment) {
        const float polar = kPi * ring / kSkyRings, a = 2 * kPi * segment / kSegments;
        const V3 d = {std::sin(polar) * std::cos(a), std::cos(polar),
                      std::sin(polar) * std::sin(a)};
        const bool below = 2 * ring > kSkyRings;
        const std::array<uint8_t, 4> colour =
            below ? std::array<uint8_t, 4>{haze[0], haze[1], haze[2], 255}
                  : std::array<uint8_t, 4>{255, 255, 255, 255};
        return Corner{V3{middle.x, 0, middle.z} + d * kSkyRadius,
                      d * -1,
                      static_cast<float>(segment) / kSegments,
                      std::min(1.0f, 2.0f * static_cast<float>(ring) / kSkyRings),
                      1.0f,
                      true,
                      colour};
    };
    for (int ring = 0; ring < kSkyRingsBuilt; ++ring) {
        const char *surface = 2 * ring < kSkyRings ? "sky" : "haze";
        for (int segment = 0; segment < kSegments; ++segment) {
            const Corner a = point(ring, segment), b = point(ring, segment + 1),
                         c = point(ring + 1, segment), d = point(ring + 1, segment + 1);
            const V3 inward = V3{middle.x, 0, middle.z} - (a.p + d.p) * 0.5f;
            out->triangle("sky", surface, a, c, b, inward);
            out->triangle("sky", surface, b, c, d, inward);
        }
    }
}

// Far round the course, where the land runs out: a ring of low hills and,
// at their feet, a ring of trees, so that the ground does not run flat to
// the horizon. Their heights and places are the same on every hole.
void distant_scenery(Builder *out, Point2 middle) {
    constexpr int kSegments = 48, kTrees = 28;
    constexpr float kFoot = 50.0f, kCrest = 60.0f, kBack = 68.0f;
    const auto crest_height = [](int segment) {
        const float a = 2 * kPi * static_cast<float>(segment % kSegments) / kSegments;
        return 4.0f + 2.5f * std::sin(3 * a + 0.7f) + 1.5f * std::sin(7 * a + 2.1f);
    };
    const auto at = [&](float radius, int segment, float height) {
        const float a = 2 * kPi * static_cast<float>(segment) / kSegments;
        return V3{middle.x + std::cos(a) * radius, LAND_HEIGHT + height,
                  middle.z + std::sin(a) * radius};
    };
    for (int k = 0; k < kSegments; ++k) {
        const float h0 = crest_height(k), h1 = crest_height(k + 1);
        const V3 foot0 = at(kFoot, k, 0), foot1 = at(kFoot, k + 1, 0);
        const V3 top0 = at(kCrest, k, h0), top1 = at(kCrest, k + 1, h1);
        const V3 back0 = at(kBack, k, 0), back1 = at(kBack, k + 1, 0);
        const V3 in = unit(cross(top1 - foot0, foot1 - foot0));
        const V3 out_side = unit(cross(back1 - top0, top1 - top0));
        const float u0 = static_cast<float>(k) * 2, u1 = u0 + 2;
        out->quad("land", "land", corner(foot0, in, u0, 0), corner(foot1, in, u1, 0),
                  corner(top1, in, u1, 2, 0.95f), corner(top0, in, u0, 2, 0.95f), in);
        out->quad("land", "land", corner(top0, out_side, u0, 2), corner(top1, out_side, u1, 2),
                  corner(back1, out_side, u1, 4), corner(back0, out_side, u0, 4), out_side);
    }
    for (int k = 0; k < kTrees; ++k) {
        const float a = 2 * kPi * (static_cast<float>(k) + 0.37f * std::sin(5.0f * k)) / kTrees;
        const float radius = kFoot - 3.0f - 2.0f * std::fabs(std::sin(3.0f * k));
        const Decoration tree{"tree",
                              {middle.x + std::cos(a) * radius, middle.z + std::sin(a) * radius},
                              2.2f + 0.8f * std::fabs(std::sin(7.0f * k))};
        decoration(out, tree, "far");
    }
}

Point2 middle_of(const HoleSpec &hole) {
    float x0 = hole.areas[0].corners[0].x, x1 = x0, z0 = hole.areas[0].corners[0].z, z1 = z0;
    for (const Area &area : hole.areas) {
        for (const Point2 &c : area.corners) {
            x0 = std::min(x0, c.x), x1 = std::max(x1, c.x);
            z0 = std::min(z0, c.z), z1 = std::max(z1, c.z);
        }
    }
    return {(x0 + x1) / 2, (z0 + z1) / 2};
}

} // namespace

const std::vector<SurfaceLook> &surface_looks() {
    static const std::vector<SurfaceLook> looks = {
        {"grass", "grass.png", 255, 255, 255, 2.0f},
        {"sand", "sand.png", 255, 255, 255, 2.0f},
        {"wood", "wood.png", 255, 255, 255, 1.0f},
        {"stone", "stone.png", 255, 255, 255, 1.5f},
        {"brick", "brick.png", 255, 255, 255, 1.0f},
        {"stream", "water.png", 255, 255, 255, 2.0f},
        {"land", "land.png", 255, 255, 255, 4.0f},
        {"tee", "tee.png", 255, 255, 255, 1.0f},
        {"belt", "belt.png", 255, 255, 255, 1.0f},
        {"roof", "roof.png", 255, 255, 255, 1.0f},
        {"cup", nullptr, 235, 235, 230, 1.0f},
        {"sky", "sky.png", 255, 255, 255, 1.0f},
        {"haze", nullptr, 255, 255, 255, 1.0f},
        {"bark", nullptr, 110, 78, 50, 1.0f},
        {"leaves", nullptr, 60, 130, 55, 1.0f},
        {"rock", nullptr, 140, 138, 130, 1.0f},
        {"petal_red", nullptr, 220, 50, 60, 1.0f},
        {"petal_yellow", nullptr, 240, 210, 60, 1.0f},
        {"petal_white", nullptr, 245, 245, 240, 1.0f},
        {"metal", nullptr, 170, 175, 185, 1.0f},
        {"paint_red", nullptr, 200, 40, 40, 1.0f},
        {"paint_white", nullptr, 240, 240, 240, 1.0f},
    };
    return looks;
}

Wo2Model course_model(const HoleSpec &hole, const CourseLight &light, float *cup_bottom) {
    Builder out(light);
    FairwayMaker(hole, &out).make();
    WallMaker walls(hole, &out);
    for (const WallLine &wall : hole.walls) {
        walls.make(wall);
    }
    for (const Block &b : hole.blocks) {
        box(&out, "blocks", b.surface, {std::min(b.a.x, b.b.x), b.bottom, std::min(b.a.z, b.b.z)},
            {std::max(b.a.x, b.b.x), b.top, std::max(b.a.z, b.b.z)});
    }
    for (const Drop &d : hole.drops) {
        drop_face(&out, d);
    }
    for (const Windmill &w : hole.windmills) {
        windmill(&out, hole, w);
    }
    tee_marker(&out, hole);
    for (const Stream &s : hole.streams) {
        stream(&out, s);
    }
    for (const Water &w : hole.waters) {
        still_water(&out, w);
    }
    for (const Decoration &d : hole.decorations) {
        decoration(&out, d);
    }
    const Point2 middle = middle_of(hole);
    land(&out, middle);
    distant_scenery(&out, middle);
    sky(&out, middle, light.haze);
    *cup_bottom = hole.height_at(hole.cup.x, hole.cup.z) - CUP_DEPTH;
    // The decoration stands in the cameras' way and not the balls': its
    // collision type is one the cameras meet and the balls pass over.
    std::map<std::string, std::string> flags = {
        {"tee", "NO_COLLISION"},  {"water", "NO_COLLISION"}, {"decor", "COLLISION_TYPE 2"},
        {"land", "NO_COLLISION"}, {"far", "NO_COLLISION"},   {"sky", "NO_COLLISION"}};
    for (const Stream &s : hole.streams) {
        flags[s.name] = "NO_COLLISION";
    }
    return out.model(flags);
}

bool sees_under_the_sky(const HoleSpec &hole, const std::array<float, 3> &camera) {
    const Point2 middle = middle_of(hole);
    const float dx = camera[0] - middle.x, dz = camera[2] - middle.z;
    // The land is a square round the middle: a ray leaves it soonest over
    // the nearest edge.
    const float to_edge = kLandReach - std::max(std::fabs(dx), std::fabs(dz));
    if (to_edge <= 0) {
        return true;
    }
    // The steepest ray down that passes over the land's edge, against the
    // gentlest that comes down under the lowest ring before it can reach
    // the sphere (no ray runs further than the sphere's far side).
    const float past_edge = (camera[1] - LAND_HEIGHT) / to_edge;
    const float lowest_ring = kPi * (kSkyRingsBuilt - kSkyRings / 2) / kSkyRings;
    const float under_lowest_ring =
        (camera[1] + kSkyRadius * std::sin(lowest_ring)) / (kSkyRadius + std::hypot(dx, dz));
    return past_edge > under_lowest_ring;
}

Wo2Model windmill_blades_model(const CourseLight &light) {
    Builder out(light);
    for (int blade = 0; blade < 4; ++blade) {
        const float a = kPi / 2 * blade;
        const V3 along = {std::cos(a), std::sin(a), 0}, across = {-std::sin(a), std::cos(a), 0};
        // A lattice sail: a frame of two spars and a sheet, in the z = 0 plane.
        const V3 base = along * 0.25f, tip = along * 1.85f;
        for (float side : {1.0f, -1.0f}) {
            const V3 n = {0, 0, side};
            out.quad("blades", "paint_white", corner(base, n, 0, 0), corner(tip, n, 1, 0),
                     corner(tip + across * 0.45f, n, 1, 1), corner(base + across * 0.45f, n, 0, 1),
                     n);
        }
        box(&out, "blades", "paint_red", along * 0.0f + V3{-0.06f, -0.06f, -0.08f},
            V3{0.06f, 0.06f, 0.08f}, true);
        const V3 spar_low = along * 0.15f - across * 0.04f,
                 spar_high = along * 1.9f + across * 0.04f;
        box(&out, "blades", "wood",
            {std::min(spar_low.x, spar_high.x), std::min(spar_low.y, spar_high.y), -0.05f},
            {std::max(spar_low.x, spar_high.x), std::max(spar_low.y, spar_high.y), 0.05f}, true);
    }
    blob(&out, "blades", "metal", {0, 0, 0.05f}, {0.22f, 0.22f, 0.12f}, 4, 8);
    return out.model({});
}

Wo2Model gate_model(float width, const CourseLight &light) {
    Builder out(light);
    box(&out, "gate", "paint_red", {-width / 2, 0, -0.12f}, {width / 2, 0.55f, 0.12f}, true);
    box(&out, "gate", "paint_white", {-width / 2 + 0.1f, 0.2f, -0.13f},
        {width / 2 - 0.1f, 0.35f, 0.13f}, true);
    return out.model({});
}

Wo2Model lift_model(float width, float depth, const CourseLight &light) {
    Builder out(light);
    box(&out, "lift", "metal", {-width / 2, -0.2f, -depth / 2}, {width / 2, 0, depth / 2}, true);
    // A painted sill at the deck's far edge, low enough for a ball to roll
    // over onto the upper green.
    box(&out, "lift", "paint_red", {-width / 2, 0, -depth / 2},
        {width / 2, 0.03f, -depth / 2 + 0.08f}, true);
    return out.model({});
}

// The ball rolls, so no light is baked into it (it would turn with the
// ball): it is its colour all over, with a band round it that shows it
// roll, white on a coloured ball and grey on the white one.
Wo2Model ball_model(int number) {
    const uint8_t colours[5][3] = {
        {250, 250, 250}, {230, 60, 50}, {60, 110, 230}, {245, 205, 40}, {60, 190, 90}};
    const uint8_t *colour = colours[(number - 1) % 5];
    const uint8_t band[3] = {static_cast<uint8_t>(number == 1 ? 150 : 250),
                             static_cast<uint8_t>(number == 1 ? 160 : 250),
                             static_cast<uint8_t>(number == 1 ? 175 : 250)};
    Wo2Model model;
    Wo2Material material;
    material.red = colour[0], material.green = colour[1], material.blue = colour[2];
    model.materials = {material};
    Wo2MaterialGroup group;
    group.material = 1;
    group.uvs = false;
    group.colours = true;
    Wo2FaceGroup face = wo2_sphere(BALL_RADIUS, 10, 14);
    for (size_t i = 0; i < face.vertices.size(); i += 3) {
        // A triangle is in the band when its middle is near the equator.
        float middle = 0;
        for (size_t k = 0; k < 3; ++k) {
            middle += face.vertices[i + k].normal[1] / 3;
        }
        const uint8_t *paint = std::fabs(middle) < 0.2f ? band : colour;
        for (size_t k = 0; k < 3; ++k) {
            std::copy(paint, paint + 3, face.vertices[i + k].colour);
            face.vertices[i + k].colour[3] = 255;
        }
    }
    group.faces = {face};
    model.objects = {{"ball", {group}}};
    model.references = {{0, "ball"}};
    return model;
}

void sun_in_the_sky(const CourseLight &light, float *heading, float *height) {
    const V3 sun = sun_of(light);
    *heading = std::atan2(sun.z, sun.x);
    if (*heading < 0) {
        *heading += 2 * kPi;
    }
    *height = std::asin(sun.y);
}

const CourseLight *course_light(const std::string &name) {
    static const std::vector<CourseLight> lights = [] {
        const V3 day = unit({-0.45f, 0.8f, 0.4f});
        // Low in the west, a little north: 14 degrees over the horizon, so
        // that a wall half a unit high throws its shadow two units long.
        const V3 evening = unit({-0.86f, 0.25f, -0.42f});
        return std::vector<CourseLight>{
            {"day",
             {day.x, day.y, day.z},
             {0.58f, 0.58f, 0.58f},
             {0.5f, 0.5f, 0.5f},
             false,
             {150, 165, 150},
             {{70, 130, 225}, {200, 225, 245}, {250, 250, 252}, {200, 205, 215}, {255, 250, 225}}},
            // Warm where the sun falls, cool blue in the shadows.
            {"evening",
             {evening.x, evening.y, evening.z},
             {0.5f, 0.48f, 0.56f},
             {1.3f, 0.95f, 0.6f},
             true,
             {128, 108, 112},
             {{62, 78, 150}, {250, 168, 110}, {255, 205, 175}, {175, 125, 140}, {255, 236, 180}}},
        };
    }();
    for (const CourseLight &light : lights) {
        if (name == light.name) {
            return &light;
        }
    }
    return nullptr;
}

std::string course_light_names() {
    return "day evening";
}

Wo2Model shadow_model() {
    // Discs a little wider than the ball, one over the other, each a little
    // smaller and each darkening what is under it: dark in the middle and
    // soft at the rim, a shadow drawn over the ground it lies on.
    constexpr int kSegments = 16;
    constexpr float kRadii[] = {1.5f, 1.2f, 0.9f, 0.6f}; // of the ball's radius
    constexpr float kLayer = 0.0006f;                    // each over the last, never in it
    Wo2FaceGroup face;
    const auto vertex = [](float x, float y, float z) {
        Wo2Vertex v{};
        v.position[0] = x, v.position[1] = y, v.position[2] = z;
        v.normal[1] = 1;
        v.colour[3] = 255;
        return v;
    };
    for (size_t disc = 0; disc < std::size(kRadii); ++disc) {
        const float r = kRadii[disc] * BALL_RADIUS, y = kLayer * static_cast<float>(disc);
        for (int k = 0; k < kSegments; ++k) {
            const float a0 = 2 * kPi * k / kSegments, a1 = 2 * kPi * (k + 1) / kSegments;
            face.vertices.push_back(vertex(0, y, 0));
            face.vertices.push_back(vertex(std::cos(a1) * r, y, std::sin(a1) * r));
            face.vertices.push_back(vertex(std::cos(a0) * r, y, std::sin(a0) * r));
        }
    }
    Wo2Model model;
    Wo2Material material;
    material.red = material.green = material.blue = 0;
    material.opacity = 45;
    model.materials = {material};
    Wo2MaterialGroup group;
    group.material = 1;
    group.uvs = false;
    group.colours = false;
    group.faces = {face};
    model.objects = {{"shadow", {group}}};
    model.references = {{0, "shadow TRANSLUCENT NO_COLLISION"}};
    return model;
}

Wo2Model pinwheel_model() {
    // It stands on every course alike, in the day's light.
    const CourseLight &day = *course_light("day");
    Builder pole(day), wheel(day);
    const int segments = 8;
    for (int k = 0; k < segments; ++k) {
        const float a0 = 2 * kPi * k / segments, a1 = 2 * kPi * (k + 1) / segments;
        const V3 d0 = {std::cos(a0), 0, std::sin(a0)}, d1 = {std::cos(a1), 0, std::sin(a1)};
        pole.quad("pole", "paint_white", corner(d0 * 0.03f, d0, 0, 0), corner(d1 * 0.03f, d1, 1, 0),
                  corner(d1 * 0.03f + V3{0, 2.3f, 0}, d1, 1, 1),
                  corner(d0 * 0.03f + V3{0, 2.3f, 0}, d0, 0, 1), d0 + d1);
    }
    // Four blades round the hub, each a triangle folded from its corner,
    // facing +z; the wheel turns about its own z axis at the pole's top.
    const char *paints[4] = {"paint_red", "petal_yellow", "paint_red", "petal_yellow"};
    for (int blade = 0; blade < 4; ++blade) {
        const float a = kPi / 2 * blade;
        const V3 out1 = {std::cos(a) * 0.45f, std::sin(a) * 0.45f, 0};
        const V3 out2 = {std::cos(a + kPi / 4) * 0.3f, std::sin(a + kPi / 4) * 0.3f, 0.08f};
        for (float side : {1.0f, -1.0f}) {
            wheel.triangle("Pinwheel", paints[blade], corner({0, 0, 0}, {0, 0, side}, 0, 0),
                           corner(out1, {0, 0, side}, 1, 0), corner(out2, {0, 0, side}, 1, 1),
                           {0, 0, side});
        }
    }
    blob(&wheel, "Pinwheel", "paint_white", {0, 0, 0.04f}, {0.05f, 0.05f, 0.05f}, 3, 6);
    // Both parts in one model: the wheel's materials follow the pole's.
    Wo2Model model = pole.model({});
    const Wo2Model spinning = wheel.model({});
    const auto first = static_cast<uint16_t>(model.materials.size());
    model.materials.insert(model.materials.end(), spinning.materials.begin(),
                           spinning.materials.end());
    model.objects.push_back(spinning.objects[0]);
    for (Wo2MaterialGroup &group : model.objects.back().groups) {
        group.material = static_cast<uint16_t>(group.material + first);
    }
    Wo2Reference reference{1, "Pinwheel"};
    reference.matrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 2.3f, 0.04f, 1};
    model.references.push_back(reference);
    return model;
}
