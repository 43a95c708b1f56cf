// The sound module's start and stop, its settings, the Sound menu and the
// keys and messages it answers. The music and the effects have files of
// their own.
#include "xv_dsp.h"
#include "xv_error.h"
#include "xv_io.h"
#include "xv_io_ini.h"
#include "xv_mem.h"
#include "xv_snd_state.h"

#include "os_menu.h"

#include <algorithm>
#include <cmath>

XvSndState xv_snd_state;

namespace {

XvSndState &snd = xv_snd_state;

const char *const kMessages[] = {
    "Could not create DirectSound Object",
    "Could not set cooperate level",
    "Could not release DirectSound Object",
    "Null sound",
    "Unable to set current position",
    "Play error",
    "Stop error",
    "No sound buffer",
    "Could not release sound buffer",
    "Could not set volume",
    "Unable to allocate sound",
    "Unable to load wave",
    "Could not unlock sound buffer",
    "Sound not lock sound buffer",
    "Could not create secondary buffer",
    "Could not create stream buffer",
    "Null pointer to DirectSoundObj",
    "Sound stack overflow",
    "Sound stack underflow",
    "Could not open wave file",
    "This file is not in RIFF format",
    "This file is not on WAVE format",
    "This file is not in MicroSoft PCM format",
    "This file contains an invalid data chunk",
    "Could not get channel status",
    "MP3 List file doesn't exists",
    "No MP3 files in the MP3 list file",
    "Could not set pan",
    nullptr,
};

constexpr const char *kSection = "Sound";

void mirror(int *into, int value) {
    if (into) {
        *into = value;
    }
}

void mirror(std::atomic<int32_t> *into, int value) {
    if (into) {
        *into = value;
    }
}

// ---- the menu -------------------------------------------------------------------

OS_MENU_ITEM *sound_popup() {
    std::vector<OS_MENU_ITEM> *bar = os_window_menu(xv_dsp_window());
    const int position = snd.config ? snd.config->menu_position : 0;
    if (!bar || position <= 0 || position >= static_cast<int>(bar->size())) {
        return nullptr;
    }
    return &(*bar)[static_cast<size_t>(position)];
}

OS_MENU_ITEM *find_item(std::vector<OS_MENU_ITEM> &items, uint32_t id) {
    for (OS_MENU_ITEM &item : items) {
        if (item.id == id && !(item.flags & OS_MENU_POPUP)) {
            return &item;
        }
        if (OS_MENU_ITEM *inner = find_item(item.items, id)) {
            return inner;
        }
    }
    return nullptr;
}

void set_check(OS_MENU_ITEM *popup, uint32_t id, bool checked) {
    if (OS_MENU_ITEM *item = popup ? find_item(popup->items, id) : nullptr) {
        item->flags = checked ? item->flags | OS_MENU_CHECKED : item->flags & ~OS_MENU_CHECKED;
    }
}

void grey_sound_popup(bool greyed) {
    if (OS_MENU_ITEM *popup = sound_popup()) {
        popup->flags = greyed ? popup->flags | OS_MENU_GREYED : popup->flags & ~OS_MENU_GREYED;
    }
}

// ---- start-up -------------------------------------------------------------------

// Every rate the device takes widens the range; the highest is the one the
// music is rendered at. A device that takes none leaves 100 Hz.
void probe_rates(int channels, int bits) {
    snd.output.lowest_rate = 100000;
    snd.output.highest_rate = 100;
    for (int rate = 44100; rate >= 11025; rate /= 2) {
        if (os_sound_set_format({rate, channels, bits})) {
            snd.output.lowest_rate = std::min(snd.output.lowest_rate, rate);
            snd.output.highest_rate = std::max(snd.output.highest_rate, rate);
        }
    }
    os_sound_set_format({snd.output.highest_rate, channels, bits});
}

bool open_device() {
    if (!os_sound_open()) {
        // The game carries on silent, and says so: what ends is the sound.
        xv_warning("DirectSoundCreate failed: no sound device could be opened, the game goes on "
                   "without sound",
                   "Terminating the sound");
        return false;
    }
    int channels = 0, bits = 0;
    os_sound_caps(&channels, &bits);
    snd.output.channels = static_cast<uint8_t>(channels == 2 ? 2 : 1);
    snd.output.bits = static_cast<uint8_t>(bits == 16 ? 16 : 8);
    probe_rates(snd.output.channels, snd.output.bits);
    return true;
}

void create_stream_and_mix() {
    const OS_SOUND_FORMAT format = {snd.output.highest_rate, snd.output.channels, snd.output.bits};
    snd.mix_bytes =
        static_cast<uint32_t>(snd.output.bits / 8 * snd.output.channels * snd.output.highest_rate);
    snd.stream = os_sound_buffer_create(format, snd.mix_bytes);
    if (!snd.stream) {
        xv_warning("CreateSoundBuffer failed: the music goes on without its stream, silent",
                   "Terminating the music");
    }
    snd.mix = static_cast<uint8_t *>(XV_CALLOC(1, snd.mix_bytes));
    xv_snd::label(snd.mix, "DAM output buffer");
    if (snd.mix && snd.output.bits == 8) {
        std::fill(snd.mix, snd.mix + snd.mix_bytes, uint8_t{128});
    }
    snd.chunk_bytes = snd.mix_bytes / 10;
    snd.write_chunk = 0;
    if (snd.stream) {
        os_sound_buffer_play(snd.stream, 1);
    }
}

bool allocate_lists() {
    snd.effects = static_cast<XV_SND_EFFECT **>(XV_CALLOC(10, sizeof(XV_SND_EFFECT *)));
    xv_snd::label(snd.effects, "Sound Effect Array");
    if (!snd.effects) {
        xv_warning("Sound effect buffer allocation error", "Sound Effects Disabled");
        mirror(snd.config->sound_volume, -1);
        return true;
    }
    snd.effect_volumes = static_cast<int *>(XV_CALLOC(10, sizeof(int)));
    xv_snd::label(snd.effect_volumes, "Sound Effect Volume Array");
    if (!snd.effect_volumes) {
        xv_warning("Sound effect volume buffer allocation error", "Sound Effects Disabled");
        mirror(snd.config->sound_volume, -1);
        return true;
    }
    snd.effect_capacity = 10;
    snd.music = static_cast<XV_SND_MUSIC *>(XV_CALLOC(10, sizeof(XV_SND_MUSIC)));
    xv_snd::label(snd.music, "Module Type Array");
    if (!snd.music) {
        xv_warning("Module list array allocation error", "Music Disabled");
        mirror(snd.config->music_volume, -1);
        return true;
    }
    snd.music_capacity = 10;
    return true;
}

// The first start has no settings file: the application's values stand.
const char *settings_to_read() {
    const char *settings = xv_io_ini_path();
    return settings && xv_io_fexist(settings, XV_IO_ON_DISK) ? settings : nullptr;
}

int read_setting(const char *settings, const char *key, int fallback) {
    XV_INI_QUIET quiet; // a missing key takes the application's value
    int value = 0;
    return settings && xv_io_ini_read_int(kSection, key, &value, settings) ? value : fallback;
}

template <typename Int>
int fallback_of(const Int *application, int module_default) {
    return application ? static_cast<int>(*application) : module_default;
}

} // namespace

