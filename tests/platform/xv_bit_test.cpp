#include "picture_writer.h"
#include "test_support.h"

#include <cstring>

namespace {

using test::write_file;

class BitTest : public test::FileLayerTest {
  protected:
    static XV_BITMAP make(int type, int width, int height) {
        XV_BITMAP bitmap;
        XV_RECT area = {0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height)};
        EXPECT_EQ(xv_bit_alloc(&bitmap, &area, type), 1);
        return bitmap;
    }
    // Fills every byte with a pattern that differs from pixel to pixel.
    static void pattern(XV_BITMAP *bitmap, int modulo = 256) {
        long size = xv_bit_buffer_size(bitmap->type, bitmap->width, bitmap->height);
        for (long i = 0; i < size; ++i) {
            bitmap->pixels[i] = static_cast<uint8_t>((i * 37 + i / 7) % modulo);
        }
        if (bitmap->type == 4 && bitmap->width * bitmap->height % 2) {
            bitmap->pixels[size - 1] &= 0xF0; // the last half byte is no pixel
        }
    }
    static bool same_pixels(const XV_BITMAP &a, const XV_BITMAP &b) {
        return a.type == b.type && a.width == b.width && a.height == b.height &&
               memcmp(a.pixels, b.pixels, xv_bit_buffer_size(a.type, a.width, a.height)) == 0;
    }
    static std::vector<uint8_t> rgb_at(const XV_BITMAP &bitmap, int x, int y) {
        const uint8_t *pixel = bitmap.pixels + (y * bitmap.width + x) * (bitmap.type / 8);
        return {pixel, pixel + bitmap.type / 8};
    }
    XV_BITMAP load(const std::string &name, const std::string &bytes, int options = 0) {
        write_file(name, bytes);
        XV_BITMAP bitmap;
        loaded = xv_bit_load(&bitmap, name.c_str(), options);
        return bitmap;
    }

    int loaded = 0;
};

TEST_F(BitTest, AllocClearsAndSizesTheBuffer) {
    XV_BITMAP bitmap = make(0, 3, 2); // 0 means 8 bits
    EXPECT_EQ(bitmap.type, 8);
    EXPECT_STREQ(xv_mem_get_name(bitmap.pixels), "XV_DSP bit_alloc bitmap buffer");
    xv_bit_free(&bitmap);
    EXPECT_EQ(bitmap.pixels, nullptr);
    EXPECT_EQ(xv_bit_buffer_size(4, 3, 3), 5); // two pixels a byte, across rows
    XV_RECT empty = {0, 0, 0, 5};
    EXPECT_EQ(xv_bit_alloc(&bitmap, &empty, 8), 0);
    bitmap = make(7, 2, 2);
    EXPECT_NE(warnings().find("Invalid options in parameter of xv_bit_alloc ()"),
              std::string::npos);
    xv_bit_free(&bitmap);
}

TEST_F(BitTest, SavedPicturesLoadBackWithTheSamePixels) {
    for (int type : {4, 8, 15, 24, 32}) {
        XV_BITMAP original = make(type, 13, 7); // odd sizes, so that rows and nibbles misalign
        pattern(&original, type <= 8 ? (type == 4 ? 256 : 200) : 256);
        if (type == 15) {
            for (long i = 1; i < 13 * 7 * 2; i += 2) {
                original.pixels[i] &= 0x7F; // 5-5-5 has no sixteenth bit
            }
        }
        original.palette = xv_pal_alloc(nullptr, 256, XV_PAL_RGB | XV_PAL_GRAY);
        std::string name = type <= 8 ? "pic.pcx" : "pic.tga";
        ASSERT_EQ(xv_bit_save(&original, name.c_str(), nullptr, 0), 1) << type;
        XV_BITMAP copy;
        ASSERT_EQ(xv_bit_load(&copy, name.c_str(), XV_BIT_WITH_PALETTE), 1) << type;
        EXPECT_TRUE(same_pixels(original, copy)) << type;
        if (type <= 8) {
            int entries = type == 4 ? 16 : 256;
            EXPECT_EQ(memcmp(copy.palette->colours, original.palette->colours, entries * 3), 0);
        }
        xv_bit_free(&copy);
        xv_bit_free(&original);
    }
}

