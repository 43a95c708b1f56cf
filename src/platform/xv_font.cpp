#include "xv_font.h"

#include "xv_dsp.h"
#include "xv_error.h"
#include "xv_flic.h"
#include "xv_io.h"
#include "xv_io_ini.h"
#include "xv_mem.h"
#include "xv_str.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum Error {
    INVALID_FONT,
    NO_FILE,
    INVALID_FORMAT,
    NO_MEMORY,
    NO_PALETTE,
    INCOMPLETE,
    DEFINED_TWICE,
    NO_FRAME_MEMORY,
    BITMAP_TOO_SMALL,
    NOT_UTF_8,
};

const char *const messages[] = {
    "Invalid font pointer",
    "Couldn't find the font file",
    "Invalid font file format",
    "Not enough free memory to load the font",
    "Couldn't load the font palette",
    "Some characters couldn't be loaded. The text might be displayed incorrectly",
    "A character is defined more than once in the font",
    "Couldn't reallocate the memory to load an animated character",
    "The size of the bitmap is smaller than the size of the character",
    "The string isn't UTF-8 compliant",
    nullptr,
};

constexpr uint32_t kSpace = 32;
constexpr int kTableGrowth = 10;
constexpr int kCodeGrowth = 10;
constexpr int kMaxCell = 4096;
constexpr int kMaxImageName = 520;
constexpr long kMaxCutBytes = 64L << 20; // all the frames one animation may cut

struct FontModule {
    XV_FONT_CONFIG *config = nullptr;
    int module = -1;
    char *format_buffer = nullptr;
    uint32_t *codes = nullptr; // the text being measured or drawn
    int capacity = 0;
};
FontModule state;

bool reporting() {
    return (state.config && state.config->report) || xv_error_reporting();
}

void report(Error code, const std::string &detail = {}) {
    xv_error_report(state.module, code, reporting(), "%s", detail.c_str());
}

void label(void *block, const std::string &name) {
    if (block && state.config && state.config->report) {
        xv_mem_set_name(block, name.c_str());
    }
}

// ---- UTF-8 ----------------------------------------------------------------------

// Continuation bytes a lead byte announces, or -1 when it cannot lead.
int continuation_count(uint8_t lead) {
    if (lead < 0x80) {
        return 0;
    }
    if ((lead & 0xE0) == 0xC0) {
        return 1;
    }
    if ((lead & 0xF0) == 0xE0) {
        return 2;
    }
    if ((lead & 0xF8) == 0xF0) {
        return 3;
    }
    return -1;
}

void report_sequence(const char *text, const uint8_t *sequence, int length) {
    std::string bytes(reinterpret_cast<const char *>(sequence), static_cast<size_t>(length));
    report(NOT_UTF_8, xv_str_format("In %s, %s is an invalid UTF-8 code", text, bytes.c_str()));
}

// A sequence is checked byte by byte: every continuation must be 10xxxxxx.
// A byte that cannot lead is reported and skipped; a sequence the text's
// end cuts short ends the decoding, never read past.
void decode_utf_8(const char *text, std::vector<uint32_t> *codes) {
    bool checking = reporting();
    const auto *at = reinterpret_cast<const uint8_t *>(text);
    while (*at) {
        int more = continuation_count(*at);
        if (more < 0) {
            if (checking) {
                report_sequence(text, at, 1);
            }
            ++at;
            continue;
        }
        int available = 0;
        while (available < more && at[1 + available]) {
            ++available;
        }
        bool bad = available < more;
        for (int i = 1; i <= available; ++i) {
            bad |= (at[i] & 0xC0) != 0x80;
        }
        if (bad && checking) {
            report_sequence(text, at, more == 1 ? 1 : available + 1);
        }
        if (available < more) {
            return;
        }
        uint32_t code = more == 0 ? *at : *at & (0x3F >> more);
        for (int i = 1; i <= more; ++i) {
            code = code << 6 | (at[i] & 0x3F);
        }
        codes->push_back(code);
        at += 1 + more;
    }
}

void decode(const char *text, bool utf_8, std::vector<uint32_t> *codes) {
    codes->clear();
    if (utf_8) {
        decode_utf_8(text, codes);
        return;
    }
    for (const char *at = text; *at; ++at) {
        codes->push_back(static_cast<uint8_t>(*at));
    }
}

bool decodes_utf_8(const XV_FONT *font, int flags) {
    return font->version != 1 && !(flags & XV_FONT_BYTES);
}

// ---- the character table -----------------------------------------------------------

