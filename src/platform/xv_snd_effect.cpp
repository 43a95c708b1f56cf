// Effects: WAV files, each in a buffer of its own, played once or looping
// at the effect's volume times the master effect volume. Also the one-shot
// effects that free themselves, and a long WAV streamed through a ring.
#include "xv_bytes.h"
#include "xv_dsp.h"
#include "xv_io.h"
#include "xv_mem.h"
#include "xv_snd_state.h"
#include "xv_str.h"

#include "os_time.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

namespace {

XvSndState &snd = xv_snd_state;

constexpr uint32_t kLargestWave = uint32_t{256} << 20;
constexpr int kOneShotSlots = 10;

// ---- the WAV file -----------------------------------------------------------------

struct Wave {
    OS_SOUND_FORMAT format;
    std::vector<uint8_t> data;
};

// A fixed layout: "RIFF", size, "WAVE", "fmt " and its size, the PCM
// format, then at the end of the fmt chunk the "data" chunk at once: no
// other chunk may stand between them. Returns the error code, 0 when read.
int read_wave_from(XV_FILE *file, Wave *wave) {
    uint8_t header[20];
    if (xv_io_fread(header, 1, 20, file) != 20 || std::memcmp(header, "RIFF", 4) != 0) {
        return XV_SND_ERR_NOT_RIFF;
    }
    if (std::memcmp(header + 8, "WAVE", 4) != 0 || std::memcmp(header + 12, "fmt ", 4) != 0) {
        return XV_SND_ERR_NOT_WAVE;
    }
    const uint32_t fmt_size = xv_le32(header + 16);
    uint8_t format[16];
    if (fmt_size < 16 || xv_io_fread(format, 1, 16, file) != 16 || xv_le16(format) != 1) {
        return XV_SND_ERR_NOT_PCM;
    }
    wave->format = {static_cast<int>(xv_le32(format + 4)), xv_le16(format + 2),
                    xv_le16(format + 14)};
    uint8_t chunk[8];
    if (fmt_size > 0x7FFFFFFF ||
        xv_io_fseek(file, 20 + static_cast<long>(fmt_size), SEEK_SET) != 0 ||
        xv_io_fread(chunk, 1, 8, file) != 8 || std::memcmp(chunk, "data", 4) != 0) {
        return XV_SND_ERR_DATA_CHUNK;
    }
    // The size must be what the file holds: a lying size reads nothing past
    // the end, and is refused.
    const uint32_t size = xv_le32(chunk + 4);
    const long here = xv_io_ftell(file);
    if (size > kLargestWave || xv_io_fseek(file, 0, SEEK_END) != 0 ||
        xv_io_ftell(file) - here < static_cast<long>(size) || xv_io_fseek(file, here, SEEK_SET)) {
        return XV_SND_ERR_DATA_CHUNK;
    }
    wave->data.resize(size);
    if (xv_io_fread(wave->data.data(), 1, size, file) != size) {
        return XV_SND_ERR_DATA_CHUNK;
    }
    return 0;
}

bool read_wave(const char *file_name, Wave *wave) {
    XV_FILE *file = xv_io_fopen(file_name, "rb");
    if (!file) {
        xv_snd::report(XV_SND_ERR_OPEN_WAVE, file_name);
        return false;
    }
    const int error = read_wave_from(file, wave);
    xv_io_fclose(file);
    if (error) {
        xv_snd::report(error, file_name);
        return false;
    }
    return true;
}

} // namespace

int xv_snd_read_wave(const char *file_name, int *rate, int *channels, int *bits,
                     std::vector<uint8_t> *data) {
    Wave wave;
    if (!file_name || !read_wave(file_name, &wave)) {
        return 0;
    }
    *rate = wave.format.rate;
    *channels = wave.format.channels;
    *bits = wave.format.bits;
    *data = std::move(wave.data);
    return 1;
}

