#include "gen_info.h"

#include "xv_dsp.h"
#include "xv_error.h"
#include "xv_io.h"
#include "xv_log.h"
#include "xv_mem.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

const char kErrorFile[] = "error.txt";
const char kHistoryFile[] = "history.txt";
const char kDashes[] = "---------------------------------------------------------------";
static_assert(sizeof kDashes == 63 + 1);

constexpr size_t kFirstBufferSize = 100;
constexpr size_t kLargestBufferSize = size_t{1} << 20; // a longer message is cut

// The one text buffer every message is formatted into. It belongs to the
// memory tracker when the tracker was running as it was made, so that
// forgetting gen_info_deinit shows in the leak report under its name.
struct FormatBuffer {
    char *text = nullptr;
    size_t size = 0;
    bool tracked = false;

    bool replace(size_t new_size) {
        release();
        tracked = xv_mem_running();
        text = static_cast<char *>(tracked ? xv_mem_malloc(new_size) : malloc(new_size));
        if (!text) {
            return false;
        }
        if (tracked) {
            xv_mem_set_name(text, "gen_info_buffer (use gen_info_deinit)");
        }
        size = new_size;
        return true;
    }

    void release() {
        if (text) {
            tracked ? (void)xv_mem_free(text) : free(text);
        }
        text = nullptr;
        size = 0;
    }
};

FormatBuffer buffer;
bool error_reported = false;
std::string first_error; // what a program without a window says when it stops
bool tracing = true;
// An error met every frame is one report with a count; a run's logs stop at
// their limits (a loop that never ends must not fill the disk).
XV_LOG errors = xv_log_make(kErrorFile, "report", "\n", GEN_ERROR_LOG_LIMIT, true);
XV_LOG history = xv_log_make(kHistoryFile, "line", "\n", GEN_HISTORY_LOG_LIMIT, true);
// Whether the history's last text ended its line: only whole lines are
// compared, so that a line written in pieces is never broken by a count.
bool history_at_line_start = true;

void close_logs() {
    xv_log_close(&errors);
    xv_log_close(&history);
}

// The game may end by exit() at any point: the counts of repeats still
// reach the logs.
void close_logs_at_exit() {
    static const bool registered = std::atexit(close_logs) == 0;
    (void)registered;
}

// Formats into the buffer, doubling it until the message leaves a byte free.
const char *format_message(const char *format, va_list arguments) {
    if (!buffer.text && !buffer.replace(kFirstBufferSize)) {
        return "";
    }
    for (;;) {
        va_list attempt;
        va_copy(attempt, arguments);
        int length = vsnprintf(buffer.text, buffer.size, format, attempt);
        va_end(attempt);
        if (length >= 0 && static_cast<size_t>(length) < buffer.size - 1) {
            return buffer.text;
        }
        if (buffer.size >= kLargestBufferSize || !buffer.replace(buffer.size * 2)) {
            if (buffer.text) {
                buffer.text[buffer.size - 1] = '\0';
                return buffer.text;
            }
            return "";
        }
    }
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

} // namespace

void gen_info_init() {
    if (!error_reported) {
        xv_log_restart(&errors);
        remove(xv_io_write_path(kErrorFile).c_str());
    }
}

void gen_info_deinit() {
    buffer.release();
    close_logs();
}

void gen_info_set_trace(int on) {
    tracing = on != 0;
}

void gen_error(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const char *message = format_message(format, arguments);
    va_end(arguments);
    if (!error_reported) {
        first_error = message;
        while (!first_error.empty() && (first_error.back() == '\n' || first_error.back() == '\r')) {
            first_error.pop_back();
        }
    }
    error_reported = true;
    close_logs_at_exit();

    // The call stack is the slow part: none for a repeat or a full log. A
    // missing error file skips only the file; the close request still goes.
    if (!xv_log_repeats(&errors, {message}) && !xv_log_cut(&errors) &&
        !xv_log_append(&errors, {"* * * E R R O R ! * * *\n", kDashes, "\n", message, "\n",
                                 xv_misc_call_stack("gen_error", __FILE__, __LINE__), "\n", kDashes,
                                 "\n"})) {
        // The game closes on an error: it must not close without a word.
        const int error = errno;
        fprintf(stderr, "%s cannot be written (%s); the error was: %s\n",
                xv_io_write_path(kErrorFile).c_str(), strerror(error), message);
    }
    xv_dsp_request_close();
}

void gen_history(const char *format, ...) {
    if (!tracing) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    const std::string_view message = format_message(format, arguments);
    va_end(arguments);

    close_logs_at_exit();
    const bool whole_lines = history_at_line_start && message.ends_with('\n');
    if (!message.empty()) {
        history_at_line_start = message.ends_with('\n');
    }
    if (whole_lines ? xv_log_repeats(&history, {message}) : xv_log_repeats(&history, {})) {
        return;
    }
    // Each line reaches the file at once, for a crash to leave it behind.
    if (!xv_log_append(&history, {message})) {
        gen_error("gen_history: cant create or modify history file: %s", kHistoryFile);
    }
}

void gen_message(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const char *message = format_message(format, arguments);
    va_end(arguments);
    xv_warning(message, "Message", XV_MB_OK);
}

void gen_mem_failed(const char *source, int line, const char *name) {
    gen_error("gen_mem_malloc (%s %i): cant allocate enough memory for %s", source, line, name);
}

void *gen_calloc_named(size_t count, size_t size, const char *name,
                       const std::source_location &where) {
    void *block = xv_mem_calloc(count ? count : 1, size);
    if (!block) {
        gen_mem_failed(where.file_name(), static_cast<int>(where.line()), name);
        return nullptr;
    }
    xv_mem_set_name(block, name);
    return block;
}

void gen_assert(const char *expression, const char *source, int line) {
    gen_error("assert failed (%s) in file %s line %i", expression, source, line);
}

int gen_error_reported() {
    return error_reported;
}

const char *gen_error_first() {
    return first_error.c_str();
}

bool gen_test_if_filename_is_8_3(const char *path) {
    if (!path) {
        gen_error("gen_test_if_filename_is_8_3: filename is NULL!!");
        return false;
    }
    const char *name = path;
    for (const char *c = path; *c; ++c) {
        if (is_separator(*c)) {
            name = c + 1;
        }
    }
    const char *dot = strchr(name, '.');
    size_t base = dot ? static_cast<size_t>(dot - name) : strlen(name);
    size_t extension = dot ? strlen(dot + 1) : 0;
    if (base >= 1 && base <= 8 && extension <= 3) {
        return true;
    }
    gen_error("Filename %s is not 8.3 format -name %i extension %i-", path, static_cast<int>(base),
              static_cast<int>(extension));
    return false;
}

bool gen_test_path_is_8_3(const char *path) {
    if (!path) {
        return gen_test_if_filename_is_8_3(path);
    }
    std::string component;
    for (const char *c = path;; ++c) {
        if (*c && !is_separator(*c)) {
            component += *c;
            continue;
        }
        // Doubled separators make no component of their own.
        if (!component.empty() && !gen_test_if_filename_is_8_3(component.c_str())) {
            return false;
        }
        component.clear();
        if (!*c) {
            return true;
        }
    }
}
