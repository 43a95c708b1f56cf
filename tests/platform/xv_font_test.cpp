#include "flic_writer.h"
#include "fontgen.h"
#include "test_support.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace {

using test::count_occurrences;
using test::write_file;

using test::glyph_sheet_png;
constexpr int kCell = test::kGlyphCell;

std::string font_file(int version, const std::string &sections) {
    return "[Font Properties]\r\nName=Test\r\nVersion=" + std::to_string(version) +
           "\r\nWidth=6\r\nHeight=6\r\n" + sections;
}

class FontTest : public test::FileLayerTest {
  protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        xv_font_init(&config);
    }
    void TearDown() override {
        xv_font_free(&font);
        xv_font_deinit();
        FileLayerTest::TearDown();
    }
    // One picture section of cells_across × rows cells with these lines.
    int load(const std::string &lines, int options = 0, int version = 2, int cells_across = 4,
             int rows = 2, const std::string &extra = "") {
        write_file("fonts/glyphs.png", glyph_sheet_png(cells_across, rows));
        std::string section = version == 1 ? "[File001]" : "[File000001]";
        write_file("fonts/test.fnt",
                   font_file(version, "NumFiles=1\r\n\r\n" + section +
                                          "\r\nName=glyphs.png\r\nType=1\r\n" + lines + extra));
        return xv_font_load(&font, "fonts/test.fnt", options | XV_FONT_LOAD_PALETTE);
    }
    static XV_BITMAP canvas(int type, int width, int height) {
        XV_BITMAP bitmap;
        XV_RECT area = {0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height)};
        EXPECT_EQ(xv_bit_alloc(&bitmap, &area, type), 1);
        return bitmap;
    }
    int width_of(const char *text, int flags = 0) {
        XV_RECT size{};
        EXPECT_EQ(xv_font_text_size(&font, text, &size, flags), 1);
        EXPECT_EQ(size.height, kCell);
        return size.width;
    }

    XV_FONT_CONFIG config{1};
    XV_FONT font{};
};

TEST_F(FontTest, CellsAreCutRowByRowAndDrawnLeftToRight) {
    ASSERT_EQ(load("NumLines=2\r\nLine001=ABCD\r\nLine002=EF\r\n"), 1);
    EXPECT_EQ(font.version, 2);
    EXPECT_EQ(xv_font_find(&font, 'A'), 2); // after the space the font made itself
    EXPECT_EQ(xv_font_find(&font, ' '), 1);
    EXPECT_EQ(xv_font_find(&font, 'Z'), 0);
    XV_RECT cell, visible;
    ASSERT_NE(xv_font_get_frame(&font, 'F', 1, &cell, &visible), nullptr);
    EXPECT_EQ(cell.x, kCell); // second cell of the second row
    EXPECT_EQ(cell.y, kCell);
    EXPECT_EQ(visible.width, kCell); // not proportional: the whole cell

    XV_BITMAP page = canvas(8, 40, 8);
    EXPECT_EQ(xv_font_draw_text(&font, &page, nullptr, 0, "%s%c", "DA", 'F'), 3 * kCell);
    // D is four columns of 13, A one of 10, F two of 11; index 0 stays clear.
    const uint8_t expected[] = {13, 13, 13, 13, 0, 0, 10, 0, 0, 0, 0, 0, 11, 11, 0, 0, 0, 0, 0};
    EXPECT_EQ(memcmp(page.pixels + 2 * 40, expected, sizeof expected), 0);
    EXPECT_EQ(page.pixels[6 * 40], 0) << "only the cell height is drawn";
    xv_bit_free(&page);

    EXPECT_EQ(width_of("ABC"), 3 * kCell);
    EXPECT_EQ(warnings(), "");
}