XV_FONT_ENTRY *entry_of(const XV_FONT *font, uint32_t code) {
    int place = xv_font_find(font, code);
    return place ? &font->table[place - 1] : nullptr;
}

// A new entry in its sorted place; null when the table cannot grow.
XV_FONT_ENTRY *insert_entry(XV_FONT *font, uint32_t code) {
    if (font->count == font->capacity) {
        int capacity = font->capacity + kTableGrowth;
        auto *table = static_cast<XV_FONT_ENTRY *>(
            xv_mem_realloc(font->table, sizeof(XV_FONT_ENTRY) * capacity));
        if (!table) {
            report(NO_MEMORY);
            return nullptr;
        }
        font->table = table;
        font->capacity = capacity;
    }
    XV_FONT_ENTRY *end = font->table + font->count;
    XV_FONT_ENTRY *place = std::lower_bound(
        font->table, end, code, [](const XV_FONT_ENTRY &e, uint32_t c) { return e.code < c; });
    memmove(place + 1, place, sizeof(XV_FONT_ENTRY) * (end - place));
    *place = XV_FONT_ENTRY{code, 1, 0, nullptr};
    font->count++;
    return place;
}

void remove_entry(XV_FONT *font, XV_FONT_ENTRY *entry) {
    XV_FONT_ENTRY *end = font->table + font->count;
    memmove(entry, entry + 1, sizeof(XV_FONT_ENTRY) * (end - entry - 1));
    font->count--;
}

void free_character(XV_FONT_CHAR *character) {
    if (character) {
        xv_mem_release(character->frames);
        xv_mem_free(character);
    }
}

std::string code_text(uint32_t code) {
    return code >= 256 ? xv_str_format("%04x", code) : std::string(1, static_cast<char>(code));
}

// ---- loading ------------------------------------------------------------------

struct Loader {
    XV_FONT *font;
    const char *file_name;
    std::string directory; // the font file's, with its separator
    int options;
    bool failed = false; // some section or line could not be loaded
    char section[16] = "";
};

std::string directory_of(const char *file_name) {
    char directory[kMaxImageName + 1];
    return xv_io_fgetdir(file_name, directory, sizeof directory) > 0 ? directory : "";
}

bool read_text(const Loader &loader, const char *section, const char *key, char *buffer, int size) {
    xv_io_ini_read(section, key, buffer, size, loader.file_name);
    return !xv_io_ini_status(1);
}

bool read_int(const Loader &loader, const char *section, const char *key, int *value) {
    xv_io_ini_read_int(section, key, value, loader.file_name);
    return !xv_io_ini_status(1);
}

// "NumLines" or, in older files, "NbLines".
bool read_count(const Loader &loader, const char *section, const char *key, const char *old_key,
                int *value) {
    return read_int(loader, section, key, value) || read_int(loader, section, old_key, value);
}

bool add_image(XV_FONT *font, XV_BITMAP *image) {
    auto *images = static_cast<XV_BITMAP **>(
        xv_mem_realloc(font->images, sizeof(XV_BITMAP *) * (font->num_images + 1)));
    if (!images) {
        report(NO_MEMORY);
        return false;
    }
    font->images = images;
    font->images[font->num_images++] = image;
    return true;
}

XV_BITMAP *new_image() {
    auto *image = static_cast<XV_BITMAP *>(xv_mem_calloc(1, sizeof(XV_BITMAP)));
    if (!image) {
        report(NO_MEMORY);
    }
    return image;
}

void free_image(XV_BITMAP *image) {
    xv_bit_free(image);
    xv_mem_free(image);
}

