// Rasterises a TrueType font into the game's bitmap-font form: an 8-bit
// PNG sheet of cells, its palette as a raw 768-byte file, and a version-2
// font description naming both.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FontRequest {
    std::string font_file;       // a TrueType or OpenType font
    std::string name;            // the font's name in its description
    std::string output;          // path without extension: .fnt, .png and .pal are written
    int pixel_size = 24;         // the em size
    int cell_width = 0;          // 0: the widest advance of the chosen glyphs
    int cell_height = 0;         // 0: the face's line height
    int columns = 16;            // cells a row of the sheet
    std::vector<uint32_t> codes; // code points; those the font lacks are left out
    uint8_t colour[3] = {255, 255, 255};
};

// "32-126,160-255,8364" into code points; false on a malformed list.
bool parse_code_list(const std::string &text, std::vector<uint32_t> *codes);

// Writes the three files; on failure returns false with the reason.
bool generate_font(const FontRequest &request, std::string *error);