TEST_F(FontTest, ProportionalTextAdvancesByTheVisibleWidth) {
    ASSERT_EQ(load("NumLines=1\r\nLine001=ABCD\r\n", XV_FONT_LOAD_PROPORTIONAL), 1);
    XV_RECT visible;
    xv_font_get_frame(&font, 'C', 1, nullptr, &visible);
    EXPECT_EQ(visible.width, 3);
    EXPECT_EQ(visible.height, kCell);
    // A 1+1, D 4+1, and a space (none in the pictures) half a cell + 1.
    EXPECT_EQ(width_of("AD", XV_FONT_PROPORTIONAL), 7);
    EXPECT_EQ(width_of("A D", XV_FONT_PROPORTIONAL), 7 + kCell / 2 + 1);
    EXPECT_EQ(width_of("A?", XV_FONT_PROPORTIONAL), 2 + kCell / 2 + 1) << "unknown as a space";

    XV_BITMAP page = canvas(32, 20, 6);
    xv_bit_fill(&page, nullptr, 0xFF000000);
    XV_RECT box = {0, 0, 20, 6};
    EXPECT_EQ(xv_font_draw_text(&font, &page, &box, XV_FONT_PROPORTIONAL, "BA"), 5);
    auto red_at = [&](int x) { return page.pixels[(2 * 20 + x) * 4]; };
    EXPECT_EQ(red_at(0), 11); // palette entry i is (i, 255 - i, 7)
    EXPECT_EQ(red_at(1), 11);
    EXPECT_EQ(red_at(2), 0);
    EXPECT_EQ(red_at(3), 10);
    EXPECT_EQ(red_at(4), 0);
    // Centred: five columns in twenty start at column 7.
    xv_bit_fill(&page, nullptr, 0xFF000000);
    xv_font_draw_text(&font, &page, &box, XV_FONT_PROPORTIONAL | XV_FONT_CENTRE, "BA");
    EXPECT_EQ(red_at(6), 0);
    EXPECT_EQ(red_at(7), 11);
    xv_bit_free(&page);
}

TEST_F(FontTest, VersionOneReadsBytesVersionTwoReadsUtf8) {
    ASSERT_EQ(load("NumLines=1\r\nLine001=\xC3\xA9\r\n", 0, 2), 1);
    EXPECT_NE(xv_font_find(&font, 0xE9), 0);
    EXPECT_EQ(width_of("\xC3\xA9"), kCell);
    EXPECT_EQ(width_of("\xC3\xA9", XV_FONT_BYTES), 2 * kCell);
    xv_font_free(&font);

    ASSERT_EQ(load("NumLines=1\r\nLine001=\xC3\xA9\r\n", 0, 1), 1);
    EXPECT_EQ(font.version, 1);
    EXPECT_NE(xv_font_find(&font, 0xC3), 0);
    EXPECT_NE(xv_font_find(&font, 0xA9), 0);
    EXPECT_EQ(width_of("\xC3\xA9"), 2 * kCell);
}

TEST_F(FontTest, ACharacterMetAgainIsAnErrorOrAnotherFrame) {
    ASSERT_EQ(load("NumLines=2\r\nLine001=AB\r\nLine002=A\r\n"), 1);
    EXPECT_EQ(count_occurrences(warnings(), "A character is defined more than once"), 1);
    EXPECT_EQ(xv_font_char_frames(&font, 'A'), 1);
    xv_font_free(&font);

    ASSERT_EQ(load("NumLines=2\r\nLine001=AB\r\nLine002=CA\r\n", XV_FONT_LOAD_MORE_FRAMES), 1);
    ASSERT_EQ(xv_font_char_frames(&font, 'A'), 2);
    XV_RECT first, second, again;
    xv_font_get_frame(&font, 'A', 0, &first, nullptr);
    xv_font_get_frame(&font, 'A', 2, &second, nullptr);
    EXPECT_EQ(first.y, 0);
    EXPECT_EQ(second.x, kCell);
    EXPECT_EQ(second.y, kCell);
    xv_font_get_frame(&font, 'A', 1, &again, nullptr);
    EXPECT_EQ(again.y, 0) << "frames 0 and 1 are the same";
    xv_font_get_frame(&font, 'A', 3, &again, nullptr);
    EXPECT_EQ(again.y, 0) << "count + 1 wraps to the first";
}

