// What a player sees over a hole: the hole, its name and par at the top
// left; the players under their column headings (their balls' colours,
// this hole's strokes and their totals) at the top right, the wind under
// them; the aim guide on the course; the power meter and the hints, in the
// player's language and with the keys and buttons bound, at the bottom; a
// notice in the middle for a while. Everything stands below the window's
// menu bar and inside the screen, whatever its size.
#include "play_state.h"
#include "ui.h"

#include "ball.h"
#include "game.h"
#include "players.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = ui::kMargin;
constexpr int kPad = 12; // inside a panel, round its texts
constexpr int kGap = 8;  // between two panels
constexpr int kMeterWidth = 260, kMeterHeight = 22;
constexpr int kWindArrow = 40;
constexpr ui::Colour kMeterEmpty = {20, 20, 20, 190};
constexpr ui::Colour kMeterMark = {235, 235, 235, 150};
constexpr ui::Colour kLastStroke = {255, 255, 255, 255};
constexpr ui::Colour kNoticeBack = {120, 30, 20, 190};
// The first-time hint stands out from the other panels and keeps white text
// readable over a sunlit lane (a light panel did not).
constexpr ui::Colour kFirstHintBack = {95, 62, 8, 205};
constexpr ui::Colour kDropBack = {20, 90, 40, 210};
constexpr ui::Colour kWindColour = {200, 235, 255, 235};

// The ball colours of the four player balls, and the one ball of a player
// alone.
ui::Colour ball_colour(int seat) {
    constexpr ui::Colour kColours[MOST_SEATS] = {
        {230, 60, 50, 255}, {60, 110, 230, 255}, {245, 205, 40, 255}, {60, 190, 90, 255}};
    if (game()->player_count == 1) {
        return {250, 250, 250, 255};
    }
    return kColours[std::clamp(seat, 0, MOST_SEATS - 1)];
}

int top() {
    return ui::screen_top() + kMargin;
}

// ---- the players, top right ------------------------------------------------------------

struct PlayersPanel {
    int left, width, height;
    int name_width, column_width;
};

PlayersPanel measure_players() {
    const int seats = seats_in_play();
    PlayersPanel panel{};
    for (int seat = 0; seat < seats; ++seat) {
        panel.name_width = std::max(panel.name_width, ui::text_width(session().seats[seat].name));
    }
    panel.column_width = std::max({ui::text_width(ui::say("HoleColumn")),
                                   ui::text_width(ui::say("Total")), ui::text_width("888")}) +
                         kPad;
    const int swatch = 22;
    panel.width = kPad + swatch + panel.name_width + 2 * panel.column_width + kPad;
    panel.height = (ui::line_height() + 4) * (seats + 1) + kPad;
    panel.left = ui::screen_width() - kMargin - panel.width;
    return panel;
}

// A row a player under the headings, the one playing highlighted.
int draw_players_panel() {
    const PlayersPanel p = measure_players();
    const int line = ui::line_height() + 4;
    const int right = p.left + p.width - kPad;
    ui::panel(p.left, top(), p.width, p.height, ui::kPanel);
    const int head = top() + kPad / 2;
    ui::text(ui::say("HoleColumn"), right - p.column_width, head, ui::RIGHT);
    ui::text(ui::say("Total"), right, head, ui::RIGHT);
    for (int seat = 0; seat < seats_in_play(); ++seat) {
        const int row = head + line * (seat + 1);
        if (seat == round_turn() && !round_in_flyby()) {
            ui::panel(p.left + 4, row - 2, p.width - 8, line, ui::kHighlight);
        }
        const PLAYER *record = player(seat);
        ui::panel(p.left + kPad, row + line / 2 - 9, 14, 14, ball_colour(seat));
        ui::text(session().seats[seat].name, p.left + kPad + 22, row);
        const int total = hole_total(seat);
        ui::text(std::to_string(record->strokes), right - p.column_width, row, ui::RIGHT);
        ui::text(std::to_string(total), right, row, ui::RIGHT);
    }
    return top() + p.height;
}

// ---- the hole, top left ----------------------------------------------------------------

