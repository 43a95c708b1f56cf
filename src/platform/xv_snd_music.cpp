// Music: the list of loaded modules and MP3 streams, the one stream buffer
// they play through, its feeder, and the MP3 play list.
#include "xv_dsp.h"
#include "xv_io.h"
#include "xv_mem.h"
#include "xv_random.h"
#include "xv_snd_mp3.h"
#include "xv_snd_s3m.h"
#include "xv_snd_state.h"
#include "xv_str.h"

#include "os_time.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

XvSndState &snd = xv_snd_state;

constexpr size_t kLargestMusic = size_t{64} << 20;
constexpr int kChunks = 10;

bool valid_handle(int handle) {
    return handle >= 1 && handle <= snd.music_capacity && snd.music;
}

XV_SND_MUSIC &entry(int handle) {
    return snd.music[handle - 1];
}

bool play_list_running() {
    return snd.tracks && !snd.track_finished;
}

int module_flags() {
    int flags = snd.output.channels == 2 ? XV_S3M_STEREO : 0;
    if (snd.output.bits == 16) {
        flags |= XV_S3M_16BIT;
    }
    return flags | snd.interpolation;
}

int module_volume() {
    return snd.music_volume * XV_S3M_FULL_VOLUME / 100;
}

void silence(uint8_t *at, uint32_t bytes) {
    std::memset(at, snd.output.bits == 8 ? 128 : 0, bytes);
}

// Renders bytes of the music into the mixing buffer at offset. An MP3 that
// ends while the play list runs marks the track finished.
void render(int handle, uint32_t offset, uint32_t bytes) {
    XV_SND_MUSIC &music = entry(handle);
    uint8_t *at = snd.mix + offset;
    if (music.type == XV_SND_S3M) {
        xv_s3m_render(music.module, at, static_cast<int>(bytes));
    } else if (music.type == XV_SND_MP3) {
        if (!xv_mp3_fill(music.stream, at, static_cast<int>(bytes)) && snd.tracks) {
            snd.track_finished = true;
        }
    } else {
        silence(at, bytes);
    }
}

// Copies a range of the mixing buffer into the stream at the same offset.
void copy_to_stream(uint32_t offset, uint32_t bytes) {
    void *first = nullptr, *second = nullptr;
    uint32_t first_bytes = 0, second_bytes = 0;
    if (!snd.stream || !os_sound_buffer_lock(snd.stream, offset, bytes, &first, &first_bytes,
                                             &second, &second_bytes)) {
        return;
    }
    std::memcpy(first, snd.mix + offset, first_bytes);
    if (second) {
        std::memcpy(second, snd.mix + offset + first_bytes, second_bytes);
    }
    os_sound_buffer_unlock(snd.stream);
}

// The stream starts over with the second now in the mixing buffer.
void restart_stream() {
    if (!snd.stream) {
        return;
    }
    os_sound_buffer_stop(snd.stream);
    copy_to_stream(0, snd.mix_bytes);
    snd.write_chunk = 0;
    os_sound_buffer_set_position(snd.stream, 0);
    os_sound_buffer_play(snd.stream, 1);
}

void free_entry(XV_SND_MUSIC &music) {
    if (music.type == XV_SND_S3M) {
        xv_s3m_free(music.module);
    } else if (music.type == XV_SND_MP3) {
        xv_mp3_close(music.stream);
    }
    music = {XV_SND_FREE, nullptr, nullptr};
}

// A free entry of the music list, growing it by ten when the last is
// taken; 0 when it cannot grow.
int take_entry() {
    for (int i = 0; i < snd.music_capacity; ++i) {
        if (snd.music[i].type != XV_SND_FREE) {
            continue;
        }
        if (i == snd.music_capacity - 1) {
            auto *grown = static_cast<XV_SND_MUSIC *>(
                XV_REALLOC(snd.music, sizeof(XV_SND_MUSIC) * (snd.music_capacity + 10)));
            if (!grown) {
                xv_warning("Modules buffer reallocation error", "Music Disabled");
                return 0;
            }
            std::memset(grown + snd.music_capacity, 0, sizeof(XV_SND_MUSIC) * 10);
            snd.music = grown;
            snd.music_capacity += 10;
        }
        return i + 1;
    }
    return 0;
}

