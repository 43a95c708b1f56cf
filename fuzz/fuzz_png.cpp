// Any bytes, or a PNG of any kind around any image data, to the PNG reader.
#include "fuzz_picture.h"
#include "picture_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Bytes input(data, size);
    std::string picture;
    if (input.next() % 2) {
        static const int kinds[][2] = {{0, 1}, {0, 2},  {0, 4},  {0, 8}, {0, 16},
                                       {2, 8}, {2, 16}, {3, 1},  {3, 2}, {3, 4},
                                       {3, 8}, {4, 8},  {4, 16}, {6, 8}, {6, 16}};
        const int *kind = kinds[input.next() % std::size(kinds)];
        test::PngPicture png;
        png.width = input.next() % 40 + 1;
        png.height = input.next() % 40 + 1;
        png.colour_type = kind[0];
        png.depth = kind[1];
        if (png.colour_type == 3) {
            png.palette.assign((input.next() % 256 + 1) * 3, 90);
        }
        picture = test::encode_png_raw(png, input.rest());
        fuzz::Bytes damage_input(data, size > 4 ? 4 : size);
        fuzz::damage(picture, damage_input);
    } else {
        picture = input.rest();
    }
    fuzz::decode(xv_bit_decode_png, picture, XV_BIT_WITH_PALETTE);
    return 0;
}
