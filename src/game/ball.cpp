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
constexpr float kRestingSpeed = 0.001f; // a slower bounce stops
constexpr float kRebound = 0.4f;
constexpr float kSteepestFlat = 3.0f; // degrees; a steeper floor pushes the ball down it
constexpr float kSlopePush = 100.0f;  // the floor's normal over this is added to the speed
constexpr float kDeepestClimb = 0.4f;
constexpr float kClimb = 4.0f;
constexpr float kWallSide = 0.0001f; // squared: a wall turns the ball from further aside
constexpr float kWallKeeps = 0.85f;
constexpr float kPushSpeed = 0.08f;      // a moving object's shove: about its own speed
constexpr float kFloorFacing = 0.7f;     // the up part of a face's normal that makes it a floor
constexpr float kHorizontalScale = 2.5f; // a sub-step of d moves d / 2.5 of the speed
constexpr float kSpin = 80.0f;
constexpr float kFriction = 0.99f;
constexpr float kWindlessSpeed = 0.02f;
constexpr float kWindPush = 10000.0f;
constexpr int kSubsteps = 8;
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

bool sphere_contact(const float position[3], float radius, const BALL_COURSE *course,
                    GEN_COLL_INFO *contact) {
    gen_coll_set_flags(GEN_COLL_NEAREST);
    const bool hit = gen_coll_sphere_wo2(position[0], position[1], position[2], radius,
                                         course->model, course->map) != 0;
    if (hit) {
        gen_coll_get_last_info(contact);
    }
    return hit;
}

