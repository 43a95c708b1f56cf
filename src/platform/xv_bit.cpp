#include "xv_bit.h"

#include "xv_dsp.h"
#include "xv_error.h"
#include "xv_mem.h"
#include "xv_str.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

int transparency = 0;

bool is_type(int type) {
    return type == 4 || type == 8 || type == 15 || type == 16 || type == 24 || type == 32;
}

int bytes_per_pixel(int type) {
    return type == 15 ? 2 : type / 8;
}

XV_RECT whole(const XV_BITMAP *bitmap) {
    return {0, 0, bitmap->width, bitmap->height};
}

// ---- pixels as colours ------------------------------------------------------------

struct Colour {
    uint8_t red, green, blue, alpha;
};

Colour read_colour(const XV_BITMAP *bitmap, const uint8_t *pixel) {
    switch (bitmap->type) {
    case 15:
    case 16: {
        Colour c{0, 0, 0, 255};
        uint16_t word;
        memcpy(&word, pixel, 2);
        xv_dsp_unpack_pixel(bitmap->type, word, &c.red, &c.green, &c.blue);
        return c;
    }
    case 24:
        return {pixel[0], pixel[1], pixel[2], 255};
    default:
        return {pixel[0], pixel[1], pixel[2], pixel[3]};
    }
}

void write_colour(int type, uint8_t *pixel, Colour c) {
    switch (type) {
    case 15:
    case 16: {
        uint16_t word = xv_dsp_pack_pixel(type, c.red, c.green, c.blue);
        memcpy(pixel, &word, 2);
        break;
    }
    case 24:
        pixel[0] = c.red, pixel[1] = c.green, pixel[2] = c.blue;
        break;
    default:
        pixel[0] = c.red, pixel[1] = c.green, pixel[2] = c.blue, pixel[3] = c.alpha;
        break;
    }
}

uint8_t mix(uint8_t fresh, uint8_t old, int keep_old, int out_of) {
    return static_cast<uint8_t>((fresh * (out_of - keep_old) + old * keep_old) / out_of);
}

// Draws colour over the pixel: by the transparency level, or by its alpha.
void blend(const XV_BITMAP *bitmap, uint8_t *pixel, Colour fresh, bool by_alpha) {
    Colour old = read_colour(bitmap, pixel);
    int keep = by_alpha ? 255 - fresh.alpha : transparency;
    int out_of = by_alpha ? 255 : 100;
    Colour mixed{mix(fresh.red, old.red, keep, out_of), mix(fresh.green, old.green, keep, out_of),
                 mix(fresh.blue, old.blue, keep, out_of), old.alpha};
    write_colour(bitmap->type, pixel, mixed);
}

// The transparent colour of a type, as it stands in a pixel.
void transparent_key(int type, uint8_t key[4]) {
    memset(key, 0, 4);
    if (type == 15 || type == 16) {
        uint16_t word = xv_dsp_pack_pixel(type, 255, 0, 255);
        memcpy(key, &word, 2);
    } else if (type >= 24) {
        key[0] = 255, key[2] = 255;
    }
}

// ---- copies ---------------------------------------------------------------------

// What a copy draws: a rectangle of the destination, and for each of its
// rows and columns the source row and column it comes from.
struct CopyPlan {
    XV_RECT target;
    std::vector<int> source_x;
    std::vector<int> source_y;
};

XV_RECT clip(XV_RECT area, const XV_RECT &bounds) {
    int left = std::max<int>(area.x, bounds.x);
    int top = std::max<int>(area.y, bounds.y);
    int right = std::min<int>(area.x + area.width, bounds.x + bounds.width);
    int bottom = std::min<int>(area.y + area.height, bounds.y + bounds.height);
    return {static_cast<int16_t>(left), static_cast<int16_t>(top),
            static_cast<int16_t>(std::max(0, right - left)),
            static_cast<int16_t>(std::max(0, bottom - top))};
}

