#include "course.h"

#include "gen.h"
#include "xv.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr char kCourseList[] = "data\\courses.txt";
constexpr char kFirstCourse[] = "data\\levels.txt";
constexpr char kCourseSection[] = "course";
constexpr const char *kLanguages[COURSE_LANGUAGES] = {"EN", "FR", "ES", "DE", "IT", "PT", "JP"};
constexpr int kLongestValue = 254; // the string files' longest line

struct Courses {
    bool loaded = false;
    std::vector<COURSE> list;
    int chosen = 0;
};
Courses courses;
std::vector<COURSE> to_build; // added by the host; listed after the game's own

// A value of the file; empty when it has none (the quiet reader says
// nothing, the course reports what it misses in its own words).
std::string read_value(const char *file, const char *section, const char *key) {
    char value[kLongestValue + 1] = "";
    XV_INI_QUIET quiet;
    xv_io_ini_read(section, key, value, kLongestValue, file);
    return value;
}

bool read_int(const char *file, const char *section, const char *key, int *value) {
    *value = 0;
    XV_INI_QUIET quiet;
    return xv_io_ini_read_int(section, key, value, file) != 0;
}

std::string level_section(int hole) {
    char section[24];
    std::snprintf(section, sizeof section, "level%03d", hole);
    return section;
}

bool hole_listed(const char *file, int hole) {
    return !read_value(file, level_section(hole).c_str(), "world_file").empty();
}

bool valid_id(const std::string &id) {
    if (id.empty() || id.size() > COURSE_ID_LENGTH) {
        return false;
    }
    for (const char c : id) {
        if (!std::islower(static_cast<unsigned char>(c)) &&
            !std::isdigit(static_cast<unsigned char>(c)) && c != '-') {
            return false;
        }
    }
    return true;
}

// A course left out is said in the warning box and the log, with the file
// at fault.
bool leave_out(const char *file, const char *why) {
    gen_history("The course of %s is left out: %s\n", file, why);
    gen_message("The course of %s is left out: %s", file, why);
    return false;
}

// The count of holes: the [course] section's, or else the sections there
// are from [level001] on. A hole the section counts but the list lacks is
// reported by the level when it is played, naming the section.
bool read_hole_count(const char *file, int *count) {
    if (read_int(file, kCourseSection, "holes", count)) {
        if (*count >= 1 && *count <= MAX_COURSE_HOLES) {
            return true;
        }
        char why[96];
        std::snprintf(why, sizeof why, "holes=%d is out of range (1 to %d)", *count,
                      MAX_COURSE_HOLES);
        return leave_out(file, why);
    }
    *count = 0;
    while (*count < MAX_COURSE_HOLES && hole_listed(file, *count + 1)) {
        ++*count;
    }
    return *count > 0 || leave_out(file, "it has no hole ([level001] with a world_file)");
}

void read_hole(const char *file, int hole, COURSE_HOLE *card) {
    const std::string section = level_section(hole);
    for (int language = 0; language < COURSE_LANGUAGES; ++language) {
        const std::string key = std::string("name_") + kLanguages[language];
        card->names[language] = read_value(file, section.c_str(), key.c_str());
    }
    read_int(file, section.c_str(), "par", &card->par);
    card->mini_screen = read_value(file, section.c_str(), "mini_screen");
    card->stream = read_value(file, section.c_str(), "stream");
}

// The course's card from its level list; the first course may go without
// an id ("course").
bool read_course(const char *file, bool first, COURSE *course) {
    if (!xv_io_fexist(file, XV_IO_THROUGH_LAYER)) {
        return first ? false : leave_out(file, "the file is missing");
    }
    course->level_list = file;
    course->id = read_value(file, kCourseSection, "id");
    if (course->id.empty() && first) {
        course->id = "course";
    }
    if (!valid_id(course->id)) {
        return leave_out(file, "its id is not 1 to 31 lowercase letters, digits or '-'");
    }
    for (int language = 0; language < COURSE_LANGUAGES; ++language) {
        const std::string key = std::string("name_") + kLanguages[language];
        course->names[language] = read_value(file, kCourseSection, key.c_str());
    }
    if (!read_hole_count(file, &course->hole_count)) {
        return false;
    }
    for (int hole = 1; hole <= course->hole_count; ++hole) {
        read_hole(file, hole, &course->holes[hole - 1]);
    }
    return true;
}

bool id_taken(const std::string &id) {
    for (const COURSE &course : courses.list) {
        if (course.id == id) {
            return true;
        }
    }
    return false;
}

void add_course(const char *file, bool first) {
    COURSE course;
    if (!read_course(file, first, &course)) {
        return;
    }
    if (id_taken(course.id)) {
        leave_out(file, ("another course has the id " + course.id).c_str());
        return;
    }
    courses.list.push_back(std::move(course));
}

