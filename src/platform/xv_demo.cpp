#include "xv_demo.h"

#include "xv_dsp.h"
#include "xv_error.h"
#include "xv_input.h"
#include "xv_io.h"
#include "xv_io_ini.h"
#include "xv_mem.h"
#include "xv_snd.h"
#include "xv_str.h"

#include "os_time.h"

#include <algorithm>
#include <cstring>

namespace {

const char *const kMessages[] = {
    "Invalid demos pointer",
    "Couldn't find the demos file",
    "Invalid demos file format",
    "Not enough free memory to load the demos",
    "Couldn't load the demos palette",
    "Invalid demo type",
    "A character is defined more than once in the demos",
    "Couldn't reallocate the memory to load an animated demo",
    nullptr,
};

// An animation entry of time 0 runs until the animation ends or a key.
constexpr int32_t kUntilTheEnd = 2147483647;
constexpr int kFadeStep = 10;

struct Demos {
    XV_DEMO_DESCRIPTOR *descriptor = nullptr;
    int module = -1;
};
Demos demos;

void report(int code, const std::string &detail = {}) {
    const bool reports = (demos.descriptor && demos.descriptor->report) || xv_error_reporting();
    xv_error_report(demos.module, code, reports, "%s", detail.c_str());
}

void call(XV_DEMO_CALLBACK callback) {
    if (callback) {
        callback();
    }
}

void call(XV_DEMO_SCENE_CALLBACK callback, const char *name) {
    if (callback) {
        callback(name);
    }
}

XV_BITMAP *screen() {
    return demos.descriptor ? demos.descriptor->screen : nullptr;
}

int64_t now() {
    return os_tick_count();
}

int read_int(const char *section, const char *key, const char *file, int fallback) {
    XV_INI_QUIET quiet;
    int value = 0;
    return xv_io_ini_read_int(section, key, &value, file) ? value : fallback;
}

void stop_music(XV_DEMO *demo) {
    if (demo->music) {
        xv_snd_stop_music(demo->music);
        xv_snd_unload_music(demo->music);
        demo->music = 0;
        if (demos.descriptor && demos.descriptor->music) {
            *demos.descriptor->music = 0;
        }
    }
}

void start_music(XV_DEMO *demo, const XV_DEMO_ENTRY *entry) {
    stop_music(demo);
    demo->music = xv_snd_load_music(entry->name);
    const bool music_on =
        demos.descriptor && demos.descriptor->digital_music && *demos.descriptor->digital_music;
    if (demo->music && music_on) {
        xv_snd_play_music(demo->music);
    }
    if (demos.descriptor && demos.descriptor->music) {
        *demos.descriptor->music = demo->music;
    }
    demo->music_name = entry->name;
}

void close_animation(XV_DEMO *demo) {
    if (demo->animation_open) {
        xv_flic_close(&demo->animation);
        demo->animation_open = 0;
    }
    demo->animation_state = XV_DEMO_ANIMATION_NONE;
}

// Ends the current entry by its kind.
void end_entry(XV_DEMO *demo, const XV_DEMO_ENTRY *entry) {
    switch (entry->type) {
    case XV_DEMO_MUSIC:
        break;
    case XV_DEMO_PICTURE:
        if (demo->picture_loaded) {
            xv_bit_free(&demo->picture);
            demo->picture_loaded = 0;
        }
        break;
    case XV_DEMO_ANIMATION:
        close_animation(demo);
        break;
    case XV_DEMO_SCENE:
        call(demos.descriptor ? demos.descriptor->scene_end : nullptr, entry->name);
        break;
    default:
        report(XV_DEMO_ERR_TYPE, entry->name);
        break;
    }
}

// Starts the current entry. Returns false when it is skipped: its start time
// is then set so that it is due at once.
bool start_entry(XV_DEMO *demo, const XV_DEMO_ENTRY *entry, int flags) {
    const XV_DEMO_DESCRIPTOR *d = demos.descriptor;
    switch (entry->type) {
    case XV_DEMO_MUSIC:
        if (!demo->music_name || std::strcmp(demo->music_name, entry->name) != 0) {
            call(d ? d->before_entry : nullptr);
            start_music(demo, entry);
            call(d ? d->after_entry : nullptr);
        }
        demo->start_time = now();
        return true;
    case XV_DEMO_PICTURE:
        call(d ? d->before_entry : nullptr);
        demo->picture_loaded =
            xv_bit_load(&demo->picture, entry->name, XV_BIT_WITH_PALETTE) ? 1 : 0;
        demo->start_time = now();
        call(d ? d->after_entry : nullptr);
        return true;
    case XV_DEMO_ANIMATION:
        if (!(flags & XV_DEMO_SKIP_MOVING)) {
            call(d ? d->before_entry : nullptr);
            if (xv_flic_open(&demo->animation, entry->name, 2)) {
                demo->animation_open = 1;
                demo->animation_state = XV_DEMO_ANIMATION_PLAYING;
                xv_flic_rewind(&demo->animation);
                xv_flic_next_frame(&demo->animation, 1);
                xv_flic_draw(&demo->animation, screen(), 2);
                call(d ? d->after_entry : nullptr);
                demo->start_time = now();
                return true;
            }
        }
        demo->start_time = -static_cast<int64_t>(entry->time);
        return false;
    case XV_DEMO_SCENE:
        if (!(flags & XV_DEMO_SKIP_MOVING)) {
            call(d ? d->before_entry : nullptr);
            call(d ? d->scene_start : nullptr, entry->name);
            call(d ? d->after_entry : nullptr);
            demo->start_time = now();
            return true;
        }
        demo->start_time = -static_cast<int64_t>(entry->time);
        return false;
    default:
        report(XV_DEMO_ERR_TYPE, entry->name);
        demo->start_time = now();
        return true;
    }
}

// One fade step of the animation's colours 10..245 towards black; false
// when every one is black already.
bool fade_animation(XV_DEMO *demo) {
    XV_PALETTE *palette = demo->animation.palette;
    if (!palette) {
        return false;
    }
    bool changed = false;
    for (int i = 10 * 3; i < 246 * 3; ++i) {
        if (palette->colours[i]) {
            palette->colours[i] =
                static_cast<uint8_t>(std::max(0, palette->colours[i] - kFadeStep));
            changed = true;
        }
    }
    return changed;
}

// A key stops the animation; the last frame fades to black, then the
// entry is over.
void run_animation(XV_DEMO *demo, const XV_DEMO_ENTRY *entry) {
    // The Alt keys switch windows, and the function keys are the display's
    // and the sound's (F9 takes a snapshot of the animation): none stops it.
    for (int code : {DIK_LMENU, DIK_RMENU, DIK_F1, DIK_F2, DIK_F3, DIK_F4, DIK_F5, DIK_F6, DIK_F7,
                     DIK_F8, DIK_F9, DIK_F10, DIK_F11, DIK_F12}) {
        xv_input_set_key(code, 0);
    }
    if (xv_input_any()) {
        demo->animation_state = XV_DEMO_ANIMATION_KEYED;
    }
    XV_FLIC *animation = &demo->animation;
    if (demo->animation_state == XV_DEMO_ANIMATION_PLAYING) {
        if (animation->current_frame < animation->num_frames) {
            xv_flic_next_frame(animation, 0);
            xv_flic_draw(animation, screen(), 2);
            return;
        }
        if (fade_animation(demo)) {
            xv_flic_draw(animation, screen(), 2);
            return;
        }
    }
    xv_flic_rewind(animation);
    demo->animation_state = XV_DEMO_ANIMATION_NONE;
    close_animation(demo);
    if (screen()) {
        xv_bit_fill(screen(), nullptr, 0);
    }
    demo->start_time = -static_cast<int64_t>(entry->time);
}

void run_entry(XV_DEMO *demo, const XV_DEMO_ENTRY *entry) {
    switch (entry->type) {
    case XV_DEMO_PICTURE:
        if (demo->picture_loaded && screen()) {
            xv_bit_copy(screen(), &demo->picture, nullptr, nullptr, 2);
        }
        break;
    case XV_DEMO_SCENE:
        call(demos.descriptor ? demos.descriptor->scene_frame : nullptr, entry->name);
        break;
    case XV_DEMO_ANIMATION:
        if (demo->animation_open) {
            run_animation(demo, entry);
        }
        break;
    default:
        break;
    }
}

bool due(const XV_DEMO *demo, const XV_DEMO_ENTRY *entry) {
    return now() > demo->start_time + entry->time;
}

} // namespace

