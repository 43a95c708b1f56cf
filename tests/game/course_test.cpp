

// The courses as the build makes them: every hole of every course of
// assets/courses as the course builder wrote it into the game's folder,
// loaded as the game loads it, and played: the starts rest on the fairway, the cup is a hole in it,
// the fly-by stays clear of the walls, and a search over strokes with the
// real physics and collision map finds the way into the cup within par + 3.
#include "camera.h"
#include "course.h"
#include "course_film.h"
#include "course_model.h"
#include "coursegen.h"
#include "flyby.h"
#include "foresight.h"
#include "level_test.h"
#include "planner.h"
#include "shadow.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <queue>
#include <set>

namespace {

constexpr int kSecondsOfSteps = 30 * 30;
constexpr int kMostSubsteps = 8 * 30 * 8; // eight seconds of a stroke

const std::vector<std::string> &course_folders() {
    static const std::vector<std::string> folders = {std::string(COURSE_SOURCES) + "/meadow",
                                                     std::string(COURSE_SOURCES) + "/evening"};
    return folders;
}

std::vector<Course> all_courses() {
    std::vector<Course> courses;
    std::string error;
    EXPECT_TRUE(coursegen_read_all(course_folders(), &courses, &error)) << error;
    return courses;
}

// A hole of a course: the course's place in the list and the hole's number.
struct CourseHole {
    size_t course;
    int hole;
    std::string id;
};

std::vector<CourseHole> every_hole() {
    std::vector<CourseHole> holes;
    const std::vector<Course> courses = all_courses();
    for (size_t c = 0; c < courses.size(); ++c) {
        for (size_t h = 0; h < courses[c].holes.size(); ++h) {
            holes.push_back({c, static_cast<int>(h) + 1, courses[c].text.id});
        }
    }
    return holes;
}

class CourseTest : public test::LevelTest, public ::testing::WithParamInterface<CourseHole> {
  protected:
    CourseTest() { mem_config.heap_size = 64 * 1024 * 1024; } // as the game has it
    void SetUp() override {
        LevelTest::SetUp();
        gen_wo2_set_load_maps(0); // no OpenGL here: the shapes are what the tests need
        courses = all_courses();
        ASSERT_LT(GetParam().course, courses.size());
        // The courses as the build wrote them into the game's folder, read
        // from there (not the level fixture's own models: they go), with the
        // maps the builder made: writing them again for every hole would
        // be most of the test's time.
        std::filesystem::remove_all("gfx");
        xv_io_add_read_folder(GAME_DIRECTORY);
        // The game reads the list of the courses, and plays the one of the
        // hole, as a player who chose it.
        courses_forget();
        ASSERT_TRUE(course_choose(GetParam().id.c_str())) << GetParam().id;
        ASSERT_EQ(course().hole_count, static_cast<int>(hole_count()));
    }
    // The hole loaded for that many players, its balls at their starts.
    void load(int players = 1) {
        game()->player_count = players;
        game()->level = GetParam().hole;
        game()->play_mode = PLAY_SINGLE_HOLE;
        level_init();
        game()->state = GAME_HOLE_STARTED; // the level steps (without wind)
    }
    const HoleSpec &hole() const {
        return courses[GetParam().course].holes[static_cast<size_t>(GetParam().hole - 1)];
    }
    size_t hole_count() const { return courses[GetParam().course].holes.size(); }
    float distance_to_cup(const float position[3]) const {
        return std::hypot(position[0] - hole().cup.x, position[2] - hole().cup.z);
    }
    // How far a ball has to go round the walls and blocks to the cup: a
    // U-turn's far lane is near the cup as the crow flies and far for a
    // ball. Over the grid of the hole's box, a quarter unit a cell: the
    // fairway costs its length, a gap (water, a jump) three times it.
    float way_to_cup(const float position[3]) {
        if (way_.empty()) {
            map_the_way();
        }
        const int i = static_cast<int>(std::floor((position[0] - way_x0_) / kWayCell));
        const int k = static_cast<int>(std::floor((position[2] - way_z0_) / kWayCell));
        const float d = i >= 0 && k >= 0 && i < way_w_ && k < way_h_ ? way_[k * way_w_ + i] : 1e9f;
        return d < 1e8f ? d : 1000 + distance_to_cup(position);
    }