namespace {

// ---- the effect list ----------------------------------------------------------------

int slot_of(const XV_SND_EFFECT *effect) {
    for (int i = 0; i < snd.effect_count; ++i) {
        if (snd.effects[i] == effect) {
            return i;
        }
    }
    return -1;
}

int effective_db(int slot) {
    if (!snd.sound_effects) {
        return OS_SOUND_SILENT;
    }
    const int volume = slot >= 0 ? snd.effect_volumes[slot] : 100;
    return xv_snd_volume_to_db(snd.sound_volume * volume / 100);
}

bool grow_effect_list() {
    auto *effects = static_cast<XV_SND_EFFECT **>(
        XV_REALLOC(snd.effects, sizeof(XV_SND_EFFECT *) * (snd.effect_capacity + 10)));
    if (!effects) {
        xv_warning("Sound effect buffer reallocation error", "Sound Effects Disabled");
        return false;
    }
    snd.effects = effects;
    auto *volumes = static_cast<int *>(
        XV_REALLOC(snd.effect_volumes, sizeof(int) * (snd.effect_capacity + 10)));
    if (!volumes) {
        xv_warning("Sound effect volume buffer reallocation error", "Sound Effects Disabled");
        return false;
    }
    snd.effect_volumes = volumes;
    snd.effect_capacity += 10;
    return true;
}

void free_record(XV_SND_EFFECT *effect) {
    if (effect->buffer) {
        os_sound_buffer_release(effect->buffer);
    }
    XV_SND_FREE_BLOCK(effect->data);
    if (effect->name) {
        xv_str_destroy(effect->name);
    }
    XV_SND_FREE_BLOCK(effect);
}

bool usable(XV_SND_EFFECT *effect) {
    if (!effect) {
        xv_snd::report(XV_SND_ERR_NULL_SOUND);
        return false;
    }
    if (!effect->buffer) {
        xv_snd::report(XV_SND_ERR_NO_BUFFER);
        return false;
    }
    return true;
}

// ---- one-shot effects ----------------------------------------------------------------

// Effects played once and then freed. Their memory belongs to the main
// thread, so the release waits for the main thread to look in again: at the
// next play_once, the next window message, or shutdown.
XV_SND_EFFECT *one_shots[kOneShotSlots];

void reap_one_shots(bool all) {
    for (XV_SND_EFFECT *&effect : one_shots) {
        if (effect && (all || !xv_snd_effect_playing(effect))) {
            xv_snd_release_effect(effect);
            effect = nullptr;
            if (!all) {
                xv_warning("sound done...", "here");
            }
        }
    }
}

// ---- the streamed WAV ----------------------------------------------------------------

// Six blocks in a ring, refilled behind the play cursor every 50 ms.
struct WaveStream {
    std::mutex guard;
    OsTimer *timer = nullptr;
    OS_SOUND_BUFFER buffer = nullptr;
    Wave wave;
    uint32_t block = 0, blocks = 6;
    uint32_t next_block = 0; // the block to fill next
    uint32_t read = 0;       // bytes of the data already given
    int blocks_left = -1;    // after the end: blocks still to play
    bool loop = false;
    std::atomic<bool> busy{false};
};
WaveStream wave_stream;

void fill_block(WaveStream &stream, uint32_t index) {
    void *first = nullptr, *second = nullptr;
    uint32_t first_bytes = 0, second_bytes = 0;
    if (!os_sound_buffer_lock(stream.buffer, index * stream.block, stream.block, &first,
                              &first_bytes, &second, &second_bytes)) {
        return;
    }
    auto *at = static_cast<uint8_t *>(first);
    uint32_t filled = 0;
    while (filled < first_bytes) {
        if (stream.read == stream.wave.data.size()) {
            if (!stream.loop) {
                std::memset(at + filled, stream.wave.format.bits == 8 ? 128 : 0,
                            first_bytes - filled);
                // The stream stops when this block has played: when it
                // comes round to be filled again, six fills from now.
                if (stream.blocks_left < 0) {
                    stream.blocks_left = static_cast<int>(stream.blocks) + 1;
                }
                break;
            }
            stream.read = 0;
        }
        const uint32_t take = std::min<uint32_t>(
            first_bytes - filled, static_cast<uint32_t>(stream.wave.data.size()) - stream.read);
        std::memcpy(at + filled, stream.wave.data.data() + stream.read, take);
        filled += take;
        stream.read += take;
    }
    os_sound_buffer_unlock(stream.buffer);
}

void refill_wave_stream(void *) {
    WaveStream &stream = wave_stream;
    if (stream.busy.exchange(true)) {
        return; // the last tick is still at work
    }
    {
        std::lock_guard lock(stream.guard);
        const uint32_t playing = os_sound_buffer_position(stream.buffer) / stream.block;
        while (stream.next_block != playing) {
            fill_block(stream, stream.next_block);
            stream.next_block = (stream.next_block + 1) % stream.blocks;
            if (stream.blocks_left > 0 && --stream.blocks_left == 0) {
                os_sound_buffer_stop(stream.buffer);
                break;
            }
        }
    }
    stream.busy = false;
}

void stop_wave_stream() {
    if (wave_stream.timer) {
        os_timer_stop(wave_stream.timer);
        wave_stream.timer = nullptr;
    }
    std::lock_guard lock(wave_stream.guard);
    if (wave_stream.buffer) {
        os_sound_buffer_release(wave_stream.buffer);
        wave_stream.buffer = nullptr;
    }
    wave_stream.wave = {};
}

} // namespace

