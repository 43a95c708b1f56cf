// Colour palettes, shared by reference count between bitmaps, fonts and
// the modules that keep them.
#pragma once

#include <cstdint>

enum {
    XV_PALETTE_RGB = 1,  // three bytes an entry
    XV_PALETTE_RGBA = 2, // four
};

// Flags of xv_pal_alloc.
enum {
    XV_PAL_RGB = 1,  // RGB entries (else RGBA)
    XV_PAL_GRAY = 4, // without a source: a grey ramp
};

struct XV_PALETTE {
    uint16_t references; // 1 at creation
    uint16_t entries;
    uint8_t type;     // XV_PALETTE_RGB or XV_PALETTE_RGBA
    uint8_t changed;  // set by whoever changes the colours (animations), cleared by the reader
    uint8_t *colours; // entries × 3 or 4 bytes
};

// A zeroed palette; with a source, its first colours copied (and converted
// between RGB and RGBA, alpha 255).
XV_PALETTE *xv_pal_alloc(const XV_PALETTE *source, int entries, int flags);
XV_PALETTE *xv_pal_alloc_at(const char *file, int line, const XV_PALETTE *source, int entries,
                            int flags);
// Drops one reference; the last frees the palette.
void xv_pal_free(XV_PALETTE *palette);
XV_PALETTE *xv_pal_add_reference(XV_PALETTE *palette);
// The last 768 bytes of the file as 256 RGB entries.
XV_PALETTE *xv_pal_load(const char *file_name);
// The shared grey ramp of that many entries; each call adds a reference.
XV_PALETTE *xv_pal_grayscale_get(int entries);
// Red, green, blue of an entry; black for an index out of range.
void xv_pal_colour(const XV_PALETTE *palette, int index, uint8_t rgb[3]);
// Drops the module's own references to the shared grey ramps.
void xv_pal_release_shared();
