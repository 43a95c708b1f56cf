// The program's icon: the game's pinwheel over a round putting green, with
// what lies outside the green left clear. Written as PNG files at the sizes
// a desktop asks for, and as a Windows icon that holds the same pictures.
//
//   icon DIRECTORY   writes pinwheel-48.png, pinwheel-128.png,
//                    pinwheel-256.png and pinwheel.ico there
#include "art.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};

constexpr int kSizes[] = {48, 128, 256};

// Drawn four times larger and averaged down, so that the edges are smooth.
constexpr int kFine = 4;

std::vector<Rgba> draw_fine(int size) {
    const int fine = size * kFine;
    std::vector<Rgba> pixels(static_cast<size_t>(fine) * fine, Rgba{0, 0, 0, 0});
    auto put = [&](int x, int y, Rgba colour) {
        if (x >= 0 && y >= 0 && x < fine && y < fine) {
            pixels[static_cast<size_t>(y) * fine + x] = colour;
        }
    };
    const double centre = fine / 2.0;
    const double green = fine * 0.47;
    for (int y = 0; y < fine; ++y) {
        for (int x = 0; x < fine; ++x) {
            const double distance = std::hypot(x + 0.5 - centre, y + 0.5 - centre);
            if (distance < green) {
                // A darker rim, and light from the upper left.
                const double shade = 1.0 - 0.25 * (x + y) / (2.0 * fine);
                const bool rim = distance > green * 0.93;
                put(x, y,
                    {static_cast<uint8_t>((rim ? 30 : 70) * shade),
                     static_cast<uint8_t>((rim ? 110 : 170) * shade),
                     static_cast<uint8_t>((rim ? 30 : 60) * shade), 255});
            }
        }
    }
    const Rgba blades[4] = {
        {230, 60, 50, 255}, {250, 200, 40, 255}, {60, 120, 230, 255}, {250, 250, 250, 255}};
    const int hub = fine / 2;
    draw_pinwheel(hub, hub, static_cast<int>(fine * 0.38), 0.3,
                  [&](int x, int y, int blade) { put(x, y, blades[blade]); });
    const int pin = std::max(1, fine / 40);
    for (int y = -pin; y <= pin; ++y) {
        for (int x = -pin; x <= pin; ++x) {
            put(hub + x, hub + y, {120, 90, 60, 255});
        }
    }
    return pixels;
}

std::vector<uint8_t> draw_icon(int size) {
    const std::vector<Rgba> fine = draw_fine(size);
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            // Colours weighted by their cover, so that clear pixels do not darken the edge.
            double sum[4] = {0, 0, 0, 0};
            for (int fy = 0; fy < kFine; ++fy) {
                for (int fx = 0; fx < kFine; ++fx) {
                    const Rgba &p =
                        fine[static_cast<size_t>(y * kFine + fy) * size * kFine + x * kFine + fx];
                    sum[0] += p.r * p.a;
                    sum[1] += p.g * p.a;
                    sum[2] += p.b * p.a;
                    sum[3] += p.a;
                }
            }
            uint8_t *out = &rgba[(static_cast<size_t>(y) * size + x) * 4];
            for (int c = 0; c < 3; ++c) {
                out[c] = static_cast<uint8_t>(sum[3] > 0 ? sum[c] / sum[3] : 0);
            }
            out[3] = static_cast<uint8_t>(sum[3] / (kFine * kFine));
        }
    }
    return rgba;
}

void put16(std::string &bytes, unsigned value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>(value >> 8 & 0xFF);
}

void put32(std::string &bytes, unsigned value) {
    put16(bytes, value & 0xFFFF);
    put16(bytes, value >> 16);
}

// A Windows icon file whose pictures are the PNG files themselves, as
// icons may hold since Windows Vista.
bool write_ico(const std::string &path, const std::vector<std::string> &pngs,
               const std::vector<int> &sizes) {
    std::string bytes;
    put16(bytes, 0);
    put16(bytes, 1); // an icon
    put16(bytes, static_cast<unsigned>(pngs.size()));
    unsigned offset = 6 + 16 * static_cast<unsigned>(pngs.size());
    for (size_t i = 0; i < pngs.size(); ++i) {
        bytes += static_cast<char>(sizes[i] >= 256 ? 0 : sizes[i]); // 0 stands for 256
        bytes += static_cast<char>(sizes[i] >= 256 ? 0 : sizes[i]);
        bytes += '\0'; // no palette
        bytes += '\0';
        put16(bytes, 1);  // planes
        put16(bytes, 32); // bits per pixel
        put32(bytes, static_cast<unsigned>(pngs[i].size()));
        put32(bytes, offset);
        offset += static_cast<unsigned>(pngs[i].size());
    }
    for (const std::string &png : pngs) {
        bytes += png;
    }
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

std::string read_all(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: icon DIRECTORY\n");
        return 2;
    }
    const std::string directory = argv[1];
    std::vector<std::string> pngs;
    std::vector<int> sizes;
    for (int size : kSizes) {
        const std::string path = directory + "/pinwheel-" + std::to_string(size) + ".png";
        if (!write_png_rgba(path, size, size, draw_icon(size).data())) {
            std::fprintf(stderr, "icon: cannot write %s\n", path.c_str());
            return 1;
        }
        pngs.push_back(read_all(path));
        sizes.push_back(size);
    }
    if (!write_ico(directory + "/pinwheel.ico", pngs, sizes)) {
        std::fprintf(stderr, "icon: cannot write %s/pinwheel.ico\n", directory.c_str());
        return 1;
    }
    return 0;
}
