#include "os_sound.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

struct OsSoundBuffer {
    OS_SOUND_FORMAT format;
    uint32_t frame_bytes = 0;
    std::vector<uint8_t> bytes;
    uint32_t status = 0;
    uint32_t frame = 0;    // the play cursor, in frames
    uint32_t fraction = 0; // and the part of a frame past it, 16.16
    float left_gain = 1.0f, right_gain = 1.0f;
    int volume = 0, pan = 0;
};

namespace {

// The device's own format: what the mixer hands the speakers.
constexpr int kDeviceChannels = 2;
constexpr int kDeviceRate = 44100;

struct Device {
    SDL_AudioDeviceID id = 0;
    int rate = kDeviceRate;
    OS_SOUND_FORMAT primary;
    bool refuse_formats = false;
    bool held = false;
    std::vector<OsSoundBuffer *> buffers;
    std::vector<int32_t> sum; // one callback's worth of mixed frames
};

// Guards the buffers' states and their bytes between the game's threads and
// the audio thread; lock and unlock take it too, so a piece written between
// them is ordered before the mixer reads it.
std::mutex guard;
Device device;
// SDL's audio started, but no device opened on it (a machine without
// speakers): it is kept until the sound closes. Stopping it at once would
// wait up to a tenth of a second, at every start, for the driver's thread
// that watches for devices being plugged in.
bool audio_without_device = false;

bool valid(const OS_SOUND_FORMAT &format) {
    return format.rate >= 100 && format.rate <= 192000 &&
           (format.channels == 1 || format.channels == 2) &&
           (format.bits == 8 || format.bits == 16);
}

// Hundredths of a decibel as a factor on the samples.
float gain_of(int hundredths_of_db) {
    return hundredths_of_db <= OS_SOUND_SILENT ? 0.0f : std::pow(10.0f, hundredths_of_db / 2000.0f);
}

// Panning lowers the other side only, as the desktop's sound did.
void update_gains(OsSoundBuffer *buffer) {
    float volume = gain_of(buffer->volume);
    buffer->left_gain = volume * (buffer->pan > 0 ? gain_of(-buffer->pan) : 1.0f);
    buffer->right_gain = volume * (buffer->pan < 0 ? gain_of(buffer->pan) : 1.0f);
}

int32_t sample_at(const OsSoundBuffer &buffer, uint32_t frame, int channel) {
    const uint8_t *at = buffer.bytes.data() + static_cast<size_t>(frame) * buffer.frame_bytes;
    if (buffer.format.channels == 1) {
        channel = 0;
    }
    if (buffer.format.bits == 8) {
        return (static_cast<int32_t>(at[channel]) - 128) << 8;
    }
    int16_t sample;
    std::memcpy(&sample, at + channel * 2, 2);
    return sample;
}

// Adds one buffer into the sum, stepping through it at its own rate.
void mix_buffer(OsSoundBuffer *buffer, int frames) {
    const uint32_t frame_count = static_cast<uint32_t>(buffer->bytes.size() / buffer->frame_bytes);
    const uint64_t step = (static_cast<uint64_t>(buffer->format.rate) << 16) / device.rate;
    for (int i = 0; i < frames && (buffer->status & OS_SOUND_PLAYING); ++i) {
        device.sum[i * 2] +=
            static_cast<int32_t>(sample_at(*buffer, buffer->frame, 0) * buffer->left_gain);
        device.sum[i * 2 + 1] +=
            static_cast<int32_t>(sample_at(*buffer, buffer->frame, 1) * buffer->right_gain);
        uint64_t position = (static_cast<uint64_t>(buffer->frame) << 16) + buffer->fraction + step;
        buffer->fraction = static_cast<uint32_t>(position & 0xFFFF);
        uint64_t next = position >> 16;
        if (next >= frame_count) {
            if (buffer->status & OS_SOUND_LOOPING) {
                next %= frame_count;
            } else {
                // A buffer played once stops at its end, its cursor back at the start.
                buffer->status = 0;
                next = 0;
                buffer->fraction = 0;
            }
        }
        buffer->frame = static_cast<uint32_t>(next);
    }
}

void mix_locked(int16_t *out, int frames) {
    device.sum.assign(static_cast<size_t>(frames) * kDeviceChannels, 0);
    for (OsSoundBuffer *buffer : device.buffers) {
        mix_buffer(buffer, frames);
    }
    for (size_t i = 0; i < device.sum.size(); ++i) {
        out[i] = static_cast<int16_t>(std::clamp(device.sum[i], -32768, 32767));
    }
}

void SDLCALL feed_speakers(void *, Uint8 *stream, int length) {
    std::lock_guard lock(guard);
    if (device.held) {
        std::memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    mix_locked(reinterpret_cast<int16_t *>(stream),
               length / static_cast<int>(sizeof(int16_t) * kDeviceChannels));
}

bool alive(OS_SOUND_BUFFER buffer) {
    return buffer &&
           std::find(device.buffers.begin(), device.buffers.end(), buffer) != device.buffers.end();
}

} // namespace

int os_sound_open() {
    if (device.id) {
        return 1;
    }
    if (!audio_without_device && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return 0;
    }
    SDL_AudioSpec wanted{}, got{};
    wanted.freq = kDeviceRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = kDeviceChannels;
    wanted.samples = 1024; // about 23 ms: well inside the music's 100 ms chunks
    wanted.callback = feed_speakers;
    SDL_AudioDeviceID id =
        SDL_OpenAudioDevice(nullptr, 0, &wanted, &got, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    audio_without_device = !id;
    if (!id) {
        return 0;
    }
    {
        std::lock_guard lock(guard);
        device.id = id;
        device.rate = got.freq;
        device.primary = {};
    }
    SDL_PauseAudioDevice(id, 0);
    return 1;
}

void os_sound_close() {
    if (!device.id) {
        if (audio_without_device) {
            audio_without_device = false;
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        return;
    }
    SDL_CloseAudioDevice(device.id); // waits for the audio thread to leave the mixer
    std::lock_guard lock(guard);
    for (OsSoundBuffer *buffer : device.buffers) {
        delete buffer;
    }
    device.buffers.clear();
    device.id = 0;
    device.held = false;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int os_sound_is_open() {
    return device.id != 0;
}

void os_sound_caps(int *channels, int *bits) {
    *channels = kDeviceChannels;
    *bits = 16;
}

int os_sound_set_format(const OS_SOUND_FORMAT &format) {
    std::lock_guard lock(guard);
    // The mixer turns any rate into the speakers' own, so every sensible
    // format is taken.
    if (!device.id || device.refuse_formats || !valid(format)) {
        return 0;
    }
    device.primary = format;
    return 1;
}

void os_sound_refuse_formats(int refuse) {
    std::lock_guard lock(guard);
    device.refuse_formats = refuse != 0;
}

OS_SOUND_BUFFER os_sound_buffer_create(const OS_SOUND_FORMAT &format, uint32_t bytes) {
    if (!device.id || !valid(format)) {
        return nullptr;
    }
    auto *buffer = new OsSoundBuffer;
    buffer->format = format;
    buffer->frame_bytes = static_cast<uint32_t>(format.channels * format.bits / 8);
    bytes -= bytes % buffer->frame_bytes;
    if (bytes == 0) {
        delete buffer;
        return nullptr;
    }
    buffer->bytes.assign(bytes, format.bits == 8 ? 128 : 0);
    std::lock_guard lock(guard);
    device.buffers.push_back(buffer);
    return buffer;
}

void os_sound_buffer_release(OS_SOUND_BUFFER buffer) {
    std::lock_guard lock(guard);
    auto found = std::find(device.buffers.begin(), device.buffers.end(), buffer);
    if (found != device.buffers.end()) {
        device.buffers.erase(found);
        delete buffer;
    }
}

int os_sound_buffer_lock(OS_SOUND_BUFFER buffer, uint32_t offset, uint32_t bytes, void **first,
                         uint32_t *first_bytes, void **second, uint32_t *second_bytes) {
    std::lock_guard lock(guard);
    const uint32_t size = alive(buffer) ? static_cast<uint32_t>(buffer->bytes.size()) : 0;
    if (!size || offset >= size || bytes > size) {
        return 0;
    }
    *first = buffer->bytes.data() + offset;
    *first_bytes = std::min(bytes, size - offset);
    *second = bytes > *first_bytes ? buffer->bytes.data() : nullptr;
    *second_bytes = bytes - *first_bytes;
    return 1;
}

int os_sound_buffer_unlock(OS_SOUND_BUFFER buffer) {
    std::lock_guard lock(guard);
    return alive(buffer);
}

int os_sound_buffer_play(OS_SOUND_BUFFER buffer, int looping) {
    std::lock_guard lock(guard);
    if (!alive(buffer)) {
        return 0;
    }
    buffer->status = OS_SOUND_PLAYING | (looping ? uint32_t{OS_SOUND_LOOPING} : 0u);
    return 1;
}

int os_sound_buffer_stop(OS_SOUND_BUFFER buffer) {
    std::lock_guard lock(guard);
    if (!alive(buffer)) {
        return 0;
    }
    buffer->status = 0;
    return 1;
}

int os_sound_buffer_set_position(OS_SOUND_BUFFER buffer, uint32_t position) {
    std::lock_guard lock(guard);
    if (!alive(buffer) || position >= buffer->bytes.size()) {
        return 0;
    }
    buffer->frame = position / buffer->frame_bytes;
    buffer->fraction = 0;
    return 1;
}

uint32_t os_sound_buffer_position(OS_SOUND_BUFFER buffer) {
    std::lock_guard lock(guard);
    return alive(buffer) ? buffer->frame * buffer->frame_bytes : 0;
}

uint32_t os_sound_buffer_status(OS_SOUND_BUFFER buffer) {
    std::lock_guard lock(guard);
    return alive(buffer) ? buffer->status : 0;
}

int os_sound_buffer_set_volume(OS_SOUND_BUFFER buffer, int hundredths_of_db) {
    std::lock_guard lock(guard);
    if (!alive(buffer) || hundredths_of_db > 0 || hundredths_of_db < OS_SOUND_SILENT) {
        return 0;
    }
    buffer->volume = hundredths_of_db;
    update_gains(buffer);
    return 1;
}

int os_sound_buffer_set_pan(OS_SOUND_BUFFER buffer, int pan) {
    std::lock_guard lock(guard);
    if (!alive(buffer) || pan < OS_SOUND_PAN_LEFT || pan > OS_SOUND_PAN_RIGHT) {
        return 0;
    }
    buffer->pan = pan;
    update_gains(buffer);
    return 1;
}

void os_sound_mix(int16_t *out, int frames) {
    std::lock_guard lock(guard);
    mix_locked(out, frames);
}

void os_sound_hold(int hold) {
    std::lock_guard lock(guard);
    device.held = hold != 0;
}

int os_sound_device_rate() {
    std::lock_guard lock(guard);
    return device.rate;
}
