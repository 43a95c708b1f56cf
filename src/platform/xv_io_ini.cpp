#include "xv_io_ini.h"

#include "os_file.h"
#include "xv_error.h"
#include "xv_io.h"
#include "xv_list.h"
#include "xv_mem.h"
#include "xv_str.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

enum {
    OPEN_FAILED = 1,
    WRITE_FAILED = 2,
    READ_FAILED = 3,
    NO_SECTION = 13,
    NO_KEY = 14,
    VALUE_TOO_LONG = 15,
    NO_MEMORY = 16,
    NULL_NAME = 21,
    ALREADY_KEPT = 22,
    NOT_KEPT = 23,
};

// A line is read into 255 bytes: 254 characters and the terminator.
constexpr int kLineSize = 255;

// A file held open between reads, with the section last found in it.
struct KeptFile {
    XV_FILE *file;
    char *section;         // null until a section is found
    long section_position; // just after that section's header line
};

struct IniState {
    XV_LIST *kept = nullptr;
    char *settings_path = nullptr;
};

IniState state;
// These outlive the file layer's runs, as its callers expect.
int suppressed = 0; // KEY_ERRORS_OFF, SECTION_ERRORS_OFF
int last_failed = 0;

void report(int code, const std::string &detail = {}) {
    xv_error_report(xv_io_module(), code, xv_io_reporting(), "%s", detail.c_str());
}

KeptFile *find_kept(const char *file_name) {
    if (!state.kept) {
        return nullptr;
    }
    for (XV_LIST_NODE *node = state.kept->head; node; node = node->next) {
        auto *kept = static_cast<KeptFile *>(node->item);
        if (strcmp(kept->file->name, file_name) == 0) {
            return kept;
        }
    }
    return nullptr;
}

// A tracked block labelled, when the layer reports, with what it is for.
void *allocate_labelled(size_t size, const char *label) {
    void *block = xv_mem_malloc(size);
    if (block && xv_io_reporting()) {
        xv_mem_set_name(block, label);
    }
    return block;
}

void release_kept(KeptFile *kept) {
    xv_mem_release(kept->section);
    xv_mem_free(kept);
}

void remember_section(KeptFile *kept, const char *section, long position) {
    if (!kept->section || strcmp(kept->section, section) != 0) {
        xv_mem_release(kept->section);
        size_t size = strlen(section) + 1;
        kept->section = static_cast<char *>(allocate_labelled(size, section));
        if (kept->section) {
            memcpy(kept->section, section, size);
        }
    }
    kept->section_position = position;
}

bool is_header(const char *line, const char *section, size_t length) {
    return line[0] == '[' && strncmp(line + 1, section, length) == 0 && line[1 + length] == ']';
}

// A file that is not kept is scanned once from its start; a kept one from
// where it stands to its end, and then once more from its start.
bool find_section(XV_FILE *file, KeptFile *kept, const char *section) {
    char line[kLineSize];
    size_t length = strlen(section);
    for (int pass = 0; pass < (kept ? 2 : 1); ++pass) {
        if (pass == 1) {
            xv_io_rewind(file);
        }
        while (xv_io_fgets(line, kLineSize, file)) {
            if (is_header(line, section, length)) {
                if (kept) {
                    remember_section(kept, section, xv_io_ftell(file));
                }
                return true;
            }
        }
    }
    return false;
}

// The value of key in the section the file stands in, copied to line; a
// kept file that started in the middle of its section looks at its start too.
const char *find_key(XV_FILE *file, KeptFile *kept, bool from_middle, const char *key, char *line) {
    size_t length = strlen(key);
    for (int pass = 0; pass < (from_middle ? 2 : 1); ++pass) {
        if (pass == 1) {
            xv_io_fseek(file, kept->section_position, SEEK_SET);
        }
        while (xv_io_fgets(line, kLineSize, file) && line[0] != '[') {
            if (strncmp(line, key, length) == 0 && line[length] == '=') {
                return line + length + 1;
            }
        }
    }
    // A search that ran to the next section's header has left the file in
    // that section: a kept file goes back to the start of its own, where the
    // next read of it begins.
    if (kept) {
        xv_io_fseek(file, kept->section_position, SEEK_SET);
    }
    return nullptr;
}

