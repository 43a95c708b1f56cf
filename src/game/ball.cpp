#include "ball.h"

#include "game.h"
#include "players.h"
#include "script.h"
#include "trail.h"

#include "gen.h"
#include "xv.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kDegreesPerRadian = 57.29747f;
constexpr float kRadiansPerDegree = 0.01745278f;
constexpr float kRestingSpeed = 0.001f; // a slower landing stops rather than bounce
constexpr float kRebound = 0.4f;
constexpr float kSteepestFlat = 3.0f; // degrees; a steeper floor pushes the ball down it
constexpr float kSlopePush = 100.0f;  // the floor's normal over this is added to the speed
constexpr float kFloorFacing = 0.7f;  // the up part of a contact's direction that makes it a floor
constexpr float kStepRadii = 0.4f;  // an edge that high over the ball's bottom is a step it climbs
constexpr float kPieceRadii = 0.6f; // a sub-step moves the ball in pieces no longer than this
constexpr float kFollowedSlope = 1.2f; // tan 50°: the steepest ground a rolling ball follows down
constexpr float kFollowedFall = 0.02f; // a faster fall is a drop, not a roll down the ground
constexpr float kStopSpeed = 0.02f;    // slower on level ground, a rolling ball stops
constexpr float kKnockSpeed = 0.05f;   // into a wall at least this fast, the wall sounds
constexpr float kPushSpeed = 0.08f;    // a moving object's shove: about its own speed
constexpr float kHorizontalScale = 2.5f; // a sub-step of d moves d / 2.5 of the speed
constexpr float kSpin = 80.0f;
constexpr float kFriction = 0.99f;
constexpr float kWindlessSpeed = 0.02f;
constexpr int kSubsteps = 8;
constexpr int kMostResolutions = 4; // contacts put right a piece: a corner has two or three
constexpr float kShortestStep = 0.5f;
constexpr uint32_t kPhysicsGap = 5; // milliseconds between two runs of the sub-steps
constexpr uint32_t kHoledPause = 2000;

struct Slots {
    XV_SND_EFFECT *effects[SOUND_SLOTS] = {};
    bool loaded[SOUND_SLOTS] = {}; // the ones load_sound_slots owns
};
Slots slots;
float surface_tilt = 0.0f;
bool obstacles_reported = false; // too many moving objects, said once a program

// The effect files of the slots, by slot; null: the slot stays empty.
constexpr const char *kSlotFiles[SOUND_SLOTS] = {
    nullptr, "snd\\cup_over.wav", "snd\\cup_par.wav", "snd\\cup_ace.wav", nullptr,
    nullptr, "snd\\wood.wav",     "snd\\stone.wav",   "snd\\metal.wav",   "snd\\rubber.wav",
};

// Rotations stay within 0..360: 360 itself stays, as the game turned them
// by adding or taking whole turns.
float wrap_degrees(float angle) {
    if (angle < 0.0f) {
        angle = std::fmod(angle, 360.0f);
        if (angle < 0.0f) {
            angle += 360.0f;
        }
    } else if (angle > 360.0f) {
        const float rest = std::fmod(angle, 360.0f);
        angle = rest == 0.0f ? 360.0f : rest;
    }
    return angle;
}

