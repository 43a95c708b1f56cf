#include "xv_error.h"

#include "os_file.h"
#include "os_stack.h"
#include "os_video.h"
#include "xv_dsp.h"
#include "xv_io.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Module {
    char name[XV_ERROR_MAX_NAME + 1];
    const char *const *messages;
};

struct ErrorState {
    XV_ERROR_CONFIG *config = nullptr;
    Module modules[XV_ERROR_MAX_MODULES] = {};
    int module_count = 0;
    int self = -1;
    int pending_module = -1;
    int pending_code = 0;
    char detail[XV_ERROR_DETAIL_SIZE] = {};
    char file_line[XV_ERROR_FILE_LINE_SIZE] = {};
};

ErrorState state;

enum { TOO_MANY_MODULES, NAME_TOO_LONG };
const char *const messages[] = {
    "Warning!  Too many modules in xv_error",
    "Warning!  Module name over 40 characters.  Tisk Tisk.",
    nullptr,
};

bool reporting() {
    return state.config && state.config->report;
}

const char *message_of(int module, int code) {
    if (module < 0 || module >= state.module_count || code < 0 || !state.modules[module].messages) {
        return nullptr;
    }
    const char *const *message = state.modules[module].messages;
    for (int i = 0; i < code && *message; ++i) {
        ++message;
    }
    return *message;
}

// The report text of a fault: the call stack under a title that names it.
void on_fault(int signal) {
    const char *title = signal == 4    ? "Illegal operation"
                        : signal == 8  ? "Division by zero"
                        : signal == 11 ? "Memory Access Violation"
                                       : nullptr;
    if (title) {
        xv_warning(xv_misc_call_stack("Signal Handler", __FILE__, __LINE__), title, 0);
    }
}

// Appends to the call-stack report without ever passing its limit.
struct ReportWriter {
    char *text;
    size_t limit; // characters, without the terminator
    size_t length = 0;
    bool overflowed = false;

    void append(const char *format, ...) __attribute__((format(printf, 2, 3))) {
        if (length >= limit) {
            overflowed = true;
            return;
        }
        va_list arguments;
        va_start(arguments, format);
        int wanted = vsnprintf(text + length, limit + 1 - length, format, arguments);
        va_end(arguments);
        if (wanted < 0 || length + static_cast<size_t>(wanted) > limit) {
            overflowed = true;
            length = limit;
        } else {
            length += static_cast<size_t>(wanted);
        }
    }
};

void append_frame(ReportWriter &report, void *address) {
    OS_FRAME frame;
    os_stack_describe(address, &frame);
    report.append("%08" PRIXPTR ": ", frame.address);
    if (frame.module[0]) {
        report.append("%s: ", frame.module);
    } else {
        report.append("<Unknown Module> ");
    }
    if (!frame.symbol[0]) {
        // Where the module's symbols are out of reach, the offset still
        // finds the place in a map file or a debugger.
        if (frame.module[0] && frame.module_offset) {
            report.append("<Unknown Symbol> at +0x%" PRIXPTR "\n", frame.module_offset);
        } else {
            report.append("<Unknown Symbol>\n");
        }
        return;
    }
    if (frame.symbol_offset) {
        report.append("%s + %d bytes\n", frame.symbol, static_cast<int>(frame.symbol_offset));
    } else {
        report.append("%s\n", frame.symbol);
    }
    if (frame.source[0]) {
        report.append("    %s, Line %d", frame.source, frame.line);
        if (frame.line_offset) {
            report.append(" + %d bytes\n", static_cast<int>(frame.line_offset));
        } else {
            report.append("\n");
        }
    }
}

} // namespace

int xv_error_init(XV_ERROR_CONFIG *config) {
    static bool handlers_installed = false;
    if (!handlers_installed) {
        os_fault_handlers_install(on_fault);
        // The game may end by exit() at any point: a count of repeated
        // warnings still reaches the log.
        std::atexit(xv_warning_log_close);
        handlers_installed = true;
    }
    state = ErrorState{};
    state.config = config;
    xv_warning_log_restart();
    if (reporting()) {
        os_file_delete(xv_io_write_path("Warning.txt").c_str());
    }
    state.self = xv_error_register("Error", messages);
    return 1;
}

int xv_error_deinit() {
    xv_warning_log_close();
    state.config = nullptr;
    return 1;
}

int xv_error_register(const char *name, const char *const *messages) {
    if (state.module_count == XV_ERROR_MAX_MODULES) {
        if (reporting()) {
            xv_error_raise(state.self, TOO_MANY_MODULES);
        }
        return -1;
    }
    name = name ? name : "";
    int module = state.module_count++;
    snprintf(state.modules[module].name, sizeof state.modules[module].name, "%s", name);
    state.modules[module].messages = messages;
    if (strlen(name) > XV_ERROR_MAX_NAME && reporting()) {
        xv_error_raise(state.self, NAME_TOO_LONG, "%s", name);
    }
    return module;
}