// The hole's number and name, and its par; the name goes on a line of its
// own when the two would not fit beside the players. Returns its bottom.
int draw_hole_panel(int room) {
    const GAME *g = game();
    const std::string number = ui::say("HoleNumber", g->level);
    const std::string name = hole_name(g->level);
    std::vector<std::string> lines = {number + "  " + name, ui::say("Par", g->par)};
    if (ui::text_width(lines[0]) + 2 * kPad > room) {
        lines = {number, name, lines[1]};
    }
    int width = 0;
    for (const std::string &line : lines) {
        width = std::max(width, ui::text_width(line));
    }
    const int line = ui::line_height() + 4;
    ui::panel(kMargin, top(), width + 2 * kPad, line * static_cast<int>(lines.size()) + kPad,
              ui::kPanel);
    for (size_t i = 0; i < lines.size(); ++i) {
        ui::text(lines[i], kMargin + kPad, top() + kPad / 2 + line * static_cast<int>(i));
    }
    return top() + line * static_cast<int>(lines.size()) + kPad;
}

// The first-time hint (the mouse, the pad), under the hole's panel and
// beside the players: it keeps clear of the ball and the guide, which
// stand in the middle.
void draw_first_hint(int y, int room) {
    const std::vector<std::string> lines = ui::wrap(ui::say("FirstHint"), room - 2 * kPad);
    int width = 0;
    for (const std::string &line : lines) {
        width = std::max(width, ui::text_width(line));
    }
    const int line = ui::line_height() + 2;
    ui::panel(kMargin, y, width + 2 * kPad, line * static_cast<int>(lines.size()) + kPad,
              kFirstHintBack);
    for (size_t i = 0; i < lines.size(); ++i) {
        ui::text(lines[i], kMargin + kPad, y + kPad / 2 + line * static_cast<int>(i));
    }
}

// ---- the wind, under the players ---------------------------------------------------------

// How strongly the wind pushes a rolling ball, in words.
std::string wind_strength() {
    const float push = 1.0f / BALL_WIND_PUSH; // of speed, a step
    return ui::say(push < 2e-4f ? "WindLight" : push < 5e-4f ? "WindModerate" : "WindStrong");
}

// The wind, as it blows across the view (the view looks along the aim),
// and its strength.
void draw_wind(int y) {
    const GAME *g = game();
    if (!player(round_turn())) {
        return;
    }
    const float blow = -static_cast<float>(g->wind_direction + 90) * 0.0174533f;
    const float wind_x = std::cos(blow), wind_z = std::sin(blow);
    float forward_x, forward_z;
    aim_direction(player(round_turn())->aim_angle, &forward_x, &forward_z);
    const float across = wind_x * -forward_z + wind_z * forward_x;
    const float along = wind_x * forward_x + wind_z * forward_z;
    const float angle = std::atan2(across, along) * 57.29578f;
    const std::string title = ui::say("Wind");
    const std::string strength = wind_strength();
    const int text_width = std::max(ui::text_width(title), ui::text_width(strength));
    const int width = kPad + kWindArrow + kGap + text_width + kPad;
    const int height = std::max(kWindArrow, 2 * ui::line_height()) + kPad;
    const int left = ui::screen_width() - kMargin - width;
    ui::panel(left, y, width, height, ui::kPanel);
    ui::arrow(angle, left + kPad, y + (height - kWindArrow) / 2, kWindArrow, kWindColour);
    const int text_left = left + kPad + kWindArrow + kGap;
    const int text_top = y + (height - 2 * ui::line_height()) / 2;
    ui::text(title, text_left, text_top);
    ui::text(strength, text_left, text_top + ui::line_height());
}

// ---- the meter and the hints, at the bottom ----------------------------------------------

// The keys bound, the mouse, or the pad, as the player last played.
std::string aim_hint() {
    const Controls &keys = controls();
    switch (ui::last_device()) {
    case ui::Device::MOUSE:
        return ui::say("AimHintMouse");
    case ui::Device::PAD:
        return ui::say("AimHintPad");
    case ui::Device::KEYBOARD:
        break;
    }
    return ui::say("AimHintKeys", {ui::key_name(keys.aim_left), ui::key_name(keys.aim_right),
                                   ui::key_name(keys.strike), ui::key_name(DIK_LSHIFT)});
}

