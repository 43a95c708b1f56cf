// The pause over a hole: the course stands still under Continue, Options
// and Quit to title.
#include "play_state.h"
#include "ui.h"

#include <vector>

namespace {

ui::List menu;

} // namespace

void pause_enter() {
    menu.selected = 0;
}

void pause_step(float) {
    if (ui::pause_pressed()) {
        play_return();
        return;
    }
    switch (menu.step(3)) {
    case 0:
        play_return();
        break;
    case 1:
        play_go(Screen::OPTIONS);
        break;
    case 2:
        play_go(Screen::TITLE);
        break;
    default:
        break;
    }
}

void pause_draw() {
    const int centre = ui::screen_width() / 2;
    ui::text(ui::say("Paused"), centre, ui::screen_height() / 5, ui::CENTRE, true);
    const std::vector<std::string> lines = {ui::say("Continue"), ui::say("Options"),
                                            ui::say("QuitToTitle")};
    menu.draw(lines, centre, ui::screen_height() / 2 - 40, 260);
}
