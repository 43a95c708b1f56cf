#include "xv_dsp.h"

#include "os_file.h"
#include "os_stack.h"
#include "os_time.h"
#include "xv_io.h"
#include "xv_list.h"
#include "xv_log.h"
#include "xv_mem.h"
#include "xv_str.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A fault met every frame would fill the disk with the same report.
XV_LOG warning_log = xv_log_make("Warning.txt", "warning", "\r\n", XV_WARNING_LOG_LIMIT, false);
bool last_logged = false;

// The box, or what stands in for it: the console, which, like the log,
// shows a warning repeated word for word once (a program without a window
// meeting a fault every frame would flood it).
int show_warning(const char *title, const char *text, const char *caption, unsigned style,
                 bool repeated, bool written) {
    // A warning the log could not take (a full disk, a folder that cannot
    // be written) goes to the console at least.
    if (!written && !repeated) {
        os_debug_output({title, ": ", text, "\n"});
    }
    if (xv_dsp_is_accelerated() || os_fault_in_progress()) {
        return 1;
    }
    int answer = 0;
    if (xv_dsp_show_box(text, caption, style | XV_MB_SYSTEMMODAL, &answer)) {
        return answer;
    }
    if (written && !repeated) {
        os_debug_output({title, ": ", text, "\n"});
    }
    return 1;
}

} // namespace

// Written without allocating: a fatal-signal handler reports through here.
// Every warning is logged; while the display is hardware accelerated that
// is all (a box would stop the 3D card's full screen), otherwise the box
// shows once there is a window, and the console stands in before.
int xv_warning(const char *text, const char *caption, unsigned style) {
    const char *title = caption ? caption : "Error";
    text = text ? text : "";
    const bool repeated = xv_log_repeats(&warning_log, {title, ": ", text});
    last_logged = !repeated && !xv_log_cut(&warning_log);
    bool written = true;
    if (last_logged) {
        written = xv_log_append(&warning_log, {title, ": ", text, "\r\n"});
        last_logged = !xv_log_cut(&warning_log);
    }
    return show_warning(title, text, caption, style, repeated, written);
}

int xv_warning_more(const char *text, const char *caption, unsigned style) {
    const char *title = caption ? caption : "Error";
    text = text ? text : "";
    const bool written = xv_log_append(&warning_log, {title, ": ", text, "\r\n"});
    return show_warning(title, text, caption, style, false, written);
}

bool xv_warning_logged() {
    return last_logged;
}

void xv_warning_log_restart() {
    xv_log_restart(&warning_log);
}