// The files the course list names: the first course's alone when there is
// no list. The first entry is the first course whatever its file.
std::vector<std::string> listed_files() {
    if (!xv_io_fexist(kCourseList, XV_IO_THROUGH_LAYER)) {
        return {kFirstCourse};
    }
    int count = 0;
    read_int(kCourseList, "courses", "count", &count);
    if (count < 1 || count > MAX_COURSES) {
        char why[96];
        std::snprintf(why, sizeof why, "count=%d is out of range (1 to %d); the first course alone",
                      count, MAX_COURSES);
        gen_history("%s: %s\n", kCourseList, why);
        gen_message("%s: %s", kCourseList, why);
        return {kFirstCourse};
    }
    std::vector<std::string> files;
    for (int n = 1; n <= count; ++n) {
        const std::string key = "course" + std::to_string(n);
        std::string file = read_value(kCourseList, "courses", key.c_str());
        if (file.empty()) {
            gen_history("%s: %s is missing\n", kCourseList, key.c_str());
            gen_message("%s: %s is missing", kCourseList, key.c_str());
            continue;
        }
        files.push_back(std::move(file));
    }
    return files;
}

// A course from a folder is made into its level list, which is read as the
// game's own are; what it says of itself must be what its folder said.
bool build_course(COURSE *course) {
    std::string level_list;
    if (!course->build(course->id.c_str(), &level_list)) {
        return false; // the builder said why
    }
    COURSE built;
    if (!read_course(level_list.c_str(), false, &built)) {
        return false;
    }
    if (built.id != course->id) {
        return leave_out(level_list.c_str(),
                         ("it calls itself " + built.id + ", not " + course->id).c_str());
    }
    *course = built;
    for (COURSE &added : to_build) {
        if (added.id == built.id) {
            added = built; // a second load of the lists finds it built
        }
    }
    return true;
}

void load_if_needed() {
    if (!courses.loaded) {
        courses_load();
    }
}

} // namespace

bool courses_load() {
    courses = Courses{};
    courses.loaded = true;
    const std::vector<std::string> files = listed_files();
    for (size_t i = 0; i < files.size(); ++i) {
        add_course(files[i].c_str(), i == 0);
    }
    for (const COURSE &added : to_build) {
        if (courses.list.size() < MAX_COURSES && !id_taken(added.id)) {
            courses.list.push_back(added);
        }
    }
    return !courses.list.empty();
}

void courses_forget() {
    courses = Courses{};
    to_build.clear();
}

bool course_add_to_build(const COURSE &card, COURSE_BUILDER build) {
    load_if_needed();
    const char *why = nullptr;
    if (!valid_id(card.id)) {
        why = "its id is not 1 to 31 lowercase letters, digits or '-'";
    } else if (id_taken(card.id)) {
        why = "another course has its id";
    } else if (courses.list.size() >= MAX_COURSES) {
        why = "the game has as many courses as it can list";
    } else if (!build) {
        why = "nothing can build it";
    }
    if (why) {
        return leave_out(card.id.c_str(), why);
    }
    COURSE added = card;
    added.build = build;
    added.hole_count = 0;
    to_build.push_back(added);
    courses.list.push_back(added);
    return true;
}

int course_count() {
    load_if_needed();
    return static_cast<int>(courses.list.size());
}

const COURSE *course_at(int index) {
    load_if_needed();
    return index >= 0 && index < course_count() ? &courses.list[index] : nullptr;
}

bool course_choose(const char *id) {
    load_if_needed();
    for (int index = 0; index < course_count(); ++index) {
        if (courses.list[index].id == id) {
            if (courses.list[index].build && !build_course(&courses.list[index])) {
                return false;
            }
            courses.chosen = index;
            return true;
        }
    }
    return false;
}

const COURSE &course() {
    static const COURSE none = [] {
        COURSE empty;
        empty.level_list = kFirstCourse;
        return empty;
    }();
    load_if_needed();
    return courses.list.empty() ? none : courses.list[courses.chosen];
}

const char *course_level_list() {
    return course().level_list.c_str();
}

const COURSE_HOLE *course_hole(int hole) {
    const COURSE &played = course();
    return hole >= 1 && hole <= played.hole_count ? &played.holes[hole - 1] : nullptr;
}

int course_language_index(const char *language) {
    for (int index = 0; index < COURSE_LANGUAGES; ++index) {
        if (language && std::strcmp(language, kLanguages[index]) == 0) {
            return index;
        }
    }
    return -1;
}

std::string course_hole_name(int hole, const char *language) {
    const COURSE_HOLE *card = course_hole(hole);
    if (!card) {
        return "";
    }
    const int index = course_language_index(language);
    return index >= 0 && !card->names[index].empty() ? card->names[index] : card->names[0];
}

std::string course_name(const COURSE &played, const char *language) {
    const int index = course_language_index(language);
    if (index >= 0 && !played.names[index].empty()) {
        return played.names[index];
    }
    return played.names[0].empty() ? played.id : played.names[0];
}
