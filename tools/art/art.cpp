#include "art.h"

#include "xv.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace {

XV_ERROR_CONFIG errors{1};
XV_LIST_CONFIG lists{1};
// The collision maps of a whole hole are built in one go: room for them from
// the start, so the build says nothing of growing its heap.
XV_MEM_CONFIG memory{1, 64u << 20};
XV_STR_CONFIG strings{1};
XV_IO_CONFIG files{1, nullptr, nullptr};
XV_FONT_CONFIG fonts{1};

bool write_png(const std::string &path, int width, int height, int colour_type, int row_bytes,
               const uint8_t *rows, const std::vector<uint8_t> *palette) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool written = false;
    if (info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                     8, colour_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        if (palette) {
            png_color colours[256];
            for (int i = 0; i < 256; ++i) {
                colours[i] = {(*palette)[i * 3], (*palette)[i * 3 + 1], (*palette)[i * 3 + 2]};
            }
            png_set_PLTE(png, info, colours, 256);
        }
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            png_write_row(png, rows + static_cast<size_t>(y) * row_bytes);
        }
        png_write_end(png, info);
        written = true;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && written;
}

} // namespace

ToolPlatform::ToolPlatform(const char *game_directory) {
    std::filesystem::current_path(game_directory);
    xv_error_init(&errors);
    xv_list_init(&lists);
    xv_mem_init(&memory);
    xv_str_init(&strings);
    xv_io_init(&files);
    xv_font_init(&fonts);
}

ToolPlatform::~ToolPlatform() {
    xv_font_deinit();
    xv_pal_release_shared();
    xv_io_deinit();
    xv_str_deinit();
    xv_mem_deinit();
    xv_list_deinit();
    xv_error_deinit();
}

void draw_pinwheel(int centre_x, int centre_y, int radius, double turn,
                   const std::function<void(int x, int y, int blade)> &plot) {
    for (int y = -radius; y <= radius; ++y) {
        for (int x = -radius; x <= radius; ++x) {
            const double distance = std::sqrt(x * x + y * y);
            const double angle = std::fmod(std::atan2(y, x) + M_PI + turn, 2 * M_PI);
            const int blade = static_cast<int>(angle / (M_PI / 2)) % 4;
            const double into = std::fmod(angle, M_PI / 2) / (M_PI / 2);
            if (distance < radius * (0.35 + 0.65 * into) && distance > 2) {
                plot(centre_x + x, centre_y + y, blade);
            }
        }
    }
}

bool write_png_rgb(const std::string &path, int width, int height, const uint8_t *rgb) {
    return write_png(path, width, height, PNG_COLOR_TYPE_RGB, width * 3, rgb, nullptr);
}

bool write_png_rgba(const std::string &path, int width, int height, const uint8_t *rgba) {
    return write_png(path, width, height, PNG_COLOR_TYPE_RGBA, width * 4, rgba, nullptr);
}

bool write_png_indexed(const std::string &path, int width, int height, const uint8_t *indices,
                       const std::vector<uint8_t> &palette) {
    return palette.size() >= 768 &&
           write_png(path, width, height, PNG_COLOR_TYPE_PALETTE, width, indices, &palette);
}
