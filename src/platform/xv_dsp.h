// The display module: the window, its modes and the services around it.
// The warning box and the close request are the parts every module needs.
#pragma once

enum {
    XV_MB_OK = 0x0,
    XV_MB_ICONEXCLAMATION = 0x30, // 48: the alert of an error report
    XV_MB_SYSTEMMODAL = 0x1000,
};

// The one way a message reaches the player. Every warning is appended to
// "Warning.txt" as "caption: text" (caption "Error" when null). Until the
// window exists the console stands in for the box. Returns the box's
// answer, or 1 when the warning was only logged.
int xv_warning(const char *text, const char *caption, unsigned style);
// As xv_warning; while the memory tracker runs the text is prefixed with
// "File <file>, line <line>".
int xv_warning_at(const char *file, long line, const char *text, const char *caption,
                  unsigned style);

// Asks the application to close after the current frame, as the close box
// of the window does. Asked before the window exists, the request waits for it.
void xv_dsp_request_close();
int xv_dsp_close_requested();
