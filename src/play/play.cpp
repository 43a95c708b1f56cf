// The play layer's state machine: one screen at a time, each with its own
// file and one record in the table of screens below; this one walks the
// table, keeps the session and the controls, and is what the shell calls.
#include "play.h"

#include "play_state.h"
#include "ui.h"

#include "game.h"
#include "hole_rules.h"
#include "players.h"

#include "gen.h"
#include "xv.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char kPlayers[] = "Players";
constexpr char kControls[] = "Controls";

// The keys a player may choose, by their names in the settings file.
constexpr struct {
    const char *name;
    int Controls::*key;
} kControlKeys[] = {{"AimLeft", &Controls::aim_left},
                    {"AimRight", &Controls::aim_right},
                    {"Strike", &Controls::strike},
                    {"Camera", &Controls::camera}};
// And what else is chosen or learnt, by name.
constexpr struct {
    const char *name;
    bool Controls::*value;
} kControlChoices[] = {{"GuideToBounce", &Controls::guide_to_bounce},
                       {"Taught", &Controls::taught}};

struct Play {
    bool started = false;
    bool drawing = false; // the fonts and texts are loaded (the first screen of ours)
    Screen screen = Screen::SLIDESHOW;
    Screen previous = Screen::TITLE;
    Session session;
    Controls controls{DIK_LEFT, DIK_RIGHT, DIK_SPACE, DIK_B};
    std::string defaults[MOST_SEATS]; // each seat's default name in the language shown
};
Play play;

const char *settings() {
    return xv_io_ini_path();
}

// The players of last time, and the keys chosen, from the settings file.
void read_settings() {
    if (!settings() || !xv_io_fexist(settings(), XV_IO_ON_DISK)) {
        return;
    }
    XV_INI_QUIET quiet; // a first game has none of them
    char key[16];
    for (int i = 0; i < MOST_SEATS; ++i) {
        Seat &seat = play.session.seats[i];
        std::snprintf(key, sizeof key, "Name%d", i + 1);
        xv_io_ini_read(kPlayers, key, seat.name, NAME_BYTES, settings());
        std::snprintf(key, sizeof key, "Computer%d", i + 1);
        xv_io_ini_read_int(kPlayers, key, &seat.computer, settings());
        seat.computer = seat.computer < 0 || seat.computer > 3 ? 0 : seat.computer;
    }
    char course_id[COURSE_ID_LENGTH + 1] = "";
    xv_io_ini_read(kPlayers, "Course", course_id, COURSE_ID_LENGTH, settings());
    course_choose(course_id); // a course gone since is none: the first stays
    int count = 0;
    xv_io_ini_read_int(kPlayers, "Count", &count, settings());
    play.session.players = count >= 1 && count <= MOST_SEATS ? count : 1;
    for (const auto &control : kControlKeys) {
        int code = 0;
        xv_io_ini_read_int(kControls, control.name, &code, settings());
        if (code > 0 && code < 256) {
            play.controls.*control.key = code;
        }
    }
    for (const auto &choice : kControlChoices) {
        int on = 0;
        xv_io_ini_read_int(kControls, choice.name, &on, settings());
        play.controls.*choice.value = on != 0;
    }
}

std::string default_name(int seat) {
    return ui::say("Player", seat + 1);
}

// An empty name is the seat's default, "Player 1" in the language shown.
void default_names() {
    for (int i = 0; i < MOST_SEATS; ++i) {
        Seat &seat = play.session.seats[i];
        if (!seat.name[0]) {
            std::snprintf(seat.name, sizeof seat.name, "%s", default_name(i).c_str());
        }
        play.defaults[i] = default_name(i);
    }
}

// The language may change in the Options or in the Game menu: a player
// still named by default is named in the new one.
void follow_the_language() {
    if (!play.drawing) {
        return;
    }
    for (int i = 0; i < MOST_SEATS; ++i) {
        Seat &seat = play.session.seats[i];
        if (play.defaults[i] == seat.name && play.defaults[i] != default_name(i)) {
            seat.name[0] = '\0';
        }
    }
    default_names();
}

// A section's keys in one rewrite of the settings.
void write_section(const char *section,
                   const std::vector<std::pair<std::string, std::string>> &values) {
    std::vector<XV_INI_KEY> keys;
    for (const auto &[key, value] : values) {
        keys.push_back({key.c_str(), value.c_str()});
    }
    xv_io_ini_write_keys(section, keys.data(), static_cast<int>(keys.size()), settings());
}