int fail(XV_FILE *file, KeptFile *kept) {
    if (!kept) {
        xv_io_fclose(file);
    }
    last_failed = 1;
    return 0;
}

// Atoi's reading, held to the range of an int.
int to_int(const char *text) {
    long long value = strtoll(text, nullptr, 10);
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// ---- writing: the whole new file beside the old, renamed over it ------------

// A line of a string file: raw is what stands before its LF (a CR of a CR
// LF included), ended whether an LF ended it.
struct Line {
    std::string_view raw;
    bool ended;

    bool blank() const { return raw.empty() ? ended : raw[0] == '\r'; }
    bool starts_with(char first, std::string_view name) const {
        return !raw.empty() && raw[0] == first && raw.substr(1).starts_with(name);
    }
    // As the writer writes it: every line ends with CR LF.
    void write_to(std::string *out) const {
        std::string_view text = raw;
        while (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        out->append(text);
        if (ended) {
            out->append("\r\n");
        }
    }
};

class Lines {
  public:
    explicit Lines(std::string_view text) : rest_(text) {}
    bool next(Line *line) {
        if (rest_.empty()) {
            return false;
        }
        size_t end = rest_.find('\n');
        *line = {rest_.substr(0, end), end != std::string_view::npos};
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
        return true;
    }

  private:
    std::string_view rest_;
};

// The text with the key's line put in: the section's header is found by
// its beginning, "[" and the name (the "]" is not looked at); the key's
// line replaces the first line of the section's first paragraph that
// begins with the key, or goes before the blank line or header that ends
// the paragraph. A missing section is added at the end, after a line end.
std::string with_value(std::string_view old, const char *section, const char *key,
                       const char *value) {
    std::string out;
    out.reserve(old.size() + strlen(key) + strlen(value) + 4);
    Lines lines(old);
    Line line;
    bool found = false;
    while (!found && lines.next(&line)) {
        line.write_to(&out);
        found = line.starts_with('[', section);
    }
    std::string key_line = xv_str_format("%s=%s\r\n", key, value);
    if (!found) {
        return out + xv_str_format("\r\n[%s]\r\n", section) + key_line;
    }
    bool placed = false;
    while (lines.next(&line)) {
        if (!placed && (line.blank() || line.starts_with('[', "") || line.raw.starts_with(key))) {
            out += key_line;
            placed = true;
            if (line.raw.starts_with(key)) {
                continue; // the old line goes, however long it was
            }
        }
        line.write_to(&out);
    }
    if (!placed) {
        if (!out.empty() && out.back() != '\n') {
            out += "\r\n"; // a last line without its line end keeps its own
        }
        out += key_line;
    }
    return out;
}

std::string with_values(std::string_view old, bool existed, const char *section,
                        const XV_INI_KEY *keys, int count) {
    std::string text;
    int first = 0;
    if (existed) {
        text = old;
    } else {
        text = xv_str_format("[%s]\r\n%s=%s\r\n", section, keys[0].key, keys[0].value);
        first = 1;
    }
    for (int i = first; i < count; ++i) {
        text = with_value(text, section, keys[i].key, keys[i].value);
    }
    return text;
}

// The sidecar files of a string file that is written: its lock, the new
// file before it is renamed over the old, and the old one kept.
struct WrittenFile {
    explicit WrittenFile(const char *file_name)
        : path(os_file_find_path(file_name)), lock(path + ".lock"), temporary(path + ".tmp"),
          backup(path + ".bak") {}
    std::string path, lock, temporary, backup;
};

// The locks this program holds, by path, and how many times over: a caller
// that holds one across a read and a write writes under it.
struct HeldLock {
    std::string path;
    OS_FILE_LOCK *lock;
    int depth;
};
std::vector<HeldLock> held_locks;

// A copy of the game writes for a few milliseconds at a time; one that
// holds the lock much longer has hung, and the write is given up.
constexpr int kLockWait = 2000;

bool take_lock(const WrittenFile &file, const char *file_name) {
    for (HeldLock &held : held_locks) {
        if (held.path == file.path) {
            ++held.depth;
            return true;
        }
    }
    std::string why;
    OS_FILE_LOCK *lock = os_file_lock(file.lock.c_str(), kLockWait, &why);
    if (!lock) {
        report(WRITE_FAILED, xv_str_format("%s: %s", file_name, why.c_str()));
        return false;
    }
    held_locks.push_back({file.path, lock, 1});
    return true;
}

void give_lock(const WrittenFile &file) {
    for (auto held = held_locks.begin(); held != held_locks.end(); ++held) {
        if (held->path == file.path && --held->depth == 0) {
            os_file_unlock(held->lock);
            held_locks.erase(held);
            return;
        }
    }
}

class LockHeld {
  public:
    LockHeld(const WrittenFile &file, const char *file_name)
        : file_(file), held_(take_lock(file, file_name)) {}
    ~LockHeld() {
        if (held_) {
            give_lock(file_);
        }
    }
    LockHeld(const LockHeld &) = delete;
    LockHeld &operator=(const LockHeld &) = delete;
    bool held() const { return held_; }

  private:
    const WrittenFile &file_;
    bool held_;
};

bool read_all(const std::string &path, std::string *bytes) {
    FILE *in = fopen(path.c_str(), "rb");
    if (!in) {
        return false;
    }
    bytes->clear();
    char chunk[16384];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, in)) > 0) {
        bytes->append(chunk, got);
    }
    bool read = !ferror(in);
    fclose(in);
    return read;
}

