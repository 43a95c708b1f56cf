#include "course_art.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr int kSize = SURFACE_MAP_SIZE;
constexpr float kPi = 3.14159265f;

struct Colour {
    float r, g, b;
};

Colour mix(Colour a, Colour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scaled(Colour c, float s) {
    return {c.r * s, c.g * s, c.b * s};
}

// A hash of a cell of a lattice that wraps every period cells: the maps
// tile because their noise does.
float hash(int x, int y, int period, uint32_t seed) {
    x = ((x % period) + period) % period;
    y = ((y % period) + period) % period;
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

// Smooth noise over a lattice of cells pixels square: the lattice's values
// (value_at a cell) blended smoothly between its corners.
template <typename ValueAt>
float smooth_noise(float x, float y, int cell, ValueAt value_at) {
    const float fx = x / cell, fy = y / cell;
    const int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
    const float tx = fx - ix, ty = fy - iy;
    const float sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const float a = value_at(ix, iy), b = value_at(ix + 1, iy);
    const float c = value_at(ix, iy + 1), d = value_at(ix + 1, iy + 1);
    return (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy;
}

// Smooth noise tiling the map.
float noise(float x, float y, int cell, uint32_t seed) {
    const int period = kSize / cell;
    return smooth_noise(x, y, cell, [&](int cx, int cy) { return hash(cx, cy, period, seed); });
}

float grain(float x, float y, uint32_t seed) {
    return 0.5f * noise(x, y, 32, seed) + 0.3f * noise(x, y, 8, seed + 1) +
           0.2f * noise(x, y, 2, seed + 2);
}

using Painter = std::function<Colour(int x, int y)>;

std::vector<uint8_t> paint(int width, int height, const Painter &painter) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Colour c = painter(x, y);
            uint8_t *out = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            out[0] = static_cast<uint8_t>(std::clamp(c.r, 0.0f, 255.0f));
            out[1] = static_cast<uint8_t>(std::clamp(c.g, 0.0f, 255.0f));
            out[2] = static_cast<uint8_t>(std::clamp(c.b, 0.0f, 255.0f));
        }
    }
    return rgb;
}

// Two greens in bands a quarter of the map wide, as a mower leaves them.
Colour grass(int x, int y) {
    const bool light = (y / (kSize / 4)) % 2 == 0;
    const Colour base = light ? Colour{92, 168, 74} : Colour{74, 146, 60};
    const float blade = hash(x, y, kSize, 7) * 0.16f + grain(x, y, 3) * 0.2f;
    return scaled(base, 0.9f + blade);
}

Colour land(int x, int y) {
    const float patches = grain(x, y, 11);
    return scaled(mix({70, 120, 52}, {96, 128, 58}, patches), 0.85f + hash(x, y, kSize, 12) * 0.2f);
}

Colour sand(int x, int y) {
    const float speckle = hash(x, y, kSize, 21);
    Colour c = scaled({218, 196, 142}, 0.9f + grain(x, y, 22) * 0.15f);
    if (speckle > 0.93f) {
        c = scaled(c, 0.75f);
    }
    return c;
}

// Planks a quarter of the map wide, running along the map's u, with grain.
Colour wood(int x, int y) {
    const int plank = y / (kSize / 4);
    const float along = static_cast<float>(x + plank * 37);
    const float lines =
        std::sin((static_cast<float>(y) + 6 * noise(along, static_cast<float>(y), 16, 31)) * kPi *
                 8 / kSize * 2);
    Colour c = scaled({150, 104, 62}, 0.85f + 0.1f * lines + hash(plank, 0, 4, 33) * 0.15f);
    if (y % (kSize / 4) == 0 || (x + plank * 45) % kSize == 0) {
        c = scaled(c, 0.55f); // the seams
    }
    return c;
}

// Cobbles: the nearest of a jittered lattice of stones, mortar between.
Colour stone(int x, int y) {
    const int cells = 4, cell = kSize / cells;
    float nearest = 1e9f, second = 1e9f;
    int owner = 0;
    for (int gy = -1; gy <= cells; ++gy) {
        for (int gx = -1; gx <= cells; ++gx) {
            const float cx = (gx + 0.2f + 0.6f * hash(gx, gy, cells, 41)) * cell;
            const float cy = (gy + 0.2f + 0.6f * hash(gx, gy, cells, 42)) * cell;
            const float d = std::hypot(x - cx, y - cy);
            if (d < nearest) {
                second = nearest, nearest = d;
                owner = ((gx % cells + cells) % cells) * 7 + ((gy % cells + cells) % cells);
            } else if (d < second) {
                second = d;
            }
        }
    }
    if (second - nearest < 3) {
        return {96, 92, 86};
    }
    const float tone = 0.8f + 0.25f * hash(owner, 0, 64, 43) + 0.1f * grain(x, y, 44);
    return scaled({150, 146, 136}, tone);
}

