// The scorecard between holes: a row a player with the strokes of each
// hole from the rules' card, the par row, and each player's total;
// under them the hole's best score, and at the bottom what goes on. A
// course of more than nine holes shows the nine of the hole just played
// (the front or the back nine). Enter (or a click, or the pad's A) goes
// on: the next hole through next_level, after the last the final
// standings, after a single hole back to the holes to choose from.
#include "play_state.h"
#include "ui.h"

#include "game.h"
#include "players.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kHoleWidth = 42; // at most; narrower on a small screen
constexpr int kShownHoles = 9;

// The columns shown: the course's nine holes of the one just played, or
// that one alone on a single hole.
int first_column() {
    const int played = std::max(game()->level - 1, 0);
    return session().single_hole ? played : played / kShownHoles * kShownHoles;
}

int last_column() {
    const int course_end = std::max(course().hole_count - 1, first_column());
    return session().single_hole ? first_column()
                                 : std::min(first_column() + kShownHoles - 1, course_end);
}

// A seat's row of the card: its strokes hole by hole.
std::array<int, MAX_COURSE_HOLES> card_row(int seat) {
    std::array<int, MAX_COURSE_HOLES> row{};
    for (int hole = 1; hole <= MAX_COURSE_HOLES; ++hole) {
        row[hole - 1] = hole_card(seat, hole);
    }
    return row;
}

// The card's columns: the names, a hole each, the total.
struct Columns {
    int left, name, hole, total;
    int width() const { return name + hole * (last_column() - first_column() + 1) + total; }
};

Columns measure_columns() {
    Columns c{};
    c.name = ui::text_width(ui::say("Par", "")) + 16;
    for (int seat = 0; seat < seats_in_play(); ++seat) {
        c.name = std::max(c.name, ui::text_width(session().seats[seat].name) + 16);
    }
    c.total = std::max(ui::text_width(ui::say("Total")), ui::text_width("888")) + 16;
    const int columns = last_column() - first_column() + 1;
    const int room = ui::screen_width() - 2 * ui::kMargin - 32;
    c.hole = std::clamp((room - c.name - c.total) / columns, ui::text_width("88") + 6, kHoleWidth);
    c.left = ui::screen_width() / 2 - c.width() / 2;
    return c;
}

void draw_row(const Columns &c, int y, const std::string &name, const int *cells,
              const std::string &total) {
    ui::text(name, c.left, y);
    for (int column = first_column(); column <= last_column(); ++column) {
        const int x = c.left + c.name + (column - first_column()) * c.hole + c.hole / 2;
        if (cells[column] > 0) {
            ui::text(std::to_string(cells[column]), x, y, ui::CENTRE);
        }
    }
    ui::text(total, c.left + c.width() - 8, y, ui::RIGHT);
}

} // namespace

std::string go_on_hint() {
    switch (ui::last_device()) {
    case ui::Device::MOUSE:
        return ui::say("GoOnMouse");
    case ui::Device::PAD:
        return ui::say("GoOnPad");
    case ui::Device::KEYBOARD:
        break;
    }
    return ui::say("GoOnKeys", ui::key_name(DIK_RETURN));
}

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
    if (session().single_hole) {
        play_go(Screen::CHOOSER); // another hole, perhaps
        return;
    }
    round_leave();
    play_go(hole_next() ? Screen::ROUND : Screen::FINAL);
}

void scorecard_draw() {
    const GAME *g = game();
    const int seats = seats_in_play();
    const int line = ui::line_height() + 8;
    const Columns c = measure_columns();
    const int heading = std::max(ui::screen_top() + ui::kMargin,
                                 ui::screen_height() / 5 - ui::line_height(true) - 16);
    ui::text(ui::say("Scorecard"), ui::screen_width() / 2, heading, ui::CENTRE, true);
    const int top = heading + ui::line_height(true) + 16;
    const Record best = best_hole(g->level);
    std::string best_text;
    if (best.strokes > 0) {
        best_text = ui::say("Best", std::to_string(best.strokes) + " (" + best.name + ", " +
                                        best.date + ")");
    }
    const int rows = seats + 2 + (best_text.empty() ? 0 : 1);
    const int width = std::max(c.width(), ui::text_width(best_text));
    ui::panel(ui::screen_width() / 2 - width / 2 - 16, top - 10, width + 32, line * rows + 12,
              ui::kPanel);
    int holes[MAX_COURSE_HOLES] = {};
    int pars[MAX_COURSE_HOLES] = {};
    for (int column = first_column(); column <= last_column(); ++column) {
        holes[column] = column + 1;
        pars[column] = hole_par(column + 1);
    }
    int par_total = 0; // of the holes played, the front nine's too
    for (int hole = session().single_hole ? g->level : 1; hole <= g->level; ++hole) {
        par_total += hole_par(hole);
    }
    draw_row(c, top, "", holes, ui::say("Total"));
    draw_row(c, top + line, ui::say("Par", ""), pars, std::to_string(par_total));
    for (int seat = 0; seat < seats; ++seat) {
        draw_row(c, top + line * (seat + 2), session().seats[seat].name, card_row(seat).data(),
                 std::to_string(hole_total(seat)));
    }
    if (!best_text.empty()) {
        ui::text(best_text, ui::screen_width() / 2, top + line * (seats + 2), ui::CENTRE);
    }
    std::string hint = go_on_hint();
    if (best_stroke_seat() >= 0) {
        hint = ui::say("ReplayBest") + "  ·  " + hint;
    }
    ui::banner(hint, ui::screen_height() - ui::kMargin - ui::banner_height(hint) + 6);
}