// The bounding box of the cell's non-transparent pixels, in the cell.
XV_RECT visible_part(const XV_BITMAP *image, const XV_RECT &cell) {
    int left = cell.width, right = -1, top = cell.height, bottom = -1;
    for (int y = 0; y < cell.height; ++y) {
        for (int x = 0; x < cell.width; ++x) {
            if (!xv_bit_is_transparent_at(image, cell.x + x, cell.y + y)) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) {
        return {0, 0, 0, 0};
    }
    return {static_cast<int16_t>(left), static_cast<int16_t>(top),
            static_cast<int16_t>(right - left + 1), static_cast<int16_t>(bottom - top + 1)};
}

XV_FONT_FRAME make_frame(const Loader &loader, uint32_t code, XV_BITMAP *image, int x, int y,
                         int width, int height, bool new_palette) {
    XV_FONT_FRAME frame{};
    frame.new_palette = new_palette;
    frame.image = image;
    frame.x = static_cast<int16_t>(x);
    frame.y = static_cast<int16_t>(y);
    frame.cell = {frame.x, frame.y, static_cast<int16_t>(width), static_cast<int16_t>(height)};
    frame.visible = {0, 0, frame.cell.width, frame.cell.height};
    if (code == kSpace) {
        frame.visible.width = static_cast<int16_t>(width / 2);
    } else if (loader.options & XV_FONT_LOAD_PROPORTIONAL) {
        frame.visible = visible_part(image, frame.cell);
    }
    return frame;
}

bool append_frame(XV_FONT_CHAR *character, const XV_FONT_FRAME &frame) {
    if (character->num_frames == UINT16_MAX) {
        report(NO_FRAME_MEMORY);
        return false;
    }
    auto *frames = static_cast<XV_FONT_FRAME *>(
        xv_mem_realloc(character->frames, sizeof(XV_FONT_FRAME) * (character->num_frames + 1)));
    if (!frames) {
        report(NO_FRAME_MEMORY);
        return false;
    }
    character->frames = frames;
    character->frames[character->num_frames++] = frame;
    return true;
}

// Cuts one character's cell from the image: a new character, or another
// frame of one met before when the options allow it.
void cut_character(Loader &loader, uint32_t code, XV_BITMAP *image, int x, int y, int width,
                   int height, bool new_palette, bool next_frame) {
    XV_FONT *font = loader.font;
    XV_FONT_FRAME frame = make_frame(loader, code, image, x, y, width, height, new_palette);
    if (XV_FONT_ENTRY *entry = entry_of(font, code)) {
        if (!next_frame && !(loader.options & XV_FONT_LOAD_MORE_FRAMES)) {
            report(DEFINED_TWICE, code_text(code));
            return;
        }
        append_frame(entry->character, frame);
        return;
    }
    auto *character = static_cast<XV_FONT_CHAR *>(xv_mem_calloc(1, sizeof(XV_FONT_CHAR)));
    XV_FONT_ENTRY *entry = character ? insert_entry(font, code) : nullptr;
    if (!entry) {
        xv_mem_release(character);
        report(NO_MEMORY);
        loader.failed = true;
        return;
    }
    entry->character = character;
    label(character, xv_str_format("XV_CHAR %s", code_text(code).c_str()));
    if (!append_frame(character, frame)) {
        remove_entry(font, entry);
        free_character(character);
        loader.failed = true;
    }
}

// Cuts row `row` (from 0) of cells from the image, one character a cell.
// An animation's frames after its first add frames to the characters the
// first one made.
void cut_line(Loader &loader, const std::vector<uint32_t> &codes, const char *line, int row,
              XV_BITMAP *image, int cell_width, int cell_height, bool new_palette,
              bool next_frame = false) {
    long line_width = static_cast<long>(codes.size()) * cell_width;
    long top = static_cast<long>(row) * cell_height;
    if (line_width > image->width || top + cell_height > image->height) {
        report(BITMAP_TOO_SMALL,
               xv_str_format("Bitmap %s [%s] is %dx%d, and characters \"%s\" are %ldx%d",
                             loader.file_name, loader.section, image->width, image->height, line,
                             line_width, cell_height));
        loader.failed = true;
    }
    if (top + cell_height > image->height) {
        return;
    }
    for (size_t i = 0; i < codes.size(); ++i) {
        long left = static_cast<long>(i) * cell_width;
        if (left + cell_width > image->width) {
            break;
        }
        cut_character(loader, codes[i], image, static_cast<int>(left), static_cast<int>(top),
                      cell_width, cell_height, new_palette && i == 0, next_frame);
    }
}

// The lines of an image section, decoded; a missing line stays empty.
struct Line {
    std::string text;
    std::vector<uint32_t> codes;
};

std::vector<Line> read_lines(Loader &loader, int count) {
    std::vector<Line> lines(static_cast<size_t>(count));
    char text[512];
    for (int j = 0; j < count; ++j) {
        char key[16];
        snprintf(key, sizeof key, "Line%03d", j + 1);
        if (!read_text(loader, loader.section, key, text, sizeof text - 1)) {
            loader.failed = true;
            continue;
        }
        lines[j].text = text;
        decode(text, loader.font->version != 1, &lines[j].codes);
    }
    return lines;
}

void share_palette(XV_FONT *font, XV_BITMAP *image) {
    if (!image->palette && font->palette && image->type <= 8) {
        image->palette = xv_pal_add_reference(font->palette);
    }
    if (!font->palette && image->palette) {
        font->palette = xv_pal_add_reference(image->palette);
    }
}

bool load_picture(Loader &loader, const char *name, int type, int line_count) {
    XV_FONT *font = loader.font;
    int cell_width = font->width, cell_height = font->height;
    if (type == 2) {
        int width = 0, height = 0;
        if (read_int(loader, loader.section, "Width", &width) && width > 0 && width <= kMaxCell) {
            cell_width = width;
        }
        if (read_int(loader, loader.section, "Height", &height) && height > 0 &&
            height <= kMaxCell) {
            cell_height = height;
        }
    }
    std::vector<Line> lines = read_lines(loader, line_count);
    XV_BITMAP *image = new_image();
    if (!image) {
        return false;
    }
    std::string path = loader.directory + name;
    if (!xv_bit_load(image, path.c_str(), loader.options & XV_FONT_LOAD_PALETTE)) {
        xv_mem_free(image);
        return false;
    }
    if (!add_image(font, image)) {
        free_image(image);
        return false;
    }
    label(image->pixels, xv_str_format("XV_FONT %s [%s]", loader.file_name, loader.section));
    bool new_palette = image->palette != nullptr;
    share_palette(font, image);
    for (int j = 0; j < line_count; ++j) {
        if (!lines[j].codes.empty()) {
            cut_line(loader, lines[j].codes, lines[j].text.c_str(), j, image, cell_width,
                     cell_height, new_palette);
            new_palette = false;
        }
    }
    return true;
}

// The window every frame of an animation is cut from.
bool animation_window(Loader &loader, XV_FLIC *flic, int type, int line_count, XV_RECT *window) {
    long x = 0, y = 0;
    long width = loader.font->width;
    long height = static_cast<long>(loader.font->height) * line_count;
    if (type == 5 || type == 7) {
        int values[4] = {};
        const char *keys[4] = {"X", "Y", "Width", "Height"};
        for (int i = 0; i < 4; ++i) {
            read_int(loader, loader.section, keys[i], &values[i]);
        }
        x = values[0], y = values[1], width = values[2], height = values[3];
        if (width == 0 && height == 0) {
            // The area drawn over all the frames.
            long left = flic->width, top = flic->height, right = -1, bottom = -1;
            for (int f = 0; f < flic->num_frames; ++f) {
                xv_flic_next_frame(flic, 1);
                for (long row = 0; row < flic->height; ++row) {
                    for (long column = 0; column < flic->width; ++column) {
                        if (flic->pixels[row * flic->width + column]) {
                            left = std::min(left, column), right = std::max(right, column);
                            top = std::min(top, row), bottom = std::max(bottom, row);
                        }
                    }
                }
            }
            xv_flic_rewind(flic);
            xv_flic_clear(flic);
            if (right < 0) {
                return false;
            }
            x = left, y = top, width = right - left + 1, height = bottom - top + 1;
        }
    }
    if (x < 0 || y < 0 || width < 1 || height < 1 || width > INT16_MAX || height > INT16_MAX ||
        x + width > flic->width || y + height > flic->height) {
        return false;
    }
    *window = {static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(width),
               static_cast<int16_t>(height)};
    return true;
}

// One frame of the animation's window as an 8-bit picture with the
// animation's palette; a changed palette makes a new one.
XV_BITMAP *cut_animation_frame(XV_FLIC *flic, const XV_RECT &window, XV_PALETTE **palette,
                               bool *new_palette) {
    XV_BITMAP *image = new_image();
    XV_RECT size = {0, 0, window.width, window.height};
    if (!image || !xv_bit_alloc(image, &size, XV_BIT_BPP8)) {
        xv_mem_release(image);
        report(NO_MEMORY);
        return nullptr;
    }
    for (int row = 0; row < window.height; ++row) {
        memcpy(image->pixels + static_cast<long>(row) * window.width,
               flic->pixels + static_cast<long>(window.y + row) * flic->width + window.x,
               window.width);
    }
    *new_palette = !*palette || flic->palette->changed;
    if (*new_palette) {
        xv_pal_free(*palette);
        *palette = xv_pal_alloc(flic->palette, 256, XV_PAL_RGB);
        flic->palette->changed = 0;
    }
    image->palette = *palette ? xv_pal_add_reference(*palette) : nullptr;
    return image;
}

bool load_animation(Loader &loader, const char *name, int type, int line_count) {
    std::vector<Line> lines = read_lines(loader, line_count);
    std::string path = loader.directory + name;
    XV_FLIC flic{};
    if (!xv_flic_open(&flic, path.c_str(), 1)) {
        return false;
    }
    XV_RECT window;
    bool loaded = animation_window(loader, &flic, type, line_count, &window);
    long frame_bytes = static_cast<long>(window.width) * window.height;
    if (loaded && frame_bytes * flic.num_frames > kMaxCutBytes) {
        report(NO_MEMORY, xv_str_format("%s [%s]", loader.file_name, loader.section));
        loaded = false;
    }
    XV_PALETTE *palette = nullptr;
    for (int f = 0; loaded && f < flic.num_frames; ++f) {
        xv_flic_next_frame(&flic, 1);
        bool new_palette = false;
        XV_BITMAP *image = cut_animation_frame(&flic, window, &palette, &new_palette);
        if (!image || !add_image(loader.font, image)) {
            if (image) {
                free_image(image);
            }
            loaded = false;
            break;
        }
        share_palette(loader.font, image);
        for (int j = 0; j < line_count; ++j) {
            if (!lines[j].codes.empty()) {
                cut_line(loader, lines[j].codes, lines[j].text.c_str(), j, image,
                         loader.font->width, loader.font->height, new_palette, f > 0);
                new_palette = false;
            }
        }
    }
    xv_pal_free(palette);
    xv_flic_close(&flic);
    return loaded;
}

// One image section; false when it could not be loaded.
bool load_section(Loader &loader, int index) {
    snprintf(loader.section, sizeof loader.section,
             loader.font->version == 1 ? "File%03d" : "File%06d", index);
    char name[kMaxImageName + 1];
    int type = 0, line_count = 0;
    if (!read_text(loader, loader.section, "Name", name, kMaxImageName) ||
        !read_int(loader, loader.section, "Type", &type) ||
        !read_count(loader, loader.section, "NumLines", "NbLines", &line_count) || line_count < 0 ||
        line_count > 999) {
        return false;
    }
    switch (type) {
    case 1:
    case 2:
        return load_picture(loader, name, type, line_count);
    case 3:
        return true;
    case 4:
    case 5:
    case 6:
    case 7:
        return load_animation(loader, name, type, line_count);
    default:
        return false;
    }
}

// Every font has a space: when the pictures give none, an empty cell.
void add_space(XV_FONT *font) {
    if (xv_font_find(font, kSpace)) {
        return;
    }
    XV_RECT cell = {0, 0, static_cast<int16_t>(font->width), static_cast<int16_t>(font->height)};
    XV_BITMAP *image = new_image();
    if (!image) {
        return;
    }
    if (!xv_bit_alloc(image, &cell, XV_BIT_BPP8)) {
        xv_mem_free(image);
        report(NO_MEMORY);
        return;
    }
    if (!add_image(font, image)) {
        free_image(image);
        return;
    }
    // From here the image is the font's, freed with it whatever happens.
    auto *character = static_cast<XV_FONT_CHAR *>(xv_mem_calloc(1, sizeof(XV_FONT_CHAR)));
    auto *frame = static_cast<XV_FONT_FRAME *>(xv_mem_calloc(1, sizeof(XV_FONT_FRAME)));
    XV_FONT_ENTRY *entry = character && frame ? insert_entry(font, kSpace) : nullptr;
    if (!entry) {
        xv_mem_release(frame);
        xv_mem_release(character);
        report(NO_MEMORY);
        return;
    }
    label(character, "XV_CHAR Space Character");
    label(frame, "XV_CHAR_DATA Space Character");
    label(image->pixels, "XV_BITMAP Space Character");
    // Empty, but drawable into any depth.
    image->palette =
        font->palette ? xv_pal_add_reference(font->palette) : xv_pal_grayscale_get(256);
    *frame = {0, image, 0, 0, cell, {0, 0, static_cast<int16_t>(cell.width / 2), cell.height}};
    character->num_frames = 1;
    character->frames = frame;
    entry->character = character;
}

// "MapSrc" character k is drawn with the glyph of "MapDst" character k.
void add_aliases(Loader &loader) {
    char sources[512], targets[512];
    if (!read_text(loader, "Character Properties", "MapSrc", sources, sizeof sources - 1) ||
        !read_text(loader, "Character Properties", "MapDst", targets, sizeof targets - 1)) {
        return;
    }
    std::vector<uint32_t> from, to;
    decode(sources, loader.font->version != 1, &from);
    decode(targets, loader.font->version != 1, &to);
    for (size_t k = 0; k < std::min(from.size(), to.size()); ++k) {
        XV_FONT_ENTRY *target = entry_of(loader.font, to[k]);
        if (xv_font_find(loader.font, from[k]) || !target) {
            continue;
        }
        XV_FONT_CHAR *character = target->character;
        if (XV_FONT_ENTRY *alias = insert_entry(loader.font, from[k])) {
            alias->alias = 1;
            alias->character = character;
        }
    }
}

bool read_properties(Loader &loader) {
    XV_FONT *font = loader.font;
    const char *section = "Font Properties";
    char name[256];
    int version = 1, width = 0, height = 0, files = 0;
    std::string detail = xv_str_format("%s [%s]", loader.file_name, section);
    if (!read_text(loader, section, "Name", name, sizeof name - 1)) {
        report(INVALID_FORMAT, detail + " Name");
        return false;
    }
    read_int(loader, section, "Version", &version);
    font->version = version == 2 ? 2 : 1;
    if (!read_int(loader, section, "Width", &width) ||
        !read_int(loader, section, "Height", &height) || width < 1 || height < 1 ||
        width > kMaxCell || height > kMaxCell) {
        report(INVALID_FORMAT, detail + " Width, Height");
        return false;
    }
    font->width = static_cast<uint16_t>(width);
    font->height = static_cast<uint16_t>(height);
    int most_files = font->version == 1 ? 999 : 999999;
    if (!read_count(loader, section, "NumFiles", "NbFiles", &files) || files < 0 ||
        files > most_files) {
        report(INVALID_FORMAT, detail + " NumFiles");
        return false;
    }
    char palette[kMaxImageName + 1];
    if (read_text(loader, section, "Palette", palette, kMaxImageName) && palette[0]) {
        std::string path = loader.directory + palette;
        font->palette = xv_pal_load(path.c_str());
        if (!font->palette) {
            report(NO_PALETTE, path);
            return false;
        }
    }
    for (int i = 1; i <= files; ++i) {
        if (!load_section(loader, i)) {
            loader.failed = true;
        }
    }
    label(font->table, xv_str_format("XV_FONT %s", name));
    return true;
}

} // namespace