TEST_F(FontTest, ALineLongerThanThePictureKeepsTheCellsThatFit) {
    ASSERT_EQ(load("NumLines=1\r\nLine001=ABCDEF\r\n", 0, 2, 4, 1), 1);
    EXPECT_EQ(count_occurrences(warnings(),
                                "Bitmap fonts/test.fnt [File000001] is 24x6, and characters "
                                "\"ABCDEF\" are 36x6"),
              1);
    EXPECT_EQ(count_occurrences(warnings(), "Some characters couldn't be loaded"), 1);
    EXPECT_TRUE(font.incomplete);
    EXPECT_NE(xv_font_find(&font, 'D'), 0);
    EXPECT_EQ(xv_font_find(&font, 'E'), 0);
}

TEST_F(FontTest, AliasesDrawWithTheGlyphOfAnother) {
    std::string aliases = "\r\n[Character Properties]\r\nMapSrc=abA\r\nMapDst=AZB\r\n";
    ASSERT_EQ(load("NumLines=1\r\nLine001=ABCD\r\n", 0, 2, 4, 1, aliases), 1);
    XV_RECT alias_cell, cell;
    EXPECT_EQ(xv_font_get_frame(&font, 'a', 1, &alias_cell, nullptr),
              xv_font_get_frame(&font, 'A', 1, &cell, nullptr));
    EXPECT_EQ(alias_cell.x, cell.x);
    EXPECT_EQ(xv_font_find(&font, 'b'), 0) << "Z is not in the font";
    EXPECT_EQ(xv_font_get_frame(&font, 'A', 1, &cell, nullptr),
              xv_font_get_frame(&font, 'B', 1, nullptr, nullptr));
    EXPECT_EQ(cell.x, 0) << "a character the font has keeps its own glyph";
    // The table stays sorted for the search: every code is found where it is.
    for (uint32_t code : {' ', 'A', 'B', 'C', 'D', 'a'}) {
        int place = xv_font_find(&font, code);
        ASSERT_GT(place, 0);
        EXPECT_EQ(font.table[place - 1].code, code);
    }
    // Freed once, though two codes share it: the tracker checks at teardown.
}

TEST_F(FontTest, DamagedDescriptionsAreRefusedOrLoadWhatTheyCan) {
    EXPECT_EQ(xv_font_load(&font, "none.fnt", 0), 0);
    EXPECT_EQ(count_occurrences(warnings(), "Couldn't find the font file"), 1);

    write_file("noname.fnt", "[Font Properties]\r\nWidth=6\r\nHeight=6\r\nNumFiles=0\r\n");
    EXPECT_EQ(xv_font_load(&font, "noname.fnt", 0), 0);
    write_file("nosize.fnt", "[Font Properties]\r\nName=X\r\nWidth=6\r\nNumFiles=0\r\n");
    EXPECT_EQ(xv_font_load(&font, "nosize.fnt", 0), 0);
    write_file("nofiles.fnt", font_file(2, ""));
    EXPECT_EQ(xv_font_load(&font, "nofiles.fnt", 0), 0);
    write_file("huge.fnt", font_file(1, "NumFiles=5000\r\n"));
    EXPECT_EQ(xv_font_load(&font, "huge.fnt", 0), 0) << "version 1 names at most File999";
    EXPECT_EQ(count_occurrences(warnings(), "Invalid font file format"), 4);

    write_file("nopal.fnt", font_file(2, "NumFiles=0\r\nPalette=missing.pal\r\n"));
    EXPECT_EQ(xv_font_load(&font, "nopal.fnt", 0), 0);
    EXPECT_EQ(count_occurrences(warnings(), "Couldn't load the font palette"), 1);

    // Old key names, a missing section, an unknown type and a missing line:
    // the font loads what it can and says so.
    write_file("glyphs.png", glyph_sheet_png(4, 1));
    write_file("partial.fnt", font_file(2, "NbFiles=4\r\n[File000001]\r\nName=glyphs.png\r\n"
                                           "Type=1\r\nNbLines=2\r\nLine001=AB\r\n"
                                           "[File000003]\r\nName=glyphs.png\r\nType=9\r\n"
                                           "NumLines=1\r\n[File000004]\r\nName=glyphs.png\r\n"
                                           "Type=3\r\nNumLines=1\r\n"));
    EXPECT_EQ(xv_font_load(&font, "partial.fnt", XV_FONT_LOAD_PALETTE), 1);
    EXPECT_TRUE(font.incomplete);
    EXPECT_NE(xv_font_find(&font, 'B'), 0);
    EXPECT_EQ(count_occurrences(warnings(), "Some characters couldn't be loaded"), 1);
}

