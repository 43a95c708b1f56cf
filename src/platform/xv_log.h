// The program's text logs ("Warning.txt", "error.txt", "history.txt"),
// kept readable and small whatever goes wrong and however often: an entry
// that repeats the one before it word for word is only counted, and the
// count is written as one line when the run of repeats ends; one run of the
// program writes at most the log's limit of bytes to it, the last of them a
// line that says the log was cut there.
//
// Nothing here allocates: a fault's report in a signal handler goes through
// it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

struct XV_LOG {
    const char *path;
    const char *entry;   // what the notes call an entry: "line", "report", ...
    const char *newline; // how the log ends its lines
    size_t limit;        // the most bytes one run writes to it, notes included
    bool empties;        // the run's first entry empties the file
    // The run so far.
    bool started;
    bool cut;
    size_t written;
    uint64_t last; // fingerprint of the entry repeats are compared with; 0: none
    long repeats;
};

// A log that nothing was written to yet in this run.
constexpr XV_LOG xv_log_make(const char *path, const char *entry, const char *newline, size_t limit,
                             bool empties) {
    return XV_LOG{path, entry, newline, limit, empties, false, false, 0, 0, 0};
}

// Whether the entry known by the key texts repeats the keyed entry before
// it: then it is only counted, and the caller writes nothing. Otherwise the
// count of the repeats before, if any, is written, and this key is the one
// the next entry is compared with. No key texts: an entry that is never a
// repeat, nor repeated.
bool xv_log_repeats(XV_LOG *log, std::initializer_list<std::string_view> key);
// Appends the texts; false when the file could not be written. What would
// pass the run's limit is dropped, after one line that says the log was cut.
bool xv_log_append(XV_LOG *log, std::initializer_list<std::string_view> texts);
// Whether the log was cut in this run: nothing more is written to it.
bool xv_log_cut(const XV_LOG *log);
// Writes the count of the repeats that are still to be written.
void xv_log_close(XV_LOG *log);
// The pending count written, the next entry starts a new run of the log.
void xv_log_restart(XV_LOG *log);