// Only a file that is missing or empty is lost: every write leaves a
// whole file, and one with anything in it may have been edited by hand.
bool lost(const WrittenFile &file) {
    return os_file_size(file.path.c_str()) <= 0 && os_file_size(file.backup.c_str()) > 0;
}

// The file as it stands, or its backup when the file was lost (cut to
// nothing, or deleted, by an older way of writing it or a disk that failed
// it). from_backup tells which; existed is false for a new file.
bool read_current(const WrittenFile &file, const char *file_name, std::string *bytes, bool *existed,
                  bool *from_backup) {
    *from_backup = lost(file);
    const std::string &source = *from_backup ? file.backup : file.path;
    *existed = *from_backup || os_file_exists(file.path.c_str());
    if (*existed && !read_all(source, bytes)) {
        report(READ_FAILED, xv_str_format("%s: %s", file_name, strerror(errno)));
        return false;
    }
    return true;
}

// Under the file's lock: the file as it stands (or its backup, when the
// file was lost), the keys put in, and the whole written beside it and
// renamed over it. The file it replaces is kept as the backup.
int rewrite(const char *section, const XV_INI_KEY *keys, int count, const char *file_name) {
    WrittenFile file(file_name);
    LockHeld lock(file, file_name);
    std::string old;
    bool existed = false;
    bool from_backup = false;
    if (!lock.held() || !read_current(file, file_name, &old, &existed, &from_backup)) {
        return 0;
    }
    std::string text = with_values(old, existed, section, keys, count);
    std::string why;
    // A lost file is no backup: the one there is kept.
    const char *backup = from_backup ? nullptr : file.backup.c_str();
    if (!os_file_replace(file.path.c_str(), file.temporary.c_str(), backup, text, &why)) {
        report(WRITE_FAILED, xv_str_format("%s: %s", file_name, why.c_str()));
        return 0;
    }
    return 1;
}

