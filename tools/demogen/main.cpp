// demogen OUTPUT.FLC
// Draws the attract mode's animation: a pinwheel turning over the course,
// 320x240, 48 frames, as an FLC (the first frame whole, the others as the
// changes from the frame before).
#include "art.h"
#include "flic_writer.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr int kWidth = 320, kHeight = 240, kFrames = 48;
// The palette: sky shades, grass shades, the four blades and the stick.
constexpr uint8_t kSky = 1, kGrass = 80, kBlade = 120, kStick = 124;

std::vector<uint8_t> palette() {
    std::vector<uint8_t> rgb(768, 0);
    auto set = [&](int index, int r, int g, int b) {
        rgb[index * 3] = static_cast<uint8_t>(r);
        rgb[index * 3 + 1] = static_cast<uint8_t>(g);
        rgb[index * 3 + 2] = static_cast<uint8_t>(b);
    };
    for (int i = 0; i < 64; ++i) {
        set(kSky + i, 90 + i * 2, 150 + i, 235);
    }
    for (int i = 0; i < 32; ++i) {
        set(kGrass + i, 40 + i * 2, 150 + i * 3, 50);
    }
    const int blades[4][3] = {{230, 60, 50}, {250, 200, 40}, {60, 120, 230}, {250, 250, 250}};
    for (int i = 0; i < 4; ++i) {
        set(kBlade + i, blades[i][0], blades[i][1], blades[i][2]);
    }
    set(kStick, 120, 90, 60);
    return rgb;
}

std::vector<uint8_t> frame(int number) {
    std::vector<uint8_t> pixels(kWidth * kHeight);
    const int horizon = kHeight * 2 / 3;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            pixels[y * kWidth + x] = static_cast<uint8_t>(
                y < horizon ? kSky + y * 64 / horizon
                            : kGrass + (y - horizon) * 32 / (kHeight - horizon));
        }
    }
    const int cx = kWidth / 2, cy = 90;
    for (int y = cy; y < horizon + 20; ++y) {
        pixels[y * kWidth + cx] = pixels[y * kWidth + cx + 1] = kStick;
    }
    draw_pinwheel(cx, cy, 50, number * 2 * M_PI / kFrames, [&](int x, int y, int blade) {
        pixels[y * kWidth + x] = static_cast<uint8_t>(kBlade + blade);
    });
    return pixels;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demogen OUTPUT.FLC\n");
        return 2;
    }
    FlicWriter writer(2, kWidth, kHeight, 40);
    std::vector<uint8_t> before;
    for (int i = 0; i < kFrames; ++i) {
        std::vector<uint8_t> pixels = frame(i);
        writer.begin_frame();
        if (i == 0) {
            writer.colours(palette().data());
            writer.byte_run(pixels.data());
        } else {
            writer.delta_flc(before.data(), pixels.data());
        }
        writer.end_frame();
        before = pixels;
    }
    const std::string bytes = writer.bytes();
    std::ofstream out(argv[1], std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return out ? 0 : 1;
}