    std::vector<Course> courses;

  private:
    static constexpr float kWayCell = 0.25f;
    bool blocked(float x, float z) const {
        const Point2 p{x, z};
        const float reach = WALL_HALF_WIDTH + BALL_RADIUS;
        for (const WallLine &wall : hole().walls) {
            const size_t n = wall.points.size();
            for (size_t i = 0; i + 1 < n + (wall.closed ? 1 : 0); ++i) {
                const Point2 a = wall.points[i], b = wall.points[(i + 1) % n];
                const float dx = b.x - a.x, dz = b.z - a.z, length = dx * dx + dz * dz;
                const float t =
                    length > 0
                        ? std::clamp(((p.x - a.x) * dx + (p.z - a.z) * dz) / length, 0.0f, 1.0f)
                        : 0.0f;
                if (std::hypot(a.x + t * dx - p.x, a.z + t * dz - p.z) < reach) {
                    return true;
                }
            }
        }
        for (const Block &b : hole().blocks) {
            if (x > std::min(b.a.x, b.b.x) - BALL_RADIUS &&
                x < std::max(b.a.x, b.b.x) + BALL_RADIUS &&
                z > std::min(b.a.z, b.b.z) - BALL_RADIUS &&
                z < std::max(b.a.z, b.b.z) + BALL_RADIUS) {
                return true;
            }
        }
        return false;
    }
    void map_the_way() {
        float x1 = hole().cup.x, z1 = hole().cup.z;
        way_x0_ = x1, way_z0_ = z1;
        for (const Area &area : hole().areas) {
            for (const Point2 &c : area.corners) {
                way_x0_ = std::min(way_x0_, c.x), x1 = std::max(x1, c.x);
                way_z0_ = std::min(way_z0_, c.z), z1 = std::max(z1, c.z);
            }
        }
        way_x0_ -= 1, way_z0_ -= 1;
        way_w_ = static_cast<int>((x1 + 1 - way_x0_) / kWayCell) + 1;
        way_h_ = static_cast<int>((z1 + 1 - way_z0_) / kWayCell) + 1;
        std::vector<float> cost(static_cast<size_t>(way_w_ * way_h_));
        for (int k = 0; k < way_h_; ++k) {
            for (int i = 0; i < way_w_; ++i) {
                const float x = way_x0_ + (i + 0.5f) * kWayCell,
                            z = way_z0_ + (k + 0.5f) * kWayCell;
                const bool fairway =
                    std::any_of(hole().areas.begin(), hole().areas.end(),
                                [&](const Area &a) { return inside_convex(a.corners, x, z); });
                cost[static_cast<size_t>(k * way_w_ + i)] =
                    blocked(x, z) ? -1.0f : (fairway ? 1.0f : 3.0f);
            }
        }
        way_.assign(cost.size(), 1e9f);
        using Entry = std::pair<float, int>;
        std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
        const int start = static_cast<int>((hole().cup.z - way_z0_) / kWayCell) * way_w_ +
                          static_cast<int>((hole().cup.x - way_x0_) / kWayCell);
        way_[static_cast<size_t>(start)] = 0;
        open.push({0.0f, start});
        while (!open.empty()) {
            const auto [d, at] = open.top();
            open.pop();
            if (d > way_[static_cast<size_t>(at)]) {
                continue;
            }
            for (int dk = -1; dk <= 1; ++dk) {
                for (int di = -1; di <= 1; ++di) {
                    const int i = at % way_w_ + di, k = at / way_w_ + dk;
                    if ((!di && !dk) || i < 0 || k < 0 || i >= way_w_ || k >= way_h_) {
                        continue;
                    }
                    const size_t next = static_cast<size_t>(k * way_w_ + i);
                    if (cost[next] < 0) {
                        continue;
                    }
                    const float step = kWayCell * (di && dk ? 1.4142f : 1.0f) * cost[next];
                    if (d + step < way_[next]) {
                        way_[next] = d + step;
                        open.push({d + step, static_cast<int>(next)});
                    }
                }
            }
        }
    }
    std::vector<float> way_;
    float way_x0_ = 0, way_z0_ = 0;
    int way_w_ = 0, way_h_ = 0;
};

void PrintTo(const CourseHole &hole, std::ostream *out) {
    *out << hole.id << " hole " << hole.hole;
}

TEST_P(CourseTest, LoadsWithoutAReportAndLeavesNothing) {
    load(4);
    EXPECT_EQ(errors(), "");
    EXPECT_EQ(warnings(), "");
    EXPECT_TRUE(game()->map.inited);
    EXPECT_GE(camera_count(), 2);
    bool trigger = false;
    for (int i = 0; i < camera_count(); ++i) {
        trigger = trigger || camera_at(i)->control.trigger_radius > 0;
    }
    EXPECT_TRUE(trigger) << "one camera takes over near somewhere";
    ASSERT_NE(game()->trail, nullptr);
    EXPECT_GE(game()->par, 2);
    EXPECT_EQ(player_count(), 4);
    for (const Stream &stream : hole().streams) {
        EXPECT_GE(gen_wo2_find_reference(&game()->model, stream.name.c_str()), 0) << stream.name;
    }
    steps(30);
    level_deinit();
    EXPECT_EQ(errors(), "");
}

// The nodes of the scripted objects move, on the holes that have them.
TEST_P(CourseTest, ScriptedObjectsMove) {
    load();
    for (int i = 0; i < script_node_count(); ++i) {
        const XV_3D_NODE *place = node(script_node(i)->world_node);
        ASSERT_NE(place, nullptr);
        const float before[6] = {place->position[0], place->position[1], place->position[2],
                                 place->rotation[0], place->rotation[1], place->rotation[2]};
        steps(20);
        place = node(script_node(i)->world_node);
        const float after[6] = {place->position[0], place->position[1], place->position[2],
                                place->rotation[0], place->rotation[1], place->rotation[2]};
        EXPECT_NE(std::vector<float>(before, before + 6), std::vector<float>(after, after + 6))
            << "node " << i;
    }
    EXPECT_EQ(errors(), "");
}

TEST_P(CourseTest, EveryStartRestsOnTheFairway) {
    load(4);
    float starts[4][3];
    for (int i = 0; i < 4; ++i) {
        std::copy_n(node(player(i)->ball_node)->position, 3, starts[i]);
    }
    steps(kSecondsOfSteps);
    const BALL_COURSE course = ball_course();
    for (int i = 0; i < 4; ++i) {
        const float *at = node(player(i)->ball_node)->position;
        EXPECT_TRUE(ball_at_rest(player(i))) << "player " << i + 1;
        EXPECT_FALSE(ball_off_course(at, course)) << "player " << i + 1;
        EXPECT_NEAR(at[1], starts[i][1], 0.01f) << "settled where it was put, player " << i + 1;
        EXPECT_NEAR(at[0], starts[i][0], 0.05f) << "player " << i + 1;
        EXPECT_NEAR(at[2], starts[i][2], 0.05f) << "player " << i + 1;
    }
}

// Each ball has its shadow on the ground under it, tilted with a slope;
// a ball in the cup takes its shadow with it.
TEST_P(CourseTest, EveryBallCastsItsShadowOnTheGround) {
    load(4);
    steps(10);
    for (int seat = 0; seat < 4; ++seat) {
        const XV_3D_NODE *shadow = node(shadow_node(seat));
        const float *ball = node(player(seat)->ball_node)->position;
        ASSERT_NE(shadow, nullptr) << "seat " << seat;
        EXPECT_FALSE(shadow->flags & XV_3D_NODE_HIDDEN) << "seat " << seat;
        EXPECT_NEAR(shadow->position[0], ball[0], 0.02f) << "seat " << seat;
        EXPECT_NEAR(shadow->position[2], ball[2], 0.02f) << "seat " << seat;
        EXPECT_NEAR(shadow->position[1], ball[1] - BALL_RADIUS, 0.02f) << "seat " << seat;
    }
    player(0)->hole_state = BALL_HOLED;
    steps(1);
    EXPECT_TRUE(node(shadow_node(0))->flags & XV_3D_NODE_HIDDEN);
}

// Straight down onto the cup's middle a ray meets its bottom, the cup's depth
// below the fairway round it; beside the cup it meets the fairway.
TEST_P(CourseTest, TheCupIsAHoleInTheFairway) {
    load();
    const float x = hole().cup.x, z = hole().cup.z;
    auto ground = [&](float px, float pz) {
        const float from[3] = {px, 10, pz}, to[3] = {px, -10, pz};
        gen_coll_set_flags(GEN_COLL_NEAREST);
        const bool hit = gen_coll_ray_wo2(from, to, 0, &game()->model, &game()->map);
        gen_coll_set_flags(0);
        GEN_COLL_INFO info{};
        gen_coll_get_last_info(&info);
        EXPECT_TRUE(hit) << px << "," << pz;
        return info.point[1];
    };
    const float rim = ground(x + 0.5f, z);
    for (const auto &[dx, dz] : {std::pair{-0.5f, 0.0f}, {0.0f, 0.5f}, {0.0f, -0.5f}}) {
        EXPECT_NEAR(ground(x + dx, z + dz), rim, 0.05f) << "the fairway round the cup";
    }
    EXPECT_NEAR(ground(x, z), rim - CUP_DEPTH, 0.05f) << "the cup's bottom";
    float hole_place[3];
    hole_position(hole_place);
    EXPECT_NEAR(hole_place[1], rim - CUP_DEPTH + BALL_RADIUS, 0.05f)
        << "where a ball in the cup rests";
}

// The fly-by starts near the tee or the cup, no piece of it passes through
// a wall or a tree (a camera-sized ball swept along it meets nothing), and
// nothing hides the hole it looks at.
TEST_P(CourseTest, TheFlyByStaysClearOfTheCourse) {
    load();
    const TRAIL_CURVE *first = game()->trail->curve;
    const float start_to_cup =
        std::hypot(first->start.x - hole().cup.x, first->start.z - hole().cup.z);
    const float start_to_tee =
        std::hypot(first->start.x - hole().tee.x, first->start.z - hole().tee.z);
    EXPECT_LT(std::min(start_to_cup, start_to_tee), 6.0f);
    // What it looks at: the middle of the hole, between the first ball and
    // the cup; nothing (a tree, a wall) hides all of the middle, the cup and
    // the ball from it on its way.
    float middle[3], cup[3];
    flyby_look_point(middle);
    hole_position(cup);
    cup[1] += CUP_DEPTH; // a ball's place over the cup, on the green
    const float *ball = node(player(0)->ball_node)->position;
    int pieces = 0;
    for (const TRAIL_NODE *at = game()->trail; at;
         at = at->num_children ? at->children[0] : nullptr) {
        float from[3], to[3];
        trail_curve_point(from, at->curve, 0, 0);
        for (int k = 1; k <= 20; ++k) {
            trail_curve_point(to, at->curve, k / 20.0f, 0);
            gen_coll_set_flags(GEN_COLL_TWO_SIDED);
            EXPECT_FALSE(gen_coll_ray_wo2(from, to, 0.1f, &game()->model, &game()->map))
                << "curve piece " << k << " at " << to[0] << "," << to[1] << "," << to[2];
            gen_coll_set_flags(0);
            EXPECT_TRUE(camera_sees_ball(to, middle) || camera_sees_ball(to, cup) ||
                        camera_sees_ball(to, ball))
                << "the view from " << to[0] << "," << to[1] << "," << to[2];
            // A building may fill the picture (a windmill is what it shows);
            // a tree's crown must not.
            gen_coll_set_type_mask(2);
            EXPECT_TRUE(camera_sees_ball(to, middle))
                << "a tree in the view from " << to[0] << "," << to[1] << "," << to[2];
            gen_coll_set_type_mask(0xFF);
            std::copy_n(to, 3, from);
            ++pieces;
        }
    }
    EXPECT_GT(pieces, 0);
}

// A search over strokes with the real physics: from each resting place the
// search tries aiming angles round the circle, closer ones towards the cup,
// at ten powers, and keeps the few places nearest the cup (a quarter unit
// apart at least) for the next stroke. The moving objects move as the
// stroke rolls, as the level has been seen to move them; on a hole that has
// them a stroke may also wait a third or two thirds of their period.
TEST_P(CourseTest, TheHoleCanBeCompletedWithinParAndThree) {
    load();
    steps(FORESIGHT_STEPS); // the objects are watched for twenty seconds
    struct Place {
        float position[3];
        float distance;
        int time;            // steps after the first stroke's start
        std::string strokes; // how it got there: "angle/power" a stroke
    };
    PLAYER ball = *player(0);
    XV_3D_NODE start = *node(ball.ball_node);
    const BALL_COURSE course = ball_course();
    const int period = foresight_period();
    ASSERT_GT(period, 0) << "the objects' motions are loops";
    std::vector<int> waits = {0};
    if (course.obstacle_count > 0) {
        waits = {0, period / 3, period * 2 / 3};
    }
    std::vector<Place> beam = {{{start.position[0], start.position[1], start.position[2]},
                                way_to_cup(start.position),
                                0,
                                ""}};
    int best = 0;
    std::string how;
    for (int stroke = 1; stroke <= game()->par + 3 && !best; ++stroke) {
        std::vector<Place> next;
        for (const Place &from : beam) {
            std::vector<float> angles;
            for (int k = 0; k < 24; ++k) {
                angles.push_back(k * 15.0f);
            }
            // Towards the cup, and round it.
            const float dx = hole().cup.x - from.position[0], dz = hole().cup.z - from.position[2];
            const float straight = std::atan2(-dx, -dz) * 57.29578f;
            for (int k = -6; k <= 6; ++k) {
                angles.push_back(straight + k * 2.0f);
            }
            for (int wait : waits) {
                const int struck = from.time + wait;
                for (float angle : angles) {
                    for (int p = 1; p <= 10 && !best; ++p) {
                        PLAYER shot_ball = ball;
                        XV_3D_NODE shot_node = start;
                        std::copy_n(from.position, 3, shot_node.position);
                        shot_ball.aim_angle = angle;
                        player_strike(&shot_ball, p / 10.0f);
                        const BALL_SHOT shot =
                            ball_simulate(shot_ball, shot_node, course, kMostSubsteps,
                                          foresight_forecast, &struck);
                        char move[48];
                        std::snprintf(move, sizeof move, " %.0f/%.1f%s", angle, p / 10.0f,
                                      wait ? ("+" + std::to_string(wait)).c_str() : "");
                        if (shot.holed) {
                            best = stroke;
                            how = from.strokes + move;
                        } else if (!shot.left) {
                            next.push_back({{shot.position[0], shot.position[1], shot.position[2]},
                                            way_to_cup(shot.position),
                                            struck + shot.substeps / 8,
                                            from.strokes + move});
                        }
                    }
                }
            }
        }
        std::sort(next.begin(), next.end(),
                  [](const Place &a, const Place &b) { return a.distance < b.distance; });
        beam.clear();
        for (const Place &place : next) {
            const bool apart = std::all_of(beam.begin(), beam.end(), [&](const Place &kept) {
                return std::hypot(kept.position[0] - place.position[0],
                                  kept.position[2] - place.position[2]) > 0.25f;
            });
            if (apart && beam.size() < 5) {
                beam.push_back(place);
            }
        }
    }
    std::printf("%s hole %d (par %d): into the cup in %d stroke%s:%s\n", GetParam().id.c_str(),
                GetParam().hole, game()->par, best, best == 1 ? "" : "s", how.c_str());
    ASSERT_GT(best, 0) << "no way into the cup within par + 3";
    EXPECT_LE(best, game()->par) << "par is set from what the search finds";
    EXPECT_GE(best, game()->par - 2) << "par is set from what the search finds";
}

// Every named camera of the hole sees the cup or the tee past the walls,
// blocks and trees; the aiming camera sees each ball at its start.
TEST_P(CourseTest, EveryCameraSeesWhatItIsFor) {
    load(4);
    const auto ball_at = [&](Point2 at) {
        return std::array<float, 3>{at.x, hole().height_at(at.x, at.z) + BALL_RADIUS, at.z};
    };
    const std::array<float, 3> cup = ball_at(hole().cup), tee = ball_at(hole().tee);
    for (const CameraSpec &camera : hole().cameras) {
        const float *at = camera.position.data();
        EXPECT_TRUE(camera_sees_ball(at, cup.data()) || camera_sees_ball(at, tee.data()))
            << "camera " << camera.name << " sees neither the cup nor the tee";
    }
    for (int i = 0; i < 4; ++i) {
        const float *ball = node(player(i)->ball_node)->position;
        float place[3];
        chase_camera_place(ball, player(i)->aim_angle, place);
        EXPECT_TRUE(camera_sees_ball(place, ball)) << "the aiming camera of player " << i + 1;
    }
}

// The sky's sphere is open far under the horizon: no camera may see that
// past the land's edge, neither the named ones, the fly-by's, nor one
// following a ball anywhere over the course (it rides over the ball,
// higher when cover hides it, and a jump lifts the ball: six metres over
// the highest ground of the course is more than all).
TEST_P(CourseTest, NoCameraSeesUnderTheSky) {
    std::vector<std::array<float, 3>> cameras = hole().trail;
    cameras.push_back(hole().camstart);
    for (const CameraSpec &camera : hole().cameras) {
        cameras.push_back(camera.position);
    }
    float highest = LAND_HEIGHT; // along every chord of every area
    for (const Area &area : hole().areas) {
        for (const Point2 &a : area.corners) {
            for (const Point2 &b : area.corners) {
                for (float t = 0; t <= 1; t += 0.05f) {
                    highest = std::max(highest, hole().height_in(area, a.x + (b.x - a.x) * t,
                                                                 a.z + (b.z - a.z) * t));
                }
            }
        }
    }
    for (const Area &area : hole().areas) {
        for (const Point2 &c : area.corners) {
            cameras.push_back({c.x, highest + 6.0f, c.z});
        }
    }
    for (const std::array<float, 3> &at : cameras) {
        EXPECT_FALSE(sees_under_the_sky(hole(), at)) << at[0] << " " << at[1] << " " << at[2];
    }
}

// A windmill can be learnt: struck straight through its tunnel at the
// power that carries the ball through it, the ball passes in at least 40 %
// of the moments of the blades' loop (swept over one loop, with the real
// physics and the blades where they will be).
TEST_P(CourseTest, TheWindmillLetsAStrokePassInTwoFifthsOfItsLoop) {
    if (hole().windmills.empty()) {
        GTEST_SKIP() << "no windmill";
    }
    load();
    steps(FORESIGHT_STEPS);
    const int period = foresight_period();
    ASSERT_GT(period, 0);
    const Windmill &mill = hole().windmills.front();
    PLAYER ball = *player(0);
    XV_3D_NODE start = *node(ball.ball_node);
    start.position[0] = mill.at.x; // in line with the tunnel, towards -z
    const BALL_COURSE course = ball_course();
    float best_share = 0;
    float best_power = 0;
    for (int p = 2; p <= 10; ++p) {
        int passed = 0;
        for (int wait = 0; wait < period; ++wait) {
            PLAYER shot_ball = ball;
            shot_ball.aim_angle = 0;
            player_strike(&shot_ball, p / 10.0f);
            const BALL_SHOT shot =
                ball_simulate(shot_ball, start, course, kMostSubsteps, foresight_forecast, &wait);
            passed += shot.holed || shot.position[2] < mill.at.z - 1.0f ? 1 : 0;
        }
        const float share = static_cast<float>(passed) / static_cast<float>(period);
        if (share > best_share) {
            best_share = share, best_power = p / 10.0f;
        }
    }
    std::printf("%s hole %d: the windmill lets %.0f %% of its loop through at power %.1f\n",
                GetParam().id.c_str(), GetParam().hole, 100 * best_share, best_power);
    EXPECT_GE(best_share, 0.4f);
    EXPECT_LT(best_share, 0.9f) << "the blades are in the way sometimes";
}

INSTANTIATE_TEST_SUITE_P(Holes, CourseTest, ::testing::ValuesIn(every_hole()),
                         [](const ::testing::TestParamInfo<CourseHole> &info) {
                             std::string id = info.param.id;
                             std::replace(id.begin(), id.end(), '-', '_');
                             return id + "_Hole" + std::to_string(info.param.hole);
                         });

// The computer on the course: each stroke planned with the hole as it is,
// waited for as planned, struck, and played out by the level until the
// ball rests (off the course: back, a stroke dearer), up to par + 3.
class ComputerTest : public test::LevelTest {
  protected:
    ComputerTest() { mem_config.heap_size = 64 * 1024 * 1024; }
    void SetUp() override {
        LevelTest::SetUp();
        gen_wo2_set_load_maps(0);
        const std::vector<Course> courses = all_courses();
        ASSERT_FALSE(courses.empty());
        first = {courses.front()};
        holes = first.front().holes;
        std::string error;
        ASSERT_TRUE(coursegen_write(first, ".", &error)) << error;
        ASSERT_TRUE(coursegen_build_maps(first, &error)) << error;
        courses_forget(); // read again from what was written here
    }
    struct Play {
        int strokes;
        bool holed;
        std::vector<std::pair<float, float>> strokes_made; // angle, power
        int tried;                                         // candidates played out
    };
    Play play(int level, int skill, uint32_t seed) {
        level_deinit();
        game()->player_count = 1;
        game()->level = level;
        game()->play_mode = PLAY_SINGLE_HOLE;
        level_init();
        game()->state = GAME_HOLE_STARTED; // no wind
        steps(300);                        // the moving objects are watched a while
        Play result{0, false, {}, 0};
        PLAYER *record = player(0);
        XV_3D_NODE *ball = node(record->ball_node);
        while (record->hole_state != BALL_HOLED && record->strokes < game()->par + 3) {
            StrokePlanner planner;
            planner.start(*record, *ball, skill, seed + static_cast<uint32_t>(record->strokes), 0);
            while (!planner.work(32)) {
            }
            result.tried += planner.tried();
            const PLANNED_STROKE stroke = planner.stroke();
            result.strokes_made.push_back({stroke.angle, stroke.power});
            if (getenv("PLAN_TRACE")) {
                const PLANNED_STROKE best = planner.best();
                std::printf(
                    "  from %.2f,%.2f best %.1f/%.2f+%d holes %d dist %.2f; struck %.1f/%.2f\n",
                    ball->position[0], ball->position[2], best.angle, best.power, best.wait,
                    best.holes, best.distance, stroke.angle, stroke.power);
            }
            steps(stroke.wait);
            const float from[3] = {ball->position[0], ball->position[1], ball->position[2]};
            record->aim_angle = stroke.angle;
            player_strike(record, stroke.power);
            for (int rest = 0, step = 0; rest < 10 && step < 30 * 30; ++step) {
                steps(1);
                if (ball_off_course(ball->position, ball_course())) {
                    std::copy_n(from, 3, ball->position);
                    record->velocity_x = record->velocity_y = record->velocity_z = 0;
                    record->previous_velocity_x = record->previous_velocity_z = 0;
                    record->strokes++;
                }
                rest = ball_at_rest(record) ? rest + 1 : 0;
            }
        }
        result.strokes = std::min(record->strokes, game()->par + 3);
        result.holed = record->hole_state == BALL_HOLED;
        return result;
    }
    std::vector<Course> first;
    std::vector<HoleSpec> holes;
};

// The hard computer plays the nine holes within par + 1 on average.
TEST_F(ComputerTest, HardPlaysTheCourseWithinParAndOneOnAverage) {
    int strokes = 0, par = 0;
    const int count = static_cast<int>(holes.size());
    for (int level = 1; level <= count; ++level) {
        const Play result = play(level, PLANNER_HARD, 7);
        std::printf("hole %d: %d strokes (par %d), %d strokes tried\n", level, result.strokes,
                    game()->par, result.tried);
        EXPECT_TRUE(result.holed) << "hole " << level;
        strokes += result.strokes;
        par += game()->par;
    }
    std::printf("total: %d strokes (par %d)\n", strokes, par);
    EXPECT_LE(strokes, par + count);
    EXPECT_EQ(errors(), "");
}

// A hole whose only way to the upper green is a lift: the computer rides
// it and strikes from the deck where the deck will be when it strikes.
TEST_F(ComputerTest, TheComputerPlaysAHoleWhoseOnlyWayIsALift) {
    HoleSpec lifted;
    std::string text = test::read_file(course_folders().front() + "/hole7.txt");
    // The ramp beside the lift shaft is walled off at its foot.
    text += "\nwall surface stone -2 8  0 8\n";
    std::string error;
    ASSERT_TRUE(read_hole(text, &lifted, &error)) << error;
    lifted.number = 1;
    std::vector<Course> lift_course = first;
    lift_course.front().holes = {lifted};
    ASSERT_TRUE(coursegen_write(lift_course, ".", &error)) << error;
    ASSERT_TRUE(coursegen_build_maps(lift_course, &error)) << error;
    courses_forget();
    int holed = 0;
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        const Play result = play(1, PLANNER_HARD, seed);
        std::printf("the lift-only hole, seed %u: %d strokes (par %d)\n", seed, result.strokes,
                    game()->par);
        holed += result.holed ? 1 : 0;
    }
    EXPECT_EQ(holed, 3);
}

