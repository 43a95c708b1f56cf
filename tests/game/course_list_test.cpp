// The courses the game finds: the first course's level list alone, or the
// course list's; each course's card; choosing one; and the lists that are
// left out, each said once with its file.
#include "course.h"
#include "gen_info.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CourseListTest : public test::FileLayerTest {
  protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        gen_info_init();
        courses_forget();
    }
    void TearDown() override {
        courses_forget();
        gen_info_deinit();
        FileLayerTest::TearDown();
    }
    // A hole's section with what the card reads.
    static std::string hole(int number, const std::string &extra = "") {
        char section[24];
        std::snprintf(section, sizeof section, "[level%03d]\r\n", number);
        return section + std::string("world_file=gfx\\hole.wo2\r\nname_EN=Hole ") +
               std::to_string(number) + "\r\npar=" + std::to_string(number + 1) +
               "\r\nmini_screen=gfx\\mini" + std::to_string(number) + ".png\r\n" + extra;
    }
    static std::string course_section(const std::string &keys) { return "[course]\r\n" + keys; }
};

TEST_F(CourseListTest, WithoutAListTheFirstCourseHasTheHolesItsLevelListHas) {
    test::write_file("data/levels.txt",
                     hole(1, "name_FR=Trou un\r\n") + hole(2, "stream=box07\r\n") + hole(3) +
                         "[level005]\r\nworld_file=gfx\\hole.wo2\r\n"); // past a gap: not a hole
    ASSERT_EQ(course_count(), 1);
    const COURSE &first = course();
    EXPECT_EQ(first.id, "course");
    EXPECT_EQ(first.level_list, "data\\levels.txt");
    EXPECT_EQ(first.hole_count, 3);
    EXPECT_EQ(course_hole(2)->par, 3);
    EXPECT_EQ(course_hole(2)->stream, "box07");
    EXPECT_EQ(course_hole(3)->mini_screen, "gfx\\mini3.png");
    EXPECT_EQ(course_hole(4), nullptr);
    EXPECT_EQ(course_hole(0), nullptr);
    // A name in the language asked for, else the English one; a course
    // with no name goes by its id.
    EXPECT_EQ(course_hole_name(1, "FR"), "Trou un");
    EXPECT_EQ(course_hole_name(2, "FR"), "Hole 2");
    EXPECT_EQ(course_hole_name(2, "XX"), "Hole 2");
    EXPECT_EQ(course_name(first, "DE"), "course");
    EXPECT_EQ(warnings(), "");
}

TEST_F(CourseListTest, TheListNamesEveryCourseAndOneIsChosenByItsId) {
    test::write_file("data/courses.txt", "[courses]\r\ncount=2\r\ncourse1=data\\levels.txt\r\n"
                                         "course2=data\\evening\\levels.txt\r\n");
    test::write_file("data/levels.txt",
                     course_section("id=meadow\r\nname_EN=Meadow\r\nholes=2\r\n") + hole(1) +
                         hole(2));
    std::string evening = course_section("id=evening\r\nname_EN=Evening\r\nname_JP=夕暮れ\r\n"
                                         "holes=12\r\n");
    for (int n = 1; n <= 12; ++n) {
        evening += hole(n);
    }
    test::write_file("data/evening/levels.txt", evening);
    ASSERT_EQ(course_count(), 2);
    EXPECT_EQ(course().id, "meadow"); // the first, until another is chosen
    EXPECT_EQ(course().hole_count, 2);
    ASSERT_TRUE(course_choose("evening"));
    EXPECT_STREQ(course_level_list(), "data\\evening\\levels.txt");
    EXPECT_EQ(course().hole_count, 12);
    EXPECT_EQ(course_hole(12)->par, 13);
    EXPECT_EQ(course_name(course(), "JP"), "夕暮れ");
    EXPECT_EQ(course_name(course(), "FR"), "Evening");
    EXPECT_FALSE(course_choose("dusk"));
    EXPECT_EQ(course().id, "evening"); // the choice stands
    EXPECT_EQ(warnings(), "");
}

// Each damaged course is left out with its file named; the others play.
TEST_F(CourseListTest, ADamagedCourseIsLeftOutAndSaidWithItsFile) {
    const struct {
        const char *keys;
        const char *said;
    } kDamaged[] = {
        {"id=two\r\nholes=0\r\n", "holes=0 is out of range (1 to 18)"},
        {"id=two\r\nholes=19\r\n", "holes=19 is out of range (1 to 18)"},
        {"id=Two Words\r\nholes=1\r\n", "its id is not"},
        {"holes=1\r\n", "its id is not"}, // only the first course may go without one
        {"id=one\r\nholes=1\r\n", "another course has the id one"},
    };
    test::write_file("data/levels.txt", course_section("id=one\r\n") + hole(1));
    int case_number = 0;
    for (const auto &damaged : kDamaged) {
        SCOPED_TRACE(damaged.keys);
        const std::string name = "case" + std::to_string(++case_number) + ".txt";
        test::write_file("data/" + name, course_section(damaged.keys) + hole(1));
        test::write_file("data/courses.txt", "[courses]\r\ncount=3\r\ncourse1=data\\levels.txt\r\n"
                                             "course2=data\\" +
                                                 name + "\r\ncourse3=data\\gone.txt\r\n");
        courses_forget();
        ASSERT_EQ(course_count(), 1);
        EXPECT_EQ(course_at(0)->id, "one");
        EXPECT_NE(warnings().find("The course of data\\" + name + " is left out: " + damaged.said),
                  std::string::npos)
            << warnings();
    }
    EXPECT_NE(warnings().find("The course of data\\gone.txt is left out: the file is missing"),
              std::string::npos);
}

TEST_F(CourseListTest, AListOfNoCourseOrTooManyGivesTheFirstCourseAlone) {
    test::write_file("data/levels.txt", hole(1));
    for (const char *count : {"0", "17"}) {
        SCOPED_TRACE(count);
        test::write_file("data/courses.txt", std::string("[courses]\r\ncount=") + count +
                                                 "\r\ncourse1=data\\levels.txt\r\n");
        courses_forget();
        ASSERT_EQ(course_count(), 1);
        EXPECT_EQ(course().hole_count, 1);
        EXPECT_NE(warnings().find(std::string("data\\courses.txt: count=") + count),
                  std::string::npos)
            << warnings();
    }
}

// With nothing to play, the level list the levels read is still named, so
// that the first level's load says what is missing in its own words.
TEST_F(CourseListTest, WithNoCourseTheLevelsStillNameTheFirstCoursesList) {
    EXPECT_EQ(course_count(), 0);
    EXPECT_STREQ(course_level_list(), "data\\levels.txt");
    EXPECT_EQ(course().hole_count, 0);
    EXPECT_EQ(course_hole(1), nullptr);
    EXPECT_EQ(warnings(), "");
}

} // namespace
