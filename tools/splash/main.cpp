// splash GAME_DIRECTORY OUTPUT.PCX
// Draws the start-up picture: a course under a sky, a pinwheel turning over
// the cup, and the game's name in its menu font (made by fontgen before).
#include "art.h"
#include "xv.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 240;
// The palette: the sky, the grass, the pinwheel's four blades and its
// stick, and the upper half for the letters (the font's own ramp).
constexpr int kSky = 1, kSkyShades = 64;
constexpr int kGrass = 70, kGrassShades = 24;
constexpr int kBlade = 100, kStick = 104, kCup = 105;
constexpr int kLetters = 128;

void set_colour(XV_PALETTE *palette, int index, int red, int green, int blue) {
    palette->colours[index * 3] = static_cast<uint8_t>(red);
    palette->colours[index * 3 + 1] = static_cast<uint8_t>(green);
    palette->colours[index * 3 + 2] = static_cast<uint8_t>(blue);
}

void make_palette(XV_PALETTE *palette, const XV_PALETTE *font) {
    for (int i = 0; i < kSkyShades; ++i) {
        set_colour(palette, kSky + i, 90 + i * 2, 150 + i, 235);
    }
    for (int i = 0; i < kGrassShades; ++i) {
        set_colour(palette, kGrass + i, 40 + i * 2, 150 + i * 3, 50);
    }
    const int blades[4][3] = {{230, 60, 50}, {250, 200, 40}, {60, 120, 230}, {250, 250, 250}};
    for (int i = 0; i < 4; ++i) {
        set_colour(palette, kBlade + i, blades[i][0], blades[i][1], blades[i][2]);
    }
    set_colour(palette, kStick, 120, 90, 60);
    set_colour(palette, kCup, 20, 30, 20);
    for (int i = 0; i < 128; ++i) {
        uint8_t rgb[3];
        xv_pal_colour(font, i * 2, rgb);
        set_colour(palette, kLetters + i, rgb[0], rgb[1], rgb[2]);
    }
}

void draw_scene(XV_BITMAP *picture) {
    int horizon = kHeight * 3 / 5;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            int colour = y < horizon ? kSky + y * kSkyShades / horizon
                                     : kGrass + (y - horizon) * kGrassShades / (kHeight - horizon);
            picture->pixels[y * kWidth + x] = static_cast<uint8_t>(colour);
        }
    }
    // The cup, and the pinwheel on its stick above it.
    int cx = 300, cy = 110;
    for (int y = -5; y <= 5; ++y) {
        for (int x = -14; x <= 14; ++x) {
            if (x * x * 25 + y * y * 196 <= 196 * 25) {
                picture->pixels[(horizon + 40 + y) * kWidth + cx + x] = kCup;
            }
        }
    }
    for (int y = cy; y < horizon + 40; ++y) {
        picture->pixels[y * kWidth + cx] = kStick;
        picture->pixels[y * kWidth + cx + 1] = kStick;
    }
    draw_pinwheel(cx, cy, 45, 0.0, [&](int x, int y, int blade) {
        picture->pixels[y * kWidth + x] = static_cast<uint8_t>(kBlade + blade);
    });
}

// The font's letters, moved onto the upper half of the picture's palette.
void draw_title(XV_BITMAP *picture, XV_FONT *font, const char *text) {
    XV_BITMAP letters{};
    XV_RECT size = {0, 0, kWidth, static_cast<int16_t>(font->height)};
    xv_bit_alloc(&letters, &size, XV_BIT_BPP8);
    xv_font_draw_text(font, &letters, nullptr, XV_FONT_PROPORTIONAL, "%s", text);
    for (int y = 0; y < letters.height; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint8_t index = letters.pixels[y * kWidth + x];
            if (index) {
                picture->pixels[(30 + y) * kWidth + 24 + x] =
                    static_cast<uint8_t>(kLetters + index / 2);
            }
        }
    }
    xv_bit_free(&letters);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: splash GAME_DIRECTORY OUTPUT.PCX\n");
        return 2;
    }
    ToolPlatform platform(argv[1]);
    XV_FONT font{};
    XV_BITMAP picture{};
    XV_RECT size = {0, 0, kWidth, kHeight};
    bool made = xv_font_load(&font, "fonts\\menu.fnt", XV_FONT_LOAD_PROPORTIONAL) &&
                xv_bit_alloc(&picture, &size, XV_BIT_BPP8);
    if (made) {
        picture.palette = xv_pal_alloc(nullptr, 256, XV_PAL_RGB);
        make_palette(picture.palette, font.palette);
        draw_scene(&picture);
        draw_title(&picture, &font, "Pinwheel Golf");
        std::filesystem::create_directories(std::filesystem::path(argv[2]).parent_path());
        made = xv_bit_save(&picture, argv[2], nullptr, 0);
    }
    xv_bit_free(&picture);
    xv_font_free(&font);
    if (!made) {
        fprintf(stderr, "splash: could not draw %s\n", argv[2]);
        return 1;
    }
    return 0;
}
