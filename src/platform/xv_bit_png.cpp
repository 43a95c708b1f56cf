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
#include <emmintrin.h>
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

// ---- filters --------------------------------------------------------------
//
// A row is unfiltered out of place: from the filtered bytes as inflated
// (raw) into out, from the row above as unfiltered (up; zeros for the
// first row). bpp is the bytes of one pixel (at least 1). Loads may read a
// few bytes past a row's end: every buffer they read has room for it.

uint32_t load32(const uint8_t *at) {
    uint32_t value;
    memcpy(&value, at, 4);
    return value;
}

void unfilter_none(const uint8_t *raw, uint8_t *out, size_t row_bytes) {
    memcpy(out, raw, row_bytes);
}

void unfilter_up(const uint8_t *raw, uint8_t *out, const uint8_t *up, size_t row_bytes) {
    size_t i = 0;
    for (; i + 16 <= row_bytes; i += 16) {
        __m128i sum = _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(raw + i)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i *>(up + i)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), sum);
    }
    for (; i < row_bytes; ++i) {
        out[i] = static_cast<uint8_t>(raw[i] + up[i]);
    }
}

int paeth(int left, int up, int up_left) {
    int estimate = left + up - up_left;
    int to_left = std::abs(estimate - left);
    int to_up = std::abs(estimate - up);
    int to_up_left = std::abs(estimate - up_left);
    if (to_left <= to_up && to_left <= to_up_left) {
        return left;
    }
    return to_up <= to_up_left ? up : up_left;
}

// Any pixel size, a byte at a time.
bool unfilter_bytes(uint8_t filter, const uint8_t *raw, uint8_t *out, const uint8_t *up,
                    size_t row_bytes, size_t bpp) {
    size_t lead = std::min(bpp, row_bytes);
    switch (filter) {
    case 1:
        memcpy(out, raw, lead);
        for (size_t i = lead; i < row_bytes; ++i) {
            out[i] = static_cast<uint8_t>(raw[i] + out[i - bpp]);
        }
        return true;
    case 3:
        for (size_t i = 0; i < lead; ++i) {
            out[i] = static_cast<uint8_t>(raw[i] + (up[i] >> 1));
        }
        for (size_t i = lead; i < row_bytes; ++i) {
            out[i] = static_cast<uint8_t>(raw[i] + ((out[i - bpp] + up[i]) >> 1));
        }
        return true;
    case 4:
        for (size_t i = 0; i < lead; ++i) {
            out[i] = static_cast<uint8_t>(raw[i] + up[i]);
        }
        for (size_t i = lead; i < row_bytes; ++i) {
            out[i] = static_cast<uint8_t>(raw[i] + paeth(out[i - bpp], up[i], up[i - bpp]));
        }
        return true;
    default:
        return false;
    }
}

// Pixels of three to eight bytes, a pixel at a time in one register: the
// left neighbour never leaves it. Only bpp bytes of each result are stored.
template <size_t kBpp>
void store_pixel(uint8_t *at, __m128i pixel) {
    if constexpr (kBpp <= 4) {
        uint32_t value = static_cast<uint32_t>(_mm_cvtsi128_si32(pixel));
        memcpy(at, &value, kBpp);
    } else {
        uint64_t value = static_cast<uint64_t>(_mm_cvtsi128_si64(pixel));
        memcpy(at, &value, kBpp);
    }
}

template <size_t kBpp>
__m128i load_pixel(const uint8_t *at) {
    if constexpr (kBpp <= 4) {
        return _mm_cvtsi32_si128(static_cast<int>(load32(at)));
    } else {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i *>(at));
    }
}

template <size_t kBpp>
void unfilter_sub_pixels(const uint8_t *raw, uint8_t *out, size_t row_bytes) {
    __m128i left = _mm_setzero_si128();
    for (size_t i = 0; i < row_bytes; i += kBpp) {
        left = _mm_add_epi8(left, load_pixel<kBpp>(raw + i));
        store_pixel<kBpp>(out + i, left);
    }
}

