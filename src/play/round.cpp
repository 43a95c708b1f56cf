// A hole in play, as the players see it: the fly-by, then the turns the
// hole's rules pass. A turn is aiming (keys, mouse, the pad) along the aim
// guide, the power meter (hold the strike key, or drag the mouse back) and
// the stroke, struck through the rules; then the camera follows the balls
// until the rules say they have settled. A ball that drops is a moment:
// the notice, the cup's sound, the camera on the cup, then the next turn.
// What the rules tell (out of bounds, picked up at the cap) is said; when
// they say the hole is over the result is shown.
#include "play_state.h"
#include "ui.h"

#include "ball.h"
#include "camera.h"
#include "flyby.h"
#include "foresight.h"
#include "game.h"
#include "hole_rules.h"
#include "planner.h"
#include "players.h"

#include "gen.h"
#include "xv.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr char kPuttSound[] = "snd\\putt.wav";

constexpr float kAimStep = 1.5f;     // degrees a step with a key held
constexpr float kFineAimStep = 0.2f; // with Shift
constexpr float kMouseAim = 0.3f;    // degrees a count of the mouse
constexpr float kPadAim = 0.03f;     // degrees a step and a unit of the stick
// The meter: a full stroke held 1.8 s, by the clock (not the frames), the
// power rising as the square of the time: a short putt is a hold a person
// can judge. With Shift held the meter's clock runs at a quarter.
constexpr float kFullHoldMs = 1800.0f;
constexpr float kFineClock = 0.25f;
constexpr float kStepMs = 1000.0f / 30.0f; // a level step
constexpr float kMouseFullDrag = 250.0f;
constexpr float kLeastPower = 0.01f; // a release below this is no stroke

constexpr float kChaseGlide = 0.08f;     // of the way to its place, a step
constexpr float kLookAhead = 1.5f;       // the camera looks past the ball while aiming
constexpr float kChaseTurnsAbove = 0.4f; // a ball's speed the camera swings round after
constexpr float kChaseTurn = 2.5f;       // degrees a step

// A ball in the cup holds the game this long, the camera on the cup; the
// word for the score comes under "It's in!" a little after the drop.
constexpr uint32_t kDropMomentMs = 2500;
constexpr uint32_t kWordAfterMs = 700;
constexpr int kNoticeSteps = 75;
constexpr float kCupRimAside = 0.35f;   // from the hole's middle: just past a cup's radius
constexpr float kSightOverBall = 0.15f; // the look for the cup runs this far over the ball's middle
constexpr float kNearCup = 0.05f;       // closer than this the way to the cup is no way

// A person aims and charges; a computer thinks, then shows its aim and
// charges the meter, and strikes at the step it planned for. A drop holds
// the game a moment before the next turn.
enum class Phase { FLYBY, AIM, CHARGE, THINK, SHOW, ROLLING, DROPPED, DONE };

constexpr int kComputerLead = 100; // steps from a computer's turn to its earliest stroke
constexpr int kThinkSteps = 40;    // the planner's work is spread over these at most
constexpr int kCandidatesPerStep = 8;
constexpr int kComputerAimSteps = 15;
constexpr long kLongestWatch = 20 * 30; // steps a computer watches the objects at most
// Longer than any hole's trail and approach: a fly-by still going then is
// following a ball that never lands (a course that lets it fall), and ends.
constexpr long kLongestFlyby = 90 * 30;

struct Hole {
    Phase phase = Phase::DONE;
    int turn = 0;
    float power = 0.0f;
    bool armed = false; // a hold of the strike key starts the meter (not one left from the fly-by)
    float meter_ms = 0.0f;
    uint32_t meter_tick = 0;
    float last_power[MOST_SEATS] = {};
    bool charged_by_mouse = false;
    float mouse_drag = 0.0f;
    long flyby_steps = 0;
    int chase_camera = -1;
    float chase_heading = 0.0f; // the aim the chase camera stands behind
    AimGuide guide;
    bool guide_shown = false;
    float guide_from[5] = {-1.0f}; // the ball's place, the aim and the length it was laid for
    XV_SND_EFFECT *putt = nullptr;
    RoundNotice notice{};
    int drops_to_tell[MOST_SEATS] = {}; // seats whose drop the rules told, not yet shown
    int drops_waiting = 0;
    int holed_order[MOST_SEATS] = {};
    int holed_count = 0;
    uint32_t dropped_at = 0;
    std::string score_word; // told under "It's in!"
    StrokePlanner planner;
    long planned_at = 0; // the level step the computer's planning began
    PLANNED_STROKE planned{};
    float shown_from = 0.0f; // the aim the computer turns from
    bool thinking = false;   // the planner has started
    long turn_started = 0;   // the level step the computer's turn began
    int last_struck = -1;    // the seat whose stroke R replays
};
Hole hole;

