// Loading and saving bitmaps, and the PCX and TGA formats.
#include "xv_bit.h"
#include "xv_bit_decode.h"

#include "xv_bytes.h"
#include "xv_dsp.h"
#include "xv_io.h"
#include "xv_mem.h"
#include "xv_str.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

// No picture the game shows comes near this; a header that claims more is
// not worth the memory.
constexpr long kLargestPicture = 1L << 26;
constexpr size_t kLargestFile = size_t{1} << 30;

// ---- PCX --------------------------------------------------------------------------

constexpr size_t kPcxHeader = 128;
constexpr size_t kPcxPalette = 768;

// Unpacks the run-length coding of one line of planes × bytes_per_line
// bytes; a run may not pass the line.
bool unpack_pcx_line(const uint8_t *&in, const uint8_t *end, uint8_t *line, size_t length) {
    size_t filled = 0;
    while (filled < length) {
        if (in >= end) {
            return false;
        }
        uint8_t byte = *in++;
        size_t count = 1;
        if ((byte & 0xC0) == 0xC0) {
            count = byte & 0x3F;
            if (in >= end || count > length - filled) {
                return false;
            }
            byte = *in++;
        }
        memset(line + filled, byte, count);
        filled += count;
    }
    return true;
}

void set_nibble(uint8_t *pixels, long i, uint8_t value) {
    uint8_t &pair = pixels[i / 2];
    pair = i % 2 ? (pair & 0xF0) | value : (pair & 0x0F) | value << 4;
}

XV_DECODE attach_palette(XV_BITMAP *bitmap, const uint8_t *rgb, int entries) {
    bitmap->palette = xv_pal_alloc(nullptr, 256, XV_PAL_RGB);
    if (!bitmap->palette) {
        return XV_DECODE::no_memory;
    }
    memcpy(bitmap->palette->colours, rgb, static_cast<size_t>(entries) * 3);
    return XV_DECODE::ok;
}

// ---- TGA --------------------------------------------------------------------------

constexpr size_t kTgaHeader = 18;

// Where the file's first pixel lies: the descriptor's bit 5 says its rows run
// top down (else bottom up), bit 4 that its pixels run right to left.
struct TgaOrigin {
    bool bottom_up;
    bool right_to_left;
};

TgaOrigin tga_origin(uint8_t descriptor) {
    return {!(descriptor & 0x20), (descriptor & 0x10) != 0};
}

// Puts one pixel of the file at position i (in file order) into the bitmap.
void store_tga_pixel(XV_BITMAP *bitmap, long i, const uint8_t *pixel, int size, TgaOrigin origin) {
    long row = i / bitmap->width;
    long column = i % bitmap->width;
    if (origin.bottom_up) {
        row = bitmap->height - 1 - row;
    }
    if (origin.right_to_left) {
        column = bitmap->width - 1 - column;
    }
    uint8_t *out = bitmap->pixels + (row * bitmap->width + column) * size;
    if (size >= 3) {
        out[0] = pixel[2], out[1] = pixel[1], out[2] = pixel[0];
        if (size == 4) {
            out[3] = pixel[3];
        }
    } else if (size == 2) {
        out[0] = pixel[0], out[1] = pixel[1] & 0x7F; // the alpha bit is not colour
    } else {
        out[0] = pixel[0];
    }
}

XV_DECODE read_tga_colour_map(XV_BITMAP *bitmap, const uint8_t *map, int first, int length,
                              int entry_size) {
    uint8_t rgb[256 * 3] = {};
    int bytes = (entry_size + 7) / 8;
    for (int i = 0; i < length && first + i < 256; ++i) {
        const uint8_t *entry = map + static_cast<long>(i) * bytes;
        uint8_t *out = rgb + (first + i) * 3;
        if (bytes >= 3) {
            out[0] = entry[2], out[1] = entry[1], out[2] = entry[0];
        } else if (bytes == 2) {
            xv_dsp_unpack_pixel(15, xv_le16(entry), &out[0], &out[1], &out[2]);
        } else {
            out[0] = out[1] = out[2] = entry[0];
        }
    }
    return attach_palette(bitmap, rgb, 256);
}

