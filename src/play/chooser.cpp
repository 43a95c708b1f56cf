// Single Hole: the nine holes as their mini screens, three by three, with
// the chosen one's name, par and best score; the arrows move, Enter plays
// it (one player, with the wind), Escape goes back.
#include "play_state.h"
#include "ui.h"

#include "game.h"

#include "xv.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kColumns = 3;

struct Chooser {
    XV_BITMAP minis[LAST_HOLE] = {};
    int hole = 1;
};
Chooser chooser;

// The mini screen's file of a hole, from the level list.
void load_minis() {
    for (int hole = 1; hole <= LAST_HOLE; ++hole) {
        char section[16], file[256] = "";
        std::snprintf(section, sizeof section, "level%03d", hole);
        XV_BITMAP &mini = chooser.minis[hole - 1];
        if (mini.pixels ||
            !xv_io_ini_read(section, "mini_screen", file, sizeof file - 1, "data\\levels.txt")) {
            continue;
        }
        if (xv_bit_load(&mini, file, XV_BIT_WITH_PALETTE)) {
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
    chooser.hole = (chooser.hole - 1 + by + LAST_HOLE) % LAST_HOLE + 1;
}

} // namespace

void chooser_enter() {
    backdrop_show();
    load_minis();
    chooser.hole = session().hole >= 1 && session().hole <= LAST_HOLE ? session().hole : 1;
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
    if (ui::enter()) {
        session().single_hole = true;
        session().hole = chooser.hole;
        play_start_session();
    }
}

// The nine pictures as large as the screen has room for, under the
// heading and over the chosen hole's name, par and best score.
void chooser_draw() {
    const int centre = ui::screen_width() / 2;
    const int heading = ui::screen_top() + ui::kMargin;
    ui::text(ui::say("ChooseHole"), centre, heading, ui::CENTRE, true);
    const int top = heading + ui::line_height(true) + 12;
    const int detail_height = ui::line_height() * 2 + 16;
    const int room_down = ui::screen_height() - ui::kMargin - detail_height - 8 - 16 - top;
    const int room_across = ui::screen_width() - 2 * ui::kMargin - 16;
    const int cell_height = std::min({136, room_down / 3, room_across / kColumns * 136 / 176});
    const int cell_width = cell_height * 176 / 136;
    const int left = centre - cell_width * kColumns / 2;
    ui::panel(left - 8, top - 8, cell_width * kColumns + 16, cell_height * 3 + 16, ui::kPanel);
    for (int hole = 1; hole <= LAST_HOLE; ++hole) {
        const int x = left + (hole - 1) % kColumns * cell_width;
        const int y = top + (hole - 1) / kColumns * cell_height;
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
    const int y = top + cell_height * 3 + 16;
    const int width = std::max(ui::text_width(line), ui::text_width(detail)) + 32;
    ui::panel(centre - width / 2, y, width, detail_height, ui::kPanel);
    ui::text(line, centre, y + 6, ui::CENTRE);
    ui::text(detail, centre, y + 8 + ui::line_height(), ui::CENTRE);
}