bool plan_copy(const XV_BITMAP *destination, const XV_BITMAP *source, const XV_RECT *to,
               const XV_RECT *from, int flags, CopyPlan *plan) {
    XV_RECT area = from ? clip(*from, whole(source)) : whole(source);
    XV_RECT place = to ? *to : whole(destination);
    if (area.width <= 0 || area.height <= 0 || place.width <= 0 || place.height <= 0) {
        return false;
    }
    XV_RECT drawn = place;
    if (flags & XV_BIT_COPY_SCALE) {
        // the destination rectangle as given
    } else if (flags & XV_BIT_COPY_DOUBLE) {
        drawn.width = static_cast<int16_t>(std::min(2 * area.width, 32767));
        drawn.height = static_cast<int16_t>(std::min(2 * area.height, 32767));
    } else {
        drawn.width = area.width;
        drawn.height = area.height;
    }
    if (flags & XV_BIT_COPY_CENTRE) {
        drawn.x = static_cast<int16_t>(place.x + (place.width - drawn.width) / 2);
        drawn.y = static_cast<int16_t>(place.y + (place.height - drawn.height) / 2);
    }
    plan->target = clip(drawn, whole(destination));
    if (plan->target.width <= 0 || plan->target.height <= 0) {
        return false;
    }
    plan->source_x.resize(plan->target.width);
    plan->source_y.resize(plan->target.height);
    for (int i = 0; i < plan->target.width; ++i) {
        long offset = plan->target.x + i - drawn.x;
        plan->source_x[i] = area.x + static_cast<int>(offset * area.width / drawn.width);
    }
    for (int i = 0; i < plan->target.height; ++i) {
        long offset = plan->target.y + i - drawn.y;
        plan->source_y[i] = area.y + static_cast<int>(offset * area.height / drawn.height);
    }
    return true;
}

bool check_types(const XV_BITMAP *destination, const XV_BITMAP *source, bool transparent) {
    if (destination->type == 4) {
        xv_warning("XV_BIT_BPP4 isn't implemented yet in xv_bit_copy ()");
        return false;
    }
    if (!is_type(destination->type)) {
        xv_warning(transparent ? "Unknown bitmap type in xv_bit_copy_transp_soft_bitmap ()"
                               : "Unknown bitmap type in xv_bit_copy_soft_bitmap ()");
        return false;
    }
    // Another depth is drawn through the source's palette or colours, but
    // only into true colour: a palette bitmap takes indices alone.
    bool drawable =
        source->type == destination->type ||
        (destination->type != 8 && is_type(source->type) && (source->type > 8 || source->palette));
    if (!drawable) {
        xv_warning(xv_str_format("Can't copy a %d bpp bitmap into a %d bpp one in xv_bit_copy ()",
                                 source->type, destination->type)
                       .c_str());
        return false;
    }
    return destination->pixels && source->pixels;
}

Colour source_colour(const XV_BITMAP *bitmap, long i, bool *is_transparent);

// Whether pixel i of the bitmap is its type's transparent colour.
bool is_key(const XV_BITMAP *bitmap, long i, const uint8_t key[4]) {
    if (bitmap->type == 8) {
        return bitmap->pixels[i] == 0;
    }
    if (bitmap->type == 4) {
        uint8_t pair = bitmap->pixels[i / 2];
        return (i % 2 ? pair & 15 : pair >> 4) == 0;
    }
    int size = bytes_per_pixel(bitmap->type);
    return memcmp(bitmap->pixels + i * size, key, std::min(size, 3)) == 0;
}

