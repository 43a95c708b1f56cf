// The hole language's faults: every broken hole is refused with the line at
// fault and what is wrong with it, never built into NaN heights, a grass
// surface nobody asked for, or a tee a ball cannot stand on.
#include "course_model.h"
#include "coursegen.h"
#include "hole.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
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

// The words that shape the ground in curves: a bend's fairway pieces, an
// arc's wall, a camber's rise towards its arc, a hill's flat top, water.
TEST(HoleLanguage, TheCurvedWordsBuildWhatTheySay) {
    HoleSpec hole;
    std::string error;
    ASSERT_TRUE(read_hole(lane("bend 0 10  1 3  90 180\n"
                               "arc height 0.3 surface stone 0 10  3 90 180\n"
                               "camber 10 0  4 180 270  1 0.4\n"
                               "hill 0 5  0.5 1.5 0.3\n"
                               "water -6 -6  6 -6  6 12 height -0.25\n"),
                          &hole, &error))
        << error;
    // A quarter turn in 15-degree pieces, each a quad between the radii.
    ASSERT_EQ(hole.areas.size(), 1u + 6u);
    for (size_t i = 1; i < hole.areas.size(); ++i) {
        ASSERT_EQ(hole.areas[i].corners.size(), 4u);
        for (const Point2 &c : hole.areas[i].corners) {
            const float r = std::hypot(c.x, c.z - 10);
            EXPECT_TRUE(std::fabs(r - 1) < 1e-4f || std::fabs(r - 3) < 1e-4f) << r;
        }
    }
    // The arc's wall runs through the bend's outer corners.
    const WallLine &arc = hole.walls.back();
    ASSERT_EQ(arc.points.size(), 7u);
    EXPECT_NEAR(arc.points.front().x, 0, 1e-4f);
    EXPECT_NEAR(arc.points.front().z, 13, 1e-4f);
    EXPECT_NEAR(arc.points.back().x, -3, 1e-4f);
    EXPECT_NEAR(arc.points.back().z, 10, 1e-4f);
    EXPECT_FLOAT_EQ(arc.height, 0.3f);
    EXPECT_EQ(arc.surface, "stone");
    // The camber: its RISE on the arc, nothing WIDTH inside it, and past
    // the arc's ends it rounds off as a bank's line does.
    EXPECT_NEAR(hole.height_at(10 - 4 * std::cos(0.5f), -4 * std::sin(0.5f)), 0.4f, 1e-3f);
    EXPECT_NEAR(hole.height_at(10 - 3, 0), 0.0f, 1e-4f);
    EXPECT_NEAR(hole.height_at(10 - 3.5f * std::cos(0.7f), -3.5f * std::sin(0.7f)), 0.1f, 1e-3f);
    EXPECT_NEAR(hole.height_at(6, 0.5f), 0.4f * 0.25f, 1e-3f) << "round the end at (6, 0)";
    EXPECT_NEAR(hole.height_at(10, 4.5f), 0.0f, 1e-4f) << "the other side of the circle";
    // The hill: flat on top, nothing past its foot, smooth between.
    EXPECT_NEAR(hole.height_at(0.3f, 5), 0.3f, 1e-5f);
    EXPECT_NEAR(hole.height_at(0, 6.6f), 0.0f, 1e-5f);
    EXPECT_NEAR(hole.height_at(0, 6), 0.15f, 1e-4f);
    ASSERT_EQ(hole.waters.size(), 1u);
    EXPECT_FLOAT_EQ(hole.waters[0].height, -0.25f);
    EXPECT_EQ(hole.waters[0].corners.size(), 3u);
    HoleSpec plain;
    ASSERT_TRUE(read_hole(lane("water -6 -6  6 -6  6 12\n"), &plain, &error)) << error;
    EXPECT_FLOAT_EQ(plain.waters[0].height, -0.2f) << "under the fairway, over the land";
}