// Easy misses more, but never runs out of strokes on the opener; and the
// same seed makes the same strokes.
TEST_F(ComputerTest, EasyFinishesTheOpenerAndASeedRepeatsItsStrokes) {
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        const Play first = play(1, PLANNER_EASY, seed);
        EXPECT_TRUE(first.holed) << "seed " << seed;
        const Play again = play(1, PLANNER_EASY, seed);
        EXPECT_EQ(first.strokes_made, again.strokes_made) << "seed " << seed;
    }
}

// The attract mode's film of the first hole: a stroke played out with the
// game's physics, the ball white on the first frame and gone into the cup
// on the last.
TEST_F(ComputerTest, TheAttractFilmShowsTheOpenerPlayedIntoTheCup) {
    std::string error;
    ASSERT_TRUE(coursegen_film(holes.front(), ".", &error)) << error;
    XV_FLIC flic{};
    ASSERT_TRUE(xv_flic_open(&flic, "gfx\\play1.flc", 1)) << warnings();
    EXPECT_EQ(flic.width, 320);
    EXPECT_GT(flic.num_frames, 60);
    const auto white = [&] {
        return std::count(flic.pixels, flic.pixels + flic.size, static_cast<uint8_t>(250));
    };
    ASSERT_TRUE(xv_flic_next_frame(&flic, 1));
    EXPECT_GT(white(), 10) << "the ball at the tee";
    while (flic.current_frame < flic.num_frames) {
        ASSERT_TRUE(xv_flic_next_frame(&flic, 1)) << "frame " << flic.current_frame;
    }
    EXPECT_EQ(white(), 0) << "in the cup at the end";
    xv_flic_close(&flic);
    EXPECT_EQ(warnings(), "");
}