// ---- saving -----------------------------------------------------------------------

void put_u16(std::vector<uint8_t> &out, int value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

// A run of equal bytes as 0xC0 + count and the byte; a lone byte as itself,
// unless it looks like a count.
void pack_pcx_line(std::vector<uint8_t> &out, const uint8_t *line, size_t length) {
    for (size_t i = 0; i < length;) {
        size_t run = 1;
        while (i + run < length && run < 63 && line[i + run] == line[i]) {
            ++run;
        }
        if (run > 1 || line[i] >= 0xC0) {
            out.push_back(static_cast<uint8_t>(0xC0 | run));
        }
        out.push_back(line[i]);
        i += run;
    }
}

std::vector<uint8_t> pcx_header(const XV_RECT &area, int bits, int planes, int bytes_per_line) {
    std::vector<uint8_t> header = {10, 5, 1, static_cast<uint8_t>(bits)};
    put_u16(header, 0);
    put_u16(header, 0);
    put_u16(header, area.width - 1);
    put_u16(header, area.height - 1);
    put_u16(header, area.width);
    put_u16(header, area.height);
    header.resize(65, 0); // the 16-colour palette and a reserved byte
    header.push_back(static_cast<uint8_t>(planes));
    put_u16(header, bytes_per_line);
    put_u16(header, 1);
    header.resize(kPcxHeader, 0);
    return header;
}

uint8_t index_at(const XV_BITMAP *bitmap, long x, long y) {
    long i = y * bitmap->width + x;
    if (bitmap->type == 8) {
        return bitmap->pixels[i];
    }
    uint8_t pair = bitmap->pixels[i / 2];
    return i % 2 ? pair & 15 : pair >> 4;
}

std::vector<uint8_t> encode_pcx(const XV_BITMAP *bitmap, const XV_RECT &area) {
    bool four_bits = bitmap->type == 4;
    int bytes_per_line = four_bits ? (area.width + 7) / 8 : area.width;
    std::vector<uint8_t> out =
        pcx_header(area, four_bits ? 1 : 8, four_bits ? 4 : 1, bytes_per_line);
    uint8_t rgb[3];
    if (four_bits) {
        for (int i = 0; i < 16; ++i) {
            xv_pal_colour(bitmap->palette, i, rgb);
            std::copy(rgb, rgb + 3, out.begin() + 16 + i * 3);
        }
    }
    std::vector<uint8_t> line(bytes_per_line);
    for (long y = area.y; y < area.y + area.height; ++y) {
        for (int plane = 0; plane < (four_bits ? 4 : 1); ++plane) {
            std::fill(line.begin(), line.end(), 0);
            for (long x = 0; x < area.width; ++x) {
                uint8_t index = index_at(bitmap, area.x + x, y);
                if (!four_bits) {
                    line[x] = index;
                } else if (index >> plane & 1) {
                    line[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
                }
            }
            pack_pcx_line(out, line.data(), line.size());
        }
    }
    if (!four_bits) {
        out.push_back(12);
        for (int i = 0; i < 256; ++i) {
            xv_pal_colour(bitmap->palette, i, rgb);
            out.insert(out.end(), rgb, rgb + 3);
        }
    }
    return out;
}

// True colour as TGA type 2, rows from the bottom up, blue before red.
std::vector<uint8_t> encode_tga(const XV_BITMAP *bitmap, const XV_RECT &area) {
    int depth = bitmap->type == 15 ? 16 : bitmap->type;
    std::vector<uint8_t> out = {0, 0, 2, 0, 0, 0, 0, 0};
    put_u16(out, 0);
    put_u16(out, 0);
    put_u16(out, area.width);
    put_u16(out, area.height);
    out.push_back(static_cast<uint8_t>(depth));
    out.push_back(0);
    int size = depth / 8;
    for (long y = area.y + area.height - 1; y >= area.y; --y) {
        const uint8_t *row = bitmap->pixels + (y * bitmap->width + area.x) * size;
        for (long x = 0; x < area.width; ++x) {
            const uint8_t *pixel = row + x * size;
            if (size == 2) {
                uint16_t word = xv_le16(pixel);
                if (bitmap->type == 16) {
                    uint8_t red, green, blue;
                    xv_dsp_unpack_pixel(16, word, &red, &green, &blue);
                    word = xv_dsp_pack_pixel(15, red, green, blue);
                }
                put_u16(out, word);
            } else {
                out.insert(out.end(), {pixel[2], pixel[1], pixel[0]});
                if (size == 4) {
                    out.push_back(pixel[3]);
                }
            }
        }
    }
    return out;
}

// ---- loading ----------------------------------------------------------------------

struct Format {
    const char *extensions[3];
    const char *name;
    XV_DECODE (*decode)(XV_BITMAP *, const uint8_t *, size_t, int);
};

const Format formats[] = {
    {{".PCX", ".PCC", nullptr}, "PCX", xv_bit_decode_pcx},
    {{".PNG", nullptr, nullptr}, "PNG", xv_bit_decode_png},
    {{".TGA", nullptr, nullptr}, "TGA", xv_bit_decode_tga},
    {{".JPG", ".JPE", ".JPEG"}, "JPEG", xv_bit_decode_jpeg},
};

const Format *format_of(const char *file_name) {
    const std::string name = xv_str_upper(file_name);
    for (const Format &format : formats) {
        for (const char *extension : format.extensions) {
            if (extension && name.find(extension) != std::string::npos) {
                return &format;
            }
        }
    }
    return nullptr;
}

} // namespace

XV_DECODE xv_bit_decode_alloc(XV_BITMAP *bitmap, long width, long height, int type, bool cleared) {
    if (width < 1 || height < 1 || width > 32767 || height > 32767) {
        return XV_DECODE::damaged;
    }
    if (width * height > kLargestPicture) {
        return XV_DECODE::no_memory;
    }
    XV_RECT area = {0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height)};
    if (cleared) {
        return xv_bit_alloc(bitmap, &area, type) ? XV_DECODE::ok : XV_DECODE::no_memory;
    }
    // The decoder writes every pixel: clearing them first would only cost a
    // pass over the whole picture. The last byte is cleared, for the spare
    // half of a 4-bit picture of an odd number of pixels.
    *bitmap = XV_BITMAP{};
    bitmap->width = area.width;
    bitmap->height = area.height;
    bitmap->type = static_cast<uint16_t>(type);
    const long size = xv_bit_buffer_size(type, area.width, area.height);
    bitmap->pixels = static_cast<uint8_t *>(xv_mem_malloc(static_cast<size_t>(size)));
    if (!bitmap->pixels) {
        *bitmap = XV_BITMAP{};
        return XV_DECODE::no_memory;
    }
    bitmap->pixels[size - 1] = 0;
    xv_mem_set_name(bitmap->pixels, "XV_DSP bit_alloc bitmap buffer");
    return XV_DECODE::ok;
}

