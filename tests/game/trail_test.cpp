// Spline trails: the file's axes, the curve tree, the curve arithmetic and
// the angle rules the cameras and scripted objects share.
#include "test_support.h"
#include "trail.h"

#include "gen.h"

#include <cmath>

namespace {

using test::read_file;
using test::write_file;

class TrailTest : public test::FileLayerTest {
  protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        gen_info_init();
    }
    void TearDown() override {
        trail_free(&root);
        gen_info_deinit();
        FileLayerTest::TearDown();
    }
    // Points as "a,b,c" texts and curves as "s,m,e" texts.
    void load(const std::vector<std::string> &points, const std::vector<std::string> &curves) {
        std::string file = "[PointSet]\r\nPointCount=" + std::to_string(points.size()) + "\r\n";
        char key[32];
        for (size_t i = 0; i < points.size(); ++i) {
            std::snprintf(key, sizeof key, "Point%04zu", i);
            file += key + ("=" + points[i]) + "\r\n";
        }
        file += "[CurveSet]\r\nCurveCount=" + std::to_string(curves.size()) + "\r\n";
        for (size_t i = 0; i < curves.size(); ++i) {
            std::snprintf(key, sizeof key, "Curve%04zu", i);
            file += key + ("=" + curves[i]) + "\r\n";
        }
        load_text(file);
    }
    void load_text(const std::string &text) {
        trail_free(&root);
        write_file("trail.ini", text);
        root = trail_load("trail.ini");
    }
    std::string history() const { return read_file("history.txt"); }
    std::string errors() const { return read_file("error.txt"); }

    TRAIL_NODE *root = nullptr;
};

TEST_F(TrailTest, TheFilesAxesBecomeTheWorlds) {
    load({"1,2,3"}, {"0,0,0"});
    ASSERT_NE(root, nullptr);
    for (float t : {0.0f, 0.3f, 1.0f, 2.0f}) {
        float p[3];
        trail_curve_point(p, root->curve, t, 0);
        EXPECT_FLOAT_EQ(p[0], 1.0f);
        EXPECT_FLOAT_EQ(p[1], 3.0f);
        EXPECT_FLOAT_EQ(p[2], -2.0f);
    }
    EXPECT_EQ(root->curve->start.number, 1);
    EXPECT_NE(history().find("Loading spline trail .. \nExist result : 1 \n-- 1 points founds .. "
                             "\n-- Point 0 : 1,2,3 -> 1.000000 3.000000 -2.000000 \n"),
              std::string::npos);
    EXPECT_NE(history().find("-- Curve 0 : 0,0,0 -> 0 0 0 \n"), std::string::npos);
}

TEST_F(TrailTest, ACurvePassesThroughItsThreePointsAndWritesTheAxesAsked) {
    TRAIL_CURVE curve{};
    curve.start.x = 0, curve.middle.x = 1, curve.end.x = 4;
    curve.start.y = curve.middle.y = curve.end.y = 7;
    const float expected[][2] = {{0, 0}, {0.5f, 1}, {1, 4}, {0.75f, 2.25f}};
    for (const auto &[t, x] : expected) {
        float p[3] = {-1, -1, -1};
        trail_curve_point(p, &curve, t, TRAIL_X);
        EXPECT_FLOAT_EQ(p[0], x) << t;
        EXPECT_EQ(p[1], -1) << "y is not asked for";
        trail_curve_point(p, &curve, t, TRAIL_Y | TRAIL_Z);
        EXPECT_FLOAT_EQ(p[1], 7);
        EXPECT_FLOAT_EQ(p[2], 0);
    }
}

TEST_F(TrailTest, CurvesHangUnderTheCurvesTheyContinue) {
    // 0 runs from point 0 to 2; 1 and 2 both start at 2; 3 continues 2;
    // 4 starts nowhere the trail reaches.
    load({"0,0,0", "1,0,0", "2,0,0", "3,0,0", "4,0,0", "9,9,9"},
         {"0,1,2", "2,3,4", "2,1,0", "0,5,4", "5,5,5"});
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->num_children, 2);
    EXPECT_EQ(root->children[0]->curve->end.number, 5) << "curve 1 first, as in the file";
    EXPECT_EQ(root->children[1]->curve->end.number, 1);
    EXPECT_EQ(root->children[0]->parent, root);
    ASSERT_EQ(root->children[1]->num_children, 1);
    EXPECT_EQ(root->children[1]->children[0]->curve->middle.number, 6);
    EXPECT_EQ(root->children[0]->num_children, 0);
    EXPECT_NE(history().find("-- Handling of Curve 1 (3)-- Father found -- Node added found \n"),
              std::string::npos);
    EXPECT_NE(history().find("-- Warning on loading trail.ini : The Curve4 is not connected to "
                             "the trail"),
              std::string::npos);
    trail_free(&root);
    EXPECT_EQ(root, nullptr);
    EXPECT_NE(history().find("enter in free .. 2 obj\n"), std::string::npos);
    trail_free(&root); // nothing left to free
}

