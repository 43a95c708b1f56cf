// JPEG pictures, baseline or progressive, RGB, grey or CMYK, decoded by
// libjpeg-turbo into 24-bit bitmaps.
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

// libjpeg's own texts are not shown: a damaged file is reported by name, once,
// by the loader, from the warnings libjpeg counts.
void on_message(j_common_ptr) {}

// A picture needs some bytes for its blocks; this much, however uniform it is.
constexpr double kPixelsPerByte = 4096;

// CMYK pictures (and YCCK, which libjpeg turns into CMYK) are shown as RGB.
// Adobe's programs store the inks inverted, and mark their files: most CMYK
// JPEGs are theirs.
bool is_cmyk(const jpeg_decompress_struct *codec) {
    return codec->jpeg_color_space == JCS_CMYK || codec->jpeg_color_space == JCS_YCCK;
}

void cmyk_to_rgb(const JSAMPLE *cmyk, uint8_t *rgb, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        const int key = inverted ? cmyk[3] : 255 - cmyk[3];
        for (int channel = 0; channel < 3; ++channel) {
            const int ink = inverted ? cmyk[channel] : 255 - cmyk[channel];
            rgb[channel] = static_cast<uint8_t>((ink * key + 127) / 255);
        }
    }
}

// Decodes into the bitmap; kept apart from the jump target so that nothing
// with a destructor lives across the jump (the CMYK row is libjpeg's own).
XV_DECODE decode(jpeg_decompress_struct *codec, XV_BITMAP *bitmap, size_t size) {
    jpeg_read_header(codec, TRUE);
    const bool cmyk = is_cmyk(codec);
    codec->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
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
    if (codec->output_components != (cmyk ? 4 : 3)) {
        return XV_DECODE::unsupported;
    }
    JSAMPARRAY cmyk_row = cmyk
                              ? (*codec->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(codec),
                                                            JPOOL_IMAGE, codec->output_width * 4, 1)
                              : nullptr;
    while (codec->output_scanline < codec->output_height) {
        uint8_t *out =
            bitmap->pixels + static_cast<long>(codec->output_scanline) * bitmap->width * 3;
        JSAMPROW row = cmyk ? cmyk_row[0] : out;
        jpeg_read_scanlines(codec, &row, 1);
        if (cmyk) {
            cmyk_to_rgb(row, out, codec->output_width, codec->saw_Adobe_marker);
        }
    }
    jpeg_finish_decompress(codec);
    // libjpeg fills what a damaged or short file lacks and goes on, warning.
    return codec->err->num_warnings ? XV_DECODE::incomplete : XV_DECODE::ok;
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
    if (result != XV_DECODE::ok && result != XV_DECODE::incomplete) {
        xv_bit_free(bitmap);
    }
    return result;
}