void say_notice(const std::string &text) {
    hole.notice.text = text;
    hole.notice.detail.clear();
    hole.notice.steps_left = kNoticeSteps;
}

bool computer(int seat) {
    return computer_level(seat) > 0;
}

// The guide follows the aim while the player aims; a person may have asked
// for it to run on to the first bounce.
void show_guide(bool shown) {
    const XV_3D_NODE *ball = player_ball(hole.turn);
    hole.guide_shown = shown && ball;
    if (!hole.guide_shown) {
        return;
    }
    const bool long_guide = controls().guide_to_bounce && !computer(hole.turn);
    const float from[5] = {ball->position[0], ball->position[1], ball->position[2],
                           player(hole.turn)->aim_angle, long_guide ? 1.0f : 0.0f};
    if (std::equal(from, from + 5, hole.guide_from)) {
        return; // laid already: the rays are spared while nothing moves
    }
    std::copy(from, from + 5, hole.guide_from);
    hole.guide = aim_guide(ball->position, player(hole.turn)->aim_angle, long_guide);
}

// The chase camera: the host's follow camera, standing behind the current
// ball along its aim and gliding after it as it rolls.
void add_chase_camera() {
    CAMERA_CONTROL control{};
    control.flags = CAMERA_LOOK_AT_POINT;
    hole.chase_camera = add_camera(CAMERA_FOLLOWED, &control);
}

void place_chase_camera(bool glide) {
    CAMERA *chase = camera_at(hole.chase_camera);
    const XV_3D_NODE *ball = player_ball(current_player());
    if (!chase || !ball) {
        return;
    }
    float x, z;
    aim_direction(hole.chase_heading, &x, &z);
    float wanted[3];
    chase_camera_place(ball->position, hole.chase_heading, wanted);
    for (int axis = 0; axis < 3; ++axis) {
        float &at = chase->view.position[axis];
        at = glide ? at + (wanted[axis] - at) * kChaseGlide : wanted[axis];
    }
    CAMERA_CONTROL control{};
    get_camera_control(&control, hole.chase_camera);
    if (hole.phase == Phase::ROLLING) {
        control.flags = CAMERA_LOOK_AT_NODE; // the ball follow_current_player names
    } else {
        control.flags = CAMERA_LOOK_AT_POINT;
        control.look_at_point[0] = ball->position[0] + x * kLookAhead;
        control.look_at_point[1] = ball->position[1];
        control.look_at_point[2] = ball->position[2] + z * kLookAhead;
    }
    set_camera_control(&control, hole.chase_camera);
    follow_current_player();
}

// While the ball rolls fast the chase camera swings round behind its way,
// so that a ball sent back off a wall or a gate is still seen from behind.
void turn_chase_after_ball() {
    const PLAYER *record = player(current_player());
    if (!record) {
        return;
    }
    const float speed = std::hypot(record->velocity_x, record->velocity_z);
    if (speed < kChaseTurnsAbove) {
        return;
    }
    const float heading = std::atan2(-record->velocity_x, -record->velocity_z) * 57.29578f;
    const float gap = std::remainder(heading - hole.chase_heading, 360.0f);
    hole.chase_heading += std::clamp(gap, -kChaseTurn, kChaseTurn);
}

// The level's cameras with a trigger watch the ball now played.
void watch_current_ball() {
    const PLAYER *record = player(current_player());
    for (int i = 0; record && i < camera_count(); ++i) {
        CAMERA_CONTROL control{};
        get_camera_control(&control, i);
        if (control.flags & CAMERA_TRIGGER) {
            control.look_at_node = record->ball_node;
            set_camera_control(&control, i);
        }
    }
}