void write_settings() {
    if (!settings()) {
        return;
    }
    std::vector<std::pair<std::string, std::string>> players = {
        {"Count", std::to_string(play.session.players)}, {"Course", course().id}};
    for (int i = 0; i < MOST_SEATS; ++i) {
        const std::string number = std::to_string(i + 1);
        // A default name is kept as none, so that it follows the language.
        const char *name = play.session.seats[i].name;
        players.push_back({"Name" + number, play.defaults[i] == name ? "" : name});
        players.push_back({"Computer" + number, std::to_string(play.session.seats[i].computer)});
    }
    write_section(kPlayers, players);
    std::vector<std::pair<std::string, std::string>> controls;
    for (const auto &control : kControlKeys) {
        controls.push_back({control.name, std::to_string(play.controls.*control.key)});
    }
    for (const auto &choice : kControlChoices) {
        controls.push_back({choice.name, play.controls.*choice.value ? "1" : "0"});
    }
    write_section(kControls, controls);
}

int number_after(int argc, char **argv, const char *option) {
    const char *word = xv_str_option(argc, argv, option);
    return word ? std::atoi(word) : 0;
}

// The screens, each one record of what it does on entering, on leaving,
// each step (where it reads its input) and when it draws; an empty entry
// does nothing. The slideshow is the shipped flow's: the play layer only
// waits for a player's key (play_window_message).
struct ScreenOps {
    Screen screen;
    const char *name;
    void (*enter)();
    void (*leave)();
    void (*step)(float fraction);
    void (*draw)();
};

constexpr ScreenOps kScreens[] = {
    {Screen::SLIDESHOW, "slideshow", nullptr, nullptr, nullptr, nullptr},
    {Screen::TITLE, "title", title_enter, nullptr, title_step, title_draw},
    {Screen::SETUP, "setup", setup_enter, nullptr, setup_step, setup_draw},
    {Screen::CHOOSER, "chooser", chooser_enter, chooser_leave, chooser_step, chooser_draw},
    {Screen::OPTIONS, "options", options_enter, nullptr, options_step, options_draw},
    {Screen::ROUND, "round", round_enter, nullptr, round_step, round_draw},
    {Screen::RESULT, "result", result_enter, result_leave, result_step, result_draw},
    {Screen::SCORECARD, "scorecard", scorecard_enter, nullptr, scorecard_step, scorecard_draw},
    {Screen::FINAL, "final", final_enter, nullptr, final_step, final_draw},
    {Screen::PAUSE, "pause", pause_enter, nullptr, pause_step, pause_draw},
    {Screen::ATTRACT, "attract", attract_enter, attract_leave, attract_step, attract_draw},
    {Screen::REPLAY, "replay", replay_enter, nullptr, replay_step, replay_draw},
};

constexpr bool screens_in_order() {
    for (size_t i = 0; i < std::size(kScreens); ++i) {
        if (static_cast<size_t>(kScreens[i].screen) != i) {
            return false;
        }
    }
    return std::size(kScreens) == static_cast<size_t>(Screen::REPLAY) + 1;
}
static_assert(screens_in_order(), "a record for every screen, in the order of Screen");

const ScreenOps &ops(Screen screen) {
    return kScreens[static_cast<size_t>(screen)];
}

// What a screen holds goes when another takes its place. A hole's round
// goes when the screens of the hole are left for the menus.
void leave(Screen from, Screen to) {
    if (ops(from).leave) {
        ops(from).leave();
    }
    if (to == Screen::TITLE || to == Screen::SETUP || to == Screen::CHOOSER) {
        round_leave();
    }
}

const char *screen_name(Screen screen) {
    return ops(screen).name;
}

// The screens the pause and the options may be opened over.
bool paused_over(Screen screen) {
    return screen != Screen::PAUSE && screen != Screen::OPTIONS && screen != Screen::REPLAY;
}

} // namespace

int seats_in_play() {
    return hole_seats();
}

int computer_level(int seat) {
    return play.session.single_hole ? 0 : play.session.seats[seat].computer;
}

Session &session() {
    return play.session;
}

Controls &controls() {
    return play.controls;
}

void play_init(int argc, char **argv, const char *course_id) {
    play = Play{};
    play.started = true;
    read_settings();
    if (course_id && *course_id && !course_choose(course_id)) {
        std::fprintf(stderr, "pinwheel: there is no course %s; %s is played\n", course_id,
                     course().id.c_str());
    }
    const int players = number_after(argc, argv, "--play");
    const int hole = number_after(argc, argv, "--hole");
    if (players >= 1 && players <= MOST_SEATS) {
        play.session.players = players;
        play.session.single_hole = false;
        play_start_session();
    } else if (hole >= 1 && hole <= course().hole_count) {
        play.session.players = 1;
        play.session.single_hole = true;
        play.session.hole = hole;
        play_start_session();
    }
}

void play_deinit() {
    if (!play.started) {
        return;
    }
    leave(play.screen, Screen::TITLE);
    write_settings();
    if (play.drawing) {
        ui::stop();
    }
    players_hosted(0);
    play = Play{};
}

