#include "xv_dsp.h"

#include "os_file.h"
#include "xv_mem.h"

#include <cstdio>
#include <string>

static const char warning_log[] = "Warning.txt";

static bool close_requested = false;

// Written without allocating: a fatal-signal handler reports through here.
int xv_warning(const char *text, const char *caption, unsigned style) {
    (void)style; // the box's icon and buttons, once there is a box
    const char *title = caption ? caption : "Error";
    text = text ? text : "";
    os_file_append(warning_log, {title, ": ", text, "\r\n"});
    os_debug_output({title, ": ", text, "\n"});
    return 1;
}

int xv_warning_at(const char *file, long line, const char *text, const char *caption,
                  unsigned style) {
    if (!xv_mem_running()) {
        return xv_warning(text, caption, style);
    }
    int length = snprintf(nullptr, 0, "File %s, line %ld\n%s", file, line, text);
    std::string located(static_cast<size_t>(length), '\0');
    snprintf(located.data(), located.size() + 1, "File %s, line %ld\n%s", file, line, text);
    return xv_warning(located.c_str(), caption, style);
}

void xv_dsp_request_close() {
    close_requested = true;
}

int xv_dsp_close_requested() {
    return close_requested;
}
