#include "os_time.h"
#include "test_support.h"

#include <map>

namespace {

using test::count_occurrences;
using test::kGlyphCell;
using test::write_file;

// The test font's glyphs, in the order of its cells.
const char kGlyphs[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

int glyph_index(char c) {
    return 10 + static_cast<int>(strchr(kGlyphs, c) - kGlyphs);
}

// Four lines in 10,20,50,40 of 800 × 600: the area is (80, 120, 400, 240)
// and each line (240 - 3 × 4) / 4 = 57 pixels high, 61 apart.
const char kMainMenu[] = "[Main]\r\n"
                         "NumLines=4\r\nPosition=10,20,50,40\r\nTimeout=3000\r\nDelay=200\r\n"
                         "Transparency=40\r\nSpace=4\r\nDefault=2\r\n"
                         "Type_01=1\r\nFont_01=1\r\nAlign_01=1\r\nLine_01=MENU\r\n"
                         "Type_02=4\r\nValue_02=7\r\nNotif_02=100\r\nFont_02=0\r\nAlign_02=0\r\n"
                         "Line_02=VOL %d\r\n"
                         "Type_03=8\r\nNumOptions_03=3\r\nValue_03=0\r\nNotif_03=101\r\n"
                         "Font_03=1\r\nAlign_03=0\r\n"
                         "Line_03_01=LOW\r\nLine_03_02=MEDIUM\r\nLine_03_03=HIGHEST\r\n"
                         "Type_04=4\r\nValue_04=0\r\nNotif_04=102\r\nFont_04=1\r\nAlign_04=1\r\n"
                         "Line_04=QUIT\r\n";

class MenuTest : public test::FileLayerTest {
  protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        xv_font_init(&font_config);
        xv_menu_init(&menu_config);
        write_file("glyphs.png", test::glyph_sheet_png(36, 1));
        write_file("menu.fnt", std::string("[Font Properties]\r\nName=Menu\r\nVersion=2\r\n"
                                           "Width=6\r\nHeight=6\r\nNumFiles=1\r\n"
                                           "[File000001]\r\nName=glyphs.png\r\nType=1\r\n"
                                           "NumLines=1\r\nLine001=") +
                                   kGlyphs + "\r\n");
        ASSERT_EQ(xv_font_load(&font, "menu.fnt", XV_FONT_LOAD_PALETTE | XV_FONT_LOAD_PROPORTIONAL),
                  1);
        os_tick_fake(&clock);
    }
    void TearDown() override {
        xv_menu_free(&menu);
        xv_font_free(&font);
        xv_font_deinit();
        xv_dsp_set_buffer_size(0, 0);
        xv_dsp_set_accelerated(0);
        os_tick_fake(nullptr);
        FileLayerTest::TearDown();
    }
    int load(const std::string &text, const char *section = "Main", int flags = 0) {
        write_file("menu.txt", text);
        return xv_menu_load(&menu, "menu.txt", section, &MenuTest::answer, this, &font, flags);
    }
    // The application's side: values by notification id.
    static int answer(int notification, int request, int value, void *data) {
        auto *self = static_cast<MenuTest *>(data);
        if (request == XV_MENU_GET) {
            return self->values.count(notification) ? self->values[notification] : value;
        }
        if (request == XV_MENU_CHOOSE) {
            self->chosen = notification;
            return value;
        }
        return self->values[notification] = value;
    }

    XV_FONT_CONFIG font_config{1};
    XV_MENU_CONFIG menu_config{1, 800, 600};
    XV_FONT font{};
    XV_MENU menu{};
    uint32_t clock = 1000;
    std::map<int, int> values;
    int chosen = 0;
};

TEST_F(MenuTest, LinesAreLaidOutInPercentAndFollowTheBuffer) {
    ASSERT_EQ(load(kMainMenu), 1) << warnings();
    EXPECT_EQ(warnings(), "");
    EXPECT_STREQ(menu.section, "Main");
    EXPECT_EQ(menu.area.x, 80);
    EXPECT_EQ(menu.area.y, 120);
    EXPECT_EQ(menu.area.width, 400);
    EXPECT_EQ(menu.area.height, 240);
    EXPECT_EQ(menu.default_line, 1);
    EXPECT_EQ(menu.lines[2].num_options, 3);
    // Line i at 120 + 61 i, 57 high; the widest text, "VOL %d" in six
    // monospace cells, spans the menu and the others keep their proportion.
    const XV_RECT &volume = menu.lines[1].options[0].area;
    EXPECT_EQ(volume.width, 400);
    EXPECT_EQ(volume.x, 80);
    const XV_RECT &widest = menu.lines[2].options[2].area; // HIGHEST, proportional
    XV_RECT size;
    xv_font_text_size(&font, "HIGHEST", &size, XV_FONT_PROPORTIONAL);
    EXPECT_EQ(widest.width, size.width * 400 / 36);
    EXPECT_EQ(widest.x, 80);
    EXPECT_EQ(widest.y, 120 + 2 * 61);
    EXPECT_EQ(widest.height, 57);
    const XV_RECT &quit = menu.lines[3].options[0].area; // centred
    EXPECT_GT(quit.x, 80);
    EXPECT_EQ(quit.x - 80, (400 - quit.width) / 2);

    // The buffer doubles, then comes back: every rectangle follows, exactly.
    xv_dsp_set_buffer_size(1600, 1200);
    EXPECT_EQ(menu.area.x, 160);
    EXPECT_EQ(menu.area.height, 480);
    EXPECT_EQ(widest.y, 2 * (120 + 2 * 61));
    xv_dsp_set_buffer_size(1000, 750);
    xv_dsp_set_buffer_size(800, 600);
    EXPECT_EQ(widest.y, 120 + 2 * 61);
    EXPECT_EQ(menu.area.width, 400);
    // Freed, the menu leaves the list: a later resize touches nothing of it.
    XV_RECT kept = menu.area;
    xv_menu_free(&menu);
    xv_dsp_set_buffer_size(1600, 1200);
    EXPECT_EQ(kept.width, 400);
}

TEST_F(MenuTest, MissingAndWrongKeysTakeDefaultsOrFailTheLoad) {
    // Default 0 (or past the lines) is none: the last selectable line is taken.
    ASSERT_EQ(
        load("[M]\r\nNumLines=3\r\nDefault=0\r\nSpace=0\r\n"
             "Type_01=4\r\nValue_01=1\r\nNotif_01=1\r\nFont_01=1\r\nAlign_01=1\r\nLine_01=A\r\n"
             "Type_02=4\r\nValue_02=1\r\nNotif_02=2\r\nFont_02=1\r\nAlign_02=1\r\nLine_02=B\r\n"
             "Type_03=1\r\nFont_03=1\r\nAlign_03=1\r\nLine_03=C\r\n",
             "M"),
        1);
    EXPECT_EQ(count_occurrences(warnings(), "Invalid menu position"), 1) << "no Position";
    EXPECT_EQ(menu.area.x, 200) << "25% of 800";
    EXPECT_EQ(menu.timeout, 10000);
    EXPECT_EQ(menu.delay, 500);
    EXPECT_EQ(menu.transparency, 50);
    EXPECT_EQ(menu.escape, 1);
    EXPECT_EQ(menu.default_line, -1);
    xv_menu_activate(&menu, XV_MENU_ACTIVE);
    EXPECT_EQ(menu.current_line, 1);
    xv_menu_free(&menu);

    // A type outside the table fails the load, whatever else is right.
    for (int type : {3, 256}) {
        std::string text = "[M]\r\nNumLines=2\r\nPosition=0,0,100,100\r\nSpace=0\r\n"
                           "Type_01=1\r\nFont_01=1\r\nAlign_01=1\r\nLine_01=A\r\n"
                           "Type_02=" +
                           std::to_string(type) + "\r\n";
        EXPECT_EQ(load(text, "M"), 0);
        EXPECT_EQ(count_occurrences(warnings(), "menu.txt [M] Type_02=" + std::to_string(type)), 1);
        EXPECT_EQ(menu.lines, nullptr);
    }
    EXPECT_EQ(load("[M]\r\nPosition=0,0,100,100\r\n", "M"), 0);
    EXPECT_EQ(count_occurrences(warnings(), "menu.txt [M] NumLines"), 1);
    EXPECT_EQ(xv_menu_load(&menu, "none.txt", "M", nullptr, nullptr, &font, 0), 0);
    EXPECT_EQ(count_occurrences(warnings(), "Couldn't find the menu file"), 1);

    // A choice without its option count has one; lines that cannot share
    // the height leave a pitch of 0.
    ASSERT_EQ(load("[M]\r\nNumLines=2\r\nPosition=0,0,100,10\r\nSpace=100\r\n"
                   "Type_01=8\r\nValue_01=0\r\nNotif_01=1\r\nFont_01=1\r\nAlign_01=1\r\n"
                   "Line_01=A\r\nType_02=1\r\nFont_02=1\r\nAlign_02=1\r\nLine_02=B\r\n",
                   "M"),
              1);
    EXPECT_EQ(menu.lines[0].num_options, 1);
    EXPECT_EQ(count_occurrences(warnings(), "menu.txt [M] NumOptions_01"), 1);
    EXPECT_EQ(count_occurrences(warnings(), "Invalid menu size"), 1);
    EXPECT_EQ(menu.lines[1].options[0].area.height, 0);
}

TEST_F(MenuTest, KeysMoveWrapChangeChooseAndLeave) {
    ASSERT_EQ(load(kMainMenu), 1);
    xv_menu_activate(&menu, XV_MENU_ACTIVE);
    EXPECT_EQ(menu.current_line, 1) << "the default line";
    clock += 100;
    EXPECT_EQ(xv_menu_key(&menu, XV_MENU_KEY_DOWN), XV_MENU_NOTHING) << "within the delay";
    clock += 150;
    EXPECT_EQ(xv_menu_key(&menu, XV_MENU_KEY_DOWN), XV_MENU_MOVED);
    EXPECT_EQ(menu.current_line, 2);
    xv_menu_key(&menu, XV_MENU_KEY_DOWN);
    EXPECT_EQ(xv_menu_key(&menu, XV_MENU_KEY_DOWN), XV_MENU_MOVED);
    EXPECT_EQ(menu.current_line, 1) << "wraps past the end, over the title";
    xv_menu_key(&menu, XV_MENU_KEY_UP);
    EXPECT_EQ(menu.current_line, 3) << "and back past the start";

    // The choice wraps around its options; the application hears each step.
    xv_menu_key(&menu, XV_MENU_KEY_UP);
    EXPECT_EQ(xv_menu_key(&menu, XV_MENU_KEY_LEFT), XV_MENU_CHANGED);
    EXPECT_EQ(values[101], 2);
    xv_menu_key(&menu, XV_MENU_KEY_ENTER);
    EXPECT_EQ(values[101], 0);
    xv_menu_key(&menu, XV_MENU_KEY_RIGHT);
    EXPECT_EQ(values[101], 1);
    // A number steps without bounds of its own.
    xv_menu_key(&menu, XV_MENU_KEY_UP);
    xv_menu_key(&menu, XV_MENU_KEY_RIGHT);
    EXPECT_EQ(values[100], 8);
    xv_menu_key(&menu, XV_MENU_KEY_UP); // to QUIT
    EXPECT_EQ(xv_menu_key(&menu, XV_MENU_KEY_ENTER), XV_MENU_CHOSEN);
    EXPECT_EQ(chosen, 102);

    // Left alone for the time-out, the menu goes back to its default line.
    clock += 2999;
    xv_menu_update(&menu);
    EXPECT_EQ(menu.current_line, 3);
    clock += 1;
    xv_menu_update(&menu);
    EXPECT_EQ(menu.current_line, 1);

    EXPECT_EQ(xv_menu_key(&menu, XV_MENU_KEY_ESCAPE), XV_MENU_LEFT);
    EXPECT_EQ(menu.active, 0);
    EXPECT_EQ(xv_menu_key(&menu, XV_MENU_KEY_DOWN), XV_MENU_NOTHING) << "inactive";
    xv_menu_free(&menu);

    std::string fixed = kMainMenu;
    fixed.insert(fixed.find("Type_01"), "Escape=0\r\n");
    ASSERT_EQ(load(fixed), 1);
    xv_menu_activate(&menu, XV_MENU_ACTIVE);
    clock += 1000;
    EXPECT_EQ(xv_menu_key(&menu, XV_MENU_KEY_ESCAPE), XV_MENU_NOTHING);
    EXPECT_EQ(menu.active, 1);
}

TEST_F(MenuTest, LinesForOneKindOfDisplayShowOnlyThere) {
    std::string text = kMainMenu;
    text.replace(text.find("Type_04=4"), 9, "Type_04=20"); // 4 | 16: accelerated only
    ASSERT_EQ(load(text), 1);
    EXPECT_FALSE(xv_menu_line_shown(&menu, 3));
    EXPECT_FALSE(xv_menu_line_selectable(&menu, 3));
    xv_menu_activate(&menu, XV_MENU_ACTIVE);
    clock += 1000;
    xv_menu_key(&menu, XV_MENU_KEY_UP);
    EXPECT_EQ(menu.current_line, 2) << "skips the hidden line";
    xv_dsp_set_accelerated(1);
    EXPECT_TRUE(xv_menu_line_selectable(&menu, 3));
}

TEST_F(MenuTest, DrawingBlendsTheBackgroundAndShowsValuesAndTheMarker) {
    ASSERT_EQ(load(kMainMenu), 1);
    values[100] = 7;
    values[101] = 1;
    XV_BITMAP page, marker;
    XV_RECT whole = {0, 0, 800, 600}, small = {0, 0, 4, 4};
    ASSERT_EQ(xv_bit_alloc(&page, &whole, XV_BIT_BPP32), 1);
    ASSERT_EQ(xv_bit_alloc(&marker, &small, XV_BIT_BPP32), 1);
    xv_bit_fill(&marker, nullptr, 0xFF00FF00);
    xv_bit_fill(&page, nullptr, 0xFFFFFFFF);
    xv_menu_draw(&menu, &font, &page, &marker, 0);
    EXPECT_EQ(page.pixels[(130 * 800 + 90) * 4], 255) << "inactive: nothing drawn";

    xv_menu_activate(&menu, XV_MENU_ACTIVE);
    xv_menu_draw(&menu, &font, &page, &marker, 0);
    auto pixel = [&](int x, int y) { return page.pixels + (y * 800 + x) * 4; };
    EXPECT_EQ(pixel(79, 300)[0], 255) << "outside the menu";
    EXPECT_EQ(pixel(479, 359)[1], 102) << "black over white, 40% showing through";
    EXPECT_EQ(xv_bit_get_transparency(), 0) << "the level is the menu's only for its fill";
    // "VOL %d" shows 7 in its fifth cell (monospace, from the left).
    const XV_RECT &volume = menu.lines[1].options[0].area;
    EXPECT_EQ(pixel(volume.x, volume.y)[0], glyph_index('V'));
    EXPECT_EQ(pixel(volume.x + 4 * kGlyphCell, volume.y)[0], glyph_index('7'));
    // The choice shows its current option, MEDIUM, in that option's place.
    const XV_RECT &medium = menu.lines[2].options[1].area;
    EXPECT_EQ(pixel(medium.x, medium.y)[0], glyph_index('M'));
    // The marker stands left of the current line, centred down it.
    EXPECT_EQ(pixel(volume.x - 8, volume.y + 26)[1], 255);
    EXPECT_EQ(pixel(volume.x - 8, volume.y + 26)[0], 0);
    xv_bit_free(&page);
    xv_bit_free(&marker);
}

} // namespace
