// What the play layer knows of the course besides the game: each hole's
// name (in the current language) and par from the course's card, the
// results in words, and the best scores, kept in the settings file's
// "Scores" section: per hole "Hole3", "Hole3Name", "Hole3Date", per course
// "Course", "CourseName", "CourseDate" for the first course, and the same
// keys after the course's id and a dot for every other ("evening.Hole3"),
// so that the first course's records of earlier games stand. A record is
// beaten by fewer strokes; a new one that cannot be written is said to the
// player.
#include "play_state.h"
#include "ui.h"

#include "app.h"

#include "xv.h"

#include <ctime>

namespace {

constexpr char kScores[] = "Scores";

// A record's key for the course played.
std::string record_key(const std::string &key) {
    const COURSE *first = course_at(0);
    return !first || course().id == first->id ? key : course().id + "." + key;
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
    return course_hole_name(hole, app_language());
}

int hole_par(int hole) {
    const COURSE_HOLE *card = course_hole(hole);
    return card ? card->par : 0;
}

std::string played_course_name() {
    return course_name(course(), app_language());
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
    return read_record(record_key("Hole" + std::to_string(hole)));
}

Record best_course() {
    return read_record(record_key("Course"));
}

Offered offer_hole_score(int hole, int strokes, const char *name) {
    return offer(record_key("Hole" + std::to_string(hole)), strokes, name);
}

Offered offer_course_score(int strokes, const char *name) {
    return offer(record_key("Course"), strokes, name);
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
