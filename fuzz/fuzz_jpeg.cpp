// Any bytes, or a real JPEG with a few bytes changed, to the JPEG reader.
#include "fuzz_picture.h"
#include "picture_writer.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Bytes input(data, size);
    std::string picture;
    if (input.next() % 2) {
        int width = input.next() % 48 + 1;
        int height = input.next() % 48 + 1;
        bool progressive = input.next() % 2;
        std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
        for (uint8_t &value : rgb) {
            value = input.next();
        }
        picture = test::encode_jpeg(width, height, rgb, progressive);
        fuzz::damage(picture, input);
    } else {
        picture = input.rest();
    }
    fuzz::decode(xv_bit_decode_jpeg, picture, 0);
    return 0;
}
