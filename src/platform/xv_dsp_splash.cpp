// The start-up splash: a picture in a window of its own while the game
// starts, so that a player sees something at once.
#include "xv_bit.h"
#include "xv_dsp.h"
#include "xv_io.h"
#include "xv_io_ini.h"

#include <cstring>

namespace {

OS_WINDOW splash = nullptr;

} // namespace

int xv_dsp_splash_on(const char *file_name, const char *section, XV_DSP_CONFIG *config) {
    (void)config;
    xv_dsp_splash_off();
    char picture_name[256] = "";
    {
        XV_INI_QUIET quiet; // no splash described is no fault
        xv_io_ini_read(section, "Bitmap", picture_name, sizeof picture_name - 1, file_name);
    }
    XV_BITMAP picture{};
    if (!picture_name[0] || !xv_bit_load(&picture, picture_name, XV_BIT_WITH_PALETTE)) {
        return 0;
    }
    bool shown = picture.type == 8 && xv_bit_convert(&picture, XV_BIT_BPP24);
    if (shown) {
        splash = os_window_create("", OS_CENTRED, OS_CENTRED, picture.width, picture.height,
                                  OS_WINDOW_VISIBLE | OS_WINDOW_BORDERLESS | OS_WINDOW_ON_TOP,
                                  os_def_window_proc);
        os_window_show_picture(splash, picture.pixels, picture.width, picture.height);
        shown = splash != nullptr;
    }
    xv_bit_free(&picture);
    return shown;
}

void xv_dsp_splash_off() {
    if (splash) {
        os_window_destroy(splash);
        splash = nullptr;
    }
}
