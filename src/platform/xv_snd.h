// Sound: music through one stream (S3M modules and MP3 files), effects from
// WAV files in buffers of their own, an optional MP3 play list, and the five
// settings of section "Sound" with the Sound menu kept in step with them.
//
// The music reaches the device only through xv_snd_update_music, which the
// game calls from its 10 ms timer thread and from its frame step: the
// stream is one second long in ten chunks, and every call renders the
// chunks the play cursor has left behind. One lock keeps the feeder, the
// music operations and the toggles apart.
#pragma once

#include "os_message.h"

#include <atomic>
#include <cstdint>
#include <vector>

struct XV_SND_CONFIG {
    int report;                          // non-zero: name every block, report every error
    std::atomic<int32_t> *active;        // the activation the module last heard; read by the timer
    std::atomic<int32_t> *digital_music; // the five settings: defaults in, values out;
                                         // the timer reads this one
    int *sound_effects;                  //
    int *music_volume;                   // percent; -1 unavailable, -2 switched off
    int *sound_volume;                   // percent; -1 unavailable, -2 switched off
    int *interpolation;                  // 0, 4 or 8
    int menu_position;                   // of the Sound pop-up on the bar; 0: no menu
    int quality_position;                // of Music Quality inside it; 0: none
};

// Menu commands of the Sound pop-up.
enum {
    XV_SND_CMD_MUSIC = 51001,
    XV_SND_CMD_EFFECTS = 51002,
    XV_SND_CMD_QUALITY_LOW = 51003,
    XV_SND_CMD_QUALITY_MEDIUM = 51004,
    XV_SND_CMD_QUALITY_HIGH = 51005,
};

// The messages of the "Sound" table, by their codes.
enum {
    XV_SND_ERR_NULL_SOUND = 3,
    XV_SND_ERR_POSITION = 4,
    XV_SND_ERR_PLAY = 5,
    XV_SND_ERR_STOP = 6,
    XV_SND_ERR_NO_BUFFER = 7,
    XV_SND_ERR_RELEASE = 8,
    XV_SND_ERR_VOLUME = 9,
    XV_SND_ERR_ALLOCATE = 10,
    XV_SND_ERR_LOAD_WAVE = 11,
    XV_SND_ERR_UNLOCK = 12,
    XV_SND_ERR_LOCK = 13,
    XV_SND_ERR_SECONDARY = 14,
    XV_SND_ERR_NO_DEVICE = 16,
    XV_SND_ERR_OPEN_WAVE = 19,
    XV_SND_ERR_NOT_RIFF = 20,
    XV_SND_ERR_NOT_WAVE = 21,
    XV_SND_ERR_NOT_PCM = 22,
    XV_SND_ERR_DATA_CHUNK = 23,
    XV_SND_ERR_STATUS = 24,
    XV_SND_ERR_NO_LIST = 25,
    XV_SND_ERR_PAN = 27,
};

// The format every music is rendered in, decided at start-up.
struct XV_SND_OUTPUT {
    uint8_t bits;
    uint8_t channels;
    int lowest_rate;
    int highest_rate; // the output rate
};

int xv_snd_init(XV_SND_CONFIG *config);
int xv_snd_deinit();
int xv_snd_running();
const XV_SND_OUTPUT *xv_snd_output();
int xv_snd_module(); // the number the error module knows "Sound" by

void xv_snd_read_settings();
void xv_snd_write_settings();
int xv_snd_set_music_volume(int percent);
int xv_snd_set_sound_volume(int percent);
int xv_snd_set_interpolation(int value);
int xv_snd_toggle_music();
int xv_snd_toggle_effects();
void xv_snd_update_menu();
int xv_snd_window_message(OS_WINDOW window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Music, by handle (1-based; 0 is none).
int xv_snd_load_music(const char *file_name);
int xv_snd_play_music(int handle);
int xv_snd_stop_music(int handle);
int xv_snd_unload_music(int handle);
int xv_snd_pause_music(int handle, int pause);
int xv_snd_set_music_pan(int handle, int pan);
int xv_snd_update_music(int handle);
int xv_snd_mute_channel(int channel, int on);
int xv_snd_current_music();
int xv_snd_load_mp3_list(const char *file_name);
void xv_snd_start_mp3_list(int position, int shuffle);
// The next track's name by the play list's rule (for the loader and tests).
const char *xv_snd_next_mp3();

// Effects.
struct XV_SND_EFFECT;
XV_SND_EFFECT *xv_snd_load_effect(const char *file_name);
int xv_snd_release_effect(XV_SND_EFFECT *effect);
int xv_snd_play_effect(XV_SND_EFFECT *effect, int reserved, int loop);
int xv_snd_play_effect_at(XV_SND_EFFECT *effect, int reserved, int loop, int volume);
int xv_snd_stop_effect(XV_SND_EFFECT *effect);
int xv_snd_effect_playing(XV_SND_EFFECT *effect);
int xv_snd_set_effect_volume(XV_SND_EFFECT *effect, int percent);
int xv_snd_set_effect_pan(XV_SND_EFFECT *effect, int pan);
int xv_snd_play_once(const char *file_name);
int xv_snd_stream_wav(const char *file_name);
// 1 while the streamed WAV still plays.
int xv_snd_wav_streaming();

// Reads a WAV file whole: the PCM format and the sample bytes. Every
// refusal raises its "Sound" error, with the file's name as the detail.
int xv_snd_read_wave(const char *file_name, int *rate, int *channels, int *bits,
                     std::vector<uint8_t> *data);

// The decibel rules: an effect's volume and pan in hundredths of a decibel.
int xv_snd_volume_to_db(int percent);
int xv_snd_pan_to_db(int pan);
