// Any bytes to the TGA reader; half of them with a header it takes.
#include "fuzz_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Bytes input(data, size);
    bool shaped = input.next() % 2;
    std::string picture = input.rest();
    if (shaped && picture.size() >= 18) {
        static const char layouts[][2] = {{1, 8}, {2, 16}, {2, 24}, {2, 32}, {10, 24}, {10, 32}};
        const char *layout = layouts[static_cast<uint8_t>(picture[2]) % 6];
        picture[2] = layout[0], picture[16] = layout[1];
        picture[13] = picture[15] = 0; // no more than 256 wide and high
    }
    fuzz::decode(xv_bit_decode_tga, picture, XV_BIT_WITH_PALETTE);
    return 0;
}