float dot3(const float a[3], const float b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// The point of the triangle a, b, c nearest to p: inside it, on an edge or
// a corner (by the regions of the triangle's corners and edges).
void nearest_on_triangle(const float p[3], const float a[3], const float b[3], const float c[3],
                         float out[3]) {
    float ab[3], ac[3], ap[3];
    for (int i = 0; i < 3; ++i) {
        ab[i] = b[i] - a[i], ac[i] = c[i] - a[i], ap[i] = p[i] - a[i];
    }
    const auto at = [&](float v, float w) {
        for (int i = 0; i < 3; ++i) {
            out[i] = a[i] + ab[i] * v + ac[i] * w;
        }
    };
    const float d1 = dot3(ab, ap), d2 = dot3(ac, ap);
    if (d1 <= 0 && d2 <= 0) {
        return at(0, 0);
    }
    float bp[3], cp[3];
    for (int i = 0; i < 3; ++i) {
        bp[i] = p[i] - b[i], cp[i] = p[i] - c[i];
    }
    const float d3 = dot3(ab, bp), d4 = dot3(ac, bp);
    if (d3 >= 0 && d4 <= d3) {
        return at(1, 0);
    }
    const float vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) {
        return at(d1 / (d1 - d3), 0);
    }
    const float d5 = dot3(ab, cp), d6 = dot3(ac, cp);
    if (d6 >= 0 && d5 <= d6) {
        return at(0, 1);
    }
    const float vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) {
        return at(0, d2 / (d2 - d6));
    }
    const float va = d3 * d6 - d5 * d4;
    if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) {
        const float w = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        for (int i = 0; i < 3; ++i) {
            out[i] = b[i] + (c[i] - b[i]) * w;
        }
        return;
    }
    const float total = 1.0f / (va + vb + vc);
    at(vb * total, vc * total);
}

// Where the ball touches something: the nearest point of it, the way from
// there to the ball's centre (a unit vector), and how deep the ball is in.
struct Touch {
    float point[3];
    float away[3];
    float depth;
};

bool touch_of(const float centre[3], float radius, const float point[3], const float normal[3],
              Touch *touch) {
    float delta[3] = {centre[0] - point[0], centre[1] - point[1], centre[2] - point[2]};
    const float distance = std::sqrt(dot3(delta, delta));
    if (distance >= radius) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        touch->point[i] = point[i];
        // A centre on the face itself goes out the way the face looks.
        touch->away[i] = distance > 1e-6f ? delta[i] / distance : normal[i];
    }
    touch->depth = radius - distance;
    return true;
}

// The course's triangles within the ball's reach, as the query lists them;
// the contacts are put right one after the other from this list, measured
// again after each move. (Queries run one at a time: one list serves all.)
struct Nearby {
    GEN_COLL_CONTACT triangles[GEN_COLL_MOST_CONTACTS];
    int count = 0;
};
Nearby nearby;

uint8_t query_course(const float centre[3], float radius, const BALL_COURSE *course,
                     const GEN_COLL_INDEX *index) {
    return index ? gen_coll_sphere_indexed(centre[0], centre[1], centre[2], radius, course->model,
                                           course->map, index)
                 : gen_coll_sphere_wo2(centre[0], centre[1], centre[2], radius, course->model,
                                       course->map);
}

void list_nearby(const float centre[3], float radius, const BALL_COURSE *course,
                 const GEN_COLL_INDEX *index) {
    BALL_FACES_ONLY faces(GEN_COLL_NEAREST | GEN_COLL_LIST);
    nearby.count =
        query_course(centre, radius, course, index) ? gen_coll_get_list(nearby.triangles) : 0;
}

// The deepest touch of the listed triangles at the ball's place now (of
// the floors alone, when asked). A triangle is met from the side its face
// looks to, as the queries meet it.

bool deepest_touch(const float centre[3], float radius, bool floors_only, Touch *deepest) {
    bool found = false;
    for (int i = 0; i < nearby.count; ++i) {
        const GEN_COLL_CONTACT &t = nearby.triangles[i];
        if (gen_math_plane_distance(t.plane, centre) < 0.0f) {
            continue;
        }
        float point[3];
        nearest_on_triangle(centre, t.vertices[0], t.vertices[1], t.vertices[2], point);
        Touch touch;
        if (touch_of(centre, radius, point, t.plane, &touch) &&
            (!floors_only || touch.away[1] > kFloorFacing) &&
            (!found || touch.depth > deepest->depth)) {
            *deepest = touch;
            found = true;
        }
    }
    return found;
}

// What the floors of one sub-step did: the one met, for its tilt, and
// whether the ball landed on it.
struct FloorMet {
    bool met = false;
    float normal[3] = {0, 1, 0};
};

// A floor, or the edge of a step the ball climbs: lifted straight up until
// it just touches (a ball on a slope does not slide sideways off it).
void stand_on(float position[3], float radius, const Touch &touch) {
    const float dx = position[0] - touch.point[0], dz = position[2] - touch.point[2];
    const float under = std::max(0.0f, radius * radius - dx * dx - dz * dz);
    position[1] = touch.point[1] + std::sqrt(under);
}

