// A hole as its text describes it (assets/course/holeN.txt). One statement
// a line, words apart, '#' starts a comment:
//
//   name LANG words...          the hole's name in one of the seven languages
//   par N
//   music SCORE | music mp3 SCORE   assets/music/SCORE.txt, as S3M or as MP3
//   wall_kind wood|stone|metal|rubber
//   angle DEGREES               the players' first aim; 0 is along -z
//   tee X Z                     the tee marker (and the players' starts round it)
//   cup X Z                     the cup: X and Z on the half-unit grid
//   area X Z X Z X Z ... [surface S] [height H]
//                               a convex piece of fairway, corners either
//                               way round, at H over the shape
//   slope X0 Z0 X1 Z1 RISE      the ground rises by RISE from (X0, Z0) to
//                               (X1, Z1), level before and after
//   bump X Z RADIUS HEIGHT      a round hump (or a dip, when negative)
//   bank X0 Z0 X1 Z1 WIDTH RISE the ground rises towards the line from
//                               (X0, Z0) to (X1, Z1), by RISE at the line, from
//                               nothing WIDTH away: a banked wall
//   wall [height H] [surface S] X Z X Z ... [closed]
//   block X0 Z0 X1 Z1 BOTTOM TOP [surface S]   a box over the fairway
//   drop X0 Z0 X1 Z1 TOP BOTTOM [surface S]    the upright side of a level
//   windmill X Z                a tower with a tunnel along z and its blades
//                               turning on the face towards +z
//   gate X Z WIDTH TRAVEL SPEED a bar sliding TRAVEL along x and back
//   lift X Z WIDTH DEPTH RISE SPEED   a platform going up RISE and down, at
//                               rest level with the fairway at its +z side
//   stream NAME X0 Z0 X1 Z1 HEIGHT    running water (a sliding texture)
//   tree X Z SIZE | rock X Z SIZE | flowers X Z SIZE   decoration off the course
//   camera NAME X Y Z [trigger X Y Z RADIUS]
//   camstart X Y Z
//   trail X Y Z X Y Z X Y Z ... the fly-by: curves through every three
//                               points, each starting where the last ended
//
// Heights add up: the slopes, bumps and banks of the whole hole, and the
// area's own height.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

// A wall's half thickness, and how far inside its area the cup's middle
// must stand (its square of fairway clear of the edges, where walls stand).
constexpr float WALL_HALF_WIDTH = 0.12f;
constexpr float CUP_CLEARANCE = 0.65f;

struct Point2 {
    float x, z;
};

struct Area {
    std::vector<Point2> corners;
    float height = 0;
    std::string surface = "grass";
};

struct Feature {
    enum Kind { SLOPE, BUMP, BANK } kind;
    float v[6];
};

struct WallLine {
    std::vector<Point2> points;
    bool closed = false;
    float height = 0.5f;
    std::string surface = "wood";
};

struct Block {
    Point2 a, b;
    float bottom, top;
    std::string surface = "brick";
};

struct Drop {
    Point2 a, b;
    float top, bottom;
    std::string surface = "stone";
};

struct Windmill {
    Point2 at;
};

struct Gate {
    Point2 at;
    float width, travel, speed;
};

struct Lift {
    Point2 at;
    float width, depth, rise, speed;
};

struct Stream {
    std::string name;
    Point2 a, b;
    float height;
};

struct Decoration {
    std::string kind;
    Point2 at;
    float size;
};

struct CameraSpec {
    std::string name;
    std::array<float, 3> position;
    bool trigger = false;
    std::array<float, 3> centre{};
    float radius = 0;
};

struct HoleSpec {
    int number = 0;
    std::map<std::string, std::string> names; // by language: EN FR ES DE IT PT JP
    int par = 0;
    std::string music;
    bool music_mp3 = false;
    int wall_kind = 0;
    float angle = 0;
    Point2 tee{}, cup{};
    std::vector<Area> areas;
    std::vector<Feature> features;
    std::vector<WallLine> walls;
    std::vector<Block> blocks;
    std::vector<Drop> drops;
    std::vector<Windmill> windmills;
    std::vector<Gate> gates;
    std::vector<Lift> lifts;
    std::vector<Stream> streams;
    std::vector<Decoration> decorations;
    std::vector<CameraSpec> cameras;
    std::array<float, 3> camstart{};
    std::vector<std::array<float, 3>> trail;

    // The area holding the point (or the nearest), and the fairway's height there.
    const Area *area_at(float x, float z) const;
    float height_at(float x, float z) const;
    float height_in(const Area &area, float x, float z) const;
    // The four players' start places round the tee.
    std::array<Point2, 4> starts() const;
};

// Reads a hole's text. On a fault, error says what is wrong, after the
// number of its line and a colon when one line is at fault ("12: a slope's
// two ends are one point"), alone when the hole lacks something ("no par").
bool read_hole(const std::string &text, HoleSpec *hole, std::string *error);
bool inside_convex(const std::vector<Point2> &corners, float x, float z, float margin = 1e-4f);
