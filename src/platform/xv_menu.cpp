#include "xv_menu.h"

#include "os_time.h"
#include "xv_dsp.h"
#include "xv_error.h"
#include "xv_io.h"
#include "xv_io_ini.h"
#include "xv_mem.h"
#include "xv_str.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

enum Error {
    INVALID_MENU,
    NO_FILE,
    INVALID_FORMAT,
    NO_MEMORY,
    INVALID_POSITION,
    NO_LINE,
    INVALID_SIZE,
    LINE_TOO_LONG,
};

const char *const messages[] = {
    "Invalid menu pointer",
    "Couldn't find the menu file",
    "Invalid menu file format",
    "Not enough free memory to load the menu",
    "Invalid menu position",
    "Line not found",
    "Invalid menu size",
    "Variable line is too long",
    nullptr,
};

constexpr int kTypeMask = 207; // the type without its display bits 16 and 32
constexpr int kOnlyAccelerated = 16;
constexpr int kOnlyUnaccelerated = 32;
constexpr int kMaxLines = 99;
constexpr int kMaxOptions = 99;
constexpr int kMaxText = 255;

struct MenuModule {
    XV_MENU_CONFIG *config = nullptr;
    int module = -1;
};
MenuModule state;

bool reporting() {
    return (state.config && state.config->report) || xv_error_reporting();
}

void report(Error code, const std::string &detail = {}) {
    xv_error_report(state.module, code, reporting(), "%s", detail.c_str());
}

bool has_value(int type) {
    int kind = type & kTypeMask;
    return kind == 2 || kind == 4 || kind == 8 || kind == 64 || kind == 128;
}

bool is_choice(int type) {
    int kind = type & kTypeMask;
    return kind == 8 || kind == 64;
}

bool is_known_type(int type) {
    int kind = type & kTypeMask;
    return kind == 1 || has_value(type);
}

uint32_t elapsed_since(uint32_t tick) {
    return os_tick_count() - tick;
}

// ---- loading ------------------------------------------------------------------

struct Loader {
    XV_MENU *menu;
    const char *file_name;
    const char *section;

    std::string where(const char *key) const {
        return xv_str_format("%s [%s] %s", file_name, section, key);
    }
    // Whether the key is there; value untouched when it is not.
    bool read_int(const char *key, int *value) const {
        int read = 0;
        xv_io_ini_read_int(section, key, &read, file_name);
        if (xv_io_ini_status(1)) {
            return false;
        }
        *value = read;
        return true;
    }
    bool read_text(const char *key, char *buffer, int size) const {
        xv_io_ini_read(section, key, buffer, size, file_name);
        return !xv_io_ini_status(1);
    }
};

std::string key_of(const char *format, int i, int j = 0) {
    return xv_str_format(format, i, j);
}

void read_position(const Loader &loader, int percent[4]) {
    char text[64];
    int x, y, width, height;
    bool valid = loader.read_text("Position", text, sizeof text - 1) &&
                 sscanf(text, "%d,%d,%d,%d", &x, &y, &width, &height) == 4 && x >= 0 && y >= 0 &&
                 width > 0 && height > 0 && x + width <= 100 && y + height <= 100;
    if (!valid) {
        report(INVALID_POSITION, loader.where("Position"));
        x = 25, y = 25, width = 50, height = 50;
    }
    percent[0] = x, percent[1] = y, percent[2] = width, percent[3] = height;
}

bool read_menu_keys(const Loader &loader, int percent[4]) {
    XV_MENU *menu = loader.menu;
    int lines = 0;
    if (!loader.read_int("NumLines", &lines) && !loader.read_int("NbLines", &lines)) {
        report(NO_LINE, loader.where("NumLines"));
        return false;
    }
    if (lines < 1 || lines > kMaxLines) {
        report(INVALID_SIZE, xv_str_format("%s=%d", loader.where("NumLines").c_str(), lines));
        return false;
    }
    menu->num_lines = lines;
    read_position(loader, percent);
    menu->timeout = 10000, menu->delay = 500, menu->transparency = 50, menu->space = 10000;
    menu->escape = 1;
    loader.read_int("Timeout", &menu->timeout);
    loader.read_int("Delay", &menu->delay);
    loader.read_int("Transparency", &menu->transparency);
    loader.read_int("Space", &menu->space);
    loader.read_int("Escape", &menu->escape);
    int default_line = 0;
    loader.read_int("Default", &default_line);
    menu->default_line = default_line >= 1 && default_line <= lines ? default_line - 1 : -1;
    return true;
}

