// The aim guide: a line of dots from the ball along the aim, lying on the
// ground (it climbs and falls with the slopes), eight balls long or to the
// first wall it meets, which is marked across. Asked for, it runs on to the
// first wall however far, and a little way back off it. It is drawn over
// the picture, after the course, so that no camera and no wall hides it;
// its dots shrink with the distance, so it still reads as lying on the
// course.
#include "play_state.h"
#include "ui.h"

#include "ball.h"
#include "game.h"
#include "players.h"

#include "gen.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float kStep = 0.1f;          // between the guide's points: a ball's radius
constexpr float kFarStep = 0.2f;       // past the short guide's length, as it matters less
constexpr float kShortLength = 1.6f;   // eight balls
constexpr float kLongest = 40.0f;      // to the first wall, when asked: past any hole
constexpr float kBounceLength = 0.8f;  // shown back off the wall
constexpr float kLookAbove = 0.3f;     // the ground is looked for from this far above the last
constexpr float kLookBelow = 2.0f;     // ... to this far below: lower is a drop off the course
constexpr float kWallFacing = 0.7f;    // a face that looks up less than this is a wall
constexpr float kSightRadius = 0.02f;  // of the ray that meets the walls
constexpr float kLift = 0.01f;         // the dots lie just over the ground
constexpr float kWallMarkHalf = 0.2f;  // the wall's mark across the aim, each side
constexpr float kCupRadius = 0.25f;    // as the course is cut: the guide passes over the cup
constexpr float kDotWorldSize = 0.06f; // a dot's diameter on the course
constexpr float kWallDotWorldSize = 0.09f;

constexpr ui::Colour kGuideColour = {255, 255, 255, 225};
constexpr ui::Colour kWallColour = {255, 120, 40, 240};
constexpr ui::Colour kBounceColour = {255, 230, 90, 200};

// The ground's height under (x, z), looked for down from above the last
// height; false where there is none (the edge of the course).
bool ground_at(float x, float z, float last, float *height) {
    return ground_height(x, z, last + kLookAbove, last - kLookBelow, height);
}

// Every face a ray meets, for the walls behind a rise of the ground.
GEN_COLL_CONTACT met[GEN_COLL_MOST_CONTACTS];

// The first wall a ray from the ball's centre meets (a face that looks
// back at it and does not look up): where, and the way its face looks.
bool first_wall(const float from[3], const float to[3], float at[3], float normal[3]) {
    GAME *g = game();
    const int count = [&] {
        BALL_FACES_ONLY faces(GEN_COLL_NEAREST | GEN_COLL_LIST);
        return gen_coll_ray_wo2(from, to, kSightRadius, &g->model, &g->map) ? gen_coll_get_list(met)
                                                                            : 0;
    }();
    const float way[3] = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
    const float length = std::sqrt(way[0] * way[0] + way[1] * way[1] + way[2] * way[2]);
    float nearest = -1.0f;
    for (int i = 0; i < count; ++i) {
        const float *plane = met[i].plane;
        const float facing = plane[0] * way[0] + plane[1] * way[1] + plane[2] * way[2];
        if (plane[1] >= kWallFacing || facing >= 0.0f ||
            (nearest >= 0.0f && met[i].distance >= nearest)) {
            continue; // a rise of the ground, climbed; or a face seen from behind
        }
        nearest = met[i].distance;
        for (int axis = 0; axis < 3; ++axis) {
            at[axis] = from[axis] + way[axis] / length * nearest;
            normal[axis] = plane[axis];
        }
    }
    return nearest >= 0.0f;
}

// The guide's points from start along (dx, dz) for length, into points;
// true when a wall ends it (its place and facing then in at and normal).
// The ball's front meets a wall a radius ahead of its centre, so the way
// is looked along that much further than the next point.
bool follow_ground(const float start[3], float dx, float dz, float length,
                   std::vector<std::array<float, 3>> *points, float at[3], float normal[3]) {
    float centre[3] = {start[0], start[1], start[2]};
    float ground = start[1] - BALL_RADIUS;
    float hole[3];
    hole_position(hole);
    for (float along = kStep; along <= length + 1e-4f;
         along += along < kShortLength ? kStep : kFarStep) {
        const float x = start[0] + dx * along, z = start[2] + dz * along;
        const float ahead[3] = {x + dx * BALL_RADIUS, centre[1], z + dz * BALL_RADIUS};
        if (first_wall(centre, ahead, at, normal)) {
            return true;
        }
        if (std::hypot(x - hole[0], z - hole[2]) < kCupRadius + BALL_RADIUS) {
            continue; // over the cup: the guide passes it by
        }
        float height = 0.0f;
        if (!ground_at(x, z, ground, &height)) {
            return false; // the course ends: the guide with it
        }
        ground = height;
        centre[0] = x, centre[1] = height + BALL_RADIUS, centre[2] = z;
        points->push_back({x, height + kLift, z});
    }
    return false;
}