bool open_music(const char *file_name, bool loop, XV_SND_MUSIC *music) {
    std::vector<uint8_t> image;
    if (!xv_io_read_whole(file_name, &image, kLargestMusic)) {
        return false;
    }
    const std::string upper = xv_str_upper(file_name);
    if (upper.find(".S3M") != std::string::npos) {
        *music = {XV_SND_S3M, xv_s3m_load(image.data(), image.size()), nullptr};
        return music->module != nullptr;
    }
    *music = {XV_SND_MP3, nullptr,
              xv_mp3_open(image.data(), image.size(), XV_MP3_IN_MEMORY | (loop ? XV_MP3_LOOP : 0),
                          snd.output.bits, snd.output.channels, snd.output.highest_rate)};
    return music->stream != nullptr;
}

bool known_kind(const char *file_name) {
    const std::string upper = xv_str_upper(file_name);
    return upper.find(".S3M") != std::string::npos || upper.find(".MP3") != std::string::npos;
}

int store(const XV_SND_MUSIC &music) {
    int handle = take_entry();
    if (!handle) {
        XV_SND_MUSIC dropped = music;
        free_entry(dropped);
        return 0;
    }
    entry(handle) = music;
    return handle;
}

int load_from_play_list() {
    std::string failed;
    for (int tries = 0; tries < snd.track_count; ++tries) {
        const char *name = xv_snd_next_mp3();
        if (!name || !xv_io_fexist(name, XV_IO_THROUGH_LAYER)) {
            continue;
        }
        XV_SND_MUSIC music{};
        if (open_music(name, false, &music)) {
            return store(music);
        }
        failed = name;
    }
    if (!failed.empty()) {
        xv_warning(xv_str_format("Could not load %s", failed.c_str()).c_str());
    }
    return 0;
}

bool append_track(const char *name) {
    if (snd.track_count == snd.track_capacity) {
        auto *grown = static_cast<XV_SND_TRACK *>(
            XV_REALLOC(snd.tracks, sizeof(XV_SND_TRACK) * (snd.track_capacity + 10)));
        if (!grown) {
            xv_warning("MP3 List buffer reallocation error", "MP3 List truncated");
            return false;
        }
        xv_snd::label(grown, snd.tracks ? "MP3 Filename Array Reallocated" : "MP3 Filename Array");
        snd.tracks = grown;
        snd.track_capacity += 10;
    }
    char *copy = nullptr; // kept as written
    if (!xv_str_create(&copy, name, 0)) {
        return false;
    }
    snd.tracks[snd.track_count++] = {0, copy};
    return true;
}

} // namespace

namespace xv_snd {

void apply_music_volume() {
    if (!valid_handle(snd.current)) {
        return;
    }
    XV_SND_MUSIC &music = entry(snd.current);
    if (music.type == XV_SND_S3M) {
        xv_s3m_set_volume(music.module, module_volume());
        xv_s3m_set_flags(music.module, module_flags());
    } else if (music.type == XV_SND_MP3) {
        xv_mp3_set_volume(music.stream, snd.music_volume);
    }
}

void free_music_list() {
    for (int handle = 1; handle <= snd.music_capacity; ++handle) {
        xv_snd_unload_music(handle);
    }
    XV_SND_FREE_BLOCK(snd.music);
    snd.music = nullptr;
    snd.music_capacity = 0;
}

void free_play_list() {
    for (int i = 0; i < snd.track_count; ++i) {
        xv_str_destroy(snd.tracks[i].name);
    }
    XV_SND_FREE_BLOCK(snd.tracks);
    snd.tracks = nullptr;
    snd.track_count = snd.track_capacity = 0;
    snd.track_position = -1;
    snd.pass = 0;
    snd.shuffle_seed = 0;
    snd.track_finished = true;
}

} // namespace xv_snd