Colour brick(int x, int y) {
    const int row = y / 16;
    const int shifted = x + (row % 2) * 16;
    if (y % 16 < 2 || shifted % 32 < 2) {
        return {196, 190, 178};
    }
    const float tone = 0.85f + 0.2f * hash(shifted / 32, row, 8, 51) + 0.08f * grain(x, y, 52);
    return scaled({170, 72, 52}, tone);
}

Colour water(int x, int y) {
    const float u = static_cast<float>(x) * 2 * kPi / kSize,
                v = static_cast<float>(y) * 2 * kPi / kSize;
    const float ripple =
        0.5f + 0.25f * std::sin(2 * v + std::sin(3 * u)) + 0.25f * std::sin(5 * v + 2 * u);
    Colour c = mix({30, 90, 150}, {80, 160, 210}, ripple * 0.8f + noise(x, y, 16, 61) * 0.2f);
    if (ripple > 0.92f) {
        c = mix(c, {220, 240, 250}, 0.6f);
    }
    return c;
}

// The tee's rubber mat: dark green with a grid of studs.
Colour tee(int x, int y) {
    const float dx = static_cast<float>(x % 16) - 7.5f, dy = static_cast<float>(y % 16) - 7.5f;
    const Colour base = scaled({40, 92, 52}, 0.9f + 0.1f * hash(x, y, kSize, 71));
    return dx * dx + dy * dy < 9 ? scaled(base, 1.35f) : base;
}

Colour belt(int x, int y) {
    const int v = (y + std::abs(x - kSize / 2) / 2) % 32;
    return v < 6 ? Colour{230, 190, 40}
                 : scaled({60, 62, 66}, 0.9f + 0.15f * hash(x, y, kSize, 81));
}

Colour roof(int x, int y) {
    const int row = y / 16;
    const int local = y % 16;
    const int tile = (x + (row % 2) * 8) / 16;
    const float tone = 0.8f + 0.25f * hash(tile, row, 8, 91) - 0.015f * static_cast<float>(local);
    return local < 2 ? Colour{90, 40, 30} : scaled({180, 70, 50}, tone);
}

// ---- the mini screen -------------------------------------------------------------------

bool inside(const std::vector<Point2> &polygon, float x, float y) {
    return inside_convex(polygon, x, y, 0.0f);
}

float segment_distance(float px, float py, float ax, float ay, float bx, float by) {
    const float dx = bx - ax, dy = by - ay;
    const float length = dx * dx + dy * dy;
    const float t =
        length > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / length, 0.0f, 1.0f) : 0;
    return std::hypot(ax + t * dx - px, ay + t * dy - py);
}

Colour surface_colour(const std::string &surface) {
    if (surface == "sand") {
        return {218, 196, 142};
    }
    if (surface == "wood") {
        return {150, 104, 62};
    }
    if (surface == "stone") {
        return {150, 146, 136};
    }
    if (surface == "belt") {
        return {70, 72, 76};
    }
    return {84, 160, 68};
}

// Smooth noise that wraps every period cells across and not down: the
// sky's clouds, round the horizon.
float sky_noise(float x, float y, int cell, uint32_t seed) {
    const int period = SKY_MAP_WIDTH / cell;
    return smooth_noise(x, y, cell,
                        [&](int cx, int cy) { return hash(cx, cy, period, seed + 977 * cy); });
}

} // namespace

std::vector<uint8_t> sky_map(float sun_heading, float sun_height, const SkyLook &look) {
    const auto colour = [](const uint8_t rgb[3]) {
        return Colour{static_cast<float>(rgb[0]), static_cast<float>(rgb[1]),
                      static_cast<float>(rgb[2])};
    };
    const Colour overhead = colour(look.overhead), horizon = colour(look.horizon);
    const Colour cloud = colour(look.cloud), cloud_shade = colour(look.cloud_shade),
                 sun = colour(look.sun);
    return paint(SKY_MAP_WIDTH, SKY_MAP_HEIGHT, [&](int x, int y) {
        // Down the picture: from overhead (0) to the horizon (1).
        const float down = (static_cast<float>(y) + 0.5f) / static_cast<float>(SKY_MAP_HEIGHT);
        const float height = (1 - down) * kPi / 2;
        const float heading =
            (static_cast<float>(x) + 0.5f) / static_cast<float>(SKY_MAP_WIDTH) * 2 * kPi;
        Colour c = mix(overhead, horizon, std::pow(down, 1.6f));
        // Puffs of cloud, flatter and thicker towards the horizon.
        const float fx = static_cast<float>(x), fy = static_cast<float>(y) * 2.2f;
        const float puff = 0.55f * sky_noise(fx, fy, 32, 5) + 0.3f * sky_noise(fx, fy, 16, 6) +
                           0.15f * sky_noise(fx, fy, 4, 7);
        const float cover = std::clamp((puff - 0.62f + 0.18f * down) * 4.0f, 0.0f, 1.0f);
        c = mix(c, mix(cloud, cloud_shade, sky_noise(fx, fy, 8, 8) * 0.6f), cover * 0.9f);
        // The sun: a bright disc and its glow, by the angle to its place.
        const float cosine =
            std::sin(height) * std::sin(sun_height) +
            std::cos(height) * std::cos(sun_height) * std::cos(heading - sun_heading);
        const float apart = std::acos(std::clamp(cosine, -1.0f, 1.0f));
        const float glow = std::exp(-apart * 9.0f) * 0.7f + (apart < 0.06f ? 1.0f : 0.0f);
        return mix(c, sun, std::min(1.0f, glow));
    });
}

