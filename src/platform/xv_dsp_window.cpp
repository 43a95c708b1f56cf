// The display's window: its modes, full screen, the settings that bring it
// back as the player left it, the keys it answers (F4, Alt+Enter, F9) and
// the 3D start. The services around it (warnings, resize lists, the timer,
// the 3D interface table) are in xv_dsp.cpp.
#include "os_display.h"
#include "os_instance.h"
#include "os_menu.h"
#include "os_process.h"
#include "os_resource.h"
#include "xv_bit.h"
#include "xv_dsp.h"
#include "xv_io.h"
#include "xv_io_ini.h"
#include "xv_mem.h"
#include "xv_str.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kTextSize = 256; // renderer and vendor texts

const char kSoftwareWarning[] =
    "You are running in 3D software mode. This program will run extremely slow and jerky in "
    "software mode.  Please consult your video card\u2019s documentation for information on how "
    "to run in 3D accelerated mode using OpenGL drivers.\n\nPlease run the \"Display Setup\" "
    "program in this game\u2019s directory first.  If this does not help you enter 3D hardware "
    "mode, consult your video card\u2019s manual.\n\nThe publisher of this game can not help you "
    "setup your video card.  You should consult your video card manual or contact the video "
    "card web site or manufacturer.\n\nMost modern video cards allow you to run in 3D hardware "
    "accelerated mode.  Most modern 3D games are designed to run in 3D hardware mode.  Even a "
    "very slow computer running at 500 MHz or less will be able to adequately handle a 3D game, "
    "as long as you have a good 3D video card.";

struct Card {
    const char *name;
    int32_t card, parameter1, parameter2;
};
// Tested in this order on the upper-cased renderer text; the first match decides.
const Card kCards[] = {
    {"VOODOO2", 3, 4, 16},       {"VOODOO3", 4, 8, 16},  {"VOODOO4", 5, 16, 16},
    {"VOODOO5", 6, 16, 32},      {"BANSHEE", 1, 8, 16},  {"TNT", 32, 16, 32},
    {"GEFORCE 256", 33, 16, 32}, {"NVIDIA", 32, 16, 32}, {"RAGE 128", 61, 16, 32},
};

struct Display {
    XV_DSP_CONFIG *config = nullptr;
    XV_DSP_START *start = nullptr;
    OS_WINDOW window = nullptr;
    std::vector<XV_DSP_MODE> modes;
    int current = XV_DSP_NO_MODE;
    int desktop = XV_DSP_NO_MODE;
    int full_mode = XV_DSP_NO_MODE; // the mode full screen uses
    bool fullscreen = false;
    bool started_3d = false;
    bool accelerated = false;
    bool colours_64k = false;
    bool shown = false;        // the window is on the screen
    XV_RECT window_area{};     // "WindowPosition": the window's corner and client size
    XV_RECT full_area{};       // "FullPosition"
    bool snapshot_due = false; // F9: the next frame drawn is written
    XV_BITMAP buffer{};        // the virtual buffer
    char renderer[kTextSize] = "";
    char vendor[kTextSize] = "";
};
Display display;
bool close_requested = false; // asked before the window existed

const char kSection[] = "Display";

void set_active(bool active) {
    if (display.config && display.config->active) {
        *display.config->active = active;
    }
}

// ---- modes ---------------------------------------------------------------------

// The display's modes. Some drivers (the offscreen one) list no real mode
// beside the desktop's: the desktop's mode is always one of them, since
// the desktop itself shows it.
void list_modes() {
    display.modes.clear();
    for (const OS_DISPLAY_MODE &mode : os_display_modes()) {
        if (mode.width > 0 && mode.height > 0) {
            display.modes.push_back(
                {mode.width, mode.height, static_cast<int16_t>(mode.bits), mode.refresh, 0});
        }
    }
    OS_DISPLAY_MODE desktop{};
    display.desktop = XV_DSP_NO_MODE;
    if (!os_display_desktop_mode(&desktop) || desktop.width < 1 || desktop.height < 1) {
        return;
    }
    int index = xv_dsp_find_mode(desktop.width, desktop.height, desktop.bits);
    if (index < 0) {
        display.modes.push_back({desktop.width, desktop.height, static_cast<int16_t>(desktop.bits),
                                 desktop.refresh, 0});
        index = static_cast<int>(display.modes.size()) - 1;
    }
    display.desktop = index;
}

