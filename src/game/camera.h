// The cameras of a level: each has its own view and a set of behaviours,
// run once a level step: look at a node or a point, follow a node (directly,
// rising over what hides it, or smoothly), ride the level's trail, and take
// over as the current camera when the watched node enters its trigger
// sphere. The current camera's view becomes the world's camera.
//
// The camera file names the cameras: "num_cam" in [Level Properties], then
// [Camera001] ... with "position", "collision_sphere_position",
// "collision_sphere_radius" and "name". Every camera it names watches node
// 3 (the first player's ball) and switches on its trigger; the host sets
// the other behaviours with set_camera_control.
#pragma once

#include "gen_xv.h"

#include <cstdint>

struct TRAIL_NODE;

// Behaviour flags.
enum : uint8_t {
    CAMERA_LOOK_AT_NODE = 0x01,
    CAMERA_LOOK_AT_POINT = 0x02,
    CAMERA_FOLLOW = 0x04,
    CAMERA_TRAIL = 0x08,
    CAMERA_OFFSETS = 0x10, // the pitch and yaw offsets; on a trail, face the way it goes
    CAMERA_SMOOTH = 0x20,  // follow smoothly instead of directly
    CAMERA_TRIGGER = 0x40,
};

// Events a camera reports to the level's handler.
enum { CAMERA_ARRIVED = 2, CAMERA_TRAIL_END = 3 };

enum { CAMERA_FILE_NODE = 3, CAMERA_MOST_IN_FILE = 999 };

struct CAMERA_CONTROL {
    float offset[3]; // of the follow; offset[1] is also the height over the node in direct follow
    float pitch_offset, yaw_offset; // degrees
    float unused;
    uint8_t flags;
    int32_t followed_node;
    float follow_height;
    TRAIL_NODE *trail_start;
    float trail_speed; // of the curve parameter, an update
    TRAIL_NODE *trail_node;
    float trail_t;
    int32_t look_at_node;
    float look_at_point[3];
    float smooth_speed; // along the axis with farthest to go, an update
    float trigger_radius;
    float trigger_centre[3];
};

struct CAMERA {
    char *name;
    XV_3D_CAMERA view;
    uint8_t index;
    CAMERA_CONTROL control;
    // A node it names that the world does not have was reported (once, not
    // every update, until its control is set again).
    uint8_t missing_node_said;
};

using CAMERA_EVENT_HANDLER = void (*)(int camera, int event, int parameter);

// A camera named name with the world camera's view; the control block is
// copied in when one is given. Returns its index, or -1 when there was no
// memory for it.
int add_camera(const char *name, const CAMERA_CONTROL *control);
void free_cameras();
void load_cameras(const char *file_name);
int camera_count();
CAMERA *camera_at(int index);
int current_camera();
// Out-of-range indices are ignored.
void set_current_camera(int index);
// An index outside the table, or a null block, does nothing. A set makes
// the follow height offset[1].
void get_camera_control(CAMERA_CONTROL *out, int index);
void set_camera_control(const CAMERA_CONTROL *in, int index);
void set_camera_event_handler(CAMERA_EVENT_HANDLER handler);
void set_camera_trigger_switching(int on);
void camera_update();
// The name of the cameras that follow the current player's ball.
constexpr char CAMERA_FOLLOWED[] = "cam_followed";
// Every camera so named looks at the current player's ball.
void follow_current_player();
// The first camera of that name, or -1.
int camera_named(const char *name);
// The level's handler: camera 0 arriving ends its smooth approach, and the
// fly-by with it (game state 1).
void camera_event(int camera, int event, int parameter);
// Where the players' aiming camera stands: this far behind a ball along
// its aim, and this far above it.
constexpr float CHASE_BEHIND = 2.6f;
constexpr float CHASE_ABOVE = 1.2f;
// Whether the sight line from a camera to a point is clear of the course:
// its walls, blocks, objects and decoration (a tree hides as a wall does).
// The line is a little thick: the point must stand clear of the ground.
bool camera_sees(const float from[3], const float to[3]);
// Whether a camera sees a ball whose centre is at ball: over its top and down
// to its middle.
bool camera_sees_ball(const float from[3], const float ball[3]);
// The aiming camera's place behind the ball at position, looking along the
// heading (degrees, as a player's aim): CHASE_BEHIND behind and CHASE_ABOVE
// above, or, when something stands between, as little higher and closer as
// it takes to see the ball.
void chase_camera_place(const float position[3], float heading, float out[3]);
// a and b times 10^n, cut towards zero, are the same whole number.
bool equal_to_decimals(float a, float b, int n);