// The computer's planning starts; its seed is the session's, the hole's,
// the seat's and the stroke's.
void start_thinking(int seat) {
    const PLAYER *record = player(seat);
    const XV_3D_NODE *ball = player_ball(seat);
    if (!record || !ball) {
        return;
    }
    const uint32_t seed = session().seed + static_cast<uint32_t>(game()->level) * 7919u +
                          static_cast<uint32_t>(seat) * 104729u +
                          static_cast<uint32_t>(record->strokes) * 15485863u;
    hole.planner.start(*record, *ball, computer_level(seat), seed, kComputerLead);
    hole.planned_at = foresight_recorded();
    hole.phase = Phase::THINK;
    hole.thinking = true;
}

// A computer watches a hole's moving objects go round once before it
// plans (they have mostly been seen in the fly-by).
bool objects_understood() {
    return ball_course().obstacle_count == 0 || foresight_period() > 0 ||
           foresight_recorded() - hole.turn_started >= kLongestWatch;
}

// What the camera looks at in the moment: the cup's rim (the hole's place
// is a ball above its bottom, which the rim hides from a low camera).
void cup_rim(float out[3]) {
    hole_position(out);
    float ground = 0.0f;
    if (ground_height(out[0] + kCupRimAside, out[2], out[1] + 2.0f, out[1] - 1.0f, &ground)) {
        out[1] = ground;
    }
}

// A person's later strokes start aimed at the cup when the ball can see it
// (a look along the ground, over nothing taller than the ball): after a
// miss the last aim mostly points at a wall. Round a corner the last aim
// stays, being the better guess.
void aim_at_cup_in_sight(int seat) {
    PLAYER *record = player(seat);
    const XV_3D_NODE *ball = player_ball(seat);
    if (computer(seat) || record->strokes == 0 || !ball) {
        return;
    }
    float cup[3];
    cup_rim(cup);
    const float from[3] = {ball->position[0], ball->position[1] + kSightOverBall,
                           ball->position[2]};
    const float to[3] = {cup[0], cup[1] + kSightOverBall + BALL_RADIUS, cup[2]};
    const float dx = cup[0] - from[0], dz = cup[2] - from[2];
    if (dx * dx + dz * dz < kNearCup * kNearCup || !camera_sees(from, to)) {
        return;
    }
    const float degrees = std::atan2(-dx, -dz) * 180.0f / std::numbers::pi_v<float>;
    hole_aim(seat, std::fmod(degrees + 360.0f, 360.0f));
}

void start_turn(int seat) {
    gen_history("round: player %d to play, %d strokes\n", seat + 1, player(seat)->strokes);
    hole.turn = seat;
    hole.phase = Phase::AIM;
    hole.power = 0.0f;
    hole.armed = true;
    set_current_player(seat);
    aim_at_cup_in_sight(seat);
    hole.chase_heading = player(seat)->aim_angle;
    watch_current_ball();
    set_camera_trigger_switching(0);
    set_current_camera(hole.chase_camera);
    place_chase_camera(true);
    show_guide(true);
    if (computer(seat)) {
        hole.phase = Phase::THINK;
        hole.thinking = false;
        hole.turn_started = foresight_recorded();
    }
}

// The chase camera takes over from where the approach ended.
void end_flyby() {
    hole_begin();
    CAMERA *chase = camera_at(hole.chase_camera);
    if (const CAMERA *first = camera_at(0); first && chase) {
        chase->view = first->view;
    }
    start_turn(0);
    hole.armed = false; // the key that skipped the fly-by may still be down
}

void strike(float angle, float power) {
    if (!hole_strike(hole.turn, angle, power)) {
        return;
    }
    hole.last_power[hole.turn] = power;
    gen_history("round: player %d strikes at %.3f, stroke %d\n", hole.turn + 1, power,
                player(hole.turn)->strokes);
    replay_begin(hole.turn);
    hole.last_struck = hole.turn;
    if (hole.putt) {
        xv_snd_play_effect_at(hole.putt, 0, 0, static_cast<int>(60 + 40 * power));
    }
    hole.phase = Phase::ROLLING;
    show_guide(false);
    set_camera_trigger_switching(1);
}

