#include "hole.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace {

const char *const kLanguages[] = {"EN", "FR", "ES", "DE", "IT", "PT", "JP"};
const char *const kWallKinds[] = {"wood", "stone", "metal", "rubber"};

// The words of one statement, and what went wrong with them.
class Statement {
  public:
    explicit Statement(const std::string &line) {
        std::istringstream words(line);
        for (std::string word; words >> word;) {
            words_.push_back(word);
        }
    }
    bool empty() const { return words_.empty(); }
    const std::string &verb() const { return words_[0]; }
    size_t left() const { return words_.size() - at_; }
    bool has(const char *word) const { return at_ < words_.size() && words_[at_] == word; }
    std::string word() { return at_ < words_.size() ? words_[at_++] : (failed_ = true, ""); }
    float number() {
        const std::string text = word();
        char *end = nullptr;
        const float value = std::strtof(text.c_str(), &end);
        if (text.empty() || *end || !std::isfinite(value)) {
            failed_ = true;
        }
        return value;
    }
    Point2 point() {
        const float x = number();
        return {x, number()};
    }
    std::array<float, 3> triple() {
        const float x = number(), y = number();
        return {x, y, number()};
    }
    // The rest of the line, as written.
    std::string rest() {
        std::string text;
        for (; at_ < words_.size(); ++at_) {
            text += (text.empty() ? "" : " ") + words_[at_];
        }
        return text;
    }
    // "surface S" or "height H" options, wherever they stand.
    bool option(const char *name, std::string *value) {
        for (size_t i = at_; i + 1 < words_.size(); ++i) {
            if (words_[i] == name) {
                *value = words_[i + 1];
                words_.erase(words_.begin() + static_cast<long>(i),
                             words_.begin() + static_cast<long>(i) + 2);
                return true;
            }
        }
        return false;
    }
    bool failed() const { return failed_; }
    void fail() { failed_ = true; }

  private:
    std::vector<std::string> words_;
    size_t at_ = 1;
    bool failed_ = false;
};

float to_float(const std::string &text, bool *ok) {
    char *end = nullptr;
    const float value = std::strtof(text.c_str(), &end);
    *ok = *ok && !text.empty() && !*end && std::isfinite(value);
    return value;
}

std::vector<Point2> points(Statement &s) {
    std::vector<Point2> list;
    while (s.left() >= 2) {
        list.push_back(s.point());
    }
    return list;
}

// Corners may be given either way round; they are kept clockwise in x-z
// (counter-clockwise seen from above, z towards the viewer), where the
// inside lies to the right of every edge. False when not convex.
bool make_convex_clockwise(std::vector<Point2> *corners) {
    std::vector<Point2> &c = *corners;
    if (c.size() < 3) {
        return false;
    }
    float twice_area = 0;
    for (size_t i = 0; i < c.size(); ++i) {
        const Point2 &a = c[i], &b = c[(i + 1) % c.size()];
        twice_area += a.x * b.z - b.x * a.z;
    }
    if (twice_area > 0) {
        std::reverse(c.begin(), c.end());
    }
    for (size_t i = 0; i < c.size(); ++i) {
        const Point2 &a = c[i], &b = c[(i + 1) % c.size()], &d = c[(i + 2) % c.size()];
        const float cross = (b.x - a.x) * (d.z - b.z) - (b.z - a.z) * (d.x - b.x);
        if (cross > 1e-6f) {
            return false;
        }
    }
    return twice_area != 0;
}