TEST(HoleLanguage, TheCurvedWordsRefuseWhatCannotBeBuilt) {
    const struct {
        const char *line, *message;
    } cases[] = {
        {"bend 0 0  3 2  0 90", "17: a bend's INNER radius is 0 or more and its OUTER larger"},
        {"bend 0 0  -1 2  0 90", "17: a bend's INNER radius"},
        {"bend 0 0  1 2  45 45", "17: an arc turns from FROM to TO, a full turn at most"},
        {"bend 0 0  1 2  0 400", "17: an arc turns from FROM to TO"},
        {"bend 0 0  1 2  0 90 surface lava", "17: unknown surface \"lava\""},
        {"arc 0 0  0 0 90", "17: RADIUS must be more than 0"},
        {"arc 0 0  2 90 90", "17: an arc turns from FROM to TO"},
        {"arc height 0 0 0  2 0 90", "17: a wall's height must be more than 0"},
        {"camber 0 0  2 0 90  0 0.3", "17: WIDTH must be more than 0"},
        {"camber 0 0  2 0 90  1", "17: RISE is missing"},
        {"camber 0 0  2 30 30  1 0.3", "17: an arc turns from FROM to TO"},
        {"hill 0 5  2 1 0.3", "17: a hill's TOP is 0 or more and its FOOT farther out"},
        {"hill 0 5  -1 1 0.3", "17: a hill's TOP"},
        {"hill 0 5  1 2 high", "17: HEIGHT is \"high\", not a number"},
        {"water 0 0  1 1", "17: water's corners (three at least) make a convex shape"},
        {"water 0 0  4 0  0 4  4 4", "17: water's corners"},
        {"water height deep 0 0  4 0  4 4", "17: height is \"deep\", not a number"},
    };
    for (const auto &c : cases) {
        const std::string fault = fault_of(lane(std::string(c.line) + "\n"));
        EXPECT_EQ(fault.rfind(c.message, 0), 0u) << c.line << " gave: " << fault;
    }
}

std::string course_text(const std::string &id, const std::string &extra = "",
                        const std::string &holes = "hole hole1.txt\nhole hole2.txt\n") {
    return "# a course\nid " + id +
           "\nname EN Course\nname FR Parcours\nname ES Recorrido\nname DE Platz\n"
           "name IT Percorso\nname PT Percurso\nname JP コース\n" +
           extra + holes;
}

std::string fault_of_course(const std::string &text) {
    CourseText course;
    std::string error;
    return read_course(text, &course, &error) ? "" : error;
}

TEST(CourseLanguage, ACourseNamesItsIdNamesLightAndHoles) {
    CourseText course;
    std::string error;
    ASSERT_TRUE(read_course(course_text("dusk-2", "light evening\n"), &course, &error)) << error;
    EXPECT_EQ(course.id, "dusk-2");
    EXPECT_EQ(course.names.at("JP"), "コース");
    EXPECT_EQ(course.light, "evening");
    EXPECT_EQ(course.holes, (std::vector<std::string>{"hole1.txt", "hole2.txt"}));
    EXPECT_EQ(course.hole_lines, (std::vector<int>{11, 12}));
    CourseText plain;
    ASSERT_TRUE(read_course(course_text("plain"), &plain, &error)) << error;
    EXPECT_EQ(plain.light, "day") << "the first course's sun unless said";
}

TEST(CourseLanguage, AFaultyCourseIsToldByLineAndWhatIsWrong) {
    std::string eighteen;
    for (int i = 1; i <= COURSE_MOST_HOLES; ++i) {
        eighteen += "hole h" + std::to_string(i) + ".txt\n";
    }
    EXPECT_EQ(fault_of_course(course_text("x", "", eighteen)), "");
    EXPECT_EQ(fault_of_course(course_text("x", "", eighteen + "hole one-too-many.txt\n")),
              "28: a course has 18 holes at most");
    EXPECT_EQ(fault_of_course(course_text("x", "", "")).rfind("no hole", 0), 0u);
    EXPECT_EQ(fault_of_course(course_text("Evening")).rfind("2: an id is lowercase letters", 0),
              0u);
    EXPECT_EQ(fault_of_course(course_text("a/b")).rfind("2: an id is lowercase", 0), 0u);
    EXPECT_EQ(fault_of_course(course_text(std::string(31, 'a'))), "");
    EXPECT_EQ(fault_of_course(course_text(std::string(32, 'a'))).rfind("2: an id", 0), 0u);
    EXPECT_EQ(fault_of_course(course_text("x", "light midnight\n")).rfind("10: unknown light", 0),
              0u);
    EXPECT_EQ(fault_of_course(course_text("x", "par 3\n")), "10: unknown word \"par\"");
    EXPECT_EQ(fault_of_course(course_text("x", "hole\n")), "10: FILE is missing");
    EXPECT_EQ(fault_of_course(course_text("x", "id two words\n")),
              "10: more than id wants: \"words\"");
    std::string no_id = course_text("x");
    no_id.erase(no_id.find("id x\n"), 5);
    EXPECT_EQ(fault_of_course(no_id), "no id");
    std::string no_jp = course_text("x");
    no_jp.erase(no_jp.find("name JP"), no_jp.find("hole") - no_jp.find("name JP"));
    EXPECT_EQ(fault_of_course(no_jp).rfind("no name in JP", 0), 0u);
}