bool load_texts(const Loader &loader, XV_MENU_LINE *line, int i) {
    for (int j = 0; j < line->num_options; ++j) {
        std::string key =
            line->num_options > 1 ? key_of("Line_%02d_%02d", i, j + 1) : key_of("Line_%02d", i);
        char text[kMaxText + 1] = "";
        if (!loader.read_text(key.c_str(), text, kMaxText)) {
            report(NO_LINE, loader.where(key.c_str()));
        }
        XV_MENU_TEXT &option = line->options[j];
        if (!xv_str_create(&option.text, text, static_cast<int>(strlen(text)) + 1)) {
            report(NO_MEMORY, loader.where(key.c_str()));
            return false;
        }
        option.length = static_cast<int16_t>(strlen(text));
    }
    return true;
}

// Line i counts from 1, as its keys do.
bool load_line(const Loader &loader, XV_MENU_LINE *line, int i) {
    std::string key = key_of("Type_%02d", i);
    if (!loader.read_int(key.c_str(), &line->type)) {
        report(INVALID_FORMAT, loader.where(key.c_str()));
        return false;
    }
    if (!is_known_type(line->type)) {
        report(INVALID_FORMAT,
               xv_str_format("%s=%d", loader.where(key.c_str()).c_str(), line->type));
        return false;
    }
    line->num_options = 1;
    if (is_choice(line->type)) {
        key = key_of("NumOptions_%02d", i);
        int options = 0;
        if (!loader.read_int(key.c_str(), &options) &&
            !loader.read_int(key_of("NbOptions_%02d", i).c_str(), &options)) {
            report(INVALID_FORMAT, loader.where(key.c_str()));
            options = 1;
        }
        if (options < 1 || options > kMaxOptions) {
            report(INVALID_FORMAT,
                   xv_str_format("%s=%d", loader.where(key.c_str()).c_str(), options));
            options = 1;
        }
        line->num_options = options;
    }
    line->has_value = has_value(line->type);
    if (line->has_value) {
        for (const char *format : {"Value_%02d", "Notif_%02d"}) {
            key = key_of(format, i);
            int *field = format[0] == 'V' ? &line->value : &line->notification;
            if (!loader.read_int(key.c_str(), field)) {
                report(INVALID_FORMAT, loader.where(key.c_str()) + "=");
                line->has_value = 0;
            }
        }
    }
    for (auto [format, field] :
         {std::pair{"Font_%02d", &line->font_mode}, std::pair{"Align_%02d", &line->align}}) {
        key = key_of(format, i);
        *field = 1;
        if (!loader.read_int(key.c_str(), field)) {
            report(NO_LINE, loader.where(key.c_str()));
        }
    }
    line->options = static_cast<XV_MENU_TEXT *>(
        xv_mem_calloc(static_cast<size_t>(line->num_options), sizeof(XV_MENU_TEXT)));
    if (!line->options) {
        report(NO_MEMORY, loader.where(key_of("Line_%02d", i).c_str()));
        line->num_options = 0;
        return false;
    }
    if (state.config && state.config->report) {
        xv_mem_set_name(line->options,
                        xv_str_format("Menu: %s, line: %d", loader.section, i).c_str());
    }
    return load_texts(loader, line, i);
}

// The pen's flags for a line: proportional, centred.
int text_flags(const XV_MENU_LINE &line) {
    return (line.font_mode == 1 ? XV_FONT_PROPORTIONAL : 0) |
           (line.align == 1 ? XV_FONT_CENTRE : 0);
}