int xv_font_init(XV_FONT_CONFIG *config) {
    state.config = config;
    state.module = xv_error_register("Font", messages);
    if (!state.format_buffer) {
        state.format_buffer = static_cast<char *>(xv_mem_calloc(1, XV_FONT_FORMAT_SIZE));
        label(state.format_buffer, "xv_font format buffer");
    }
    return 1;
}

int xv_font_deinit() {
    xv_mem_release(state.format_buffer);
    xv_mem_release(state.codes);
    state.format_buffer = nullptr;
    state.codes = nullptr;
    state.capacity = 0;
    return 1;
}

int xv_font_load(XV_FONT *font, const char *file_name, int options) {
    if (!font || !file_name) {
        report(INVALID_FONT);
        return 0;
    }
    *font = XV_FONT{};
    if (!xv_io_fexist(file_name, XV_IO_THROUGH_LAYER)) {
        report(NO_FILE, file_name);
        return 0;
    }
    Loader loader{font, file_name, directory_of(file_name), options};
    XV_INI_QUIET quiet; // missing keys are reported below, as font errors
    xv_io_ini_set_mode(file_name, KEEP_OPEN);
    bool loaded = read_properties(loader);
    if (loaded) {
        add_space(font);
        add_aliases(loader);
    }
    xv_io_ini_set_mode(file_name, KEEP_CLOSE);
    if (!loaded) {
        xv_font_free(font);
        return 0;
    }
    if (loader.failed) {
        font->incomplete = 1;
        report(INCOMPLETE, file_name);
    }
    return 1;
}