// Source and destination of different depths: each pixel as a colour.
void copy_colours(XV_BITMAP *destination, const XV_BITMAP *source, const CopyPlan &plan,
                  bool transparent, int flags) {
    uint8_t key[4];
    transparent_key(source->type, key);
    int size = bytes_per_pixel(destination->type);
    bool by_alpha = (flags & XV_BIT_COPY_ALPHA) && source->type == 32;
    for (int row = 0; row < plan.target.height; ++row) {
        uint8_t *out =
            destination->pixels +
            (static_cast<long>(plan.target.y + row) * destination->width + plan.target.x) * size;
        for (int column = 0; column < plan.target.width; ++column, out += size) {
            long i = static_cast<long>(plan.source_y[row]) * source->width + plan.source_x[column];
            if (transparent && is_key(source, i, key)) {
                continue;
            }
            bool unused;
            Colour colour = source_colour(source, i, &unused);
            if (by_alpha || (transparent && transparency > 0)) {
                blend(destination, out, colour, by_alpha);
            } else {
                write_colour(destination->type, out, colour);
            }
        }
    }
}

template <int Bytes>
void copy_rows(XV_BITMAP *destination, const XV_BITMAP *source, const CopyPlan &plan,
               bool transparent, int flags) {
    uint8_t key[4];
    transparent_key(destination->type, key);
    bool by_alpha = (flags & XV_BIT_COPY_ALPHA) && Bytes == 4;
    bool blending = Bytes > 1 && (by_alpha || (transparent && transparency > 0));
    // Unscaled columns follow one another: a plain copy moves whole rows.
    bool whole_rows = !blending && !transparent &&
                      plan.source_x.back() - plan.source_x.front() == plan.target.width - 1;
    for (int row = 0; row < plan.target.height; ++row) {
        uint8_t *out =
            destination->pixels +
            (static_cast<long>(plan.target.y + row) * destination->width + plan.target.x) * Bytes;
        const uint8_t *in =
            source->pixels + static_cast<long>(plan.source_y[row]) * source->width * Bytes;
        if (whole_rows) {
            memcpy(out, in + static_cast<long>(plan.source_x.front()) * Bytes,
                   static_cast<size_t>(plan.target.width) * Bytes);
            continue;
        }
        for (int column = 0; column < plan.target.width; ++column, out += Bytes) {
            const uint8_t *pixel = in + static_cast<long>(plan.source_x[column]) * Bytes;
            if (transparent && memcmp(pixel, key, Bytes > 3 ? 3 : Bytes) == 0) {
                continue;
            }
            if (blending) {
                blend(destination, out, read_colour(source, pixel), by_alpha);
            } else {
                memcpy(out, pixel, Bytes);
            }
        }
    }
}

int copy_soft(XV_BITMAP *destination, XV_BITMAP *source, const XV_RECT *to, const XV_RECT *from,
              int flags, bool transparent) {
    if (!destination || !source || !check_types(destination, source, transparent)) {
        return 0;
    }
    CopyPlan plan;
    if (!plan_copy(destination, source, to, from, flags, &plan)) {
        return 1; // nothing of it lands in the destination
    }
    if (source->type != destination->type) {
        copy_colours(destination, source, plan, transparent, flags);
        return 1;
    }
    switch (bytes_per_pixel(destination->type)) {
    case 1:
        copy_rows<1>(destination, source, plan, transparent, flags);
        break;
    case 2:
        copy_rows<2>(destination, source, plan, transparent, flags);
        break;
    case 3:
        copy_rows<3>(destination, source, plan, transparent, flags);
        break;
    default:
        copy_rows<4>(destination, source, plan, transparent, flags);
        break;
    }
    return 1;
}

int copy(XV_BITMAP *destination, XV_BITMAP *source, const XV_RECT *to, const XV_RECT *from,
         int flags, bool transparent) {
    if (xv_dsp_is_open() && !(flags & XV_BIT_COPY_SOFTWARE)) {
        return xv_dsp_3d_interface()->bit_3d_put(source, to, from, flags);
    }
    return copy_soft(destination, source, to, from, flags, transparent);
}

// ---- conversion -----------------------------------------------------------------

