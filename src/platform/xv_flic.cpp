#include "xv_flic.h"

#include "os_time.h"
#include "xv_bytes.h"
#include "xv_dsp.h"
#include "xv_error.h"
#include "xv_io.h"
#include "xv_mem.h"
#include "xv_str.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kHeaderSize = 128;
constexpr uint16_t kFliMagic = 0xAF11;
constexpr uint16_t kFlcMagic = 0xAF12;
constexpr uint16_t kFrameChunk = 0xF1FA;
constexpr uint16_t kPrefixChunk = 0xF100;
constexpr size_t kChunkHeader = 6;
constexpr size_t kFrameHeader = 16;
// Wider or taller than any screen the game draws on: an animation is shown
// whole on the screen or cut into a font's characters.
constexpr long kLargestSide = 4096;

enum SubChunk : uint16_t {
    COLOR_256 = 4,
    DELTA_FLC = 7,
    COLOR_64 = 11,
    DELTA_FLI = 12,
    BLACK = 13,
    BYTE_RUN = 15,
    FLI_COPY = 16,
};

// Reads a chunk's bytes in order; a read past the end gives zeros and marks
// the chunk short, so that a decoder stops at its next check.
class Reader {
  public:
    Reader(const uint8_t *data, size_t size) : at_(data), end_(data + size) {}
    bool has(size_t count) const { return static_cast<size_t>(end_ - at_) >= count; }
    uint8_t byte() { return has(1) ? *at_++ : fail(); }
    uint16_t word() {
        if (!has(2)) {
            return fail();
        }
        uint16_t value = xv_le16(at_);
        at_ += 2;
        return value;
    }
    const uint8_t *take(size_t count) {
        if (!has(count)) {
            fail();
            return nullptr;
        }
        const uint8_t *bytes = at_;
        at_ += count;
        return bytes;
    }
    bool short_read() const { return short_; }

  private:
    uint8_t fail() {
        short_ = true;
        at_ = end_;
        return 0;
    }
    const uint8_t *at_;
    const uint8_t *end_;
    bool short_ = false;
};

// The frame buffer as the decoders write it: never past a line or the frame.
struct Frame {
    uint8_t *pixels;
    long width, height;

    uint8_t *line(long y) const { return pixels + y * width; }
    bool fits(long y, long x, long count) const {
        return y >= 0 && y < height && x >= 0 && count >= 0 && x + count <= width;
    }
};

void decode_colours(XV_PALETTE *palette, Reader in, int scale) {
    int packets = in.word();
    int index = 0;
    for (int packet = 0; packet < packets && !in.short_read(); ++packet) {
        index += in.byte();
        int count = in.byte();
        count = count ? count : 256;
        const uint8_t *rgb = in.take(static_cast<size_t>(count) * 3);
        if (!rgb || index + count > 256) {
            return;
        }
        for (int i = 0; i < count * 3; ++i) {
            palette->colours[index * 3 + i] = static_cast<uint8_t>(rgb[i] * scale);
        }
        index += count;
        palette->changed = 1;
    }
}

// Writes one packet of length bytes at (x, y), copied from the chunk or one
// byte repeated; false when it would pass its line.
bool put_packet(const Frame &frame, Reader &in, long y, long x, long length, bool copied) {
    if (!frame.fits(y, x, length)) {
        return false;
    }
    if (!copied) {
        memset(frame.line(y) + x, in.byte(), length);
    } else if (const uint8_t *bytes = in.take(length)) {
        memcpy(frame.line(y) + x, bytes, length);
    }
    return true;
}

void decode_byte_run(const Frame &frame, Reader in) {
    for (long y = 0; y < frame.height && !in.short_read(); ++y) {
        in.byte(); // the packet count: the line's width says when it is full
        for (long x = 0; x < frame.width && !in.short_read();) {
            auto count = static_cast<int8_t>(in.byte());
            long length = count < 0 ? -count : count;
            if (!put_packet(frame, in, y, x, length, count < 0)) {
                return;
            }
            x += length;
        }
    }
}

