// A hole as its text describes it (a file of a course folder,
// assets/courses/ID/NAME.txt). One statement
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
//   hill X Z TOP FOOT HEIGHT    a hill with a flat top TOP across (radius)
//                               and its foot FOOT from the middle
//   bend X Z INNER OUTER FROM TO [surface S] [height H]
//                               fairway round (X, Z) between the two radii,
//                               from the heading FROM to TO (degrees: 0
//                               along +x, 90 along +z)
//   camber X Z RADIUS FROM TO WIDTH RISE   a bank along the arc of RADIUS
//                               round (X, Z) from FROM to TO: a curve to ride
//   water X Z X Z X Z ... [height H]   still water over a convex shape,
//                               at H (-0.2 unless said): out of bounds
//   wall [height H] [surface S] X Z X Z ... [closed]
//   arc [height H] [surface S] X Z RADIUS FROM TO   a curved wall
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
    enum Kind { SLOPE, BUMP, BANK, HILL, CAMBER } kind;
    float v[7];
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

struct Water {
    std::vector<Point2> corners;
    float height = -0.2f;
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
    std::vector<Water> waters;
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

// The point of the circle of that radius round the centre at the heading
// (degrees, 0 along +x and 90 along +z), and how many pieces an arc from
// one heading to the other is cut into: a bend's fairway and the arc of
// its wall share their corners.
Point2 arc_point(Point2 centre, float radius, float degrees);
int arc_pieces(float from, float to);

// A course as its course.txt describes it, in the same line language:
//
//   id WORD                     lowercase letters, digits and '-', 31 at most
//   name LANG words...          the course's name in each of the seven languages
//   light day|evening           where the sun stands over it
//   hole FILE                   the holes in order, beside course.txt, 1 to 18
constexpr int COURSE_MOST_HOLES = 18;
constexpr size_t COURSE_LONGEST_ID = 31;

struct CourseText {
    std::string id;
    std::map<std::string, std::string> names;
    std::string light = "day";
    std::vector<std::string> holes; // file names
    std::vector<int> hole_lines;    // where each is named
    int id_line = 0;
};

// Reads a course's text; faults are told as read_hole tells them.
bool read_course(const std::string &text, CourseText *course, std::string *error);