// Aim: the keys turn it steadily (finely with Shift), the mouse by its
// motion while no button is held, the pad's stick by how far it leans.
void aim(float fraction) {
    PLAYER *record = player(hole.turn);
    const bool fine = ui::held(DIK_LSHIFT) || ui::held(DIK_RSHIFT);
    const float step = (fine ? kFineAimStep : kAimStep) * fraction;
    float turn = 0.0f;
    if (xv_kb_get_key(&record->keys, ACTION_AIM_LEFT)) {
        turn += step;
    }
    if (xv_kb_get_key(&record->keys, ACTION_AIM_RIGHT)) {
        turn -= step;
    }
    if (!ui::mouse_button()) {
        turn -= ui::mouse_dx() * kMouseAim * (fine ? 0.25f : 1.0f);
    }
    turn -= ui::pad_x() * kPadAim * (fine ? 0.25f : 1.0f) * fraction;
    hole_aim(hole.turn, std::fmod(record->aim_angle + turn + 360.0f, 360.0f));
    hole.chase_heading = record->aim_angle;
}

// The meter rises while the strike key (or the pad's button) is held and
// falls back from the top; the release strikes. Its clock is the tick
// count from the step that saw the key go down to the step that saw it come
// up, so a hold gives the same power however the frames come. The mouse:
// press, drag back (towards you), release. The key still down from
// skipping the fly-by starts nothing until let go.
void charge() {
    PLAYER *record = player(hole.turn);
    const bool key_held = xv_kb_get_key(&record->keys, ACTION_SPACE) || ui::pad_held(0);
    const uint32_t now = xv_tick_count();
    if (hole.phase == Phase::AIM) {
        hole.armed = hole.armed || !key_held;
        if (key_held && hole.armed) {
            hole.phase = Phase::CHARGE;
            hole.charged_by_mouse = false;
            hole.power = 0.0f;
            hole.meter_ms = 0.0f;
            hole.meter_tick = now;
        } else if (ui::mouse_clicked()) {
            hole.phase = Phase::CHARGE;
            hole.charged_by_mouse = true;
            hole.mouse_drag = 0.0f;
            hole.power = 0.0f;
        }
        return;
    }
    if (hole.charged_by_mouse) {
        hole.mouse_drag = std::max(0.0f, hole.mouse_drag + static_cast<float>(ui::mouse_dy()));
        hole.power = std::min(1.0f, hole.mouse_drag / kMouseFullDrag);
        if (!ui::mouse_button()) {
            hole.power >= kLeastPower ? strike(record->aim_angle, hole.power)
                                      : void(hole.phase = Phase::AIM);
        }
        return;
    }
    const bool fine = ui::held(DIK_LSHIFT) || ui::held(DIK_RSHIFT);
    hole.meter_ms += static_cast<float>(now - hole.meter_tick) * (fine ? kFineClock : 1.0f);
    hole.meter_tick = now;
    hole.power = meter_power(hole.meter_ms);
    if (!key_held) {
        hole.power >= kLeastPower ? strike(record->aim_angle, hole.power)
                                  : void(hole.phase = Phase::AIM);
    }
}

// The planner works a few strokes a step; a slow machine that has not
// finished in time finishes at once. Nobody watching: all at once.
void think() {
    if (!hole.thinking) {
        if (objects_understood()) {
            start_thinking(hole.turn);
        }
        return;
    }
    const long elapsed = foresight_recorded() - hole.planned_at;
    const bool late = elapsed >= kThinkSteps;
    while (!hole.planner.work(kCandidatesPerStep) && (late || session().unattended)) {
    }
    if (hole.planner.done()) {
        hole.planned = hole.planner.stroke();
        const PLANNED_STROKE best = hole.planner.best();
        gen_history("computer %d: %d strokes tried, best %.1f/%.2f after %d steps (%s %.2f "
                    "from the cup), struck %.1f/%.2f\n",
                    hole.turn + 1, hole.planner.tried(), best.angle, best.power, best.wait,
                    best.holes ? "drops," : "rests", best.distance, hole.planned.angle,
                    hole.planned.power);
        hole.shown_from = player(hole.turn)->aim_angle;
        hole.phase = Phase::SHOW;
    }
}

// The aim turns to the planned angle, then the meter fills so that it
// reaches the planned power at the planned step, and the stroke is struck
// as a person's is.
void show_computer_stroke() {
    const long elapsed = foresight_recorded() - hole.planned_at - kThinkSteps;
    const float turned = std::clamp(static_cast<float>(elapsed) / kComputerAimSteps, 0.0f, 1.0f);
    const float shown =
        hole.shown_from + std::remainder(hole.planned.angle - hole.shown_from, 360.0f) * turned;
    hole_aim(hole.turn, shown);
    hole.chase_heading = shown;
    const long strike_at = std::max<long>(hole.planned.wait, kThinkSteps + kComputerAimSteps);
    const long charging =
        std::lround(std::sqrt(hole.planned.power) * kFullHoldMs / kStepMs); // as a person holds
    const long now = foresight_recorded() - hole.planned_at;
    const float held = static_cast<float>(now - (strike_at - charging)) * kStepMs;
    hole.power = held <= 0.0f ? 0.0f : std::min(meter_power(held), hole.planned.power);
    if (now >= strike_at) {
        strike(hole.planned.angle, hole.planned.power);
    }
}

