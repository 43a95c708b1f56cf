// What the play layer's screens share: which screen shows, the session of
// players, the controls, and each screen's three operations (entered, a
// step, a drawing). The state machine in play.cpp moves between them.
#pragma once

#include "course.h"
#include "game.h"
#include "hole_rules.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum class Screen {
    SLIDESHOW, // the shipped flow: the play layer waits for a key
    TITLE,
    SETUP,
    CHOOSER,
    OPTIONS,
    ROUND,     // a hole in play
    RESULT,    // the hole's result in words
    SCORECARD, // between holes
    FINAL,     // the course's final standings
    PAUSE,
    ATTRACT,
    REPLAY, // a stroke shown again, over a hole or its scorecard; the last (play.cpp names them)
};

// A name is typed up to NAME_LENGTH characters; a default one in another
// language ("プレイヤー 1") takes up to four bytes a character.
enum { MOST_SEATS = 4, NAME_LENGTH = 15, NAME_BYTES = 4 * NAME_LENGTH };

// A player of the session: a name, and a person or the computer.
struct Seat {
    char name[NAME_BYTES + 1];
    int computer; // 0 a person; else the planner's level: 1 easy, 2 medium, 3 hard
};

struct Session {
    int players = 1;
    Seat seats[MOST_SEATS] = {};
    bool single_hole = false;
    int hole = 1;      // the single hole played
    uint32_t seed = 1; // the computers' hands, chosen when the session starts
    // The first player's hole by hole, as scored: strokes (0: not yet), par,
    // and whether the ball dropped.
    int hole_strokes[MAX_COURSE_HOLES] = {};
    int hole_pars[MAX_COURSE_HOLES] = {};
    bool hole_holed[MAX_COURSE_HOLES] = {};
    bool unattended = false; // nobody watches (--bot-course): no fly-by, no waits between holes
};

// The name of the hole of the course played in the current language, and
// its par.
std::string hole_name(int hole);
int hole_par(int hole);
// The course played's name in the current language.
std::string played_course_name();
// The result of a hole in words: "Birdie!", "Par", ...
std::string result_word(int strokes, int par, bool holed);

// What a player chooses in the options: the keys, as scan codes, and
// whether the aim guide runs on to the first bounce; and whether the
// first-time hint (the mouse, the pad) has been given.
struct Controls {
    int aim_left, aim_right, strike, camera;
    bool guide_to_bounce = false;
    bool taught = false;
};

Session &session();
// The seats playing the hole: the game's players that have their records.
int seats_in_play();
// The planner's level of the computer at that seat (0: a person). A single
// hole is a person's practice, whoever sits first in New Game.
int computer_level(int seat);
Controls &controls();

// Moves to another screen: its enter operation runs now.
void play_go(Screen screen);
// Back from the pause or the options to the screen they were opened over,
// as it was (its enter operation does not run again).
void play_return();
Screen play_screen();
// The screen the pause and options screens return to.
Screen play_previous();
// The level's players' key maps as the host wants them, after every load:
// Escape is the host's, the controls chosen in the options are bound.
void play_take_keys();
// Ends the program in order (the shut-down sequence).
void play_quit();
// Writes the players, the controls and the course chosen to the settings.
void play_keep_settings();

// Starts the session's course, or its single hole.
void play_start_session();

void title_enter();
void title_step(float fraction);
void title_draw();

void setup_enter();
void setup_step(float fraction);
void setup_draw();

void chooser_enter();
void chooser_step(float fraction);
void chooser_draw();
void chooser_leave();

void options_enter();
void options_step(float fraction);
void options_draw();

// The course behind the title and its menus: hole 1 with its music, seen
// from a camera riding its fly-by trail round and round.
void backdrop_show();
// One step of it: the level steps, the camera rides on.
void backdrop_step(float fraction);