// A wall turns a ball the way light leaves a mirror. (The described wall
// sent every ball back along the line from the contact to its centre,
// straight back whatever the angle, and took its speed twice: no bank shot
// was possible, which a golf ball on a golf course must have.) The ball
// keeps its speed once by the wall's kind; a ball only leaning on a wall
// (a slope pressing it there) slides along it without a knock. True when
// the wall was hit hard enough to sound.
bool bounce(PLAYER *record, const float away[3], float keeps, float least = 0.0f) {
    const float into = record->velocity_x * away[0] + record->velocity_z * away[2];
    bool knocked = false;
    if (into < -kStopSpeed) {
        record->velocity_x = (record->velocity_x - 2 * into * away[0]) * keeps;
        record->velocity_z = (record->velocity_z - 2 * into * away[2]) * keeps;
        knocked = -into >= kKnockSpeed;
    } else if (into < 0.0f) {
        record->velocity_x -= into * away[0];
        record->velocity_z -= into * away[2];
    }
    // A moving object shoves a ball it meets at least at its own speed.
    const float now = record->velocity_x * away[0] + record->velocity_z * away[2];
    if (now < least) {
        record->velocity_x += (least - now) * away[0];
        record->velocity_z += (least - now) * away[2];
    }
    // The next sub-step moves by the mean of its speed and this one: the
    // old way into the wall must not count in it.
    record->previous_velocity_x = record->velocity_x;
    record->previous_velocity_z = record->velocity_z;
    return knocked;
}

// Out of a wall, across: the ball goes out sideways by as much as it is in.
void step_out(float position[3], float radius, const Touch &touch, const float across[3]) {
    const float delta[3] = {position[0] - touch.point[0], position[1] - touch.point[1],
                            position[2] - touch.point[2]};
    const float along = dot3(delta, across);
    const float out =
        -along + std::sqrt(std::max(0.0f, along * along - dot3(delta, delta) + radius * radius));
    position[0] += across[0] * out;
    position[2] += across[2] * out;
}

enum class Met { NOTHING, FLOOR, STEP, WALL };

// What a touch is to the ball: a face or an edge below it that looks up is
// a floor; an edge lower than a step (a seam, a rim) is climbed; anything
// else is a wall, met from its side. (The described rule climbed any
// contact shallower than 0.4 by four times its depth, which threw a ball
// grazing a wall's top over the wall.)
Met kind_of(const Touch &touch, const float position[3], float radius) {
    if (touch.away[1] > kFloorFacing) {
        return Met::FLOOR;
    }
    const float over_bottom = touch.point[1] - (position[1] - radius);
    if (touch.away[1] > 0.0f && over_bottom < kStepRadii * radius) {
        return Met::STEP;
    }
    return Met::WALL;
}

// One touch put right: the ball stands on a floor or a step, or comes out
// of a wall and bounces off it. Returns what it was.
Met resolve(PLAYER *record, float position[3], const Touch &touch, float keeps, float shove,
            FloorMet *floor, BALL_MOVE *move) {
    const Met met = kind_of(touch, position, record->radius);
    if (met == Met::FLOOR || met == Met::STEP) {
        stand_on(position, record->radius, touch);
        // The way the floor holds the ball up: a face's normal, or from an
        // edge (a step's, a rim's) to the centre. The steepest one met tilts.
        if (met == Met::FLOOR && (!floor->met || touch.away[1] < floor->normal[1])) {
            std::copy(touch.away, touch.away + 3, floor->normal);
        }
        floor->met = true;
        return met;
    }
    float across[3] = {touch.away[0], 0.0f, touch.away[2]};
    const float length = std::sqrt(across[0] * across[0] + across[2] * across[2]);
    if (length < 1e-4f) {
        // Straight above it (a ceiling): out downwards, and no longer rising.
        position[1] -= touch.depth;
        record->velocity_y = std::max(record->velocity_y, 0.0f);
        return Met::WALL;
    }
    across[0] /= length, across[2] /= length;
    step_out(position, record->radius, touch, across);
    if (bounce(record, across, keeps, shove)) {
        move->events |= BALL_HIT_WALL;
    }
    return Met::WALL;
}

