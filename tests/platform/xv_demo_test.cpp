// The demo player on the fake clock: entries start, run and end by their
// times, an animation of time 0 runs to its end, and flag 2 skips the
// moving entries.
#include "flic_writer.h"
#include "os_time.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> calls;

void scene_start(const char *name) {
    calls.push_back(std::string("start ") + name);
}
void scene_frame(const char *name) {
    calls.push_back(std::string("frame ") + name);
}
void scene_end(const char *name) {
    calls.push_back(std::string("end ") + name);
}

class DemoTest : public test::FileLayerTest {
  protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        calls.clear();
        os_tick_fake(&clock);
        XV_RECT area = {0, 0, 64, 48};
        ASSERT_TRUE(xv_bit_alloc(&screen, &area, XV_BIT_BPP32));
        descriptor.report = 1;
        descriptor.screen = &screen;
        descriptor.music = &music;
        descriptor.digital_music = &digital_music;
        descriptor.scene_start = scene_start;
        descriptor.scene_frame = scene_frame;
        descriptor.scene_end = scene_end;
        ASSERT_EQ(xv_demo_init(&descriptor), 1);
    }
    void TearDown() override {
        xv_demo_deinit();
        xv_bit_free(&screen);
        os_tick_fake(nullptr);
        FileLayerTest::TearDown();
    }
    // Frames of the animation: each a solid colour index, with a palette.
    void write_animation(const std::string &name, int frames) {
        FlicWriter writer(2, 8, 8, 10);
        std::vector<uint8_t> palette(768);
        for (int i = 0; i < 256; ++i) {
            palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<uint8_t>(i);
        }
        for (int frame = 0; frame < frames; ++frame) {
            writer.begin_frame();
            if (frame == 0) {
                writer.colours(palette.data());
            }
            std::vector<uint8_t> pixels(64, static_cast<uint8_t>(100 + frame));
            writer.copy(pixels.data());
            writer.end_frame();
        }
        test::write_file(name, writer.bytes());
    }
    // Runs updates every 10 ms of the fake clock for that long.
    void run_for(XV_DEMO *demo, uint32_t milliseconds, int flags = 0) {
        for (uint32_t t = 0; t < milliseconds; t += 10) {
            clock += 10;
            xv_demo_update(demo, flags);
        }
    }

    uint32_t clock = 5000;
    XV_BITMAP screen{};
    std::atomic<int32_t> music{0}, digital_music{1};
    XV_DEMO_DESCRIPTOR descriptor{};
};

TEST_F(DemoTest, EntriesFollowOneAnotherByTheirTimesAndGoRound) {
    test::write_file("pic.png", test::slide_picture_png(3));
    test::write_file("demos.ini", "[Demos]\r\nNbDemos=3\r\n"
                                  "Demo_01=pic.png\r\nType_01=2\r\nTime_01=100\r\n"
                                  "Demo_02=course\r\nType_02=4\r\nTime_02=50\r\n"
                                  "Demo_03=pic.png\r\nType_03=2\r\nTime_03=100\r\n");
    XV_DEMO *demo = xv_demo_load("demos.ini", "Demos");
    ASSERT_NE(demo, nullptr) << "NbDemos stands in for NumDemos";
    ASSERT_EQ(demo->count, 3);
    EXPECT_EQ(demo->active, 1);
    // Running goes on from the entry after the current one, as after a stop.
    xv_demo_run(demo, XV_DEMO_RUN);
    EXPECT_EQ(demo->current, 1);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], "start course");
    EXPECT_EQ(calls[1], "frame course");
    run_for(demo, 40);
    EXPECT_EQ(demo->current, 1) << "50 ms on screen";
    run_for(demo, 20);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "end course"), calls.end());
    EXPECT_EQ(demo->current, 2);
    EXPECT_EQ(demo->picture_loaded, 1);
    uint8_t rgb[3];
    test::slide_colour(3, rgb);
    EXPECT_EQ(screen.pixels[0], rgb[0]) << "the picture copied onto the screen";
    EXPECT_EQ(screen.pixels[2], rgb[2]);
    run_for(demo, 110);
    EXPECT_EQ(demo->current, 0) << "round again";
    run_for(demo, 110);
    EXPECT_EQ(demo->current, 1);
    xv_demo_run(demo, 0);
    EXPECT_EQ(demo->active, 0);
    xv_demo_free(demo);
}

