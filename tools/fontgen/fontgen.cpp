#include "fontgen.h"

#include "art.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

// Coverage below this stays transparent: faint edge pixels would otherwise
// draw a dark fringe around every glyph on a bright background.
constexpr int kCoverageThreshold = 48;

struct Glyph {
    uint32_t code;
    int advance;
    int left, top; // of the rendered bitmap, from the pen on the baseline
    int width, rows;
    std::vector<uint8_t> coverage;
};

struct FreeTypeFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeFace() {
        if (face) {
            FT_Done_Face(face);
        }
        if (library) {
            FT_Done_FreeType(library);
        }
    }
};

bool render(FT_Face face, uint32_t code, Glyph *glyph) {
    FT_UInt index = FT_Get_Char_Index(face, code);
    if (!index || FT_Load_Glyph(face, index, FT_LOAD_RENDER)) {
        return false;
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap &bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows) {
        return false;
    }
    glyph->code = code;
    glyph->advance = static_cast<int>(slot->advance.x >> 6);
    glyph->left = slot->bitmap_left;
    glyph->top = slot->bitmap_top;
    glyph->width = static_cast<int>(bitmap.width);
    glyph->rows = static_cast<int>(bitmap.rows);
    glyph->coverage.resize(static_cast<size_t>(glyph->width) * glyph->rows);
    for (int y = 0; y < glyph->rows; ++y) {
        std::copy_n(bitmap.buffer + static_cast<long>(y) * bitmap.pitch, glyph->width,
                    glyph->coverage.begin() + static_cast<long>(y) * glyph->width);
    }
    return true;
}

uint8_t index_of(uint8_t coverage) {
    if (coverage < kCoverageThreshold) {
        return 0;
    }
    return static_cast<uint8_t>(1 +
                                (coverage - kCoverageThreshold) * 254 / (255 - kCoverageThreshold));
}

// Index 0 is the transparent background; 1..255 run from a dark edge to
// the full colour, so that soft edges read as an outline.
std::vector<uint8_t> make_palette(const uint8_t colour[3]) {
    std::vector<uint8_t> palette(768, 0);
    for (int i = 1; i < 256; ++i) {
        for (int c = 0; c < 3; ++c) {
            int dark = colour[c] / 5;
            palette[i * 3 + c] = static_cast<uint8_t>(dark + (colour[c] - dark) * (i - 1) / 254);
        }
    }
    return palette;
}

struct Sheet {
    int cell_width, cell_height, columns, rows;
    std::vector<uint8_t> pixels; // one index a pixel

    int width() const { return cell_width * columns; }
    int height() const { return cell_height * rows; }
};

// Each glyph centred on its advance in its cell, on a shared baseline.
void place(Sheet &sheet, const Glyph &glyph, int cell, int baseline) {
    int cell_x = cell % sheet.columns * sheet.cell_width;
    int cell_y = cell / sheet.columns * sheet.cell_height;
    int origin_x = cell_x + (sheet.cell_width - glyph.advance) / 2 + glyph.left;
    int origin_y = cell_y + baseline - glyph.top;
    for (int y = 0; y < glyph.rows; ++y) {
        for (int x = 0; x < glyph.width; ++x) {
            int to_x = origin_x + x, to_y = origin_y + y;
            if (to_x < cell_x || to_x >= cell_x + sheet.cell_width || to_y < cell_y ||
                to_y >= cell_y + sheet.cell_height) {
                continue;
            }
            sheet.pixels[static_cast<long>(to_y) * sheet.width() + to_x] =
                index_of(glyph.coverage[static_cast<long>(y) * glyph.width + x]);
        }
    }
}