void xv_warning_log_close() {
    xv_log_close(&warning_log);
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

// ---- pixel formats ------------------------------------------------------------

namespace {

const XV_PIXEL_FORMAT format15 = {10, 5, 5, 5, 0, 5};
XV_PIXEL_FORMAT format16 = {11, 5, 5, 6, 0, 5};

uint16_t place(uint8_t value, uint8_t shift, uint8_t bits) {
    return static_cast<uint16_t>((value >> (8 - bits)) << shift);
}

// A channel widened back to 8 bits, its top bits repeated below.
uint8_t take(uint16_t pixel, uint8_t shift, uint8_t bits) {
    unsigned value = (pixel >> shift) & ((1u << bits) - 1);
    return static_cast<uint8_t>(value << (8 - bits) | value >> (2 * bits - 8));
}

} // namespace

const XV_PIXEL_FORMAT *xv_dsp_pixel_format(int bits) {
    return bits == 15 ? &format15 : &format16;
}

void xv_dsp_set_pixel_format16(const XV_PIXEL_FORMAT *format) {
    format16 = *format;
}

uint16_t xv_dsp_pack_pixel(int bits, uint8_t red, uint8_t green, uint8_t blue) {
    const XV_PIXEL_FORMAT &f = *xv_dsp_pixel_format(bits);
    return place(red, f.red_shift, f.red_bits) | place(green, f.green_shift, f.green_bits) |
           place(blue, f.blue_shift, f.blue_bits);
}

void xv_dsp_unpack_pixel(int bits, uint16_t pixel, uint8_t *red, uint8_t *green, uint8_t *blue) {
    const XV_PIXEL_FORMAT &f = *xv_dsp_pixel_format(bits);
    *red = take(pixel, f.red_shift, f.red_bits);
    *green = take(pixel, f.green_shift, f.green_bits);
    *blue = take(pixel, f.blue_shift, f.blue_bits);
}

// ---- the 3D interface ---------------------------------------------------------

namespace {

// What the 3D table holds until the engine fills it in.
int not_installed(const char *name) {
    xv_warning((std::string(name) + " called before calling xv_dsp_3d_interface_set ()").c_str(),
               nullptr, XV_MB_OK);
    return 0;
}

const XV_DSP_3D_INTERFACE defaults = {
    [](void *, const XV_RECT *, char *, char *) { return not_installed("xv_dsp_3d_init_default"); },
    [] { return not_installed("xv_dsp_3d_deinit_default"); },
    [](const void *, int) { return not_installed("xv_dsp_3d_video_mode_set_default"); },
    [](const XV_RECT *) { return not_installed("xv_dsp_3d_resize_default"); },
    [] { return not_installed("xv_dsp_3d_flush_default"); },
    [](XV_BITMAP *, const XV_RECT *, const XV_RECT *, int) {
        return not_installed("xv_bit_3d_put");
    },
    [](XV_BITMAP *, const XV_RECT *) { return not_installed("xv_bit_3d_get"); },
    [](XV_BITMAP *) { return not_installed("xv_bit_3d_free_default"); },
    [] { return not_installed("xv_dsp_3d_screen_clear_default"); },
    [] { return not_installed("xv_dsp_3d_display_update_default"); },
};

XV_DSP_3D_INTERFACE installed = defaults;

template <typename Slot>
void fill_slot(Slot &slot, Slot given, Slot fallback) {
    slot = given ? given : fallback;
}

} // namespace

void xv_dsp_3d_interface_set(const XV_DSP_3D_INTERFACE *table) {
    if (!table) {
        installed = defaults;
        return;
    }
    fill_slot(installed.init, table->init, defaults.init);
    fill_slot(installed.deinit, table->deinit, defaults.deinit);
    fill_slot(installed.video_mode_set, table->video_mode_set, defaults.video_mode_set);
    fill_slot(installed.resize, table->resize, defaults.resize);
    fill_slot(installed.flush, table->flush, defaults.flush);
    fill_slot(installed.bit_3d_put, table->bit_3d_put, defaults.bit_3d_put);
    fill_slot(installed.bit_3d_get, table->bit_3d_get, defaults.bit_3d_get);
    fill_slot(installed.bit_3d_free, table->bit_3d_free, defaults.bit_3d_free);
    fill_slot(installed.screen_clear, table->screen_clear, defaults.screen_clear);
    fill_slot(installed.display_update, table->display_update, defaults.display_update);
}

const XV_DSP_3D_INTERFACE *xv_dsp_3d_interface() {
    return &installed;
}

// ---- acceleration ---------------------------------------------------------------

static int accelerated = 0;

int xv_dsp_is_accelerated() {
    return accelerated;
}

void xv_dsp_set_accelerated(int value) {
    accelerated = value != 0;
}

// ---- resize lists ---------------------------------------------------------------

namespace {

struct Size {
    int width, height;
};
Size design_size = {800, 600};
Size buffer_size = {0, 0};

struct RectEntry {
    XV_RECT *rectangle;
    XV_RECT registered;
};
struct PointEntry {
    XV_POINT_FLOAT *point;
    XV_POINT_FLOAT registered;
};

XV_LIST *rect_list = nullptr;
XV_LIST *point_list = nullptr;

bool has_buffer_size() {
    return buffer_size.width > 0 && buffer_size.height > 0 && design_size.width > 0 &&
           design_size.height > 0;
}

int16_t scale(int value, int to, int from) {
    return static_cast<int16_t>(static_cast<long>(value) * to / from);
}

void apply(const RectEntry &entry) {
    if (!has_buffer_size()) {
        *entry.rectangle = entry.registered;
        return;
    }
    const XV_RECT &r = entry.registered;
    *entry.rectangle = {scale(r.x, buffer_size.width, design_size.width),
                        scale(r.y, buffer_size.height, design_size.height),
                        scale(r.width, buffer_size.width, design_size.width),
                        scale(r.height, buffer_size.height, design_size.height)};
}

void apply(const PointEntry &entry) {
    if (!has_buffer_size()) {
        *entry.point = entry.registered;
        return;
    }
    entry.point->x = entry.registered.x * buffer_size.width / design_size.width;
    entry.point->y = entry.registered.y * buffer_size.height / design_size.height;
}

void warn_at(const char *format, const char *caption, const char *file, int line) {
    xv_warning(xv_str_format(format, file, line).c_str(), caption, XV_MB_OK);
}

// Both lists work alike; Traits name what differs between them.
struct RectTraits {
    using Entry = RectEntry;
    using Target = XV_RECT;
    static XV_LIST *&list() { return rect_list; }
    static Target *&target(Entry *entry) { return entry->rectangle; }
    static constexpr const char *duplicate =
        "Warning: Rectangle already added to the resize list. file %s, line %d";
    static constexpr const char *duplicate_caption = "in xv_dsp_rect_add ()";
    static constexpr const char *missing =
        "Warning: Rectangle not in the resize list. file %s, line %d";
    static constexpr const char *missing_caption = "in xv_dsp_rect_modify ()";
};
struct PointTraits {
    using Entry = PointEntry;
    using Target = XV_POINT_FLOAT;
    static XV_LIST *&list() { return point_list; }
    static Target *&target(Entry *entry) { return entry->point; }
    static constexpr const char *duplicate =
        "Warning: Point_float already added to the resize list. file %s, line %d";
    static constexpr const char *duplicate_caption = "in xv_dsp_point_float_add ()";
    static constexpr const char *missing =
        "Warning: Point_float not in the resize list. file %s, line %d";
    static constexpr const char *missing_caption = "in xv_dsp_point_float_modify ()";
};

template <typename Traits>
typename Traits::Entry *find(const typename Traits::Target *target) {
    XV_LIST *list = Traits::list();
    for (XV_LIST_NODE *node = list ? list->head : nullptr; node; node = node->next) {
        auto *entry = static_cast<typename Traits::Entry *>(node->item);
        if (Traits::target(entry) == target) {
            return entry;
        }
    }
    return nullptr;
}

template <typename Traits>
int add(const char *file, int line, typename Traits::Target *target) {
    if (!target) {
        return 0;
    }
    if (find<Traits>(target)) {
        warn_at(Traits::duplicate, Traits::duplicate_caption, file, line);
        return 0;
    }
    if (!Traits::list() && !xv_list_create(&Traits::list())) {
        return 0;
    }
    auto *entry =
        static_cast<typename Traits::Entry *>(xv_mem_malloc(sizeof(typename Traits::Entry)));
    if (!entry) {
        return 0;
    }
    xv_mem_set_name(entry, "xv_dsp_rect_add");
    xv_mem_set_name_at(file, line, entry, "xv_dsp_rect_add");
    Traits::target(entry) = target;
    entry->registered = *target;
    xv_list_append(Traits::list(), entry);
    apply(*entry);
    return 1;
}

template <typename Traits>
int remove(typename Traits::Target *target) {
    typename Traits::Entry *entry = find<Traits>(target);
    if (!entry) {
        return 0;
    }
    xv_list_remove(Traits::list(), entry);
    xv_mem_free(entry);
    // An empty list goes, so that nothing outlives the last entry.
    if (xv_list_count(Traits::list()) == 0) {
        xv_list_destroy(Traits::list());
        Traits::list() = nullptr;
    }
    return 1;
}

template <typename Traits>
int modify(const char *file, int line, typename Traits::Target *target,
           const typename Traits::Target *values) {
    typename Traits::Entry *entry = find<Traits>(target);
    if (!entry) {
        warn_at(Traits::missing, Traits::missing_caption, file, line);
        return 0;
    }
    if (values) {
        entry->registered = *values;
    }
    apply(*entry);
    return 1;
}

template <typename Traits>
void apply_all() {
    XV_LIST *list = Traits::list();
    for (XV_LIST_NODE *node = list ? list->head : nullptr; node; node = node->next) {
        apply(*static_cast<typename Traits::Entry *>(node->item));
    }
}

} // namespace

int xv_dsp_rect_add(const char *file, int line, XV_RECT *rectangle) {
    return add<RectTraits>(file, line, rectangle);
}

int xv_dsp_rect_remove(const char *, int, XV_RECT *rectangle) {
    return remove<RectTraits>(rectangle);
}

int xv_dsp_rect_modify(const char *file, int line, XV_RECT *rectangle, const XV_RECT *values) {
    return modify<RectTraits>(file, line, rectangle, values);
}

int xv_dsp_point_float_add(const char *file, int line, XV_POINT_FLOAT *point) {
    return add<PointTraits>(file, line, point);
}

int xv_dsp_point_float_remove(const char *, int, XV_POINT_FLOAT *point) {
    return remove<PointTraits>(point);
}

int xv_dsp_point_float_modify(const char *file, int line, XV_POINT_FLOAT *point,
                              const XV_POINT_FLOAT *values) {
    return modify<PointTraits>(file, line, point, values);
}

void xv_dsp_resize_all() {
    apply_all<RectTraits>();
    apply_all<PointTraits>();
}

void xv_dsp_set_design_size(int width, int height) {
    design_size = {width, height};
}

void xv_dsp_set_buffer_size(int width, int height) {
    buffer_size = {width, height};
    xv_dsp_resize_all();
}

// ---- the timer ------------------------------------------------------------------

namespace {

struct Timer {
    uint32_t id;
    XV_TIMER_CALLBACK callback;
    OsTimer *os_timer;
};
std::vector<Timer *> timers;
uint32_t last_timer_id = 0;

void timer_tick(void *data) {
    auto *timer = static_cast<Timer *>(data);
    timer->callback(timer->id);
}

} // namespace

uint32_t xv_timer_init(XV_TIMER_CALLBACK callback, uint32_t period) {
    auto *timer = new Timer{++last_timer_id, callback, nullptr};
    timer->os_timer = callback ? os_timer_start(period, timer_tick, timer) : nullptr;
    if (!timer->os_timer) {
        delete timer;
        xv_dsp_fatal("Timer Init failed. You should restart Windows and try again");
        return 0;
    }
    timers.push_back(timer);
    return timer->id;
}

uint32_t xv_tick_count() {
    return os_tick_count();
}

void xv_timer_deinit(uint32_t *timer_id) {
    if (!timer_id) {
        return;
    }
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if ((*it)->id == *timer_id) {
            os_timer_stop((*it)->os_timer);
            delete *it;
            timers.erase(it);
            break;
        }
    }
    *timer_id = 0;
}
