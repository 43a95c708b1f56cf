#include "course_folders.h"

#include "course.h"
#include "coursegen.h"
#include "gen.h"
#include "os_file.h"
#include "xv.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A change to what the builder makes of the same texts changes this, and
// so every course's key: courses built by an older game are built again.
constexpr char kBuilderEdition[] = "course builder 1";
constexpr char kBuiltMark[] = "built";
constexpr const char *kLanguages[COURSE_LANGUAGES] = {"EN", "FR", "ES", "DE", "IT", "PT", "JP"};

std::map<std::string, fs::path> folder_of; // by course id

// A fault of a player's course is theirs to mend: said in the warning box
// (on the terminal with no window) and the log.
void say(const std::string &text) {
    gen_history("%s\n", text.c_str());
    gen_message("%s", text.c_str());
}

bool read_bytes(const fs::path &path, std::string *bytes) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    *bytes = content.str();
    return static_cast<bool>(in) || in.eof();
}

// The fingerprint of every file of the folder, by name and content, in the
// order of their names, and of the builder's edition.
bool folder_key(const fs::path &folder, std::string *key) {
    std::vector<fs::path> files;
    std::error_code failed;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder, failed)) {
        if (entry.is_regular_file(failed)) {
            files.push_back(entry.path());
        }
    }
    if (failed) {
        return false;
    }
    std::sort(files.begin(), files.end());
    std::string texts = kBuilderEdition;
    for (const fs::path &file : files) {
        std::string bytes;
        if (!read_bytes(file, &bytes)) {
            return false;
        }
        texts += '\0' + file.filename().string() + '\0' + bytes;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, xv_str_fingerprint({texts}));
    *key = text;
    return true;
}

// What coursegen does, into the cache folder: the course's files, then the
// maps of its models, read back through the file layer as the game reads
// them; the mark last, so that a build cut short is made again.
bool build_into(const Course &course, const fs::path &built, std::string *error) {
    const uint32_t started = xv_tick_count();
    std::error_code failed;
    fs::remove_all(built, failed);
    fs::create_directories(built, failed);
    if (failed) {
        *error = "cannot make " + built.string() + ": " + failed.message();
        return false;
    }
    const std::string root = built.string() + "/";
    if (!coursegen_write_alone(course, root, error)) {
        return false;
    }
    xv_io_add_read_folder(root.c_str());
    const int load_maps = gen_wo2_load_maps();
    gen_wo2_set_load_maps(0); // the maps need the shapes alone
    const bool mapped = coursegen_build_maps({course}, error, root);
    gen_wo2_set_load_maps(load_maps);
    if (!mapped) {
        return false;
    }
    std::ofstream mark(built / kBuiltMark, std::ios::binary | std::ios::trunc);
    mark << kBuilderEdition << "\n";
    gen_history("Built the course %s into %s in %u ms\n", course.text.id.c_str(),
                built.string().c_str(), xv_tick_count() - started);
    return static_cast<bool>(mark);
}

// The course's level list, built when the cache does not have it yet.
bool build_from_folder(const char *id, std::string *level_list) {
    const auto found = folder_of.find(id);
    if (found == folder_of.end()) {
        return false;
    }
    const fs::path &folder = found->second;
    std::string why, key;
    const std::string cache = os_user_cache_directory("pinwheel", &why);
    if (cache.empty() || !folder_key(folder, &key)) {
        say("the course of " + folder.string() +
            " cannot be built: " + (cache.empty() ? why : "its files cannot be read"));
        return false;
    }
    const fs::path built = fs::path(cache) / "courses" / key;
    Course course;
    std::string error;
    if (!coursegen_read(folder.string(), &course, &error)) {
        say(error);
        return false;
    }
    course.first = false;
    std::error_code missing;
    if (fs::exists(built / kBuiltMark, missing)) {
        xv_io_add_read_folder((built.string() + "/").c_str());
    } else if (!build_into(course, built, &error)) {
        say("the course of " + folder.string() + " cannot be built: " + error);
        return false;
    }
    *level_list = course_levels_file(course);
    return true;
}

// A folder's course, listed by its names; false when its texts are at fault.
bool add_folder(const fs::path &folder, std::string *id) {
    Course course;
    std::string error;
    if (!coursegen_read(folder.string(), &course, &error)) {
        say(error);
        return false;
    }
    COURSE card;
    card.id = course.text.id;
    for (int language = 0; language < COURSE_LANGUAGES; ++language) {
        const auto name = course.text.names.find(kLanguages[language]);
        card.names[language] = name == course.text.names.end() ? "" : name->second;
    }
    folder_of[card.id] = folder;
    if (!course_add_to_build(card, build_from_folder)) {
        folder_of.erase(card.id);
        return false;
    }
    *id = card.id;
    return true;
}

bool is_course_folder(const fs::path &folder) {
    std::error_code failed;
    return fs::is_directory(folder, failed) && fs::is_regular_file(folder / "course.txt", failed);
}

// The players' courses, in the order of their folders' names.
std::vector<fs::path> players_folders() {
    std::string why;
    const std::string data = os_user_data_directory("pinwheel", &why);
    std::vector<fs::path> folders;
    std::error_code failed;
    if (data.empty() || !fs::is_directory(fs::path(data) / "courses", failed)) {
        return folders;
    }
    for (const fs::directory_entry &entry :
         fs::directory_iterator(fs::path(data) / "courses", failed)) {
        if (is_course_folder(entry.path())) {
            folders.push_back(entry.path());
        }
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

} // namespace

std::string course_folders_add(const char *asked) {
    folder_of.clear();
    std::string id;
    for (const fs::path &folder : players_folders()) {
        add_folder(folder, &id);
    }
    if (!asked) {
        return "";
    }
    std::error_code failed;
    const fs::path folder = fs::absolute(asked, failed);
    if (!failed && is_course_folder(folder)) {
        for (const auto &[listed, place] : folder_of) {
            if (fs::equivalent(place, folder, failed)) {
                return listed; // one of the players' own
            }
        }
        return add_folder(folder, &id) ? id : asked;
    }
    return asked;
}

bool course_folders_build(const std::string &folder, const std::string &into, std::string *why) {
    Course course;
    if (!coursegen_read(folder, &course, why)) {
        return false;
    }
    course.first = false;
    return build_into(course, into, why);
}