namespace xv_snd {

bool reporting() {
    return (snd.config && snd.config->report) || xv_error_reporting();
}

void report(int code, const std::string &detail) {
    xv_error_report(snd.module, code, reporting(), "%s", detail.c_str());
}

void label(void *block, const char *name) {
    if (block && snd.config && snd.config->report) {
        xv_mem_set_name(block, name);
    }
}

} // namespace xv_snd

int xv_snd_init(XV_SND_CONFIG *config) {
    std::lock_guard lock(snd.lock);
    snd.config = config;
    snd.module = xv_error_register("Sound", kMessages);
    if (config->active && *config->active) {
        *config->active = snd.active;
    }
    snd.initialised = true; // for the reading only: the setters need it
    xv_snd_read_settings();
    snd.initialised = false;
    xv_snd_update_menu();
    grey_sound_popup(true);
    if (!open_device()) {
        mirror(config->music_volume, -1);
        mirror(config->sound_volume, -1);
        return 0;
    }
    create_stream_and_mix();
    snd.initialised = true;
    grey_sound_popup(false);
    return allocate_lists() ? 1 : 0;
}

int xv_snd_deinit() {
    std::lock_guard lock(snd.lock);
    if (!snd.config) {
        return 0;
    }
    snd.current = 0;
    xv_snd_write_settings();
    xv_snd::stop_one_shots();
    if (snd.tracks) {
        snd.track_finished = true;
        xv_snd_unload_music(1);
    }
    xv_snd::free_effect_list();
    xv_snd::free_music_list();
    xv_snd::free_play_list();
    XV_SND_FREE_BLOCK(snd.mix);
    snd.mix = nullptr;
    if (snd.stream) {
        os_sound_buffer_stop(snd.stream);
        os_sound_buffer_release(snd.stream);
        snd.stream = nullptr;
    }
    const bool had_device = os_sound_is_open();
    os_sound_close();
    snd.initialised = false;
    snd.config = nullptr;
    snd.current = snd.last_requested = 0;
    return had_device ? 1 : 0;
}

