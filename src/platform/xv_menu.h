// Text menus drawn with a bitmap font over the game picture. A menu is one
// section of a string file:
//   NumLines, Position (x,y,width,height in percent of the screen),
//   Timeout, Delay (ms), Transparency (percent), Space (pixels between
//   lines), Default (1-based line), Escape (1: Escape leaves the menu),
//   and per line: Type_01, NumOptions_01, Value_01, Notif_01, Font_01
//   (1: proportional), Align_01 (1: centred), Line_01 or Line_01_01...
// Line types (bits 16 and 32 aside): 1 text; 2, 4 and 128 a line with a
// value (4 selectable), whose "%d" shows the value; 8 and 64 a choice among
// options (8 selectable). Bit 16 shows a line only on a hardware-
// accelerated display, bit 32 only on others.
//
// Navigation, as players expect it: up and down move to the previous or
// next selectable line and wrap around; left and right step a selectable
// line's value (a choice wraps around its options); Enter steps a choice
// or chooses any other selectable line; Escape leaves the menu when the
// file allows it. Keys within Delay ms of the activation are ignored, so
// the key that opened a menu does not also act in it. When no key comes
// for Timeout ms, the current line goes back to the default one.
#pragma once

#include "xv_bit.h"
#include "xv_font.h"

#include <cstdint>

struct XV_MENU_CONFIG {
    int report;       // non-zero: allocations named and every menu error reported
    int screen_width; // the screen positions in percent refer to
    int screen_height;
};

// What the menu asks of the application about a line with a value.
enum {
    XV_MENU_GET = 0,    // returns the value to show
    XV_MENU_SET = 1,    // the player changed it: returns the value to keep
    XV_MENU_CHOOSE = 2, // the player chose the line
};
using XV_MENU_CALLBACK = int (*)(int notification, int request, int value, void *data);

// Load flags.
enum {
    XV_MENU_CENTRED = 1, // texts centred across the menu (else from its left side)
};

// Activation flags.
enum {
    XV_MENU_ACTIVE = 1,
};

// Keys, as the application maps its input onto them.
enum {
    XV_MENU_KEY_UP = 1,
    XV_MENU_KEY_DOWN,
    XV_MENU_KEY_LEFT,
    XV_MENU_KEY_RIGHT,
    XV_MENU_KEY_ENTER,
    XV_MENU_KEY_ESCAPE,
};

// What a key did.
enum {
    XV_MENU_NOTHING = 0,
    XV_MENU_MOVED = 1,
    XV_MENU_CHANGED = 2, // a value changed (the callback was told)
    XV_MENU_CHOSEN = 3,  // a line was chosen (the callback was told)
    XV_MENU_LEFT = 4,    // Escape closed the menu
};

struct XV_MENU_TEXT {
    int16_t length;
    char *text;
    XV_RECT area; // in the resize list while the menu is loaded
};

struct XV_MENU_LINE {
    int32_t type;
    int32_t has_value;
    int32_t font_mode; // 1: proportional
    int32_t align;     // 1: centred
    int32_t value;
    int32_t notification;
    int32_t num_options;
    XV_MENU_TEXT *options;
};

struct XV_MENU {
    char *section;
    XV_RECT area; // in the resize list while the menu is loaded
    int32_t timeout, delay;
    int32_t transparency;
    uint32_t activation_time;
    int32_t escape, active;
    XV_MENU_CALLBACK callback;
    void *callback_data;
    int32_t space;
    int32_t num_lines;
    int32_t default_line, current_line; // from 0; -1 for none
    XV_MENU_LINE *lines;
    uint32_t last_key_time; // the time-out counts from here
};

int xv_menu_init(XV_MENU_CONFIG *config);

// The resize list holds the menu's rectangles: a loaded menu stays where
// it is until xv_menu_free.
int xv_menu_load(XV_MENU *menu, const char *file_name, const char *section,
                 XV_MENU_CALLBACK callback, void *callback_data, XV_FONT *font, int flags);
void xv_menu_free(XV_MENU *menu);
void xv_menu_activate(XV_MENU *menu, int flags);
// The background, every shown line, and the marker image left of the current line.
void xv_menu_draw(XV_MENU *menu, XV_FONT *font, XV_BITMAP *destination, XV_BITMAP *marker,
                  int flags);

// One key; returns what it did.
int xv_menu_key(XV_MENU *menu, int key);
// Called every frame: applies the time-out.
void xv_menu_update(XV_MENU *menu);

// Whether a line can be selected, and whether it shows on this display.
int xv_menu_line_selectable(const XV_MENU *menu, int line);
int xv_menu_line_shown(const XV_MENU *menu, int line);
