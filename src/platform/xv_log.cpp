#include "xv_log.h"

#include "os_file.h"
#include "xv_io.h"
#include "xv_str.h"

#include <cstdio>
#include <cstring>

namespace {

// Room kept below the limit for the last two notes: a count and the cut.
constexpr size_t kNotesRoom = 192;

size_t size_of(std::initializer_list<std::string_view> texts) {
    size_t size = 0;
    for (std::string_view text : texts) {
        size += text.size();
    }
    return size;
}

// The log's path in the directory the game writes to, put together
// without allocating; the name alone when the two would not fit.
const char *place_of(const XV_LOG *log, char (&out)[4096]) {
    const char *directory = xv_io_write_directory();
    const size_t length = std::strlen(directory), name = std::strlen(log->path);
    if (length + name + 1 > sizeof out) {
        return log->path;
    }
    std::memcpy(out, directory, length);
    std::memcpy(out + length, log->path, name + 1);
    return out;
}

bool write(XV_LOG *log, std::initializer_list<std::string_view> texts) {
    char path[4096];
    const char *place = place_of(log, path);
    if (!log->started) {
        if (log->empties) {
            os_file_delete(place);
        }
        log->started = true;
    }
    log->written += size_of(texts);
    return os_file_append(place, texts);
}

void write_repeats(XV_LOG *log) {
    if (log->repeats == 0) {
        return;
    }
    char note[96];
    if (log->repeats == 1) {
        std::snprintf(note, sizeof note, "(the %s above repeated once)", log->entry);
    } else {
        std::snprintf(note, sizeof note, "(the %s above repeated %ld times)", log->entry,
                      log->repeats);
    }
    log->repeats = 0;
    write(log, {note, log->newline});
}

void cut(XV_LOG *log) {
    write_repeats(log);
    char note[96];
    std::snprintf(note, sizeof note, "(the log was cut here: a run writes at most %zu bytes to it)",
                  log->limit);
    write(log, {note, log->newline});
    log->cut = true;
}

} // namespace

bool xv_log_repeats(XV_LOG *log, std::initializer_list<std::string_view> key) {
    const uint64_t entry = key.size() ? xv_str_fingerprint(key) : 0;
    if (entry && entry == log->last) {
        ++log->repeats;
        return true;
    }
    if (!log->cut) {
        write_repeats(log);
    }
    log->repeats = 0;
    log->last = entry;
    return false;
}

bool xv_log_append(XV_LOG *log, std::initializer_list<std::string_view> texts) {
    if (log->cut) {
        return true;
    }
    write_repeats(log);
    if (log->written + size_of(texts) + kNotesRoom > log->limit) {
        cut(log);
        return true;
    }
    return write(log, texts);
}

bool xv_log_cut(const XV_LOG *log) {
    return log->cut;
}

void xv_log_close(XV_LOG *log) {
    if (!log->cut) {
        write_repeats(log);
    }
    log->repeats = 0;
    log->last = 0;
}

void xv_log_restart(XV_LOG *log) {
    xv_log_close(log);
    *log = xv_log_make(log->path, log->entry, log->newline, log->limit, log->empties);
}
