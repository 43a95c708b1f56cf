// The display module: the window, its modes and the services around it.
// The warning box and the close request are the parts every module needs.
#pragma once

#include "os_message.h"
#include "xv_rect.h"

#include <atomic>
#include <cstdint>

struct XV_BITMAP;

enum {
    XV_MB_OK = 0x0,
    XV_MB_ICONEXCLAMATION = 0x30, // 48: the alert of an error report
    XV_MB_SYSTEMMODAL = 0x1000,
};

// The one way a message reaches the player. Every warning is appended to
// "Warning.txt" as "caption: text" (caption "Error" when null). Until the
// window exists the console stands in for the box. Returns the box's
// answer, or 1 when the warning was only logged.
int xv_warning(const char *text, const char *caption = nullptr, unsigned style = XV_MB_OK);
// As xv_warning, for text that belongs to the warning before it (a
// report's call stack): logged as part of that warning, so that a report
// repeated word for word stays one entry with a count.
int xv_warning_more(const char *text, const char *caption, unsigned style);
// Whether the last warning reached "Warning.txt": not when it repeated the
// one before it word for word (it was counted), nor once the log was cut.
// What would follow it there (a call stack) is then left out too.
bool xv_warning_logged();
// A run writes at most this much to "Warning.txt".
enum : unsigned { XV_WARNING_LOG_LIMIT = 1u << 20 };
// The warning log's count of repeats still to be written goes to it; after
// a restart the log's limit counts from zero again.
void xv_warning_log_close();
void xv_warning_log_restart();
// As xv_warning; while the memory tracker runs the text is prefixed with
// "File <file>, line <line>".
int xv_warning_at(const char *file, long line, const char *text, const char *caption,
                  unsigned style);

// Shows the text as a warning captioned with the window's title, then asks
// the application to close. Returns 0, for the caller's failure.
int xv_dsp_fatal(const char *text);

// The periodic timer: the callback runs every period milliseconds on the
// timer's own thread, so it may touch only what is safe there. Returns the
// timer's id, or 0 after a fatal message when no timer could be had.
using XV_TIMER_CALLBACK = void (*)(uint32_t timer_id);
uint32_t xv_timer_init(XV_TIMER_CALLBACK callback, uint32_t period);
// Stops the timer (no call runs after this returns) and zeroes the id.
void xv_timer_deinit(uint32_t *timer_id);
// The desktop's millisecond clock, as the timers count it (it wraps after
// 49 days): what the game's modules time themselves by.
uint32_t xv_tick_count();

// The warning box over the game's window: full screen is left while it
// shows, the game is inactive, and both come back after. False when there
// is no window to show it over.
bool xv_dsp_show_box(const char *text, const char *caption, unsigned style, int *answer);

// Asks the application to close after the current frame, as the close box
// of the window does: the window gets WM_CLOSE. Asked before the window
// exists, the request waits for it.
void xv_dsp_request_close();
int xv_dsp_close_requested();

// Where the red, green and blue bits of a 15- or 16-bit pixel lie.
struct XV_PIXEL_FORMAT {
    uint8_t red_shift, red_bits;
    uint8_t green_shift, green_bits;
    uint8_t blue_shift, blue_bits;
};
// 16-bit pixels are in the display's format (5-6-5 until a mode says
// otherwise); 15-bit pixels are always 5-5-5.
const XV_PIXEL_FORMAT *xv_dsp_pixel_format(int bits);
void xv_dsp_set_pixel_format16(const XV_PIXEL_FORMAT *format);
uint16_t xv_dsp_pack_pixel(int bits, uint8_t red, uint8_t green, uint8_t blue);
void xv_dsp_unpack_pixel(int bits, uint16_t pixel, uint8_t *red, uint8_t *green, uint8_t *blue);

// Whether the screen is drawn by a hardware-accelerated 3D card; menu lines
// may show only with one or only without. Set when 3D starts.
int xv_dsp_is_accelerated();
void xv_dsp_set_accelerated(int accelerated);