// The colour of pixel i of a 4-, 8-, 15-, 24- or 32-bit bitmap.
Colour source_colour(const XV_BITMAP *bitmap, long i, bool *is_transparent) {
    int index = -1;
    if (bitmap->type == 4) {
        uint8_t pair = bitmap->pixels[i / 2];
        index = i % 2 ? pair & 15 : pair >> 4;
    } else if (bitmap->type == 8) {
        index = bitmap->pixels[i];
    }
    if (index < 0) {
        *is_transparent = false;
        return read_colour(bitmap, bitmap->pixels + i * bytes_per_pixel(bitmap->type));
    }
    *is_transparent = index == bitmap->transparent;
    uint8_t rgb[3];
    xv_pal_colour(bitmap->palette, index, rgb);
    return {rgb[0], rgb[1], rgb[2], 255};
}

const char *unsupported_conversion(int from, int to) {
    if (to != 8 && to != 16 && to != 24 && to != 32) {
        return "Invalid BPP conversion parameter in function xv_bit_convert.";
    }
    switch (from) {
    case 1:
        return "1->4, 8, 16, 24, 32 BPP conversion parameter in function xv_bit_convert isn't "
               "supported yet.";
    case 4:
        return to == 16 ? "4->16 BPP conversion parameter in function xv_bit_convert isn't "
                          "supported yet."
                        : nullptr;
    case 8:
        return nullptr;
    case 15:
        return to == 8 ? "15->8 BPP conversion parameter in function xv_bit_convert isn't "
                         "supported yet."
                       : nullptr;
    case 24:
        return to == 8 ? "24->8 BPP conversion parameter in function xv_bit_convert isn't "
                         "supported yet."
                       : nullptr;
    case 32:
        return to == 8 ? "32 -> 8 BPP conversion parameter in function xv_bit_convert isn't "
                         "supported yet."
                       : nullptr;
    default:
        return "";
    }
}

uint8_t *convert_pixels(XV_BITMAP *bitmap, int to, bool variant) {
    long count = static_cast<long>(bitmap->width) * bitmap->height;
    auto *pixels = static_cast<uint8_t *>(
        xv_mem_malloc(xv_bit_buffer_size(to, bitmap->width, bitmap->height)));
    if (!pixels) {
        return nullptr;
    }
    xv_mem_set_name(pixels,
                    xv_str_format("Bitmap %d->%d BPP Conversion", bitmap->type, to).c_str());
    if (to == 8) { // from 4 bits: the same indices, a byte each
        for (long i = 0; i < count; ++i) {
            uint8_t pair = bitmap->pixels[i / 2];
            pixels[i] = i % 2 ? pair & 15 : pair >> 4;
        }
        return pixels;
    }
    int size = bytes_per_pixel(to);
    for (long i = 0; i < count; ++i) {
        bool transparent = false;
        Colour colour = source_colour(bitmap, i, &transparent);
        if (transparent) {
            bitmap->flags |= XV_BIT_TRANSPARENT;
            if (variant && to == 16) {
                colour = {255, 0, 255, 255}; // stays transparent to the transparent copy
            } else if (variant && to == 32) {
                colour.alpha = 0;
            }
        }
        write_colour(to, pixels + i * size, colour);
    }
    return pixels;
}

} // namespace

long xv_bit_buffer_size(int type, int width, int height) {
    long pixels = static_cast<long>(width) * height;
    return type == 4 ? (pixels + 1) / 2 : pixels * (is_type(type) ? bytes_per_pixel(type) : 1);
}

