// Pictures the tests make for the loaders to read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test {

struct PngPicture {
    uint32_t width = 0, height = 0;
    int depth = 8, colour_type = 2, interlace = 0;
    std::vector<uint8_t> rows;    // unfiltered, each row without its filter byte
    std::vector<uint8_t> palette; // RGB triples, for colour type 3
};

// The filter of row y is filters[y % filters.size()].
std::string encode_png(const PngPicture &picture, const std::vector<int> &filters = {0});
// A PNG around image data as it is before compression: each row its filter
// byte and its bytes, whatever they are.
std::string encode_png_raw(const PngPicture &picture, const std::string &raw);
std::string png_chunk(const char *type, const std::string &data);

// An RGB picture, baseline or progressive.
std::string encode_jpeg(int width, int height, const std::vector<uint8_t> &rgb, bool progressive);
// A four-ink picture, stored as CMYK or YCCK, with or without the marker that
// Adobe's programs write (and with it, their inverted inks).
std::string encode_jpeg_cmyk(int width, int height, const std::vector<uint8_t> &cmyk, bool ycck,
                             bool adobe_marker);

} // namespace test