// Resize lists: rectangles and points the application lays out for the
// design size, kept scaled to the virtual buffer's size. Each entry keeps
// the values registered; every rescale starts from them, so sizes never
// drift. Horizontal values scale by buffer width / design width, vertical
// ones by buffer height / design height, truncated toward zero.
struct XV_POINT_FLOAT {
    float x, y;
};
// A rectangle or point already in its list is refused with a warning.
int xv_dsp_rect_add(const char *file, int line, XV_RECT *rectangle);
int xv_dsp_rect_remove(const char *file, int line, XV_RECT *rectangle);
// Registers new values for an entry and scales the rectangle to them.
int xv_dsp_rect_modify(const char *file, int line, XV_RECT *rectangle, const XV_RECT *values);
int xv_dsp_point_float_add(const char *file, int line, XV_POINT_FLOAT *point);
int xv_dsp_point_float_remove(const char *file, int line, XV_POINT_FLOAT *point);
int xv_dsp_point_float_modify(const char *file, int line, XV_POINT_FLOAT *point,
                              const XV_POINT_FLOAT *values);
// Scales every entry from its registered values to the buffer's size.
void xv_dsp_resize_all();
// The size the application draws for (800 × 600 until set) and the
// virtual buffer's size (none until set: entries then keep their values).
// Setting the buffer's size rescales both lists.
void xv_dsp_set_design_size(int width, int height);
void xv_dsp_set_buffer_size(int width, int height);

// Whether the display is open, so that bitmaps reach the screen through
// the 3D interface rather than the software routines.
int xv_dsp_is_open();
// The game's window (null before xv_dsp_init): its menu bar is shared with
// the modules that keep items of it in step, such as the sound's.
OS_WINDOW xv_dsp_window();

// The 3D interface: what the engine installs so that the display draws
// through it. A slot left empty warns when called and returns 0.
struct XV_DSP_3D_INTERFACE {
    int (*init)(void *window, const XV_RECT *area, char *renderer, char *vendor);
    int (*deinit)();
    int (*video_mode_set)(const void *mode, int full_screen);
    int (*resize)(const XV_RECT *area);
    int (*flush)();
    int (*bit_3d_put)(XV_BITMAP *bitmap, const XV_RECT *screen, const XV_RECT *area, int flags);
    int (*bit_3d_get)(XV_BITMAP *bitmap, const XV_RECT *area);
    int (*bit_3d_free)(XV_BITMAP *bitmap);
    int (*screen_clear)();
    int (*display_update)();
};
void xv_dsp_3d_interface_set(const XV_DSP_3D_INTERFACE *table);
const XV_DSP_3D_INTERFACE *xv_dsp_3d_interface();

// ---- the window and its modes ------------------------------------------------------

// A mode the application prefers; the list ends with a width of 0.
struct XV_DSP_MODE_WISH {
    uint16_t width, height;
    uint16_t flags; // XV_DSP_LOW_RES, XV_DSP_HIGH_RES
};
enum { XV_DSP_LOW_RES = 1, XV_DSP_HIGH_RES = 2 };

// A mode the display offers.
struct XV_DSP_MODE {
    int32_t width, height;
    int16_t bits;
    int32_t refresh; // Hz
    uint32_t flags;  // XV_DSP_MODE_GREYED
};
enum { XV_DSP_MODE_GREYED = 4 };
enum { XV_DSP_NO_MODE = 65535 };

// The languages the game speaks, from its language file.
struct XV_DSP_LANGUAGE {
    char *name;            // in the Language menu
    char *abbreviation;    // appended to the names of the texts' sections
    char *fullscreen_text; // the full-screen menu item, in a window
    char *window_text;     // and in full screen
    int32_t number;        // kept in the settings
    int32_t characters;
};
struct XV_DSP_LANGUAGES {
    int32_t count;
    int32_t current;             // from 0
    int32_t multi;               // the player may switch
    XV_DSP_LANGUAGE **languages; // null where one is not offered or not found
};

// The display's configuration, kept by pointer from xv_dsp_init.
struct XV_DSP_CONFIG {
    int report;
    const char *class_name; // also names the lock a second copy finds
    const char *title;
    const char *menu_name;
    const char *resource_name;
    const char *icon_name;
    const char *cursor_name;
    const XV_DSP_MODE_WISH *modes;
    int16_t x, y; // of the window, -1 centred
    int16_t design_width, design_height;
    int32_t min_width, min_height;
    // Where the menu's dynamic parts stand: the Game pop-up on the bar and
    // the Language pop-up in it; the Display pop-up and Change Resolution in it.
    int32_t game_menu, language_menu;
    int32_t display_menu, resolution_menu;
    void (*menu_changed)();      // after every rebuild of the menu
    XV_DSP_LANGUAGES *languages; // or null: English alone
    int32_t fullscreen_default;
    std::atomic<int32_t> *active; // written on every activation change
    std::atomic<int32_t> *ready;  // 1 once a mode is set
    OS_WINDOW_PROC window_procedure;
    OS_WINDOW window; // written by xv_dsp_init
};

