// The models a course is made of, built from a hole's description: the hole
// itself (fairway with its cup, walls with rounded tops, blocks and drops,
// windmill towers, the tee marker, streams, decoration, the land round it
// and the sky over it), the scripted objects, the balls and the pinwheel.
//
// Everything is lit once here: each vertex carries the light of the
// course's sun and of the sky round it, so that the game can draw the
// course unlit and still show its slopes and walls.
#pragma once

#include "course_art.h"
#include "hole.h"
#include "wo2_writer.h"

#include <string>

// Where the sun stands over a course and the colours of its light: what
// the models' corners are lit with and what the sky's picture shows. The
// day's sun stands high in the south-west; the evening's low in the west,
// where its long shadows are baked into the ground.
struct CourseLight {
    const char *name;
    float sun[3];     // towards the sun, of unit length
    float ambient[3]; // the sky's light on every face, red, green, blue
    float direct[3];  // the sun's on a face turned square to it
    bool shadows;     // what stands in the sun's way darkens what lies behind
    uint8_t haze[3];  // the sky under the horizon, where the land runs out
    SkyLook sky;
};
// The light of that name, or null.
const CourseLight *course_light(const std::string &name);
// Their names, for a fault's message.
std::string course_light_names();

// The surfaces a course is drawn with: their map (a PNG beside the models)
// or plain colour, and how many units one repeat of the map covers.
struct SurfaceLook {
    const char *name;
    const char *map; // null: a plain colour
    uint8_t red, green, blue;
    float repeat;
};
const std::vector<SurfaceLook> &surface_looks();

// The course model of the hole; the height of the hole's cup bottom, where
// the game counts the ball as holed, comes back in cup_bottom.
Wo2Model course_model(const HoleSpec &hole, const CourseLight &light, float *cup_bottom);

// Whether a camera there could look past the land's edge to under the
// sky's lowest ring, where the sky's sphere is left open.
bool sees_under_the_sky(const HoleSpec &hole, const std::array<float, 3> &camera);

// The moving objects' models, in the course's light.
Wo2Model windmill_blades_model(const CourseLight &light);
Wo2Model gate_model(float width, const CourseLight &light);
Wo2Model lift_model(float width, float depth, const CourseLight &light);

// A ball: white for the first model, then the four players' colours.
Wo2Model ball_model(int number);
// The pinwheel that stands over the cup: its pole, and the wheel itself as
// the reference "Pinwheel", which the game turns about its z axis.
Wo2Model pinwheel_model();

// Where the sun stands that lights the course: its heading round the
// horizon as the sky's picture runs, and its height (radians).
void sun_in_the_sky(const CourseLight &light, float *heading, float *height);
// The soft shadow the game lays on the ground under each ball.
Wo2Model shadow_model();

// How deep the cup is, and its radius: two and a half balls across and two
// and a half deep, as a real cup is beside its ball.
constexpr float CUP_RADIUS = 0.25f;
constexpr float CUP_DEPTH = 0.45f;
constexpr float LAND_HEIGHT = -0.3f;
