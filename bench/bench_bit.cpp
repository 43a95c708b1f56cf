// PNG decoding, ours against libpng on the same 1024×1024 RGB and RGBA
// files (written by libpng, with its own choice of filters) and on a suite
// of small pictures of every kind (made here by the tests' picture writer:
// each colour type and bit depth, each filter and all of them mixed, odd
// sizes, interlaced ones that we refuse); before timing, every picture's
// pixels are held against libpng's, byte for byte. Then the software copies
// at 640×480 in 32 bits: transparent, and scaled up from 320×240.
#include "bench_scratch.h"
#include "picture_writer.h"
#include "xv.h"
#include "xv_bit_decode.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <png.h>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kSide = 1024;

// Something like a picture: smooth shading, edges and a little noise.
std::vector<uint8_t> scene(int channels) {
    std::vector<uint8_t> pixels(static_cast<size_t>(kSide) * kSide * channels);
    std::mt19937 random(11);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            uint8_t *pixel = &pixels[(static_cast<size_t>(y) * kSide + x) * channels];
            double wave = std::sin(x * 0.02) * std::cos(y * 0.015);
            pixel[0] = static_cast<uint8_t>(128 + 100 * wave + random() % 8);
            pixel[1] = static_cast<uint8_t>((x ^ y) & 0xF0);
            pixel[2] = static_cast<uint8_t>(y / 4 + random() % 4);
            if (channels == 4) {
                pixel[3] = static_cast<uint8_t>(x < kSide / 2 ? 255 : 255 - y / 4);
            }
        }
    }
    return pixels;
}

std::string png_file(int channels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kSide;
    image.height = kSide;
    image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels = scene(channels);
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::string file(size, '\0');
    png_image_write_to_memory(&image, file.data(), &size, 0, pixels.data(), 0, nullptr);
    file.resize(size);
    return file;
}

struct Platform {
    XV_ERROR_CONFIG errors{0};
    XV_MEM_CONFIG memory{0, 16 << 20};
    Platform() {
        xv_error_init(&errors);
        xv_mem_init(&memory);
    }
    ~Platform() { xv_mem_deinit(); }
};

void ours(benchmark::State &state) {
    int channels = static_cast<int>(state.range(0));
    std::string file = png_file(channels);
    Platform platform;
    for (auto _ : state) {
        XV_BITMAP bitmap{};
        xv_bit_decode_png(&bitmap, reinterpret_cast<const uint8_t *>(file.data()), file.size(), 0);
        benchmark::DoNotOptimize(bitmap.pixels);
        xv_bit_free(&bitmap);
    }
    state.SetBytesProcessed(state.iterations() * kSide * kSide * channels);
}

void libpng(benchmark::State &state) {
    int channels = static_cast<int>(state.range(0));
    std::string file = png_file(channels);
    std::vector<uint8_t> pixels(static_cast<size_t>(kSide) * kSide * channels);
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&image, file.data(), file.size());
        image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
        png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * kSide * kSide * channels);
}

// ---- the suite of small pictures -----------------------------------------------

struct SuitePicture {
    std::string file;
    bool interlaced;
};

