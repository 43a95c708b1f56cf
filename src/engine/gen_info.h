// The engine's log: fatal errors to "error.txt", trace lines to
// "history.txt", notices in the warning box. All share one format buffer
// that grows as messages need.
#pragma once

#include <cstddef>
#include <source_location>

// A run writes at most this much to each log; an error repeated word for
// word, or a whole trace line, is written once with a count of its repeats.
enum : unsigned {
    GEN_ERROR_LOG_LIMIT = 1u << 20,
    GEN_HISTORY_LOG_LIMIT = 16u << 20,
};

// Deletes "error.txt", unless an error was reported already in this run.
void gen_info_init();
// Releases the format buffer; the counts of repeats still to be written go
// to the logs.
void gen_info_deinit();
// The trace ("history.txt") is written while on, as at start. Programs
// that load thousands of files a minute (the fuzzers) turn it off.
void gen_info_set_trace(int on);

// Writes the message and the call stack to "error.txt" (emptied by the
// first error of a run) and asks the application to close after this frame.
// Returns to the caller, which carries on.
void gen_error(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Appends the text, as formatted, to "history.txt" (emptied by the first
// line of a run).
void gen_history(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Shows the text in the warning box with the caption "Message".
void gen_message(const char *format, ...) __attribute__((format(printf, 1, 2)));
void gen_assert(const char *expression, const char *source, int line);
// The report of an allocation the engine could not have, by the block's name.
void gen_mem_failed(const char *source, int line, const char *name);
// A cleared block of count elements (one at least, so that an empty table
// is still a block to free), named in the memory report; null when memory
// ran out, reported at the caller's place.
void *gen_calloc_named(size_t count, size_t size, const char *name,
                       const std::source_location &where);
template <typename T>
T *gen_calloc(size_t count, const char *name,
              const std::source_location &where = std::source_location::current()) {
    return static_cast<T *>(gen_calloc_named(count, sizeof(T), name, where));
}
int gen_error_reported();
// The message of the run's first error ("" before any): the one to show
// when the program stops because of it.
const char *gen_error_first();

#define GEN_ASSERT(expression)                                                                     \
    ((expression) ? (void)0 : gen_assert(#expression, __FILE__, __LINE__))
// The same with the text of the report spelled out; true when it holds, so
// that the caller can step round what failed.
#define GEN_CHECK(condition, text)                                                                 \
    ((condition) ? true : (gen_assert((text), __FILE__, __LINE__), false))

// Whether the name after the last separator has a base of 1 to 8
// characters and an extension of at most 3; a failure is an engine error.
bool gen_test_if_filename_is_8_3(const char *path);
// The same test for every component of the path, up to the first failure.
bool gen_test_path_is_8_3(const char *path);