// The course's floors and walls at the ball's place, put right deepest
// first until none is left (a corner takes two or three).
void meet_course(PLAYER *record, float position[3], const BALL_COURSE *course,
                 const GEN_COLL_INDEX *index, FloorMet *floor, BALL_MOVE *move) {
    list_nearby(position, record->radius, course, index);
    const float keeps = BALL_WALL_KEEPS[std::clamp(course->wall_kind, 0, WALL_KINDS - 1)];
    for (int i = 0; i < kMostResolutions; ++i) {
        Touch touch;
        if (!deepest_touch(position, record->radius, false, &touch)) {
            return;
        }
        resolve(record, position, touch, keeps, 0.0f, floor, move);
    }
}

// A rolling ball over ground that fell away under it (down a slope, into a
// dip) looks for it below, as far as the steepest ground it follows, and
// stands on it when it is there; floors alone count: from down there a
// step's edge would look like a wall.
void follow_ground(PLAYER *record, float position[3], float reach, const BALL_COURSE *course,
                   const GEN_COLL_INDEX *index, FloorMet *floor) {
    float probe[3] = {position[0], position[1] - reach, position[2]};
    list_nearby(probe, record->radius, course, index);
    Touch touch;
    if (deepest_touch(probe, record->radius, true, &touch)) {
        stand_on(probe, record->radius, touch);
        position[1] = std::min(position[1], probe[1]);
        floor->met = true;
        std::copy(touch.away, touch.away + 3, floor->normal);
    }
}

// ---- moving objects ------------------------------------------------------------------

// A point turned as the world turns a node (about y, then x, then z applied
// first), or back.
void turn(const float rotation[3], const float in[3], float out[3], bool back) {
    const float rx = rotation[0] * kRadiansPerDegree, ry = rotation[1] * kRadiansPerDegree,
                rz = rotation[2] * kRadiansPerDegree;
    const float sign = back ? -1.0f : 1.0f;
    float p[3] = {in[0], in[1], in[2]};
    const auto about_z = [&] {
        const float c = std::cos(rz), s = std::sin(rz) * sign;
        const float x = p[0] * c - p[1] * s, y = p[0] * s + p[1] * c;
        p[0] = x, p[1] = y;
    };
    const auto about_x = [&] {
        const float c = std::cos(rx), s = std::sin(rx) * sign;
        const float y = p[1] * c - p[2] * s, z = p[1] * s + p[2] * c;
        p[1] = y, p[2] = z;
    };
    const auto about_y = [&] {
        const float c = std::cos(ry), s = std::sin(ry) * sign;
        const float x = p[0] * c + p[2] * s, z = -p[0] * s + p[2] * c;
        p[0] = x, p[2] = z;
    };
    if (back) {
        about_y(), about_x(), about_z();
    } else {
        about_z(), about_x(), about_y();
    }
    std::copy(p, p + 3, out);
}

// The sphere against one object in its place: the query runs in the
// object's own frame, and the contact comes back into the world's.
bool obstacle_contact(const float position[3], float radius, const BALL_OBSTACLE &obstacle,
                      GEN_COLL_INFO *contact) {
    const float s = obstacle.scale;
    const float offset[3] = {position[0] - obstacle.position[0], position[1] - obstacle.position[1],
                             position[2] - obstacle.position[2]};
    float local[3];
    turn(obstacle.rotation, offset, local, true);
    const bool hit = [&] {
        BALL_FACES_ONLY faces(GEN_COLL_NEAREST);
        return gen_coll_sphere_wo2(local[0] / s, local[1] / s, local[2] / s, radius / s,
                                   obstacle.model, obstacle.map) != 0;
    }();
    if (!hit) {
        return false;
    }
    gen_coll_get_last_info(contact);
    const float scaled[3] = {contact->point[0] * s, contact->point[1] * s, contact->point[2] * s};
    turn(obstacle.rotation, scaled, contact->point, false);
    for (int axis = 0; axis < 3; ++axis) {
        contact->point[axis] += obstacle.position[axis];
    }
    const float normal[3] = {contact->normal[0], contact->normal[1], contact->normal[2]};
    turn(obstacle.rotation, normal, contact->normal, false);
    contact->distance *= s;
    return true;
}