int xv_demo_init(XV_DEMO_DESCRIPTOR *descriptor) {
    if (descriptor) {
        demos.descriptor = descriptor;
    }
    demos.module = xv_error_register("Demos", kMessages);
    return 1;
}

void xv_demo_deinit() {}

int xv_demo_module() {
    return demos.module;
}

XV_DEMO *xv_demo_load(const char *file_name, const char *section) {
    if (!file_name || !section || !xv_io_fexist(file_name, XV_IO_THROUGH_LAYER)) {
        report(XV_DEMO_ERR_NO_FILE, file_name ? file_name : "");
        return nullptr;
    }
    int count = read_int(section, "NumDemos", file_name, -1);
    if (count < 0) {
        count = read_int(section, "NbDemos", file_name, -1);
    }
    if (count < 0) {
        report(XV_DEMO_ERR_FORMAT, file_name);
        return nullptr;
    }
    auto *demo = static_cast<XV_DEMO *>(XV_CALLOC(1, sizeof(XV_DEMO)));
    auto **entries = static_cast<XV_DEMO_ENTRY **>(
        XV_CALLOC(static_cast<size_t>(std::max(count, 1)), sizeof(XV_DEMO_ENTRY *)));
    if (!demo || !entries) {
        report(XV_DEMO_ERR_MEMORY, file_name);
        if (demo) {
            XV_FREE(demo);
        }
        if (entries) {
            XV_FREE(entries);
        }
        return nullptr;
    }
    demo->entries = entries;
    demo->count = count;
    int named = 0;
    for (int n = 1; n <= count; ++n) {
        const std::string key = xv_str_format("Demo_%02d", n);
        char name[257] = "";
        bool found = false;
        {
            XV_INI_QUIET quiet;
            found = xv_io_ini_read(section, key.c_str(), name, 256, file_name) > 0;
        }
        if (!found) {
            report(XV_DEMO_ERR_FORMAT,
                   xv_str_format("Sorry, I can't find key %s in %s", key.c_str(), file_name));
            continue;
        }
        auto *entry = static_cast<XV_DEMO_ENTRY *>(XV_CALLOC(1, sizeof(XV_DEMO_ENTRY)));
        if (!entry || !xv_str_create(&entry->name, name, 0)) {
            if (entry) {
                XV_FREE(entry);
            }
            report(XV_DEMO_ERR_MEMORY, file_name);
            continue;
        }
        entry->type = read_int(section, xv_str_format("Type_%02d", n).c_str(), file_name, 0);
        entry->time = read_int(section, xv_str_format("Time_%02d", n).c_str(), file_name, 0);
        if (entry->type == XV_DEMO_ANIMATION && entry->time == 0) {
            entry->time = kUntilTheEnd;
        }
        entries[n - 1] = entry;
        ++named;
    }
    demo->active = named > 0 ? 1 : 0;
    return demo;
}