int xv_bit_alloc(XV_BITMAP *bitmap, const XV_RECT *area, int options) {
    *bitmap = XV_BITMAP{};
    if (!area || area->width < 1 || area->height < 1) {
        return 0;
    }
    bitmap->x = area->x;
    bitmap->y = area->y;
    bitmap->width = area->width;
    bitmap->height = area->height;
    bitmap->type = static_cast<uint16_t>(options & 0xFF ? options & 0xFF : 8);
    if (!is_type(bitmap->type)) {
        xv_warning("Invalid options in parameter of xv_bit_alloc ()");
    }
    long size = xv_bit_buffer_size(bitmap->type, bitmap->width, bitmap->height);
    bitmap->pixels = static_cast<uint8_t *>(xv_mem_calloc(1, static_cast<size_t>(size)));
    if (!bitmap->pixels) {
        *bitmap = XV_BITMAP{};
        return 0;
    }
    xv_mem_set_name(bitmap->pixels, "XV_DSP bit_alloc bitmap buffer");
    return 1;
}

void xv_bit_free(XV_BITMAP *bitmap) {
    if (!bitmap) {
        return;
    }
    if (bitmap->texture) {
        xv_dsp_3d_interface()->bit_3d_free(bitmap);
    }
    xv_pal_free(bitmap->palette);
    xv_mem_release(bitmap->pixels);
    *bitmap = XV_BITMAP{};
}

int xv_bit_copy(XV_BITMAP *destination, XV_BITMAP *source, const XV_RECT *to, const XV_RECT *from,
                int flags) {
    return copy(destination, source, to, from, flags, false);
}

int xv_bit_copy_transp(XV_BITMAP *destination, XV_BITMAP *source, const XV_RECT *to,
                       const XV_RECT *from, int flags) {
    return copy(destination, source, to, from, flags, true);
}

int xv_bit_copy_at(const char *file, int line, XV_BITMAP *destination, XV_BITMAP *source,
                   const XV_RECT *to, const XV_RECT *from, int flags) {
    xv_error_set_detail("xv_bit_copy (), file %s, line %d", file, line);
    return xv_bit_copy(destination, source, to, from, flags);
}

int xv_bit_copy_transp_at(const char *file, int line, XV_BITMAP *destination, XV_BITMAP *source,
                          const XV_RECT *to, const XV_RECT *from, int flags) {
    xv_error_set_detail("xv_bit_copy_transp (), file %s, line %d", file, line);
    return xv_bit_copy_transp(destination, source, to, from, flags);
}

void xv_bit_fill(XV_BITMAP *bitmap, const XV_RECT *area, uint32_t colour) {
    if (!bitmap || !bitmap->pixels || !is_type(bitmap->type)) {
        return;
    }
    XV_RECT target = clip(area ? *area : whole(bitmap), whole(bitmap));
    if (bitmap->type == 4) {
        for (int row = target.y; row < target.y + target.height; ++row) {
            for (int column = target.x; column < target.x + target.width; ++column) {
                long i = static_cast<long>(row) * bitmap->width + column;
                uint8_t &pair = bitmap->pixels[i / 2];
                pair = i % 2 ? (pair & 0xF0) | (colour & 15) : (pair & 15) | (colour & 15) << 4;
            }
        }
        return;
    }
    int size = bytes_per_pixel(bitmap->type);
    uint8_t value[4];
    if (size == 1) {
        value[0] = static_cast<uint8_t>(colour);
    } else if (size == 2) {
        auto word = static_cast<uint16_t>(colour);
        memcpy(value, &word, 2);
    } else {
        Colour c{static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                 static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 24)};
        write_colour(bitmap->type, value, c);
    }
    bool blending = size > 1 && transparency > 0;
    Colour fresh = blending ? read_colour(bitmap, value) : Colour{};
    for (int row = target.y; row < target.y + target.height; ++row) {
        uint8_t *pixel =
            bitmap->pixels + (static_cast<long>(row) * bitmap->width + target.x) * size;
        for (int column = 0; column < target.width; ++column, pixel += size) {
            if (blending) {
                blend(bitmap, pixel, fresh, false);
            } else {
                memcpy(pixel, value, size);
            }
        }
    }
}