TEST_F(BitTest, SixteenBitPicturesAreSavedAsFifteen) {
    XV_BITMAP original = make(16, 4, 4);
    auto *words = reinterpret_cast<uint16_t *>(original.pixels);
    for (int i = 0; i < 16; ++i) {
        words[i] = xv_dsp_pack_pixel(16, static_cast<uint8_t>(i * 16), 255, 0);
    }
    XV_RECT part = {1, 1, 2, 3};
    ASSERT_EQ(xv_bit_save(&original, "part.tga", &part, 0), 1);
    XV_BITMAP copy;
    ASSERT_EQ(xv_bit_load(&copy, "part.tga", 0), 1);
    EXPECT_EQ(copy.type, 15);
    EXPECT_EQ(copy.width, 2);
    EXPECT_EQ(copy.height, 3);
    uint16_t expected = xv_dsp_pack_pixel(15, 5 * 16, 255, 0);
    EXPECT_EQ(reinterpret_cast<uint16_t *>(copy.pixels)[0], expected);
    xv_bit_free(&copy);
    xv_bit_free(&original);
    XV_RECT outside = {10, 10, 2, 2};
    EXPECT_EQ(xv_bit_save(&original, "none.tga", &outside, 0), 0);
}

constexpr uint8_t kTgaTopDown = 0x20;
constexpr uint8_t kTgaRightToLeft = 0x10;

// A 2 × 2 TGA whose first pixel lies where the descriptor says.
std::string tga_from(int type, int depth, uint8_t descriptor, const std::string &pixels,
                     const std::string &map = "") {
    std::string header(18, '\0');
    header[1] = map.empty() ? 0 : 1;
    header[2] = static_cast<char>(type);
    header[5] = static_cast<char>(map.size() / 3);
    header[7] = map.empty() ? 0 : 24;
    header[12] = 2;
    header[14] = 2;
    header[16] = static_cast<char>(depth);
    header[17] = static_cast<char>(descriptor);
    return header + map + pixels;
}

std::string tga(int type, int depth, bool top_down, const std::string &pixels,
                const std::string &map = "") {
    return tga_from(type, depth, top_down ? kTgaTopDown : 0, pixels, map);
}

TEST_F(BitTest, TgaRowsColourMapsAndRuns) {
    // Blue, green, red in the file; the top row last when bottom-up.
    std::string top_row = std::string("\x01\x02\x03\x04\x05\x06", 6);
    std::string bottom_row = std::string("\x07\x08\x09\x0a\x0b\x0c", 6);
    XV_BITMAP down = load("down.tga", tga(2, 24, true, top_row + bottom_row));
    XV_BITMAP up = load("up.tga", tga(2, 24, false, bottom_row + top_row));
    EXPECT_TRUE(same_pixels(down, up));
    EXPECT_EQ(rgb_at(down, 0, 0), (std::vector<uint8_t>{3, 2, 1}));
    // A run may carry on into the next row.
    XV_BITMAP packed =
        load("rle.tga", tga(10, 24, true, std::string("\x82\x01\x02\x03\x00\x0a\x0b\x0c", 8)));
    ASSERT_EQ(loaded, 1);
    EXPECT_EQ(rgb_at(packed, 0, 1), (std::vector<uint8_t>{3, 2, 1}));
    EXPECT_EQ(rgb_at(packed, 1, 1), (std::vector<uint8_t>{12, 11, 10}));
    // A colour map is read only when asked for, and never taken for pixels.
    std::string map = std::string("\x00\x00\xff\x00\xff\x00", 6); // red, green
    XV_BITMAP mapped = load("map.tga", tga(1, 8, true, std::string("\x00\x01\x01\x00", 4), map),
                            XV_BIT_WITH_PALETTE);
    EXPECT_EQ(mapped.pixels[1], 1);
    uint8_t rgb[3];
    xv_pal_colour(mapped.palette, 0, rgb);
    EXPECT_EQ(rgb[0], 255);
    XV_BITMAP plain = load("map2.tga", tga(1, 8, true, std::string("\x00\x01\x01\x00", 4), map));
    EXPECT_EQ(plain.palette, nullptr);
    EXPECT_EQ(plain.pixels[1], 1);
    XV_BITMAP words = load("w.tga", tga(2, 16, true, std::string(8, '\x11')));
    EXPECT_EQ(words.type, 15);
    for (XV_BITMAP *bitmap : {&down, &up, &packed, &mapped, &plain, &words}) {
        xv_bit_free(bitmap);
    }
}

