// New Game: how many play (one to four), and each player: a name, kept
// from last time or typed in (Enter on it, Enter again keeps it), and a
// person or the computer at one of three levels (left and right).
#include "play_state.h"
#include "ui.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct Setup {
    ui::List menu;
    int editing = -1; // the seat whose name is being typed
    std::string typed;
};
Setup setup;

// The lines: the count, a line a player, Start, Back.
int start_line() {
    return 1 + session().players;
}

void edit_name(int seat) {
    setup.editing = seat;
    setup.typed = session().seats[seat].name;
}

void keep_name() {
    Seat &seat = session().seats[setup.editing];
    if (!setup.typed.empty()) {
        std::snprintf(seat.name, sizeof seat.name, "%s", setup.typed.c_str());
    }
    setup.editing = -1;
}

void type_into_name() {
    if (ui::enter()) {
        keep_name();
        return;
    }
    if (ui::escape()) {
        setup.editing = -1;
        return;
    }
    const int c = ui::typed();
    if (c == '\b') {
        if (!setup.typed.empty()) {
            setup.typed.pop_back();
        }
    } else if (c && setup.typed.size() < NAME_LENGTH) {
        setup.typed += static_cast<char>(c);
    }
}

void change_count(int by) {
    Session &s = session();
    s.players = (s.players - 1 + by + MOST_SEATS) % MOST_SEATS + 1;
}

} // namespace

void setup_enter() {
    backdrop_show();
    setup = Setup{};
    setup.menu.selected = start_line();
}

void setup_step(float fraction) {
    backdrop_step(fraction);
    if (setup.editing >= 0) {
        type_into_name();
        return;
    }
    if (ui::escape()) {
        play_go(Screen::TITLE);
        return;
    }
    const int lines = start_line() + 2;
    const int line = setup.menu.selected;
    if (ui::left() || ui::right()) {
        const int by = ui::left() ? -1 : 1;
        if (line == 0) {
            change_count(by);
        } else if (line < start_line()) {
            int &kind = session().seats[line - 1].computer;
            kind = (kind + by + 4) % 4;
        }
    }
    const int chosen = setup.menu.step(lines);
    if (chosen == 0) {
        change_count(1);
    } else if (chosen > 0 && chosen < start_line()) {
        edit_name(chosen - 1);
    } else if (chosen == start_line()) {
        session().single_hole = false;
        play_start_session();
    } else if (chosen == start_line() + 1) {
        play_go(Screen::TITLE);
    }
}

void setup_draw() {
    const Session &s = session();
    std::vector<std::string> lines = {ui::say("Players", std::to_string(s.players))};
    static const char *const kKinds[] = {"Human", "Easy", "Medium", "Hard"};
    for (int seat = 0; seat < s.players; ++seat) {
        std::string name = seat == setup.editing ? setup.typed + "_" : s.seats[seat].name;
        const int kind = s.seats[seat].computer;
        const std::string who =
            kind == 0 ? ui::say("Human") : ui::say("Computer") + " (" + ui::say(kKinds[kind]) + ")";
        lines.push_back(name + "  < " + who + " >");
    }
    lines.push_back(ui::say("Start"));
    lines.push_back(ui::say("Back"));
    const int centre = ui::screen_width() / 2;
    const int heading = std::max(ui::screen_top() + ui::kMargin, ui::screen_height() / 8);
    ui::text(ui::say("NewGame"), centre, heading, ui::CENTRE, true);
    setup.menu.draw(lines, centre, heading + ui::line_height(true) + 24, 400);
    if (setup.editing >= 0) {
        const std::string ask = ui::say("TypeName");
        ui::banner(ask, ui::screen_height() - ui::kMargin - ui::banner_height(ask) + 6);
    }
}
