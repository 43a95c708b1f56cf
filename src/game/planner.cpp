#include "planner.h"

#include "foresight.h"
#include "way.h"

#include "xv.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMostSubsteps = 8 * 30 * 6; // six seconds of a stroke
constexpr float kDegreesPerRadian = 57.29578f;
constexpr float kLeftCourse = 1000.0f; // a stroke that leaves the course scores this much worse
constexpr float kWaitCost = 0.0005f;   // a stroke that drops sooner is a little better
constexpr int kFineRounds = 2;         // the best outcomes searched round more finely
constexpr float kApart = 0.3f;         // units between two outcomes searched round

constexpr float kCoarsePowers[] = {0.15f, 0.3f, 0.5f, 0.75f, 1.0f};
constexpr float kTowardsCup[] = {0.0f, -2.0f, 2.0f, -5.0f, 5.0f, -9.0f, 9.0f};
constexpr int kMostWaited = 10;  // strokes that met an object, tried again after waits
constexpr int kRoundAngles = 20; // the sweep round the circle, every 18 degrees
constexpr float kFineAngles[] = {-2.0f, -1.0f, 1.0f, 2.0f, 0.0f};
constexpr float kFinePowers[] = {0.9f, 0.95f, 1.0f, 1.05f, 1.1f};
// The probes round a stroke that drops, and how many of them must drop too
// for it to be taken at once.
constexpr float kProbeAngles[] = {-1.5f, -0.75f, 0.75f, 1.5f, 0.0f, 0.0f};
constexpr float kProbePowers[] = {1.0f, 1.0f, 1.0f, 1.0f, 0.96f, 1.04f};
constexpr int kProbes = 6;
constexpr int kSteadyEnough = 5;
constexpr int kMostProbed = 12; // strokes that drop probed before the steadiest is taken
constexpr int kWaitsPerLoop = 6;

// The hand: the spread of the angle (degrees), of the power (a part of
// it) and of the moment of the stroke (steps: a person times a windmill's
// blades by eye) at each level, from easy to hard.
constexpr float kAngleSpread[] = {8.0f, 4.0f, 0.6f};
constexpr float kPowerSpread[] = {0.20f, 0.10f, 0.015f};
constexpr float kWaitSpread[] = {6.0f, 3.0f, 0.0f};

// A repeatable normal variate: Park and Miller's generator, then Box and
// Muller's transform (the same on every standard library).
struct Hand {
    uint32_t state;
    float uniform() {
        state = xv_random_next(state);
        return (static_cast<float>(state) + 0.5f) / 2147483647.0f;
    }
    float normal() {
        const float u = uniform(), v = uniform();
        return std::sqrt(-2.0f * std::log(u)) * std::cos(6.2831853f * v);
    }
};

float horizontal_distance(const float a[3], const float b[3]) {
    return std::hypot(a[0] - b[0], a[2] - b[2]);
}

} // namespace

void StrokePlanner::start(const PLAYER &ball, const XV_3D_NODE &node, int level, uint32_t seed,
                          int earliest) {
    ball_ = ball;
    ball_.hole_state = BALL_IN_PLAY;
    ball_stop(&ball_);
    node_ = node;
    course_ = ball_course();
    ball_index_course(course_, ball_.radius, &faces_);
    carrier_ = ball_carrier(ball_, node_, course_);
    level_ = std::clamp(level, static_cast<int>(PLANNER_EASY), static_cast<int>(PLANNER_HARD));
    // Seeds next to each other (1, 2, 3: a stroke's number) are spread apart.
    seed_ = static_cast<uint32_t>(static_cast<uint64_t>(seed) * 2654435761u % 2147483646u) + 1u;
    recorded_at_start_ = foresight_recorded();
    earliest_ = std::max(0, earliest);
    candidates_.clear();
    outcomes_.clear();
    next_ = 0;
    tried_ = 0;
    probed_ = 0;
    phase_ = COARSE;
    add_coarse();
}