// Four pixels stored from each of the four corners, raw and run-length,
// must all come out as the same picture.
TEST_F(BitTest, TgaPixelsFromEveryOriginLandInPlace) {
    const std::string pixel[4] = {std::string("\x01\x01\x01", 3), std::string("\x02\x02\x02", 3),
                                  std::string("\x03\x03\x03", 3), std::string("\x04\x04\x04", 3)};
    // Top left, top right, bottom left, bottom right of the picture.
    const std::string &tl = pixel[0], &tr = pixel[1], &bl = pixel[2], &br = pixel[3];
    struct Case {
        uint8_t descriptor;
        std::string in_file_order;
    } cases[] = {
        {kTgaTopDown, tl + tr + bl + br},
        {kTgaTopDown | kTgaRightToLeft, tr + tl + br + bl},
        {0, bl + br + tl + tr},
        {kTgaRightToLeft, br + bl + tr + tl},
    };
    for (const Case &c : cases) {
        std::string raw_packets;
        for (int i = 0; i < 4; ++i) {
            raw_packets += '\0' + c.in_file_order.substr(i * 3, 3); // four packets of one
        }
        for (int type : {2, 10}) {
            const std::string &body = type == 2 ? c.in_file_order : raw_packets;
            XV_BITMAP bitmap = load("o.tga", tga_from(type, 24, c.descriptor, body));
            ASSERT_EQ(loaded, 1);
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(rgb_at(bitmap, i % 2, i / 2), std::vector<uint8_t>(3, uint8_t(i + 1)))
                    << "descriptor " << int(c.descriptor) << " type " << type << " pixel " << i;
            }
            xv_bit_free(&bitmap);
        }
    }
}

TEST_F(BitTest, PcxOfThreePlanesAndTheNameThatChoosesTheLoader) {
    std::string header(128, '\0');
    header[0] = 10, header[1] = 5, header[2] = 1, header[3] = 8;
    header[8] = 1;  // x-max: 2 wide
    header[65] = 3; // planes
    header[66] = 2; // bytes per line
    // One line: red plane, green plane, blue plane; 0xC8 needs a count of 1.
    std::string data = std::string("\x10\x20\x30\x40\xC1\xC8\x60", 7);
    // Such a name passes the 8.3 check only when the file layer does not report.
    restart_file_layer(0);
    XV_BITMAP bitmap = load("PICTURE.PCX.PNG", header + data);
    ASSERT_EQ(loaded, 1);
    EXPECT_EQ(bitmap.type, 24);
    EXPECT_EQ(rgb_at(bitmap, 0, 0), (std::vector<uint8_t>{0x10, 0x30, 0xC8}));
    EXPECT_EQ(rgb_at(bitmap, 1, 0), (std::vector<uint8_t>{0x20, 0x40, 0x60}));
    xv_bit_free(&bitmap);
    load("picture.gif", "GIF89a");
    EXPECT_EQ(loaded, 0);
    EXPECT_NE(warnings().find("Unknown picture format. (File picture.gif)"), std::string::npos);
}

