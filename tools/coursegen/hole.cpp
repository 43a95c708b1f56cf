#include "hole.h"

#include "ball.h"
#include "course_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace {

const char *const kLanguages[] = {"EN", "FR", "ES", "DE", "IT", "PT", "JP"};
const char *const kWallKinds[] = {"wood", "stone", "metal", "rubber"};
// The surfaces a hole may lay (the course's other looks are its own).
const char *const kSurfaces[] = {"grass", "sand", "wood", "stone", "brick",
                                 "land",  "tee",  "belt", "roof",  "metal"};
constexpr int kMostPar = 20;

// What each statement wants after its first word, to name a value that is
// missing or wrong.
struct Usage {
    const char *verb, *values;
};
const Usage kUsages[] = {
    {"name", "LANGUAGE WORDS"},
    {"par", "N"},
    {"music", "SCORE"},
    {"wall_kind", "KIND"},
    {"angle", "DEGREES"},
    {"tee", "X Z"},
    {"cup", "X Z"},
    {"area", "X Z X Z X Z"},
    {"slope", "X0 Z0 X1 Z1 RISE"},
    {"bump", "X Z RADIUS HEIGHT"},
    {"bank", "X0 Z0 X1 Z1 WIDTH RISE"},
    {"hill", "X Z TOP FOOT HEIGHT"},
    {"bend", "X Z INNER OUTER FROM TO"},
    {"camber", "X Z RADIUS FROM TO WIDTH RISE"},
    {"water", "X Z X Z X Z"},
    {"arc", "X Z RADIUS FROM TO"},
    {"wall", "X Z X Z"},
    {"block", "X0 Z0 X1 Z1 BOTTOM TOP"},
    {"drop", "X0 Z0 X1 Z1 TOP BOTTOM"},
    {"windmill", "X Z"},
    {"gate", "X Z WIDTH TRAVEL SPEED"},
    {"lift", "X Z WIDTH DEPTH RISE SPEED"},
    {"stream", "NAME X0 Z0 X1 Z1 HEIGHT"},
    {"tree", "X Z SIZE"},
    {"rock", "X Z SIZE"},
    {"flowers", "X Z SIZE"},
    {"camera", "NAME X Y Z trigger X Y Z RADIUS"},
    {"camstart", "X Y Z"},
    {"trail", "X Y Z X Y Z X Y Z"},
    // course.txt's own
    {"id", "WORD"},
    {"light", "NAME"},
    {"hole", "FILE"},
};

const Usage *usage_of(const std::string &verb) {
    for (const Usage &usage : kUsages) {
        if (verb == usage.verb) {
            return &usage;
        }
    }
    return nullptr;
}

template <size_t N>
bool one_of(const char *const (&names)[N], const std::string &word) {
    return std::find_if(std::begin(names), std::end(names),
                        [&](const char *name) { return word == name; }) != std::end(names);
}

template <size_t N>
std::string listed(const char *const (&names)[N]) {
    std::string list;
    for (const char *name : names) {
        list += (list.empty() ? "" : " ") + std::string(name);
    }
    return list;
}