// A string file in the archive stays as it is. Its key is still found and
// measured, so that a write of another length is reported as such; one of
// the same length is refused by the archive.
int write_in_archive(const char *section, const char *key, const char *value,
                     const char *file_name) {
    XV_FILE *file = xv_io_fopen(file_name, "r+t");
    if (!file) {
        return 0;
    }
    char line[kLineSize];
    size_t section_length = strlen(section);
    bool in_section = false;
    while (!in_section && xv_io_fgets(line, kLineSize, file)) {
        in_section = line[0] == '[' && strncmp(line + 1, section, section_length) == 0;
    }
    if (!in_section) {
        report(NO_SECTION, xv_str_format("%s, [%s]", file_name, section));
        xv_io_fclose(file);
        return 0;
    }
    size_t key_length = strlen(key);
    long line_start = xv_io_ftell(file);
    bool found = false;
    while (!found && xv_io_fgets(line, kLineSize, file) && line[0] && line[0] != '[') {
        found = strncmp(line, key, key_length) == 0;
        if (!found) {
            line_start = xv_io_ftell(file);
        }
    }
    std::string replacement = xv_str_format("%s=%s", key, value);
    if (!found) {
        report(NO_KEY, xv_str_format("%s, [%s]%s", file_name, section, key));
    } else if (replacement.size() != strlen(line)) {
        report(VALUE_TOO_LONG, xv_str_format("%s, [%s]%s=%s", file_name, section, key, value));
    } else {
        xv_io_fseek(file, line_start, SEEK_SET);
        xv_io_fputs(replacement.c_str(), file); // refused, and reported, by the archive
    }
    xv_io_fclose(file);
    return 0;
}

// In one rewrite: the game's last write, as it stops.
void write_memory_statistics(const char *section, const XV_MEM_STATISTIC *lines, int count) {
    const char *path = xv_io_ini_path();
    if (!path) {
        return;
    }
    std::vector<std::string> values(count);
    std::vector<XV_INI_KEY> keys(count);
    for (int i = 0; i < count; ++i) {
        values[i] = std::to_string(lines[i].value);
        keys[i] = {lines[i].key, values[i].c_str()};
    }
    xv_io_ini_write_keys(section, keys.data(), count, path);
}

// The settings put in place of a file that is not there, or lost: nothing
// of it is kept as the backup.
void put_in_place(const WrittenFile &file, const char *settings, const std::string &saved) {
    std::string why;
    if (!os_file_replace(file.path.c_str(), file.temporary.c_str(), nullptr, saved, &why)) {
        report(WRITE_FAILED, xv_str_format("%s: %s", settings, why.c_str()));
    }
}

// When the settings are named: a new file that a write left beside them
// (cut off before its rename) goes, and settings that were lost come back
// from their backup. Under the lock, since another copy may be writing.
void recover_settings() {
    const char *settings = xv_io_ini_path();
    if (!settings) {
        return;
    }
    WrittenFile file(settings);
    if (!os_file_exists(file.temporary.c_str()) && !lost(file)) {
        return;
    }
    LockHeld lock(file, settings);
    if (!lock.held()) {
        return;
    }
    os_file_delete(file.temporary.c_str());
    std::string saved;
    if (lost(file) && read_all(file.backup, &saved)) {
        put_in_place(file, settings, saved);
    }
}

// Settings kept in the user's folder (xv_io_settings_directory): the first
// time, the settings and best scores kept beside the game come along.
void adopt_settings_beside_the_game() {
    const char *settings = xv_io_ini_path();
    if (!settings || !xv_io_running() || !*xv_io_settings_directory()) {
        return;
    }
    WrittenFile file(settings);
    std::string beside_the_game =
        os_file_find_path((std::string(xv_io_start_directory()) + xv_io_settings_file()).c_str());
    if (os_file_exists(file.path.c_str()) || !os_file_exists(beside_the_game.c_str())) {
        return;
    }
    LockHeld lock(file, settings);
    std::string saved;
    if (lock.held() && !os_file_exists(file.path.c_str()) && read_all(beside_the_game, &saved)) {
        put_in_place(file, settings, saved);
    }
}

} // namespace

