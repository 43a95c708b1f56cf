// The attract mode: a minute untouched on the title runs the demo sequence
// (its music, a picture, the animation of a hole being played, and the
// course seen from its fly-by trail); any key, click or button returns.
#include "play_state.h"
#include "ui.h"

#include "screens.h"

#include "xv.h"

namespace {

bool running = false;

} // namespace

void attract_enter() {
    demo_init();
    demo_run(1);
    running = true;
}

void attract_leave() {
    if (!running) {
        return;
    }
    demo_run(0);
    demo_deinit();
    running = false;
}

void attract_step(float fraction) {
    backdrop_step(fraction);
    if (ui::any_pressed()) {
        play_go(Screen::TITLE);
    }
}

void attract_draw() {
    demo_update();
}

bool attract_running() {
    return running;
}