void decode_delta_fli(const Frame &frame, Reader in) {
    long y = in.word();
    long lines = in.word();
    for (; lines > 0 && !in.short_read(); --lines, ++y) {
        int packets = in.byte();
        long x = 0;
        for (int packet = 0; packet < packets && !in.short_read(); ++packet) {
            x += in.byte();
            auto size = static_cast<int8_t>(in.byte());
            long length = size < 0 ? -size : size;
            if (!put_packet(frame, in, y, x, length, size > 0)) {
                return;
            }
            x += length;
        }
    }
}

void decode_delta_flc(const Frame &frame, Reader in) {
    long lines = in.word();
    long y = 0;
    while (lines > 0 && !in.short_read()) {
        uint16_t word = in.word();
        switch (word & 0xC000) {
        case 0xC000: // lines to skip
            y -= static_cast<int16_t>(word);
            continue;
        case 0x8000: // the last pixel of the line
            if (frame.fits(y, frame.width - 1, 1)) {
                frame.line(y)[frame.width - 1] = static_cast<uint8_t>(word);
            }
            continue;
        case 0x4000:
            return; // no such word
        default:
            break;
        }
        long x = 0;
        for (int packet = 0; packet < word && !in.short_read(); ++packet) {
            x += in.byte();
            auto size = static_cast<int8_t>(in.byte());
            long pairs = size < 0 ? -size : size;
            if (!frame.fits(y, x, 2 * pairs)) {
                return;
            }
            uint8_t *out = frame.line(y) + x;
            if (size > 0) {
                const uint8_t *bytes = in.take(2 * pairs);
                if (bytes) {
                    memcpy(out, bytes, 2 * pairs);
                }
            } else {
                uint8_t first = in.byte();
                uint8_t second = in.byte();
                for (long i = 0; i < pairs; ++i) {
                    out[2 * i] = first;
                    out[2 * i + 1] = second;
                }
            }
            x += 2 * pairs;
        }
        ++y;
        --lines;
    }
}

void decode_sub_chunk(XV_FLIC *flic, uint16_t type, const uint8_t *data, size_t size) {
    Frame frame{flic->pixels, flic->width, flic->height};
    switch (type) {
    case COLOR_256:
        decode_colours(flic->palette, Reader(data, size), 1);
        break;
    case COLOR_64:
        decode_colours(flic->palette, Reader(data, size), 4);
        break;
    case DELTA_FLI:
        decode_delta_fli(frame, Reader(data, size));
        break;
    case DELTA_FLC:
        decode_delta_flc(frame, Reader(data, size));
        break;
    case BLACK:
        memset(flic->pixels, 0, flic->size);
        break;
    case BYTE_RUN:
        decode_byte_run(frame, Reader(data, size));
        break;
    case FLI_COPY:
        memcpy(flic->pixels, data, std::min<size_t>(size, flic->size));
        break;
    default:
        break; // not a kind the game draws
    }
}

// The size of the chunk at position, when its header and all of it lie in
// the data; else 0.
uint32_t chunk_size(const XV_FLIC *flic, const uint8_t *position) {
    size_t left = static_cast<size_t>(flic->data + flic->data_size - position);
    if (left < kChunkHeader) {
        return 0;
    }
    uint32_t size = xv_le32(position);
    return size >= kChunkHeader && size <= left ? size : 0;
}

void decode_frame(XV_FLIC *flic, const uint8_t *chunk, uint32_t size) {
    if (size < kFrameHeader) {
        return;
    }
    int count = xv_le16(chunk + 6);
    const uint8_t *sub = chunk + kFrameHeader;
    const uint8_t *end = chunk + size;
    for (int i = 0; i < count; ++i) {
        size_t left = static_cast<size_t>(end - sub);
        uint32_t sub_size = left >= kChunkHeader ? xv_le32(sub) : 0;
        if (sub_size < kChunkHeader || sub_size > left) {
            return;
        }
        decode_sub_chunk(flic, xv_le16(sub + 4), sub + kChunkHeader, sub_size - kChunkHeader);
        sub += sub_size;
    }
}

} // namespace