const char *xv_error_module_name(int module) {
    return module >= 0 && module < state.module_count ? state.modules[module].name : nullptr;
}

void xv_error_pending(int *module, int *code) {
    *module = state.pending_module;
    *code = state.pending_code;
}

void xv_error_set_pending(int module, int code) {
    state.pending_module = module;
    state.pending_code = code;
}

void xv_error_set_detail(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(state.detail, sizeof state.detail, format, arguments);
    va_end(arguments);
}

const char *xv_error_get_detail() {
    return state.detail;
}

int xv_error_reporting() {
    return reporting();
}

void xv_error_detail() {
    const char *name = xv_error_module_name(state.pending_module);
    const char *message = message_of(state.pending_module, state.pending_code);
    char text[XV_ERROR_DETAIL_SIZE + XV_ERROR_FILE_LINE_SIZE + 512];
    if (state.file_line[0]) {
        snprintf(text, sizeof text, "In module %s \n\n %s\n\n%s\n\n%s", name ? name : "?",
                 message ? message : "?", state.detail, state.file_line);
    } else {
        snprintf(text, sizeof text, "In module %s \n\n %s\n\n%s", name ? name : "?",
                 message ? message : "?", state.detail);
    }
    xv_warning(text, "Alert", XV_MB_ICONEXCLAMATION);
    state.detail[0] = '\0';
    // A report repeated word for word is counted in the log; its call stack
    // would only repeat too (and the slowest part of a report is building it).
    if (xv_warning_logged()) {
        xv_warning_more(xv_misc_call_stack("xv_error_detail", __FILE__, __LINE__), "", XV_MB_OK);
    }
}

namespace {

void report_with(int module, int code, int reports, const char *detail_format, va_list arguments)
    __attribute__((format(printf, 4, 0)));
void report_with(int module, int code, int reports, const char *detail_format, va_list arguments) {
    xv_error_set_pending(module, code);
    if (!reports) {
        return;
    }
    if (detail_format) {
        vsnprintf(state.detail, sizeof state.detail, detail_format, arguments);
    }
    xv_error_detail();
}

} // namespace

void xv_error_raise(int module, int code, const char *detail_format, ...) {
    va_list arguments;
    va_start(arguments, detail_format);
    report_with(module, code, 1, detail_format, arguments);
    va_end(arguments);
}

void xv_error_report(int module, int code, int reports, const char *detail_format, ...) {
    va_list arguments;
    va_start(arguments, detail_format);
    report_with(module, code, reports, detail_format, arguments);
    va_end(arguments);
}

void xv_error(const char *text) {
    xv_warning(text, "Alert", XV_MB_ICONEXCLAMATION);
    if (xv_warning_logged()) {
        xv_warning_more(xv_misc_call_stack("xv_error", __FILE__, __LINE__), "", XV_MB_OK);
    }
}

void xv_error_set_file_line(const char *file, int line) {
    snprintf(state.file_line, sizeof state.file_line, "(File: %s, Line: %d)", file, line);
}

const char *xv_error_get_file_line() {
    return state.file_line;
}

const char *xv_misc_call_stack(const char *label, const char *file, int line) {
    static const char end[] = "***** Call Stack End *****";
    static char text[XV_CALL_STACK_MAX + 1];
    // A stack too deep for the report loses its outermost frames, never its end.
    ReportWriter report{text, XV_CALL_STACK_MAX - (sizeof end - 1)};
    report.append("***** Call Stack Begin *****\nCalled from file: %s on line: %d\n%s\n", file,
                  line, label);
    if (!os_stack_load_symbols()) {
        report.append("ERROR: Unable to load the symbol data!\n");
    }
    void *frames[64];
    int count = os_stack_capture(frames, 64);
    if (count == 0) {
        report.append("ERROR: Unable to retrieve stack context!\n");
    }
    // The first frame is this function's own.
    for (int i = 1; i < count && !report.overflowed; ++i) {
        append_frame(report, frames[i]);
    }
    bool cut = report.overflowed;
    report.limit = XV_CALL_STACK_MAX;
    report.append("%s", end);
    if (cut) {
        xv_warning("Call stack too long in xv_misc_call_stack ()", nullptr, XV_MB_OK);
    }
    return text;
}

void xv_dx_version(int *version, int *platform) {
    *platform = os_video_probe(version) ? 3 : 0;
}

void xv_dx_release() {
    os_video_stop();
}

int xv_dx_check(XV_DX_CONFIG *result) {
    xv_dx_version(&result->version, &result->platform);
    if (result->platform != 0) {
        return 1;
    }
    xv_warning("Sorry, but this program requires Direct/X 5.0 or newer to be installed on a "
               "Windows 9x or Windows 2000 system. Click Ok to exit.",
               nullptr, XV_MB_OK);
    return 0;
}
