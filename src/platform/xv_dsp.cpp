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

int xv_dsp_is_open() {
    return 0;
}

// ---- the 3D interface ---------------------------------------------------------

namespace {

int warn(const char *name) {
    xv_warning((std::string(name) + " called before calling xv_dsp_3d_interface_set ()").c_str(),
               nullptr, XV_MB_OK);
    return 0;
}

const XV_DSP_3D_INTERFACE defaults = {
    [](void *, const XV_RECT *, char *, char *) { return warn("xv_dsp_3d_init_default"); },
    [] { return warn("xv_dsp_3d_deinit_default"); },
    [](const void *, int) { return warn("xv_dsp_3d_video_mode_set_default"); },
    [](const XV_RECT *) { return warn("xv_dsp_3d_resize_default"); },
    [] { return warn("xv_dsp_3d_flush_default"); },
    [](XV_BITMAP *, const XV_RECT *, const XV_RECT *, int) { return warn("xv_bit_3d_put"); },
    [](XV_BITMAP *, const XV_RECT *) { return warn("xv_bit_3d_get"); },
    [](XV_BITMAP *) { return warn("xv_bit_3d_free_default"); },
    [] { return warn("xv_dsp_3d_screen_clear_default"); },
    [] { return warn("xv_dsp_3d_display_update_default"); },
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