std::vector<uint8_t> surface_map(const std::string &name) {
    const struct {
        const char *name;
        Colour (*painter)(int, int);
    } maps[] = {{"grass.png", grass}, {"land.png", land},   {"sand.png", sand},
                {"wood.png", wood},   {"stone.png", stone}, {"brick.png", brick},
                {"water.png", water}, {"tee.png", tee},     {"belt.png", belt},
                {"roof.png", roof}};
    for (const auto &map : maps) {
        if (name == map.name) {
            return paint(kSize, kSize, map.painter);
        }
    }
    return {};
}

TopView top_view_of(const HoleSpec &hole, int width, int height) {
    float x0 = hole.areas[0].corners[0].x, x1 = x0, z0 = hole.areas[0].corners[0].z, z1 = z0;
    for (const Area &area : hole.areas) {
        for (const Point2 &c : area.corners) {
            x0 = std::min(x0, c.x), x1 = std::max(x1, c.x);
            z0 = std::min(z0, c.z), z1 = std::max(z1, c.z);
        }
    }
    const float margin = 1.0f;
    const float scale = std::min((static_cast<float>(width) - 8) / (x1 - x0 + 2 * margin),
                                 (static_cast<float>(height) - 8) / (z1 - z0 + 2 * margin));
    // Centred: the view's corner is where the hole's box, scaled, sits mid-picture.
    return {(x0 + x1) / 2 - static_cast<float>(width) / 2 / scale,
            (z0 + z1) / 2 - static_cast<float>(height) / 2 / scale, scale};
}

std::vector<uint8_t> mini_screen(const HoleSpec &hole) {
    return top_view(hole, MINI_WIDTH, MINI_HEIGHT);
}

std::vector<uint8_t> top_view(const HoleSpec &hole, int width, int height) {
    const TopView view = top_view_of(hole, width, height);
    const float scale = view.scale;
    return paint(width, height, [&](int px, int py) {
        const float wx = view.x0 + (px + 0.5f) / scale, wz = view.z0 + (py + 0.5f) / scale;
        Colour c = scaled({64, 110, 50}, 0.9f + 0.1f * hash(px, py, 1 << 20, 5));
        bool on_fairway = false;
        for (const Area &area : hole.areas) {
            if (inside(area.corners, wx, wz)) {
                const float h = hole.height_in(area, wx, wz);
                c = scaled(surface_colour(area.surface),
                           0.85f + 0.25f * std::clamp(h, -0.5f, 1.0f));
                on_fairway = true;
            }
        }
        for (const Stream &s : hole.streams) {
            if (!on_fairway && wx >= std::min(s.a.x, s.b.x) && wx <= std::max(s.a.x, s.b.x) &&
                wz >= std::min(s.a.z, s.b.z) && wz <= std::max(s.a.z, s.b.z)) {
                c = {60, 130, 200};
            }
        }
        for (const Water &w : hole.waters) {
            if (!on_fairway && inside(w.corners, wx, wz)) {
                c = {60, 130, 200};
            }
        }
        for (const WallLine &wall : hole.walls) {
            std::vector<Point2> p = wall.points;
            if (wall.closed) {
                p.push_back(p.front());
            }
            for (size_t i = 0; i + 1 < p.size(); ++i) {
                if (segment_distance(wx, wz, p[i].x, p[i].z, p[i + 1].x, p[i + 1].z) * scale <
                    1.3f) {
                    c = {120, 82, 48};
                }
            }
        }
        for (const Block &b : hole.blocks) {
            if (wx >= std::min(b.a.x, b.b.x) && wx <= std::max(b.a.x, b.b.x) &&
                wz >= std::min(b.a.z, b.b.z) && wz <= std::max(b.a.z, b.b.z)) {
                c = {150, 70, 52};
            }
        }
        for (const Windmill &w : hole.windmills) {
            if (std::fabs(wx - w.at.x) < 1.4f && std::fabs(wz - w.at.z) < 1.4f &&
                std::fabs(wx - w.at.x) > 0.45f) {
                c = {170, 72, 52};
            }
        }
        const float tee_x = std::fabs(wx - hole.tee.x), tee_z = wz - hole.tee.z;
        if (tee_x < 0.9f && tee_z > -0.35f && tee_z < 0.95f) {
            c = {40, 92, 52};
        }
        // The cup, drawn at least a few pixels wide, with its white rim.
        const float cup = std::hypot(wx - hole.cup.x, wz - hole.cup.z);
        const float cup_radius = std::max(0.4f, 2.5f / scale);
        if (cup < cup_radius) {
            c = {20, 20, 20};
        } else if (cup < cup_radius + 1.2f / scale) {
            c = {240, 240, 240};
        }
        return c;
    });
}