void xv_io_ini_start() {
    state = IniState{};
    recover_settings(); // when the configuration names them
    adopt_settings_beside_the_game();
    xv_mem_set_statistics_writer(write_memory_statistics);
}

void xv_io_ini_stop() {
    // The kept files themselves were closed with every other open file.
    if (state.kept) {
        while (auto *kept = static_cast<KeptFile *>(xv_list_pop_first(state.kept))) {
            release_kept(kept);
        }
        xv_list_destroy(state.kept);
    }
    xv_mem_release(state.settings_path);
    state = IniState{};
}

int xv_io_ini_read(const char *section, const char *key, char *buffer, int size,
                   const char *file_name) {
    if (buffer && size >= 0) {
        buffer[0] = '\0';
    }
    last_failed = 1;
    if (!section || !key || !buffer || size < 0) {
        return 0;
    }
    KeptFile *kept = file_name ? find_kept(file_name) : nullptr;
    XV_FILE *file = kept ? kept->file : xv_io_fopen(file_name, "rb");
    if (!file) {
        return 0;
    }
    bool from_middle = kept && kept->section && strcmp(kept->section, section) == 0;
    if (!from_middle && !find_section(file, kept, section)) {
        if (!(suppressed & SECTION_ERRORS_OFF)) {
            report(NO_SECTION, xv_str_format("%s,[%s]%s", file_name, section, key));
        }
        return fail(file, kept);
    }
    char line[kLineSize];
    const char *value = find_key(file, kept, from_middle, key, line);
    if (!value) {
        if (!(suppressed & KEY_ERRORS_OFF)) {
            report(NO_KEY, xv_str_format("%s,[%s]%s", file_name, section, key));
        }
        return fail(file, kept);
    }
    if (!kept) {
        xv_io_fclose(file);
    }
    size_t length = strlen(value);
    size_t stored = std::min(length, static_cast<size_t>(size));
    memcpy(buffer, value, stored);
    buffer[stored] = '\0';
    if (length > stored) {
        report(VALUE_TOO_LONG, xv_str_format("[%s]%s=%s", section, key, value));
    }
    last_failed = 0;
    return static_cast<int>(stored);
}

int xv_io_ini_read_int(const char *section, const char *key, int *value, const char *file_name) {
    char text[257];
    int result = xv_io_ini_read(section, key, text, 256, file_name);
    xv_str_trim(text);
    *value = to_int(text);
    return result;
}

int xv_io_ini_read_float(const char *section, const char *key, float *value,
                         const char *file_name) {
    char text[257];
    int result = xv_io_ini_read(section, key, text, 256, file_name);
    xv_str_trim(text);
    float parsed;
    if (sscanf(text, "%f", &parsed) == 1) {
        *value = parsed;
    }
    return result;
}

int xv_io_ini_write(const char *section, const char *key, const char *value,
                    const char *file_name) {
    const XV_INI_KEY one = {key, value};
    return xv_io_ini_write_keys(section, &one, 1, file_name);
}

int xv_io_ini_write_keys(const char *section, const XV_INI_KEY *keys, int count,
                         const char *file_name) {
    if (!section || !keys || count < 1 || !file_name) {
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        if (!keys[i].key || !keys[i].value) {
            return 0;
        }
        // A line end inside a key or value would write lines of its own
        // (another key, a section) into the file.
        if (std::strpbrk(keys[i].key, "\r\n=[") || std::strpbrk(keys[i].value, "\r\n")) {
            report(WRITE_FAILED, xv_str_format("%s: [%s]%s: a line end or '=' in a key or value",
                                               file_name, section, keys[i].key));
            return 0;
        }
    }
    if (xv_io_running() && xv_io_fexist(file_name, XV_IO_THROUGH_LAYER) == 1) {
        for (int i = 0; i < count; ++i) {
            write_in_archive(section, keys[i].key, keys[i].value, file_name);
        }
        return 0;
    }
    return rewrite(section, keys, count, file_name);
}

