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

namespace {

enum {
    OPEN_FAILED = 1,
    WRITE_FAILED = 2,
    RENAME_FAILED = 5,
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

// ---- writing through a backup copy ------------------------------------------

// Writes one piece of a line; a piece that ends the line ends it with CR LF.
bool write_piece(FILE *out, const char *piece) {
    size_t length = strlen(piece);
    bool ends_line = length && piece[length - 1] == '\n';
    while (length && (piece[length - 1] == '\n' || piece[length - 1] == '\r')) {
        --length;
    }
    if (fwrite(piece, 1, length, out) != length) {
        return false;
    }
    return !ends_line || fputs("\r\n", out) != EOF;
}

// Reads the backup in pieces of at most 254 characters, as the reader does,
// and knows which pieces start a line: only those can be headers or keys.
struct PieceReader {
    explicit PieceReader(FILE *stream) : in(stream) {}

    FILE *in;
    char piece[kLineSize] = {};
    bool at_line_start = true;
    bool starts_line = true;

    bool next() {
        starts_line = at_line_start;
        if (!fgets(piece, kLineSize, in)) {
            return false;
        }
        size_t length = strlen(piece);
        at_line_start = length && piece[length - 1] == '\n';
        return true;
    }
};

bool copy_with_value(FILE *in, FILE *out, const char *section, const char *key, const char *value) {
    PieceReader reader(in);
    size_t section_length = strlen(section);
    bool ok = true;
    bool found = false;
    while (ok && !found && reader.next()) {
        ok = write_piece(out, reader.piece);
        found = reader.starts_line && reader.piece[0] == '[' &&
                strncmp(reader.piece + 1, section, section_length) == 0;
    }
    if (!found) {
        return ok && fprintf(out, "\r\n[%s]\r\n%s=%s\r\n", section, key, value) > 0;
    }
    // Copy the section's first paragraph up to the key, a blank line or the
    // next header; the key's line goes there, the old one (all of it) not.
    size_t key_length = strlen(key);
    bool placed = false;
    bool dropping = false;
    while (ok && reader.next()) {
        if (dropping && !reader.starts_line) {
            continue; // the rest of the old key's line
        }
        dropping = false;
        const char *piece = reader.piece;
        if (!placed && reader.starts_line) {
            bool blank = piece[0] == '\n' || piece[0] == '\r';
            bool old_key = strncmp(piece, key, key_length) == 0;
            if (blank || piece[0] == '[' || old_key) {
                ok = fprintf(out, "%s=%s\r\n", key, value) > 0;
                placed = true;
                if (old_key) {
                    dropping = !reader.at_line_start;
                    continue;
                }
            }
        }
        ok = ok && write_piece(out, piece);
    }
    if (!placed) {
        ok = ok && fprintf(out, "%s=%s\r\n", key, value) > 0;
    }
    return ok;
}

// The file is renamed to its backup, written anew from it, and the backup
// deleted: a backup found at start-up is an interrupted write, and the
// settings it holds are the ones to keep (xv_io_ini_start).
int rewrite(const char *section, const char *key, const char *value, const char *file_name) {
    std::string path = os_file_find_path(file_name);
    std::string backup = path + ".bak";
    os_file_delete(backup.c_str());
    bool existed = os_file_exists(path.c_str());
    if (existed && !os_file_rename(path.c_str(), backup.c_str())) {
        report(RENAME_FAILED, file_name);
        return 0;
    }
    FILE *out = fopen(path.c_str(), "wb");
    bool ok = out != nullptr;
    if (ok && !existed) {
        ok = fprintf(out, "[%s]\r\n%s=%s\r\n", section, key, value) > 0;
    } else if (ok) {
        FILE *in = fopen(backup.c_str(), "rb");
        ok = in && copy_with_value(in, out, section, key, value);
        if (in) {
            fclose(in);
        }
    }
    ok = ok && os_file_sync(out);
    if (out && fclose(out) != 0) {
        ok = false;
    }
    if (!ok) {
        // Nothing is lost: the old file goes back in place.
        if (existed) {
            os_file_rename(backup.c_str(), path.c_str());
        } else {
            os_file_delete(path.c_str());
        }
        report(WRITE_FAILED, file_name);
        return 0;
    }
    if (existed) {
        os_file_delete(backup.c_str());
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

void write_memory_statistic(const char *section, const char *key, int value) {
    if (const char *path = xv_io_ini_path()) {
        xv_io_ini_write_int(section, key, value, path);
    }
}

// A backup left beside the settings file is a write that did not finish:
// the backup holds the settings as they were before it.
void recover_settings() {
    const char *settings = xv_io_settings_file();
    if (!settings) {
        return;
    }
    std::string path = os_file_find_path(settings);
    std::string backup = path + ".bak";
    if (os_file_exists(backup.c_str())) {
        os_file_rename(backup.c_str(), path.c_str());
    }
}

} // namespace

void xv_io_ini_start() {
    state = IniState{};
    recover_settings();
    xv_mem_set_statistics_writer(write_memory_statistic);
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
    if (!section || !key || !value || !file_name) {
        return 0;
    }
    if (xv_io_running() && xv_io_fexist(file_name, XV_IO_THROUGH_LAYER) == 1) {
        return write_in_archive(section, key, value, file_name);
    }
    return rewrite(section, key, value, file_name);
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

void xv_io_ini_forget_path() {
    xv_mem_release(state.settings_path);
    state.settings_path = nullptr;
}

const char *xv_io_ini_path() {
    const char *settings = xv_io_settings_file();
    if (!settings || !xv_io_running()) {
        return settings;
    }
    if (!state.settings_path) {
        std::string path = std::string(xv_io_start_directory()) + settings;
        state.settings_path = static_cast<char *>(XV_MALLOC(path.size() + 1));
        if (!state.settings_path) {
            report(NO_MEMORY);
            return nullptr;
        }
        memcpy(state.settings_path, path.c_str(), path.size() + 1);
    }
    return state.settings_path;
}
