#include "test_support.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using test::count_occurrences;

class ResizeListTest : public test::FileLayerTest {
  protected:
    void TearDown() override {
        xv_dsp_set_buffer_size(0, 0);
        FileLayerTest::TearDown();
    }
};

TEST_F(ResizeListTest, EntriesScaleFromTheirRegisteredValues) {
    XV_RECT box = {100, 60, 201, 33};
    XV_POINT_FLOAT point = {10.0f, 30.0f};
    ASSERT_EQ(xv_dsp_rect_add("game.cpp", 7, &box), 1);
    ASSERT_EQ(xv_dsp_point_float_add("game.cpp", 8, &point), 1);
    EXPECT_EQ(box.width, 201) << "no buffer size yet: unchanged";
    xv_dsp_set_buffer_size(640, 480);
    EXPECT_EQ(box.x, 80);
    EXPECT_EQ(box.width, 160) << "160.8 truncated";
    EXPECT_EQ(box.height, 26) << "26.4 truncated";
    EXPECT_FLOAT_EQ(point.x, 8.0f);
    EXPECT_FLOAT_EQ(point.y, 24.0f);
    xv_dsp_set_buffer_size(800, 600);
    EXPECT_EQ(box.width, 201) << "from the registered values: nothing lost";

    XV_RECT moved = {0, 0, 400, 300};
    EXPECT_EQ(xv_dsp_rect_modify("game.cpp", 9, &box, &moved), 1);
    xv_dsp_set_buffer_size(400, 300);
    EXPECT_EQ(box.width, 200);

    EXPECT_EQ(xv_dsp_rect_add("game.cpp", 10, &box), 0);
    EXPECT_EQ(count_occurrences(warnings(), "in xv_dsp_rect_add (): Warning: Rectangle already "
                                            "added to the resize list. file game.cpp, line 10"),
              1);
    EXPECT_EQ(xv_dsp_point_float_add("game.cpp", 11, &point), 0);
    EXPECT_EQ(count_occurrences(warnings(), "Point_float already added"), 1);
    EXPECT_EQ(xv_dsp_rect_remove("game.cpp", 12, &box), 1);
    EXPECT_EQ(xv_dsp_rect_modify("game.cpp", 13, &box, nullptr), 0);
    EXPECT_EQ(count_occurrences(warnings(), "in xv_dsp_rect_modify (): Warning: Rectangle not in "
                                            "the resize list. file game.cpp, line 13"),
              1);
    EXPECT_EQ(xv_dsp_point_float_remove("game.cpp", 14, &point), 1);
    // Everything given back: the tracker checks at teardown.
}

using TimerTest = test::FileLayerTest;

TEST_F(TimerTest, TicksUntilStoppedAndAFailureIsFatal) {
    static std::atomic<int> ticks{0};
    uint32_t id = xv_timer_init([](uint32_t) { ticks++; }, 1);
    ASSERT_NE(id, 0u);
    while (ticks < 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    xv_timer_deinit(&id);
    EXPECT_EQ(id, 0u);
    int stopped_at = ticks;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ticks, stopped_at);

    EXPECT_EQ(xv_timer_init(nullptr, 10), 0u);
    EXPECT_EQ(count_occurrences(warnings(),
                                "Timer Init failed. You should restart Windows and try again"),
              1);
    EXPECT_TRUE(xv_dsp_close_requested()) << "fatal: the game closes";
}

} // namespace