// Lines stand one under another, a pitch high and Space apart; the widest
// text spans the menu and the others keep their width in proportion.
void lay_out(XV_MENU *menu, const int percent[4], XV_FONT *font, int flags) {
    int screen_width = state.config ? state.config->screen_width : 800;
    int screen_height = state.config ? state.config->screen_height : 600;
    menu->area = {static_cast<int16_t>(percent[0] * screen_width / 100),
                  static_cast<int16_t>(percent[1] * screen_height / 100),
                  static_cast<int16_t>(percent[2] * screen_width / 100),
                  static_cast<int16_t>(percent[3] * screen_height / 100)};
    long gaps = static_cast<long>(menu->num_lines - 1) * menu->space;
    long pitch = (menu->area.height - gaps) / menu->num_lines;
    if (pitch < 1) {
        report(INVALID_SIZE, xv_str_format("%s [%s]", "menu", menu->section));
        pitch = 0;
    }
    long widest = 0;
    for (int i = 0; i < menu->num_lines; ++i) {
        XV_MENU_LINE &line = menu->lines[i];
        for (int j = 0; j < line.num_options; ++j) {
            XV_RECT size = {};
            xv_font_text_size(font, line.options[j].text, &size,
                              text_flags(line) & XV_FONT_PROPORTIONAL);
            line.options[j].area.width = size.width;
            widest = std::max<long>(widest, size.width);
        }
    }
    for (int i = 0; i < menu->num_lines; ++i) {
        XV_MENU_LINE &line = menu->lines[i];
        long top = menu->area.y + i * (pitch + menu->space);
        for (int j = 0; j < line.num_options; ++j) {
            XV_RECT &area = line.options[j].area;
            long width = widest ? area.width * menu->area.width / widest : 0;
            long left = menu->area.x;
            if ((flags & XV_MENU_CENTRED) || line.align == 1) {
                left += (menu->area.width - width) / 2;
            }
            area = {static_cast<int16_t>(left), static_cast<int16_t>(top),
                    static_cast<int16_t>(width), static_cast<int16_t>(pitch)};
            xv_dsp_rect_add(__FILE__, __LINE__, &area);
        }
    }
    xv_dsp_rect_add(__FILE__, __LINE__, &menu->area);
}

// ---- values and navigation -------------------------------------------------------

int line_value(const XV_MENU *menu, const XV_MENU_LINE &line) {
    if (!menu->callback) {
        return line.value;
    }
    return menu->callback(line.notification, XV_MENU_GET, line.value, menu->callback_data);
}

// The text a line shows now: its chosen option, or its text with the value
// in place of "%d".
bool shown_text(const XV_MENU *menu, const XV_MENU_LINE &line, std::string *text) {
    if (!line.num_options) {
        return false;
    }
    if (!line.has_value) {
        *text = line.options[0].text;
        return true;
    }
    int value = line_value(menu, line);
    if (is_choice(line.type)) {
        *text = line.options[std::clamp(value, 0, line.num_options - 1)].text;
        return true;
    }
    *text = line.options[0].text;
    size_t place = text->find("%d");
    if (place != std::string::npos) {
        text->replace(place, 2, std::to_string(value));
    }
    if (text->size() > kMaxText) {
        report(LINE_TOO_LONG, xv_str_format("%s [%s]", menu->section, line.options[0].text));
        return false;
    }
    return true;
}

// The next selectable line in that direction, wrapping around; the
// current one when there is no other.
int next_line(const XV_MENU *menu, int from, int direction) {
    int line = from;
    for (int step = 0; step < menu->num_lines; ++step) {
        line = (line + direction + menu->num_lines) % menu->num_lines;
        if (xv_menu_line_selectable(menu, line)) {
            return line;
        }
    }
    return from;
}