// The hint's banner standing on the bottom margin; returns its top.
int draw_hint(const std::string &hint) {
    const int top_of_hint = ui::screen_height() - kMargin - ui::banner_height(hint) + 6;
    ui::banner(hint, top_of_hint);
    return top_of_hint - 6;
}

// The meter fills from green through yellow to red; marks at each quarter,
// and a white one where the last stroke was let go. Its label stands
// inside it. Returns the top of its panel.
int draw_power_meter(int bottom) {
    const float power = round_power();
    const std::string label = ui::say("Power");
    const int label_width = ui::text_width(label);
    const int width = kPad + label_width + kGap + kMeterWidth + kPad;
    const int height = std::max(kMeterHeight, ui::line_height()) + kPad;
    const int left = ui::screen_width() / 2 - width / 2;
    const int top_of_meter = bottom - height;
    ui::panel(left, top_of_meter, width, height, ui::kPanel);
    ui::text(label, left + kPad, top_of_meter + (height - ui::line_height()) / 2);
    const int bar = left + kPad + label_width + kGap;
    const int bar_top = top_of_meter + (height - kMeterHeight) / 2;
    ui::panel(bar, bar_top, kMeterWidth, kMeterHeight, kMeterEmpty);
    const auto filled = static_cast<int>(std::lround(power * kMeterWidth));
    const ui::Colour colour = {static_cast<uint8_t>(std::min(255.0f, 510.0f * power)),
                               static_cast<uint8_t>(std::min(255.0f, 510.0f * (1.0f - power))), 40,
                               255};
    ui::panel(bar, bar_top, filled, kMeterHeight, colour);
    for (int quarter = 1; quarter < 4; ++quarter) {
        ui::panel(bar + kMeterWidth * quarter / 4 - 1, bar_top, 2, kMeterHeight, kMeterMark);
    }
    if (const float last = round_last_power(round_turn()); last > 0.0f) {
        const int x = bar + static_cast<int>(std::lround(last * kMeterWidth));
        ui::panel(std::min(x, bar + kMeterWidth - 3), bar_top - 3, 3, kMeterHeight + 6,
                  kLastStroke);
    }
    return top_of_meter;
}

// ---- the notice, in the middle ------------------------------------------------------------

// A drop's notice stands under the middle, where the camera shows the cup;
// the others a little over it.
void draw_notice() {
    const RoundNotice &notice = round_notice();
    if (notice.steps_left <= 0) {
        return;
    }
    const bool big = round_dropping();
    const int y = big ? ui::screen_height() * 3 / 5
                      : ui::screen_height() * 2 / 5 - ui::banner_height(notice.text) / 2;
    ui::banner(notice.text, y, big ? kDropBack : kNoticeBack, big);
    if (!notice.detail.empty()) {
        ui::banner(notice.detail, y + ui::banner_height(notice.text, big) + 2, kDropBack);
    }
}

} // namespace

void hud_draw() {
    if (!level_loaded()) {
        return;
    }
    if (round_in_flyby()) {
        draw_hole_panel(ui::screen_width() - 2 * kMargin);
        draw_hint(ui::say("SkipHint"));
        return;
    }
    if (const AimGuide *guide = round_guide()) {
        guide_draw(*guide);
    }
    const int left_room = measure_players().left - kGap - kMargin;
    const int hole_bottom = draw_hole_panel(left_room);
    const int players_bottom = draw_players_panel();
    draw_wind(players_bottom + kGap);
    if (round_thinking()) {
        draw_hint(ui::say("Thinking", session().seats[round_turn()].name));
    } else if (round_aiming()) {
        int bottom = ui::screen_height() - kMargin;
        if (!computer_level(round_turn())) {
            bottom = draw_hint(aim_hint());
        }
        draw_power_meter(bottom - kGap);
        if (round_first_hint()) {
            draw_first_hint(hole_bottom + kGap, left_room);
        }
    }
    draw_notice();
}