// Every colour type and depth, through every filter.
TEST_F(BitTest, PngOfEveryKindLoads) {
    struct Kind {
        int colour_type, depth, type;
    };
    for (Kind kind :
         {Kind{0, 1, 8}, Kind{0, 2, 8}, Kind{0, 4, 8}, Kind{0, 8, 8}, Kind{0, 16, 8},
          Kind{2, 8, 24}, Kind{2, 16, 24}, Kind{3, 1, 8}, Kind{3, 2, 8}, Kind{3, 4, 4},
          Kind{3, 8, 8}, Kind{4, 8, 32}, Kind{4, 16, 32}, Kind{6, 8, 32}, Kind{6, 16, 32}}) {
        test::PngPicture picture;
        picture.width = 9;
        picture.height = 6;
        picture.colour_type = kind.colour_type;
        picture.depth = kind.depth;
        int channels = kind.colour_type == 2   ? 3
                       : kind.colour_type == 4 ? 2
                       : kind.colour_type == 6 ? 4
                                               : 1;
        int samples = 9 * channels;
        int row_bytes = (samples * kind.depth + 7) / 8;
        int top = kind.depth == 16 ? 255 : (1 << kind.depth) - 1;
        std::vector<int> values;
        for (int y = 0; y < 6; ++y) {
            std::vector<uint8_t> row(row_bytes, 0);
            for (int s = 0; s < samples; ++s) {
                int value = (s * 5 + y * 3) % (top + 1);
                values.push_back(value);
                if (kind.depth == 16) {
                    row[2 * s] = static_cast<uint8_t>(value), row[2 * s + 1] = 0x5A;
                } else {
                    int bit = s * kind.depth;
                    row[bit / 8] |= static_cast<uint8_t>(value << (8 - kind.depth - bit % 8));
                }
            }
            picture.rows.insert(picture.rows.end(), row.begin(), row.end());
        }
        if (kind.colour_type == 3) {
            for (int i = 0; i <= top; ++i) {
                picture.palette.insert(picture.palette.end(), {uint8_t(i), uint8_t(2 * i), 7});
            }
        }
        XV_BITMAP bitmap =
            load("kind.png", test::encode_png(picture, {0, 1, 2, 3, 4}), XV_BIT_WITH_PALETTE);
        ASSERT_EQ(loaded, 1) << kind.colour_type << "/" << kind.depth;
        EXPECT_EQ(bitmap.type, kind.type);
        // The samples of the pixel at (x, y), as the bitmap holds them.
        for (int i = 0; i < 9 * 6; ++i) {
            const int *source = &values[i * channels];
            int scale = kind.colour_type == 0 && kind.depth < 8 ? 255 / top : 1;
            std::vector<int> expected;
            if (kind.colour_type == 4) {
                expected = {source[0], source[0], source[0], source[1]};
            } else {
                for (int c = 0; c < channels; ++c) {
                    expected.push_back(source[c] * scale);
                }
            }
            std::vector<int> actual;
            if (bitmap.type == 4) {
                actual = {i % 2 ? bitmap.pixels[i / 2] & 15 : bitmap.pixels[i / 2] >> 4};
            } else {
                int size = bitmap.type / 8;
                for (int c = 0; c < size; ++c) {
                    actual.push_back(bitmap.pixels[i * size + c]);
                }
            }
            ASSERT_EQ(actual, expected) << kind.colour_type << "/" << kind.depth << " pixel " << i;
        }
        if (kind.colour_type == 3) {
            uint8_t rgb[3];
            xv_pal_colour(bitmap.palette, 1, rgb);
            EXPECT_EQ(rgb[1], 2);
        }
        xv_bit_free(&bitmap);
    }
}

TEST_F(BitTest, DamagedOrUnsupportedPngIsRefused) {
    test::PngPicture picture;
    picture.width = picture.height = 4;
    picture.rows.assign(4 * 4 * 3, 200);
    std::string good = test::encode_png(picture);
    picture.interlace = 1;
    load("laced.png", test::encode_png(picture));
    EXPECT_NE(warnings().find("PNG format not supported yet. (File laced.png)"), std::string::npos);

    std::string bad_crc = good;
    bad_crc[30] ^= 1; // inside IHDR's data
    std::string short_stream = good;
    size_t idat = good.find("IDAT");
    short_stream[idat - 1] = 5; // the image data cut to five bytes
    short_stream.erase(idat + 4 + 5, 1);
    test::PngPicture indexed;
    indexed.width = indexed.height = 2;
    indexed.colour_type = 3;
    indexed.rows = {0, 3, 1, 0};
    indexed.palette = {1, 2, 3, 4, 5, 6}; // two entries: index 3 is past them
    std::string huge = good;
    huge[16] = 0x7F; // 32512 wide, with the data of a 4 × 4 picture
    const std::string damaged[] = {
        bad_crc, short_stream, good.substr(0, good.size() - 20), test::encode_png(indexed),
        huge,    "\x89PNG"};
    for (const std::string &bytes : damaged) {
        XV_BITMAP bitmap = load("bad.png", bytes);
        EXPECT_EQ(loaded, 0);
        EXPECT_EQ(bitmap.pixels, nullptr);
    }
    EXPECT_EQ(test::warnings_holding(warnings(), "PNG file is damaged. (File bad.png)"), 6);
}