// The moving objects: a face below the ball that looks up is a floor (a
// lift's deck carries the ball up), any other touch a side, which bounces
// the ball as a wall does and shoves a ball slower than itself along (a
// gate moving into a resting ball). Only a ball that came at the object
// itself knocks.
void meet_obstacles(PLAYER *record, float position[3], const BALL_COURSE *course, FloorMet *floor,
                    BALL_MOVE *move) {
    for (int i = 0; i < course->obstacle_count; ++i) {
        GEN_COLL_INFO contact{};
        Touch touch;
        if (!obstacle_contact(position, record->radius, course->obstacles[i], &contact) ||
            !touch_of(position, record->radius, contact.point, contact.normal, &touch)) {
            continue;
        }
        move->events |= BALL_MET_OBJECT;
        resolve(record, position, touch, BALL_WALL_KEEPS[0], kPushSpeed, floor, move);
    }
}

// Half a step of each horizontal axis: the ball moves by the mean of this
// sub-step's speed and the last (returned), and spins with it.
float roll(float *velocity, float *previous, float *spin, float d) {
    const float mean = (*velocity + *previous) / 2.0f;
    *previous = *velocity;
    *spin = wrap_degrees(*spin + mean * d * kSpin);
    return mean;
}

// The wind pushes a ball that is moving, a little, from its direction.
void blow(PLAYER *record, int32_t wind_direction, float moving, float d) {
    if (moving >= -kWindlessSpeed && moving <= kWindlessSpeed) {
        return;
    }
    const float w = -static_cast<float>(wind_direction + 90) * kRadiansPerDegree;
    record->velocity_x += std::cos(w) / BALL_WIND_PUSH * d;
    record->velocity_z += std::sin(w) / BALL_WIND_PUSH * d;
}

// The ball along the ground for one sub-step, in pieces short enough that
// it meets every wall on its way. A ball rolling on the ground follows it
// down (a slope, a dip) instead of flying off it and bouncing down.
void move_along(PLAYER *record, float position[3], const float way[2], const BALL_COURSE *course,
                const GEN_COLL_INDEX *index, FloorMet *floor, BALL_MOVE *move) {
    const float length = std::sqrt(way[0] * way[0] + way[1] * way[1]);
    const int pieces =
        std::max(1, static_cast<int>(std::ceil(length / (kPieceRadii * record->radius))));
    const bool following =
        record->on_floor && record->velocity_y >= 0.0f && record->velocity_y < kFollowedFall;
    const float reach = length / static_cast<float>(pieces) * kFollowedSlope + kRestingSpeed;
    for (int piece = 0; piece < pieces; ++piece) {
        position[0] += way[0] / static_cast<float>(pieces);
        position[2] += way[1] / static_cast<float>(pieces);
        FloorMet met;
        meet_course(record, position, course, index, &met, move);
        if (following && !met.met) {
            follow_ground(record, position, reach, course, index, &met);
        }
        meet_obstacles(record, position, course, &met, move);
        if (met.met) {
            *floor = met;
        }
    }
}

// The floor's part of a sub-step: a landing bounces at 40 % (or stops), a
// slope steeper than 3 degrees pushes the ball down it.
void on_the_floor(PLAYER *record, const FloorMet &floor, BALL_MOVE *move) {
    if (std::fabs(record->velocity_y) <= kRestingSpeed) {
        record->velocity_y = 0.0f;
    } else {
        record->velocity_y = -record->velocity_y * kRebound;
    }
    const float *n = floor.normal;
    move->events |= BALL_ON_FLOOR;
    move->surface_tilt =
        trail_angle(n[1], std::sqrt(n[0] * n[0] + n[2] * n[2])) * kDegreesPerRadian;
    if (move->surface_tilt > kSteepestFlat) {
        record->velocity_x += n[0] / kSlopePush;
        record->velocity_z += n[2] / kSlopePush;
    }
}