int xv_snd_load_music(const char *file_name) {
    std::lock_guard lock(snd.lock);
    if (!snd.initialised || !snd.music) {
        return 0;
    }
    if (snd.tracks) {
        // The play list chooses the music; the name asked for is not used.
        return snd.track_finished ? load_from_play_list() : 1;
    }
    if (!file_name || !xv_io_fexist(file_name, XV_IO_THROUGH_LAYER)) {
        xv_warning(xv_str_format("File not found %s", file_name ? file_name : "").c_str());
        return 0;
    }
    if (!known_kind(file_name)) {
        return 0;
    }
    XV_SND_MUSIC music{};
    if (!open_music(file_name, true, &music)) {
        xv_warning(xv_str_format("Could not load %s", file_name).c_str());
        return 0;
    }
    return store(music);
}

int xv_snd_play_music(int handle) {
    std::lock_guard lock(snd.lock);
    if (!snd.initialised) {
        return 0;
    }
    snd.last_requested = handle;
    if (!snd.digital_music || handle == 0 || snd.current) {
        return 0;
    }
    if (play_list_running()) {
        return 1;
    }
    if (!valid_handle(handle) || entry(handle).type == XV_SND_FREE || !snd.mix) {
        return 0;
    }
    XV_SND_MUSIC &music = entry(handle);
    if (music.type == XV_SND_S3M) {
        if (!xv_s3m_start(music.module, snd.output.highest_rate, module_flags(), module_volume())) {
            return 0;
        }
    } else {
        xv_mp3_set_volume(music.stream, snd.music_volume);
    }
    snd.current = handle;
    render(handle, 0, snd.mix_bytes);
    restart_stream();
    if (snd.config && snd.config->active) {
        *snd.config->active = snd.active;
    }
    if (snd.tracks) {
        snd.track_finished = false;
    }
    return 1;
}

int xv_snd_stop_music(int handle) {
    std::lock_guard lock(snd.lock);
    if (!snd.initialised || handle == 0 || !snd.current) {
        return 0;
    }
    if (play_list_running() && snd.digital_music) {
        return 1;
    }
    const int stopped = snd.current;
    snd.current = 0;
    if (snd.mix) {
        silence(snd.mix, snd.mix_bytes);
        restart_stream();
    }
    if (valid_handle(stopped) && entry(stopped).type == XV_SND_S3M) {
        xv_s3m_stop(entry(stopped).module);
    }
    return 1;
}

int xv_snd_pause_music(int handle, int pause) {
    std::lock_guard lock(snd.lock);
    if (!snd.initialised || !valid_handle(handle) || entry(handle).type == XV_SND_FREE ||
        !snd.mix) {
        return 0;
    }
    XV_SND_MUSIC &music = entry(handle);
    if (music.type == XV_SND_S3M) {
        xv_s3m_set_state(music.module, pause ? XV_S3M_PAUSED : XV_S3M_PLAYING);
    }
    if (pause) {
        silence(snd.mix, snd.mix_bytes);
    } else {
        render(handle, 0, snd.mix_bytes);
    }
    restart_stream();
    return 1;
}

int xv_snd_unload_music(int handle) {
    std::lock_guard lock(snd.lock);
    if (!snd.initialised || !valid_handle(handle)) {
        return 0;
    }
    if (play_list_running()) {
        return 1;
    }
    if (handle == snd.current) {
        xv_snd_stop_music(handle);
        snd.current = 0;
    }
    free_entry(entry(handle));
    return 1;
}

int xv_snd_set_music_pan(int handle, int pan) {
    std::lock_guard lock(snd.lock);
    if (!snd.initialised || !valid_handle(handle)) {
        return 0;
    }
    pan = std::clamp(pan, -100, 100);
    XV_SND_MUSIC &music = entry(handle);
    if (music.type == XV_SND_S3M) {
        xv_s3m_set_pan(music.module, (pan + 100) * 256 / 200);
    } else if (music.type == XV_SND_MP3) {
        xv_mp3_set_pan(music.stream, pan);
    } else {
        return 0;
    }
    return 1;
}