TEST_F(BitTest, JpegBaselineAndProgressiveLoadAsTrueColour) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 32; ++x) {
            rgb.insert(rgb.end(), {uint8_t(x * 8), uint8_t(y * 10), 128});
        }
    }
    for (bool progressive : {false, true}) {
        XV_BITMAP bitmap = load("pic.jpg", test::encode_jpeg(32, 24, rgb, progressive));
        ASSERT_EQ(loaded, 1);
        EXPECT_EQ(bitmap.type, 24);
        EXPECT_EQ(bitmap.palette, nullptr);
        for (int i = 0; i < 32 * 24 * 3; ++i) {
            ASSERT_NEAR(bitmap.pixels[i], rgb[i], 12) << i;
        }
        xv_bit_free(&bitmap);
    }
    load("worse.jpe", "\xff\xd8 not at all");
    EXPECT_EQ(loaded, 0);
    EXPECT_NE(warnings().find("JPEG file is damaged. (File worse.jpe)"), std::string::npos);
}

// A picture cut short is shown as far as it goes (the rest grey, as other
// viewers show it), and named once in a warning so that it can be found.
TEST_F(BitTest, JpegCutShortLoadsWithOneWarning) {
    std::vector<uint8_t> rgb(64 * 64 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = static_cast<uint8_t>(i * 7 / 3);
    }
    std::string whole = test::encode_jpeg(64, 64, rgb, false);
    XV_BITMAP bitmap = load("cut.jpg", whole.substr(0, whole.size() * 2 / 3));
    ASSERT_EQ(loaded, 1);
    EXPECT_EQ(bitmap.width, 64);
    EXPECT_NEAR(rgb_at(bitmap, 10, 63)[0], 128, 2); // filled in
    xv_bit_free(&bitmap);
    EXPECT_EQ(test::count_occurrences(warnings(), "(File cut.jpg)"), 1);
    EXPECT_NE(warnings().find("JPEG file is incomplete or damaged"), std::string::npos);

    bitmap = load("whole.jpg", whole);
    xv_bit_free(&bitmap);
    EXPECT_EQ(warnings().find("whole.jpg"), std::string::npos);
}

// Four-ink pictures come out in the colours they show elsewhere: stored
// straight, or inverted as Adobe's programs store them (and say so).
TEST_F(BitTest, CmykAndYcckJpegsLoadAsRgb) {
    const uint8_t colours[4][3] = {{255, 0, 0}, {0, 160, 255}, {255, 255, 255}, {40, 40, 40}};
    for (bool adobe : {true, false}) {
        for (bool ycck : {false, true}) {
            if (ycck && !adobe) {
                continue; // only the marker tells YCCK from CMYK
            }
            std::vector<uint8_t> cmyk;
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    const uint8_t *rgb = colours[(y / 8) * 2 + x / 8];
                    for (int c = 0; c < 3; ++c) {
                        cmyk.push_back(adobe ? rgb[c] : uint8_t(255 - rgb[c])); // K = 0
                    }
                    cmyk.push_back(adobe ? 255 : 0);
                }
            }
            XV_BITMAP bitmap = load("ink.jpg", test::encode_jpeg_cmyk(16, 16, cmyk, ycck, adobe));
            ASSERT_EQ(loaded, 1) << "adobe " << adobe << " ycck " << ycck;
            EXPECT_EQ(bitmap.type, 24);
            for (int i = 0; i < 4; ++i) {
                std::vector<uint8_t> got = rgb_at(bitmap, (i % 2) * 8 + 4, (i / 2) * 8 + 4);
                for (int c = 0; c < 3; ++c) {
                    EXPECT_NEAR(got[c], colours[i][c], 6)
                        << "adobe " << adobe << " ycck " << ycck << " colour " << i;
                }
            }
            xv_bit_free(&bitmap);
        }
    }
    EXPECT_EQ(warnings(), "");
}

TEST_F(BitTest, OtherDamagedPicturesAreRefused) {
    std::string pcx(128 + 768, '\0');
    pcx[0] = 10, pcx[1] = 5, pcx[3] = 8, pcx[8] = 3, pcx[65] = 1, pcx[66] = 4;
    std::string run_past_row = pcx.substr(0, 128) + "\xC5\x01" + pcx.substr(128);
    std::string unsupported = pcx;
    unsupported[3] = 2;
    std::string short_tga = tga(2, 24, true, std::string(7, 'x'));
    std::string bad_run = tga(10, 24, true, std::string("\xff\x01\x02\x03", 4));
    load("a.pcx", pcx.substr(0, 100));
    load("b.pcx", run_past_row);
    load("c.pcx", unsupported);
    load("d.tga", short_tga);
    load("e.tga", bad_run);
    load("f.tga", tga(3, 8, true, "xxxx"));
    std::string log = warnings();
    EXPECT_EQ(test::count_occurrences(log, "PCX file is damaged."), 2);
    EXPECT_NE(log.find("PCX format not supported yet. (File c.pcx)"), std::string::npos);
    EXPECT_EQ(test::count_occurrences(log, "TGA file is damaged."), 2);
    EXPECT_NE(log.find("TGA format not supported yet. (File f.tga)"), std::string::npos);
}

