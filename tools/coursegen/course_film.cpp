#include "course_film.h"

#include "course_art.h"
#include "course_model.h"

#include "ball.h"
#include "flic_writer.h"
#include "game.h"
#include "gen.h"
#include "players.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

constexpr int kWidth = 320, kHeight = 240;
constexpr int kFrameMs = 33;     // a level step a frame
constexpr int kMostSteps = 240;  // eight seconds of a stroke
constexpr int kHeldFrames = 45;  // the end, held a moment
constexpr int kBackground = 240; // palette entries the view may take; the rest are the ball's
constexpr uint8_t kWhite = 250, kOutline = 251, kTrail = 252;

// One stroke on the hole, a place a level step, from the tee.
struct Stroke {
    std::vector<std::array<float, 3>> places;
    bool holed = false;
};

// Plays a stroke out with the game's physics, sub-step by sub-step.
Stroke play(const BALL_COURSE &course, const float start[3], float angle, float power) {
    PLAYER ball{};
    ball.radius = BALL_RADIUS;
    ball.gravity = BALL_GRAVITY;
    ball.aim_angle = angle;
    player_strike(&ball, power);
    XV_3D_NODE node{};
    std::copy(start, start + 3, node.position);
    Stroke stroke;
    stroke.places.push_back({start[0], start[1], start[2]});
    int resting = 0;
    for (int step = 0; step < kMostSteps && resting < 10; ++step) {
        for (int k = 0; k < 8; ++k) {
            if (ball_move(&ball, &node, &course, 1.0f / 8).events & BALL_DROPPED) {
                stroke.holed = true;
            }
        }
        stroke.places.push_back({node.position[0], node.position[1], node.position[2]});
        resting = ball_at_rest(&ball) ? resting + 1 : 0;
    }
    return stroke;
}

// The softest stroke that drops, aimed at the cup or a little aside (a
// straight opener has one); failing that, the one that ends nearest.
Stroke find_stroke(const BALL_COURSE &course, const float start[3]) {
    const float towards =
        std::atan2(-(course.hole[0] - start[0]), -(course.hole[2] - start[2])) * 57.29578f;
    Stroke nearest;
    float best = 1e9f;
    for (int p = 20; p <= 100; p += 2) {
        for (float offset : {0.0f, -1.0f, 1.0f, -2.0f, 2.0f, -4.0f, 4.0f, -6.0f, 6.0f}) {
            Stroke stroke = play(course, start, towards + offset, static_cast<float>(p) / 100);
            if (stroke.holed) {
                return stroke;
            }
            const auto &end = stroke.places.back();
            const float distance = std::hypot(end[0] - course.hole[0], end[2] - course.hole[2]);
            if (distance < best) {
                best = distance;
                nearest = stroke;
            }
        }
    }
    return nearest;
}

// The view's colours: the most used of its colours at five bits a channel,
// and each colour's nearest among them.
struct Palette {
    std::vector<uint8_t> rgb = std::vector<uint8_t>(768, 0);
    std::vector<uint8_t> index_of_bucket = std::vector<uint8_t>(32768, 0);
};

int bucket(const uint8_t *rgb) {
    return (rgb[0] >> 3) << 10 | (rgb[1] >> 3) << 5 | rgb[2] >> 3;
}

Palette make_palette(const std::vector<uint8_t> &view) {
    std::map<int, std::array<long, 4>> buckets; // sums of r, g, b and the count
    for (size_t i = 0; i < view.size(); i += 3) {
        auto &sum = buckets[bucket(&view[i])];
        sum[0] += view[i], sum[1] += view[i + 1], sum[2] += view[i + 2], sum[3]++;
    }
    std::vector<std::pair<long, std::array<long, 4>>> by_use;
    for (const auto &[key, sum] : buckets) {
        by_use.push_back({sum[3], sum});
    }
    std::sort(by_use.begin(), by_use.end(),
              [](const auto &a, const auto &b) { return a.first > b.first; });
    Palette palette;
    const int used = std::min(static_cast<int>(by_use.size()), kBackground);
    for (int i = 0; i < used; ++i) {
        for (int c = 0; c < 3; ++c) {
            palette.rgb[i * 3 + c] = static_cast<uint8_t>(by_use[i].second[c] / by_use[i].first);
        }
    }
    const uint8_t ball[3][3] = {{250, 250, 250}, {30, 30, 30}, {255, 230, 120}};
    for (int i = 0; i < 3; ++i) {
        std::copy(ball[i], ball[i] + 3, &palette.rgb[(kWhite + i) * 3]);
    }
    for (int b = 0; b < 32768; ++b) {
        const int r = (b >> 10) * 8 + 4, g = (b >> 5 & 31) * 8 + 4, bl = (b & 31) * 8 + 4;
        int best = 0, best_distance = 1 << 30;
        for (int i = 0; i < used; ++i) {
            const int dr = r - palette.rgb[i * 3], dg = g - palette.rgb[i * 3 + 1],
                      db = bl - palette.rgb[i * 3 + 2];
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < best_distance) {
                best_distance = distance;
                best = i;
            }
        }
        palette.index_of_bucket[static_cast<size_t>(b)] = static_cast<uint8_t>(best);
    }
    return palette;
}