int xv_snd_mute_channel(int channel, int on) {
    std::lock_guard lock(snd.lock);
    if (!snd.initialised || !valid_handle(snd.current) || entry(snd.current).type != XV_SND_S3M) {
        return 0;
    }
    return xv_s3m_mute(entry(snd.current).module, channel, on);
}

int xv_snd_current_music() {
    std::lock_guard lock(snd.lock);
    return snd.current;
}

int xv_snd_update_music(int handle) {
    std::lock_guard lock(snd.lock);
    if (!snd.initialised || !snd.current || !valid_handle(handle) || !snd.stream || !snd.mix) {
        return 0;
    }
    const int playing = static_cast<int>(os_sound_buffer_position(snd.stream) / snd.chunk_bytes);
    if (playing == snd.write_chunk) {
        return 1;
    }
    // Fill up to the chunk being played, never across the end of the
    // buffer in one call: the rest comes with the next.
    int count = playing - snd.write_chunk;
    if (count < 0) {
        count = kChunks - snd.write_chunk;
    }
    const uint32_t offset = static_cast<uint32_t>(snd.write_chunk) * snd.chunk_bytes;
    const uint32_t bytes = static_cast<uint32_t>(count) * snd.chunk_bytes;
    render(handle, offset, bytes);
    copy_to_stream(offset, bytes);
    snd.write_chunk += count;
    if (snd.write_chunk > kChunks - 1) {
        snd.write_chunk = 0;
    }
    if (snd.tracks && snd.track_finished) {
        // The track ended: the play list's next one follows.
        xv_snd_stop_music(handle);
        xv_snd_unload_music(handle);
        xv_snd_play_music(xv_snd_load_music("NoName.mp3"));
    }
    return 1;
}

// ---- the play list -----------------------------------------------------------------

int xv_snd_load_mp3_list(const char *file_name) {
    std::lock_guard lock(snd.lock);
    if (!file_name || !xv_io_fexist(file_name, XV_IO_THROUGH_LAYER)) {
        return 0;
    }
    XV_FILE *file = xv_io_fopen(file_name, "rb");
    if (!file) {
        xv_snd::report(XV_SND_ERR_NO_LIST, file_name);
        return 0;
    }
    char line[256];
    while (xv_io_fgets(line, sizeof line, file)) {
        line[std::strcspn(line, "\r\n")] = '\0';
        if (!line[0] || line[0] == '#' || xv_str_upper(line).find(".MP3") == std::string::npos) {
            continue;
        }
        if (!append_track(line)) {
            break;
        }
    }
    xv_io_fclose(file);
    return snd.track_count;
}

void xv_snd_start_mp3_list(int position, int shuffle) {
    std::lock_guard lock(snd.lock);
    snd.track_position = position >= 1 && position < snd.track_count ? position - 1 : -1;
    snd.shuffle_seed = shuffle == 1 ? os_tick_count() : 0;
}

// Shuffled, every track plays once in a pass before any plays again: a
// drawn track already played this pass gives way to the next one that has
// not; when none is left, the next pass begins with the drawn one.
const char *xv_snd_next_mp3() {
    std::lock_guard lock(snd.lock);
    if (snd.track_count <= 0) {
        return nullptr;
    }
    if (!snd.shuffle_seed) {
        snd.track_position = (snd.track_position + 1) % snd.track_count;
    } else {
        const uint32_t saved = xv_random_get_seed();
        xv_random_seed(snd.shuffle_seed);
        const int drawn = static_cast<int>(xv_random_range(static_cast<uint32_t>(snd.track_count)));
        snd.shuffle_seed = xv_random_get_seed();
        xv_random_seed(saved);
        int chosen = drawn;
        if (snd.tracks[drawn].plays > snd.pass) {
            chosen = -1;
            for (int i = (drawn + 1) % snd.track_count; i != drawn; i = (i + 1) % snd.track_count) {
                if (snd.tracks[i].plays <= snd.pass) {
                    chosen = i;
                    break;
                }
            }
            if (chosen < 0) {
                ++snd.pass;
                chosen = drawn;
            }
        }
        snd.track_position = chosen;
    }
    XV_SND_TRACK &track = snd.tracks[snd.track_position];
    ++track.plays;
    return track.name;
}