TEST_F(FontTest, Utf8DecodingReportsBadSequencesAndNeverReadsPastTheEnd) {
    uint32_t *codes = nullptr;
    int capacity = 0;
    // 2-, 3- and 4-byte sequences.
    EXPECT_EQ(xv_font_utf_8_to_unicode(&codes, &capacity, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB1",
                                       XV_FONT_GROW | XV_FONT_UTF_8),
              4);
    EXPECT_EQ(codes[0], 'a');
    EXPECT_EQ(codes[1], 0xE9u);
    EXPECT_EQ(codes[2], 0x20ACu);
    EXPECT_EQ(codes[3], 0x1F3B1u);
    EXPECT_EQ(codes[4], 0u);
    EXPECT_STREQ(xv_mem_get_name(codes), "xv_font_utf_8_to_unicode buffer [5]");
    EXPECT_EQ(warnings(), "");

    // A byte that cannot lead is skipped; a bad continuation is reported and
    // decoding goes on; a sequence cut by the end stops it.
    EXPECT_EQ(
        xv_font_utf_8_to_unicode(&codes, &capacity, "\x80z\xC3(y", XV_FONT_GROW | XV_FONT_UTF_8),
        3);
    EXPECT_EQ(codes[0], 'z');
    EXPECT_EQ(codes[2], 'y');
    EXPECT_EQ(count_occurrences(warnings(), "The string isn't UTF-8 compliant"), 2);
    EXPECT_EQ(count_occurrences(warnings(), "is an invalid UTF-8 code"), 2);
    EXPECT_EQ(xv_font_utf_8_to_unicode(&codes, &capacity, "ok\xE2\x82", XV_FONT_UTF_8), 2);

    // A buffer that may not grow cuts the text and keeps its end mark.
    EXPECT_EQ(capacity, 5);
    EXPECT_EQ(xv_font_utf_8_to_unicode(&codes, &capacity, "abcdefgh", XV_FONT_UTF_8), 4);
    EXPECT_EQ(codes[4], 0u);
    // Bytes as codes size the buffer to the text.
    EXPECT_EQ(xv_font_utf_8_to_unicode(&codes, &capacity, "\xC3\xA9xyzuvw", XV_FONT_GROW), 8);
    EXPECT_EQ(capacity, 9);
    EXPECT_EQ(codes[0], 0xC3u);
    xv_mem_free(codes);
}

