// The start-up splash: a picture in a window of its own while the game
// starts, so that a player sees something at once.
#include "xv_bit.h"
#include "xv_dsp.h"
#include "xv_io.h"
#include "xv_io_ini.h"

#include "os_process.h"
#include "os_text.h"
#include "os_window.h"

#include <cstdint>

namespace {

OS_WINDOW splash = nullptr;

// The optional line over the picture: "Text" at "PosX", "PosY" in the colour
// of "ColorR", "ColorG", "ColorB" (each 0..255, black when missing).
void draw_text_line(XV_BITMAP *picture, const char *file_name, const char *section) {
    XV_INI_QUIET quiet; // every key of the line is optional
    char text[256] = "";
    if (!xv_io_ini_read(section, "Text", text, sizeof text - 1, file_name) || !text[0]) {
        return;
    }
    int x = 0, y = 0;
    xv_io_ini_read_int(section, "PosX", &x, file_name);
    xv_io_ini_read_int(section, "PosY", &y, file_name);
    uint32_t colour = 0;
    for (const char *key : {"ColorR", "ColorG", "ColorB"}) {
        int channel = 0;
        xv_io_ini_read_int(section, key, &channel, file_name);
        colour = colour << 8 | static_cast<uint32_t>(channel < 0     ? 0
                                                     : channel > 255 ? 255
                                                                     : channel);
    }
    os_text_draw(picture->pixels, picture->width, picture->height, x, y, text, colour);
}

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
        draw_text_line(&picture, file_name, section);
        splash = os_window_create("", OS_CENTRED, OS_CENTRED, picture.width, picture.height,
                                  OS_WINDOW_VISIBLE | OS_WINDOW_BORDERLESS | OS_WINDOW_ON_TOP,
                                  os_def_window_proc);
        os_window_show_picture(splash, picture.pixels, picture.width, picture.height);
        shown = splash != nullptr;
        os_cursor_show(!shown); // the pointer has nothing to point at yet
    }
    if (shown) {
        // A player waits for the game: nothing else should slow its start.
        os_process_set_priority(OS_PRIORITY_REALTIME);
    }
    xv_bit_free(&picture);
    return shown;
}

void xv_dsp_splash_off() {
    if (splash) {
        os_window_destroy(splash);
        splash = nullptr;
        os_cursor_show(1);
        os_process_set_priority(OS_PRIORITY_HIGH);
    }
}

OS_WINDOW xv_dsp_splash_window() {
    return splash;
}