void xv_demo_free(XV_DEMO *demo) {
    if (!demo) {
        return;
    }
    for (int i = 0; i < demo->count; ++i) {
        if (XV_DEMO_ENTRY *entry = demo->entries[i]) {
            xv_str_destroy(entry->name);
            XV_FREE(entry);
        }
    }
    stop_music(demo);
    if (demo->picture_loaded) {
        xv_bit_free(&demo->picture);
    }
    close_animation(demo);
    XV_FREE(demo->entries);
    std::memset(demo, 0, sizeof *demo);
    XV_FREE(demo);
}

void xv_demo_update(XV_DEMO *demo, int flags) {
    if (!demo || !demo->active || demo->count <= 0) {
        return;
    }
    // Skipped entries give way at once, and so do entries the file left
    // out; a sequence with nothing to show gives up after two rounds
    // rather than going round for ever.
    for (int turns = 0; turns <= 2 * demo->count; ++turns) {
        XV_DEMO_ENTRY *entry = demo->entries[demo->current];
        if (entry && !due(demo, entry)) {
            run_entry(demo, entry);
            return;
        }
        if (!entry || demo->start_time != 0) {
            if (entry) {
                end_entry(demo, entry);
            }
            demo->current = (demo->current + 1) % demo->count;
        }
        entry = demo->entries[demo->current];
        if (!entry) {
            demo->start_time = -1;
            continue;
        }
        if (start_entry(demo, entry, flags)) {
            run_entry(demo, entry);
            return;
        }
    }
}

void xv_demo_run(XV_DEMO *demo, int flags) {
    if (!demo) {
        report(XV_DEMO_ERR_POINTER);
        return;
    }
    const XV_DEMO_DESCRIPTOR *d = demos.descriptor;
    XV_DEMO_ENTRY *entry = demo->count > 0 ? demo->entries[demo->current] : nullptr;
    if (flags & XV_DEMO_RUN) {
        demo->active = 1;
        call(d ? d->on_run : nullptr);
        if (demo->music_name) {
            const XV_DEMO_ENTRY again = {const_cast<char *>(demo->music_name), XV_DEMO_MUSIC, 0};
            start_music(demo, &again);
        }
        demo->start_time = entry ? -static_cast<int64_t>(entry->time) : -1;
        xv_demo_update(demo, flags);
        return;
    }
    stop_music(demo);
    if (entry) {
        end_entry(demo, entry);
    }
    demo->active = 0;
    call(d ? d->on_stop : nullptr);
}