int mode_at_refresh(int width, int height, int bits, int refresh) {
    for (size_t i = 0; i < display.modes.size(); ++i) {
        const XV_DSP_MODE &mode = display.modes[i];
        if (mode.width == width && mode.height == height && mode.bits == bits &&
            mode.refresh == refresh) {
            return static_cast<int>(i);
        }
    }
    return xv_dsp_find_mode(width, height, bits);
}

// ---- settings --------------------------------------------------------------------

XV_RECT centred_window() {
    int16_t width = display.config->design_width, height = display.config->design_height;
    return {-1, -1, width, height};
}

bool read_rectangle(const char *key, XV_RECT *area) {
    const char *settings = xv_io_ini_path();
    char text[64];
    long x, y, width, height;
    if (!settings || !xv_io_ini_read(kSection, key, text, sizeof text - 1, settings) ||
        sscanf(text, "%ld,%ld,%ld,%ld", &x, &y, &width, &height) != 4 || width < 1 || height < 1 ||
        width > INT16_MAX || height > INT16_MAX) {
        return false;
    }
    *area = {static_cast<int16_t>(std::clamp<long>(x, -1, INT16_MAX)),
             static_cast<int16_t>(std::clamp<long>(y, -1, INT16_MAX)), static_cast<int16_t>(width),
             static_cast<int16_t>(height)};
    return true;
}

void write_rectangle(const char *key, const XV_RECT &area, const char *settings) {
    char text[64];
    snprintf(text, sizeof text, "%d,%d,%d,%d", area.x, area.y, area.width, area.height);
    xv_io_ini_write(kSection, key, text, settings);
}

// The window's client area, no smaller than the minimum and, when asked,
// in the design's proportions.
void refit(int *width, int *height) {
    const XV_DSP_CONFIG &config = *display.config;
    *width = std::max(*width, static_cast<int>(config.min_width));
    *height = std::max(*height, static_cast<int>(config.min_height));
    if (display.start && display.start->keep_aspect && config.design_width > 0) {
        long wanted = static_cast<long>(*width) * config.design_height / config.design_width;
        *height = static_cast<int>(std::max<long>(wanted, config.min_height));
    }
}

// ---- the virtual buffer and the 3D start -------------------------------------------

void resize_buffer(int width, int height) {
    xv_dsp_set_buffer_size(width, height);
    if (display.started_3d) {
        XV_RECT area = {0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height)};
        xv_dsp_3d_interface()->resize(&area);
    }
    if (display.start && display.start->screen) {
        *display.start->screen = display.buffer;
    }
}

void identify_card(XV_DSP_3D_INFO *info) {
    const std::string renderer = xv_str_upper(display.renderer);
    for (const Card &card : kCards) {
        if (renderer.find(card.name) != std::string::npos) {
            info->card = card.card;
            info->parameter1 = card.parameter1;
            info->parameter2 = card.parameter2;
            return;
        }
    }
    info->card = 0;
    info->parameter1 = 0;
}

bool start_3d() {
    int width, height;
    os_window_client_size(display.window, &width, &height);
    XV_RECT area = {0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height)};
    int flags =
        xv_dsp_3d_interface()->init(display.window, &area, display.renderer, display.vendor);
    display.started_3d = true;
    display.accelerated = flags & XV_DSP_3D_ACCELERATED;
    xv_dsp_set_accelerated(display.accelerated);
    if (XV_DSP_3D_INFO *info = display.start->info) {
        if (display.accelerated) {
            info->flags |= XV_DSP_3D_ACCELERATED;
            identify_card(info);
        }
    }
    if (!display.accelerated) {
        xv_warning(kSoftwareWarning, "Warning!", 16);
    }
    return true;
}