TEST_F(DemoTest, AnAnimationOfTimeZeroPlaysToItsEndFadesAndMovesOn) {
    write_animation("anim.flc", 4);
    test::write_file("demos.ini", "[Demos]\r\nNumDemos=2\r\n"
                                  "Demo_01=course\r\nType_01=4\r\nTime_01=1000\r\n"
                                  "Demo_02=anim.flc\r\nType_02=3\r\nTime_02=0\r\n");
    XV_DEMO *demo = xv_demo_load("demos.ini", "Demos");
    ASSERT_NE(demo, nullptr);
    EXPECT_EQ(demo->entries[1]->time, 2147483647) << "runs until it ends";
    xv_demo_run(demo, XV_DEMO_RUN);
    EXPECT_EQ(demo->animation_state, XV_DEMO_ANIMATION_PLAYING);
    run_for(demo, 100);
    EXPECT_EQ(demo->animation.current_frame, 4) << "every frame shown";
    EXPECT_EQ(demo->current, 1) << "fading";
    run_for(demo, 400);
    EXPECT_EQ(demo->current, 0) << "faded to black, then the next entry";
    EXPECT_EQ(demo->animation_open, 0);
    EXPECT_EQ(screen.pixels[0], 0) << "the screen cleared";
    xv_demo_free(demo);
}

TEST_F(DemoTest, AKeyStopsAnAnimationAndFlagTwoSkipsWhatMoves) {
    write_animation("anim.flc", 50);
    test::write_file("demos.ini", "[Demos]\r\nNumDemos=2\r\n"
                                  "Demo_01=course\r\nType_01=4\r\nTime_01=1000\r\n"
                                  "Demo_02=anim.flc\r\nType_02=3\r\nTime_02=0\r\n");
    XV_DEMO *demo = xv_demo_load("demos.ini", "Demos");
    ASSERT_NE(demo, nullptr);
    xv_demo_run(demo, XV_DEMO_RUN);
    xv_input_set_key(56, 0x80); // Alt alone does not count
    run_for(demo, 20);
    EXPECT_EQ(demo->current, 1);
    xv_input_set_key(57, 0x80);
    run_for(demo, 20);
    xv_input_set_key(57, 0);
    EXPECT_EQ(demo->current, 0) << "Space stopped it";

    xv_demo_run(demo, 0);
    calls.clear();
    xv_demo_run(demo, XV_DEMO_RUN | XV_DEMO_SKIP_MOVING);
    run_for(demo, 50, XV_DEMO_SKIP_MOVING);
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string &c) { return c.rfind("start", 0) == 0; }),
              0)
        << "nothing shown";
    EXPECT_EQ(demo->animation_open, 0);
    xv_demo_free(demo);
}

TEST_F(DemoTest, AFileWithoutItsCountOrAnEntryIsReported) {
    test::write_file("bad.ini", "[Demos]\r\nDemo_01=x\r\n");
    EXPECT_EQ(xv_demo_load("bad.ini", "Demos"), nullptr);
    EXPECT_EQ(xv_demo_load("missing.ini", "Demos"), nullptr);
    test::write_file("gap.ini", "[Demos]\r\nNumDemos=2\r\nDemo_02=course\r\nType_02=4\r\n");
    XV_DEMO *demo = xv_demo_load("gap.ini", "Demos");
    ASSERT_NE(demo, nullptr);
    EXPECT_EQ(demo->entries[0], nullptr);
    EXPECT_NE(warnings().find("Sorry, I can't find key Demo_01 in gap.ini"), std::string::npos);
    xv_demo_run(demo, XV_DEMO_RUN);
    EXPECT_EQ(demo->current, 1) << "the missing entry is passed over";
    xv_demo_free(demo);
}

} // namespace