void xv_font_free(XV_FONT *font) {
    if (!font) {
        report(INVALID_FONT);
        return;
    }
    for (int i = 0; i < font->count; ++i) {
        if (!font->table[i].alias) {
            free_character(font->table[i].character);
        }
    }
    for (int i = 0; i < font->num_images; ++i) {
        free_image(font->images[i]);
    }
    xv_mem_release(font->images);
    xv_mem_release(font->table);
    xv_pal_free(font->palette);
    *font = XV_FONT{};
}

int xv_font_find(const XV_FONT *font, uint32_t code) {
    if (!font || !font->table) {
        return 0;
    }
    const XV_FONT_ENTRY *begin = font->table;
    const XV_FONT_ENTRY *end = begin + font->count;
    const XV_FONT_ENTRY *place = std::lower_bound(
        begin, end, code, [](const XV_FONT_ENTRY &e, uint32_t c) { return e.code < c; });
    return place != end && place->code == code ? static_cast<int>(place - font->table) + 1 : 0;
}

int xv_font_char_frames(const XV_FONT *font, uint32_t code) {
    const XV_FONT_ENTRY *entry = entry_of(font, code);
    return entry ? entry->character->num_frames : 0;
}

XV_BITMAP *xv_font_get_frame(const XV_FONT *font, uint32_t code, int frame, XV_RECT *cell,
                             XV_RECT *visible) {
    const XV_FONT_ENTRY *entry = entry_of(font, code);
    if (!entry || !entry->character->num_frames) {
        return nullptr;
    }
    int count = entry->character->num_frames;
    int index = frame < 1 ? 0 : (frame - 1) % count;
    const XV_FONT_FRAME &chosen = entry->character->frames[index];
    if (cell) {
        *cell = chosen.cell;
    }
    if (visible) {
        *visible = chosen.visible;
    }
    return chosen.image;
}