// The course builder says FILE:LINE: what is wrong, and stops.
class CourseBuilder : public test::TempDirTest {
  protected:
    // A course of two lanes in the folder.
    void write_course(const std::string &folder, const std::string &id,
                      const std::string &extra = "") {
        test::write_file(folder + "/course.txt", course_text(id, extra));
        test::write_file(folder + "/hole1.txt", lane());
        test::write_file(folder + "/hole2.txt", lane("bump 0 5 1 0.2\n"));
    }
};

TEST_F(CourseBuilder, NamesTheFileAndLineOfAFault) {
    write_course("c", "c");
    test::write_file("c/hole2.txt", lane("slope 1 5 1 5 0.3\n"));
    Course course;
    std::string error;
    EXPECT_FALSE(coursegen_read("c", &course, &error));
    EXPECT_NE(error.find("hole2.txt:17: a slope's two ends are one point"), std::string::npos)
        << error;

    write_course("d", "d");
    test::write_file("d/course.txt", course_text("d", "", "hole hole1.txt\nhole gone.txt\n"));
    Course missing;
    EXPECT_FALSE(coursegen_read("d", &missing, &error));
    EXPECT_NE(error.find("course.txt:11: cannot read the hole"), std::string::npos) << error;
    EXPECT_NE(error.find("gone.txt"), std::string::npos) << error;

    test::write_file("e/course.txt", "id e\n");
    Course nameless;
    EXPECT_FALSE(coursegen_read("e", &nameless, &error));
    EXPECT_NE(error.find("course.txt: no name in EN"), std::string::npos) << error;

    Course nowhere;
    EXPECT_FALSE(coursegen_read("f", &nowhere, &error));
    EXPECT_NE(error.find("cannot read f/course.txt"), std::string::npos) << error;
}

TEST_F(CourseBuilder, TwoCoursesOfOneIdAreRefused) {
    write_course("one", "same");
    write_course("two", "same");
    std::vector<Course> courses;
    std::string error;
    EXPECT_FALSE(coursegen_read_all({"one", "two"}, &courses, &error));
    EXPECT_NE(error.find("two/course.txt:2: the id \"same\" is one's already"), std::string::npos)
        << error;
}