bool show_mode(int index) {
    const XV_DSP_MODE &mode = display.modes[index];
    OS_DISPLAY_MODE wanted{mode.width, mode.height, mode.bits, mode.refresh};
    if (display.fullscreen) {
        return os_window_set_fullscreen(display.window, &wanted);
    }
    if (!os_window_set_fullscreen(display.window, nullptr)) {
        return false;
    }
    const XV_RECT &area = display.window_area;
    os_window_resize(display.window, area.width, area.height);
    return true;
}

// ---- the menu --------------------------------------------------------------------

OS_MENU_ITEM menu_item(const std::string &text, uint32_t id, uint32_t flags) {
    return {text, id, flags, {}};
}

// The menu's language for each place of the language table.
constexpr int kLanguageIds[] = {
    9 | 1 << 10,  // English
    12 | 1 << 10, // French
    10 | 1 << 10, // Spanish
    7 | 1 << 10,  // German
    16 | 1 << 10, // Italian
    22 | 2 << 10, // Portuguese
    17 | 1 << 10, // Japanese
};

const XV_DSP_LANGUAGE *current_language() {
    const XV_DSP_LANGUAGES *languages = display.config->languages;
    return languages ? languages->languages[languages->current] : nullptr;
}

int menu_language() {
    const XV_DSP_LANGUAGES *languages = display.config->languages;
    int place = languages ? languages->current : 0;
    return place >= 0 && place < 7 ? kLanguageIds[place] : kLanguageIds[0];
}

// One item per offered language, the current one checked; no pop-up at all
// when there is nothing to choose.
void fill_languages(std::vector<OS_MENU_ITEM> &game_items, int place) {
    const XV_DSP_LANGUAGES *languages = display.config->languages;
    std::vector<OS_MENU_ITEM> items;
    for (int i = 0; languages && languages->multi && i < languages->count; ++i) {
        if (const XV_DSP_LANGUAGE *language = languages->languages[i]) {
            items.push_back(menu_item(language->name, XV_DSP_CHOOSE_LANGUAGE + i,
                                      i == languages->current ? OS_MENU_CHECKED : 0u));
        }
    }
    if (items.size() < 2) {
        game_items.erase(game_items.begin() + place);
    } else {
        game_items[place].items = std::move(items);
    }
}

void choose_language(int place) {
    XV_DSP_LANGUAGES *languages = display.config->languages;
    if (!languages || place >= languages->count || !languages->languages[place] ||
        place == languages->current) {
        return; // the language already current does not reload the menu
    }
    xv_dsp_select_language(languages, languages->languages[place]->number);
    xv_dsp_write_language(languages); // kept at once, not only by an orderly close
}

// The pop-up at that place of the bar, or at that place inside it.
OS_MENU_ITEM *popup_at(std::vector<OS_MENU_ITEM> &items, int place) {
    if (place < 0 || place >= static_cast<int>(items.size()) ||
        !(items[place].flags & OS_MENU_POPUP)) {
        return nullptr;
    }
    return &items[place];
}

bool is_current(int width, int height) {
    if (display.current == XV_DSP_NO_MODE) {
        return false;
    }
    const XV_DSP_MODE &mode = display.modes[display.current];
    return mode.width == width && mode.height == height;
}

// One item per preferred mode: greyed where the display lacks it at this
// depth, or where it is too small for a window; the current one checked.
void fill_resolutions(OS_MENU_ITEM *popup) {
    popup->items.clear();
    int bits = display.current != XV_DSP_NO_MODE ? display.modes[display.current].bits : 0;
    bool any_current = false;
    const XV_DSP_MODE_WISH *wish = display.config->modes;
    for (int i = 0; wish && wish[i].width; ++i) {
        uint32_t flags = 0;
        if (xv_dsp_find_mode(wish[i].width, wish[i].height, bits) < 0 ||
            (!display.fullscreen && (wish[i].width < 640 || wish[i].height < 480))) {
            flags |= OS_MENU_GREYED;
        }
        if (is_current(wish[i].width, wish[i].height)) {
            flags |= OS_MENU_CHECKED;
            any_current = true;
        }
        popup->items.push_back(menu_item(xv_str_format("%dx%d", wish[i].width, wish[i].height),
                                         XV_DSP_PREFERRED_MODE + static_cast<uint32_t>(i), flags));
    }
    if (!any_current && display.current != XV_DSP_NO_MODE) {
        const XV_DSP_MODE &mode = display.modes[display.current];
        popup->items.push_back(menu_item("", 0, OS_MENU_SEPARATOR));
        popup->items.push_back(menu_item(xv_str_format("%dx%d (Default)", mode.width, mode.height),
                                         XV_DSP_DEFAULT_MODE, OS_MENU_CHECKED));
    }
}

