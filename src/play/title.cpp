// The title screen: the game's name over the course's first hole, seen
// from a camera riding its fly-by trail; New Game, Single Hole, the course
// (when there are more than one: the arrows or Enter change it), Options,
// Quit; the course's best round. A minute untouched starts the attract
// mode. Escape quits in order, as Quit does.
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

enum class Entry { NEW_GAME, SINGLE_HOLE, COURSE, OPTIONS, QUIT };

struct Title {
    ui::List menu;
    uint32_t idle_since = 0;
    int backdrop_camera = -1;
    std::string backdrop_course; // the course whose first hole the backdrop shows
};
Title title;

void nothing_happens(int, int, int) {}

// The menu's entries: the course's only when there is a choice.
std::vector<Entry> entries() {
    if (course_count() > 1) {
        return {Entry::NEW_GAME, Entry::SINGLE_HOLE, Entry::COURSE, Entry::OPTIONS, Entry::QUIT};
    }
    return {Entry::NEW_GAME, Entry::SINGLE_HOLE, Entry::OPTIONS, Entry::QUIT};
}

// The next course, or the one before, round the list; the backdrop follows.
void change_course(int by) {
    int index = 0;
    while (index < course_count() && course_at(index)->id != course().id) {
        ++index;
    }
    const int count = course_count();
    course_choose(course_at(((index + by) % count + count) % count)->id.c_str());
    session().hole = 1;
    play_keep_settings();
    backdrop_show();
}

} // namespace

void backdrop_show() {
    GAME *g = game();
    if (level_loaded() && g->level == kBackdropHole && g->play_mode == 0 && game_music() &&
        title.backdrop_course == course().id) {
        return; // it is there already
    }
    title.backdrop_course = course().id;
    hole_show_backdrop(kBackdropHole);
    if (!level_loaded()) {
        return; // reported; the menus show over the sky
    }
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
    const std::vector<Entry> shown = entries();
    const int count = static_cast<int>(shown.size());
    const bool on_course = shown[std::clamp(title.menu.selected, 0, count - 1)] == Entry::COURSE;
    if (on_course && (ui::left() || ui::right())) {
        change_course(ui::left() ? -1 : 1);
        return;
    }
    const int chosen = title.menu.step(count);
    if (chosen < 0) {
        return;
    }
    switch (shown[chosen]) {
    case Entry::NEW_GAME:
        session().single_hole = false;
        play_go(Screen::SETUP);
        break;
    case Entry::SINGLE_HOLE:
        session().single_hole = true;
        play_go(Screen::CHOOSER);
        break;
    case Entry::COURSE:
        change_course(1);
        break;
    case Entry::OPTIONS:
        play_go(Screen::OPTIONS);
        break;
    case Entry::QUIT:
        play_quit();
        break;
    }
}

void title_draw() {
    const int centre = ui::screen_width() / 2;
    ui::banner("Pinwheel Golf",
               std::max(ui::screen_top() + ui::kMargin + 10, ui::screen_height() / 8), ui::kPanel,
               true);
    std::vector<std::string> lines;
    for (const Entry entry : entries()) {
        switch (entry) {
        case Entry::NEW_GAME:
            lines.push_back(ui::say("NewGame"));
            break;
        case Entry::SINGLE_HOLE:
            lines.push_back(ui::say("SingleHole"));
            break;
        case Entry::COURSE:
            lines.push_back("< " + ui::say("Course", played_course_name()) + " >");
            break;
        case Entry::OPTIONS:
            lines.push_back(ui::say("Options"));
            break;
        case Entry::QUIT:
            lines.push_back(ui::say("Quit"));
            break;
        }
    }
    title.menu.draw(lines, centre, ui::screen_height() / 2 - 60, 260);
    const Record best = best_course();
    if (best.strokes > 0) {
        const std::string text = ui::say("BestCourse", std::to_string(best.strokes), best.name);
        ui::banner(text, ui::screen_height() - ui::kMargin - ui::banner_height(text) + 6);
    }
}