// A roll ends crisply: a ball this slow on ground it does not roll down
// stops, rather than creeping the last hundredth of its way for a second
// or two (which friction alone would take, and every turn would wait for).
void stop_when_slow(PLAYER *record, const BALL_MOVE &move) {
    const float speed = std::sqrt(record->velocity_x * record->velocity_x +
                                  record->velocity_z * record->velocity_z);
    if ((move.events & BALL_ON_FLOOR) && move.surface_tilt <= kSteepestFlat && speed < kStopSpeed &&
        record->velocity_y >= 0.0f) {
        record->velocity_x = record->previous_velocity_x = 0.0f;
        record->velocity_z = record->previous_velocity_z = 0.0f;
    }
}

// ball_move, the course's queries answered from the index when one is given.
BALL_MOVE move_ball(PLAYER *record, XV_3D_NODE *node, const BALL_COURSE *course, float d,
                    const GEN_COLL_INDEX *index) {
    BALL_MOVE move{0, 0.0f};
    float *position = node->position;
    float *rotation = node->rotation;

    const float fall = (record->velocity_y + record->previous_velocity_y) / 2.0f;
    record->previous_velocity_y = record->velocity_y;
    position[1] -= fall;

    const float mean_x = roll(&record->velocity_x, &record->previous_velocity_x, &rotation[2], d);
    const float mean_z = roll(&record->velocity_z, &record->previous_velocity_z, &rotation[0], d);
    rotation[1] = 0.0f;
    const float way[2] = {d / kHorizontalScale * mean_x, d / kHorizontalScale * mean_z};
    FloorMet floor;
    move_along(record, position, way, course, index, &floor, &move);
    record->on_floor = floor.met;
    if (floor.met) {
        on_the_floor(record, floor, &move);
    }
    record->velocity_y += d * record->gravity;

    record->velocity_x *= kFriction;
    record->velocity_z *= kFriction;
    stop_when_slow(record, move);

    if (record->hole_state != BALL_HOLED) {
        const float dx = position[0] - course->hole[0];
        const float dy = position[1] - course->hole[1];
        const float dz = position[2] - course->hole[2];
        if (std::sqrt(dx * dx + dy * dy + dz * dz) < BALL_CATCH_RADII * record->radius) {
            record->hole_state = BALL_HOLED;
            move.events |= BALL_DROPPED;
        }
    }
    blow(record, course->wind_direction, mean_z, d);
    return move;
}

} // namespace

BALL_MOVE ball_move(PLAYER *record, XV_3D_NODE *node, const BALL_COURSE *course, float d) {
    return move_ball(record, node, course, d, nullptr);
}

bool ball_at_rest(const PLAYER *record) {
    return std::sqrt(record->velocity_x * record->velocity_x +
                     record->velocity_z * record->velocity_z) < BALL_REST_SPEED;
}

void ball_stop(PLAYER *record) {
    record->velocity_x = record->velocity_y = record->velocity_z = 0.0f;
    record->previous_velocity_x = record->previous_velocity_y = record->previous_velocity_z = 0.0f;
}

int ball_carrier(const PLAYER &record, const XV_3D_NODE &node, const BALL_COURSE &course) {
    // The objects moved after the ball's last sub-step: what it stands on
    // may be a step's travel of a lift away from it (0.02 a step on this
    // course): a ball that much larger surely touches it.
    constexpr float kReach = 0.05f;
    for (int i = 0; i < course.obstacle_count; ++i) {
        GEN_COLL_INFO contact{};
        Touch touch;
        const float radius = record.radius + kReach;
        if (obstacle_contact(node.position, radius, course.obstacles[i], &contact) &&
            touch_of(node.position, radius, contact.point, contact.normal, &touch) &&
            touch.away[1] > kFloorFacing) {
            return i;
        }
    }
    return -1;
}

