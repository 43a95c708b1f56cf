#include "gen_bit.h"

#include "gen_info.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A grey-scale picture comes with the grey ramp as its palette.
bool is_grey_ramp(const XV_PALETTE *palette) {
    for (int i = 0; i < palette->entries; ++i) {
        uint8_t rgb[3];
        xv_pal_colour(palette, i, rgb);
        if (rgb[0] != i || rgb[1] != i || rgb[2] != i) {
            return false;
        }
    }
    return true;
}

} // namespace

int gen_bit_load_file(XV_BITMAP *bitmap, const char *file) {
    gen_test_if_filename_is_8_3(file);
    if (!xv_bit_load(bitmap, file, XV_BIT_WITH_PALETTE)) {
        gen_error("gen_bit_load_file: error while loading %s (maybe not found)", file);
        return 0;
    }
    return 1;
}

int gen_bit_load_with_alpha(XV_BITMAP *bitmap, const char *file, const char *alpha_file) {
    if (!gen_bit_load_file(bitmap, file)) {
        return 0;
    }
    if (!alpha_file || !*alpha_file) {
        return 1;
    }
    gen_test_if_filename_is_8_3(alpha_file);
    if (bitmap->type != 32) {
        xv_bit_convert(bitmap, 32);
    }
    XV_BITMAP alpha{};
    if (!gen_bit_load_file(&alpha, alpha_file)) {
        return 1;
    }
    if (alpha.type != 8) {
        gen_history("CONVERTING ALPHA MAP TO 8 bits!!\n");
        xv_bit_convert(&alpha, 8);
    }
    bool usable = true;
    if (alpha.type != 8) {
        gen_error("gen_bit_load_with_alpha: the alpha map file should be 256 colors (8 bits) and "
                  "GREY SCALE -> %s.. bpp %i",
                  alpha_file, alpha.type);
        usable = false;
    } else if (alpha.palette && !is_grey_ramp(alpha.palette)) {
        gen_error("gen_bit_load_with_alpha: the alpha map file should not have a palette, it "
                  "should be GREY SCALE -> %s",
                  alpha_file);
        usable = false;
    } else if (alpha.width != bitmap->width || alpha.height != bitmap->height) {
        gen_error("gen_bit_load_with_alpha: width and height of the alpha map should be the same "
                  "that the texture %s %s",
                  file, alpha_file);
        usable = false;
    }
    if (usable) {
        gen_bit_modify_alpha(bitmap, &alpha, 1.0f);
    }
    xv_bit_free(&alpha);
    return 1;
}

int gen_bit_modify_alpha(XV_BITMAP *bitmap, const XV_BITMAP *alpha, float factor) {
    if (bitmap->type != 32) {
        gen_error("gen_bit_modify_alpha: source bitmap must be in 32 bits format");
        return 0;
    }
    if (alpha->type != 8) {
        gen_error("gen_bit_modify_alpha: alpha bitmap must be in 8 bits format");
        return 0;
    }
    if (alpha->width != bitmap->width || alpha->height != bitmap->height) {
        gen_error("gen_bit_modify_alpha: width and height of the alpha map should be the same "
                  "that the texture");
        return 0;
    }
    long pixels = static_cast<long>(bitmap->width) * bitmap->height;
    for (long i = 0; i < pixels; ++i) {
        bitmap->pixels[i * 4 + 3] = static_cast<uint8_t>(alpha->pixels[i] * factor);
    }
    return 1;
}

int gen_bit_resize(XV_BITMAP *bitmap, int width, int height) {
    if (width < 1 || height < 1) {
        gen_error("gen_bit_resize: wrong height (%i) or width (%i)", height, width);
        return 0;
    }
    XV_RECT size = {0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height)};
    return xv_bit_resize(bitmap, &size, nullptr);
}

int gen_bit_convert_to_grey_scale(XV_BITMAP *bitmap) {
    if (bitmap->type != 8) {
        gen_error("gen_bit_convert_to_grey_scale: only 256 color bitmaps suported");
        return 0;
    }
    if (!bitmap->palette) {
        gen_error("gen_bit_convert_to_grey_scale: no palette");
        return 0;
    }
    long pixels = static_cast<long>(bitmap->width) * bitmap->height;
    for (long i = 0; i < pixels; ++i) {
        uint8_t rgb[3];
        xv_pal_colour(bitmap->palette, bitmap->pixels[i], rgb);
        bitmap->pixels[i] = static_cast<uint8_t>((rgb[0] + rgb[1] + rgb[2]) / 3);
    }
    xv_pal_free(bitmap->palette);
    bitmap->palette = xv_pal_grayscale_get(256);
    return 1;
}

int gen_bit_fit_into_bitmap(XV_BITMAP *destination, const XV_BITMAP *source, int x, int y) {
    if (destination->type != source->type || source->type < 8) {
        gen_error("gen_bit_fit_into_bitmap: dest and source has to be the same bpp");
        return 0;
    }
    if (x < 0 || y < 0 || x + source->width > destination->width ||
        y + source->height > destination->height) {
        gen_error("gen_bit_fit_into_bitmap: source bitmap cant fit on dest bitmap");
        return 0;
    }
    long row = xv_bit_buffer_size(source->type, source->width, 1);
    long pixel = xv_bit_buffer_size(source->type, 1, 1);
    long stride = xv_bit_buffer_size(destination->type, destination->width, 1);
    for (int r = 0; r < source->height; ++r) {
        memcpy(destination->pixels + (y + r) * stride + x * pixel, source->pixels + r * row, row);
    }
    return 1;
}

int gen_bit_tga_save(const XV_BITMAP *bitmap, const char *file, const XV_RECT *area) {
    if (bitmap->type != 24) {
        gen_error("gen_bit_tga_save: bitmap has to be 24 bits");
        return 0;
    }
    int left = 0, top = 0, right = bitmap->width, bottom = bitmap->height;
    if (area) {
        left = std::max<int>(area->x, 0);
        top = std::max<int>(area->y, 0);
        right = std::min<int>(area->x + area->width, bitmap->width);
        bottom = std::min<int>(area->y + area->height, bitmap->height);
    }
    if (right <= left || bottom <= top) {
        return 0;
    }
    int width = right - left, height = bottom - top;
    std::vector<uint8_t> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int value : {width, height}) {
        bytes.push_back(static_cast<uint8_t>(value));
        bytes.push_back(static_cast<uint8_t>(value >> 8));
    }
    bytes.push_back(24);
    bytes.push_back(0);
    for (int y = bottom - 1; y >= top; --y) {
        const uint8_t *pixel = bitmap->pixels + (static_cast<long>(y) * bitmap->width + left) * 3;
        for (int x = 0; x < width; ++x, pixel += 3) {
            bytes.insert(bytes.end(), {pixel[2], pixel[1], pixel[0]});
        }
    }
    XV_FILE *out = xv_io_fopen(file, "wb");
    if (!out) {
        return 0;
    }
    size_t written = xv_io_fwrite(bytes.data(), 1, bytes.size(), out);
    xv_io_fclose(out);
    return written == bytes.size();
}

int gen_bit_save_snapshot(const XV_BITMAP *bitmap) {
    std::string name = xv_io_snapshot_name();
    return !name.empty() && gen_bit_tga_save(bitmap, name.c_str(), nullptr);
}
