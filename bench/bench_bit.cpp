// PNG decoding, ours against libpng on the same 1024×1024 RGB and RGBA
// files (written by libpng, with its own choice of filters), and the
// software copies at 640×480 in 32 bits: transparent, and scaled up from
// 320×240.
#include "bench_scratch.h"
#include "xv.h"
#include "xv_bit_decode.h"

#include <benchmark/benchmark.h>
#include <cmath>
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
BENCHMARK(transparent_copy_640x480)->Unit(benchmark::kMicrosecond);
BENCHMARK(scaled_copy_320x240_to_640x480)->Unit(benchmark::kMicrosecond);
BENCHMARK(scaled_transparent_copy)->Unit(benchmark::kMicrosecond);

PINWHEEL_BENCHMARK_MAIN()