bool ball_off_course(const float position[3], const BALL_COURSE &course) {
    if (!course.map || !course.map->inited || course.map->num_nodes == 0) {
        return false;
    }
    const GEN_COLL_NODE &root = course.map->nodes[0];
    constexpr float kSpare = 0.5f;
    return position[1] < root.box_min[1] - kSpare || position[0] < root.box_min[0] - kSpare ||
           position[0] > root.box_max[0] + kSpare || position[2] < root.box_min[2] - kSpare ||
           position[2] > root.box_max[2] + kSpare;
}

BALL_FACES_ONLY::BALL_FACES_ONLY(uint32_t flags)
    : mask_(gen_coll_get_type_mask()), flags_(gen_coll_get_flags()) {
    gen_coll_set_type_mask(1);
    gen_coll_set_flags(flags);
}

BALL_FACES_ONLY::~BALL_FACES_ONLY() {
    gen_coll_set_type_mask(mask_);
    gen_coll_set_flags(flags_);
}

bool ball_ground_below(const float from[3], float to_y, float point[3], float normal[3]) {
    GAME *g = game();
    if (!g->map.inited) {
        return false;
    }
    const float to[3] = {from[0], to_y, from[2]};
    BALL_FACES_ONLY faces(GEN_COLL_NEAREST);
    if (!gen_coll_ray_wo2(from, to, 0.0f, &g->model, &g->map)) {
        return false;
    }
    GEN_COLL_INFO info{};
    gen_coll_get_last_info(&info);
    for (int axis = 0; axis < 3; ++axis) {
        if (point) {
            point[axis] = info.point[axis];
        }
        if (normal) {
            normal[axis] = info.normal[axis];
        }
    }
    return true;
}

BALL_COURSE ball_course() {
    GAME *g = game();
    BALL_COURSE course{};
    course.model = &g->model;
    course.map = &g->map;
    course.wind_direction = g->wind_direction;
    course.wall_kind = g->wall_kind;
    hole_position(course.hole);
    for (int i = 0; i < script_node_count(); ++i) {
        const SCRIPT_NODE *node = script_node(i);
        const SCRIPT_OBJECT *object = script_object(node->object_reference - 1);
        const XV_3D_NODE *place =
            node->world_node >= 0 && node->world_node < game_world()->num_nodes
                ? &game_world()->nodes[node->world_node]
                : nullptr;
        if (!object || !object->map.inited || !place || place->scale[0] <= 0.0f) {
            continue;
        }
        if (course.obstacle_count == BALL_MOST_OBSTACLES) {
            if (!obstacles_reported) {
                obstacles_reported = true;
                // A warning, not an error: an error would close the game,
                // and the hole plays on with the objects the balls meet.
                gen_message(
                    "The level has more than %d moving objects: the balls meet the first %d",
                    BALL_MOST_OBSTACLES, BALL_MOST_OBSTACLES);
            }
            break;
        }
        BALL_OBSTACLE &obstacle = course.obstacles[course.obstacle_count++];
        obstacle.model = const_cast<GEN_WO2 *>(&object->model);
        obstacle.map = const_cast<GEN_COLL_MAP *>(&object->map);
        std::copy(place->position, place->position + 3, obstacle.position);
        std::copy(place->rotation, place->rotation + 3, obstacle.rotation);
        obstacle.scale = place->scale[0];
    }
    return course;
}

void ball_index_course(const BALL_COURSE &course, float radius, GEN_COLL_INDEX *index) {
    BALL_FACES_ONLY faces(GEN_COLL_NEAREST | GEN_COLL_LIST);
    gen_coll_index_build(index, radius, course.model, course.map);
}

BALL_SHOT ball_simulate(PLAYER ball, XV_3D_NODE node, BALL_COURSE course, int most_substeps,
                        BALL_FORECAST forecast, const void *context, const GEN_COLL_INDEX *index) {
    constexpr float kSubstep = 1.0f / kSubsteps; // a whole step's
    BALL_SHOT shot{};
    for (; shot.substeps < most_substeps; ++shot.substeps) {
        if (forecast && shot.substeps % kSubsteps == 0) {
            forecast(shot.substeps / kSubsteps, &course, context);
        }
        const BALL_MOVE move = move_ball(&ball, &node, &course, kSubstep, index);
        shot.met_object = shot.met_object || (move.events & BALL_MET_OBJECT);
        if (move.events & BALL_DROPPED) {
            shot.holed = true;
            break;
        }
        if (ball_off_course(node.position, course)) {
            shot.left = true;
            break;
        }
        // At rest once it is slow on a floor (a ball in the air is not).
        if ((move.events & BALL_ON_FLOOR) && ball_at_rest(&ball)) {
            break;
        }
    }
    std::copy(node.position, node.position + 3, shot.position);
    return shot;
}