TEST_F(FontTest, AnAnimationGivesEveryCharacterAFrameOfEachPicture) {
    // Two frames of a 12 × 12 animation: row 0 holds A, row 1 holds B.
    FlicWriter writer(XV_FLIC_FLC, 12, 12, 5);
    std::vector<uint8_t> rgb(768, 40);
    std::vector<uint8_t> first(144, 0), second(144, 0);
    first[0] = 1, first[6 * 12] = 2, first[5 * 12 + 5] = 5;
    second[1] = 3, second[6 * 12 + 1] = 4;
    writer.begin_frame();
    writer.colours(rgb.data());
    writer.byte_run(first.data());
    writer.end_frame();
    writer.begin_frame();
    rgb[9] = 200; // entry 3 changes: the second picture gets a palette of its own
    writer.colours(rgb.data());
    writer.byte_run(second.data());
    writer.end_frame();
    write_file("fonts/anim.flc", writer.bytes());
    write_file("fonts/anim.fnt",
               font_file(2, "NumFiles=2\r\n[File000001]\r\nName=anim.flc\r\nType=4\r\n"
                            "NumLines=2\r\nLine001=A\r\nLine002=B\r\n"
                            "[File000002]\r\nName=anim.flc\r\nType=5\r\nNumLines=1\r\n"
                            "Line001=C\r\n"));
    ASSERT_EQ(xv_font_load(&font, "fonts/anim.fnt", 0), 1) << warnings();
    ASSERT_EQ(xv_font_char_frames(&font, 'A'), 2);
    ASSERT_EQ(xv_font_char_frames(&font, 'B'), 2);
    XV_RECT cell;
    XV_BITMAP *one = xv_font_get_frame(&font, 'B', 1, &cell, nullptr);
    XV_BITMAP *two = xv_font_get_frame(&font, 'B', 2, nullptr, nullptr);
    EXPECT_EQ(one->width, kCell);
    EXPECT_EQ(one->height, 2 * kCell);
    EXPECT_EQ(cell.y, kCell);
    EXPECT_EQ(one->pixels[6 * kCell], 2);
    EXPECT_EQ(two->pixels[6 * kCell + 1], 4);
    EXPECT_NE(one->palette, two->palette);
    EXPECT_EQ(one->palette->colours[9], 40);
    EXPECT_EQ(two->palette->colours[9], 200);
    EXPECT_EQ(font.table[xv_font_find(&font, 'A') - 1].character->frames[0].new_palette, 1);
    // Type 5 without a window: the area drawn over all frames, (0,0)-(5,6).
    XV_BITMAP *c = xv_font_get_frame(&font, 'C', 1, nullptr, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->width, 6);
    EXPECT_EQ(c->height, 7);
    EXPECT_EQ(xv_font_char_frames(&font, 'C'), 2);
    EXPECT_EQ(warnings(), "");
}

TEST_F(FontTest, OneCharacterDrawsScaledFittedOrAtItsPlace) {
    ASSERT_EQ(load("NumLines=1\r\nLine001=ABCD\r\n"), 1);
    XV_BITMAP page = canvas(8, 24, 24);
    XV_RECT area = {0, 0, 24, 12};
    EXPECT_EQ(xv_font_draw_char(&font, 'B', 1, &page, &area, XV_FONT_SCALED), 24);
    // B's two columns of six become eight of twenty-four.
    EXPECT_EQ(page.pixels[11 * 24 + 7], 11);
    EXPECT_EQ(page.pixels[11 * 24 + 8], 0);
    EXPECT_EQ(page.pixels[12 * 24], 0);

    memset(page.pixels, 0, 24 * 24);
    area = {0, 0, 24, 12};
    EXPECT_EQ(xv_font_draw_char(&font, 'D', 1, &page, &area, XV_FONT_SCALED | XV_FONT_KEEP_ASPECT),
              12);
    EXPECT_EQ(page.pixels[6 * 24 + 5], 0) << "a square glyph, centred";
    EXPECT_EQ(page.pixels[6 * 24 + 6], 13);
    EXPECT_EQ(page.pixels[6 * 24 + 13], 13);
    EXPECT_EQ(page.pixels[6 * 24 + 14], 0);

    memset(page.pixels, 0, 24 * 24);
    area = {0, 0, 24, 24};
    EXPECT_EQ(xv_font_draw_char(&font, 'A', 1, &page, &area, XV_FONT_FIT), kCell);
    EXPECT_EQ(page.pixels[9 * 24 + 9], 10);
    EXPECT_EQ(page.pixels[9 * 24 + 10], 0);
    EXPECT_EQ(xv_font_draw_char(&font, 'Q', 1, &page, &area, 0), 0) << "no glyph, no width";
    xv_bit_free(&page);
}

