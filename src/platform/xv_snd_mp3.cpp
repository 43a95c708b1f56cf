#include "xv_snd_mp3.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

struct XV_MP3 {
    mpg123_handle *decoder = nullptr;
    std::vector<uint8_t> image; // the audio frames, without a trailing tag
    bool loop = false;
    bool ended = false;
    int bits = 16, channels = 2, rate = 44100;
    int source_rate = 0, source_channels = 0;
    std::vector<int16_t> decoded; // the last decoded frame, interleaved
    size_t next = 0;              // the decoded sample frame stepped to
    uint32_t fraction = 0;        // 16.16, past next
    int volume = 100, pan = 0;
    float left_gain = 1.0f, right_gain = 1.0f;
    bool has_tag = false;
    XV_MP3_TAG tag;
};

namespace {

// The decoder library is initialised once for the process.
void start_library() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

std::string tag_field(const uint8_t *at, size_t length) {
    std::string text(reinterpret_cast<const char *>(at), length);
    text = text.substr(0, text.find('\0'));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

void read_tag(XV_MP3 *stream) {
    if (stream->image.size() < 128) {
        return;
    }
    const uint8_t *tag = stream->image.data() + stream->image.size() - 128;
    if (std::memcmp(tag, "TAG", 3) != 0) {
        return;
    }
    stream->has_tag = true;
    stream->tag.title = tag_field(tag + 3, 30);
    stream->tag.artist = tag_field(tag + 33, 30);
    stream->tag.album = tag_field(tag + 63, 30);
    stream->tag.year = tag_field(tag + 93, 4);
    stream->tag.comment = tag_field(tag + 97, 30);
    stream->tag.genre = tag[127];
    stream->image.resize(stream->image.size() - 128);
}

// Hands the whole image to a fresh decoder, decoding to 16-bit at the
// file's own rate and channels.
bool restart_decoder(XV_MP3 *stream) {
    if (stream->decoder) {
        mpg123_close(stream->decoder);
    } else {
        stream->decoder = mpg123_new(nullptr, nullptr);
        if (!stream->decoder) {
            return false;
        }
        mpg123_param(stream->decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        mpg123_format_none(stream->decoder);
        const long *rates = nullptr;
        size_t count = 0;
        mpg123_rates(&rates, &count);
        for (size_t i = 0; i < count; ++i) {
            mpg123_format(stream->decoder, rates[i], MPG123_MONO | MPG123_STEREO,
                          MPG123_ENC_SIGNED_16);
        }
    }
    stream->decoded.clear();
    stream->next = 0;
    return mpg123_open_feed(stream->decoder) == MPG123_OK &&
           mpg123_feed(stream->decoder, stream->image.data(), stream->image.size()) == MPG123_OK;
}

// The next decoded frame into the queue; false at the end of the data.
bool decode_next(XV_MP3 *stream) {
    for (int attempts = 0; attempts < 64; ++attempts) {
        off_t number = 0;
        unsigned char *audio = nullptr;
        size_t bytes = 0;
        int result = mpg123_decode_frame(stream->decoder, &number, &audio, &bytes);
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(stream->decoder, &rate, &channels, &encoding);
            stream->source_rate = static_cast<int>(rate);
            stream->source_channels = channels;
            continue;
        }
        if (result != MPG123_OK) {
            return false; // the data ran out, or what follows is no audio
        }
        if (bytes == 0 || stream->source_channels == 0) {
            continue;
        }
        stream->decoded.assign(reinterpret_cast<int16_t *>(audio),
                               reinterpret_cast<int16_t *>(audio) + bytes / 2);
        stream->next = 0;
        return true;
    }
    return false;
}

// Makes sure a decoded sample frame stands at next; false at the end.
bool have_frame(XV_MP3 *stream) {
    const size_t frames = stream->source_channels ? stream->decoded.size() /
                                                        static_cast<size_t>(stream->source_channels)
                                                  : 0;
    if (stream->next < frames) {
        return true;
    }
    const size_t carried = stream->next - frames;
    if (!decode_next(stream)) {
        if (!stream->loop || !restart_decoder(stream) || !decode_next(stream)) {
            return false;
        }
    }
    stream->next = carried;
    return have_frame(stream);
}

void update_gains(XV_MP3 *stream) {
    const float volume = stream->volume * 0.01f;
    stream->left_gain = stream->pan >= 0 ? volume * (100 - stream->pan) * 0.01f : volume;
    stream->right_gain = stream->pan < 0 ? volume * (stream->pan + 100) * 0.01f : volume;
}

void put_sample(XV_MP3 *stream, uint8_t **out, float value) {
    const int sample = std::clamp(static_cast<int>(value), -32768, 32767);
    if (stream->bits == 8) {
        *(*out)++ = static_cast<uint8_t>((sample + 32768) >> 8);
    } else {
        const int16_t narrow = static_cast<int16_t>(sample);
        std::memcpy(*out, &narrow, 2);
        *out += 2;
    }
}

} // namespace

XV_MP3 *xv_mp3_open(const uint8_t *image, size_t bytes, int flags, int bits, int channels,
                    int rate) {
    if (!image || bytes == 0 || (bits != 8 && bits != 16) || (channels != 1 && channels != 2) ||
        rate < 100) {
        return nullptr;
    }
    start_library();
    auto *stream = new XV_MP3;
    stream->image.assign(image, image + bytes);
    stream->loop = (flags & XV_MP3_LOOP) != 0;
    stream->bits = bits;
    stream->channels = channels;
    stream->rate = rate;
    read_tag(stream);
    update_gains(stream);
    // A file without a single frame of audio is no MP3.
    if (!restart_decoder(stream) || !decode_next(stream)) {
        xv_mp3_close(stream);
        return nullptr;
    }
    return stream;
}

void xv_mp3_close(XV_MP3 *stream) {
    if (stream) {
        if (stream->decoder) {
            mpg123_delete(stream->decoder);
        }
        delete stream;
    }
}

int xv_mp3_fill(XV_MP3 *stream, void *out, int bytes) {
    const int frame_bytes = stream->bits / 8 * stream->channels;
    auto *at = static_cast<uint8_t *>(out);
    int frames = bytes / frame_bytes;
    const uint64_t step = stream->source_rate
                              ? (static_cast<uint64_t>(stream->source_rate) << 16) / stream->rate
                              : 0x10000;
    for (; frames > 0 && !stream->ended; --frames) {
        if (!have_frame(stream)) {
            stream->ended = true;
            break;
        }
        const int16_t *frame =
            stream->decoded.data() + stream->next * static_cast<size_t>(stream->source_channels);
        const float left = frame[0] * stream->left_gain;
        const float right = frame[stream->source_channels > 1 ? 1 : 0] * stream->right_gain;
        if (stream->channels == 2) {
            put_sample(stream, &at, left);
            put_sample(stream, &at, right);
        } else {
            put_sample(stream, &at, (left + right) / 2);
        }
        const uint64_t position = stream->fraction + step;
        stream->next += position >> 16;
        stream->fraction = static_cast<uint32_t>(position & 0xFFFF);
    }
    const size_t rest = static_cast<size_t>(static_cast<uint8_t *>(out) + bytes - at);
    std::memset(at, stream->bits == 8 ? 128 : 0, rest);
    return stream->ended ? 0 : 1;
}

void xv_mp3_set_loop(XV_MP3 *stream, int loop) {
    stream->loop = loop != 0;
}

void xv_mp3_set_volume(XV_MP3 *stream, int percent) {
    stream->volume = std::clamp(percent, 0, 100);
    update_gains(stream);
}

void xv_mp3_set_pan(XV_MP3 *stream, int pan) {
    stream->pan = std::clamp(pan, -100, 100);
    update_gains(stream);
}

const XV_MP3_TAG *xv_mp3_tag(const XV_MP3 *stream) {
    return stream->has_tag ? &stream->tag : nullptr;
}

int xv_mp3_source_rate(const XV_MP3 *stream) {
    return stream->source_rate;
}