void disc(std::vector<uint8_t> *pixels, float cx, float cy, float radius, uint8_t colour) {
    for (int y = static_cast<int>(cy - radius) - 1; y <= static_cast<int>(cy + radius) + 1; ++y) {
        for (int x = static_cast<int>(cx - radius) - 1; x <= static_cast<int>(cx + radius) + 1;
             ++x) {
            if (x >= 0 && y >= 0 && x < kWidth && y < kHeight &&
                std::hypot(x + 0.5f - cx, y + 0.5f - cy) <= radius) {
                (*pixels)[static_cast<size_t>(y * kWidth + x)] = colour;
            }
        }
    }
}

} // namespace

bool coursegen_film(const HoleSpec &hole, const std::string &game_directory, std::string *error) {
    const float cup_bottom = hole.height_at(hole.cup.x, hole.cup.z) - CUP_DEPTH;
    const std::string model_file = "gfx\\wo2\\course\\hole" + std::to_string(hole.number) + ".wo2";
    GEN_WO2 model{};
    GEN_COLL_MAP map{};
    gen_wo2_load(&model, model_file.c_str());
    if (!model.in_use) {
        *error = "cannot load " + model_file + " to film it";
        return false;
    }
    gen_wo2_coll_map_build(&model, &map, COURSE_MAP_LEAF_TRIANGLES, COURSE_MAP_DEPTH);
    BALL_COURSE course{};
    course.model = &model;
    course.map = &map;
    course.hole[0] = hole.cup.x, course.hole[1] = cup_bottom + BALL_RADIUS,
    course.hole[2] = hole.cup.z;
    const Point2 tee = hole.starts()[0];
    const float start[3] = {tee.x, hole.height_at(tee.x, tee.z) + BALL_RADIUS, tee.z};
    const Stroke stroke = find_stroke(course, start);
    gen_wo2_coll_map_free(&map);
    gen_wo2_free(&model);

    const std::vector<uint8_t> view = top_view(hole, kWidth, kHeight);
    const TopView place = top_view_of(hole, kWidth, kHeight);
    const Palette palette = make_palette(view);
    std::vector<uint8_t> background(kWidth * kHeight);
    for (size_t i = 0; i < background.size(); ++i) {
        background[i] = palette.index_of_bucket[static_cast<size_t>(bucket(&view[i * 3]))];
    }
    FlicWriter flc(2, kWidth, kHeight, kFrameMs);
    std::vector<uint8_t> before;
    const float radius = std::max(2.5f, BALL_RADIUS * place.scale);
    const size_t frames = stroke.places.size() + kHeldFrames;
    for (size_t frame = 0; frame < frames; ++frame) {
        const size_t at = std::min(frame, stroke.places.size() - 1);
        std::vector<uint8_t> pixels = background;
        for (size_t k = 0; k < at; k += 3) {
            disc(&pixels, place.x(stroke.places[k][0]), place.y(stroke.places[k][2]), 1.0f, kTrail);
        }
        const bool dropped = stroke.holed && frame >= stroke.places.size();
        if (!dropped) {
            const float x = place.x(stroke.places[at][0]), y = place.y(stroke.places[at][2]);
            disc(&pixels, x, y, radius + 1.0f, kOutline);
            disc(&pixels, x, y, radius, kWhite);
        }
        flc.begin_frame();
        if (before.empty()) {
            flc.colours(palette.rgb.data());
            flc.byte_run(pixels.data());
        } else {
            flc.delta_flc(before.data(), pixels.data());
        }
        flc.end_frame();
        before = pixels;
    }
    const std::filesystem::path path =
        std::filesystem::path(game_directory) / ("gfx/play" + std::to_string(hole.number) + ".flc");
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string bytes = flc.bytes();
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
}