// Each course plays four pieces at least, one of them an MP3; every hole
// and every course is named in the seven languages.
TEST(CourseMusicTest, FourPiecesAtLeastAndOneMp3) {
    const std::vector<Course> courses = all_courses();
    ASSERT_EQ(courses.size(), 2u);
    for (const Course &course : courses) {
        std::set<std::string> pieces;
        int mp3 = 0;
        for (const HoleSpec &hole : course.holes) {
            pieces.insert(hole.music);
            mp3 += hole.music_mp3 ? 1 : 0;
            EXPECT_EQ(hole.names.size(), 7u) << course.text.id << " hole " << hole.number;
        }
        EXPECT_EQ(course.text.names.size(), 7u) << course.text.id;
        EXPECT_GE(pieces.size(), 4u) << course.text.id;
        EXPECT_GE(mp3, 1) << course.text.id;
        EXPECT_EQ(course.holes[0].par, 2) << "an easy opener on " << course.text.id;
    }
}

// The evening course's holes are built round what the first course lacks:
// two at most are straight lanes (one area, nothing in the way), and its
// pieces of music include one of its own.
TEST(CourseMusicTest, TheEveningCourseIsNoRowOfLanes) {
    const std::vector<Course> courses = all_courses();
    ASSERT_EQ(courses.size(), 2u);
    const Course &evening = courses[1];
    EXPECT_EQ(evening.text.id, "evening");
    EXPECT_STREQ(evening.light->name, "evening");
    int lanes = 0;
    std::set<std::string> first_pieces, own_pieces;
    for (const HoleSpec &hole : courses[0].holes) {
        first_pieces.insert(hole.music);
    }
    for (const HoleSpec &hole : evening.holes) {
        lanes += hole.areas.size() == 1 && hole.blocks.empty() && hole.windmills.empty() &&
                         hole.gates.empty() && hole.waters.empty()
                     ? 1
                     : 0;
        if (!first_pieces.count(hole.music)) {
            own_pieces.insert(hole.music);
        }
    }
    EXPECT_LE(lanes, 2);
    EXPECT_GE(own_pieces.size(), 1u);
}

} // namespace