// What the 3D start learns of the card.
struct XV_DSP_3D_INFO {
    uint32_t flags; // XV_DSP_3D_ACCELERATED
    int32_t card;
    int32_t parameter1, parameter2;
};
enum { XV_DSP_3D_ACCELERATED = 8 };

// The display's start, given to xv_dsp_open.
struct XV_DSP_START {
    int report;           // warnings are also appended to "Warning.txt"
    XV_DSP_3D_INFO *info; // filled at the 3D start
    XV_BITMAP *screen;    // receives the virtual buffer's record after every resize
    void (*redraw)();     // the window must be drawn again
    int keep_aspect;      // a resized window keeps the design's proportions
    int draw_3d;          // the screen is drawn through the 3D interface
    int depth;            // of the virtual buffer: 8, 16, 24 or 32
};

// Creates the window (hidden until the first mode is set) and the mode
// list, and reads the "Display" settings; 0 when there is no window.
int xv_dsp_init(XV_DSP_CONFIG *config);
// Sets the first mode and starts 3D; 1 when a mode was set.
int xv_dsp_open(XV_DSP_START *start);
// Writes the settings, leaves full screen and releases everything.
void xv_dsp_close();
// The display's part of the window procedure.
intptr_t xv_dsp_window_message(OS_WINDOW window, uint32_t message, uintptr_t wparam,
                               intptr_t lparam);
// Shows the frame drawn since the last call.
void xv_dsp_update();

int xv_dsp_find_mode(int width, int height, int bits);
int xv_dsp_set_mode(int index);
const XV_DSP_MODE *xv_dsp_modes(int *count);
int xv_dsp_current_mode();
// 1 when the result is a window, 0 in full screen.
int xv_dsp_toggle_fullscreen();
int xv_dsp_is_fullscreen();
// The height the window's menu bar takes over the top of the picture; 0 in
// full screen, and before the bar is first drawn.
int xv_dsp_menu_height();
void xv_dsp_read_settings();
void xv_dsp_write_settings();
// Writes the screen to the first free "Snap%04d.tga"; 1 when one was written.
int xv_dsp_snapshot();
// F9 asks for the next frame: the 3D present writes it once it is drawn,
// before it is shown.
void xv_dsp_snapshot_if_due();
// The language file, in the menu's language order (English, French,
// Spanish, German, Italian, Portuguese, Japanese); null without one.
XV_DSP_LANGUAGES *xv_dsp_load_languages(const char *file_name);
// Makes the language with that number current; 1 when there is one.
int xv_dsp_select_language(XV_DSP_LANGUAGES *languages, int number);
// Keeps the current language's number in the settings.
void xv_dsp_write_language(const XV_DSP_LANGUAGES *languages);
void xv_dsp_free_languages(XV_DSP_LANGUAGES *languages);

// The start-up splash: the 8-bit picture named by "Bitmap" in that section
// of the file, in a borderless window centred on the screen, on top of
// everything, until the game is ready. 1 when it shows.
int xv_dsp_splash_on(const char *file_name, const char *section, XV_DSP_CONFIG *config);
void xv_dsp_splash_off();
// The splash's window while it shows, else null: the warning box's owner
// until the game's own window shows.
OS_WINDOW xv_dsp_splash_window();

// Loads the window's menu in the current language and fills its dynamic
// parts: the resolutions, the languages, the check marks.
void xv_dsp_load_menu();

// Menu commands the display answers.
enum : uint32_t {
    XV_DSP_LOW_RES_FULLSCREEN = 50001,
    XV_DSP_HIGH_RES_FULLSCREEN = 50002,
    XV_DSP_FULLSCREEN = 50003,
    XV_DSP_64K_COLOURS = 50004,
    XV_DSP_DEFAULT_SIZE = 50005,
    XV_DSP_DEFAULT_MODE = 50006,
    XV_DSP_PREFERRED_MODE = 50100,  // + the preferred mode's place in the list
    XV_DSP_LISTED_MODE = 50201,     // + the mode's place in the display's list
    XV_DSP_CHOOSE_LANGUAGE = 50300, // + the language's place in the table
    XV_DSP_FILLED_LIST = 59999,     // a menu's only item where the display puts a list
};