// The full-screen item and the 64K-colours mark.
void mark_display_items(OS_MENU_ITEM *popup) {
    for (OS_MENU_ITEM &item : popup->items) {
        if (item.id == XV_DSP_FULLSCREEN) {
            const XV_DSP_LANGUAGE *language = current_language();
            const char *text = !language            ? nullptr
                               : display.fullscreen ? language->window_text
                                                    : language->fullscreen_text;
            if (text && *text) {
                item.text = xv_str_format("%s\tF4", text);
            }
            if (display.fullscreen) {
                item.flags |= OS_MENU_CHECKED;
            }
        }
        if (item.id == XV_DSP_64K_COLOURS && display.colours_64k) {
            item.flags |= OS_MENU_CHECKED;
        }
    }
}

// Leaves full screen for a window of the mode's size, or switches the
// full-screen mode.
void use_preferred_mode(int place) {
    const XV_DSP_MODE_WISH &wish = display.config->modes[place];
    if (!display.fullscreen) {
        display.window_area.width = static_cast<int16_t>(wish.width);
        display.window_area.height = static_cast<int16_t>(wish.height);
        os_window_resize(display.window, wish.width, wish.height);
        return;
    }
    int bits = display.modes[display.current].bits;
    int index = xv_dsp_find_mode(wish.width, wish.height, bits);
    if (index >= 0) {
        xv_dsp_set_mode(index);
    }
}

int preferred_count() {
    int count = 0;
    while (display.config->modes && display.config->modes[count].width) {
        ++count;
    }
    return count;
}

// The preferred mode with that flag, at the current depth.
void preferred_fullscreen(uint16_t flag) {
    if (display.accelerated) {
        return; // a 3D card keeps its mode
    }
    for (int i = 0; i < preferred_count(); ++i) {
        if (display.config->modes[i].flags & flag) {
            display.fullscreen = true;
            use_preferred_mode(i);
            return;
        }
    }
}

// 64K colours: the same size in 16 bits (with 3D; else the virtual
// buffer's depth), or back to the desktop's depth.
void toggle_64k_colours() {
    display.colours_64k = !display.colours_64k;
    if (display.current == XV_DSP_NO_MODE) {
        return;
    }
    const XV_DSP_MODE &current = display.modes[display.current];
    int bits = display.desktop != XV_DSP_NO_MODE ? display.modes[display.desktop].bits : 0;
    if (display.colours_64k) {
        bits = display.start && !display.start->draw_3d ? display.buffer.type : 16;
    }
    int index = xv_dsp_find_mode(current.width, current.height, bits);
    if (index < 0) {
        display.colours_64k = !display.colours_64k;
        xv_warning("This resolution isn't supported!", nullptr, XV_MB_OK);
        return;
    }
    if (display.fullscreen) {
        xv_dsp_set_mode(index);
    } else {
        display.current = index;
    }
}