XV_DECODE xv_bit_decode_pcx(XV_BITMAP *bitmap, const uint8_t *data, size_t size, int options) {
    if (size < kPcxHeader) {
        return XV_DECODE::damaged;
    }
    int planes = data[65];
    int bits = data[3] * planes;
    if (data[0] != 10 || data[1] != 5 || (bits != 4 && bits != 8 && bits != 24) ||
        (bits == 4 && data[3] != 1) || (bits != 4 && data[3] != 8)) {
        return XV_DECODE::unsupported;
    }
    long width = xv_le16(data + 8) + 1L;
    long height = xv_le16(data + 10) + 1L;
    size_t bytes_per_line = xv_le16(data + 66);
    size_t needed = bits == 4 ? (width + 7) / 8 : width;
    size_t end = size;
    if (planes == 1) {
        if (size < kPcxHeader + kPcxPalette) {
            return XV_DECODE::damaged;
        }
        end -= kPcxPalette;
    }
    // A run codes at most 63 bytes in 2: the data must be able to fill the picture.
    if (bytes_per_line < needed ||
        static_cast<double>(bytes_per_line) * planes * height > (end - kPcxHeader) * 31.5) {
        return XV_DECODE::damaged;
    }
    if (XV_DECODE result = xv_bit_decode_alloc(bitmap, width, height, bits);
        result != XV_DECODE::ok) {
        return result;
    }
    std::vector<uint8_t> line(bytes_per_line * planes);
    const uint8_t *in = data + kPcxHeader;
    for (long y = 0; y < height; ++y) {
        if (!unpack_pcx_line(in, data + end, line.data(), line.size())) {
            xv_bit_free(bitmap);
            return XV_DECODE::damaged;
        }
        for (long x = 0; x < width; ++x) {
            long i = y * width + x;
            if (bits == 8) {
                bitmap->pixels[i] = line[x];
            } else if (bits == 24) {
                for (int channel = 0; channel < 3; ++channel) {
                    bitmap->pixels[i * 3 + channel] = line[channel * bytes_per_line + x];
                }
            } else {
                uint8_t index = 0;
                for (int plane = 0; plane < 4; ++plane) {
                    index |= ((line[plane * bytes_per_line + x / 8] >> (7 - x % 8)) & 1) << plane;
                }
                set_nibble(bitmap->pixels, i, index);
            }
        }
    }
    if (options & XV_BIT_WITH_PALETTE && bits != 24) {
        XV_DECODE result = attach_palette(bitmap, bits == 8 ? data + size - kPcxPalette : data + 16,
                                          bits == 8 ? 256 : 16);
        if (result != XV_DECODE::ok) {
            xv_bit_free(bitmap);
            return result;
        }
    }
    return XV_DECODE::ok;
}