void ball_substep(PLAYER *record, float d) {
    GAME *g = game();
    auto *node = static_cast<XV_3D_NODE *>(
        record->ball = xv_3d_world_get_node_pointer(game_world(), record->ball_node));
    if (!node || !g->map.inited) {
        return; // reported by the world; a level without its map has nothing to roll on
    }
    const BALL_COURSE course = ball_course();
    const BALL_MOVE move = ball_move(record, node, &course, d);
    if (move.events & BALL_ON_FLOOR) {
        surface_tilt = move.surface_tilt;
    }
    if (move.events & BALL_DROPPED) {
        const int slot = record->strokes == 1       ? SLOT_HOLE_IN_ONE
                         : record->strokes > g->par ? SLOT_OVER_PAR
                                                    : SLOT_PAR;
        play_slot(slots.effects[slot], 0);
        g->state = GAME_HOLED;
        g->state_deadline = xv_tick_count() + kHoledPause;
    }
    if ((move.events & BALL_HIT_WALL) && g->wall_kind >= 0 && g->wall_kind < WALL_KINDS) {
        play_slot(slots.effects[SLOT_WALL + g->wall_kind], 0);
    }
}

void ball_update(PLAYER *record, float s) {
    if (record->hole_state == BALL_LIFTED) {
        return;
    }
    s = std::max(s, kShortestStep);
    // The tick count wraps: "past" is measured as a signed difference.
    if (static_cast<int32_t>(xv_tick_count() - record->next_physics) <= 0) {
        return;
    }
    for (int i = 0; i < kSubsteps; ++i) {
        ball_substep(record, s / kSubsteps);
    }
    record->next_physics = xv_tick_count() + kPhysicsGap;
}

float ball_surface_tilt() {
    return surface_tilt;
}

// ---- the sound slots ---------------------------------------------------------------

void load_sound_slots() {
    for (int slot = 0; slot < SOUND_SLOTS; ++slot) {
        if (kSlotFiles[slot] && !slots.effects[slot]) {
            slots.effects[slot] = xv_snd_load_effect(kSlotFiles[slot]);
            slots.loaded[slot] = slots.effects[slot] != nullptr;
        }
    }
}

void release_sound_slots() {
    stop_all_slots();
    for (int slot = 0; slot < SOUND_SLOTS; ++slot) {
        if (slots.loaded[slot]) {
            xv_snd_release_effect(slots.effects[slot]);
        }
        slots.effects[slot] = nullptr;
        slots.loaded[slot] = false;
    }
}

XV_SND_EFFECT *sound_slot(int slot) {
    return slot >= 0 && slot < SOUND_SLOTS ? slots.effects[slot] : nullptr;
}

void set_sound_slot(int slot, XV_SND_EFFECT *effect) {
    if (slot >= 0 && slot < SOUND_SLOTS) {
        if (slots.loaded[slot] && slots.effects[slot] != effect) {
            stop_slot(slots.effects[slot]);
            xv_snd_release_effect(slots.effects[slot]);
        }
        slots.effects[slot] = effect;
        slots.loaded[slot] = false; // the caller keeps it
    }
}

void play_slot(XV_SND_EFFECT *effect, int loop) {
    if (effect && !xv_snd_effect_playing(effect)) {
        xv_snd_play_effect(effect, 0, loop);
    }
}

void stop_slot(XV_SND_EFFECT *effect) {
    if (effect && xv_snd_effect_playing(effect)) {
        xv_snd_stop_effect(effect);
    }
}

void stop_all_slots() {
    for (XV_SND_EFFECT *effect : slots.effects) {
        stop_slot(effect);
    }
}
