// The hole's result in words, a player a line ("Birdie!", "Par", "Picked
// up"), with applause for a birdie or better and a mark by a new record
// (or word that it could not be saved);
// any key or four seconds go on to the scorecard.
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

} // namespace

void result_enter() {
    result_leave();
    const GAME *g = game();
    const int seats = seats_in_play();
    bool applause = false;
    for (int seat = 0; seat < seats; ++seat) {
        const PLAYER *record = player(seat);
        const bool holed = record->hole_state == BALL_HOLED;
        const int strokes = record->strokes;
        Session &s = session();
        s.totals[seat] += strokes;
        std::string line = result_word(strokes, g->par, holed);
        if (seats > 1) {
            line = std::string(s.seats[seat].name) + ": " + line;
        }
        const std::string said =
            holed ? offered_text(offer_hole_score(g->level, strokes, s.seats[seat].name)) : "";
        if (!said.empty() && seats > 1) {
            line += "  " + said;
        } else if (!said.empty()) {
            result.record = said;
        }
        applause = applause || (holed && strokes < g->par);
        result.lines.push_back(line);
    }
    session().course_par += g->par;
    if (g->level >= 1 && g->level <= LAST_HOLE && seats > 0) {
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
    const int line = ui::line_height(alone) + 10;
    const int height = line * static_cast<int>(result.lines.size()) + 24;
    int width = 0;
    for (const std::string &text : result.lines) {
        width = std::max(width, ui::text_width(text, alone));
    }
    const int top = ui::screen_height() / 3;
    ui::panel(centre - width / 2 - 30, top - 12, width + 60, height, ui::kPanel);
    for (size_t i = 0; i < result.lines.size(); ++i) {
        ui::text(result.lines[i], centre, top + line * static_cast<int>(i), ui::CENTRE, alone);
    }
    if (!result.record.empty()) {
        ui::banner(result.record, top + height + 8, ui::kHighlight);
    }
}
