// The balls: each player's ball rolls on the course of the loaded level,
// with gravity, bounces, slopes and the wind, climbs small steps, bounces
// off walls and drops into the hole; and the ten sound slots it plays from.
//
// The physics of one sub-step (ball_move) touches nothing but the ball and
// the collision queries: what happened (a wall hit, the drop into the hole)
// comes back to the caller. ball_substep is the game's sub-step, which
// applies that to the game (sounds, the game state); a computer player or a
// test can run ball_move on a copy of a ball without changing anything else.
#pragma once

#include <cstdint>

struct PLAYER;
struct XV_3D_NODE;
struct XV_SND_EFFECT;
struct GEN_WO2;
struct GEN_COLL_MAP;
struct GEN_COLL_INDEX;

// The ball's size and weight, in the course's units. A course's lanes are
// three to four units wide and its walls half a unit high: a ball of radius
// 0.1 makes a lane fifteen to twenty balls wide, as a real course is, and
// a cup of radius 0.25 is two and a half balls across, as a real one.
//
// Gravity is added to the downward speed, at d = 1/8 a sub-step, and the
// ball falls by that speed each sub-step: 0.004 makes it fall about a unit
// in a quarter of a second, a little slower than a real ball at this
// scale, which keeps a resting ball still: each sub-step it sinks by about
// gravity / 8 and the floor pushes it back, a tremble of half a thousandth.
constexpr float BALL_RADIUS = 0.1f;
constexpr float BALL_GRAVITY = 0.004f;
// The cup's catch: the ball is in once its centre comes within this many
// radii of the hole's place (a ball's height over the cup's bottom): the
// whole ball below the rim.
constexpr float BALL_CATCH_RADII = 2.0f;

// What one sub-step did.
enum : uint32_t {
    BALL_HIT_WALL = 1,
    BALL_DROPPED = 2, // into the hole
    BALL_ON_FLOOR = 4,
    BALL_MET_OBJECT = 8, // a moving object
};

// A moving object the ball meets (a gate, a windmill's blades, a lift):
// its model and collision map, where its node stands now and how it is
// turned (degrees, turned about y, then x, then z, as the world draws it)
// and scaled (the same along each axis).
struct BALL_OBSTACLE {
    GEN_WO2 *model;
    GEN_COLL_MAP *map;
    float position[3];
    float rotation[3];
    float scale;
};
enum { BALL_MOST_OBSTACLES = 16 };

// The course a ball rolls on: the level model and its collision map, the
// hole (the pinwheel's place), the wind, and the moving objects where they
// are at this moment.
struct BALL_COURSE {
    GEN_WO2 *model;
    GEN_COLL_MAP *map;
    float hole[3];
    int32_t wind_direction; // whole degrees
    int32_t wall_kind;      // 0 wood, 1 stone, 2 metal, 3 rubber: how much a wall gives back
    int32_t obstacle_count;
    BALL_OBSTACLE obstacles[BALL_MOST_OBSTACLES];
};

// What one sub-step tells its caller besides the events.
struct BALL_MOVE {
    uint32_t events;
    float surface_tilt; // of the floor met (BALL_ON_FLOOR), in degrees
};

// One physics sub-step of length d for the ball of the record, whose world
// node is node (its position and rotation are the ball's). A moving object
// is met as a floor from above (a lift carries the ball) and as a wall from
// the side (the ball bounces off it, and a resting ball is pushed away).
BALL_MOVE ball_move(PLAYER *record, XV_3D_NODE *node, const BALL_COURSE *course, float d);

// A ball is at rest when its horizontal speed is below this: it then moves
// less than a thousandth of a unit a second.
constexpr float BALL_REST_SPEED = 0.004f;
// The speed of a full stroke: on a level fairway it rolls about 18 units
// (five times its speed, as friction takes a hundredth each sub-step), past
// the longest hole of the course. A sub-step then moves it 0.18, more than
// its radius: a sub-step moves the ball in pieces shorter than that, so
// that it cannot pass through a wall.
constexpr float BALL_MAX_SPEED = 3.6f;
// The wind: a moving ball's speed gains 1 / BALL_WIND_PUSH a step from the
// way it blows (what a player is told of its strength comes from this).
constexpr float BALL_WIND_PUSH = 10000.0f;
// How much of its speed a wall of each kind gives back: wood as the game
// always had it, stone deader, metal a little livelier, rubber lively.
constexpr float BALL_WALL_KEEPS[4] = {0.85f, 0.75f, 0.88f, 0.93f};

