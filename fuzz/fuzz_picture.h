// The picture fuzz targets: each input is decoded straight from memory, half
// of them first turned into a picture that is right but for a few bytes.
#pragma once

#include "fuzz_support.h"
#include "xv_bit_decode.h"

#include <string>

namespace fuzz {

// Reads the input a byte at a time, zeros once it runs out.
class Bytes {
  public:
    Bytes(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
    std::string rest() {
        std::string left(reinterpret_cast<const char *>(data_ + at_), size_ - at_);
        at_ = size_;
        return left;
    }

  private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

// Changes up to three bytes of a picture where the input says.
inline void damage(std::string &picture, Bytes &input) {
    for (int count = input.next() % 4; count > 0 && !picture.empty(); --count) {
        size_t at = (input.next() | input.next() << 8 | input.next() << 16) % picture.size();
        picture[at] = static_cast<char>(input.next());
    }
}

// Decodes, reads every pixel of what came out, frees it; leaks abort.
inline void decode(XV_DECODE (*decoder)(XV_BITMAP *, const uint8_t *, size_t, int),
                   const std::string &picture, int options) {
    QuietPlatform platform;
    XV_BITMAP bitmap{};
    XV_DECODE result = decoder(&bitmap, reinterpret_cast<const uint8_t *>(picture.data()),
                               picture.size(), options);
    if (result == XV_DECODE::ok || result == XV_DECODE::incomplete) {
        long size = xv_bit_buffer_size(bitmap.type, bitmap.width, bitmap.height);
        volatile uint8_t sum = 0;
        for (long i = 0; i < size; ++i) {
            sum = static_cast<uint8_t>(sum + bitmap.pixels[i]);
        }
        xv_bit_free(&bitmap);
    } else if (bitmap.pixels) {
        abort(); // a refused picture leaves the record cleared
    }
    xv_pal_release_shared();
}

} // namespace fuzz
