// What a player sees over a hole: the hole, its name and par at the top
// left; the players, their balls' colours, this hole's strokes and their
// totals at the top right; the power meter, the wind and the hints at the
// bottom; a notice in the middle for a while.
#include "play_state.h"
#include "ui.h"

#include "game.h"
#include "players.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = 12;
constexpr ui::Colour kMeterEmpty = {20, 20, 20, 190};
constexpr ui::Colour kNoticeBack = {120, 30, 20, 190};
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

void draw_hole_panel() {
    const GAME *g = game();
    const std::string title = ui::say("HoleNumber", g->level) + "  " + hole_name(g->level);
    const std::string par = ui::say("Par", g->par);
    const int width = std::max(ui::text_width(title), ui::text_width(par)) + 24;
    const int line = ui::line_height();
    ui::panel(kMargin, kMargin, width, line * 2 + 16, ui::kPanel);
    ui::text(title, kMargin + 12, kMargin + 6);
    ui::text(par, kMargin + 12, kMargin + 8 + line);
}

// The players: a row each, the one playing highlighted.
void draw_players_panel() {
    const int seats = seats_in_play();
    const int line = ui::line_height() + 4;
    const int width = 250;
    const int left = ui::screen_width() - kMargin - width;
    ui::panel(left, kMargin, width, line * seats + 12, ui::kPanel);
    for (int seat = 0; seat < seats; ++seat) {
        const int top = kMargin + 6 + line * seat;
        if (seat == round_turn() && !round_in_flyby()) {
            ui::panel(left + 4, top - 2, width - 8, line, ui::kHighlight);
        }
        const PLAYER *record = player(seat);
        ui::panel(left + 10, top + line / 2 - 8, 14, 14, ball_colour(seat));
        ui::text(session().seats[seat].name, left + 32, top);
        const int total = session().totals[seat] + record->strokes;
        ui::text(std::to_string(record->strokes), left + width - 70, top, ui::RIGHT);
        ui::text(std::to_string(total), left + width - 12, top, ui::RIGHT);
    }
}

// The meter fills from green through yellow to red.
void draw_power_meter() {
    const float power = round_power();
    const int width = 260, height = 22;
    const int left = ui::screen_width() / 2 - width / 2;
    const int top = ui::screen_height() - kMargin - height - ui::line_height() - 16;
    ui::text(ui::say("Power"), left - 10, top, ui::RIGHT);
    ui::panel(left - 3, top - 3, width + 6, height + 6, ui::kPanel);
    ui::panel(left, top, width, height, kMeterEmpty);
    const auto filled = static_cast<int>(std::lround(power * width));
    const ui::Colour colour = {static_cast<uint8_t>(std::min(255.0f, 510.0f * power)),
                               static_cast<uint8_t>(std::min(255.0f, 510.0f * (1.0f - power))), 40,
                               255};
    ui::panel(left, top, filled, height, colour);
}

// The wind, as it blows across the view: the view looks along the aim.
void draw_wind() {
    const GAME *g = game();
    if (g->state != GAME_SINGLE_HOLE || !player(round_turn())) {
        return;
    }
    const float blow = -static_cast<float>(g->wind_direction + 90) * 0.0174533f;
    const float wind_x = std::cos(blow), wind_z = std::sin(blow);
    float forward_x, forward_z;
    aim_direction(player(round_turn())->aim_angle, &forward_x, &forward_z);
    const float across = wind_x * -forward_z + wind_z * forward_x;
    const float along = wind_x * forward_x + wind_z * forward_z;
    const float angle = std::atan2(across, along) * 57.29578f;
    const int size = 48;
    const int left = ui::screen_width() - kMargin - size - 8;
    // Above the hint line at the bottom.
    const int top = ui::screen_height() - kMargin - size - ui::line_height() * 2 - 24;
    ui::panel(left - 8, top - 4, size + 16, size + ui::line_height() + 12, ui::kPanel);
    ui::arrow(angle, left, top, size, kWindColour);
    ui::text(ui::say("Wind"), left + size / 2, top + size + 2, ui::CENTRE);
}

void draw_hint(const std::string &hint) {
    ui::banner(hint, ui::screen_height() - kMargin - ui::line_height() - 6);
}

void draw_notice() {
    const RoundNotice &notice = round_notice();
    if (notice.steps_left <= 0) {
        return;
    }
    ui::banner(notice.text, ui::screen_height() / 3, kNoticeBack);
}

} // namespace

void hud_draw() {
    if (!level_loaded()) {
        return;
    }
    draw_hole_panel();
    if (round_in_flyby()) {
        draw_hint(ui::say("SkipHint"));
        return;
    }
    draw_players_panel();
    if (round_thinking()) {
        draw_hint(ui::say("Thinking", session().seats[round_turn()].name));
    } else if (round_aiming()) {
        draw_power_meter();
        if (!computer_level(round_turn())) {
            draw_hint(ui::say("AimHint"));
        }
    }
    draw_wind();
    draw_notice();
}