void append_utf_8(std::string *text, uint32_t code) {
    if (code < 0x80) {
        *text += static_cast<char>(code);
    } else if (code < 0x800) {
        *text += static_cast<char>(0xC0 | code >> 6);
        *text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *text += static_cast<char>(0xE0 | code >> 12);
        *text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *text += static_cast<char>(0xF0 | code >> 18);
        *text += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        *text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string base_name(const std::string &path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string description(const FontRequest &request, const Sheet &sheet,
                        const std::vector<Glyph> &glyphs) {
    std::string base = base_name(request.output);
    std::ostringstream out;
    out << "[Font Properties]\r\n"
        << "Name=" << request.name << "\r\n"
        << "Version=2\r\n"
        << "Width=" << sheet.cell_width << "\r\n"
        << "Height=" << sheet.cell_height << "\r\n"
        << "NumFiles=1\r\n"
        << "Palette=" << base << ".pal\r\n"
        << "\r\n"
        << "[File000001]\r\n"
        << "Name=" << base << ".png\r\n"
        << "Type=1\r\n"
        << "NumLines=" << sheet.rows << "\r\n";
    for (int row = 0; row < sheet.rows; ++row) {
        std::string line;
        for (int column = 0; column < sheet.columns; ++column) {
            size_t i = static_cast<size_t>(row) * sheet.columns + column;
            if (i < glyphs.size()) {
                append_utf_8(&line, glyphs[i].code);
            }
        }
        char key[16];
        snprintf(key, sizeof key, "Line%03d", row + 1);
        out << key << "=" << line << "\r\n";
    }
    return out.str();
}

bool write_file(const std::string &path, const std::string &bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace

bool parse_code_list(const std::string &text, std::vector<uint32_t> *codes) {
    std::istringstream in(text);
    std::string range;
    while (std::getline(in, range, ',')) {
        unsigned long first = 0, last = 0;
        int used = 0;
        if (sscanf(range.c_str(), "%lu-%lu%n", &first, &last, &used) == 2 &&
            used == static_cast<int>(range.size())) {
        } else if (sscanf(range.c_str(), "%lu%n", &first, &used) == 1 &&
                   used == static_cast<int>(range.size())) {
            last = first;
        } else {
            return false;
        }
        if (first > last || last > 0x10FFFF) {
            return false;
        }
        for (unsigned long code = first; code <= last; ++code) {
            codes->push_back(static_cast<uint32_t>(code));
        }
    }
    return !codes->empty();
}

bool generate_font(const FontRequest &request, std::string *error) {
    FreeTypeFace ft;
    if (FT_Init_FreeType(&ft.library) ||
        FT_New_Face(ft.library, request.font_file.c_str(), 0, &ft.face)) {
        *error = "cannot open " + request.font_file;
        return false;
    }
    if (request.pixel_size < 1 || request.columns < 1 ||
        FT_Set_Pixel_Sizes(ft.face, 0, static_cast<FT_UInt>(request.pixel_size))) {
        *error = "bad size or column count";
        return false;
    }
    std::vector<Glyph> glyphs;
    for (uint32_t code : request.codes) {
        Glyph glyph;
        // Control characters have no cell: a line of the description could not hold them.
        if (code >= 32 && code != 127 && render(ft.face, code, &glyph)) {
            glyphs.push_back(std::move(glyph));
        }
    }
    if (glyphs.empty()) {
        *error = "the font has none of the characters asked for";
        return false;
    }
    int line_height = static_cast<int>(ft.face->size->metrics.height >> 6);
    int ascender = static_cast<int>(ft.face->size->metrics.ascender >> 6);
    int widest = 0;
    for (const Glyph &glyph : glyphs) {
        widest = std::max(widest, glyph.advance);
    }
    Sheet sheet;
    sheet.cell_width = request.cell_width > 0 ? request.cell_width : widest;
    sheet.cell_height = request.cell_height > 0 ? request.cell_height : line_height;
    sheet.columns = std::min<int>(request.columns, static_cast<int>(glyphs.size()));
    sheet.rows = static_cast<int>((glyphs.size() + sheet.columns - 1) / sheet.columns);
    sheet.pixels.assign(static_cast<size_t>(sheet.width()) * sheet.height(), 0);
    int baseline = ascender + (sheet.cell_height - line_height) / 2;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        place(sheet, glyphs[i], static_cast<int>(i), baseline);
    }
    std::vector<uint8_t> palette = make_palette(request.colour);
    if (!write_png_indexed(request.output + ".png", sheet.width(), sheet.height(),
                           sheet.pixels.data(), palette) ||
        !write_file(request.output + ".pal", std::string(palette.begin(), palette.end())) ||
        !write_file(request.output + ".fnt", description(request, sheet, glyphs))) {
        *error = "cannot write " + request.output + ".fnt, .png or .pal";
        return false;
    }
    return true;
}