bool play_active() {
    return play.started && play.screen != Screen::SLIDESHOW;
}

bool play_window_message(uint32_t message, uintptr_t wparam) {
    if (!play.started || play.screen != Screen::SLIDESHOW) {
        return false;
    }
    // Escape still ends the slideshow, the F-keys stay the display's and the
    // sound's, Alt is the menu's.
    const bool key = message == WM_KEYDOWN && wparam != VK_ESCAPE &&
                     !(wparam >= VK_F1 && wparam <= VK_F12) && wparam != VK_MENU;
    // A click of the player's, not the program's own return from a menu.
    const bool click = (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) &&
                       (wparam & (MK_LBUTTON | MK_RBUTTON));
    if (key || click) {
        play_go(Screen::TITLE);
        ui::swallow_presses();
        return true;
    }
    return false;
}

void play_new_game() {
    if (play.started) {
        play_go(Screen::SETUP);
    }
}

void play_go(Screen screen) {
    // A hole that did not load was reported where it failed, and the game
    // closes after this frame; meanwhile the title stands in for it.
    if (screen == Screen::ROUND && !level_loaded()) {
        screen = Screen::TITLE;
    }
    // The fonts and texts load when a player first takes the game: the
    // slideshow alone needs none of them.
    if (!play.drawing && screen != Screen::SLIDESHOW) {
        play.drawing = true;
        ui::start();
        default_names();
    }
    leave(play.screen, screen);
    gen_history("play: %s\n", screen_name(screen));
    if (!paused_over(screen) && paused_over(play.screen)) {
        play.previous = play.screen;
    }
    play.screen = screen;
    // Once a player has taken the game its commands are the play layer's:
    // Escape pauses, the camera key is the one chosen. The slideshow keeps
    // the shipped flow's keys.
    players_hosted(screen != Screen::SLIDESHOW);
    if (ops(screen).enter) {
        ops(screen).enter();
    }
}

// The options opened from the pause go back to it; the pause and a replay
// go back to the screen they were opened over as it was; the options opened
// from the title go back to the title.
void play_return() {
    if (play.screen == Screen::OPTIONS && play.previous == Screen::ROUND) {
        play.screen = Screen::PAUSE;
        pause_enter();
        return;
    }
    play.screen = play.previous;
    gen_history("play: back to %s\n", screen_name(play.screen));
    if (play.screen == Screen::TITLE) {
        title_enter();
    }
}

Screen play_screen() {
    return play.screen;
}

Screen play_previous() {
    return play.previous;
}

void play_keep_settings() {
    write_settings();
}

void play_quit() {
    write_settings();
    xv_dsp_request_close();
}

void play_start_session() {
    write_settings();
    Session &s = play.session;
    std::fill(std::begin(s.hole_strokes), std::end(s.hole_strokes), 0);
    if (!s.unattended) {
        s.seed = xv_tick_count(); // a game's computers differ from the last one's
    }
    round_leave();
    if (s.single_hole) {
        hole_start_single(s.hole);
    } else {
        hole_start_course(s.players);
    }
    play_go(Screen::ROUND);
}

void play_step(float fraction) {
    ui::read_input();
    follow_the_language();
    if (ops(play.screen).step) {
        ops(play.screen).step(fraction);
    }
}

void play_draw() {
    if (ops(play.screen).draw) {
        ops(play.screen).draw();
    }
}

void play_start_unattended(int computer_level, uint32_t seed, const char *course_id) {
    if (!play.started) {
        play_init(0, nullptr);
    }
    if (!course_id || !course_choose(course_id)) {
        course_choose(course_at(0) ? course_at(0)->id.c_str() : "");
    }
    Session &s = play.session;
    s.players = 1;
    s.single_hole = false;
    s.unattended = true;
    s.seed = seed; // the same course every time for the same seed
    s.seats[0] = Seat{};
    std::snprintf(s.seats[0].name, sizeof s.seats[0].name, "Computer");
    s.seats[0].computer = computer_level;
    play_start_session();
}

bool play_unattended_over() {
    return play.screen == Screen::FINAL || play.screen == Screen::TITLE;
}

bool play_hole_result(int hole, PLAY_HOLE_RESULT *out) {
    const Session &s = play.session;
    if (hole < 1 || hole > MAX_COURSE_HOLES || s.hole_strokes[hole - 1] == 0) {
        return false;
    }
    *out = {hole, s.hole_strokes[hole - 1], s.hole_pars[hole - 1], s.hole_holed[hole - 1]};
    return true;
}

void play_course_result(PLAY_HOLE_RESULT *out) {
    *out = {0, hole_total(0), hole_course_par(), true};
}