int step_value(XV_MENU *menu, int direction) {
    XV_MENU_LINE &line = menu->lines[menu->current_line];
    if (!line.has_value) {
        return XV_MENU_NOTHING;
    }
    int value = line_value(menu, line) + direction;
    if (is_choice(line.type)) {
        value = (value % line.num_options + line.num_options) % line.num_options;
    }
    if (menu->callback) {
        value = menu->callback(line.notification, XV_MENU_SET, value, menu->callback_data);
    }
    line.value = value;
    return XV_MENU_CHANGED;
}

void free_lines(XV_MENU *menu) {
    for (int i = 0; menu->lines && i < menu->num_lines; ++i) {
        XV_MENU_LINE &line = menu->lines[i];
        for (int j = 0; line.options && j < line.num_options; ++j) {
            xv_dsp_rect_remove(__FILE__, __LINE__, &line.options[j].area);
            if (line.options[j].text) {
                xv_str_destroy(line.options[j].text);
            }
        }
        xv_mem_release(line.options);
    }
    xv_mem_release(menu->lines);
}

XV_MENU empty_menu() {
    XV_MENU menu{};
    menu.default_line = -1;
    menu.current_line = -1;
    return menu;
}

} // namespace

int xv_menu_init(XV_MENU_CONFIG *config) {
    state.config = config;
    state.module = xv_error_register("Menu", messages);
    return 1;
}

int xv_menu_load(XV_MENU *menu, const char *file_name, const char *section,
                 XV_MENU_CALLBACK callback, void *callback_data, XV_FONT *font, int flags) {
    if (!menu || !file_name || !section) {
        report(INVALID_MENU);
        return 0;
    }
    *menu = empty_menu();
    if (!xv_io_fexist(file_name, XV_IO_THROUGH_LAYER)) {
        report(NO_FILE, file_name);
        return 0;
    }
    if (!xv_str_create(&menu->section, section, 0)) {
        report(NO_MEMORY, xv_str_format("%s [%s]", file_name, section));
        return 0;
    }
    Loader loader{menu, file_name, section};
    int percent[4];
    XV_INI_QUIET quiet; // missing keys are reported below, as menu errors
    xv_io_ini_set_mode(file_name, KEEP_OPEN);
    bool loaded = read_menu_keys(loader, percent);
    if (loaded) {
        menu->lines = static_cast<XV_MENU_LINE *>(
            xv_mem_calloc(static_cast<size_t>(menu->num_lines), sizeof(XV_MENU_LINE)));
        if (!menu->lines) {
            report(NO_MEMORY, xv_str_format("%s [%s]", file_name, section));
            loaded = false;
        }
    }
    for (int i = 0; loaded && i < menu->num_lines; ++i) {
        loaded = load_line(loader, &menu->lines[i], i + 1);
    }
    xv_io_ini_set_mode(file_name, KEEP_CLOSE);
    if (!loaded) {
        // Nothing is in the resize list yet.
        free_lines(menu);
        xv_str_destroy(menu->section);
        *menu = empty_menu();
        return 0;
    }
    lay_out(menu, percent, font, flags);
    menu->callback = callback;
    menu->callback_data = callback_data;
    return 1;
}

void xv_menu_free(XV_MENU *menu) {
    if (!menu) {
        report(INVALID_MENU);
        return;
    }
    free_lines(menu);
    xv_dsp_rect_remove(__FILE__, __LINE__, &menu->area);
    if (menu->section) {
        xv_str_destroy(menu->section);
    }
    *menu = empty_menu();
}

int xv_menu_line_shown(const XV_MENU *menu, int line) {
    if (!menu || line < 0 || line >= menu->num_lines || !menu->lines) {
        return 0;
    }
    int type = menu->lines[line].type;
    bool accelerated = xv_dsp_is_accelerated();
    return !((type & kOnlyAccelerated) && !accelerated) &&
           !((type & kOnlyUnaccelerated) && accelerated);
}

int xv_menu_line_selectable(const XV_MENU *menu, int line) {
    return xv_menu_line_shown(menu, line) && (menu->lines[line].type & (4 | 8));
}

