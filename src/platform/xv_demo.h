// Demo sequences: a list of entries, each shown for a set time and then
// the next, round and round: music, a picture, an FLI/FLC animation, or a
// scene the application draws itself. The list is a section of an INI file:
// "NumDemos" (or "NbDemos"), then "Demo_01", "Type_01", "Time_01" and on.
#pragma once

#include "xv_bit.h"
#include "xv_flic.h"

#include <atomic>
#include <cstdint>

enum {
    XV_DEMO_MUSIC = 1,
    XV_DEMO_PICTURE = 2,
    XV_DEMO_ANIMATION = 3,
    XV_DEMO_SCENE = 4,
};

// Update flags.
enum { XV_DEMO_RUN = 1, XV_DEMO_SKIP_MOVING = 2, XV_DEMO_PICTURE_PALETTE = 4 };

// The messages of the "Demos" table.
enum {
    XV_DEMO_ERR_POINTER = 0,
    XV_DEMO_ERR_NO_FILE = 1,
    XV_DEMO_ERR_FORMAT = 2,
    XV_DEMO_ERR_MEMORY = 3,
    XV_DEMO_ERR_TYPE = 5,
};

using XV_DEMO_SCENE_CALLBACK = void (*)(const char *name);
using XV_DEMO_CALLBACK = void (*)();

struct XV_DEMO_DESCRIPTOR {
    int report;
    XV_BITMAP *screen;                   // pictures and frames are drawn here
    XV_PALETTE *palette;                 // put back after a picture or an animation
    std::atomic<int32_t> *music;         // the demo music's handle, fed by the timer
    std::atomic<int32_t> *digital_music; // music starts only while it is on
    XV_DEMO_SCENE_CALLBACK scene_start, scene_frame, scene_end;
    XV_DEMO_CALLBACK before_entry, after_entry, on_run, on_stop;
};

struct XV_DEMO_ENTRY {
    char *name;
    int32_t type;
    int32_t time; // ms; an animation with 0 runs to its end
};

enum { XV_DEMO_ANIMATION_NONE = 0, XV_DEMO_ANIMATION_PLAYING = 1, XV_DEMO_ANIMATION_KEYED = 2 };

struct XV_DEMO {
    int32_t count;
    int32_t active;
    int32_t current;
    int64_t start_time;     // 0: not started; below 0: due at once
    const char *music_name; // the music entry now playing
    int32_t music;
    XV_BITMAP picture;
    uint8_t picture_loaded;
    XV_FLIC animation;
    uint8_t animation_open;
    int32_t animation_state;
    XV_DEMO_ENTRY **entries;
};

int xv_demo_init(XV_DEMO_DESCRIPTOR *descriptor);
void xv_demo_deinit();
XV_DEMO *xv_demo_load(const char *file_name, const char *section);
void xv_demo_free(XV_DEMO *demo);
void xv_demo_update(XV_DEMO *demo, int flags);
void xv_demo_run(XV_DEMO *demo, int flags);
int xv_demo_module();