TEST_F(BitTest, CopiesClipCentreScaleAndDouble) {
    XV_BITMAP source = make(8, 2, 2);
    memcpy(source.pixels, "\x01\x02\x03\x04", 4);
    XV_BITMAP screen = make(8, 6, 4);
    XV_RECT at = {-1, 3, 6, 4}; // half off the left and the bottom
    EXPECT_EQ(xv_bit_copy(&screen, &source, &at, nullptr, 0), 1);
    EXPECT_EQ(screen.pixels[3 * 6 + 0], 2);
    EXPECT_EQ(std::count(screen.pixels, screen.pixels + 24, 0), 23);

    xv_bit_fill(&screen, nullptr, 0);
    XV_RECT middle = {0, 0, 6, 4};
    xv_bit_copy(&screen, &source, &middle, nullptr, XV_BIT_COPY_CENTRE);
    EXPECT_EQ(screen.pixels[1 * 6 + 2], 1);
    EXPECT_EQ(screen.pixels[2 * 6 + 3], 4);

    xv_bit_copy(&screen, &source, nullptr, nullptr, XV_BIT_COPY_SCALE); // 2 × 2 onto 6 × 4
    EXPECT_EQ(screen.pixels[0], 1);
    EXPECT_EQ(screen.pixels[2], 1);
    EXPECT_EQ(screen.pixels[3], 2);
    EXPECT_EQ(screen.pixels[3 * 6 + 5], 4);

    xv_bit_fill(&screen, nullptr, 9);
    XV_RECT corner = {1, 0, 6, 4};
    xv_bit_copy(&screen, &source, &corner, nullptr, XV_BIT_COPY_DOUBLE);
    EXPECT_EQ(std::vector<uint8_t>(screen.pixels, screen.pixels + 6),
              (std::vector<uint8_t>{9, 1, 1, 2, 2, 9}));
    xv_bit_free(&screen);
    xv_bit_free(&source);
}

TEST_F(BitTest, TransparentCopiesSkipTheirKeyColour) {
    XV_BITMAP indexed = make(8, 2, 1);
    memcpy(indexed.pixels, "\x00\x05", 2);
    XV_BITMAP under = make(8, 2, 1);
    xv_bit_fill(&under, nullptr, 7);
    xv_bit_copy_transp(&under, &indexed, nullptr, nullptr, 0);
    EXPECT_EQ(under.pixels[0], 7);
    EXPECT_EQ(under.pixels[1], 5);
    for (int type : {16, 24, 32}) {
        XV_BITMAP source = make(type, 2, 1);
        XV_BITMAP target = make(type, 2, 1);
        xv_bit_fill(&target, nullptr, type == 16 ? 0x1234 : 0x00102030);
        uint32_t magenta = type == 16 ? xv_dsp_pack_pixel(16, 255, 0, 255) : 0x00FF00FF;
        XV_RECT first = {0, 0, 1, 1};
        XV_RECT second = {1, 0, 1, 1};
        xv_bit_fill(&source, &first, magenta); // with alpha 0 in 32 bits: still the key
        xv_bit_fill(&source, &second, type == 16 ? 0x0F0F : 0xFF405060);
        ASSERT_EQ(xv_bit_copy_transp(&target, &source, nullptr, nullptr, 0), 1);
        int size = type / 8;
        EXPECT_EQ(memcmp(target.pixels, source.pixels, size) != 0, true) << type;
        EXPECT_EQ(memcmp(target.pixels + size, source.pixels + size, size), 0) << type;
        xv_bit_free(&source);
        xv_bit_free(&target);
    }
    xv_bit_free(&indexed);
    xv_bit_free(&under);
}