int xv_snd_running() {
    return snd.initialised;
}

const XV_SND_OUTPUT *xv_snd_output() {
    return &snd.output;
}

int xv_snd_module() {
    return snd.module;
}

// ---- settings ---------------------------------------------------------------------

void xv_snd_read_settings() {
    XV_SND_CONFIG *config = snd.config;
    const char *settings = settings_to_read();
    snd.digital_music =
        read_setting(settings, "DigitalMusic", fallback_of(config->digital_music, 1));
    snd.sound_effects =
        read_setting(settings, "SoundEffects", fallback_of(config->sound_effects, 1));
    snd.interpolation =
        read_setting(settings, "Interpolation", fallback_of(config->interpolation, 4));
    mirror(config->digital_music, snd.digital_music);
    mirror(config->sound_effects, snd.sound_effects);
    mirror(config->interpolation, snd.interpolation);

    int music_volume = read_setting(settings, "MusicVolume", fallback_of(config->music_volume, 70));
    if (snd.digital_music) {
        xv_snd_set_music_volume(music_volume);
    } else {
        snd.music_volume = std::clamp(music_volume, 0, 100);
        mirror(config->music_volume, -2);
    }
    int sound_volume = read_setting(settings, "SoundVolume", fallback_of(config->sound_volume, 80));
    if (snd.sound_effects) {
        xv_snd_set_sound_volume(sound_volume);
    } else {
        snd.sound_volume = std::clamp(sound_volume, 0, 100);
        mirror(config->sound_volume, -2);
    }
    xv_snd_set_interpolation(snd.interpolation);
}

void xv_snd_write_settings() {
    const char *file = xv_io_ini_path();
    if (!file) {
        return;
    }
    const std::string music_volume = std::to_string(snd.music_volume);
    const std::string sound_volume = std::to_string(snd.sound_volume);
    const std::string interpolation = std::to_string(snd.interpolation);
    const XV_INI_KEY keys[] = {
        {"DigitalMusic", snd.digital_music ? "1" : "0"},
        {"SoundEffects", snd.sound_effects ? "1" : "0"},
        {"MusicVolume", music_volume.c_str()},
        {"SoundVolume", sound_volume.c_str()},
        {"Interpolation", interpolation.c_str()},
    };
    xv_io_ini_write_keys(kSection, keys, static_cast<int>(std::size(keys)), file); // one rewrite
}

int xv_snd_set_music_volume(int percent) {
    std::lock_guard lock(snd.lock);
    if (!snd.initialised) {
        mirror(snd.config ? snd.config->music_volume : nullptr, -1);
        return 0;
    }
    if (!snd.digital_music) {
        xv_snd_toggle_music();
    }
    snd.music_volume = std::clamp(percent, 0, 100);
    mirror(snd.config->music_volume, snd.music_volume);
    xv_snd::apply_music_volume();
    return 1;
}

int xv_snd_set_sound_volume(int percent) {
    std::lock_guard lock(snd.lock);
    if (!snd.initialised) {
        mirror(snd.config ? snd.config->sound_volume : nullptr, -1);
        return 0;
    }
    if (!snd.sound_effects) {
        xv_snd_toggle_effects();
    }
    snd.sound_volume = std::clamp(percent, 0, 100);
    xv_snd::reapply_effect_volumes();
    mirror(snd.config->sound_volume, snd.sound_volume);
    return 1;
}

int xv_snd_set_interpolation(int value) {
    std::lock_guard lock(snd.lock);
    if (!snd.initialised) {
        return 0;
    }
    snd.interpolation = value == 0 || value == 4 || value == 8 ? value : 0;
    mirror(snd.config->interpolation, snd.interpolation);
    xv_snd::apply_music_volume(); // the player takes its flags again with it
    xv_snd_update_menu();
    return 1;
}