void menu_command(uint32_t id) {
    if (id == XV_DSP_64K_COLOURS) {
        toggle_64k_colours();
    } else if (id == XV_DSP_FULLSCREEN) {
        xv_dsp_toggle_fullscreen();
    } else if (id == XV_DSP_DEFAULT_SIZE) {
        if (!display.fullscreen) {
            display.window_area.width = display.config->design_width;
            display.window_area.height = display.config->design_height;
            os_window_resize(display.window, display.config->design_width,
                             display.config->design_height);
        } else {
            display.full_area.width = display.config->design_width;
            display.full_area.height = display.config->design_height;
        }
    } else if (id == XV_DSP_LOW_RES_FULLSCREEN || id == XV_DSP_HIGH_RES_FULLSCREEN) {
        preferred_fullscreen(id == XV_DSP_LOW_RES_FULLSCREEN ? XV_DSP_LOW_RES : XV_DSP_HIGH_RES);
    } else if (id >= XV_DSP_PREFERRED_MODE && id < XV_DSP_PREFERRED_MODE + 100 &&
               static_cast<int>(id - XV_DSP_PREFERRED_MODE) < preferred_count()) {
        use_preferred_mode(static_cast<int>(id - XV_DSP_PREFERRED_MODE));
    } else if (id >= XV_DSP_LISTED_MODE && id < XV_DSP_CHOOSE_LANGUAGE &&
               id - XV_DSP_LISTED_MODE < display.modes.size()) {
        xv_dsp_set_mode(static_cast<int>(id - XV_DSP_LISTED_MODE));
    } else if (id >= XV_DSP_CHOOSE_LANGUAGE && id < XV_DSP_CHOOSE_LANGUAGE + 100) {
        choose_language(static_cast<int>(id - XV_DSP_CHOOSE_LANGUAGE));
    } else {
        return;
    }
    xv_dsp_load_menu();
    // The click gives the game its input back, as leaving a menu did.
    os_post_message(display.window, WM_LBUTTONDOWN, 0, 0);
}

} // namespace

// ---- the operations ---------------------------------------------------------------

int xv_dsp_is_open() {
    return display.started_3d;
}

OS_WINDOW xv_dsp_window() {
    return display.window;
}

bool xv_dsp_show_box(const char *text, const char *caption, unsigned style, int *answer) {
    if (!display.window || !display.shown) {
        // Before the game's window shows, the splash owns the box.
        OS_WINDOW splash = xv_dsp_splash_window();
        if (!splash) {
            return false;
        }
        *answer = os_message_box(splash, text, caption, style);
        return true;
    }
    bool was_fullscreen = display.fullscreen;
    if (was_fullscreen) {
        os_window_set_fullscreen(display.window, nullptr);
    }
    bool was_active = display.config->active && *display.config->active;
    set_active(false);
    *answer = os_message_box(display.window, text, caption, style);
    set_active(was_active);
    if (was_fullscreen && display.current != XV_DSP_NO_MODE) {
        show_mode(display.current);
    }
    return true;
}

int xv_dsp_fatal(const char *text) {
    xv_warning(text, display.config ? display.config->title : nullptr, XV_MB_OK);
    xv_dsp_request_close();
    return 0;
}

void xv_dsp_request_close() {
    close_requested = true;
    if (display.window) {
        set_active(false);
        os_post_message(display.window, WM_CLOSE, 0, 0);
    }
}

int xv_dsp_close_requested() {
    return close_requested;
}