// Towards the cup first (most likely to drop, and a steady drop ends the
// search), then round the circle every 18 degrees, at five powers.
void StrokePlanner::add_coarse() {
    const float dx = course_.hole[0] - node_.position[0];
    const float dz = course_.hole[2] - node_.position[2];
    const float towards = std::atan2(-dx, -dz) * kDegreesPerRadian;
    for (float offset : kTowardsCup) {
        for (float power : kCoarsePowers) {
            candidates_.push_back({towards + offset, power, 0});
        }
    }
    for (int k = 0; k < kRoundAngles; ++k) {
        const float step = 360.0f / kRoundAngles;
        for (float power : kCoarsePowers) {
            candidates_.push_back({towards + step / 2 + step * static_cast<float>(k), power, 0});
        }
    }
}

// The strongest strokes that met a moving object, again at waits through
// the objects' loop: what was in the way may have moved on.
void StrokePlanner::add_waits() {
    const int period = foresight_period();
    if (course_.obstacle_count == 0 || period <= kWaitsPerLoop) {
        return;
    }
    std::vector<Candidate> blocked, fell;
    for (const Outcome &outcome : outcomes_) {
        if (outcome.met_object && !outcome.holes) {
            blocked.push_back(outcome.candidate);
        } else if (outcome.left) {
            fell.push_back(outcome.candidate);
        }
    }
    const auto keep = [](std::vector<Candidate> *strokes, bool strongest) {
        std::stable_sort(strokes->begin(), strokes->end(),
                         [&](const Candidate &a, const Candidate &b) {
                             return strongest ? a.power > b.power : a.power < b.power;
                         });
        strokes->resize(std::min(strokes->size(), static_cast<size_t>(kMostWaited)));
    };
    keep(&blocked, true);
    // A soft stroke that fell off the course may have fallen where a lift
    // or a platform stands at another moment: it is tried again too.
    keep(&fell, false);
    blocked.insert(blocked.end(), fell.begin(), fell.end());
    // A ball on a lift is struck from wherever the lift will have taken it:
    // every stroke towards the cup is tried again through the lift's loop.
    if (carrier_ >= 0) {
        blocked.assign(candidates_.begin(),
                       candidates_.begin() + std::size(kTowardsCup) * std::size(kCoarsePowers));
    }
    for (const Candidate &candidate : blocked) {
        for (int k = 1; k < kWaitsPerLoop; ++k) {
            candidates_.push_back({candidate.angle, candidate.power, period * k / kWaitsPerLoop});
        }
    }
}

// Round the best few outcomes that lie apart: a little to each side, a
// little softer and harder.
void StrokePlanner::add_fine() {
    std::vector<Outcome> sorted = outcomes_;
    std::sort(sorted.begin(), sorted.end(),
              [](const Outcome &a, const Outcome &b) { return a.score < b.score; });
    std::vector<const Outcome *> chosen;
    for (const Outcome &outcome : sorted) {
        if (static_cast<int>(chosen.size()) == kFineRounds) {
            break;
        }
        const bool apart = std::none_of(chosen.begin(), chosen.end(), [&](const Outcome *kept) {
            return std::fabs(kept->candidate.angle - outcome.candidate.angle) < 1.0f &&
                   std::fabs(kept->candidate.power - outcome.candidate.power) < 0.05f &&
                   std::fabs(kept->distance - outcome.distance) < kApart;
        });
        if (apart) {
            chosen.push_back(&outcome);
        }
    }
    for (const Outcome *round : chosen) {
        for (float angle : kFineAngles) {
            for (float power : kFinePowers) {
                const Candidate &c = round->candidate;
                if (angle == 0.0f && power == 1.0f) {
                    continue; // tried already
                }
                candidates_.push_back(
                    {c.angle + angle, std::clamp(c.power * power, 0.02f, 1.0f), c.wait});
            }
        }
    }
}

// Where the ball will be when it is struck that many steps on: where it
// is, unless it stands on a moving object (a lift), which carries it.
XV_3D_NODE StrokePlanner::struck_from(int from) const {
    XV_3D_NODE node = node_;
    if (carrier_ >= 0) {
        BALL_COURSE then = course_;
        foresight_place(from, &then);
        for (int axis = 0; axis < 3; ++axis) {
            node.position[axis] += then.obstacles[carrier_].position[axis] -
                                   course_.obstacles[carrier_].position[axis];
        }
    }
    return node;
}

