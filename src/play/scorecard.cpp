// The scorecard between holes: a row a player with the strokes of each
// hole from the score table, the par row, and each player's total through
// total_score; under it the hole's best score. Enter (or a click) goes on:
// the next hole through next_level, after the ninth the final standings,
// after a single hole back to the title.
#include "play_state.h"
#include "ui.h"

#include "game.h"
#include "players.h"

#include <algorithm>

namespace {

constexpr int kNameWidth = 150;
constexpr int kHoleWidth = 42;
constexpr int kTotalWidth = 70;

// The columns shown: the course's nine, or the one hole played.
int first_column() {
    return session().single_hole ? game()->level - 1 : 0;
}

int last_column() {
    return session().single_hole ? game()->level - 1 : LAST_HOLE - 1;
}

void draw_row(int y, const std::string &name, const int *cells, const std::string &total,
              bool highlight) {
    const int columns = last_column() - first_column() + 1;
    const int width = kNameWidth + columns * kHoleWidth + kTotalWidth;
    const int left = ui::screen_width() / 2 - width / 2;
    if (highlight) {
        ui::panel(left - 4, y - 2, width + 8, ui::line_height() + 4, ui::kHighlight);
    }
    ui::text(name, left, y);
    for (int column = first_column(); column <= last_column(); ++column) {
        const int x = left + kNameWidth + (column - first_column()) * kHoleWidth + kHoleWidth / 2;
        if (cells[column] > 0) {
            ui::text(std::to_string(cells[column]), x, y, ui::CENTRE);
        }
    }
    ui::text(total, left + width - 8, y, ui::RIGHT);
}

} // namespace

void scorecard_enter() {}

// The best stroke of the hole: the one that dropped for the fewest
// strokes (the first such player's), else the last one struck.
int best_stroke_seat() {
    int best = -1;
    for (int seat = 0; seat < seats_in_play(); ++seat) {
        const PLAYER *record = player(seat);
        if (record->hole_state == BALL_HOLED && replay_steps(seat) > 1 &&
            (best < 0 || record->strokes < player(best)->strokes)) {
            best = seat;
        }
    }
    return best;
}

void scorecard_step(float fraction) {
    game_step(fraction);
    if (ui::pressed(DIK_R) && best_stroke_seat() >= 0) {
        play_replay(best_stroke_seat());
        return;
    }
    if (!ui::enter() && !ui::mouse_clicked() && !ui::pressed(DIK_SPACE) && !session().unattended) {
        return;
    }
    GAME *g = game();
    if (session().single_hole) {
        play_go(Screen::TITLE);
        return;
    }
    round_leave();
    next_level();
    play_go(g->state == GAME_OVER ? Screen::FINAL : Screen::ROUND);
}

void scorecard_draw() {
    const GAME *g = game();
    const int seats = seats_in_play();
    const int line = ui::line_height() + 8;
    const int columns = last_column() - first_column() + 1;
    const int width = kNameWidth + columns * kHoleWidth + kTotalWidth;
    const int top = ui::screen_height() / 5;
    const int left = ui::screen_width() / 2 - width / 2;
    ui::text(ui::say("Scorecard"), ui::screen_width() / 2, top - ui::line_height(true) - 16,
             ui::CENTRE, true);
    ui::panel(left - 16, top - 10, width + 32, line * (seats + 3) + 20, ui::kPanel);
    int holes[SCORE_HOLES] = {};
    int pars[SCORE_HOLES] = {};
    int par_total = 0;
    for (int column = first_column(); column <= last_column(); ++column) {
        holes[column] = column + 1;
        pars[column] = hole_par(column + 1);
        par_total += column < g->level ? pars[column] : 0;
    }
    draw_row(top, "", holes, ui::say("Total"), false);
    draw_row(top + line, ui::say("Par", ""), pars, std::to_string(par_total), false);
    for (int seat = 0; seat < seats; ++seat) {
        draw_row(top + line * (seat + 2), session().seats[seat].name, g->scores[seat],
                 std::to_string(total_score(seat)), false);
    }
    if (best_stroke_seat() >= 0) {
        ui::banner(ui::say("ReplayBest"), top + line * (seats + 3) + 24);
    }
    const Record best = best_hole(g->level);
    if (best.strokes > 0) {
        const std::string text = ui::say("Best", std::to_string(best.strokes) + " (" + best.name +
                                                     ", " + best.date + ")");
        ui::text(text, ui::screen_width() / 2, top + line * (seats + 2) + 4, ui::CENTRE);
    }
}