// The camera on the cup: behind it along the way the ball came, as far
// back and as high as the aiming camera stands behind a ball, or as close
// and high as it takes to see the cup over what stands between.
void place_cup_camera() {
    CAMERA *chase = camera_at(hole.chase_camera);
    if (!chase) {
        return;
    }
    float cup[3], wanted[3];
    cup_rim(cup);
    const float ball_on_rim[3] = {cup[0], cup[1] + BALL_RADIUS, cup[2]};
    chase_camera_place(ball_on_rim, hole.chase_heading, wanted);
    for (int axis = 0; axis < 3; ++axis) {
        float &at = chase->view.position[axis];
        at += (wanted[axis] - at) * kChaseGlide;
    }
    CAMERA_CONTROL control{};
    get_camera_control(&control, hole.chase_camera);
    control.flags = CAMERA_LOOK_AT_POINT;
    std::memcpy(control.look_at_point, cup, sizeof control.look_at_point);
    set_camera_control(&control, hole.chase_camera);
    set_current_camera(hole.chase_camera);
}

// The ball is in: said at once, the word for the score a moment later.
void announce_drop(int seat) {
    const PLAYER *record = player(seat);
    hole.holed_order[seat] = ++hole.holed_count;
    hole.dropped_at = xv_tick_count();
    hole.score_word = result_word(record->strokes, game()->par, true);
    if (seats_in_play() > 1) {
        hole.score_word = std::string(session().seats[seat].name) + ": " + hole.score_word;
    }
    say_notice(ui::say("ItsIn"));
    hole.phase = Phase::DROPPED;
    set_camera_trigger_switching(0);
    gen_history("round: player %d holed, stroke %d\n", seat + 1, record->strokes);
}

// What the rules tell while the balls roll: a ball out of bounds is said,
// a drop waits for its moment. True when a drop is waiting.
bool take(const HOLE_EVENTS &events) {
    for (int i = 0; i < events.count; ++i) {
        const HOLE_EVENT &event = events.list[i];
        if (event.kind == HOLE_OUT_OF_BOUNDS) {
            say_notice(ui::say("OutOfBounds"));
        } else if (event.kind == HOLE_DROPPED && hole.drops_waiting < MOST_SEATS) {
            hole.drops_to_tell[hole.drops_waiting++] = event.seat;
        }
    }
    return hole.drops_waiting > 0;
}

// The first drop waiting has its moment.
void announce_next_drop() {
    const int seat = hole.drops_to_tell[0];
    std::copy(hole.drops_to_tell + 1, hole.drops_to_tell + hole.drops_waiting, hole.drops_to_tell);
    hole.drops_waiting--;
    announce_drop(seat);
}

// The stroke is over for the rules: a ball at the cap is picked up, then
// the next turn, or the hole's result.
void after_stroke() {
    const HOLE_EVENTS events = hole_end_stroke(hole.turn);
    for (int i = 0; i < events.count; ++i) {
        const HOLE_EVENT &event = events.list[i];
        switch (event.kind) {
        case HOLE_PICKED_UP:
            say_notice(ui::say("PickedUp"));
            break;
        case HOLE_TURN:
            start_turn(event.seat);
            return;
        case HOLE_OVER:
            hole.phase = Phase::DONE;
            show_guide(false);
            // A person has played a hole: the first-time hint has been read.
            for (int seat = 0; seat < seats_in_play(); ++seat) {
                controls().taught = controls().taught || !computer(seat);
            }
            play_go(Screen::RESULT);
            return;
        default:
            break;
        }
    }
}

// The moment after a drop: the word comes, the camera looks at the cup,
// and once it is over (and the game's own pause for the cup's sound) the
// next turn.
void hold_the_moment() {
    replay_record(hole.turn);
    place_cup_camera();
    const uint32_t since = xv_tick_count() - hole.dropped_at;
    if (since >= kWordAfterMs) {
        hole.notice.detail = hole.score_word;
    }
    hole.notice.steps_left = std::max(hole.notice.steps_left, 1);
    if (since >= kDropMomentMs && hole_cup_pause_over()) {
        if (take(hole_roll())) {
            announce_next_drop(); // another ball fell meanwhile (a lift carried it): its moment
            return;
        }
        hole.notice.steps_left = 0;
        after_stroke();
    }
}