StrokePlanner::Outcome StrokePlanner::play_out(const Candidate &candidate) const {
    PLAYER ball = ball_;
    ball.aim_angle = candidate.angle;
    player_strike(&ball, candidate.power);
    // The objects' places are foreseen from the last recorded step, which
    // moves on while the planner works over frames.
    const int from =
        earliest_ + candidate.wait - static_cast<int>(foresight_recorded() - recorded_at_start_);
    const BALL_SHOT shot = ball_simulate(ball, struck_from(from), course_, kMostSubsteps,
                                         foresight_forecast, &from, &faces_);
    Outcome outcome{
        candidate,       0.0f,     horizontal_distance(shot.position, course_.hole), shot.holed,
        shot.met_object, shot.left};
    if (shot.holed) {
        outcome.distance = 0.0f;
        outcome.score = -1.0f + kWaitCost * static_cast<float>(candidate.wait);
    } else if (shot.left) {
        outcome.score = kLeftCourse + horizontal_distance(node_.position, course_.hole);
    } else {
        outcome.score = way_to_cup(shot.position); // round the walls, not through them
    }
    return outcome;
}

// Plays the probes round the outcome that drops; true when it is steady
// enough to be taken without looking further.
bool StrokePlanner::probe(size_t dropping) {
    const Candidate centre = outcomes_[dropping].candidate;
    int steady = 0;
    for (int k = 0; k < kProbes; ++k) {
        const Candidate nearby = {centre.angle + kProbeAngles[k],
                                  std::clamp(centre.power * kProbePowers[k], 0.02f, 1.0f),
                                  centre.wait};
        steady += play_out(nearby).holes ? 1 : 0;
        ++tried_;
    }
    outcomes_[dropping].steady = steady;
    // A little less steady is a little worse, but still better than any
    // stroke that does not drop.
    outcomes_[dropping].score -= 0.1f * static_cast<float>(steady);
    return steady >= kSteadyEnough;
}

bool StrokePlanner::work(int count) {
    for (int i = 0; i < count && phase_ != DONE; ++i) {
        if (next_ == candidates_.size()) {
            if (phase_ == COARSE) {
                phase_ = WAITS;
                add_waits();
                continue;
            }
            if (phase_ == WAITS && level_ > PLANNER_EASY) {
                phase_ = FINE;
                add_fine();
                continue;
            }
            finish();
            break;
        }
        outcomes_.push_back(play_out(candidates_[next_++]));
        ++tried_;
        if (outcomes_.back().holes && probed_ < kMostProbed) {
            ++probed_;
            i += kProbes;
            if (probe(outcomes_.size() - 1) || probed_ == kMostProbed) {
                finish();
            }
        }
    }
    return phase_ == DONE;
}

void StrokePlanner::finish() {
    phase_ = DONE;
    const auto best =
        std::min_element(outcomes_.begin(), outcomes_.end(),
                         [](const Outcome &a, const Outcome &b) { return a.score < b.score; });
    if (best == outcomes_.end()) {
        best_ = stroke_ = PLANNED_STROKE{ball_.aim_angle, 0.3f, earliest_, false, 0.0f};
        return;
    }
    best_ = {best->candidate.angle, best->candidate.power, earliest_ + best->candidate.wait,
             best->holes, best->distance};
    Hand hand{seed_};
    hand.uniform(); // a small seed's first draw is small too: it is passed over
    hand.uniform();
    const int spread = level_ - PLANNER_EASY;
    stroke_ = best_;
    stroke_.angle += hand.normal() * kAngleSpread[spread];
    stroke_.power =
        std::clamp(stroke_.power * (1.0f + hand.normal() * kPowerSpread[spread]), 0.02f, 1.0f);
    stroke_.angle = std::fmod(std::fmod(stroke_.angle, 360.0f) + 360.0f, 360.0f);
    stroke_.wait =
        std::max(earliest_,
                 stroke_.wait + static_cast<int>(std::lround(hand.normal() * kWaitSpread[spread])));
}

PLANNED_STROKE plan_stroke(const PLAYER &ball, const XV_3D_NODE &node, int level, uint32_t seed) {
    StrokePlanner planner;
    planner.start(ball, node, level, seed, 0);
    while (!planner.work(64)) {
    }
    return planner.stroke();
}
