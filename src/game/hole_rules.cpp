#include "hole_rules.h"

#include "ball.h"
#include "players.h"

#include "gen.h"
#include "xv.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kOverPar = 3;             // the cap is par + 3
constexpr int kRestSteps = 10;          // every ball still for a third of a second
constexpr int kMostRollSteps = 30 * 30; // a ball caught between a blade and a wall gives up

// The hole in play.
struct Rules {
    float struck_from[MAX_LEVEL_PLAYERS][3] = {};
    bool told_dropped[MAX_LEVEL_PLAYERS] = {};
    int rest_steps = 0;
    int rolling_steps = 0;
    bool counting = false; // its strokes count towards the totals, and are not on the card yet
};
Rules rules;
int card[MAX_LEVEL_PLAYERS][MAX_COURSE_HOLES];

// The game state a hole goes back to after the fly-by and after a drop: a
// single hole has its wind, a course holes without.
uint8_t playing_state() {
    return game()->play_mode == PLAY_SINGLE_HOLE ? GAME_SINGLE_HOLE : GAME_HOLE_STARTED;
}

bool in_play(int seat) {
    const PLAYER *record = player(seat);
    return record && record->hole_state == BALL_IN_PLAY;
}

void empty_card() {
    std::memset(card, 0, sizeof card);
}

// A new hole: nothing told, every ball's place its last stroke's start.
void reset_hole() {
    rules = Rules{};
    rules.counting = level_loaded() && game()->state != GAME_OVER;
    for (int seat = 0; seat < hole_seats(); ++seat) {
        if (const XV_3D_NODE *ball = player_ball(seat)) {
            std::memcpy(rules.struck_from[seat], ball->position, sizeof rules.struck_from[0]);
        }
    }
}

// The next seat after `after` whose ball is still in play, or -1.
int next_in_play(int after) {
    const int count = hole_seats();
    for (int k = 1; k <= count; ++k) {
        const int seat = (after + k) % count;
        if (in_play(seat)) {
            return seat;
        }
    }
    return -1;
}

void lift(int seat) {
    player(seat)->hole_state = BALL_LIFTED;
    if (XV_3D_NODE *ball = player_ball(seat)) {
        ball->flags |= XV_3D_NODE_HIDDEN;
    }
}

// The hole goes on the card (and the first nine on the game's own score
// table), each seat's strokes at most the cap.
void write_card() {
    GAME *g = game();
    const int column = g->level - 1;
    for (int seat = 0; seat < hole_seats(); ++seat) {
        const int strokes = std::min(player(seat)->strokes, hole_cap());
        if (column >= 0 && column < SCORE_HOLES && seat < SCORE_ROWS) {
            g->scores[seat][column] = strokes;
        }
        if (column >= 0 && column < MAX_COURSE_HOLES) {
            card[seat][column] = strokes;
        }
        player(seat)->strokes = strokes;
    }
    rules.counting = false;
}

// A ball off the course goes back to where it was struck, a stroke dearer.
void return_strays(HOLE_EVENTS *events) {
    const BALL_COURSE course = ball_course();
    for (int seat = 0; seat < hole_seats(); ++seat) {
        XV_3D_NODE *ball = player_ball(seat);
        PLAYER *record = player(seat);
        if (!ball || record->hole_state != BALL_IN_PLAY ||
            !ball_off_course(ball->position, course)) {
            continue;
        }
        std::memcpy(ball->position, rules.struck_from[seat], sizeof ball->position);
        ball_stop(record);
        record->strokes++;
        rules.rest_steps = 0;
        events->add(HOLE_OUT_OF_BOUNDS, seat, record->strokes);
    }
}

bool every_ball_rests() {
    for (int seat = 0; seat < hole_seats(); ++seat) {
        const PLAYER *record = player(seat);
        if (record->hole_state == BALL_IN_PLAY && !ball_at_rest(record)) {
            return false;
        }
    }
    return true;
}

} // namespace

void HOLE_EVENTS::add(uint8_t kind, int seat, int strokes) {
    if (count < static_cast<int>(std::size(list))) {
        list[count++] = {kind, seat, strokes};
    }
}

void hole_start_course(int seats) {
    empty_card();
    start_game(seats);
    reset_hole();
}

void hole_start_single(int hole) {
    empty_card();
    start_single_level(hole);
    level_init();
    game()->state = GAME_SINGLE_HOLE;
    reset_hole();
}

