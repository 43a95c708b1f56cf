// PNG pictures: the chunks are read here, the image data inflated by zlib.
//
// What a PNG becomes: palette images of 4 bits a 4-bit bitmap, of 1, 2 or
// 8 bits an 8-bit one; grey images an 8-bit bitmap (with a grey ramp for a
// palette when one is asked for); RGB 24 bits; RGBA and grey with alpha 32
// bits. Samples of 16 bits keep their high byte. Interlaced pictures are
// not read.
#include "xv_bit_decode.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>
#include <zlib.h>

namespace {

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
// Deflate never expands data more than about 1032 times: a header that
// claims more than its image data could hold is not believed.
constexpr size_t kDeflateRatio = 1032;

uint32_t be32(const uint8_t *bytes) {
    return static_cast<uint32_t>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
}

struct Header {
    uint32_t width = 0, height = 0;
    int depth = 0, colour_type = 0, interlace = 0;
};

int channels_of(int colour_type) {
    switch (colour_type) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

bool depth_allowed(int colour_type, int depth) {
    switch (colour_type) {
    case 0:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

uint8_t paeth(int left, int up, int up_left) {
    int estimate = left + up - up_left;
    int to_left = std::abs(estimate - left);
    int to_up = std::abs(estimate - up);
    int to_up_left = std::abs(estimate - up_left);
    if (to_left <= to_up && to_left <= to_up_left) {
        return static_cast<uint8_t>(left);
    }
    return static_cast<uint8_t>(to_up <= to_up_left ? up : up_left);
}

// Undoes one row's filter in place, from the row above (zeros for the
// first); step is the bytes of one pixel (at least 1).
bool unfilter(uint8_t filter, uint8_t *line, const uint8_t *previous, size_t row_bytes,
              size_t step) {
    switch (filter) {
    case 0:
        return true;
    case 1:
        for (size_t i = step; i < row_bytes; ++i) {
            line[i] = static_cast<uint8_t>(line[i] + line[i - step]);
        }
        return true;
    case 2:
        for (size_t i = 0; i < row_bytes; ++i) {
            line[i] = static_cast<uint8_t>(line[i] + previous[i]);
        }
        return true;
    case 3:
        for (size_t i = 0; i < step && i < row_bytes; ++i) {
            line[i] = static_cast<uint8_t>(line[i] + (previous[i] >> 1));
        }
        for (size_t i = step; i < row_bytes; ++i) {
            line[i] = static_cast<uint8_t>(line[i] + ((line[i - step] + previous[i]) >> 1));
        }
        return true;
    case 4:
        for (size_t i = 0; i < step && i < row_bytes; ++i) {
            line[i] = static_cast<uint8_t>(line[i] + previous[i]);
        }
        for (size_t i = step; i < row_bytes; ++i) {
            line[i] = static_cast<uint8_t>(line[i] +
                                           paeth(line[i - step], previous[i], previous[i - step]));
        }
        return true;
    default:
        return false;
    }
}

// Sample x of a row of samples of depth bits each (1, 2, 4, 8 or 16).
unsigned sample(const uint8_t *row, size_t x, int depth) {
    if (depth == 8) {
        return row[x];
    }
    if (depth == 16) {
        return row[2 * x]; // the high byte
    }
    size_t bit = x * depth;
    return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

// The picture the rows go into, and how a row of samples becomes its pixels.
struct Target {
    XV_BITMAP *bitmap;
    Header header;
    size_t plte_entries;

    bool store(uint32_t y, const uint8_t *row) {
        int colour_type = header.colour_type;
        int depth = header.depth;
        uint32_t width = header.width;
        int channels = channels_of(colour_type);
        uint8_t *out = bitmap->pixels + static_cast<size_t>(y) * width * (bitmap->type / 8);
        if ((colour_type == 2 || colour_type == 6) && depth == 8) {
            memcpy(out, row, static_cast<size_t>(width) * channels);
            return true;
        }
        for (uint32_t x = 0; x < width; ++x) {
            switch (colour_type) {
            case 3: {
                unsigned index = sample(row, x, depth);
                if (index >= plte_entries) {
                    return false;
                }
                if (bitmap->type == 4) {
                    long i = static_cast<long>(y) * width + x;
                    uint8_t &pair = bitmap->pixels[i / 2];
                    pair = static_cast<uint8_t>(i % 2 ? (pair & 0xF0) | index
                                                      : (pair & 0x0F) | index << 4);
                } else {
                    *out++ = static_cast<uint8_t>(index);
                }
                break;
            }
            case 0: {
                unsigned scale = depth >= 8 ? 1 : 255 / ((1u << depth) - 1);
                *out++ = static_cast<uint8_t>(sample(row, x, depth) * scale);
                break;
            }
            case 4: {
                auto grey = static_cast<uint8_t>(sample(row, 2 * x, depth));
                auto alpha = static_cast<uint8_t>(sample(row, 2 * x + 1, depth));
                *out++ = grey, *out++ = grey, *out++ = grey, *out++ = alpha;
                break;
            }
            default: // 16-bit RGB or RGBA
                for (int channel = 0; channel < channels; ++channel) {
                    *out++ = static_cast<uint8_t>(sample(row, x * channels + channel, depth));
                }
                break;
            }
        }
        return true;
    }
};

// Inflates the image data of the IDAT chunks a row at a time, as they come,
// undoes each row's filter and hands it on: the rows stay small and warm.
// A stream that ends early is damage; data past the last row is not read.
class RowReader {
  public:
    RowReader(Target target, size_t row_bytes, size_t step)
        : target_(target), row_bytes_(row_bytes), step_(step), current_(row_bytes + 1, 0),
          previous_(row_bytes + 1, 0) {
        ready_ = inflateInit(&stream_) == Z_OK;
        start_row();
    }
    ~RowReader() {
        if (ready_) {
            inflateEnd(&stream_);
        }
    }
    RowReader(const RowReader &) = delete;
    RowReader &operator=(const RowReader &) = delete;

    bool feed(const uint8_t *data, size_t size) {
        if (!ready_) {
            return false;
        }
        stream_.next_in = const_cast<uint8_t *>(data);
        stream_.avail_in = static_cast<uInt>(size);
        while (stream_.avail_in > 0 && !done() && !ended_) {
            int status = inflate(&stream_, Z_NO_FLUSH);
            if (status == Z_STREAM_END) {
                ended_ = true;
            } else if (status != Z_OK) {
                return false;
            }
            if (stream_.avail_out == 0 && !finish_row()) {
                return false;
            }
        }
        return true;
    }
    bool done() const { return row_ == target_.header.height; }

  private:
    void start_row() {
        stream_.next_out = current_.data();
        stream_.avail_out = static_cast<uInt>(current_.size());
    }
    bool finish_row() {
        uint8_t *line = current_.data() + 1;
        if (!unfilter(current_[0], line, previous_.data() + 1, row_bytes_, step_) ||
            !target_.store(row_, line)) {
            return false;
        }
        std::swap(current_, previous_);
        ++row_;
        start_row();
        return true;
    }

    Target target_;
    size_t row_bytes_;
    size_t step_;
    std::vector<uint8_t> current_; // the filter byte, then the row
    std::vector<uint8_t> previous_;
    z_stream stream_{};
    uint32_t row_ = 0;
    bool ready_ = false;
    bool ended_ = false;
};

// The bytes of every IDAT chunk whose length fits the file.
size_t image_data_bytes(const uint8_t *data, size_t size) {
    size_t total = 0;
    for (size_t at = sizeof kSignature; at + 12 <= size;) {
        uint32_t length = be32(data + at);
        if (length > size - at - 12) {
            break;
        }
        if (memcmp(data + at + 4, "IDAT", 4) == 0) {
            total += length;
        }
        at += 12 + static_cast<size_t>(length);
    }
    return total;
}

int bitmap_type(const Header &header) {
    switch (header.colour_type) {
    case 3:
        return header.depth == 4 ? 4 : 8;
    case 0:
        return 8;
    case 2:
        return 24;
    default:
        return 32;
    }
}

XV_DECODE attach_palette(XV_BITMAP *bitmap, const Header &header, const uint8_t *plte,
                         size_t entries) {
    bitmap->palette = header.colour_type == 0 ? xv_pal_grayscale_get(256)
                                              : xv_pal_alloc(nullptr, 256, XV_PAL_RGB);
    if (!bitmap->palette) {
        return XV_DECODE::no_memory;
    }
    if (header.colour_type == 3) {
        memcpy(bitmap->palette->colours, plte, entries * 3);
    }
    return XV_DECODE::ok;
}

// Reads the chunks into the bitmap, which the first IDAT allocates.
XV_DECODE read_chunks(XV_BITMAP *bitmap, const uint8_t *data, size_t size, int options) {
    Header header;
    bool have_header = false;
    const uint8_t *plte = nullptr;
    size_t plte_entries = 0;
    std::unique_ptr<RowReader> rows;
    for (size_t at = sizeof kSignature; at + 12 <= size;) {
        uint32_t length = be32(data + at);
        const uint8_t *type = data + at + 4;
        const uint8_t *chunk = data + at + 8;
        if (length > size - at - 12) {
            return XV_DECODE::damaged;
        }
        bool critical = !(type[0] & 0x20);
        if (critical && crc32(crc32(0, nullptr, 0), type, length + 4) != be32(chunk + length)) {
            return XV_DECODE::damaged;
        }
        at += 12 + static_cast<size_t>(length);
        if (memcmp(type, "IHDR", 4) == 0) {
            if (length != 13 || have_header) {
                return XV_DECODE::damaged;
            }
            header = {be32(chunk), be32(chunk + 4), chunk[8], chunk[9], chunk[12]};
            if (header.interlace != 0) {
                return XV_DECODE::unsupported;
            }
            if (!depth_allowed(header.colour_type, header.depth) || header.width == 0 ||
                header.height == 0 || header.width > 32767 || header.height > 32767) {
                return XV_DECODE::damaged;
            }
            have_header = true;
        } else if (memcmp(type, "PLTE", 4) == 0) {
            if (length % 3 != 0 || length == 0 || length > 768 || rows) {
                return XV_DECODE::damaged;
            }
            plte = chunk;
            plte_entries = length / 3;
        } else if (memcmp(type, "IDAT", 4) == 0) {
            if (!rows) {
                if (!have_header || (header.colour_type == 3 && !plte)) {
                    return XV_DECODE::damaged;
                }
                size_t row_bytes = (static_cast<size_t>(header.width) *
                                        channels_of(header.colour_type) * header.depth +
                                    7) /
                                   8;
                if ((row_bytes + 1) * header.height >
                    image_data_bytes(data, size) * kDeflateRatio + 64) {
                    return XV_DECODE::damaged;
                }
                XV_DECODE allocated =
                    xv_bit_decode_alloc(bitmap, header.width, header.height, bitmap_type(header));
                if (allocated != XV_DECODE::ok) {
                    return allocated;
                }
                size_t step =
                    std::max<size_t>(1, channels_of(header.colour_type) * header.depth / 8);
                rows = std::make_unique<RowReader>(Target{bitmap, header, plte_entries}, row_bytes,
                                                   step);
            }
            if (!rows->feed(chunk, length)) {
                return XV_DECODE::damaged;
            }
        } else if (memcmp(type, "IEND", 4) == 0) {
            break;
        }
    }
    if (!rows || !rows->done()) {
        return XV_DECODE::damaged;
    }
    if (options & XV_BIT_WITH_PALETTE && (header.colour_type == 3 || header.colour_type == 0)) {
        return attach_palette(bitmap, header, plte, plte_entries);
    }
    return XV_DECODE::ok;
}

} // namespace

XV_DECODE xv_bit_decode_png(XV_BITMAP *bitmap, const uint8_t *data, size_t size, int options) {
    if (size < sizeof kSignature || memcmp(data, kSignature, sizeof kSignature) != 0) {
        return XV_DECODE::damaged;
    }
    XV_DECODE result = read_chunks(bitmap, data, size, options);
    if (result != XV_DECODE::ok) {
        xv_bit_free(bitmap);
    }
    return result;
}
