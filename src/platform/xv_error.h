// Error reports: every platform module registers a name and a table of
// messages once, and reports a failure as (module, code, detail text).
#pragma once

struct XV_ERROR_CONFIG {
    int report; // non-zero: the module reports, and "Warning.txt" is emptied at start
};

// The start-up check: what the game needs of the machine.
struct XV_DX_CONFIG {
    int report;
    int version;  // the media layer's version, 0xMMmm
    int platform; // 3 on a platform that can show the game, else 0
};

enum {
    XV_ERROR_MAX_MODULES = 100,
    XV_ERROR_MAX_NAME = 40,
    XV_ERROR_DETAIL_SIZE = 512,
    XV_ERROR_FILE_LINE_SIZE = 256,
    XV_CALL_STACK_MAX = 5001, // characters of a call-stack report
};

int xv_error_init(XV_ERROR_CONFIG *config);
int xv_error_deinit();
// The error module's own switch: when on, modules report even what their
// own configuration keeps quiet.
int xv_error_reporting();

// Registers a module; messages is indexed by code and ends with a null entry.
// Returns the module's number, or -1 when the table is full.
int xv_error_register(const char *name, const char *const *messages);
const char *xv_error_module_name(int module);

// The pending report: a module sets it, with its detail text, just before
// calling xv_error_detail.
void xv_error_set_pending(int module, int code);
// The last error raised: its module and code (-1 and 0 before any).
void xv_error_pending(int *module, int *code);
void xv_error_set_detail(const char *format, ...) __attribute__((format(printf, 1, 2)));
const char *xv_error_get_detail();
void xv_error_detail();
// The three steps above in one call; a null detail_format keeps the detail
// text already set.
void xv_error_raise(int module, int code, const char *detail_format = nullptr, ...)
    __attribute__((format(printf, 3, 4)));

// How every module reports one of its numbered messages: the code is left
// pending whatever happens, and when reports is set (by the module's own
// rule: its configuration's switch, for some with the error module's) the
// message is shown with the detail text. A null detail_format keeps the
// detail text already set.
void xv_error_report(int module, int code, int reports, const char *detail_format = nullptr, ...)
    __attribute__((format(printf, 4, 5)));
// Shows a text that belongs to no message table, then the call stack.
void xv_error(const char *text);

// The place every later report names, until it is set again.
void xv_error_set_file_line(const char *file, int line);
const char *xv_error_get_file_line();

// The call stack as text, from a single buffer reused by every call.
const char *xv_misc_call_stack(const char *label, const char *file, int line);

void xv_dx_version(int *version, int *platform);
int xv_dx_check(XV_DX_CONFIG *result);
// The last step of shutting down: what the check started goes.
void xv_dx_release();
