// The publisher slideshow on the fake clock, one frame a millisecond.
#include "app.h"
#include "course.h"
#include "gen_info.h"
#include "os_time.h"
#include "screens.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint32_t> ended;
uint32_t clock_now = 0;

void record_end(int status) {
    EXPECT_EQ(status, 0);
    ended.push_back(clock_now);
}

class SlideshowTest : public test::FileLayerTest {
  protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        gen_info_init();
        ended.clear();
        clock_now = 1000;
        os_tick_fake(&clock_now);
        slideshow_reset();
        slideshow_set_end(record_end);
        XV_RECT area = {0, 0, 800, 600};
        ASSERT_TRUE(xv_bit_alloc(&screen, &area, XV_BIT_BPP32));
        app_state()->screen = &screen;
    }
    void TearDown() override {
        app_state()->screen = nullptr;
        xv_bit_free(&screen);
        slideshow_set_end(nullptr);
        os_tick_fake(nullptr);
        gen_info_deinit();
        courses_forget();
        FileLayerTest::TearDown();
    }
    XV_BITMAP screen{};
};

TEST_F(SlideshowTest, NineteenSlidesByTheirTablesThenTheEnd) {
    EXPECT_EQ(slideshow_slide(), -1);
    std::vector<uint32_t> switches;
    while (ended.empty() && clock_now < 60000) {
        const int before = slideshow_slide();
        slideshow_step();
        if (slideshow_slide() != before) {
            switches.push_back(clock_now);
        }
        ++clock_now;
    }
    ASSERT_EQ(switches.size(), 19u);
    EXPECT_EQ(warnings(), "") << "pictures that did not load show as nothing, quietly";
    EXPECT_EQ(switches[0], 1000u) << "the first frame shows slide 0";
    EXPECT_EQ(switches[1], 1001u) << "which stays one frame";
    const uint32_t shown[18] = {2000, 2000, 3000, 2000, 3000, 1000, 1500, 1500, 1500,
                                1000, 1000, 1000, 1000, 3000, 1000, 3000, 1000, 3000};
    for (int slide = 1; slide < 18; ++slide) {
        // A switch comes with the first frame past its time.
        EXPECT_EQ(switches[slide + 1] - switches[slide], shown[slide - 1] + 1) << slide;
    }
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0] - switches[18], shown[17] + 1u) << "slide 18 shows for its 3000 ms";
    EXPECT_NEAR(ended[0] - switches[0], 32500.0, 30.0);
}

// The game's demo wrappers read the demo file the texts name; without one
// there are no demos, and the wrappers do nothing.
TEST_F(SlideshowTest, DemosComeFromTheFileTheTextsName) {
    test::write_file("data/texts.txt", "[Application]\r\nTitle=Pinwheel Golf\r\n");
    demo_init();
    EXPECT_NE(warnings().find("error loading demo file name"), std::string::npos);
    EXPECT_EQ(demo_active(), 0);
    demo_update();
    demo_deinit();

    test::write_file("data/texts.txt", "[Application]\r\nDMOFile=data\\demo.txt\r\n");
    test::write_file("data/demo.txt",
                     "[Demos]\r\nNumDemos=1\r\nDemo_01=course\r\nType_01=4\r\nTime_01=100\r\n");
    demo_init();
    EXPECT_EQ(demo_active(), 1);
    demo_run(1);
    demo_update();
    demo_run(0);
    EXPECT_EQ(demo_active(), 0);
    demo_deinit();
}

TEST_F(SlideshowTest, APreviewPictureComesFromItsLevelsSection) {
    test::write_file("data/levels.txt", "[course]\r\nholes=4\r\n"
                                        "[level003]\r\nmini_screen=gfx\\mini3.png\r\n"
                                        "[level004]\r\nmini_screen=gfx\\none.png\r\n");
    courses_forget();
    test::write_file("gfx/mini3.png", test::slide_picture_png(2));
    load_mini_screen(3);
    EXPECT_EQ(warnings(), "");
    load_mini_screen(3); // the one before is freed first
    load_mini_screen(4);
    EXPECT_NE(warnings().find("Screenxx's images not found !"), std::string::npos);
    free_publisher_pictures();
}

// The slides, drawn for 640 x 480, fill the screen as far as their
// proportions allow, in its middle: bars at the sides of a wide screen, at
// the top and bottom of a tall one.
TEST_F(SlideshowTest, TheSlidesAreScaledToTheScreenInTheirProportions) {
    for (int i = 0; i < 16; ++i) {
        test::write_file(i < 15 ? "gfx/pub_b" + std::to_string(i + 1) + ".png" : "gfx/pubintro.png",
                         test::slide_picture_png(i));
    }
    load_publisher_pictures();
    uint8_t intro[3];
    test::slide_colour(15, intro); // slide 0 shows the intro card
    const auto colour_at = [&](int x, int y) {
        const uint8_t *pixel = screen.pixels + (y * screen.width + x) * 4;
        return std::vector<int>{pixel[0], pixel[1], pixel[2]};
    };
    const std::vector<int> card = {intro[0], intro[1], intro[2]}, black = {0, 0, 0};
    struct Case {
        int width, height;
        int inside[2][2], outside[2][2];
    };
    const Case cases[] = {
        {800, 600, {{1, 1}, {798, 598}}, {{0, 0}, {0, 0}}},           // fills it: 1.25 times
        {1000, 600, {{101, 1}, {898, 598}}, {{98, 300}, {902, 300}}}, // 800 wide, 100 each side
        {640,
         800,
         {{1, 161}, {638, 638}},
         {{320, 158}, {320, 642}}}, // 480 high, 160 over and under
    };
    for (const Case &c : cases) {
        xv_bit_free(&screen);
        XV_RECT area = {0, 0, static_cast<int16_t>(c.width), static_cast<int16_t>(c.height)};
        ASSERT_TRUE(xv_bit_alloc(&screen, &area, XV_BIT_BPP32));
        slideshow_reset();
        slideshow_step(); // slide 0 comes up
        slideshow_step(); // and is drawn
        for (const auto &at : c.inside) {
            EXPECT_EQ(colour_at(at[0], at[1]), card) << c.width << "x" << c.height;
        }
        if (c.outside[0][0] || c.outside[0][1]) {
            for (const auto &at : c.outside) {
                EXPECT_EQ(colour_at(at[0], at[1]), black) << c.width << "x" << c.height;
            }
        }
    }
    free_publisher_pictures();
    EXPECT_EQ(warnings(), "");
}

} // namespace
