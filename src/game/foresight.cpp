#include "foresight.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr float kSamePlace = 0.001f; // units
constexpr float kSameTurn = 0.05f;   // degrees
constexpr int kCompared = 60;        // steps of a loop compared with the loop before

struct Places {
    int count;
    BALL_OBSTACLE obstacles[BALL_MOST_OBSTACLES];
};

struct Record {
    std::array<Places, FORESIGHT_STEPS> ring{};
    long recorded = 0;       // steps recorded since the reset
    long periods_found = -1; // the step the periods below were found at
    int periods[BALL_MOST_OBSTACLES] = {};
};
Record record;

const Places &places_back(int back) {
    return record.ring[static_cast<size_t>((record.recorded - 1 - back) % FORESIGHT_STEPS)];
}

// Turns are the same when they differ by whole turns.
bool same_turn(float a, float b) {
    const float apart = std::fabs(std::remainder(a - b, 360.0f));
    return apart < kSameTurn;
}

bool same_place(const BALL_OBSTACLE &a, const BALL_OBSTACLE &b) {
    for (int axis = 0; axis < 3; ++axis) {
        if (std::fabs(a.position[axis] - b.position[axis]) > kSamePlace ||
            !same_turn(a.rotation[axis], b.rotation[axis])) {
            return false;
        }
    }
    return true;
}

// The smallest lag at which the object's last places repeat the places lag
// steps before them: its motion is a loop (along and back, round and
// round). The last kCompared places are compared (all of them for a
// shorter lag), so that a loop is known once it has come round once and a
// little. One that stands still repeats after one step; 0 for none found.
int find_period(int object) {
    const int recorded = static_cast<int>(std::min<long>(record.recorded, FORESIGHT_STEPS));
    for (int lag = 1; lag + std::min(lag, kCompared) <= recorded; ++lag) {
        bool repeats = true;
        for (int back = 0; back < std::min(lag, kCompared) && repeats; ++back) {
            const Places &now = places_back(back), &before = places_back(back + lag);
            repeats = object < now.count && object < before.count &&
                      same_place(now.obstacles[object], before.obstacles[object]);
        }
        if (repeats) {
            return lag;
        }
    }
    return 0;
}

// Each object's period, found again once a step when asked.
void find_periods() {
    if (record.periods_found == record.recorded) {
        return;
    }
    record.periods_found = record.recorded;
    const int count = record.recorded > 0 ? places_back(0).count : 0;
    for (int object = 0; object < count; ++object) {
        record.periods[object] = find_period(object);
    }
}

} // namespace

void foresight_reset() {
    record.recorded = 0;
    record.periods_found = -1;
}

void foresight_record() {
    const BALL_COURSE course = ball_course();
    Places &places = record.ring[static_cast<size_t>(record.recorded % FORESIGHT_STEPS)];
    places.count = course.obstacle_count;
    std::copy(course.obstacles, course.obstacles + course.obstacle_count, places.obstacles);
    record.recorded++;
}

long foresight_recorded() {
    return record.recorded;
}

int foresight_period() {
    find_periods();
    const int count = record.recorded > 0 ? places_back(0).count : 0;
    int longest = 1;
    for (int object = 0; object < count; ++object) {
        if (record.periods[object] == 0) {
            return 0;
        }
        longest = std::max(longest, record.periods[object]);
    }
    return record.recorded > 0 ? longest : 0;
}

// Each object where it was whole periods of its own before the step: back
// steps before the last recorded one, back < period.
void foresight_place(int step, BALL_COURSE *course) {
    if (record.recorded == 0) {
        return;
    }
    find_periods();
    const Places &now = places_back(0);
    course->obstacle_count = now.count;
    for (int object = 0; object < now.count; ++object) {
        const int period = record.periods[object];
        int back = 0;
        if (period > 0 && step > 0) {
            back = (step + period - 1) / period * period - step;
        }
        course->obstacles[object] = places_back(back).obstacles[object];
    }
}

void foresight_forecast(int step, BALL_COURSE *course, const void *context) {
    const int from = context ? *static_cast<const int *>(context) : 0;
    foresight_place(step + from, course);
}
