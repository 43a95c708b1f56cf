// Any bytes to the PCX reader; half of them with a header it takes.
#include "fuzz_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Bytes input(data, size);
    bool shaped = input.next() % 2;
    std::string picture = input.rest();
    if (shaped && picture.size() >= 128) {
        static const char layouts[][2] = {{8, 1}, {8, 3}, {1, 4}};
        const char *layout = layouts[static_cast<uint8_t>(picture[2]) % 3];
        picture[0] = 10, picture[1] = 5, picture[3] = layout[0], picture[65] = layout[1];
        picture[9] = picture[11] = 0; // no more than 256 wide and high
    }
    fuzz::decode(xv_bit_decode_pcx, picture, XV_BIT_WITH_PALETTE);
    return 0;
}