// A wall's mark: a row of dots along it, across the aim, on the ground.
void mark_wall(AimGuide *guide) {
    const float across_x = -guide->wall_normal[2], across_z = guide->wall_normal[0];
    const float length = std::hypot(across_x, across_z);
    if (length < 1e-4f) {
        return;
    }
    for (float side = -kWallMarkHalf; side <= kWallMarkHalf + 1e-4f; side += kWallMarkHalf / 3) {
        guide->wall_mark.push_back({guide->wall[0] + across_x / length * side,
                                    guide->wall[1] - BALL_RADIUS + kLift,
                                    guide->wall[2] + across_z / length * side});
    }
}

// Back off the wall as the ball would go: its way mirrored in the face.
void bounce_off(const float ball_way[2], AimGuide *guide) {
    const float nx = guide->wall_normal[0], nz = guide->wall_normal[2];
    const float flat = std::hypot(nx, nz);
    if (flat < 1e-4f) {
        return;
    }
    const float ux = nx / flat, uz = nz / flat;
    const float into = ball_way[0] * ux + ball_way[1] * uz;
    const float dx = ball_way[0] - 2 * into * ux, dz = ball_way[1] - 2 * into * uz;
    // From where the ball's centre stands against the wall.
    const float start[3] = {guide->wall[0] + ux * BALL_RADIUS, guide->wall[1],
                            guide->wall[2] + uz * BALL_RADIUS};
    float at[3], normal[3];
    follow_ground(start, dx, dz, kBounceLength, &guide->bounce, at, normal);
}

} // namespace

bool ground_height(float x, float z, float from_y, float to_y, float *height) {
    const float from[3] = {x, from_y, z};
    float point[3];
    if (!ball_ground_below(from, to_y, point, nullptr)) {
        return false;
    }
    *height = point[1];
    return true;
}

AimGuide aim_guide(const float ball[3], float angle, bool to_first_bounce) {
    AimGuide guide;
    if (!game()->map.inited) {
        return guide;
    }
    BALL_FACES_ONLY faces(GEN_COLL_NEAREST);
    float dx, dz;
    aim_direction(angle, &dx, &dz);
    const float length = to_first_bounce ? kLongest : kShortLength;
    guide.meets_wall =
        follow_ground(ball, dx, dz, length, &guide.points, guide.wall, guide.wall_normal);
    if (guide.meets_wall) {
        mark_wall(&guide);
        if (to_first_bounce) {
            const float way[2] = {dx, dz};
            bounce_off(way, &guide);
        }
    }
    return guide;
}

// The world camera's view, as the engine sets it up: scaled, turned about
// z, x and y, moved; then the perspective of its field of view.
bool screen_place(const float point[3], float *x, float *y, float *pixels_per_unit) {
    XV_3D_CAMERA camera;
    xv_3d_world_get_camera(game_world(), &camera);
    float v[3] = {point[0] - camera.position[0], point[1] - camera.position[1],
                  point[2] - camera.position[2]};
    const auto turn = [](float degrees, float &a, float &b, bool minus_first) {
        const float r = degrees * 0.017453293f, c = std::cos(r), s = std::sin(r);
        const float na = minus_first ? c * a - s * b : c * a + s * b;
        const float nb = minus_first ? s * a + c * b : -s * a + c * b;
        a = na, b = nb;
    };
    turn(camera.rotation[1], v[0], v[2], false); // about y: x' = c x + s z
    turn(camera.rotation[0], v[1], v[2], true);  // about x: y' = c y - s z
    turn(camera.rotation[2], v[0], v[1], true);  // about z: x' = c x - s y
    for (int axis = 0; axis < 3; ++axis) {
        v[axis] *= camera.scale[axis];
    }
    const float depth = -v[2];
    if (depth <= camera.near_plane || camera.field_of_view <= 0.0f || camera.aspect <= 0.0f) {
        return false; // behind the camera
    }
    const float focal = 1.0f / std::tan(camera.field_of_view * 0.5f * 0.017453293f);
    const float ndc_x = focal / camera.aspect * v[0] / depth;
    const float ndc_y = focal * v[1] / depth;
    const float width = static_cast<float>(ui::screen_width());
    const float height = static_cast<float>(ui::screen_height());
    *x = (ndc_x + 1.0f) * 0.5f * width;
    *y = (1.0f - ndc_y) * 0.5f * height;
    // A unit across, there: the scale is the view's, the same along each axis.
    *pixels_per_unit = focal * 0.5f * height * camera.scale[1] / depth;
    return true;
}

namespace {

void draw_dots(const std::vector<std::array<float, 3>> &points, float world_size,
               ui::Colour colour) {
    for (const auto &point : points) {
        float x, y, scale;
        if (!screen_place(point.data(), &x, &y, &scale)) {
            continue;
        }
        const int size = std::clamp(static_cast<int>(std::lround(world_size * scale)), 3, 14);
        if (x < -size || y < -size || x > ui::screen_width() + size ||
            y > ui::screen_height() + size) {
            continue;
        }
        ui::dot(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)), size, colour);
    }
}

} // namespace

void guide_draw(const AimGuide &guide) {
    draw_dots(guide.points, kDotWorldSize, kGuideColour);
    draw_dots(guide.bounce, kDotWorldSize, kBounceColour);
    draw_dots(guide.wall_mark, kWallDotWorldSize, kWallColour);
}