// A hole in play: round.cpp runs its fly-by and turns, hud.cpp draws over it.
void round_enter();
void round_step(float fraction);
void round_draw();
void round_leave();  // what the round added to the level goes
void round_resume(); // back from the pause
void hud_draw();
bool round_in_flyby();
// A player's turn to strike (a person aiming, a computer thinking or aiming).
bool round_aiming();
bool round_thinking();
// The seat whose stroke it is.
int round_turn();
// The power meter, 0 to 1, while it is charged.
float round_power();
// The power of the seat's last stroke on this hole, 0 before its first.
float round_last_power(int seat);
// The power a hold of the strike key gives, by the time held on the
// meter's clock (ms): it rises slowly at first, as the square of the time,
// to a full stroke, then falls back the same way while still held.
float meter_power(float held_ms);
// A notice the HUD shows for a while (out of bounds, a ball lifted, a ball
// in the cup), with a second line under it.
struct RoundNotice {
    std::string text, detail;
    int steps_left = 0;
};
const RoundNotice &round_notice();
// A ball has dropped: the moment before the next turn.
bool round_dropping();
// In what order the seat's ball dropped on this hole: 1 the first, 0 not
// in the cup.
int round_holed_order(int seat);
// Whether the person whose turn it is may be told of the mouse and the pad.
bool round_first_hint();
// The aim guide of the turn, while the player aims (null otherwise).
struct AimGuide;
const AimGuide *round_guide();

// The aim guide: points on the ground along the aim from the ball (every
// tenth of a unit), the first wall met (its place, its face's way, a mark
// across), and, asked for, the way back off it.
struct AimGuide {
    std::vector<std::array<float, 3>> points;
    bool meets_wall = false;
    float wall[3] = {};
    float wall_normal[3] = {};
    std::vector<std::array<float, 3>> wall_mark;
    std::vector<std::array<float, 3>> bounce;
};
// Eight balls long or to the first wall; to_first_bounce: to the first
// wall however far, and a little way back off it.
AimGuide aim_guide(const float ball[3], float angle, bool to_first_bounce);
// The height of the course's ground (what the balls roll on) under (x, z)
// between two heights, from above; false when there is none.
bool ground_height(float x, float z, float from_y, float to_y, float *height);
void guide_draw(const AimGuide &guide);
// Where a point of the course shows on the screen through the world's
// camera, and how many pixels a unit there takes; false behind the camera.
bool screen_place(const float point[3], float *x, float *y, float *pixels_per_unit);

void result_enter();
void result_step(float fraction);
void result_draw();
void result_leave();
// What goes on from the scorecard and the standings, said for the device
// the player last used: Enter, a click, the pad's A.
std::string go_on_hint();
void scorecard_enter();
void scorecard_step(float fraction);
void scorecard_draw();
void final_enter();
void final_step(float fraction);
void final_draw();

void pause_enter();
void pause_step(float fraction);
void pause_draw();

void attract_enter();
void attract_step(float fraction);
void attract_draw();
void attract_leave();
bool attract_running();

// The instant replay: each seat's last stroke, a frame a level step.
struct ReplayFrame {
    float position[3];
    float rotation[3];
};
// Forgets every seat's stroke (a new hole).
void replay_clear();
// A stroke starts: the seat's recording starts again from the ball's place.
void replay_begin(int seat);
// One level step of the seat's ball as it rolls.
void replay_record(int seat);
int replay_steps(int seat);
const ReplayFrame *replay_frames(int seat);
int replay_most_steps();
// Shows the seat's last stroke again, over the screen now showing.
void play_replay(int seat);
void replay_enter();
void replay_step(float fraction);
void replay_draw();

// Best scores, kept in the settings file's section "Scores".
struct Record {
    int strokes = 0; // 0: none yet
    std::string name, date;
};
Record best_hole(int hole);
Record best_course();
// What became of a score offered as a record.
enum class Offered {
    NOT_BETTER, // the record stands
    KEPT,       // the score is the new record
    NOT_KEPT,   // it beats the record but could not be written (reported)
};
// Keeps the score when it beats the record (or there is none).
Offered offer_hole_score(int hole, int strokes, const char *name);
Offered offer_course_score(int strokes, const char *name);
// What the player is told of it: "New record!", that it could not be
// saved, or nothing.
std::string offered_text(Offered offered);