namespace xv_snd {

void reapply_effect_volumes() {
    for (int i = 0; i < snd.effect_count; ++i) {
        if (snd.effects[i] && snd.effects[i]->buffer) {
            os_sound_buffer_set_volume(snd.effects[i]->buffer, effective_db(i));
        }
    }
}

void free_effect_list() {
    while (snd.effect_count > 0) {
        xv_snd_release_effect(snd.effects[snd.effect_count - 1]);
    }
    XV_SND_FREE_BLOCK(snd.effects);
    XV_SND_FREE_BLOCK(snd.effect_volumes);
    snd.effects = nullptr;
    snd.effect_volumes = nullptr;
    snd.effect_capacity = 0;
}

void stop_one_shots() {
    reap_one_shots(true);
    stop_wave_stream();
}

void reap_finished_one_shots() {
    reap_one_shots(false);
}

} // namespace xv_snd

XV_SND_EFFECT *xv_snd_load_effect(const char *file_name) {
    if (!snd.initialised || !file_name) {
        return nullptr;
    }
    auto *effect = static_cast<XV_SND_EFFECT *>(XV_CALLOC(1, sizeof(XV_SND_EFFECT)));
    if (!effect) {
        xv_snd::report(XV_SND_ERR_ALLOCATE, file_name);
        return nullptr;
    }
    Wave wave;
    bool loaded = xv_str_create(&effect->name, file_name, 0) != 0;
    if (loaded) {
        loaded = read_wave(file_name, &wave);
        if (!loaded) {
            xv_snd::report(XV_SND_ERR_LOAD_WAVE, file_name);
        }
    }
    if (loaded) {
        effect->format = wave.format;
        effect->size = static_cast<uint32_t>(wave.data.size());
        effect->data = static_cast<uint8_t *>(XV_MALLOC(std::max<uint32_t>(effect->size, 1)));
        loaded = effect->data != nullptr;
        if (loaded) {
            std::memcpy(effect->data, wave.data.data(), effect->size);
        }
    }
    if (loaded && !os_sound_is_open()) {
        xv_snd::report(XV_SND_ERR_NO_DEVICE, file_name);
        loaded = false;
    }
    if (loaded) {
        effect->buffer = os_sound_buffer_create(effect->format, effect->size);
        if (!effect->buffer) {
            xv_snd::report(XV_SND_ERR_SECONDARY, file_name);
            loaded = false;
        }
    }
    void *first = nullptr, *second = nullptr;
    uint32_t first_bytes = 0, second_bytes = 0;
    if (loaded && !os_sound_buffer_lock(effect->buffer, 0, effect->size, &first, &first_bytes,
                                        &second, &second_bytes)) {
        xv_snd::report(XV_SND_ERR_LOCK, file_name);
        loaded = false;
    }
    if (loaded) {
        std::memcpy(first, effect->data, first_bytes);
        if (!os_sound_buffer_unlock(effect->buffer)) {
            xv_snd::report(XV_SND_ERR_UNLOCK, file_name);
            loaded = false;
        }
    }
    if (loaded && snd.effect_count == snd.effect_capacity && !grow_effect_list()) {
        loaded = false;
    }
    if (!loaded || !snd.effects) {
        free_record(effect);
        return nullptr;
    }
    os_sound_buffer_set_volume(effect->buffer, effective_db(-1));
    snd.effects[snd.effect_count] = effect;
    snd.effect_volumes[snd.effect_count] = 100;
    ++snd.effect_count;
    return effect;
}

int xv_snd_release_effect(XV_SND_EFFECT *effect) {
    if (!usable(effect)) {
        return 0;
    }
    os_sound_buffer_stop(effect->buffer);
    const int slot = slot_of(effect);
    if (slot >= 0) {
        for (int i = slot; i + 1 < snd.effect_count; ++i) {
            snd.effects[i] = snd.effects[i + 1];
            snd.effect_volumes[i] = snd.effect_volumes[i + 1];
        }
        --snd.effect_count;
    }
    free_record(effect);
    return 1;
}