bool ball_at_rest(const PLAYER *record);
// The ball stands still, with nothing of its last sub-step left to carry on.
void ball_stop(PLAYER *record);

// A stroke played out on a copy, sub-step by sub-step, until the ball rests,
// drops into the hole, leaves the course (falls below it or out of its
// box), or the sub-steps run out. Nothing of the game changes.
struct BALL_SHOT {
    float position[3];
    bool holed;
    bool left;       // the course: a stroke lost
    bool met_object; // a moving object was in its way
    int substeps;    // taken
};
// With a forecast, the moving objects are placed where it says at each
// whole step of the stroke (0 its first); without, they stand still.
// With an index of the course (ball_index_course, for this ball's radius)
// the same stroke is played out faster: it meets the same faces.
using BALL_FORECAST = void (*)(int step, BALL_COURSE *course, const void *context);
BALL_SHOT ball_simulate(PLAYER ball, XV_3D_NODE node, BALL_COURSE course, int most_substeps,
                        BALL_FORECAST forecast = nullptr, const void *context = nullptr,
                        const GEN_COLL_INDEX *index = nullptr);
// Lays out the course's faces that the balls meet, for balls of this
// radius: worth it for many strokes played out on the course as it is
// loaded now (the index points into its collision map).
void ball_index_course(const BALL_COURSE &course, float radius, GEN_COLL_INDEX *index);
// The moving object the ball stands on (a lift's deck, a platform), as an
// index into the course's obstacles, or -1 when it stands on none.
int ball_carrier(const PLAYER &record, const XV_3D_NODE &node, const BALL_COURSE &course);
// Whether a place is off the course: below its lowest floor or outside its
// box (with half a unit to spare).
bool ball_off_course(const float position[3], const BALL_COURSE &course);
// The course of the loaded level, as the sub-steps see it, with its
// scripted objects that have a collision map (the first
// BALL_MOST_OBSTACLES of them; a level with more is reported once).
BALL_COURSE ball_course();

// While one stands, collision queries meet what the balls meet: the
// course's own faces (collision type 1), not the trees and rocks beside it
// that only the cameras see; with the query flags given. The type mask and
// the flags are put back after.
class BALL_FACES_ONLY {
  public:
    explicit BALL_FACES_ONLY(uint32_t flags);
    ~BALL_FACES_ONLY();
    BALL_FACES_ONLY(const BALL_FACES_ONLY &) = delete;
    BALL_FACES_ONLY &operator=(const BALL_FACES_ONLY &) = delete;

  private:
    uint8_t mask_;
    uint32_t flags_;
};

// The ground the balls roll on straight below from, down to the height
// to_y: the point met and its face's normal (null when not wanted); false
// where there is none (off the course, or no level).
bool ball_ground_below(const float from[3], float to_y, float point[3], float normal[3]);

// The game's sub-step: ball_move on the ball of the loaded level, then the
// sounds of the hole and the wall, and the game state when the ball drops.
void ball_substep(PLAYER *record, float d);
// Advances the ball by a fixed step s (raised to 0.5 when below): eight
// sub-steps of s / 8, at most once every 5 ms of the tick count.
void ball_update(PLAYER *record, float s);
// The tilt of the last floor a ball met, in degrees.
float ball_surface_tilt();

// The ten sound slots: 1 to 3 the drops into the cup (over par, par or
// better, a hole in one), 6 to 9 the wall hits of the four wall kinds.
enum {
    SOUND_SLOTS = 10,
    SLOT_OVER_PAR = 1,
    SLOT_PAR = 2,
    SLOT_HOLE_IN_ONE = 3,
    SLOT_WALL = 6, // + the level's wall kind, 0..3
    WALL_KINDS = 4,
};
// Loads the game's effects into their slots; releasing empties them.
void load_sound_slots();
void release_sound_slots();
XV_SND_EFFECT *sound_slot(int slot);
void set_sound_slot(int slot, XV_SND_EFFECT *effect);
// Plays the effect unless it is empty or already playing.
void play_slot(XV_SND_EFFECT *effect, int loop);
void stop_slot(XV_SND_EFFECT *effect);
void stop_all_slots();