bool read_statement(Statement &s, HoleSpec *hole) {
    const std::string &verb = s.verb();
    if (verb == "name") {
        const std::string language = s.word();
        const bool known = std::find(std::begin(kLanguages), std::end(kLanguages), language) !=
                           std::end(kLanguages);
        hole->names[language] = s.rest();
        return known;
    }
    if (verb == "par") {
        hole->par = static_cast<int>(s.number());
    } else if (verb == "music") {
        hole->music_mp3 = s.has("mp3");
        if (hole->music_mp3) {
            s.word();
        }
        hole->music = s.word();
    } else if (verb == "wall_kind") {
        const std::string kind = s.word();
        const auto *found = std::find(std::begin(kWallKinds), std::end(kWallKinds), kind);
        hole->wall_kind = static_cast<int>(found - std::begin(kWallKinds));
        return found != std::end(kWallKinds);
    } else if (verb == "angle") {
        hole->angle = s.number();
    } else if (verb == "tee") {
        hole->tee = s.point();
    } else if (verb == "cup") {
        hole->cup = s.point();
        // The cup's square sits on the fairway's quarter-unit grid.
        return std::fmod(std::fabs(hole->cup.x), 0.5f) == 0 &&
               std::fmod(std::fabs(hole->cup.z), 0.5f) == 0;
    } else if (verb == "area") {
        Area area;
        std::string value;
        if (s.option("surface", &value)) {
            area.surface = value;
        }
        bool ok = true;
        if (s.option("height", &value)) {
            area.height = to_float(value, &ok);
        }
        area.corners = points(s);
        ok = ok && make_convex_clockwise(&area.corners);
        hole->areas.push_back(area);
        return ok;
    } else if (verb == "slope") {
        const Point2 a = s.point(), b = s.point();
        hole->features.push_back({Feature::SLOPE, {a.x, a.z, b.x, b.z, s.number(), 0}});
    } else if (verb == "bump") {
        const Point2 at = s.point();
        const float radius = s.number();
        hole->features.push_back({Feature::BUMP, {at.x, at.z, radius, s.number(), 0, 0}});
    } else if (verb == "bank") {
        const Point2 a = s.point(), b = s.point();
        const float width = s.number();
        hole->features.push_back({Feature::BANK, {a.x, a.z, b.x, b.z, width, s.number()}});
        return width > 0;
    } else if (verb == "wall") {
        WallLine wall;
        std::string value;
        bool ok = true;
        if (s.option("height", &value)) {
            wall.height = to_float(value, &ok);
        }
        if (s.option("surface", &value)) {
            wall.surface = value;
        }
        wall.points = points(s);
        wall.closed = s.has("closed");
        if (wall.closed) {
            s.word();
        }
        hole->walls.push_back(wall);
        return ok && wall.points.size() >= 2;
    } else if (verb == "block") {
        Block block;
        std::string value;
        if (s.option("surface", &value)) {
            block.surface = value;
        }
        block.a = s.point();
        block.b = s.point();
        block.bottom = s.number();
        block.top = s.number();
        hole->blocks.push_back(block);
    } else if (verb == "drop") {
        Drop drop;
        std::string value;
        if (s.option("surface", &value)) {
            drop.surface = value;
        }
        drop.a = s.point();
        drop.b = s.point();
        drop.top = s.number();
        drop.bottom = s.number();
        hole->drops.push_back(drop);
    } else if (verb == "windmill") {
        hole->windmills.push_back({s.point()});
    } else if (verb == "gate") {
        const Point2 at = s.point();
        const float width = s.number(), travel = s.number();
        hole->gates.push_back({at, width, travel, s.number()});
    } else if (verb == "lift") {
        const Point2 at = s.point();
        const float width = s.number(), depth = s.number(), rise = s.number();
        hole->lifts.push_back({at, width, depth, rise, s.number()});
    } else if (verb == "stream") {
        Stream stream;
        stream.name = s.word();
        stream.a = s.point();
        stream.b = s.point();
        stream.height = s.number();
        hole->streams.push_back(stream);
    } else if (verb == "tree" || verb == "rock" || verb == "flowers") {
        const Point2 at = s.point();
        hole->decorations.push_back({verb, at, s.number()});
    } else if (verb == "camera") {
        CameraSpec camera;
        camera.name = s.word();
        camera.position = s.triple();
        if (s.has("trigger")) {
            s.word();
            camera.trigger = true;
            camera.centre = s.triple();
            camera.radius = s.number();
        }
        hole->cameras.push_back(camera);
    } else if (verb == "camstart") {
        hole->camstart = s.triple();
    } else if (verb == "trail") {
        while (s.left() >= 3) {
            hole->trail.push_back(s.triple());
        }
        return hole->trail.size() >= 3 && hole->trail.size() % 2 == 1;
    } else {
        return false;
    }
    return true;
}

float smooth_bump(float distance, float radius) {
    return distance >= radius ? 0.0f : (std::cos(3.14159265f * distance / radius) + 1) / 2;
}

} // namespace