template <size_t kBpp>
void unfilter_average_pixels(const uint8_t *raw, uint8_t *out, const uint8_t *up,
                             size_t row_bytes) {
    const __m128i ones = _mm_set1_epi8(1);
    __m128i left = _mm_setzero_si128();
    for (size_t i = 0; i < row_bytes; i += kBpp) {
        __m128i above = load_pixel<kBpp>(up + i);
        // The rounded-up mean, less the bit it rounded up by: (a + b) >> 1.
        __m128i mean = _mm_sub_epi8(_mm_avg_epu8(left, above),
                                    _mm_and_si128(_mm_xor_si128(left, above), ones));
        left = _mm_add_epi8(mean, load_pixel<kBpp>(raw + i));
        store_pixel<kBpp>(out + i, left);
    }
}

__m128i absolute16(__m128i x) {
    return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x));
}

__m128i select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// The predictor of each channel in 16-bit lanes; ties go to the left, then
// up, as in the byte-wise predictor above.
template <size_t kBpp>
void unfilter_paeth_pixels(const uint8_t *raw, uint8_t *out, const uint8_t *up, size_t row_bytes) {
    const __m128i zero = _mm_setzero_si128();
    __m128i left = zero, up_left = zero;
    for (size_t i = 0; i < row_bytes; i += kBpp) {
        __m128i above = _mm_unpacklo_epi8(load_pixel<kBpp>(up + i), zero);
        __m128i to_left = _mm_sub_epi16(above, up_left);
        __m128i to_up = _mm_sub_epi16(left, up_left);
        __m128i to_up_left = absolute16(_mm_add_epi16(to_left, to_up));
        to_left = absolute16(to_left);
        to_up = absolute16(to_up);
        __m128i smallest = _mm_min_epi16(to_up_left, _mm_min_epi16(to_left, to_up));
        __m128i nearest = select(_mm_cmpeq_epi16(smallest, to_up_left), up_left, zero);
        nearest = select(_mm_cmpeq_epi16(smallest, to_up), above, nearest);
        nearest = select(_mm_cmpeq_epi16(smallest, to_left), left, nearest);
        __m128i pixel = _mm_add_epi8(_mm_packus_epi16(nearest, zero), load_pixel<kBpp>(raw + i));
        store_pixel<kBpp>(out + i, pixel);
        left = _mm_unpacklo_epi8(pixel, zero);
        up_left = above;
    }
}

template <size_t kBpp>
bool unfilter_pixels(uint8_t filter, const uint8_t *raw, uint8_t *out, const uint8_t *up,
                     size_t row_bytes) {
    switch (filter) {
    case 1:
        unfilter_sub_pixels<kBpp>(raw, out, row_bytes);
        return true;
    case 3:
        unfilter_average_pixels<kBpp>(raw, out, up, row_bytes);
        return true;
    case 4:
        unfilter_paeth_pixels<kBpp>(raw, out, up, row_bytes);
        return true;
    default:
        return false;
    }
}

