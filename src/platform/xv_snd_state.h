// What the sound module's files share: its state, and the small helpers
// every one of them reports and allocates with. Not for other modules.
#pragma once

#include "os_sound.h"
#include "xv_snd.h"

#include <cstdint>
#include <mutex>
#include <string>

struct XV_S3M;
struct XV_MP3;

enum { XV_SND_FREE = 0, XV_SND_S3M = 1, XV_SND_MP3 = 2 };

struct XV_SND_MUSIC {
    int type;
    XV_S3M *module;
    XV_MP3 *stream;
};

struct XV_SND_TRACK {
    int plays;
    char *name;
};

struct XV_SND_EFFECT {
    char *name;
    OS_SOUND_FORMAT format;
    OS_SOUND_BUFFER buffer;
    uint8_t *data;
    uint32_t size;
    int timer; // the one-shot slot's timer, 0 when none
};

struct XvSndState {
    XV_SND_CONFIG *config = nullptr;
    int module = -1;
    bool initialised = false;
    int active = 0; // the last WM_ACTIVATE word parameter

    // The five settings.
    int digital_music = 1, sound_effects = 1, music_volume = 70, sound_volume = 80,
        interpolation = 4;

    XV_SND_OUTPUT output{};
    OS_SOUND_BUFFER stream = nullptr; // the music stream
    uint8_t *mix = nullptr;           // one second in the output format
    uint32_t mix_bytes = 0, chunk_bytes = 0;
    int write_chunk = 0;

    XV_SND_MUSIC *music = nullptr;
    int music_capacity = 0;
    int current = 0;        // the handle playing, 0 for none
    int last_requested = 0; // started when music is switched on

    XV_SND_EFFECT **effects = nullptr;
    int *effect_volumes = nullptr;
    int effect_count = 0, effect_capacity = 0;

    XV_SND_TRACK *tracks = nullptr;
    int track_count = 0, track_capacity = 0, track_position = -1, pass = 0;
    uint32_t shuffle_seed = 0;
    bool track_finished = true;

    // Keeps the feeder (on the timer's thread) apart from the music
    // operations and the toggles (on the main thread).
    std::recursive_mutex lock;
};

extern XvSndState xv_snd_state;

namespace xv_snd {

bool reporting();
// Raises the "Sound" error of that code, with a detail text when given.
void report(int code, const std::string &detail = {});
void label(void *block, const char *name);
// Frees a block the module may never have had (a start that failed half way).
#define XV_SND_FREE_BLOCK(block)                                                                   \
    do {                                                                                           \
        if (block) {                                                                               \
            XV_FREE(block);                                                                        \
        }                                                                                          \
    } while (0)

// The music's share of the module, used by its other files.
void apply_music_volume();
void free_music_list();
void free_play_list();
void reapply_effect_volumes();
void free_effect_list();
void stop_one_shots();
void reap_finished_one_shots();

} // namespace xv_snd
