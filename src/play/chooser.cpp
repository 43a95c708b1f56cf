// Single Hole: the course's holes as their mini screens, three by three,
// nine to a page, with the course's name over them and the chosen one's
// name, par and best score under; the arrows move (on to the next page
// past the last row), Enter plays it (one player, with the wind), Escape
// goes back.
#include "play_state.h"
#include "ui.h"

#include "game.h"

#include "xv.h"

#include <algorithm>
#include <string>

namespace {

constexpr int kColumns = 3;
constexpr int kRows = 3;
constexpr int kPageHoles = kColumns * kRows;

struct Chooser {
    XV_BITMAP minis[MAX_COURSE_HOLES] = {};
    int hole = 1;
};
Chooser chooser;

int holes() {
    return course().hole_count;
}

// The mini screens of the course's holes, as its card names them.
void load_minis() {
    for (int hole = 1; hole <= holes(); ++hole) {
        XV_BITMAP &mini = chooser.minis[hole - 1];
        const COURSE_HOLE *card = course_hole(hole);
        if (mini.pixels || !card || card->mini_screen.empty()) {
            continue;
        }
        if (xv_bit_load(&mini, card->mini_screen.c_str(), XV_BIT_WITH_PALETTE)) {
            xv_bit_convert(&mini, XV_BIT_BPP32);
        }
    }
}

void free_minis() {
    for (XV_BITMAP &mini : chooser.minis) {
        xv_bit_free(&mini);
    }
}

void move(int by) {
    if (holes() > 0) {
        chooser.hole = ((chooser.hole - 1 + by) % holes() + holes()) % holes() + 1;
    }
}

} // namespace

void chooser_enter() {
    backdrop_show();
    load_minis();
    chooser.hole = session().hole >= 1 && session().hole <= holes() ? session().hole : 1;
}

void chooser_leave() {
    free_minis();
}

void chooser_step(float fraction) {
    backdrop_step(fraction);
    if (ui::escape()) {
        play_go(Screen::TITLE);
        return;
    }
    if (ui::left()) {
        move(-1);
    }
    if (ui::right()) {
        move(1);
    }
    if (ui::up()) {
        move(-kColumns);
    }
    if (ui::down()) {
        move(kColumns);
    }
    if (ui::enter() && holes() > 0) {
        session().single_hole = true;
        session().hole = chooser.hole;
        play_start_session();
    }
}

// The page's pictures as large as the screen has room for, under the
// heading and the course's name and over the chosen hole's name, par and
// best score.
void chooser_draw() {
    const int centre = ui::screen_width() / 2;
    const int heading = ui::screen_top() + ui::kMargin;
    ui::text(ui::say("ChooseHole"), centre, heading, ui::CENTRE, true);
    const int first = (chooser.hole - 1) / kPageHoles * kPageHoles + 1;
    const int last = std::min(first + kPageHoles - 1, holes());
    std::string course_line = played_course_name();
    if (holes() > kPageHoles) {
        course_line += "  (" + std::to_string(first) + "-" + std::to_string(last) + " / " +
                       std::to_string(holes()) + ")";
    }
    const int course_top = heading + ui::line_height(true) + 4;
    ui::text(course_line, centre, course_top, ui::CENTRE);
    const int top = course_top + ui::line_height() + 12;
    const int detail_height = ui::line_height() * 2 + 16;
    const int room_down = ui::screen_height() - ui::kMargin - detail_height - 8 - 16 - top;
    const int room_across = ui::screen_width() - 2 * ui::kMargin - 16;
    const int cell_height = std::min({136, room_down / kRows, room_across / kColumns * 136 / 176});
    const int cell_width = cell_height * 176 / 136;
    const int left = centre - cell_width * kColumns / 2;
    ui::panel(left - 8, top - 8, cell_width * kColumns + 16, cell_height * kRows + 16, ui::kPanel);
    for (int hole = first; hole <= last; ++hole) {
        const int x = left + (hole - first) % kColumns * cell_width;
        const int y = top + (hole - first) / kColumns * cell_height;
        if (hole == chooser.hole) {
            ui::panel(x, y, cell_width, cell_height, ui::kHighlight);
        }
        ui::picture(&chooser.minis[hole - 1], x + 8, y + 8, cell_width - 16, cell_height - 16);
        ui::text(std::to_string(hole), x + 14, y + 10);
    }
    const Record best = best_hole(chooser.hole);
    std::string line = ui::say("HoleNumber", chooser.hole) + "  " + hole_name(chooser.hole);
    std::string detail = ui::say("Par", hole_par(chooser.hole));
    if (best.strokes > 0) {
        detail += "   " + ui::say("Best", std::to_string(best.strokes) + " (" + best.name + ")");
    }
    const int y = top + cell_height * kRows + 16;
    const int width = std::max(ui::text_width(line), ui::text_width(detail)) + 32;
    ui::panel(centre - width / 2, y, width, detail_height, ui::kPanel);
    ui::text(line, centre, y + 6, ui::CENTRE);
    ui::text(detail, centre, y + 8 + ui::line_height(), ui::CENTRE);
}