int xv_flic_open(XV_FLIC *flic, const char *file_name, int mode) {
    *flic = XV_FLIC{};
    if (mode != 1 && mode != 2) {
        return 0;
    }
    XV_FILE *file = xv_io_fopen(file_name, "rb");
    if (!file) {
        return 0;
    }
    uint8_t header[kHeaderSize];
    xv_io_fseek(file, 0, SEEK_END);
    long size = xv_io_ftell(file);
    xv_io_rewind(file);
    bool readable = size >= static_cast<long>(kHeaderSize) && size <= 0x7FFFFFFF &&
                    xv_io_fread(header, 1, kHeaderSize, file) == kHeaderSize;
    uint16_t magic = readable ? xv_le16(header + 4) : 0;
    uint32_t pixels =
        readable ? static_cast<uint32_t>(xv_le16(header + 8)) * xv_le16(header + 10) : 0;
    if ((magic != kFliMagic && magic != kFlcMagic) || pixels == 0) {
        xv_io_fclose(file);
        return 0;
    }
    if (xv_le16(header + 8) > kLargestSide || xv_le16(header + 10) > kLargestSide) {
        // A damaged header would have the frame buffer take gigabytes.
        xv_error(xv_str_format("xv_flic_open: %s claims frames of %u x %u pixels, more than %ld "
                               "a side: not opened",
                               file_name, xv_le16(header + 8), xv_le16(header + 10), kLargestSide)
                     .c_str());
        xv_io_fclose(file);
        return 0;
    }
    flic->width = xv_le16(header + 8);
    flic->height = xv_le16(header + 10);
    flic->size = pixels;
    flic->num_frames = xv_le16(header + 6);
    flic->kind = magic == kFliMagic ? XV_FLIC_FLI : XV_FLIC_FLC;
    flic->depth = 8;
    int speed = std::max<int>(1, xv_le16(header + 16));
    flic->delay = flic->kind == XV_FLIC_FLI ? speed * 1000 / 70 : speed;

    flic->data_size = static_cast<uint32_t>(size - kHeaderSize);
    flic->pixels = static_cast<uint8_t *>(xv_mem_calloc(1, pixels));
    flic->palette = xv_pal_alloc(nullptr, 256, XV_PAL_RGB);
    flic->data = static_cast<uint8_t *>(xv_mem_malloc(flic->data_size ? flic->data_size : 1));
    xv_str_create(&flic->file_name, file_name, 0);
    bool ready = flic->pixels && flic->palette && flic->data && flic->file_name &&
                 xv_io_fread(flic->data, 1, flic->data_size, file) == flic->data_size;
    xv_io_fclose(file);
    if (!ready) {
        xv_flic_close(flic);
        return 0;
    }
    flic->first_chunk = flic->read_pos = flic->loop_pos = flic->data;
    return 1;
}

void xv_flic_close(XV_FLIC *flic) {
    xv_bit_free(&flic->shown);
    xv_mem_release(flic->file_name);
    xv_mem_release(flic->pixels);
    xv_mem_release(flic->data);
    xv_pal_free(flic->palette);
    *flic = XV_FLIC{};
}

int xv_flic_next_frame(XV_FLIC *flic, int force) {
    if (!flic->data) {
        return 0;
    }
    uint32_t now = os_tick_count();
    if (force != 1 && flic->current_frame != 0 && now - flic->last_tick < flic->delay) {
        return 0;
    }
    if (flic->current_frame < flic->num_frames) {
        flic->current_frame++;
    } else {
        flic->current_frame = 1;
        flic->read_pos = flic->loop_pos;
    }
    uint32_t size = chunk_size(flic, flic->read_pos);
    if (size && xv_le16(flic->read_pos + 4) == kPrefixChunk) {
        flic->read_pos += size;
        size = chunk_size(flic, flic->read_pos);
    }
    if (!size) {
        return 0; // the data ends here: the next call starts over when the count is up
    }
    bool frame = xv_le16(flic->read_pos + 4) == kFrameChunk;
    if (frame) {
        decode_frame(flic, flic->read_pos, size);
    }
    flic->read_pos += size;
    flic->last_tick = now;
    return frame ? 1 : 0;
}