// Each kind at a few sizes (one pixel, odd widths, a wide one), with each
// filter alone and all five in turn.
std::vector<SuitePicture> suite() {
    static const int kinds[][2] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                                   {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    static const std::vector<std::vector<int>> filters = {{0}, {1}, {2}, {3}, {4}, {0, 1, 2, 3, 4}};
    static const int sizes[][2] = {{1, 1}, {32, 32}, {37, 11}, {3, 64}, {200, 9}};
    std::vector<SuitePicture> pictures;
    std::mt19937 random(3);
    for (const auto &kind : kinds) {
        for (const auto &size : sizes) {
            for (const auto &filter : filters) {
                test::PngPicture png;
                png.colour_type = kind[0];
                png.depth = kind[1];
                png.width = size[0];
                png.height = size[1];
                const int channels = png.colour_type == 2   ? 3
                                     : png.colour_type == 4 ? 2
                                     : png.colour_type == 6 ? 4
                                                            : 1;
                const size_t row_bytes = (png.width * channels * png.depth + 7) / 8;
                const int entries = 1 << std::min(png.depth, 8);
                for (size_t i = 0; i < row_bytes * png.height; ++i) {
                    // Smooth with some noise, so that every filter has work;
                    // palette indices stay within the palette.
                    auto value = static_cast<uint8_t>(i * 3 + random() % 16);
                    if (png.colour_type == 3 && png.depth == 8) {
                        value %= entries;
                    }
                    png.rows.push_back(value);
                }
                if (png.colour_type == 3) {
                    for (int e = 0; e < entries; ++e) {
                        png.palette.insert(png.palette.end(), {static_cast<uint8_t>(e * 7),
                                                               static_cast<uint8_t>(255 - e),
                                                               static_cast<uint8_t>(e * 13)});
                    }
                }
                pictures.push_back({test::encode_png(png, filter), false});
                png.interlace = 1;
                pictures.push_back({test::encode_png(png, filter), true});
            }
        }
    }
    return pictures;
}

// libpng's reading of a picture, in the form ours gives: indices for
// palette pictures, grey spread to 8 bits, 16-bit samples cut to their
// high byte, grey with alpha as RGBA.
struct Reader {
    const std::string &file;
    size_t at = 8;
};

void read_from(png_structp png, png_bytep out, png_size_t count) {
    auto *reader = static_cast<Reader *>(png_get_io_ptr(png));
    if (reader->at + count > reader->file.size()) {
        png_error(png, "short");
    }
    memcpy(out, reader->file.data() + reader->at, count);
    reader->at += count;
}

bool libpng_pixels(const std::string &file, std::vector<uint8_t> *pixels) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Reader reader{file};
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, read_from);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    const int colour_type = png_get_color_type(png, info);
    png_set_strip_16(png);
    png_set_packing(png);
    if (colour_type == PNG_COLOR_TYPE_GRAY) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    if (colour_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    png_read_update_info(png, info);
    const size_t row_bytes = png_get_rowbytes(png, info);
    const uint32_t height = png_get_image_height(png, info);
    pixels->assign(row_bytes * height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        rows.push_back(pixels->data() + y * row_bytes);
    }
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// Ours, with 4-bit pictures spread to a byte a pixel as libpng gives them.
bool our_pixels(const std::string &file, std::vector<uint8_t> *pixels, XV_DECODE *result) {
    XV_BITMAP bitmap{};
    *result =
        xv_bit_decode_png(&bitmap, reinterpret_cast<const uint8_t *>(file.data()), file.size(), 0);
    if (*result != XV_DECODE::ok) {
        return false;
    }
    const size_t count = static_cast<size_t>(bitmap.width) * bitmap.height;
    if (bitmap.type == 4) {
        pixels->resize(count);
        for (size_t i = 0; i < count; ++i) {
            (*pixels)[i] = i % 2 ? bitmap.pixels[i / 2] & 0x0F : bitmap.pixels[i / 2] >> 4;
        }
    } else {
        pixels->assign(bitmap.pixels, bitmap.pixels + count * (bitmap.type / 8));
    }
    xv_bit_free(&bitmap);
    return true;
}

// A picture of the suite that ours reads otherwise than libpng, or
// interlaced and not refused as such; empty when all agree.
std::string suite_disagreement(const std::vector<SuitePicture> &pictures) {
    for (size_t i = 0; i < pictures.size(); ++i) {
        std::vector<uint8_t> ours_read, theirs;
        XV_DECODE result;
        bool read = our_pixels(pictures[i].file, &ours_read, &result);
        if (pictures[i].interlaced) {
            if (result != XV_DECODE::unsupported) {
                return "interlaced picture " + std::to_string(i) + " was not refused";
            }
            continue;
        }
        if (!read || !libpng_pixels(pictures[i].file, &theirs) || ours_read != theirs) {
            return "picture " + std::to_string(i) + " differs from libpng's";
        }
    }
    return "";
}

// One pass over the suite, each side kept out of line so that a profiler
// can count what a pass costs.
[[gnu::noinline]] void suite_pass_ours(const std::vector<SuitePicture> &pictures) {
    for (const SuitePicture &picture : pictures) {
        if (picture.interlaced) {
            continue;
        }
        XV_BITMAP bitmap{};
        xv_bit_decode_png(&bitmap, reinterpret_cast<const uint8_t *>(picture.file.data()),
                          picture.file.size(), 0);
        benchmark::DoNotOptimize(bitmap.pixels);
        xv_bit_free(&bitmap);
    }
}

[[gnu::noinline]] void suite_pass_libpng(const std::vector<SuitePicture> &pictures,
                                         std::vector<uint8_t> &pixels) {
    for (const SuitePicture &picture : pictures) {
        if (!picture.interlaced) {
            libpng_pixels(picture.file, &pixels);
            benchmark::DoNotOptimize(pixels.data());
        }
    }
}

void suite_ours(benchmark::State &state) {
    const std::vector<SuitePicture> pictures = suite();
    Platform platform;
    if (std::string disagreement = suite_disagreement(pictures); !disagreement.empty()) {
        state.SkipWithError(disagreement.c_str());
        return;
    }
    for (auto _ : state) {
        suite_pass_ours(pictures);
    }
    state.counters["pictures"] = static_cast<double>(pictures.size() / 2);
}

void suite_libpng(benchmark::State &state) {
    const std::vector<SuitePicture> pictures = suite();
    std::vector<uint8_t> pixels;
    for (auto _ : state) {
        suite_pass_libpng(pictures, pixels);
    }
    state.counters["pictures"] = static_cast<double>(pictures.size() / 2);
}

XV_BITMAP picture(int width, int height) {
    XV_BITMAP bitmap;
    XV_RECT area = {0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height)};
    xv_bit_alloc(&bitmap, &area, XV_BIT_BPP32);
    for (long i = 0; i < static_cast<long>(width) * height; ++i) {
        uint8_t *pixel = bitmap.pixels + i * 4;
        bool hole = (i / 7) % 5 == 0; // a fifth of the picture is see-through magenta
        pixel[0] = hole ? 255 : static_cast<uint8_t>(i);
        pixel[1] = hole ? 0 : static_cast<uint8_t>(i >> 8);
        pixel[2] = hole ? 255 : 40;
        pixel[3] = 255;
    }
    return bitmap;
}

