// What the picture tools share: the platform started as a tool needs it
// (files, fonts, the tracker), the game's pinwheel drawn at any size and
// turn, and PNG files written with libpng.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Starts the platform modules a picture tool uses, in the game directory,
// and stops them in the reverse order. running() says whether all started.
class ToolPlatform {
  public:
    explicit ToolPlatform(const char *game_directory);
    ~ToolPlatform();
    ToolPlatform(const ToolPlatform &) = delete;
    ToolPlatform &operator=(const ToolPlatform &) = delete;
};

// The pinwheel: four blades round a hub, each widening from the hub and
// curling at its tip; turn in radians. plot(x, y, blade) is called for every
// point of blade 0..3, around the centre.
void draw_pinwheel(int centre_x, int centre_y, int radius, double turn,
                   const std::function<void(int x, int y, int blade)> &plot);

// Writes 8-bit rows: RGB triples, or palette indices with the palette's 256
// RGB triples.
bool write_png_rgb(const std::string &path, int width, int height, const uint8_t *rgb);
// RGBA quadruples, for pictures that let what is under them show (icons).
bool write_png_rgba(const std::string &path, int width, int height, const uint8_t *rgba);
bool write_png_indexed(const std::string &path, int width, int height, const uint8_t *indices,
                       const std::vector<uint8_t> &palette);