int xv_font_utf_8_to_unicode(uint32_t **buffer, int *capacity, const char *text, int flags) {
    if (!buffer || !capacity || !text) {
        return 0;
    }
    std::vector<uint32_t> codes;
    decode(text, flags & XV_FONT_UTF_8, &codes);
    int needed = static_cast<int>(codes.size()) + 1;
    if (needed > *capacity && (flags & XV_FONT_GROW)) {
        // A byte a code: exactly the text. Decoded: in steps of ten.
        int grown =
            !(flags & XV_FONT_UTF_8) || !*buffer
                ? needed
                : *capacity + (needed - *capacity + kCodeGrowth - 1) / kCodeGrowth * kCodeGrowth;
        auto *codes_buffer =
            static_cast<uint32_t *>(xv_mem_realloc(*buffer, sizeof(uint32_t) * grown));
        if (!codes_buffer) {
            report(NO_MEMORY);
            return 0;
        }
        label(codes_buffer, xv_str_format("xv_font_utf_8_to_unicode buffer [%d]", grown));
        *buffer = codes_buffer;
        *capacity = grown;
    }
    if (*capacity < 1 || !*buffer) {
        return 0;
    }
    int count = std::min(needed, *capacity) - 1;
    std::copy_n(codes.begin(), count, *buffer);
    (*buffer)[count] = 0;
    return count;
}

