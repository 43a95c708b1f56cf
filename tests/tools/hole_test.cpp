// The hole language's faults: every broken hole is refused with the line at
// fault and what is wrong with it, never built into NaN heights, a grass
// surface nobody asked for, or a tee a ball cannot stand on.
#include "coursegen.h"
#include "hole.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A small hole that reads: a lane four wide and ten long, walled.
std::string lane(const std::string &extra = "") {
    return "name EN Lane\nname FR Allee\nname ES Calle\nname DE Gasse\n"
           "name IT Corsia\nname PT Pista\nname JP みち\n"
           "par 2\nmusic level1\n"
           "area -2 0  2 0  2 10  -2 10\n"
           "wall -2 0  2 0  2 10  -2 10 closed\n"
           "tee 0 8\ncup 0 2\n"
           "camera one 0 3 12\ncamera two 2 3 -1\n"
           "trail 0 5 -2  5 5 5  0 3 12\n" +
           extra;
}

std::string fault_of(const std::string &text) {
    HoleSpec hole;
    std::string error;
    return read_hole(text, &hole, &error) ? "" : error;
}

TEST(HoleLanguage, AWellMadeHoleReads) {
    HoleSpec hole;
    std::string error;
    ASSERT_TRUE(read_hole(lane("slope 0 6 0 3 0.2\nbump 1 5 0.8 0.1\n"), &hole, &error)) << error;
    EXPECT_EQ(hole.par, 2);
    EXPECT_EQ(hole.names.at("JP"), "みち");
    EXPECT_EQ(hole.features.size(), 2u);
}

// Each fault names its line (the 17th, after the lane's sixteen) and what
// is wrong, in words a level designer reads without the code.
TEST(HoleLanguage, AFaultyLineIsToldByNumberAndWhatIsWrong) {
    const struct {
        const char *line, *message;
    } cases[] = {
        {"spiral 0 0", "17: unknown word \"spiral\""},
        {"slope 0 6 0 3", "17: RISE is missing"},
        {"bump 1 5 wide 0.1", "17: RADIUS is \"wide\", not a number"},
        {"slope 1 5 1 5 0.3", "17: a slope's two ends are one point"},
        {"bank 1 5 1 5 1 0.3", "17: a bank's two ends are one point"},
        {"area 2 0 3 0 3 2 2 2 surface lava", "17: unknown surface \"lava\""},
        {"gate 0 5 1 1 0", "17: SPEED must be more than 0"},
        {"lift 0 5 1 1 0.5 0", "17: SPEED must be more than 0"},
        {"par 2.5", "17: par must be a whole number from 1 to 20"},
        {"par 0", "17: par must be a whole number from 1 to 20"},
        {"name DE", "17: the name in DE is empty"},
        {"name XX Lane", "17: unknown language \"XX\""},
        {"wall_kind glass", "17: unknown wall kind \"glass\""},
        {"area 0 0 1 1", "17: an area's corners (three at least) make a convex shape"},
        {"tree 3 3 1 extra", "17: more than tree wants: \"extra\""},
        {"trail 0 1 2 3 4 5", "17: a trail has an odd number of points, three at least"},
        {"area 3 0 4 0 4 nine", "17: Z is \"nine\", not a number"},
        {"block 1 1 1 2 0 1", "17: a block has room inside"},
    };
    for (const auto &c : cases) {
        const std::string fault = fault_of(lane(std::string(c.line) + "\n"));
        EXPECT_EQ(fault.rfind(c.message, 0), 0u) << c.line << " gave: " << fault;
    }
}

TEST(HoleLanguage, AMissingStatementIsNamed) {
    std::string without_par = lane();
    without_par.erase(without_par.find("par 2\n"), 6);
    EXPECT_EQ(fault_of(without_par), "no par");
    std::string without_jp = lane();
    without_jp.erase(without_jp.find("name JP"),
                     without_jp.find("par 2") - without_jp.find("name JP"));
    EXPECT_EQ(fault_of(without_jp).rfind("no name in JP", 0), 0u);
}

// The tee's four starts and the cup must stand where a ball can: the line
// of the tee or the cup is the one told.
TEST(HoleLanguage, ATeeOrCupWhereNoBallCanStandIsRefused) {
    std::string off = lane();
    off.replace(off.find("tee 0 8"), 7, "tee 0 12");
    EXPECT_NE(fault_of(off).find("off the fairway"), std::string::npos) << fault_of(off);
    EXPECT_EQ(fault_of(off).rfind("12: the tee's start", 0), 0u) << fault_of(off);

    std::string in_wall = lane();
    in_wall.replace(in_wall.find("tee 0 8"), 7, "tee 1.25 8");
    EXPECT_NE(fault_of(in_wall).find("is in a wall"), std::string::npos) << fault_of(in_wall);

    EXPECT_NE(fault_of(lane("block -1 7 1 9.5 0 0.5\n")).find("is in a block"), std::string::npos);

    std::string edge = lane();
    edge.replace(edge.find("cup 0 2"), 7, "cup 1.5 2");
    EXPECT_EQ(fault_of(edge).rfind("13: the cup is off the fairway", 0), 0u) << fault_of(edge);
}

// The course builder says FILE:LINE: what is wrong, and stops.
class CourseBuilder : public test::TempDirTest {};

TEST_F(CourseBuilder, NamesTheFileAndLineOfAFault) {
    for (int n = 1; n <= COURSE_HOLES; ++n) {
        test::write_file("hole" + std::to_string(n) + ".txt",
                         n == 4 ? lane("slope 1 5 1 5 0.3\n") : lane());
    }
    std::vector<HoleSpec> holes;
    std::string error;
    EXPECT_FALSE(coursegen_read(".", &holes, &error));
    EXPECT_NE(error.find("hole4.txt:17: a slope's two ends are one point"), std::string::npos)
        << error;
}

} // namespace
