// The sound device, as the game's sound code knew it: a primary buffer whose
// format is what the speakers get, and secondary buffers, each a ring of PCM
// bytes in a format of its own, that play once or loop with a volume in
// hundredths of a decibel and a pan. The device mixes every playing buffer
// whenever the speakers want more sound, on the audio thread.
#pragma once

#include <cstdint>

struct OS_SOUND_FORMAT {
    int rate = 0;     // frames per second
    int channels = 0; // 1 or 2
    int bits = 0;     // 8 (unsigned, 128 is silence) or 16 (signed)
};

struct OsSoundBuffer;
using OS_SOUND_BUFFER = OsSoundBuffer *;

// A buffer's status bits.
enum : uint32_t { OS_SOUND_PLAYING = 0x1, OS_SOUND_LOOPING = 0x4 };
// Volume: 0 is the sound as recorded, -10000 silence. Pan: -10000 is the
// left speaker alone, 10000 the right one alone.
enum { OS_SOUND_SILENT = -10000, OS_SOUND_PAN_LEFT = -10000, OS_SOUND_PAN_RIGHT = 10000 };

// Opens the default output (the dummy or disk driver on a machine without
// speakers). Returns 0 when there is no audio at all.
int os_sound_open();
// Releases every buffer and the device, and stops the audio system (kept
// running after an open that found no device, until this).
void os_sound_close();
int os_sound_is_open();
// What the primary buffer can take: 2 channels when stereo, 16 bits.
void os_sound_caps(int *channels, int *bits);
// Sets the primary buffer's format; 1 when the device takes it.
int os_sound_set_format(const OS_SOUND_FORMAT &format);
// Tests stand in a device that refuses every format.
void os_sound_refuse_formats(int refuse);

// A secondary buffer of that many bytes, silent, stopped; null without a
// device or for a format no speaker plays.
OS_SOUND_BUFFER os_sound_buffer_create(const OS_SOUND_FORMAT &format, uint32_t bytes);
void os_sound_buffer_release(OS_SOUND_BUFFER buffer);
// The bytes from offset on, in at most two pieces: the second is the start
// of the ring when the range runs past its end. Writes go straight to the
// buffer; the device only reads what it plays, so fill behind the cursor.
int os_sound_buffer_lock(OS_SOUND_BUFFER buffer, uint32_t offset, uint32_t bytes, void **first,
                         uint32_t *first_bytes, void **second, uint32_t *second_bytes);
int os_sound_buffer_unlock(OS_SOUND_BUFFER buffer);
int os_sound_buffer_play(OS_SOUND_BUFFER buffer, int looping);
int os_sound_buffer_stop(OS_SOUND_BUFFER buffer);
// The play cursor, in bytes from the start of the buffer.
int os_sound_buffer_set_position(OS_SOUND_BUFFER buffer, uint32_t position);
uint32_t os_sound_buffer_position(OS_SOUND_BUFFER buffer);
uint32_t os_sound_buffer_status(OS_SOUND_BUFFER buffer);
int os_sound_buffer_set_volume(OS_SOUND_BUFFER buffer, int hundredths_of_db);
int os_sound_buffer_set_pan(OS_SOUND_BUFFER buffer, int pan);

// Mixes frames of 16-bit stereo at the device's rate, as the device does
// when the speakers ask. Tests hold the device (it then plays silence and
// moves no cursor) and mix by hand, to move the cursors without waiting.
void os_sound_mix(int16_t *out, int frames);
void os_sound_hold(int hold);
// The rate the device plays at.
int os_sound_device_rate();
