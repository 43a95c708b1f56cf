// The window's menu bar, as the desktop's menus were: pop-ups of items,
// each with an id, a text carrying its "&" mnemonic and a "\t" accelerator,
// greyed or checked. Choosing an item posts WM_COMMAND with its id to the
// window. The bar is drawn over the top of the frame when the frame is
// shown, and not at all in full screen.
#pragma once

#include "os_window.h"

#include <cstdint>
#include <string>
#include <vector>

enum : uint32_t {
    OS_MENU_GREYED = 0x1,
    OS_MENU_CHECKED = 0x8,
    OS_MENU_POPUP = 0x10,
    OS_MENU_SEPARATOR = 0x800,
};

struct OS_MENU_ITEM {
    std::string text;
    uint32_t id = 0;
    uint32_t flags = 0;
    std::vector<OS_MENU_ITEM> items; // of a pop-up
};

// The window takes a copy of the bar; an empty one removes it.
void os_window_set_menu(OS_WINDOW window, const std::vector<OS_MENU_ITEM> &bar);
// The window's bar, to change in place (check marks, texts); null without one.
std::vector<OS_MENU_ITEM> *os_window_menu(OS_WINDOW window);
void os_window_show_menu(OS_WINDOW window, int shown);
// The height the bar takes at the top of the window, 0 when hidden.
int os_window_menu_height(OS_WINDOW window);
// Where the item (or pop-up) with that text was drawn last, in window
// pixels; false when it was not drawn (its pop-up closed). For tests that
// click it.
bool os_window_menu_item_place(OS_WINDOW window, const std::string &text, int *x, int *y);

// The text as the bar shows it: "&Exit\tAlt+F4" gives "Exit" and "Alt+F4".
void os_menu_split_text(const std::string &text, std::string *label, std::string *accelerator);

// A modal dialog over the window, drawn as the bar is: a caption, lines of
// text and an OK button. It runs its own loop, as the desktop's dialogs
// did, until OK, Return, Escape or the window's close box; returns 1.
int os_dialog_run(OS_WINDOW window, const std::string &caption,
                  const std::vector<std::string> &lines);