bool unfilter(uint8_t filter, const uint8_t *raw, uint8_t *out, const uint8_t *up, size_t row_bytes,
              size_t bpp) {
    switch (filter) {
    case 0:
        unfilter_none(raw, out, row_bytes);
        return true;
    case 2:
        unfilter_up(raw, out, up, row_bytes);
        return true;
    default:
        break;
    }
    if (bpp == 3) {
        return unfilter_pixels<3>(filter, raw, out, up, row_bytes);
    }
    if (bpp == 4) {
        return unfilter_pixels<4>(filter, raw, out, up, row_bytes);
    }
    if (bpp == 6) {
        return unfilter_pixels<6>(filter, raw, out, up, row_bytes);
    }
    if (bpp == 8) {
        return unfilter_pixels<8>(filter, raw, out, up, row_bytes);
    }
    return unfilter_bytes(filter, raw, out, up, row_bytes, bpp);
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

    // A byte a pixel, each an entry of the palette.
    bool store_indices(uint8_t *out, const uint8_t *row, uint32_t width) const {
        uint8_t highest = 0;
        for (uint32_t x = 0; x < width; ++x) {
            highest = std::max(highest, row[x]);
        }
        if (highest >= plte_entries) {
            return false;
        }
        memcpy(out, row, width);
        return true;
    }
    static void store_high_bytes(uint8_t *out, const uint8_t *row, size_t samples) {
        for (size_t i = 0; i < samples; ++i) {
            out[i] = row[2 * i];
        }
    }

    bool store(uint32_t y, const uint8_t *row) {
        int colour_type = header.colour_type;
        int depth = header.depth;
        uint32_t width = header.width;
        int channels = channels_of(colour_type);
        uint8_t *out = bitmap->pixels + static_cast<size_t>(y) * width * (bitmap->type / 8);
        if ((colour_type == 2 || colour_type == 6 || colour_type == 0) && depth == 8) {
            memcpy(out, row, static_cast<size_t>(width) * channels);
            return true;
        }
        if (colour_type == 3 && depth == 8) {
            return store_indices(out, row, width);
        }
        if (depth == 16 && colour_type != 4) {
            store_high_bytes(out, row, static_cast<size_t>(width) * channels);
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

// Inflates the image data of the IDAT chunks into a window of many rows,
// so that zlib spends its time in its fast loop, and unfilters each whole
// row from there: 8-bit RGB and RGBA rows straight into the bitmap, the
// others through a row of their own that the target turns into pixels.
// A stream that ends early is damage; zlib is never asked for more than
// the image holds, so data past the last row is not read.
class RowReader {
  public:
    RowReader(Target target, size_t row_bytes, size_t step)
        : target_(target), row_bytes_(row_bytes), step_(step),
          direct_(target.bitmap->type / 8 * static_cast<size_t>(target.header.width) == row_bytes &&
                  (target.header.colour_type == 2 || target.header.colour_type == 6) &&
                  target.header.depth == 8),
          window_(
              std::max(std::min(kWindow, (row_bytes + 1) * target.header.height), row_bytes + 1) +
              kSlack),
          current_(direct_ ? 0 : row_bytes + kSlack, 0), previous_(row_bytes + kSlack, 0),
          remaining_((row_bytes + 1) * target.header.height) {
        ready_ = inflateInit(&stream_) == Z_OK;
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
        const size_t room = window_.size() - kSlack;
        while (stream_.avail_in > 0 && !done() && !ended_) {
            size_t wanted = std::min(room - filled_, remaining_);
            stream_.next_out = window_.data() + filled_;
            stream_.avail_out = static_cast<uInt>(wanted);
            int status = inflate(&stream_, Z_NO_FLUSH);
            if (status == Z_STREAM_END) {
                ended_ = true;
            } else if (status != Z_OK) {
                return false;
            }
            size_t made = wanted - stream_.avail_out;
            filled_ += made;
            remaining_ -= made;
            if (!finish_rows()) {
                return false;
            }
        }
        return true;
    }
    bool done() const { return row_ == target_.header.height; }

  private:
    static constexpr size_t kWindow = 64 * 1024;
    static constexpr size_t kSlack = 16; // for loads that run past a row's end

    // Every whole row in the window; the start of the next moves to its front.
    bool finish_rows() {
        const size_t stride = row_bytes_ + 1;
        size_t at = 0;
        for (; filled_ - at >= stride && !done(); at += stride) {
            if (!finish_row(window_.data() + at)) {
                return false;
            }
        }
        memmove(window_.data(), window_.data() + at, filled_ - at);
        filled_ -= at;
        return true;
    }
    bool finish_row(const uint8_t *filtered) {
        if (direct_) {
            uint8_t *out = target_.bitmap->pixels + row_ * row_bytes_;
            const uint8_t *up = row_ ? out - row_bytes_ : previous_.data();
            if (!unfilter(filtered[0], filtered + 1, out, up, row_bytes_, step_)) {
                return false;
            }
        } else {
            if (!unfilter(filtered[0], filtered + 1, current_.data(), previous_.data(), row_bytes_,
                          step_) ||
                !target_.store(row_, current_.data())) {
                return false;
            }
            std::swap(current_, previous_);
        }
        ++row_;
        return true;
    }

    Target target_;
    size_t row_bytes_;
    size_t step_;
    bool direct_;
    std::vector<uint8_t> window_;   // inflated bytes: filter byte, row, filter byte, ...
    std::vector<uint8_t> current_;  // the row being made, when rows go through the target
    std::vector<uint8_t> previous_; // the row above it (zeros above the first)
    size_t filled_ = 0;             // bytes in the window
    size_t remaining_;              // bytes the image has still to come
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
                XV_DECODE allocated = xv_bit_decode_alloc(bitmap, header.width, header.height,
                                                          bitmap_type(header), false);
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