namespace {

// The codes of a text as the font reads it, in the module's buffer.
int text_codes(const XV_FONT *font, const char *text, int flags) {
    int decoding = decodes_utf_8(font, flags) ? XV_FONT_UTF_8 : 0;
    return xv_font_utf_8_to_unicode(&state.codes, &state.capacity, text, decoding | XV_FONT_GROW);
}

int advance(const XV_FONT *font, uint32_t code, bool proportional) {
    XV_RECT visible;
    if (!xv_font_get_frame(font, code, 1, nullptr, &visible)) {
        return proportional ? font->width / 2 + 1 : font->width;
    }
    return proportional ? visible.width + 1 : font->width;
}

// The part of the frame's picture a glyph is drawn from: proportional
// glyphs lose their empty columns, never their rows.
XV_RECT glyph_source(const XV_RECT &cell, const XV_RECT &visible, bool proportional) {
    if (!proportional) {
        return cell;
    }
    return {static_cast<int16_t>(cell.x + visible.x), cell.y, visible.width, cell.height};
}

// Draws the source part at (x, y), cut to the clip rectangle.
void draw_glyph(XV_BITMAP *destination, XV_BITMAP *image, XV_RECT from, long x, long y,
                const XV_RECT &clip) {
    long left = std::max<long>(x, clip.x);
    long top = std::max<long>(y, clip.y);
    long right = std::min<long>(x + from.width, clip.x + clip.width);
    long bottom = std::min<long>(y + from.height, clip.y + clip.height);
    if (right <= left || bottom <= top) {
        return;
    }
    XV_RECT source = {static_cast<int16_t>(from.x + left - x),
                      static_cast<int16_t>(from.y + top - y), static_cast<int16_t>(right - left),
                      static_cast<int16_t>(bottom - top)};
    XV_RECT to = {static_cast<int16_t>(left), static_cast<int16_t>(top), source.width,
                  source.height};
    xv_bit_copy_transp(destination, image, &to, &source, 0);
}

bool overlaps(const XV_RECT &area, const XV_BITMAP *bitmap) {
    return area.width > 0 && area.height > 0 && area.x < bitmap->width && area.y < bitmap->height &&
           area.x + area.width > 0 && area.y + area.height > 0;
}

} // namespace