void copy(benchmark::State &state, int source_width, int source_height, bool transparent,
          int flags) {
    Platform platform;
    XV_BITMAP screen = picture(640, 480);
    XV_BITMAP source = picture(source_width, source_height);
    for (auto _ : state) {
        if (transparent) {
            xv_bit_copy_transp(&screen, &source, nullptr, nullptr, flags);
        } else {
            xv_bit_copy(&screen, &source, nullptr, nullptr, flags);
        }
        benchmark::DoNotOptimize(screen.pixels);
    }
    state.SetItemsProcessed(state.iterations() * 640 * 480);
    state.counters["Mpixel/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 640 * 480 / 1e6, benchmark::Counter::kIsRate);
    xv_bit_free(&screen);
    xv_bit_free(&source);
}

void transparent_copy_640x480(benchmark::State &state) {
    copy(state, 640, 480, true, 0);
}
void scaled_copy_320x240_to_640x480(benchmark::State &state) {
    copy(state, 320, 240, false, XV_BIT_COPY_SCALE);
}
void scaled_transparent_copy(benchmark::State &state) {
    copy(state, 320, 240, true, XV_BIT_COPY_SCALE);
}

} // namespace

BENCHMARK(ours)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(libpng)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(suite_ours)->Unit(benchmark::kMillisecond);
BENCHMARK(suite_libpng)->Unit(benchmark::kMillisecond);
BENCHMARK(transparent_copy_640x480)->Unit(benchmark::kMicrosecond);
BENCHMARK(scaled_copy_320x240_to_640x480)->Unit(benchmark::kMicrosecond);
BENCHMARK(scaled_transparent_copy)->Unit(benchmark::kMicrosecond);

PINWHEEL_BENCHMARK_MAIN()