// The words of one statement, and the first thing wrong with them.
class Statement {
  public:
    explicit Statement(const std::string &line) {
        std::istringstream words(line);
        for (std::string word; words >> word;) {
            words_.push_back(word);
        }
        if (!words_.empty()) {
            if (const Usage *usage = usage_of(words_[0])) {
                std::istringstream values(usage->values);
                for (std::string value; values >> value;) {
                    values_.push_back(value);
                }
            }
        }
    }
    bool empty() const { return words_.empty(); }
    const std::string &verb() const { return words_[0]; }
    size_t left() const { return words_.size() - at_; }
    bool has(const char *word) const { return at_ < words_.size() && words_[at_] == word; }
    std::string word() {
        if (at_ < words_.size()) {
            return words_[at_++];
        }
        fail(value_name() + " is missing");
        return "";
    }
    float number() {
        const bool there = at_ < words_.size();
        const std::string name = value_name();
        const std::string text = word();
        char *end = nullptr;
        const float value = std::strtof(text.c_str(), &end);
        if (there && (*end || !std::isfinite(value))) {
            fail(name + " is \"" + text + "\", not a number");
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
    float option_number(const char *name, float otherwise) {
        std::string text;
        if (!option(name, &text)) {
            return otherwise;
        }
        char *end = nullptr;
        const float value = std::strtof(text.c_str(), &end);
        if (*end || !std::isfinite(value)) {
            fail(std::string(name) + " is \"" + text + "\", not a number");
        }
        return value;
    }
    // The first fault found is the one told.
    void fail(const std::string &problem) {
        if (problem_.empty()) {
            problem_ = problem;
        }
    }
    const std::string &problem() const { return problem_; }

  private:
    // The name of the value about to be read; past the end of what the
    // statement names, a list of points goes on naming its values in turn
    // (X Z, or X Y Z for a trail).
    std::string value_name() const {
        if (values_.empty()) {
            return "a value";
        }
        const size_t index = at_ - 1;
        const size_t period = verb() == "trail" ? 3 : 2;
        return index < values_.size() ? values_[index] : values_[index % period];
    }

    std::vector<std::string> words_;
    std::vector<std::string> values_;
    size_t at_ = 1;
    std::string problem_;
};

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

bool same_point(Point2 a, Point2 b) {
    return std::hypot(b.x - a.x, b.z - a.z) < 1e-3f;
}

void read_surface(Statement &s, std::string *surface) {
    std::string value;
    if (s.option("surface", &value)) {
        if (!one_of(kSurfaces, value)) {
            s.fail("unknown surface \"" + value + "\" (" + listed(kSurfaces) + ")");
        }
        *surface = value;
    }
}

void must_be_more_than_nothing(Statement &s, float value, const char *what) {
    if (!(value > 0)) {
        s.fail(std::string(what) + " must be more than 0");
    }
}

// An arc turns some way, and not round more than once.
void turn_is_an_arc(Statement &s, float from, float to) {
    if (s.problem().empty() && (from == to || std::fabs(to - from) > 360)) {
        s.fail("an arc turns from FROM to TO, a full turn at most");
    }
}

// A bend's fairway, as convex pieces of the ring between its radii: one
// area a piece, each turning 15 degrees at most.
void read_bend(Statement &s, HoleSpec *hole) {
    Area look;
    read_surface(s, &look.surface);
    look.height = s.option_number("height", 0);
    const Point2 at = s.point();
    const float inner = s.number(), outer = s.number(), from = s.number(), to = s.number();
    if (s.problem().empty() && !(inner >= 0 && outer > inner)) {
        s.fail("a bend's INNER radius is 0 or more and its OUTER larger");
    }
    turn_is_an_arc(s, from, to);
    if (!s.problem().empty()) {
        return;
    }
    const int pieces = arc_pieces(from, to);
    for (int k = 0; k < pieces; ++k) {
        const float a0 = from + (to - from) * k / pieces,
                    a1 = from + (to - from) * (k + 1) / pieces;
        Area piece = look;
        piece.corners = {arc_point(at, outer, a0), arc_point(at, outer, a1)};
        if (inner > 0) {
            piece.corners.push_back(arc_point(at, inner, a1));
            piece.corners.push_back(arc_point(at, inner, a0));
        } else {
            piece.corners.push_back(at);
        }
        make_convex_clockwise(&piece.corners);
        hole->areas.push_back(piece);
    }
}

// Each statement of a text, by its line's number ('#' starts a comment);
// the first one at fault stops the reading with "LINE: what".
template <typename Read>
bool read_statements(const std::string &text, std::string *error, Read read) {
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
        read(statement, number);
        if (!statement.problem().empty()) {
            *error = std::to_string(number) + ": " + statement.problem();
            return false;
        }
    }
    return true;
}

// "name LANG words...": a hole's or a course's name in one language.
void read_name(Statement &s, std::map<std::string, std::string> *names) {
    const std::string language = s.word();
    if (!language.empty() && !one_of(kLanguages, language)) {
        s.fail("unknown language \"" + language + "\" (" + listed(kLanguages) + ")");
    }
    const std::string name = s.rest();
    if (!language.empty() && name.empty()) {
        s.fail("the name in " + language + " is empty");
    }
    (*names)[language] = name;
}

void read_statement(Statement &s, HoleSpec *hole) {
    const std::string &verb = s.verb();
    if (verb == "name") {
        read_name(s, &hole->names);
    } else if (verb == "par") {
        const float par = s.number();
        if (par != std::floor(par) || par < 1 || par > kMostPar) {
            s.fail("par must be a whole number from 1 to " + std::to_string(kMostPar));
        }
        hole->par = static_cast<int>(par);
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
        if (!kind.empty() && found == std::end(kWallKinds)) {
            s.fail("unknown wall kind \"" + kind + "\" (" + listed(kWallKinds) + ")");
        }
    } else if (verb == "angle") {
        hole->angle = s.number();
    } else if (verb == "tee") {
        hole->tee = s.point();
    } else if (verb == "cup") {
        hole->cup = s.point();
        // The cup's square sits on the fairway's quarter-unit grid.
        if (std::fmod(std::fabs(hole->cup.x), 0.5f) != 0 ||
            std::fmod(std::fabs(hole->cup.z), 0.5f) != 0) {
            s.fail("the cup stands on the half-unit grid (X and Z in halves)");
        }
    } else if (verb == "area") {
        Area area;
        read_surface(s, &area.surface);
        area.height = s.option_number("height", 0);
        area.corners = points(s);
        if (s.problem().empty() && !make_convex_clockwise(&area.corners)) {
            s.fail("an area's corners (three at least) make a convex shape");
        }
        hole->areas.push_back(area);
    } else if (verb == "slope") {
        const Point2 a = s.point(), b = s.point();
        hole->features.push_back({Feature::SLOPE, {a.x, a.z, b.x, b.z, s.number(), 0}});
        if (same_point(a, b)) {
            s.fail("a slope's two ends are one point");
        }
    } else if (verb == "bump") {
        const Point2 at = s.point();
        const float radius = s.number();
        hole->features.push_back({Feature::BUMP, {at.x, at.z, radius, s.number(), 0, 0}});
        must_be_more_than_nothing(s, radius, "RADIUS");
    } else if (verb == "bank") {
        const Point2 a = s.point(), b = s.point();
        const float width = s.number();
        hole->features.push_back({Feature::BANK, {a.x, a.z, b.x, b.z, width, s.number()}});
        must_be_more_than_nothing(s, width, "WIDTH");
        if (same_point(a, b)) {
            s.fail("a bank's two ends are one point");
        }
    } else if (verb == "hill") {
        const Point2 at = s.point();
        const float top = s.number(), foot = s.number();
        hole->features.push_back({Feature::HILL, {at.x, at.z, top, foot, s.number(), 0, 0}});
        if (s.problem().empty() && !(top >= 0 && foot > top)) {
            s.fail("a hill's TOP is 0 or more and its FOOT farther out");
        }
    } else if (verb == "bend") {
        read_bend(s, hole);
    } else if (verb == "camber") {
        const Point2 at = s.point();
        const float radius = s.number(), from = s.number(), to = s.number();
        const float width = s.number();
        hole->features.push_back(
            {Feature::CAMBER, {at.x, at.z, radius, from, to, width, s.number()}});
        must_be_more_than_nothing(s, radius, "RADIUS");
        must_be_more_than_nothing(s, width, "WIDTH");
        turn_is_an_arc(s, from, to);
    } else if (verb == "water") {
        Water water;
        water.height = s.option_number("height", water.height);
        water.corners = points(s);
        if (s.problem().empty() && !make_convex_clockwise(&water.corners)) {
            s.fail("water's corners (three at least) make a convex shape");
        }
        hole->waters.push_back(water);
    } else if (verb == "arc") {
        WallLine wall;
        wall.height = s.option_number("height", wall.height);
        read_surface(s, &wall.surface);
        must_be_more_than_nothing(s, wall.height, "a wall's height");
        const Point2 at = s.point();
        const float radius = s.number(), from = s.number(), to = s.number();
        must_be_more_than_nothing(s, radius, "RADIUS");
        turn_is_an_arc(s, from, to);
        if (s.problem().empty()) {
            for (int k = 0, n = arc_pieces(from, to); k <= n; ++k) {
                wall.points.push_back(arc_point(at, radius, from + (to - from) * k / n));
            }
        }
        hole->walls.push_back(wall);
    } else if (verb == "wall") {
        WallLine wall;
        wall.height = s.option_number("height", wall.height);
        read_surface(s, &wall.surface);
        must_be_more_than_nothing(s, wall.height, "a wall's height");
        wall.points = points(s);
        wall.closed = s.has("closed");
        if (wall.closed) {
            s.word();
        }
        if (wall.points.size() < 2) {
            s.fail("a wall runs through two points at least");
        }
        hole->walls.push_back(wall);
    } else if (verb == "block") {
        Block block;
        read_surface(s, &block.surface);
        block.a = s.point();
        block.b = s.point();
        block.bottom = s.number();
        block.top = s.number();
        if (block.a.x == block.b.x || block.a.z == block.b.z || !(block.top > block.bottom)) {
            s.fail("a block has room inside: its corners apart, TOP over BOTTOM");
        }
        hole->blocks.push_back(block);
    } else if (verb == "drop") {
        Drop drop;
        read_surface(s, &drop.surface);
        drop.a = s.point();
        drop.b = s.point();
        drop.top = s.number();
        drop.bottom = s.number();
        if (same_point(drop.a, drop.b) || !(drop.top > drop.bottom)) {
            s.fail("a drop runs between two points, from TOP down to BOTTOM");
        }
        hole->drops.push_back(drop);
    } else if (verb == "windmill") {
        hole->windmills.push_back({s.point()});
    } else if (verb == "gate") {
        const Point2 at = s.point();
        const float width = s.number(), travel = s.number(), speed = s.number();
        hole->gates.push_back({at, width, travel, speed});
        must_be_more_than_nothing(s, width, "WIDTH");
        must_be_more_than_nothing(s, travel, "TRAVEL");
        must_be_more_than_nothing(s, speed, "SPEED");
    } else if (verb == "lift") {
        const Point2 at = s.point();
        const float width = s.number(), depth = s.number(), rise = s.number();
        const float speed = s.number();
        hole->lifts.push_back({at, width, depth, rise, speed});
        must_be_more_than_nothing(s, width, "WIDTH");
        must_be_more_than_nothing(s, depth, "DEPTH");
        must_be_more_than_nothing(s, rise, "RISE");
        must_be_more_than_nothing(s, speed, "SPEED");
    } else if (verb == "stream") {
        Stream stream;
        stream.name = s.word();
        stream.a = s.point();
        stream.b = s.point();
        stream.height = s.number();
        hole->streams.push_back(stream);
    } else if (verb == "tree" || verb == "rock" || verb == "flowers") {
        const Point2 at = s.point();
        const float size = s.number();
        hole->decorations.push_back({verb, at, size});
        must_be_more_than_nothing(s, size, "SIZE");
    } else if (verb == "camera") {
        CameraSpec camera;
        camera.name = s.word();
        camera.position = s.triple();
        if (s.has("trigger")) {
            s.word();
            camera.trigger = true;
            camera.centre = s.triple();
            camera.radius = s.number();
            must_be_more_than_nothing(s, camera.radius, "RADIUS");
        }
        hole->cameras.push_back(camera);
    } else if (verb == "camstart") {
        hole->camstart = s.triple();
    } else if (verb == "trail") {
        size_t count = 0;
        for (; s.left() >= 3; ++count) {
            hole->trail.push_back(s.triple());
        }
        if (s.problem().empty() && (count < 3 || count % 2 == 0)) {
            s.fail("a trail has an odd number of points, three at least");
        }
    } else {
        s.fail("unknown word \"" + verb + "\"");
        return;
    }
    if (s.problem().empty() && s.left() > 0) {
        s.fail("more than " + verb + " wants: \"" + s.rest() + "\"");
    }
}

float smooth_bump(float distance, float radius) {
    return distance >= radius ? 0.0f : (std::cos(3.14159265f * distance / radius) + 1) / 2;
}

// How far a point is from the arc of v[2] round (v[0], v[1]) from the
// heading v[3] to v[4]: from the circle when the point is within the
// arc's turn, from the nearer end when it is not (as a bank's line ends).
float distance_to_arc(const float *v, float x, float z) {
    const Point2 centre = {v[0], v[1]};
    const float low = std::min(v[3], v[4]), turn = std::fabs(v[4] - v[3]);
    float heading = std::atan2(z - v[1], x - v[0]) * 57.2957795f - low;
    heading -= 360 * std::floor(heading / 360);
    if (heading <= turn) {
        return std::fabs(std::hypot(x - v[0], z - v[1]) - v[2]);
    }
    const Point2 a = arc_point(centre, v[2], v[3]), b = arc_point(centre, v[2], v[4]);
    return std::min(std::hypot(x - a.x, z - a.z), std::hypot(x - b.x, z - b.z));
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

namespace {

// What a hole must have, whatever line would have said it.
std::string missing_statement(const HoleSpec &hole) {
    if (hole.areas.empty()) {
        return "no area: a hole has fairway";
    }
    if (hole.par < 1) {
        return "no par";
    }
    if (hole.music.empty()) {
        return "no music";
    }
    for (const char *language : kLanguages) {
        if (!hole.names.count(language)) {
            return std::string("no name in ") + language + " (a name in each of " +
                   listed(kLanguages) + ")";
        }
    }
    if (hole.cameras.size() < 2) {
        return "fewer than two cameras";
    }
    if (hole.trail.empty()) {
        return "no trail: the fly-by needs one";
    }
    return "";
}

// The cup's square of grid cells lies wholly on one area, clear of its
// edges, where the walls stand.
bool cup_on_the_fairway(const HoleSpec &hole) {
    const Area *cup_area = hole.area_at(hole.cup.x, hole.cup.z);
    for (float dx : {-CUP_CLEARANCE, CUP_CLEARANCE}) {
        for (float dz : {-CUP_CLEARANCE, CUP_CLEARANCE}) {
            if (!cup_area || !inside_convex(cup_area->corners, hole.cup.x + dx, hole.cup.z + dz)) {
                return false;
            }
        }
    }
    return true;
}

float distance_to_segment(Point2 p, Point2 a, Point2 b) {
    const float dx = b.x - a.x, dz = b.z - a.z, length = dx * dx + dz * dz;
    const float t =
        length > 0 ? std::clamp(((p.x - a.x) * dx + (p.z - a.z) * dz) / length, 0.0f, 1.0f) : 0.0f;
    return std::hypot(a.x + t * dx - p.x, a.z + t * dz - p.z);
}

// Each of the four starting places holds a ball: on an area, clear of
// every wall and block.
std::string start_fault(const HoleSpec &hole) {
    const auto starts = hole.starts();
    for (size_t k = 0; k < starts.size(); ++k) {
        const Point2 p = starts[k];
        const std::string which = "the tee's start " + std::to_string(k + 1) + " (" +
                                  std::to_string(p.x).substr(0, 5) + ", " +
                                  std::to_string(p.z).substr(0, 5) + ")";
        const bool on_an_area =
            std::any_of(hole.areas.begin(), hole.areas.end(), [&](const Area &a) {
                return inside_convex(a.corners, p.x, p.z, -BALL_RADIUS);
            });
        if (!on_an_area) {
            return which + " is off the fairway";
        }
        for (const WallLine &wall : hole.walls) {
            const size_t n = wall.points.size();
            for (size_t i = 0; i + 1 < n + (wall.closed ? 1 : 0); ++i) {
                if (distance_to_segment(p, wall.points[i], wall.points[(i + 1) % n]) <
                    WALL_HALF_WIDTH + BALL_RADIUS) {
                    return which + " is in a wall";
                }
            }
        }
        for (const Block &block : hole.blocks) {
            if (p.x > std::min(block.a.x, block.b.x) - BALL_RADIUS &&
                p.x < std::max(block.a.x, block.b.x) + BALL_RADIUS &&
                p.z > std::min(block.a.z, block.b.z) - BALL_RADIUS &&
                p.z < std::max(block.a.z, block.b.z) + BALL_RADIUS) {
                return which + " is in a block";
            }
        }
    }
    return "";
}

} // namespace

bool read_hole(const std::string &text, HoleSpec *hole, std::string *error) {
    int tee_line = 0, cup_line = 0;
    const bool read = read_statements(text, error, [&](Statement &statement, int number) {
        read_statement(statement, hole);
        tee_line = statement.verb() == "tee" ? number : tee_line;
        cup_line = statement.verb() == "cup" ? number : cup_line;
    });
    if (!read) {
        return false;
    }
    if (const std::string missing = missing_statement(*hole); !missing.empty()) {
        *error = missing;
        return false;
    }
    if (!tee_line || !cup_line) {
        *error = tee_line ? "no cup" : "no tee";
        return false;
    }
    if (!cup_on_the_fairway(*hole)) {
        *error = std::to_string(cup_line) +
                 ": the cup is off the fairway or too near its edge (its middle " +
                 "stands 0.65 inside the area)";
        return false;
    }
    if (const std::string fault = start_fault(*hole); !fault.empty()) {
        *error = std::to_string(tee_line) + ": " + fault;
        return false;
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
        case Feature::HILL: {
            const float d = std::hypot(x - v[0], z - v[1]);
            height += d <= v[2] ? v[4] : v[4] * smooth_bump(d - v[2], v[3] - v[2]);
            break;
        }
        case Feature::CAMBER: {
            const float near = std::max(0.0f, 1 - distance_to_arc(v, x, z) / v[5]);
            height += v[6] * near * near;
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

Point2 arc_point(Point2 centre, float radius, float degrees) {
    const float a = degrees / 57.2957795f;
    return {centre.x + radius * std::cos(a), centre.z + radius * std::sin(a)};
}

int arc_pieces(float from, float to) {
    return std::max(1, static_cast<int>(std::ceil(std::fabs(to - from) / 15.0f - 1e-4f)));
}

namespace {

// A course's id names its folders in the game directory.
bool good_id(const std::string &id) {
    return !id.empty() && id.size() <= COURSE_LONGEST_ID &&
           std::all_of(id.begin(), id.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
           });
}

void read_course_statement(Statement &s, CourseText *course, int line) {
    const std::string &verb = s.verb();
    if (verb == "id") {
        course->id = s.word();
        course->id_line = line;
        if (s.problem().empty() && !good_id(course->id)) {
            s.fail("an id is lowercase letters, digits and '-', " +
                   std::to_string(COURSE_LONGEST_ID) + " at most: \"" + course->id + "\"");
        }
    } else if (verb == "name") {
        read_name(s, &course->names);
    } else if (verb == "light") {
        course->light = s.word();
        if (s.problem().empty() && !course_light(course->light)) {
            s.fail("unknown light \"" + course->light + "\" (" + course_light_names() + ")");
        }
    } else if (verb == "hole") {
        const std::string file = s.word();
        if (s.problem().empty() && course->holes.size() == COURSE_MOST_HOLES) {
            s.fail("a course has " + std::to_string(COURSE_MOST_HOLES) + " holes at most");
        }
        course->holes.push_back(file);
        course->hole_lines.push_back(line);
    } else {
        s.fail("unknown word \"" + verb + "\"");
        return;
    }
    if (s.problem().empty() && s.left() > 0) {
        s.fail("more than " + verb + " wants: \"" + s.rest() + "\"");
    }
}

} // namespace

bool read_course(const std::string &text, CourseText *course, std::string *error) {
    const bool read = read_statements(text, error, [&](Statement &statement, int number) {
        read_course_statement(statement, course, number);
    });
    if (!read) {
        return false;
    }
    if (course->id.empty()) {
        *error = "no id";
        return false;
    }
    for (const char *language : kLanguages) {
        if (!course->names.count(language)) {
            *error = std::string("no name in ") + language + " (a name in each of " +
                     listed(kLanguages) + ")";
            return false;
        }
    }
    if (course->holes.empty()) {
        *error = "no hole: a course has 1 to " + std::to_string(COURSE_MOST_HOLES);
        return false;
    }
    return true;
}