int xv_font_text_size(XV_FONT *font, const char *text, XV_RECT *size, int flags) {
    if (!font || !text || !size) {
        report(INVALID_FONT);
        return 0;
    }
    int count = text_codes(font, text, flags);
    long width = 0;
    for (int i = 0; i < count; ++i) {
        width += advance(font, state.codes[i], flags & XV_FONT_PROPORTIONAL);
    }
    *size = {0, 0, static_cast<int16_t>(std::min<long>(width, INT16_MAX)),
             static_cast<int16_t>(font->height)};
    return 1;
}

int xv_font_draw_text(XV_FONT *font, XV_BITMAP *destination, const XV_RECT *area, int flags,
                      const char *format, ...) {
    if (!font || !destination || !format || !state.format_buffer) {
        report(INVALID_FONT);
        return 0;
    }
    XV_RECT box =
        area ? *area : XV_RECT{0, 0, destination->width, static_cast<int16_t>(font->height)};
    if (!overlaps(box, destination)) {
        return 0;
    }
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(state.format_buffer, XV_FONT_FORMAT_SIZE, format, arguments);
    va_end(arguments);
    if (length < 0 || length >= XV_FONT_FORMAT_SIZE) {
        xv_warning(xv_str_format("Text over %d characters in xv_font_draw_text (): %.40s...",
                                 XV_FONT_FORMAT_SIZE - 1, state.format_buffer)
                       .c_str(),
                   nullptr, 0);
        return 0;
    }
    bool proportional = flags & XV_FONT_PROPORTIONAL;
    int count = text_codes(font, state.format_buffer, flags);
    long width = 0;
    for (int i = 0; i < count; ++i) {
        width += advance(font, state.codes[i], proportional);
    }
    long x = box.x, y = box.y;
    if (flags & (XV_FONT_CENTRE | XV_FONT_RIGHT) && width < box.width) {
        x += flags & XV_FONT_CENTRE ? (box.width - width) / 2 : box.width - width;
    }
    if (flags & XV_FONT_MIDDLE) {
        y += (box.height - font->height) / 2;
    }
    for (int i = 0; i < count; ++i) {
        XV_RECT cell, visible;
        if (XV_BITMAP *image = xv_font_get_frame(font, state.codes[i], 1, &cell, &visible)) {
            draw_glyph(destination, image, glyph_source(cell, visible, proportional), x, y, box);
        }
        x += advance(font, state.codes[i], proportional);
    }
    return static_cast<int>(width);
}

int xv_font_draw_char(XV_FONT *font, uint32_t code, int frame, XV_BITMAP *destination,
                      const XV_RECT *area, int flags) {
    if (!font || !destination || !area) {
        report(INVALID_FONT);
        return 0;
    }
    XV_RECT cell, visible;
    XV_BITMAP *image = xv_font_get_frame(font, code, frame, &cell, &visible);
    if (!image) {
        return 0;
    }
    bool proportional = flags & XV_FONT_PROPORTIONAL;
    XV_RECT from = glyph_source(cell, visible, proportional);
    if (from.width < 1 || from.height < 1) {
        return advance(font, code, proportional);
    }
    if (!(flags & XV_FONT_SCALED)) {
        long x = area->x, y = area->y;
        if (flags & XV_FONT_FIT) {
            x += (area->width - from.width) / 2;
            y += (area->height - from.height) / 2;
        }
        XV_RECT whole = {0, 0, destination->width, destination->height};
        draw_glyph(destination, image, from, x, y, whole);
        return advance(font, code, proportional);
    }
    XV_RECT to = *area;
    if (flags & XV_FONT_KEEP_ASPECT) {
        // The largest copy of the glyph's shape the rectangle holds, centred.
        long across = static_cast<long>(area->height) * from.width;
        long down = static_cast<long>(area->width) * from.height;
        if (across < down) {
            to.width = static_cast<int16_t>(across / from.height);
        } else {
            to.height = static_cast<int16_t>(down / from.width);
        }
        to.x = static_cast<int16_t>(area->x + (area->width - to.width) / 2);
        to.y = static_cast<int16_t>(area->y + (area->height - to.height) / 2);
    }
    if (to.width > 0 && to.height > 0) {
        xv_bit_copy_transp(destination, image, &to, &from, XV_BIT_COPY_SCALE);
    }
    return to.width;
}
