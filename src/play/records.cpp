// What the play layer knows of the course besides the game: each hole's
// name (in the current language) and par from the level list, the results
// in words, and the best scores, kept in the settings file's "Scores"
// section: per hole "Hole3", "Hole3Name", "Hole3Date", per course "Course",
// "CourseName", "CourseDate". A record is beaten by fewer strokes; a new
// one that cannot be written is said to the player.
#include "play_state.h"
#include "ui.h"

#include "app.h"

#include "xv.h"

#include <cstdio>
#include <ctime>

namespace {

constexpr char kLevels[] = "data\\levels.txt";
constexpr char kScores[] = "Scores";

std::string level_section(int hole) {
    char section[16];
    std::snprintf(section, sizeof section, "level%03d", hole);
    return section;
}

std::string read_text(const char *section, const std::string &key, const char *file) {
    char value[128] = "";
    if (!file) {
        return "";
    }
    XV_INI_QUIET quiet; // a missing record or name is an empty one
    xv_io_ini_read(section, key.c_str(), value, sizeof value - 1, file);
    return value;
}

Record read_record(const std::string &key) {
    const char *settings = xv_io_ini_path();
    Record record;
    if (!settings || !xv_io_fexist(settings, XV_IO_ON_DISK)) {
        return record;
    }
    {
        XV_INI_QUIET quiet;
        xv_io_ini_read_int(kScores, key.c_str(), &record.strokes, settings);
    }
    record.strokes = record.strokes > 0 ? record.strokes : 0;
    record.name = read_text(kScores, key + "Name", settings);
    record.date = read_text(kScores, key + "Date", settings);
    return record;
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[16] = "";
    if (localtime_r(&now, &local)) {
        std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    }
    return text;
}

// Under the settings' lock from the look at the record to the write, so
// that another copy of the game offering its score at the same time cannot
// slip in between and have the better one overwritten. The strokes, the
// name and the date go in one rewrite: all three, or none.
Offered offer(const std::string &key, int strokes, const char *name) {
    const char *settings = xv_io_ini_path();
    if (!settings || strokes <= 0) {
        return Offered::NOT_BETTER;
    }
    XV_INI_LOCK lock(settings);
    if (!lock.held()) {
        return Offered::NOT_KEPT; // reported by the lock
    }
    const Record best = read_record(key);
    if (best.strokes > 0 && strokes >= best.strokes) {
        return Offered::NOT_BETTER;
    }
    const std::string count = std::to_string(strokes);
    const std::string name_key = key + "Name";
    const std::string date_key = key + "Date";
    const std::string date = today();
    const XV_INI_KEY record[] = {
        {key.c_str(), count.c_str()},
        {name_key.c_str(), name},
        {date_key.c_str(), date.c_str()},
    };
    return xv_io_ini_write_keys(kScores, record, 3, settings) ? Offered::KEPT : Offered::NOT_KEPT;
}

} // namespace

std::string hole_name(int hole) {
    std::string name =
        read_text(level_section(hole).c_str(), std::string("name_") + app_language(), kLevels);
    if (name.empty()) {
        name = read_text(level_section(hole).c_str(), "name_EN", kLevels);
    }
    return name;
}

int hole_par(int hole) {
    int par = 0;
    XV_INI_QUIET quiet;
    xv_io_ini_read_int(level_section(hole).c_str(), "par", &par, kLevels);
    return par;
}

std::string result_word(int strokes, int par, bool holed) {
    if (!holed) {
        return ui::say("PickedUp");
    }
    if (strokes == 1) {
        return ui::say("HoleInOne");
    }
    static const char *const kWords[] = {"Albatross", "Eagle",       "Birdie",     "ParWord",
                                         "Bogey",     "DoubleBogey", "TripleBogey"};
    const int under = strokes - par + 3; // 0 for three under par
    if (under < 0) {
        return ui::say("Albatross");
    }
    if (under < static_cast<int>(std::size(kWords))) {
        return ui::say(kWords[under]);
    }
    return "+" + std::to_string(strokes - par);
}

Record best_hole(int hole) {
    return read_record("Hole" + std::to_string(hole));
}

Record best_course() {
    return read_record("Course");
}

Offered offer_hole_score(int hole, int strokes, const char *name) {
    return offer("Hole" + std::to_string(hole), strokes, name);
}

Offered offer_course_score(int strokes, const char *name) {
    return offer("Course", strokes, name);
}

std::string offered_text(Offered offered) {
    switch (offered) {
    case Offered::KEPT:
        return ui::say("NewRecord");
    case Offered::NOT_KEPT:
        return ui::say("RecordNotSaved");
    case Offered::NOT_BETTER:
        break;
    }
    return "";
}
