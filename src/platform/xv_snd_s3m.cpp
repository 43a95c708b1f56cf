#include "xv_snd_s3m.h"

#include <xmp.h>

#include <algorithm>
#include <cstring>

struct XV_S3M {
    xmp_context context = nullptr;
    bool started = false;
    int state = 0;
    int flags = 0;
    int volume = 0;
    int pan = 128;
};

namespace {

int interpolation_of(int flags) {
    switch (flags & 12) {
    case 4:
        return XMP_INTERP_LINEAR;
    case 8:
        return XMP_INTERP_SPLINE;
    default:
        return XMP_INTERP_NEAREST;
    }
}

int xmp_format_of(int flags) {
    int format = 0;
    if (!(flags & XV_S3M_STEREO)) {
        format |= XMP_FORMAT_MONO;
    }
    if ((flags & XV_S3M_16BIT) != XV_S3M_16BIT) {
        format |= XMP_FORMAT_8BIT | XMP_FORMAT_UNSIGNED; // 128 is silence
    }
    return format;
}

// The game's volume runs to 131072; the player's own full volume is 100.
// Pan moves the whole mix: the far side is lowered, as a balance control.
void apply_volume(XV_S3M *module) {
    if (module->started) {
        xmp_set_player(
            module->context, XMP_PLAYER_VOLUME,
            static_cast<int>(static_cast<int64_t>(module->volume) * 100 / XV_S3M_FULL_VOLUME));
    }
}

void fill_silence(const XV_S3M *module, void *out, int bytes) {
    bool eight_bit = (module->flags & XV_S3M_16BIT) != XV_S3M_16BIT;
    std::memset(out, eight_bit ? 128 : 0, static_cast<size_t>(bytes));
}

// Balance: 128 leaves both sides as mixed; towards 0 the right side fades,
// towards 256 the left.
void apply_pan(const XV_S3M *module, void *out, int bytes) {
    if (module->pan == 128 || !(module->flags & XV_S3M_STEREO)) {
        return;
    }
    const int left = std::min(256, module->pan > 128 ? 256 - (module->pan - 128) * 2 : 256);
    const int right = std::min(256, module->pan < 128 ? module->pan * 2 : 256);
    if ((module->flags & XV_S3M_16BIT) == XV_S3M_16BIT) {
        auto *samples = static_cast<int16_t *>(out);
        for (int i = 0; i + 1 < bytes / 2; i += 2) {
            samples[i] = static_cast<int16_t>(samples[i] * left / 256);
            samples[i + 1] = static_cast<int16_t>(samples[i + 1] * right / 256);
        }
    } else {
        auto *samples = static_cast<uint8_t *>(out);
        for (int i = 0; i + 1 < bytes; i += 2) {
            samples[i] = static_cast<uint8_t>(128 + (samples[i] - 128) * left / 256);
            samples[i + 1] = static_cast<uint8_t>(128 + (samples[i + 1] - 128) * right / 256);
        }
    }
}

} // namespace

XV_S3M *xv_s3m_load(const void *image, size_t bytes) {
    if (!image || bytes == 0) {
        return nullptr;
    }
    auto *module = new XV_S3M;
    module->context = xmp_create_context();
    if (!module->context ||
        xmp_load_module_from_memory(module->context, image, static_cast<long>(bytes)) != 0) {
        if (module->context) {
            xmp_free_context(module->context);
        }
        delete module;
        return nullptr;
    }
    return module;
}

void xv_s3m_free(XV_S3M *module) {
    if (!module) {
        return;
    }
    xv_s3m_stop(module);
    xmp_release_module(module->context);
    xmp_free_context(module->context);
    delete module;
}

int xv_s3m_start(XV_S3M *module, int rate, int flags, int volume) {
    xv_s3m_stop(module);
    xmp_set_player(module->context, XMP_PLAYER_VOICES, XV_S3M_VOICES);
    if (xmp_start_player(module->context, rate, xmp_format_of(flags)) != 0) {
        return 0;
    }
    module->started = true;
    module->state = XV_S3M_PLAYING;
    module->flags = flags;
    module->volume = volume;
    module->pan = 128;
    xmp_set_player(module->context, XMP_PLAYER_INTERP, interpolation_of(flags));
    apply_volume(module);
    return 1;
}

void xv_s3m_stop(XV_S3M *module) {
    if (module && module->started) {
        xmp_end_player(module->context);
        module->started = false;
        module->state = 0;
    }
}

void xv_s3m_set_state(XV_S3M *module, int state) {
    module->state = state;
}

void xv_s3m_set_volume(XV_S3M *module, int volume) {
    module->volume = std::clamp(volume, 0, XV_S3M_FULL_VOLUME);
    apply_volume(module);
}

void xv_s3m_set_flags(XV_S3M *module, int flags) {
    // The sample format is fixed for the player's life; the quality is not.
    module->flags = (module->flags & ~12) | (flags & 12);
    if (module->started) {
        xmp_set_player(module->context, XMP_PLAYER_INTERP, interpolation_of(flags));
    }
}

void xv_s3m_set_pan(XV_S3M *module, int pan) {
    module->pan = std::clamp(pan, 0, 256);
}

int xv_s3m_mute(XV_S3M *module, int channel, int on) {
    if (!module || !module->started || channel < 0 || channel > 256) {
        return 0;
    }
    const int first = channel == 256 ? 0 : channel;
    const int last = channel == 256 ? XMP_MAX_CHANNELS - 1 : channel;
    for (int i = first; i <= last && i < XMP_MAX_CHANNELS; ++i) {
        xmp_channel_mute(module->context, i, on ? 0 : 1);
    }
    return 1;
}

void xv_s3m_render(XV_S3M *module, void *out, int bytes) {
    if (!module->started || module->state != XV_S3M_PLAYING ||
        xmp_play_buffer(module->context, out, bytes, 0) != 0) {
        fill_silence(module, out, bytes);
        return;
    }
    apply_pan(module, out, bytes);
}

void xv_s3m_position(XV_S3M *module, int *order, int *row) {
    xmp_frame_info info{};
    if (module->started) {
        xmp_get_frame_info(module->context, &info);
    }
    *order = info.pos;
    *row = info.row;
}