XV_DECODE xv_bit_decode_tga(XV_BITMAP *bitmap, const uint8_t *data, size_t size, int options) {
    if (size < kTgaHeader) {
        return XV_DECODE::damaged;
    }
    int image_type = data[2];
    int depth = data[16];
    if (image_type != 1 && image_type != 2 && image_type != 10) {
        return XV_DECODE::unsupported;
    }
    bool mapped = image_type == 1;
    if (mapped ? depth != 8 : depth != 15 && depth != 16 && depth != 24 && depth != 32) {
        return XV_DECODE::unsupported;
    }
    int map_first = xv_le16(data + 3);
    int map_length = data[1] == 1 ? xv_le16(data + 5) : 0;
    int map_entry = data[7];
    size_t map_bytes = static_cast<size_t>(map_length) * ((map_entry + 7) / 8);
    size_t at = kTgaHeader + data[0];
    if (at + map_bytes > size || (mapped && data[1] != 1)) {
        return XV_DECODE::damaged;
    }
    const uint8_t *map = data + at;
    at += map_bytes;
    int pixel_size = (depth + 7) / 8;
    int type = mapped ? 8 : depth == 16 ? 15 : depth;
    // Raw pixels must all be there; a packet holds at most 128.
    double pixels = static_cast<double>(xv_le16(data + 12)) * xv_le16(data + 14);
    double available = static_cast<double>(size - at);
    if (image_type == 10 ? pixels > available * 128 : pixels * pixel_size > available) {
        return XV_DECODE::damaged;
    }
    if (XV_DECODE result =
            xv_bit_decode_alloc(bitmap, xv_le16(data + 12), xv_le16(data + 14), type);
        result != XV_DECODE::ok) {
        return result;
    }
    TgaOrigin origin = tga_origin(data[17]);
    long count = static_cast<long>(bitmap->width) * bitmap->height;
    bool whole = true;
    if (image_type == 10) {
        for (long i = 0; i < count && whole;) {
            if (at >= size) {
                whole = false;
                break;
            }
            uint8_t packet = data[at++];
            long length = (packet & 0x7F) + 1;
            bool repeated = packet & 0x80;
            size_t bytes = static_cast<size_t>(repeated ? 1 : length) * pixel_size;
            if (length > count - i || at + bytes > size) {
                whole = false;
                break;
            }
            for (long k = 0; k < length; ++k, ++i) {
                store_tga_pixel(bitmap, i, data + at + (repeated ? 0 : k * pixel_size), pixel_size,
                                origin);
            }
            at += bytes;
        }
    } else if (at + static_cast<size_t>(count) * pixel_size > size) {
        whole = false;
    } else {
        for (long i = 0; i < count; ++i) {
            store_tga_pixel(bitmap, i, data + at + i * pixel_size, pixel_size, origin);
        }
    }
    if (!whole) {
        xv_bit_free(bitmap);
        return XV_DECODE::damaged;
    }
    if (mapped && (options & XV_BIT_WITH_PALETTE)) {
        if (read_tga_colour_map(bitmap, map, map_first, map_length, map_entry) != XV_DECODE::ok) {
            xv_bit_free(bitmap);
            return XV_DECODE::no_memory;
        }
    }
    return XV_DECODE::ok;
}

