// The hole's result in words, a player a line ("Birdie!", "Par", "Picked
// up"), with applause for a birdie or better and a mark by a new record
// (or word that it could not be saved); any key or four seconds go on to
// the scorecard. The hole's record is offered to the best score of the
// hole alone (the first in the cup among equals), and kept when it beats
// the one stored: a tie leaves the older.
#include "play_state.h"
#include "ui.h"

#include "game.h"
#include "players.h"

#include "xv.h"

#include <algorithm>
#include <vector>

namespace {

constexpr char kApplause[] = "snd\\applause.wav";
constexpr float kShownSteps = 120.0f; // four seconds

struct Result {
    std::vector<std::string> lines;
    std::string record; // a player alone: a new record is said under the word
    float steps = 0.0f;
    XV_SND_EFFECT *applause = nullptr;
};
Result result;

void cheer() {
    result.applause = xv_snd_load_effect(kApplause);
    if (result.applause) {
        xv_snd_play_effect(result.applause, 0, 0);
    }
}

// The seat whose score the hole's record is offered to: the fewest
// strokes of a ball in the cup, the first to drop among equals; -1 when no
// ball dropped.
int best_of_hole() {
    int best = -1;
    for (int seat = 0; seat < seats_in_play(); ++seat) {
        const PLAYER *record = player(seat);
        if (record->hole_state != BALL_HOLED) {
            continue;
        }
        const PLAYER *leader = best >= 0 ? player(best) : nullptr;
        if (!leader || record->strokes < leader->strokes ||
            (record->strokes == leader->strokes &&
             round_holed_order(seat) < round_holed_order(best))) {
            best = seat;
        }
    }
    return best;
}

} // namespace

void result_enter() {
    result_leave();
    const GAME *g = game();
    const int seats = seats_in_play();
    const int best = best_of_hole();
    bool applause = false;
    for (int seat = 0; seat < seats; ++seat) {
        const PLAYER *record = player(seat);
        const bool holed = record->hole_state == BALL_HOLED;
        const int strokes = record->strokes;
        Session &s = session();
        std::string line = result_word(strokes, g->par, holed);
        if (seats > 1) {
            line = std::string(s.seats[seat].name) + ": " + line;
        }
        const std::string said =
            seat == best ? offered_text(offer_hole_score(g->level, strokes, s.seats[seat].name))
                         : "";
        if (!said.empty() && seats > 1) {
            line += "  " + said;
        } else if (!said.empty()) {
            result.record = said;
        }
        applause = applause || (holed && strokes < g->par);
        result.lines.push_back(line);
    }
    if (g->level >= 1 && g->level <= MAX_COURSE_HOLES && seats > 0) {
        Session &s = session();
        s.hole_strokes[g->level - 1] = player(0)->strokes;
        s.hole_pars[g->level - 1] = g->par;
        s.hole_holed[g->level - 1] = player(0)->hole_state == BALL_HOLED;
    }
    if (applause) {
        cheer();
    }
}

void result_leave() {
    if (result.applause) {
        xv_snd_stop_effect(result.applause);
        xv_snd_release_effect(result.applause);
    }
    result = Result{};
}

void result_step(float fraction) {
    game_step(fraction); // the pinwheel turns on, the balls settle
    result.steps += fraction;
    if (ui::any_pressed() || result.steps >= kShownSteps || session().unattended) {
        play_go(Screen::SCORECARD);
    }
}

void result_draw() {
    const int centre = ui::screen_width() / 2;
    const bool alone = result.lines.size() == 1;
    const int room = ui::screen_width() - 2 * ui::kMargin - 60;
    std::vector<std::string> lines;
    for (const std::string &text : result.lines) {
        for (const std::string &line : ui::wrap(text, room, alone)) {
            lines.push_back(line);
        }
    }
    const int line = ui::line_height(alone) + 10;
    const int height = line * static_cast<int>(lines.size()) + 14;
    int width = 0;
    for (const std::string &text : lines) {
        width = std::max(width, ui::text_width(text, alone));
    }
    const int top = std::max(ui::screen_top() + ui::kMargin + 12, ui::screen_height() / 3);
    ui::panel(centre - width / 2 - 30, top - 12, width + 60, height, ui::kPanel);
    for (size_t i = 0; i < lines.size(); ++i) {
        ui::text(lines[i], centre, top + line * static_cast<int>(i), ui::CENTRE, alone);
    }
    if (!result.record.empty()) {
        ui::banner(result.record, top + height + 8, ui::kHighlight);
    }
}