TEST_F(BitTest, TheTransparencyLevelAndAlphaBlend) {
    XV_BITMAP canvas = make(24, 1, 1);
    xv_bit_fill(&canvas, nullptr, 0x000000);
    xv_bit_set_transparency(25); // a quarter of the old shows through
    xv_bit_fill(&canvas, nullptr, 0xC8C8C8);
    EXPECT_EQ(rgb_at(canvas, 0, 0), (std::vector<uint8_t>{150, 150, 150}));
    xv_bit_set_transparency(250);
    EXPECT_EQ(xv_bit_get_transparency(), 100);
    xv_bit_set_transparency(0);

    XV_BITMAP glass = make(32, 1, 1);
    XV_BITMAP wall = make(32, 1, 1);
    xv_bit_fill(&glass, nullptr, 0x80FF0000); // red at alpha 128
    xv_bit_fill(&wall, nullptr, 0xFF0000FF);
    xv_bit_copy(&wall, &glass, nullptr, nullptr, XV_BIT_COPY_ALPHA);
    EXPECT_EQ(rgb_at(wall, 0, 0), (std::vector<uint8_t>{128, 0, 127, 255}));
    for (XV_BITMAP *bitmap : {&canvas, &glass, &wall}) {
        xv_bit_free(bitmap);
    }
}

TEST_F(BitTest, CopiesRefuseWhatTheyCannotDraw) {
    XV_BITMAP eight = make(8, 2, 2);
    XV_BITMAP twenty_four = make(24, 2, 2);
    XV_BITMAP four = make(4, 2, 2);
    EXPECT_EQ(xv_bit_copy(&twenty_four, &eight, nullptr, nullptr, 0), 0);
    EXPECT_EQ(xv_bit_copy(&four, &four, nullptr, nullptr, 0), 0);
    EXPECT_NE(warnings().find("XV_BIT_BPP4 isn't implemented yet in xv_bit_copy ()"),
              std::string::npos);
    EXPECT_EQ(xv_bit_copy_at("course.cpp", 12, &eight, &eight, nullptr, nullptr, 0), 1);
    EXPECT_STREQ(xv_error_get_detail(), "xv_bit_copy (), file course.cpp, line 12");
    for (XV_BITMAP *bitmap : {&eight, &twenty_four, &four}) {
        xv_bit_free(bitmap);
    }
}

TEST_F(BitTest, ResizeScalesAndChecksItsArguments) {
    XV_BITMAP bitmap = make(8, 2, 2);
    memcpy(bitmap.pixels, "\x01\x02\x03\x04", 4);
    XV_RECT bigger = {0, 0, 4, 4};
    ASSERT_EQ(xv_bit_resize(&bitmap, &bigger, nullptr), 1);
    EXPECT_EQ(std::vector<uint8_t>(bitmap.pixels, bitmap.pixels + 8),
              (std::vector<uint8_t>{1, 1, 2, 2, 1, 1, 2, 2}));
    XV_RECT none = {0, 0, 0, 0};
    XV_RECT outside = {9, 9, 2, 2};
    EXPECT_EQ(xv_bit_resize(nullptr, &bigger, nullptr), 0);
    EXPECT_EQ(xv_bit_resize(&bitmap, nullptr, nullptr), 0);
    EXPECT_EQ(xv_bit_resize(&bitmap, &none, nullptr), 0);
    EXPECT_EQ(xv_bit_resize(&bitmap, &bigger, &outside), 0);
    std::string log = warnings();
    for (const char *message :
         {"Invalid bitmap pointer", "Invalid rectangle pointers",
          "Invalid rectangle destination size", "Invalid rectangle source size"}) {
        EXPECT_NE(log.find(message), std::string::npos) << message;
    }
    xv_bit_free(&bitmap);
}