int xv_bit_load(XV_BITMAP *bitmap, const char *file_name, int options) {
    *bitmap = XV_BITMAP{};
    const Format *format = file_name ? format_of(file_name) : nullptr;
    if (!format) {
        xv_warning(
            xv_str_format("Unknown picture format. (File %s)", file_name ? file_name : "").c_str(),
            nullptr, XV_MB_OK);
        return 0;
    }
    std::vector<uint8_t> bytes;
    if (!xv_io_read_whole(file_name, &bytes, kLargestFile)) {
        return 0; // the file layer has said why
    }
    XV_DECODE result = format->decode(bitmap, bytes.data(), bytes.size(), options);
    if (result == XV_DECODE::ok) {
        return 1;
    }
    if (result == XV_DECODE::incomplete) {
        xv_warning(xv_str_format("%s file is incomplete or damaged; shown as far as it goes. "
                                 "(File %s)",
                                 format->name, file_name)
                       .c_str(),
                   nullptr, XV_MB_OK);
        return 1;
    }
    *bitmap = XV_BITMAP{};
    const char *problem =
        result == XV_DECODE::unsupported ? "%s format not supported yet. (File %s)"
        : result == XV_DECODE::damaged   ? "%s file is damaged. (File %s)"
                                         : "Not enough memory for the %s picture. (File %s)";
    xv_warning(xv_str_format(problem, format->name, file_name).c_str(), nullptr, XV_MB_OK);
    return 0;
}

int xv_bit_load_at(const char *file, int line, XV_BITMAP *bitmap, const char *file_name,
                   int options) {
    int loaded = xv_bit_load(bitmap, file_name, options);
    if (loaded) {
        xv_mem_set_name_at(file, line, bitmap->pixels, file_name);
    }
    return loaded;
}

int xv_bit_save(XV_BITMAP *bitmap, const char *file_name, const XV_RECT *area, int options) {
    (void)options;
    if (!bitmap || !bitmap->pixels) {
        return 0;
    }
    XV_RECT bounds = {0, 0, bitmap->width, bitmap->height};
    XV_RECT wanted = area ? *area : bounds;
    int left = std::max<int>(wanted.x, 0);
    int top = std::max<int>(wanted.y, 0);
    int right = std::min<int>(wanted.x + wanted.width, bitmap->width);
    int bottom = std::min<int>(wanted.y + wanted.height, bitmap->height);
    if (right <= left || bottom <= top) {
        return 0;
    }
    XV_RECT clipped = {static_cast<int16_t>(left), static_cast<int16_t>(top),
                       static_cast<int16_t>(right - left), static_cast<int16_t>(bottom - top)};
    std::vector<uint8_t> bytes;
    switch (bitmap->type) {
    case 4:
    case 8:
        bytes = encode_pcx(bitmap, clipped);
        break;
    case 15:
    case 16:
    case 24:
    case 32:
        bytes = encode_tga(bitmap, clipped);
        break;
    default:
        return 0;
    }
    XV_FILE *file = xv_io_fopen(file_name, "wb");
    if (!file) {
        return 0;
    }
    bool written =
        xv_io_fwrite(bytes.data(), 1, bytes.size(), file) == static_cast<long>(bytes.size());
    return xv_io_fclose(file) == 0 && written ? 1 : 0;
}
