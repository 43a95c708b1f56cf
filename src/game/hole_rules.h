// The rules of a hole for one to four seats, and the course's score card:
// the seam between the game and whoever hosts it. A host starts a course
// or a single hole, strikes for the seat whose turn it is, and steps; the
// rules say what happened as values (a ball dropped, a ball out of bounds
// and back a stroke dearer, a ball picked up at the cap, the turn passed,
// the hole over) and keep the card. The host shows what they say and
// writes none of the game's records.
//
// A stroke: hole_strike, then hole_roll each step while the balls roll,
// until it says they have settled (or a drop holds the host a moment), then
// hole_end_stroke, which passes the turn or ends the hole.
#pragma once

#include "course.h"
#include "game.h"

#include <cstdint>

enum : uint8_t {
    HOLE_DROPPED,       // the seat's ball is in the cup, for its strokes
    HOLE_OUT_OF_BOUNDS, // the seat's ball left the course: back where it was struck, a stroke added
    HOLE_PICKED_UP,     // the seat's ball reached the cap and was lifted
    HOLE_TURN,          // the seat plays next
    HOLE_OVER,          // no ball is left in play: the card has the hole
};

struct HOLE_EVENT {
    uint8_t kind;
    int seat;
    int strokes; // the seat's on this hole, after the event
};

struct HOLE_EVENTS {
    int count = 0;
    HOLE_EVENT list[2 * MAX_LEVEL_PLAYERS + 2];
    bool settled = false; // hole_roll: every ball rests, or gave up rolling
    void add(uint8_t kind, int seat, int strokes);
};

// ---- the course and its holes -----------------------------------------------------------

// A course from its first hole for that many seats (1 to 4), loaded; the
// card is emptied.
void hole_start_course(int seats);
// One hole of the course played alone, loaded, with the wind; the card is
// emptied.
void hole_start_single(int hole);
// After a course's hole: the next one loads; false when the course is over.
bool hole_next();
// A hole shown behind the menus: loaded for one ball nobody plays, its
// scenery moving. Nothing is done when it is shown already.
void hole_show_backdrop(int hole);

// ---- a hole in play ---------------------------------------------------------------------

// The seats with a ball on the hole.
int hole_seats();
// The fly-by is over: the hole is played from the first seat.
void hole_begin();
// The stroke at which a ball is picked up: par + 3.
int hole_cap();
// The seat's aim, as its ball and the guide show it.
void hole_aim(int seat, float angle);
// The seat's ball shown at a place and turn of a stroke played again (a
// replay), or put back where it rests; hidden when not shown. The rules
// are not told: a replay changes nothing of the hole.
void hole_show_ball(int seat, const float position[3], const float rotation[3], bool shown);
// The seat strikes its ball at that angle (degrees; 0 along -z) and power
// (0 to 1); false when the seat has no ball in play.
bool hole_strike(int seat, float angle, float power);
// A step of the balls rolling after a stroke (after the game's step):
// the balls that dropped since the last (each told once) and those that
// left the course; settled once every ball has rested a third of a second
// (or rolled for half a minute) and the game's pause after a drop is over.
HOLE_EVENTS hole_roll();
// The game's pause for the cup's sound after a drop is over (the state of
// play comes back).
bool hole_cup_pause_over();
// The stroke of that seat is over: a ball at the cap is picked up, then the
// next seat in play has the turn, or the hole is over and goes on the card.
HOLE_EVENTS hole_end_stroke(int seat);

// ---- the card ---------------------------------------------------------------------------

// The seat's strokes on hole (from 1) of the card, 0 when not played.
int hole_card(int seat, int hole);
// The seat's strokes through the hole in play: the card's holes before it,
// and this one's so far.
int hole_total(int seat);
// The par of the holes played through the one in play.
int hole_course_par();