// A ball that cannot come to rest (caught between a blade and a wall)
// ends its stroke where it is after half a minute.
void roll() {
    replay_record(hole.turn);
    const HOLE_EVENTS events = hole_roll();
    if (take(events)) {
        announce_next_drop();
        return;
    }
    if (events.settled) {
        after_stroke();
    }
}

} // namespace

bool round_aiming() {
    return hole.phase == Phase::AIM || hole.phase == Phase::CHARGE || hole.phase == Phase::THINK ||
           hole.phase == Phase::SHOW;
}

bool round_thinking() {
    return hole.phase == Phase::THINK;
}

bool round_in_flyby() {
    return hole.phase == Phase::FLYBY;
}

int round_turn() {
    return hole.turn;
}

float round_power() {
    return hole.phase == Phase::CHARGE || hole.phase == Phase::SHOW ? hole.power : 0.0f;
}

float round_last_power(int seat) {
    return seat >= 0 && seat < MOST_SEATS ? hole.last_power[seat] : 0.0f;
}

float meter_power(float held_ms) {
    const float cycle = std::fmod(std::max(held_ms, 0.0f), 2.0f * kFullHoldMs);
    const float rise = (cycle <= kFullHoldMs ? cycle : 2.0f * kFullHoldMs - cycle) / kFullHoldMs;
    return rise * rise;
}

const RoundNotice &round_notice() {
    return hole.notice;
}

bool round_dropping() {
    return hole.phase == Phase::DROPPED;
}

int round_holed_order(int seat) {
    return seat >= 0 && seat < MOST_SEATS ? hole.holed_order[seat] : 0;
}

bool round_first_hint() {
    return !controls().taught && round_aiming() && !computer(hole.turn);
}

const AimGuide *round_guide() {
    return hole.guide_shown && round_aiming() ? &hole.guide : nullptr;
}

void round_enter() {
    round_leave();
    play_take_keys();
    add_chase_camera();
    replay_clear();
    hole.putt = xv_snd_load_effect(kPuttSound);
    flyby_start();
    hole.phase = Phase::FLYBY;
}

void round_leave() {
    if (hole.putt) {
        xv_snd_stop_effect(hole.putt);
        xv_snd_release_effect(hole.putt);
    }
    hole = Hole{};
}

void round_resume() {
    play_take_keys(); // the options may have changed them
}

void round_step(float fraction) {
    if (ui::pause_pressed()) {
        play_go(Screen::PAUSE);
        return;
    }
    game_step(fraction);
    if (hole.notice.steps_left > 0) {
        hole.notice.steps_left--;
    }
    switch (hole.phase) {
    case Phase::FLYBY:
        // Nobody watching, the fly-by still runs its course: the computer
        // learns meanwhile how the hole's objects move.
        if (ui::any_pressed() && !session().unattended && flyby_running()) {
            flyby_skip();
            ui::swallow_presses(); // the key that skips is no stroke's
        }
        if (!flyby_running() || game()->state == GAME_APPROACHED ||
            ++hole.flyby_steps >= kLongestFlyby) {
            end_flyby();
        }
        return;
    case Phase::THINK:
        think();
        place_chase_camera(true);
        return;
    case Phase::SHOW:
        show_computer_stroke();
        if (hole.phase == Phase::SHOW) {
            show_guide(true);
        }
        place_chase_camera(true);
        return;
    case Phase::AIM:
        if (ui::pressed(DIK_R) && replay_steps(hole.last_struck) > 1) {
            play_replay(hole.last_struck);
            return;
        }
        [[fallthrough]];
    case Phase::CHARGE:
        aim(fraction);
        charge();
        if (hole.phase != Phase::ROLLING) {
            show_guide(true);
        }
        place_chase_camera(true);
        return;
    case Phase::ROLLING:
        turn_chase_after_ball();
        place_chase_camera(true);
        roll();
        return;
    case Phase::DROPPED:
        hold_the_moment();
        return;
    case Phase::DONE:
        return;
    }
}

void round_draw() {
    hud_draw();
}