TEST_F(TrailTest, AnglesUseTheGamesConstants) {
    EXPECT_FLOAT_EQ(trail_angle(0, -5), -1.57075f);
    EXPECT_FLOAT_EQ(trail_angle(0, 5), 1.57075f);
    EXPECT_FLOAT_EQ(trail_angle(-1, 0), 3.1415927f);
    EXPECT_FLOAT_EQ(trail_angle(1, 1), 0.78539819f);
    float angle = 350;
    const float sequence[] = {355, 360, 5, 10, 10};
    for (float expected : sequence) {
        angle = trail_approach_angle(angle, 10, 5);
        EXPECT_FLOAT_EQ(angle, expected);
    }
    EXPECT_FLOAT_EQ(trail_approach_angle(10, 20, 15), 20.0f);
    EXPECT_FLOAT_EQ(trail_approach_angle(20, 10, 15), 10.0f);
    EXPECT_FLOAT_EQ(trail_approach_angle(-90, 0, 30), 300.0f) << "up through 360";
}

TEST_F(TrailTest, CurvesNamingPointsOutsideTheFileAreLeftOut) {
    load({"0,0,0", "1,0,0", "2,0,0"}, {"0,1,2", "2,1,3", "2,-1,0", "2,0,1", "2,1"});
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->num_children, 1);
    EXPECT_EQ(root->children[0]->curve->end.number, 2);
    EXPECT_NE(history().find("The Curve1 names point 3, which is not in the file"),
              std::string::npos);
    EXPECT_NE(history().find("The Curve2 names point -1"), std::string::npos);
    EXPECT_NE(history().find("The Curve4 names point -1"), std::string::npos)
        << "a value with two numbers";
    // Without a first curve there is no trail.
    load({"0,0,0"}, {"0,0,7", "0,0,0"});
    EXPECT_EQ(root, nullptr);
    EXPECT_NE(history().find("the trail has no first curve"), std::string::npos);
}

// 9999 points promised by a file of 60 bytes were 9999 reports of a missing
// key, each with its call stack.
TEST_F(TrailTest, CountsTheFileCannotHoldAreRefused) {
    const std::string text = "[PointSet]\r\nPointCount=9999\r\n[CurveSet]\r\nCurveCount=1\r\n";
    load_text(text);
    EXPECT_EQ(root, nullptr);
    EXPECT_NE(history().find("-- Warning on loading trail.ini : PointCount 9999 is more than the "
                             "file's " +
                             std::to_string(text.size()) + " bytes can hold"),
              std::string::npos);
    EXPECT_EQ(warnings(), "");
}

TEST_F(TrailTest, DamagedCountsAndMissingFilesLeaveNoTrail) {
    load({}, {});
    EXPECT_EQ(root, nullptr) << "no curves";
    load_text("[PointSet]\r\nPointCount=-3\r\n[CurveSet]\r\nCurveCount=1\r\nCurve0000=0,0,0\r\n");
    EXPECT_EQ(root, nullptr);
    EXPECT_NE(history().find("PointCount -3 is out of range"), std::string::npos);
    load_text("[PointSet]\r\nPointCount=1\r\nPoint0000=1,1,1\r\n[CurveSet]\r\nCurveCount="
              "2000000000\r\n");
    EXPECT_EQ(root, nullptr);
    EXPECT_NE(history().find("CurveCount 2000000000 is out of range"), std::string::npos);
    // A point without its value stays at the origin.
    load_text("[PointSet]\r\nPointCount=2\r\nPoint0000=1,1,1\r\n[CurveSet]\r\nCurveCount=1\r\n"
              "Curve0000=1,1,1\r\n");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->curve->start.x, 0.0f);
    EXPECT_EQ(root->curve->start.number, 2);
    trail_free(&root);
    EXPECT_EQ(trail_load("nowhere.ini"), nullptr);
    EXPECT_NE(errors().find("-- Loading of the spline file (nowhere.ini) impossible --"),
              std::string::npos);
    EXPECT_NE(history().find("Exist result : 0 \n"), std::string::npos);
}

} // namespace
