// The final standings after the ninth hole: the players from the fewest
// strokes, each with the course's total against its par; the best round
// kept when it is beaten. Enter returns to the title.
#include "play_state.h"
#include "ui.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

struct Standing {
    int seat;
    int total;
};

struct Final {
    std::vector<Standing> order;
    std::string record; // a new best round, or that it could not be saved
};
Final standings;

} // namespace

void final_enter() {
    standings = Final{};
    const Session &s = session();
    for (int seat = 0; seat < s.players; ++seat) {
        standings.order.push_back({seat, hole_total(seat)});
    }
    std::stable_sort(standings.order.begin(), standings.order.end(),
                     [](const Standing &a, const Standing &b) { return a.total < b.total; });
    if (!standings.order.empty()) {
        const Standing &winner = standings.order.front();
        standings.record =
            offered_text(offer_course_score(winner.total, s.seats[winner.seat].name));
    }
}

void final_step(float) {
    if (ui::enter() || ui::escape() || ui::mouse_clicked()) {
        play_go(Screen::TITLE);
    }
}

void final_draw() {
    const Session &s = session();
    const int centre = ui::screen_width() / 2;
    const int line = ui::line_height() + 12;
    const int heading = std::max(ui::screen_top() + ui::kMargin,
                                 ui::screen_height() / 4 - ui::line_height(true) - 20);
    ui::text(ui::say("FinalStandings"), centre, heading, ui::CENTRE, true);
    const int top = heading + ui::line_height(true) + 20;
    const int rows = static_cast<int>(standings.order.size()) + (standings.record.empty() ? 0 : 1);
    // Wide enough for the names, the totals and the word on the record.
    int name_width = 0;
    for (const Standing &standing : standings.order) {
        name_width =
            std::max(name_width, ui::text_width("8.  " + std::string(s.seats[standing.seat].name)));
    }
    const int width =
        std::min(ui::screen_width() - 2 * ui::kMargin,
                 std::max({440, name_width + 160, ui::text_width(standings.record) + 40}));
    ui::panel(centre - width / 2, top - 12, width, line * rows + 24, ui::kPanel);
    for (size_t place = 0; place < standings.order.size(); ++place) {
        const Standing &standing = standings.order[place];
        const int y = top + line * static_cast<int>(place);
        const int over = standing.total - hole_course_par();
        const std::string against = over == 0 ? "E" : (over > 0 ? "+" : "") + std::to_string(over);
        ui::text(std::to_string(place + 1) + ".  " + s.seats[standing.seat].name,
                 centre - width / 2 + 20, y);
        ui::text(std::to_string(standing.total) + "  (" + against + ")", centre + width / 2 - 20, y,
                 ui::RIGHT);
    }
    if (!standings.record.empty()) {
        ui::text(standings.record, centre, top + line * static_cast<int>(standings.order.size()),
                 ui::CENTRE);
    }
    const std::string hint = go_on_hint();
    ui::banner(hint, ui::screen_height() - ui::kMargin - ui::banner_height(hint) + 6);
}