int xv_io_ini_lock(const char *file_name) {
    return file_name && take_lock(WrittenFile(file_name), file_name) ? 1 : 0;
}

void xv_io_ini_unlock(const char *file_name) {
    if (file_name) {
        give_lock(WrittenFile(file_name));
    }
}

XV_INI_LOCK::XV_INI_LOCK(const char *file_name)
    : file_name_(file_name ? file_name : ""), held_(xv_io_ini_lock(file_name) != 0) {}

XV_INI_LOCK::~XV_INI_LOCK() {
    if (held_) {
        xv_io_ini_unlock(file_name_.c_str());
    }
}

int xv_io_ini_write_int(const char *section, const char *key, int value, const char *file_name) {
    return xv_io_ini_write(section, key, xv_str_format("%d", value).c_str(), file_name);
}

int xv_io_ini_write_float(const char *section, const char *key, float value,
                          const char *file_name) {
    return xv_io_ini_write(section, key, xv_str_format("%f", value).c_str(), file_name);
}

XV_INI_QUIET::XV_INI_QUIET() : saved_(suppressed) {
    suppressed |= KEY_ERRORS_OFF | SECTION_ERRORS_OFF;
}

XV_INI_QUIET::~XV_INI_QUIET() {
    suppressed = saved_;
}

int xv_io_ini_set_mode(const char *file_name, int mode) {
    switch (mode) {
    case KEY_ERRORS_OFF:
    case SECTION_ERRORS_OFF:
        suppressed |= mode;
        return 1;
    case KEY_ERRORS_ON:
    case SECTION_ERRORS_ON:
        suppressed &= ~(mode / 2);
        return 1;
    case KEEP_OPEN:
    case KEEP_CLOSE:
        break;
    default:
        return 0;
    }
    if (!file_name) {
        report(NULL_NAME);
        return 0;
    }
    KeptFile *kept = find_kept(file_name);
    if (mode == KEEP_CLOSE) {
        if (!kept) {
            report(NOT_KEPT);
            return 0;
        }
        xv_io_fclose(kept->file);
        xv_list_remove(state.kept, kept);
        release_kept(kept);
        return 1;
    }
    if (kept) {
        report(ALREADY_KEPT);
        return 0;
    }
    XV_FILE *file = xv_io_fopen(file_name, "rb");
    if (!file) {
        return 0;
    }
    kept = static_cast<KeptFile *>(allocate_labelled(sizeof(KeptFile), file_name));
    if (!kept) {
        xv_io_fclose(file);
        return 0;
    }
    *kept = KeptFile{file, nullptr, 0};
    if (!state.kept) {
        xv_list_create(&state.kept);
    }
    xv_list_append(state.kept, kept);
    return 1;
}

int xv_io_ini_status(int selector) {
    return selector == 1 ? last_failed : 0;
}

void xv_io_ini_settings_named() {
    xv_mem_release(state.settings_path);
    state.settings_path = nullptr;
    recover_settings();
    adopt_settings_beside_the_game();
}

const char *xv_io_ini_path() {
    const char *settings = xv_io_settings_file();
    if (!settings || !xv_io_running()) {
        // Kept past the layer's stop, for the memory tracker's statistics.
        static std::string unstarted;
        unstarted = std::string(xv_io_settings_directory()) + (settings ? settings : "");
        return settings && *xv_io_settings_directory() ? unstarted.c_str() : settings;
    }
    if (!state.settings_path) {
        std::string path = std::string(xv_io_settings_directory_or_start()) + settings;
        state.settings_path = static_cast<char *>(XV_MALLOC(path.size() + 1));
        if (!state.settings_path) {
            report(NO_MEMORY);
            return nullptr;
        }
        memcpy(state.settings_path, path.c_str(), path.size() + 1);
    }
    return state.settings_path;
}