bool inside_convex(const std::vector<Point2> &c, float x, float z, float margin) {
    for (size_t i = 0; i < c.size(); ++i) {
        const Point2 &a = c[i], &b = c[(i + 1) % c.size()];
        // Inside lies to the right of each edge (the corners run clockwise in x-z).
        const float cross = (b.x - a.x) * (z - a.z) - (b.z - a.z) * (x - a.x);
        const float length = std::hypot(b.x - a.x, b.z - a.z);
        if (cross > margin * length) {
            return false;
        }
    }
    return true;
}

bool read_hole(const std::string &text, HoleSpec *hole, std::string *error) {
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        if (const size_t hash = line.find('#'); hash != std::string::npos) {
            line.erase(hash);
        }
        Statement statement(line);
        if (statement.empty()) {
            continue;
        }
        const bool read = read_statement(statement, hole);
        if (!read || statement.failed() || (statement.left() > 0 && statement.verb() != "name")) {
            *error = "line " + std::to_string(number) + ": cannot read \"" + line + "\"";
            return false;
        }
    }
    const char *missing = hole->areas.empty()        ? "no area"
                          : hole->par < 1            ? "no par"
                          : hole->music.empty()      ? "no music"
                          : hole->cameras.size() < 2 ? "fewer than two cameras"
                          : hole->trail.empty()      ? "no trail"
                          : hole->names.size() < 7 ? "a name missing in one of the seven languages"
                                                   : nullptr;
    if (missing) {
        *error = missing;
        return false;
    }
    // The cup's square of grid cells lies wholly on one area, clear of its
    // edges, where the walls stand.
    const Area *cup_area = hole->area_at(hole->cup.x, hole->cup.z);
    for (float dx : {-0.65f, 0.65f}) {
        for (float dz : {-0.65f, 0.65f}) {
            if (!cup_area ||
                !inside_convex(cup_area->corners, hole->cup.x + dx, hole->cup.z + dz)) {
                *error = "the cup lies too near the edge of its area";
                return false;
            }
        }
    }
    return true;
}

const Area *HoleSpec::area_at(float x, float z) const {
    const Area *nearest = nullptr;
    float best = std::numeric_limits<float>::max();
    for (const Area &area : areas) {
        if (inside_convex(area.corners, x, z, 1e-3f)) {
            return &area;
        }
        for (size_t i = 0; i < area.corners.size(); ++i) {
            const Point2 &a = area.corners[i], &b = area.corners[(i + 1) % area.corners.size()];
            const float dx = b.x - a.x, dz = b.z - a.z;
            const float t =
                std::clamp(((x - a.x) * dx + (z - a.z) * dz) / (dx * dx + dz * dz), 0.0f, 1.0f);
            const float d = std::hypot(a.x + t * dx - x, a.z + t * dz - z);
            if (d < best) {
                best = d;
                nearest = &area;
            }
        }
    }
    return nearest;
}

float HoleSpec::height_in(const Area &area, float x, float z) const {
    float height = area.height;
    for (const Feature &f : features) {
        const float *v = f.v;
        switch (f.kind) {
        case Feature::SLOPE: {
            const float dx = v[2] - v[0], dz = v[3] - v[1];
            const float t = ((x - v[0]) * dx + (z - v[1]) * dz) / (dx * dx + dz * dz);
            height += v[4] * std::clamp(t, 0.0f, 1.0f);
            break;
        }
        case Feature::BUMP:
            height += v[3] * smooth_bump(std::hypot(x - v[0], z - v[1]), v[2]);
            break;
        case Feature::BANK: {
            const float dx = v[2] - v[0], dz = v[3] - v[1];
            const float t =
                std::clamp(((x - v[0]) * dx + (z - v[1]) * dz) / (dx * dx + dz * dz), 0.0f, 1.0f);
            const float d = std::hypot(v[0] + t * dx - x, v[1] + t * dz - z);
            const float near = std::max(0.0f, 1 - d / v[4]);
            height += v[5] * near * near;
            break;
        }
        }
    }
    return height;
}

float HoleSpec::height_at(float x, float z) const {
    const Area *area = area_at(x, z);
    return area ? height_in(*area, x, z) : 0.0f;
}

std::array<Point2, 4> HoleSpec::starts() const {
    return {{{tee.x - 0.6f, tee.z},
             {tee.x + 0.6f, tee.z},
             {tee.x - 0.6f, tee.z + 0.6f},
             {tee.x + 0.6f, tee.z + 0.6f}}};
}