int xv_bit_resize(XV_BITMAP *bitmap, const XV_RECT *size, const XV_RECT *from) {
    if (!bitmap) {
        xv_warning("Invalid bitmap pointer in xv_bit_resize\n");
        return 0;
    }
    if (!size && !from) {
        xv_warning("Invalid rectangle pointers in xv_bit_resize\n");
        return 0;
    }
    XV_RECT wanted = size ? *size : whole(bitmap);
    if (wanted.width < 1 || wanted.height < 1) {
        xv_warning("Invalid rectangle destination size in xv_bit_resize\n");
        return 0;
    }
    XV_RECT area = from ? clip(*from, whole(bitmap)) : whole(bitmap);
    if (area.width < 1 || area.height < 1) {
        xv_warning("Invalid rectangle source size in xv_bit_resize\n");
        return 0;
    }
    XV_BITMAP resized;
    if (!xv_bit_alloc(&resized, &wanted, bitmap->type)) {
        xv_warning("Can't allocate bitmap in xv_bit_resize\n");
        return 0;
    }
    XV_RECT everywhere = whole(&resized);
    copy_soft(&resized, bitmap, &everywhere, &area, XV_BIT_COPY_SOFTWARE | XV_BIT_COPY_SCALE,
              false);
    xv_mem_free(bitmap->pixels);
    bitmap->pixels = resized.pixels;
    bitmap->width = resized.width;
    bitmap->height = resized.height;
    return 1;
}

int xv_bit_convert(XV_BITMAP *bitmap, int target) {
    int to = target & 63;
    if (!bitmap || !bitmap->pixels) {
        return 0;
    }
    if (bitmap->type == to) {
        return 1;
    }
    if (const char *refusal = unsupported_conversion(bitmap->type, to)) {
        xv_warning(*refusal ? refusal
                            : xv_str_format("Invalid conversion from %d to %d BPP in function "
                                            "xv_bit_convert.",
                                            bitmap->type, to)
                                  .c_str());
        return 0;
    }
    if ((bitmap->type == 4 || bitmap->type == 8) && !bitmap->palette && to != 8) {
        xv_warning(bitmap->type == 4 ? "Can't convert from 4 bpp without a palette"
                                     : "Can't convert from 8 bpp without a palette");
        return 0;
    }
    if (bitmap->texture) {
        xv_dsp_3d_interface()->bit_3d_free(bitmap);
        bitmap->texture = 0;
    }
    uint8_t *pixels = convert_pixels(bitmap, to, target & XV_BIT_CONVERT_VARIANT);
    if (!pixels) {
        xv_warning("Not enough memory to allocate the bitmap conversion buffer.");
        return 0;
    }
    xv_mem_free(bitmap->pixels);
    bitmap->pixels = pixels;
    if (to != 8) {
        xv_pal_free(bitmap->palette);
        bitmap->palette = nullptr;
    }
    bitmap->type = static_cast<uint16_t>(to);
    return 1;
}

int xv_bit_convert_at(const char *file, int line, XV_BITMAP *bitmap, int target) {
    int converted = xv_bit_convert(bitmap, target);
    if (converted && bitmap->pixels) {
        xv_mem_set_name(bitmap->pixels,
                        xv_str_format("xv_bit_convert () from %s, line %d\n", file, line).c_str());
    }
    return converted;
}

void xv_bit_set_transparency(int level) {
    transparency = std::clamp(level, 0, 100);
}

int xv_bit_get_transparency() {
    return transparency;
}

int xv_bit_is_transparent_at(const XV_BITMAP *bitmap, int x, int y) {
    if (!bitmap || !bitmap->pixels || !is_type(bitmap->type) || x < 0 || y < 0 ||
        x >= bitmap->width || y >= bitmap->height) {
        return 1;
    }
    uint8_t key[4];
    transparent_key(bitmap->type, key);
    return is_key(bitmap, static_cast<long>(y) * bitmap->width + x, key);
}