int xv_snd_play_effect(XV_SND_EFFECT *effect, int, int loop) {
    if (!snd.initialised || !usable(effect)) {
        return 0;
    }
    if (!os_sound_buffer_set_position(effect->buffer, 0)) {
        xv_snd::report(XV_SND_ERR_POSITION, effect->name);
        return 0;
    }
    if (!os_sound_buffer_play(effect->buffer, loop)) {
        xv_snd::report(XV_SND_ERR_PLAY, effect->name);
        return 0;
    }
    return 1;
}

int xv_snd_play_effect_at(XV_SND_EFFECT *effect, int reserved, int loop, int volume) {
    if (!snd.initialised || !usable(effect)) {
        return 0;
    }
    xv_snd_set_effect_volume(effect, volume);
    return xv_snd_play_effect(effect, reserved, loop);
}

int xv_snd_stop_effect(XV_SND_EFFECT *effect) {
    if (!usable(effect)) {
        return 0;
    }
    if (!os_sound_buffer_stop(effect->buffer)) {
        xv_snd::report(XV_SND_ERR_STOP, effect->name);
        return 0;
    }
    return 1;
}

int xv_snd_effect_playing(XV_SND_EFFECT *effect) {
    if (!snd.initialised || !usable(effect)) {
        return 0;
    }
    const uint32_t status = os_sound_buffer_status(effect->buffer);
    return status & (OS_SOUND_PLAYING | OS_SOUND_LOOPING) ? 1 : 0;
}

int xv_snd_set_effect_volume(XV_SND_EFFECT *effect, int percent) {
    if (!snd.initialised || !usable(effect)) {
        return 0;
    }
    const int slot = slot_of(effect);
    if (slot >= 0) {
        snd.effect_volumes[slot] = std::clamp(percent, 0, 100);
    }
    if (!os_sound_buffer_set_volume(effect->buffer, effective_db(slot))) {
        xv_snd::report(XV_SND_ERR_VOLUME, effect->name);
        return 0;
    }
    return 1;
}

int xv_snd_set_effect_pan(XV_SND_EFFECT *effect, int pan) {
    if (!snd.initialised || !usable(effect)) {
        return 0;
    }
    if (!os_sound_buffer_set_pan(effect->buffer, xv_snd_pan_to_db(pan))) {
        xv_snd::report(XV_SND_ERR_PAN, effect->name);
        return 0;
    }
    return 1;
}

int xv_snd_play_once(const char *file_name) {
    xv_snd::reap_finished_one_shots();
    XV_SND_EFFECT *effect = xv_snd_load_effect(file_name);
    if (!effect) {
        return 1;
    }
    xv_snd_set_effect_volume(effect, 1);
    xv_snd_play_effect(effect, 0, 0);
    for (XV_SND_EFFECT *&slot : one_shots) {
        if (!slot) {
            slot = effect;
            return 0;
        }
    }
    return 1; // every slot taken: it plays on, and stays loaded
}

int xv_snd_stream_wav(const char *file_name) {
    stop_wave_stream();
    Wave wave;
    if (!snd.initialised || !file_name || !read_wave(file_name, &wave) || wave.data.empty()) {
        return 15;
    }
    const int frame_bytes = wave.format.channels * wave.format.bits / 8;
    const int per_second = wave.format.rate * frame_bytes;
    uint32_t block = static_cast<uint32_t>(per_second * 3 * 40 / 600);
    block -= block % static_cast<uint32_t>(frame_bytes);
    std::lock_guard lock(wave_stream.guard);
    wave_stream.buffer = block ? os_sound_buffer_create(wave.format, block * 6) : nullptr;
    if (!wave_stream.buffer) {
        return 15;
    }
    wave_stream.wave = std::move(wave);
    wave_stream.block = block;
    wave_stream.read = 0;
    wave_stream.blocks_left = -1;
    for (uint32_t i = 0; i < wave_stream.blocks; ++i) {
        fill_block(wave_stream, i);
    }
    wave_stream.next_block = 0;
    os_sound_buffer_play(wave_stream.buffer, 1);
    wave_stream.timer = os_timer_start(50, refill_wave_stream, nullptr);
    return 0;
}

int xv_snd_wav_streaming() {
    std::lock_guard lock(wave_stream.guard);
    return wave_stream.buffer && os_sound_buffer_status(wave_stream.buffer) ? 1 : 0;
}
