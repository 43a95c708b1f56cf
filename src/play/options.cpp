// Options: the music's and the effects' volumes (left and right, ten at a
// time), the display mode and full screen (through the display module,
// which keeps them in the settings), the language (left and right: the
// game, its menu bar and the settings follow at once), the aim guide's
// length, and the keys to aim, strike and change camera: Enter on one, then
// the new key. Escape or Back returns to where the options were opened
// from.
#include "play_state.h"
#include "ui.h"

#include "app.h"

#include "gen.h"
#include "xv.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

enum Line {
    MUSIC,
    EFFECTS,
    DISPLAY,
    FULL_SCREEN,
    LANGUAGE,
    GUIDE,
    AIM_LEFT,
    AIM_RIGHT,
    STRIKE,
    CAMERA,
    BACK,
    LINES,
};

constexpr int kVolumeStep = 10;

struct Options {
    ui::List menu;
    int binding = -1; // the line whose key is awaited
    int mode = -1;    // the display mode chosen, applied with Enter
};
Options options;

int *bound_key(int line) {
    Controls &keys = controls();
    switch (line) {
    case AIM_LEFT:
        return &keys.aim_left;
    case AIM_RIGHT:
        return &keys.aim_right;
    case STRIKE:
        return &keys.strike;
    case CAMERA:
        return &keys.camera;
    default:
        return nullptr;
    }
}

// A volume switched off reads below zero; changing it switches it on.
int volume(int value) {
    return std::clamp(value, 0, 100);
}

void change_volume(int line, int by) {
    AppState *app = app_state();
    if (line == MUSIC) {
        xv_snd_set_music_volume(volume(app->music_volume) + by);
    } else {
        xv_snd_set_sound_volume(volume(app->sound_volume) + by);
    }
}

std::string mode_text(int index) {
    int count = 0;
    const XV_DSP_MODE *modes = xv_dsp_modes(&count);
    if (!modes || index < 0 || index >= count) {
        return "-";
    }
    return std::to_string(modes[index].width) + " x " + std::to_string(modes[index].height);
}

void change_mode(int by) {
    int count = 0;
    const XV_DSP_MODE *modes = xv_dsp_modes(&count);
    if (!modes || count == 0) {
        return;
    }
    // Greyed modes (too small for the game) are passed over.
    for (int tries = 0; tries < count; ++tries) {
        options.mode = (options.mode + by + count) % count;
        if (!(modes[options.mode].flags & XV_DSP_MODE_GREYED)) {
            return;
        }
    }
}

XV_DSP_LANGUAGES *languages() {
    return app_state()->languages;
}

std::string language_text() {
    const XV_DSP_LANGUAGES *table = languages();
    const XV_DSP_LANGUAGE *language = table ? table->languages[table->current] : nullptr;
    return language && language->name ? language->name : "English";
}

// The next language offered that way; the texts, the fonts and the menu
// bar follow at once, and the settings keep it.
void change_language(int by) {
    XV_DSP_LANGUAGES *table = languages();
    if (!table || !table->multi || table->count < 2) {
        return;
    }
    int place = table->current;
    for (int tries = 0; tries < table->count; ++tries) {
        place = (place + by + table->count) % table->count;
        if (table->languages[place]) {
            break;
        }
    }
    if (place == table->current ||
        !xv_dsp_select_language(table, table->languages[place]->number)) {
        return;
    }
    xv_dsp_load_menu();
    xv_dsp_write_language(table);
    gen_history("play: language %s\n", app_language());
}

// A key the game keeps for itself cannot be chosen.
bool bindable(int code) {
    return code != DIK_ESCAPE && code != DIK_F9 && code != DIK_RETURN && code != DIK_LSHIFT &&
           code != DIK_RSHIFT;
}

void choose(int line) {
    switch (line) {
    case DISPLAY:
        if (options.mode >= 0 && options.mode != xv_dsp_current_mode()) {
            xv_dsp_set_mode(options.mode);
        }
        break;
    case FULL_SCREEN:
        xv_dsp_toggle_fullscreen();
        break;
    case LANGUAGE:
        change_language(1);
        break;
    case GUIDE:
        controls().guide_to_bounce = !controls().guide_to_bounce;
        break;
    case BACK:
        play_return();
        break;
    default:
        if (bound_key(line)) {
            options.binding = line;
        } else {
            change_volume(line, kVolumeStep);
        }
        break;
    }
}

} // namespace

void options_enter() {
    options = Options{};
    options.mode = xv_dsp_current_mode();
}

void options_step(float fraction) {
    if (play_previous() == Screen::TITLE) {
        backdrop_step(fraction); // over a hole in play the course stands still
    }
    if (options.binding >= 0) {
        const int code = ui::key_just_pressed();
        if (ui::escape()) {
            options.binding = -1;
        } else if (code && bindable(code)) {
            *bound_key(options.binding) = code;
            options.binding = -1;
        }
        return;
    }
    if (ui::escape()) {
        play_return();
        return;
    }
    const int line = options.menu.selected;
    if (ui::left() || ui::right()) {
        const int by = ui::left() ? -1 : 1;
        if (line == MUSIC || line == EFFECTS) {
            change_volume(line, by * kVolumeStep);
        } else if (line == DISPLAY) {
            change_mode(by);
        } else if (line == LANGUAGE) {
            change_language(by);
        } else if (line == GUIDE) {
            controls().guide_to_bounce = !controls().guide_to_bounce;
        }
    }
    const int chosen = options.menu.step(LINES);
    if (chosen >= 0) {
        choose(chosen);
    }
}

void options_draw() {
    const AppState *app = app_state();
    const Controls &keys = controls();
    const auto percent = [](int value) {
        return value < 0 ? ui::say("Off") : std::to_string(value) + " %";
    };
    const std::vector<std::string> lines = {
        ui::say("MusicVolume", percent(app->music_volume)),
        ui::say("EffectsVolume", percent(app->sound_volume)),
        ui::say("Display", "< " + mode_text(options.mode) + " >"),
        ui::say("FullScreen", ui::say(xv_dsp_is_fullscreen() ? "On" : "Off")),
        ui::say("LanguageLine", "< " + language_text() + " >"),
        ui::say("GuideLine", ui::say(keys.guide_to_bounce ? "GuideToBounce" : "GuideShort")),
        ui::say("AimLeft", ui::key_name(keys.aim_left)),
        ui::say("AimRight", ui::key_name(keys.aim_right)),
        ui::say("Strike", ui::key_name(keys.strike)),
        ui::say("Camera", ui::key_name(keys.camera)),
        ui::say("Back"),
    };
    const int centre = ui::screen_width() / 2;
    const int heading = std::max(ui::screen_top() + ui::kMargin, ui::screen_height() / 12);
    ui::text(ui::say("Options"), centre, heading, ui::CENTRE, true);
    options.menu.draw(lines, centre, heading + ui::line_height(true) + 16, 380);
    if (options.binding >= 0) {
        const std::string ask = ui::say("PressNewKey");
        ui::banner(ask, ui::screen_height() - ui::kMargin - ui::banner_height(ask) + 6,
                   ui::kHighlight);
    }
}
