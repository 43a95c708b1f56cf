#include "os_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <vector>

#if defined(_WIN32)
#include "os_file.h"

// Windows has neither font among its own: the game ships the two files
// beside itself.
static const std::string dejavu_beside_the_game = os_program_directory() + "DejaVuSans.ttf";
static const std::string ipa_beside_the_game = os_program_directory() + "ipag.ttf";
const char *const os_text_fonts[] = {
    dejavu_beside_the_game.c_str(),
    ipa_beside_the_game.c_str(),
    nullptr,
};
#else
const char *const os_text_fonts[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
    nullptr,
};
#endif

namespace {

// The next code point of a UTF-8 line; a byte that starts no valid sequence
// stands for itself, so a Latin-1 text still shows something readable.
uint32_t next_code_point(const unsigned char **text) {
    const unsigned char *s = *text;
    int length = s[0] < 0x80           ? 1
                 : (s[0] >> 5) == 0x6  ? 2
                 : (s[0] >> 4) == 0xE  ? 3
                 : (s[0] >> 3) == 0x1E ? 4
                                       : 0;
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            length = 0;
            break;
        }
    }
    if (length <= 1) {
        *text = s + 1;
        return s[0];
    }
    uint32_t code = s[0] & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        code = code << 6 | (s[i] & 0x3F);
    }
    *text = s + length;
    return code;
}

struct Faces {
    FT_Library library = nullptr;
    std::vector<FT_Face> faces;

    Faces() {
        if (FT_Init_FreeType(&library) != 0) {
            library = nullptr;
            return;
        }
        for (int i = 0; os_text_fonts[i]; ++i) {
            FT_Face face = nullptr;
            if (FT_New_Face(library, os_text_fonts[i], 0, &face) == 0) {
                FT_Set_Pixel_Sizes(face, 0, OS_TEXT_PIXELS);
                faces.push_back(face);
            }
        }
    }
    ~Faces() {
        for (FT_Face face : faces) {
            FT_Done_Face(face);
        }
        if (library) {
            FT_Done_FreeType(library);
        }
    }
    Faces(const Faces &) = delete;
    Faces &operator=(const Faces &) = delete;

    // The first face that has the character, or the first face (whose
    // missing-glyph box then shows that something is missing).
    FT_Face face_for(uint32_t code) const {
        for (FT_Face face : faces) {
            if (FT_Get_Char_Index(face, code) != 0) {
                return face;
            }
        }
        return faces.front();
    }
};

void blend(uint8_t *pixel, uint32_t colour, int coverage) {
    const int channels[3] = {static_cast<int>(colour >> 16 & 0xFF),
                             static_cast<int>(colour >> 8 & 0xFF), static_cast<int>(colour & 0xFF)};
    for (int c = 0; c < 3; ++c) {
        pixel[c] =
            static_cast<uint8_t>((channels[c] * coverage + pixel[c] * (255 - coverage)) / 255);
    }
}

void put_glyph(uint8_t *rgb, int width, int height, int left, int top, const FT_Bitmap &glyph,
               uint32_t colour) {
    for (int row = 0; row < static_cast<int>(glyph.rows); ++row) {
        const int y = top + row;
        if (y < 0 || y >= height) {
            continue;
        }
        const unsigned char *coverage = glyph.buffer + row * glyph.pitch;
        for (int column = 0; column < static_cast<int>(glyph.width); ++column) {
            const int x = left + column;
            if (x >= 0 && x < width && coverage[column]) {
                blend(rgb + (static_cast<size_t>(y) * width + x) * 3, colour, coverage[column]);
            }
        }
    }
}

} // namespace

int os_text_draw(uint8_t *rgb, int width, int height, int x, int y, const char *utf8,
                 uint32_t colour) {
    const Faces fonts;
    if (fonts.faces.empty()) {
        return 0;
    }
    if (!rgb || !utf8) {
        return 1;
    }
    // Every face sits on the first one's baseline, so mixed scripts line up.
    const int baseline = y + static_cast<int>(fonts.faces.front()->size->metrics.ascender >> 6);
    int pen = x;
    for (const unsigned char *s = reinterpret_cast<const unsigned char *>(utf8); *s;) {
        const uint32_t code = next_code_point(&s);
        const FT_Face face = fonts.face_for(code);
        if (FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) {
            continue;
        }
        const FT_GlyphSlot slot = face->glyph;
        put_glyph(rgb, width, height, pen + slot->bitmap_left, baseline - slot->bitmap_top,
                  slot->bitmap, colour);
        pen += static_cast<int>(slot->advance.x >> 6);
    }
    return 1;
}