// The floor: pushed out by twice the depth, a bounce at 40 % (or rest), and
// a push down a slope steeper than 3 degrees.
void meet_floor(PLAYER *record, float position[3], const GEN_COLL_INFO &floor, BALL_MOVE *move) {
    float push = (record->radius - floor.distance) * 2.0f;
    if (floor.point[1] > position[1]) {
        push = -push;
    }
    position[1] += push;
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

// A wall (anything met after the floor): a shallow one is climbed, and the
// ball leaves it at 85 % of its speed, heading away from the contact.
bool meet_wall(PLAYER *record, float position[3], const GEN_COLL_INFO &wall, float *heading) {
    const float depth = record->radius - wall.distance;
    if (depth > 0.0f && depth < kDeepestClimb) {
        position[1] += depth * kClimb;
    }
    const float dx = wall.point[0] - position[0];
    const float dz = wall.point[2] - position[2];
    if (dx * dx + dz * dz <= kWallSide) {
        return false;
    }
    *heading = gen_math_heading(wall.point[0], wall.point[2], position[0], position[2]);
    const float speed = std::sqrt(record->velocity_x * record->velocity_x +
                                  record->velocity_z * record->velocity_z) *
                        kWallKeeps;
    record->velocity_x = std::cos(*heading) * speed;
    record->velocity_z = std::sin(*heading) * speed;
    return true;
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
    gen_coll_set_flags(GEN_COLL_NEAREST);
    const bool hit = gen_coll_sphere_wo2(local[0] / s, local[1] / s, local[2] / s, radius / s,
                                         obstacle.model, obstacle.map) != 0;
    gen_coll_set_flags(0);
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

// From the side: the ball goes out of the object and away from the
// contact at 85 % of its speed, or at the push speed when it was slower (a
// gate moving into a resting ball shoves it along). Only a ball that came
// at the object itself knocks.
bool meet_obstacle_side(PLAYER *record, float position[3], const GEN_COLL_INFO &side) {
    const float dx = position[0] - side.point[0], dz = position[2] - side.point[2];
    const float across = std::sqrt(dx * dx + dz * dz);
    if (across <= std::sqrt(kWallSide)) {
        return false;
    }
    const float depth = std::max(0.0f, record->radius - side.distance);
    position[0] += dx / across * depth;
    position[2] += dz / across * depth;
    const float heading = gen_math_heading(side.point[0], side.point[2], position[0], position[2]);
    const float speed = std::sqrt(record->velocity_x * record->velocity_x +
                                  record->velocity_z * record->velocity_z);
    const float away = std::max(speed * kWallKeeps, kPushSpeed);
    record->velocity_x = record->previous_velocity_x = std::cos(heading) * away;
    record->velocity_z = record->previous_velocity_z = std::sin(heading) * away;
    return speed > kPushSpeed;
}

// The moving objects: a contact below the ball's middle on a face that
// looks up is a floor (a lift's deck, a gate's top), any other a side.
void meet_obstacles(PLAYER *record, float position[3], const BALL_COURSE *course, BALL_MOVE *move) {
    for (int i = 0; i < course->obstacle_count; ++i) {
        GEN_COLL_INFO contact{};
        if (!obstacle_contact(position, record->radius, course->obstacles[i], &contact)) {
            continue;
        }
        move->events |= BALL_MET_OBJECT;
        if (contact.normal[1] > kFloorFacing && contact.point[1] < position[1]) {
            meet_floor(record, position, contact, move);
        } else if (meet_obstacle_side(record, position, contact)) {
            move->events |= BALL_HIT_WALL;
        }
    }
}

// Half a step of each horizontal axis: the position moves by the mean of
// this sub-step's speed and the last, and the ball spins with it.
float roll(float *velocity, float *previous, float *coordinate, float *spin, float d) {
    const float mean = (*velocity + *previous) / 2.0f;
    *previous = *velocity;
    *coordinate += d / kHorizontalScale * mean;
    *spin = wrap_degrees(*spin + mean * d * kSpin);
    return mean;
}

// The wind pushes a ball that is moving, a little, from its direction.
void blow(PLAYER *record, int32_t wind_direction, float moving, float d) {
    if (moving >= -kWindlessSpeed && moving <= kWindlessSpeed) {
        return;
    }
    const float w = -static_cast<float>(wind_direction + 90) * kRadiansPerDegree;
    record->velocity_x += std::cos(w) / kWindPush * d;
    record->velocity_z += std::sin(w) / kWindPush * d;
}

} // namespace

BALL_MOVE ball_move(PLAYER *record, XV_3D_NODE *node, const BALL_COURSE *course, float d) {
    BALL_MOVE move{0, 0.0f};
    float *position = node->position;
    float *rotation = node->rotation;

    const float fall = (record->velocity_y + record->previous_velocity_y) / 2.0f;
    record->previous_velocity_y = record->velocity_y;
    position[1] -= fall;

    GEN_COLL_INFO contact{};
    if (sphere_contact(position, record->radius, course, &contact)) {
        meet_floor(record, position, contact, &move);
    }
    gen_coll_set_flags(0);
    record->velocity_y += d * record->gravity;

    if (record->hole_state != BALL_HOLED) {
        const float dx = position[0] - course->hole[0];
        const float dy = position[1] - course->hole[1];
        const float dz = position[2] - course->hole[2];
        if (std::sqrt(dx * dx + dy * dy + dz * dz) < 2.0f * record->radius) {
            record->hole_state = BALL_HOLED;
            move.events |= BALL_DROPPED;
        }
    }

    float heading = 0.0f;
    bool hit_wall = false;
    if (sphere_contact(position, record->radius, course, &contact)) {
        hit_wall = meet_wall(record, position, contact, &heading);
    }
    gen_coll_set_flags(0);

    meet_obstacles(record, position, course, &move);

    roll(&record->velocity_x, &record->previous_velocity_x, &position[0], &rotation[2], d);
    float moving =
        roll(&record->velocity_z, &record->previous_velocity_z, &position[2], &rotation[0], d);
    record->velocity_x *= kFriction;
    record->velocity_z *= kFriction;
    rotation[1] = 0.0f;

    if (hit_wall) {
        // The bounce again, now with the fall in it, after the move.
        const float speed = std::sqrt(record->velocity_x * record->velocity_x +
                                      record->velocity_z * record->velocity_z +
                                      record->velocity_y * record->velocity_y) *
                            kWallKeeps;
        record->velocity_x = std::cos(heading) * speed;
        record->velocity_z = std::sin(heading) * speed;
        moving = speed;
        move.events |= BALL_HIT_WALL;
    }
    blow(record, course->wind_direction, moving, d);
    return move;
}

bool ball_at_rest(const PLAYER *record) {
    return std::sqrt(record->velocity_x * record->velocity_x +
                     record->velocity_z * record->velocity_z) < BALL_REST_SPEED;
}

void ball_stop(PLAYER *record) {
    record->velocity_x = record->velocity_y = record->velocity_z = 0.0f;
    record->previous_velocity_x = record->previous_velocity_y = record->previous_velocity_z = 0.0f;
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

BALL_COURSE ball_course() {
    GAME *g = game();
    BALL_COURSE course{};
    course.model = &g->model;
    course.map = &g->map;
    course.wind_direction = g->wind_direction;
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
                gen_error("The level has more than %d moving objects: the balls meet the first %d",
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

BALL_SHOT ball_simulate(PLAYER ball, XV_3D_NODE node, BALL_COURSE course, int most_substeps,
                        BALL_FORECAST forecast, const void *context) {
    constexpr float kSubstep = 1.0f / kSubsteps; // a whole step's
    BALL_SHOT shot{};
    for (; shot.substeps < most_substeps; ++shot.substeps) {
        if (forecast && shot.substeps % kSubsteps == 0) {
            forecast(shot.substeps / kSubsteps, &course, context);
        }
        const BALL_MOVE move = ball_move(&ball, &node, &course, kSubstep);
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
