// pubgen GAME_DIRECTORY
// Draws the publisher slideshow into GAME_DIRECTORY/gfx: the studio's intro
// card (pubintro.png) and fifteen title and credit slides (pub_b1.png to
// pub_b15.png), 640x480, with the game's own fonts over course art.
#include "art.h"
#include "xv.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct Rgb {
    uint8_t r, g, b;
};

struct Canvas {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(kWidth * kHeight * 3);
    void put(int x, int y, Rgb c) {
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) {
            uint8_t *at = &pixels[(static_cast<size_t>(y) * kWidth + x) * 3];
            at[0] = c.r, at[1] = c.g, at[2] = c.b;
        }
    }
};

struct Slide {
    const char *file;
    const char *title;
    std::vector<const char *> lines;
    Rgb sky_top, sky_bottom;
};

const std::vector<Slide> kSlides = {
    {"pubintro", "Pinwheel Studio", {"presents"}, {10, 14, 40}, {40, 30, 90}},
    {"pub_b1", "Pinwheel Golf", {"Nine holes", "One pinwheel"}, {70, 140, 230}, {170, 210, 250}},
    {"pub_b2", "Course Design", {"The Meadow Crew"}, {90, 150, 220}, {200, 220, 250}},
    {"pub_b3", "Programming", {"The Engine Room"}, {40, 60, 120}, {110, 140, 200}},
    {"pub_b4",
     "Music",
     {"Foosball", "composed in text, played by libxmp"},
     {120, 60, 140},
     {230, 160, 200}},
    {"pub_b5", "Sound", {"Putts, walls and cups"}, {30, 110, 120}, {140, 210, 200}},
    {"pub_b6", "Art", {"Grass, sky and blades"}, {150, 90, 40}, {250, 200, 120}},
    {"pub_b7", "Fonts", {"DejaVu", "IPA Gothic"}, {60, 60, 60}, {170, 170, 170}},
    {"pub_b8", "Testing", {"Every hole, every bounce"}, {20, 90, 50}, {120, 200, 140}},
    {"pub_b9", "Hole in one!", {}, {250, 200, 40}, {250, 240, 180}},
    {"pub_b10", "Par three", {}, {230, 80, 60}, {250, 180, 150}},
    {"pub_b11",
     "Mind the wind",
     {"The pinwheel tells you where it blows"},
     {80, 170, 240},
     {220, 240, 255}},
    {"pub_b12", "Ramps and bumps", {}, {100, 60, 160}, {200, 170, 240}},
    {"pub_b13",
     "Thanks",
     {"To everyone who played", "the first crooked course"},
     {30, 40, 80},
     {90, 110, 170}},
    {"pub_b14", "Get ready", {}, {200, 120, 30}, {250, 210, 120}},
    {"pub_b15", "Tee off!", {"Press a key"}, {40, 140, 60}, {150, 220, 140}},
};

Rgb mix(Rgb a, Rgb b, double t) {
    auto channel = [t](uint8_t x, uint8_t y) {
        return static_cast<uint8_t>(std::lround(x + (y - x) * t));
    };
    return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

// The sky, a hill of grass with its cup and flag, and a pinwheel.
void draw_course(Canvas &canvas, const Slide &slide, int seed) {
    const int horizon = kHeight * 2 / 3;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double hill = horizon - 30 * std::sin((x + seed * 40) * 0.01);
            if (y < hill) {
                canvas.put(x, y, mix(slide.sky_top, slide.sky_bottom, y / hill));
            } else {
                const double depth = (y - hill) / (kHeight - hill);
                canvas.put(x, y, mix({60, 170, 70}, {30, 110, 40}, depth));
            }
        }
    }
    const int cup_x = 120 + seed * 23 % 400, cup_y = horizon + 50;
    for (int y = -6; y <= 6; ++y) {
        for (int x = -18; x <= 18; ++x) {
            if (x * x * 36 + y * y * 324 <= 324 * 36) {
                canvas.put(cup_x + x, cup_y + y, {20, 30, 20});
            }
        }
    }
    const int hub_x = cup_x, hub_y = cup_y - 110;
    for (int y = hub_y; y < cup_y; ++y) {
        canvas.put(hub_x, y, {120, 90, 60});
        canvas.put(hub_x + 1, y, {120, 90, 60});
    }
    const Rgb blades[4] = {{230, 60, 50}, {250, 200, 40}, {60, 120, 230}, {250, 250, 250}};
    draw_pinwheel(hub_x, hub_y, 50, seed * 0.35,
                  [&](int x, int y, int blade) { canvas.put(x, y, blades[blade]); });
}

// Text in one of the game's fonts, its ramp of colours laid over the canvas.
void draw_text(Canvas &canvas, XV_FONT *font, const char *text, int y) {
    XV_RECT size{};
    xv_font_text_size(font, text, &size, XV_FONT_PROPORTIONAL);
    XV_BITMAP letters{};
    XV_RECT area = {0, 0, kWidth, static_cast<int16_t>(font->height)};
    if (!xv_bit_alloc(&letters, &area, XV_BIT_BPP8)) {
        return;
    }
    xv_font_draw_text(font, &letters, nullptr, XV_FONT_PROPORTIONAL, "%s", text);
    const int left = (kWidth - size.width) / 2;
    for (int row = 0; row < letters.height; ++row) {
        for (int column = 0; column < kWidth; ++column) {
            const uint8_t index = letters.pixels[row * kWidth + column];
            if (index) {
                uint8_t rgb[3];
                xv_pal_colour(font->palette, index, rgb);
                canvas.put(left + column, y + row, {rgb[0], rgb[1], rgb[2]});
            }
        }
    }
    xv_bit_free(&letters);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pubgen GAME_DIRECTORY\n");
        return 2;
    }
    ToolPlatform platform(argv[1]);
    std::filesystem::create_directories("gfx");
    XV_FONT title{}, body{};
    bool made = xv_font_load(&title, "fonts\\title.fnt", XV_FONT_LOAD_PROPORTIONAL) &&
                xv_font_load(&body, "fonts\\menu.fnt", XV_FONT_LOAD_PROPORTIONAL);
    for (size_t i = 0; made && i < kSlides.size(); ++i) {
        const Slide &slide = kSlides[i];
        Canvas canvas;
        draw_course(canvas, slide, static_cast<int>(i));
        draw_text(canvas, &title, slide.title, 60);
        int y = 130;
        for (const char *line : slide.lines) {
            draw_text(canvas, &body, line, y);
            y += body.height + 8;
        }
        made = write_png_rgb(std::string("gfx/") + slide.file + ".png", kWidth, kHeight,
                             canvas.pixels.data());
        if (!made) {
            std::fprintf(stderr, "pubgen: cannot write gfx/%s.png\n", slide.file);
        }
    }
    xv_font_free(&title);
    xv_font_free(&body);
    return made ? 0 : 1;
}