TEST_F(FontTest, TextsThatDoNotFitOrLandNowhereDrawNothing) {
    ASSERT_EQ(load("NumLines=1\r\nLine001=ABCD\r\n"), 1);
    XV_BITMAP page = canvas(8, 24, 6);
    XV_RECT outside = {30, 0, 10, 6};
    EXPECT_EQ(xv_font_draw_text(&font, &page, &outside, 0, "A"), 0);
    XV_RECT flat = {0, 0, 10, 0};
    EXPECT_EQ(xv_font_draw_text(&font, &page, &flat, 0, "A"), 0);
    std::string long_text(300, 'A');
    EXPECT_EQ(xv_font_draw_text(&font, &page, nullptr, 0, "%s", long_text.c_str()), 0);
    EXPECT_NE(warnings().find("Text over 255 characters"), std::string::npos);
    // A rectangle narrower than the text cuts it at its side.
    XV_RECT narrow = {0, 0, 8, 6};
    EXPECT_EQ(xv_font_draw_text(&font, &page, &narrow, 0, "DD"), 2 * kCell);
    EXPECT_EQ(page.pixels[6], 13);
    EXPECT_EQ(page.pixels[7], 13);
    EXPECT_EQ(page.pixels[8], 0);
    xv_bit_free(&page);
}

// The game's fonts come from fontgen: a known text drawn with one must show
// the shapes of its letters.
TEST_F(FontTest, AGeneratedFontDrawsItsLettersShapes) {
    FontRequest request;
    request.font_file = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    request.name = "Test";
    request.output = "gen/test";
    request.pixel_size = 40;
    request.colour[0] = 255, request.colour[1] = 128, request.colour[2] = 0;
    ASSERT_TRUE(parse_code_list("72-73,57344", &request.codes));
    std::filesystem::create_directories("gen");
    std::string error;
    ASSERT_TRUE(generate_font(request, &error)) << error;
    ASSERT_EQ(xv_font_load(&font, "gen/test.fnt", XV_FONT_LOAD_PROPORTIONAL), 1) << warnings();
    EXPECT_EQ(xv_font_find(&font, 0xE000), 0) << "DejaVu has no glyph there: left out";

    const int width = 120, height = font.height + 10;
    XV_BITMAP page = canvas(32, width, height);
    xv_bit_fill(&page, nullptr, 0xFF0000FF);
    XV_RECT size;
    xv_font_text_size(&font, "HI", &size, XV_FONT_PROPORTIONAL);
    EXPECT_EQ(xv_font_draw_text(&font, &page, nullptr, XV_FONT_PROPORTIONAL, "HI"), size.width);
    auto ink = [&](int x, int y) { return page.pixels[(y * width + x) * 4] > 160; };
    // Runs of ink along a row, between two columns.
    auto runs = [&](int y, int from, int to) {
        int count = 0;
        for (int x = from; x < to; ++x) {
            count += ink(x, y) && (x == from || !ink(x - 1, y));
        }
        return count;
    };
    XV_RECT h_visible;
    xv_font_get_frame(&font, 'H', 1, nullptr, &h_visible);
    int h_end = h_visible.width + 1;
    int top = height, bottom = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            if (ink(x, y)) {
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    ASSERT_GT(bottom - top, 20) << "capitals about 29 pixels high at 40";
    EXPECT_LT(bottom, font.height) << "nothing below the line";
    int upper = top + (bottom - top) / 5, middle = (top + bottom) / 2;
    EXPECT_EQ(runs(upper, 0, h_end), 2) << "H: two stems";
    EXPECT_EQ(runs(middle, 0, h_end), 1) << "H: the bar joins them";
    EXPECT_EQ(runs(upper, h_end, size.width), 1) << "I: one stem";
    EXPECT_EQ(runs(middle, h_end, size.width), 1);
    EXPECT_EQ(runs(upper, size.width, width), 0) << "nothing past the text";
    // Ink is the generated colour; the background shows between the strokes.
    const uint8_t *stem = nullptr;
    for (int x = 0; x < h_end && !stem; ++x) {
        if (ink(x, middle) && ink(x + 1, middle) && ink(x + 2, middle)) {
            stem = page.pixels + (middle * width + x + 1) * 4;
        }
    }
    ASSERT_NE(stem, nullptr);
    EXPECT_EQ(stem[0], 255);
    EXPECT_NEAR(stem[1], 128, 8);
    EXPECT_EQ(page.pixels[((upper * width) + h_end / 2) * 4 + 2], 255) << "blue inside the H";
    xv_bit_free(&page);
}

} // namespace