TEST_F(BitTest, ConversionsFollowTheTable) {
    XV_BITMAP bitmap = make(8, 2, 1);
    memcpy(bitmap.pixels, "\x00\x01", 2);
    EXPECT_EQ(xv_bit_convert(&bitmap, 8), 1);
    EXPECT_EQ(xv_bit_convert(&bitmap, 16), 0);
    EXPECT_NE(warnings().find("Can't convert from 8 bpp without a palette"), std::string::npos);
    bitmap.palette = xv_pal_alloc(nullptr, 256, XV_PAL_RGB);
    memcpy(bitmap.palette->colours, "\x0a\x14\x1e\xff\x80\x00", 6);
    bitmap.transparent = 0;
    ASSERT_EQ(xv_bit_convert_at("hole.cpp", 3, &bitmap, 32 | XV_BIT_CONVERT_VARIANT), 1);
    EXPECT_EQ(bitmap.palette, nullptr);
    EXPECT_EQ(rgb_at(bitmap, 0, 0), (std::vector<uint8_t>{10, 20, 30, 0})); // transparent
    EXPECT_EQ(rgb_at(bitmap, 1, 0), (std::vector<uint8_t>{255, 128, 0, 255}));
    EXPECT_TRUE(bitmap.flags & XV_BIT_TRANSPARENT);
    EXPECT_EQ(std::string(xv_mem_get_name(bitmap.pixels))
                  .rfind("xv_bit_convert () from hole.cpp, "
                         "line 3\n (Previously known as Bitmap "
                         "8->32 BPP Conversion)",
                         0),
              0u);
    ASSERT_EQ(xv_bit_convert(&bitmap, 24), 1);
    ASSERT_EQ(xv_bit_convert(&bitmap, 16), 1);
    uint8_t red, green, blue;
    xv_dsp_unpack_pixel(16, reinterpret_cast<uint16_t *>(bitmap.pixels)[1], &red, &green, &blue);
    EXPECT_EQ(red, 255);
    EXPECT_EQ(blue, 0);
    EXPECT_EQ(xv_bit_convert(&bitmap, 24), 0); // 16 bits convert to nothing
    EXPECT_EQ(xv_bit_convert(&bitmap, 12), 0);
    xv_bit_free(&bitmap);

    bitmap = make(4, 3, 1);
    bitmap.pixels[0] = 0x12;
    bitmap.pixels[1] = 0x30;
    ASSERT_EQ(xv_bit_convert(&bitmap, 8), 1);
    EXPECT_EQ(std::vector<uint8_t>(bitmap.pixels, bitmap.pixels + 3),
              (std::vector<uint8_t>{1, 2, 3}));
    xv_bit_free(&bitmap);
    bitmap = make(24, 1, 1);
    EXPECT_EQ(xv_bit_convert(&bitmap, 8), 0);
    xv_bit_free(&bitmap);
    std::string log = warnings();
    EXPECT_NE(log.find("Invalid conversion from 16 to 24 BPP in function xv_bit_convert."),
              std::string::npos);
    EXPECT_NE(log.find("Invalid BPP conversion parameter in function xv_bit_convert."),
              std::string::npos);
    EXPECT_NE(log.find("24->8 BPP conversion parameter in function xv_bit_convert isn't "
                       "supported yet."),
              std::string::npos);
}

TEST_F(BitTest, PalettesAreSharedGreyRampsAndCopies) {
    XV_PALETTE *ramp = xv_pal_grayscale_get(256);
    EXPECT_EQ(ramp->colours[3], 1);
    EXPECT_EQ(ramp->colours[255 * 3], 255);
    XV_PALETTE *small = xv_pal_grayscale_get(16);
    EXPECT_EQ(small->colours[3], 17);
    EXPECT_EQ(small->colours[15 * 3], 255);
    EXPECT_EQ(xv_pal_grayscale_get(16), small);
    EXPECT_EQ(small->references, 3); // the module's and two callers'
    xv_pal_free(small);
    xv_pal_free(small);
    xv_pal_free(ramp);

    XV_PALETTE *rgba = xv_pal_alloc_at("menu.cpp", 9, ramp, 4, 0);
    EXPECT_EQ(rgba->type, XV_PALETTE_RGBA);
    EXPECT_EQ(rgba->colours[4 + 0], 1);
    EXPECT_EQ(rgba->colours[4 + 3], 255);
    EXPECT_STREQ(
        xv_mem_get_name(rgba->colours),
        "xv_pal_alloc (XV_PALETTE_RGBA *) (Allocated or Named in file: menu.cpp, on line: 9) "
        "(Previously known as XV_DSP pal_alloc mypalette->color_alpha buffer)");
    xv_pal_free(rgba);

    std::string file(100, 'x');
    for (int i = 0; i < 768; ++i) {
        file += static_cast<char>(i % 256);
    }
    write_file("colours.pal", file);
    XV_PALETTE *loaded_palette = xv_pal_load("colours.pal");
    ASSERT_NE(loaded_palette, nullptr);
    EXPECT_EQ(loaded_palette->colours[767], 255);
    xv_pal_free(loaded_palette);
}

} // namespace