int xv_snd_toggle_music() {
    std::lock_guard lock(snd.lock);
    if (!snd.initialised) {
        return 0;
    }
    snd.digital_music = !snd.digital_music;
    mirror(snd.config->digital_music, snd.digital_music);
    if (snd.digital_music) {
        if (snd.current) {
            xv_snd_pause_music(snd.current, 0);
        } else if (snd.tracks) {
            xv_snd_play_music(1);
        } else if (snd.last_requested) {
            xv_snd_play_music(snd.last_requested);
        }
        mirror(snd.config->music_volume, snd.music_volume);
        xv_snd::apply_music_volume();
    } else {
        if (snd.current) {
            xv_snd_pause_music(snd.current, 1);
        }
        mirror(snd.config->music_volume, -2);
    }
    xv_snd_update_menu();
    return snd.digital_music;
}

int xv_snd_toggle_effects() {
    std::lock_guard lock(snd.lock);
    if (!snd.initialised) {
        return 0;
    }
    snd.sound_effects = !snd.sound_effects;
    mirror(snd.config->sound_effects, snd.sound_effects);
    mirror(snd.config->sound_volume, snd.sound_effects ? snd.sound_volume : -2);
    xv_snd::reapply_effect_volumes();
    xv_snd_update_menu();
    return snd.sound_effects;
}

void xv_snd_update_menu() {
    OS_MENU_ITEM *popup = sound_popup();
    set_check(popup, XV_SND_CMD_MUSIC, snd.digital_music > 0);
    set_check(popup, XV_SND_CMD_EFFECTS, snd.sound_effects > 0);
    set_check(popup, XV_SND_CMD_QUALITY_LOW, snd.interpolation <= 0);
    set_check(popup, XV_SND_CMD_QUALITY_MEDIUM, snd.interpolation == 4);
    set_check(popup, XV_SND_CMD_QUALITY_HIGH, snd.interpolation == 8);
}

int xv_snd_window_message(OS_WINDOW, uint32_t message, uintptr_t wparam, intptr_t) {
    xv_snd::reap_finished_one_shots();
    switch (message) {
    case WM_ACTIVATE: {
        std::lock_guard lock(snd.lock);
        snd.active = static_cast<int>(wparam & 0xFFFF);
        mirror(snd.config ? snd.config->active : nullptr, snd.active);
        // The music waits while the player is elsewhere, and goes on from
        // where it stood.
        if (snd.stream) {
            snd.active ? os_sound_buffer_play(snd.stream, 1) : os_sound_buffer_stop(snd.stream);
        }
        break;
    }
    case WM_KEYDOWN:
        if (snd.initialised && wparam == VK_F2) {
            xv_snd_toggle_music();
        } else if (snd.initialised && wparam == VK_F3) {
            xv_snd_toggle_effects();
        }
        break;
    case WM_COMMAND:
        switch (wparam & 0xFFFF) {
        case XV_SND_CMD_MUSIC:
            xv_snd_toggle_music();
            break;
        case XV_SND_CMD_EFFECTS:
            xv_snd_toggle_effects();
            break;
        case XV_SND_CMD_QUALITY_LOW:
            xv_snd_set_interpolation(0);
            break;
        case XV_SND_CMD_QUALITY_MEDIUM:
            xv_snd_set_interpolation(4);
            break;
        case XV_SND_CMD_QUALITY_HIGH:
            xv_snd_set_interpolation(8);
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return 1;
}

// ---- the decibel rules ---------------------------------------------------------------

int xv_snd_volume_to_db(int percent) {
    if (percent >= 100) {
        return 0;
    }
    if (percent <= 0) {
        return OS_SOUND_SILENT;
    }
    const int db = static_cast<int>(2000.0 * std::log10(percent / 100.0));
    return std::clamp(db, static_cast<int>(OS_SOUND_SILENT), 0);
}

int xv_snd_pan_to_db(int pan) {
    if (pan <= -100) {
        return OS_SOUND_PAN_LEFT;
    }
    if (pan >= 100) {
        return OS_SOUND_PAN_RIGHT;
    }
    if (pan == 0) {
        return 0;
    }
    if (pan < 0) {
        return std::max(static_cast<int>(2000.0 * std::log10((pan + 100) / 100.0)),
                        static_cast<int>(OS_SOUND_PAN_LEFT));
    }
    return std::min(static_cast<int>(-2000.0 * std::log10((100 - pan) / 100.0)),
                    static_cast<int>(OS_SOUND_PAN_RIGHT));
}
