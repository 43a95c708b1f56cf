// JPEG pictures, baseline or progressive, decoded by libjpeg-turbo into
// 24-bit bitmaps.
#include "xv_bit_decode.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace {

// libjpeg ends the process on an error unless told otherwise: here an error
// jumps back to the decoder, which gives up on the picture.
struct ErrorTrap {
    jpeg_error_mgr manager;
    jmp_buf back;
};

void on_error(j_common_ptr codec) {
    longjmp(reinterpret_cast<ErrorTrap *>(codec->err)->back, 1);
}

void on_message(j_common_ptr) {} // warnings of damaged data change nothing here

// A picture needs some bytes for its blocks; this much, however uniform it is.
constexpr double kPixelsPerByte = 4096;

// Decodes into the bitmap; kept apart from the jump target so that nothing
// with a destructor lives across the jump.
XV_DECODE decode(jpeg_decompress_struct *codec, XV_BITMAP *bitmap, size_t size) {
    jpeg_read_header(codec, TRUE);
    codec->out_color_space = JCS_RGB;
    if (static_cast<double>(codec->image_width) * codec->image_height >
        size * kPixelsPerByte + (1 << 20)) {
        return XV_DECODE::damaged;
    }
    XV_DECODE result =
        xv_bit_decode_alloc(bitmap, codec->image_width, codec->image_height, XV_BIT_BPP24);
    if (result != XV_DECODE::ok) {
        return result;
    }
    jpeg_start_decompress(codec);
    if (codec->output_components != 3) {
        return XV_DECODE::unsupported;
    }
    while (codec->output_scanline < codec->output_height) {
        JSAMPROW row =
            bitmap->pixels + static_cast<long>(codec->output_scanline) * bitmap->width * 3;
        jpeg_read_scanlines(codec, &row, 1);
    }
    jpeg_finish_decompress(codec);
    return XV_DECODE::ok;
}

} // namespace

XV_DECODE xv_bit_decode_jpeg(XV_BITMAP *bitmap, const uint8_t *data, size_t size, int options) {
    (void)options; // a JPEG has no palette to ask for
    jpeg_decompress_struct codec{};
    ErrorTrap trap{};
    codec.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = on_error;
    trap.manager.output_message = on_message;
    jpeg_create_decompress(&codec);
    volatile XV_DECODE result = XV_DECODE::damaged;
    if (setjmp(trap.back) == 0) {
        jpeg_mem_src(&codec, data, static_cast<unsigned long>(size));
        result = decode(&codec, bitmap, size);
    }
    jpeg_destroy_decompress(&codec);
    if (result != XV_DECODE::ok) {
        xv_bit_free(bitmap);
    }
    return result;
}