int xv_dsp_find_mode(int width, int height, int bits) {
    for (size_t i = 0; i < display.modes.size(); ++i) {
        const XV_DSP_MODE &mode = display.modes[i];
        if (mode.width == width && mode.height == height && mode.bits == bits) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const XV_DSP_MODE *xv_dsp_modes(int *count) {
    *count = static_cast<int>(display.modes.size());
    return display.modes.data();
}

int xv_dsp_current_mode() {
    return display.current;
}

int xv_dsp_is_fullscreen() {
    return display.fullscreen;
}

int xv_dsp_menu_height() {
    return display.window ? os_window_menu_height(display.window) : 0;
}

void xv_dsp_read_settings() {
    const XV_DSP_CONFIG &config = *display.config;
    display.window_area = centred_window();
    display.full_area = centred_window();
    int fullscreen = config.fullscreen_default;
    // The first start has no settings yet: the defaults stand.
    const char *settings = xv_io_ini_path();
    if (settings && !xv_io_fexist(settings, XV_IO_ON_DISK)) {
        settings = nullptr;
    }
    XV_INI_QUIET quiet; // a key missing from the settings takes its default
    if (settings) {
        xv_io_ini_read_int(kSection, "Fullscreen", &fullscreen, settings);
        if (xv_io_ini_status(1)) {
            fullscreen = config.fullscreen_default;
        }
    }
    display.fullscreen = fullscreen != 0;
    if (settings) {
        read_rectangle("WindowPosition", &display.window_area);
        read_rectangle("FullPosition", &display.full_area);
    }
    // "Resolution": the full-screen mode, at the desktop's refresh rate;
    // one the display does not offer gives way to the desktop's.
    display.full_mode = display.desktop;
    char text[64];
    long width, height;
    int bits;
    if (settings && xv_io_ini_read(kSection, "Resolution", text, sizeof text - 1, settings) &&
        sscanf(text, "%ldx%ldx%d", &width, &height, &bits) == 3) {
        int refresh =
            display.desktop != XV_DSP_NO_MODE ? display.modes[display.desktop].refresh : 0;
        int index =
            mode_at_refresh(static_cast<int>(width), static_cast<int>(height), bits, refresh);
        if (index >= 0) {
            display.full_mode = index;
        }
    }
}

void xv_dsp_write_settings() {
    const char *settings = xv_io_ini_path();
    if (!settings || !display.config) {
        return;
    }
    // A game started without reports (the shipped build) starts full screen next time.
    xv_io_ini_write_int(kSection, "Fullscreen", display.config->report ? display.fullscreen : 1,
                        settings);
    if (display.full_mode != XV_DSP_NO_MODE) {
        const XV_DSP_MODE &mode = display.modes[display.full_mode];
        char text[64];
        snprintf(text, sizeof text, "%dx%dx%d", mode.width, mode.height, mode.bits);
        xv_io_ini_write(kSection, "Resolution", text, settings);
    }
    if (display.window && !display.fullscreen) {
        int x, y, width, height;
        os_window_position(display.window, &x, &y);
        os_window_client_size(display.window, &width, &height);
        display.window_area = {static_cast<int16_t>(x), static_cast<int16_t>(y),
                               static_cast<int16_t>(width), static_cast<int16_t>(height)};
    }
    write_rectangle("WindowPosition", display.window_area, settings);
    write_rectangle("FullPosition", display.full_area, settings);
}

int xv_dsp_init(XV_DSP_CONFIG *config) {
    // A copy of the game already running is brought forward; this one stops.
    if (!os_instance_claim(config->class_name)) {
        return 0;
    }
    display = Display{};
    close_requested = false;
    display.config = config;
    list_modes();
    xv_dsp_set_design_size(config->design_width, config->design_height);
    xv_dsp_read_settings();
    const XV_RECT &area = display.window_area;
    display.window = os_window_create(
        config->title, area.x < 0 ? OS_CENTRED : area.x, area.y < 0 ? OS_CENTRED : area.y,
        area.width, area.height, OS_WINDOW_OPENGL | OS_WINDOW_RESIZABLE, config->window_procedure);
    if (!display.window) {
        xv_warning("Couldn't create the window", config->title, XV_MB_OK);
        return 0;
    }
    config->window = display.window;
    os_process_set_priority(OS_PRIORITY_HIGH);
    return 1;
}

int xv_dsp_open(XV_DSP_START *start) {
    display.start = start;
    const XV_DSP_CONFIG &config = *display.config;
    XV_RECT size = {0, 0, config.design_width, config.design_height};
    int depth = start->depth == 8 || start->depth == 24 || start->depth == 32 ? start->depth : 16;
    if (!xv_bit_alloc(&display.buffer, &size, depth)) {
        return xv_dsp_fatal(
            "Sorry, I can't allocate enough memory! Please close other applications and try again");
    }
    xv_mem_set_name(display.buffer.pixels, "XV_DSP virtual buffer.");
    int index = display.fullscreen && display.full_mode != XV_DSP_NO_MODE ? display.full_mode
                                                                          : display.desktop;
    if (index == XV_DSP_NO_MODE || !xv_dsp_set_mode(index)) {
        display.fullscreen = false;
    }
    os_window_show(display.window, 1);
    display.shown = true;
    if (start->draw_3d && !display.started_3d) {
        start_3d();
    }
    xv_dsp_load_menu();
    int width, height;
    os_window_client_size(display.window, &width, &height);
    resize_buffer(width, height);
    if (config.ready) {
        *config.ready = 1;
    }
    set_active(true); // a window newly shown is the active one
    if (close_requested) {
        xv_dsp_request_close();
    }
    return 1;
}

int xv_dsp_set_mode(int index) {
    if (index < 0 || index >= static_cast<int>(display.modes.size())) {
        return 0;
    }
    const XV_DSP_MODE &mode = display.modes[index];
    const XV_DSP_CONFIG &config = *display.config;
    if (mode.width < config.min_width || mode.height < config.min_height) {
        xv_warning(xv_str_format("New video mode resolution must be at least equal to %dx%d.",
                                 config.min_width, config.min_height)
                       .c_str(),
                   nullptr, XV_MB_OK);
        return 0;
    }
    if (mode.width < 640 || mode.height < 480) {
        display.fullscreen = true; // so small a mode is never a window
    }
    if (display.fullscreen) {
        display.full_mode = index;
    }
    if (show_mode(index)) {
        display.current = index;
        return 1;
    }
    display.fullscreen = false;
    if (display.desktop != XV_DSP_NO_MODE && show_mode(display.desktop)) {
        display.current = display.desktop;
        xv_warning("An error occured while switching video mode. Using default video mode.",
                   nullptr, XV_MB_OK);
        return 1;
    }
    xv_warning("Error switching mode, Quitting!", "Fatal Error", XV_MB_OK);
    os_post_message(display.window, WM_CLOSE, 0, 0);
    return 0;
}

int xv_dsp_toggle_fullscreen() {
    if (!display.window) {
        return 0;
    }
    display.fullscreen = !display.fullscreen;
    int index = display.fullscreen ? display.full_mode : display.desktop;
    if (index == XV_DSP_NO_MODE || !show_mode(index)) {
        display.fullscreen = !display.fullscreen;
        return !display.fullscreen;
    }
    display.current = index;
    os_window_show_menu(display.window, !display.fullscreen);
    return !display.fullscreen;
}

void xv_dsp_update() {
    if (display.started_3d) {
        xv_dsp_3d_interface()->display_update();
    }
}

void xv_dsp_snapshot_if_due() {
    if (display.snapshot_due) {
        display.snapshot_due = false;
        xv_dsp_snapshot();
    }
}

int xv_dsp_snapshot() {
    if (!display.window || !display.started_3d) {
        return 0;
    }
    std::string name = xv_io_snapshot_name();
    if (name.empty()) {
        xv_warning("Sorry, there are already 10000 snapshots in this directory. Please delete a "
                   "few of them if you want to take new ones.",
                   nullptr, XV_MB_OK);
        return 0;
    }
    int width, height;
    os_window_client_size(display.window, &width, &height);
    XV_RECT area = {0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height)};
    XV_BITMAP shot{};
    if (!xv_dsp_3d_interface()->bit_3d_get(&shot, &area)) {
        return 0;
    }
    int written = xv_bit_save(&shot, name.c_str(), nullptr, 0);
    xv_bit_free(&shot);
    return written;
}

void xv_dsp_load_menu() {
    if (!display.window || !display.config->menu_name) {
        return;
    }
    std::string name = xv_str_format("\"%s\"", display.config->menu_name);
    const std::vector<OS_MENU_ITEM> *resource = os_resource_menu(name.c_str(), menu_language());
    if (!resource) {
        xv_warning("Menu not found in the resource", nullptr, XV_MB_OK);
        return;
    }
    std::vector<OS_MENU_ITEM> bar = *resource;
    const XV_DSP_CONFIG &config = *display.config;
    if (OS_MENU_ITEM *popup = popup_at(bar, config.display_menu)) {
        mark_display_items(popup);
        if (OS_MENU_ITEM *resolutions = popup_at(popup->items, config.resolution_menu)) {
            fill_resolutions(resolutions);
        }
    }
    if (OS_MENU_ITEM *game = popup_at(bar, config.game_menu)) {
        if (popup_at(game->items, config.language_menu)) {
            fill_languages(game->items, config.language_menu);
        }
    }
    os_window_set_menu(display.window, bar);
    os_window_show_menu(display.window, !display.fullscreen);
    if (config.menu_changed) {
        config.menu_changed();
    }
}

intptr_t xv_dsp_window_message(OS_WINDOW window, uint32_t message, uintptr_t wparam,
                               intptr_t lparam) {
    switch (message) {
    case WM_DESTROY:
        os_post_quit_message(0);
        return 0;
    case WM_ACTIVATE:
        set_active(wparam != WA_INACTIVE);
        // In front of its player the game is served first; behind, it yields.
        os_process_set_priority(wparam != WA_INACTIVE ? OS_PRIORITY_HIGH : OS_PRIORITY_NORMAL);
        return 0;
    case WM_SIZE: {
        if (wparam == SIZE_MINIMIZED) {
            set_active(false);
            return 0;
        }
        int width = os_low_word(lparam), height = os_high_word(lparam);
        if (!display.fullscreen) {
            int fitted_width = width, fitted_height = height;
            refit(&fitted_width, &fitted_height);
            if (fitted_width != width || fitted_height != height) {
                os_window_resize(window, fitted_width, fitted_height);
                width = fitted_width, height = fitted_height;
            }
            display.window_area.width = static_cast<int16_t>(width);
            display.window_area.height = static_cast<int16_t>(height);
        }
        resize_buffer(width, height);
        return 0;
    }
    case WM_MOVE:
        if (!display.fullscreen) {
            int x, y;
            os_window_position(window, &x, &y);
            display.window_area.x = static_cast<int16_t>(x);
            display.window_area.y = static_cast<int16_t>(y);
        }
        return 0;
    case WM_KEYDOWN:
        if (wparam == VK_F4) {
            xv_dsp_toggle_fullscreen();
        } else if (wparam == VK_F9) {
            // Between frames the screen is already cleared for the next one:
            // the snapshot is taken of the next frame, once it is drawn.
            display.snapshot_due = display.started_3d;
            if (!display.snapshot_due) {
                xv_dsp_snapshot();
            }
        }
        return 0;
    case WM_SYSKEYDOWN:
        if (wparam == VK_F4) {
            os_post_message(window, WM_CLOSE, 0, 0); // Alt+F4, where no window manager takes it
        }
        return 0; // Alt and F10 alone would open the desktop's menu
    case WM_SYSKEYUP:
        if (wparam == VK_RETURN) {
            xv_dsp_toggle_fullscreen();
        } else if (wparam == VK_TAB && display.fullscreen) {
            // Alt+Tab away from full screen: a window, minimised, to come back to.
            xv_dsp_toggle_fullscreen();
            os_window_minimize(window);
        }
        return 0;
    case WM_DISPLAYCHANGE: {
        // The desktop changed its mode: follow it when the list has it.
        int index =
            xv_dsp_find_mode(os_low_word(lparam), os_high_word(lparam), static_cast<int>(wparam));
        if (index >= 0 && index != display.current && display.fullscreen) {
            xv_dsp_set_mode(index);
        } else if (index >= 0 && !display.fullscreen) {
            display.current = index;
        }
        return 0;
    }
    case WM_LBUTTONDOWN:
        set_active(true);
        return 0;
    case WM_COMMAND:
        menu_command(static_cast<uint32_t>(wparam));
        return 0;
    default:
        return os_def_window_proc(window, message, wparam, lparam);
    }
}

void xv_dsp_close() {
    if (!display.config) {
        return;
    }
    xv_dsp_write_settings();
    xv_dsp_write_language(display.config->languages);
    if (display.fullscreen) {
        os_window_set_fullscreen(display.window, nullptr);
    }
    if (display.started_3d) {
        xv_dsp_3d_interface()->deinit();
        display.started_3d = false;
    }
    xv_dsp_set_accelerated(0);
    xv_dsp_set_buffer_size(0, 0);
    xv_bit_free(&display.buffer);
    if (display.start && display.start->screen) {
        *display.start->screen = XV_BITMAP{};
    }
    if (display.config->ready) {
        *display.config->ready = 0;
    }
    OS_WINDOW window = display.window;
    display.window = nullptr;
    display.config->window = nullptr;
    display.modes.clear();
    os_window_destroy(window);
}
