#include "xv_pal.h"

#include "xv_dsp.h"
#include "xv_error.h"
#include "xv_io.h"
#include "xv_mem.h"
#include "xv_str.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The grey ramps handed out by xv_pal_grayscale_get, one per size.
std::vector<XV_PALETTE *> grey_ramps;

int entry_size(int type) {
    return type == XV_PALETTE_RGB ? 3 : 4;
}

void name(void *block, const char *label) {
    if (block) {
        xv_mem_set_name(block, label);
    }
}

} // namespace

XV_PALETTE *xv_pal_alloc(const XV_PALETTE *source, int entries, int flags) {
    if (entries < 1 || entries > 65535) {
        return nullptr;
    }
    auto *palette = static_cast<XV_PALETTE *>(xv_mem_calloc(1, sizeof(XV_PALETTE)));
    if (!palette) {
        return nullptr;
    }
    name(palette, "XV_DSP pal_alloc mypalette buffer");
    palette->references = 1;
    palette->entries = static_cast<uint16_t>(entries);
    palette->type = flags & XV_PAL_RGB ? XV_PALETTE_RGB : XV_PALETTE_RGBA;
    int size = entry_size(palette->type);
    palette->colours = static_cast<uint8_t *>(xv_mem_calloc(entries, size));
    if (!palette->colours) {
        xv_mem_free(palette);
        return nullptr;
    }
    name(palette->colours, palette->type == XV_PALETTE_RGB
                               ? "XV_DSP pal_alloc mypalette->color buffer"
                               : "XV_DSP pal_alloc mypalette->color_alpha buffer");
    for (int i = 0; i < entries; ++i) {
        uint8_t *entry = palette->colours + i * size;
        if (source && i < source->entries) {
            xv_pal_colour(source, i, entry);
            if (size == 4) {
                entry[3] = source->type == XV_PALETTE_RGBA ? source->colours[i * 4 + 3] : 255;
            }
        } else if (!source && (flags & XV_PAL_GRAY)) {
            int step = entries > 1 ? 256 / (entries - 1) : 0;
            uint8_t grey = static_cast<uint8_t>(std::min(255, i * step));
            entry[0] = entry[1] = entry[2] = grey;
            if (size == 4) {
                entry[3] = 255;
            }
        }
    }
    return palette;
}

XV_PALETTE *xv_pal_alloc_at(const char *file, int line, const XV_PALETTE *source, int entries,
                            int flags) {
    xv_error_set_file_line(file, line);
    XV_PALETTE *palette = xv_pal_alloc(source, entries, flags);
    if (palette) {
        xv_mem_set_name_at(file, line, palette, "xv_pal_alloc (XV_PALETTE *)");
        xv_mem_set_name_at(file, line, palette->colours,
                           palette->type == XV_PALETTE_RGB ? "xv_pal_alloc (XV_PALETTE_RGB *)"
                                                           : "xv_pal_alloc (XV_PALETTE_RGBA *)");
    }
    return palette;
}

void xv_pal_free(XV_PALETTE *palette) {
    if (!palette || --palette->references > 0) {
        return;
    }
    if (palette->type != XV_PALETTE_RGB && palette->type != XV_PALETTE_RGBA) {
        xv_warning("Wrong palette type", nullptr, XV_MB_OK);
    }
    xv_mem_release(palette->colours);
    xv_mem_free(palette);
}

XV_PALETTE *xv_pal_add_reference(XV_PALETTE *palette) {
    if (palette) {
        palette->references++;
    }
    return palette;
}

XV_PALETTE *xv_pal_load(const char *file_name) {
    XV_FILE *file = xv_io_fopen(file_name, "rb");
    if (!file) {
        return nullptr;
    }
    XV_PALETTE *palette = nullptr;
    uint8_t colours[768];
    if (xv_io_fseek(file, -768, SEEK_END) == 0 &&
        xv_io_fread(colours, 1, sizeof colours, file) == sizeof colours) {
        palette = xv_pal_alloc(nullptr, 256, XV_PAL_RGB);
        if (palette) {
            memcpy(palette->colours, colours, sizeof colours);
            xv_mem_set_name(palette, xv_str_format("xv_pal_load (%s)", file_name).c_str());
        }
    }
    xv_io_fclose(file);
    return palette;
}

XV_PALETTE *xv_pal_grayscale_get(int entries) {
    for (XV_PALETTE *ramp : grey_ramps) {
        if (ramp->entries == entries) {
            return xv_pal_add_reference(ramp);
        }
    }
    XV_PALETTE *ramp = xv_pal_alloc(nullptr, entries, XV_PAL_RGB | XV_PAL_GRAY);
    if (ramp) {
        grey_ramps.push_back(ramp);
    }
    return xv_pal_add_reference(ramp);
}

void xv_pal_colour(const XV_PALETTE *palette, int index, uint8_t rgb[3]) {
    if (!palette || index < 0 || index >= palette->entries) {
        rgb[0] = rgb[1] = rgb[2] = 0;
        return;
    }
    memcpy(rgb, palette->colours + index * entry_size(palette->type), 3);
}

void xv_pal_release_shared() {
    for (XV_PALETTE *ramp : grey_ramps) {
        xv_pal_free(ramp);
    }
    grey_ramps.clear();
}
