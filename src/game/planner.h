// The computer's strokes. A planner tries strokes on copies of the ball
// with the game's own physics (ball_simulate) on the hole's collision map,
// the moving objects where foresight says they will be as the ball rolls,
// and keeps the one that leaves the ball nearest the cup, or in it; then
// its player's hand adds an error that depends on the level: a small one
// at hard, a large one at easy. Nothing is read from the hole's data but
// the cup's place, as a player sees the pinwheel over it.
//
// The search is a list of candidate strokes worked through a few at a time
// (work), so that a host spreads it over frames; a coarse sweep of angles
// and powers; on a hole whose objects move, the strokes that met one are
// tried again later in the objects' loop (a windmill's blades turned on);
// then finer strokes round the best few. A stroke that drops is
// probed a hair to each side and softer and harder: one that drops only
// when struck exactly (past a gate's edge) gives way to a steadier one.
#pragma once

#include "ball.h"
#include "gen_coll.h"
#include "gen_xv.h"
#include "players.h"

#include <cstdint>
#include <vector>

enum : int32_t { PLANNER_EASY = 1, PLANNER_MEDIUM = 2, PLANNER_HARD = 3 };

struct PLANNED_STROKE {
    float angle;    // degrees, as PLAYER::aim_angle
    float power;    // 0 to 1
    int wait;       // steps from the planning's start until the stroke is struck
    bool holes;     // the stroke as planned (before the hand's error) drops
    float distance; // from the cup where it was seen to rest
};

class StrokePlanner {
  public:
    // Plans the stroke of this ball (its record and node as they are now)
    // on the loaded level. It is struck no sooner than `earliest` steps
    // from now (the host's thinking and aiming time); on a hole with moving
    // objects it may also wait part of their loop. seed makes the hand's
    // error repeatable.
    void start(const PLAYER &ball, const XV_3D_NODE &node, int level, uint32_t seed, int earliest);
    // Plays out up to `count` candidate strokes; true once the plan is made.
    bool work(int count);
    bool done() const { return phase_ == DONE; }
    // The plan with the hand's error in it: what the computer strikes.
    PLANNED_STROKE stroke() const { return stroke_; }
    // The plan as the search found it.
    PLANNED_STROKE best() const { return best_; }
    // Candidate strokes played out so far.
    int tried() const { return tried_; }

  private:
    enum Phase { COARSE, WAITS, FINE, DONE };
    struct Candidate {
        float angle, power;
        int wait;
    };
    struct Outcome {
        Candidate candidate;
        float score; // lower is better; below 0 it drops
        float distance;
        bool holes;
        bool met_object;
        bool left;      // the course: a stroke lost
        int steady = 0; // of the probes round a stroke that drops, those that drop too
    };
    void add_coarse();
    void add_waits();
    void add_fine();
    bool probe(size_t dropping);
    void finish();
    Outcome play_out(const Candidate &candidate) const;
    XV_3D_NODE struck_from(int from) const;

    PLAYER ball_{};
    XV_3D_NODE node_{};
    BALL_COURSE course_{};
    GEN_COLL_INDEX faces_; // the course's, for this ball: every candidate meets it
    int carrier_ = -1;     // the moving object the ball stands on, if any
    int level_ = PLANNER_HARD;
    uint32_t seed_ = 1;
    long recorded_at_start_ = 0; // foresight's count of steps when planning began
    int earliest_ = 0;
    Phase phase_ = DONE;
    std::vector<Candidate> candidates_;
    size_t next_ = 0;
    std::vector<Outcome> outcomes_;
    PLANNED_STROKE best_{};
    PLANNED_STROKE stroke_{};
    int tried_ = 0;
    int probed_ = 0; // strokes that drop, probed
};

// Plans at once (a tool, a test): start, and work until done.
PLANNED_STROKE plan_stroke(const PLAYER &ball, const XV_3D_NODE &node, int level, uint32_t seed);