// The first course keeps the game's first places; the second lies in
// folders of its id, its maps beside its models and its sky its own; the
// list of the courses names their level lists in order, and each level
// list opens with its course.
TEST_F(CourseBuilder, EachCourseAfterTheFirstLiesInFoldersOfItsId) {
    write_course("a", "first");
    write_course("b", "dusk", "light evening\n");
    std::vector<Course> courses;
    std::string error;
    ASSERT_TRUE(coursegen_read_all({"a", "b"}, &courses, &error)) << error;
    ASSERT_TRUE(coursegen_write(courses, "game", &error)) << error;
    EXPECT_EQ(test::read_file("game/data/courses.txt"),
              "[courses]\r\ncount=2\r\ncourse1=data\\levels.txt\r\n"
              "course2=data\\dusk\\levels.txt\r\n");
    const std::string first = test::read_file("game/data/levels.txt");
    EXPECT_EQ(first.rfind("[course]\r\nid=first\r\nname_EN=Course\r\n", 0), 0u) << first;
    EXPECT_NE(first.find("name_JP=コース\r\nholes=2\r\n[level001]\r\n"), std::string::npos);
    EXPECT_NE(first.find("world_file=gfx\\wo2\\course\\hole2.wo2"), std::string::npos);
    EXPECT_NE(first.find("cam_file=data\\hole1cam.txt"), std::string::npos);
    const std::string second = test::read_file("game/data/dusk/levels.txt");
    EXPECT_EQ(second.rfind("[course]\r\nid=dusk\r\n", 0), 0u) << second;
    for (const char *line : {"screen=gfx\\dusk\\mini1.png", "world_file=gfx\\wo2\\dusk\\hole1.wo2",
                             "cam_file=data\\dusk\\hole2cam.txt", "intro=data\\dusk\\hole2fly.txt",
                             "mini_screen=gfx\\dusk\\mini2.png", "[level002]"}) {
        EXPECT_NE(second.find(line), std::string::npos) << line;
    }
    for (const char *file :
         {"gfx/dusk/mini2.png", "gfx/wo2/dusk/hole2.wo2", "data/dusk/hole1fly.txt",
          "gfx/wo2/dusk/grass.png", "gfx/wo2/dusk/blades.wo2", "gfx/wo2/course/grass.png"}) {
        EXPECT_FALSE(test::read_file(std::string("game/") + file).empty()) << file;
    }
    EXPECT_EQ(test::read_file("game/gfx/wo2/dusk/grass.png"),
              test::read_file("game/gfx/wo2/course/grass.png"));
    EXPECT_NE(test::read_file("game/gfx/wo2/dusk/sky.png"),
              test::read_file("game/gfx/wo2/course/sky.png"))
        << "the evening's sky has its own sun";
}

// The fairway's light at a point: the corner of the fairway nearest it.
std::array<uint8_t, 4> fairway_light(const Wo2Model &model, float x, float z) {
    std::array<uint8_t, 4> colour{};
    float best = 1e9f;
    for (const Wo2Object &object : model.objects) {
        for (const Wo2MaterialGroup &group : object.groups) {
            for (const Wo2FaceGroup &face : group.faces) {
                for (const Wo2Vertex &v : face.vertices) {
                    const float d = std::hypot(v.position[0] - x, v.position[2] - z);
                    if (object.name == "fairway" && d < best) {
                        best = d;
                        std::copy(v.colour, v.colour + 4, colour.begin());
                    }
                }
            }
        }
    }
    return colour;
}

// The evening's low sun in the west throws a block's shadow far to its
// east: the grass there is darker and bluer than the grass in the sun; by
// day the sun stands high and the two are alike. The sky's sun stands
// where the light comes from.
TEST(CourseLight, TheLowSunLaysLongShadows) {
    HoleSpec hole;
    std::string error;
    ASSERT_TRUE(read_hole(lane("block -1 4.5  -0.5 5.5  -0.35 0.6\n"), &hole, &error)) << error;
    float cup_bottom = 0;
    const Wo2Model evening = course_model(hole, *course_light("evening"), &cup_bottom);
    const auto shaded = fairway_light(evening, 0.75f, 5.75f);
    const auto sunny = fairway_light(evening, 1.0f, 7.0f);
    EXPECT_LT(shaded[0] + 40, sunny[0]) << "two units east of a block 0.6 high";
    EXPECT_GT(shaded[2], shaded[0]) << "blue in the shadow";
    EXPECT_GT(sunny[0], sunny[2]) << "warm in the sun";
    const Wo2Model day = course_model(hole, *course_light("day"), &cup_bottom);
    EXPECT_EQ(fairway_light(day, 0.75f, 5.75f), fairway_light(day, 1.0f, 7.0f));
    for (const char *name : {"day", "evening"}) {
        const CourseLight &light = *course_light(name);
        float heading = 0, height = 0;
        sun_in_the_sky(light, &heading, &height);
        EXPECT_NEAR(std::cos(height) * std::cos(heading), light.sun[0], 1e-4f) << name;
        EXPECT_NEAR(std::sin(height), light.sun[1], 1e-4f) << name;
        EXPECT_NEAR(std::cos(height) * std::sin(heading), light.sun[2], 1e-4f) << name;
    }
    EXPECT_LT(course_light("evening")->sun[1], 0.3f) << "low";
    EXPECT_EQ(course_light("noon"), nullptr);
}

} // namespace