void xv_flic_rewind(XV_FLIC *flic) {
    flic->current_frame = 0;
    flic->read_pos = flic->first_chunk;
}

void xv_flic_clear(XV_FLIC *flic) {
    if (flic->pixels) {
        memset(flic->pixels, 0, flic->size);
    }
}

// The frame is drawn as it stands, through its palette: into an 8-bit
// target as indices, into any other depth as colours.
namespace {

// The frame in true colour, for the 3D interface: made again (and its
// texture let go) only when the frame or its colours changed.
bool true_colour_frame(XV_FLIC *flic) {
    XV_BITMAP &shown = flic->shown;
    const bool changed = !shown.pixels || flic->shown_frame != flic->current_frame ||
                         (flic->palette && flic->palette->changed);
    if (!changed) {
        return true;
    }
    if (!shown.pixels) {
        XV_RECT size = {0, 0, static_cast<int16_t>(flic->width),
                        static_cast<int16_t>(flic->height)};
        if (!xv_bit_alloc(&shown, &size, XV_BIT_BPP32)) {
            return false;
        }
    } else if (shown.texture) {
        xv_dsp_3d_interface()->bit_3d_free(&shown);
    }
    const uint8_t *colours = flic->palette ? flic->palette->colours : nullptr;
    const int stride = flic->palette && flic->palette->type == XV_PALETTE_RGBA ? 4 : 3;
    for (uint32_t i = 0; i < flic->size; ++i) {
        uint8_t *pixel = shown.pixels + i * 4;
        const uint8_t *colour = colours ? colours + flic->pixels[i] * stride : nullptr;
        for (int c = 0; c < 3; ++c) {
            pixel[c] = colour ? colour[c] : flic->pixels[i];
        }
        pixel[3] = 255;
    }
    flic->shown_frame = flic->current_frame;
    return true;
}

} // namespace

void xv_flic_draw(XV_FLIC *flic, XV_BITMAP *target, int mode) {
    if (!flic->pixels || !target) {
        return;
    }
    bool other_size = flic->width != target->width || flic->height != target->height;
    if (xv_dsp_is_open()) {
        if (!true_colour_frame(flic)) {
            return;
        }
        const bool scaled = mode == 2 && other_size;
        const int width = scaled ? target->width : flic->width;
        const int height = scaled ? target->height : flic->height;
        const int x = mode == 1 ? (target->width - width) / 2 : flic->x;
        const int y = mode == 1 ? (target->height - height) / 2 : flic->y;
        XV_RECT to = {static_cast<int16_t>(target->x + x), static_cast<int16_t>(target->y + y),
                      static_cast<int16_t>(width), static_cast<int16_t>(height)};
        xv_bit_copy(target, &flic->shown, &to, nullptr, 0);
        return;
    }
    XV_BITMAP frame{};
    frame.width = static_cast<int16_t>(std::min<int>(flic->width, 32767));
    frame.height = static_cast<int16_t>(std::min<int>(flic->height, 32767));
    frame.type = XV_BIT_BPP8;
    frame.palette = flic->palette;
    frame.pixels = flic->pixels;
    int flags = mode == 1                 ? XV_BIT_COPY_SOFTWARE | XV_BIT_COPY_CENTRE
                : mode == 2 && other_size ? XV_BIT_COPY_SOFTWARE | XV_BIT_COPY_SCALE
                                          : XV_BIT_COPY_SOFTWARE;
    XV_RECT to = {static_cast<int16_t>(flic->x + target->x),
                  static_cast<int16_t>(flic->y + target->y),
                  flags == XV_BIT_COPY_SOFTWARE ? frame.width : target->width,
                  flags == XV_BIT_COPY_SOFTWARE ? frame.height : target->height};
    xv_bit_copy(target, &frame, &to, nullptr, flags);
}
