#include "way.h"

#include "ball.h"
#include "camera.h"
#include "game.h"

#include "gen.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>
#include <vector>

namespace {

constexpr float kCell = 0.5f;
constexpr float kScoutCell = 2.0f;   // the first look for where the ground is
constexpr float kOverGround = 0.25f; // the way is looked along this far over the ground left
constexpr float kGapCost = 3.0f;
constexpr float kFlatEnough = 0.5f; // the up of a face a ball can stand on
constexpr int kMostCells = 40000;
constexpr float kNone = std::numeric_limits<float>::infinity();

struct Way {
    bool laid = false;
    float x0 = 0, z0 = 0;
    int width = 0, depth = 0;
    std::vector<float> ground; // a cell's ground height, kNone where a ball finds none
    std::vector<float> length; // from the cell's middle to the cup, kNone where there is no way
};
Way way;

bool ground_at(float x, float z, float top, float bottom, float *height) {
    const float from[3] = {x, top, z};
    float point[3], normal[3];
    if (!ball_ground_below(from, bottom, point, normal) || normal[1] < kFlatEnough) {
        return false;
    }
    *height = point[1];
    return true;
}

// Whether a ball on the ground at from has nothing in its way to the place
// over to (its ground's height kept).
bool nothing_between(float x0, float z0, float ground, float x1, float z1) {
    const float from[3] = {x0, ground + kOverGround, z0};
    const float to[3] = {x1, ground + kOverGround, z1};
    GAME *g = game();
    BALL_FACES_ONLY faces(0);
    return !gen_coll_ray_wo2(from, to, 0.0f, &g->model, &g->map);
}

// The part of the map's box where the balls find ground, with a cell to
// spare round it: the map's box reaches the far hills.
bool find_the_ground(const GEN_COLL_NODE &root, float *x0, float *z0, float *x1, float *z1) {
    const float top = root.box_max[1] + 1.0f, bottom = root.box_min[1] - 1.0f;
    *x0 = *z0 = kNone;
    *x1 = *z1 = -kNone;
    for (float x = root.box_min[0]; x <= root.box_max[0]; x += kScoutCell) {
        for (float z = root.box_min[2]; z <= root.box_max[2]; z += kScoutCell) {
            float height;
            if (ground_at(x, z, top, bottom, &height)) {
                *x0 = std::min(*x0, x), *x1 = std::max(*x1, x);
                *z0 = std::min(*z0, z), *z1 = std::max(*z1, z);
            }
        }
    }
    if (*x0 > *x1) {
        return false;
    }
    *x0 -= kScoutCell, *z0 -= kScoutCell, *x1 += kScoutCell, *z1 += kScoutCell;
    return true;
}

int cell_of(float x, float z) {
    const int i = static_cast<int>(std::floor((x - way.x0) / kCell));
    const int k = static_cast<int>(std::floor((z - way.z0) / kCell));
    return i >= 0 && k >= 0 && i < way.width && k < way.depth ? k * way.width + i : -1;
}

float middle_x(int cell) {
    return way.x0 + (static_cast<float>(cell % way.width) + 0.5f) * kCell;
}

float middle_z(int cell) {
    return way.z0 + (static_cast<float>(cell / way.width) + 0.5f) * kCell;
}

// From the cup outwards: a cell's way is the shortest over the next cells
// a ball on it can pass to.
void measure_from(int cup) {
    using Entry = std::pair<float, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> open;
    way.length[cup] = 0;
    open.push({0.0f, cup});
    while (!open.empty()) {
        const auto [length, cell] = open.top();
        open.pop();
        if (length > way.length[cell]) {
            continue;
        }
        const int i = cell % way.width, k = cell / way.width;
        for (int di = -1; di <= 1; ++di) {
            for (int dk = -1; dk <= 1; ++dk) {
                const int ni = i + di, nk = k + dk;
                if ((di == 0 && dk == 0) || ni < 0 || nk < 0 || ni >= way.width ||
                    nk >= way.depth) {
                    continue;
                }
                const int from = nk * way.width + ni; // a ball there rolls to this cell
                const float ground = way.ground[from];
                const float step = kCell * ((di != 0 && dk != 0) ? std::sqrt(2.0f) : 1.0f) *
                                   (ground == kNone ? kGapCost : 1.0f);
                if (length + step >= way.length[from] ||
                    (ground != kNone && !nothing_between(middle_x(from), middle_z(from), ground,
                                                         middle_x(cell), middle_z(cell)))) {
                    continue;
                }
                way.length[from] = length + step;
                open.push({way.length[from], from});
            }
        }
    }
}

void lay() {
    way = Way{};
    way.laid = true;
    GAME *g = game();
    if (!level_loaded() || !g->map.inited || g->map.num_nodes == 0) {
        return;
    }
    const GEN_COLL_NODE &root = g->map.nodes[0];
    float x0, z0, x1, z1;
    if (!find_the_ground(root, &x0, &z0, &x1, &z1)) {
        return;
    }
    const int width = static_cast<int>(std::ceil((x1 - x0) / kCell));
    const int depth = static_cast<int>(std::ceil((z1 - z0) / kCell));
    if (width <= 0 || depth <= 0 || width * depth > kMostCells) {
        return;
    }
    way.x0 = x0, way.z0 = z0, way.width = width, way.depth = depth;
    way.ground.assign(static_cast<size_t>(width * depth), kNone);
    way.length.assign(static_cast<size_t>(width * depth), kNone);
    const float top = root.box_max[1] + 1.0f, bottom = root.box_min[1] - 1.0f;
    for (int cell = 0; cell < width * depth; ++cell) {
        ground_at(middle_x(cell), middle_z(cell), top, bottom, &way.ground[cell]);
    }
    float cup[3];
    hole_position(cup);
    if (const int cell = cell_of(cup[0], cup[2]); cell >= 0) {
        measure_from(cell);
    }
}

} // namespace

float way_to_cup(const float position[3]) {
    float cup[3];
    hole_position(cup);
    const float straight = std::hypot(position[0] - cup[0], position[2] - cup[2]);
    const float eye[3] = {position[0], position[1] + kOverGround, position[2]};
    const float target[3] = {cup[0], cup[1] + kOverGround, cup[2]};
    if (camera_sees(eye, target)) {
        return straight;
    }
    if (!way.laid) {
        lay();
    }
    const int cell = cell_of(position[0], position[2]);
    if (cell < 0 || way.length[cell] == kNone) {
        return straight;
    }
    return way.length[cell] +
           std::hypot(position[0] - middle_x(cell), position[2] - middle_z(cell));
}

void way_forget() {
    way = Way{};
}
