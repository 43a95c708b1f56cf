#include "picture_writer.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <zlib.h>

namespace test {

namespace {

std::string be32(uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

uint8_t paeth(int a, int b, int c) {
    int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

} // namespace

std::string png_chunk(const char *type, const std::string &data) {
    std::string body = std::string(type, 4) + data;
    uLong crc =
        crc32(0, reinterpret_cast<const Bytef *>(body.data()), static_cast<uInt>(body.size()));
    return be32(static_cast<uint32_t>(data.size())) + body + be32(static_cast<uint32_t>(crc));
}

std::string encode_png(const PngPicture &picture, const std::vector<int> &filters) {
    int channels = picture.colour_type == 2   ? 3
                   : picture.colour_type == 4 ? 2
                   : picture.colour_type == 6 ? 4
                                              : 1;
    size_t row_bytes = (picture.width * channels * picture.depth + 7) / 8;
    size_t step = std::max<size_t>(1, channels * picture.depth / 8);
    std::string raw;
    std::vector<uint8_t> zero(row_bytes, 0);
    for (uint32_t y = 0; y < picture.height; ++y) {
        const uint8_t *line = picture.rows.data() + y * row_bytes;
        const uint8_t *up = y ? line - row_bytes : zero.data();
        int filter = filters[y % filters.size()];
        raw += static_cast<char>(filter);
        for (size_t i = 0; i < row_bytes; ++i) {
            int left = i >= step ? line[i - step] : 0;
            int up_left = i >= step ? up[i - step] : 0;
            int predicted = filter == 1   ? left
                            : filter == 2 ? up[i]
                            : filter == 3 ? (left + up[i]) / 2
                            : filter == 4 ? paeth(left, up[i], up_left)
                                          : 0;
            raw += static_cast<char>(line[i] - predicted);
        }
    }
    return encode_png_raw(picture, raw);
}

std::string encode_png_raw(const PngPicture &picture, const std::string &raw) {
    uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packed_size, '\0');
    compress(reinterpret_cast<Bytef *>(packed.data()), &packed_size,
             reinterpret_cast<const Bytef *>(raw.data()), static_cast<uLong>(raw.size()));
    packed.resize(packed_size);
    std::string header = be32(picture.width) + be32(picture.height);
    header += {static_cast<char>(picture.depth), static_cast<char>(picture.colour_type), 0, 0,
               static_cast<char>(picture.interlace)};
    std::string png = "\x89PNG\r\n\x1a\n" + png_chunk("IHDR", header);
    if (!picture.palette.empty()) {
        png += png_chunk("PLTE", std::string(picture.palette.begin(), picture.palette.end()));
    }
    return png + png_chunk("IDAT", packed) + png_chunk("IEND", "");
}

namespace {

struct JpegInput {
    int width, height;
    const std::vector<uint8_t> &pixels;
    int components;
    J_COLOR_SPACE given, stored;
    bool progressive, adobe_marker;
};

std::string encode_jpeg_as(const JpegInput &input) {
    jpeg_compress_struct codec{};
    jpeg_error_mgr errors{};
    codec.err = jpeg_std_error(&errors);
    jpeg_create_compress(&codec);
    unsigned char *out = nullptr;
    unsigned long out_size = 0;
    jpeg_mem_dest(&codec, &out, &out_size);
    codec.image_width = static_cast<JDIMENSION>(input.width);
    codec.image_height = static_cast<JDIMENSION>(input.height);
    codec.input_components = input.components;
    codec.in_color_space = input.given;
    jpeg_set_defaults(&codec);
    jpeg_set_colorspace(&codec, input.stored);
    codec.write_Adobe_marker = input.adobe_marker;
    jpeg_set_quality(&codec, 95, TRUE);
    if (input.progressive) {
        jpeg_simple_progression(&codec);
    }
    jpeg_start_compress(&codec, TRUE);
    const int stride = input.width * input.components;
    while (codec.next_scanline < codec.image_height) {
        JSAMPROW row = const_cast<uint8_t *>(input.pixels.data()) + codec.next_scanline * stride;
        jpeg_write_scanlines(&codec, &row, 1);
    }
    jpeg_finish_compress(&codec);
    std::string jpeg(reinterpret_cast<char *>(out), out_size);
    jpeg_destroy_compress(&codec);
    free(out);
    return jpeg;
}

} // namespace

std::string encode_jpeg(int width, int height, const std::vector<uint8_t> &rgb, bool progressive) {
    return encode_jpeg_as({width, height, rgb, 3, JCS_RGB, JCS_YCbCr, progressive, false});
}

std::string encode_jpeg_cmyk(int width, int height, const std::vector<uint8_t> &cmyk, bool ycck,
                             bool adobe_marker) {
    return encode_jpeg_as(
        {width, height, cmyk, 4, JCS_CMYK, ycck ? JCS_YCCK : JCS_CMYK, false, adobe_marker});
}

} // namespace test