bool hole_next() {
    next_level();
    reset_hole();
    return game()->state != GAME_OVER;
}

void hole_show_backdrop(int hole) {
    GAME *g = game();
    level_deinit();
    g->player_count = 1;
    g->level = hole;
    g->play_mode = 0;
    level_init();
    if (level_loaded()) {
        g->state = GAME_HOLE_STARTED; // the level steps: the pinwheel and the scenery move
    }
}

int hole_seats() {
    return std::min(game()->player_count, player_count());
}

void hole_begin() {
    game()->state = playing_state();
    reset_hole();
}

int hole_cap() {
    return game()->par + kOverPar;
}

void hole_aim(int seat, float angle) {
    if (PLAYER *record = player(seat)) {
        record->aim_angle = angle;
    }
}

void hole_show_ball(int seat, const float position[3], const float rotation[3], bool shown) {
    XV_3D_NODE *ball = player_ball(seat);
    if (!ball) {
        return;
    }
    std::memcpy(ball->position, position, sizeof ball->position);
    std::memcpy(ball->rotation, rotation, sizeof ball->rotation);
    ball->flags = shown ? ball->flags & ~XV_3D_NODE_HIDDEN : ball->flags | XV_3D_NODE_HIDDEN;
}

bool hole_strike(int seat, float angle, float power) {
    if (seat < 0 || seat >= hole_seats() || !in_play(seat)) {
        return false;
    }
    PLAYER *record = player(seat);
    if (const XV_3D_NODE *ball = player_ball(seat)) {
        std::memcpy(rules.struck_from[seat], ball->position, sizeof rules.struck_from[0]);
    }
    record->aim_angle = angle;
    player_strike(record, power);
    rules.rest_steps = 0;
    rules.rolling_steps = 0;
    return true;
}

HOLE_EVENTS hole_roll() {
    HOLE_EVENTS events;
    for (int seat = 0; seat < hole_seats(); ++seat) {
        if (player(seat)->hole_state == BALL_HOLED && !rules.told_dropped[seat]) {
            rules.told_dropped[seat] = true;
            events.add(HOLE_DROPPED, seat, player(seat)->strokes);
        }
    }
    return_strays(&events);
    rules.rest_steps = every_ball_rests() ? rules.rest_steps + 1 : 0;
    rules.rolling_steps++;
    events.settled = (rules.rest_steps >= kRestSteps || rules.rolling_steps >= kMostRollSteps) &&
                     hole_cup_pause_over();
    return events;
}

bool hole_cup_pause_over() {
    GAME *g = game();
    if (g->state != GAME_HOLED) {
        return true;
    }
    if (static_cast<int32_t>(xv_tick_count() - g->state_deadline) < 0) {
        return false;
    }
    g->state = playing_state();
    return true;
}

HOLE_EVENTS hole_end_stroke(int seat) {
    HOLE_EVENTS events;
    if (const PLAYER *record = player(seat);
        record && in_play(seat) && record->strokes >= hole_cap()) {
        lift(seat);
        events.add(HOLE_PICKED_UP, seat, record->strokes);
    }
    if (const int next = next_in_play(seat); next >= 0) {
        events.add(HOLE_TURN, next, player(next)->strokes);
        return events;
    }
    write_card();
    events.add(HOLE_OVER, seat, player(seat) ? player(seat)->strokes : 0);
    return events;
}

int hole_card(int seat, int hole) {
    return seat >= 0 && seat < MAX_LEVEL_PLAYERS && hole >= 1 && hole <= MAX_COURSE_HOLES
               ? card[seat][hole - 1]
               : 0;
}

int hole_total(int seat) {
    int total = 0;
    for (int hole = 1; hole <= MAX_COURSE_HOLES; ++hole) {
        total += hole_card(seat, hole);
    }
    const PLAYER *record = player(seat);
    return total + (rules.counting && record ? std::min(record->strokes, hole_cap()) : 0);
}

int hole_course_par() {
    const GAME *g = game();
    if (g->play_mode == PLAY_SINGLE_HOLE) {
        return g->par;
    }
    int par = 0;
    const int through = std::min(g->level, course().hole_count);
    for (int hole = 1; hole <= through; ++hole) {
        const COURSE_HOLE *listed = course_hole(hole);
        par += listed ? listed->par : 0;
    }
    return par;
}