void xv_menu_activate(XV_MENU *menu, int flags) {
    if (!menu) {
        report(INVALID_MENU);
        return;
    }
    if (menu->current_line < 0) {
        if (xv_menu_line_selectable(menu, menu->default_line)) {
            menu->current_line = menu->default_line;
        } else {
            for (int line = menu->num_lines - 1; line >= 0; --line) {
                if (xv_menu_line_selectable(menu, line)) {
                    menu->current_line = line;
                    break;
                }
            }
        }
    }
    menu->active = flags & XV_MENU_ACTIVE;
    menu->activation_time = os_tick_count();
    menu->last_key_time = menu->activation_time;
}

int xv_menu_key(XV_MENU *menu, int key) {
    if (!menu || !menu->active ||
        elapsed_since(menu->activation_time) < static_cast<uint32_t>(std::max(0, menu->delay))) {
        return XV_MENU_NOTHING;
    }
    menu->last_key_time = os_tick_count();
    if (key == XV_MENU_KEY_ESCAPE) {
        if (!menu->escape) {
            return XV_MENU_NOTHING;
        }
        menu->active = 0;
        return XV_MENU_LEFT;
    }
    if (menu->current_line < 0) {
        return XV_MENU_NOTHING;
    }
    XV_MENU_LINE &line = menu->lines[menu->current_line];
    switch (key) {
    case XV_MENU_KEY_UP:
    case XV_MENU_KEY_DOWN: {
        int next = next_line(menu, menu->current_line, key == XV_MENU_KEY_UP ? -1 : 1);
        bool moved = next != menu->current_line;
        menu->current_line = next;
        return moved ? XV_MENU_MOVED : XV_MENU_NOTHING;
    }
    case XV_MENU_KEY_LEFT:
    case XV_MENU_KEY_RIGHT:
        return step_value(menu, key == XV_MENU_KEY_LEFT ? -1 : 1);
    case XV_MENU_KEY_ENTER:
        if (is_choice(line.type) && line.has_value) {
            return step_value(menu, 1);
        }
        if (menu->callback) {
            menu->callback(line.notification, XV_MENU_CHOOSE, line.value, menu->callback_data);
        }
        return XV_MENU_CHOSEN;
    default:
        return XV_MENU_NOTHING;
    }
}

void xv_menu_update(XV_MENU *menu) {
    if (!menu || !menu->active || menu->timeout <= 0 ||
        elapsed_since(menu->last_key_time) < static_cast<uint32_t>(menu->timeout)) {
        return;
    }
    if (xv_menu_line_selectable(menu, menu->default_line)) {
        menu->current_line = menu->default_line;
    }
    menu->last_key_time = os_tick_count();
}

void xv_menu_draw(XV_MENU *menu, XV_FONT *font, XV_BITMAP *destination, XV_BITMAP *marker,
                  int flags) {
    (void)flags; // one way of drawing so far
    if (!menu || !menu->active || !font || !destination) {
        return;
    }
    int level = xv_bit_get_transparency();
    xv_bit_set_transparency(std::clamp(menu->transparency, 0, 100));
    xv_bit_fill(destination, &menu->area, 0);
    xv_bit_set_transparency(level);
    for (int i = 0; i < menu->num_lines; ++i) {
        const XV_MENU_LINE &line = menu->lines[i];
        std::string text;
        if (!xv_menu_line_shown(menu, i) || !shown_text(menu, line, &text)) {
            continue;
        }
        int option = is_choice(line.type) && line.has_value
                         ? std::clamp(line_value(menu, line), 0, line.num_options - 1)
                         : 0;
        const XV_RECT &area = line.options[option].area;
        xv_font_draw_text(font, destination, &area, text_flags(line), "%s", text.c_str());
        if (i == menu->current_line && marker && marker->width > 0) {
            XV_RECT at = {static_cast<int16_t>(area.x - marker->width - 4),
                          static_cast<int16_t>(area.y + (area.height - marker->height) / 2),
                          marker->width, marker->height};
            xv_bit_copy_transp(destination, marker, &at, nullptr, 0);
        }
    }
}
