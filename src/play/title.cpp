// The title screen: the game's name over the first hole, seen from a
// camera riding its fly-by trail; New Game, Single Hole, Options, Quit; the
// best round. A minute untouched starts the attract mode. Escape quits in
// order, as Quit does.
#include "play_state.h"
#include "ui.h"

#include "camera.h"
#include "game.h"
#include "players.h"

#include "xv.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int kBackdropHole = 1;
constexpr float kBackdropTrailSpeed = 0.004f;  // slower than the fly-by: a stroll round the hole
constexpr uint32_t kIdleBeforeAttract = 60000; // ms

struct Title {
    ui::List menu;
    uint32_t idle_since = 0;
    int backdrop_camera = -1;
};
Title title;

void nothing_happens(int, int, int) {}

} // namespace

void backdrop_show() {
    GAME *g = game();
    if (level_loaded() && g->level == kBackdropHole && g->play_mode == 0 && game_music()) {
        return; // it is there already
    }
    level_deinit();
    g->player_count = 1;
    g->level = kBackdropHole;
    g->play_mode = 0;
    level_init();
    if (!level_loaded()) {
        return; // reported; the menus show over the sky
    }
    g->state = GAME_HOLE_STARTED; // the level steps: the pinwheel and the scenery move
    play_take_keys();
    set_camera_event_handler(nothing_happens);
    set_camera_trigger_switching(0);
    CAMERA_CONTROL control{};
    if (g->trail) {
        control.flags = CAMERA_TRAIL | CAMERA_LOOK_AT_POINT;
        control.trail_start = g->trail;
        control.trail_speed = kBackdropTrailSpeed;
        hole_position(control.look_at_point);
    }
    title.backdrop_camera = add_camera("backdrop", &control);
    set_current_camera(title.backdrop_camera);
}

void backdrop_step(float fraction) {
    game_step(fraction);
}

void title_enter() {
    backdrop_show();
    title.menu.selected = 0;
    title.idle_since = xv_tick_count();
}

void title_step(float fraction) {
    backdrop_step(fraction);
    if (ui::any_pressed() || ui::mouse_dx() || ui::mouse_dy()) {
        title.idle_since = xv_tick_count();
    }
    if (xv_tick_count() - title.idle_since >= kIdleBeforeAttract) {
        play_go(Screen::ATTRACT);
        return;
    }
    if (ui::escape()) {
        play_quit();
        return;
    }
    switch (title.menu.step(4)) {
    case 0:
        session().single_hole = false;
        play_go(Screen::SETUP);
        break;
    case 1:
        session().single_hole = true;
        play_go(Screen::CHOOSER);
        break;
    case 2:
        play_go(Screen::OPTIONS);
        break;
    case 3:
        play_quit();
        break;
    default:
        break;
    }
}

void title_draw() {
    const int centre = ui::screen_width() / 2;
    ui::banner("Pinwheel Golf",
               std::max(ui::screen_top() + ui::kMargin + 10, ui::screen_height() / 8), ui::kPanel,
               true);
    const std::vector<std::string> lines = {ui::say("NewGame"), ui::say("SingleHole"),
                                            ui::say("Options"), ui::say("Quit")};
    title.menu.draw(lines, centre, ui::screen_height() / 2 - 60, 260);
    const Record best = best_course();
    if (best.strokes > 0) {
        const std::string text = ui::say("BestCourse", std::to_string(best.strokes), best.name);
        ui::banner(text, ui::screen_height() - ui::kMargin - ui::banner_height(text) + 6);
    }
}
